#include <gtest/gtest.h>

#include "WidgetHost.h"
#include "widgets/Gauges.h"

namespace qv::testing {
namespace {

constexpr TColor kBar = RGB(255, 0, 82);
constexpr TColor kFace = RGB(214, 223, 239);

// The gauge painted on its own bitmap, as its parent would paint it.
void Render(TGauge& gauge, TBitmap& out) {
  FillBitmap(out, gauge.Width(), gauge.Height(), clYellow);
  PaintAsParent(gauge, out);
}

class GaugeTest : public ::testing::Test {
 protected:
  // The main window's gauge: 27 x 59, no frame, vertical bar, no text.
  void MakeMainWindowGauge() {
    gauge.SetBounds(0, 0, 27, 59);
    gauge.SetColor(kFace);
    gauge.SetKind(gkVerticalBar);
    gauge.SetShowText(false);
    gauge.SetBorderStyle(TBorderStyle::bsNone);
    gauge.SetForeColor(kBar);
    gauge.SetBackColor(kFace);
  }
  // Letters for a rendered gauge: F red fore, B white back, C blue base colour, '#' black.
  std::vector<std::string> Rendered() {
    Render(gauge, image);
    return Letters(image, Rect(0, 0, gauge.Width(), gauge.Height()), "FBC#",
                   {clRed, clWhite, clBlue, clBlack});
  }
  WidgetHost env;
  TGauge gauge{nullptr};
  TBitmap image;
};

TEST(GaugeShareTest, ExtendedPrecisionTruncatesJustBelowWholeNumbers) {
  const int cases[][3] = {{10, 60, 5},  {5, 20, 0},   {50, 60, 30},  {100, 60, 60},   {25, 60, 15},
                          {99, 60, 59}, {50, 28, 14}, {100, 28, 28}, {100, 101, 101}, {0, 60, 0}};
  for (const auto& c : cases) EXPECT_EQ(GaugeShare(c[0], c[1]), c[2]) << c[0] << "% of " << c[1];
}

TEST_F(GaugeTest, RangeSettersRaiseWithTheBoundsAndChangeNothing) {
  const auto message = [](auto&& assign) {
    try {
      assign();
    } catch (const EInvalidOperation& e) {
      return std::string(e.what());
    }
    return std::string("no exception");
  };
  gauge.SetProgress(40);
  EXPECT_EQ(message([&] { gauge.SetMinValue(200); }), "Value must be between -2147483647 and 99");
  EXPECT_EQ(message([&] { gauge.SetMaxValue(-1); }), "Value must be between 1 and 2147483647");
  EXPECT_EQ(gauge.MinValue(), 0);
  EXPECT_EQ(gauge.MaxValue(), 100);
  EXPECT_EQ(gauge.Progress(), 40);

  gauge.SetMaxValue(30);  // pulls Progress down
  EXPECT_EQ(gauge.Progress(), 30);
  gauge.SetMinValue(30);  // an empty span is accepted
  EXPECT_EQ(gauge.PercentFilled(), 0);
  gauge.SetMaxValue(60);
  gauge.SetMinValue(50);  // pulls Progress up
  EXPECT_EQ(gauge.Progress(), 50);
  EXPECT_EQ(gauge.PercentFilled(), 0);
}

TEST_F(GaugeTest, ProgressIsClampedAndRepaintsOnlyWhenThePercentChanges) {
  TWinControl& host = env.Host(200, 200);
  gauge.SetParent(&host);
  gauge.SetProgress(150);
  EXPECT_EQ(gauge.Progress(), 100);
  gauge.SetProgress(-5);
  EXPECT_EQ(gauge.Progress(), 0);

  gauge.SetMaxValue(1000);
  gauge.SetProgress(500);
  const int paints = env.windows.paints;
  gauge.SetProgress(505);
  EXPECT_EQ(gauge.Progress(), 505);
  EXPECT_EQ(gauge.PercentFilled(), 50);
  gauge.SetProgress(505);
  EXPECT_EQ(env.windows.paints, paints);
  gauge.SetProgress(510);
  EXPECT_EQ(env.windows.paints, paints + 1);
  gauge.SetForeColor(clBlack);  // unchanged: no repaint
  gauge.SetKind(gkHorizontalBar);
  EXPECT_EQ(env.windows.paints, paints + 1);
  gauge.SetKind(gkPie);
  EXPECT_EQ(env.windows.paints, paints + 2);
}

TEST_F(GaugeTest, MainWindowVerticalBarRows) {
  MakeMainWindowGauge();
  const struct { int progress, firstBarRow; } cases[] = {{50, 30}, {100, 1}, {10, 55}, {0, 59}};
  for (const auto& c : cases) {
    gauge.SetProgress(c.progress);
    Render(gauge, image);
    for (int y = 0; y < 59; ++y) {
      const TColor want = y >= c.firstBarRow ? kBar : kFace;
      for (int x = 0; x < 27; ++x)
        ASSERT_EQ(image.GetPixel(x, y), want) << c.progress << "% " << x << "," << y;
    }
  }
}

TEST_F(GaugeTest, HorizontalBarColumns) {
  gauge.SetShowText(false);
  gauge.SetForeColor(clRed);
  gauge.SetBorderStyle(TBorderStyle::bsNone);
  gauge.SetProgress(100);  // share(100, 101) = 101 fills the full width
  EXPECT_EQ(Rendered()[50], std::string(100, 'F'));
  gauge.SetBorderStyle(TBorderStyle::bsSingle);
  gauge.SetBounds(0, 0, 12, 4);
  gauge.SetProgress(50);  // n = share(50, 11) = 5: columns 1..4
  EXPECT_EQ(Rendered(),
            (std::vector<std::string>{"############", "#FFFFBBBBBB#", "#FFFFBBBBBB#", "############"}));
}

TEST_F(GaugeTest, FrameStaysBlackForEveryKind) {
  gauge.SetBounds(0, 0, 30, 20);
  gauge.SetForeColor(clRed);
  gauge.SetColor(clBlue);
  for (TGaugeKind kind : {gkText, gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle}) {
    gauge.SetKind(kind);
    for (int p : {0, 50, 100}) {
      gauge.SetProgress(p);
      const std::vector<std::string> rows = Rendered();
      EXPECT_EQ(rows.front(), std::string(30, '#')) << kind << " " << p;
      EXPECT_EQ(rows.back(), std::string(30, '#')) << kind << " " << p;
      for (const std::string& row : rows) EXPECT_TRUE(row.front() == '#' && row.back() == '#') << kind;
    }
  }
}

TEST_F(GaugeTest, EmptySpanShowsAnEmptyFace) {
  gauge.SetShowText(false);
  gauge.SetForeColor(clRed);
  gauge.SetMaxValue(0);
  for (TGaugeKind kind : {gkHorizontalBar, gkVerticalBar, gkPie, gkNeedle}) {
    gauge.SetKind(kind);
    Render(gauge, image);
    EXPECT_NE(image.GetPixel(50, 25), clRed) << kind;
  }
}

TEST_F(GaugeTest, PieGrowsClockwiseFromTwelve) {
  gauge.SetBounds(0, 0, 41, 41);
  gauge.SetKind(gkPie);
  gauge.SetShowText(false);
  gauge.SetBorderStyle(TBorderStyle::bsNone);
  gauge.SetForeColor(clRed);
  gauge.SetColor(clBlue);
  // Quarters sampled well inside the disc: upper right, lower right, lower left, upper left.
  const struct {
    int progress;
    const char* quarters;
  } cases[] = {{0, "BBBB"}, {25, "FBBB"}, {50, "FFBB"}, {100, "FFFF"}, {1, "BBBB"}};
  for (const auto& c : cases) {
    gauge.SetProgress(c.progress);
    const std::vector<std::string> rows = Rendered();
    const std::string got = {rows[12][28], rows[28][28], rows[28][12], rows[12][12]};
    EXPECT_EQ(got, c.quarters) << c.progress << "%";
    EXPECT_EQ(rows[0][0], 'C');   // the surround shows the base colour
    EXPECT_EQ(rows[20][0], 'F');  // the outline
  }
}

TEST_F(GaugeTest, NeedlePointsFromLeftOverTopToRight) {
  gauge.SetBounds(0, 0, 41, 41);
  gauge.SetKind(gkNeedle);
  gauge.SetShowText(false);
  gauge.SetBorderStyle(TBorderStyle::bsNone);
  gauge.SetForeColor(clRed);
  gauge.SetColor(clBlue);
  // The needle starts at (20, 40); 25 % ends at (6, 12), 50 % at (20, 0).
  const struct {
    int progress;
    const char* samples;  // (13, 26) on the 25 % needle, (20, 20) straight up
  } cases[] = {{0, "BB"}, {25, "FB"}, {50, "BF"}, {100, "BB"}};
  for (const auto& c : cases) {
    gauge.SetProgress(c.progress);
    const std::vector<std::string> rows = Rendered();
    EXPECT_EQ(std::string({rows[26][13], rows[20][20]}), c.samples) << c.progress << "%";
    EXPECT_EQ(rows[40].substr(1, 39), std::string(39, 'F'));  // the flat side on the base row
    EXPECT_EQ(rows[5][2], 'C');
  }
}

TEST_F(GaugeTest, TextIsTheInverseOfWhatLiesBeneath) {
  gauge.SetBounds(0, 0, 60, 30);
  gauge.SetKind(gkText);
  gauge.SetProgress(42);
  Render(gauge, image);
  // The fixed test font: "42%" is 18 x 9; the face is 58 x 28, so the text sits at (20, 10).
  platform::FontSpec font = ToFontSpec(gauge.Font());
  const platform::TextMask mask = env.fonts.Render(font, "42%");
  ASSERT_EQ(mask.width, 18);
  ASSERT_EQ(mask.height, 9);
  for (int y = 1; y < 29; ++y) {
    for (int x = 1; x < 59; ++x) {
      const bool ink = x >= 20 && x < 38 && y >= 10 && y < 19 && mask.At(x - 20, y - 10) == 255;
      ASSERT_EQ(image.GetPixel(x, y), ink ? clBlack : clWhite) << x << "," << y;
    }
  }
  gauge.SetKind(gkHorizontalBar);
  gauge.SetProgress(100);  // a black bar: the text shows white
  Render(gauge, image);
  const platform::TextMask full = env.fonts.Render(font, "100%");
  int white = 0;
  for (int y = 0; y < full.height; ++y)
    for (int x = 0; x < full.width; ++x)
      if (full.At(x, y) == 255) white += image.GetPixel(17 + x, 10 + y) == clWhite;
  EXPECT_GT(white, 20);
}

TEST(BltBitmapTest, MakeLikeTakesTheTemplatesSizeAndFillsIt) {
  TBitmap pattern;
  FillBitmap(pattern, 7, 5, clRed);
  TBltBitmap copy;
  copy.MakeLike(pattern);
  EXPECT_EQ(copy.Width(), 7);
  EXPECT_EQ(copy.Height(), 5);
  EXPECT_EQ(copy.PixelFormat(), pf32bit);
  EXPECT_EQ(copy.GetPixel(6, 4), ColorToRGB(clWindowFrame));
}

}  // namespace
}  // namespace qv::testing
