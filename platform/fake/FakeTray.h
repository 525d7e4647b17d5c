// A notification area for tests: the icons it holds, every call made, and
// mouse actions a test performs on an icon.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/Tray.h"

namespace qv::platform::fake {

class FakeTray : public ITray {
 public:
  struct Call {
    std::string action;  // "add", "modify", "remove"
    TrayRecord record;
  };

  bool Available() const override { return !refuse; }
  bool Add(ITrayEvents* owner, const TrayRecord& record) override {
    calls.push_back({"add", record});
    if (refuse || icons.count(owner) != 0) return false;
    icons[owner] = record;
    return true;
  }
  bool Modify(ITrayEvents* owner, const TrayRecord& record) override {
    calls.push_back({"modify", record});
    const auto found = icons.find(owner);
    if (refuse || found == icons.end()) return false;
    if (record.parts & kTrayIcon) {
      found->second.width = record.width;
      found->second.height = record.height;
      found->second.pixels = record.pixels;
    }
    if (record.parts & kTrayTip) found->second.tip = record.tip;
    return true;
  }
  bool Remove(ITrayEvents* owner) override {
    calls.push_back({"remove", {}});
    return icons.erase(owner) != 0;
  }
  void CursorPos(int& x, int& y) override {
    x = cursorX;
    y = cursorY;
  }
  // The user's mouse on the owner's icon.
  void Mouse(ITrayEvents* owner, unsigned message) { owner->TrayMouse(message); }

  bool refuse = false;  // no notification area
  int cursorX = 0, cursorY = 0;
  std::map<ITrayEvents*, TrayRecord> icons;
  std::vector<Call> calls;
};

}  // namespace qv::platform::fake
