// Icons in the desktop's notification area (the system tray).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qv::platform {

// What the mouse did on an icon, as the Windows mouse messages number it.
enum TrayMouseMessage : unsigned {
  kTrayLeftButtonUp = 0x0202,
  kTrayLeftButtonDoubleClick = 0x0203,
  kTrayRightButtonUp = 0x0205,
};

// The owner of an icon hears of the mouse on it. Called on the GUI thread.
class ITrayEvents {
 public:
  virtual ~ITrayEvents() = default;
  virtual void TrayMouse(unsigned message) = 0;
};

// Which parts of a record a call carries.
enum TrayParts : unsigned { kTrayMessage = 1, kTrayIcon = 2, kTrayTip = 4 };

struct TrayRecord {
  unsigned parts = 0;
  // The picture: 32-bit pixels B, G, R, coverage (0 = transparent), top row first.
  int width = 0, height = 0;
  std::vector<std::uint8_t> pixels;
  std::string tip;  // Latin-1
};

class ITray {
 public:
  virtual ~ITray() = default;
  // Whether the desktop has a notification area now (many have none).
  virtual bool Available() const = 0;
  // One icon per owner. Each call reports whether the notification area took
  // it; parts a record does not carry keep what they were.
  virtual bool Add(ITrayEvents* owner, const TrayRecord& record) = 0;
  virtual bool Modify(ITrayEvents* owner, const TrayRecord& record) = 0;
  virtual bool Remove(ITrayEvents* owner) = 0;
  // The mouse cursor on the screen.
  virtual void CursorPos(int& x, int& y) = 0;
};

}  // namespace qv::platform
