// The BMP reader against files ImageMagick writes in every form it offers,
// with ImageMagick's own reading of the same file as the reference.
#include <gtest/gtest.h>

#include <cstdlib>

#include "imaging_test_support.h"
#include "platform/fake/TempDir.h"
#include "toolkit/BmpCodec.h"

namespace qv {
namespace {

using namespace imaging_test;

struct Variant {
  const char* name;
  const char* options;  // between the source and the output file
  int bitCount;         // as the file must say
  std::uint32_t compression;
};

TEST(BmpMagick, DecodesEveryFormImageMagickWrites) {
  const std::string magick = MagickCommand();
  if (magick.empty()) GTEST_SKIP() << "ImageMagick is not installed";
  platform::fake::TempDir dir;
  // Odd width so every row carries padding; alpha varies for the 32-bit form.
  const int w = 37, h = 23;
  WriteFile(dir.File("src.png"), Png(w, h, [](int x, int y) {
              const std::uint32_t a = x < 5 ? 0x40u : 0xFFu;
              return (a << 24) | (static_cast<std::uint32_t>(x * 7) << 16) |
                     (static_cast<std::uint32_t>(y * 11) << 8) | static_cast<std::uint32_t>((x * y) & 0xFF);
            }));
  const Variant variants[] = {
      {"24-bit", "-alpha off BMP3:", 24, 0},
      {"8-bit palette", "-alpha off -colors 200 -type Palette -compress None BMP3:", 8, 0},
      {"8-bit RLE", "-alpha off -colors 200 -type Palette -compress RLE BMP3:", 8, 1},
      {"4-bit palette", "-alpha off -colors 12 -type Palette BMP3:", 4, 0},
      {"1-bit", "-alpha off -monochrome BMP3:", 1, 0},
      {"32-bit alpha", "-alpha on BMP:", 32, 3},
      {"16-bit 565", "-alpha off -define bmp:subtype=RGB565 BMP:", 16, 3},
      {"core header", "-alpha off BMP2:", 24, 0},
  };
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    const std::string bmp = dir.File("out.bmp"), raw = dir.File("out.rgba");
    ASSERT_EQ(std::system((magick + " " + dir.File("src.png") + " " + v.options + bmp).c_str()), 0);
    ASSERT_EQ(std::system((magick + " " + bmp + " -depth 8 rgba:" + raw).c_str()), 0);
    const Bytes file = ReadFile(bmp), ref = ReadFile(raw);
    ASSERT_EQ(ref.size(), static_cast<std::size_t>(w * h * 4));
    const std::uint32_t headerSize = file[14] | (file[15] << 8);
    const int bits = headerSize == 12 ? file[24] : file[28];
    const std::uint32_t compression = headerSize == 12 ? 0 : file[30];
    EXPECT_EQ(bits, v.bitCount);
    EXPECT_EQ(compression, v.compression);

    TBitmap bitmap;
    bitmap.SetImage(TBmpCodec::Decode(file));
    ASSERT_EQ(bitmap.Width(), w);
    ASSERT_EQ(bitmap.Height(), h);
    int differing = 0;
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const std::uint8_t* r =
            ref.data() + (static_cast<std::size_t>(y) * w + static_cast<std::size_t>(x)) * 4;
        const TColor c = bitmap.GetPixel(x, y);
        // Widening 5- and 6-bit channels may round either way by one step.
        const int slack = bits == 16 ? 1 : 0;
        const auto near = [slack](int a, int b) { return std::abs(a - b) <= slack; };
        bool same = near(GetRValue(c), r[0]) && near(GetGValue(c), r[1]) && near(GetBValue(c), r[2]);
        if (bits == 32) same = same && bitmap.ScanLine(y)[static_cast<std::size_t>(x) * 4 + 3] == r[3];
        if (!same) ++differing;
      }
    EXPECT_EQ(differing, 0);
  }
}

}  // namespace
}  // namespace qv
