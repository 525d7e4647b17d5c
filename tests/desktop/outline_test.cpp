// The window's outline from its picture: every pixel of the key colour is cut
// away, nothing else, and the window system gets exactly that outline.
#include <gtest/gtest.h>

#include "desktop/KZTransImg.h"
#include "platform/Services.h"
#include "platform/fake/FakeWindowSystem.h"
#include "toolkit/Forms.h"

namespace qv {
namespace {

using platform::fake::FakePeer;
using platform::fake::FakeWindowSystem;

std::unique_ptr<TBitmap> Filled(int w, int h, TColor color, TPixelFormat format = pf24bit) {
  auto bmp = std::make_unique<TBitmap>();
  bmp->SetPixelFormat(format);
  bmp->SetSize(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) bmp->SetPixel(x, y, color);
  return bmp;
}

// How often each pixel is covered; every pixel must be covered at most once.
std::vector<int> Coverage(const std::vector<TRect>& rects, int w, int h) {
  std::vector<int> cover(static_cast<size_t>(w * h), 0);
  for (const TRect& r : rects)
    for (int y = r.Top; y < r.Bottom; ++y)
      for (int x = r.Left; x < r.Right; ++x) ++cover[static_cast<size_t>(y * w + x)];
  return cover;
}

TEST(BuildShapeRegion, OneRowRunsOfEveryPixelThatIsNotExactlyTheKey) {
  auto bmp = Filled(9, 7, RGB(40, 40, 40));
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x) {
      const bool hole = x >= 3 && x <= 5 && y >= 2 && y <= 4;
      const bool notch = y == 0 && x >= 6;
      if (hole || notch) bmp->SetPixel(x, y, clRed);
    }
  bmp->SetPixel(0, 6, RGB(254, 0, 0));  // one channel off: opaque
  bmp->SetPixel(1, 6, RGB(255, 1, 0));
  bmp->SetPixel(2, 6, RGB(255, 0, 1));
  const auto rects = BuildShapeRegion(bmp.get(), clRed);
  ASSERT_TRUE(rects.has_value());
  const auto cover = Coverage(*rects, 9, 7);
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 9; ++x)
      EXPECT_EQ(cover[static_cast<size_t>(y * 9 + x)], bmp->GetPixel(x, y) == clRed ? 0 : 1) << x << "," << y;
  // Row by row from the top, left to right within a row.
  ASSERT_EQ(rects->size(), 10u);
  EXPECT_EQ((*rects)[0], Rect(0, 0, 6, 1));
  EXPECT_EQ((*rects)[1], Rect(0, 1, 9, 2));
  EXPECT_EQ((*rects)[2], Rect(0, 2, 3, 3));
  EXPECT_EQ((*rects)[3], Rect(6, 2, 9, 3));

  // A row alternating other colours and the key: one rectangle per opaque pixel.
  auto stripes = Filled(6, 1, clRed);
  for (int x = 0; x < 6; x += 2) stripes->SetPixel(x, 0, clBlue);
  EXPECT_EQ(*BuildShapeRegion(stripes.get(), clRed),
            (std::vector<TRect>{Rect(0, 0, 1, 1), Rect(2, 0, 3, 1), Rect(4, 0, 5, 1)}));
}

TEST(BuildShapeRegion, NoPictureIsNoOutlineButAPictureOfTheKeyIsAnEmptyOne) {
  EXPECT_FALSE(BuildShapeRegion(nullptr, clRed).has_value());
  TBitmap empty;
  EXPECT_FALSE(BuildShapeRegion(&empty, clRed).has_value());
  auto allKey = Filled(5, 4, clWhite);
  const auto none = BuildShapeRegion(allKey.get(), clWhite);
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
  // Without any key pixel: one full-width rectangle per row.
  const auto full = BuildShapeRegion(allKey.get(), clRed);
  ASSERT_EQ(full->size(), 4u);
  EXPECT_EQ(full->back(), Rect(0, 3, 5, 4));
}

TEST(BuildShapeRegion, EveryPixelDepthGivesTheSameOutline) {
  auto reference = Filled(13, 5, clWhite);
  for (int x = 0; x < 13; ++x) reference->SetPixel(x, x % 5, clRed);
  const auto expected = *BuildShapeRegion(reference.get(), clRed);
  for (TPixelFormat format : {pf4bit, pf8bit, pf32bit}) {
    TBitmap copy;
    copy.Assign(reference.get());
    copy.SetPixelFormat(format);
    EXPECT_EQ(*BuildShapeRegion(&copy, clRed), expected) << "bits " << BitsPerPixel(format);
  }
}

// Rows wide enough to be scanned in blocks: runs that start and end on block
// edges, inside blocks and in the short last block, blocks all of the key or
// of other colours, near-key colours among the key, and a shuffled row; in 24
// and 32 bits, where the unused byte of a 32-bit pixel does not count.
TEST(BuildShapeRegion, WideRowsGiveTheRunsOfAPixelByPixelScan) {
  constexpr int kW = 53;
  const TColor other = RGB(40, 40, 40);
  std::vector<std::vector<TColor>> rows;
  auto row = [&](TColor fill) { return &rows.emplace_back(kW, fill); };
  row(other);
  row(clRed);
  for (int x = 0; x < 16; ++x) (*row(other))[static_cast<size_t>(x)] = clRed;
  for (int x = 16; x < 32; ++x) (*row(other))[static_cast<size_t>(x)] = clRed;
  std::vector<TColor>* lone = row(other);
  for (int x : {0, 15, 16, 31, 32, 47, 48, 52}) (*lone)[static_cast<size_t>(x)] = clRed;
  std::vector<TColor>* specks = row(clRed);
  for (int x : {0, 15, 17, 47, 52}) (*specks)[static_cast<size_t>(x)] = other;
  std::vector<TColor>* nearKey = row(clRed);
  (*nearKey)[5] = RGB(255, 0, 1);  // one per block, each off in another channel
  (*nearKey)[20] = RGB(254, 0, 0);
  (*nearKey)[36] = RGB(255, 1, 0);
  std::vector<TColor>* stripes = row(clRed);
  for (int x = 1; x < kW; x += 2) (*stripes)[static_cast<size_t>(x)] = clBlue;
  std::vector<TColor>* shuffled = row(clRed);
  unsigned seed = 12345;
  for (TColor& c : *shuffled) {
    seed = seed * 1103515245u + 12345u;
    const unsigned pick = seed >> 16 & 3;
    c = pick == 0 ? clRed : pick == 1 ? RGB(255, 0, 128) : pick == 2 ? RGB(0, 0, 255) : other;
  }
  const int h = static_cast<int>(rows.size());

  std::vector<TRect> expected;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < kW;) {
      if (rows[static_cast<size_t>(y)][static_cast<size_t>(x)] == clRed) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < kW && rows[static_cast<size_t>(y)][static_cast<size_t>(x)] != clRed) ++x;
      expected.push_back(Rect(start, y, x, y + 1));
    }

  for (TPixelFormat format : {pf24bit, pf32bit}) {
    TBitmap bmp;
    bmp.SetPixelFormat(format);
    bmp.SetSize(kW, h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < kW; ++x) bmp.SetPixel(x, y, rows[static_cast<size_t>(y)][static_cast<size_t>(x)]);
    if (format == pf32bit)
      for (int y = 0; y < h; ++y)
        for (int x = y % 3; x < kW; x += 3) bmp.ScanLine(y)[4 * x + 3] = 0xFF;
    EXPECT_EQ(*BuildShapeRegion(&bmp, clRed), expected) << "bits " << BitsPerPixel(format);
  }
}

class ShapedWindowTest : public ::testing::Test {
 protected:
  ShapedWindowTest() {
    platform::Current() = platform::Services{};
    platform::Current().windows = &windows;
    form = std::make_unique<TForm>(nullptr);
    form->SetBounds(10, 20, 770, 597);
    image = new TKZTransImage(form.get());
    image->SetParent(form.get());
    form->ShowForm();
    peer = FakeWindowSystem::Of(form->Peer());
  }
  ~ShapedWindowTest() override {
    form.reset();
    platform::Current() = platform::Services{};
  }

  FakeWindowSystem windows;
  std::unique_ptr<TForm> form;
  TKZTransImage* image = nullptr;
  FakePeer* peer = nullptr;
};

TEST_F(ShapedWindowTest, StartsSizedByItsPictureWithWhiteAsTheKeyAndFillsTheForm) {
  EXPECT_TRUE(image->AdjustFormSize());
  EXPECT_EQ(image->TransColor(), clWhite);
  EXPECT_EQ(image->Align(), TAlign::alClient);
  EXPECT_EQ(image->BoundsRect(), Rect(0, 0, 770, 597));
  // Nothing reshapes by itself: not loading a picture, not a colour change.
  image->Picture().AdoptGraphic(Filled(4, 3, clWhite));
  image->SetTransColor(clRed);
  EXPECT_FALSE(peer->shape.has_value());
  EXPECT_EQ(form->Width(), 770);
}

TEST_F(ShapedWindowTest, ASmallerPictureShrinksTheBorderlessFormFirstThenShapesIt) {
  auto bmp = Filled(98, 125, clBlue);
  bmp->SetPixel(0, 0, clWhite);
  image->Picture().AdoptGraphic(std::move(bmp));
  peer->calls.clear();
  image->UpdateShape();
  EXPECT_EQ(form->BorderStyle(), TFormBorderStyle::bsNone);
  EXPECT_EQ(form->BoundsRect(), Bounds(10, 20, 98, 125));
  EXPECT_EQ(image->BoundsRect(), Rect(0, 0, 98, 125));
  ASSERT_EQ(peer->calls.size(), 2u);
  EXPECT_EQ(peer->calls[0], "bounds 10,20 98x125");
  EXPECT_EQ(peer->calls[1], "shape 125");
  EXPECT_FALSE(peer->HitsShape(0, 0));
  EXPECT_TRUE(peer->HitsShape(1, 0));
  EXPECT_TRUE(peer->HitsShape(97, 124));
}

TEST_F(ShapedWindowTest, WithoutAdjustingTheFormKeepsItsSizeAndAreasBeyondThePictureAreCutAway) {
  image->SetAdjustFormSize(false);
  image->Picture().AdoptGraphic(Filled(50, 40, clBlue));
  image->UpdateShape();
  EXPECT_EQ(form->Width(), 770);
  EXPECT_EQ(form->Height(), 597);
  EXPECT_TRUE(peer->HitsShape(49, 39));
  EXPECT_FALSE(peer->HitsShape(50, 10));
  EXPECT_FALSE(peer->HitsShape(10, 40));
}

TEST_F(ShapedWindowTest, TheColourCountsOnlyAtTheNextUpdateAndAnAllKeyPictureLeavesNothing) {
  image->Picture().AdoptGraphic(Filled(8, 8, clRed));
  image->UpdateShape();  // white is the key: all opaque
  EXPECT_TRUE(peer->HitsShape(3, 3));
  image->SetTransColor(clRed);
  EXPECT_TRUE(peer->HitsShape(3, 3)) << "no change before UpdateShape";
  image->UpdateShape();
  ASSERT_TRUE(peer->shape.has_value());
  EXPECT_TRUE(peer->shape->empty());
  EXPECT_FALSE(peer->HitsShape(3, 3));
  // No picture: the window gets its plain rectangle back.
  image->Picture().SetGraphic(nullptr);
  image->UpdateShape();
  EXPECT_FALSE(peer->shape.has_value());
  EXPECT_FALSE(form->HasShape());
}

TEST_F(ShapedWindowTest, AStyleChangeLosesTheOutlineUntilItIsRenewed) {
  image->Picture().AdoptGraphic(Filled(8, 8, clRed));
  image->SetTransColor(clRed);
  image->UpdateShape();
  form->SetFormStyle(TFormStyle::fsStayOnTop);
  EXPECT_FALSE(form->HasShape());
  EXPECT_FALSE(peer->shape.has_value());
  image->UpdateShape();
  EXPECT_TRUE(peer->shape.has_value());
}

}  // namespace
}  // namespace qv
