// What one reported change of the watched log costs the GUI thread, on logs of
// 100 MB, 1 GB and 5 GB (lines of 70 bytes), measured on the main window's
// watch tick with the real file system. The peer is `tail -n 1` on the same
// file in the same run; the forward byte reader is how the log used to be read.
//
//   build/bench/bench/logwatch_bench --benchmark_counters_tabular=true
//
// The logs are written to $TMPDIR (or /tmp) once per size and removed at the
// end; QV_LOGWATCH_SIZES_MB="100,1000" picks other sizes.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/LogLineReader.h"
#include "app/Unit1.h"
#include "platform/Services.h"
#include "platform/fake/FakeDesktopWindows.h"
#include "platform/fake/FakeIcmp.h"
#include "platform/fake/FakeLauncher.h"
#include "platform/fake/FakeLocale.h"
#include "platform/fake/FakeResolver.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/FakeTray.h"
#include "platform/fake/MemoryRegistryStore.h"
#include "platform/fake/RecordingSound.h"
#include "platform/fake/ScriptedDialogs.h"
#include "platform/fake/SimulatedLoop.h"
#include "platform/fake/TempDir.h"
#include "platform/linux/LinuxFiles.h"
#include "toolkit/Application.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace qv;

constexpr std::int64_t kMB = 1000 * 1000;
constexpr std::size_t kLineBytes = 70;

platform::fake::TempDir& Scratch() {
  static platform::fake::TempDir dir;
  return dir;
}

// A download log of `megabytes` MB: numbered lines of 70 bytes, LF ends.
std::string LogOf(std::int64_t megabytes) {
  static std::map<std::int64_t, std::string> made;
  if (auto it = made.find(megabytes); it != made.end()) return it->second;
  const std::string path = Scratch().File("download-" + std::to_string(megabytes) + "mb.log");
  std::ofstream out(path, std::ios::binary);
  std::string block;
  const std::int64_t lines = megabytes * kMB / static_cast<std::int64_t>(kLineBytes);
  for (std::int64_t i = 0; i < lines; ++i) {
    char line[128];
    std::snprintf(line, sizeof line, "2026-12-09 08:%02d:%02d finished file-%010lld.bin %18lld b\n",
                  static_cast<int>(i / 60 % 60), static_cast<int>(i % 60), static_cast<long long>(i),
                  static_cast<long long>(i * 4099));
    block.append(line, kLineBytes);
    if (block.size() >= (4u << 20)) {
      out.write(block.data(), static_cast<std::streamsize>(block.size()));
      block.clear();
    }
  }
  out.write(block.data(), static_cast<std::streamsize>(block.size()));
  made[megabytes] = path;
  return path;
}

void AppendLine(const std::string& path) {
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out << "2026-12-09 09:00:00 finished file-appended.bin                    1 b\n";
}

double MegabytesOfStatus(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ":";
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::strtod(line.c_str() + key.size(), nullptr) / 1024.0;
  }
  return 0;
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The main window on the test doubles, with the real file system. The log is
// chosen with the "Select" button, which measures it and reads it ahead in
// the background.
class Watchdog {
 public:
  // `settle`: waits until the read-ahead has been taken back.
  Watchdog(const std::string& log, bool settle) {
    system_.executablePath = Scratch().File("quorvane");
    platform::Services& s = platform::Current();
    s = platform::Services{};
    s.loop = &loop_;
    s.dialogs = &dialogs_;
    s.registry = &registry_;
    s.files = &files_;
    s.locale = &locale_;
    s.system = &system_;
    s.icmp = &icmp_;
    s.resolver = &resolver_;
    s.sounds = &sounds_;
    s.desktop = &desktop_;
    s.launcher = &launcher_;
    s.tray = &tray_;
    app_ = std::make_unique<TApplication>();
    app_->Initialize();
    form_ = std::make_unique<TForm1>(nullptr);
    dialogs_.files.push_back(log);
    form_->Panel9Click(form_->Panel9);
    if (settle) Settle();
    form_->AppMonitorActive->SetChecked(true);
    form_->AppFound = true;  // the application half has nothing to start
  }
  // Takes back what the background read, on this (the GUI) thread; returns
  // the CPU time that cost this thread, the waiting left out.
  double Settle() {
    double busy = 0;
    while (form_->WatchedLogReading()) {
      const double before = ThreadCpuSeconds();
      if (loop_.WaitForPosts(0))
        busy += ThreadCpuSeconds() - before;
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return busy;
  }
  ~Watchdog() {
    form_.reset();
    app_.reset();
    platform::Current() = platform::Services{};
  }

  void Tick() { form_->Timer1Timer(form_->Timer1); }
  TForm1& Form() { return *form_; }

 private:
  platform::fake::SimulatedLoop loop_;
  platform::fake::ScriptedDialogs dialogs_;
  platform::fake::MemoryRegistryStore registry_;
  platform::LinuxFileSystem files_;
  platform::fake::FakeLocale locale_;
  platform::fake::FakeSystemInfo system_;
  platform::fake::FakeIcmp icmp_;
  platform::fake::FakeResolver resolver_;
  platform::fake::RecordingSound sounds_;
  platform::fake::FakeDesktopWindows desktop_;
  platform::fake::FakeLauncher launcher_;
  platform::fake::FakeTray tray_;
  std::unique_ptr<TApplication> app_;
  std::unique_ptr<TForm1> form_;
};

void Memory(benchmark::State& state) {
  state.counters["rss_MB"] = MegabytesOfStatus("VmRSS");
  state.counters["peak_rss_MB"] = MegabytesOfStatus("VmHWM");
}

// A line appended, then the tick that reports it: the steady state of a busy log.
void BM_TickPerChange(benchmark::State& state) {
  const std::string log = LogOf(state.range(0));
  Watchdog watchdog(log, true);
  for (auto _ : state) {
    state.PauseTiming();
    AppendLine(log);
    state.ResumeTiming();
    watchdog.Tick();
  }
  Memory(state);
}

// The first change after the log was chosen, when it comes after the
// read-ahead has ended (the usual case) and when it comes sooner: then the
// tick announces it and its line follows when the read-ahead ends. The time is
// the GUI thread's CPU time for the tick and for taking the read back;
// `line_ms` is how long after the tick the line was logged.
void BM_FirstChange(benchmark::State& state) {
  const std::string log = LogOf(state.range(0));
  const bool readAhead = state.range(1) != 0;
  double lineMs = 0;
  for (auto _ : state) {
    auto watchdog = std::make_unique<Watchdog>(log, readAhead);
    AppendLine(log);
    const double cpu = ThreadCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    watchdog->Tick();
    const double tick = ThreadCpuSeconds() - cpu;
    state.SetIterationTime(tick + watchdog->Settle());
    lineMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (watchdog->Form().LastLine.find("file-appended") == std::string::npos) {
      state.SkipWithError("the appended line was not logged");
      break;
    }
    watchdog.reset();
  }
  state.counters["line_ms"] = lineMs / static_cast<double>(state.iterations());
  Memory(state);
}

// The peer: a separate process that seeks to the end and prints the last line.
void BM_TailPeer(benchmark::State& state) {
  const std::string log = LogOf(state.range(0));
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  for (auto _ : state) {
    state.PauseTiming();
    AppendLine(log);
    state.ResumeTiming();
    std::array<char*, 5> argv = {const_cast<char*>("tail"), const_cast<char*>("-n"), const_cast<char*>("1"),
                                 const_cast<char*>(log.c_str()), nullptr};
    pid_t child = 0;
    if (posix_spawnp(&child, "tail", &actions, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("tail cannot be started");
      break;
    }
    int status = 0;
    waitpid(child, &status, 0);
  }
  posix_spawn_file_actions_destroy(&actions);
}

// How the log used to be read at each change: from its start, a byte at a time.
void BM_ForwardByteReader(benchmark::State& state) {
  const std::string log = LogOf(state.range(0));
  std::vector<char> buffer(64 * 1024);
  for (auto _ : state) {
    std::ifstream in(log, std::ios::binary);
    std::string line;
    std::string newest;
    bool afterCr = false;
    while (in.read(buffer.data(), static_cast<std::streamsize>(buffer.size())) || in.gcount() > 0) {
      for (std::streamsize i = 0; i < in.gcount(); ++i) {
        const char c = buffer[static_cast<std::size_t>(i)];
        if (c == kEndOfText) break;
        if (c == '\n' && afterCr) {
          afterCr = false;
          continue;
        }
        afterCr = c == '\r';
        if (c == '\r' || c == '\n') {
          newest = std::move(line);
          line.clear();
        } else if (line.size() < kMaxLogLine) {
          line += c;
        }
      }
    }
    benchmark::DoNotOptimize(newest);
  }
}

std::vector<std::int64_t> Sizes() {
  std::vector<std::int64_t> sizes;
  const char* chosen = std::getenv("QV_LOGWATCH_SIZES_MB");
  std::string text = chosen != nullptr ? chosen : "100,1000,5000";
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t comma = text.find(',', at);
    sizes.push_back(std::stoll(text.substr(at, comma - at)));
    at = comma == std::string::npos ? text.size() : comma + 1;
  }
  return sizes;
}

}  // namespace

int main(int argc, char** argv) {
  for (const std::int64_t size : Sizes()) {
    std::string suffix(1, '/');
    suffix.append(std::to_string(size)).append("MB");
    benchmark::RegisterBenchmark((std::string("TickPerChange") + suffix).c_str(), BM_TickPerChange)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(200);
    benchmark::RegisterBenchmark(("TailPeer" + suffix).c_str(), BM_TailPeer)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(200);
    benchmark::RegisterBenchmark(("FirstChangeReadAhead" + suffix).c_str(), BM_FirstChange)
        ->Args({size, 1})
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark(("FirstChangeBeforeReadAhead" + suffix).c_str(), BM_FirstChange)
        ->Args({size, 0})
        ->Unit(benchmark::kMillisecond)
        ->UseManualTime()
        ->Iterations(3);
    benchmark::RegisterBenchmark(("ForwardByteReader" + suffix).c_str(), BM_ForwardByteReader)
        ->Arg(size)
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
