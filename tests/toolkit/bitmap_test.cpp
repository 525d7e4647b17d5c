#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/toolkit/graphics_test_support.h"
#include "toolkit/Graphics.h"

namespace qv {
namespace {

using testing_support::Paint;
using testing_support::Picture;
using Rows = std::vector<std::string>;

TEST(Bitmap, NewBitmapIsEmptyWithTheDeviceFormat) {
  TBitmap b;
  EXPECT_TRUE(b.Empty());
  EXPECT_EQ(b.PixelFormat(), pf24bit);
  b.SetPixelFormat(pfDevice);
  EXPECT_EQ(b.PixelFormat(), kDevicePixelFormat);
  b.SetSize(-4, 3);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, RowsAreStoredBottomUpAndPaddedToFourBytes) {
  TBitmap b;
  b.SetSize(3, 2);  // 9 bytes a row, padded to 12
  EXPECT_EQ(b.RowStride(), 12u);
  EXPECT_EQ(b.ScanLine(1), b.Bits());
  EXPECT_EQ(b.ScanLine(0), b.Bits() + 12);
  b.SetPixel(2, 0, RGB(1, 2, 3));
  const std::uint8_t* top = b.ScanLine(0);
  EXPECT_EQ(top[6], 3);  // blue, green, red
  EXPECT_EQ(top[7], 2);
  EXPECT_EQ(top[8], 1);
  EXPECT_THROW(b.ScanLine(2), EInvalidGraphicOperation);
  EXPECT_THROW(b.GetPixel(3, 0), EInvalidGraphicOperation);
}

TEST(Bitmap, StrideForEachDepth) {
  EXPECT_EQ(DibRowStride(7, 1), 4u);
  EXPECT_EQ(DibRowStride(33, 1), 8u);
  EXPECT_EQ(DibRowStride(9, 4), 8u);
  EXPECT_EQ(DibRowStride(5, 8), 8u);
  EXPECT_EQ(DibRowStride(5, 32), 20u);
}

TEST(Bitmap, ResizingKeepsTheImageTopLeftAndFillsNewAreaWithTheBrush) {
  TBitmap b;
  Paint(b, {"RG", "BY"});
  b.Canvas().Brush().SetColor(clBlack);
  b.SetSize(3, 3);
  EXPECT_EQ(Picture(b), (Rows{"RG#", "BY#", "###"}));
  b.SetSize(1, 2);
  EXPECT_EQ(Picture(b), (Rows{"R", "B"}));
}

TEST(Bitmap, NewBitmapsAreWhiteUntilABrushSaysOtherwise) {
  TBitmap b;
  b.SetSize(2, 1);
  EXPECT_EQ(Picture(b), (Rows{".."}));
}

TEST(Bitmap, SizeLimitsAreCheckedBeforeAnythingChanges) {
  TBitmap b;
  Paint(b, {"R"});
  EXPECT_THROW(b.SetSize(kMaxBitmapSide + 1, 1), EInvalidGraphicOperation);
  EXPECT_THROW(b.SetSize(kMaxBitmapSide, kMaxBitmapSide), EInvalidGraphicOperation);  // 768 MB
  EXPECT_EQ(Picture(b), (Rows{"R"}));
  EXPECT_NO_THROW(CheckBitmapLimits(kMaxBitmapSide, kMaxBitmapSide, pf8bit));  // exactly 256 MB
  EXPECT_THROW(CheckBitmapLimits(kMaxBitmapSide, kMaxBitmapSide + 1, pf1bit), EInvalidGraphicOperation);
}

TEST(Bitmap, SchemeColoursAreResolvedWhenAPixelIsSet) {
  TBitmap b;
  b.SetSize(1, 1);
  b.SetPixel(0, 0, clBtnFace);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(192, 192, 192));
}

TEST(Bitmap, TransparentColourDefaultsToTheBottomLeftPixel) {
  TBitmap b;
  EXPECT_EQ(b.TransparentColor(), clNone);
  Paint(b, {"RG", "BY"});
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.TransparentColor(), clBlue);
  b.SetTransparentColor(clLime);
  EXPECT_EQ(b.TransparentMode(), tmFixed);
  EXPECT_EQ(b.TransparentColor(), clLime);
  b.SetTransparentColor(clDefault);
  EXPECT_EQ(b.TransparentMode(), tmAuto);
  EXPECT_EQ(b.TransparentColor(), clBlue);
}

TEST(Bitmap, ToEightBitsEveryColourTakesItsNearestDefaultEntry) {
  TBitmap b;
  Paint(b, {"RGB", ".#S"});
  b.SetPixel(0, 1, RGB(250, 6, 3));
  b.SetPixelFormat(pf8bit);
  EXPECT_EQ(b.Palette().size(), 256u);
  EXPECT_EQ(b.Palette(), TBitmap::DefaultPalette(pf8bit));
  EXPECT_EQ(Picture(b), (Rows{"RGB", "R#S"}));
  EXPECT_EQ(b.RowStride(), 4u);
  EXPECT_EQ(b.ScanLine(0)[0], 9);  // red is entry 9 of the standard colours
}

TEST(Bitmap, ConvertToIndexedUsesTheGivenPalette) {
  TBitmap b;
  b.SetSize(3, 1);
  b.SetPixel(0, 0, RGB(180, 20, 20));
  b.SetPixel(1, 0, RGB(90, 90, 90));
  b.SetPixel(2, 0, RGB(140, 140, 140));
  const std::vector<TPaletteEntry> palette = {{0, 0, 0}, {255, 255, 255}, {200, 0, 0}};
  b.ConvertToIndexed(pf4bit, palette);
  EXPECT_EQ(b.Palette(), palette);
  EXPECT_EQ(b.GetPixel(0, 0), RGB(200, 0, 0));
  EXPECT_EQ(b.GetPixel(1, 0), clBlack);
  EXPECT_EQ(b.GetPixel(2, 0), clWhite);
  EXPECT_THROW(b.ConvertToIndexed(pf24bit, palette), EInvalidGraphicOperation);
}

TEST(Bitmap, OneBitPixelsArePackedMostSignificantBitFirst) {
  TBitmap b;
  b.SetSize(10, 1);
  for (int x = 0; x < 10; ++x) b.SetPixel(x, 0, x % 3 == 0 ? RGB(200, 200, 200) : RGB(100, 100, 100));
  b.SetPixelFormat(pf1bit);
  EXPECT_EQ(b.RowStride(), 4u);
  EXPECT_EQ(b.ScanLine(0)[0], 0x92);  // 1001 0010
  EXPECT_EQ(b.ScanLine(0)[1], 0x40);  // 01.. (the rest is padding)
  EXPECT_EQ(b.GetPixel(0, 0), clWhite);
  EXPECT_EQ(b.GetPixel(1, 0), clBlack);
}

TEST(Bitmap, FourBitPixelsPutTheLeftPixelInTheHighNibble) {
  TBitmap b;
  Paint(b, {"RGB"});
  b.SetPixelFormat(pf4bit);
  EXPECT_EQ(b.ScanLine(0)[0], 0x9A);  // red 9, lime 10
  EXPECT_EQ(b.ScanLine(0)[1] >> 4, 12);
}

TEST(Bitmap, IndexedPaletteIsKeptWhenTheNewDepthCanHoldIt) {
  TBitmap b;
  b.SetSize(2, 1);
  b.ConvertToIndexed(pf4bit, {{10, 20, 30}, {40, 50, 60}});
  b.SetPixel(0, 0, RGB(10, 20, 30));
  b.SetPixel(1, 0, RGB(40, 50, 60));
  b.SetPixelFormat(pf8bit);
  EXPECT_EQ(b.Palette(), (std::vector<TPaletteEntry>{{10, 20, 30}, {40, 50, 60}}));
  EXPECT_EQ(b.GetPixel(1, 0), RGB(40, 50, 60));
  b.SetPixelFormat(pf32bit);
  EXPECT_TRUE(b.Palette().empty());
  EXPECT_EQ(b.GetPixel(0, 0), RGB(10, 20, 30));
}

TEST(Bitmap, SettingThePaletteKeepsTheIndexesAndShortTablesReadBlack) {
  TBitmap b;
  Paint(b, {"#."});
  b.SetPixelFormat(pf1bit);
  b.SetPalette({{255, 0, 0}, {0, 0, 255}});
  EXPECT_EQ(Picture(b), (Rows{"RB"}));
  b.SetPalette({{0, 255, 0}});
  EXPECT_EQ(Picture(b), (Rows{"G#"}));
}

TEST(Bitmap, AssignAndCloneMakeIndependentCopies) {
  TBitmap a;
  Paint(a, {"RG"});
  a.SetTransparent(true);
  a.SetTransparentColor(clLime);
  TBitmap b;
  b.Assign(&a);
  a.SetPixel(0, 0, clBlue);
  EXPECT_EQ(Picture(b), (Rows{"RG"}));
  EXPECT_TRUE(b.Transparent());
  EXPECT_EQ(b.TransparentColor(), clLime);
  const auto clone = b.Clone();
  EXPECT_EQ(Picture(dynamic_cast<TBitmap&>(*clone)), (Rows{"RG"}));
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
}

TEST(Bitmap, SetImageValidatesTheBuffer) {
  TBitmap b;
  TDibImage image;
  image.width = 3;
  image.height = 2;
  image.format = pf8bit;
  image.bits.assign(7, 0);
  EXPECT_THROW(b.SetImage(image), EInvalidGraphicOperation);
  image.bits.assign(8, 1);
  image.palette = {{1, 1, 1}, {9, 8, 7}};
  b.SetImage(image);
  EXPECT_EQ(b.GetPixel(2, 1), RGB(9, 8, 7));
  EXPECT_EQ(b.Image().bits, image.bits);
}

TEST(Bitmap, ChangesReachTheListener) {
  TBitmap b;
  int changes = 0;
  b.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, &b);
    ++changes;
  };
  b.SetSize(2, 2);
  b.SetSize(2, 2);  // no change
  b.SetPixelFormat(pf8bit);
  b.SetPixel(0, 0, clRed);
  EXPECT_EQ(changes, 3);
}

}  // namespace
}  // namespace qv
