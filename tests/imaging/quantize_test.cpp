#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "imaging/ImagingErrors.h"
#include "imaging/Quantize.h"
#include "imaging/QuantizeMethods.h"
#include "platform/Services.h"
#include "platform/fake/ScriptedDialogs.h"
#include "toolkit/BmpCodec.h"

namespace qv {
namespace {

using quantize::InPlaceImage;

// A 24-bit buffer in the stored layout, filled by rgb(x, yFromBottom).
struct Buffer {
  int width, height;
  std::vector<std::uint8_t> bits;
  Buffer(int w, int h, const std::function<TColor(int, int)>& rgb) : width(w), height(h) {
    bits.assign(quantize::Stride24(w) * static_cast<std::size_t>(h), 0xEE);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        std::uint8_t* p = bits.data() + static_cast<std::size_t>(y) * quantize::Stride24(w) +
                          3 * static_cast<std::size_t>(x);
        const TColor c = rgb(x, y);
        p[0] = GetBValue(c);
        p[1] = GetGValue(c);
        p[2] = GetRValue(c);
      }
  }
  InPlaceImage Image() { return {bits.data(), width, height}; }
  int Index(int x, int yFromBottom) const {
    return bits[static_cast<std::size_t>(yFromBottom) * quantize::Stride8(width) +
                static_cast<std::size_t>(x)];
  }
};

TBitmap& Solid(TBitmap& b, int w, int h, const std::function<TColor(int, int)>& rgb) {
  b.SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.SetPixel(x, y, rgb(x, y));
  return b;
}

std::uint32_t Le32At(const std::vector<std::uint8_t>& f, std::size_t at) {
  return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (static_cast<std::uint32_t>(f[at + 3]) << 24);
}

TEST(QuantizeLevels, NearestLevelPrefersTheLowerOnTies) {
  EXPECT_EQ(quantize::NearestLevel8(18), 0);  // 18 is as far from 0 as from 36
  EXPECT_EQ(quantize::NearestLevel8(19), 1);
  EXPECT_EQ(quantize::NearestLevel7(64), 1);  // between 43 and 85
  EXPECT_EQ(quantize::NearestLevel4(42), 0);
  EXPECT_EQ(quantize::NearestLevel4(43), 1);
  EXPECT_EQ(quantize::NearestLevel6(255), 5);
  EXPECT_EQ(quantize::NearestLevel6(25), 0);
  EXPECT_EQ(quantize::NearestLevel6(26), 1);
}

TEST(QuantizeHistogram, FewColoursKeepTheirValuesInDecreasingFrequency) {
  Buffer buf(5, 2, [](int x, int y) {
    return x + y * 5 < 6 ? RGB(10, 20, 30) : x + y * 5 < 9 ? RGB(200, 0, 0) : RGB(1, 2, 3);
  });
  quantize::HistogramInfo info;
  const auto r = quantize::Histogram(buf.Image(), &info);
  EXPECT_EQ(info.passes, 1);
  EXPECT_EQ(info.distinctColors, 3);
  EXPECT_EQ(r.palette[0], (TPaletteEntry{10, 20, 30}));
  EXPECT_EQ(r.palette[1], (TPaletteEntry{200, 0, 0}));
  EXPECT_EQ(r.palette[2], (TPaletteEntry{1, 2, 3}));
  EXPECT_EQ(r.palette[3], (TPaletteEntry{128, 128, 128}));
  EXPECT_EQ(buf.Index(0, 0), 0);
  EXPECT_EQ(buf.Index(3, 1), 1);
  EXPECT_EQ(buf.Index(4, 1), 2);
}

TEST(QuantizeHistogram, ThreeThousandColoursAreCountedAgainWithBlueMask254) {
  // 1500 colours in pairs that differ only in the lowest blue bit.
  Buffer buf(100, 30, [](int x, int y) {
    const int i = (y * 100 + x) / 2;
    return RGB(static_cast<std::uint8_t>((i % 50) * 5), static_cast<std::uint8_t>((i / 50) * 8),
               static_cast<std::uint8_t>(100 + x % 2));
  });
  quantize::HistogramInfo info;
  const auto r = quantize::Histogram(buf.Image(), &info);
  EXPECT_EQ(info.passes, 2);
  EXPECT_EQ(info.blueMask, 254);
  EXPECT_EQ(info.redMask, 255);
  EXPECT_EQ(info.greenMask, 255);
  EXPECT_EQ(info.distinctColors, 1500);
  for (const TPaletteEntry& e : r.palette) EXPECT_TRUE(e.Blue == 100 || e.Blue == 128);
}

TEST(QuantizeHistogram, MasksCoarsenInRotationAndOtherColoursGoToTheNearestEntry) {
  std::mt19937 random(7);
  Buffer buf(300, 200, [&](int, int) { return random() & 0xFFFFFF; });
  const Buffer original = buf;
  quantize::HistogramInfo info;
  const auto r = quantize::Histogram(buf.Image(), &info);
  std::uint8_t m[3] = {255, 255, 255};       // red, green, blue
  std::uint8_t before[3] = {255, 255, 255};  // one step less
  for (int i = 1; i < info.passes; ++i) {
    if (m[0] < m[1])
      m[1] = static_cast<std::uint8_t>(m[1] << 1);
    else if (m[0] > m[2])
      m[0] = static_cast<std::uint8_t>(m[0] << 1);
    else
      m[2] = static_cast<std::uint8_t>(m[2] << 1);
    if (i + 1 < info.passes) std::copy(m, m + 3, before);
  }
  EXPECT_GT(info.passes, 3);
  // The masks are the first of the rotation under which the colours fit.
  const auto distinct = [&](std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    std::set<std::uint32_t> colours;
    for (int y = 0; y < 200; ++y)
      for (int x = 0; x < 300; ++x) {
        const std::uint8_t* p = original.bits.data() + static_cast<std::size_t>(y) * quantize::Stride24(300) +
                                3 * static_cast<std::size_t>(x);
        colours.insert(((p[2] & r) << 16) | ((p[1] & g) << 8) | (p[0] & b));
      }
    return colours.size();
  };
  EXPECT_LE(distinct(m[0], m[1], m[2]), 2049u);
  EXPECT_GT(distinct(before[0], before[1], before[2]), 2049u);
  EXPECT_EQ(info.redMask, m[0]);
  EXPECT_EQ(info.greenMask, m[1]);
  EXPECT_EQ(info.blueMask, m[2]);
  EXPECT_LE(info.distinctColors, quantize::kHistogramColors);
  // Every pixel lands on the entry nearest to its masked colour.
  for (int y = 0; y < 200; y += 17)
    for (int x = 0; x < 300; x += 13) {
      const std::uint8_t* p = original.bits.data() + static_cast<std::size_t>(y) * quantize::Stride24(300) +
                              3 * static_cast<std::size_t>(x);
      const int rr = p[2] & m[0], gg = p[1] & m[1], bb = p[0] & m[2];
      int best = INT32_MAX;
      for (const auto& e : r.palette)
        best = std::min(best, (e.Red - rr) * (e.Red - rr) + (e.Green - gg) * (e.Green - gg) +
                                  (e.Blue - bb) * (e.Blue - bb));
      const auto& got = r.palette[static_cast<std::size_t>(buf.Index(x, y))];
      EXPECT_EQ((got.Red - rr) * (got.Red - rr) + (got.Green - gg) * (got.Green - gg) +
                    (got.Blue - bb) * (got.Blue - bb),
                best);
    }
}

TEST(QuantizeMedianCut, OneColourGivesOneBoxAndBlackElsewhere) {
  Buffer buf(7, 3, [](int, int) { return RGB(200, 100, 50); });
  const auto r = quantize::MedianCut(buf.Image());
  EXPECT_EQ(r.importantColors, 1u);
  EXPECT_EQ(r.palette[0], (TPaletteEntry{207, 111, 63}));  // cell (12, 6, 3): 16 v + 15
  for (std::size_t i = 1; i < 256; ++i) EXPECT_EQ(r.palette[i], (TPaletteEntry{0, 0, 0}));
  EXPECT_EQ(buf.Index(6, 2), 0);
}

TEST(QuantizeMedianCut, SplitsAtTheMedianAndDarkBoxesAreBlack) {
  // Three red pixels, one blue and one near-black: the first split on red puts
  // the two cells of red value 0 apart from the red cell.
  Buffer buf(5, 1, [](int x, int) {
    return x < 3 ? RGB(255, 0, 0) : x == 3 ? RGB(0, 0, 255) : RGB(5, 5, 5);
  });
  const auto r = quantize::MedianCut(buf.Image());
  EXPECT_EQ(r.importantColors, 3u);
  const int red = buf.Index(0, 0), blue = buf.Index(3, 0), dark = buf.Index(4, 0);
  EXPECT_NE(red, blue);
  EXPECT_NE(blue, dark);
  EXPECT_EQ(r.palette[static_cast<std::size_t>(red)], (TPaletteEntry{255, 15, 15}));
  EXPECT_EQ(r.palette[static_cast<std::size_t>(blue)], (TPaletteEntry{15, 15, 255}));
  EXPECT_EQ(r.palette[static_cast<std::size_t>(dark)], (TPaletteEntry{0, 0, 0}));  // (15, 15, 15) is dark
}

TEST(QuantizeMedianCut, SortOrdersByChannelAndGradientsStayClose) {
  std::mt19937 random(3);
  std::vector<std::uint16_t> cells(300);
  for (auto& c : cells) c = static_cast<std::uint16_t>(random() % 4096);
  auto sorted = cells;
  quantize::SortCells(sorted.data(), static_cast<int>(sorted.size()), 1);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(),
                             [](auto a, auto b) { return ((a >> 4) & 15) < ((b >> 4) & 15); }));
  EXPECT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), cells.begin()));

  Buffer buf(256, 64, [](int x, int y) {
    return RGB(static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y * 4), 128);
  });
  const Buffer original = buf;
  const auto r = quantize::MedianCut(buf.Image());
  EXPECT_EQ(r.importantColors, 256u);
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 256; ++x) {
      const auto& e = r.palette[static_cast<std::size_t>(buf.Index(x, y))];
      EXPECT_LE(std::abs(e.Red - x), 40);
      EXPECT_LE(std::abs(e.Green - y * 4), 40);
    }
  (void)original;
}

TEST(QuantizeFixed, CubesMapPureRedAndFillTheRestWithGrey) {
  Buffer a(2, 1, [](int x, int) { return x == 0 ? RGB(255, 0, 0) : RGB(255, 255, 255); });
  const auto r224 = quantize::Fixed224(a.Image());
  EXPECT_EQ(a.Index(0, 0), 192);
  EXPECT_EQ(a.Index(1, 0), 223);
  EXPECT_EQ(r224.importantColors, 224u);
  EXPECT_EQ(r224.palette[192], (TPaletteEntry{255, 0, 0}));
  EXPECT_EQ(r224.palette[224], (TPaletteEntry{128, 128, 128}));

  Buffer b(2, 1, [](int x, int) { return x == 0 ? RGB(255, 0, 0) : RGB(18, 110, 26); });
  const auto r216 = quantize::Fixed216(b.Image());
  EXPECT_EQ(b.Index(0, 0), 180);
  EXPECT_EQ(b.Index(1, 0), 0 * 36 + 2 * 6 + 1);
  EXPECT_EQ(r216.importantColors, 216u);
  EXPECT_EQ(r216.palette[180], (TPaletteEntry{255, 0, 0}));
  EXPECT_EQ(r216.palette[255], (TPaletteEntry{128, 128, 128}));
}

TEST(QuantizeTripletAndGrey, PositionPicksTheChannelAndGreyWeighsThem) {
  Buffer t(4, 2, [](int, int) { return RGB(200, 100, 40); });
  const auto rt = quantize::Triplet(t.Image());
  EXPECT_EQ(t.Index(0, 0), 50);        // (0 + 0) mod 3 = 0: red / 4
  EXPECT_EQ(t.Index(1, 0), 64 + 25);   // green
  EXPECT_EQ(t.Index(2, 0), 128 + 10);  // blue
  EXPECT_EQ(t.Index(0, 1), 64 + 25);   // the bottom row counts as row 0
  EXPECT_EQ(rt.palette[64 + 25], (TPaletteEntry{0, 100, 0}));
  EXPECT_EQ(rt.palette[200], (TPaletteEntry{0, 0, 0}));
  EXPECT_EQ(rt.importantColors, 0u);

  // Width 5 leaves row padding in both layouts: the rows must not smear.
  Buffer g(5, 3, [](int x, int y) {
    return x == 0 ? clWhite : x == 1 ? clBlue : RGB(static_cast<std::uint8_t>(40 * y), 0, 0);
  });
  const auto rg = quantize::Grey(g.Image());
  for (int y = 0; y < 3; ++y) {
    EXPECT_EQ(g.Index(0, y), 255);
    EXPECT_EQ(g.Index(1, y), 28);
    EXPECT_EQ(g.Index(4, y), 77 * 40 * y / 256);
    for (std::size_t p = 5; p < 8; ++p) EXPECT_EQ(g.bits[static_cast<std::size_t>(y) * 8 + p], 0);
  }
  EXPECT_EQ(rg.palette[77], (TPaletteEntry{77, 77, 77}));
}

class ReduceBitmapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = platform::Current().dialogs;
    platform::Current().dialogs = &dialogs_;
  }
  void TearDown() override {
    platform::Current().dialogs = saved_;
    SetDefaultReduction(rmHistogram);
  }
  platform::fake::ScriptedDialogs dialogs_;
  platform::IDialogs* saved_ = nullptr;
};

TEST_F(ReduceBitmapTest, EightBitFileHasTheHeadersPaletteAndImportantColours) {
  TBitmap b;
  Solid(b, 5, 3, [](int x, int) { return x < 2 ? clRed : clWhite; });
  const auto file = ReduceBitmap(&b, rt8Bit, rmFixed224);
  ASSERT_EQ(file.size(), 14u + 40 + 1024 + 8 * 3);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(Le32At(file, 2), file.size());
  EXPECT_EQ(Le32At(file, 10), 1078u);
  EXPECT_EQ(Le32At(file, 14 + 20), 24u);   // image size of the 8-bit rows
  EXPECT_EQ(Le32At(file, 14 + 36), 224u);  // important colours
  const TDibImage image = TBmpCodec::Decode(file);
  EXPECT_EQ(image.format, pf8bit);
  EXPECT_EQ(image.bits[0], 192);
  EXPECT_EQ(image.bits[4], 223);
  EXPECT_EQ(image.palette[192], (TPaletteEntry{255, 0, 0}));
}

TEST_F(ReduceBitmapTest, EightBitInputPassesThroughUnlessGreyIsAsked) {
  TBitmap b;
  Solid(b, 4, 4, [](int x, int y) { return (x + y) % 2 ? clBlue : clYellow; });
  b.ConvertToIndexed(pf8bit, {{255, 255, 0}, {0, 0, 255}});
  EXPECT_EQ(ReduceBitmap(&b, rt8Bit, rmMedianCut), TBmpCodec::Encode(b));
  const TDibImage grey = TBmpCodec::Decode(ReduceBitmap(&b, rt8Bit, rmGrey));
  EXPECT_EQ(grey.palette[28], (TPaletteEntry{28, 28, 28}));
  EXPECT_EQ(grey.bits[0], 28);   // (0, bottom row) is blue
  EXPECT_EQ(grey.bits[1], 226);  // yellow
}

TEST_F(ReduceBitmapTest, OneAndFourBitsUseTheNearestEntryOfTheTable) {
  TBitmap b;
  Solid(b, 3, 1, [](int x, int) {
    return x == 0 ? RGB(20, 20, 20) : x == 1 ? RGB(230, 240, 250) : RGB(250, 10, 10);
  });
  const TDibImage one = TBmpCodec::Decode(ReduceBitmap(&b, rt1Bit, rmGrey));
  EXPECT_EQ(one.format, pf1bit);
  EXPECT_EQ(one.bits[0], 0b01000000);  // black, white, then red nearer to black
  const TDibImage four = TBmpCodec::Decode(ReduceBitmap(&b, rt4Bit, rmHistogram));
  EXPECT_EQ(four.format, pf4bit);
  EXPECT_EQ(four.palette[four.bits[1] >> 4], (TPaletteEntry{255, 0, 0}));
}

TEST_F(ReduceBitmapTest, InvalidBitmapAndUnknownTargetOrMethod) {
  TBitmap empty;
  EXPECT_THROW(
      {
        try {
          ReduceBitmap(&empty, rt8Bit, rmHistogram);
        } catch (const EInvalidGraphic& e) {
          EXPECT_STREQ(e.what(), "Bitmap image is not valid");
          throw;
        }
      },
      EInvalidGraphic);
  EXPECT_THROW(ReduceBitmap(nullptr, rt8Bit, rmHistogram), EInvalidGraphic);
  EXPECT_TRUE(dialogs_.shown.empty());

  TBitmap b;
  Solid(b, 2, 2, [](int, int) { return clRed; });
  EXPECT_THROW(ReduceBitmap(&b, 0, rmHistogram), EAbort);
  EXPECT_THROW(ReduceBitmap(&b, 5, rmHistogram), EAbort);
  EXPECT_THROW(ReduceBitmap(&b, rt8Bit, static_cast<TReductionMethod>(6)), EAbort);
  ASSERT_EQ(dialogs_.shown.size(), 3u);
  EXPECT_EQ(dialogs_.shown[0].text, "Function not yet implemented");
}

TEST_F(ReduceBitmapTest, ReduceColorsPicksTheDepthByCount) {
  TBitmap b;
  Solid(b, 6, 2, [](int x, int) { return x < 3 ? RGB(10, 200, 30) : RGB(250, 250, 250); });
  ReduceColors(&b, 0);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  ReduceColors(nullptr, 16);
  ReduceColors(&b, 1000);
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  SetDefaultReduction(rmHistogram);
  ReduceColors(&b, 200);
  EXPECT_EQ(b.PixelFormat(), pf8bit);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(10, 200, 30));  // exact under the histogram
  EXPECT_EQ(b.GetPixel(5, 1), RGB(250, 250, 250));
  ReduceColors(&b, 16);
  EXPECT_EQ(b.PixelFormat(), pf4bit);
  ReduceColors(&b, 2);
  EXPECT_EQ(b.PixelFormat(), pf1bit);
  EXPECT_EQ(b.GetPixel(5, 1), clWhite);
}

TEST_F(ReduceBitmapTest, DeepAndShallowSourcesReachEightBits) {
  TBitmap b;
  Solid(b, 3, 3, [](int x, int) { return x == 1 ? clBlue : clWhite; });
  b.SetPixelFormat(pf32bit);
  const TDibImage from32 = TBmpCodec::Decode(ReduceBitmap(&b, rt8Bit, rmGrey));
  EXPECT_EQ(from32.bits[1], 28);
  b.SetPixelFormat(pf4bit);
  const TDibImage from4 = TBmpCodec::Decode(ReduceBitmap(&b, rt8Bit, rmFixed216));
  EXPECT_EQ(from4.bits[1], 5);  // blue level 5
  EXPECT_EQ(TBmpCodec::Decode(ReduceBitmap(&b, rt24Bit, rmHistogram)).format, pf24bit);
}

}  // namespace
}  // namespace qv
