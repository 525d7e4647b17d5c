// Writing and the picture's own behaviour: layout decisions, controls, limits,
// assignment, clipboard.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "gif_support.h"
#include "imaging/GIFImage.h"
#include "imaging/GIFWriter.h"
#include "platform/fake/FakeClipboard.h"
#include "toolkit/Canvas.h"

namespace qv::giftest {
namespace {

std::unique_ptr<TBitmap> Checker(int w, int h, TPixelFormat format) {
  return MakeIndexed(w, h, format, [](int x, int y) { return (x + y) % 3; });
}

TEST(GifWrite, OneBitBitmapUsesCodeSizeTwoAndATwoEntryTable) {
  auto bitmap = Checker(9, 5, pf1bit);
  TGIFImage gif;
  gif.Assign(bitmap.get());
  const Bytes out = SaveGif(gif);
  EXPECT_EQ(std::string(out.begin(), out.begin() + 6), "GIF87a");
  EXPECT_EQ(out[10], 0x80);  // global table of 2 entries
  EXPECT_EQ(out[13 + 6], ',');
  EXPECT_EQ(out[13 + 6 + 10], 2);  // minimum code size
  EXPECT_EQ(gif.Frames(0).CodedImage().ColorTable.Count, 2u);
}

TEST(GifWrite, DeepBitmapGoesThroughTheDefaultReduction) {
  TBitmap rgb;
  rgb.SetPixelFormat(pf24bit);
  rgb.SetSize(20, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x)
      rgb.SetPixel(x, y, RGB(static_cast<std::uint8_t>(x * 12), static_cast<std::uint8_t>(y * 20), 7));
  TGIFImage gif;
  gif.Assign(&rgb);
  const Bytes out = SaveGif(gif);
  EXPECT_EQ(gif.Data().ColorTable.Count, 256u);
  EXPECT_FALSE(gif.Frames(0).LocalColorMap());
  const OracleImage decoded = GiflibDecode(out);
  ASSERT_EQ(decoded.frames.size(), 1u);
  // Every pixel comes back as a colour close to the original.
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) {
      const int index = decoded.frames[0].pixels[static_cast<std::size_t>(y * 20 + x)];
      EXPECT_NEAR(decoded.frames[0].colors[static_cast<std::size_t>(index) * 3], x * 12, 24);
    }
}

TEST(GifWrite, SecondFrameGetsALocalTableAndTheLoopFollowsTheGlobalTable) {
  auto a = Checker(4, 4, pf4bit), b = Checker(6, 3, pf4bit);
  TGIFImage gif;
  gif.AddFrame(a.get());
  gif.AddFrame(b.get());
  gif.SetLooping(true);
  gif.SetRepeatCount(0x0102);
  const Bytes out = SaveGif(gif);
  EXPECT_EQ(gif.Version(), 2);
  EXPECT_EQ(gif.ScreenWidth(), 6);
  EXPECT_EQ(gif.ScreenHeight(), 4);
  const std::size_t loop = 13 + 16 * 3;
  EXPECT_EQ(Bytes(out.begin() + loop, out.begin() + loop + 3), (Bytes{'!', 0xFF, 11}));
  EXPECT_EQ(std::string(out.begin() + loop + 3, out.begin() + loop + 14), "NETSCAPE2.0");
  EXPECT_EQ(Bytes(out.begin() + loop + 14, out.begin() + loop + 19), (Bytes{3, 1, 2, 1, 0}));
  EXPECT_FALSE(gif.Frames(0).LocalColorMap());
  EXPECT_TRUE(gif.Frames(1).LocalColorMap());
}

TEST(GifWrite, GraphicControlFollowsTheFrame) {
  auto bitmap = Checker(4, 4, pf8bit);
  TGIFImage gif;
  gif.AddFrame(bitmap.get());
  TGIFFrame& frame = gif.Frames(0);
  frame.SetDelayTime(125);
  frame.SetTransparentColor(RGB(1, 2, 254));  // not in the table
  frame.SetDisposalMethod(2);
  SaveGif(gif);
  ASSERT_EQ(frame.Extensions().size(), 1u);
  EXPECT_EQ(frame.Extensions()[0]->ExtRecord, (std::vector<std::uint8_t>{4, 2 << 2, 12, 0, 0, 0}));
  EXPECT_EQ(gif.Version(), 2);

  frame.SetTransparentColor(bitmap->Palette()[2].ToColor());
  SaveGif(gif);
  EXPECT_EQ(frame.Extensions()[0]->ExtRecord[1], 1 | (2 << 2));
  EXPECT_EQ(frame.Extensions()[0]->ExtRecord[4], 2);
}

TEST(GifWrite, CommentsAreCutAt255BytesAndEmptyOnesDropped) {
  auto bitmap = Checker(3, 3, pf8bit);
  TGIFImage gif;
  gif.AddFrame(bitmap.get());
  gif.Data().Comment.Add(std::string(300, 'c'));
  gif.Data().Comment.Add("");
  auto empty = std::make_unique<TExtension>();
  empty->ExtType = etComment;
  gif.Frames(0).Extensions().push_back(std::move(empty));
  const Bytes out = SaveGif(gif);
  EXPECT_TRUE(gif.Frames(0).Extensions().empty());
  const Bytes tail(out.end() - 260, out.end());
  EXPECT_EQ(Bytes(tail.begin(), tail.begin() + 3), (Bytes{'!', 0xFE, 255}));
  EXPECT_EQ(Bytes(tail.end() - 2, tail.end()), (Bytes{0, ';'}));
}

TEST(GifWrite, FailuresAndNothingWrittenBeforeTheWholeGifIsBuilt) {
  TGIFImage empty;
  std::ostringstream out;
  try {
    empty.SaveToStream(out);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "No GIF Data to write");
  }
  auto bitmap = Checker(3, 3, pf8bit);
  TGIFImage gif;
  gif.AddFrame(bitmap.get());
  TBitmap nothing;
  gif.AddFrame(&nothing);
  EXPECT_THROW(gif.SaveToStream(out), EInvalidGraphicOperation);
  EXPECT_TRUE(out.str().empty());
  // The first frame stays encoded.
  EXPECT_TRUE(gif.Frames(0).CodedImage().ImageData.has_value());
  TDibImage deep;
  deep.format = pf24bit;
  EXPECT_THROW(EncodeGIFImageData(deep), EInvalidGraphicOperation);
}

TEST(GifWrite, EncoderOutputIsFixedForAGivenImage) {
  // Pinned bytes: the table, the hash and the sub-block layout decide them.
  auto bitmap = MakeIndexed(5, 2, pf8bit, [](int x, int y) { return x == y ? 1 : 0; });
  const Bytes small = EncodeGIFImageData(bitmap->Image());
  ASSERT_EQ(small.size(), 12u);  // code size, one 9-byte block, terminator
  EXPECT_EQ(small[0], 8);
  EXPECT_EQ(small[1], 9);
  std::vector<int> codes;
  for (int i = 0; i < 8; ++i) {
    int code = 0;
    for (int b = 0; b < 9; ++b) code |= ((small[2 + (i * 9 + b) / 8] >> ((i * 9 + b) % 8)) & 1) << b;
    codes.push_back(code);
  }
  // Worked out by hand: clear, 1, 0, "00", "00", "10", "00", end.
  EXPECT_EQ(codes, (std::vector<int>{256, 1, 0, 259, 259, 258, 259, 257}));
  // A long noisy frame crosses 255-byte blocks and table resets and decodes back.
  auto noisy = MakeIndexed(300, 200, pf8bit, [](int x, int y) { return (x * 7919 + y * 104729) % 251; });
  const Bytes coded = EncodeGIFImageData(noisy->Image());
  EXPECT_EQ(coded[1], 255);
  TGIFImage gif;
  LoadGif(gif, Builder().Screen(300, 200, 8).Image(0, 0, 300, 200, 0, coded).Trailer().out);
  EXPECT_EQ(Indexes(gif.Frames(0).Bitmap()), Indexes(*noisy));
}

// The plain form of the coder: the string table as a map, codes packed into
// one byte string, then cut into sub-blocks. The hashed table must agree with
// it byte for byte (a lost match would still decode, only longer).
Bytes PlainLzw(const std::vector<int>& pixels, int minCodeSize) {
  const int clear = 1 << minCodeSize;
  std::map<std::pair<int, int>, int> table;
  int codeSize = 0, nextFree = 0;
  const auto restart = [&] {
    table.clear();
    codeSize = minCodeSize + 1;
    nextFree = clear + 2;
  };
  Bytes packed;
  std::uint64_t bits = 0;
  int count = 0;
  const auto emit = [&](int code) {
    bits |= static_cast<std::uint64_t>(code) << count;
    for (count += codeSize; count >= 8; count -= 8, bits >>= 8)
      packed.push_back(static_cast<std::uint8_t>(bits));
  };
  restart();
  emit(clear);
  int prefix = -1;
  for (const int p : pixels) {
    if (prefix < 0) {
      prefix = p;
      continue;
    }
    const auto found = table.find({prefix, p});
    if (found != table.end()) {
      prefix = found->second;
      continue;
    }
    emit(prefix);
    const int code = nextFree++;
    table[{prefix, p}] = code;
    prefix = p;
    if (code >= (1 << codeSize)) {
      ++codeSize;
    } else if (code > 4093) {
      emit(prefix);
      emit(clear);
      restart();
      prefix = -1;
    }
  }
  if (prefix >= 0) emit(prefix);
  emit(clear + 1);
  if (count > 0) packed.push_back(static_cast<std::uint8_t>(bits));
  Bytes out{static_cast<std::uint8_t>(minCodeSize)};
  for (std::size_t at = 0; at < packed.size(); at += 255) {
    const std::size_t n = std::min<std::size_t>(255, packed.size() - at);
    out.push_back(static_cast<std::uint8_t>(n));
    out.insert(out.end(), packed.begin() + static_cast<std::ptrdiff_t>(at),
               packed.begin() + static_cast<std::ptrdiff_t>(at + n));
  }
  out.push_back(0);
  return out;
}

TEST(GifWrite, EncoderAgreesWithThePlainCoderByteForByte) {
  // Long runs (strings of hundreds of pixels crowd the table's slots), noise
  // (many resets), and the 1- and 4-bit paths.
  struct Case {
    int w, h;
    TPixelFormat format;
    std::function<int(int, int)> pixel;
  };
  std::mt19937 rng(7);
  std::vector<int> noise(640 * 480);
  for (int& v : noise) v = static_cast<int>(rng() % 256);
  const std::vector<Case> cases = {
      {1200, 700, pf8bit,
       [](int x, int y) { return (x / 300 + y / 70) % 3 == 0 ? 5 : (x % 97 == 0 ? 200 : 20); }},
      {640, 480, pf8bit, [&](int x, int y) { return noise[static_cast<std::size_t>(y * 640 + x)]; }},
      {2000, 300, pf1bit, [](int x, int y) { return (x * x + y * 3) % 11 < 2 ? 1 : 0; }},
      {333, 211, pf4bit, [](int x, int y) { return (x / 9 + y / 5) % 16; }},
  };
  for (const Case& c : cases) {
    auto bitmap = MakeIndexed(c.w, c.h, c.format, c.pixel);
    std::vector<int> pixels;
    for (int y = 0; y < c.h; ++y)
      for (int x = 0; x < c.w; ++x) pixels.push_back(c.pixel(x, y));
    const int depth = BitsPerPixel(c.format);
    EXPECT_EQ(EncodeGIFImageData(bitmap->Image()), PlainLzw(pixels, depth == 1 ? 2 : depth))
        << c.w << "x" << c.h << " at " << depth << " bits";
  }
}

TEST(GifWrite, FormDataAndProgress) {
  auto bitmap = Checker(8, 4, pf8bit);
  TGIFImage gif;
  gif.AddFrame(bitmap.get());
  std::vector<int> stages;
  gif.OnProgress = [&](TObject*, TProgressStage stage, int percent, bool, const TRect&, const std::string&) {
    if (stage != psRunning || percent == 100) stages.push_back(stage * 1000 + percent);
  };
  std::ostringstream out;
  gif.WriteData(out);
  EXPECT_EQ(stages, (std::vector<int>{0, 1100, 2100}));
  const std::string bytes = out.str();
  EXPECT_EQ(static_cast<std::uint8_t>(bytes[0]) + 256u * static_cast<std::uint8_t>(bytes[1]),
            bytes.size() - 4);
  std::istringstream in(bytes + "trailing");
  TGIFImage back;
  back.ReadData(in);
  EXPECT_EQ(Indexes(back.Frames(0).Bitmap()), Indexes(*bitmap));
}

// ---------------------------------------------------------------- the picture

TEST(GifPicture, SizeEqualsEmptyAndAssignment) {
  TGIFImage gif;
  EXPECT_TRUE(gif.Empty());
  EXPECT_EQ(gif.Width(), 0);
  try {
    gif.SetWidth(3);
    FAIL();
  } catch (const EInvalidGraphicOperation& e) {
    EXPECT_STREQ(e.what(), "Cannot change the Size of a GIF image");
  }
  EXPECT_THROW(gif.SetHeight(3), EInvalidGraphicOperation);

  auto bitmap = Checker(5, 4, pf8bit);
  gif.AddFrame(bitmap.get());
  gif.Frames(0).SetOrigin(Point(2, 1));
  gif.Frames(0).Assign(bitmap.get());
  EXPECT_EQ(gif.Width(), 5);
  EXPECT_FALSE(gif.Empty());

  TGIFImage copy;
  copy.Assign(&gif);
  EXPECT_TRUE(copy.Equals(&gif));
  EXPECT_EQ(copy.FrameCount(), 1);
  SaveGif(gif);
  TGIFImage shared;
  shared.Assign(&gif);
  EXPECT_EQ(shared.Frames(0).CodedImageRef().get(), gif.Frames(0).CodedImageRef().get());
  EXPECT_EQ(gif.Frames(0).CodedImage().RefCount(), 3);  // gif, copy, shared

  TGIFImage single;
  single.AssignFrame(&gif.Frames(0));
  EXPECT_FALSE(single.Equals(&gif));
  EXPECT_TRUE(single.Frames(0).LocalColorMap());  // from another picture
  EXPECT_EQ(single.Version(), 1);

  TBitmap out;
  out.Assign(&gif);  // through AssignTo
  EXPECT_EQ(out.Width(), 5);
  gif.Assign(nullptr);
  EXPECT_TRUE(gif.Empty());
  EXPECT_EQ(shared.Frames(0).CodedImage().RefCount(), 3);  // copy, shared, single
}

TEST(GifPicture, DrawLeavesTheTransparentColourOut) {
  auto bitmap = MakeIndexed(2, 1, pf8bit, [](int x, int) { return x; });
  TGIFImage gif;
  gif.AddFrame(bitmap.get());
  gif.Frames(0).SetTransparentColor(bitmap->Palette()[0].ToColor());
  TBitmap target;
  target.SetPixelFormat(pf24bit);
  target.SetSize(4, 2);
  target.Canvas().Brush().SetColor(clWhite);
  target.Canvas().FillRect(Rect(0, 0, 4, 2));
  gif.Draw(target.Canvas(), Rect(0, 0, 4, 2));
  EXPECT_EQ(target.GetPixel(0, 0), clWhite);
  EXPECT_EQ(target.GetPixel(3, 1), bitmap->Palette()[1].ToColor());
}

TEST(GifPicture, ClipboardCarriesTheGifBesideABitmap) {
  platform::FakeClipboard clipboard;
  auto bitmap = Checker(6, 5, pf8bit);
  TGIFImage gif;
  gif.AddFrame(bitmap.get());
  gif.AddFrame(bitmap.get());
  // Frames without coded data put only the bitmap there.
  gif.SaveToClipboard(clipboard);
  EXPECT_FALSE(clipboard.HasFormat(clipboard.RegisterFormat("GIF Image")));
  SaveGif(gif);
  gif.SaveToClipboard(clipboard);
  EXPECT_TRUE(clipboard.HasFormat(clipboard.RegisterFormat("GIF Image")));
  EXPECT_TRUE(clipboard.HasFormat(platform::IClipboard::kBitmapFormat));

  TGIFImage pasted;
  pasted.LoadFromClipboard(clipboard);
  EXPECT_EQ(pasted.FrameCount(), 2);
  EXPECT_EQ(pasted.FrameIndex(), 0);
  EXPECT_EQ(Indexes(pasted.Frames(1).Bitmap()), Indexes(*bitmap));

  platform::FakeClipboard plain;
  std::ostringstream bmp;
  bitmap->SaveToStream(bmp);
  const std::string s = bmp.str();
  plain.SetData(platform::IClipboard::kBitmapFormat, Bytes(s.begin(), s.end()));
  TGIFImage fromBitmap;
  fromBitmap.LoadFromClipboard(plain);
  EXPECT_EQ(fromBitmap.FrameCount(), 1);
  EXPECT_EQ(fromBitmap.Width(), 6);
}

}  // namespace
}  // namespace qv::giftest
