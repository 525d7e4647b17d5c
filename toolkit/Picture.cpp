#include "toolkit/Picture.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "toolkit/Canvas.h"
#include "toolkit/SysUtils.h"

namespace qv {

namespace {

struct FormatRegistry {
  std::mutex lock;
  std::vector<TFileFormat> formats{
      {"bmp", "Bitmaps", [] { return std::unique_ptr<TGraphic>(std::make_unique<TBitmap>()); }}};
};

FormatRegistry& Registry() {
  static FormatRegistry registry;
  return registry;
}

std::string NormalizedExtension(std::string extension) {
  if (!extension.empty() && extension.front() == '.') extension.erase(0, 1);
  return LowerCase(extension);
}

std::string ExtensionOf(const std::string& fileName) {
  const std::size_t slash = fileName.find_last_of('/');
  const std::size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return NormalizedExtension(fileName.substr(dot + 1));
}

}  // namespace

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed() {
  if (OnChange) OnChange(this);
}

void TPicture::Hold(std::unique_ptr<TGraphic> graphic) {
  graphic_ = std::move(graphic);
  if (graphic_) graphic_->OnChange = [this](TObject*) { Changed(); };
  Changed();
}

void TPicture::SetGraphic(const TGraphic* graphic) {
  if (graphic == graphic_.get()) return;
  Hold(graphic != nullptr ? graphic->Clone() : nullptr);
}

void TPicture::AdoptGraphic(std::unique_ptr<TGraphic> graphic) {
  Hold(std::move(graphic));
}

TBitmap& TPicture::Bitmap() {
  if (auto* bitmap = dynamic_cast<TBitmap*>(graphic_.get())) return *bitmap;
  auto bitmap = std::make_unique<TBitmap>();
  if (graphic_ && !graphic_->Empty()) {
    try {
      bitmap->Assign(graphic_.get());
    } catch (const EConvertError&) {
      // A class that cannot convert itself is drawn instead.
      bitmap->SetSize(graphic_->Width(), graphic_->Height());
      bitmap->Canvas().Draw(0, 0, graphic_.get());
    }
  }
  TBitmap& result = *bitmap;
  Hold(std::move(bitmap));
  return result;
}

void TPicture::LoadFromFile(const std::string& fileName) {
  const std::string extension = ExtensionOf(fileName);
  TGraphicFactory factory;
  {
    std::lock_guard<std::mutex> guard(Registry().lock);
    for (const TFileFormat& f : Registry().formats) {
      if (f.extension == extension) factory = f.factory;
    }
  }
  if (!factory) {
    throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", extension.c_str()));
  }
  std::unique_ptr<TGraphic> graphic = factory();
  graphic->LoadFromFile(fileName);
  Hold(std::move(graphic));
}

void TPicture::SaveToFile(const std::string& fileName) {
  if (graphic_) graphic_->SaveToFile(fileName);
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicFactory factory) {
  std::lock_guard<std::mutex> guard(Registry().lock);
  auto& formats = Registry().formats;
  const std::string ext = NormalizedExtension(extension);
  formats.erase(std::remove_if(formats.begin(), formats.end(),
                               [&](const TFileFormat& f) { return f.extension == ext; }),
                formats.end());
  formats.push_back({ext, description, std::move(factory)});
}

void TPicture::UnregisterFileFormat(const std::string& extension) {
  std::lock_guard<std::mutex> guard(Registry().lock);
  auto& formats = Registry().formats;
  const std::string ext = NormalizedExtension(extension);
  formats.erase(std::remove_if(formats.begin(), formats.end(),
                               [&](const TFileFormat& f) { return f.extension == ext; }),
                formats.end());
}

std::vector<TFileFormat> TPicture::FileFormats() {
  std::lock_guard<std::mutex> guard(Registry().lock);
  return Registry().formats;
}

}  // namespace qv
