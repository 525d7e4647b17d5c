// The system's clocks: CLOCK_REALTIME, CLOCK_MONOTONIC, and CLOCK_BOOTTIME,
// which goes on while the machine is suspended.
#pragma once

#include "platform/Clock.h"

namespace qv::platform {

class LinuxClock : public IClock {
 public:
  ClockReading Now() override;
};

}  // namespace qv::platform
