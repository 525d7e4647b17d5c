// A desktop for tests: the windows a test sets, top first, and the close
// requests made.
#pragma once

#include <vector>

#include "platform/DesktopWindows.h"

namespace qv::platform::fake {

class FakeDesktopWindows : public IDesktopWindows {
 public:
  std::vector<DesktopWindow> List() override {
    ++enumerations;
    return windows;
  }
  bool ForEachCaption(const std::function<bool(std::string_view caption)>& visit) override {
    ++enumerations;
    if (!problem.empty()) return false;
    for (const DesktopWindow& window : windows) {
      if (!visit(window.caption)) break;
    }
    return true;
  }
  std::string Problem() const override { return problem; }
  void RequestClose(WindowHandle handle) override { closeRequests.push_back(handle); }

  // A visible, enabled window with this caption on top of the others.
  void Open(WindowHandle handle, std::string caption) {
    DesktopWindow window;
    window.handle = handle;
    window.caption = std::move(caption);
    window.visible = window.enabled = true;
    windows.insert(windows.begin(), window);
  }

  std::vector<DesktopWindow> windows;  // top of the stacking order first
  std::vector<WindowHandle> closeRequests;
  std::string problem;  // set: the list cannot be read, for this reason
  int enumerations = 0;
};

}  // namespace qv::platform::fake
