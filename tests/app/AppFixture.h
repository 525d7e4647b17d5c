// Runs the main window on the test doubles: a virtual clock, scripted message
// boxes, an in-memory registry, a settable locale, and real files in a
// temporary directory that plays the executable's directory.
#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Unit1.h"
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
#include "settings/TessalyReg.h"
#include "toolkit/Application.h"
#include "widgets/explbtn.h"

namespace qv::testing {

class AppFixture : public ::testing::Test {
 protected:
  AppFixture();
  ~AppFixture() override;

  // Creates the main window (running FormCreate) and waits for the read of
  // the watched log that it starts.
  TForm1& Start();
  // Waits until the watched log is no longer read in the background, and
  // takes the result.
  void SettleLogRead();
  // The key of a setting for the test user.
  static std::string SettingKey(const std::string& name);
  void SeedInteger(const std::string& name, std::int32_t value);
  void SeedString(const std::string& name, const std::string& value);
  // A setting's key exists but holds no value of its name.
  void SeedEmptyKey(const std::string& name);
  std::optional<std::int32_t> StoredInteger(const std::string& name);
  std::optional<std::string> StoredString(const std::string& name);

  std::vector<std::string> ListLines() const;
  // The list lines without their time stamps.
  std::vector<std::string> Messages() const;
  // How many list lines carry this message.
  int Count(const std::string& message) const;
  // Runs the GUI side of the worker's echo cycle until it has ended.
  void FinishCycle();
  std::string SysLog() const { return dir.ReadFile("quorvane.log"); }

  platform::fake::SimulatedLoop loop;
  platform::fake::ScriptedDialogs dialogs;
  platform::fake::MemoryRegistryStore registry;
  platform::LinuxFileSystem files;
  platform::fake::FakeLocale locale;
  platform::fake::FakeSystemInfo system;
  platform::fake::FakeIcmp icmp;
  platform::fake::FakeResolver resolver;
  platform::fake::RecordingSound sounds;
  platform::fake::FakeDesktopWindows desktop;
  platform::fake::FakeLauncher launcher;
  platform::fake::FakeTray tray;
  platform::fake::TempDir dir;
  std::unique_ptr<TApplication> app;
  std::unique_ptr<TForm1> form;
};

}  // namespace qv::testing
