#include "platform/fake/FakeWindowSystem.h"

#include <algorithm>

namespace qv::platform::fake {

FakePeer::FakePeer(FakeWindowSystem& system, PeerKind k, FakePeer* p, IPeerEvents* events)
    : kind(k), parent(p), system_(system), events_(events) {
  system_.peers_.push_back(this);
}

FakePeer::~FakePeer() {
  auto& peers = system_.peers_;
  peers.erase(std::remove(peers.begin(), peers.end(), this), peers.end());
  for (FakePeer* other : peers)
    if (other->parent == this) other->parent = nullptr;
  if (system_.raised == this) system_.raised = nullptr;
}

void FakePeer::SetBounds(int l, int t, int w, int h) {
  if (l == left && t == top && w == width && h == height) return;
  left = l;
  top = t;
  width = w;
  height = h;
  calls.push_back("bounds " + std::to_string(l) + "," + std::to_string(t) + " " + std::to_string(w) + "x" +
                  std::to_string(h));
}

void FakePeer::SetVisible(bool v) {
  if (v == visible) return;
  visible = v;
  calls.push_back(v ? "shown" : "hidden");
}

void FakePeer::Invalidate(const PeerRect& area) {
  const PeerRect clipped{std::max(area.left, 0), std::max(area.top, 0), std::min(area.right, width),
                         std::min(area.bottom, height)};
  if (clipped.left >= clipped.right || clipped.top >= clipped.bottom) return;
  if (!pending_) {
    pending_ = clipped;
    return;
  }
  pending_->left = std::min(pending_->left, clipped.left);
  pending_->top = std::min(pending_->top, clipped.top);
  pending_->right = std::max(pending_->right, clipped.right);
  pending_->bottom = std::max(pending_->bottom, clipped.bottom);
}

void FakePeer::Update() {
  if (!pending_) return;
  const PeerRect area = *pending_;
  pending_.reset();
  ++paints;
  events_->PeerPaint(area);
}

void FakePeer::SetFocus() {
  if (focused) return;
  for (FakePeer* other : system_.peers_) {
    if (other != this && other->focused) {
      other->focused = false;
      other->events_->PeerFocus(false);
    }
  }
  focused = true;
  events_->PeerFocus(true);
}

void FakePeer::BringToFront() {
  system_.raised = this;
  if (kind == PeerKind::Form) calls.push_back("raised");
}

void FakePeer::ListDelete(int index) {
  if (index >= 0 && index < static_cast<int>(items.size())) items.erase(items.begin() + index);
}

void FakePeer::SetStayOnTop(bool onTop) {
  if (onTop == stayOnTop) return;
  stayOnTop = onTop;
  // A real window system rebuilds the window for this and drops its outline.
  shape.reset();
  calls.push_back(onTop ? "on top" : "not on top");
}

void FakePeer::SetShape(const std::vector<PeerRect>& rects) {
  shape = rects;
  calls.push_back("shape " + std::to_string(rects.size()));
}

void FakePeer::ClearShape() {
  shape.reset();
  calls.push_back("no shape");
}

void FakePeer::ShowMinimized() {
  if (minimized) return;
  minimized = true;
  calls.push_back("minimized");
}

void FakePeer::ShowNormal() {
  if (!minimized) return;
  minimized = false;
  calls.push_back("normal");
}

bool FakePeer::HitsShape(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return false;
  if (!shape) return true;
  for (const PeerRect& r : *shape)
    if (x >= r.left && x < r.right && y >= r.top && y < r.bottom) return true;
  return false;
}

void FakePeer::Mouse(MouseAction action, MouseButton button, int x, int y, unsigned shift) {
  MouseEvent e;
  e.action = action;
  e.button = button;
  e.shift = shift;
  e.x = x;
  e.y = y;
  events_->PeerMouse(e);
}

void FakePeer::Click(int x, int y, MouseButton button) {
  Mouse(MouseAction::Move, button, x, y);
  Mouse(MouseAction::Down, button, x, y);
  Mouse(MouseAction::Up, button, x, y);
  // The context menu is asked for when the right button comes up.
  if (button == MouseButton::Right) events_->PeerContextMenu(x, y);
}

void FakePeer::DoubleClick(int x, int y) {
  Click(x, y);
  Mouse(MouseAction::DoubleClick, MouseButton::Left, x, y);
  Mouse(MouseAction::Up, MouseButton::Left, x, y);
}

bool FakePeer::Key(int virtualKey, char typed, unsigned shift) {
  return events_->PeerKey(virtualKey, typed, shift);
}

std::unique_ptr<IWindowPeer> FakeWindowSystem::CreatePeer(PeerKind kind, IWindowPeer* parent,
                                                          IPeerEvents* events) {
  return std::make_unique<FakePeer>(*this, kind, Of(parent), events);
}

int FakeWindowSystem::PopupMenu(IWindowPeer* owner, int x, int y, const std::vector<MenuEntry>& entries) {
  menus.push_back({Of(owner), x, y, entries});
  if (menuChoices.empty()) return -1;
  const int choice = menuChoices.front();
  menuChoices.pop_front();
  return choice;
}

}  // namespace qv::platform::fake
