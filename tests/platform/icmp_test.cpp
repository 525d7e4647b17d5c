// The Linux echo service: packets built and judged byte by byte, and real
// echoes to loopback through each mechanism. Time-outs and the datagram socket
// are tried in a private network namespace (loopback only), where the sysctls
// that refuse echoes or allow unprivileged ICMP can be set without touching the
// machine; those tests skip where namespaces are not allowed.
#include <fcntl.h>
#include <net/if.h>
#include <poll.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>

#include "platform/linux/LinuxIcmp.h"

namespace qv::platform {
namespace {

using icmp_wire::Verdict;
using Mechanism = LinuxIcmp::Mechanism;

std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                  static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  std::uint32_t address;
  std::memcpy(&address, bytes, 4);
  return address;
}

const std::uint32_t kLoopback = Ip(127, 0, 0, 1);

std::vector<std::uint8_t> Pattern(std::size_t size) {
  std::vector<std::uint8_t> data(size);
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<std::uint8_t>(i * 7 + 3);
  return data;
}

void SetChecksum(std::vector<std::uint8_t>& icmp) {
  icmp[2] = icmp[3] = 0;
  const std::uint16_t sum = icmp_wire::InternetChecksum(icmp);
  icmp[2] = static_cast<std::uint8_t>(sum >> 8);
  icmp[3] = static_cast<std::uint8_t>(sum);
}

// An IPv4 header (without options) in front of `payload`.
std::vector<std::uint8_t> WithIpHeader(const std::vector<std::uint8_t>& payload, std::uint32_t source,
                                       std::uint32_t destination) {
  std::vector<std::uint8_t> packet(20, 0);
  packet[0] = 0x45;
  const std::size_t total = 20 + payload.size();
  packet[2] = static_cast<std::uint8_t>(total >> 8);
  packet[3] = static_cast<std::uint8_t>(total);
  packet[8] = 64;
  packet[9] = 1;  // ICMP
  std::memcpy(&packet[12], &source, 4);
  std::memcpy(&packet[16], &destination, 4);
  packet.insert(packet.end(), payload.begin(), payload.end());
  return packet;
}

// The reply a host sends to a request: the same message with type 0.
std::vector<std::uint8_t> ReplyTo(const std::vector<std::uint8_t>& request) {
  std::vector<std::uint8_t> reply = request;
  reply[0] = icmp_wire::kEchoReply;
  SetChecksum(reply);
  return reply;
}

// An ICMP error quoting the IP header and first 8 bytes of `request`.
std::vector<std::uint8_t> ErrorAbout(std::uint8_t type, std::uint8_t code,
                                     const std::vector<std::uint8_t>& request, std::uint32_t destination) {
  std::vector<std::uint8_t> quoted = WithIpHeader(request, Ip(127, 0, 0, 1), destination);
  quoted.resize(28);
  std::vector<std::uint8_t> error = {type, code, 0, 0, 0, 0, 0, 0};
  error.insert(error.end(), quoted.begin(), quoted.end());
  SetChecksum(error);
  return error;
}

class IcmpWire : public ::testing::Test {
 protected:
  const std::vector<std::uint8_t> data_ = Pattern(256);
  const std::vector<std::uint8_t> request_ = icmp_wire::BuildEchoRequest(0x1234, 7, data_);
  const icmp_wire::Expected expected_{kLoopback, 0x1234, 7, data_};

  icmp_wire::Parsed Raw(const std::vector<std::uint8_t>& icmp, std::uint32_t source = kLoopback) const {
    return icmp_wire::ParseReply(WithIpHeader(icmp, source, kLoopback), true, source, expected_);
  }
};

TEST_F(IcmpWire, ChecksumFollowsRfc1071) {
  const std::uint8_t sample[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
  EXPECT_EQ(icmp_wire::InternetChecksum(sample), 0x220d);
  const std::uint8_t odd[] = {0x01};  // an odd byte counts as the high half of a word
  EXPECT_EQ(icmp_wire::InternetChecksum(odd), static_cast<std::uint16_t>(~0x0100));
}

TEST_F(IcmpWire, TheRequestCarriesItsFieldsAndAValidChecksum) {
  ASSERT_EQ(request_.size(), 8u + 256u);
  EXPECT_EQ(request_[0], 8);
  EXPECT_EQ(request_[1], 0);
  EXPECT_EQ(request_[4], 0x12);
  EXPECT_EQ(request_[5], 0x34);
  EXPECT_EQ(request_[7], 7);
  EXPECT_EQ(icmp_wire::InternetChecksum(request_), 0);
  EXPECT_TRUE(std::equal(data_.begin(), data_.end(), request_.begin() + 8));
}

TEST_F(IcmpWire, AcceptsOnlyTheReplyToOurRequest) {
  const auto reply = ReplyTo(request_);
  const auto parsed = Raw(reply);
  EXPECT_EQ(parsed.verdict, Verdict::kReply);
  EXPECT_EQ(parsed.dataSize, 256);
  // Datagram sockets deliver the ICMP message alone.
  EXPECT_EQ(icmp_wire::ParseReply(reply, false, kLoopback, expected_).verdict, Verdict::kReply);

  auto changed = [&](std::size_t at, std::uint8_t value) {
    auto copy = reply;
    copy[at] = value;
    SetChecksum(copy);
    return copy;
  };
  EXPECT_EQ(Raw(changed(5, 0x35)).verdict, Verdict::kNotOurs) << "identifier";
  EXPECT_EQ(Raw(changed(7, 8)).verdict, Verdict::kNotOurs) << "sequence";
  EXPECT_EQ(Raw(changed(100, 0)).verdict, Verdict::kNotOurs) << "echoed data";
  EXPECT_EQ(Raw(changed(1, 1)).verdict, Verdict::kNotOurs) << "code";
  EXPECT_EQ(Raw(request_).verdict, Verdict::kNotOurs) << "our own request, seen on loopback";
  EXPECT_EQ(Raw(reply, Ip(127, 0, 0, 2)).verdict, Verdict::kNotOurs) << "another source";
  auto damaged = reply;
  damaged[50] ^= 0x40;
  EXPECT_EQ(Raw(damaged).verdict, Verdict::kNotOurs) << "checksum";
  auto shortened = reply;
  shortened.pop_back();
  SetChecksum(shortened);
  EXPECT_EQ(Raw(shortened).verdict, Verdict::kNotOurs) << "data cut short";
}

TEST_F(IcmpWire, ChecksTheIpHeaderOfRawPackets) {
  auto packet = WithIpHeader(ReplyTo(request_), kLoopback, kLoopback);
  packet[9] = 17;  // UDP
  EXPECT_EQ(icmp_wire::ParseReply(packet, true, kLoopback, expected_).verdict, Verdict::kNotOurs);
  packet[9] = 1;
  packet[0] = 0x44;  // header shorter than its minimum
  EXPECT_EQ(icmp_wire::ParseReply(packet, true, kLoopback, expected_).verdict, Verdict::kNotOurs);
  packet[0] = 0x46;  // 24-byte header: the ICMP message starts 4 bytes later
  EXPECT_EQ(icmp_wire::ParseReply(packet, true, kLoopback, expected_).verdict, Verdict::kNotOurs);
}

TEST_F(IcmpWire, EveryTruncationIsRejectedWithoutReadingPastTheEnd) {
  const auto full = WithIpHeader(ReplyTo(request_), kLoopback, kLoopback);
  for (std::size_t size = 0; size < full.size(); ++size) {
    const std::vector<std::uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_EQ(icmp_wire::ParseReply(cut, true, kLoopback, expected_).verdict, Verdict::kNotOurs) << size;
  }
  const auto error = WithIpHeader(ErrorAbout(3, 1, request_, kLoopback), Ip(127, 0, 0, 9), kLoopback);
  for (std::size_t size = 0; size < error.size(); ++size) {
    const std::vector<std::uint8_t> cut(error.begin(), error.begin() + static_cast<std::ptrdiff_t>(size));
    EXPECT_NE(icmp_wire::ParseReply(cut, true, Ip(127, 0, 0, 9), expected_).verdict, Verdict::kError) << size;
  }
}

TEST_F(IcmpWire, AnErrorAboutOurRequestGivesItsStatusWhoeverSendsIt) {
  const auto parsed = Raw(ErrorAbout(3, 1, request_, kLoopback), Ip(127, 0, 0, 9));
  EXPECT_EQ(parsed.verdict, Verdict::kError);
  EXPECT_EQ(parsed.status, kIpDestHostUnreachable);
  EXPECT_EQ(Raw(ErrorAbout(11, 0, request_, kLoopback)).status, kIpTtlExpiredTransit);

  const auto other = icmp_wire::BuildEchoRequest(0x1234, 8, data_);
  EXPECT_EQ(Raw(ErrorAbout(3, 1, other, kLoopback)).verdict, Verdict::kNotOurs) << "another request";
  EXPECT_EQ(Raw(ErrorAbout(3, 1, request_, Ip(127, 0, 0, 2))).verdict, Verdict::kNotOurs)
      << "another destination";
  EXPECT_EQ(Raw(ErrorAbout(5, 1, request_, kLoopback)).verdict, Verdict::kNotOurs)
      << "a redirect is no failure";
}

TEST(PingProgramOutput, ReadsTheReplyLineOrTellsWhyThereIsNone) {
  const auto reply = icmp_wire::ParsePingOutput(
      "PING 127.0.0.1 (127.0.0.1) 256(284) bytes of data.\n"
      "264 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=12.7 ms\n\n--- 127.0.0.1 ping statistics ---\n",
      0, 99);
  EXPECT_EQ(reply.replies, 1u);
  EXPECT_EQ(reply.status, kIpSuccess);
  EXPECT_EQ(reply.roundTripMs, 12u);
  EXPECT_EQ(reply.address, kLoopback);
  EXPECT_EQ(reply.dataSize, 256);

  const auto untimed = icmp_wire::ParsePingOutput("8 bytes from 127.0.0.1: icmp_seq=1 ttl=64\n", 0, 5);
  EXPECT_EQ(untimed.roundTripMs, 5u);

  const auto silent =
      icmp_wire::ParsePingOutput("PING 127.0.0.1 (127.0.0.1) 256(284) bytes of data.\n", 1, 9000);
  EXPECT_EQ(silent.replies, 0u);
  EXPECT_EQ(silent.status, kIpReqTimedOut);

  EXPECT_EQ(
      icmp_wire::ParsePingOutput("From 127.0.0.9 icmp_seq=1 Destination Host Unreachable\n", 1, 0).status,
      kIpDestHostUnreachable);
  EXPECT_EQ(icmp_wire::ParsePingOutput("ping: connect: Network is unreachable\n", 2, 0).status,
            kIpDestNetUnreachable);
  EXPECT_EQ(icmp_wire::ParsePingOutput("ping: something new\n", 2, 0).status, kIpGeneralFailure);
}

TEST(EchoDestination, RefusesBroadcastMulticastReservedAndUnspecified) {
  EXPECT_TRUE(IsEchoDestinationAllowed(kLoopback));
  EXPECT_TRUE(IsEchoDestinationAllowed(Ip(223, 255, 255, 254)));
  EXPECT_FALSE(IsEchoDestinationAllowed(0xFFFFFFFFu));
  EXPECT_FALSE(IsEchoDestinationAllowed(Ip(224, 0, 0, 1)));
  EXPECT_FALSE(IsEchoDestinationAllowed(Ip(239, 1, 2, 3)));
  EXPECT_FALSE(IsEchoDestinationAllowed(Ip(240, 0, 0, 1)));
  EXPECT_FALSE(IsEchoDestinationAllowed(0));
}

// ---------------------------------------------------------------------------

struct Echo {
  IcmpEchoReply reply;
  std::int64_t elapsedMs = 0;
};

Echo EchoThrough(LinuxIcmp& icmp, IcmpHandle handle, std::uint32_t destination, std::uint32_t timeoutMs,
                 std::size_t size = 256) {
  const auto data = Pattern(size);
  const auto start = std::chrono::steady_clock::now();
  Echo echo;
  echo.reply = icmp.SendEcho(handle, destination, data, timeoutMs);
  echo.elapsedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
  return echo;
}

LinuxIcmp::Options Only(Mechanism mechanism) {
  LinuxIcmp::Options options;
  options.order = {mechanism};
  return options;
}

// Opens a handle of one mechanism, or says why the test cannot run here.
std::optional<IcmpHandle> Open(LinuxIcmp& icmp) {
  std::uint32_t error = 0;
  const IcmpHandle handle = icmp.OpenHandle(error);
  if (handle == kInvalidIcmpHandle) return std::nullopt;
  return handle;
}

TEST(LinuxIcmp, EchoesToLoopbackWithTheFirstMechanismThatWorks) {
  LinuxIcmp icmp;
  const auto handle = Open(icmp);
  if (!handle) GTEST_SKIP() << "no echo mechanism for this user";
  const Echo echo = EchoThrough(icmp, *handle, kLoopback, 9000);
  EXPECT_EQ(echo.reply.replies, 1u);
  EXPECT_EQ(echo.reply.status, kIpSuccess);
  EXPECT_EQ(echo.reply.address, kLoopback);
  EXPECT_EQ(echo.reply.dataSize, 256);
  EXPECT_LT(echo.reply.roundTripMs, 1000u);
  EXPECT_LE(echo.reply.roundTripMs, static_cast<std::uint32_t>(echo.elapsedMs));
  EXPECT_TRUE(icmp.CloseHandle(*handle));
  EXPECT_FALSE(icmp.CloseHandle(*handle));
}

TEST(LinuxIcmp, RawSocketEchoesAndKeepsCountOfItsRequests) {
  LinuxIcmp icmp(Only(Mechanism::kRawSocket));
  const auto handle = Open(icmp);
  if (!handle) GTEST_SKIP() << "raw sockets need CAP_NET_RAW";
  EXPECT_EQ(icmp.MechanismOf(*handle), Mechanism::kRawSocket);
  for (int i = 0; i < 3; ++i) {
    const Echo echo = EchoThrough(icmp, *handle, Ip(127, 0, 0, 1 + static_cast<unsigned>(i)), 9000);
    EXPECT_EQ(echo.reply.replies, 1u) << i;
    EXPECT_EQ(echo.reply.address, Ip(127, 0, 0, 1 + static_cast<unsigned>(i))) << i;
  }
  EXPECT_EQ(EchoThrough(icmp, *handle, kLoopback, 9000, 0).reply.replies, 1u);
}

TEST(LinuxIcmp, ThePingProgramEchoes) {
  LinuxIcmp icmp(Only(Mechanism::kPingProgram));
  const auto handle = Open(icmp);
  if (!handle) GTEST_SKIP() << "no ping program installed";
  const Echo echo = EchoThrough(icmp, *handle, kLoopback, 9000);
  if (echo.reply.status == kIpGeneralFailure) GTEST_SKIP() << "the ping program lacks its capability here";
  EXPECT_EQ(echo.reply.replies, 1u);
  EXPECT_EQ(echo.reply.address, kLoopback);
  EXPECT_EQ(echo.reply.dataSize, 256);
  EXPECT_LT(echo.reply.roundTripMs, 1000u);
}

TEST(LinuxIcmp, RefusesBadDestinationsBadHandlesAndOversizedRequestsWithoutSending) {
  LinuxIcmp icmp;
  const auto handle = Open(icmp);
  if (!handle) GTEST_SKIP() << "no echo mechanism for this user";
  for (std::uint32_t destination : {0xFFFFFFFFu, Ip(224, 0, 0, 1), Ip(240, 0, 0, 1), 0u}) {
    const Echo echo = EchoThrough(icmp, *handle, destination, 9000);
    EXPECT_EQ(echo.reply.replies, 0u);
    EXPECT_EQ(echo.reply.status, kIpBadDestination);
    EXPECT_LT(echo.elapsedMs, 1000);
  }
  EXPECT_EQ(EchoThrough(icmp, *handle + 1000, kLoopback, 9000).reply.status, kIcmpErrorInvalidHandle);
  EXPECT_EQ(EchoThrough(icmp, *handle, kLoopback, 9000, kMaxEchoData + 1).reply.status,
            kIcmpErrorInvalidParameter);
}

TEST(LinuxIcmp, NoMechanismMeansNoHandle) {
  LinuxIcmp::Options options = Only(Mechanism::kPingProgram);
  options.pingPrograms = {"/nonexistent/ping"};
  LinuxIcmp icmp(options);
  std::uint32_t error = 0;
  EXPECT_EQ(icmp.OpenHandle(error), kInvalidIcmpHandle);
  EXPECT_NE(error, 0u);
}

// ---------------------------------------------------------------------------
// A child process in a network namespace of its own.

bool WriteFile(const char* path, const char* text) {
  const int fd = ::open(path, O_WRONLY);
  if (fd < 0) return false;
  const bool ok = ::write(fd, text, std::strlen(text)) == static_cast<ssize_t>(std::strlen(text));
  ::close(fd);
  return ok;
}

bool BringLoopbackUp() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::strcpy(request.ifr_name, "lo");
  bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  request.ifr_flags = static_cast<short>(request.ifr_flags | IFF_UP);
  ok = ok && ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  ::close(fd);
  return ok;
}

struct Sysctl {
  const char* path;
  const char* value;
};

// Runs `body` in a child process once `setup` has succeeded there, and returns
// what it wrote; nullopt when the setup failed (no privilege, no support).
std::optional<Echo> InChild(const std::function<bool()>& setup, const std::function<Echo()>& body) {
  int fds[2];
  if (::pipe(fds) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(fds[0]);
    if (setup()) {
      const Echo echo = body();
      (void)!::write(fds[1], &echo, sizeof echo);
    }
    ::_exit(0);
  }
  ::close(fds[1]);
  Echo echo;
  bool got = false;
  pollfd waiting{fds[0], POLLIN, 0};
  if (::poll(&waiting, 1, 30000) > 0)
    got = ::read(fds[0], &echo, sizeof echo) == static_cast<ssize_t>(sizeof echo);
  ::close(fds[0]);
  if (!got) ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  if (!got) return std::nullopt;
  return echo;
}

std::optional<Echo> InPrivateNetwork(std::vector<Sysctl> sysctls, const std::function<Echo()>& body) {
  return InChild(
      [&] {
        bool ready = ::unshare(CLONE_NEWNET) == 0 && BringLoopbackUp();
        for (const Sysctl& s : sysctls) ready = ready && WriteFile(s.path, s.value);
        return ready;
      },
      body);
}

constexpr Sysctl kIgnoreEchoes{"/proc/sys/net/ipv4/icmp_echo_ignore_all", "1"};
constexpr Sysctl kEveryoneMayPing{"/proc/sys/net/ipv4/ping_group_range", "0 2147483647"};

constexpr std::uint32_t kNoHandle = 0xDEAD;

Echo OneEcho(LinuxIcmp::Options options, std::uint32_t timeoutMs) {
  LinuxIcmp icmp(options);
  std::uint32_t error = 0;
  const IcmpHandle handle = icmp.OpenHandle(error);
  if (handle == kInvalidIcmpHandle) return Echo{IcmpEchoReply{0, kNoHandle, 0, 0, 0}, 0};
  Echo echo = EchoThrough(icmp, handle, kLoopback, timeoutMs);
  // Tell the parent which mechanism answered, in a field a reply leaves alone.
  echo.elapsedMs += 1000000 * static_cast<std::int64_t>(*icmp.MechanismOf(handle));
  return echo;
}

Echo OneEcho(Mechanism mechanism, std::uint32_t timeoutMs) {
  Echo echo = OneEcho(Only(mechanism), timeoutMs);
  echo.elapsedMs %= 1000000;
  return echo;
}

// An ordinary user: no raw sockets, and on Debian no ICMP datagram sockets
// either; the ping program, with its file capability, is what is left.
TEST(LinuxIcmpUnprivileged, AnOrdinaryUserStillGetsEchoes) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to become an ordinary user";
  if (::access("/usr/bin/ping", X_OK) != 0) GTEST_SKIP() << "no ping program installed";
  const auto echo = InChild([] { return ::setgid(65534) == 0 && ::setuid(65534) == 0; },
                            [] { return OneEcho(LinuxIcmp::Options{}, 9000); });
  ASSERT_TRUE(echo);
  ASSERT_NE(echo->reply.status, kNoHandle) << "no mechanism for an ordinary user";
  const auto mechanism = static_cast<Mechanism>(echo->elapsedMs / 1000000);
  EXPECT_NE(mechanism, Mechanism::kRawSocket);
  EXPECT_EQ(echo->reply.status, kIpSuccess);
  EXPECT_EQ(echo->reply.replies, 1u);
  EXPECT_EQ(echo->reply.address, kLoopback);
}

TEST(LinuxIcmpPrivateNetwork, TheDatagramSocketEchoesWhereTheUsersGroupMayPing) {
  const auto echo =
      InPrivateNetwork({kEveryoneMayPing}, [] { return OneEcho(Mechanism::kDatagramSocket, 9000); });
  if (!echo) GTEST_SKIP() << "no private network namespace here";
  EXPECT_EQ(echo->reply.status, kIpSuccess);
  EXPECT_EQ(echo->reply.replies, 1u);
  EXPECT_EQ(echo->reply.address, kLoopback);
  EXPECT_EQ(echo->reply.dataSize, 256);
}

void ExpectTimeOut(const std::optional<Echo>& echo, std::uint32_t timeoutMs) {
  if (!echo) GTEST_SKIP() << "no private network namespace here";
  if (echo->reply.status == kNoHandle) GTEST_SKIP() << "mechanism not available";
  EXPECT_EQ(echo->reply.replies, 0u);
  EXPECT_EQ(echo->reply.status, kIpReqTimedOut);
  EXPECT_EQ(echo->reply.roundTripMs, 0u);
  EXPECT_GE(echo->elapsedMs, timeoutMs);
  EXPECT_LT(echo->elapsedMs, timeoutMs + 2000);
}

TEST(LinuxIcmpPrivateNetwork, AnUnansweredRawEchoTimesOut) {
  ExpectTimeOut(InPrivateNetwork({kIgnoreEchoes}, [] { return OneEcho(Mechanism::kRawSocket, 300); }), 300);
}

TEST(LinuxIcmpPrivateNetwork, AnUnansweredDatagramEchoTimesOut) {
  ExpectTimeOut(InPrivateNetwork({kEveryoneMayPing, kIgnoreEchoes},
                                 [] { return OneEcho(Mechanism::kDatagramSocket, 300); }),
                300);
}

TEST(LinuxIcmpPrivateNetwork, AnUnansweredPingProgramEchoTimesOut) {
  ExpectTimeOut(InPrivateNetwork({kIgnoreEchoes}, [] { return OneEcho(Mechanism::kPingProgram, 500); }), 500);
}

}  // namespace
}  // namespace qv::platform
