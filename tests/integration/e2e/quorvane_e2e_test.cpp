// The real program under X: first start, saving with the real "Watch" button, a
// second start that loads what was saved, a registry file that cannot be
// written, and the confirmed shutdown.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <unistd.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "E2EFixture.h"
#include "platform/RegistryStore.h"
#include "platform/linux/SqliteRegistryStore.h"

namespace qv::testing {
namespace {

constexpr int kWatchX = 51 + 23, kWatchY = 274 + 23;
constexpr int kSettingsX = 51 + 23, kSettingsY = 218 + 23;
constexpr int kCloseX = 712 + 18, kCloseY = 57 + 18;
// The ping interval field: panel 122,154 + sub-panel 20,38 + field 480,98.
constexpr int kIntervalX = 122 + 20 + 480 + 20, kIntervalY = 154 + 38 + 98 + 10;

// Real echoes to the loopback address: the first reply is logged as the
// connection coming up.
TEST_F(QuorvaneE2E, PingingTheLoopbackAddressLogsTheConnection) {
  const std::string address = "127.0.0.1";
  Seed("URL", platform::kRegSz, std::vector<std::uint8_t>(address.begin(), address.end()));
  Seed("PingActive", platform::kRegDword, {1, 0, 0, 0});
  ProgramRun run(dir, registryFile);
  ASSERT_FALSE(run.WaitForWindow(15000).empty());
  bool detected = false;
  for (int i = 0; i < 100 && !detected; ++i) {
    detected = Log().find("   \xA9\xAE Connection to the INTERNET detected\r\n") != std::string::npos;
    if (!detected) ::usleep(100000);
  }
  EXPECT_TRUE(detected) << Log();
}

TEST_F(QuorvaneE2E, FirstStartSaveAndSecondStart) {
  dir.WriteFile("quorvane.log", "a line of an earlier run\r\n");
  {
    ProgramRun run(dir, registryFile);
    ASSERT_FALSE(run.WaitForWindow(15000).empty()) << "the window did not appear";
    const std::string log = Log();
    EXPECT_EQ(log.find("earlier run"), std::string::npos);
    EXPECT_NE(log.find("   Changed Ping Timer to 1000\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   Quorvane Rel. 3.6 started\r\n"), std::string::npos) << log;
    EXPECT_NE(log.find("   File to monitor not found (c:\\program files\\dcplus\\logs\\downloads.log)\r\n"),
              std::string::npos)
        << log;
    // Settings, a new ping interval, then "Watch".
    run.Click(kSettingsX, kSettingsY);
    run.Click(kIntervalX, kIntervalY);
    run.Key("ctrl+a");
    run.Type("7");
    run.Click(kWatchX, kWatchY);
    EXPECT_EQ(StoredIntegerSoon("pingintervaltime", 7), 7);
    EXPECT_EQ(StoredInteger("PingActive"), 0);
  }
  {
    ProgramRun again(dir, registryFile);
    ASSERT_FALSE(again.WaitForWindow(15000).empty());
    EXPECT_NE(Log().find("   Changed Ping Timer to 7000\r\n"), std::string::npos) << Log();
    // The "X" button asks; OK saves and ends the program.
    again.Click(kCloseX, kCloseY);
    ASSERT_TRUE(again.WaitForDialog("Sure you want to stop monitoring ?", 5000)) << again.Dialogs();
    again.Key("Return");
    EXPECT_EQ(again.WaitForExit(10000), 0);
  }
}

TEST_F(QuorvaneE2E, ReadOnlyRegistryShowsTheWriteFailureAndLosesNothing) {
  {
    platform::SqliteRegistryStore store(registryFile);
    const std::string login = RunCommand({"id", "-un"});
    const std::string user = login.substr(0, login.find('\n'));
    platform::HKey key = 0;
    ASSERT_EQ(store.CreateKey(platform::kHkeyLocalMachine,
                              "Software\\Marrowfield\\Quorvane\\" + user + "\\pingintervaltime", &key),
              platform::kErrorSuccess);
    const std::int32_t five = 5;
    std::vector<std::uint8_t> data(4);
    std::memcpy(data.data(), &five, 4);
    ASSERT_EQ(store.SetValue(key, "pingintervaltime", platform::kRegDword, data), platform::kErrorSuccess);
    store.CloseKey(key);
  }
  ::chmod(registryFile.c_str(), 0444);
  ProgramRun run(dir, registryFile);
  ASSERT_FALSE(run.WaitForWindow(15000).empty());
  EXPECT_NE(Log().find("   Changed Ping Timer to 5000\r\n"), std::string::npos) << Log();
  run.Click(kWatchX, kWatchY);
  ASSERT_TRUE(run.WaitForDialog("IRG0001 Code=0  Final Write access to registry failed", 5000))
      << run.Dialogs();
  run.Key("Return");
  run.Kill();
  ::chmod(registryFile.c_str(), 0600);
  EXPECT_EQ(StoredInteger("pingintervaltime"), 5);
}

}  // namespace
}  // namespace qv::testing
