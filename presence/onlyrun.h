// Watches the desktop for a window whose caption begins with one of its titles.
#pragma once

#include "toolkit/Classes.h"

namespace qv {

class TOnlyIfRunning : public TComponent {
 public:
  explicit TOnlyIfRunning(TComponent* owner) : TComponent(owner) {}
  TStringList& AppTitles() { return appTitles_; }

 private:
  TStringList appTitles_;
};

}  // namespace qv
