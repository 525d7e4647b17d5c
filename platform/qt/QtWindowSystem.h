// The window system on Qt Widgets: native peers, the screen, pop-up menus.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/WindowSystem.h"

namespace qv::platform::qt {

class QtWindowSystem final : public IWindowSystem {
 public:
  std::unique_ptr<IWindowPeer> CreatePeer(PeerKind kind, IWindowPeer* parent, IPeerEvents* events) override;
  // The primary screen; 0 when there is none.
  int ScreenWidth() const override;
  int ScreenHeight() const override;
  void SetApplicationTitle(const std::string& latin1Title) override;
  // `owner` null: x and y are screen coordinates.
  int PopupMenu(IWindowPeer* owner, int x, int y, const std::vector<MenuEntry>& entries) override;
  void DiscardPendingMouseInput() override;
};

}  // namespace qv::platform::qt
