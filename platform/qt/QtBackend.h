// The Qt backend in one piece: the application object and the event loop,
// window system and dialogs built on it. The program entry creates one, first
// thing, and destroys it last, after every form.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qv::platform {
class IEventLoop;
class IWindowSystem;
class IDialogs;
class IClipboard;
class ITray;
struct Services;
}  // namespace qv::platform

class QApplication;

namespace qv::platform::qt {

class QtEventLoop;
class QtWindowSystem;
class QtDialogs;
class QtClipboard;
class QtTray;

class QtBackend {
 public:
  // `argc` and `argv` must outlive the backend (Qt keeps referring to them).
  QtBackend(int& argc, char** argv);
  ~QtBackend();
  QtBackend(const QtBackend&) = delete;
  QtBackend& operator=(const QtBackend&) = delete;

  IEventLoop& Loop();
  IWindowSystem& Windows();
  IDialogs& Dialogs();
  IClipboard& Clipboard();
  ITray& Tray();
  // Wires the loop, the window system, the dialogs, the clipboard and the
  // notification area into `services`.
  void Install(Services& services);
  // The desktop's name for the program (its desktop entry and theme icon) and
  // the icon of every window: the theme's, else `argb` (width x height, rows
  // top first, 0xAARRGGBB).
  void SetProgramIdentity(const std::string& applicationId, int width, int height,
                          const std::vector<std::uint32_t>& argb);

 private:
  std::unique_ptr<QApplication> app_;
  std::unique_ptr<QtEventLoop> loop_;
  std::unique_ptr<QtWindowSystem> windows_;
  std::unique_ptr<QtDialogs> dialogs_;
  std::unique_ptr<QtClipboard> clipboard_;
  std::unique_ptr<QtTray> tray_;
};

}  // namespace qv::platform::qt
