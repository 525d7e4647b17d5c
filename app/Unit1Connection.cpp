// The connection watch: one ICMP echo per ping timer tick on the worker thread,
// its outcome on the window, the random intervals and the URL-to-IP test.
#include <cstdlib>
#include <ctime>
#include <vector>

#include "app/Unit1.h"
#include "net/Ping.h"
#include "platform/Icmp.h"
#include "platform/Services.h"
#include "platform/Sound.h"
#include "toolkit/Application.h"
#include "widgets/Spin.h"
#include "worker/easythrd.h"

namespace qv {

namespace {
constexpr std::size_t kEchoDataSize = 256;
constexpr std::uint32_t kEchoTimeoutMs = 9000;
constexpr const char* kLost = "Connection to the INTERNET lost";
constexpr const char* kDetected = "\xA9\xAE Connection to the INTERNET detected";
}  // namespace

void PlaySoundFile(const std::string& path) {
  // The whole path is played: cutting it to a fixed buffer would play another file.
  if (platform::Current().sounds != nullptr) platform::Current().sounds->PlayAsync(path);
}

// The scope's value for a round-trip time: the time in fiftieths of a second.
std::int32_t ScaledRoundTrip(std::uint32_t roundTripMs) {
  return static_cast<std::int32_t>(roundTripMs / 50);
}

// --- sounds, also the "Test" panels of the settings ---------------------------------

void TForm1::Panel19Click(TObject*) {
  if (pingsound->Checked()) PlaySoundFile(pingfile->Text());
}
void TForm1::Panel21Click(TObject*) {
  if (pongsound->Checked()) PlaySoundFile(pongfile->Text());
}
void TForm1::Panel14Click(TObject*) {
  if (ipalarmsound->Checked()) PlaySoundFile(ipalarm->Text());
}
void TForm1::Panel1Click(TObject*) {
  PlaySoundFile(reconsound->Text());
}

// --- the ping timer and the echo cycle ------------------------------------------------

void TForm1::Timer3Timer(TObject*) {
  if (!PingActive->Checked()) return;
  GraphicLight1->SetActiveLight(alRed);
  NorvikEasyThread1->start();
}

void TForm1::NorvikEasyThread1Exec(TObject*, TEasyThreadThread* thread) {
  // Controls, the event log and the sounds belong to the GUI thread: every
  // step that touches them runs there, in the order of the cycle.
  auto gui = [thread](const std::function<void()>& step) { thread->Synchronize(step); };
  platform::IIcmpService* icmp = platform::Current().icmp;

  std::string address;
  gui([&] { address = edIpAddr->Text(); });
  const std::uint32_t destination = inet_addr(address);
  std::uint32_t openError = platform::kIcmpErrorInvalidHandle;
  const platform::IcmpHandle handle =
      icmp != nullptr ? icmp->OpenHandle(openError) : platform::kInvalidIcmpHandle;
  gui([&] {
    IcmpHandle = handle;
    Panel19Click(this);
  });
  if (handle == platform::kInvalidIcmpHandle || handle == 0) {
    gui([&] {
      icmpinfo->SetCaption(Format("Last error: %d", static_cast<int>(openError)));
      GraphicLight1->SetActiveLight(alGray);
      Scope1->SetPosition(0);
      Gauge1->SetProgress(0);
      Label16->SetCaption("0 ms");
      LogEvent(kLost);
      Connected = false;
      Panel14Click(this);
      HistoryEcho(address, false, openError, 0);
    });
    return;
  }

  const std::vector<std::uint8_t> data(kEchoDataSize, 0);
  platform::IcmpEchoReply reply;
  if (platform::IsEchoDestinationAllowed(destination)) {
    reply = icmp->SendEcho(handle, destination, data, kEchoTimeoutMs);
  } else {
    // No dotted address (INADDR_NONE is the broadcast address), a broadcast or
    // a multicast group: such an echo is never sent, the cycle fails.
    reply.status = platform::kIpBadDestination;
  }

  gui([&] {
    if (reply.replies != 0) {
      icmpinfo->SetCaption(Format("Ping %s with %d bytes -> round trip = %d", address.c_str(),
                                  static_cast<int>(kEchoDataSize), static_cast<int>(reply.roundTripMs)));
      Panel21Click(this);
      GraphicLight1->SetActiveLight(alGreen);
      Scope1->SetPosition(ScaledRoundTrip(reply.roundTripMs));
      Gauge1->SetProgress(Scope1->Position());
      if (!Connected) {
        Connected = true;
        LogEvent(kDetected);
        Panel1Click(this);
      }
      Scope1->SetActive(true);
    } else {
      if (reply.status == platform::kIpReqTimedOut)
        icmpinfo->SetCaption(Format("Ping %s with %d bytes -> round trip TIMEOUT", address.c_str(),
                                    static_cast<int>(kEchoDataSize)));
      else
        icmpinfo->SetCaption(Format("Last error: %d", static_cast<int>(reply.status)));
      LogEvent(kLost);
      Panel14Click(this);
      Connected = false;
    }
    Label16->SetCaption(IntToStr(reply.roundTripMs) + " ms");
    HistoryEcho(address, reply.replies != 0, reply.status, reply.roundTripMs);
  });
  icmp->CloseHandle(handle);
}

// --- switches and intervals ----------------------------------------------------------

void TForm1::PingActiveClick(TObject*) {
  if (PingActive->Checked()) {
    Scope1->SetActive(true);
  } else {
    icmpinfo->SetCaption("Ping not active");
    GraphicLight1->SetActiveLight(alGray);
  }
}

void TForm1::pingintervaltimeChange(TObject*) {
  const unsigned ms = IntervalMs(*pingintervaltime);
  Timer3->SetInterval(ms);
  LogEvent("Changed Ping Timer to " + IntToStr(ms));
}

void TForm1::RandomTimerClick(TObject*) {
  // Decided by the timer, not by the box: the box may be set by the program.
  if (randomizertimer->Enabled()) {
    randomizertimer->SetEnabled(false);
    pingintervaltime->SetValue(SavedPingInterval);
  } else {
    SavedPingInterval = pingintervaltime->Value();
    randomizertimer->SetEnabled(true);
  }
}

void TForm1::randomizertimerTimer(TObject*) {
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  pingintervaltime->SetValue(std::rand() % 6 + 1);
}

// --- URL to IP ------------------------------------------------------------------------

void TForm1::Panel25Click(TObject*) {
  Ping1->StartDnsLookup(testurl->Text());
  LogEvent("Resolving " + testurl->Text());
}

void TForm1::Ping1DnsLookupDone(TObject*, std::uint16_t) {
  LogEvent("Translated to " + Ping1->ResolvedAddress());
  // A failed lookup leaves the configured address alone: emptying it would make
  // every following echo fail and lose the address at the next save.
  if (!Ping1->ResolvedAddress().empty()) edIpAddr->SetText(Ping1->ResolvedAddress());
}

}  // namespace qv
