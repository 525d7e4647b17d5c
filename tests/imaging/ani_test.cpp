#include <gtest/gtest.h>

#include <sstream>

#include "imaging/AniFile.h"
#include "imaging/IcoList.h"
#include "imaging/ImagingErrors.h"
#include "imaging_test_support.h"
#include "platform/Services.h"
#include "platform/fake/ScriptedDialogs.h"
#include "platform/fake/TempDir.h"
#include "toolkit/Canvas.h"

namespace qv {
namespace {

using namespace imaging_test;

// Distinct solid colours for icon number i (0x00RRGGBB).
constexpr std::uint32_t kColors[] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
constexpr TColor kTColors[] = {clRed, clLime, clBlue, clYellow, clAqua, clFuchsia};

Bytes Fram(int icons, unsigned type = 1) {
  Bytes contents;
  for (int i = 0; i < icons; ++i) Append(contents, Chunk("icon", SolidIcon(kColors[i], 32, type, 3, 5)));
  return List("fram", contents);
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) Append(out, p);
  return out;
}

// Which icon (by colour) a frame shows.
int IconOf(const TAnimatedCursorImage& ani, int frame) {
  const TColor c = ani.Icons(frame)->Image().GetPixel(0, 0);
  for (int i = 0; i < 6; ++i)
    if (kTColors[i] == c) return i;
  return -1;
}

std::string ReadErrorOf(const Bytes& file) {
  TAnimatedCursorImage ani;
  try {
    ani.LoadFromBytes(file);
  } catch (const EReadError& e) {
    EXPECT_EQ(ani.FrameCount(), 0);
    return e.what();
  }
  return "no error";
}

TEST(AniParse, FramesFollowTheHeaderSeqAndRateChunks) {
  TAnimatedCursorImage plain;
  plain.LoadFromBytes(Acon(Join({Anih(4, 4, 10), Fram(4)})));
  ASSERT_EQ(plain.FrameCount(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(IconOf(plain, i), i);
    EXPECT_EQ(plain.Frames(i).JiffRate(), 10u);
    EXPECT_EQ(plain.Frames(i).SeqIndex(), i);
    EXPECT_EQ(plain.Frames(i).ChunkId(), FourCC("icon"));
  }
  EXPECT_EQ(plain.Header().Steps, 4u);
  EXPECT_EQ(plain.Header().DisplayRate, 10u);

  // Each "seq " or "rate" chunk sets one frame from its first value only.
  TAnimatedCursorImage sequenced;
  sequenced.LoadFromBytes(
      Acon(Join({Anih(4, 4, 10), Chunk("rate", Values({7, 8, 9})), Chunk("rate", Values({20})),
                 Chunk("seq ", Values({2, 0, 1})), Fram(4)})));
  // Icon 0 is asked for by no frame any more: it becomes an extra frame.
  ASSERT_EQ(sequenced.FrameCount(), 5);
  EXPECT_EQ(sequenced.Frames(4).SeqIndex(), -1);
  EXPECT_EQ(IconOf(sequenced, 4), 0);
  EXPECT_EQ(IconOf(sequenced, 0), 2);
  EXPECT_EQ(IconOf(sequenced, 1), 1);
  EXPECT_EQ(IconOf(sequenced, 2), 2);
  EXPECT_EQ(sequenced.Frames(0).JiffRate(), 7u);
  EXPECT_EQ(sequenced.Frames(1).JiffRate(), 20u);
  EXPECT_EQ(sequenced.Frames(2).JiffRate(), 10u);
}

TEST(AniParse, ExtraIconsBecomeFramesAndFramesWithoutIconsGo) {
  TAnimatedCursorImage extra;
  extra.LoadFromBytes(Acon(Join({Anih(2, 2, 6), Fram(4)})));
  ASSERT_EQ(extra.FrameCount(), 4);
  EXPECT_EQ(extra.Frames(2).SeqIndex(), -1);
  EXPECT_EQ(extra.Frames(3).SeqIndex(), -1);
  EXPECT_EQ(IconOf(extra, 3), 3);
  EXPECT_EQ(extra.Frames(3).JiffRate(), 6u);

  // Five frames asked for, two icons present; a count far beyond the file is
  // no reason to allocate.
  for (std::uint32_t frames : {5u, 0xFFFFFFF0u}) {
    TAnimatedCursorImage missing;
    missing.LoadFromBytes(Acon(Join({Anih(frames, 5, 6), Fram(2)})));
    EXPECT_EQ(missing.FrameCount(), 2);
    EXPECT_EQ(missing.Header().Steps, 2u);
  }
}

TEST(AniParse, CursorAndIconResourcesGiveTheirHotSpots) {
  TAnimatedCursorImage cursors;
  cursors.LoadFromBytes(Acon(Join({Anih(1, 1, 6), Fram(1, 2)})));
  EXPECT_FALSE(cursors.Frames(0).FromIcon());
  EXPECT_EQ(cursors.Frames(0).HotSpot(), Point(3, 5));
  EXPECT_EQ(cursors.Icons(0)->ResourceType(), 1);  // stored as an icon

  TAnimatedCursorImage icons;
  icons.LoadFromBytes(Acon(Join({Anih(1, 1, 6), Fram(1, 1)})));
  EXPECT_TRUE(icons.Frames(0).FromIcon());
  EXPECT_EQ(icons.Frames(0).HotSpot(), Point(16, 16));
  EXPECT_EQ(icons.IconColors(), 0);  // 24-bit images count no colours

  BmpImage indexed;
  indexed.bitCount = 4;
  indexed.palette = {{1, 2, 3}};
  TAnimatedCursorImage sixteen;
  sixteen.LoadFromBytes(
      Acon(Join({Anih(1, 1, 6), List("fram", Chunk("icon", IconFile({{Encode(indexed)}})))})));
  EXPECT_EQ(sixteen.IconColors(), 16);
}

TEST(AniParse, InfoTextsAreCutAt255Bytes) {
  const std::string longTitle(300, 'T');
  TAnimatedCursorImage ani;
  ani.LoadFromBytes(Acon(Join(
      {List("INFO", Join({Chunk("INAM", Text(longTitle)), Chunk("IART", Text(std::string("Maker\0", 6)))})),
       Anih(1, 1, 6), Fram(1)})));
  EXPECT_EQ(ani.Title(), std::string(255, 'T'));
  EXPECT_EQ(ani.Author(), "Maker");
}

TEST(AniParse, OddIconChunksAndUnknownChunksAreSteppedOver) {
  Bytes odd = SolidIcon(kColors[1]);
  odd.push_back(0x55);  // one stray byte makes the chunk odd; the pad follows
  TAnimatedCursorImage ani;
  ani.LoadFromBytes(Acon(Join({Chunk("junk", Text("abc")), Anih(2, 2, 6),
                               List("fram", Join({Chunk("icon", odd), Chunk("xtra", Text("z")),
                                                  Chunk("icon", SolidIcon(kColors[2]))})),
                               List("zzzz", Text("whatever")), Chunk("seq ", Values({1}))})));
  ASSERT_EQ(ani.FrameCount(), 2);
  EXPECT_EQ(IconOf(ani, 0), 1);
  EXPECT_EQ(IconOf(ani, 1), 2);
  EXPECT_EQ(ani.Frames(0).ChunkSize(), odd.size());
  EXPECT_EQ(ani.Frames(0).SeqIndex(), 1);  // a late "seq " renumbers but moves no icon
}

TEST(AniParse, ReadErrorsAndQuietDamage) {
  EXPECT_EQ(ReadErrorOf(Text("RIFX")), "Stream read error");
  EXPECT_EQ(ReadErrorOf(Chunk("RIFF", Text("WAVEdata"))), "Stream read error");
  EXPECT_EQ(ReadErrorOf(Acon(Join({Anih(1, 1, 6, 0), Fram(1)}))), "Stream read error");  // no icon flag
  EXPECT_EQ(ReadErrorOf(Acon(Join({Anih(1, 0, 6), Fram(1)}))), "Stream read error");     // no steps
  EXPECT_EQ(ReadErrorOf(Acon(Anih(1, 1, 6))), "Stream read error");                      // no icons
  Bytes badIcon = SolidIcon(kColors[0]);
  badIcon[2] = 9;
  EXPECT_EQ(ReadErrorOf(Acon(Join({Anih(1, 1, 6), List("fram", Chunk("icon", badIcon))}))),
            "Stream read error");

  // Cut inside the second icon: the first one is kept.
  const Bytes whole = Acon(Join({Anih(3, 3, 6), Fram(3)}));
  TAnimatedCursorImage cut;
  cut.LoadFromBytes(Bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() * 3 / 5)));
  EXPECT_EQ(cut.FrameCount(), 1);
}

TEST(AniParse, MalformedSamplesNeverCrash) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(QV_IMAGING_TEST_DATA)) {
    if (entry.path().extension() != ".ani") continue;
    ++files;
    TAnimatedCursorImage ani;
    try {
      ani.LoadFromBytes(ReadFile(entry.path()));
      TBitmap strip;
      ani.DrawStrip(strip, clWhite, true, true);
    } catch (const Exception&) {
    }
  }
  EXPECT_GT(files, 0);
}

class AniAssignTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = platform::Current().dialogs;
    platform::Current().dialogs = &dialogs_;
    ani_.LoadFromBytes(Acon(Join({Anih(3, 3, 6), Fram(3)})));
  }
  void TearDown() override { platform::Current().dialogs = saved_; }
  platform::fake::ScriptedDialogs dialogs_;
  platform::IDialogs* saved_ = nullptr;
  TAnimatedCursorImage ani_;
};

TEST_F(AniAssignTest, ToBitmapDrawsAReducedStrip) {
  TBitmap bitmap;
  bitmap.Canvas().Brush().SetColor(clWhite);
  ani_.AssignTo(bitmap);
  EXPECT_EQ(bitmap.Width(), 96);
  EXPECT_EQ(bitmap.Height(), 32);
  EXPECT_EQ(bitmap.PixelFormat(), pf4bit);  // max(IconColors, 16) colours
  EXPECT_EQ(bitmap.GetPixel(5, 5), clRed);
  EXPECT_EQ(bitmap.GetPixel(40, 5), clLime);
  EXPECT_EQ(bitmap.GetPixel(90, 30), clBlue);

  TBitmap vertical;
  ani_.DrawStrip(vertical, clBlack, true, false);
  EXPECT_EQ(vertical.Width(), 32);
  EXPECT_EQ(vertical.Height(), 96);
  EXPECT_EQ(vertical.PixelFormat(), pf24bit);
  EXPECT_EQ(vertical.GetPixel(0, 70), clBlue);

  TAnimatedCursorImage none;
  TBitmap untouched;
  untouched.SetSize(3, 3);
  none.AssignTo(untouched);
  EXPECT_EQ(untouched.Width(), 3);
  none.DrawStrip(untouched, clWhite, false, true);
  EXPECT_TRUE(untouched.Empty());
}

TEST_F(AniAssignTest, ToIconIconListAndRegisteredClasses) {
  TIcon icon;
  ani_.AssignTo(icon);
  EXPECT_EQ(icon.Image().GetPixel(0, 0), clRed);

  TIconList list;
  list.Add(nullptr);
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  ani_.AssignTo(list);
  EXPECT_EQ(changes, 1);
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Icons(2).Image().GetPixel(0, 0), clBlue);

  TStringList other;
  EXPECT_THROW(ani_.AssignTo(other), EConvertError);
  TAnimatedCursorImage::RegisterAssignTo([](const TAnimatedCursorImage& source, TObject& destination) {
    auto* lines = dynamic_cast<TStringList*>(&destination);
    if (lines == nullptr) return false;
    lines->Add(IntToStr(source.FrameCount()));
    return true;
  });
  ani_.AssignTo(other);
  EXPECT_EQ(other.Text(), "3\r\n");
}

TEST_F(AniAssignTest, AssignCopiesSavingIsRefusedAndFileFailuresClear) {
  TAnimatedCursorImage copy;
  copy.Assign(&ani_);
  ASSERT_EQ(copy.FrameCount(), 3);
  EXPECT_EQ(copy.Header(), ani_.Header());
  EXPECT_NE(copy.Icons(1), ani_.Icons(1));
  EXPECT_EQ(copy.Icons(1)->Data(), ani_.Icons(1)->Data());
  TStringList wrong;
  EXPECT_THROW(copy.Assign(&wrong), EConvertError);
  copy.Assign(nullptr);
  EXPECT_EQ(copy.FrameCount(), 0);

  std::ostringstream out;
  EXPECT_THROW(ani_.SaveToStream(out), EAbort);
  ASSERT_EQ(dialogs_.shown.size(), 1u);
  EXPECT_EQ(dialogs_.shown[0].text, "Function not yet implemented");

  platform::fake::TempDir dir;
  EXPECT_THROW(ani_.LoadFromFile(dir.File("missing.ani")), EFOpenError);
  EXPECT_EQ(ani_.FrameCount(), 0);
  const Bytes file = Acon(Join({Anih(1, 1, 6), Fram(1)}));
  ani_.LoadFromFile(dir.WriteFile("one.ani", std::string(file.begin(), file.end())));
  EXPECT_EQ(ani_.FrameCount(), 1);
  std::istringstream empty;
  ani_.LoadFromStream(empty);  // nothing to read changes nothing
  EXPECT_EQ(ani_.FrameCount(), 1);
}

TEST(IconList, UpdateBracketAndStoredData) {
  TIconList list;
  int changes = 0;
  list.OnChange = [&](TObject*) { ++changes; };
  TIcon red;
  red.LoadFromBytes(SolidIcon(kColors[0]));
  list.BeginUpdate();
  list.BeginUpdate();
  list.Add(&red);
  list.Add(nullptr);
  list.EndUpdate();
  EXPECT_EQ(changes, 0);
  list.EndUpdate();
  EXPECT_EQ(changes, 1);
  list.Add(&red);
  EXPECT_EQ(changes, 2);
  EXPECT_THROW(list.Icons(3), EListError);

  std::stringstream data;
  list.WriteData(data);
  const std::string stored = data.str();
  ASSERT_EQ(stored.size(), 4 + 2 * (4 + red.Data().size()) + 4);
  TIconList back;
  back.ReadData(data);
  ASSERT_EQ(back.Count(), 3);
  EXPECT_TRUE(back.Icons(1).Empty());
  EXPECT_EQ(back.Icons(2).Data(), red.Data());

  std::istringstream cut(stored.substr(0, stored.size() - 10));
  EXPECT_THROW(back.ReadData(cut), EReadError);
  EXPECT_EQ(back.Count(), 3);  // unchanged
  std::istringstream tooMany(std::string("\xFF\xFF\xFF\x7F", 4));
  EXPECT_THROW(back.ReadData(tooMany), EReadError);
  EXPECT_STREQ(TIconList::kDataPropertyName, "Icons");
}

}  // namespace
}  // namespace qv
