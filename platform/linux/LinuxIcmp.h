// ICMP echo on Linux. A handle is backed by the first mechanism that works for
// the user: an unprivileged ICMP datagram socket (allowed by the
// ping_group_range sysctl), a raw ICMP socket (CAP_NET_RAW), or the system's
// ping program, which is installed with the capability it needs.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Icmp.h"

namespace qv::platform {

// The wire format: building requests and judging what comes back.
namespace icmp_wire {

inline constexpr std::uint8_t kEchoReply = 0;
inline constexpr std::uint8_t kDestUnreachable = 3;
inline constexpr std::uint8_t kSourceQuench = 4;
inline constexpr std::uint8_t kEchoRequest = 8;
inline constexpr std::uint8_t kTimeExceeded = 11;
inline constexpr std::uint8_t kParameterProblem = 12;
inline constexpr std::size_t kHeaderSize = 8;

// The ones'-complement sum of RFC 1071, complemented: 0 over a message whose
// checksum field is right.
std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes);

// An echo request: type 8, code 0, checksum, identifier and sequence in network
// byte order, then `data`.
std::vector<std::uint8_t> BuildEchoRequest(std::uint16_t id, std::uint16_t sequence,
                                           std::span<const std::uint8_t> data);

// What the request we wait for looked like.
struct Expected {
  std::uint32_t destination = 0;  // network byte order
  std::uint16_t id = 0;
  std::uint16_t sequence = 0;
  std::span<const std::uint8_t> data;
};

enum class Verdict {
  kNotOurs,  // someone else's packet, a damaged one, or nothing to act on: keep waiting
  kReply,    // the echo reply to our request
  kError,    // an ICMP error about our request: `status` tells which
};

struct Parsed {
  Verdict verdict = Verdict::kNotOurs;
  std::uint32_t status = 0;
  std::uint16_t dataSize = 0;
};

// Judges one received packet. `withIpHeader`: raw sockets deliver the IP header,
// datagram sockets only the ICMP message. `source`: the sender, network order.
Parsed ParseReply(std::span<const std::uint8_t> packet, bool withIpHeader, std::uint32_t source,
                  const Expected& expected);

// The status for an ICMP error message of `type` and `code`.
std::uint32_t StatusOfIcmpError(std::uint8_t type, std::uint8_t code);

// The outcome of one run of the ping program from its output (LC_ALL=C) and
// exit status; `measuredMs` stands in when the program printed no time.
IcmpEchoReply ParsePingOutput(const std::string& output, int exitStatus, std::uint32_t measuredMs);

}  // namespace icmp_wire

class LinuxIcmp final : public IIcmpService {
 public:
  enum class Mechanism { kDatagramSocket, kRawSocket, kPingProgram };

  struct Options {
    // Tried in this order for every new handle.
    std::vector<Mechanism> order{Mechanism::kDatagramSocket, Mechanism::kRawSocket, Mechanism::kPingProgram};
    // The first executable one is used.
    std::vector<std::string> pingPrograms{"/usr/bin/ping", "/bin/ping"};
  };

  LinuxIcmp();
  explicit LinuxIcmp(Options options);
  ~LinuxIcmp() override;

  int Startup() override;
  void Cleanup() override;
  IcmpLibrary Load() override;
  void Unload() override;
  IcmpHandle OpenHandle(std::uint32_t& error) override;
  IcmpEchoReply SendEcho(IcmpHandle handle, std::uint32_t destination, std::span<const std::uint8_t> data,
                         std::uint32_t timeoutMs) override;
  bool CloseHandle(IcmpHandle handle) override;

  // What backs an open handle.
  std::optional<Mechanism> MechanismOf(IcmpHandle handle) const;

 private:
  struct Endpoint;

  std::shared_ptr<Endpoint> Find(IcmpHandle handle) const;
  IcmpEchoReply SocketEcho(Endpoint& endpoint, std::uint32_t destination, std::span<const std::uint8_t> data,
                           std::uint32_t timeoutMs);
  IcmpEchoReply ProgramEcho(const Endpoint& endpoint, std::uint32_t destination, std::size_t size,
                            std::uint32_t timeoutMs);

  Options options_;
  mutable std::mutex mutex_;
  IcmpHandle nextHandle_ = 1;
  std::map<IcmpHandle, std::shared_ptr<Endpoint>> endpoints_;
  int startups_ = 0;
};

}  // namespace qv::platform
