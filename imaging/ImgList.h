// TImageList: a list of icon pictures, as the tray icon cycles through them.
#pragma once

#include <memory>
#include <vector>

#include "imaging/Icon.h"
#include "toolkit/Classes.h"

namespace qv {

class TImageList : public TComponent {
 public:
  explicit TImageList(TComponent* owner) : TComponent(owner) {}

  int Count() const { return static_cast<int>(icons_.size()); }
  void AddIcon(const TIcon& icon) {
    auto copy = std::make_unique<TIcon>();
    copy->Assign(&icon);
    icons_.push_back(std::move(copy));
  }
  // Copies picture `index` into `icon`; false (and `icon` unchanged) outside the list.
  bool GetIcon(int index, TIcon& icon) const {
    if (index < 0 || index >= Count()) return false;
    icon.Assign(icons_[static_cast<std::size_t>(index)].get());
    return true;
  }
  void Clear() { icons_.clear(); }

 private:
  std::vector<std::unique_ptr<TIcon>> icons_;
};

// The program's own icon, shown where no other is given (the tray icon).
TIcon& ApplicationIcon();

}  // namespace qv
