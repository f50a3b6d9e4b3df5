#pragma once
// The registry as the scan and the repair see it: predefined roots, keys opened
// without being created, enumeration in registry order, typed values.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/view.h"

namespace tallowin::platform {

// Win32 status codes, so both backends and their callers speak one language.
inline constexpr long kSuccess = 0;            // ERROR_SUCCESS
inline constexpr long kFileNotFound = 2;       // ERROR_FILE_NOT_FOUND
inline constexpr long kAccessDenied = 5;       // ERROR_ACCESS_DENIED
inline constexpr long kNotSupported = 50;       // ERROR_NOT_SUPPORTED
inline constexpr long kInvalidParameter = 87;  // ERROR_INVALID_PARAMETER
inline constexpr long kKeyDeleted = 1018;      // ERROR_KEY_DELETED
inline constexpr long kMoreData = 234;         // ERROR_MORE_DATA
inline constexpr long kNoMoreItems = 259;      // ERROR_NO_MORE_ITEMS

// Registry value types (winnt.h numbers).
inline constexpr uint32_t kRegNone = 0;
inline constexpr uint32_t kRegSz = 1;
inline constexpr uint32_t kRegExpandSz = 2;
inline constexpr uint32_t kRegBinary = 3;
inline constexpr uint32_t kRegDword = 4;
inline constexpr uint32_t kRegDwordBigEndian = 5;
inline constexpr uint32_t kRegLink = 6;
inline constexpr uint32_t kRegMultiSz = 7;
inline constexpr uint32_t kRegResourceList = 8;
inline constexpr uint32_t kRegQword = 11;

enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// "HKEY_CLASSES_ROOT" ... "HKEY_CURRENT_CONFIG".
const char* RootName(Root root);
// Maps a root name after ASCII upper-casing; nullopt for anything else.
std::optional<Root> RootFromName(std::string_view name);

enum class Access {
  Read,  // KEY_READ: what a scan and a backup need
  All,   // KEY_ALL_ACCESS: only the repair's deletions
};

struct RegValue {
  std::string name;   // empty: the default value
  uint32_t type = kRegNone;
  std::string data;   // raw bytes as stored (strings include their terminating NUL when stored so)
};

// An open key. Move-only handle semantics: the backend releases it in its destructor.
class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  RegistryKey() = default;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // Sub-key names in enumeration order. On failure `names` holds what was read before it.
  [[nodiscard]] virtual long SubKeyNames(std::vector<std::string>& names) = 0;
  // Value names in enumeration order.
  [[nodiscard]] virtual long ValueNames(std::vector<std::string>& names) = 0;
  // Every value with its type and data in enumeration order (one pass over the key).
  [[nodiscard]] virtual long Values(std::vector<RegValue>& values) = 0;
  // One value by name ("" = default value). `value` untouched on failure.
  [[nodiscard]] virtual long QueryValue(std::string_view name, RegValue& value) = 0;
  // Counts of sub-keys and values (RegQueryInfoKey).
  [[nodiscard]] virtual long QueryInfo(uint32_t& subKeys, uint32_t& values) = 0;
  // RegDeleteKey on a direct sub-key (which must have no sub-keys of its own).
  [[nodiscard]] virtual long DeleteSubKey(std::string_view name) = 0;
  [[nodiscard]] virtual long DeleteValue(std::string_view name) = 0;
  [[nodiscard]] virtual long SetValue(std::string_view name, uint32_t type, std::string_view data) = 0;
  // The key's last-write time (FILETIME): it moves when a value of the key or the list
  // of its direct sub-keys changes.
  [[nodiscard]] virtual long LastWriteTime(uint64_t& fileTime) = 0;
  // Whether the key is a symbolic link. Only a key opened with OpenNoFollow can tell:
  // one opened otherwise is already the link's target.
  [[nodiscard]] virtual long IsLink(bool& link) = 0;
  // The registry's own name of the key (NtQueryKey KeyNameInformation), such as
  // "\REGISTRY\MACHINE\Software\Wow6432Node\X": one key has one name, whatever view,
  // link or root it was opened through. kNotSupported where the registry cannot tell.
  [[nodiscard]] virtual long Name(std::string& name) {
    (void)name;
    return kNotSupported;
  }
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens an existing key, never creates one. An empty path is the root itself.
  // `key` is untouched on failure.
  [[nodiscard]] virtual long Open(Root root, std::string_view path, Access access,
                                  std::unique_ptr<RegistryKey>& key) = 0;
  // Opens the key itself when the last component of the path is a symbolic link
  // (REG_OPTION_OPEN_LINK) instead of the key it points at; earlier components are
  // followed as by Open.
  [[nodiscard]] virtual long OpenNoFollow(Root root, std::string_view path, Access access,
                                          std::unique_ptr<RegistryKey>& key) = 0;
  // Creates the key and every missing parent (tests, backends, restore checks).
  [[nodiscard]] virtual long Create(Root root, std::string_view path,
                                    std::unique_ptr<RegistryKey>& key) = 0;
  // The same registry seen through `view`: every open and create of the result names
  // that view. Owned by this registry. A registry without views is its own every view.
  virtual Registry& InView(View view) {
    (void)view;
    return *this;
  }

  // `name` (UTF-8) upper-cased as the registry does when it compares key names, beyond
  // ASCII too: two names are one key's exactly when their upper-cased forms are equal.
  virtual std::string UpcaseName(std::string_view name);

  // Convenience: nullptr when the key cannot be opened.
  std::unique_ptr<RegistryKey> OpenKey(Root root, std::string_view path, Access access) {
    std::unique_ptr<RegistryKey> key;
    if (Open(root, path, access, key) != kSuccess) return nullptr;
    return key;
  }
};

}  // namespace tallowin::platform
