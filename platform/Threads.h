// Scheduling of the calling thread.
#pragma once

namespace qv::platform {

// Thread priorities on the scale the components use: -15 idle, -2 lowest,
// -1 below normal, 0 normal, 1 above normal, 2 highest, 15 time-critical.
class IThreads {
 public:
  virtual ~IThreads() = default;

  // Gives the calling thread `priority`. False when the system refuses it (a
  // raise beyond the user's limits); the thread then keeps what it had.
  virtual bool SetCurrentThreadPriority(int priority) = 0;
};

}  // namespace qv::platform
