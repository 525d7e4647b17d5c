// The numbers of the GIF stream layout, shared by the reader, the writer and
// the LZW coders.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qv::gif {

// "GIF" and the version, 6 bytes in all.
constexpr std::size_t kSignatureBytes = 6;
constexpr const char* kSignature87 = "GIF87a";
constexpr const char* kSignature89 = "GIF89a";

// Block introducers.
constexpr std::uint8_t kExtensionIntroducer = '!';
constexpr std::uint8_t kImageIntroducer = ',';
constexpr std::uint8_t kTrailer = ';';

// Extension labels, after the '!' introducer.
constexpr std::uint8_t kGraphicControlLabel = 0xF9;
constexpr std::uint8_t kPlainTextLabel = 0x01;
constexpr std::uint8_t kApplicationLabel = 0xFF;
constexpr std::uint8_t kCommentLabel = 0xFE;

// The fixed bytes after a label: graphic control (block size 4, packed, delay
// low, delay high, transparent index, terminator), plain text (block size 12
// and the text grid), application (block size 11 and the identifier).
constexpr std::size_t kGraphicControlBytes = 6;
constexpr std::size_t kPlainTextBytes = 13;
constexpr std::size_t kApplicationBytes = 12;
constexpr std::size_t kApplicationIdBytes = 11;
// Graphic control record: its block size, then the offsets of the packed
// flags, the delay and the transparent index.
constexpr std::uint8_t kGraphicControlBlockSize = 4;
constexpr std::size_t kControlPacked = 1;
constexpr std::size_t kControlDelayLow = 2;
constexpr std::size_t kControlDelayHigh = 3;
constexpr std::size_t kControlTransparent = 4;
constexpr std::uint8_t kControlTransparentFlag = 0x01;
constexpr std::uint8_t kControlKeepMask = 0xE3;  // all but the disposal method
constexpr int kControlDisposalShift = 2;
constexpr std::uint8_t kDisposalMask = 0x07;

// The looping extension: an application block with this identifier, whose
// first sub-block is 1 and the little-endian repeat count.
constexpr const char* kLoopId = "NETSCAPE2.0";
constexpr const char* kLoopIdAlternative = "ANIMEXTS1.0";
constexpr std::uint8_t kLoopSubBlockBytes = 3;
constexpr std::uint8_t kLoopSubBlockId = 1;

// Logical screen descriptor: width, height, packed, background, aspect ratio.
constexpr std::size_t kScreenDescriptorBytes = 7;
// Image descriptor after ',': left, top, width, height, packed.
constexpr std::size_t kImageDescriptorBytes = 9;
// Packed fields of both descriptors.
constexpr std::uint8_t kColorTableFlag = 0x80;
constexpr std::uint8_t kInterlacedFlag = 0x40;
constexpr std::uint8_t kTableSizeMask = 0x07;
constexpr int kColorResolutionShift = 4;

// Data sub-blocks: a length byte, at most 255 bytes, a zero length at the end.
constexpr std::size_t kMaxSubBlockBytes = 255;
constexpr std::uint8_t kBlockTerminator = 0;

// LZW: codes of at most 12 bits, a table of 4096 strings, a minimum code size
// from 2 to 9 in the coded data's first byte.
constexpr int kMaxCodeBits = 12;
constexpr int kCodeTableSize = 1 << kMaxCodeBits;
constexpr int kMinCodeSize = 2;
constexpr int kMaxCodeSize = 9;

}  // namespace qv::gif
