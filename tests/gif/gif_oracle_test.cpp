// Our codec against an independent one: what we write giflib must read back
// exactly, and what giflib and ImageMagick write we must read exactly.
#include <gtest/gtest.h>

#include <random>

#include "gif_support.h"
#include "imaging/GIFImage.h"

namespace qv::giftest {
namespace {

std::vector<int> Pattern(int width, int height, int bits, unsigned seed, bool noisy) {
  std::mt19937 rng(seed);
  std::vector<int> pixels(static_cast<std::size_t>(width * height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      // Runs and noise both: long strings exercise the table, noise the resets.
      const int v = noisy ? static_cast<int>(rng()) : (x / 7 + y / 5 + (x * y) % 3);
      pixels[static_cast<std::size_t>(y * width + x)] = v & ((1 << bits) - 1);
    }
  }
  return pixels;
}

std::unique_ptr<TBitmap> BitmapOf(const std::vector<int>& pixels, int width, int height,
                                  TPixelFormat format) {
  return MakeIndexed(width, height, format,
                     [&](int x, int y) { return pixels[static_cast<std::size_t>(y * width + x)]; });
}

std::vector<int> OurPixels(TGIFFrame& frame) {
  return Indexes(frame.Bitmap());
}

// ---------------------------------------------------------------- ours -> giflib

struct DepthCase {
  TPixelFormat format;
  int bits;
  int width, height;
  bool noisy;
};

class OurWriterInGiflib : public ::testing::TestWithParam<DepthCase> {};

TEST_P(OurWriterInGiflib, SingleFrameDecodesToTheSamePixelsAndColours) {
  const DepthCase c = GetParam();
  const std::vector<int> pixels = Pattern(c.width, c.height, c.bits, 11, c.noisy);
  auto bitmap = BitmapOf(pixels, c.width, c.height, c.format);
  TGIFImage gif;
  gif.Assign(bitmap.get());
  const OracleImage decoded = GiflibDecode(SaveGif(gif));

  ASSERT_EQ(decoded.frames.size(), 1u);
  EXPECT_EQ(decoded.width, c.width);
  EXPECT_EQ(decoded.height, c.height);
  EXPECT_EQ(decoded.globalColors, 1 << c.bits);
  EXPECT_EQ(decoded.frames[0].pixels, pixels);
  for (int i = 0; i < (1 << c.bits); ++i) {
    const TPaletteEntry e = bitmap->Palette()[static_cast<std::size_t>(i)];
    const std::size_t at = static_cast<std::size_t>(i) * 3;
    EXPECT_EQ(decoded.frames[0].colors[at], e.Red);
    EXPECT_EQ(decoded.frames[0].colors[at + 1], e.Green);
    EXPECT_EQ(decoded.frames[0].colors[at + 2], e.Blue);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, OurWriterInGiflib,
    ::testing::Values(DepthCase{pf1bit, 1, 37, 29, false}, DepthCase{pf1bit, 1, 640, 480, true},
                      DepthCase{pf4bit, 4, 53, 31, false}, DepthCase{pf4bit, 4, 301, 257, true},
                      DepthCase{pf8bit, 8, 64, 64, false},
                      // Noise fills the table many times over: resets.
                      DepthCase{pf8bit, 8, 500, 400, true}, DepthCase{pf8bit, 8, 1, 1, false}));

TEST(OurWriterInGiflibTest, AnimationKeepsControlsLoopAndComment) {
  TGIFImage gif;
  std::vector<std::vector<int>> sources;
  for (int i = 0; i < 3; ++i) {
    sources.push_back(Pattern(40, 30, 8, 100u + static_cast<unsigned>(i), i == 1));
    auto bitmap = BitmapOf(sources.back(), 40, 30, pf8bit);
    gif.AddFrame(bitmap.get());
  }
  TGIFFrame& second = gif.Frames(1);
  second.SetTransparentColor(second.Bitmap().Palette()[5].ToColor());
  second.SetDelayTime(120);
  second.SetDisposalMethod(2);
  gif.SetLooping(true);
  gif.SetRepeatCount(7);
  gif.Data().Comment.Add("made by a test");

  const OracleImage decoded = GiflibDecode(SaveGif(gif));
  ASSERT_EQ(decoded.frames.size(), 3u);
  for (int i = 0; i < 3; ++i)
    EXPECT_EQ(decoded.frames[static_cast<std::size_t>(i)].pixels, sources[static_cast<std::size_t>(i)]);

  // giflib hands the loop block to the first frame.
  ASSERT_FALSE(decoded.frames[0].extensions.empty());
  EXPECT_EQ(decoded.frames[0].extensions[0].first, APPLICATION_EXT_FUNC_CODE);
  const Bytes loop = decoded.frames[0].extensions[0].second;
  EXPECT_EQ(std::string(loop.begin(), loop.begin() + 11), "NETSCAPE2.0");
  EXPECT_EQ(Bytes(loop.begin() + 11, loop.end()), (Bytes{1, 7, 0}));

  ASSERT_EQ(decoded.frames[1].extensions.size(), 1u);
  EXPECT_EQ(decoded.frames[1].extensions[0].first, GRAPHICS_EXT_FUNC_CODE);
  const Bytes control = decoded.frames[1].extensions[0].second;
  ASSERT_EQ(control.size(), 4u);
  EXPECT_EQ(control[0], 1 | (2 << 2));  // transparency flag and disposal
  EXPECT_EQ(control[1] | (control[2] << 8), 12);
  EXPECT_EQ(control[3], 5);

  ASSERT_EQ(decoded.trailing.size(), 1u);
  EXPECT_EQ(decoded.trailing[0].first, COMMENT_EXT_FUNC_CODE);
  EXPECT_EQ(std::string(decoded.trailing[0].second.begin(), decoded.trailing[0].second.end()),
            "made by a test");
  // The second and third frames carry their own tables.
  EXPECT_FALSE(gif.Frames(0).LocalColorMap());
  EXPECT_TRUE(gif.Frames(1).LocalColorMap());
}

// ---------------------------------------------------------------- giflib -> ours

struct GiflibCase {
  int bits;
  int width, height;
  int frames;
  bool interlace;
};

class GiflibInOurDecoder : public ::testing::TestWithParam<GiflibCase> {};

TEST_P(GiflibInOurDecoder, DecodesToTheSamePixels) {
  const GiflibCase c = GetParam();
  std::vector<SourceFrame> frames;
  for (int i = 0; i < c.frames; ++i) {
    SourceFrame f;
    f.width = c.width;
    f.height = c.height;
    f.pixels = Pattern(c.width, c.height, c.bits, 7u + static_cast<unsigned>(i), i % 2 == 1);
    f.interlace = c.interlace;
    f.delay = i;
    f.transparent = i % 3 == 0 ? 1 : -1;
    frames.push_back(std::move(f));
  }
  const Bytes file = GiflibEncode(frames, c.bits, c.frames > 1);
  TGIFImage gif;
  LoadGif(gif, file);
  ASSERT_EQ(gif.FrameCount(), c.frames);
  EXPECT_EQ(gif.Looping(), c.frames > 1);
  for (int i = 0; i < c.frames; ++i) {
    TGIFFrame& frame = gif.Frames(i);
    EXPECT_EQ(OurPixels(frame), frames[static_cast<std::size_t>(i)].pixels) << "frame " << i;
    EXPECT_FALSE(frame.Corrupted());
    EXPECT_EQ(frame.Interlaced(), c.interlace);
    EXPECT_EQ(frame.DelayTime(), i * 10);
    EXPECT_EQ(frame.TransparentColor() != clNone, i % 3 == 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, GiflibInOurDecoder,
                         ::testing::Values(GiflibCase{1, 33, 21, 1, false}, GiflibCase{2, 50, 40, 1, false},
                                           GiflibCase{4, 64, 48, 1, true}, GiflibCase{8, 200, 150, 1, false},
                                           GiflibCase{8, 97, 83, 1, true}, GiflibCase{8, 1, 9, 1, true},
                                           GiflibCase{3, 16, 16, 40, false},
                                           GiflibCase{8, 31, 17, 25, true}));

TEST(GiflibRoundTripTest, OurWriterKeepsGiflibFramesByteForByte) {
  std::vector<SourceFrame> frames(2);
  for (int i = 0; i < 2; ++i) {
    frames[static_cast<std::size_t>(i)] = {
        45, 33, 2, Pattern(45, 33, 2, 3u + static_cast<unsigned>(i), i == 0), i == 1, 4, -1};
  }
  const Bytes file = GiflibEncode(frames, 2, true);
  TGIFImage gif;
  LoadGif(gif, file);
  const Bytes written = SaveGif(gif);
  TGIFImage again;
  LoadGif(again, written);
  ASSERT_EQ(again.FrameCount(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(*again.Frames(i).CodedImage().ImageData, *gif.Frames(i).CodedImage().ImageData);
  }
  const OracleImage decoded = GiflibDecode(written);
  ASSERT_EQ(decoded.frames.size(), 2u);
  for (int i = 0; i < 2; ++i)
    EXPECT_EQ(decoded.frames[static_cast<std::size_t>(i)].pixels, frames[static_cast<std::size_t>(i)].pixels);
}

// ---------------------------------------------------------------- ImageMagick files

class ImageMagickFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(ImageMagickFiles, DecodeLikeGiflibAndSurviveARoundTrip) {
  const Bytes file = ReadFile(DataPath(GetParam()));
  const OracleImage oracle = GiflibDecode(file);
  TGIFImage gif;
  LoadGif(gif, file);
  ASSERT_EQ(gif.FrameCount(), static_cast<int>(oracle.frames.size()));
  for (int i = 0; i < gif.FrameCount(); ++i) {
    const OracleFrame& expected = oracle.frames[static_cast<std::size_t>(i)];
    TGIFFrame& frame = gif.Frames(i);
    EXPECT_EQ(frame.Origin(), Point(expected.left, expected.top));
    EXPECT_EQ(frame.Interlaced(), expected.interlace);
    EXPECT_EQ(OurPixels(frame), expected.pixels) << GetParam() << " frame " << i;
    const TGIFColorTable& table = frame.CodedImage().ColorTable;
    EXPECT_EQ(
        Bytes(table.Colors.begin(), table.Colors.begin() + static_cast<std::ptrdiff_t>(table.Count * 3)),
        expected.colors);
  }

  TGIFImage again;
  LoadGif(again, SaveGif(gif));
  ASSERT_EQ(again.FrameCount(), gif.FrameCount());
  for (int i = 0; i < gif.FrameCount(); ++i) {
    EXPECT_EQ(*again.Frames(i).CodedImage().ImageData, *gif.Frames(i).CodedImage().ImageData);
    EXPECT_EQ(again.Frames(i).TransparentColor(), gif.Frames(i).TransparentColor());
    EXPECT_EQ(again.Frames(i).DelayTime(), gif.Frames(i).DelayTime());
  }
  EXPECT_EQ(again.Looping(), gif.Looping());
  EXPECT_EQ(again.RepeatCount(), gif.RepeatCount());
}

INSTANTIATE_TEST_SUITE_P(Samples, ImageMagickFiles,
                         ::testing::Values("im_plasma.gif", "im_interlaced.gif", "im_lineart.gif",
                                           "im_anim.gif", "im_transparent.gif", "im_big_interlaced.gif"));

}  // namespace
}  // namespace qv::giftest
