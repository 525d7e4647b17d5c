// The desktop's top-level windows on X11, through a connection of its own.
// With a window manager that keeps _NET_CLIENT_LIST_STACKING (every current
// one does) the windows are its client windows in stacking order; without
// one, the root window's children. Native Wayland windows are not seen.
#pragma once

#include <memory>
#include <string>

#include "platform/DesktopWindows.h"

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
  void ForEachCaption(const std::function<bool(std::string_view caption)>& visit) override;
  void RequestClose(WindowHandle handle) override;

 private:
  struct Connection;
  Connection* Connect();

  std::string display_;
  std::unique_ptr<Connection> connection_;
  bool failed_ = false;
};

// UTF-8 to Latin-1 for captions: every code point beyond U+00FF, and every
// malformed sequence, becomes one '?'; a sequence cut off at the end is dropped.
std::string CaptionToLatin1(std::string_view utf8);

}  // namespace qv::platform
