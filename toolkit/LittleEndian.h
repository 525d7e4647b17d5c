// Little-endian fields of the binary file formats (BMP, ICO/CUR, RIFF, GIF).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qv {

// True when `count` bytes start at `at` inside `data`.
constexpr bool HasBytes(std::span<const std::uint8_t> data, std::size_t at, std::size_t count) {
  return at <= data.size() && data.size() - at >= count;
}

// Callers check the bounds first (HasBytes).
constexpr std::uint16_t LoadLe16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
constexpr std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

// Bounds-checked reads for parsers of untrusted files: when the field does
// not lie wholly inside `data`, `fail` is called (it throws the parser's own
// error) and, should it return, 0 is read.
template <typename Fail>
std::uint16_t ReadLe16(std::span<const std::uint8_t> data, std::size_t at, Fail&& fail) {
  if (HasBytes(data, at, 2)) return LoadLe16(data.data() + at);
  fail();
  return 0;
}
template <typename Fail>
std::uint32_t ReadLe32(std::span<const std::uint8_t> data, std::size_t at, Fail&& fail) {
  if (HasBytes(data, at, 4)) return LoadLe32(data.data() + at);
  fail();
  return 0;
}

inline void StoreLe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
  StoreLe16(p, v & 0xFFFF);
  StoreLe16(p + 2, v >> 16);
}

}  // namespace qv
