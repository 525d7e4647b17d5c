// Reading: the block rules, the extension collection, damaged and hostile input.
#include <gtest/gtest.h>

#include <filesystem>

#include "gif_support.h"
#include "imaging/GIFDecoder.h"
#include "imaging/GIFImage.h"

namespace qv::giftest {
namespace {

// Restores the process-wide setting after each test.
class GifRead : public ::testing::Test {
 protected:
  void TearDown() override { SetGIFIgnoreCorrupt(true); }
};

Bytes Pixels4x3() {
  return NaiveLzw({0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2}, 2);
}

TEST_F(GifRead, SignatureAndVersionInAnyCaseAndUnknownVersions) {
  for (const char* sig : {"GIF89a", "gif87A", "GiF89A"}) {
    TGIFImage gif;
    LoadGif(gif, Builder().Screen(4, 3, 2, 0, sig).Image(0, 0, 4, 3, 0, Pixels4x3()).Trailer().out);
    EXPECT_EQ(gif.FrameCount(), 1) << sig;
    EXPECT_EQ(gif.Version(), sig[4] == '9' ? 2 : 1);
  }
  for (const char* sig : {"GIF88a", "JIF89a"}) {
    TGIFImage gif;
    try {
      LoadGif(gif, Builder().Screen(4, 3, 2, 0, sig).Trailer().out);
      FAIL() << sig;
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_STREQ(e.what(), "Unknown GIF version");
    }
  }
  TGIFImage empty;
  LoadGif(empty, {});
  EXPECT_TRUE(empty.Empty());
  EXPECT_EQ(empty.FrameCount(), 0);
}

TEST_F(GifRead, GlobalTableScreenAndFrameDefaults) {
  // 256-entry global table, background 5, a frame of width 0 taking the screen's.
  const Bytes data = NaiveLzw(std::vector<int>(7 * 2, 9), 8);
  TGIFImage gif;
  LoadGif(gif, Builder().Screen(7, 2, 8, 5).Image(0, 0, 0, 2, 0, data).Trailer().out);
  EXPECT_EQ(gif.ScreenWidth(), 7);
  EXPECT_EQ(gif.BackgroundColor(), RGB(5, 10, 15));
  EXPECT_EQ(gif.RepeatCount(), 1);
  EXPECT_FALSE(gif.Looping());
  TGIFFrame& frame = gif.Frames(0);
  EXPECT_EQ(frame.CodedImage().ImageSize.Width, 7);
  EXPECT_EQ(frame.CodedImage().ColorTable, gif.Data().ColorTable);
  EXPECT_FALSE(frame.LocalColorMap());
  EXPECT_EQ(frame.Bitmap().PixelFormat(), pf8bit);
  EXPECT_EQ(IndexAt(frame.Bitmap(), 6, 1), 9);
  EXPECT_EQ(frame.Bitmap().Palette()[9], (TPaletteEntry{9, 18, 27}));
  EXPECT_EQ(gif.Width(), 7);
  EXPECT_EQ(gif.Height(), 2);
}

TEST_F(GifRead, LocalTablesPickTheBitmapDepthAndPadThePaletteWithGrey) {
  // 2-bit local table -> 4-bit bitmap whose entries 4..15 are grey.
  TGIFImage gif;
  LoadGif(gif, Builder()
                   .Screen(4, 3, 0)
                   .Raw({','})
                   .Word(0)
                   .Word(0)
                   .Word(4)
                   .Word(3)
                   .Raw({0x81})
                   .Table(2)
                   .Append(Pixels4x3())
                   .Trailer()
                   .out);
  TBitmap& bitmap = gif.Frames(0).Bitmap();
  EXPECT_TRUE(gif.Frames(0).LocalColorMap());
  EXPECT_EQ(bitmap.PixelFormat(), pf4bit);
  EXPECT_EQ(Indexes(bitmap), (std::vector<int>{0, 1, 2, 3, 3, 2, 1, 0, 1, 1, 2, 2}));
  EXPECT_EQ(bitmap.Palette()[3], (TPaletteEntry{3, 6, 9}));
  EXPECT_EQ(bitmap.Palette()[4], (TPaletteEntry{128, 128, 128}));
}

TEST_F(GifRead, ValuesAreMaskedToTheTableDepth) {
  // A 1-bit table but codes up to 3: each value keeps its lowest bit.
  TGIFImage gif;
  LoadGif(gif, Builder().Screen(4, 3, 1).Image(0, 0, 4, 3, 0, Pixels4x3()).Trailer().out);
  EXPECT_EQ(Indexes(gif.Frames(0).Bitmap()), (std::vector<int>{0, 1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 0}));
}

TEST_F(GifRead, GraphicControlsLoopsCommentsAndPlainText) {
  const Bytes data = Pixels4x3();
  Builder b;
  b.Screen(4, 3, 2).Loop("NETSCAPE2.0", 0);
  b.Control(0x01 | (1 << 2), 30, 2).Control(0x01 | (3 << 2), 5, 1).Comment({"frame", "note"});
  b.Image(1, 2, 4, 3, 0, data).Raw({0, 0, 0});  // zero bytes between blocks
  b.Control(0x01, 10, 3).Raw({'!', 0x01, 12}).Raw({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}).Raw({2, 'h', 'i', 0});
  b.Image(0, 0, 4, 3, 0, data);
  b.Comment({"the end"}).Comment({"really"}).Trailer();
  TGIFImage gif;
  LoadGif(gif, b.out);

  ASSERT_EQ(gif.FrameCount(), 2);
  EXPECT_TRUE(gif.Looping());
  EXPECT_EQ(gif.RepeatCount(), 0);
  const TGIFFrame& first = gif.Frames(0);
  EXPECT_EQ(first.Origin(), Point(1, 2));
  EXPECT_EQ(first.DelayTime(), 300);                  // the larger delay
  EXPECT_EQ(first.TransparentColor(), RGB(1, 2, 3));  // the later control
  EXPECT_EQ(first.DisposalMethod(), 3);
  ASSERT_EQ(first.Extensions().size(), 3u);
  EXPECT_EQ(first.Extensions()[2]->ExtType, etComment);
  EXPECT_EQ(first.Extensions()[2]->ExtData->Lines(), (std::vector<std::string>{"frame", "note"}));
  // The plain text block took the control before it along.
  EXPECT_TRUE(gif.Frames(1).Extensions().empty());
  EXPECT_EQ(gif.Frames(1).TransparentColor(), clNone);
  EXPECT_EQ(gif.Data().Comment.Lines(), (std::vector<std::string>{"the end", "\r\n\r\n", "really"}));
}

TEST_F(GifRead, LoopCountsAreCappedAndOtherApplicationsIgnored) {
  const Bytes data = Pixels4x3();
  TGIFImage capped;
  LoadGif(capped,
          Builder().Screen(4, 3, 2).Loop("ANIMEXTS1.0", 40000).Image(0, 0, 4, 3, 0, data).Trailer().out);
  EXPECT_EQ(capped.RepeatCount(), 30000);
  TGIFImage other;
  LoadGif(other, Builder().Screen(4, 3, 2).Loop("XMP DataXMP", 5).Image(0, 0, 4, 3, 0, data).Trailer().out);
  EXPECT_FALSE(other.Looping());
  EXPECT_EQ(other.RepeatCount(), 1);
}

TEST_F(GifRead, TransparentIndexBeyondTheTableChangesNothing) {
  TGIFImage gif;
  LoadGif(gif, Builder().Screen(4, 3, 2).Control(1, 0, 200).Image(0, 0, 4, 3, 0, Pixels4x3()).Trailer().out);
  EXPECT_EQ(gif.Frames(0).TransparentColor(), clNone);
}

TEST_F(GifRead, MalformedBlocksFailWithTheirMessages) {
  const auto message = [](const Bytes& bytes) {
    TGIFImage gif;
    try {
      LoadGif(gif, bytes);
    } catch (const Exception& e) {
      return std::string(e.what());
    }
    return std::string("no error");
  };
  EXPECT_EQ(message(Builder().Screen(4, 3, 2).Raw({'!', 0x42, 0}).Trailer().out),
            "Unrecognized extension block: 42");
  EXPECT_EQ(message(Builder().Screen(4, 3, 2).Raw({'x'}).Trailer().out), "Stream read error");
  EXPECT_EQ(message(Builder().Screen(4, 3, 2).Raw({',', 0, 0, 0}).out), "Stream read error");
  // A local table cut short.
  EXPECT_EQ(
      message(Builder().Screen(4, 3, 0).Raw({','}).Word(0).Word(0).Word(4).Word(3).Raw({0x87, 1, 2}).out),
      "Stream read error");
  // A frame with no colour table at all cannot become a bitmap.
  EXPECT_EQ(message(Builder().Screen(4, 3, 0).Image(0, 0, 4, 3, 0, Pixels4x3()).Trailer().out),
            "Wrong number of colors; must be a power of 2");
}

TEST_F(GifRead, AFailingFrameZeroIsRemovedButEarlierFramesOfAFailingReadStay) {
  TGIFImage gif;
  EXPECT_THROW(LoadGif(gif, Builder().Screen(4, 3, 0).Image(0, 0, 4, 3, 0, Pixels4x3()).Trailer().out),
               EInvalidGraphicOperation);
  EXPECT_EQ(gif.FrameCount(), 0);

  TGIFImage partial;
  EXPECT_THROW(
      LoadGif(partial, Builder().Screen(4, 3, 2).Image(0, 0, 4, 3, 0, Pixels4x3()).Raw({'!', 0x33}).out),
      EInvalidGraphicOperation);
  EXPECT_EQ(partial.FrameCount(), 1);
}

TEST_F(GifRead, TruncatedDataMarksTheFrameCorruptOrFailsWhenStrict) {
  Bytes data = NaiveLzw(std::vector<int>(40 * 40, 1), 2);
  const Bytes file = Builder().Screen(40, 40, 2).Image(0, 0, 40, 40, 0, data).out;
  const Bytes cut(file.begin(), file.end() - 30);
  TGIFImage gif;
  LoadGif(gif, cut);
  ASSERT_EQ(gif.FrameCount(), 1);
  EXPECT_TRUE(gif.Frames(0).Corrupted());
  // What came through is decoded; the rest keeps index 0.
  EXPECT_EQ(IndexAt(gif.Frames(0).Bitmap(), 0, 0), 1);
  EXPECT_EQ(IndexAt(gif.Frames(0).Bitmap(), 39, 39), 0);
  // The stored data stays a closed run of sub-blocks, so writing it back is safe.
  EXPECT_EQ(gif.Frames(0).CodedImage().ImageData->back(), 0);
  TGIFImage again;
  LoadGif(again, SaveGif(gif));
  EXPECT_EQ(again.FrameCount(), 1);

  SetGIFIgnoreCorrupt(false);
  TGIFImage strict;
  try {
    LoadGif(strict, cut);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
}

TEST_F(GifRead, DecoderFlagsBadCodeSizesAndUndefinedCodes) {
  TGIFDecodeRequest request;
  request.width = 4;
  request.height = 3;
  request.bitsPerPixel = 2;
  Bytes badSize = Pixels4x3();
  badSize[0] = 11;
  request.imageData = badSize;
  EXPECT_TRUE(DecodeGIFFrame(request).corrupt);
  request.ignoreCorrupt = false;
  try {
    DecodeGIFFrame(request);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "GIF code size not in range 2 to 9");
  }
  // Clear, 1, then code 7 while the next free code is 6.
  const Bytes undefined = {2, 2, 0xCC, 0x01, 0};
  request.imageData = undefined;
  try {
    DecodeGIFFrame(request);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "GIF encoded data is corrupt");
  }
  request.ignoreCorrupt = true;
  const TGIFDecodeResult result = DecodeGIFFrame(request);
  EXPECT_TRUE(result.corrupt);
  EXPECT_EQ(result.pixels.size(), 12u);
}

TEST_F(GifRead, InterlacedRowsLandInPassOrder) {
  EXPECT_EQ(GIFRowOrder(10, true), (std::vector<int>{0, 8, 4, 2, 6, 1, 3, 5, 7, 9}));
  EXPECT_EQ(GIFRowOrder(3, true), (std::vector<int>{0, 2, 1}));
  std::vector<int> rowsInStream;
  for (int y : GIFRowOrder(10, true)) rowsInStream.push_back(y);  // value = image row
  std::vector<int> pixels;
  for (int r : rowsInStream) pixels.insert(pixels.end(), 2, r);
  TGIFImage gif;
  LoadGif(gif, Builder().Screen(2, 10, 4).Image(0, 0, 2, 10, 0x40, NaiveLzw(pixels, 4)).Trailer().out);
  for (int y = 0; y < 10; ++y) EXPECT_EQ(IndexAt(gif.Frames(0).Bitmap(), 1, y), y);
}

TEST_F(GifRead, HostileSizesAreRefusedBeforeAllocating) {
  // 60000 x 60000 announced in a few bytes.
  TGIFImage gif;
  EXPECT_THROW(
      LoadGif(gif,
              Builder().Screen(60000, 60000, 1).Image(0, 0, 60000, 60000, 0, {2, 1, 0x44, 0}).Trailer().out),
      EInvalidGraphicOperation);
  // 12000 x 12000 frames: the first fits, the picture as a whole does not.
  Builder b;
  b.Screen(12000, 12000, 8);
  for (int i = 0; i < 3; ++i) b.Image(0, 0, 12000, 12000, 0, {8, 2, 0x00, 0x01, 0});
  TGIFImage big;
  big.ReadGIF(b.Trailer().out, false);
  ASSERT_EQ(big.FrameCount(), 3);
  EXPECT_NO_THROW(big.Frames(0).Bitmap());
  EXPECT_THROW(big.Frames(1).Bitmap(), EInvalidGraphicOperation);
}

TEST_F(GifRead, CrashReproducersStayFixed) {
  // Inputs the fuzz targets once found; each must load or fail cleanly.
  const std::filesystem::path dir(QV_GIF_TEST_DATA);
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().filename().string().rfind("crash-", 0) != 0) continue;
    TGIFImage gif;
    try {
      LoadGif(gif, ReadFile(entry.path().string()));
      for (int i = 0; i < gif.FrameCount(); ++i) gif.Frames(i).Bitmap();
    } catch (const Exception&) {
    }
  }
}

}  // namespace
}  // namespace qv::giftest
