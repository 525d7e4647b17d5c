// The database store as a file: where it lives, who may write it, what happens
// to files it cannot use, and what a killed writer leaves behind.
#include <fcntl.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <random>

#include "platform/fake/TempDir.h"
#include "platform/linux/SqliteRegistryStore.h"

namespace qv::platform {
namespace {

using Bytes = std::vector<std::uint8_t>;
using fake::TempDir;

// Sets or unsets environment variables for one test and restores them after.
class ScopedEnv {
 public:
  void Set(const char* name, const std::optional<std::string>& value) {
    const char* old = std::getenv(name);
    saved_.push_back({name, old ? std::optional<std::string>(old) : std::nullopt});
    if (value)
      setenv(name, value->c_str(), 1);
    else
      unsetenv(name);
  }
  ~ScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

mode_t ModeOf(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0;
}

bool Exists(const std::string& path) {
  return access(path.c_str(), F_OK) == 0;
}

void Exec(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
  char* error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
  sqlite3_free(error);
  sqlite3_close(db);
}

std::optional<RegValue> Read(IRegistryStore& store, HKey hive, const std::string& path,
                             const std::string& name) {
  HKey key = 0;
  if (store.OpenKey(hive, path, &key) != kErrorSuccess) return std::nullopt;
  RegValue value;
  const RegStatus status = store.QueryValue(key, name, &value);
  store.CloseKey(key);
  if (status != kErrorSuccess) return std::nullopt;
  return value;
}

RegStatus Write(IRegistryStore& store, HKey hive, const std::string& path, const std::string& name,
                RegType type, const Bytes& data) {
  HKey key = 0;
  if (const RegStatus status = store.CreateKey(hive, path, &key); status != kErrorSuccess) return status;
  const RegStatus status = store.SetValue(key, name, type, data);
  store.CloseKey(key);
  return status;
}

TEST(SqliteRegistryStoreTest, ValuesSurviveIntoAnotherStoreOnTheSameFile) {
  TempDir dir;
  const std::string path = dir.File("registry.sqlite3");
  SqliteRegistryStore writer(path);
  ASSERT_EQ(writer.Open(), "");
  ASSERT_EQ(
      Write(writer, kHkeyLocalMachine, "Software\\Q\\alice\\interval", "interval", kRegDword, {15, 0, 0, 0}),
      kErrorSuccess);
  SqliteRegistryStore reader(path);
  ASSERT_EQ(reader.Open(), "");
  auto v = Read(reader, kHkeyLocalMachine, "SOFTWARE\\q\\ALICE\\Interval", "INTERVAL");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->data, (Bytes{15, 0, 0, 0}));
  // A write by either is seen by the other at its next read.
  ASSERT_EQ(
      Write(reader, kHkeyLocalMachine, "Software\\Q\\alice\\interval", "interval", kRegDword, {16, 0, 0, 0}),
      kErrorSuccess);
  EXPECT_EQ(Read(writer, kHkeyLocalMachine, "Software\\Q\\alice\\interval", "interval")->data[0], 16);
  writer.Close();
  reader.Close();
  SqliteRegistryStore later(path);
  ASSERT_EQ(later.Open(), "");
  EXPECT_EQ(later.CheckIntegrity(), "ok");
  EXPECT_EQ(Read(later, kHkeyLocalMachine, "Software\\Q\\alice\\interval", "interval")->data[0], 16);
}

TEST(SqliteRegistryStoreTest, PathComesFromTheEnvironment) {
  TempDir dir;
  ScopedEnv env;
  env.Set("QUORVANE_REGISTRY", std::nullopt);
  env.Set("XDG_CONFIG_HOME", std::nullopt);
  env.Set("HOME", dir.Path());
  EXPECT_EQ(SqliteRegistryStore::DefaultPath(), dir.Path() + "/.config/quorvane/registry.sqlite3");
  env.Set("XDG_CONFIG_HOME", "relative/ignored");
  EXPECT_EQ(SqliteRegistryStore::DefaultPath(), dir.Path() + "/.config/quorvane/registry.sqlite3");
  env.Set("XDG_CONFIG_HOME", dir.File("cfg"));
  EXPECT_EQ(SqliteRegistryStore::DefaultPath(), dir.File("cfg") + "/quorvane/registry.sqlite3");
  env.Set("QUORVANE_REGISTRY", dir.File("named.db"));
  EXPECT_EQ(SqliteRegistryStore::DefaultPath(), dir.File("named.db"));

  // A store used without Open() opens its file at the first call.
  SqliteRegistryStore store;
  EXPECT_EQ(store.Path(), dir.File("named.db"));
  EXPECT_FALSE(Exists(dir.File("named.db")));
  EXPECT_FALSE(store.KeyExists(kHkeyCurrentUser, "x"));
  EXPECT_TRUE(store.IsOpen());
  EXPECT_TRUE(Exists(dir.File("named.db")));
}

TEST(SqliteRegistryStoreTest, CreatesPrivateDirectoriesAndFileWhateverTheUmask) {
  TempDir dir;
  const std::string path = dir.File("cfg/quorvane/registry.sqlite3");
  const mode_t oldMask = umask(0);  // SQLite alone would then make the file 0644
  SqliteRegistryStore store(path);
  const std::string error = store.Open();
  umask(oldMask);
  ASSERT_EQ(error, "");
  EXPECT_EQ(ModeOf(dir.File("cfg")), 0700u);
  EXPECT_EQ(ModeOf(dir.File("cfg/quorvane")), 0700u);
  EXPECT_EQ(ModeOf(path), 0600u);
  EXPECT_FALSE(store.IsReadOnly());
}

TEST(SqliteRegistryStoreTest, UnusableFilesAreReportedAndLeftUntouched) {
  TempDir dir;
  std::mt19937 random(20240611);
  std::string noise(8192, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string garbage = dir.WriteFile("garbage.sqlite3", noise);

  // A settings file with its second half cut off.
  const std::string cut = dir.File("cut.sqlite3");
  {
    SqliteRegistryStore store(cut);
    ASSERT_EQ(store.Open(), "");
    for (int i = 0; i < 40; ++i)
      Write(store, kHkeyCurrentUser, "K" + std::to_string(i), "v", kRegBinary, Bytes(900, 0x55));
  }
  const std::string whole = dir.ReadFile("cut.sqlite3");
  dir.WriteFile("cut.sqlite3", whole.substr(0, whole.size() / 4096 / 2 * 4096));

  const std::string foreign = dir.File("foreign.sqlite3");
  Exec(foreign, "CREATE TABLE accounts(id INTEGER PRIMARY KEY, owner TEXT)");
  const std::string newer = dir.File("newer.sqlite3");
  ASSERT_EQ(SqliteRegistryStore(newer).Open(), "");
  Exec(newer, "PRAGMA user_version=2");

  struct Case {
    std::string path;
    std::string reason;
  };
  for (const Case& c : {Case{garbage, "file is not a database"}, Case{cut, ""},
                        Case{foreign, "the file is a database of another kind"},
                        Case{newer, "it was written by a newer version"}}) {
    const std::string name = c.path.substr(dir.Path().size() + 1);
    const std::string before = dir.ReadFile(name);
    SqliteRegistryStore store(c.path);
    const std::string error = store.Open();
    const std::string prefix = "Settings store " + c.path + " cannot be opened: ";
    EXPECT_EQ(error.substr(0, prefix.size()), prefix) << error;
    if (!c.reason.empty()) {
      EXPECT_EQ(error.substr(prefix.size()), c.reason);
    }
    EXPECT_GT(error.size(), prefix.size());
    EXPECT_EQ(store.OpenError(), error);
    EXPECT_FALSE(store.IsOpen());
    // The store stays usable as an empty one that refuses every write.
    HKey key = 0;
    EXPECT_FALSE(store.KeyExists(kHkeyCurrentUser, "K1"));
    EXPECT_EQ(store.CreateKey(kHkeyCurrentUser, "New", &key), kErrorRegistryIoFailed);
    EXPECT_EQ(store.SetValue(kHkeyCurrentUser, "v", kRegSz, {}), kErrorRegistryIoFailed);
    EXPECT_EQ(dir.ReadFile(name), before) << name;
    EXPECT_FALSE(Exists(c.path + "-journal")) << name;
  }
}

TEST(SqliteRegistryStoreTest, FileWithoutWriteBitsRefusesWritesEvenToRoot) {
  TempDir dir;
  const std::string path = dir.File("registry.sqlite3");
  {
    SqliteRegistryStore store(path);
    ASSERT_EQ(store.Open(), "");
    ASSERT_EQ(Write(store, kHkeyLocalMachine, "Software\\Q", "v", kRegDword, {7, 0, 0, 0}), kErrorSuccess);
  }
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const std::string before = dir.ReadFile("registry.sqlite3");

  SqliteRegistryStore store(path);
  ASSERT_EQ(store.Open(), "");
  EXPECT_TRUE(store.IsReadOnly());
  EXPECT_EQ(Read(store, kHkeyLocalMachine, "Software\\Q", "v")->data[0], 7);
  HKey key = 0;
  EXPECT_EQ(store.CreateKey(kHkeyLocalMachine, "Software\\Q\\New", &key), kErrorAccessDenied);
  ASSERT_EQ(store.CreateKey(kHkeyLocalMachine, "Software\\Q", &key), kErrorSuccess)
      << "an existing key opens without writing";
  EXPECT_EQ(store.SetValue(key, "v", kRegDword, {8, 0, 0, 0}), kErrorAccessDenied);
  EXPECT_EQ(store.SetValue(key, "w", kRegDword, {8, 0, 0, 0}), kErrorAccessDenied);
  store.Close();
  EXPECT_EQ(dir.ReadFile("registry.sqlite3"), before);
  EXPECT_EQ(ModeOf(path), 0444u);

  // Made read-only while open: refused from the next write on.
  ASSERT_EQ(chmod(path.c_str(), 0600), 0);
  SqliteRegistryStore open(path);
  ASSERT_EQ(open.Open(), "");
  ASSERT_EQ(chmod(path.c_str(), 0400), 0);
  EXPECT_EQ(Write(open, kHkeyLocalMachine, "Software\\Q", "v", kRegDword, {9, 0, 0, 0}), kErrorAccessDenied);
  EXPECT_EQ(Read(open, kHkeyLocalMachine, "Software\\Q", "v")->data[0], 7);

  // An empty read-only file is an empty store and stays empty.
  const std::string empty = dir.WriteFile("empty.sqlite3", "");
  ASSERT_EQ(chmod(empty.c_str(), 0444), 0);
  SqliteRegistryStore blank(empty);
  ASSERT_EQ(blank.Open(), "");
  EXPECT_FALSE(blank.KeyExists(kHkeyLocalMachine, "Software"));
  EXPECT_EQ(Write(blank, kHkeyLocalMachine, "Software", "v", kRegSz, {}), kErrorAccessDenied);
  EXPECT_EQ(dir.ReadFile("empty.sqlite3"), "");
}

// The statements an administrator runs to deploy a setting (kept in step with
// the README): one deep key, its parents implied, and its value.
TEST(SqliteRegistryStoreTest, SeededSettingsReadBack) {
  TempDir dir;
  const std::string path = dir.File("registry.sqlite3");
  ASSERT_EQ(SqliteRegistryStore(path).Open(), "");
  Exec(path, R"sql(
BEGIN;
INSERT OR IGNORE INTO keys(hive, path, path_folded) VALUES ('HKEY_LOCAL_MACHINE',
  'Software\Marrowfield\Quorvane\alice\pingintervaltime',
  lower('Software\Marrowfield\Quorvane\alice\pingintervaltime'));
INSERT OR REPLACE INTO key_values(key_id, name, name_folded, type, data)
  SELECT id, 'pingintervaltime', lower('pingintervaltime'), 4, x'07000000' FROM keys
  WHERE hive = 'HKEY_LOCAL_MACHINE'
    AND path_folded = lower('Software\Marrowfield\Quorvane\alice\pingintervaltime');
INSERT OR IGNORE INTO keys(hive, path, path_folded) VALUES ('HKEY_LOCAL_MACHINE',
  'Software\Marrowfield\Quorvane\alice\URL', lower('Software\Marrowfield\Quorvane\alice\URL'));
INSERT OR REPLACE INTO key_values(key_id, name, name_folded, type, data)
  SELECT id, 'URL', lower('URL'), 1, CAST('127.0.0.1' AS BLOB) FROM keys
  WHERE hive = 'HKEY_LOCAL_MACHINE' AND path_folded = lower('Software\Marrowfield\Quorvane\alice\URL');
COMMIT;
)sql");
  SqliteRegistryStore store(path);
  ASSERT_EQ(store.Open(), "");
  EXPECT_TRUE(store.KeyExists(kHkeyLocalMachine, "Software\\Marrowfield"));
  EXPECT_FALSE(store.KeyExists(kHkeyLocalMachine, "Software\\Marrow"));
  auto v = Read(store, kHkeyLocalMachine, "Software\\Marrowfield\\Quorvane\\alice\\pingintervaltime",
                "pingintervaltime");
  ASSERT_TRUE(v);
  EXPECT_EQ(v->type, kRegDword);
  EXPECT_EQ(v->data, (Bytes{7, 0, 0, 0}));
  v = Read(store, kHkeyLocalMachine, "software\\marrowfield\\quorvane\\alice\\url", "url");
  ASSERT_TRUE(v);
  EXPECT_EQ(std::string(v->data.begin(), v->data.end()), "127.0.0.1");
  // A value set on a key that so far is only implied by a seeded one.
  EXPECT_EQ(Write(store, kHkeyLocalMachine, "Software\\Marrowfield\\Quorvane", "x", kRegSz, {'y'}),
            kErrorSuccess);
  EXPECT_EQ(store.CheckIntegrity(), "ok");
}

// ---------------------------------------------------------------------------
// A writer killed at random moments.

constexpr int kRounds = 200;
constexpr std::uint32_t kRoundStride = 1000000;
constexpr size_t kTextRepeats = 2000;  // about 20 KB: the value spans several pages

std::string TextFor(std::uint32_t n) {
  std::string unit = "n=" + std::to_string(n) + ";";
  std::string text;
  for (size_t i = 0; i < kTextRepeats; ++i) text += unit;
  return text;
}

Bytes DwordOf(std::uint32_t n) {
  return {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8), static_cast<std::uint8_t>(n >> 16),
          static_cast<std::uint8_t>(n >> 24)};
}

struct Report {
  std::uint8_t which;  // 0 the number, 1 the text, 2 the store is open
  std::uint32_t n;
};

[[noreturn]] void WriteForever(const std::string& path, int round, int reports) {
  SqliteRegistryStore store(path);
  if (!store.Open().empty()) _exit(3);
  HKey key = 0;
  if (store.CreateKey(kHkeyLocalMachine, "Software\\Crash", &key) != kErrorSuccess) _exit(4);
  const Report ready{2, 0};
  if (write(reports, &ready, sizeof ready) != sizeof ready) _exit(6);
  for (std::uint32_t n = static_cast<std::uint32_t>(round) * kRoundStride;; ++n) {
    if (store.SetValue(key, "number", kRegDword, DwordOf(n)) != kErrorSuccess) _exit(5);
    Report r{0, n};
    if (write(reports, &r, sizeof r) != sizeof r) _exit(6);
    const std::string text = TextFor(n);
    if (store.SetValue(key, "text", kRegSz, Bytes(text.begin(), text.end())) != kErrorSuccess) _exit(7);
    r.which = 1;
    if (write(reports, &r, sizeof r) != sizeof r) _exit(6);
  }
}

TEST(SqliteRegistryCrashTest, KilledWriterLeavesOldOrNewValue) {
  TempDir dir;
  const std::string path = dir.File("registry.sqlite3");
  std::mt19937 random(4711);
  std::uniform_int_distribution<int> delayUs(0, 3000);
  // Per value: what the file held after the previous round, or nothing yet.
  std::optional<std::uint32_t> held[2];
  int roundsWithWrites = 0;

  for (int round = 0; round < kRounds; ++round) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(fds[0]);
      WriteForever(path, round, fds[1]);
    }
    close(fds[1]);
    // Now and then while the store is still being opened (for the first writer
    // that includes making the tables), mostly after a few writes, so that
    // the kills fall among writes however fast the machine is.
    std::optional<std::uint32_t> committed[2];
    Report r{};
    const int mode = static_cast<int>(random() % 8);
    for (int seen = 0; mode > 0 && seen < mode; ++seen) {
      if (read(fds[0], &r, sizeof r) != sizeof r) break;
      if (r.which < 2) committed[r.which] = r.n;
    }
    usleep(static_cast<useconds_t>(delayUs(random)));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer failed with exit code " << WEXITSTATUS(status);

    while (read(fds[0], &r, sizeof r) == sizeof r)
      if (r.which < 2) committed[r.which] = r.n;
    close(fds[0]);
    if (committed[0]) ++roundsWithWrites;

    SqliteRegistryStore store(path);
    ASSERT_EQ(store.Open(), "") << "round " << round;
    ASSERT_EQ(store.CheckIntegrity(), "ok") << "round " << round;
    const std::uint32_t first = static_cast<std::uint32_t>(round) * kRoundStride;
    for (int which = 0; which < 2; ++which) {
      // Old: the last value committed (this round or before); new: the one in flight.
      const std::optional<std::uint32_t> old = committed[which] ? committed[which] : held[which];
      const std::uint32_t next = committed[which] ? *committed[which] + 1 : first;
      auto v = Read(store, kHkeyLocalMachine, "Software\\Crash", which == 0 ? "number" : "text");
      if (!v) {
        ASSERT_FALSE(old) << "round " << round << ": a committed value was lost";
        continue;
      }
      std::uint32_t n = 0;
      if (which == 0) {
        ASSERT_EQ(v->type, kRegDword);
        ASSERT_EQ(v->data.size(), 4u);
        n = v->data[0] | v->data[1] << 8 | v->data[2] << 16 | static_cast<std::uint32_t>(v->data[3]) << 24;
      } else {
        ASSERT_EQ(v->type, kRegSz);
        const std::string text(v->data.begin(), v->data.end());
        n = static_cast<std::uint32_t>(std::stoul(text.substr(2)));
        ASSERT_EQ(text, TextFor(n)) << "round " << round << ": torn text";
      }
      ASSERT_TRUE((old && n == *old) || n == next)
          << "round " << round << " value " << which << ": " << n << " is neither old nor new";
      held[which] = n;
    }
  }
  // Most kills must come while the writer is busy writing, not while it starts.
  EXPECT_GT(roundsWithWrites, kRounds / 2);
}

}  // namespace
}  // namespace qv::platform
