#include "widgets/explbtn.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>
#include <vector>

#include "platform/Services.h"
#include "platform/WindowSystem.h"
#include "toolkit/Application.h"
#include "toolkit/Forms.h"
#include "toolkit/Menus.h"

namespace qv {

namespace {

constexpr int kDefaultWidth = 50;
constexpr int kDefaultHeight = 40;
constexpr int kMargin = 3;        // picture and caption keep this far from the left and right edge
constexpr int kMeasureInset = 4;  // the caption is measured in the width less this
constexpr int kWrapInset = 5;     // a wrapped caption ends this far before the right edge
constexpr int kSpacing = 2;       // between picture and caption
constexpr int kMarkRoom = 10;     // the pop-up mark's share of the width
constexpr int kPatternSide = 8;
constexpr char kEllipsis[] = "...";

// Brightness thresholds (sum of red, green and blue) of the grey rendition.
struct ShadeThresholds {
  int white, highlight, shadow;
};
constexpr ShadeThresholds kShades[] = {
    {205, 127, 68},   // light
    {553, 231, 57},   // medium
    {335, 274, 175},  // dark
};

// The checker that fills a latched button, shared by every button of the process.
std::unique_ptr<TBitmap>& DownPatternSlot() {
  static std::unique_ptr<TBitmap> pattern;
  return pattern;
}

TBitmap& DownPattern() {
  std::unique_ptr<TBitmap>& slot = DownPatternSlot();
  if (slot == nullptr) {
    slot = std::make_unique<TBitmap>();
    slot->SetPixelFormat(pf24bit);
    slot->SetSize(kPatternSide, kPatternSide);
    const TColor face = ColorToRGB(clBtnFace), light = ColorToRGB(clBtnHighlight);
    for (int y = 0; y < kPatternSide; ++y)
      for (int x = 0; x < kPatternSide; ++x) slot->SetPixel(x, y, (x % 2) == (y % 2) ? light : face);
  }
  return *slot;
}

// --- Caption text ------------------------------------------------------------

// The caption as shown: "&&" is one '&', "&x" shows x underlined (the first such).
struct ShownCaption {
  std::string text;
  std::size_t accel = std::string::npos;
};

ShownCaption ShowCaption(const std::string& caption) {
  ShownCaption shown;
  for (std::size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] != '&') {
      shown.text += caption[i];
      continue;
    }
    if (i + 1 >= caption.size()) break;
    if (caption[i + 1] == '&') {
      shown.text += '&';
    } else if (shown.accel == std::string::npos) {
      shown.accel = shown.text.size();
      shown.text += caption[i + 1];
    } else {
      shown.text += caption[i + 1];
    }
    ++i;
  }
  return shown;
}

// The character after the accelerator mark, 0 when there is none.
char AcceleratorOf(const std::string& caption) {
  const ShownCaption shown = ShowCaption(caption);
  return shown.accel == std::string::npos ? '\0' : shown.text[shown.accel];
}

struct LineSpan {
  std::size_t begin = 0, end = 0;
};

// Lines of `text` for a box `width` wide. Wrapping breaks at blanks only: a word
// wider than the box keeps a line of its own.
std::vector<LineSpan> BreakLines(const TCanvas& canvas, const std::string& text, int width, bool wrap) {
  if (!wrap) return {{0, text.size()}};
  std::vector<LineSpan> lines;
  std::size_t i = 0;
  do {
    const std::size_t start = i;
    std::size_t end = i;
    bool any = false;
    while (i < text.size()) {
      std::size_t k = i;
      while (k < text.size() && text[k] != ' ') ++k;
      if (any && k > i && canvas.TextWidth(std::string_view(text).substr(start, k - start)) > width) break;
      if (k > i) {
        end = k;
        any = true;
      }
      while (k < text.size() && text[k] == ' ') ++k;
      i = k;
    }
    lines.push_back({start, end});
  } while (i < text.size());
  return lines;
}

std::string CaptionForLayout(const std::string& caption, bool wordWrap) {
  return wordWrap ? caption + ' ' : caption;
}

int LineHeight(const TCanvas& canvas) {
  return canvas.TextHeight("Wg");
}

TSize MeasureCaption(const TCanvas& canvas, const std::string& caption, int width, bool wrap) {
  const ShownCaption shown = ShowCaption(caption);
  TSize size;
  const std::vector<LineSpan> lines = BreakLines(canvas, shown.text, width, wrap);
  for (const LineSpan& line : lines)
    size.cx = std::max(
        size.cx, canvas.TextWidth(std::string_view(shown.text).substr(line.begin, line.end - line.begin)));
  size.cy = LineHeight(canvas) * static_cast<int>(lines.size());
  return size;
}

// Draws the caption into `rect`: aligned, top down, clipped, each line that does
// not fit ended with an ellipsis, the accelerator underlined. Transparent.
void DrawCaption(TCanvas& canvas, const std::string& caption, const TRect& rect, TAlignment alignment,
                 bool wrap) {
  if (rect.IsEmpty()) return;
  const ShownCaption shown = ShowCaption(caption);
  const int lineHeight = LineHeight(canvas);
  const unsigned style = canvas.Font().Style();
  int y = rect.Top;
  for (const LineSpan& span : BreakLines(canvas, shown.text, rect.Width(), wrap)) {
    if (y >= rect.Bottom) break;
    std::string line = shown.text.substr(span.begin, span.end - span.begin);
    std::size_t accel =
        shown.accel >= span.begin && shown.accel < span.end ? shown.accel - span.begin : std::string::npos;
    if (canvas.TextWidth(line) > rect.Width()) {
      std::size_t keep = line.size();
      while (keep > 0 && canvas.TextWidth(line.substr(0, keep) + kEllipsis) > rect.Width()) --keep;
      line = line.substr(0, keep) + kEllipsis;
      if (accel != std::string::npos && accel >= keep) accel = std::string::npos;
    }
    const int w = canvas.TextWidth(line);
    int x = rect.Left;
    if (alignment == TAlignment::taCenter) x = rect.Left + (rect.Width() - w) / 2;
    if (alignment == TAlignment::taRightJustify) x = rect.Right - w;
    if (accel == std::string::npos) {
      canvas.TextRect(rect, x, y, line);
    } else {
      const std::string before = line.substr(0, accel), mark = line.substr(accel, 1),
                        after = line.substr(accel + 1);
      canvas.TextRect(rect, x, y, before);
      const int markX = x + canvas.TextWidth(before);
      canvas.Font().SetStyle(style | fsUnderline);
      canvas.TextRect(rect, markX, y, mark);
      canvas.Font().SetStyle(style);
      canvas.TextRect(rect, markX + canvas.TextWidth(mark), y, after);
    }
    y += lineHeight;
  }
}

// --- Pieces of the look ----------------------------------------------------------

// One pixel round the button: `a` on the left and top edge (both left corners
// included), `b` on the right and bottom edge (both right corners included).
void DrawBevel(TCanvas& canvas, int width, int height, TColor a, TColor b) {
  TPen& pen = canvas.Pen();
  pen.SetStyle(psSolid);
  pen.SetMode(pmCopy);
  pen.SetWidth(1);
  pen.SetColor(a);
  canvas.MoveTo(0, height);
  canvas.LineTo(0, 0);
  canvas.LineTo(width - 1, 0);
  pen.SetColor(b);
  canvas.LineTo(width - 1, height - 1);
  canvas.LineTo(0, height - 1);
}

// A small triangle pointing down, its top row at y - 1.
void DrawPopupMark(TCanvas& canvas, int x, int y, TColor color) {
  for (int row = 0; row < 4; ++row)
    for (int col = row; col <= 6 - row; ++col) canvas.SetPixels(x + col, y - 1 + row, color);
}

// The pure black pixels of `picture`, in `color`, moved by (dx, dy).
void DrawBlackPixels(TCanvas& canvas, const TBitmap& picture, int x, int y, TColor color) {
  for (int py = 0; py < picture.Height(); ++py)
    for (int px = 0; px < picture.Width(); ++px)
      if (picture.PixelRGB(px, py) == clBlack) canvas.SetPixels(x + px, y + py, color);
}

void DrawEngraved(TCanvas& canvas, const TBitmap& picture, int x, int y) {
  DrawBlackPixels(canvas, picture, x + 1, y + 1, ColorToRGB(clBtnHighlight));
  DrawBlackPixels(canvas, picture, x, y, ColorToRGB(clBtnShadow));
}

// Two things of lengths `a` then `b`, `gap` apart, on a line `length` long:
// from the start, against the end or centred, `margin` in from either end.
struct Pair {
  int first, second;
};

Pair PlaceInLine(int length, int a, int b, int gap, TAlignment alignment, int margin = 0) {
  Pair p{};
  if (alignment == TAlignment::taLeftJustify) {
    p.first = margin;
    p.second = margin + a + gap;
  } else if (alignment == TAlignment::taRightJustify) {
    p.second = length - b - margin;
    p.first = p.second - a - gap;
  } else {
    p.first = (length - (a + b + gap)) / 2;
    p.second = p.first + a + gap;
  }
  return p;
}

int PlaceAlone(int length, int size, TAlignment alignment) {
  return PlaceInLine(length, size, 0, 0, alignment, kMargin).first;
}

TRect Moved(const TRect& r, int dx, int dy) {
  return Rect(r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy);
}

}  // namespace

std::string StripAccelerators(const std::string& caption) {
  // Each mark goes and the walk steps over the character that took its place,
  // so "&&" leaves one '&'; the last character is never looked at.
  std::string s = caption;
  for (std::size_t i = 0; i + 1 < s.size(); ++i)
    if (s[i] == '&') s.erase(i, 1);
  return s;
}

void DeriveIBitmap(const TBitmap& source, TExplorerButtonShadingType shading, TBitmap& result) {
  result.Assign(&source);
  if (source.Empty()) return;
  if (result.PixelFormat() != pf24bit && result.PixelFormat() != pf32bit) result.SetPixelFormat(pf24bit);
  const ShadeThresholds t = kShades[static_cast<int>(shading)];
  const TColor transparent = source.GetPixel(0, 0);
  const TColor light = ColorToRGB(clBtnHighlight), dark = ColorToRGB(clBtnShadow);
  for (int y = 0; y < source.Height(); ++y) {
    for (int x = 0; x < source.Width(); ++x) {
      const TColor c = source.GetPixel(x, y);
      if (c == transparent) continue;
      const int level = GetRValue(c) + GetGValue(c) + GetBValue(c);
      TColor grey = clBlack;
      if (level > t.white)
        grey = clWhite;
      else if (level > t.highlight)
        grey = light;
      else if (level > t.shadow)
        grey = dark;
      result.PutPixelRGB(x, y, grey);
    }
  }
  result.Modified();
}

// ---------------------------------------------------------------------------

TExplorerButton::TExplorerButton(TComponent* owner)
    : TGraphicControl(owner),
      bitmap_(std::make_unique<TBitmap>()),
      noFocusBitmap_(std::make_unique<TBitmap>()),
      disabledBitmap_(std::make_unique<TBitmap>()),
      iBitmap_(std::make_unique<TBitmap>()) {
  width_ = kDefaultWidth;
  height_ = kDefaultHeight;
  bitmap_->OnChange = [this](TObject*) { BitmapChanged(); };
  noFocusBitmap_->OnChange = [this](TObject*) { NoFocusBitmapChanged(); };
  disabledBitmap_->OnChange = [this](TObject*) { DisabledBitmapChanged(); };
}

TExplorerButton::~TExplorerButton() {
  *alive_ = false;
  SetMouseCapture(false);
  DownPatternSlot().reset();
}

template <typename F>
void TExplorerButton::ForEachGroupMember(F&& f) {
  if (parent_ == nullptr) return;
  for (int i = 0; i < parent_->ControlCount(); ++i) {
    auto* other = dynamic_cast<TExplorerButton*>(parent_->Controls(i));
    if (other != nullptr && other != this && other->groupIndex_ == groupIndex_) f(*other);
  }
}

// --- Properties ------------------------------------------------------------------

void TExplorerButton::SetAlignment(TAlignment v) {
  alignment_ = v;
  Repaint();
}

void TExplorerButton::SetBevelStyle(TBevelStyle v) {
  bevelStyle_ = v;
  Repaint();
}

void TExplorerButton::SetLayout(TExplorerButtonLayout v) {
  if (v == layout_) return;
  layout_ = v;
  Repaint();
}

void TExplorerButton::SetShowDownPattern(bool v) {
  if (v == showDownPattern_) return;
  showDownPattern_ = v;
  Repaint();
}

void TExplorerButton::SetUnselectedFontColor(TColor v) {
  if (v == unselectedFontColor_) return;
  unselectedFontColor_ = v;
  Repaint();
}

void TExplorerButton::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  Repaint();
}

void TExplorerButton::TextChanged() {
  if (options_.Contains(boIconOnly))
    SetHint(StripAccelerators(text_));
  else
    Repaint();
}

void TExplorerButton::SetOptions(TExplorerButtonOptions v) {
  options_ = v;
  const std::string stripped = StripAccelerators(text_);
  if (options_.Contains(boIconOnly)) {
    if (hint_.empty()) {
      SetHint(stripped);
      SetShowHint(true);
    }
  } else if (hint_ == stripped) {
    SetHint(std::string());
    SetShowHint(false);
  }
  Repaint();
}

void TExplorerButton::SetDropDownMenu(TPopupMenu* menu) {
  dropDownMenu_ = menu;
  if (options_.Contains(boPopupMark)) Repaint();
}

void TExplorerButton::Notification(TComponent* component, TOperation operation) {
  TGraphicControl::Notification(component, operation);
  if (operation == TOperation::opRemove && component == dropDownMenu_) dropDownMenu_ = nullptr;
}

void TExplorerButton::EnabledChanged() {
  if (groupIndex_ == 0) down_ = false;
  isPressed_ = false;
  mouseInside_ = false;
  Repaint();
}

void TExplorerButton::SetGroupIndex(int v) {
  if (v == groupIndex_) return;
  groupIndex_ = v;
  if (groupIndex_ == 0 && down_) {
    down_ = false;
    Repaint();
  }
}

void TExplorerButton::SetDown(bool v) {
  if (v == down_ || groupIndex_ == 0) return;
  down_ = v;
  Repaint();
  if (down_)
    ForEachGroupMember([](TExplorerButton& other) {
      if (other.down_) other.SetDown(false);
    });
}

void TExplorerButton::SetAllowAllUp(bool v) {
  allowAllUp_ = v;
  if (groupIndex_ != 0) ForEachGroupMember([v](TExplorerButton& other) { other.allowAllUp_ = v; });
}

void TExplorerButton::SetShadingType(TExplorerButtonShadingType v) {
  if (v == shadingType_) return;
  shadingType_ = v;
  if (IsDesigning() && !bitmap_->Empty() && noFocusBitmap_->Empty() && !IsLoading()) {
    DeriveIBitmap();
    Repaint();
  }
}

void TExplorerButton::DeriveIBitmap() {
  qv::DeriveIBitmap(*bitmap_, shadingType_, *iBitmap_);
}

void TExplorerButton::DesignDerive() {
  if (IsDesigning() && !bitmap_->Empty() && noFocusBitmap_->Empty()) DeriveIBitmap();
}

// Our bitmaps hold no device resources, so there is nothing to give up after a
// change or a paint: a change only repaints.
void TExplorerButton::BitmapChanged() {
  if (!IsLoading()) DesignDerive();
  Repaint();
}

void TExplorerButton::NoFocusBitmapChanged() {
  DesignDerive();
  Repaint();
}

void TExplorerButton::DisabledBitmapChanged() {
  if (!enabled_) Repaint();
}

void TExplorerButton::Loaded() {
  TGraphicControl::Loaded();
  DesignDerive();
}

void TExplorerButton::ReadIBitmap(std::istream& in) {
  in.peek();
  if (in.eof()) {
    iBitmap_->Assign(nullptr);
    return;
  }
  iBitmap_->LoadFromStream(in);
}

void TExplorerButton::WriteIBitmap(std::ostream& out) const {
  if (!iBitmap_->Empty()) iBitmap_->SaveToStream(out);
}

// --- Layout and painting ------------------------------------------------------------

TExplorerButtonPlacement TExplorerButton::Place(TCanvas& canvas) const {
  const int W = width_, H = height_;
  TExplorerButtonPlacement p;
  int S = 0;
  canvas.Font().Assign(font_);
  if (ShowsCaption()) {
    S = kSpacing;
    const TSize size =
        MeasureCaption(canvas, CaptionForLayout(text_, wordWrap_), W - kMeasureInset, wordWrap_);
    p.TW = size.cx;
    p.TH = size.cy;
  }
  p.TW = std::min(p.TW, W - kMeasureInset);
  const int BW = bitmap_->Width() + (HasPopupMark() ? kMarkRoom : 0);
  const int BH = bitmap_->Height();
  const int TH = p.TH;
  if (bitmap_->Empty()) {
    p.TWd = p.TW;
    int PW = p.TW;
    if (HasPopupMark()) {
      PW = p.TW + kMarkRoom;
      p.TWd = std::min(p.TW, W - kMarkRoom - kMeasureInset);
    }
    p.TY = (H - TH) / 2;
    if (alignment_ == TAlignment::taLeftJustify) p.TX = kMargin;
    if (alignment_ == TAlignment::taRightJustify) p.TX = W - PW - kMargin;
    if (alignment_ == TAlignment::taCenter) p.TX = (W - PW) / 2;
  } else {
    const bool stacked =
        layout_ == TExplorerButtonLayout::blBitmapTop || layout_ == TExplorerButtonLayout::blBitmapBottom;
    if (stacked) {
      // One above the other, each placed across on its own.
      const bool pictureFirst = layout_ == TExplorerButtonLayout::blBitmapTop;
      const Pair column = pictureFirst ? PlaceInLine(H, BH, TH, S, TAlignment::taCenter)
                                       : PlaceInLine(H, TH, BH, S, TAlignment::taCenter);
      p.BY = pictureFirst ? column.first : column.second;
      p.TY = pictureFirst ? column.second : column.first;
      p.BX = PlaceAlone(W, BW, alignment_);
      p.TX = PlaceAlone(W, p.TW, alignment_);
    } else {
      // Side by side, the caption cut to the room the picture leaves.
      if (W - kMeasureInset < BW + p.TW + S) p.TW = W - kMeasureInset - S - BW;
      p.BY = (H - BH) / 2;
      p.TY = (H - TH) / 2;
      const bool pictureFirst = layout_ == TExplorerButtonLayout::blBitmapLeft;
      const Pair row = pictureFirst ? PlaceInLine(W, BW, p.TW, S, alignment_, kMargin)
                                    : PlaceInLine(W, p.TW, BW, S, alignment_, kMargin);
      p.BX = pictureFirst ? row.first : row.second;
      p.TX = pictureFirst ? row.second : row.first;
    }
    p.TWd = p.TW;
  }
  if (wordWrap_ && p.TX + p.TWd > W - kWrapInset) p.TWd = W - p.TX - kWrapInset;
  p.TR = Rect(p.TX, p.TY, p.TX + p.TWd, p.TY + p.TH);
  return p;
}

void TExplorerButton::DrawCaptionIn(TCanvas& canvas, const TRect& rect) const {
  if (!ShowsCaption()) return;
  DrawCaption(canvas, CaptionForLayout(text_, wordWrap_), rect, alignment_, wordWrap_);
}

void TExplorerButton::DrawPicture(TCanvas& canvas, TBitmap& picture, int x, int y) const {
  if (picture.Empty()) return;
  TBlitOptions options;
  options.keyed = true;
  options.key = picture.GetPixel(0, 0);
  canvas.StretchBlit(Rect(x, y, x + picture.Width(), y + picture.Height()), picture,
                     Rect(0, 0, picture.Width(), picture.Height()), options);
}

void TExplorerButton::Paint(TCanvas& canvas) {
  const int W = width_, H = height_;
  if (down_ && showDownPattern_) {
    canvas.Brush().SetBitmap(&DownPattern());
    canvas.FillRect(Rect(0, 0, W, H));
    canvas.Brush().SetBitmap(nullptr);
  }
  canvas.Brush().SetStyle(bsClear);
  TExplorerButtonPlacement p = Place(canvas);  // also puts the caption font on the canvas
  if (IsDesigning()) {
    canvas.Brush().SetColor(clBlack);
    canvas.FrameRect(Rect(0, 0, W, H));
    canvas.Brush().SetStyle(bsClear);
  }
  const bool bevel = options_.Contains(boShowBevel);
  const bool raisedStyle = bevelStyle_ == TBevelStyle::bsRaised;
  // Raised form: light on the top left; pressed form the other way round.
  const auto drawBevel = [&](bool pressedForm) {
    if (!bevel) return;
    const bool lightFirst = raisedStyle != pressedForm;
    DrawBevel(canvas, W, H, lightFirst ? clBtnHighlight : clBtnShadow,
              lightFirst ? clBtnShadow : clBtnHighlight);
  };
  const int markX = bitmap_->Width() + p.BX;
  const int markY = bitmap_->Height() / 2 + p.BY;
  if (enabled_) {
    if ((isPressed_ && mouseInside_) || down_) {
      drawBevel(true);
      if (raisedStyle) p.TR = Moved(p.TR, 1, 1);
      DrawCaptionIn(canvas, p.TR);
      if (!bitmap_->Empty()) {
        DrawPicture(canvas, *bitmap_, p.BX + 1, p.BY + 1);
        if (HasPopupMark()) DrawPopupMark(canvas, markX + 4, markY + 1, canvas.Font().Color());
      } else if (HasPopupMark()) {
        DrawPopupMark(canvas, p.TX + p.TWd + 4, p.TH / 2 + p.TY + 1, canvas.Font().Color());
      }
    } else {
      if (mouseInside_)
        drawBevel(false);
      else
        canvas.Font().SetColor(unselectedFontColor_);
      if (!raisedStyle) p.TR = Moved(p.TR, 1, 1);
      DrawCaptionIn(canvas, p.TR);
      if (!bitmap_->Empty()) {
        TBitmap* picture = bitmap_.get();
        if (!mouseInside_ && options_.Contains(boMonoDisplay))
          picture = !noFocusBitmap_->Empty() ? noFocusBitmap_.get() : iBitmap_.get();
        DrawPicture(canvas, *picture, p.BX, p.BY);
        if (HasPopupMark()) DrawPopupMark(canvas, markX + 3, markY, canvas.Font().Color());
      } else if (HasPopupMark()) {
        DrawPopupMark(canvas, p.TX + p.TWd + 3, p.TH / 2 + p.TY, canvas.Font().Color());
      }
    }
  } else {
    if (down_) drawBevel(true);
    if (!disabledBitmap_->Empty())
      DrawPicture(canvas, *disabledBitmap_, p.BX, p.BY);
    else
      DrawEngraved(canvas, *bitmap_, p.BX, p.BY);
    if (ShowsCaption()) {
      canvas.Font().SetColor(clBtnHighlight);
      DrawCaptionIn(canvas, Moved(p.TR, 1, 1));
      canvas.Font().SetColor(clBtnShadow);
      DrawCaptionIn(canvas, p.TR);
    }
  }
  canvas.Brush().SetStyle(bsSolid);
}

// --- Input -------------------------------------------------------------------------------

bool TExplorerButton::PointerTest(TPoint pt) const {
  return left_ < pt.X && pt.X < left_ + width_ && top_ < pt.Y && pt.Y < top_ + height_;
}

void TExplorerButton::ApplyPointerTest() {
  TPoint pt;
  if (!PointerInParent(pt) || !PointerTest(pt)) mouseInside_ = false;
}

void TExplorerButton::MouseEnter() {
  mouseInside_ = true;
  if (!down_ && enabled_) Repaint();
  if (OnEnter) OnEnter(this);
}

void TExplorerButton::MouseLeave() {
  mouseInside_ = false;
  if (!down_ && enabled_) Repaint();
  if (OnExit) OnExit(this);
}

// Flushes what the menu left behind and takes the look the pointer now asks for.
void TExplorerButton::AfterMenu() {
  if (platform::IWindowSystem* ws = platform::Current().windows) ws->DiscardPendingMouseInput();
  if (parent_ != nullptr)
    for (int i = 0; i < parent_->ControlCount(); ++i) parent_->Controls(i)->SetMouseCapture(false);
  ApplyPointerTest();
  isPressed_ = false;
  Repaint();
}

void TExplorerButton::Press() {
  TControl* top = this;
  while (top->Parent() != nullptr) top = top->Parent();
  if (auto* form = dynamic_cast<TForm*>(top); form != nullptr) {
    const platform::IWindowPeer* peer = form->Peer();
    if (peer == nullptr || !peer->IsActiveWindow()) form->BringToFront();
  }
  if (!enabled_ || !visible_) return;
  isPressed_ = true;
  mouseInside_ = true;
  Repaint();
  if (dropDownMenu_ == nullptr) {
    SetMouseCapture(true);
    return;
  }
  const std::shared_ptr<bool> alive = alive_;
  if (parent_ != nullptr)
    dropDownMenu_->PopupAt(parent_, left_, top_ + height_);
  else
    dropDownMenu_->Popup(left_, top_ + height_);
  if (!*alive) return;  // the menu's choice took the button away
  AfterMenu();
}

void TExplorerButton::Release(bool knowPointer, TPoint pointer) {
  if (!enabled_ || !visible_ || !isPressed_) return;
  isPressed_ = false;
  if (mouseInside_ && groupIndex_ != 0) {
    if (!down_) {
      ForEachGroupMember([](TExplorerButton& other) {
        if (other.down_) {
          other.down_ = false;
          other.Repaint();
        }
      });
      down_ = true;
    } else if (allowAllUp_) {
      down_ = false;
    }
  }
  SetMouseCapture(false);
  if (!mouseInside_) return;
  if (knowPointer) {
    if (!PointerTest(pointer)) mouseInside_ = false;
  } else {
    ApplyPointerTest();
  }
  Invalidate();
  if (dropDownMenu_ == nullptr) Click();
}

void TExplorerButton::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
  if (button == TMouseButton::mbLeft) Press();
}

void TExplorerButton::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
  if (button == TMouseButton::mbLeft) Release(true, Point(x + left_, y + top_));
}

void TExplorerButton::ContextMenuDone() {
  TControl* top = this;
  while (top->Parent() != nullptr) top = top->Parent();
  if (PopupMenu() == nullptr && top->PopupMenu() == nullptr) return;
  AfterMenu();
}

bool TExplorerButton::DialogChar(char key) {
  const char accel = AcceleratorOf(text_);
  if (accel == '\0' ||
      std::toupper(static_cast<unsigned char>(accel)) != std::toupper(static_cast<unsigned char>(key)))
    return false;
  if (!enabled_ || !visible_) return false;
  const std::shared_ptr<bool> alive = alive_;
  const auto pump = [] {
    if (Application != nullptr) Application->ProcessMessages();
  };
  mouseInside_ = true;
  isPressed_ = false;
  Repaint();
  pump();
  if (!*alive) return true;
  Press();
  pump();
  if (!*alive) return true;
  Release(false, TPoint());
  pump();
  if (!*alive) return true;
  TPoint pt;
  if (!PointerInParent(pt) || !PointerTest(pt)) {
    mouseInside_ = false;
    Repaint();
  }
  return true;
}

}  // namespace qv
