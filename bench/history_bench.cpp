// What the connection history costs, measured against a peer in the same run:
//  1. the GUI thread's cost of recording one cycle (the recorder's queue);
//  2. the GUI loop's stall p99 while pinging, history on against off
//     (connection_stall run alternately with QUORVANE_HISTORY=off and on);
//  3. a generated 30-day history at one cycle per second: its file size, and
//     `quorvane --report --since 30d` as text and as PNG, against the same
//     aggregate as one SQL query in the sqlite3 shell on the same file;
//  4. the resident memory of the running program with a full 90-day history
//     against an empty one.
// Run it under an X server for 2 and 4:
//   xvfb-run -a build/bench/bench/history_bench [stall-seconds]
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "history/Recorder.h"
#include "platform/fake/TempDir.h"
#include "platform/linux/LinuxClock.h"
#include "platform/linux/SqliteHistoryStore.h"

extern char** environ;

namespace {

using namespace qv;
using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Runs argv with extra environment; returns its standard output.
std::string Run(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnv,
                double* seconds, pid_t* started = nullptr, int killAfterMs = 0) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.push_back(*e);
  env.insert(env.end(), extraEnv.begin(), extraEnv.end());
  std::vector<char*> envp, args;
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::vector<std::string> copy = argv;
  for (auto& a : copy) args.push_back(a.data());
  args.push_back(nullptr);
  int out[2];
  if (pipe(out) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  pid_t pid = -1;
  const auto start = Clock::now();
  if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  if (started != nullptr) *started = pid;
  std::string text;
  if (killAfterMs > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs));
    if (started != nullptr) {
      close(out[0]);  // the caller ends it
      return {};
    }
  }
  char buf[4096];
  ssize_t n;
  while ((n = read(out[0], buf, sizeof buf)) > 0) text.append(buf, static_cast<size_t>(n));
  close(out[0]);
  if (pid > 0) waitpid(pid, nullptr, 0);
  if (seconds != nullptr) *seconds = SecondsSince(start);
  return text;
}

// Writes a generated history: cycles every `stepMs` from `fromMs` to `toMs`
// (every `recentStepMs` over the last `recentMs`), with an outage of two
// minutes every six hours, a program start a day and a log change an hour.
std::int64_t Generate(const std::string& path, std::int64_t fromMs, std::int64_t toMs, std::int64_t stepMs,
                      std::int64_t recentStepMs, std::int64_t recentMs) {
  platform::SqliteHistoryStore store(path);
  if (const std::string error = store.Open(); !error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(1);
  }
  const std::int64_t run = store.BeginRun(fromMs);
  std::mt19937 random(42);
  std::vector<platform::HistoryRecord> batch;
  std::int64_t count = 0;
  platform::HistoryRecord r;
  r.run = run;
  auto flush = [&] {
    store.Append(batch);
    count += static_cast<std::int64_t>(batch.size());
    batch.clear();
  };
  for (std::int64_t t = fromMs; t < toMs; t += (toMs - t <= recentMs ? recentStepMs : stepMs)) {
    r.time = {t, t - fromMs + 60'000, 0};
    const std::int64_t sinceStart = t - fromMs;
    r.kind = platform::HistoryKind::kEcho;
    r.subject = "192.0.2.1";
    const bool down = sinceStart % (6 * 3'600'000) < 120'000;
    r.roundTripMs =
        down ? -1 : static_cast<std::int32_t>(8 + random() % 30 + (random() % 100 == 0 ? 200 : 0));
    r.status = down ? 11010 : 0;
    batch.push_back(r);
    if (sinceStart % 86'400'000 < stepMs) {
      r.kind = platform::HistoryKind::kAutoStart;
      r.subject = "/usr/bin/watched --daemon";
      r.status = 33;
      r.roundTripMs = -1;
      batch.push_back(r);
    }
    if (sinceStart % 3'600'000 < stepMs) {
      r.kind = platform::HistoryKind::kLogChange;
      r.subject = "/var/log/watched.log";
      r.status = 0;
      r.roundTripMs = -1;
      batch.push_back(r);
    }
    if (batch.size() >= 20'000) flush();
  }
  flush();
  return count;
}

long StatusKb(pid_t pid, const char* field) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + std::strlen(field));
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int stallSeconds = argc > 1 ? std::atoi(argv[1]) : 30;
  platform::fake::TempDir dir;
  platform::LinuxClock clock;

  // 1. The GUI thread's cost per cycle: stamping and queueing one record.
  {
    platform::SqliteHistoryStore store(dir.File("cost.sqlite3"));
    history::Recorder recorder(&store, clock, {}, nullptr);
    constexpr int kCalls = 200'000;
    std::vector<double> perCall;
    for (int round = 0; round < 5; ++round) {
      const auto start = Clock::now();
      for (int i = 0; i < kCalls / 5; ++i) recorder.RecordEcho("127.0.0.1", true, 0, i % 50);
      perCall.push_back(SecondsSince(start) * 1e6 / (kCalls / 5));
      recorder.Flush();
    }
    std::sort(perCall.begin(), perCall.end());
    const auto start = Clock::now();
    std::size_t hintBytes = 0;
    for (int i = 0; i < 1000; ++i) hintBytes += recorder.Summary().size();
    std::printf(
        "1. GUI thread per cycle: record %.3f us (median of 5 rounds of %d); hint pick-up %.3f us (%zu "
        "bytes)\n",
        perCall[2], kCalls / 5, SecondsSince(start) * 1e3, hintBytes / 1000);
  }

  // 2. Stall p99 of the GUI loop, history off and on, alternately.
  if (std::getenv("DISPLAY") != nullptr) {
    for (int round = 0; round < 2; ++round) {
      for (const bool on : {false, true}) {
        const std::string historyEnv =
            on ? "QUORVANE_HISTORY=" + dir.File("stall" + std::to_string(round) + ".sqlite3")
               : "QUORVANE_HISTORY=off";
        const std::string out =
            Run({QV_CONNECTION_STALL_BINARY, "127.0.0.1", std::to_string(stallSeconds)},
                {historyEnv, "QUORVANE_REGISTRY=" + dir.File("stall-registry.sqlite3")}, nullptr);
        const auto at = out.find("lateness in us:");
        std::printf("2. history %-3s round %d: %s", on ? "on" : "off", round + 1,
                    at == std::string::npos ? "(no figures)\n" : out.substr(at).c_str());
      }
    }
  } else {
    std::printf("2. skipped: no X display (run under xvfb-run)\n");
  }

  // 3. Thirty days at one cycle per second.
  const std::int64_t now = clock.Now().wallMs;
  const std::string thirty = dir.File("thirty.sqlite3");
  auto start = Clock::now();
  const std::int64_t records = Generate(thirty, now - 30 * 86'400'000LL, now, 1000, 1000, 0);
  std::printf("3. 30-day history: %lld records generated in %.1f s; file %.1f MB\n",
              static_cast<long long>(records), SecondsSince(start),
              static_cast<double>(std::filesystem::file_size(thirty)) / 1e6);
  const std::vector<std::string> env = {"QUORVANE_HISTORY=" + thirty};
  double textSeconds = 0, pngSeconds = 0, sqlSeconds = 0;
  const std::string text =
      Run({QV_QUORVANE_BINARY, "--report", "--since", "30d", "--format", "text"}, env, &textSeconds);
  Run({QV_QUORVANE_BINARY, "--report", "--since", "30d", "--format", "png", "--output",
       dir.File("thirty.png")},
      env, &pngSeconds);
  const std::string from = std::to_string(now - 30 * 86'400'000LL);
  const std::string query =
      "WITH e AS (SELECT id, rtt_ms, mono_ms, run, suspend_ms,"
      " LAG(rtt_ms IS NOT NULL) OVER w AS prev_ok, LAG(mono_ms) OVER w AS prev_mono, LAG(run) OVER w AS "
      "prev_run,"
      " LAG(suspend_ms) OVER w AS prev_suspend, LAG(rtt_ms) OVER w AS prev_rtt"
      " FROM records WHERE kind = 0 AND wall_ms >= " +
      from +
      " WINDOW w AS (ORDER BY id)),"
      " f AS (SELECT *, (prev_run = run AND suspend_ms - prev_suspend <= 1000"
      " AND mono_ms - prev_mono BETWEEN 0 AND 30000) AS cont FROM e)"
      " SELECT count(*), sum(rtt_ms IS NULL), round(100.0 * sum(rtt_ms IS NULL) / count(*), 3),"
      " min(rtt_ms), round(avg(rtt_ms), 3), max(rtt_ms),"
      " (SELECT rtt_ms FROM records WHERE kind = 0 AND wall_ms >= " +
      from +
      " AND rtt_ms IS NOT NULL"
      " ORDER BY rtt_ms LIMIT 1 OFFSET (SELECT (count(rtt_ms) * 95 + 99) / 100 - 1 FROM records"
      " WHERE kind = 0 AND wall_ms >= " +
      from +
      ")),"
      " round(avg(CASE WHEN cont AND rtt_ms IS NOT NULL AND prev_rtt IS NOT NULL THEN abs(rtt_ms - prev_rtt) "
      "END), 3),"
      " sum(rtt_ms IS NULL AND (prev_ok IS NULL OR prev_ok OR NOT cont)),"
      " round(100.0 * sum(CASE WHEN cont AND prev_ok THEN mono_ms - prev_mono ELSE 0 END) /"
      " sum(CASE WHEN cont THEN mono_ms - prev_mono ELSE 0 END), 3) FROM f";
  const std::string sql = Run({"sqlite3", "-readonly", thirty, query}, {}, &sqlSeconds);
  std::printf("   quorvane --report --since 30d --format text: %.2f s\n", textSeconds);
  std::printf("   quorvane --report --since 30d --format png:  %.2f s\n", pngSeconds);
  std::printf("   sqlite3 shell, one aggregate query:           %.2f s  (%.1fx the text report)\n",
              sqlSeconds, sqlSeconds / textSeconds);
  std::printf("   sqlite3: cycles|failed|loss%%|min|mean|max|p95|jitter|outages|availability%%\n   %s",
              sql.c_str());
  std::printf("   report:\n%s", text.c_str());

  // 4. Memory of the running program: a full 90-day history (every 5 s, the
  // last week every second) against an empty one.
  if (std::getenv("DISPLAY") != nullptr) {
    const std::string ninety = dir.File("ninety.sqlite3");
    const std::int64_t n90 = Generate(ninety, now - 90 * 86'400'000LL, now, 5000, 1000, 7 * 86'400'000LL);
    std::printf("4. 90-day history: %lld records, file %.1f MB\n", static_cast<long long>(n90),
                static_cast<double>(std::filesystem::file_size(ninety)) / 1e6);
    for (const std::string& file : {dir.File("empty.sqlite3"), ninety}) {
      pid_t pid = -1;
      Run({QV_QUORVANE_BINARY},
          {"QUORVANE_HISTORY=" + file, "QUORVANE_REGISTRY=" + dir.File("mem-registry.sqlite3")}, nullptr,
          &pid, 8000);
      std::printf("   %-6s history: VmRSS %ld kB, VmHWM %ld kB\n", file == ninety ? "90-day" : "empty",
                  StatusKb(pid, "VmRSS:"), StatusKb(pid, "VmHWM:"));
      kill(pid, SIGTERM);
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }
  return 0;
}
