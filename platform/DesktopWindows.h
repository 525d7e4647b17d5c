// The desktop's top-level windows, other programs' included: what they are
// called, where they are, and a polite request to close one.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

using WindowHandle = std::uint32_t;

struct DesktopWindow {
  WindowHandle handle = 0;
  std::string caption;         // Latin-1; characters outside it read as '?'
  std::uint32_t threadId = 0;  // the creating process's main thread (its process id); 0 unknown
  bool visible = false;        // shown (minimised windows count as shown)
  bool enabled = false;        // accepts input
  bool iconic = false;         // minimised
  int left = 0, top = 0, right = 0, bottom = 0;  // screen coordinates; all 0 when unknown
};

class IDesktopWindows {
 public:
  virtual ~IDesktopWindows() = default;
  // Every top-level window, top of the stacking order first. A window that goes
  // away during the call is listed with an empty caption and zero fields.
  virtual std::vector<DesktopWindow> List() = 0;
  // The captions alone, top first, for checks that run very often: `visit`
  // sees each caption (Latin-1, empty for windows without one) and returns
  // false to stop.
  virtual void ForEachCaption(const std::function<bool(std::string_view caption)>& visit) = 0;
  // Asks the window to close and returns at once; the window decides. An
  // unknown handle is ignored.
  virtual void RequestClose(WindowHandle handle) = 0;
};

}  // namespace qv::platform
