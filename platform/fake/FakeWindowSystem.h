// A window system without a screen: every peer records what its model told it
// and paints synchronously when asked to update, so tests can check the
// contract between a control and its native window, and drive the mouse.
#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

namespace qv::platform::fake {

class FakeWindowSystem;

class FakePeer final : public IWindowPeer {
 public:
  FakePeer(FakeWindowSystem& system, PeerKind kind, FakePeer* parent, IPeerEvents* events);
  ~FakePeer() override;

  // --- what the model told the peer ------------------------------------------------
  PeerKind kind;
  FakePeer* parent;
  int left = 0, top = 0, width = 0, height = 0;
  bool visible = false, enabled = true, focused = false;
  std::string text, hint;
  FontSpec font;
  std::uint32_t background = 0, textColor = 0;
  bool checked = false, readOnly = false;
  int maxLength = 0;
  std::vector<std::string> items;
  int itemIndex = -1;
  bool stayOnTop = false, minimized = false;
  // The outline: none (the plain rectangle) or the union of the rectangles;
  // an empty list hides the whole window.
  std::optional<std::vector<PeerRect>> shape;
  // Every call that changes the window's place, size, outline or state, in order
  // (e.g. "bounds 0,0 98x125", "shape 125", "no shape", "on top", "minimized").
  std::vector<std::string> calls;
  int paints = 0;  // updates that had something to paint

  // --- what the user does -------------------------------------------------------------
  void Mouse(MouseAction action, MouseButton button, int x, int y, unsigned shift = 0);
  void Click(int x, int y, MouseButton button = MouseButton::Left);
  void DoubleClick(int x, int y);
  bool Key(int virtualKey, char typed, unsigned shift = 0);
  // Whether a screen point relative to this window lies inside its outline.
  bool HitsShape(int x, int y) const;
  IPeerEvents* Events() const { return events_; }

  // IWindowPeer
  void SetBounds(int l, int t, int w, int h) override;
  void SetVisible(bool v) override;
  void SetEnabled(bool e) override { enabled = e; }
  void Invalidate(const PeerRect& area) override;
  void Update() override;
  void SetFocus() override;
  bool Focused() const override { return focused; }
  void SetFont(const FontSpec& f) override { font = f; }
  void SetColors(std::uint32_t back, std::uint32_t fore) override {
    background = back;
    textColor = fore;
  }
  void SetHint(const std::string& h) override { hint = h; }
  void SetText(const std::string& t) override { text = t; }
  void BringToFront() override;
  void SetChecked(bool c) override { checked = c; }
  void SetReadOnly(bool r) override { readOnly = r; }
  void SetMaxLength(int m) override { maxLength = m; }
  void ListAdd(const std::string& line) override { items.push_back(line); }
  void ListDelete(int index) override;
  void ListClear() override { items.clear(); }
  void ListSetItemIndex(int index) override { itemIndex = index; }
  void SetStayOnTop(bool onTop) override;
  void SetShape(const std::vector<PeerRect>& rects) override;
  void ClearShape() override;
  void ShowMinimized() override;
  void ShowNormal() override;

 private:
  FakeWindowSystem& system_;
  IPeerEvents* events_;
  std::optional<PeerRect> pending_;
};

class FakeWindowSystem final : public IWindowSystem {
 public:
  std::unique_ptr<IWindowPeer> CreatePeer(PeerKind kind, IWindowPeer* parent, IPeerEvents* events) override;
  int ScreenWidth() const override { return screenWidth; }
  int ScreenHeight() const override { return screenHeight; }
  void SetApplicationTitle(const std::string& title) override { applicationTitle = title; }
  int PopupMenu(IWindowPeer* owner, int x, int y, const std::vector<MenuEntry>& entries) override;

  // The peers alive now, in creation order.
  const std::vector<FakePeer*>& Peers() const { return peers_; }
  static FakePeer* Of(IWindowPeer* peer) { return static_cast<FakePeer*>(peer); }

  int screenWidth = 1280, screenHeight = 1024;
  std::string applicationTitle;
  // Menus shown so far, and the answers the user gives to the next ones (-1:
  // dismissed; the default when none is queued).
  struct ShownMenu {
    FakePeer* owner;
    int x, y;
    std::vector<MenuEntry> entries;
  };
  std::vector<ShownMenu> menus;
  std::deque<int> menuChoices;
  FakePeer* raised = nullptr;  // the window brought to the front last

 private:
  friend class FakePeer;
  std::vector<FakePeer*> peers_;
};

}  // namespace qv::platform::fake
