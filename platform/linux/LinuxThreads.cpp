#include "platform/linux/LinuxThreads.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace qv::platform {

namespace {
constexpr int kIdle = -15;
}  // namespace

int LinuxThreads::NiceOffset(int priority) {
  if (priority <= -2) return 10;
  if (priority == -1) return 5;
  if (priority == 0) return 0;
  if (priority == 1) return -5;
  if (priority == 2) return -10;
  return -20;  // time-critical
}

bool LinuxThreads::SetCurrentThreadPriority(int priority) {
  sched_param param{};
  param.sched_priority = 0;
  if (priority <= kIdle) return ::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &param) == 0;
  // A thread started by an idle one inherits SCHED_IDLE; nice values mean
  // nothing there. Leaving it may be refused without privileges: keep going.
  ::pthread_setschedparam(::pthread_self(), SCHED_OTHER, &param);
  // Relative to the process (its first thread), so that a user who started
  // the program with `nice` keeps that.
  errno = 0;
  const int base = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
  if (base == -1 && errno != 0) return false;
  const int nice = std::clamp(base + NiceOffset(priority), -20, 19);
  // On Linux a thread id names just that thread here.
  return ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), nice) == 0;
}

}  // namespace qv::platform
