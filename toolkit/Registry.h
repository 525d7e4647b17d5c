// The registry object of the class library: a root hive, at most one open
// current key, and typed reads and writes of the current key's values.
#pragma once

#include <string>

#include "platform/RegistryStore.h"
#include "toolkit/Classes.h"

namespace qv {

using platform::HKey;

class TRegistry : public TObject {
 public:
  // Works on `store`, or on the process's store (platform::Current().registry)
  // when none is given. Without any store every key is missing and every value
  // access fails.
  explicit TRegistry(platform::IRegistryStore* store = nullptr);
  ~TRegistry() override;

  HKey RootKey() const { return root_key_; }
  // A different root closes the current key.
  void SetRootKey(HKey value);
  HKey CurrentKey() const { return current_key_; }
  const std::string& CurrentPath() const { return current_path_; }

  // A path that begins with "\" is taken from the root; any other from the
  // current key when one is open, else from the root.
  bool KeyExists(const std::string& key);
  // Makes `key` the current key; with `canCreate` it and any missing parents
  // are created. False, with the current key untouched, when it cannot be had.
  bool OpenKey(const std::string& key, bool canCreate);
  void CloseKey();

  // Values of the current key. Failures raise ERegistryException.
  int ReadInteger(const std::string& name);
  std::string ReadString(const std::string& name);
  void WriteInteger(const std::string& name, int value);
  // Stored as REG_SZ holding exactly the characters, without a closing zero.
  void WriteString(const std::string& name, const std::string& value);

 private:
  platform::IRegistryStore* store_;
  HKey root_key_ = platform::kHkeyCurrentUser;
  HKey current_key_ = 0;
  std::string current_path_;
};

}  // namespace qv
