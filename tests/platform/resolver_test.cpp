// The getaddrinfo resolver: results reach the GUI loop, never the caller
// directly, and a cancelled or orphaned lookup delivers nothing. Only names
// the machine answers itself (localhost and /etc/hosts) are looked up.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/Services.h"
#include "platform/fake/SimulatedLoop.h"
#include "platform/linux/LinuxResolver.h"

namespace qv::platform {
namespace {

std::uint32_t Ip(unsigned a, unsigned b, unsigned c, unsigned d) {
  const unsigned char bytes[4] = {static_cast<unsigned char>(a), static_cast<unsigned char>(b),
                                  static_cast<unsigned char>(c), static_cast<unsigned char>(d)};
  std::uint32_t address;
  std::memcpy(&address, bytes, 4);
  return address;
}

struct Result {
  LookupId id = 0;
  int error = -1;
  std::vector<std::uint32_t> addresses;
};

class LinuxResolverTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = Current();
    Current().loop = &loop_;
  }
  void TearDown() override { Current() = saved_; }

  LookupId Start(LinuxResolver& resolver, const std::string& host) {
    int error = 0;
    const LookupId id = resolver.StartLookup(
        host,
        [this](LookupId done, int result, const std::vector<std::uint32_t>& addresses) {
          EXPECT_TRUE(loop_.IsLoopThread());
          results_.push_back({done, result, addresses});
        },
        error);
    EXPECT_NE(id, 0u) << error;
    return id;
  }

  bool WaitForResults(std::size_t count) {
    for (int i = 0; i < 500 && results_.size() < count; ++i) loop_.WaitForPosts(10);
    return results_.size() >= count;
  }

  fake::SimulatedLoop loop_;
  std::vector<Result> results_;

 private:
  Services saved_;
};

TEST_F(LinuxResolverTest, LocalhostArrivesThroughTheLoop) {
  LinuxResolver resolver;
  const LookupId id = Start(resolver, "localhost");
  EXPECT_TRUE(results_.empty());
  ASSERT_TRUE(WaitForResults(1));
  EXPECT_EQ(results_[0].id, id);
  EXPECT_EQ(results_[0].error, 0);
  ASSERT_FALSE(results_[0].addresses.empty());
  EXPECT_EQ(results_[0].addresses[0], Ip(127, 0, 0, 1));
  // Finished: nothing left to cancel.
  EXPECT_EQ(resolver.CancelLookup(id), kWsaEinval);
}

// A name other than localhost that /etc/hosts maps into 127.0.0.0/8.
std::string LoopbackNameFromHosts(std::string& address) {
  std::ifstream hosts("/etc/hosts");
  std::string line;
  while (std::getline(hosts, line)) {
    line = line.substr(0, line.find('#'));
    std::istringstream fields(line);
    std::string ip, name;
    if (!(fields >> ip) || ip.rfind("127.", 0) != 0) continue;
    while (fields >> name)
      if (name != "localhost" && name.find("localhost") == std::string::npos) {
        address = ip;
        return name;
      }
  }
  return {};
}

TEST_F(LinuxResolverTest, NamesFromTheHostsFileResolve) {
  std::string dotted;
  const std::string name = LoopbackNameFromHosts(dotted);
  if (name.empty()) GTEST_SKIP() << "/etc/hosts names nothing in 127.0.0.0/8 but localhost";
  LinuxResolver resolver;
  Start(resolver, name);
  ASSERT_TRUE(WaitForResults(1));
  EXPECT_EQ(results_[0].error, 0) << name;
  unsigned a, b, c, d;
  ASSERT_EQ(std::sscanf(dotted.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d), 4);
  EXPECT_NE(std::find(results_[0].addresses.begin(), results_[0].addresses.end(), Ip(a, b, c, d)),
            results_[0].addresses.end());
}

TEST_F(LinuxResolverTest, ACancelledLookupDeliversNothingEvenWhenItsResultIsQueued) {
  LinuxResolver resolver;
  const LookupId cancelled = Start(resolver, "localhost");
  const LookupId kept = Start(resolver, "127.0.0.2");
  EXPECT_NE(cancelled, kept);
  // Let both results reach the queue, then cancel before the loop runs them.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_EQ(resolver.CancelLookup(cancelled), 0);
  EXPECT_EQ(resolver.CancelLookup(cancelled), kWsaEinval);
  ASSERT_TRUE(WaitForResults(1));
  loop_.WaitForPosts(200);
  ASSERT_EQ(results_.size(), 1u);
  EXPECT_EQ(results_[0].id, kept);
}

TEST_F(LinuxResolverTest, ALookupOutlivingItsResolverDeliversNothing) {
  {
    LinuxResolver resolver;
    Start(resolver, "localhost");
  }
  loop_.WaitForPosts(300);
  EXPECT_TRUE(results_.empty());
}

TEST_F(LinuxResolverTest, NoLoopNoLookup) {
  Current().loop = nullptr;
  LinuxResolver resolver;
  int error = 0;
  EXPECT_EQ(resolver.StartLookup(
                "localhost", [](LookupId, int, const std::vector<std::uint32_t>&) {}, error),
            0u);
  EXPECT_EQ(error, kWsaNotInitialised);
}

}  // namespace
}  // namespace qv::platform
