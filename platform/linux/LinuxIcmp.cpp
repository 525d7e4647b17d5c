#include "platform/linux/LinuxIcmp.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/errqueue.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

namespace qv::platform {

namespace icmp_wire {

namespace {

std::uint16_t Read16(std::span<const std::uint8_t> bytes, std::size_t at) {
  return static_cast<std::uint16_t>((bytes[at] << 8) | bytes[at + 1]);
}

std::uint32_t ReadAddress(std::span<const std::uint8_t> bytes, std::size_t at) {
  std::uint32_t address;
  std::memcpy(&address, bytes.data() + at, sizeof address);
  return address;
}

// The ICMP message inside an IPv4 packet; empty when the packet is not one.
std::span<const std::uint8_t> IcmpOf(std::span<const std::uint8_t> packet) {
  constexpr std::uint8_t kIcmpProtocol = 1;
  if (packet.size() < 20 || (packet[0] >> 4) != 4) return {};
  const std::size_t headerSize = static_cast<std::size_t>(packet[0] & 0x0F) * 4;
  if (headerSize < 20 || packet.size() < headerSize || packet[9] != kIcmpProtocol) return {};
  return packet.subspan(headerSize);
}

bool IsErrorType(std::uint8_t type) {
  return type == kDestUnreachable || type == kSourceQuench || type == kTimeExceeded ||
         type == kParameterProblem;
}

}  // namespace

std::uint16_t InternetChecksum(std::span<const std::uint8_t> bytes) {
  std::uint32_t sum = 0;
  std::size_t i = 0;
  for (; i + 1 < bytes.size(); i += 2) sum += static_cast<std::uint32_t>((bytes[i] << 8) | bytes[i + 1]);
  if (i < bytes.size()) sum += static_cast<std::uint32_t>(bytes[i] << 8);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<std::uint16_t>(~sum & 0xFFFF);
}

std::vector<std::uint8_t> BuildEchoRequest(std::uint16_t id, std::uint16_t sequence,
                                           std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> packet(kHeaderSize + data.size(), 0);
  packet[0] = kEchoRequest;
  packet[4] = static_cast<std::uint8_t>(id >> 8);
  packet[5] = static_cast<std::uint8_t>(id);
  packet[6] = static_cast<std::uint8_t>(sequence >> 8);
  packet[7] = static_cast<std::uint8_t>(sequence);
  std::copy(data.begin(), data.end(), packet.begin() + kHeaderSize);
  const std::uint16_t checksum = InternetChecksum(packet);
  packet[2] = static_cast<std::uint8_t>(checksum >> 8);
  packet[3] = static_cast<std::uint8_t>(checksum);
  return packet;
}

Parsed ParseReply(std::span<const std::uint8_t> packet, bool withIpHeader, std::uint32_t source,
                  const Expected& expected) {
  const std::span<const std::uint8_t> icmp = withIpHeader ? IcmpOf(packet) : packet;
  Parsed parsed;
  if (icmp.size() < kHeaderSize || InternetChecksum(icmp) != 0) return parsed;
  const std::uint8_t type = icmp[0];

  if (type == kEchoReply) {
    // On loopback a raw socket also sees our own request: only type 0 answers.
    if (icmp[1] != 0 || source != expected.destination) return parsed;
    if (Read16(icmp, 4) != expected.id || Read16(icmp, 6) != expected.sequence) return parsed;
    const std::span<const std::uint8_t> echoed = icmp.subspan(kHeaderSize);
    if (!std::equal(echoed.begin(), echoed.end(), expected.data.begin(), expected.data.end())) return parsed;
    parsed.verdict = Verdict::kReply;
    parsed.dataSize = static_cast<std::uint16_t>(echoed.size());
    return parsed;
  }

  if (IsErrorType(type)) {
    // The error quotes the IP header and the first 8 bytes of the request it is
    // about; it comes from a router, so its own source says nothing.
    const std::span<const std::uint8_t> quoted = icmp.subspan(kHeaderSize);
    const std::span<const std::uint8_t> request = IcmpOf(quoted);
    if (request.size() < kHeaderSize || request[0] != kEchoRequest) return parsed;
    if (ReadAddress(quoted, 16) != expected.destination) return parsed;
    if (Read16(request, 4) != expected.id || Read16(request, 6) != expected.sequence) return parsed;
    parsed.verdict = Verdict::kError;
    parsed.status = StatusOfIcmpError(type, icmp[1]);
  }
  return parsed;
}

std::uint32_t StatusOfIcmpError(std::uint8_t type, std::uint8_t code) {
  switch (type) {
    case kDestUnreachable:
      switch (code) {
        case 0:
        case 6:
        case 9:
        case 11: return kIpDestNetUnreachable;
        case 2: return kIpDestProtUnreachable;
        case 3: return kIpDestPortUnreachable;
        case 4: return kIpPacketTooBig;
        case 5: return kIpBadRoute;
        default: return kIpDestHostUnreachable;
      }
    case kSourceQuench: return kIpSourceQuench;
    case kTimeExceeded: return code == 1 ? kIpTtlExpiredReassem : kIpTtlExpiredTransit;
    case kParameterProblem: return kIpParamProblem;
    default: return kIpGeneralFailure;
  }
}

IcmpEchoReply ParsePingOutput(const std::string& output, int exitStatus, std::uint32_t measuredMs) {
  IcmpEchoReply reply;
  // "264 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=0.045 ms"
  for (std::size_t begin = 0; begin < output.size();) {
    std::size_t end = output.find('\n', begin);
    if (end == std::string::npos) end = output.size();
    const std::string line = output.substr(begin, end - begin);
    begin = end + 1;

    const std::size_t from = line.find(" bytes from ");
    if (from != std::string::npos) {
      const std::size_t addressAt = from + 12;
      const std::size_t colon = line.find(':', addressAt);
      in_addr address{};
      if (colon == std::string::npos ||
          ::inet_pton(AF_INET, line.substr(addressAt, colon - addressAt).c_str(), &address) != 1)
        continue;
      const long bytes = std::strtol(line.c_str(), nullptr, 10);
      reply.replies = 1;
      reply.status = kIpSuccess;
      reply.address = address.s_addr;
      reply.dataSize = static_cast<std::uint16_t>(bytes >= 8 ? bytes - 8 : 0);
      reply.roundTripMs = measuredMs;
      const std::size_t time = line.find("time=");
      if (time != std::string::npos) {
        const double ms = std::strtod(line.c_str() + time + 5, nullptr);
        if (ms >= 0 && ms < 4.0e9) reply.roundTripMs = static_cast<std::uint32_t>(ms);
      }
      return reply;
    }

    // "From 10.0.0.1 icmp_seq=1 Destination Host Unreachable"
    if (line.rfind("From ", 0) == 0) {
      static const struct {
        const char* text;
        std::uint32_t status;
      } kErrors[] = {
          {"Destination Net Unreachable", kIpDestNetUnreachable},
          {"Destination Host Unreachable", kIpDestHostUnreachable},
          {"Destination Protocol Unreachable", kIpDestProtUnreachable},
          {"Destination Port Unreachable", kIpDestPortUnreachable},
          {"Frag needed", kIpPacketTooBig},
          {"Source Route Failed", kIpBadRoute},
          {"Time to live exceeded", kIpTtlExpiredTransit},
          {"Frag reassembly time exceeded", kIpTtlExpiredReassem},
          {"Parameter problem", kIpParamProblem},
          {"Source Quench", kIpSourceQuench},
      };
      reply.status = kIpGeneralFailure;
      for (const auto& error : kErrors)
        if (line.find(error.text) != std::string::npos) reply.status = error.status;
      return reply;
    }
  }
  // Exit status 1: the request went out and nothing came back in time.
  if (exitStatus == 1) {
    reply.status = kIpReqTimedOut;
  } else if (output.find("Network is unreachable") != std::string::npos) {
    reply.status = kIpDestNetUnreachable;
  } else if (output.find("No route to host") != std::string::npos) {
    reply.status = kIpDestHostUnreachable;
  } else if (output.find("broadcast") != std::string::npos) {
    reply.status = kIpBadDestination;
  } else {
    reply.status = kIpGeneralFailure;
  }
  return reply;
}

}  // namespace icmp_wire

// ---------------------------------------------------------------------------

namespace {

using Clock = std::chrono::steady_clock;  // CLOCK_MONOTONIC: immune to clock changes

// Socket option of raw ICMP sockets: a bit per ICMP type to drop in the kernel.
constexpr int kSolRaw = 255;
constexpr int kIcmpFilter = 1;

std::uint32_t StatusOfErrno(int error) {
  switch (error) {
    case ENETUNREACH:
    case ENETDOWN: return kIpDestNetUnreachable;
    case EHOSTUNREACH:
    case EHOSTDOWN: return kIpDestHostUnreachable;
    case ECONNREFUSED: return kIpDestPortUnreachable;
    case EMSGSIZE: return kIpPacketTooBig;
    case ENOBUFS:
    case ENOMEM: return kIpNoResources;
    case EACCES:
    case EINVAL: return kIpBadDestination;  // broadcast without permission, and the like
    default: return kIpGeneralFailure;
  }
}

std::uint32_t OpenErrorOfErrno(int error) {
  switch (error) {
    case EACCES:
    case EPERM: return kIcmpErrorAccessDenied;
    case EMFILE:
    case ENFILE: return 4;  // too many open files
    case ENOBUFS:
    case ENOMEM: return kIcmpErrorNotEnoughMemory;
    case ENOENT: return 2;  // file not found: no ping program
    default: return 50;     // not supported
  }
}

std::uint32_t ElapsedMs(Clock::time_point since) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count();
  return static_cast<std::uint32_t>(std::max<std::int64_t>(ms, 0));
}

// Milliseconds left until `deadline`, rounded up so a poll never ends early.
int RemainingMs(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::microseconds>(deadline - Clock::now()).count();
  if (left <= 0) return 0;
  return static_cast<int>(std::min<std::int64_t>((left + 999) / 1000, 1 << 30));
}

IcmpEchoReply Failure(std::uint32_t status) {
  IcmpEchoReply reply;
  reply.status = status;
  return reply;
}

}  // namespace

struct LinuxIcmp::Endpoint {
  Mechanism mechanism = Mechanism::kRawSocket;
  int fd = -1;
  std::uint16_t id = 0;  // ours on raw sockets; the kernel's on datagram sockets
  std::atomic<std::uint16_t> sequence{0};
  std::string program;

  Endpoint() = default;
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;
  ~Endpoint() {
    if (fd >= 0) ::close(fd);
  }
};

LinuxIcmp::LinuxIcmp() : LinuxIcmp(Options{}) {}
LinuxIcmp::LinuxIcmp(Options options) : options_(std::move(options)) {}
LinuxIcmp::~LinuxIcmp() = default;

int LinuxIcmp::Startup() {
  // Linux sockets need no start-up; the count keeps Startup and Cleanup paired.
  std::lock_guard<std::mutex> lock(mutex_);
  ++startups_;
  return 0;
}

void LinuxIcmp::Cleanup() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (startups_ > 0) --startups_;
}

// The echo mechanisms are part of the program; whether one can be used is
// known only when a handle is asked for.
IcmpLibrary LinuxIcmp::Load() {
  return IcmpLibrary::kLoaded;
}
void LinuxIcmp::Unload() {}

IcmpHandle LinuxIcmp::OpenHandle(std::uint32_t& error) {
  auto endpoint = std::make_shared<Endpoint>();
  int firstErrno = 0;
  bool opened = false;
  for (Mechanism mechanism : options_.order) {
    endpoint->mechanism = mechanism;
    if (mechanism == Mechanism::kPingProgram) {
      for (const std::string& program : options_.pingPrograms)
        if (::access(program.c_str(), X_OK) == 0) {
          endpoint->program = program;
          break;
        }
      opened = !endpoint->program.empty();
      if (!opened && firstErrno == 0) firstErrno = ENOENT;
    } else {
      const int type = mechanism == Mechanism::kDatagramSocket ? SOCK_DGRAM : SOCK_RAW;
      endpoint->fd = ::socket(AF_INET, type | SOCK_CLOEXEC, IPPROTO_ICMP);
      if (endpoint->fd < 0) {
        if (firstErrno == 0) firstErrno = errno;
        continue;
      }
      opened = true;
      if (mechanism == Mechanism::kDatagramSocket) {
        // ICMP errors about our requests arrive on the error queue.
        const int on = 1;
        ::setsockopt(endpoint->fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
      } else {
        // A raw socket sees every ICMP packet of the host; let the kernel drop
        // all but echo replies and the errors that may concern us.
        const std::uint32_t keep = (1u << icmp_wire::kEchoReply) | (1u << icmp_wire::kDestUnreachable) |
                                   (1u << icmp_wire::kSourceQuench) | (1u << icmp_wire::kTimeExceeded) |
                                   (1u << icmp_wire::kParameterProblem);
        const std::uint32_t drop = ~keep;
        ::setsockopt(endpoint->fd, kSolRaw, kIcmpFilter, &drop, sizeof drop);
        std::random_device random;
        endpoint->id = static_cast<std::uint16_t>(random() ^ static_cast<unsigned>(::getpid()));
      }
    }
    if (opened) break;
  }
  if (!opened) {
    error = OpenErrorOfErrno(firstErrno);
    return kInvalidIcmpHandle;
  }
  error = 0;
  std::lock_guard<std::mutex> lock(mutex_);
  const IcmpHandle handle = nextHandle_++;
  endpoints_[handle] = std::move(endpoint);
  return handle;
}

bool LinuxIcmp::CloseHandle(IcmpHandle handle) {
  std::shared_ptr<Endpoint> closing;  // closed outside the lock, or by a send still using it
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = endpoints_.find(handle);
  if (it == endpoints_.end()) return false;
  closing = std::move(it->second);
  endpoints_.erase(it);
  return true;
}

std::optional<LinuxIcmp::Mechanism> LinuxIcmp::MechanismOf(IcmpHandle handle) const {
  const std::shared_ptr<Endpoint> endpoint = Find(handle);
  if (!endpoint) return std::nullopt;
  return endpoint->mechanism;
}

std::shared_ptr<LinuxIcmp::Endpoint> LinuxIcmp::Find(IcmpHandle handle) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = endpoints_.find(handle);
  return it == endpoints_.end() ? nullptr : it->second;
}

IcmpEchoReply LinuxIcmp::SendEcho(IcmpHandle handle, std::uint32_t destination,
                                  std::span<const std::uint8_t> data, std::uint32_t timeoutMs) {
  const std::shared_ptr<Endpoint> endpoint = Find(handle);
  if (!endpoint) return Failure(kIcmpErrorInvalidHandle);
  if (data.size() > kMaxEchoData) return Failure(kIcmpErrorInvalidParameter);
  if (!IsEchoDestinationAllowed(destination)) return Failure(kIpBadDestination);
  if (endpoint->mechanism == Mechanism::kPingProgram)
    return ProgramEcho(*endpoint, destination, data.size(), timeoutMs);
  return SocketEcho(*endpoint, destination, data, timeoutMs);
}

IcmpEchoReply LinuxIcmp::SocketEcho(Endpoint& endpoint, std::uint32_t destination,
                                    std::span<const std::uint8_t> data, std::uint32_t timeoutMs) {
  const bool datagram = endpoint.mechanism == Mechanism::kDatagramSocket;
  std::vector<std::uint8_t> buffer(65536 + 512);

  // Whatever arrived since the last exchange is stale.
  while (::recv(endpoint.fd, buffer.data(), buffer.size(), MSG_DONTWAIT) >= 0) {
  }
  while (datagram && ::recv(endpoint.fd, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_ERRQUEUE) >= 0) {
  }

  const std::uint16_t sequence = static_cast<std::uint16_t>(++endpoint.sequence);
  const std::vector<std::uint8_t> request = icmp_wire::BuildEchoRequest(endpoint.id, sequence, data);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = destination;

  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  if (::sendto(endpoint.fd, request.data(), request.size(), 0, reinterpret_cast<const sockaddr*>(&to),
               sizeof to) < 0)
    return Failure(StatusOfErrno(errno));

  icmp_wire::Expected expected{destination, endpoint.id, sequence, data};
  if (datagram) {
    // The kernel puts the socket's port in the identifier field.
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (::getsockname(endpoint.fd, reinterpret_cast<sockaddr*>(&local), &length) == 0)
      expected.id = ntohs(local.sin_port);
  }

  for (;;) {
    pollfd waiting{endpoint.fd, POLLIN, 0};
    const int ready = ::poll(&waiting, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return Failure(ready == 0 ? kIpReqTimedOut : kIpGeneralFailure);

    if (datagram && (waiting.revents & POLLERR) != 0) {
      // An error about one of our requests: the queue entry quotes it.
      std::uint8_t quoted[576];
      alignas(cmsghdr) std::uint8_t control[512];
      iovec io{quoted, sizeof quoted};
      msghdr message{};
      message.msg_iov = &io;
      message.msg_iovlen = 1;
      message.msg_control = control;
      message.msg_controllen = sizeof control;
      const ssize_t got = ::recvmsg(endpoint.fd, &message, MSG_ERRQUEUE | MSG_DONTWAIT);
      if (got >= 0) {
        for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
          if (c->cmsg_level != IPPROTO_IP || c->cmsg_type != IP_RECVERR) continue;
          sock_extended_err error;
          std::memcpy(&error, CMSG_DATA(c), sizeof error);
          const bool ours = got >= 8 && ((quoted[6] << 8) | quoted[7]) == sequence;
          if (!ours) continue;
          if (error.ee_origin == SO_EE_ORIGIN_ICMP)
            return Failure(icmp_wire::StatusOfIcmpError(error.ee_type, error.ee_code));
          return Failure(StatusOfErrno(static_cast<int>(error.ee_errno)));
        }
        continue;
      }
    }

    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t got = ::recvfrom(endpoint.fd, buffer.data(), buffer.size(), MSG_DONTWAIT,
                                   reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (got < 0) {
      if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) continue;
      // A pending socket error of a datagram socket reported here instead.
      return Failure(StatusOfErrno(errno));
    }
    const icmp_wire::Parsed parsed =
        icmp_wire::ParseReply(std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)),
                              !datagram, from.sin_addr.s_addr, expected);
    if (parsed.verdict == icmp_wire::Verdict::kReply) {
      IcmpEchoReply reply;
      reply.roundTripMs = ElapsedMs(start);
      reply.replies = 1;
      reply.status = kIpSuccess;
      reply.address = from.sin_addr.s_addr;
      reply.dataSize = parsed.dataSize;
      return reply;
    }
    if (parsed.verdict == icmp_wire::Verdict::kError) return Failure(parsed.status);
  }
}

IcmpEchoReply LinuxIcmp::ProgramEcho(const Endpoint& endpoint, std::uint32_t destination, std::size_t size,
                                     std::uint32_t timeoutMs) {
  char address[INET_ADDRSTRLEN];
  in_addr in{destination};
  ::inet_ntop(AF_INET, &in, address, sizeof address);
  char wait[32];
  // The program waits at least a millisecond; 0 would mean "forever" to it.
  std::snprintf(wait, sizeof wait, "%.3f", std::max<std::uint32_t>(timeoutMs, 1) / 1000.0);
  const std::string sizeText = std::to_string(size);

  std::vector<std::string> args = {endpoint.program, "-n", "-4", "-c",   "1", "-s",
                                   sizeText,         "-W", wait, address};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  // A fixed environment: C locale so the output parses, no inherited oddities.
  char localeVar[] = "LC_ALL=C";
  char pathVar[] = "PATH=/usr/bin:/bin";
  char* envp[] = {localeVar, pathVar, nullptr};

  int pipeFds[2];
  if (::pipe2(pipeFds, O_CLOEXEC) != 0) return Failure(kIpNoResources);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  const Clock::time_point start = Clock::now();
  pid_t child = -1;
  const int spawned = ::posix_spawn(&child, endpoint.program.c_str(), &actions, nullptr, argv.data(), envp);
  posix_spawn_file_actions_destroy(&actions);
  ::close(pipeFds[1]);
  if (spawned != 0) {
    ::close(pipeFds[0]);
    return Failure(kIpGeneralFailure);
  }

  // The program keeps its own time-out; ours only guards against a hung child.
  const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs) + std::chrono::seconds(3);
  std::string output;
  char chunk[1024];
  bool killed = false;
  for (;;) {
    pollfd waiting{pipeFds[0], POLLIN, 0};
    const int ready = ::poll(&waiting, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      ::kill(child, SIGKILL);
      killed = true;
      break;
    }
    const ssize_t got = ::read(pipeFds[0], chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (output.size() < 65536) output.append(chunk, static_cast<std::size_t>(got));
  }
  ::close(pipeFds[0]);
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (killed) return Failure(kIpReqTimedOut);
  const int exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 2;
  return icmp_wire::ParsePingOutput(output, exitStatus, ElapsedMs(start));
}

}  // namespace qv::platform
