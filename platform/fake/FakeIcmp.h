// A scripted echo service: each step of the set-up can be made to fail, echoes
// are answered by a script, and every call is recorded.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <vector>

#include "platform/Icmp.h"

namespace qv::platform::fake {

struct EchoCall {
  IcmpHandle handle;
  std::uint32_t destination;
  std::vector<std::uint8_t> data;
  std::uint32_t timeoutMs;
};

class FakeIcmp final : public IIcmpService {
 public:
  int Startup() override;
  void Cleanup() override;
  IcmpLibrary Load() override;
  void Unload() override;
  IcmpHandle OpenHandle(std::uint32_t& error) override;
  IcmpEchoReply SendEcho(IcmpHandle handle, std::uint32_t destination, std::span<const std::uint8_t> data,
                         std::uint32_t timeoutMs) override;
  bool CloseHandle(IcmpHandle handle) override;

  // Script. Set before the code under test runs.
  int startupResult = 0;
  IcmpLibrary library = IcmpLibrary::kLoaded;
  bool refuseHandles = false;
  std::uint32_t openError = kIcmpErrorAccessDenied;
  // Answers every echo that is sent; may block to stand for a slow network. The
  // default answers with one reply of 0 ms from the destination.
  std::function<IcmpEchoReply(const EchoCall&)> respond;

  // Records (safe to read from the test thread once the exchange is over).
  int StartupCount() const;
  int CleanupCount() const;
  int LoadCount() const;
  int UnloadCount() const;
  int OpenHandleCount() const;         // handles open now
  std::vector<EchoCall> Sent() const;  // echoes that reached the "network"

 private:
  mutable std::mutex mutex_;
  int startups_ = 0;
  int cleanups_ = 0;
  int loads_ = 0;
  int unloads_ = 0;
  IcmpHandle nextHandle_ = 1;
  std::set<IcmpHandle> open_;
  std::vector<EchoCall> sent_;
};

}  // namespace qv::platform::fake
