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
  void ForEachCaption(const std::function<bool(std::string_view caption)>& visit) override {
    ++enumerations;
    for (const DesktopWindow& window : windows) {
      if (!visit(window.caption)) break;
    }
  }
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
  int enumerations = 0;
};

}  // namespace qv::platform::fake
