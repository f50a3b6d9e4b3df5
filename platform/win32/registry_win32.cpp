#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace tallowin::platform::win32 {
namespace {

constexpr DWORD kMaxValueNameChars = 32768;  // 16383 characters plus room for the NUL
constexpr int kMaxGrowSteps = 32;            // every step at least doubles a buffer

HKEY RootKey(Root root) {
  switch (root) {
    case Root::ClassesRoot: return HKEY_CLASSES_ROOT;
    case Root::CurrentUser: return HKEY_CURRENT_USER;
    case Root::LocalMachine: return HKEY_LOCAL_MACHINE;
    case Root::Users: return HKEY_USERS;
    case Root::CurrentConfig: return HKEY_CURRENT_CONFIG;
  }
  return HKEY_CURRENT_USER;
}

REGSAM Sam(Access access) { return access == Access::All ? KEY_ALL_ACCESS : KEY_READ; }

// KEY_WOW64_64KEY for the 64-bit view; the process view names none, so a registry
// without views (32-bit Windows) sees exactly what it always saw.
REGSAM ViewFlag(View view) { return view == View::Native ? KEY_WOW64_64KEY : 0; }

// Looked up at run time: ntdll's NtQueryKey, and RegDeleteKeyExW, which 32-bit Windows
// before Vista does not have (it has no other view to delete in, either).
template <typename Fn>
Fn Entry(const char* module, const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA(module), name)));
}

using NtQueryKeyFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
using RtlUpcaseUnicodeCharFn = WCHAR(WINAPI*)(WCHAR);
using RegDeleteKeyExWFn = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
constexpr int kKeyNameInformation = 3;
constexpr LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023);
constexpr LONG kStatusBufferOverflow = static_cast<LONG>(0x80000005);

DWORD Grow(DWORD current, DWORD reported) {
  const DWORD doubled = current > MAXDWORD / 2 ? MAXDWORD : current * 2;
  return std::max(doubled, reported);
}

class Win32RegistryKey final : public RegistryKey {
 public:
  Win32RegistryKey(UniqueRegKey key, Access access, View view)
      : key_(std::move(key)), access_(access), view_(view) {}

  long SubKeyNames(std::vector<std::string>& names) override {
    names.clear();
    // Each call is a trip to the registry: the count spares the one that would only say
    // there are no more. Without it, the enumeration runs until that answer. Right after
    // the values, the count read with theirs serves: a key that changed in between is
    // no different from one that changed just after.
    DWORD count = subKeysAtValues_.value_or(0), maxLen = 0;
    if (!subKeysAtValues_ &&
        RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, &count, &maxLen, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      count = MAXDWORD;
    subKeysAtValues_.reset();
    // Key names have at most 255 characters; a longer one grows the buffer below.
    std::vector<wchar_t> name(std::max<DWORD>(maxLen + 1, 256));
    for (DWORD index = 0; index < count; ++index) {
      LONG rc = ERROR_MORE_DATA;
      DWORD len = 0;
      for (int step = 0; step < kMaxGrowSteps; ++step) {
        len = static_cast<DWORD>(name.size());
        rc = RegEnumKeyExW(key_.get(), index, name.data(), &len, nullptr, nullptr, nullptr,
                           nullptr);
        if (rc != ERROR_MORE_DATA) break;
        name.resize(Grow(static_cast<DWORD>(name.size()), len + 1));
      }
      if (rc == ERROR_NO_MORE_ITEMS) return kSuccess;
      if (rc != ERROR_SUCCESS) return rc;
      names.push_back(Narrow(std::wstring_view(name.data(), len)));
    }
    return kSuccess;
  }

  long ValueNames(std::vector<std::string>& names) override {
    names.clear();
    std::vector<RegValue> values;
    const long rc = Enumerate(false, values);
    for (RegValue& v : values) names.push_back(std::move(v.name));
    return rc;
  }

  long Values(std::vector<RegValue>& values) override {
    values.clear();
    return Enumerate(true, values);
  }

  long QueryValue(std::string_view name, RegValue& value) override {
    const std::wstring valueName = Wide(name);
    // Read into the string handed out: a value of hundreds of megabytes is held once.
    std::string data(256, '\0');
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG rc = ERROR_MORE_DATA;
    for (int step = 0; step < kMaxGrowSteps && rc == ERROR_MORE_DATA; ++step) {
      size = static_cast<DWORD>(data.size());
      rc = RegQueryValueExW(key_.get(), valueName.c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(data.data()), &size);
      if (rc == ERROR_MORE_DATA) {
        const DWORD grown = Grow(static_cast<DWORD>(data.size()), size);
        std::string().swap(data);
        data.resize(grown);
      }
    }
    if (rc != ERROR_SUCCESS) return rc;
    data.resize(size);
    value.name = std::string(name);
    value.type = type;
    value.data = std::move(data);
    return kSuccess;
  }

  long QueryInfo(uint32_t& subKeys, uint32_t& values) override {
    DWORD keys = 0, vals = 0;
    const LONG rc = RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, &keys, nullptr,
                                     nullptr, &vals, nullptr, nullptr, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    subKeys = keys;
    values = vals;
    return kSuccess;
  }

  long DeleteSubKey(std::string_view name) override {
    subKeysAtValues_.reset();
    // RegDeleteKey with an empty name would delete this key itself.
    if (name.empty()) return kInvalidParameter;
    // Windows checks the sub-key, not this handle: a key opened for reading must not
    // delete either, like it cannot change values.
    if (access_ == Access::Read) return kAccessDenied;
    // RegDeleteKey opens the sub-key in the process view again; below HKLM\Software that
    // would be another key than the one this handle's view shows.
    if (view_ == View::Native) {
      static const auto deleteKeyEx = Entry<RegDeleteKeyExWFn>("advapi32", "RegDeleteKeyExW");
      if (deleteKeyEx == nullptr) return kNotSupported;
      return deleteKeyEx(key_.get(), Wide(name).c_str(), KEY_WOW64_64KEY, 0);
    }
    return RegDeleteKeyW(key_.get(), Wide(name).c_str());
  }

  long DeleteValue(std::string_view name) override {
    subKeysAtValues_.reset();
    return RegDeleteValueW(key_.get(), Wide(name).c_str());
  }

  long SetValue(std::string_view name, uint32_t type, std::string_view data) override {
    subKeysAtValues_.reset();
    if (data.size() > MAXDWORD) return kInvalidParameter;
    // RegSetValueExW stores one more character when string data lacks its terminator
    // and a zero follows it in memory ("the caller forgot to count it"). Non-zero bytes
    // after the data keep the stored bytes exactly the ones given.
    std::string buffer;
    buffer.reserve(data.size() + 4);
    buffer.append(data);
    buffer.append(4, '\xFF');
    return RegSetValueExW(key_.get(), Wide(name).c_str(), 0, type,
                          reinterpret_cast<const BYTE*>(buffer.data()),
                          static_cast<DWORD>(data.size()));
  }

  long LastWriteTime(uint64_t& fileTime) override {
    FILETIME time{};
    const LONG rc = RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr, &time);
    if (rc != ERROR_SUCCESS) return rc;
    fileTime = (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    return kSuccess;
  }

  long IsLink(bool& link) override {
    // A link key holds its target as "SymbolicLinkValue" of type REG_LINK; only a handle
    // opened with REG_OPTION_OPEN_LINK shows it.
    DWORD type = REG_NONE;
    const LONG rc =
        RegQueryValueExW(key_.get(), L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr);
    if (rc == ERROR_FILE_NOT_FOUND) {
      link = false;
      return kSuccess;
    }
    if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return rc;
    link = type == REG_LINK;
    return kSuccess;
  }

  long Name(std::string& name) override {
    static const auto queryKey = Entry<NtQueryKeyFn>("ntdll", "NtQueryKey");
    if (queryKey == nullptr) return kNotSupported;
    // KEY_NAME_INFORMATION: the length in bytes, then the UTF-16 name.
    std::vector<ULONG> buffer(256);
    for (int step = 0; step < kMaxGrowSteps; ++step) {
      ULONG needed = 0;
      const ULONG size = static_cast<ULONG>(buffer.size() * sizeof(ULONG));
      const LONG status = queryKey(key_.get(), kKeyNameInformation, buffer.data(), size, &needed);
      if (status == kStatusBufferTooSmall || status == kStatusBufferOverflow) {
        buffer.resize(Grow(size, needed) / sizeof(ULONG) + 1);
        continue;
      }
      if (status != 0) return ERROR_INVALID_FUNCTION;
      const ULONG bytes = std::min<ULONG>(buffer[0], size - sizeof(ULONG));
      name = Narrow(std::wstring_view(reinterpret_cast<const wchar_t*>(buffer.data() + 1),
                                      bytes / sizeof(wchar_t)));
      return kSuccess;
    }
    return ERROR_MORE_DATA;
  }

 private:
  // One RegEnumValueW pass; the data is fetched only when `withData` is set.
  long Enumerate(bool withData, std::vector<RegValue>& values) {
    DWORD subKeys = 0, count = 0, maxName = 0, maxData = 0;
    subKeysAtValues_.reset();
    if (RegQueryInfoKeyW(key_.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                         &count, &maxName, &maxData, nullptr, nullptr) == ERROR_SUCCESS)
      subKeysAtValues_ = subKeys;
    else
      count = MAXDWORD;  // as in SubKeyNames
    std::vector<wchar_t> name(std::clamp<DWORD>(maxName + 1, 256, kMaxValueNameChars));
    std::vector<BYTE> data(withData ? std::max<DWORD>(maxData, 256) : 0);
    for (DWORD index = 0; index < count; ++index) {
      LONG rc = ERROR_MORE_DATA;
      DWORD nameLen = 0, dataLen = 0, type = REG_NONE;
      for (int step = 0; step < kMaxGrowSteps; ++step) {
        nameLen = static_cast<DWORD>(name.size());
        dataLen = static_cast<DWORD>(data.size());
        rc = RegEnumValueW(key_.get(), index, name.data(), &nameLen, nullptr, &type,
                           withData ? data.data() : nullptr, withData ? &dataLen : nullptr);
        if (rc != ERROR_MORE_DATA) break;
        // The call does not say which buffer was short: grow the data buffer when the
        // reported size exceeds it, otherwise the name buffer.
        if (withData && dataLen > data.size()) {
          data.resize(Grow(static_cast<DWORD>(data.size()), dataLen));
        } else if (name.size() < kMaxValueNameChars) {
          name.resize(std::min(Grow(static_cast<DWORD>(name.size()), 0), kMaxValueNameChars));
        } else if (withData) {
          data.resize(Grow(static_cast<DWORD>(data.size()), dataLen));
        } else {
          break;
        }
      }
      if (rc == ERROR_NO_MORE_ITEMS) return kSuccess;
      if (rc != ERROR_SUCCESS) return rc;
      RegValue value;
      value.name = Narrow(std::wstring_view(name.data(), nameLen));
      value.type = type;
      if (withData) value.data.assign(reinterpret_cast<const char*>(data.data()), dataLen);
      values.push_back(std::move(value));
    }
    return kSuccess;
  }

  UniqueRegKey key_;
  Access access_;
  View view_;
  std::optional<DWORD> subKeysAtValues_;  // for the SubKeyNames call that follows the values
};

// One object per view; the process view owns the native one.
class Win32Registry final : public Registry {
 public:
  explicit Win32Registry(View view, Win32Registry* process = nullptr)
      : view_(view), process_(process == nullptr ? this : process) {
    if (view == View::Process) native_ = std::make_unique<Win32Registry>(View::Native, this);
  }

  long Open(Root root, std::string_view path, Access access,
            std::unique_ptr<RegistryKey>& key) override {
    HKEY handle = nullptr;
    const LONG rc = RegOpenKeyExW(RootKey(root), Wide(path).c_str(), 0,
                                  Sam(access) | ViewFlag(view_), &handle);
    if (rc != ERROR_SUCCESS) return rc;
    key = std::make_unique<Win32RegistryKey>(UniqueRegKey(handle), access, view_);
    return kSuccess;
  }

  long OpenNoFollow(Root root, std::string_view path, Access access,
                    std::unique_ptr<RegistryKey>& key) override {
    HKEY handle = nullptr;
    const LONG rc = RegOpenKeyExW(RootKey(root), Wide(path).c_str(), REG_OPTION_OPEN_LINK,
                                  Sam(access) | ViewFlag(view_), &handle);
    if (rc != ERROR_SUCCESS) return rc;
    key = std::make_unique<Win32RegistryKey>(UniqueRegKey(handle), access, view_);
    return kSuccess;
  }

  long Create(Root root, std::string_view path, std::unique_ptr<RegistryKey>& key) override {
    HKEY handle = nullptr;
    const LONG rc = RegCreateKeyExW(RootKey(root), Wide(path).c_str(), 0, nullptr,
                                    REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | ViewFlag(view_),
                                    nullptr, &handle, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    key = std::make_unique<Win32RegistryKey>(UniqueRegKey(handle), Access::All, view_);
    return kSuccess;
  }

  // The table the registry itself upper-cases names with.
  std::string UpcaseName(std::string_view name) override {
    static const auto upcase = Entry<RtlUpcaseUnicodeCharFn>("ntdll", "RtlUpcaseUnicodeChar");
    if (upcase == nullptr) return Registry::UpcaseName(name);
    std::u16string text = Utf8ToUtf16(name);
    for (char16_t& unit : text) unit = static_cast<char16_t>(upcase(static_cast<WCHAR>(unit)));
    return Utf16ToUtf8(text);
  }

  Registry& InView(View view) override {
    if (view == View::Native) return process_->native_ ? *process_->native_ : *this;
    return *process_;
  }

 private:
  View view_;
  Win32Registry* process_;
  std::unique_ptr<Win32Registry> native_;
};

}  // namespace

std::unique_ptr<Registry> MakeRegistry() { return std::make_unique<Win32Registry>(View::Process); }

}  // namespace tallowin::platform::win32
