// The desktop's top-level windows on X11, through a connection of its own.
// With a window manager that keeps _NET_CLIENT_LIST_STACKING (every current
// one does) the windows are its client windows in stacking order; without
// one, the root window's children. Windows that their programs withdrew (a
// program living in the notification area) are root children outside that
// list and come after it. Native Wayland windows are not seen.
#pragma once

#include <memory>
#include <string>

#include "platform/DesktopWindows.h"
#include "platform/Latin1.h"

namespace qv::platform {

class X11DesktopWindows final : public IDesktopWindows {
 public:
  // Connects to `display` ("" = $DISPLAY) on first use; without a display the
  // desktop is empty.
  explicit X11DesktopWindows(std::string display = "");
  ~X11DesktopWindows() override;
  X11DesktopWindows(const X11DesktopWindows&) = delete;
  X11DesktopWindows& operator=(const X11DesktopWindows&) = delete;

  std::vector<DesktopWindow> List() override;
  bool ForEachCaption(const std::function<bool(std::string_view caption)>& visit) override;
  void RequestClose(WindowHandle handle) override;
  std::string Problem() const override { return problem_; }

  // Asks the window manager to bring the window to the front and give it the
  // focus (raises it directly without one). Returns at once.
  void Activate(WindowHandle handle);

 private:
  struct Connection;
  Connection* Connect();

  std::string display_;
  std::unique_ptr<Connection> connection_;
  bool failed_ = false;
  std::string problem_;
};

// `text` cut to at most `limit` bytes without splitting a UTF-8 sequence.
std::string_view CutAtCharacter(std::string_view text, std::size_t limit);

}  // namespace qv::platform
