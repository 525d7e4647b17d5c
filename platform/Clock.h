// The time of day and the machine's own clocks, for records whose durations
// must survive a changed system time and a suspended machine.
#pragma once

#include <cstdint>

namespace qv::platform {

struct ClockReading {
  std::int64_t wallMs = 0;     // Unix time in milliseconds; jumps when the time is set
  std::int64_t monoMs = 0;     // since boot, never jumps, stands still while suspended
  std::int64_t suspendMs = 0;  // time the machine spent suspended since boot
};

class IClock {
 public:
  virtual ~IClock() = default;
  // Safe from any thread.
  virtual ClockReading Now() = 0;
};

}  // namespace qv::platform
