#include <gtest/gtest.h>

#include <sstream>

#include "imaging/Icon.h"
#include "imaging/ImageFormats.h"
#include "imaging_test_support.h"
#include "platform/fake/TempDir.h"
#include "toolkit/Canvas.h"
#include "toolkit/Picture.h"

namespace qv {
namespace {

using namespace imaging_test;

TBitmap& Background(TBitmap& b, int w, int h, TColor color) {
  b.SetSize(w, h);
  b.Canvas().Brush().SetColor(color);
  b.Canvas().FillRect(Rect(0, 0, w, h));
  return b;
}

std::unique_ptr<TIcon> Load(const Bytes& file) {
  auto icon = std::make_unique<TIcon>();
  icon->LoadFromBytes(file);
  return icon;
}

TEST(IconDecode, IndexedImagesWithMasksDrawTransparentAndInverted) {
  for (int bits : {1, 4, 8}) {
    SCOPED_TRACE(bits);
    BmpImage im;
    im.width = 16;
    im.height = 8;
    im.bitCount = bits;
    im.palette = {{0, 0, 0}, {255, 255, 255}};
    if (bits > 1) im.palette.push_back({255, 0, 0});
    // Left half: black and white stripes; right half masked: black is
    // transparent, white inverts.
    im.pixel = [bits](int x, int y) {
      return x < 8 ? static_cast<std::uint32_t>(y % 2) : (bits > 1 && y == 0 ? 2u : x % 2);
    };
    im.masked = [](int x, int) { return x >= 8; };
    TIcon icon;
    icon.LoadFromBytes(IconFile({{Encode(im), 16, 8}}));
    EXPECT_EQ(icon.Width(), 16);
    EXPECT_EQ(icon.Height(), 8);
    EXPECT_EQ(icon.BitCount(), bits);
    EXPECT_EQ(icon.ResourceType(), 1);
    TBitmap target;
    Background(target, 16, 8, RGB(10, 100, 200));
    target.Canvas().Draw(0, 0, &icon);
    EXPECT_EQ(target.GetPixel(0, 0), clBlack);
    EXPECT_EQ(target.GetPixel(0, 1), clWhite);
    EXPECT_EQ(target.GetPixel(8, 3), RGB(10, 100, 200));  // black under the mask
    EXPECT_EQ(target.GetPixel(9, 3), RGB(245, 155, 55));  // white under the mask inverts
    if (bits > 1) {
      EXPECT_EQ(target.GetPixel(8, 0), RGB(245, 100, 200));  // red xor
    }
  }
}

TEST(IconDecode, TrueColourAlphaAndPngImages) {
  BmpImage im;
  im.width = im.height = 4;
  im.bitCount = 32;
  im.pixel = [](int x, int) { return x == 0 ? 0xFF00FF00u : x == 1 ? 0x80FF0000u : 0x00FFFFFFu; };
  im.masked = [](int, int) { return false; };  // alpha wins over the mask
  auto alpha = Load(IconFile({{Encode(im), 4, 4}}));
  TBitmap target;
  Background(target, 4, 4, clBlack);
  target.Canvas().Draw(0, 0, alpha.get());
  EXPECT_EQ(target.GetPixel(0, 0), clLime);
  EXPECT_EQ(target.GetPixel(1, 2), RGB(128, 0, 0));
  EXPECT_EQ(target.GetPixel(3, 3), clBlack);

  // All alpha bytes 0: an old-style image whose mask decides.
  im.pixel = [](int, int) { return 0x000000FFu; };
  im.masked = [](int x, int) { return x == 3; };
  auto old = Load(IconFile({{Encode(im), 4, 4}}));
  Background(target, 4, 4, clWhite);
  target.Canvas().Draw(0, 0, old.get());
  EXPECT_EQ(target.GetPixel(0, 0), clBlue);
  EXPECT_EQ(target.GetPixel(3, 0), RGB(255, 255, 0));  // blue over the mask inverts white

  const Bytes png = Png(48, 40, [](int x, int y) {
    return x < 24 ? 0xFFFF0000u : y < 20 ? 0x00000000u : 0xFF0000FFu;
  });
  auto fromPng = Load(IconFile({{png, 48, 40}}));
  EXPECT_EQ(fromPng->Width(), 48);
  EXPECT_EQ(fromPng->Height(), 40);
  EXPECT_EQ(fromPng->BitCount(), 32);
  Background(target, 48, 40, clLime);
  target.Canvas().Draw(0, 0, fromPng.get());
  EXPECT_EQ(target.GetPixel(0, 0), clRed);
  EXPECT_EQ(target.GetPixel(30, 5), clLime);
  EXPECT_EQ(target.GetPixel(30, 35), clBlue);
}

TEST(IconDecode, PicksTheImageNearest32AndTheDeepestAmongEquals) {
  BmpImage small, mid4, mid24, large;
  small.width = small.height = 16;
  mid4.bitCount = 4;
  mid4.palette = {{0, 0, 0}, {255, 0, 0}};
  mid4.pixel = [](int, int) { return 1u; };
  mid24.pixel = [](int, int) { return 0x0000FFu; };
  large.width = large.height = 48;
  const auto icon = Load(IconFile(
      {{Encode(small), 16, 16}, {Encode(mid4), 32, 32}, {Encode(mid24), 32, 32}, {Encode(large), 48, 48}}));
  EXPECT_EQ(icon->ImageCount(), 4);
  EXPECT_EQ(icon->Width(), 32);
  EXPECT_EQ(icon->BitCount(), 24);
  EXPECT_EQ(icon->Image().GetPixel(5, 5), clBlue);
}

TEST(IconDecode, CursorsKeepTheirHotSpotAndFilesRoundTrip) {
  const Bytes file = SolidIcon(0x00FF00, 32, 2, 7, 11);
  Bytes withTail = file;
  Append(withTail, Text("TAIL"));
  std::istringstream in(std::string(withTail.begin(), withTail.end()));
  TIcon cursor;
  cursor.LoadFromStream(in);
  std::string rest;
  in >> rest;
  EXPECT_EQ(rest, "TAIL");  // the icon took only its own bytes
  EXPECT_EQ(cursor.ResourceType(), 2);
  EXPECT_EQ(cursor.HotSpot(), Point(7, 11));
  std::ostringstream out;
  cursor.SaveToStream(out);
  EXPECT_EQ(out.str(), std::string(file.begin(), file.end()));

  const auto copy = cursor.Clone();
  EXPECT_EQ(static_cast<TIcon&>(*copy).HotSpot(), Point(7, 11));
  TIcon other;
  other.Assign(&cursor);
  EXPECT_EQ(other.Data(), cursor.Data());
  other.Assign(nullptr);
  EXPECT_TRUE(other.Empty());
  TBitmap bitmap;
  EXPECT_THROW(other.Assign(&bitmap), EConvertError);
  EXPECT_THROW(cursor.SetWidth(10), EInvalidGraphicOperation);
}

TEST(IconDecode, DamagedFilesAreRefusedAndKeepThePreviousImage) {
  TIcon icon;
  icon.LoadFromBytes(SolidIcon(0x0000FF));
  const Bytes good = SolidIcon(0x00FF00);
  auto expectInvalid = [&](Bytes file) {
    EXPECT_THROW(icon.LoadFromBytes(file), EInvalidGraphic);
    EXPECT_EQ(icon.Image().GetPixel(0, 0), clBlue);
  };
  expectInvalid({});
  expectInvalid(Bytes(good.begin(), good.begin() + 20));   // cut inside the directory
  expectInvalid(Bytes(good.begin(), good.begin() + 200));  // cut inside the image
  Bytes wrongType = good;
  wrongType[2] = 3;
  expectInvalid(wrongType);
  Bytes noImages = good;
  noImages[4] = 0;
  expectInvalid(noImages);
  Bytes pastTheEnd = good;
  pastTheEnd[21] = 0x7F;  // offset far beyond the file
  expectInvalid(pastTheEnd);
  Bytes badDepth = good;
  badDepth[22 + 14] = 7;
  expectInvalid(badDepth);

  BmpImage huge;
  huge.width = 300;
  huge.height = 2;
  EXPECT_THROW(icon.LoadFromBytes(IconFile({{Encode(huge), 0, 2}})), EInvalidGraphic);  // only entry unusable
  const Bytes bigPng = Png(300, 4, [](int, int) { return 0xFFFFFFFFu; });
  EXPECT_THROW(icon.LoadFromBytes(IconFile({{bigPng, 0, 4}})), EInvalidGraphic);
  Bytes brokenPng = Png(8, 8, [](int, int) { return 0xFF123456u; });
  brokenPng.resize(brokenPng.size() - 20);
  EXPECT_THROW(icon.LoadFromBytes(IconFile({{brokenPng, 8, 8}})), EInvalidGraphic);
  EXPECT_EQ(icon.Width(), 32);
}

TEST(IconDecode, MalformedSamplesNeverCrash) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QV_IMAGING_TEST_DATA)) {
    const std::string ext = entry.path().extension();
    if (ext != ".ico" && ext != ".cur") continue;
    ++files;
    TIcon icon;
    try {
      icon.LoadFromBytes(ReadFile(entry.path()));
      TBitmap target;
      Background(target, 40, 40, clWhite);
      target.Canvas().StretchDraw(Rect(0, 0, 40, 40), &icon);
    } catch (const Exception&) {
    }
  }
  EXPECT_GT(files, 0);
}

TEST(IconPicture, RegisteredForIcoFiles) {
  RegisterImageFormats();
  platform::fake::TempDir dir;
  const Bytes file = SolidIcon(0xFF0000);
  const std::string path = dir.WriteFile("red.ico", std::string(file.begin(), file.end()));
  TPicture picture;
  picture.LoadFromFile(path);
  ASSERT_NE(dynamic_cast<TIcon*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 32);
  EXPECT_EQ(picture.Bitmap().GetPixel(3, 3), clRed);
}

// Icons that ImageMagick writes (BMP-coded small sizes, PNG-coded 256) read
// back to the pixels of their source.
TEST(IconMagick, ReadsIconsWrittenByImageMagick) {
  const std::string magick = MagickCommand();
  if (magick.empty()) GTEST_SKIP() << "ImageMagick is not installed";
  platform::fake::TempDir dir;
  const Bytes source = Png(256, 256, [](int x, int y) {
    const std::uint32_t a = (x / 32 + y / 32) % 4 == 0 ? 0u : 255u;
    return (a << 24) | (static_cast<std::uint32_t>(x) << 16) | (static_cast<std::uint32_t>(y) << 8) | 77u;
  });
  WriteFile(dir.File("src.png"), source);
  for (int side : {16, 32, 48, 256}) {
    SCOPED_TRACE(side);
    const std::string ico = dir.File("out" + std::to_string(side) + ".ico");
    const std::string ref = dir.File("ref" + std::to_string(side) + ".png");
    const std::string resize = " -resize " + std::to_string(side) + "x" + std::to_string(side) + " ";
    ASSERT_EQ(std::system((magick + " " + dir.File("src.png") + resize + "ico:" + ico).c_str()), 0);
    ASSERT_EQ(std::system((magick + " " + dir.File("src.png") + resize + "PNG32:" + ref).c_str()), 0);
    TIcon icon;
    icon.LoadFromBytes(ReadFile(ico));
    TIcon reference;  // the same pixels through the PNG path
    reference.LoadFromBytes(IconFile({{ReadFile(ref), side, side}}));
    ASSERT_EQ(icon.Width(), side);
    ASSERT_EQ(icon.Height(), side);
    int differing = 0;
    for (int y = 0; y < side; ++y) {
      const std::uint8_t* a = icon.Image().ScanLine(y);
      const std::uint8_t* b = reference.Image().ScanLine(y);
      for (int x = 0; x < side; ++x, a += 4, b += 4) {
        if (a[3] != b[3] || (b[3] != 0 && (a[0] != b[0] || a[1] != b[1] || a[2] != b[2]))) ++differing;
      }
    }
    EXPECT_EQ(differing, 0);
  }
}

}  // namespace
}  // namespace qv
