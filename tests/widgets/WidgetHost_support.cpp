#include "WidgetHost.h"

#include "platform/Services.h"

namespace qv::testing {

namespace {

class CountingPeer : public platform::IWindowPeer {
 public:
  CountingPeer(platform::IPeerEvents* events, CountingWindowSystem* system)
      : events_(events), system_(system), paints_(&system->paints) {}
  void SetBounds(int, int, int, int) override {}
  void SetVisible(bool) override {}
  void SetEnabled(bool) override {}
  void Invalidate(const platform::PeerRect& area) override {
    dirty_ = true;
    area_ = area;
  }
  void Update() override {
    if (!dirty_) return;
    dirty_ = false;
    ++*paints_;
    events_->PeerPaint(area_);
  }
  void SetFocus() override {}
  bool Focused() const override { return false; }
  void SetFont(const platform::FontSpec&) override {}
  void SetColors(std::uint32_t, std::uint32_t) override {}
  void SetHint(const std::string&) override {}
  void SetText(const std::string&) override {}
  void BringToFront() override { ++system_->raised; }
  bool PointerPos(int& x, int& y) const override {
    x = system_->pointerX;
    y = system_->pointerY;
    return system_->pointerKnown;
  }
  bool IsActiveWindow() const override { return system_->activeWindows; }
  platform::IPeerEvents& Events() const { return *events_; }

 private:
  platform::IPeerEvents* events_;
  CountingWindowSystem* system_;
  int* paints_;
  bool dirty_ = false;
  platform::PeerRect area_;
};

}  // namespace

std::unique_ptr<platform::IWindowPeer> CountingWindowSystem::CreatePeer(platform::PeerKind,
                                                                        platform::IWindowPeer*,
                                                                        platform::IPeerEvents* events) {
  return std::make_unique<CountingPeer>(events, this);
}

int CountingWindowSystem::PopupMenu(platform::IWindowPeer* owner, int x, int y,
                                    const std::vector<platform::MenuEntry>&) {
  menus.push_back({owner, x, y});
  return onMenu ? onMenu() : -1;
}

WidgetHost::WidgetHost() {
  platform::Services& s = platform::Current();
  s = platform::Services{};
  s.loop = &loop;
  s.fonts = &fonts;
  s.windows = &windows;
}

WidgetHost::~WidgetHost() {
  host_.reset();
  platform::Current() = platform::Services{};
}

TWinControl& WidgetHost::Host(int width, int height) {
  host_ = std::make_unique<TWinControl>(nullptr);
  host_->SetBounds(0, 0, width, height);
  host_->HandleNeeded();
  return *host_;
}

platform::IPeerEvents& PeerEventsOf(const TWinControl& control) {
  return static_cast<CountingPeer*>(control.Peer())->Events();
}

void PaintAsParent(TControl& control, TBitmap& target) {
  TCanvas& canvas = target.Canvas();
  canvas.SetViewport(control.BoundsRect());
  control.Paint(canvas);
  canvas.ResetViewport();
}

void FillBitmap(TBitmap& bitmap, int width, int height, TColor color) {
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(width, height);
  bitmap.Canvas().Brush().SetColor(color);
  bitmap.Canvas().Brush().SetStyle(bsSolid);
  bitmap.Canvas().FillRect(Rect(0, 0, width, height));
}

std::vector<std::string> Letters(const TBitmap& bitmap, const TRect& area, const std::string& letters,
                                 const std::vector<TColor>& colors) {
  std::vector<std::string> rows;
  for (int y = area.Top; y < area.Bottom; ++y) {
    std::string row;
    for (int x = area.Left; x < area.Right; ++x) {
      const TColor c = bitmap.GetPixel(x, y);
      char letter = '?';
      for (std::size_t i = 0; i < colors.size() && i < letters.size(); ++i)
        if (colors[i] == c) letter = letters[i];
      row += letter;
    }
    rows.push_back(row);
  }
  return rows;
}

}  // namespace qv::testing
