#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/toolkit/graphics_test_support.h"
#include "toolkit/Graphics.h"
#include "toolkit/Raster.h"

namespace qv {
namespace {

using testing_support::Blank;
using testing_support::Paint;
using testing_support::Picture;
using Rows = std::vector<std::string>;

class CanvasTest : public ::testing::Test {
 protected:
  TCanvas& Fresh(int w, int h) {
    Blank(bmp_, w, h);
    TCanvas& c = bmp_.Canvas();
    c.Pen().SetColor(clBlack);
    c.Brush().SetColor(clRed);
    return c;
  }
  TBitmap bmp_;
};

// --- Lines --------------------------------------------------------------------

TEST_F(CanvasTest, LinesLeaveTheirEndPointUnpainted) {
  TCanvas& c = Fresh(6, 6);
  c.MoveTo(1, 0);
  c.LineTo(4, 0);  // horizontal
  c.MoveTo(0, 1);
  c.LineTo(0, 4);  // vertical
  c.MoveTo(2, 2);
  c.LineTo(5, 5);  // diagonal
  EXPECT_EQ(Picture(bmp_), (Rows{".###..", "#.....", "#.#...", "#..#..", "....#.", "......"}));
  EXPECT_EQ(c.PenPos(), Point(5, 5));
}

TEST_F(CanvasTest, LinesDrawnBackwardsCoverTheSameRunShiftedToTheOtherEnd) {
  TCanvas& c = Fresh(5, 1);
  c.MoveTo(4, 0);
  c.LineTo(1, 0);
  EXPECT_EQ(Picture(bmp_), (Rows{"..###"}));
}

TEST_F(CanvasTest, LineToTheSamePointDrawsNothingEvenWithAWidePen) {
  TCanvas& c = Fresh(5, 5);
  c.Pen().SetWidth(3);
  c.MoveTo(2, 2);
  c.LineTo(2, 2);
  EXPECT_EQ(Picture(bmp_), (Rows{".....", ".....", ".....", ".....", "....."}));
}

TEST(RasterLine, SlopedLinesAreConnectedAndOneStepPerMajorPixel) {
  for (const TPoint to : {Point(7, 3), Point(-5, 2), Point(2, -9), Point(-6, -6), Point(9, 1)}) {
    const auto pts = raster::LinePixels(Point(0, 0), to);
    ASSERT_EQ(static_cast<int>(pts.size()), std::max(std::abs(to.X), std::abs(to.Y)));
    EXPECT_EQ(pts.front(), Point(0, 0));
    for (std::size_t i = 1; i < pts.size(); ++i) {
      EXPECT_LE(std::abs(pts[i].X - pts[i - 1].X), 1);
      EXPECT_LE(std::abs(pts[i].Y - pts[i - 1].Y), 1);
    }
    // The last painted pixel is a neighbour of the unpainted end point.
    EXPECT_LE(std::abs(pts.back().X - to.X), 1);
    EXPECT_LE(std::abs(pts.back().Y - to.Y), 1);
    EXPECT_FALSE(pts.back() == to);
  }
}

TEST(RasterLine, ClippingAHugeLineKeepsItsPixelsWhereTheyWere) {
  const TPoint from = Point(-1000000, -333333), to = Point(2000000, 666667);
  std::vector<TPoint> clipped;
  raster::VisitLine(from, to, Rect(0, 0, 50, 50), false,
                    [&](int x, int y, long long) { clipped.push_back(Point(x, y)); });
  std::vector<TPoint> expected;
  raster::VisitLine(from, to, Rect(-2000000, -2000000, 3000000, 3000000), false,
                    [&](int x, int y, long long) {
                      if (x >= 0 && x < 50 && y >= 0 && y < 50) expected.push_back(Point(x, y));
                    });
  EXPECT_FALSE(clipped.empty());
  EXPECT_EQ(clipped, expected);
}

TEST_F(CanvasTest, TwoPixelPenCoversTheColumnLeftOfItsPathOverTheFullHeight) {
  // The strip blanking of a scrolling chart: a 2-pixel pen from (W-1, 0) to (W-1, H).
  TCanvas& c = Fresh(5, 4);
  c.Pen().SetWidth(2);
  c.MoveTo(4, 0);
  c.LineTo(4, 4);
  EXPECT_EQ(Picture(bmp_), (Rows{"...##", "...##", "...##", "...##"}));
}

TEST_F(CanvasTest, DottedPenLeavesGapsOrFillsThemWithAnOpaqueBrush) {
  TCanvas& c = Fresh(12, 2);
  c.Pen().SetStyle(psDot);
  c.Brush().SetStyle(bsClear);
  c.MoveTo(0, 0);
  c.LineTo(12, 0);
  c.Brush().SetStyle(bsSolid);
  c.MoveTo(0, 1);
  c.LineTo(12, 1);
  EXPECT_EQ(Picture(bmp_), (Rows{"###...###...", "###RRR###RRR"}));
}

TEST_F(CanvasTest, PenModesCombineWithThePixelsBeneath) {
  TCanvas& c = Fresh(4, 2);
  c.Pen().SetMode(pmNot);
  c.MoveTo(0, 0);
  c.LineTo(4, 0);  // white becomes black
  c.Pen().SetMode(pmXor);
  c.Pen().SetColor(clAqua);
  c.MoveTo(0, 1);
  c.LineTo(2, 1);  // white ^ aqua = red
  EXPECT_EQ(Picture(bmp_), (Rows{"####", "RR.."}));
}

// --- Rectangles ---------------------------------------------------------------

TEST_F(CanvasTest, FillRectExcludesRightAndBottomAndIgnoresInvertedRects) {
  TCanvas& c = Fresh(5, 5);
  c.FillRect(Rect(1, 1, 3, 4));
  c.FillRect(Rect(4, 4, 2, 2));
  EXPECT_EQ(Picture(bmp_), (Rows{".....", ".RR..", ".RR..", ".RR..", "....."}));
}

TEST_F(CanvasTest, RectangleKeepsItsOutlineInsideTheBox) {
  TCanvas& c = Fresh(6, 5);
  c.Rectangle(0, 0, 5, 4);
  EXPECT_EQ(Picture(bmp_), (Rows{"#####.", "#RRR#.", "#RRR#.", "#####.", "......"}));
}

TEST_F(CanvasTest, WidePenRectangleThickensInwardsAndClearBrushKeepsTheInside) {
  TCanvas& c = Fresh(7, 6);
  c.Pen().SetWidth(2);
  c.Brush().SetStyle(bsClear);
  c.Rectangle(Rect(0, 0, 7, 6));
  EXPECT_EQ(Picture(bmp_), (Rows{"#######", "#######", "##...##", "##...##", "#######", "#######"}));
}

TEST_F(CanvasTest, RectangleWithoutPenFillsOnePixelLessOnTheRightAndBottom) {
  // Hence the idiom of a borderless rectangle one larger than the image to fill it.
  TCanvas& c = Fresh(4, 3);
  c.Pen().SetStyle(psClear);
  c.Rectangle(0, 0, 3, 3);
  EXPECT_EQ(Picture(bmp_), (Rows{"RR..", "RR..", "...."}));
  c.Rectangle(0, 0, 5, 4);
  EXPECT_EQ(Picture(bmp_), (Rows{"RRRR", "RRRR", "RRRR"}));
}

TEST_F(CanvasTest, FrameRectDrawsOnePixelBorderInTheBrushColour) {
  TCanvas& c = Fresh(5, 4);
  c.FrameRect(Rect(0, 0, 4, 3));
  EXPECT_EQ(Picture(bmp_), (Rows{"RRRR.", "R..R.", "RRRR.", "....."}));
}

TEST_F(CanvasTest, PatternBrushTilesFromTheTargetsTopLeftPixel) {
  TBitmap pattern;
  Paint(pattern, {"#.", ".#"});
  TCanvas& c = Fresh(5, 3);
  c.Brush().SetBitmap(&pattern);
  c.SetViewport(Rect(1, 0, 5, 3));  // a child at x = 1 keeps the surface's phase
  c.FillRect(Rect(0, 0, 4, 3));
  EXPECT_EQ(Picture(bmp_), (Rows{"..#.#", ".#.#.", "..#.#"}));
}

// --- Ellipses and slices --------------------------------------------------------

TEST_F(CanvasTest, SmallCircleHasAnOutlineAroundABrushInterior) {
  TCanvas& c = Fresh(6, 6);
  c.Ellipse(0, 0, 5, 5);
  EXPECT_EQ(Picture(bmp_), (Rows{".###..", "#RRR#.", "#RRR#.", "#RRR#.", ".###..", "......"}));
  Fresh(4, 4).Ellipse(Rect(0, 0, 4, 4));
  EXPECT_EQ(Picture(bmp_), (Rows{".##.", "#RR#", "#RR#", ".##."}));
}

TEST_F(CanvasTest, EllipsesAreMirrorSymmetricAndTouchAllFourSidesOfTheirBox) {
  for (int w = 1; w <= 13; ++w) {
    for (int h = 1; h <= 13; h += 3) {
      Fresh(w + 2, h + 2).Ellipse(1, 1, 1 + w, 1 + h);
      const Rows pic = Picture(bmp_);
      for (int y = 0; y < h + 2; ++y) {
        std::string row = pic[static_cast<std::size_t>(y)];
        EXPECT_EQ(row, std::string(row.rbegin(), row.rend())) << w << "x" << h << " row " << y;
        EXPECT_EQ(row, pic[static_cast<std::size_t>(h + 1 - y)]) << w << "x" << h << " row " << y;
      }
      EXPECT_EQ(pic[0], std::string(static_cast<std::size_t>(w + 2), '.'));
      EXPECT_NE(pic[1].find('#'), std::string::npos) << w << "x" << h;
      std::string left, right;
      for (const std::string& row : pic) {
        left += row[1];
        right += row[0];
      }
      EXPECT_NE(left.find('#'), std::string::npos) << w << "x" << h;
      EXPECT_EQ(right.find('#'), std::string::npos) << w << "x" << h;
    }
  }
}

TEST_F(CanvasTest, PieFromThreeToTwelveOClockIsTheUpperRightQuarter) {
  TCanvas& c = Fresh(10, 10);
  c.Pie(0, 0, 10, 10, 10, 5, 5, 0);
  const Rows pic = Picture(bmp_);
  // The radials run from the centre pixel (5, 5) along row 5 and up column 5.
  const raster::EllipseRegion ellipse(Rect(0, 0, 10, 10));
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) {
      const bool painted = pic[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] != '.';
      EXPECT_EQ(painted, x >= 5 && y <= 5 && ellipse.Contains(x, y)) << x << "," << y;
    }
  }
  EXPECT_EQ(pic[5].substr(5), "#####");
  EXPECT_EQ(pic[2].substr(5, 2), "#R");
}

TEST_F(CanvasTest, UpperHalfSliceHasItsFlatSideOnTheRowThroughTheCentre) {
  // A dial face: the box is twice as high as the face, less one row, and the
  // radials run through the ends of the face's last row.
  TCanvas& c = Fresh(9, 5);
  c.Pie(0, 0, 9, 9, 9, 4, 0, 4);
  EXPECT_EQ(Picture(bmp_), (Rows{"..#####..", ".#RRRRR#.", "#RRRRRRR#", "#RRRRRRR#", "#########"}));
}

TEST_F(CanvasTest, FourQuarterSlicesMakeTheWholeEllipse) {
  const TRect box = Rect(0, 0, 11, 8);
  TCanvas& c = Fresh(11, 8);
  c.Pen().SetColor(clRed);
  c.Ellipse(box);
  const Rows whole = Picture(bmp_);
  Fresh(11, 8).Pen().SetColor(clRed);
  const TPoint east = Point(11, 4), north = Point(5, 0), west = Point(0, 4), south = Point(5, 8);
  const TPoint radials[5] = {east, north, west, south, east};
  for (int i = 0; i < 4; ++i) {
    bmp_.Canvas().Pie(0, 0, 11, 8, radials[i].X, radials[i].Y, radials[i + 1].X, radials[i + 1].Y);
  }
  EXPECT_EQ(Picture(bmp_), whole);
}

TEST_F(CanvasTest, PieWithBothRadialsAlikeIsTheWholeEllipse) {
  Fresh(7, 7).Ellipse(0, 0, 7, 7);
  const Rows whole = Picture(bmp_);
  Fresh(7, 7).Pie(0, 0, 7, 7, 6, 1, 6, 1);
  EXPECT_EQ(Picture(bmp_), whole);
}

// --- Polygons -------------------------------------------------------------------

TEST_F(CanvasTest, PolygonOutlinePaintsEveryVertexExactlyOnce) {
  TCanvas& c = Fresh(6, 6);
  c.Brush().SetStyle(bsClear);
  c.Pen().SetMode(pmXor);
  c.Pen().SetColor(clWhite);  // white ^ white = black: a twice-painted pixel would come back white
  c.Polygon({Point(0, 0), Point(4, 0), Point(4, 4), Point(0, 4)});
  EXPECT_EQ(Picture(bmp_), (Rows{"#####.", "#...#.", "#...#.", "#...#.", "#####.", "......"}));
}

TEST_F(CanvasTest, PolygonFillsPixelsWhoseCentreIsInside) {
  TCanvas& c = Fresh(5, 4);
  c.Pen().SetStyle(psClear);
  c.Polygon({Point(0, 0), Point(4, 0), Point(0, 4)});
  EXPECT_EQ(Picture(bmp_), (Rows{"RRR..", "RR...", "R....", "....."}));
}

// --- Pixels, clipping and the viewport -------------------------------------------

TEST_F(CanvasTest, ViewportTranslatesAndClipsAWindowlessChildsPaint) {
  TCanvas& c = Fresh(7, 5);
  c.SetViewport(Rect(2, 1, 5, 4));
  c.FillRect(Rect(-10, -10, 100, 100));
  c.MoveTo(0, 0);
  c.LineTo(50, 0);
  EXPECT_EQ(c.ClipRect(), Rect(0, 0, 3, 3));
  EXPECT_EQ(c.Pixels(1, 1), clRed);
  EXPECT_EQ(c.Pixels(3, 0), kInvalidColor);
  c.SetPixels(-1, 0, clBlue);  // outside the child: ignored
  c.ResetViewport();
  EXPECT_EQ(Picture(bmp_), (Rows{".......", "..###..", "..RRR..", "..RRR..", "......."}));
}

TEST_F(CanvasTest, SavedViewportComesBackAfterANestedPaint) {
  TCanvas& c = Fresh(8, 3);
  c.SetViewport(Rect(1, 0, 7, 3));
  const TCanvasViewport outer = c.SaveViewport();
  c.SetOrigin(Point(c.Origin().X + 3, c.Origin().Y));
  c.IntersectClipRect(Rect(0, 0, 2, 1));
  c.FillRect(Rect(0, 0, 10, 10));
  c.RestoreViewport(outer);
  c.SetPixels(0, 2, clBlack);
  EXPECT_EQ(Picture(bmp_), (Rows{"....RR..", "........", ".#......"}));
}

TEST_F(CanvasTest, PixelsAreSetWithoutTheRasterOperationAndResolveSchemeColours) {
  TCanvas& c = Fresh(2, 1);
  c.Pen().SetMode(pmXor);
  c.SetPixels(0, 0, clBtnShadow);
  EXPECT_EQ(c.Pixels(0, 0), clGray);
}

// --- Block transfers ---------------------------------------------------------------

TEST_F(CanvasTest, XorCopyTwiceRestoresTheTarget) {
  TBitmap src;
  Paint(src, {"RGB#", ".AYF"});
  Paint(bmp_, {"####", "RRGG"});
  const Rows before = Picture(bmp_);
  TCanvas& c = bmp_.Canvas();
  c.SetCopyMode(cmSrcInvert);
  c.CopyRect(Rect(0, 0, 4, 2), src.Canvas(), Rect(0, 0, 4, 2));
  EXPECT_EQ(c.Pixels(0, 0), clRed);   // black ^ red
  EXPECT_EQ(c.Pixels(0, 1), clAqua);  // red ^ white
  c.CopyRect(Rect(0, 0, 4, 2), src.Canvas(), Rect(0, 0, 4, 2));
  EXPECT_EQ(Picture(bmp_), before);
}

TEST_F(CanvasTest, CopyModesCombineSourceAndTarget) {
  TBitmap src;
  Paint(src, {"R"});
  struct Case {
    TCopyMode mode;
    TColor target, expected;
  } cases[] = {
      {cmSrcCopy, clBlue, clRed},      {cmSrcInvert, clWhite, clAqua}, {cmSrcAnd, clYellow, clRed},
      {cmSrcPaint, clBlue, clFuchsia}, {cmNotSrcCopy, clBlue, clAqua}, {cmDstInvert, clBlue, clYellow},
      {cmBlackness, clBlue, clBlack},  {cmWhiteness, clBlue, clWhite}, {cmMergePaint, clBlack, clAqua}};
  for (const Case& k : cases) {
    Blank(bmp_, 1, 1, k.target);
    bmp_.Canvas().SetCopyMode(k.mode);
    bmp_.Canvas().CopyRect(Rect(0, 0, 1, 1), src.Canvas(), Rect(0, 0, 1, 1));
    EXPECT_EQ(bmp_.GetPixel(0, 0), k.expected) << std::hex << k.mode;
  }
}

TEST_F(CanvasTest, CopyWithinOneBitmapIsOverlapSafe) {
  Paint(bmp_, {"RGBYAF"});
  bmp_.Canvas().CopyRect(Rect(0, 0, 4, 1), bmp_.Canvas(), Rect(2, 0, 6, 1));
  EXPECT_EQ(Picture(bmp_), (Rows{"BYAFAF"}));
  bmp_.Canvas().CopyRect(Rect(2, 0, 6, 1), bmp_.Canvas(), Rect(0, 0, 4, 1));
  EXPECT_EQ(Picture(bmp_), (Rows{"BYBYAF"}));
}

TEST_F(CanvasTest, CopyRectHonoursTheSourceCanvasOrigin) {
  TBitmap src;
  Paint(src, {"RG", "BY"});
  src.Canvas().SetOrigin(Point(-1, -1));  // logical (1,1) is pixel (0,0)
  Blank(bmp_, 1, 1);
  bmp_.Canvas().CopyRect(Rect(0, 0, 1, 1), src.Canvas(), Rect(2, 2, 3, 3));
  EXPECT_EQ(Picture(bmp_), (Rows{"Y"}));
}

TEST_F(CanvasTest, TransparentDrawLeavesTheKeyColourOut) {
  TBitmap sprite;
  Paint(sprite, {"#RG", "RBR", "RRR"});  // bottom-left red is the transparent colour
  sprite.SetTransparent(true);
  Blank(bmp_, 4, 3, clYellow);
  bmp_.Canvas().Draw(1, 0, &sprite);
  EXPECT_EQ(Picture(bmp_), (Rows{"Y#YG", "YYBY", "YYYY"}));
  sprite.SetTransparentColor(clBlack);
  Blank(bmp_, 4, 3, clYellow);
  bmp_.Canvas().Draw(1, 0, &sprite);
  EXPECT_EQ(Picture(bmp_), (Rows{"YYRG", "YRBR", "YRRR"}));
}

TEST_F(CanvasTest, OpaqueDrawCopiesEveryPixel) {
  TBitmap sprite;
  Paint(sprite, {"#R", "RB"});
  Blank(bmp_, 3, 2, clYellow);
  bmp_.Canvas().Draw(1, 0, &sprite);
  bmp_.Canvas().Draw(0, 0, nullptr);
  EXPECT_EQ(Picture(bmp_), (Rows{"Y#R", "YRB"}));
}

TEST_F(CanvasTest, StretchDrawScalesByNearestNeighbour) {
  TBitmap sprite;
  Paint(sprite, {"RG", "BY"});
  Blank(bmp_, 4, 4);
  bmp_.Canvas().StretchDraw(Rect(0, 0, 4, 4), &sprite);
  EXPECT_EQ(Picture(bmp_), (Rows{"RRGG", "RRGG", "BBYY", "BBYY"}));
  Blank(bmp_, 1, 1);
  bmp_.Canvas().StretchDraw(Rect(0, 0, 1, 1), &sprite);  // the centre sample
  EXPECT_EQ(Picture(bmp_), (Rows{"Y"}));
}

TEST_F(CanvasTest, AlphaBlitBlendsByTheFourthByte) {
  TBitmap src;
  src.SetPixelFormat(pf32bit);
  src.SetSize(2, 1);
  std::uint8_t* row = src.ScanLine(0);
  const std::uint8_t pixels[8] = {0, 0, 255, 255, 0, 0, 255, 128};  // red opaque, red half
  std::copy(std::begin(pixels), std::end(pixels), row);
  Blank(bmp_, 2, 1, clBlue);
  TBlitOptions options;
  options.sourceAlpha = true;
  bmp_.Canvas().StretchBlit(Rect(0, 0, 2, 1), src, Rect(0, 0, 2, 1), options);
  EXPECT_EQ(bmp_.GetPixel(0, 0), clRed);
  EXPECT_EQ(bmp_.GetPixel(1, 0), RGB(128, 0, 127));
}

TEST_F(CanvasTest, DrawingOnAnIndexedBitmapPicksTheNearestEntry) {
  bmp_.SetPixelFormat(pf4bit);
  bmp_.SetSize(3, 1);
  bmp_.Canvas().Pen().SetColor(RGB(250, 10, 10));
  bmp_.Canvas().MoveTo(0, 0);
  bmp_.Canvas().LineTo(2, 0);
  EXPECT_EQ(bmp_.GetPixel(0, 0), clRed);
  EXPECT_EQ(bmp_.GetPixel(2, 0), clWhite);
}

TEST_F(CanvasTest, EveryDrawingCallTellsTheBitmapsListeners) {
  int changes = 0;
  Fresh(3, 3);
  bmp_.OnChange = [&](TObject*) { ++changes; };
  TCanvas& c = bmp_.Canvas();
  c.FillRect(Rect(0, 0, 1, 1));
  c.LineTo(2, 2);
  c.Ellipse(0, 0, 3, 3);
  c.SetPixels(1, 1, clBlue);
  EXPECT_EQ(changes, 4);
}

}  // namespace
}  // namespace qv
