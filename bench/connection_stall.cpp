// How long the GUI loop of the real window stalls while the connection watch
// runs: a 10 ms timer records how late each of its ticks comes. Run it with the
// address that the watch should ping, for instance inside a network namespace
// whose loopback ignores echoes (every cycle then waits its 9000 ms):
//   unshare -n sh -c 'ip link set lo up; sysctl -qw net.ipv4.icmp_echo_ignore_all=1;
//                     QUORVANE_REGISTRY=/tmp/stall.sqlite3 connection_stall 127.0.0.1 60'
// and beside it, as the peer, the same run with pinging off (address "off").
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/RealServices.h"
#include "app/Unit1.h"
#include "platform/EventLoop.h"
#include "platform/Services.h"
#include "toolkit/Application.h"
#include "widgets/Spin.h"
#include "worker/easythrd.h"

int main(int argc, char** argv) {
  using namespace qv;
  const std::string address = argc > 1 ? argv[1] : "127.0.0.1";
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
  RealServices services(argc, argv);
  TApplication application;
  Application->Initialize();
  Application->SetTitle("Quorvane");
  services.OpenRegistry();
  auto form = std::make_unique<TForm1>(nullptr);
  form->ShowForm();
  const bool pinging = address != "off";
  form->pingintervaltime->SetValue(1);
  if (pinging) {
    form->edIpAddr->SetText(address);
    form->PingActive->SetChecked(true);
  }
  int cycles = 0;
  form->NorvikEasyThread1->ThreadEnd = [&](TObject*) { ++cycles; };

  platform::IEventLoop* loop = platform::Current().loop;
  std::vector<std::int64_t> lateness, latenessUs;
  std::int64_t last = loop->NowMs();
  auto lastTick = std::chrono::steady_clock::now();
  TTimer probe(nullptr);
  probe.SetInterval(10);
  probe.SetOnTimer([&](TObject*) {
    const std::int64_t now = loop->NowMs();
    lateness.push_back(std::max<std::int64_t>(0, now - last - 10));
    last = now;
    const auto tick = std::chrono::steady_clock::now();
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(tick - lastTick).count();
    latenessUs.push_back(std::max<std::int64_t>(0, us - 10'000));
    lastTick = tick;
  });
  TTimer end(nullptr);
  end.SetInterval(static_cast<unsigned>(seconds) * 1000u);
  end.SetOnTimer([&](TObject*) { Application->Terminate(0); });
  Application->Run();

  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0 +
                       (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
  std::sort(lateness.begin(), lateness.end());
  const auto at = [&](double q) {
    return lateness.empty() ? 0 : lateness[static_cast<size_t>(q * static_cast<double>(lateness.size() - 1))];
  };
  std::printf("pinging %s for %d s: %d cycles ended, %zu probe ticks\n", pinging ? address.c_str() : "off",
              seconds, cycles, lateness.size());
  std::printf("timer lateness: median %lld ms, p99 %lld ms, max %lld ms\n", static_cast<long long>(at(0.5)),
              static_cast<long long>(at(0.99)),
              static_cast<long long>(lateness.empty() ? 0 : lateness.back()));
  std::sort(latenessUs.begin(), latenessUs.end());
  const auto atUs = [&](double q) {
    return latenessUs.empty()
               ? 0
               : latenessUs[static_cast<size_t>(q * static_cast<double>(latenessUs.size() - 1))];
  };
  std::printf("lateness in us: median %lld, p99 %lld, max %lld\n", static_cast<long long>(atUs(0.5)),
              static_cast<long long>(atUs(0.99)),
              static_cast<long long>(latenessUs.empty() ? 0 : latenessUs.back()));
  std::printf("process CPU %.0f ms in all (%.2f %% of one core)\n", cpuMs, cpuMs / (seconds * 10.0));
  form.reset();
  return 0;
}
