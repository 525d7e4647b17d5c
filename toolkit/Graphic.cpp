#include "toolkit/Graphic.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "toolkit/SysUtils.h"

namespace qv {

void TGraphic::SetTransparent(bool value) {
  if (value == transparent_) return;
  transparent_ = value;
  Changed();
}

void TGraphic::Changed() {
  if (OnChange) OnChange(this);
}

void TGraphic::LoadFromFile(const std::string& fileName) {
  // A directory opens as a stream that simply reads nothing: refuse it here so it
  // cannot pass for an empty picture.
  std::error_code ignored;
  const bool directory = std::filesystem::is_directory(fileName, ignored);
  std::ifstream in;
  if (!directory) in.open(fileName, std::ios::binary);
  if (!in.is_open()) {
    const int error = directory ? EISDIR : errno;
    throw EFOpenError(Format("Cannot open file \"%s\". %s", fileName.c_str(), std::strerror(error)));
  }
  LoadFromStream(in);
}

void TGraphic::SaveToFile(const std::string& fileName) {
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out) {
    throw EFOpenError(Format("Cannot create file \"%s\". %s", fileName.c_str(), std::strerror(errno)));
  }
  SaveToStream(out);
  out.flush();
  if (!out) throw EWriteError(Format("Error writing file \"%s\"", fileName.c_str()));
}

void TGraphic::Assign(const TGraphic* source) {
  if (source != nullptr && source->AssignTo(*this)) return;
  AssignError(source);
}

bool TGraphic::AssignTo(TGraphic&) const {
  return false;
}

std::string TGraphic::GraphicClassName() const {
  return ClassNameOf(*this);
}

void TGraphic::AssignError(const TGraphic* source) const {
  const std::string from = source != nullptr ? source->GraphicClassName() : std::string("nil");
  throw EConvertError(Format("Cannot assign a %s to a %s", from.c_str(), GraphicClassName().c_str()));
}

}  // namespace qv
