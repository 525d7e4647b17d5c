// The settings store held in memory, for tests: the same key, value and status
// rules as the database store, plus switches to make writes fail and a way to
// look at what was stored without going through handles.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/RegistryStore.h"

namespace qv::platform::fake {

class MemoryRegistryStore : public IRegistryStore {
 public:
  MemoryRegistryStore();
  ~MemoryRegistryStore() override;

  RegStatus OpenKey(HKey parent, const std::string& subKey, HKey* result) override;
  RegStatus CreateKey(HKey parent, const std::string& subKey, HKey* result) override;
  RegStatus CloseKey(HKey key) override;
  RegStatus QueryValue(HKey key, const std::string& name, RegValue* value) override;
  RegStatus SetValue(HKey key, const std::string& name, RegType type,
                     const std::vector<std::uint8_t>& data) override;
  bool KeyExists(HKey parent, const std::string& subKey) override;

  // Every call that would create a key or store a value returns `status`
  // instead (kErrorSuccess switches the failure off). Opening existing keys
  // still works, as with a store that is read-only.
  void SetWriteFailure(RegStatus status) { write_failure_ = status; }

  // Inspection by absolute path below a hive (no leading backslash).
  std::optional<RegValue> Peek(HKey hive, const std::string& path, const std::string& name) const;
  bool HasKey(HKey hive, const std::string& path) const;
  // The stored spelling of a key's last part or of a value's name.
  std::optional<std::string> StoredKeyName(HKey hive, const std::string& path) const;
  std::optional<std::string> StoredValueName(HKey hive, const std::string& path,
                                             const std::string& name) const;
  // Keys below all hives, not counting the hives themselves.
  int KeyCount() const;
  int OpenHandleCount() const { return static_cast<int>(handles_.size()); }
  // Stores a value directly, creating its key: the way tests plant data
  // another writer left behind.
  void Plant(HKey hive, const std::string& path, const std::string& name, RegType type,
             std::vector<std::uint8_t> data);

 private:
  struct Value {
    std::string name;
    RegValue value;
  };
  struct Key {
    std::string name;
    std::map<std::string, std::unique_ptr<Key>> children;  // by folded name
    std::map<std::string, Value> values;                   // by folded name
  };

  Key* Resolve(HKey handle) const;
  // Walks `subKey` below `parent`; creates missing keys when `create`.
  RegStatus Walk(HKey parent, const std::string& subKey, bool create, Key** found);
  const Key* Find(HKey hive, const std::string& path) const;
  HKey NewHandle(Key* key);

  std::map<HKey, std::unique_ptr<Key>> hives_;
  std::map<HKey, Key*> handles_;
  HKey next_handle_ = 1;
  RegStatus write_failure_ = kErrorSuccess;
};

}  // namespace qv::platform::fake
