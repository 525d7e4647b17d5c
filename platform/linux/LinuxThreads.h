// Thread priorities on Linux: the idle priority is the SCHED_IDLE policy, the
// others are nice values of the calling thread relative to the process's own.
#pragma once

#include "platform/Threads.h"

namespace qv::platform {

class LinuxThreads final : public IThreads {
 public:
  bool SetCurrentThreadPriority(int priority) override;

  // The nice offset for a priority other than idle (lower priority, higher nice).
  static int NiceOffset(int priority);
};

}  // namespace qv::platform
