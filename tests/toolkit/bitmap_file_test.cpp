#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fake/TempDir.h"
#include "tests/toolkit/graphics_test_support.h"
#include "toolkit/BmpCodec.h"
#include "toolkit/Graphics.h"

namespace qv {
namespace {

using testing_support::Paint;
using testing_support::Picture;
using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<std::string>;

// A BMP file laid out field by field, so tests can bend any of them.
struct BmpSpec {
  std::uint32_t headerSize = 40;
  std::int32_t width = 1;
  std::int32_t height = 1;
  std::uint16_t bits = 24;
  std::uint32_t compression = 0;
  std::uint32_t sizeImage = 0;
  std::uint32_t colorsUsed = 0;
  std::vector<std::uint32_t> masks;  // in the header from 52 bytes on, else after it
  std::vector<TColor> palette;       // 4 bytes an entry (3 for the 12-byte header)
  Bytes pixels;
  long long pixelOffset = -1;  // -1: right after the palette
};

void Put16(Bytes& b, std::uint32_t v) {
  b.push_back(static_cast<std::uint8_t>(v));
  b.push_back(static_cast<std::uint8_t>(v >> 8));
}
void Put32(Bytes& b, std::uint32_t v) {
  Put16(b, v & 0xFFFF);
  Put16(b, v >> 16);
}

Bytes Build(const BmpSpec& s) {
  Bytes h;
  Put32(h, s.headerSize);
  if (s.headerSize == 12) {
    Put16(h, static_cast<std::uint32_t>(s.width));
    Put16(h, static_cast<std::uint32_t>(s.height));
    Put16(h, 1);
    Put16(h, s.bits);
  } else {
    Put32(h, static_cast<std::uint32_t>(s.width));
    Put32(h, static_cast<std::uint32_t>(s.height));
    Put16(h, 1);
    Put16(h, s.bits);
    Put32(h, s.compression);
    Put32(h, s.sizeImage);
    Put32(h, 2835);
    Put32(h, 2835);
    Put32(h, s.colorsUsed);
    Put32(h, 0);
    if (s.headerSize >= 52) {
      for (std::size_t i = 0; i < 4; ++i) Put32(h, i < s.masks.size() ? s.masks[i] : 0);
    } else {
      for (std::uint32_t m : s.masks) Put32(h, m);
    }
    while (h.size() < s.headerSize + (s.headerSize == 40 ? s.masks.size() * 4 : 0)) h.push_back(0);
    h.resize(s.headerSize + (s.headerSize == 40 ? s.masks.size() * 4 : 0));
  }
  for (TColor c : s.palette) {
    h.push_back(GetBValue(c));
    h.push_back(GetGValue(c));
    h.push_back(GetRValue(c));
    if (s.headerSize != 12) h.push_back(0);
  }
  const std::size_t offset = s.pixelOffset >= 0 ? static_cast<std::size_t>(s.pixelOffset) : 14 + h.size();
  Bytes file = {'B', 'M'};
  Put32(file, static_cast<std::uint32_t>(14 + h.size() + s.pixels.size()));
  Put32(file, 0);
  Put32(file, static_cast<std::uint32_t>(offset));
  file.insert(file.end(), h.begin(), h.end());
  file.insert(file.end(), s.pixels.begin(), s.pixels.end());
  return file;
}

std::string AsString(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

void Load(TBitmap& bitmap, const Bytes& file) {
  std::istringstream in(AsString(file));
  bitmap.LoadFromStream(in);
}

Bytes Save(TBitmap& bitmap) {
  std::ostringstream out;
  bitmap.SaveToStream(out);
  const std::string s = out.str();
  return Bytes(s.begin(), s.end());
}

std::uint32_t Read32(const Bytes& b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

// --- Writing and reading back ---------------------------------------------------

TEST(BitmapFile, EveryDepthSurvivesARoundTrip) {
  const Rows picture = {"RGB#.RG", "YA#.RGB", "#.RGBYA", "S.RRGBg", "FYGBR#."};
  const Rows monochrome = {"#.#..##", "..#.#.#", "#######", ".......", "#..#..#"};
  struct Case {
    TPixelFormat format;
    int bits;
    std::size_t paletteEntries;
  } cases[] = {{pf1bit, 1, 2}, {pf4bit, 4, 16}, {pf8bit, 8, 256}, {pf24bit, 24, 0}, {pf32bit, 32, 0}};
  for (const Case& k : cases) {
    TBitmap original;
    Paint(original, k.format == pf1bit ? monochrome : picture);
    original.SetPixelFormat(k.format);
    const Bytes file = Save(original);
    const std::size_t offset = 14 + 40 + 4 * k.paletteEntries;
    ASSERT_EQ(file.size(), offset + DibRowStride(7, k.bits) * 5) << k.bits;
    EXPECT_EQ(Read32(file, 10), offset);
    EXPECT_EQ(file[28], k.bits);
    EXPECT_EQ(Read32(file, 30), 0u);  // no compression

    TBitmap copy;
    Load(copy, file);
    EXPECT_EQ(copy.PixelFormat(), k.format);
    EXPECT_EQ(copy.Palette(), original.Palette());
    EXPECT_EQ(Picture(copy), Picture(original)) << k.bits;
  }
}

TEST(BitmapFile, FilesOnDiskRoundTripAndMissingFilesRaise) {
  platform::fake::TempDir dir;
  TBitmap original;
  Paint(original, {"RG", "B."});
  original.SaveToFile(dir.File("a.bmp"));
  TBitmap copy;
  copy.LoadFromFile(dir.File("a.bmp"));
  EXPECT_EQ(Picture(copy), (Rows{"RG", "B."}));
  EXPECT_THROW(copy.LoadFromFile(dir.File("missing.bmp")), EFOpenError);
  EXPECT_THROW(copy.LoadFromFile(dir.Path()), EFOpenError);  // not a picture that reads as empty
  EXPECT_EQ(Picture(copy), (Rows{"RG", "B."}));
}

TEST(BitmapFile, EmptyBitmapWritesNothingAndNothingReadsAsEmpty) {
  TBitmap empty;
  EXPECT_TRUE(Save(empty).empty());
  TBitmap b;
  Paint(b, {"R"});
  Load(b, {});
  EXPECT_TRUE(b.Empty());
}

TEST(BitmapFile, ReadingStopsAtTheEndOfOneFile) {
  TBitmap a, b;
  Paint(a, {"R"});  // 58 bytes: headers and one padded pixel
  Paint(b, {"GB"});
  std::istringstream in(AsString(Save(a)) + AsString(Save(b)) + "tail");
  TBitmap first, second;
  first.LoadFromStream(in);
  second.LoadFromStream(in);
  EXPECT_EQ(Picture(first), (Rows{"R"}));
  EXPECT_EQ(Picture(second), (Rows{"GB"}));
  std::string rest;
  in >> rest;
  EXPECT_EQ(rest, "tail");
}

// --- Header forms and row orders ------------------------------------------------------

TEST(BitmapFile, BottomUpAndTopDownRowsGiveTheSameImage) {
  BmpSpec s;
  s.width = 2;
  s.height = 2;
  const Bytes red_blue = {0, 0, 255, 255, 0, 0, 0, 0};        // R B + padding
  const Bytes lime_white = {0, 255, 0, 255, 255, 255, 0, 0};  // G . + padding
  s.pixels = lime_white;
  s.pixels.insert(s.pixels.end(), red_blue.begin(), red_blue.end());  // bottom row first
  TBitmap up;
  Load(up, Build(s));
  s.height = -2;
  s.pixels = red_blue;
  s.pixels.insert(s.pixels.end(), lime_white.begin(), lime_white.end());  // top row first
  TBitmap down;
  Load(down, Build(s));
  EXPECT_EQ(Picture(up), (Rows{"RB", "G."}));
  EXPECT_EQ(Picture(down), Picture(up));
}

TEST(BitmapFile, CoreHeaderHasThreeBytePaletteEntries) {
  BmpSpec s;
  s.headerSize = 12;
  s.width = 3;
  s.bits = 8;
  s.palette = {clRed, clLime};  // a short table: the pixels follow right after it
  s.pixels = {1, 0, 1, 0};
  TBitmap b;
  Load(b, Build(s));
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(Picture(b), (Rows{"GRG"}));
}

TEST(BitmapFile, LaterHeaderVersionsAreRead) {
  for (std::uint32_t size : {52u, 56u, 108u, 124u}) {
    BmpSpec s;
    s.headerSize = size;
    s.width = 2;
    s.pixels = {0, 0, 255, 255, 0, 0, 0, 0};
    TBitmap b;
    Load(b, Build(s));
    EXPECT_EQ(Picture(b), (Rows{"RB"})) << size;
  }
}

TEST(BitmapFile, SixteenBitPixelsAreWidenedThroughTheirMasks) {
  BmpSpec s;
  s.width = 4;
  s.bits = 16;
  s.pixels = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0x10, 0x42};  // 555: red, green, blue, grey 16
  TBitmap b;
  Load(b, Build(s));
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  EXPECT_EQ(b.GetPixel(0, 0), clRed);
  EXPECT_EQ(b.GetPixel(1, 0), clLime);
  EXPECT_EQ(b.GetPixel(2, 0), clBlue);
  EXPECT_EQ(b.GetPixel(3, 0), RGB(132, 132, 132));  // 16 of 31

  s.compression = 3;
  s.masks = {0xF800, 0x07E0, 0x001F};  // 565
  s.pixels = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x20, 0x00};
  Load(b, Build(s));
  EXPECT_EQ(Picture(b).front().substr(0, 3), "RGB");
  EXPECT_EQ(b.GetPixel(3, 0), RGB(0, 4, 0));  // 1 of 63
}

TEST(BitmapFile, ThirtyTwoBitFieldsKeepAlphaOnlyWhenMasked) {
  BmpSpec s;
  s.headerSize = 124;
  s.width = 1;
  s.bits = 32;
  s.compression = 3;
  s.masks = {0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000};
  s.pixels = {0x30, 0x20, 0x10, 0x80};
  TBitmap b;
  Load(b, Build(s));
  EXPECT_EQ(b.PixelFormat(), pf32bit);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(0x10, 0x20, 0x30));
  EXPECT_EQ(b.ScanLine(0)[3], 0x80);

  s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // red in the low byte, no alpha
  Load(b, Build(s));
  EXPECT_EQ(b.GetPixel(0, 0), RGB(0x30, 0x20, 0x10));
  EXPECT_EQ(b.ScanLine(0)[3], 0);
}

// --- Run-length data -------------------------------------------------------------

TEST(BitmapFile, Rle8RunsLiteralsMovesAndLineEnds) {
  BmpSpec s;
  s.width = 5;
  s.height = 3;
  s.bits = 8;
  s.compression = 1;
  for (int i = 0; i < 8; ++i) s.palette.push_back(RGB(static_cast<std::uint8_t>(i * 10), 0, 0));
  s.pixels = {2, 5, 0, 3, 1, 2, 3, 0, 0, 0,  // bottom row: run, literal (padded), end of line
              1, 7, 0, 2, 2, 0, 2, 4, 0, 0,  // move right by 2, run of 2
              7, 6, 0, 1};                   // an overlong run is clipped; end of bitmap
  TBitmap b;
  Load(b, Build(s));
  ASSERT_EQ(b.PixelFormat(), pf8bit);
  const auto row = [&](int y) { return Bytes(b.ScanLine(y), b.ScanLine(y) + 5); };
  EXPECT_EQ(row(2), (Bytes{5, 5, 1, 2, 3}));
  EXPECT_EQ(row(1), (Bytes{7, 0, 0, 4, 4}));
  EXPECT_EQ(row(0), (Bytes{6, 6, 6, 6, 6}));
  EXPECT_EQ(b.GetPixel(4, 2), RGB(30, 0, 0));
}

TEST(BitmapFile, Rle4AlternatesNibbles) {
  BmpSpec s;
  s.width = 5;
  s.height = 2;
  s.bits = 4;
  s.compression = 2;
  s.palette.assign(16, clBlack);
  s.pixels = {5, 0x12, 0,    0,                     // 1 2 1 2 1
              0, 5,    0x34, 0x56, 0x70, 0, 0, 1};  // literal of five (3 bytes + pad), end
  TBitmap b;
  Load(b, Build(s));
  ASSERT_EQ(b.PixelFormat(), pf4bit);
  EXPECT_EQ(Bytes(b.ScanLine(1), b.ScanLine(1) + 3), (Bytes{0x12, 0x12, 0x10}));
  EXPECT_EQ(Bytes(b.ScanLine(0), b.ScanLine(0) + 3), (Bytes{0x34, 0x56, 0x70}));
}

TEST(BitmapFile, RleWithoutEndMarkerIsAcceptedOnlyWhenEveryRowIsThere) {
  BmpSpec s;
  s.width = 2;
  s.height = 2;
  s.bits = 8;
  s.compression = 1;
  s.palette = {clBlack, clWhite};
  s.pixels = {2, 1, 0, 0, 2, 1};
  TBitmap b;
  Load(b, Build(s));
  EXPECT_EQ(Picture(b), (Rows{"..", ".."}));
  s.pixels = {2, 1, 0, 0};
  EXPECT_THROW(Load(b, Build(s)), EInvalidGraphic);
  s.pixels = {0, 4, 1, 1};  // a literal of four with two bytes left
  EXPECT_THROW(Load(b, Build(s)), EInvalidGraphic);
}

// --- Malformed and hostile files -----------------------------------------------------

TEST(BitmapFile, MalformedFilesFailCleanly) {
  BmpSpec good;
  good.width = 4;
  good.height = 4;
  good.pixels.assign(48, 0);
  struct Case {
    const char* what;
    Bytes file;
  };
  std::vector<Case> cases;
  cases.push_back({"too short", {'B', 'M', 0, 0, 0}});
  Bytes wrongSignature = Build(good);
  wrongSignature[0] = 'X';
  cases.push_back({"signature", wrongSignature});
  const auto with = [&](const char* what, auto change) {
    BmpSpec s = good;
    change(s);
    cases.push_back({what, Build(s)});
  };
  with("header size", [](BmpSpec& s) { s.headerSize = 20; });
  with("zero width", [](BmpSpec& s) { s.width = 0; });
  with("negative width", [](BmpSpec& s) { s.width = -4; });
  with("zero height", [](BmpSpec& s) { s.height = 0; });
  with("bit count", [](BmpSpec& s) { s.bits = 7; });
  with("compression", [](BmpSpec& s) { s.compression = 9; });
  with("RLE8 at 24 bits", [](BmpSpec& s) { s.compression = 1; });
  with("top-down RLE", [](BmpSpec& s) {
    s.bits = 8;
    s.compression = 1;
    s.height = -4;
  });
  with("bit fields at 24 bits", [](BmpSpec& s) {
    s.compression = 3;
    s.masks = {0xFF0000, 0xFF00, 0xFF};
  });
  with("scattered mask", [](BmpSpec& s) {
    s.bits = 16;
    s.compression = 3;
    s.masks = {0x0F0F, 0x00F0, 0x0000};
  });
  with("truncated pixels", [](BmpSpec& s) { s.pixels.resize(40); });
  with("truncated palette", [](BmpSpec& s) {
    s.bits = 8;
    s.palette = {clRed, clRed, clRed};  // 256 are due and the offset claims them
    s.pixels.clear();
    s.pixelOffset = 14 + 40 + 1024;
  });
  with("colour count that lies", [](BmpSpec& s) {
    s.bits = 8;
    s.colorsUsed = 0x7FFFFFFF;
    s.pixelOffset = 0;
  });
  with("pixel offset beyond the file", [](BmpSpec& s) { s.pixelOffset = 1 << 20; });
  with("core header at 16 bits", [](BmpSpec& s) {
    s.headerSize = 12;
    s.bits = 16;
  });
  for (const Case& c : cases) {
    TBitmap b;
    Paint(b, {"R"});
    try {
      Load(b, c.file);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const EInvalidGraphic& e) {
      EXPECT_STREQ(e.what(), "Bitmap image is not valid") << c.what;
    }
    EXPECT_EQ(Picture(b), (Rows{"R"})) << c.what << ": the old image must stay";
  }
}

TEST(BitmapFile, HugeAnnouncedSizesHitTheLimitBeforeAnyAllocation) {
  for (const auto& [w, h] : {std::pair{20000, 1}, std::pair{1, -20000}, std::pair{16000, 16000}}) {
    BmpSpec s;
    s.width = w;
    s.height = h;
    s.pixels.assign(16, 0);  // far too little: the limit is checked first
    TBitmap b;
    EXPECT_THROW(Load(b, Build(s)), EInvalidGraphicOperation) << w << "x" << h;
  }
}

TEST(BitmapFile, AColourCountBeyondTheTableIsTrustedOnlyAsFarAsTheFileBacksIt) {
  BmpSpec s;
  s.width = 2;
  s.bits = 8;
  s.colorsUsed = 0x7FFFFFFF;
  s.palette = {clRed, clBlue};
  s.pixels = {1, 0, 0, 0};
  TBitmap b;
  Load(b, Build(s));
  EXPECT_EQ(b.Palette().size(), 2u);
  EXPECT_EQ(Picture(b), (Rows{"BR"}));
}

// --- Cross-check with files another program writes ------------------------------------------

bool HaveConvert() {
  return std::system("command -v convert >/dev/null 2>&1") == 0;
}

TEST(BitmapFile, ReadsFilesWrittenByImageMagick) {
  if (!HaveConvert()) GTEST_SKIP() << "ImageMagick convert is not installed";
  platform::fake::TempDir dir;
  const std::string truecolor = dir.File("tc.bmp"), palette = dir.File("pal.bmp"),
                    bitfields = dir.File("bf.bmp");
  const std::string draw = " -fill blue -draw 'point 1,1' -fill lime -draw 'point 6,4' ";
  ASSERT_EQ(std::system(("convert -size 7x5 xc:red" + draw + "-type TrueColor BMP3:" + truecolor).c_str()),
            0);
  ASSERT_EQ(std::system(("convert -size 7x5 xc:red" + draw + "-type Palette BMP3:" + palette).c_str()), 0);
  ASSERT_EQ(std::system(
                ("convert -size 7x5 xc:red" + draw + "-define bmp:subtype=RGB565 BMP:" + bitfields).c_str()),
            0);
  const Rows expected = {"RRRRRRR", "RBRRRRR", "RRRRRRR", "RRRRRRR", "RRRRRRG"};
  for (const std::string& file : {truecolor, palette, bitfields}) {
    TBitmap b;
    b.LoadFromFile(file);
    EXPECT_EQ(Picture(b), expected) << file;
  }
  TBitmap p;
  p.LoadFromFile(palette);
  EXPECT_TRUE(IsIndexed(p.PixelFormat()));
}

}  // namespace
}  // namespace qv
