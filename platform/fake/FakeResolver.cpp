#include "platform/fake/FakeResolver.h"

#include "platform/EventLoop.h"
#include "platform/Services.h"

namespace qv::platform::fake {

// Shared with posted deliveries, which may run after the resolver is gone.
struct FakeResolver::State {
  bool alive = true;
  std::map<LookupId, LookupDone> pending;
};

FakeResolver::FakeResolver() : state_(std::make_shared<State>()) {}

FakeResolver::~FakeResolver() {
  state_->alive = false;
}

LookupId FakeResolver::StartLookup(const std::string& host, LookupDone done, int& error) {
  if (startError != 0) {
    error = startError;
    return 0;
  }
  if (Current().loop == nullptr) {
    error = kWsaNotInitialised;
    return 0;
  }
  const LookupId id = nextId_++;
  started_.push_back(host);
  hosts_[id] = host;
  state_->pending[id] = std::move(done);
  return id;
}

int FakeResolver::CancelLookup(LookupId id) {
  if (cancelError != 0) return cancelError;
  if (state_->pending.erase(id) == 0) return kWsaEinval;
  cancelled_.push_back(id);
  return 0;
}

bool FakeResolver::Complete(LookupId id, int error, std::vector<std::uint32_t> addresses) {
  if (state_->pending.count(id) == 0) return false;
  if (error != 0) addresses.clear();
  Current().loop->Post([state = state_, id, error, addresses] {
    if (!state->alive) return;
    auto it = state->pending.find(id);
    if (it == state->pending.end()) return;  // cancelled after it was posted
    LookupDone done = std::move(it->second);
    state->pending.erase(it);
    done(id, error, addresses);
  });
  return true;
}

LookupDone FakeResolver::CallbackOf(LookupId id) const {
  auto it = state_->pending.find(id);
  return it == state_->pending.end() ? LookupDone() : it->second;
}

std::vector<LookupId> FakeResolver::Pending() const {
  std::vector<LookupId> ids;
  for (const auto& [id, done] : state_->pending) ids.push_back(id);
  return ids;
}

std::string FakeResolver::HostOf(LookupId id) const {
  auto it = hosts_.find(id);
  return it == hosts_.end() ? std::string() : it->second;
}

}  // namespace qv::platform::fake
