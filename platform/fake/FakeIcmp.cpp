#include "platform/fake/FakeIcmp.h"

namespace qv::platform::fake {

int FakeIcmp::Startup() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (startupResult == 0) ++startups_;
  return startupResult;
}

void FakeIcmp::Cleanup() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++cleanups_;
}

IcmpLibrary FakeIcmp::Load() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (library != IcmpLibrary::kNotFound) ++loads_;
  return library;
}

void FakeIcmp::Unload() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++unloads_;
}

IcmpHandle FakeIcmp::OpenHandle(std::uint32_t& error) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (refuseHandles) {
    error = openError;
    return kInvalidIcmpHandle;
  }
  error = 0;
  const IcmpHandle handle = nextHandle_++;
  open_.insert(handle);
  return handle;
}

IcmpEchoReply FakeIcmp::SendEcho(IcmpHandle handle, std::uint32_t destination,
                                 std::span<const std::uint8_t> data, std::uint32_t timeoutMs) {
  EchoCall call{handle, destination, std::vector<std::uint8_t>(data.begin(), data.end()), timeoutMs};
  std::function<IcmpEchoReply(const EchoCall&)> script;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    IcmpEchoReply refused;
    if (open_.count(handle) == 0) {
      refused.status = kIcmpErrorInvalidHandle;
      return refused;
    }
    if (data.size() > kMaxEchoData) {
      refused.status = kIcmpErrorInvalidParameter;
      return refused;
    }
    if (!IsEchoDestinationAllowed(destination)) {
      refused.status = kIpBadDestination;
      return refused;
    }
    sent_.push_back(call);
    script = respond;
  }
  if (script) return script(call);
  IcmpEchoReply reply;
  reply.replies = 1;
  reply.address = destination;
  reply.dataSize = static_cast<std::uint16_t>(data.size());
  return reply;
}

bool FakeIcmp::CloseHandle(IcmpHandle handle) {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_.erase(handle) == 1;
}

int FakeIcmp::StartupCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return startups_;
}
int FakeIcmp::CleanupCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cleanups_;
}
int FakeIcmp::LoadCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return loads_;
}
int FakeIcmp::UnloadCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return unloads_;
}
int FakeIcmp::OpenHandleCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(open_.size());
}
std::vector<EchoCall> FakeIcmp::Sent() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return sent_;
}

}  // namespace qv::platform::fake
