#include "toolkit/StdCtrls.h"

#include <algorithm>

#include "toolkit/Application.h"

namespace qv {

// ---------------------------------------------------------------------------
// TLabel

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
  width_ = 65;
  height_ = 13;
}

void TLabel::SetAlignment(TAlignment v) {
  if (v == alignment_) return;
  alignment_ = v;
  Invalidate();
}

void TLabel::SetLayout(TTextLayout v) {
  if (v == layout_) return;
  layout_ = v;
  Invalidate();
}

void TLabel::SetWordWrap(bool v) {
  if (v == wordWrap_) return;
  wordWrap_ = v;
  AdjustSize();
  Invalidate();
}

void TLabel::SetTransparent(bool v) {
  if (v == transparent_) return;
  transparent_ = v;
  Invalidate();
}

void TLabel::SetAutoSize(bool v) {
  if (v == autoSize_) return;
  autoSize_ = v;
  AdjustSize();
}

void TLabel::TextChanged() {
  AdjustSize();
  Invalidate();
}

void TLabel::FontChangedHook() {
  AdjustSize();
  Invalidate();
}

void TLabel::Loaded() {
  TGraphicControl::Loaded();
  AdjustSize();
}

void TLabel::AdjustSize() {
  if (!autoSize_ || IsLoading()) return;
  TBitmap scratch;
  TCanvas& canvas = scratch.Canvas();
  canvas.Font().Assign(font_);
  if (wordWrap_) {
    const auto lines = WrapText(canvas, text_, width_);
    SetBounds(left_, top_, width_, static_cast<int>(lines.size()) * canvas.TextHeight("Wg"));
  } else {
    const int w = canvas.TextWidth(text_);
    SetBounds(left_, top_, std::max(w, 1), canvas.TextHeight("Wg"));
  }
}

std::vector<std::string> WrapText(TCanvas& canvas, const std::string& text, int width) {
  std::vector<std::string> lines;
  std::string line;
  size_t i = 0;
  while (i <= text.size()) {
    if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
      lines.push_back(line);
      line.clear();
      if (i + 1 < text.size() && text[i] == '\r' && text[i + 1] == '\n') ++i;
      ++i;
      if (i > text.size()) break;
      if (i == text.size()) break;
      continue;
    }
    // Next word including its trailing blanks.
    size_t j = i;
    while (j < text.size() && text[j] != ' ' && text[j] != '\n' && text[j] != '\r') ++j;
    while (j < text.size() && text[j] == ' ') ++j;
    const std::string word = text.substr(i, j - i);
    std::string trial = line + word;
    std::string trimmedTrial = trial;
    while (!trimmedTrial.empty() && trimmedTrial.back() == ' ') trimmedTrial.pop_back();
    if (!line.empty() && canvas.TextWidth(trimmedTrial) > width) {
      while (!line.empty() && line.back() == ' ') line.pop_back();
      lines.push_back(line);
      line = word;
    } else {
      line = trial;
    }
    // A word wider than the whole line is broken between characters.
    while (line.size() > 1 && canvas.TextWidth(line) > width && line.find(' ') == std::string::npos) {
      size_t fit = 1;
      while (fit < line.size() && canvas.TextWidth(line.substr(0, fit + 1)) <= width) ++fit;
      lines.push_back(line.substr(0, fit));
      line.erase(0, fit);
    }
    i = j;
  }
  if (lines.empty()) lines.push_back(std::string());
  return lines;
}

void TLabel::Paint(TCanvas& canvas) {
  const TRect r = ClientRect();
  if (!transparent_) {
    canvas.Brush().SetColor(color_);
    canvas.Brush().SetStyle(bsSolid);
    canvas.FillRect(r);
  }
  canvas.Brush().SetStyle(bsClear);
  canvas.Font().Assign(font_);
  if (!enabled_) canvas.Font().SetColor(clGrayText);
  const int lineHeight = canvas.TextHeight("Wg");
  const std::vector<std::string> lines =
      wordWrap_ ? WrapText(canvas, text_, width_) : std::vector<std::string>{text_};
  const int total = lineHeight * static_cast<int>(lines.size());
  int y = 0;
  if (layout_ == TTextLayout::tlCenter) y = (height_ - total) / 2;
  if (layout_ == TTextLayout::tlBottom) y = height_ - total;
  for (const std::string& line : lines) {
    const int w = canvas.TextWidth(line);
    int x = 0;
    if (alignment_ == TAlignment::taRightJustify) x = width_ - w;
    if (alignment_ == TAlignment::taCenter) x = (width_ - w) / 2;
    canvas.TextRect(r, x, y, line);
    y += lineHeight;
  }
  canvas.Brush().SetStyle(bsSolid);
}

// ---------------------------------------------------------------------------
// TEdit

TEdit::TEdit(TComponent* owner) : TWinControl(owner) {
  width_ = 121;
  height_ = 21;
  color_ = clWindow;
  tabStop_ = true;
}

void TEdit::SetReadOnly(bool v) {
  readOnly_ = v;
  if (peer_ != nullptr) peer_->SetReadOnly(v);
}

void TEdit::SetMaxLength(int v) {
  maxLength_ = v;
  if (peer_ != nullptr) peer_->SetMaxLength(v);
}

void TEdit::SelectAll() {
  if (peer_ != nullptr) peer_->SelectAll();
}

void TEdit::InitializePeer() {
  TWinControl::InitializePeer();
  peer_->SetReadOnly(readOnly_);
  peer_->SetMaxLength(maxLength_);
}

void TEdit::TextChanged() {
  TWinControl::TextChanged();
  Change();
}

void TEdit::PeerTextEdited(const std::string& latin1Text) {
  if (latin1Text == text_) return;
  inPeerUpdate_ = true;
  RunGuarded([&] { SetText(latin1Text); });
  inPeerUpdate_ = false;
}

void TEdit::Change() {
  if (OnChange) OnChange(this);
}

void TEdit::Paint(TCanvas& canvas) {
  // Headless look (tests, screenshots without peers): a sunken field with its text.
  canvas.Brush().SetColor(color_);
  canvas.Brush().SetStyle(bsSolid);
  canvas.FillRect(ClientRect());
  canvas.Font().Assign(font_);
  canvas.Brush().SetStyle(bsClear);
  canvas.TextRect(ClientRect(), 2, 2, text_);
  canvas.Brush().SetStyle(bsSolid);
}

// ---------------------------------------------------------------------------
// TCheckBox

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
  width_ = 97;
  height_ = 17;
  tabStop_ = true;
}

void TCheckBox::SetChecked(bool checked) {
  if (checked == checked_) return;
  checked_ = checked;
  if (peer_ != nullptr && !inPeerUpdate_) peer_->SetChecked(checked);
  Invalidate();
  Click();
}

void TCheckBox::InitializePeer() {
  TWinControl::InitializePeer();
  peer_->SetChecked(checked_);
}

void TCheckBox::PeerToggled(bool checked) {
  inPeerUpdate_ = true;
  RunGuarded([&] { SetChecked(checked); });
  inPeerUpdate_ = false;
}

void TCheckBox::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
  // Headless clicks toggle; with a native peer the peer reports the toggle.
  const bool toggles =
      peer_ == nullptr && button == TMouseButton::mbLeft && pressed_ && ClientRect().Contains(x, y);
  pressed_ = false;
  if (toggles) SetChecked(!checked_);
  if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TCheckBox::Paint(TCanvas& canvas) {
  canvas.Brush().SetColor(color_);
  canvas.Brush().SetStyle(bsSolid);
  canvas.FillRect(ClientRect());
  const int box = 13;
  const int top = (height_ - box) / 2;
  canvas.Brush().SetColor(clWindow);
  canvas.Pen().SetColor(clBtnShadow);
  canvas.Rectangle(Rect(0, top, box, top + box));
  if (checked_) {
    canvas.Pen().SetColor(clWindowText);
    canvas.MoveTo(3, top + 6);
    canvas.LineTo(5, top + 9);
    canvas.LineTo(10, top + 3);
  }
  canvas.Font().Assign(font_);
  canvas.Brush().SetStyle(bsClear);
  canvas.TextRect(ClientRect(), box + 4, (height_ - canvas.TextHeight("Wg")) / 2, text_);
  canvas.Brush().SetStyle(bsSolid);
}

// ---------------------------------------------------------------------------
// TListBox

const std::string& TListBoxItems::Strings(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  return lines_[static_cast<size_t>(index)];
}

int TListBoxItems::Add(const std::string& line) {
  if (Count() >= owner_.Capacity()) throw EOutOfResources("Unable to insert a line");
  lines_.push_back(line);
  if (owner_.Peer() != nullptr) owner_.Peer()->ListAdd(line);
  owner_.Invalidate();
  return Count() - 1;
}

void TListBoxItems::Delete(int index) {
  if (index < 0 || index >= Count()) throw EListError(Format("List index out of bounds (%d)", index));
  lines_.erase(lines_.begin() + index);
  if (owner_.itemIndex_ >= Count()) owner_.itemIndex_ = Count() - 1;
  if (owner_.Peer() != nullptr) owner_.Peer()->ListDelete(index);
  owner_.Invalidate();
}

void TListBoxItems::Clear() {
  lines_.clear();
  owner_.itemIndex_ = -1;
  if (owner_.Peer() != nullptr) owner_.Peer()->ListClear();
  owner_.Invalidate();
}

TListBox::TListBox(TComponent* owner) : TWinControl(owner), items_(*this) {
  width_ = 121;
  height_ = 97;
  color_ = clWindow;
  tabStop_ = true;
}

void TListBox::SetItemIndex(int index) {
  if (index < -1 || index >= items_.Count()) index = -1;
  if (index == itemIndex_) return;
  itemIndex_ = index;
  if (peer_ != nullptr && !inPeerUpdate_) peer_->ListSetItemIndex(index);
  Invalidate();
}

void TListBox::InitializePeer() {
  TWinControl::InitializePeer();
  for (int i = 0; i < items_.Count(); ++i) peer_->ListAdd(items_.Strings(i));
  peer_->ListSetItemIndex(itemIndex_);
}

void TListBox::PeerItemSelected(int index) {
  inPeerUpdate_ = true;
  SetItemIndex(index);
  inPeerUpdate_ = false;
  if (OnClick) RunGuarded([this] { OnClick(this); });
}

int TListBox::ItemHeight() const {
  TBitmap scratch;
  scratch.Canvas().Font().Assign(font_);
  return std::max(1, scratch.Canvas().TextHeight("Wg"));
}

int TListBox::TopIndex() const {
  // The newest selected line is kept in view, as the native control scrolls to it.
  const int visibleRows = std::max(1, height_ / ItemHeight());
  const int last = itemIndex_ >= 0 ? itemIndex_ : 0;
  return std::max(0, last - visibleRows + 1);
}

void TListBox::Paint(TCanvas& canvas) {
  canvas.Brush().SetColor(color_);
  canvas.Brush().SetStyle(bsSolid);
  canvas.FillRect(ClientRect());
  canvas.Font().Assign(font_);
  const int h = ItemHeight();
  int y = 0;
  for (int i = TopIndex(); i < items_.Count() && y < height_; ++i, y += h) {
    if (i == itemIndex_) {
      canvas.Brush().SetColor(clHighlight);
      canvas.FillRect(Rect(0, y, width_, y + h));
      canvas.Font().SetColor(clHighlightText);
    } else {
      canvas.Font().SetColor(font_.Color());
    }
    canvas.Brush().SetStyle(bsClear);
    canvas.TextRect(Rect(0, y, width_, y + h), 2, y, items_.Strings(i));
    canvas.Brush().SetStyle(bsSolid);
  }
}

}  // namespace qv
