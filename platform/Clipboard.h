// The system clipboard: named formats holding byte blocks. Ordinary bitmaps
// travel in the predefined bitmap format as complete BMP files, the form every
// picture class already reads and writes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qv::platform {

class IClipboard {
 public:
  // The predefined format of an ordinary bitmap (a BMP file).
  static constexpr unsigned kBitmapFormat = 8;
  // Registered formats are numbered from here, as the system numbers them.
  static constexpr unsigned kFirstRegisteredFormat = 0xC000;

  virtual ~IClipboard() = default;

  // The identifier of a named format; the same name always gives the same
  // identifier within the process.
  virtual unsigned RegisterFormat(const std::string& name) = 0;
  virtual bool HasFormat(unsigned format) const = 0;
  // The data under `format`, or nothing when the clipboard does not hold it.
  virtual std::optional<std::vector<std::uint8_t>> GetData(unsigned format) const = 0;
  // Empties the clipboard: what a program does before putting new content on it.
  virtual void Clear() = 0;
  // Adds (or replaces) one format of the current content.
  virtual void SetData(unsigned format, std::vector<std::uint8_t> data) = 0;
};

}  // namespace qv::platform
