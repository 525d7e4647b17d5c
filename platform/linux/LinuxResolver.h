// Host-name lookups with getaddrinfo (which honours /etc/hosts and nsswitch)
// on a thread per lookup; the result is posted to the GUI thread's loop.
#pragma once

#include <memory>

#include "platform/Resolver.h"

namespace qv::platform {

class LinuxResolver final : public IResolver {
 public:
  LinuxResolver();
  // Lookups still running finish on their own threads and deliver nothing.
  // Destroy the resolver before the event loop it delivers to.
  ~LinuxResolver() override;

  LookupId StartLookup(const std::string& host, LookupDone done, int& error) override;
  int CancelLookup(LookupId id) override;

  // The sockets error code for a getaddrinfo result (`savedErrno` for EAI_SYSTEM).
  static int MapError(int eaiCode, int savedErrno);

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace qv::platform
