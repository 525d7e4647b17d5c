#include "platform/linux/SqliteRegistryStore.h"

#include <fcntl.h>
#include <pwd.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace qv::platform {

namespace {

constexpr mode_t kFileMode = 0600;
constexpr mode_t kDirectoryMode = 0700;
constexpr mode_t kAnyWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr int kBusyTimeoutMs = 5000;

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

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x80) {
      out += c;
    } else {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

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

// One prepared statement; finalised when it goes out of scope.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return rc_ == SQLITE_OK; }

  Statement& Text(int index, std::string_view latin1) {
    if (ok()) {
      const std::string utf8 = Latin1ToUtf8(latin1);
      rc_ = sqlite3_bind_text(stmt_, index, utf8.data(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    }
    return *this;
  }
  Statement& Int(int index, sqlite3_int64 value) {
    if (ok()) rc_ = sqlite3_bind_int64(stmt_, index, value);
    return *this;
  }
  Statement& Blob(int index, const std::vector<std::uint8_t>& data) {
    if (!ok()) return *this;
    // A null pointer would bind SQL NULL; an empty value is an empty blob.
    rc_ = data.empty()
              ? sqlite3_bind_zeroblob(stmt_, index, 0)
              : sqlite3_bind_blob(stmt_, index, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    return *this;
  }
  // SQLITE_ROW, SQLITE_DONE or an error code.
  int Step() { return ok() ? sqlite3_step(stmt_) : rc_; }
  // Runs a statement that returns no rows: SQLITE_OK or an error code.
  int Run() {
    const int rc = Step();
    return rc == SQLITE_DONE || rc == SQLITE_ROW ? SQLITE_OK : rc;
  }
  sqlite3_int64 ColumnInt(int column) { return sqlite3_column_int64(stmt_, column); }
  std::string ColumnText(int column) {
    const auto* text = sqlite3_column_text(stmt_, column);
    return text == nullptr ? std::string() : std::string(reinterpret_cast<const char*>(text));
  }
  std::vector<std::uint8_t> ColumnBlob(int column) {
    const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
    const int size = sqlite3_column_bytes(stmt_, column);
    return bytes == nullptr ? std::vector<std::uint8_t>() : std::vector<std::uint8_t>(bytes, bytes + size);
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_OK;
};

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

// Creates the directories above `file` that are missing, each with mode 0700.
std::string MakeParentDirectories(const std::string& file) {
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos || slash == 0) return {};
  const std::string dir = file.substr(0, slash);
  struct stat st {};
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? std::string() : dir + " is not a directory";
  if (std::string error = MakeParentDirectories(dir); !error.empty()) return error;
  if (mkdir(dir.c_str(), kDirectoryMode) != 0 && errno != EEXIST)
    return ErrnoText("cannot create directory", dir);
  // The mode passed to mkdir is narrowed by the umask; settings are private.
  chmod(dir.c_str(), kDirectoryMode);
  return {};
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
  std::string reason = OpenFile();
  if (reason.empty()) reason = PrepareSchema();
  if (reason.empty()) {
    open_error_.clear();
    return {};
  }
  Close();
  open_error_ = "Settings store " + path_ + " cannot be opened: " + reason;
  return open_error_;
}

std::string SqliteRegistryStore::OpenFile() {
  if (path_.empty()) return "no home directory to keep it in";
  if (std::string error = MakeParentDirectories(path_); !error.empty()) return error;
  // Created here rather than by SQLite, which would give it mode 0644.
  const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
  if (fd >= 0) {
    fchmod(fd, kFileMode);
    close(fd);
  } else if (errno != EEXIST) {
    return ErrnoText("cannot create", path_);
  }
  struct stat st {};
  if (stat(path_.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  read_only_ = (st.st_mode & kAnyWriteBits) == 0 || access(path_.c_str(), W_OK) != 0;

  const int flags = read_only_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  const int rc = sqlite3_open_v2(path_.c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) return db_ != nullptr ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
  sqlite3_extended_result_codes(db_, 1);
  sqlite3_busy_timeout(db_, kBusyTimeoutMs);
  // The file may come from elsewhere: let nothing in it run code of its own.
  sqlite3_db_config(db_, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db_, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  return {};
}

std::string SqliteRegistryStore::PrepareSchema() {
  // Reading the header is the first access: a file that is not a database
  // fails here, before anything could be written to it.
  Statement id(db_, "PRAGMA application_id");
  if (id.Step() != SQLITE_ROW) return sqlite3_errmsg(db_);
  const sqlite3_int64 application = id.ColumnInt(0);
  Statement count(db_, "SELECT count(*) FROM sqlite_schema");
  if (count.Step() != SQLITE_ROW) return sqlite3_errmsg(db_);
  const bool empty = count.ColumnInt(0) == 0;
  if (application != kApplicationId && !(application == 0 && empty))
    return "the file is a database of another kind";

  Statement check(db_, "PRAGMA quick_check");
  if (check.Step() != SQLITE_ROW) return sqlite3_errmsg(db_);
  if (const std::string verdict = check.ColumnText(0); verdict != "ok") return verdict;

  if (!empty) {
    Statement version(db_, "PRAGMA user_version");
    if (version.Step() != SQLITE_ROW) return sqlite3_errmsg(db_);
    if (version.ColumnInt(0) > kFormatVersion) return "it was written by a newer version";
  }
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
  const std::string create = std::string("BEGIN IMMEDIATE;") + kSchema +
                             "PRAGMA application_id=" + std::to_string(kApplicationId) +
                             ";PRAGMA user_version=" + std::to_string(kFormatVersion) + ";COMMIT;";
  char* error = nullptr;
  if (sqlite3_exec(db_, create.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string message = error != nullptr ? error : "cannot create the tables";
    sqlite3_free(error);
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    return message;
  }
  has_schema_ = true;
  return {};
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
  struct stat st {};
  return !read_only_ && has_schema_ && stat(path_.c_str(), &st) == 0 && (st.st_mode & kAnyWriteBits) != 0;
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
