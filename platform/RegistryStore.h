// A hierarchical settings store in the Windows registry model: seven hives,
// keys as backslash paths below a hive, and typed values holding raw bytes.
// Key and value names compare case-insensitively (ASCII letters only) and keep
// the case they were created with. Calls report Windows status codes instead of
// throwing, so that the registry object above can map each failure to the
// exception its callers expect.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

// A key handle. The predefined hive handles are always open; other handles come
// from OpenKey/CreateKey and stay valid until CloseKey. 0 is "no key".
using HKey = std::uint32_t;

inline constexpr HKey kHkeyClassesRoot = 0x80000000u;
inline constexpr HKey kHkeyCurrentUser = 0x80000001u;
inline constexpr HKey kHkeyLocalMachine = 0x80000002u;
inline constexpr HKey kHkeyUsers = 0x80000003u;
inline constexpr HKey kHkeyPerformanceData = 0x80000004u;
inline constexpr HKey kHkeyCurrentConfig = 0x80000005u;
inline constexpr HKey kHkeyDynData = 0x80000006u;

inline constexpr HKey kHiveHandles[] = {kHkeyClassesRoot, kHkeyCurrentUser,     kHkeyLocalMachine,
                                        kHkeyUsers,       kHkeyPerformanceData, kHkeyCurrentConfig,
                                        kHkeyDynData};

inline constexpr bool IsHiveHandle(HKey key) {
  return key >= kHkeyClassesRoot && key <= kHkeyDynData;
}

// The hive's name as administrators write it, "HKEY_LOCAL_MACHINE"; empty for
// anything that is not a hive handle.
inline std::string_view HiveName(HKey hive) {
  constexpr std::string_view kNames[] = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",     "HKEY_LOCAL_MACHINE",
                                         "HKEY_USERS",        "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG",
                                         "HKEY_DYN_DATA"};
  return IsHiveHandle(hive) ? kNames[hive - kHkeyClassesRoot] : std::string_view();
}

// Value types, numbered as on Windows so that stored files stay interchangeable.
enum RegType : std::uint32_t {
  kRegNone = 0,
  kRegSz = 1,
  kRegExpandSz = 2,
  kRegBinary = 3,
  kRegDword = 4,
  kRegDwordBigEndian = 5,
  kRegLink = 6,
  kRegMultiSz = 7,
  kRegQword = 11,
};

// Windows status codes.
using RegStatus = long;
inline constexpr RegStatus kErrorSuccess = 0;
inline constexpr RegStatus kErrorFileNotFound = 2;  // no such key or value
inline constexpr RegStatus kErrorAccessDenied = 5;  // read-only store, or no right to write
inline constexpr RegStatus kErrorInvalidHandle = 6;
inline constexpr RegStatus kErrorInvalidParameter = 87;
inline constexpr RegStatus kErrorDiskFull = 112;
inline constexpr RegStatus kErrorBadPathname = 161;  // leading or doubled backslash
inline constexpr RegStatus kErrorBusy = 170;         // another process holds the store locked
inline constexpr RegStatus kErrorRegistryCorrupt = 1015;
inline constexpr RegStatus kErrorRegistryIoFailed = 1016;  // the store is not open, or I/O failed

struct RegValue {
  RegType type = kRegNone;
  std::vector<std::uint8_t> data;
};

class IRegistryStore {
 public:
  virtual ~IRegistryStore() = default;

  // Opens an existing key. `subKey` is relative to `parent` (a hive or an open
  // key), without a leading backslash; a trailing one is accepted; an empty
  // `subKey` opens a new handle to `parent` itself.
  virtual RegStatus OpenKey(HKey parent, const std::string& subKey, HKey* result) = 0;
  // Opens the key, creating it and every missing key above it first.
  virtual RegStatus CreateKey(HKey parent, const std::string& subKey, HKey* result) = 0;
  // Closing a hive handle is allowed and does nothing.
  virtual RegStatus CloseKey(HKey key) = 0;
  // The value's type and bytes; kErrorFileNotFound when the key has no value of
  // that name. The empty name is the key's default value.
  virtual RegStatus QueryValue(HKey key, const std::string& name, RegValue* value) = 0;
  // Creates or replaces the value, in one durable step.
  virtual RegStatus SetValue(HKey key, const std::string& name, RegType type,
                             const std::vector<std::uint8_t>& data) = 0;
  virtual bool KeyExists(HKey parent, const std::string& subKey) = 0;
};

// ---------------------------------------------------------------------------
// Name rules shared by the stores.

inline std::string FoldRegistryName(std::string_view name) {
  std::string out(name);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Splits a relative key path at its backslashes. A trailing backslash is
// dropped; a leading or doubled one would name a key without a name, which the
// stores refuse (returns false).
inline bool SplitRegistryPath(std::string_view path, std::vector<std::string>* parts) {
  parts->clear();
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (path.empty()) return true;
  size_t start = 0;
  while (true) {
    const size_t end = path.find('\\', start);
    const std::string_view part = path.substr(start, end == std::string_view::npos ? end : end - start);
    if (part.empty()) return false;
    parts->emplace_back(part);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

}  // namespace qv::platform
