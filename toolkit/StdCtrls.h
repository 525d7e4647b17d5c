// The standard controls: labels, edits, check boxes and list boxes.
#pragma once

#include <string>
#include <vector>

#include "toolkit/Controls.h"

namespace qv {

enum class TTextLayout { tlTop, tlCenter, tlBottom };

class TLabel : public TGraphicControl {
 public:
  explicit TLabel(TComponent* owner);
  TAlignment Alignment() const { return alignment_; }
  void SetAlignment(TAlignment v);
  TTextLayout Layout() const { return layout_; }
  void SetLayout(TTextLayout v);
  bool WordWrap() const { return wordWrap_; }
  void SetWordWrap(bool v);
  bool Transparent() const { return transparent_; }
  void SetTransparent(bool v);
  bool AutoSize() const { return autoSize_; }
  void SetAutoSize(bool v);
  void Paint(TCanvas& canvas) override;

 protected:
  void TextChanged() override;
  void FontChangedHook() override;
  // The size follows the caption once the stored layout is complete.
  void Loaded() override;

 private:
  void AdjustSize();
  TAlignment alignment_ = TAlignment::taLeftJustify;
  TTextLayout layout_ = TTextLayout::tlTop;
  bool wordWrap_ = false;
  bool transparent_ = false;
  bool autoSize_ = true;
};

// Splits `text` into lines that fit `width` pixels, breaking at blanks where it can.
std::vector<std::string> WrapText(TCanvas& canvas, const std::string& text, int width);

class TEdit : public TWinControl {
 public:
  explicit TEdit(TComponent* owner);
  bool ReadOnly() const { return readOnly_; }
  void SetReadOnly(bool v);
  int MaxLength() const { return maxLength_; }
  void SetMaxLength(int v);
  bool AutoSelect() const { return autoSelect_; }
  void SetAutoSelect(bool v) { autoSelect_ = v; }
  // Selects the whole text of the native control (nothing to select while headless).
  void SelectAll();
  void Paint(TCanvas& canvas) override;

  // Fired whenever the text changes, from the program or from the user.
  TNotifyEvent OnChange;

 protected:
  platform::PeerKind Kind() const override { return platform::PeerKind::Edit; }
  void InitializePeer() override;
  void TextChanged() override;
  void PeerTextEdited(const std::string& latin1Text) override;
  virtual void Change();

 private:
  bool readOnly_ = false;
  int maxLength_ = 0;
  bool autoSelect_ = true;
};

class TCheckBox : public TWinControl {
 public:
  explicit TCheckBox(TComponent* owner);
  bool Checked() const { return checked_; }
  // Fires OnClick exactly when the state changes, also when the program sets it.
  void SetChecked(bool checked);
  void Paint(TCanvas& canvas) override;

 protected:
  platform::PeerKind Kind() const override { return platform::PeerKind::CheckBox; }
  void InitializePeer() override;
  void PeerToggled(bool checked) override;
  void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;

 private:
  bool checked_ = false;
};

class TListBox;

// The item list of a list box; it mirrors every change to the native peer.
class TListBoxItems {
 public:
  explicit TListBoxItems(TListBox& owner) : owner_(owner) {}
  int Count() const { return static_cast<int>(lines_.size()); }
  const std::string& Strings(int index) const;
  // Raises EOutOfResources when the list holds Capacity() items already.
  int Add(const std::string& line);
  void Delete(int index);
  void Clear();

 private:
  TListBox& owner_;
  std::vector<std::string> lines_;
};

class TListBox : public TWinControl {
 public:
  // A list box refuses lines beyond its capacity, as the native control runs
  // out of space; the event log empties itself when that happens.
  static constexpr int kDefaultCapacity = 32767;

  explicit TListBox(TComponent* owner);
  TListBoxItems& Items() { return items_; }
  const TListBoxItems& Items() const { return items_; }
  int ItemIndex() const { return itemIndex_; }
  void SetItemIndex(int index);
  int Capacity() const { return capacity_; }
  void SetCapacity(int capacity) { capacity_ = capacity; }
  int TopIndex() const;
  int ItemHeight() const;
  void Paint(TCanvas& canvas) override;

 protected:
  friend class TListBoxItems;
  platform::PeerKind Kind() const override { return platform::PeerKind::ListBox; }
  void InitializePeer() override;
  void PeerItemSelected(int index) override;

 private:
  TListBoxItems items_;
  int itemIndex_ = -1;
  int capacity_ = kDefaultCapacity;
};

}  // namespace qv
