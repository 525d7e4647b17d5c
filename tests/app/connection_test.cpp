// The connection watch on the fake echo service: the cycle's status texts, log
// lines, sounds and instruments, the random intervals and the URL-to-IP test.
#include <condition_variable>
#include <mutex>

#include "AppFixture.h"
#include "net/Ping.h"
#include "widgets/Spin.h"
#include "worker/easythrd.h"

namespace qv::testing {
namespace {

using platform::IcmpEchoReply;

class ConnectionTest : public AppFixture {
 protected:
  TForm1& StartPinging(const std::string& address = "127.0.0.1") {
    SeedString("URL", address);
    SeedInteger("PingActive", 1);
    return Start();
  }
  void Reply(std::uint32_t ms) {
    icmp.respond = [ms](const platform::fake::EchoCall&) {
      IcmpEchoReply r;
      r.replies = 1;
      r.roundTripMs = ms;
      r.dataSize = 256;
      return r;
    };
  }
  void Fail(std::uint32_t status) {
    icmp.respond = [status](const platform::fake::EchoCall&) {
      IcmpEchoReply r;
      r.status = status;
      return r;
    };
  }
  void Cycle() {
    form->Timer3Timer(form->Timer3);
    FinishCycle();
  }
};

TEST_F(ConnectionTest, FirstReplyLogsTheReturnOnceAndDrivesTheInstruments) {
  TForm1& f = StartPinging();
  const int handlesOfPing1 = icmp.OpenHandleCount();  // the lookup component holds its own
  Reply(120);
  Cycle();
  EXPECT_EQ(f.icmpinfo->Caption(), "Ping 127.0.0.1 with 256 bytes -> round trip = 120");
  EXPECT_EQ(f.Label16->Caption(), "120 ms");
  EXPECT_EQ(f.GraphicLight1->ActiveLight(), alGreen);
  EXPECT_EQ(f.Scope1->Position(), 2);
  EXPECT_EQ(f.Gauge1->Progress(), 2);
  EXPECT_TRUE(f.Scope1->Active());
  EXPECT_TRUE(f.Connected);
  EXPECT_EQ(Messages().back(), "\xA9\xAE Connection to the INTERNET detected");
  EXPECT_EQ(sounds.Played(), std::vector<std::string>{"c:\\winnt\\media\\ringout.wav"});
  Cycle();
  EXPECT_EQ(Count("\xA9\xAE Connection to the INTERNET detected"), 1);
  // The file holds the two Latin-1 bytes as they are.
  EXPECT_NE(SysLog().find("   \xA9\xAE Connection to the INTERNET detected\r\n"), std::string::npos);
  ASSERT_EQ(icmp.Sent().size(), 2u);
  EXPECT_EQ(icmp.Sent()[0].data.size(), 256u);
  EXPECT_EQ(icmp.Sent()[0].timeoutMs, 9000u);
  EXPECT_EQ(icmp.Sent()[0].destination, inet_addr("127.0.0.1"));
  EXPECT_EQ(icmp.OpenHandleCount(), handlesOfPing1);
}

TEST_F(ConnectionTest, EveryFailedCycleLogsTheLossAndTheNextReplyTheReturn) {
  TForm1& f = StartPinging();
  f.ipalarmsound->SetChecked(true);
  Fail(platform::kIpReqTimedOut);
  for (int i = 0; i < 3; ++i) Cycle();
  EXPECT_EQ(Count("Connection to the INTERNET lost"), 3);
  EXPECT_EQ(f.icmpinfo->Caption(), "Ping 127.0.0.1 with 256 bytes -> round trip TIMEOUT");
  EXPECT_EQ(f.Label16->Caption(), "0 ms");
  EXPECT_EQ(f.GraphicLight1->ActiveLight(), alRed);
  EXPECT_EQ(sounds.Played().size(), 3u);
  Fail(platform::kIpDestHostUnreachable);
  Cycle();
  EXPECT_EQ(f.icmpinfo->Caption(), "Last error: 11003");
  Reply(49);
  Cycle();
  EXPECT_EQ(Count("\xA9\xAE Connection to the INTERNET detected"), 1);
  EXPECT_EQ(f.Scope1->Position(), 0);
}

TEST_F(ConnectionTest, ScaledValueGoesUnclampedToTheScopeAndClampedToTheGauge) {
  TForm1& f = StartPinging();
  EXPECT_EQ(ScaledRoundTrip(49), 0);
  EXPECT_EQ(ScaledRoundTrip(50), 1);
  EXPECT_EQ(ScaledRoundTrip(5000), 100);
  Reply(6000);
  Cycle();
  EXPECT_EQ(f.Scope1->Position(), 120);
  EXPECT_EQ(f.Gauge1->Progress(), 100);
}

TEST_F(ConnectionTest, NoHandleGreysTheLightAndZeroesTheInstruments) {
  TForm1& f = StartPinging();
  Reply(300);
  Cycle();
  icmp.refuseHandles = true;
  Cycle();
  EXPECT_EQ(f.icmpinfo->Caption(), "Last error: 5");
  EXPECT_EQ(f.GraphicLight1->ActiveLight(), alGray);
  EXPECT_EQ(f.Scope1->Position(), 0);
  EXPECT_EQ(f.Gauge1->Progress(), 0);
  EXPECT_EQ(f.Label16->Caption(), "0 ms");
  EXPECT_FALSE(f.Connected);
  EXPECT_EQ(Messages().back(), "Connection to the INTERNET lost");
}

// The address field without a dotted address gives INADDR_NONE, the broadcast
// address: the cycle fails without sending anything.
TEST_F(ConnectionTest, AnAddressThatIsNoDottedAddressIsNeverSentTo) {
  TForm1& f = StartPinging("not an address");
  Reply(10);
  Cycle();
  EXPECT_TRUE(icmp.Sent().empty());
  EXPECT_EQ(f.icmpinfo->Caption(), "Last error: " + std::to_string(platform::kIpBadDestination));
  EXPECT_EQ(Messages().back(), "Connection to the INTERNET lost");
  f.edIpAddr->SetText("224.0.0.1");
  Cycle();
  EXPECT_TRUE(icmp.Sent().empty());
}

TEST_F(ConnectionTest, PingSoundPlaysBeforeTheEchoWhenSwitchedOn) {
  TForm1& f = StartPinging();
  f.pingsound->SetChecked(true);
  f.pongsound->SetChecked(true);
  Reply(10);
  Cycle();
  EXPECT_EQ(sounds.Played(),
            (std::vector<std::string>{"c:\\winnt\\media\\ping.wav", "c:\\winnt\\media\\pong.wav",
                                      "c:\\winnt\\media\\ringout.wav"}));
}

TEST_F(ConnectionTest, PingingOffShowsTheStateAndTicksDoNothing) {
  TForm1& f = StartPinging();
  f.PingActive->SetChecked(false);
  EXPECT_EQ(f.icmpinfo->Caption(), "Ping not active");
  EXPECT_EQ(f.GraphicLight1->ActiveLight(), alGray);
  f.Timer3Timer(f.Timer3);
  EXPECT_FALSE(f.NorvikEasyThread1->Active());
  EXPECT_TRUE(icmp.Sent().empty());
}

TEST_F(ConnectionTest, RandomIntervalsRestoreTheIntervalSetBefore) {
  TForm1& f = Start();
  f.pingintervaltime->SetValue(9);
  f.RandomTimer->SetChecked(true);
  EXPECT_TRUE(f.randomizertimer->Enabled());
  loop.Advance(15000);
  const int drawn = f.pingintervaltime->Value();
  EXPECT_GE(drawn, 1);
  EXPECT_LE(drawn, 6);
  f.RandomTimer->SetChecked(false);
  EXPECT_FALSE(f.randomizertimer->Enabled());
  EXPECT_EQ(f.pingintervaltime->Value(), 9);
  EXPECT_EQ(Messages().back(), "Changed Ping Timer to 9000");
}

TEST_F(ConnectionTest, DottedTestHostIsTranslatedBeforeTheResolvingLine) {
  TForm1& f = Start();
  f.testurl->SetText("127.0.0.1");
  f.Panel25Click(f.Panel25);
  const auto m = Messages();
  ASSERT_GE(m.size(), 2u);
  EXPECT_EQ(m[m.size() - 2], "Translated to 127.0.0.1");
  EXPECT_EQ(m.back(), "Resolving 127.0.0.1");
  EXPECT_EQ(f.edIpAddr->Text(), "127.0.0.1");
}

TEST_F(ConnectionTest, FailedLookupKeepsTheConfiguredAddress) {
  TForm1& f = Start();
  f.edIpAddr->SetText("127.0.0.1");
  f.testurl->SetText("no-such-host.invalid");
  f.Panel25Click(f.Panel25);
  ASSERT_EQ(resolver.Pending().size(), 1u);
  resolver.Complete(resolver.Pending()[0], 11001);
  loop.ProcessEvents();
  EXPECT_EQ(Messages().back(), "Translated to ");
  EXPECT_EQ(f.edIpAddr->Text(), "127.0.0.1");
}

}  // namespace
}  // namespace qv::testing

namespace qv::testing {
namespace {

// With a 1 s interval and a destination that stays silent, every tick turns the
// light red but a new echo goes out only once the waiting one has timed out.
TEST_F(ConnectionTest, TicksWhileACycleWaitsStartNothing) {
  TForm1& f = StartPinging();
  std::mutex m;
  std::condition_variable cv;
  bool release = false;
  icmp.respond = [&](const platform::fake::EchoCall&) {
    std::unique_lock<std::mutex> lock(m);
    cv.wait(lock, [&] { return release; });
    IcmpEchoReply r;
    r.status = platform::kIpReqTimedOut;
    return r;
  };
  ASSERT_EQ(f.Timer3->Interval(), 1000u);
  for (int tick = 0; tick < 5; ++tick) {
    f.GraphicLight1->SetActiveLight(alGreen);
    loop.Advance(1000);
    EXPECT_EQ(f.GraphicLight1->ActiveLight(), alRed);
    loop.WaitForPosts(20);  // the worker's first steps on the GUI thread
  }
  for (int i = 0; i < 200 && icmp.Sent().empty(); ++i) loop.WaitForPosts(5);
  EXPECT_EQ(icmp.Sent().size(), 1u);
  {
    std::lock_guard<std::mutex> lock(m);
    release = true;
  }
  cv.notify_all();
  FinishCycle();
  EXPECT_EQ(Messages().back(), "Connection to the INTERNET lost");
  loop.Advance(1000);
  FinishCycle();
  EXPECT_EQ(icmp.Sent().size(), 2u);
}

}  // namespace
}  // namespace qv::testing
