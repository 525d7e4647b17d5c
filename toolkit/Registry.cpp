#include "toolkit/Registry.h"

#include <cstdint>
#include <vector>

#include "platform/Services.h"

namespace qv {

namespace {

using platform::RegValue;

constexpr size_t kIntegerSize = 4;

// Messages are built by concatenation so that a name is quoted whole, even one
// holding a "%" or a zero byte.
[[noreturn]] void Fail(const char* what, const std::string& name) {
  throw ERegistryException(std::string(what) + " '" + name + "'");
}

bool IsRelative(const std::string& key) {
  return key.empty() || key[0] != '\\';
}

}  // namespace

TRegistry::TRegistry(platform::IRegistryStore* store)
    : store_(store != nullptr ? store : platform::Current().registry) {}

TRegistry::~TRegistry() {
  CloseKey();
}

void TRegistry::SetRootKey(HKey value) {
  if (value == root_key_) return;
  root_key_ = value;
  CloseKey();
}

bool TRegistry::KeyExists(const std::string& key) {
  if (store_ == nullptr) return false;
  const bool relative = IsRelative(key);
  const HKey base = relative && current_key_ != 0 ? current_key_ : root_key_;
  return store_->KeyExists(base, relative ? key : key.substr(1));
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate) {
  if (store_ == nullptr) return false;
  const bool relative = IsRelative(key);
  const std::string path = relative ? key : key.substr(1);
  const HKey base = relative && current_key_ != 0 ? current_key_ : root_key_;
  HKey opened = 0;
  const platform::RegStatus status = canCreate && !path.empty() ? store_->CreateKey(base, path, &opened)
                                                                : store_->OpenKey(base, path, &opened);
  if (status != platform::kErrorSuccess) return false;
  std::string full = relative && current_key_ != 0 ? current_path_ + "\\" + path : path;
  CloseKey();
  current_key_ = opened;
  current_path_ = std::move(full);
  return true;
}

void TRegistry::CloseKey() {
  if (current_key_ == 0) return;
  if (store_ != nullptr) store_->CloseKey(current_key_);
  current_key_ = 0;
  current_path_.clear();
}

int TRegistry::ReadInteger(const std::string& name) {
  RegValue value;
  const platform::RegStatus status =
      store_ != nullptr ? store_->QueryValue(current_key_, name, &value) : platform::kErrorInvalidHandle;
  // A 4-byte buffer cannot take more: the query itself fails then, whatever the type.
  if (status != platform::kErrorSuccess || value.data.size() > kIntegerSize)
    Fail("Failed to get data for", name);
  if (value.type != platform::kRegDword) Fail("Invalid data type for", name);
  std::uint32_t bits = 0;
  for (size_t i = 0; i < value.data.size(); ++i) bits |= std::uint32_t{value.data[i]} << (8 * i);
  return static_cast<std::int32_t>(bits);
}

std::string TRegistry::ReadString(const std::string& name) {
  RegValue value;
  const platform::RegStatus status =
      store_ != nullptr ? store_->QueryValue(current_key_, name, &value) : platform::kErrorInvalidHandle;
  // A missing or empty value is an empty text, whatever its type.
  if (status != platform::kErrorSuccess || value.data.empty()) return {};
  if (value.type != platform::kRegSz && value.type != platform::kRegExpandSz)
    Fail("Invalid data type for", name);
  std::string text(value.data.begin(), value.data.end());
  if (const size_t zero = text.find('\0'); zero != std::string::npos) text.resize(zero);
  return text;
}

void TRegistry::WriteInteger(const std::string& name, int value) {
  const auto bits = static_cast<std::uint32_t>(value);
  const std::vector<std::uint8_t> data = {
      static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
      static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
  if (store_ == nullptr ||
      store_->SetValue(current_key_, name, platform::kRegDword, data) != platform::kErrorSuccess)
    Fail("Failed to set data for", name);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  const std::vector<std::uint8_t> data(value.begin(), value.end());
  if (store_ == nullptr ||
      store_->SetValue(current_key_, name, platform::kRegSz, data) != platform::kErrorSuccess)
    Fail("Failed to set data for", name);
}

}  // namespace qv
