// A flat, bitmap-skinned push button for windows that wear their own picture.
//
// Idle, it shows only its picture and caption over the parent's background; a
// one-pixel bevel rises while the pointer is over it and sinks while it is
// pressed. It can stand in a group whose members latch down in turn, open a
// drop-down menu instead of clicking, and answers to its caption's accelerator.
// It has no window of its own: its parent paints it and routes the mouse to it.
#pragma once

#include <initializer_list>
#include <iosfwd>
#include <memory>
#include <string>

#include "toolkit/Controls.h"

namespace qv {

class TPopupMenu;

enum class TBevelStyle : unsigned char { bsLowered, bsRaised };
enum class TExplorerButtonLayout : unsigned char { blBitmapTop, blBitmapBottom, blBitmapLeft, blBitmapRight };
enum class TExplorerButtonShadingType : unsigned char { stLight, stMedium, stDark };
enum TExplorerButtonOption : unsigned char { boMonoDisplay, boIconOnly, boPopupMark, boShowBevel };

// A set of options, one bit per option.
class TExplorerButtonOptions {
 public:
  constexpr TExplorerButtonOptions() = default;
  constexpr TExplorerButtonOptions(std::initializer_list<TExplorerButtonOption> options) {
    for (TExplorerButtonOption o : options) bits_ = static_cast<unsigned char>(bits_ | (1u << o));
  }
  constexpr bool Contains(TExplorerButtonOption o) const { return (bits_ & (1u << o)) != 0; }
  constexpr unsigned char Bits() const { return bits_; }
  friend constexpr bool operator==(TExplorerButtonOptions, TExplorerButtonOptions) = default;

 private:
  unsigned char bits_ = 0;
};

// Where the picture and the caption go on a button of a given size.
struct TExplorerButtonPlacement {
  int BX = 0, BY = 0;  // picture
  int TX = 0, TY = 0;  // caption
  int TW = 0, TH = 0;  // measured caption size (TW after the layout's own cuts)
  int TWd = 0;         // width the caption is drawn in
  TRect TR;            // caption rectangle
};

// The hint text of a caption: single '&' removed, "&&" made one '&'; the last
// character is left as it is.
std::string StripAccelerators(const std::string& caption);

// The picture as an outline-only button shows it while the pointer is elsewhere:
// every pixel that is not the transparent colour (that of pixel (0, 0)) becomes
// white, highlight, shadow or black by its brightness.
void DeriveIBitmap(const TBitmap& source, TExplorerButtonShadingType shading, TBitmap& result);

class TExplorerButton : public TGraphicControl {
 public:
  explicit TExplorerButton(TComponent* owner);
  ~TExplorerButton() override;

  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  bool AllowAllUp() const { return allowAllUp_; }
  void SetAllowAllUp(bool v);
  TBevelStyle BevelStyle() const { return bevelStyle_; }
  void SetBevelStyle(TBevelStyle v);
  // The pictures are the button's own: setters copy the image.
  TBitmap& Bitmap() { return *bitmap_; }
  void SetBitmap(const TBitmap* v) { bitmap_->Assign(v); }
  TBitmap& NoFocusBitmap() { return *noFocusBitmap_; }
  void SetNoFocusBitmap(const TBitmap* v) { noFocusBitmap_->Assign(v); }
  TBitmap& DisabledBitmap() { return *disabledBitmap_; }
  void SetDisabledBitmap(const TBitmap* v) { disabledBitmap_->Assign(v); }
  // The grey rendition, stored with the layout rather than made at run time.
  TBitmap& IBitmap() { return *iBitmap_; }
  // The stored form of IBitmap: a BMP file image, nothing when empty.
  void ReadIBitmap(std::istream& in);
  void WriteIBitmap(std::ostream& out) const;
  bool Down() const { return down_; }
  void SetDown(bool v);
  TPopupMenu* DropDownMenu() const { return dropDownMenu_; }
  void SetDropDownMenu(TPopupMenu* menu);
  int GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int v);
  TExplorerButtonLayout Layout() const { return layout_; }
  void SetLayout(TExplorerButtonLayout v);
  TExplorerButtonOptions Options() const { return options_; }
  void SetOptions(TExplorerButtonOptions v);
  TExplorerButtonShadingType ShadingType() const { return shadingType_; }
  void SetShadingType(TExplorerButtonShadingType v);
  bool ShowDownPattern() const { return showDownPattern_; }
  void SetShowDownPattern(bool v);
  TColor UnselectedFontColor() const { return unselectedFontColor_; }
  void SetUnselectedFontColor(TColor v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);

  bool Pressed() const { return isPressed_; }
  bool MouseInside() const { return mouseInside_; }

  TNotifyEvent OnEnter;
  TNotifyEvent OnExit;

  // Makes IBitmap again from Bitmap with the current shading.
  void DeriveIBitmap();
  // Where picture and caption go, measured with the button's font on `canvas`.
  TExplorerButtonPlacement Place(TCanvas& canvas) const;
  void Paint(TCanvas& canvas) override;

  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void ContextMenuDone() override;
  bool DialogChar(char key) override;

 protected:
  void TextChanged() override;
  void EnabledChanged() override;
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;

 private:
  template <typename F>
  void ForEachGroupMember(F&& f);
  bool HasPopupMark() const { return dropDownMenu_ != nullptr && options_.Contains(boPopupMark); }
  bool ShowsCaption() const { return !options_.Contains(boIconOnly) && !text_.empty(); }
  void DesignDerive();
  void BitmapChanged();
  void NoFocusBitmapChanged();
  void DisabledBitmapChanged();
  // The left-button press and release as the mouse and the accelerator make them.
  void Press();
  void Release(bool knowPointer, TPoint pointer);
  // The pointer lies strictly inside the bounds (left and top edge are outside).
  bool PointerTest(TPoint pointerInParent) const;
  void ApplyPointerTest();
  void AfterMenu();
  void DrawCaptionIn(TCanvas& canvas, const TRect& rect) const;
  void DrawPicture(TCanvas& canvas, TBitmap& picture, int x, int y) const;

  TAlignment alignment_ = TAlignment::taCenter;
  bool allowAllUp_ = false;
  TBevelStyle bevelStyle_ = TBevelStyle::bsRaised;
  std::unique_ptr<TBitmap> bitmap_;
  std::unique_ptr<TBitmap> noFocusBitmap_;
  std::unique_ptr<TBitmap> disabledBitmap_;
  std::unique_ptr<TBitmap> iBitmap_;
  bool down_ = false;
  TPopupMenu* dropDownMenu_ = nullptr;
  int groupIndex_ = 0;
  TExplorerButtonLayout layout_ = TExplorerButtonLayout::blBitmapTop;
  TExplorerButtonOptions options_{boMonoDisplay, boPopupMark, boShowBevel};
  TExplorerButtonShadingType shadingType_ = TExplorerButtonShadingType::stMedium;
  bool showDownPattern_ = true;
  TColor unselectedFontColor_ = clWindowText;
  bool wordWrap_ = false;
  bool isPressed_ = false;
  bool mouseInside_ = false;
  // Cleared when the button goes: a menu's choice may free it while it waits.
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace qv
