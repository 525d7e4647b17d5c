#include "platform/linux/LinuxClock.h"

#include <time.h>

namespace qv::platform {

namespace {
std::int64_t Milliseconds(clockid_t clock) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}
}  // namespace

ClockReading LinuxClock::Now() {
  ClockReading r;
  r.wallMs = Milliseconds(CLOCK_REALTIME);
  r.monoMs = Milliseconds(CLOCK_MONOTONIC);
  // Both count from boot; only the boot clock goes on in suspend.
  r.suspendMs = Milliseconds(CLOCK_BOOTTIME) - r.monoMs;
  return r;
}

}  // namespace qv::platform
