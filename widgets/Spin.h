// The spin edit: a single-line numeric field with a pair of arrow buttons at its
// right edge. The user types a whole number or steps it with the arrows or the
// Up and Down keys; holding an arrow repeats the step. Three classes make it:
// TTimerSpeedButton (one arrow that repeats its click while held), TSpinButton
// (the two-arrow block, a windowed control that can also be used alone) and
// TSpinEdit (the field with the block inside it).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "toolkit/Buttons.h"
#include "toolkit/StdCtrls.h"
#include "toolkit/Timer.h"

namespace qv {

// The arrow pictures "SpinUp" and "SpinDown" (either case): 9 x 6, 4 bits, a
// black triangle on an olive ground that shows as transparent. Built on first
// use and kept; null for any other name.
const TBitmap* FindSpinGlyph(std::string_view name);

class TTimerSpeedButton : public TSpeedButton {
 public:
  enum Option : unsigned {
    FocusFrame = 1u << 0,  // draw the dotted focus frame
    AutoRepeat = 1u << 1,  // repeat the click while held
  };
  static constexpr unsigned kInitialRepeatPause = 400;  // ms from the press to the first repeat
  static constexpr unsigned kRepeatPause = 100;         // ms between repeats

  explicit TTimerSpeedButton(TComponent* owner);

  unsigned Options() const { return options_; }
  void SetOptions(unsigned options);
  // Made on the first press that repeats; null before.
  TTimer* RepeatTimer() const { return repeatTimer_; }

  void Paint(TCanvas& canvas) override;

 protected:
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  void TimerExpired();

  TTimer* repeatTimer_ = nullptr;  // owned as a component
  unsigned options_ = 0;
};

class TSpinButton : public TWinControl {
 public:
  static constexpr int kMinWidth = 15;

  explicit TSpinButton(TComponent* owner);

  TTimerSpeedButton* UpArrow() const { return upArrow_; }
  TTimerSpeedButton* DownArrow() const { return downArrow_; }
  // The arrow the keyboard acts on and that shows the focus frame.
  TTimerSpeedButton* ActiveArrow() const { return activeArrow_; }
  // The control that takes the input focus when an arrow is pressed.
  TWinControl* FocusControl() const { return focusControl_; }
  void SetFocusControl(TWinControl* control) { focusControl_ = control; }
  const TBitmap& UpGlyph() const { return upArrow_->Glyph(); }
  const TBitmap& DownGlyph() const { return downArrow_->Glyph(); }
  // Null puts the default arrow picture back.
  void SetUpGlyph(const TBitmap* glyph);
  void SetDownGlyph(const TBitmap* glyph);

  // Keeps the width at kMinWidth or more and lays the arrows out (not while loading).
  void SetBounds(int left, int top, int width, int height) override;
  void Paint(TCanvas& canvas) override;

  // Called for each click of an arrow; the sender is the spin button.
  TNotifyEvent OnUpClick;
  TNotifyEvent OnDownClick;

 protected:
  void Loaded() override;
  void Notification(TComponent* component, TOperation operation) override;
  void KeyDown(int& key, TShiftState shift) override;
  void DoEnter() override;
  void DoExit() override;

 private:
  TTimerSpeedButton* CreateArrow();
  void ArrowMouseDown(TTimerSpeedButton* arrow, TMouseButton button);
  void ArrowClick(TTimerSpeedButton* arrow);
  void SetActiveArrow(TTimerSpeedButton* arrow);
  // The arrows' bounds for a block of that size; raises the width to the minimum.
  void AdjustSize(int& width, int height);

  TTimerSpeedButton* upArrow_ = nullptr;  // both owned as components
  TTimerSpeedButton* downArrow_ = nullptr;
  TTimerSpeedButton* activeArrow_ = nullptr;
  TWinControl* focusControl_ = nullptr;
};

class TSpinEdit : public TEdit {
 public:
  explicit TSpinEdit(TComponent* owner);

  std::int32_t MinValue() const { return minValue_; }
  void SetMinValue(std::int32_t v) { minValue_ = v; }
  std::int32_t MaxValue() const { return maxValue_; }
  void SetMaxValue(std::int32_t v) { maxValue_ = v; }
  std::int32_t Increment() const { return increment_; }
  void SetIncrement(std::int32_t v) { increment_ = v; }
  bool EditorEnabled() const { return editorEnabled_; }
  void SetEditorEnabled(bool v) { editorEnabled_ = v; }
  TSpinButton* Button() const { return button_; }

  // The text read as a whole number; an unreadable text reads as MinValue.
  std::int32_t Value() const;
  // Writes the clamped number; the text (and OnChange) changes only when it differs.
  void SetValue(std::int32_t v);
  // MinValue = MaxValue means no bounds.
  std::int32_t ClampValue(std::int64_t v) const;

  // The smallest height that shows a line of text in the control's font.
  int MinHeight() const;
  // Where typed text goes, in client coordinates: clear of the arrow block.
  TRect FormattingRect() const;

  virtual bool AcceptsChar(char key) const;
  virtual void StepUp();
  virtual void StepDown();

 protected:
  void InitializePeer() override;
  void BoundsChanged() override;
  void KeyDown(int& key, TShiftState shift) override;
  void KeyPress(char& key) override;
  void DoEnter() override;
  void DoExit() override;
  bool PeerClipboardCommand(platform::ClipboardCommand command) override;

 private:
  // Raises the height to the minimum, else places the arrow block at the right edge.
  void AdjustToHeight();
  void ApplyFormattingRect();
  void Step(std::int64_t delta);

  std::int32_t minValue_ = 0;
  std::int32_t maxValue_ = 0;
  std::int32_t increment_ = 1;
  TSpinButton* button_ = nullptr;  // owned as a component
  bool editorEnabled_ = true;
};

// Parses a 32-bit integer the way the field reads its text: leading blanks, then
// an optional sign and decimal digits (at most 2147483647 either way), or "$" and
// one to eight hexadecimal digits; nothing may follow.
bool ParseSpinValue(const std::string& text, std::int32_t& value);

}  // namespace qv
