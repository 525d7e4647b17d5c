// The registry object: root, current key and path resolution.
#include <gtest/gtest.h>

#include "platform/Services.h"
#include "platform/fake/MemoryRegistryStore.h"
#include "toolkit/Registry.h"

namespace qv {
namespace {

using platform::fake::MemoryRegistryStore;

TEST(TRegistryTest, RootChangeClosesTheCurrentKey) {
  MemoryRegistryStore store;
  TRegistry reg(&store);
  EXPECT_EQ(reg.RootKey(), platform::kHkeyCurrentUser);
  ASSERT_TRUE(reg.OpenKey("\\A", true));
  reg.SetRootKey(platform::kHkeyCurrentUser);
  EXPECT_NE(reg.CurrentKey(), 0u) << "the same root keeps the key";
  reg.SetRootKey(platform::kHkeyLocalMachine);
  EXPECT_EQ(reg.CurrentKey(), 0u);
  EXPECT_EQ(reg.CurrentPath(), "");
  EXPECT_EQ(store.OpenHandleCount(), 0);
  EXPECT_FALSE(reg.KeyExists("\\A")) << "A lies in the other hive";
}

TEST(TRegistryTest, PathsResolveFromRootOrCurrentKey) {
  MemoryRegistryStore store;
  TRegistry reg(&store);
  EXPECT_FALSE(reg.OpenKey("\\A\\B", false)) << "opening does not create";
  EXPECT_FALSE(store.HasKey(platform::kHkeyCurrentUser, "A"));
  ASSERT_TRUE(reg.OpenKey("\\A\\B", true));
  EXPECT_EQ(reg.CurrentPath(), "A\\B");
  ASSERT_TRUE(reg.OpenKey("C", true));
  EXPECT_EQ(reg.CurrentPath(), "A\\B\\C");
  EXPECT_TRUE(store.HasKey(platform::kHkeyCurrentUser, "A\\B\\C"));
  EXPECT_FALSE(store.HasKey(platform::kHkeyCurrentUser, "C"));
  EXPECT_EQ(store.OpenHandleCount(), 1) << "the previous key was closed";

  const HKey current = reg.CurrentKey();
  EXPECT_TRUE(reg.KeyExists("\\A\\B"));
  EXPECT_FALSE(reg.KeyExists("A")) << "relative to A\\B\\C";
  EXPECT_FALSE(reg.OpenKey("\\Missing", false));
  EXPECT_EQ(reg.CurrentKey(), current) << "checks and failures leave the current key";
  EXPECT_EQ(reg.CurrentPath(), "A\\B\\C");
  reg.CloseKey();
  ASSERT_TRUE(reg.OpenKey("A", false)) << "without a current key, relative means from the root";
  EXPECT_EQ(reg.CurrentPath(), "A");
}

TEST(TRegistryTest, ValueMessagesNameTheValue) {
  MemoryRegistryStore store;
  TRegistry reg(&store);
  auto message = [](auto&& call) {
    try {
      call();
    } catch (const ERegistryException& e) {
      return e.Message();
    }
    return std::string("no exception");
  };
  // No current key: every access fails.
  EXPECT_EQ(message([&] { reg.ReadInteger("n%s"); }), "Failed to get data for 'n%s'");
  EXPECT_EQ(message([&] { reg.WriteString("n", "x"); }), "Failed to set data for 'n'");
  EXPECT_EQ(reg.ReadString("n"), "");
  ASSERT_TRUE(reg.OpenKey("\\K", true));
  reg.WriteInteger("n", -2);
  EXPECT_EQ(store.Peek(platform::kHkeyCurrentUser, "K", "n")->data,
            (std::vector<std::uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(reg.ReadInteger("N"), -2);
}

TEST(TRegistryTest, WithoutAStoreEverythingIsMissing) {
  platform::Current().registry = nullptr;
  TRegistry reg;
  EXPECT_FALSE(reg.KeyExists("\\A"));
  EXPECT_FALSE(reg.OpenKey("\\A", true));
  EXPECT_THROW(reg.ReadInteger("n"), ERegistryException);
  EXPECT_THROW(reg.WriteInteger("n", 1), ERegistryException);
}

TEST(TRegistryTest, ProcessStoreIsTheDefaultAndFreeingClosesTheKey) {
  MemoryRegistryStore store;
  platform::Current().registry = &store;
  {
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKey("\\A", true));
    EXPECT_EQ(store.OpenHandleCount(), 1);
  }
  EXPECT_EQ(store.OpenHandleCount(), 0);
  platform::Current().registry = nullptr;
}

}  // namespace
}  // namespace qv
