#include "platform/linux/SqliteSupport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv::platform::sqlite {

namespace {
constexpr mode_t kFileMode = 0600;
constexpr mode_t kDirectoryMode = 0700;
constexpr mode_t kAnyWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr int kBusyTimeoutMs = 5000;
}  // namespace

Statement& Statement::Bytes(int index, std::string_view bytes) {
  if (ok())
    rc_ = sqlite3_bind_text(stmt_, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  return *this;
}

Statement& Statement::Int(int index, sqlite3_int64 value) {
  if (ok()) rc_ = sqlite3_bind_int64(stmt_, index, value);
  return *this;
}

Statement& Statement::Null(int index) {
  if (ok()) rc_ = sqlite3_bind_null(stmt_, index);
  return *this;
}

Statement& Statement::Blob(int index, const std::vector<std::uint8_t>& data) {
  if (!ok()) return *this;
  // A null pointer would bind SQL NULL; an empty value is an empty blob.
  rc_ = data.empty()
            ? sqlite3_bind_zeroblob(stmt_, index, 0)
            : sqlite3_bind_blob(stmt_, index, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
  return *this;
}

std::string Statement::ColumnText(int column) {
  const auto* text = sqlite3_column_text(stmt_, column);
  return text == nullptr ? std::string()
                         : std::string(reinterpret_cast<const char*>(text),
                                       static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)));
}

std::vector<std::uint8_t> Statement::ColumnBlob(int column) {
  const auto* bytes = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, column));
  const int size = sqlite3_column_bytes(stmt_, column);
  return bytes == nullptr ? std::vector<std::uint8_t>() : std::vector<std::uint8_t>(bytes, bytes + size);
}

std::string ErrnoText(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

std::string MakeParentDirectories(const std::string& file) {
  const size_t slash = file.rfind('/');
  if (slash == std::string::npos || slash == 0) return {};
  const std::string dir = file.substr(0, slash);
  struct stat st {};
  if (stat(dir.c_str(), &st) == 0) return S_ISDIR(st.st_mode) ? std::string() : dir + " is not a directory";
  if (std::string error = MakeParentDirectories(dir); !error.empty()) return error;
  if (mkdir(dir.c_str(), kDirectoryMode) != 0 && errno != EEXIST)
    return ErrnoText("cannot create directory", dir);
  // The mode passed to mkdir is narrowed by the umask; what we keep is private.
  chmod(dir.c_str(), kDirectoryMode);
  return {};
}

std::string CreatePrivateFile(const std::string& path) {
  // Created here rather than by SQLite, which would give it mode 0644.
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, kFileMode);
  if (fd >= 0) {
    fchmod(fd, kFileMode);
    close(fd);
  } else if (errno != EEXIST) {
    return ErrnoText("cannot create", path);
  }
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISREG(st.st_mode)) return "not a regular file";
  return {};
}

bool ReadOnlyFile(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return true;
  return (st.st_mode & kAnyWriteBits) == 0 || access(path.c_str(), W_OK) != 0;
}

int OpenDatabase(const std::string& path, bool readOnly, sqlite3** db) {
  const int flags = readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE;
  const int rc = sqlite3_open_v2(path.c_str(), db, flags, nullptr);
  if (rc != SQLITE_OK) return rc;
  sqlite3_extended_result_codes(*db, 1);
  sqlite3_busy_timeout(*db, kBusyTimeoutMs);
  // The file may come from elsewhere: let nothing in it run code of its own.
  sqlite3_db_config(*db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(*db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  return SQLITE_OK;
}

std::string OpenStoreFile(const std::string& path, bool create, bool* readOnly, sqlite3** db) {
  if (path.empty()) return "no home directory to keep it in";
  if (create) {
    if (std::string error = MakeParentDirectories(path); !error.empty()) return error;
    if (std::string error = CreatePrivateFile(path); !error.empty()) return error;
  } else if (access(path.c_str(), R_OK) != 0) {
    return ErrnoText("cannot read", path);
  }
  *readOnly = !create || ReadOnlyFile(path);
  const int rc = OpenDatabase(path, *readOnly, db);
  if (rc != SQLITE_OK) return *db != nullptr ? sqlite3_errmsg(*db) : sqlite3_errstr(rc);
  return {};
}

std::string CreateSchema(sqlite3* db, const char* schema, int applicationId, int formatVersion) {
  const std::string create = std::string("BEGIN IMMEDIATE;") + schema +
                             "PRAGMA application_id=" + std::to_string(applicationId) +
                             ";PRAGMA user_version=" + std::to_string(formatVersion) + ";COMMIT;";
  char* error = nullptr;
  if (sqlite3_exec(db, create.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return {};
  std::string message = error != nullptr ? error : "cannot create the tables";
  sqlite3_free(error);
  sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  return message;
}

sqlite3_int64 QueryInt(sqlite3* db, const char* sql, sqlite3_int64 fallback) {
  Statement query(db, sql);
  return query.Step() == SQLITE_ROW ? query.ColumnInt(0) : fallback;
}

std::string CheckOwnDatabase(sqlite3* db, int applicationId, int formatVersion, bool* empty) {
  // Reading the header is the first access: a file that is not a database
  // fails here, before anything could be written to it.
  Statement id(db, "PRAGMA application_id");
  if (id.Step() != SQLITE_ROW) return sqlite3_errmsg(db);
  const sqlite3_int64 application = id.ColumnInt(0);
  Statement count(db, "SELECT count(*) FROM sqlite_schema");
  if (count.Step() != SQLITE_ROW) return sqlite3_errmsg(db);
  *empty = count.ColumnInt(0) == 0;
  if (application != applicationId && !(application == 0 && *empty))
    return "the file is a database of another kind";
  Statement check(db, "PRAGMA quick_check");
  if (check.Step() != SQLITE_ROW) return sqlite3_errmsg(db);
  if (const std::string verdict = check.ColumnText(0); verdict != "ok") return verdict;
  if (!*empty && QueryInt(db, "PRAGMA user_version", 0) > formatVersion)
    return "it was written by a newer version";
  return {};
}

}  // namespace qv::platform::sqlite
