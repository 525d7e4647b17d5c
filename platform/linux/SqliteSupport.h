// What the SQLite stores share: a prepared statement that finalises itself,
// and the private directories their files live in.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Latin1.h"

namespace qv::platform::sqlite {

// One prepared statement; finalised when it goes out of scope. A failure to
// prepare or bind is kept and returned by every later Step().
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return rc_ == SQLITE_OK; }

  // Latin-1 text, stored as UTF-8 so that the sqlite3 tool shows and matches it.
  Statement& Text(int index, std::string_view latin1) { return Bytes(index, platform::Latin1ToUtf8(latin1)); }
  // Text stored byte for byte.
  Statement& Bytes(int index, std::string_view bytes);
  Statement& Int(int index, sqlite3_int64 value);
  Statement& Null(int index);
  Statement& Blob(int index, const std::vector<std::uint8_t>& data);
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return ok() ? sqlite3_step(stmt_) : rc_; }
  // Runs a statement that returns no rows: SQLITE_OK or an error code.
  int Run() {
    const int rc = Step();
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
  }
  // Clears the bindings' results so the statement can run again.
  void Reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
  }
  sqlite3_int64 ColumnInt(int column) { return sqlite3_column_int64(stmt_, column); }
  bool ColumnIsNull(int column) { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
  std::string ColumnText(int column);
  std::vector<std::uint8_t> ColumnBlob(int column);

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_OK;
};

// "what path: reason" for the current errno.
std::string ErrnoText(const std::string& what, const std::string& path);
// Creates the directories above `file` that are missing, each with mode 0700.
// Empty on success, else why not.
std::string MakeParentDirectories(const std::string& file);
// Creates `path` with mode 0600 unless it exists. Empty on success.
std::string CreatePrivateFile(const std::string& path);
// True when the file has no write permission bits for anyone or the process
// may not write it (or is gone): such a file is only read, also by root.
bool ReadOnlyFile(const std::string& path);
// Opens with the settings every store of ours uses: extended result codes, a
// busy time-out, and nothing in the file may run code of its own.
int OpenDatabase(const std::string& path, bool readOnly, sqlite3** db);
// Opens a store's file: when `create`, makes it (and its folders, privately)
// if it is missing; otherwise it must exist and be readable. `readOnly` is set
// when the file may only be read. Empty on success, else why not; `db` may be
// set even then, for the caller to close.
std::string OpenStoreFile(const std::string& path, bool create, bool* readOnly, sqlite3** db);
// Creates a new store's tables in one transaction and stamps the file with
// the application id and format version. Empty on success, else why not (and
// nothing is left half-made).
std::string CreateSchema(sqlite3* db, const char* schema, int applicationId, int formatVersion);
// The value of a one-row, one-column query, or `fallback` when it fails.
sqlite3_int64 QueryInt(sqlite3* db, const char* sql, sqlite3_int64 fallback);
// Checks that an open file is one of ours (its application id, or an empty
// database), passes a quick consistency check and was not written by a newer
// version. Empty when it may be used, else why not; `empty` tells whether it
// holds no tables yet. Reads only.
std::string CheckOwnDatabase(sqlite3* db, int applicationId, int formatVersion, bool* empty);

}  // namespace qv::platform::sqlite
