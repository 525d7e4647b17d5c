// The connection history in one SQLite file, $XDG_STATE_HOME/quorvane/
// history.sqlite3 (mode 0600). Records are appended in batches, one
// transaction each, with a write-ahead log: a process killed at any moment
// leaves a file that opens and holds every batch committed before. A file
// that is not a history of ours, or is damaged, is never rewritten or
// deleted: Open() reports it. A file without write permission bits is only
// read. Old records are pruned a few at a time and the freed pages handed
// back to the file system.
#pragma once

#include <string>

#include "platform/History.h"

struct sqlite3;

namespace qv::platform {

class SqliteHistoryStore : public IHistoryStore {
 public:
  // Written into the file header so that another program's database is never
  // mistaken for a history ("QVHS").
  static constexpr int kApplicationId = 0x51564853;
  static constexpr int kFormatVersion = 1;

  explicit SqliteHistoryStore(std::string path);
  ~SqliteHistoryStore() override;
  SqliteHistoryStore(const SqliteHistoryStore&) = delete;
  SqliteHistoryStore& operator=(const SqliteHistoryStore&) = delete;

  // $QUORVANE_HISTORY when it names a file (an absolute path), else
  // $XDG_STATE_HOME/quorvane/history.sqlite3, else
  // ~/.local/state/quorvane/history.sqlite3.
  static std::string DefaultPath();
  // False when $QUORVANE_HISTORY is "off".
  static bool EnabledByEnvironment();

  // Messages: "History <path> cannot be opened: <reason>".
  std::string Open() override;
  // Opens an existing file for reading only; never creates one.
  std::string OpenForReading();
  bool Writable() const override { return db_ != nullptr && !read_only_; }
  std::int64_t BeginRun(std::int64_t wallMs) override;
  std::string Append(const std::vector<HistoryRecord>& records) override;
  std::string Read(std::int64_t fromMs, std::int64_t toMs,
                   const std::function<void(const HistoryRecord&)>& visit) override;
  std::int64_t Prune(std::int64_t keepFromMs, std::int64_t maxBytes, int maxRecords) override;
  std::int64_t SizeBytes() override;
  const std::string& Path() const { return path_; }
  void Close();

 private:
  std::string PrepareSchema();
  std::int64_t SubjectId(const std::string& subject);
  // The smallest record id whose wall time is at least `wallMs`, found by
  // halving the id range (records are appended in time order).
  std::int64_t FirstIdAtOrAfter(std::int64_t wallMs);
  std::string Failure(const char* what);

  std::string path_;
  sqlite3* db_ = nullptr;
  bool read_only_ = false;
};

}  // namespace qv::platform
