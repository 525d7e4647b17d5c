// The settings store in one SQLite database file for all hives. Every write is
// one transaction with a rollback journal and full synchronisation, so a process
// killed at any moment leaves a file that opens and holds either the old or the
// new value. A file that cannot be read as a settings store is never rewritten:
// Open() reports it and the store stays closed.
// HKEY_CLASSES_ROOT is kept like every other hive; the read-only view of the
// desktop's browser association belongs in front of this store, answering for
// its few keys and passing everything else through.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

struct sqlite3;

namespace qv::platform {

class SqliteRegistryStore : public IRegistryStore {
 public:
  // Written into the file header so that another program's database is never
  // mistaken for a settings store ("QVRG").
  static constexpr int kApplicationId = 0x51565247;
  static constexpr int kFormatVersion = 1;

  // On DefaultPath().
  SqliteRegistryStore();
  explicit SqliteRegistryStore(std::string path);
  ~SqliteRegistryStore() override;

  // $QUORVANE_REGISTRY when set, else $XDG_CONFIG_HOME/quorvane/registry.sqlite3,
  // else ~/.config/quorvane/registry.sqlite3.
  static std::string DefaultPath();

  // Opens the file, first creating it (mode 0600) and any missing directory
  // above it (mode 0700). Returns an empty string on success, else a message
  // "Settings store <path> cannot be opened: <reason>". A file without write
  // permission bits for anyone is opened read-only, also for root: its values
  // read as stored and every write returns kErrorAccessDenied.
  // A store used before Open() opens itself at its first call and writes a
  // failure to stderr; after a failure every key is missing and every write
  // returns kErrorRegistryIoFailed.
  std::string Open();
  // The message of the latest failed Open(), else empty.
  const std::string& OpenError() const { return open_error_; }
  void Close();
  bool IsOpen() const { return db_ != nullptr; }
  bool IsReadOnly() const { return read_only_; }
  const std::string& Path() const { return path_; }
  // Full consistency check of the open file: "ok", or the problems found.
  std::string CheckIntegrity();

  RegStatus OpenKey(HKey parent, const std::string& subKey, HKey* result) override;
  RegStatus CreateKey(HKey parent, const std::string& subKey, HKey* result) override;
  RegStatus CloseKey(HKey key) override;
  RegStatus QueryValue(HKey key, const std::string& name, RegValue* value) override;
  RegStatus SetValue(HKey key, const std::string& name, RegType type,
                     const std::vector<std::uint8_t>& data) override;
  bool KeyExists(HKey parent, const std::string& subKey) override;

 private:
  // What a handle stands for: a hive and a path below it, both as given
  // (Latin-1) and folded for comparison. Keys are never removed, so a handle
  // stays good for the life of the store.
  struct KeyRef {
    HKey hive = 0;
    std::string path;
    std::string folded;
  };

  std::string PrepareSchema();
  // Resolves `subKey` below `parent` into `ref`.
  RegStatus Locate(HKey parent, const std::string& subKey, KeyRef* ref);
  // 1 when the key exists, 0 when not, a negative SQLite code on failure.
  int Exists(const KeyRef& ref);
  // Refuses when the file may not be written; otherwise runs `body` between
  // BEGIN IMMEDIATE and COMMIT and rolls back on any failure.
  template <typename Body>
  RegStatus WriteTransaction(Body body);
  bool WriteAllowed() const;
  HKey NewHandle(KeyRef ref);

  std::string path_;
  std::string open_error_;
  bool open_attempted_ = false;
  sqlite3* db_ = nullptr;
  bool read_only_ = false;
  bool has_schema_ = false;  // false only for an empty, read-only file
  std::map<HKey, KeyRef> handles_;
  HKey next_handle_ = 1;
};

}  // namespace qv::platform
