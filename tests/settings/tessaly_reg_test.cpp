// The settings component: key paths, streaming order, and the operations with
// their failures, on the in-memory store.
#include "settings/TessalyReg.h"

#include <gtest/gtest.h>

#include <memory>
#include <type_traits>

#include "platform/Services.h"
#include "platform/fake/FakeSystemInfo.h"
#include "platform/fake/MemoryRegistryStore.h"
#include "toolkit/Application.h"

namespace qv {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::kHkeyCurrentUser;
using platform::kHkeyLocalMachine;

// What a call gives: its result as text, or the message of what it raised.
template <typename Call>
std::string Outcome(Call&& call) {
  try {
    using Result = decltype(call());
    if constexpr (std::is_void_v<Result>) {
      call();
      return "no exception";
    } else if constexpr (std::is_integral_v<Result>) {
      return std::to_string(call());
    } else {
      return call();
    }
  } catch (const Exception& e) {
    return e.Message();
  }
}

class TessalyRegTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::Current().registry = &store;
    platform::Current().system = &system;
  }
  void TearDown() override { platform::Current() = platform::Services{}; }

  // Configured as the main window streams it, then opened.
  std::unique_ptr<TTessalyReg> MainWindowReg() {
    auto reg = std::make_unique<TTessalyReg>(nullptr);
    reg->BeginLoading();
    reg->SetApplication("Quorvane");
    reg->SetAutoUser(true);
    reg->SetCompany("Marrowfield");
    reg->SetGroup("Software");
    reg->SetRootKey(TRootKey::HKeyLocalMachine);
    reg->SetUser("Administrator");
    reg->EndLoading();
    reg->SetOpened(true);
    return reg;
  }
  static std::string Key(const std::string& name) {
    return "Software\\Marrowfield\\Quorvane\\tester\\" + name;
  }

  platform::fake::MemoryRegistryStore store;
  platform::fake::FakeSystemInfo system;
};

TEST_F(TessalyRegTest, DefaultsAndKeyPathAfterLoading) {
  TTessalyReg reg(nullptr);
  EXPECT_EQ(reg.Application(), "quorvane") << "the executable's name while no title is set";
  EXPECT_EQ(reg.Group(), "Software");
  EXPECT_EQ(reg.Company(), "Tessaly Software");
  EXPECT_EQ(reg.RootKey(), TRootKey::HKeyCurrentUser);
  EXPECT_EQ(reg.User(), "");
  EXPECT_FALSE(reg.AutoUser());
  EXPECT_FALSE(reg.Opened());
  EXPECT_EQ(reg.KeyPath(), "") << "not composed before loading";
  reg.BeginLoading();
  reg.EndLoading();
  EXPECT_EQ(reg.KeyPath(), "\\Software\\Tessaly Software\\quorvane\\");
  reg.SetUser("bob");
  EXPECT_EQ(reg.KeyPath(), "\\Software\\Tessaly Software\\quorvane\\bob\\");
  reg.SetUser("");
  EXPECT_EQ(reg.KeyPath(), "\\Software\\Tessaly Software\\quorvane\\");

  TTessalyReg designed(nullptr);
  designed.SetDesigning(true);
  designed.BeginLoading();
  designed.EndLoading();
  EXPECT_EQ(designed.KeyPath(), "");

  TApplication application;
  application.SetTitle("Watchdog");
  EXPECT_EQ(TTessalyReg(nullptr).Application(), "Watchdog");
}

TEST_F(TessalyRegTest, StreamingOrderLeavesTheLoginNameAsUser) {
  auto reg = MainWindowReg();
  EXPECT_EQ(reg->User(), "tester");
  EXPECT_EQ(reg->KeyPath(), "\\Software\\Marrowfield\\Quorvane\\tester\\");

  reg->SetAutoUser(true);  // unchanged: no effect
  reg->SetAutoUser(false);
  EXPECT_EQ(reg->User(), "tester") << "switching off keeps the login name";
  reg->SetUser("other");
  EXPECT_EQ(reg->KeyPath(), "\\Software\\Marrowfield\\Quorvane\\other\\");
  reg->SetAutoUser(false);
  EXPECT_EQ(reg->User(), "other");

  system.loginName = std::nullopt;
  reg->SetAutoUser(true);
  EXPECT_EQ(reg->User(), "Unknown");
  platform::Current().system = nullptr;
  reg->SetAutoUser(false);
  EXPECT_EQ(reg->User(), "Unknown");
}

TEST_F(TessalyRegTest, EmptyPathPartsAreRefused) {
  auto reg = MainWindowReg();
  const std::string path = reg->KeyPath();
  EXPECT_EQ(Outcome([&] { reg->SetApplication(""); }), "This property may not be empty");
  EXPECT_EQ(Outcome([&] { reg->SetCompany(""); }), "This property may not be empty");
  EXPECT_THROW(reg->SetGroup(""), ETessalyRegError);
  EXPECT_EQ(reg->Application(), "Quorvane");
  EXPECT_EQ(reg->Company(), "Marrowfield");
  EXPECT_EQ(reg->Group(), "Software");
  EXPECT_EQ(reg->KeyPath(), path);
}

TEST_F(TessalyRegTest, ClosedOrDesignedComponentDoesNotTouchTheStore) {
  TTessalyReg reg(nullptr);
  EXPECT_EQ(Outcome([&] { reg.ReadInteger("a"); }), "Registry not opened");
  EXPECT_EQ(Outcome([&] { reg.ReadString("a"); }), "Registry not opened");
  reg.WriteInteger("a", 1);
  reg.WriteString("b", "x");
  EXPECT_EQ(store.KeyCount(), 0);
  reg.SetDesigning(true);
  reg.SetOpened(true);
  EXPECT_TRUE(reg.Opened());
  EXPECT_EQ(Outcome([&] { reg.ReadInteger("a"); }), "Registry not opened");
}

TEST_F(TessalyRegTest, ReadsOfStoredData) {
  struct Case {
    const char* what;
    bool plant;  // else only the key exists
    platform::RegType type;
    Bytes data;
    std::string integer;  // result or message of ReadInteger
    std::string text;     // result or message of ReadString
  };
  const std::string n = "N";
  const Case cases[] = {
      {"key without value", false, platform::kRegNone, {}, "Failed to get data for 'N'", ""},
      {"dword", true, platform::kRegDword, {7, 0, 0, 0}, "7", "Invalid data type for 'N'"},
      {"negative dword",
       true,
       platform::kRegDword,
       {0xFE, 0xFF, 0xFF, 0xFF},
       "-2",
       "Invalid data type for 'N'"},
      {"sz without zero", true, platform::kRegSz, {'a', 'b', 'c'}, "Invalid data type for 'N'", "abc"},
      {"sz with zero", true, platform::kRegSz, {'a', 'b', 'c', 0}, "Invalid data type for 'N'", "abc"},
      {"expand sz cut at zero",
       true,
       platform::kRegExpandSz,
       {'a', 0, 'b'},
       "Invalid data type for 'N'",
       "a"},
      {"long sz", true, platform::kRegSz, {'h', 'e', 'l', 'l', 'o'}, "Failed to get data for 'N'", "hello"},
      {"8-byte binary", true, platform::kRegBinary, Bytes(8, 1), "Failed to get data for 'N'",
       "Invalid data type for 'N'"},
      {"empty binary", true, platform::kRegBinary, {}, "Invalid data type for 'N'", ""},
  };
  for (const Case& c : cases) {
    platform::fake::MemoryRegistryStore fresh;
    platform::Current().registry = &fresh;
    if (c.plant) {
      fresh.Plant(kHkeyLocalMachine, Key(n), n, c.type, c.data);
    } else {
      HKey key = 0;
      fresh.CreateKey(kHkeyLocalMachine, Key(n), &key);
      fresh.CloseKey(key);
    }
    auto reg = MainWindowReg();
    EXPECT_EQ(Outcome([&] { return reg->ReadInteger(n); }), c.integer) << c.what;
    EXPECT_EQ(Outcome([&] { return reg->ReadString(n); }), c.text) << c.what;
  }
}

TEST_F(TessalyRegTest, NeverWrittenSettingsReadAsZeroAndCreateNothing) {
  auto reg = MainWindowReg();
  EXPECT_EQ(reg->ReadInteger("pingintervaltime"), 0);
  EXPECT_EQ(reg->ReadString("URL"), "");
  EXPECT_EQ(store.KeyCount(), 0);
}

TEST_F(TessalyRegTest, WritesStoreOneKeyAndValuePerSetting) {
  auto reg = MainWindowReg();
  reg->WriteString("URL", "abc");
  reg->WriteString("log", "");
  reg->WriteInteger("interval", -1);
  const auto url = store.Peek(kHkeyLocalMachine, Key("URL"), "URL");
  ASSERT_TRUE(url);
  EXPECT_EQ(url->type, platform::kRegSz);
  EXPECT_EQ(url->data, (Bytes{'a', 'b', 'c'})) << "no closing zero";
  EXPECT_EQ(store.Peek(kHkeyLocalMachine, Key("log"), "log")->data.size(), 0u);
  EXPECT_EQ(reg->ReadString("log"), "");
  EXPECT_EQ(store.Peek(kHkeyLocalMachine, Key("interval"), "interval")->data,
            (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
  reg->WriteInteger("URL", 5);
  EXPECT_EQ(store.Peek(kHkeyLocalMachine, Key("URL"), "URL")->type, platform::kRegDword);
  EXPECT_EQ(reg->ReadInteger("URL"), 5);
}

TEST_F(TessalyRegTest, OpeningTwiceKeepsOneRegistryObject) {
  auto reg = MainWindowReg();
  reg->WriteInteger("a", 1);
  EXPECT_EQ(store.OpenHandleCount(), 1) << "the last key stays open between operations";
  reg->SetOpened(true);
  EXPECT_EQ(store.OpenHandleCount(), 1) << "a second object would have freed the first";
  reg->SetOpened(false);
  EXPECT_EQ(store.OpenHandleCount(), 0);
  reg->SetOpened(true);
  reg->WriteInteger("a", 2);
  reg.reset();
  EXPECT_EQ(store.OpenHandleCount(), 0) << "destruction frees the object";
}

TEST_F(TessalyRegTest, RootKeyMapsToItsHiveAtTheNextOpening) {
  for (int ordinal = 0; ordinal <= static_cast<int>(TRootKey::HKeyDynData); ++ordinal) {
    TTessalyReg reg(nullptr);
    reg.SetRootKey(static_cast<TRootKey>(ordinal));
    reg.SetApplication("App");
    reg.SetOpened(true);
    reg.WriteInteger("v", ordinal);
    EXPECT_TRUE(store.Peek(platform::kHiveHandles[ordinal], "Software\\Tessaly Software\\App\\v", "v"));
  }
  auto reg = MainWindowReg();
  reg->SetRootKey(TRootKey::HKeyCurrentUser);
  reg->WriteInteger("w", 1);
  EXPECT_TRUE(store.Peek(kHkeyLocalMachine, Key("w"), "w"));
  reg->SetOpened(false);
  reg->SetOpened(true);
  reg->WriteInteger("w", 2);
  EXPECT_TRUE(store.Peek(kHkeyCurrentUser, Key("w"), "w"));
}

TEST_F(TessalyRegTest, FailedWritesRaiseAndStoreNothingElsewhere) {
  auto reg = MainWindowReg();
  reg->WriteInteger("old", 1);  // leaves the key of "old" current
  store.SetWriteFailure(platform::kErrorAccessDenied);
  EXPECT_EQ(Outcome([&] { reg->WriteInteger("new", 2); }), "Failed to set data for 'new'");
  EXPECT_EQ(Outcome([&] { reg->WriteString("old", "x"); }), "Failed to set data for 'old'");
  EXPECT_FALSE(store.Peek(kHkeyLocalMachine, Key("old"), "new"));
  EXPECT_FALSE(store.HasKey(kHkeyLocalMachine, Key("new")));
  store.SetWriteFailure(platform::kErrorSuccess);
  // A name whose key cannot exist: the value must not land in the current key.
  EXPECT_EQ(Outcome([&] { reg->WriteInteger("a\\\\b", 4); }), "Failed to set data for 'a\\\\b'");
  EXPECT_FALSE(store.Peek(kHkeyLocalMachine, Key("old"), "a\\\\b"));
  EXPECT_TRUE(reg->Opened());
  reg->WriteInteger("new", 3);
  EXPECT_EQ(reg->ReadInteger("new"), 3);
  EXPECT_EQ(reg->ReadInteger("old"), 1);
}

}  // namespace
}  // namespace qv
