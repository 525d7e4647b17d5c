// What the end-to-end tests share: a folder of their own, the registry file
// in it, its log, and the settings seeded or read in the registry.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "ProgramRun.h"
#include "platform/RegistryStore.h"
#include "platform/linux/SqliteRegistryStore.h"

namespace qv::testing {

class QuorvaneE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveDisplay()) GTEST_SKIP() << "no X display (run under xvfb-run)";
    registryFile = dir.File("registry.sqlite3");
  }

  std::string Log() const { return dir.ReadFile("quorvane.log"); }

  // The stored value once it equals `expected`, or the last one read when
  // `timeoutMs` passes first (a loaded machine handles the click later).
  std::optional<std::int32_t> StoredIntegerSoon(const std::string& name, std::int32_t expected,
                                                int timeoutMs = 5000) {
    std::optional<std::int32_t> value;
    for (int waited = 0; waited <= timeoutMs; waited += 50) {
      value = StoredInteger(name);
      if (value == expected) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return value;
  }

  std::optional<std::int32_t> StoredInteger(const std::string& name) {
    platform::SqliteRegistryStore store(registryFile);
    const std::string login = RunCommand({"id", "-un"});
    const std::string user = login.substr(0, login.find('\n'));
    platform::HKey key = 0;
    const std::string path = "Software\\Marrowfield\\Quorvane\\" + user + "\\" + name;
    if (store.OpenKey(platform::kHkeyLocalMachine, path, &key) != platform::kErrorSuccess)
      return std::nullopt;
    platform::RegValue value;
    const auto status = store.QueryValue(key, name, &value);
    store.CloseKey(key);
    if (status != platform::kErrorSuccess || value.data.size() != 4) return std::nullopt;
    std::int32_t out;
    std::memcpy(&out, value.data.data(), 4);
    return out;
  }

  void Seed(const std::string& name, platform::RegType type, const std::vector<std::uint8_t>& data) {
    platform::SqliteRegistryStore store(registryFile);
    const std::string login = RunCommand({"id", "-un"});
    const std::string user = login.substr(0, login.find('\n'));
    platform::HKey key = 0;
    ASSERT_EQ(store.CreateKey(platform::kHkeyLocalMachine,
                              "Software\\Marrowfield\\Quorvane\\" + user + "\\" + name, &key),
              platform::kErrorSuccess);
    ASSERT_EQ(store.SetValue(key, name, type, data), platform::kErrorSuccess);
    store.CloseKey(key);
  }

  void SeedText(const std::string& name, const std::string& text) {
    Seed(name, platform::kRegSz, std::vector<std::uint8_t>(text.begin(), text.end()));
  }
  void SeedNumber(const std::string& name, std::int32_t value) {
    std::vector<std::uint8_t> data(4);
    std::memcpy(data.data(), &value, 4);
    Seed(name, platform::kRegDword, data);
  }
  // Waits (bounded) until `done` holds.
  static bool Soon(const std::function<bool()>& done, int timeoutMs = 10000) {
    for (int waited = 0; waited < timeoutMs; waited += 50) {
      if (done()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return done();
  }

  platform::fake::TempDir dir;
  std::string registryFile;
};

}  // namespace qv::testing
