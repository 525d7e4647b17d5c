// A native window that does nothing: the base for test peers that care about
// one or two calls only.
#pragma once

#include <cstdint>
#include <string>

#include "platform/WindowSystem.h"

namespace qv::platform::fake {

class NullWindowPeer : public IWindowPeer {
 public:
  void SetBounds(int, int, int, int) override {}
  void SetVisible(bool) override {}
  void SetEnabled(bool) override {}
  void Invalidate(const PeerRect&) override {}
  void Update() override {}
  void SetFocus() override {}
  bool Focused() const override { return false; }
  void SetFont(const FontSpec&) override {}
  void SetColors(std::uint32_t, std::uint32_t) override {}
  void SetHint(const std::string&) override {}
  void SetText(const std::string&) override {}
  void BringToFront() override {}
};

}  // namespace qv::platform::fake
