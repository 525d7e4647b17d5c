#include "platform/linux/SqliteRegistryStore.h"

#include <pwd.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <utility>

#include "platform/linux/SqliteSupport.h"

namespace qv::platform {

namespace {

using sqlite::Statement;

// Keys are stored by their full path below the hive; a key "exists" when its
// own row or a row below it does, so an administrator who seeds one deep key
// need not insert each key above it. Names are UTF-8 in the file so that the
// sqlite3 tool shows and matches them; the program's strings are Latin-1.
constexpr const char* kSchema = R"sql(
CREATE TABLE keys(
  id INTEGER PRIMARY KEY,
  hive TEXT NOT NULL,
  path TEXT NOT NULL,
  path_folded TEXT NOT NULL,
  UNIQUE(hive, path_folded));
CREATE TABLE key_values(
  key_id INTEGER NOT NULL REFERENCES keys(id),
  name TEXT NOT NULL,
  name_folded TEXT NOT NULL,
  type INTEGER NOT NULL CHECK(type BETWEEN 0 AND 4294967295),
  data BLOB NOT NULL CHECK(typeof(data) = 'blob'),
  PRIMARY KEY(key_id, name_folded));
CREATE VIEW registry AS
  SELECT k.hive, k.path AS key_path, v.name, v.type, v.data
  FROM key_values v JOIN keys k ON k.id = v.key_id;
)sql";

RegStatus StatusOf(int rc) {
  switch (rc & 0xFF) {
    case SQLITE_OK:
    case SQLITE_DONE:
    case SQLITE_ROW: return kErrorSuccess;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
    case SQLITE_CANTOPEN: return kErrorAccessDenied;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: return kErrorBusy;
    case SQLITE_FULL: return kErrorDiskFull;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: return kErrorRegistryCorrupt;
    case SQLITE_CONSTRAINT:
    case SQLITE_TOOBIG:
    case SQLITE_RANGE: return kErrorInvalidParameter;
    default: return kErrorRegistryIoFailed;
  }
}

std::string JoinPath(const std::string& base, const std::string& sub) {
  if (base.empty()) return sub;
  if (sub.empty()) return base;
  return base + "\\" + sub;
}

}  // namespace

SqliteRegistryStore::SqliteRegistryStore() : SqliteRegistryStore(DefaultPath()) {}

SqliteRegistryStore::SqliteRegistryStore(std::string path) : path_(std::move(path)) {}

SqliteRegistryStore::~SqliteRegistryStore() {
  Close();
}

std::string SqliteRegistryStore::DefaultPath() {
  const char* named = std::getenv("QUORVANE_REGISTRY");
  if (named != nullptr && *named != '\0') return named;
  // Relative values of the XDG variable are to be ignored.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/quorvane/registry.sqlite3";
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0') {
    home = env;
  } else if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) {
    home = pw->pw_dir;
  }
  if (home.empty()) return {};
  return home + "/.config/quorvane/registry.sqlite3";
}

std::string SqliteRegistryStore::Open() {
  open_attempted_ = true;
  if (db_ != nullptr) return {};
  std::string reason = sqlite::OpenStoreFile(path_, true, &read_only_, &db_);
  if (reason.empty()) reason = PrepareSchema();
  if (reason.empty()) {
    open_error_.clear();
    return {};
  }
  Close();
  open_error_ = "Settings store " + path_ + " cannot be opened: " + reason;
  return open_error_;
}

std::string SqliteRegistryStore::PrepareSchema() {
  bool empty = false;
  if (std::string error = sqlite::CheckOwnDatabase(db_, kApplicationId, kFormatVersion, &empty);
      !error.empty())
    return error;
  if (read_only_) {
    has_schema_ = !empty;
    return {};
  }
  // A rollback journal, unlike a write-ahead log, also lets read-only copies
  // of the file be opened without companion files. Both pragmas are
  // preferences; a failure to set them is not fatal.
  sqlite3_exec(db_, "PRAGMA journal_mode=DELETE", nullptr, nullptr, nullptr);
  sqlite3_exec(db_, "PRAGMA synchronous=FULL", nullptr, nullptr, nullptr);
  if (!empty) {
    has_schema_ = true;
    return {};
  }
  std::string error = sqlite::CreateSchema(db_, kSchema, kApplicationId, kFormatVersion);
  has_schema_ = error.empty();
  return error;
}

void SqliteRegistryStore::Close() {
  handles_.clear();
  if (db_ != nullptr) sqlite3_close_v2(db_);
  db_ = nullptr;
  has_schema_ = false;
  read_only_ = false;
}

std::string SqliteRegistryStore::CheckIntegrity() {
  if (db_ == nullptr) return "not open";
  Statement check(db_, "PRAGMA integrity_check");
  std::string verdict;
  int rc;
  while ((rc = check.Step()) == SQLITE_ROW) {
    if (!verdict.empty()) verdict += "\n";
    verdict += check.ColumnText(0);
  }
  if (rc != SQLITE_DONE) return sqlite3_errmsg(db_);
  return verdict;
}

RegStatus SqliteRegistryStore::Locate(HKey parent, const std::string& subKey, KeyRef* ref) {
  if (db_ == nullptr && !open_attempted_) {
    if (const std::string error = Open(); !error.empty()) std::fprintf(stderr, "%s\n", error.c_str());
  }
  if (db_ == nullptr) return kErrorRegistryIoFailed;
  if (IsHiveHandle(parent)) {
    *ref = KeyRef{parent, {}, {}};
  } else {
    const auto it = handles_.find(parent);
    if (it == handles_.end()) return kErrorInvalidHandle;
    *ref = it->second;
  }
  std::vector<std::string> parts;
  if (!SplitRegistryPath(subKey, &parts)) return kErrorBadPathname;
  for (const auto& part : parts) ref->path = JoinPath(ref->path, part);
  ref->folded = FoldRegistryName(ref->path);
  return kErrorSuccess;
}

int SqliteRegistryStore::Exists(const KeyRef& ref) {
  if (ref.path.empty()) return 1;  // the hive itself
  if (!has_schema_) return 0;
  // Below P lie the paths from "P\" up to, not including, "P]" (']' follows '\').
  Statement find(db_,
                 "SELECT 1 FROM keys WHERE hive = ?1 AND (path_folded = ?2 OR "
                 "(path_folded >= ?2 || '\\' AND path_folded < ?2 || ']')) LIMIT 1");
  find.Text(1, HiveName(ref.hive)).Text(2, ref.folded);
  const int rc = find.Step();
  if (rc == SQLITE_ROW) return 1;
  if (rc == SQLITE_DONE) return 0;
  return -rc;
}

bool SqliteRegistryStore::WriteAllowed() const {
  // Checked at every write, so that a file made read-only while the program
  // runs is refused from then on, root included.
  return !read_only_ && has_schema_ && !sqlite::ReadOnlyFile(path_);
}

template <typename Body>
RegStatus SqliteRegistryStore::WriteTransaction(Body body) {
  if (!WriteAllowed()) return kErrorAccessDenied;
  int rc = sqlite3_exec(db_, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) return StatusOf(rc);
  rc = body();
  if (rc == SQLITE_OK) rc = sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  if (rc != SQLITE_OK) {
    const int failed = sqlite3_extended_errcode(db_);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return StatusOf(failed != SQLITE_OK ? failed : rc);
  }
  return kErrorSuccess;
}

HKey SqliteRegistryStore::NewHandle(KeyRef ref) {
  const HKey handle = next_handle_++;
  handles_[handle] = std::move(ref);
  return handle;
}

RegStatus SqliteRegistryStore::OpenKey(HKey parent, const std::string& subKey, HKey* result) {
  *result = 0;
  KeyRef ref;
  if (const RegStatus status = Locate(parent, subKey, &ref); status != kErrorSuccess) return status;
  const int exists = Exists(ref);
  if (exists < 0) return StatusOf(-exists);
  if (exists == 0) return kErrorFileNotFound;
  *result = NewHandle(std::move(ref));
  return kErrorSuccess;
}

RegStatus SqliteRegistryStore::CreateKey(HKey parent, const std::string& subKey, HKey* result) {
  *result = 0;
  KeyRef ref;
  if (const RegStatus status = Locate(parent, subKey, &ref); status != kErrorSuccess) return status;
  const int exists = Exists(ref);
  if (exists < 0) return StatusOf(-exists);
  if (exists == 0) {
    // Rows for every level, so that the file reads as a tree to whoever looks.
    const RegStatus status = WriteTransaction([&]() {
      std::vector<std::string> parts;
      SplitRegistryPath(ref.path, &parts);
      std::string path;
      for (const auto& part : parts) {
        path = JoinPath(path, part);
        Statement insert(db_,
                         "INSERT INTO keys(hive, path, path_folded) VALUES(?1, ?2, ?3) "
                         "ON CONFLICT(hive, path_folded) DO NOTHING");
        insert.Text(1, HiveName(ref.hive)).Text(2, path).Text(3, FoldRegistryName(path));
        if (const int rc = insert.Run(); rc != SQLITE_OK) return rc;
      }
      return SQLITE_OK;
    });
    if (status != kErrorSuccess) return status;
  }
  *result = NewHandle(std::move(ref));
  return kErrorSuccess;
}

RegStatus SqliteRegistryStore::CloseKey(HKey key) {
  if (IsHiveHandle(key)) return kErrorSuccess;
  return handles_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

RegStatus SqliteRegistryStore::QueryValue(HKey key, const std::string& name, RegValue* value) {
  KeyRef ref;
  if (const RegStatus status = Locate(key, {}, &ref); status != kErrorSuccess) return status;
  if (!has_schema_) return kErrorFileNotFound;
  Statement query(db_,
                  "SELECT v.type, v.data FROM key_values v JOIN keys k ON k.id = v.key_id "
                  "WHERE k.hive = ?1 AND k.path_folded = ?2 AND v.name_folded = ?3");
  query.Text(1, HiveName(ref.hive)).Text(2, ref.folded).Text(3, FoldRegistryName(name));
  const int rc = query.Step();
  if (rc == SQLITE_DONE) return kErrorFileNotFound;
  if (rc != SQLITE_ROW) return StatusOf(rc);
  value->type = static_cast<RegType>(static_cast<std::uint32_t>(query.ColumnInt(0)));
  value->data = query.ColumnBlob(1);
  return kErrorSuccess;
}

RegStatus SqliteRegistryStore::SetValue(HKey key, const std::string& name, RegType type,
                                        const std::vector<std::uint8_t>& data) {
  KeyRef ref;
  if (const RegStatus status = Locate(key, {}, &ref); status != kErrorSuccess) return status;
  return WriteTransaction([&]() {
    // The key may so far exist only as the parent of a seeded key, or be the
    // hive itself: give it a row of its own.
    Statement insert(db_,
                     "INSERT INTO keys(hive, path, path_folded) VALUES(?1, ?2, ?3) "
                     "ON CONFLICT(hive, path_folded) DO NOTHING");
    insert.Text(1, HiveName(ref.hive)).Text(2, ref.path).Text(3, ref.folded);
    if (const int rc = insert.Run(); rc != SQLITE_OK) return rc;
    Statement upsert(db_,
                     "INSERT INTO key_values(key_id, name, name_folded, type, data) VALUES("
                     "(SELECT id FROM keys WHERE hive = ?1 AND path_folded = ?2), ?3, ?4, ?5, ?6) "
                     "ON CONFLICT(key_id, name_folded) DO UPDATE SET "
                     "type = excluded.type, data = excluded.data");
    upsert.Text(1, HiveName(ref.hive))
        .Text(2, ref.folded)
        .Text(3, name)
        .Text(4, FoldRegistryName(name))
        .Int(5, static_cast<sqlite3_int64>(type))
        .Blob(6, data);
    return upsert.Run();
  });
}

bool SqliteRegistryStore::KeyExists(HKey parent, const std::string& subKey) {
  KeyRef ref;
  if (Locate(parent, subKey, &ref) != kErrorSuccess) return false;
  return Exists(ref) == 1;
}

}  // namespace qv::platform
