#include "platform/qt/QtClipboard.h"

#include <QBuffer>
#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

namespace qv::platform::qt {

namespace {

constexpr const char* kBmpMime = "image/bmp";

QByteArray ToBytes(const std::vector<std::uint8_t>& data) {
  return QByteArray(reinterpret_cast<const char*>(data.data()), static_cast<qsizetype>(data.size()));
}

std::vector<std::uint8_t> FromBytes(const QByteArray& bytes) {
  return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

// Null when there is no application (tests without a display, early start-up).
QClipboard* SystemClipboard() {
  return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr
             ? QGuiApplication::clipboard()
             : nullptr;
}

}  // namespace

unsigned QtClipboard::RegisterFormat(const std::string& name) {
  const auto found = ids_.find(name);
  if (found != ids_.end()) return found->second;
  const unsigned id = kFirstRegisteredFormat + static_cast<unsigned>(ids_.size());
  ids_.emplace(name, id);
  names_.emplace(id, name);
  return id;
}

std::string QtClipboard::MimeType(unsigned format) const {
  if (format == kBitmapFormat) return kBmpMime;
  const auto found = names_.find(format);
  if (found == names_.end()) return std::string();
  return "application/x-qt-windows-mime;value=\"" + found->second + "\"";
}

bool QtClipboard::HasFormat(unsigned format) const {
  QClipboard* clipboard = SystemClipboard();
  const QMimeData* mime = clipboard != nullptr ? clipboard->mimeData() : nullptr;
  const std::string type = MimeType(format);
  if (mime == nullptr || type.empty()) return false;
  return mime->hasFormat(QString::fromStdString(type)) || (format == kBitmapFormat && mime->hasImage());
}

std::optional<std::vector<std::uint8_t>> QtClipboard::GetData(unsigned format) const {
  QClipboard* clipboard = SystemClipboard();
  const QMimeData* mime = clipboard != nullptr ? clipboard->mimeData() : nullptr;
  const std::string type = MimeType(format);
  if (mime == nullptr || type.empty()) return std::nullopt;
  const QString qtype = QString::fromStdString(type);
  if (mime->hasFormat(qtype)) return FromBytes(mime->data(qtype));
  if (format != kBitmapFormat || !mime->hasImage()) return std::nullopt;
  // Another program's picture (PNG, say): handed on as the BMP file it holds.
  const QImage image = qvariant_cast<QImage>(mime->imageData());
  if (image.isNull()) return std::nullopt;
  QByteArray bmp;
  QBuffer buffer(&bmp);
  buffer.open(QIODevice::WriteOnly);
  if (!image.save(&buffer, "BMP")) return std::nullopt;
  return FromBytes(bmp);
}

void QtClipboard::Clear() {
  offered_.clear();
  if (QClipboard* clipboard = SystemClipboard()) clipboard->clear();
}

void QtClipboard::SetData(unsigned format, std::vector<std::uint8_t> data) {
  if (MimeType(format).empty()) return;  // never registered: nothing to name it by
  offered_[format] = std::move(data);
  QClipboard* clipboard = SystemClipboard();
  if (clipboard == nullptr) return;
  auto* mime = new QMimeData;
  for (const auto& [id, bytes] : offered_) {
    const QByteArray block = ToBytes(bytes);
    mime->setData(QString::fromStdString(MimeType(id)), block);
    if (id == kBitmapFormat) {
      const QImage image = QImage::fromData(block, "BMP");
      if (!image.isNull()) mime->setImageData(image);
    }
  }
  clipboard->setMimeData(mime);  // the clipboard owns it from here
}

}  // namespace qv::platform::qt
