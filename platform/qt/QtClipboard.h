// The desktop clipboard through Qt. An ordinary bitmap is offered as
// "image/bmp" (the BMP file as it is) and as an image other programs can take
// in their own form (PNG, for instance); a registered format travels under
// the MIME type Qt gives named native formats:
//   application/x-qt-windows-mime;value="<name>"
// Reading takes what any program put there; a bitmap without "image/bmp" is
// converted to a BMP file.
#pragma once

#include <map>
#include <string>

#include "platform/Clipboard.h"

class QMimeData;
class QString;

namespace qv::platform::qt {

class QtClipboard final : public IClipboard {
 public:
  unsigned RegisterFormat(const std::string& name) override;
  bool HasFormat(unsigned format) const override;
  std::optional<std::vector<std::uint8_t>> GetData(unsigned format) const override;
  void Clear() override;
  void SetData(unsigned format, std::vector<std::uint8_t> data) override;

  // The MIME type a format travels under; empty for an unknown format.
  std::string MimeType(unsigned format) const;

 private:
  // What this program put on the clipboard since the last Clear, re-offered
  // whole on every SetData (Qt replaces the content at once).
  std::map<unsigned, std::vector<std::uint8_t>> offered_;
  std::map<std::string, unsigned> ids_;
  std::map<unsigned, std::string> names_;
};

}  // namespace qv::platform::qt
