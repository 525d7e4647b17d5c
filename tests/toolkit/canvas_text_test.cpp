#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Services.h"
#include "platform/fake/FixedFontEngine.h"
#include "tests/toolkit/graphics_test_support.h"
#include "toolkit/Graphics.h"

namespace qv {
namespace {

using platform::fake::FixedFontEngine;
using testing_support::Blank;
using testing_support::Picture;
using Rows = std::vector<std::string>;

class CanvasText : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = platform::Current().fonts;
    platform::Current().fonts = &font_;
  }
  void TearDown() override { platform::Current().fonts = saved_; }

  FixedFontEngine font_;
  platform::IFontEngine* saved_ = nullptr;
  TBitmap bmp_;
};

TEST_F(CanvasText, ExtentComesFromTheFontEngine) {
  TCanvas& c = bmp_.Canvas();
  EXPECT_EQ(c.TextExtent("Hi"), (TSize{12, 9}));
  EXPECT_EQ(c.TextWidth(""), 0);
  c.Font().SetStyle(fsBold);
  EXPECT_EQ(c.TextWidth("Hi"), 14);
  c.Font().SetHeight(-16);
  EXPECT_EQ(c.TextExtent("Hi"), (TSize{28, 18}));
  c.Font().SetHeight(27);  // a cell height: three times the 9-pixel cell
  EXPECT_EQ(c.TextHeight("x"), 27);
}

TEST_F(CanvasText, TextOutDrawsTheGlyphOnTheBrushAndMovesThePen) {
  Blank(bmp_, 8, 10, clSilver);
  TCanvas& c = bmp_.Canvas();
  c.Brush().SetColor(clWhite);
  c.Font().SetColor(clWindowText);
  c.TextOut(1, 0, "T");
  EXPECT_EQ(Picture(bmp_), (Rows{"S#####.S", "S..#...S", "S..#...S", "S..#...S", "S..#...S", "S..#...S",
                                 "S..#...S", "S......S", "S......S", "SSSSSSSS"}));
  EXPECT_EQ(c.PenPos(), Point(7, 0));
}

TEST_F(CanvasText, ClearBrushLeavesTheBackgroundAndUnderlineSitsBelowTheBaseline) {
  Blank(bmp_, 6, 9, clSilver);
  TCanvas& c = bmp_.Canvas();
  c.Brush().SetStyle(bsClear);
  c.Font().SetColor(clRed);
  c.Font().SetStyle(fsUnderline);
  c.TextOut(0, 0, "-");
  const Rows pic = Picture(bmp_);
  EXPECT_EQ(pic[0], "SSSSSS");
  EXPECT_EQ(pic[3], "RRRRRS");
  EXPECT_EQ(pic[7], "RRRRRR");
  EXPECT_EQ(pic[8], "SSSSSS");
}

TEST_F(CanvasText, TextRectClipsToItsRectangleAndFillsAllOfIt) {
  Blank(bmp_, 10, 10, clSilver);
  TCanvas& c = bmp_.Canvas();
  c.Brush().SetColor(clYellow);
  c.Font().SetColor(clBlack);
  c.TextRect(Rect(2, 1, 5, 4), 0, 1, "HH");
  const Rows pic = Picture(bmp_);
  EXPECT_EQ(pic[0], "SSSSSSSSSS");
  EXPECT_EQ(pic[1], "SSYY#SSSSS");  // the left stroke of 'H' is cut off, the right one shows
  EXPECT_EQ(pic[3], "SSYY#SSSSS");
  EXPECT_EQ(pic[4], "SSSSSSSSSS");
  EXPECT_EQ(c.ClipRect(), Rect(0, 0, 10, 10));  // the clip comes back afterwards
}

TEST_F(CanvasText, TextHonoursTheViewport) {
  Blank(bmp_, 12, 9);
  TCanvas& c = bmp_.Canvas();
  c.SetViewport(Rect(6, 0, 12, 9));
  c.Brush().SetStyle(bsClear);
  c.Font().SetColor(clBlack);
  c.TextOut(-6, 0, "||");  // the first bar lies left of the child and stays out
  c.ResetViewport();
  EXPECT_EQ(Picture(bmp_)[0], "........#...");
}

TEST_F(CanvasText, PartialCoverageIsBlendedOverThePixelsBeneath) {
  struct HalfInk : platform::IFontEngine {
    platform::FontMetrics Metrics(const platform::FontSpec&) override { return {1, 0, 1, 1}; }
    int TextWidth(const platform::FontSpec&, std::string_view t) override {
      return static_cast<int>(t.size());
    }
    platform::TextMask Render(const platform::FontSpec&, std::string_view t) override {
      return {static_cast<int>(t.size()), 1, std::vector<std::uint8_t>(t.size(), 128)};
    }
  } half;
  platform::Current().fonts = &half;
  Blank(bmp_, 1, 1, clBlack);
  bmp_.Canvas().Brush().SetStyle(bsClear);
  bmp_.Canvas().Font().SetColor(clWhite);
  bmp_.Canvas().TextOut(0, 0, "x");
  EXPECT_EQ(bmp_.GetPixel(0, 0), RGB(128, 128, 128));
}

TEST(CanvasTextFallback, WithoutAFontEngineTextStillHasASizeAndAMark) {
  platform::IFontEngine* saved = platform::Current().fonts;
  platform::Current().fonts = nullptr;
  TBitmap b;
  Blank(b, 12, 9);
  b.Canvas().Font().SetColor(clBlack);
  EXPECT_EQ(b.Canvas().TextExtent("ab"), (TSize{12, 9}));
  b.Canvas().TextOut(0, 0, "ab");
  EXPECT_EQ(b.GetPixel(0, 1), clBlack);
  platform::Current().fonts = saved;
}

TEST(FixedFont, GlyphsAreFiveColumnsWithDescendersBelowTheBaseline) {
  FixedFontEngine font;
  const auto& g = font.Glyph('g');
  EXPECT_NE(g[7] | g[8], 0);           // the tail
  const auto& box = font.Glyph(0x80);  // no glyph: a hollow box
  EXPECT_EQ(box[0], 0x1F);
  EXPECT_EQ(box[3], 0x11);
  for (int c = 0x20; c < 0x7F; ++c) {
    for (std::uint8_t row : font.Glyph(static_cast<unsigned char>(c))) EXPECT_EQ(row & ~0x1F, 0) << c;
    if (c != ' ') {
      EXPECT_NE(font.Glyph(static_cast<unsigned char>(c)), font.Glyph(' ')) << c;
    }
  }
  EXPECT_NE(font.Glyph(0xA9), box);  // the copyright and registered signs of the log texts
  EXPECT_NE(font.Glyph(0xAE), box);
}

TEST(FixedFont, BoldWidensAndScalingMultipliesTheCell) {
  FixedFontEngine font;
  platform::FontSpec spec;
  EXPECT_EQ(FixedFontEngine::Scale(spec), 1);
  spec.bold = true;
  const platform::TextMask bold = font.Render(spec, "l");
  EXPECT_EQ(bold.width, 7);
  EXPECT_EQ(bold.At(1, 0), 255);
  EXPECT_EQ(bold.At(3, 0), 255);  // ".##.." spread one to the right
  spec.bold = false;
  spec.height = -24;
  const platform::TextMask big = font.Render(spec, ".");
  EXPECT_EQ(big.width, 18);
  EXPECT_EQ(big.height, 27);
  EXPECT_EQ(big.At(6, 18), 255);  // the dot at (2, 6) becomes a 3 x 3 block
  EXPECT_EQ(big.At(8, 20), 255);
  EXPECT_EQ(big.At(9, 20), 0);
}

}  // namespace
}  // namespace qv
