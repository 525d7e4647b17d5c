// A resolver whose lookups finish when the test says so. Results are delivered
// the way the real one delivers them: posted to Current().loop.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Resolver.h"

namespace qv::platform::fake {

class FakeResolver final : public IResolver {
 public:
  FakeResolver();
  ~FakeResolver() override;

  LookupId StartLookup(const std::string& host, LookupDone done, int& error) override;
  int CancelLookup(LookupId id) override;

  // Script.
  int startError = 0;   // non-zero: StartLookup refuses with this code
  int cancelError = 0;  // non-zero: CancelLookup fails with this code

  // Finishes lookup `id` by posting its result to the loop (as the real
  // resolver does); the callback runs when the loop next drains. False when the
  // lookup is not pending.
  bool Complete(LookupId id, int error, std::vector<std::uint32_t> addresses = {});
  // The callback a pending lookup was started with (empty when not pending),
  // for delivering results the resolver itself would have dropped.
  LookupDone CallbackOf(LookupId id) const;

  // Records.
  std::vector<std::string> Started() const { return started_; }
  std::vector<LookupId> Cancelled() const { return cancelled_; }
  std::vector<LookupId> Pending() const;
  std::string HostOf(LookupId id) const;

 private:
  struct State;
  std::shared_ptr<State> state_;
  LookupId nextId_ = 1;
  std::vector<std::string> started_;
  std::vector<LookupId> cancelled_;
  std::map<LookupId, std::string> hosts_;
};

}  // namespace qv::platform::fake
