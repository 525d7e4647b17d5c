// The window's seven skinned buttons as its layout sets them up: captions,
// colours, options and pictures, and pictures that fit their buttons.
#include "AppFixture.h"
#include "toolkit/ExtCtrls.h"

namespace qv::testing {
namespace {

class WindowButtonsTest : public AppFixture {};

TEST_F(WindowButtonsTest, EveryButtonHasItsCaptionColoursOptionsAndPicture) {
  TForm1& f = Start();
  const TExplorerButtonOptions picture{boPopupMark, boShowBevel};
  const TExplorerButtonOptions caption{boMonoDisplay, boPopupMark, boShowBevel};
  struct Want {
    TExplorerButton* button;
    const char* caption;
    TColor font;
    bool bold;
    TExplorerButtonOptions options;
    bool hasPicture;
  };
  const Want wants[] = {
      {f.colorsbutton, "Settings", clAqua, false, picture, true},
      {f.ExplorerButton4, "Watch", clAqua, false, picture, true},
      {f.ExplorerButton3, "", clWindowText, false, picture, true},
      {f.OfficeButton2, ".", clBlack, true, caption, false},
      {f.ExplorerButton2, "_", clBlack, true, caption, false},
      {f.ExplorerButton1, "X", clBlack, true, caption, false},
  };
  TBitmap scratch;
  for (const Want& w : wants) {
    TExplorerButton& b = *w.button;
    SCOPED_TRACE(b.Name());
    EXPECT_EQ(b.Caption(), w.caption);
    EXPECT_EQ(b.Font().Color(), w.font);
    EXPECT_EQ((b.Font().Style() & fsBold) != 0, w.bold);
    EXPECT_EQ(b.Options(), w.options);
    EXPECT_EQ(b.UnselectedFontColor(), clWhite);
    EXPECT_EQ(b.DropDownMenu(), nullptr);
    EXPECT_TRUE(b.Enabled());
    EXPECT_EQ(b.Bitmap().Empty(), !w.hasPicture);
    // The picture stands wholly on the button.
    const TExplorerButtonPlacement p = b.Place(scratch.Canvas());
    EXPECT_GE(p.BX, 0);
    EXPECT_GE(p.BY, 0);
    EXPECT_LE(p.BX + b.Bitmap().Width(), b.Width());
    EXPECT_LE(p.BY + b.Bitmap().Height() + p.TH + (w.caption[0] != '\0' && w.hasPicture ? 2 : 0), b.Height());
  }
  EXPECT_EQ(f.colorsbutton->ShadingType(), TExplorerButtonShadingType::stLight);
  EXPECT_EQ(f.ExplorerButton4->ShadingType(), TExplorerButtonShadingType::stLight);
}

TEST_F(WindowButtonsTest, PanelButtonIsDisabledAndShowsItsOwnDisabledPicture) {
  TForm1& f = Start();
  TExplorerButton& b = *f.ExplorerButton5;
  EXPECT_FALSE(b.Enabled());
  EXPECT_EQ(b.Parent(), f.Panel15);
  ASSERT_FALSE(b.DisabledBitmap().Empty());
  EXPECT_EQ(b.DisabledBitmap().Width(), b.Bitmap().Width());
  // Painted on the panel: the picture's key colour is left out, the rest is the disabled picture.
  TBitmap& panel = f.Panel15->PaintToBackBuffer();
  const TBitmap& own = b.DisabledBitmap();
  const int x0 = b.Left() + (b.Width() - own.Width()) / 2, y0 = b.Top() + (b.Height() - own.Height()) / 2;
  const TColor key = own.GetPixel(0, 0);
  int drawn = 0;
  for (int y = 0; y < own.Height(); ++y)
    for (int x = 0; x < own.Width(); ++x) {
      const TColor shown = panel.GetPixel(x0 + x, y0 + y);
      if (own.GetPixel(x, y) == key) {
        EXPECT_NE(shown, key);
      } else {
        EXPECT_EQ(shown, own.GetPixel(x, y));
        ++drawn;
      }
    }
  EXPECT_GT(drawn, 20);
}

}  // namespace
}  // namespace qv::testing
