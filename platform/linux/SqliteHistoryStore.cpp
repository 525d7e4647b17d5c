#include "platform/linux/SqliteHistoryStore.h"

#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <utility>

#include "platform/linux/SqliteSupport.h"

namespace qv::platform {

namespace {

using sqlite::Statement;

// Pages are handed back to the file system by incremental vacuum, so the
// file shrinks as old records go; it must be chosen before the first table.
constexpr const char* kSchema = R"sql(
CREATE TABLE runs(
  id INTEGER PRIMARY KEY,
  started_ms INTEGER NOT NULL);
CREATE TABLE subjects(
  id INTEGER PRIMARY KEY,
  text TEXT NOT NULL UNIQUE);
CREATE TABLE records(
  id INTEGER PRIMARY KEY,
  run INTEGER NOT NULL,
  kind INTEGER NOT NULL,
  wall_ms INTEGER NOT NULL,
  mono_ms INTEGER NOT NULL,
  suspend_ms INTEGER NOT NULL,
  subject INTEGER NOT NULL,
  status INTEGER NOT NULL,
  rtt_ms INTEGER);
CREATE VIEW timeline AS
  SELECT r.id, r.run,
         CASE r.kind WHEN 0 THEN 'echo' WHEN 1 THEN 'automatic start'
                     WHEN 2 THEN 'manual start' WHEN 3 THEN 'log change' END AS kind,
         strftime('%Y-%m-%dT%H:%M:%fZ', r.wall_ms / 1000.0, 'unixepoch') AS time,
         s.text AS subject, r.status, r.rtt_ms
  FROM records r JOIN subjects s ON s.id = r.subject;
)sql";

constexpr int kPagesReleasedPerPrune = 256;

std::string HomeDirectory() {
  if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0') return env;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return {};
}

}  // namespace

SqliteHistoryStore::SqliteHistoryStore(std::string path) : path_(std::move(path)) {}

SqliteHistoryStore::~SqliteHistoryStore() {
  Close();
}

std::string SqliteHistoryStore::DefaultPath() {
  const char* named = std::getenv("QUORVANE_HISTORY");
  if (named != nullptr && named[0] == '/') return named;
  // Relative values of the XDG variable are to be ignored.
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state != nullptr && state[0] == '/') return std::string(state) + "/quorvane/history.sqlite3";
  const std::string home = HomeDirectory();
  if (home.empty()) return {};
  return home + "/.local/state/quorvane/history.sqlite3";
}

bool SqliteHistoryStore::EnabledByEnvironment() {
  const char* named = std::getenv("QUORVANE_HISTORY");
  return named == nullptr || std::string(named) != "off";
}

std::string SqliteHistoryStore::Failure(const char* what) {
  std::string reason = what;
  if (db_ != nullptr) reason += std::string(": ") + sqlite3_errmsg(db_);
  return reason;
}

std::string SqliteHistoryStore::Open() {
  if (db_ != nullptr) return {};
  std::string reason = sqlite::OpenStoreFile(path_, true, &read_only_, &db_);
  if (reason.empty()) reason = PrepareSchema();
  if (reason.empty()) return {};
  Close();
  return "History " + path_ + " cannot be opened: " + reason;
}

std::string SqliteHistoryStore::OpenForReading() {
  if (db_ != nullptr) return {};
  std::string reason = sqlite::OpenStoreFile(path_, false, &read_only_, &db_);
  if (reason.empty() &&
      sqlite::QueryInt(db_, "PRAGMA application_id", -1) != static_cast<sqlite3_int64>(kApplicationId))
    reason = sqlite::QueryInt(db_, "PRAGMA application_id", -1) == -1 ? Failure("cannot read it")
                                                                      : "the file is not a history";
  if (reason.empty()) return {};
  Close();
  return "History " + path_ + " cannot be read: " + reason;
}

std::string SqliteHistoryStore::PrepareSchema() {
  bool empty = false;
  if (std::string error = sqlite::CheckOwnDatabase(db_, kApplicationId, kFormatVersion, &empty);
      !error.empty())
    return error;
  if (read_only_) return empty ? "it is empty and may not be written" : std::string();

  // Each batch is one transaction in the write-ahead log: a killed process
  // loses at most the batch it was writing, and readers never wait for it.
  sqlite3_exec(db_, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
  sqlite3_exec(db_, "PRAGMA synchronous=NORMAL", nullptr, nullptr, nullptr);
  if (!empty) return {};
  // Before the first table, or it cannot be switched on without a full vacuum.
  sqlite3_exec(db_, "PRAGMA auto_vacuum=INCREMENTAL", nullptr, nullptr, nullptr);
  return sqlite::CreateSchema(db_, kSchema, kApplicationId, kFormatVersion);
}

void SqliteHistoryStore::Close() {
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
  read_only_ = false;
}

std::int64_t SqliteHistoryStore::BeginRun(std::int64_t wallMs) {
  if (!Writable()) return 0;
  Statement insert(db_, "INSERT INTO runs(started_ms) VALUES (?1)");
  if (insert.Int(1, wallMs).Run() != SQLITE_OK) return 0;
  return sqlite3_last_insert_rowid(db_);
}

std::int64_t SqliteHistoryStore::SubjectId(const std::string& subject) {
  Statement find(db_, "SELECT id FROM subjects WHERE text = ?1");
  if (find.Bytes(1, subject).Step() == SQLITE_ROW) return find.ColumnInt(0);
  Statement insert(db_, "INSERT INTO subjects(text) VALUES (?1)");
  if (insert.Bytes(1, subject).Run() != SQLITE_OK) return -1;
  return sqlite3_last_insert_rowid(db_);
}

std::string SqliteHistoryStore::Append(const std::vector<HistoryRecord>& records) {
  if (!Writable()) return "the history is not open for writing";
  if (sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK)
    return Failure("cannot begin a batch");
  Statement insert(db_,
                   "INSERT INTO records(run, kind, wall_ms, mono_ms, suspend_ms, subject, status, rtt_ms) "
                   "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
  std::map<std::string, std::int64_t> subjects;
  std::string error;
  for (const HistoryRecord& r : records) {
    auto known = subjects.find(r.subject);
    if (known == subjects.end()) known = subjects.emplace(r.subject, SubjectId(r.subject)).first;
    if (known->second < 0) {
      error = Failure("cannot write a subject");
      break;
    }
    insert.Int(1, r.run)
        .Int(2, static_cast<sqlite3_int64>(r.kind))
        .Int(3, r.time.wallMs)
        .Int(4, r.time.monoMs)
        .Int(5, r.time.suspendMs)
        .Int(6, known->second)
        .Int(7, r.status);
    if (r.roundTripMs >= 0)
      insert.Int(8, r.roundTripMs);
    else
      insert.Null(8);
    if (insert.Run() != SQLITE_OK) {
      error = Failure("cannot write a record");
      break;
    }
    insert.Reset();
  }
  if (error.empty() && sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
    error = Failure("cannot commit a batch");
  if (!error.empty()) sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
  return error;
}

std::int64_t SqliteHistoryStore::FirstIdAtOrAfter(std::int64_t wallMs) {
  std::int64_t lo = sqlite::QueryInt(db_, "SELECT ifnull(min(id), 1) FROM records", 1);
  std::int64_t hi = sqlite::QueryInt(db_, "SELECT ifnull(max(id), 0) FROM records", 0) + 1;
  Statement probe(db_, "SELECT id, wall_ms FROM records WHERE id >= ?1 ORDER BY id LIMIT 1");
  while (lo < hi) {
    const std::int64_t mid = lo + (hi - lo) / 2;
    probe.Int(1, mid);
    if (probe.Step() != SQLITE_ROW) {
      hi = mid;
    } else if (probe.ColumnInt(1) < wallMs) {
      lo = probe.ColumnInt(0) + 1;
    } else {
      hi = mid;
    }
    probe.Reset();
  }
  return lo;
}

std::string SqliteHistoryStore::Read(std::int64_t fromMs, std::int64_t toMs,
                                     const std::function<void(const HistoryRecord&)>& visit) {
  if (db_ == nullptr) return "the history is not open";
  // One read transaction: the writer may go on, this sees one state.
  if (sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) return Failure("cannot read");
  std::map<std::int64_t, std::string> subjects;
  {
    Statement all(db_, "SELECT id, text FROM subjects");
    while (all.Step() == SQLITE_ROW) subjects[all.ColumnInt(0)] = all.ColumnText(1);
  }
  // The ends are found on the time order of the ids; around a clock set back
  // the wall-time filter below keeps the span exact on the records it sees.
  const std::int64_t first = FirstIdAtOrAfter(fromMs);
  const std::int64_t last = FirstIdAtOrAfter(toMs);
  Statement scan(db_,
                 "SELECT run, kind, wall_ms, mono_ms, suspend_ms, subject, status, rtt_ms FROM records "
                 "WHERE id >= ?1 AND id < ?2 ORDER BY id");
  scan.Int(1, first).Int(2, last);
  HistoryRecord record;
  int rc;
  while ((rc = scan.Step()) == SQLITE_ROW) {
    record.time.wallMs = scan.ColumnInt(2);
    if (record.time.wallMs < fromMs || record.time.wallMs >= toMs) continue;
    record.run = scan.ColumnInt(0);
    record.kind = static_cast<HistoryKind>(scan.ColumnInt(1));
    record.time.monoMs = scan.ColumnInt(3);
    record.time.suspendMs = scan.ColumnInt(4);
    const auto subject = subjects.find(scan.ColumnInt(5));
    if (subject != subjects.end())
      record.subject = subject->second;
    else
      record.subject.clear();
    record.status = static_cast<std::int32_t>(scan.ColumnInt(6));
    record.roundTripMs = scan.ColumnIsNull(7) ? -1 : static_cast<std::int32_t>(scan.ColumnInt(7));
    visit(record);
  }
  std::string error = rc == SQLITE_DONE ? std::string() : Failure("cannot read the records");
  sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  return error;
}

std::int64_t SqliteHistoryStore::SizeBytes() {
  if (db_ == nullptr) return 0;
  const auto pages = sqlite::QueryInt(db_, "PRAGMA page_count", 0);
  const auto free = sqlite::QueryInt(db_, "PRAGMA freelist_count", 0);
  return (pages - free) * sqlite::QueryInt(db_, "PRAGMA page_size", 0);
}

std::int64_t SqliteHistoryStore::Prune(std::int64_t keepFromMs, std::int64_t maxBytes, int maxRecords) {
  if (!Writable() || maxRecords <= 0) return 0;
  const bool oversize = SizeBytes() > maxBytes;
  Statement remove(db_,
                   "DELETE FROM records WHERE id < (SELECT min(id) FROM records) + ?1 "
                   "AND (?2 OR wall_ms < ?3)");
  remove.Int(1, maxRecords).Int(2, oversize ? 1 : 0).Int(3, keepFromMs);
  if (remove.Run() != SQLITE_OK) return 0;
  const std::int64_t removed = sqlite3_changes64(db_);
  // A few free pages at a time go back to the file system.
  const std::string vacuum = "PRAGMA incremental_vacuum(" + std::to_string(kPagesReleasedPerPrune) + ")";
  sqlite3_exec(db_, vacuum.c_str(), nullptr, nullptr, nullptr);
  return removed;
}

}  // namespace qv::platform
