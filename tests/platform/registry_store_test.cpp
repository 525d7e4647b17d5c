// The key, value and status rules that both settings stores share.
#include <gtest/gtest.h>

#include <memory>

#include "platform/fake/MemoryRegistryStore.h"
#include "platform/fake/TempDir.h"
#include "platform/linux/SqliteRegistryStore.h"

namespace qv::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct MemoryBackend {
  fake::MemoryRegistryStore store;
};

struct SqliteBackend {
  fake::TempDir dir;
  SqliteRegistryStore store{dir.File("registry.sqlite3")};
  SqliteBackend() { EXPECT_EQ(store.Open(), ""); }
};

template <typename Backend>
class RegistryStoreTest : public ::testing::Test {
 protected:
  IRegistryStore& store() { return backend_.store; }

  HKey Create(HKey parent, const std::string& path) {
    HKey key = 0;
    EXPECT_EQ(store().CreateKey(parent, path, &key), kErrorSuccess) << path;
    return key;
  }

  Backend backend_;
};

using Backends = ::testing::Types<MemoryBackend, SqliteBackend>;
TYPED_TEST_SUITE(RegistryStoreTest, Backends);

TYPED_TEST(RegistryStoreTest, CreateMakesEveryLevelAndOpenFindsOnlyExistingKeys) {
  IRegistryStore& s = this->store();
  HKey key = 0;
  EXPECT_EQ(s.OpenKey(kHkeyCurrentUser, "Software\\A", &key), kErrorFileNotFound);
  EXPECT_EQ(key, 0u);
  EXPECT_FALSE(s.KeyExists(kHkeyCurrentUser, "Software"));

  const HKey deep = this->Create(kHkeyCurrentUser, "Software\\A\\B\\C");
  EXPECT_NE(deep, 0u);
  for (const char* path : {"Software", "Software\\A", "Software\\A\\B", "software\\a\\B\\c\\"})
    EXPECT_TRUE(s.KeyExists(kHkeyCurrentUser, path)) << path;
  EXPECT_FALSE(s.KeyExists(kHkeyCurrentUser, "Software\\A\\B\\C\\D"));
  EXPECT_FALSE(s.KeyExists(kHkeyCurrentUser, "Software\\A\\BX"));
  EXPECT_FALSE(s.KeyExists(kHkeyLocalMachine, "Software")) << "hives are separate";
  EXPECT_TRUE(s.KeyExists(kHkeyLocalMachine, "")) << "a hive always exists";

  HKey again = 0;
  ASSERT_EQ(s.OpenKey(kHkeyCurrentUser, "SOFTWARE\\a", &again), kErrorSuccess);
  EXPECT_TRUE(s.KeyExists(again, "b\\c")) << "relative to an open key";
  EXPECT_EQ(s.CloseKey(again), kErrorSuccess);
  EXPECT_EQ(s.CloseKey(deep), kErrorSuccess);
}

TYPED_TEST(RegistryStoreTest, ValuesRoundTripByCaseInsensitiveName) {
  IRegistryStore& s = this->store();
  const HKey key = this->Create(kHkeyLocalMachine, "Software\\Q");
  const Bytes dword = {7, 0, 0, 0};
  const Bytes withZeros = {'a', 0, 'b', 0, 0xE9};
  ASSERT_EQ(s.SetValue(key, "Interval", kRegDword, dword), kErrorSuccess);
  ASSERT_EQ(s.SetValue(key, "Text", kRegSz, withZeros), kErrorSuccess);
  ASSERT_EQ(s.SetValue(key, "Empty", kRegSz, {}), kErrorSuccess);
  ASSERT_EQ(s.SetValue(key, "", kRegBinary, {1}), kErrorSuccess);

  RegValue v;
  ASSERT_EQ(s.QueryValue(key, "INTERVAL", &v), kErrorSuccess);
  EXPECT_EQ(v.type, kRegDword);
  EXPECT_EQ(v.data, dword);
  ASSERT_EQ(s.QueryValue(key, "text", &v), kErrorSuccess);
  EXPECT_EQ(v.data, withZeros);
  ASSERT_EQ(s.QueryValue(key, "Empty", &v), kErrorSuccess);
  EXPECT_EQ(v.type, kRegSz);
  EXPECT_TRUE(v.data.empty());
  ASSERT_EQ(s.QueryValue(key, "", &v), kErrorSuccess);
  EXPECT_EQ(v.type, kRegBinary);
  EXPECT_EQ(s.QueryValue(key, "Missing", &v), kErrorFileNotFound);

  // Replacing changes type and bytes; the value stays single.
  ASSERT_EQ(s.SetValue(key, "interval", kRegSz, {'x'}), kErrorSuccess);
  ASSERT_EQ(s.QueryValue(key, "Interval", &v), kErrorSuccess);
  EXPECT_EQ(v.type, kRegSz);
  EXPECT_EQ(v.data, Bytes{'x'});

  // A second handle to the same key sees the same values; values of the hive
  // itself are allowed.
  HKey other = 0;
  ASSERT_EQ(s.OpenKey(kHkeyLocalMachine, "software\\q", &other), kErrorSuccess);
  EXPECT_EQ(s.QueryValue(other, "TEXT", &v), kErrorSuccess);
  ASSERT_EQ(s.SetValue(kHkeyLocalMachine, "Top", kRegDword, dword), kErrorSuccess);
  EXPECT_EQ(s.QueryValue(kHkeyLocalMachine, "top", &v), kErrorSuccess);
  EXPECT_EQ(s.QueryValue(kHkeyCurrentUser, "top", &v), kErrorFileNotFound);
}

TYPED_TEST(RegistryStoreTest, LatinOneNamesAreKeptApart) {
  // Only ASCII letters fold: "\xC9" (E acute) and "\xE9" (e acute) are two names.
  IRegistryStore& s = this->store();
  const HKey key = this->Create(kHkeyCurrentUser, "Caf\xC9");
  ASSERT_EQ(s.SetValue(key, "\xC9t\xC9", kRegDword, {1, 0, 0, 0}), kErrorSuccess);
  ASSERT_EQ(s.SetValue(key, "\xE9t\xE9", kRegDword, {2, 0, 0, 0}), kErrorSuccess);
  RegValue v;
  ASSERT_EQ(s.QueryValue(key, "\xC9T\xC9", &v), kErrorSuccess);
  EXPECT_EQ(v.data[0], 1);
  ASSERT_EQ(s.QueryValue(key, "\xE9T\xE9", &v), kErrorSuccess);
  EXPECT_EQ(v.data[0], 2);
  EXPECT_TRUE(s.KeyExists(kHkeyCurrentUser, "CAF\xC9"));
  EXPECT_FALSE(s.KeyExists(kHkeyCurrentUser, "CAF\xE9"));
}

TYPED_TEST(RegistryStoreTest, BadHandlesAndPathsAreRefused) {
  IRegistryStore& s = this->store();
  HKey key = 0;
  RegValue v;
  EXPECT_EQ(s.OpenKey(12345, "A", &key), kErrorInvalidHandle);
  EXPECT_EQ(s.CreateKey(0, "A", &key), kErrorInvalidHandle);
  EXPECT_EQ(s.QueryValue(0, "A", &v), kErrorInvalidHandle);
  EXPECT_EQ(s.SetValue(0, "A", kRegSz, {}), kErrorInvalidHandle);
  EXPECT_EQ(s.CloseKey(4242), kErrorInvalidHandle);
  EXPECT_EQ(s.CloseKey(kHkeyCurrentUser), kErrorSuccess);
  EXPECT_EQ(s.CreateKey(kHkeyCurrentUser, "\\Software", &key), kErrorBadPathname);
  EXPECT_EQ(s.CreateKey(kHkeyCurrentUser, "Software\\\\A", &key), kErrorBadPathname);
  EXPECT_FALSE(s.KeyExists(kHkeyCurrentUser, "Software")) << "a refused path creates nothing";

  const HKey opened = this->Create(kHkeyCurrentUser, "A");
  ASSERT_EQ(s.CloseKey(opened), kErrorSuccess);
  EXPECT_EQ(s.CloseKey(opened), kErrorInvalidHandle) << "closed twice";
  EXPECT_EQ(s.QueryValue(opened, "x", &v), kErrorInvalidHandle);
}

// ---------------------------------------------------------------------------
// The double's own switches.

TEST(MemoryRegistryStoreTest, WriteFailureRefusesCreatingAndSettingButNotOpening) {
  fake::MemoryRegistryStore s;
  HKey key = 0;
  ASSERT_EQ(s.CreateKey(kHkeyLocalMachine, "Software\\Q", &key), kErrorSuccess);
  s.SetWriteFailure(kErrorAccessDenied);
  HKey other = 0;
  EXPECT_EQ(s.CreateKey(kHkeyLocalMachine, "Software\\Q\\New\\Deeper", &other), kErrorAccessDenied);
  EXPECT_FALSE(s.HasKey(kHkeyLocalMachine, "Software\\Q\\New"));
  EXPECT_EQ(s.CreateKey(kHkeyLocalMachine, "software\\q", &other), kErrorSuccess)
      << "an existing key needs no write";
  EXPECT_EQ(s.SetValue(key, "v", kRegDword, {1, 0, 0, 0}), kErrorAccessDenied);
  EXPECT_FALSE(s.Peek(kHkeyLocalMachine, "Software\\Q", "v"));
  s.SetWriteFailure(kErrorSuccess);
  EXPECT_EQ(s.SetValue(key, "v", kRegDword, {1, 0, 0, 0}), kErrorSuccess);
}

TEST(MemoryRegistryStoreTest, KeepsTheFirstSpellingAndCountsKeysAndHandles) {
  fake::MemoryRegistryStore s;
  HKey a = 0, b = 0;
  ASSERT_EQ(s.CreateKey(kHkeyUsers, "Alpha\\Beta", &a), kErrorSuccess);
  ASSERT_EQ(s.CreateKey(kHkeyUsers, "ALPHA\\BETA\\Gamma", &b), kErrorSuccess);
  ASSERT_EQ(s.SetValue(a, "Name", kRegSz, {}), kErrorSuccess);
  ASSERT_EQ(s.SetValue(a, "NAME", kRegSz, {'x'}), kErrorSuccess);
  EXPECT_EQ(s.StoredKeyName(kHkeyUsers, "alpha"), "Alpha");
  EXPECT_EQ(s.StoredKeyName(kHkeyUsers, "alpha\\beta\\gamma"), "Gamma");
  EXPECT_EQ(s.StoredValueName(kHkeyUsers, "alpha\\beta", "name"), "Name");
  EXPECT_EQ(s.KeyCount(), 3);
  EXPECT_EQ(s.OpenHandleCount(), 2);
  s.CloseKey(a);
  s.CloseKey(b);
  EXPECT_EQ(s.OpenHandleCount(), 0);
}

}  // namespace
}  // namespace qv::platform
