// The history file: records read back in order and by span, a process killed
// in the middle of a batch, damaged, foreign and read-only files, pruning.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "platform/fake/TempDir.h"
#include "platform/linux/SqliteHistoryStore.h"

namespace qv::platform {
namespace {

HistoryRecord Echo(std::int64_t wallMs, std::int32_t rtt, std::string subject = "127.0.0.1") {
  HistoryRecord r;
  r.run = 1;
  r.time = {wallMs, wallMs - 1'000'000, 0};
  r.roundTripMs = rtt;
  r.status = rtt < 0 ? 11010 : 0;
  r.subject = std::move(subject);
  return r;
}

std::vector<HistoryRecord> ReadAll(SqliteHistoryStore& store, std::int64_t from = 0,
                                   std::int64_t to = INT64_MAX) {
  std::vector<HistoryRecord> out;
  EXPECT_EQ(store.Read(from, to, [&](const HistoryRecord& r) { out.push_back(r); }), "");
  return out;
}

TEST(SqliteHistoryStore, RecordsComeBackInOrderAndBySpanAlsoAfterAClockSetBack) {
  fake::TempDir dir;
  const std::string path = dir.File("state/quorvane/history.sqlite3");
  SqliteHistoryStore store(path);
  ASSERT_EQ(store.Open(), "");
  struct stat st {};
  ASSERT_EQ(stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(store.BeginRun(1000), 1);
  std::vector<HistoryRecord> batch;
  for (int i = 0; i < 100; ++i) batch.push_back(Echo(10'000 + i * 1000, i % 7 == 0 ? -1 : i));
  batch[50].kind = HistoryKind::kManualStart;
  batch[50].subject = "/opt/caf\xE9 app --flag";  // bytes kept as they are
  // The clock set back by a minute for the last ten records.
  for (int i = 90; i < 100; ++i) batch[static_cast<std::size_t>(i)].time.wallMs -= 60'000;
  ASSERT_EQ(store.Append(batch), "");
  const auto all = ReadAll(store);
  ASSERT_EQ(all.size(), 100u);
  for (std::size_t i = 0; i < all.size(); ++i) {
    EXPECT_EQ(all[i].roundTripMs, batch[i].roundTripMs);
    EXPECT_EQ(all[i].time.monoMs, batch[i].time.monoMs);
    EXPECT_EQ(all[i].kind, batch[i].kind);
    EXPECT_EQ(all[i].subject, batch[i].subject);
  }
  // [20 s, 40 s): records 10..29 and, from the set-back stretch, none.
  const auto part = ReadAll(store, 20'000, 40'000);
  ASSERT_EQ(part.size(), 20u);
  EXPECT_EQ(part.front().time.wallMs, 20'000);
  EXPECT_EQ(part.back().time.wallMs, 39'000);
}

TEST(SqliteHistoryStore, AProcessKilledWhileWritingLeavesAFileWithAPrefixOfWholeBatches) {
  fake::TempDir dir;
  const std::string path = dir.File("history.sqlite3");
  constexpr int kBatch = 50;
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    SqliteHistoryStore store(path);
    if (!store.Open().empty()) _exit(3);
    store.BeginRun(1);
    for (int n = 0;; n += kBatch) {
      std::vector<HistoryRecord> batch;
      for (int i = 0; i < kBatch; ++i) batch.push_back(Echo(1000 + n + i, n + i));
      store.Append(batch);
    }
  }
  // Let it write for a while, then kill it wherever it is.
  for (int waited = 0; waited < 5000; waited += 20) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    struct stat st {};
    if (stat((path + "-wal").c_str(), &st) == 0 && st.st_size > 200'000) break;
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFSIGNALED(status));

  SqliteHistoryStore store(path);
  ASSERT_EQ(store.Open(), "");  // a quick check of the whole file passes
  const auto all = ReadAll(store);
  ASSERT_GT(all.size(), 0u);
  EXPECT_EQ(all.size() % kBatch, 0u);
  for (std::size_t i = 0; i < all.size(); ++i) ASSERT_EQ(all[i].roundTripMs, static_cast<std::int32_t>(i));
}

TEST(SqliteHistoryStore, DamagedAndForeignFilesAreReportedAndLeftAsTheyAre) {
  fake::TempDir dir;
  const std::string garbage(8192, 'x');
  const std::string damaged =
      dir.WriteFile("damaged.sqlite3", "SQLite format 3" + std::string(1, '\0') + garbage);
  SqliteHistoryStore a(damaged);
  const std::string error = a.Open();
  EXPECT_NE(error.find("History " + damaged + " cannot be opened"), std::string::npos) << error;
  EXPECT_EQ(dir.ReadFile("damaged.sqlite3"), "SQLite format 3" + std::string(1, '\0') + garbage);

  const std::string foreign = dir.File("foreign.sqlite3");
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(foreign.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "CREATE TABLE t(x); INSERT INTO t VALUES (1)", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  const std::string before = dir.ReadFile("foreign.sqlite3");
  SqliteHistoryStore b(foreign);
  EXPECT_NE(b.Open().find("a database of another kind"), std::string::npos);
  EXPECT_NE(b.OpenForReading().find("not a history"), std::string::npos);
  EXPECT_EQ(dir.ReadFile("foreign.sqlite3"), before);
}

TEST(SqliteHistoryStore, AReadOnlyFileIsReadButNeverWritten) {
  fake::TempDir dir;
  const std::string path = dir.File("history.sqlite3");
  {
    SqliteHistoryStore store(path);
    ASSERT_EQ(store.Open(), "");
    store.BeginRun(1);
    ASSERT_EQ(store.Append({Echo(5000, 3)}), "");
  }
  chmod(path.c_str(), 0444);
  const std::string before = dir.ReadFile("history.sqlite3");
  SqliteHistoryStore store(path);
  ASSERT_EQ(store.Open(), "");
  EXPECT_FALSE(store.Writable());
  EXPECT_EQ(store.BeginRun(2), 0);
  EXPECT_NE(store.Append({Echo(6000, 3)}), "");
  EXPECT_EQ(ReadAll(store).size(), 1u);
  store.Close();
  EXPECT_EQ(dir.ReadFile("history.sqlite3"), before);
}

TEST(SqliteHistoryStore, PruningTakesTheOldestFirstAFewAtATime) {
  fake::TempDir dir;
  SqliteHistoryStore store(dir.File("history.sqlite3"));
  ASSERT_EQ(store.Open(), "");
  std::vector<HistoryRecord> batch;
  for (int i = 0; i < 5000; ++i) batch.push_back(Echo(i * 1000, i));
  ASSERT_EQ(store.Append(batch), "");
  EXPECT_EQ(store.Prune(100'000, INT64_MAX, 40), 40);   // old ones, 40 at most
  EXPECT_EQ(store.Prune(100'000, INT64_MAX, 400), 60);  // only those older than 100 s
  EXPECT_EQ(store.Prune(100'000, INT64_MAX, 400), 0);
  const std::int64_t size = store.SizeBytes();
  EXPECT_GT(size, 0);
  EXPECT_EQ(store.Prune(0, size / 2, 1000), 1000);  // over the size: the oldest, whatever their age
  EXPECT_LT(store.SizeBytes(), size);
  EXPECT_EQ(ReadAll(store).front().roundTripMs, 1100);
}

}  // namespace
}  // namespace qv::platform
