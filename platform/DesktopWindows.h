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
  std::string caption;         // the title's bytes as the window gives them: UTF-8 where it says so
  std::uint32_t threadId = 0;  // the creating process's main thread (its process id); 0 unknown
  bool visible = false;        // shown (minimised windows count as shown)
  bool enabled = false;        // accepts input
  bool iconic = false;         // minimised
  int left = 0, top = 0, right = 0, bottom = 0;  // screen coordinates; all 0 when unknown
};

class IDesktopWindows {
 public:
  virtual ~IDesktopWindows() = default;
  // Every top-level window, top of the stacking order first (windows their
  // programs have withdrawn, such as one sent to the notification area, after
  // the others). A window that goes away during the call is listed with an
  // empty caption and zero fields.
  virtual std::vector<DesktopWindow> List() = 0;
  // The captions alone, in the order of List(), for checks that run very
  // often: `visit` sees each caption (empty for windows without one) and
  // returns false to stop. Returns false when the list cannot be read at all
  // (no connection to the display): then nothing was visited, and that says
  // nothing about which windows exist; Problem() tells why.
  virtual bool ForEachCaption(const std::function<bool(std::string_view caption)>& visit) = 0;
  // Why the list cannot be read; empty while it can.
  virtual std::string Problem() const { return {}; }
  // Asks the window to close and returns at once; the window decides. An
  // unknown handle is ignored.
  virtual void RequestClose(WindowHandle handle) = 0;
};

}  // namespace qv::platform
