// Host-name lookup without blocking the GUI thread: the lookup runs elsewhere
// and its result is handed to the GUI thread's event loop.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace qv::platform {

// Sockets error codes (the values callers know from the system's sockets layer).
inline constexpr int kWsaEintr = 10004;           // the call was interrupted (cancelled)
inline constexpr int kWsaEinval = 10022;          // no such lookup
inline constexpr int kWsaEnobufs = 10055;         // out of resources
inline constexpr int kWsaNotInitialised = 10093;  // no event loop to deliver to
inline constexpr int kWsaHostNotFound = 11001;    // the name does not exist
inline constexpr int kWsaTryAgain = 11002;        // temporary failure, try again later
inline constexpr int kWsaNoRecovery = 11003;      // the resolver failed for good
inline constexpr int kWsaNoData = 11004;          // the name exists but has no IPv4 address

using LookupId = std::uint64_t;  // 0: no lookup

// `addresses`: the IPv4 addresses of the name in network byte order, in the
// resolver's order; empty unless `error` is 0, and never empty when it is.
using LookupDone = std::function<void(LookupId id, int error, const std::vector<std::uint32_t>& addresses)>;

class IResolver {
 public:
  virtual ~IResolver() = default;

  // Called on the GUI thread. Starts looking up `host` and returns its id; `done`
  // runs later on the GUI thread through Current().loop->Post, never before
  // StartLookup has returned. Returns 0 with `error` set when no lookup starts.
  virtual LookupId StartLookup(const std::string& host, LookupDone done, int& error) = 0;
  // Called on the GUI thread. After a successful cancel `done` of that lookup
  // never runs, even when its result is already queued. Returns 0, or kWsaEinval
  // for an id that is not in progress (finished, cancelled or never started).
  virtual int CancelLookup(LookupId id) = 0;
};

}  // namespace qv::platform
