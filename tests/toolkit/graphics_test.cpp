#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "platform/fake/TempDir.h"
#include "tests/toolkit/graphics_test_support.h"
#include "toolkit/Extended.h"
#include "toolkit/Graphics.h"

namespace qv {
namespace {

using testing_support::Paint;
using testing_support::Picture;
using Rows = std::vector<std::string>;

// --- Colours -----------------------------------------------------------------------

TEST(Colors, RedLivesInTheLowByte) {
  EXPECT_EQ(RGB(255, 0, 82), 0x5200FFu);
  EXPECT_EQ(GetRValue(0x5200FF), 255);
  EXPECT_EQ(GetBValue(0x5200FF), 82);
  EXPECT_EQ(clRed, RGB(255, 0, 0));
  EXPECT_EQ(clAqua, RGB(0, 255, 255));
  EXPECT_EQ(clMaroon, RGB(128, 0, 0));
}

TEST(Colors, SchemeColoursResolveWhenAskedAndFollowChanges) {
  EXPECT_EQ(clBtnFace, 0x8000000Fu);
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(192, 192, 192));
  EXPECT_EQ(ColorToRGB(clWindow), clWhite);
  EXPECT_EQ(ColorToRGB(clWindowText), clBlack);
  EXPECT_EQ(ColorToRGB(clBtnHighlight), clWhite);
  EXPECT_EQ(ColorToRGB(SystemColor(200)), clBlack);
  EXPECT_EQ(ColorToRGB(0x123456), 0x123456u);
  SetSystemColor(15, RGB(1, 2, 3));
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(1, 2, 3));
  ResetSystemColors();
  EXPECT_EQ(ColorToRGB(clBtnFace), RGB(192, 192, 192));
}

// --- Extended arithmetic ---------------------------------------------------------------

TEST(Extended, RoundsHalvesToEvenWhateverTheThreadsMode) {
  EXPECT_EQ(RoundExtended(2.5L), 2);
  EXPECT_EQ(RoundExtended(3.5L), 4);
  EXPECT_EQ(RoundExtended(-2.5L), -2);
  ASSERT_EQ(std::fesetround(FE_UPWARD), 0);
  EXPECT_EQ(RoundExtended(2.5L), 2);
  EXPECT_EQ(RoundExtended(2.1L), 2);
  EXPECT_EQ(std::fegetround(), FE_UPWARD);
  std::fesetround(FE_TONEAREST);
  EXPECT_EQ(TruncExtended(-2.9L), -2);
}

TEST(Extended, AgreesWithNearbyintInRoundToNearest) {
  for (long double v : {0.5L, 1.5L, -0.5L, -1.5L, 56.49999L, 1e18L + 0.5L, -7.25L, 123456.5L}) {
    EXPECT_EQ(RoundExtended(v), static_cast<std::int64_t>(std::nearbyint(v))) << static_cast<double>(v);
  }
}

TEST(Extended, OutOfRangeValuesSaturate) {
  EXPECT_EQ(RoundExtended(1e30L), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(TruncExtended(-1e30L), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(RoundExtended(std::nanl("")), 0);
}

TEST(Extended, TheHundredthLiesJustBelowOneHundredth) {
  // What the instruments' pixel rows rely on: exact halves and whole numbers come
  // out a hair low.
  EXPECT_EQ(RoundExtended((113 * kExtendedHundredth) * 50), 56);
  EXPECT_EQ(RoundExtended((5 * kExtendedHundredth) * 30), 1);
  const auto share = [](int p, int n) { return TruncExtended(n * (p * kExtendedHundredth)); };
  EXPECT_EQ(share(10, 60), 5);
  EXPECT_EQ(share(5, 20), 0);
  EXPECT_EQ(share(50, 60), 30);
  EXPECT_EQ(share(100, 60), 60);
  EXPECT_EQ(share(99, 60), 59);
  EXPECT_EQ(share(100, 28), 28);
}

// --- Pen, brush, font --------------------------------------------------------------------

TEST(GraphicsObjects, ChangeIsReportedOnlyForRealChanges) {
  TFont font;
  int changes = 0;
  font.OnChange = [&](TObject*) { ++changes; };
  font.SetName("MS Sans Serif");  // the default
  font.SetColor(clWindowText);
  font.SetStyle(fsBold | fsItalic);
  font.SetStyle(fsBold | fsItalic);
  EXPECT_EQ(changes, 1);
  TPen pen;
  pen.OnChange = [&](TObject*) { ++changes; };
  pen.SetWidth(0);  // stays 1
  pen.SetMode(pmXor);
  EXPECT_EQ(pen.Width(), 1);
  EXPECT_EQ(changes, 2);
}

TEST(GraphicsObjects, FontSizeAndHeightConvertAtThePixelDensity) {
  TFont font;
  EXPECT_EQ(font.Height(), -11);
  EXPECT_EQ(font.Size(), 8);
  font.SetSize(10);
  EXPECT_EQ(font.Height(), -13);
  font.SetPixelsPerInch(120);
  EXPECT_EQ(font.Size(), 8);
  TFont copy;
  copy.Assign(font);
  EXPECT_TRUE(copy == font);
}

// --- Pictures ------------------------------------------------------------------------------

// A picture class of its own that can only draw itself.
class TSwatch : public TGraphic {
 public:
  int Width() const override { return 2; }
  int Height() const override { return 1; }
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  bool Empty() const override { return false; }
  void Draw(TCanvas& canvas, const TRect& rect) override {
    canvas.Brush().SetColor(clLime);
    canvas.FillRect(rect);
  }
  void LoadFromStream(std::istream&) override {}
  void SaveToStream(std::ostream&) override {}
  std::unique_ptr<TGraphic> Clone() const override { return std::make_unique<TSwatch>(); }
};

TEST(Picture, BitmapsAreKnownByTheirExtensionFromTheStart) {
  platform::fake::TempDir dir;
  TBitmap original;
  Paint(original, {"RG"});
  original.SaveToFile(dir.File("x.BMP"));
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TObject*) { ++changes; };
  picture.LoadFromFile(dir.File("x.BMP"));
  ASSERT_NE(dynamic_cast<TBitmap*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 2);
  EXPECT_EQ(changes, 1);
  picture.Bitmap().Canvas().SetPixels(0, 0, clBlue);  // drawing on it tells the picture
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(&picture.Bitmap(), picture.Graphic());
}

TEST(Picture, UnknownExtensionsAndBadFilesLeaveThePictureAsItWas) {
  platform::fake::TempDir dir;
  TPicture picture;
  picture.SetGraphic(nullptr);
  TBitmap original;
  Paint(original, {"R"});
  picture.SetGraphic(&original);
  try {
    picture.LoadFromFile(dir.WriteFile("a.xyz", "data"));
    FAIL() << "accepted";
  } catch (const EInvalidGraphic& e) {
    EXPECT_STREQ(e.what(), "Unknown picture file extension (.xyz)");
  }
  EXPECT_THROW(picture.LoadFromFile(dir.WriteFile("b.bmp", "BM garbage")), EInvalidGraphic);
  EXPECT_EQ(Picture(picture.Bitmap()), (Rows{"R"}));
}

TEST(Picture, RegisteredFormatsMakeTheirOwnClass) {
  platform::fake::TempDir dir;
  TPicture::RegisterFileFormat(".SWT", "Swatches", [] { return std::make_unique<TSwatch>(); });
  TPicture picture;
  picture.LoadFromFile(dir.WriteFile("c.swt", ""));
  EXPECT_NE(dynamic_cast<TSwatch*>(picture.Graphic()), nullptr);
  bool listed = false;
  for (const TFileFormat& f : TPicture::FileFormats()) listed |= f.extension == "swt";
  EXPECT_TRUE(listed);
  TPicture::UnregisterFileFormat("swt");
  EXPECT_THROW(picture.LoadFromFile(dir.File("c.swt")), EInvalidGraphic);
}

TEST(Picture, BitmapOfAnotherClassIsDrawnIntoABitmap) {
  TPicture picture;
  TSwatch swatch;
  picture.SetGraphic(&swatch);
  TBitmap& b = picture.Bitmap();
  EXPECT_EQ(Picture(b), (Rows{"GG"}));
  EXPECT_EQ(picture.Graphic(), &b);
}

TEST(Picture, AssigningAnUnrelatedClassNamesBoth) {
  TBitmap b;
  TSwatch swatch;
  try {
    b.Assign(&swatch);
    FAIL() << "accepted";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a TSwatch to a TBitmap");
  }
}

}  // namespace
}  // namespace qv
