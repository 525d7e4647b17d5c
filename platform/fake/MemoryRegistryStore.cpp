#include "platform/fake/MemoryRegistryStore.h"

#include <functional>

namespace qv::platform::fake {

MemoryRegistryStore::MemoryRegistryStore() {
  for (HKey hive : kHiveHandles) {
    hives_[hive] = std::make_unique<Key>();
    hives_[hive]->name = std::string(HiveName(hive));
  }
}

MemoryRegistryStore::~MemoryRegistryStore() = default;

MemoryRegistryStore::Key* MemoryRegistryStore::Resolve(HKey handle) const {
  if (IsHiveHandle(handle)) return hives_.at(handle).get();
  const auto it = handles_.find(handle);
  return it == handles_.end() ? nullptr : it->second;
}

RegStatus MemoryRegistryStore::Walk(HKey parent, const std::string& subKey, bool create, Key** found) {
  Key* key = Resolve(parent);
  if (key == nullptr) return kErrorInvalidHandle;
  std::vector<std::string> parts;
  if (!SplitRegistryPath(subKey, &parts)) return kErrorBadPathname;
  // Check before creating anything, so that a refused create leaves no trace.
  Key* probe = key;
  size_t existing = 0;
  for (; existing < parts.size(); ++existing) {
    const auto it = probe->children.find(FoldRegistryName(parts[existing]));
    if (it == probe->children.end()) break;
    probe = it->second.get();
  }
  if (existing < parts.size()) {
    if (!create) return kErrorFileNotFound;
    if (write_failure_ != kErrorSuccess) return write_failure_;
    for (size_t i = existing; i < parts.size(); ++i) {
      auto child = std::make_unique<Key>();
      child->name = parts[i];
      Key* raw = child.get();
      probe->children[FoldRegistryName(parts[i])] = std::move(child);
      probe = raw;
    }
  }
  *found = probe;
  return kErrorSuccess;
}

HKey MemoryRegistryStore::NewHandle(Key* key) {
  const HKey handle = next_handle_++;
  handles_[handle] = key;
  return handle;
}

RegStatus MemoryRegistryStore::OpenKey(HKey parent, const std::string& subKey, HKey* result) {
  *result = 0;
  Key* key = nullptr;
  const RegStatus status = Walk(parent, subKey, false, &key);
  if (status == kErrorSuccess) *result = NewHandle(key);
  return status;
}

RegStatus MemoryRegistryStore::CreateKey(HKey parent, const std::string& subKey, HKey* result) {
  *result = 0;
  Key* key = nullptr;
  const RegStatus status = Walk(parent, subKey, true, &key);
  if (status == kErrorSuccess) *result = NewHandle(key);
  return status;
}

RegStatus MemoryRegistryStore::CloseKey(HKey key) {
  if (IsHiveHandle(key)) return kErrorSuccess;
  return handles_.erase(key) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

RegStatus MemoryRegistryStore::QueryValue(HKey key, const std::string& name, RegValue* value) {
  const Key* k = Resolve(key);
  if (k == nullptr) return kErrorInvalidHandle;
  const auto it = k->values.find(FoldRegistryName(name));
  if (it == k->values.end()) return kErrorFileNotFound;
  *value = it->second.value;
  return kErrorSuccess;
}

RegStatus MemoryRegistryStore::SetValue(HKey key, const std::string& name, RegType type,
                                        const std::vector<std::uint8_t>& data) {
  Key* k = Resolve(key);
  if (k == nullptr) return kErrorInvalidHandle;
  if (write_failure_ != kErrorSuccess) return write_failure_;
  Value& v = k->values[FoldRegistryName(name)];
  if (v.name.empty()) v.name = name;  // a replaced value keeps its first spelling
  v.value.type = type;
  v.value.data = data;
  return kErrorSuccess;
}

bool MemoryRegistryStore::KeyExists(HKey parent, const std::string& subKey) {
  Key* key = nullptr;
  return Walk(parent, subKey, false, &key) == kErrorSuccess;
}

const MemoryRegistryStore::Key* MemoryRegistryStore::Find(HKey hive, const std::string& path) const {
  if (!IsHiveHandle(hive)) return nullptr;
  const Key* key = hives_.at(hive).get();
  std::vector<std::string> parts;
  if (!SplitRegistryPath(path, &parts)) return nullptr;
  for (const auto& part : parts) {
    const auto it = key->children.find(FoldRegistryName(part));
    if (it == key->children.end()) return nullptr;
    key = it->second.get();
  }
  return key;
}

std::optional<RegValue> MemoryRegistryStore::Peek(HKey hive, const std::string& path,
                                                  const std::string& name) const {
  const Key* key = Find(hive, path);
  if (key == nullptr) return std::nullopt;
  const auto it = key->values.find(FoldRegistryName(name));
  if (it == key->values.end()) return std::nullopt;
  return it->second.value;
}

bool MemoryRegistryStore::HasKey(HKey hive, const std::string& path) const {
  return Find(hive, path) != nullptr;
}

std::optional<std::string> MemoryRegistryStore::StoredKeyName(HKey hive, const std::string& path) const {
  const Key* key = Find(hive, path);
  if (key == nullptr) return std::nullopt;
  return key->name;
}

std::optional<std::string> MemoryRegistryStore::StoredValueName(HKey hive, const std::string& path,
                                                                const std::string& name) const {
  const Key* key = Find(hive, path);
  if (key == nullptr) return std::nullopt;
  const auto it = key->values.find(FoldRegistryName(name));
  if (it == key->values.end()) return std::nullopt;
  return it->second.name;
}

int MemoryRegistryStore::KeyCount() const {
  std::function<int(const Key&)> count = [&](const Key& key) {
    int n = 0;
    for (const auto& [folded, child] : key.children) n += 1 + count(*child);
    return n;
  };
  int total = 0;
  for (const auto& [hive, root] : hives_) total += count(*root);
  return total;
}

void MemoryRegistryStore::Plant(HKey hive, const std::string& path, const std::string& name, RegType type,
                                std::vector<std::uint8_t> data) {
  const RegStatus saved = write_failure_;
  write_failure_ = kErrorSuccess;
  Key* key = nullptr;
  if (Walk(hive, path, true, &key) == kErrorSuccess) {
    Value& v = key->values[FoldRegistryName(name)];
    if (v.name.empty()) v.name = name;
    v.value = RegValue{type, std::move(data)};
  }
  write_failure_ = saved;
}

}  // namespace qv::platform::fake
