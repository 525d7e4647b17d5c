// The ICMP wrapper's set-up and the host lookup component, on the fake echo
// service and resolver.
#include <gtest/gtest.h>

#include <memory>

#include "net/Ping.h"
#include "platform/Services.h"
#include "platform/fake/FakeIcmp.h"
#include "platform/fake/FakeResolver.h"
#include "platform/fake/SimulatedLoop.h"

namespace qv {
namespace {

using platform::IcmpLibrary;

std::uint32_t Address(const char* dotted) {
  return inet_addr(dotted);
}

class PingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = platform::Current();
    platform::Current().loop = &loop_;
    platform::Current().icmp = &icmp_;
    platform::Current().resolver = &resolver_;
  }
  void TearDown() override { platform::Current() = saved_; }

  std::unique_ptr<TPing> MakePing() {
    auto ping = std::make_unique<TPing>(nullptr);
    ping->OnDnsLookupDone = [this](TObject* sender, std::uint16_t error) {
      EXPECT_EQ(sender, ping_);
      events_.push_back({error, static_cast<TPing*>(sender)->ResolvedAddress()});
    };
    ping_ = ping.get();
    return ping;
  }

  struct Event {
    std::uint16_t error;
    std::string resolved;
    bool operator==(const Event&) const = default;
  };

  platform::fake::SimulatedLoop loop_;
  platform::fake::FakeIcmp icmp_;
  platform::fake::FakeResolver resolver_;
  TPing* ping_ = nullptr;
  std::vector<Event> events_;

 private:
  platform::Services saved_;
};

std::string ConstructionError() {
  try {
    TICMP icmp;
  } catch (const TICMPException& e) {
    return e.what();
  }
  return "constructed";
}

TEST_F(PingTest, EachSetUpStepThatFailsGivesItsMessageAndUndoesTheEarlierOnes) {
  icmp_.startupResult = 10091;
  EXPECT_EQ(ConstructionError(), "Error initialising Winsock");
  EXPECT_EQ(icmp_.LoadCount(), 0);

  icmp_.startupResult = 0;
  icmp_.library = IcmpLibrary::kNotFound;
  EXPECT_EQ(ConstructionError(), "Unable to register icmp.dll");
  EXPECT_EQ(icmp_.StartupCount(), 1);
  EXPECT_EQ(icmp_.CleanupCount(), 1);

  icmp_.library = IcmpLibrary::kEntryPointsMissing;
  EXPECT_EQ(ConstructionError(), "Error loading dll functions");
  EXPECT_EQ(icmp_.UnloadCount(), icmp_.LoadCount());

  icmp_.library = IcmpLibrary::kLoaded;
  icmp_.refuseHandles = true;
  EXPECT_EQ(ConstructionError(), "Unable to get ping handle");
  EXPECT_EQ(icmp_.UnloadCount(), icmp_.LoadCount());
  EXPECT_EQ(icmp_.CleanupCount(), icmp_.StartupCount());
  EXPECT_EQ(icmp_.OpenHandleCount(), 0);
}

TEST_F(PingTest, WithoutAnEchoServiceTheLibraryIsMissing) {
  platform::Current().icmp = nullptr;
  EXPECT_EQ(ConstructionError(), "Unable to register icmp.dll");
}

TEST_F(PingTest, TheComponentFailsWithItsIcmpObjectAndLeavesNoTraceInItsOwner) {
  icmp_.refuseHandles = true;
  TComponent owner(nullptr);
  try {
    TPing ping(&owner);
    FAIL() << "constructed";
  } catch (const TICMPException& e) {
    EXPECT_STREQ(e.what(), "Unable to get ping handle");
  }
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST_F(PingTest, TheIcmpObjectHoldsAHandleForItsLifeAndReleasesEverything) {
  {
    auto ping = MakePing();
    EXPECT_NE(ping->Icmp()->Handle(), platform::kInvalidIcmpHandle);
    EXPECT_EQ(icmp_.OpenHandleCount(), 1);
    EXPECT_EQ(ping->Address(), "");
    EXPECT_EQ(ping->Size(), 56);
    EXPECT_EQ(ping->Timeout(), 4000);
    EXPECT_EQ(ping->TTL(), 64);
    EXPECT_EQ(ping->Flags(), 0);
  }
  EXPECT_EQ(icmp_.OpenHandleCount(), 0);
  EXPECT_EQ(icmp_.UnloadCount(), 1);
  EXPECT_EQ(icmp_.CleanupCount(), 1);
}

TEST_F(PingTest, OnlyADifferentAddressResetsTheResolvedAddress) {
  TICMP icmp;
  icmp.SetAddress("watch.example");
  icmp.SetResolvedIP(Address("127.0.0.9"));
  icmp.SetAddress("watch.example");
  EXPECT_EQ(icmp.ResolvedIP(), Address("127.0.0.9"));
  icmp.SetAddress("Watch.example");  // exact comparison
  EXPECT_EQ(icmp.ResolvedIP(), 0u);
  EXPECT_EQ(icmp.Address(), "Watch.example");
}

TEST_F(PingTest, ADottedAddressCompletesBeforeTheCallReturns) {
  auto ping = MakePing();
  ping->StartDnsLookup("127.1");
  EXPECT_EQ(events_, (std::vector<Event>{{0, "127.0.0.1"}}));
  EXPECT_EQ(ping->ResolvedAddress(), "127.0.0.1");
  EXPECT_FALSE(ping->LookupInProgress());
  EXPECT_TRUE(resolver_.Started().empty());
}

TEST_F(PingTest, ANameIsLookedUpAndReportedFromTheLoop) {
  auto ping = MakePing();
  ping->StartDnsLookup("localhost");
  ASSERT_EQ(resolver_.Started(), std::vector<std::string>{"localhost"});
  EXPECT_TRUE(events_.empty());
  EXPECT_TRUE(ping->LookupInProgress());
  ASSERT_TRUE(resolver_.Complete(resolver_.Pending().at(0), 0, {Address("127.0.0.1"), Address("127.0.1.1")}));
  EXPECT_TRUE(events_.empty());  // delivered by the loop, not by the resolver
  loop_.ProcessEvents();
  EXPECT_EQ(events_, (std::vector<Event>{{0, "127.0.0.1"}}));
  EXPECT_FALSE(ping->LookupInProgress());
}

TEST_F(PingTest, TheAllOnesAddressIsLookedUpAsAName) {
  auto ping = MakePing();
  ping->StartDnsLookup("255.255.255.255");
  EXPECT_TRUE(events_.empty());
  EXPECT_EQ(resolver_.Started(), std::vector<std::string>{"255.255.255.255"});
}

TEST_F(PingTest, AFailedLookupReportsItsErrorWithAnEmptyResult) {
  auto ping = MakePing();
  ping->StartDnsLookup("127.0.0.1");
  ping->StartDnsLookup("nowhere");
  EXPECT_EQ(ping->ResolvedAddress(), "");  // emptied at the start
  resolver_.Complete(resolver_.Pending().at(0), platform::kWsaHostNotFound);
  loop_.ProcessEvents();
  ASSERT_EQ(events_.size(), 2u);
  EXPECT_EQ(events_[1], (Event{11001, ""}));
}

TEST_F(PingTest, OnlyTheLatestLookupCounts) {
  auto ping = MakePing();
  ping->StartDnsLookup("first");
  const platform::LookupId first = resolver_.Pending().at(0);
  ping->StartDnsLookup("second");
  EXPECT_EQ(resolver_.Cancelled(), std::vector<platform::LookupId>{first});
  const platform::LookupId second = resolver_.Pending().at(0);
  EXPECT_FALSE(resolver_.Complete(first, 0, {Address("127.0.0.1")}));
  resolver_.Complete(second, 0, {Address("127.0.0.2")});
  loop_.ProcessEvents();
  EXPECT_EQ(events_, (std::vector<Event>{{0, "127.0.0.2"}}));
}

TEST_F(PingTest, ACompletionForAnotherLookupChangesNothing) {
  auto ping = MakePing();
  ping->StartDnsLookup("first");
  const platform::LookupId first = resolver_.Pending().at(0);
  const platform::LookupDone stale = resolver_.CallbackOf(first);
  ping->StartDnsLookup("second");
  const platform::LookupId second = resolver_.Pending().at(0);
  // Results for the forgotten lookup and for one never started reach the
  // component anyway: it must recognise them as not its own.
  stale(first, 0, {Address("127.0.0.1")});
  stale(second + 100, platform::kWsaHostNotFound, {});
  EXPECT_TRUE(events_.empty());
  EXPECT_TRUE(ping->LookupInProgress());
  resolver_.Complete(second, 0, {Address("127.0.0.2")});
  loop_.ProcessEvents();
  EXPECT_EQ(events_, (std::vector<Event>{{0, "127.0.0.2"}}));
}

TEST_F(PingTest, ADottedAddressAfterANameFiresOnceAndLeavesNothingToAbort) {
  auto ping = MakePing();
  ping->StartDnsLookup("slow");
  const platform::LookupId slow = resolver_.Pending().at(0);
  ping->StartDnsLookup("127.0.0.5");
  EXPECT_FALSE(resolver_.Complete(slow, 0, {Address("127.0.0.1")}));
  loop_.ProcessEvents();
  ping->AbortDnsLookup();
  EXPECT_EQ(events_, (std::vector<Event>{{0, "127.0.0.5"}}));
}

TEST_F(PingTest, AbortReportsAnInterruptedCall) {
  auto ping = MakePing();
  ping->StartDnsLookup("slow");
  const platform::LookupId slow = resolver_.Pending().at(0);
  ping->AbortDnsLookup();
  EXPECT_EQ(events_, (std::vector<Event>{{10004, ""}}));
  EXPECT_FALSE(ping->LookupInProgress());
  EXPECT_FALSE(resolver_.Complete(slow, 0, {Address("127.0.0.1")}));
  ping->AbortDnsLookup();  // idle: nothing
  EXPECT_EQ(events_.size(), 1u);
}

TEST_F(PingTest, AFailedCancelRaisesAndKeepsTheLookup) {
  auto ping = MakePing();
  ping->StartDnsLookup("slow");
  resolver_.cancelError = platform::kWsaEinval;
  try {
    ping->AbortDnsLookup();
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "WSACancelAsyncRequest failed, error #10022");
  }
  EXPECT_TRUE(ping->LookupInProgress());
  EXPECT_TRUE(events_.empty());
  resolver_.cancelError = 0;
}

TEST_F(PingTest, ALookupThatCannotStartRaisesAndStaysIdle) {
  auto ping = MakePing();
  ping->StartDnsLookup("127.0.0.1");
  resolver_.startError = platform::kWsaEnobufs;
  try {
    ping->StartDnsLookup("some.host");
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "some.host: can't start DNS lookup, error #10055");
  }
  EXPECT_FALSE(ping->LookupInProgress());
  EXPECT_EQ(ping->ResolvedAddress(), "");

  platform::Current().resolver = nullptr;
  EXPECT_THROW(ping->StartDnsLookup("other.host"), Exception);
}

TEST_F(PingTest, AHandlerMayStartTheNextLookup) {
  auto ping = MakePing();
  ping->OnDnsLookupDone = [&](TObject*, std::uint16_t error) {
    events_.push_back({error, ping->ResolvedAddress()});
    if (events_.size() == 1) ping->StartDnsLookup("again");
  };
  ping->StartDnsLookup("first");
  resolver_.Complete(resolver_.Pending().at(0), 0, {Address("127.0.0.3")});
  loop_.ProcessEvents();
  EXPECT_TRUE(ping->LookupInProgress());
  ASSERT_EQ(resolver_.Started().size(), 2u);
  EXPECT_EQ(resolver_.Started()[1], "again");
}

TEST_F(PingTest, DestroyingTheComponentCancelsItsLookupWithoutReporting) {
  auto ping = MakePing();
  ping->StartDnsLookup("slow");
  const platform::LookupId slow = resolver_.Pending().at(0);
  ping.reset();
  EXPECT_TRUE(events_.empty());
  EXPECT_FALSE(resolver_.Complete(slow, 0, {Address("127.0.0.1")}));
  loop_.ProcessEvents();
  EXPECT_TRUE(events_.empty());
}

}  // namespace
}  // namespace qv
