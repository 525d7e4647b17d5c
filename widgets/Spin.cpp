#include "widgets/Spin.h"

#include <algorithm>
#include <array>
#include <climits>
#include <memory>

#include "platform/Dialogs.h"
#include "platform/Locale.h"
#include "platform/Services.h"
#include "toolkit/Canvas.h"

namespace qv {

namespace {

constexpr int kVkSpace = 0x20;
constexpr int kVkUp = 0x26;
constexpr int kVkDown = 0x28;
constexpr char kCarriageReturn = 13;
constexpr char kBackspace = 8;

// The arrow block inside the field, as first made, and its inset from the
// field's right and bottom edges.
constexpr int kBlockWidth = 15;
constexpr int kBlockHeight = 17;
constexpr int kBlockInset = 5;
// A lone spin button's size when made.
constexpr int kButtonWidth = 20;
constexpr int kButtonHeight = 25;
// Height of a window border line, and the classic system font whose text
// height joins the field's own in the minimum height.
constexpr int kBorderLine = 1;
constexpr const char* kSystemFontName = "System";
constexpr int kSystemFontCell = 16;

// The arrow pictures: 9 x 6, an olive ground and a black triangle of widths
// 1, 3, 5 and 7 on rows 1 to 4.
constexpr int kGlyphWidth = 9;
constexpr int kGlyphHeight = 6;
constexpr TColor kGlyphGround = clOlive;
constexpr TColor kGlyphArrow = clBlack;

void DefaultBeep() {
  if (platform::Current().dialogs != nullptr) platform::Current().dialogs->Beep();
}

char DecimalSeparator() {
  const platform::ILocale* locale = platform::Current().locale;
  return locale != nullptr ? locale->DecimalSeparator() : '.';
}

// Whether the control can take the input focus: it and every parent are
// visible and enabled.
bool CanFocus(const TControl* control) {
  for (const TControl* c = control; c != nullptr; c = c->Parent())
    if (!c->Visible() || !c->Enabled()) return false;
  return true;
}

std::unique_ptr<TBitmap> BuildArrowGlyph(bool up) {
  auto glyph = std::make_unique<TBitmap>();
  glyph->SetPixelFormat(pf4bit);
  glyph->SetSize(kGlyphWidth, kGlyphHeight);
  for (int y = 0; y < kGlyphHeight; ++y) glyph->FillSpanRGB(y, 0, kGlyphWidth, kGlyphGround);
  constexpr int kCentre = kGlyphWidth / 2;
  for (int r = 0; r < 4; ++r) {
    const int y = up ? 1 + r : 4 - r;
    glyph->FillSpanRGB(y, kCentre - r, kCentre + r + 1, kGlyphArrow);
  }
  return glyph;
}

std::int32_t Saturate(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

const TBitmap* FindSpinGlyph(std::string_view name) {
  // Built together under the guarantee of a function-local static.
  static const std::array<std::unique_ptr<TBitmap>, 2> glyphs = {BuildArrowGlyph(true),
                                                                 BuildArrowGlyph(false)};
  const std::string key = LowerCase(name);
  if (key == "spinup") return glyphs[0].get();
  if (key == "spindown") return glyphs[1].get();
  return nullptr;
}

bool ParseSpinValue(const std::string& text, std::int32_t& value) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i >= text.size()) return false;
  if (text[i] == '$') {
    ++i;
    const size_t digits = text.size() - i;
    if (digits == 0 || digits > 8) return false;
    std::uint32_t v = 0;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      int d;
      if (c >= '0' && c <= '9')
        d = c - '0';
      else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
      else
        return false;
      v = v * 16 + static_cast<std::uint32_t>(d);
    }
    value = static_cast<std::int32_t>(v);  // eight digits cover the negative numbers too
    return true;
  }
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') {
    negative = text[i] == '-';
    ++i;
  }
  if (i >= text.size()) return false;
  std::int64_t v = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    v = v * 10 + (c - '0');
    if (v > INT32_MAX) return false;
  }
  value = static_cast<std::int32_t>(negative ? -v : v);
  return true;
}

// ---------------------------------------------------------------------------
// TTimerSpeedButton

TTimerSpeedButton::TTimerSpeedButton(TComponent* owner) : TSpeedButton(owner) {}

void TTimerSpeedButton::SetOptions(unsigned options) {
  if (options == options_) return;
  options_ = options;
  Invalidate();
}

void TTimerSpeedButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TSpeedButton::MouseDown(button, shift, x, y);
  if (button != TMouseButton::mbLeft || !Dragging() || (options_ & AutoRepeat) == 0) return;
  if (repeatTimer_ == nullptr) {
    repeatTimer_ = new TTimer(this);
    repeatTimer_->SetEnabled(false);
    repeatTimer_->SetOnTimer([this](TObject*) { TimerExpired(); });
  }
  repeatTimer_->SetEnabled(false);
  repeatTimer_->SetInterval(kInitialRepeatPause);
  repeatTimer_->SetEnabled(true);  // raises EOutOfResources when no timer is to be had
}

void TTimerSpeedButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  // The release's own click may fail; the repeating stops all the same.
  struct StopOnExit {
    TTimer* timer;
    ~StopOnExit() {
      if (timer != nullptr) timer->SetEnabled(false);
    }
  } stop{repeatTimer_};
  TSpeedButton::MouseUp(button, shift, x, y);
}

void TTimerSpeedButton::TimerExpired() {
  repeatTimer_->SetInterval(kRepeatPause);
  // Only while the arrow looks pressed (the pointer is over it) and still has the mouse.
  if (State() != TButtonState::bsDown || !MouseCapture()) return;
  try {
    Click();
  } catch (...) {
    repeatTimer_->SetEnabled(false);
    throw;
  }
}

void TTimerSpeedButton::Paint(TCanvas& canvas) {
  TSpeedButton::Paint(canvas);
  if ((options_ & FocusFrame) == 0) return;
  constexpr int kFrameInset = 3;
  TRect frame = Rect(kFrameInset, kFrameInset, width_ - kFrameInset, height_ - kFrameInset);
  if (State() == TButtonState::bsDown)
    frame = Rect(frame.Left + 1, frame.Top + 1, frame.Right + 1, frame.Bottom + 1);
  DrawFocusRect(canvas, frame);
}

// ---------------------------------------------------------------------------
// TSpinButton

TSpinButton::TSpinButton(TComponent* owner) : TWinControl(owner) {
  upArrow_ = CreateArrow();
  downArrow_ = CreateArrow();
  SetUpGlyph(nullptr);
  SetDownGlyph(nullptr);
  activeArrow_ = upArrow_;
  SetBounds(left_, top_, kButtonWidth, kButtonHeight);
}

TTimerSpeedButton* TSpinButton::CreateArrow() {
  auto* arrow = new TTimerSpeedButton(this);
  arrow->OnClick = [this, arrow](TObject*) { ArrowClick(arrow); };
  arrow->OnMouseDown = [this, arrow](TObject*, TMouseButton button, TShiftState, int, int) {
    ArrowMouseDown(arrow, button);
  };
  arrow->SetOptions(TTimerSpeedButton::AutoRepeat);
  arrow->SetParent(this);
  return arrow;
}

void TSpinButton::SetUpGlyph(const TBitmap* glyph) {
  upArrow_->SetGlyph(glyph != nullptr ? glyph : FindSpinGlyph("SpinUp"));
}

void TSpinButton::SetDownGlyph(const TBitmap* glyph) {
  downArrow_->SetGlyph(glyph != nullptr ? glyph : FindSpinGlyph("SpinDown"));
}

void TSpinButton::AdjustSize(int& width, int height) {
  if (upArrow_ == nullptr || downArrow_ == nullptr || IsLoading()) return;
  width = std::max(width, kMinWidth);
  upArrow_->SetBounds(0, 0, width, height / 2);
  // The arrows share one pixel row.
  downArrow_->SetBounds(0, upArrow_->Height() - 1, width, height - upArrow_->Height() + 1);
}

void TSpinButton::SetBounds(int left, int top, int width, int height) {
  AdjustSize(width, height);
  TWinControl::SetBounds(left, top, width, height);
}

void TSpinButton::Loaded() {
  TWinControl::Loaded();
  int width = width_;
  AdjustSize(width, height_);
  if (width != width_) TWinControl::SetBounds(left_, top_, width, height_);
}

void TSpinButton::Notification(TComponent* component, TOperation operation) {
  TWinControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == focusControl_) focusControl_ = nullptr;
}

void TSpinButton::Paint(TCanvas& canvas) {
  // The arrows cover the block; this shows only if they are made smaller.
  canvas.Brush().SetStyle(bsSolid);
  canvas.Brush().SetColor(clBtnFace);
  canvas.FillRect(ClientRect());
}

void TSpinButton::ArrowClick(TTimerSpeedButton* arrow) {
  const TNotifyEvent& handler = arrow == upArrow_ ? OnUpClick : OnDownClick;
  if (handler) handler(this);
}

void TSpinButton::ArrowMouseDown(TTimerSpeedButton* arrow, TMouseButton button) {
  if (button != TMouseButton::mbLeft) return;
  SetActiveArrow(arrow);
  if (focusControl_ != nullptr && focusControl_->TabStop() && CanFocus(focusControl_) &&
      !focusControl_->Focused())
    focusControl_->SetFocus();
  else if (TabStop() && !Focused() && CanFocus(this))
    SetFocus();
}

void TSpinButton::SetActiveArrow(TTimerSpeedButton* arrow) {
  if (!TabStop() || !CanFocus(this) || arrow == activeArrow_) return;
  activeArrow_->SetOptions(activeArrow_->Options() & ~TTimerSpeedButton::FocusFrame);
  activeArrow_ = arrow;
  if (Focused()) activeArrow_->SetOptions(activeArrow_->Options() | TTimerSpeedButton::FocusFrame);
  Invalidate();
}

void TSpinButton::KeyDown(int& key, TShiftState shift) {
  switch (key) {
    case kVkUp:
      SetActiveArrow(upArrow_);
      upArrow_->Click();
      break;
    case kVkDown:
      SetActiveArrow(downArrow_);
      downArrow_->Click();
      break;
    case kVkSpace: activeArrow_->Click(); break;
    default: break;
  }
  TWinControl::KeyDown(key, shift);
}

void TSpinButton::DoEnter() {
  activeArrow_->SetOptions(activeArrow_->Options() | TTimerSpeedButton::FocusFrame);
  TWinControl::DoEnter();
}

void TSpinButton::DoExit() {
  activeArrow_->SetOptions(activeArrow_->Options() & ~TTimerSpeedButton::FocusFrame);
  TWinControl::DoExit();
}

// ---------------------------------------------------------------------------
// TSpinEdit

TSpinEdit::TSpinEdit(TComponent* owner) : TEdit(owner) {
  button_ = new TSpinButton(this);
  button_->SetBounds(0, 0, kBlockWidth, kBlockHeight);
  button_->SetVisible(true);
  button_->SetParent(this);
  button_->SetFocusControl(this);
  // Through the virtual steps, so that a derived field changes what the arrows do.
  button_->OnUpClick = [this](TObject*) { StepUp(); };
  button_->OnDownClick = [this](TObject*) { StepDown(); };
  SetText("0");
}

std::int32_t TSpinEdit::Value() const {
  std::int32_t v = 0;
  return ParseSpinValue(Text(), v) ? v : minValue_;
}

std::int32_t TSpinEdit::ClampValue(std::int64_t v) const {
  if (minValue_ == maxValue_) return Saturate(v);
  if (v < minValue_) return minValue_;
  if (v > maxValue_) return maxValue_;
  return static_cast<std::int32_t>(v);
}

void TSpinEdit::SetValue(std::int32_t v) {
  SetText(IntToStr(ClampValue(v)));
}

bool TSpinEdit::AcceptsChar(char key) const {
  const auto code = static_cast<unsigned char>(key);
  bool ok = (key >= '0' && key <= '9') || key == '+' || key == '-' || key == DecimalSeparator() ||
            (code < 32 && key != kCarriageReturn);
  if (!editorEnabled_ && (code >= 32 || key == kBackspace)) ok = false;
  return ok;
}

void TSpinEdit::Step(std::int64_t delta) {
  if (ReadOnly()) {
    DefaultBeep();
    return;
  }
  SetValue(ClampValue(static_cast<std::int64_t>(Value()) + delta));
}

void TSpinEdit::StepUp() {
  Step(increment_);
}

void TSpinEdit::StepDown() {
  Step(-static_cast<std::int64_t>(increment_));
}

int TSpinEdit::MinHeight() const {
  TBitmap scratch;
  TCanvas& canvas = scratch.Canvas();
  canvas.Font().Assign(font_);
  const int text = canvas.TextHeight("0");
  canvas.Font().SetName(kSystemFontName);
  canvas.Font().SetHeight(kSystemFontCell);
  canvas.Font().SetStyle(0);
  const int system = canvas.TextHeight("0");
  return text + std::min(system, text) / 4 + 4 * kBorderLine + 2;
}

TRect TSpinEdit::FormattingRect() const {
  const int clientWidth = width_ - 2 * platform::kEditEdge;
  const int clientHeight = height_ - 2 * platform::kEditEdge;
  return Rect(0, 0, clientWidth - button_->Width() - 2, clientHeight + 1);
}

void TSpinEdit::ApplyFormattingRect() {
  if (peer_ == nullptr) return;
  const TRect r = FormattingRect();
  const int clientWidth = width_ - 2 * platform::kEditEdge;
  const int clientHeight = height_ - 2 * platform::kEditEdge;
  peer_->SetTextMargins(r.Left, r.Top, clientWidth - r.Right, clientHeight - r.Bottom);
}

void TSpinEdit::AdjustToHeight() {
  if (button_ == nullptr) return;  // resized while the constructor runs
  const int minHeight = MinHeight();
  if (height_ < minHeight) {
    SetHeight(minHeight);  // comes back here at the new height
    return;
  }
  // Inside the sunken edge, one pixel clear of it on the right and at the bottom.
  button_->SetBounds(width_ - button_->Width() - kBlockInset, 0, button_->Width(), height_ - kBlockInset);
  ApplyFormattingRect();
}

void TSpinEdit::BoundsChanged() {
  TEdit::BoundsChanged();
  AdjustToHeight();
}

void TSpinEdit::InitializePeer() {
  TEdit::InitializePeer();
  AdjustToHeight();
  ApplyFormattingRect();
}

void TSpinEdit::KeyDown(int& key, TShiftState shift) {
  if (key == kVkUp)
    StepUp();
  else if (key == kVkDown)
    StepDown();
  TEdit::KeyDown(key, shift);
}

void TSpinEdit::KeyPress(char& key) {
  if (!AcceptsChar(key)) {
    key = 0;
    DefaultBeep();
  }
  if (key != 0) TEdit::KeyPress(key);
}

void TSpinEdit::DoEnter() {
  // A click into the field puts the caret where it was clicked; any other way in selects all.
  if (AutoSelect() && (peer_ == nullptr || !peer_->FocusedByMouse())) SelectAll();
  TEdit::DoEnter();
}

void TSpinEdit::DoExit() {
  TEdit::DoExit();
  if (ClampValue(Value()) != Value()) SetValue(Value());
}

bool TSpinEdit::PeerClipboardCommand(platform::ClipboardCommand) {
  return editorEnabled_ && !ReadOnly();
}

}  // namespace qv
