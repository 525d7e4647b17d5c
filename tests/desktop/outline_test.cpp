// The window's outline from its picture: every pixel of the transparent colour
// is cut away, nothing else.
#include <gtest/gtest.h>

#include "desktop/KZTransImg.h"
#include "toolkit/Forms.h"

namespace qv {
namespace {

// Marks every pixel the rectangles cover; each pixel must be covered at most once.
std::vector<int> Coverage(const std::vector<TRect>& rects, int w, int h) {
  std::vector<int> cover(static_cast<size_t>(w * h), 0);
  for (const TRect& r : rects)
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) ++cover[static_cast<size_t>(y * w + x)];
  return cover;
}

TEST(OutlineTest, RectanglesCoverExactlyThePixelsThatAreNotTransparent) {
  TBitmap bmp;
  bmp.SetPixelFormat(pf24bit);
  bmp.SetSize(9, 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) {
      // A ring with a hole and a notch: several runs per row, merged where rows repeat.
      const bool hole = x >= 3 && x <= 5 && y >= 2 && y <= 4;
      const bool notch = y == 0 && x >= 6;
      const bool corner = (x == 0 || x == 8) && (y == 0 || y == 6);
      bmp.SetPixel(x, y, hole || notch || corner ? clRed : RGB(40, 40, 40));
    }
  const auto rects = OutlineRects(bmp, clRed);
  const auto cover = Coverage(rects, 9, 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x)
      EXPECT_EQ(cover[static_cast<size_t>(y * 9 + x)], bmp.GetPixel(x, y) == clRed ? 0 : 1) << x << "," << y;
  // Rows 2..4 share their runs, so they merge into two rectangles.
  int tall = 0;
  for (const TRect& r : rects)
    if (r.Top == 2 && r.Bottom == 5) ++tall;
  EXPECT_EQ(tall, 2);
}

TEST(OutlineTest, UpdateShapeSizesTheFormToThePicture) {
  TForm form(nullptr);
  form.SetBounds(0, 0, 770, 597);
  auto* image = new TKZTransImage(&form);
  image->SetParent(&form);
  image->SetAdjustFormSize(true);
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(pf24bit);
  bmp->SetSize(4, 3);
  bmp->Canvas().Brush().SetColor(clWhite);
  bmp->Canvas().FillRect(Rect(0, 0, 4, 3));
  bmp->SetPixel(0, 0, clRed);
  image->Picture().AdoptGraphic(std::move(bmp));
  image->UpdateShape();
  EXPECT_EQ(form.Width(), 4);
  EXPECT_EQ(form.Height(), 3);
  const auto cover = Coverage(form.Shape(), 4, 3);
  EXPECT_EQ(cover[0], 0);
  EXPECT_EQ(cover[1], 1);
  EXPECT_EQ(cover[11], 1);
}

}  // namespace
}  // namespace qv
