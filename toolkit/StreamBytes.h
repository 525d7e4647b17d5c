// Reading a file format's bytes from a stream without trusting its sizes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <vector>

namespace qv {

// Appends to `bytes` until it holds `total` bytes or the stream ends. The buffer
// grows by at most one chunk ahead of the data really read, so a hostile size
// in a header never makes us allocate what is not there. True when `total`
// bytes are held.
bool ReadUpTo(std::istream& in, std::vector<std::uint8_t>& bytes, std::size_t total);

}  // namespace qv
