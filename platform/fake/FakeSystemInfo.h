// A settable process identity for tests.
#pragma once

#include <optional>
#include <string>

#include "platform/SystemInfo.h"

namespace qv::platform::fake {

class FakeSystemInfo final : public ISystemInfo {
 public:
  std::optional<std::string> LoginName() const override { return loginName; }
  std::string ExecutablePath() const override { return executablePath; }

  std::optional<std::string> loginName = std::string("tester");
  std::string executablePath = "/opt/quorvane/quorvane";
};

}  // namespace qv::platform::fake
