#include <chrono>
#include <cstring>
#include <thread>

#include "AppFixture.h"
#include "platform/Services.h"
#include "toolkit/Thread.h"
#include "worker/easythrd.h"

namespace qv::testing {

AppFixture::AppFixture() {
  system.executablePath = dir.File("quorvane");
  platform::Services& s = platform::Current();
  s = platform::Services{};
  s.loop = &loop;
  s.dialogs = &dialogs;
  s.registry = &registry;
  s.files = &files;
  s.locale = &locale;
  s.system = &system;
  s.icmp = &icmp;
  s.resolver = &resolver;
  s.sounds = &sounds;
  s.desktop = &desktop;
  s.launcher = &launcher;
  s.tray = &tray;
  app = std::make_unique<TApplication>();
  app->Initialize();
  app->SetTitle("Quorvane");
}

AppFixture::~AppFixture() {
  form.reset();
  app.reset();
  platform::Current() = platform::Services{};
}

TForm1& AppFixture::Start() {
  form = std::make_unique<TForm1>(nullptr);
  SettleLogRead();
  return *form;
}

void AppFixture::SettleLogRead() {
  for (int i = 0; i < 600 && form->WatchedLogReading(); ++i) loop.WaitForPosts(100);
  ASSERT_FALSE(form->WatchedLogReading());
}

std::string AppFixture::SettingKey(const std::string& name) {
  return "Software\\Marrowfield\\Quorvane\\tester\\" + name;
}

void AppFixture::SeedInteger(const std::string& name, std::int32_t value) {
  std::vector<std::uint8_t> data(4);
  std::memcpy(data.data(), &value, 4);
  registry.Plant(platform::kHkeyLocalMachine, SettingKey(name), name, platform::kRegDword, data);
}

void AppFixture::SeedString(const std::string& name, const std::string& value) {
  registry.Plant(platform::kHkeyLocalMachine, SettingKey(name), name, platform::kRegSz,
                 std::vector<std::uint8_t>(value.begin(), value.end()));
}

void AppFixture::SeedEmptyKey(const std::string& name) {
  platform::HKey key = 0;
  ASSERT_EQ(registry.CreateKey(platform::kHkeyLocalMachine, SettingKey(name), &key), platform::kErrorSuccess);
  registry.CloseKey(key);
}

std::optional<std::int32_t> AppFixture::StoredInteger(const std::string& name) {
  auto v = registry.Peek(platform::kHkeyLocalMachine, SettingKey(name), name);
  if (!v || v->type != platform::kRegDword || v->data.size() != 4) return std::nullopt;
  std::int32_t out = 0;
  std::memcpy(&out, v->data.data(), 4);
  return out;
}

std::optional<std::string> AppFixture::StoredString(const std::string& name) {
  auto v = registry.Peek(platform::kHkeyLocalMachine, SettingKey(name), name);
  if (!v || v->type != platform::kRegSz) return std::nullopt;
  return std::string(v->data.begin(), v->data.end());
}

void AppFixture::FinishCycle() {
  for (int i = 0; i < 500 && form->NorvikEasyThread1->Active(); ++i) loop.WaitForPosts(10);
  ASSERT_FALSE(form->NorvikEasyThread1->Active()) << "the echo cycle did not end";
  // The worker frees itself after its last step on the GUI thread: nothing of
  // it may still run when the test goes on and tears the window down.
  for (int i = 0; i < 500 && TThread::Alive() > 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  ASSERT_EQ(TThread::Alive(), 0) << "the echo worker did not go";
}

std::vector<std::string> AppFixture::ListLines() const {
  std::vector<std::string> out;
  if (!form) return out;
  for (int i = 0; i < form->ListBox1->Items().Count(); ++i) out.push_back(form->ListBox1->Items().Strings(i));
  return out;
}

int AppFixture::Count(const std::string& message) const {
  int n = 0;
  for (const auto& m : Messages()) n += m == message;
  return n;
}

std::vector<std::string> AppFixture::Messages() const {
  std::vector<std::string> out;
  for (const std::string& line : ListLines()) {
    const size_t at = line.find("   ");
    out.push_back(at == std::string::npos ? line : line.substr(at + 3));
  }
  return out;
}

}  // namespace qv::testing
