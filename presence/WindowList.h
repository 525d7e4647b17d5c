// TWindowList: a snapshot of the desktop's top-level windows, taken when the
// component is made and again at each Refresh; CloseWindowByHandle asks one
// window to close.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/DesktopWindows.h"
#include "toolkit/Classes.h"
#include "toolkit/Types.h"

namespace qv {

struct TWindowObject {
  std::uint32_t Handle = 0;
  std::string Caption;  // at most 254 characters
  std::uint32_t ThreadID = 0;
  bool Visible = false;
  bool Enabled = false;
  bool Iconic = false;
  TRect Rect;  // screen coordinates; all 0 when unknown
};

class TWindowList : public TComponent {
 public:
  // Takes the first snapshot at once, unless the owner is being designed.
  explicit TWindowList(TComponent* owner);

  // Replaces the snapshot with the desktop as it is now, top of the stacking
  // order first.
  void Refresh();
  int Count() const { return static_cast<int>(windows_.size()); }
  // A copy of entry `index`; outside 0..Count()-1 raises EListError
  // "List index out of bounds".
  TWindowObject WindowAt(int index) const;

 private:
  std::vector<TWindowObject> windows_;
};

// Asks the window to close and returns at once; the window decides whether and
// when. A handle of a window that is gone is ignored.
void CloseWindowByHandle(std::uint32_t handle);

}  // namespace qv
