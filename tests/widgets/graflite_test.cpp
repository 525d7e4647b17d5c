#include <gtest/gtest.h>

#include <set>

#include "WidgetHost.h"
#include "widgets/Graflite.h"
#include "widgets/GrafliteImages.h"

namespace qv::testing {
namespace {

// The large lamp, drawn out by hand: g ground, r rim, h highlight, c body.
const std::vector<std::string> kLargeLamp = {
    "ggggggggggggggggg", "ggggggggggggggggg", "ggggggrrrrrgggggg", "ggggrrcccccrrgggg", "gggrcccccccccrggg",
    "gggrcchhhccccrggg", "ggrcchhhccccccrgg", "ggrcchhcccccccrgg", "ggrcchccccccccrgg", "ggrcccccccccccrgg",
    "ggrcccccccccccrgg", "gggrcccccccccrggg", "gggrcccccccccrggg", "ggggrrcccccrrgggg", "ggggggrrrrrrggggg",
    "ggggggggggggggggg", "ggggggggggggggggg"};

TColor PatternColor(char letter, TColor body) {
  switch (letter) {
    case 'g': return RGB(192, 192, 192);
    case 'r': return RGB(128, 128, 128);
    case 'h': return RGB(255, 255, 255);
    default: return body;
  }
}

TEST(LampImagesTest, LargeSetFollowsThePatternPixelForPixel) {
  const std::pair<const char*, TColor> bodies[] = {{"RED", RGB(255, 0, 0)},
                                                   {"BLUE", RGB(0, 0, 255)},
                                                   {"GREEN", RGB(0, 255, 0)},
                                                   {"YELLOW", RGB(255, 255, 0)},
                                                   {"MANGENTA", RGB(255, 0, 255)},
                                                   {"GRAY", RGB(192, 192, 192)},
                                                   {"CYAN", RGB(0, 255, 255)},
                                                   {"WHITE", RGB(255, 255, 255)},
                                                   {"DARK_RED", RGB(128, 0, 0)},
                                                   {"DARK_BLUE", RGB(0, 0, 128)},
                                                   {"DARK_GREEN", RGB(0, 128, 0)},
                                                   {"DARK_YELLOW", RGB(128, 128, 0)},
                                                   {"DARK_MANGENTA", RGB(128, 0, 128)},
                                                   {"DARK_GRAY", RGB(128, 128, 128)},
                                                   {"DARK_CYAN", RGB(0, 128, 128)},
                                                   {"BLACK", RGB(0, 0, 0)}};
  const std::set<std::pair<int, int>> whiteStrokes = {{8, 4}, {7, 5},  {6, 6},   {5, 7},
                                                      {4, 8}, {11, 9}, {10, 10}, {9, 11}};
  for (const auto& [name, body] : bodies) {
    const TBitmap* image = FindLampImage(name);
    ASSERT_NE(image, nullptr) << name;
    EXPECT_EQ(image->PixelFormat(), pf4bit) << name;
    ASSERT_EQ(image->Width(), 17);
    ASSERT_EQ(image->Height(), 17);
    const bool white = std::string(name) == "WHITE";
    for (int y = 0; y < 17; ++y) {
      for (int x = 0; x < 17; ++x) {
        TColor want =
            PatternColor(kLargeLamp[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)], body);
        if (white && whiteStrokes.count({x, y})) want = RGB(128, 128, 128);
        ASSERT_EQ(image->GetPixel(x, y), want) << name << " " << x << "," << y;
      }
    }
  }
}

TEST(LampImagesTest, SmallSetIsARimmedDiscOfTheBodyColour) {
  const std::pair<const char*, TColor> bodies[] = {
      {"RED_LITE", RGB(255, 0, 0)},         {"GREEN_LITE", RGB(0, 255, 0)},
      {"WHITE_LITE", RGB(255, 255, 255)},   {"DARK_BLUE_LITE", RGB(0, 0, 128)},
      {"DARK_CYAN_LITE", RGB(0, 128, 128)}, {"DARK_RED_LITE", RGB(0, 0, 0)},
      {"DARK_WHITE_LITE", RGB(0, 0, 0)}};
  for (const auto& [name, body] : bodies) {
    const TBitmap* image = FindLampImage(name);
    ASSERT_NE(image, nullptr) << name;
    ASSERT_EQ(image->Width(), 15);
    ASSERT_EQ(image->Height(), 15);
    int bodyPixels = 0;
    for (int x = 2; x <= 12; ++x) bodyPixels += image->GetPixel(x, 7) == body;
    EXPECT_EQ(bodyPixels, 11) << name;  // 11 across at the widest row
    EXPECT_EQ(image->GetPixel(1, 7), clBlack) << name;
    EXPECT_EQ(image->GetPixel(13, 7), clBlack) << name;
    EXPECT_EQ(image->GetPixel(4, 4), clWhite) << name;  // the highlight shows even on a black body
    EXPECT_EQ(image->GetPixel(10, 10), RGB(128, 128, 128)) << name;
  }
  EXPECT_EQ(LampImageNames().size(), 32u);
  for (const std::string& name : LampImageNames()) EXPECT_NE(FindLampImage(name), nullptr) << name;
  EXPECT_EQ(FindLampImage("PURPLE"), nullptr);
}

TEST(LightNameTest, TableAndTheIrregularBlack) {
  EXPECT_STREQ(LightImageName(alRed, false, false), "RED");
  EXPECT_STREQ(LightImageName(alGreen, false, true), "GREEN_LITE");
  EXPECT_STREQ(LightImageName(alGray, true, true), "DARK_GRAY_LITE");
  EXPECT_STREQ(LightImageName(alMangenta, true, false), "DARK_MANGENTA");
  EXPECT_STREQ(LightImageName(alWhite, true, false), "BLACK");
  EXPECT_STREQ(LightImageName(alWhite, true, true), "DARK_WHITE_LITE");
  EXPECT_EQ(LightImageName(static_cast<TActiveLight>(8), false, false), nullptr);
}

class GraphicLightTest : public ::testing::Test {
 protected:
  WidgetHost env;
};

TEST_F(GraphicLightTest, DrawsAtOneOneAndLeavesTheRestToTheParent) {
  TGraphicLight light(nullptr);
  EXPECT_EQ(light.Width(), 17);
  EXPECT_EQ(light.ActiveLight(), alGreen);
  EXPECT_FALSE(light.DarkLite());
  EXPECT_TRUE(light.HeavyLite());
  TBitmap surface;
  FillBitmap(surface, 40, 40, clNavy);
  light.SetBounds(5, 5, 17, 17);
  PaintAsParent(light, surface);  // 15 x 15 at (1, 1): a one-pixel margin all round
  const TBitmap& small = *FindLampImage("GREEN_LITE");
  for (int y = 0; y < 17; ++y) {
    for (int x = 0; x < 17; ++x) {
      const bool covered = x >= 1 && x <= 15 && y >= 1 && y <= 15;
      ASSERT_EQ(surface.GetPixel(5 + x, 5 + y), covered ? small.GetPixel(x - 1, y - 1) : clNavy)
          << x << "," << y;
    }
  }

  // The main window's light: 16 x 16 with the large images, which lose two rows and columns.
  FillBitmap(surface, 40, 40, clNavy);
  light.SetBounds(5, 5, 16, 16);
  light.SetHeavyLite(false);
  light.SetDarkLite(true);
  light.SetActiveLight(alWhite);
  PaintAsParent(light, surface);
  const TBitmap& black = *FindLampImage("BLACK");
  EXPECT_EQ(surface.GetPixel(5, 5), clNavy);
  EXPECT_EQ(surface.GetPixel(5 + 15, 5 + 15), black.GetPixel(14, 14));
  EXPECT_EQ(surface.GetPixel(5 + 16, 5 + 8), clNavy);
  EXPECT_EQ(surface.GetPixel(5 + 8, 5 + 8), clBlack);

  FillBitmap(surface, 40, 40, clNavy);
  light.SetActiveLight(static_cast<TActiveLight>(9));  // no such colour: nothing drawn
  PaintAsParent(light, surface);
  EXPECT_EQ(surface.GetPixel(5 + 8, 5 + 8), clNavy);
}

TEST_F(GraphicLightTest, RepaintsOnlyOnChangeWithTheMainWindowColours) {
  TWinControl& host = env.Host(40, 40);
  TGraphicLight light(nullptr);
  light.SetParent(&host);
  light.SetBounds(10, 10, 16, 16);
  light.SetHeavyLite(false);
  const int paints = env.windows.paints;
  const std::pair<TActiveLight, TColor> states[] = {
      {alRed, RGB(255, 0, 0)}, {alGreen, RGB(0, 255, 0)}, {alGray, RGB(192, 192, 192)}};
  int expected = paints;
  for (const auto& [state, body] : states) {
    light.SetActiveLight(state);
    EXPECT_EQ(env.windows.paints, ++expected);
    light.SetActiveLight(state);  // the same value: no repaint
    light.SetDarkLite(false);
    light.SetHeavyLite(false);
    EXPECT_EQ(env.windows.paints, expected);
    EXPECT_EQ(host.BackBuffer().GetPixel(10 + 1 + 10, 10 + 1 + 10), body);  // image pixel (10, 10)
  }
}

}  // namespace
}  // namespace qv::testing
