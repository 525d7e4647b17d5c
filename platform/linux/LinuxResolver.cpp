#include "platform/linux/LinuxResolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/Services.h"

namespace qv::platform {

namespace {

struct Outcome {
  int error = 0;
  std::vector<std::uint32_t> addresses;
};

Outcome Resolve(const std::string& host) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;  // one entry per address, not one per socket type
  addrinfo* found = nullptr;
  Outcome outcome;
  const int result = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  if (result != 0) {
    outcome.error = LinuxResolver::MapError(result, errno);
    return outcome;
  }
  for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
    if (a->ai_family != AF_INET || a->ai_addr == nullptr) continue;
    const std::uint32_t address = reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr;
    if (std::find(outcome.addresses.begin(), outcome.addresses.end(), address) == outcome.addresses.end())
      outcome.addresses.push_back(address);
  }
  ::freeaddrinfo(found);
  if (outcome.addresses.empty()) outcome.error = kWsaNoData;
  return outcome;
}

}  // namespace

// Shared by the resolver, its lookup threads and the deliveries they post, so
// that none of them depends on the others still being alive.
struct LinuxResolver::State {
  std::mutex mutex;
  bool shutDown = false;
  LookupId nextId = 1;
  std::map<LookupId, LookupDone> pending;
};

LinuxResolver::LinuxResolver() : state_(std::make_shared<State>()) {}

LinuxResolver::~LinuxResolver() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->shutDown = true;
  state_->pending.clear();
}

int LinuxResolver::MapError(int eaiCode, int savedErrno) {
  switch (eaiCode) {
    case 0: return 0;
    case EAI_NONAME: return kWsaHostNotFound;
    case EAI_AGAIN: return kWsaTryAgain;
    case EAI_NODATA:
    case EAI_ADDRFAMILY: return kWsaNoData;
    case EAI_MEMORY: return kWsaEnobufs;
    case EAI_SYSTEM: return savedErrno == ENOMEM || savedErrno == ENOBUFS ? kWsaEnobufs : kWsaNoRecovery;
    default: return kWsaNoRecovery;
  }
}

LookupId LinuxResolver::StartLookup(const std::string& host, LookupDone done, int& error) {
  IEventLoop* loop = Current().loop;
  if (loop == nullptr) {
    error = kWsaNotInitialised;
    return 0;
  }
  LookupId id;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    id = state_->nextId++;
    state_->pending[id] = std::move(done);
  }
  try {
    std::thread([state = state_, loop, id, host] {
      Outcome outcome = Resolve(host);
      std::lock_guard<std::mutex> lock(state->mutex);
      // Checked under the lock the destructor takes: once it has run, the loop
      // may be gone too and nothing is posted.
      if (state->shutDown || state->pending.count(id) == 0) return;
      loop->Post([state, id, outcome = std::move(outcome)] {
        LookupDone deliver;
        {
          std::lock_guard<std::mutex> inner(state->mutex);
          auto it = state->pending.find(id);
          if (state->shutDown || it == state->pending.end()) return;  // cancelled meanwhile
          deliver = std::move(it->second);
          state->pending.erase(it);
        }
        deliver(id, outcome.error, outcome.addresses);
      });
    }).detach();
  } catch (const std::system_error&) {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->pending.erase(id);
    error = kWsaEnobufs;
    return 0;
  }
  return id;
}

int LinuxResolver::CancelLookup(LookupId id) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->pending.erase(id) == 1 ? 0 : kWsaEinval;
}

}  // namespace qv::platform
