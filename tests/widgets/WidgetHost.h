// Test bench for the windowless widgets: the simulated loop, the fixed test
// font and a window system whose peers paint synchronously into the host's
// back buffer and count how often they were made to paint.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"
#include "platform/fake/FixedFontEngine.h"
#include "platform/fake/SimulatedLoop.h"
#include "toolkit/Controls.h"

namespace qv::testing {

class CountingWindowSystem : public platform::IWindowSystem {
 public:
  std::unique_ptr<platform::IWindowPeer> CreatePeer(platform::PeerKind kind, platform::IWindowPeer* parent,
                                                    platform::IPeerEvents* events) override;
  int ScreenWidth() const override { return 1024; }
  int ScreenHeight() const override { return 768; }
  void SetApplicationTitle(const std::string&) override {}
  // Records where the menu would open and lets `onMenu` act while it is open.
  int PopupMenu(platform::IWindowPeer* owner, int x, int y, const std::vector<platform::MenuEntry>&) override;
  void DiscardPendingMouseInput() override { ++discards; }

  // Synchronous paints of every peer so far (an Update with something to paint).
  int paints = 0;
  // Menus opened: owner peer and point; the entry `onMenu` returns is chosen.
  struct MenuCall {
    platform::IWindowPeer* owner;
    int x, y;
  };
  std::vector<MenuCall> menus;
  std::function<int()> onMenu;
  int discards = 0;
  // What every peer reports as the pointer (client coordinates); unset: unknown.
  bool pointerKnown = false;
  int pointerX = 0, pointerY = 0;
  // Forms report themselves active when this is set; raising one counts.
  bool activeWindows = true;
  int raised = 0;
};

// Wires the doubles into the process services for the life of the object and
// offers a windowed host with a native peer for the widget under test.
class WidgetHost {
 public:
  WidgetHost();
  ~WidgetHost();

  // A windowed parent of the given size with its peer created.
  TWinControl& Host(int width, int height);

  platform::fake::SimulatedLoop loop;
  platform::fake::FixedFontEngine fonts;
  CountingWindowSystem windows;

 private:
  std::unique_ptr<TWinControl> host_;
};

// The model behind a peer made by CountingWindowSystem: what the window system
// reports the user's mouse and keys to.
platform::IPeerEvents& PeerEventsOf(const TWinControl& control);

// Paints `control` on `target` the way its parent would: translated to its
// bounds and clipped to them.
void PaintAsParent(TControl& control, TBitmap& target);

// A 32-bit bitmap of one colour.
void FillBitmap(TBitmap& bitmap, int width, int height, TColor color);

// Rows of letters for a rectangle of a bitmap: letters[i] stands for colors[i],
// any other colour shows as '?'.
std::vector<std::string> Letters(const TBitmap& bitmap, const TRect& area, const std::string& letters,
                                 const std::vector<TColor>& colors);

}  // namespace qv::testing
