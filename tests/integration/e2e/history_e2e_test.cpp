// The real program keeps its connection history: pinging 127.0.0.1 for a few
// seconds, then `--report` in every format; and the same in a private network
// whose loopback drops every echo.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "ProgramRun.h"
#include "platform/RegistryStore.h"
#include "platform/linux/SqliteRegistryStore.h"

extern char** environ;

namespace qv::testing {
namespace {

// Sets a setting of the current user in the registry file.
void Seed(const std::string& file, const std::string& name, platform::RegType type,
          const std::vector<std::uint8_t>& data) {
  platform::SqliteRegistryStore store(file);
  const std::string login = RunCommand({"id", "-un"});
  platform::HKey key = 0;
  ASSERT_EQ(store.CreateKey(
                platform::kHkeyLocalMachine,
                "Software\\Marrowfield\\Quorvane\\" + login.substr(0, login.find('\n')) + "\\" + name, &key),
            platform::kErrorSuccess);
  ASSERT_EQ(store.SetValue(key, name, type, data), platform::kErrorSuccess);
  store.CloseKey(key);
}

class HistoryE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "no X display (run under xvfb-run)";
    exe = dir.File("quorvane");
    std::filesystem::copy_file(QV_QUORVANE_BINARY, exe);
    registry = dir.File("registry.sqlite3");
    history = dir.File("state/history.sqlite3");
    Seed(registry, "URL", platform::kRegSz, {'1', '2', '7', '.', '0', '.', '0', '.', '1'});
    Seed(registry, "PingActive", platform::kRegDword, {1, 0, 0, 0});
    Seed(registry, "pingintervaltime", platform::kRegDword, {1, 0, 0, 0});
  }
  void TearDown() override {
    if (pid > 0) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
    }
  }

  // Starts the program (through `wrapper`, a shell line that ends in
  // exec "$0", when given) and kills it after `ms`, as a user's session ends.
  void RunFor(int ms, const std::string& wrapper = {}) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e)
      if (std::strncmp(*e, "QUORVANE_", 9) != 0 && std::strncmp(*e, "HOME=", 5) != 0) env.push_back(*e);
    env.push_back("QUORVANE_REGISTRY=" + registry);
    env.push_back("QUORVANE_HISTORY=" + history);
    env.push_back("HOME=" + dir.Path());
    std::vector<char*> envp;
    for (auto& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::vector<std::string> args = {exe};
    if (!wrapper.empty()) args = {"/usr/bin/unshare", "-n", "/bin/sh", "-c", wrapper, exe};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), envp.data()), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
  }

  std::string Report(std::vector<std::string> options, int* status = nullptr) {
    std::vector<std::string> argv = {"/usr/bin/env", "QUORVANE_HISTORY=" + history, exe, "--report"};
    argv.insert(argv.end(), options.begin(), options.end());
    return RunCommand(argv, status);
  }

  platform::fake::TempDir dir;
  std::string exe, registry, history;
  pid_t pid = -1;
};

TEST_F(HistoryE2E, PingingLoopbackGivesCyclesWithoutLossInEveryFormat) {
  RunFor(4500);
  int status = -1;
  const std::string json = Report({"--since", "1h", "--format", "json"}, &status);
  ASSERT_EQ(status, 0) << json;
  EXPECT_NE(json.find("\"loss_percent\": 0.000"), std::string::npos) << json;
  EXPECT_NE(json.find("\"outage_count\": 0"), std::string::npos) << json;
  const auto at = json.find("\"cycles\": ");
  ASSERT_NE(at, std::string::npos);
  EXPECT_GE(std::atoi(json.c_str() + at + 10), 2) << json;
  EXPECT_NE(json.find("\"destinations\": [\"127.0.0.1\"]"), std::string::npos);

  const std::string text = Report({}, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(text.find("Loss:            0.00 %"), std::string::npos) << text;
  const std::string csv = Report({"--format", "csv"}, &status);
  EXPECT_NE(csv.find(",echo,127.0.0.1,0,"), std::string::npos) << csv;

  const std::string png = dir.File("chart.png");
  Report({"--format", "png", "--output", png}, &status);
  ASSERT_EQ(status, 0);
  const std::string size = RunCommand({"identify", "-format", "%w %h", png});
  EXPECT_EQ(size, "1600 600");
  // The trace's colour is in the picture.
  const std::string colours = RunCommand({"convert", png, "-format", "%c", "histogram:info:-"});
  EXPECT_NE(colours.find("#1050A0"), std::string::npos);
}

TEST_F(HistoryE2E, ALoopbackThatDropsEveryEchoGivesFullLossAndOneOpenOutage) {
  if (geteuid() != 0) GTEST_SKIP() << "a private network needs root";
  // Every cycle waits its 9 s: after 12 s one or two have failed.
  RunFor(12'500, "ip link set lo up && echo 1 > /proc/sys/net/ipv4/icmp_echo_ignore_all && exec \"$0\"");
  int status = -1;
  const std::string json = Report({"--since", "1h", "--format", "json"}, &status);
  ASSERT_EQ(status, 0) << json;
  EXPECT_NE(json.find("\"loss_percent\": 100.000"), std::string::npos) << json;
  EXPECT_NE(json.find("\"outage_count\": 1"), std::string::npos) << json;
  EXPECT_NE(json.find("\"end\": null"), std::string::npos) << json;
  EXPECT_NE(json.find("\"ended_by\": \"open\""), std::string::npos) << json;
}

}  // namespace
}  // namespace qv::testing
