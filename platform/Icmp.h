// The ICMP echo service: one echo request, one answer, with the status codes
// the watchdog's callers know from the system's ICMP library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace qv::platform {

// Statuses of an echo exchange (values of the system's IP_* codes).
inline constexpr std::uint32_t kIpSuccess = 0;
inline constexpr std::uint32_t kIpBufTooSmall = 11001;
inline constexpr std::uint32_t kIpDestNetUnreachable = 11002;
inline constexpr std::uint32_t kIpDestHostUnreachable = 11003;
inline constexpr std::uint32_t kIpDestProtUnreachable = 11004;
inline constexpr std::uint32_t kIpDestPortUnreachable = 11005;
inline constexpr std::uint32_t kIpNoResources = 11006;
inline constexpr std::uint32_t kIpHwError = 11008;
inline constexpr std::uint32_t kIpPacketTooBig = 11009;
inline constexpr std::uint32_t kIpReqTimedOut = 11010;
inline constexpr std::uint32_t kIpBadRoute = 11012;
inline constexpr std::uint32_t kIpTtlExpiredTransit = 11013;
inline constexpr std::uint32_t kIpTtlExpiredReassem = 11014;
inline constexpr std::uint32_t kIpParamProblem = 11015;
inline constexpr std::uint32_t kIpSourceQuench = 11016;
inline constexpr std::uint32_t kIpBadDestination = 11018;
inline constexpr std::uint32_t kIpGeneralFailure = 11050;

// General system error codes the service reports where the library would.
inline constexpr std::uint32_t kIcmpErrorAccessDenied = 5;
inline constexpr std::uint32_t kIcmpErrorInvalidHandle = 6;
inline constexpr std::uint32_t kIcmpErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t kIcmpErrorInvalidParameter = 87;

// The largest request the library accepts.
inline constexpr std::size_t kMaxEchoData = 65500;

using IcmpHandle = std::intptr_t;
inline constexpr IcmpHandle kInvalidIcmpHandle = -1;  // all bits set, as the library's

// Whether the echo facility and its entry points are present on this system.
enum class IcmpLibrary { kLoaded, kNotFound, kEntryPointsMissing };

// The outcome of one echo exchange: the parts of the library's reply record
// that callers read.
struct IcmpEchoReply {
  std::uint32_t replies = 0;      // reply records written: 1 with an echo reply, 0 without
  std::uint32_t status = 0;       // kIpSuccess with a reply, otherwise why none came
  std::uint32_t address = 0;      // the replying address, network byte order; 0 without a reply
  std::uint32_t roundTripMs = 0;  // milliseconds on the monotonic clock; 0 without a reply
  std::uint16_t dataSize = 0;     // bytes echoed back
};

// An echo must never go to the limited broadcast (which is also INADDR_NONE,
// the conversion's "not an address"), a multicast group, the reserved class E
// block or the unspecified address: such a request fails with
// kIpBadDestination and nothing is sent.
inline bool IsEchoDestinationAllowed(std::uint32_t networkOrder) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(&networkOrder);
  if (networkOrder == 0) return false;
  return bytes[0] < 224;  // 224/4 multicast, 240/4 reserved and 255.255.255.255
}

class IIcmpService {
 public:
  virtual ~IIcmpService() = default;

  // The process-wide sockets layer, counted: every successful Startup is paired
  // with one Cleanup. Returns 0 or a sockets error code.
  virtual int Startup() = 0;
  virtual void Cleanup() = 0;

  // Makes the echo facility ready; kLoaded pairs with one Unload.
  virtual IcmpLibrary Load() = 0;
  virtual void Unload() = 0;

  // A handle for echo exchanges, or kInvalidIcmpHandle with `error` telling why.
  // Safe from any thread.
  virtual IcmpHandle OpenHandle(std::uint32_t& error) = 0;
  // Sends one echo request with `data` to `destination` (IPv4, network byte
  // order) and blocks the calling thread until the reply comes or `timeoutMs`
  // has passed. Never throws; failures are in the returned status.
  virtual IcmpEchoReply SendEcho(IcmpHandle handle, std::uint32_t destination,
                                 std::span<const std::uint8_t> data, std::uint32_t timeoutMs) = 0;
  // False for a handle that is not open.
  virtual bool CloseHandle(IcmpHandle handle) = 0;
};

}  // namespace qv::platform
