// The contract tests over the real machine: a sandbox key below
// HKEY_CURRENT_USER\Software\TallowinTest and a sandbox folder on C:, both removed again.

#include <windows.h>
#include <sddl.h>

#include <atomic>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_platform.h"
#include "tests/backend/backend_fixture.h"
#include "tests/support/win32_folders.h"

namespace tallowin::testing_support {
namespace {

constexpr const char* kSandboxParent = "Software\\TallowinTest";

std::string UniqueName() {
  static std::atomic<unsigned> counter{0};
  return std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount()) + "-" +
         std::to_string(counter++);
}

std::optional<std::string> Environment(const std::string& name) {
  const DWORD size = GetEnvironmentVariableA(name.c_str(), nullptr, 0);
  if (size == 0) return std::nullopt;
  std::string value(size, '\0');
  const DWORD len = GetEnvironmentVariableA(name.c_str(), value.data(), size);
  value.resize(len < size ? len : 0);
  return value;
}

// "\REGISTRY\USER\<sid>": the NT name of HKEY_CURRENT_USER, which a link's target needs.
std::wstring CurrentUserNtPath() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
  std::vector<BYTE> buffer(512);
  DWORD size = 0;
  const BOOL ok = GetTokenInformation(token, TokenUser, buffer.data(),
                                      static_cast<DWORD>(buffer.size()), &size);
  CloseHandle(token);
  if (!ok) return {};
  wchar_t* text = nullptr;
  if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
    return {};
  std::wstring path = L"\\REGISTRY\\USER\\" + std::wstring(text);
  LocalFree(text);
  return path;
}

std::wstring WideAscii(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Deletes a link key itself: RegDeleteKey would open, and so delete, its target.
void DeleteLinkKey(const std::string& path) {
  using NtDeleteKeyFn = LONG(WINAPI*)(HANDLE);
  const auto ntDeleteKey = reinterpret_cast<NtDeleteKeyFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll"), "NtDeleteKey")));
  HKEY key = nullptr;
  if (ntDeleteKey == nullptr ||
      RegOpenKeyExW(HKEY_CURRENT_USER, WideAscii(path).c_str(), REG_OPTION_OPEN_LINK,
                    KEY_ALL_ACCESS | DELETE, &key) != ERROR_SUCCESS)
    return;
  ntDeleteKey(key);
  RegCloseKey(key);
}

// The machine sandbox in both views: each holds its own copy below a WOW64 process.
void RemoveMachineSandbox(const std::string& name) {
  for (const REGSAM view : {REGSAM(0), REGSAM(KEY_WOW64_64KEY)}) {
    HKEY parent = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, WideAscii(kSandboxParent).c_str(), 0,
                      KEY_ALL_ACCESS | view, &parent) != ERROR_SUCCESS)
      continue;
    RegDeleteTreeW(parent, WideAscii(name).c_str());
    RegCloseKey(parent);
    // Only once no other run uses it.
    RegDeleteKeyExW(HKEY_LOCAL_MACHINE, WideAscii(kSandboxParent).c_str(), view, 0);
  }
}

class Win32BackendUnderTest final : public BackendUnderTest {
 public:
  ~Win32BackendUnderTest() override {
    for (const std::string& link : links_) DeleteLinkKey(link);
    if (!machineKey_.empty()) RemoveMachineSandbox(machineKey_);
    if (!key_.empty()) {
      RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
      RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
      RegDeleteKeyA(HKEY_CURRENT_USER, kSandboxParent);  // only once no other run uses it
    }
    if (!folder_.empty()) RemoveFolderTree(folder_);
    for (const auto& [name, value] : savedEnvironment_)
      SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr);
  }

  platform::Platform platform() override { return machine_.platform(); }

  std::string SandboxKey() override {
    if (key_.empty()) {
      const std::string path = std::string(kSandboxParent) + "\\" + UniqueName();
      HKEY key = nullptr;
      if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                          KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS) {
        RegCloseKey(key);
        key_ = path;
      }
    }
    return key_;
  }

  std::string MachineSandboxKey() override {
    if (machineKey_.empty()) machineKey_ = UniqueName();
    return std::string(kSandboxParent) + "\\" + machineKey_;
  }

  std::string SandboxFolder() override {
    if (folder_.empty()) {
      const std::string path = "C:\\tallowin-test-" + UniqueName();
      if (CreateDirectoryA(path.c_str(), nullptr)) folder_ = path;
    }
    return folder_;
  }

  void SetEnvironment(const std::string& name, const std::string& value) override {
    if (!savedEnvironment_.count(name)) savedEnvironment_[name] = Environment(name);
    SetEnvironmentVariableA(name.c_str(), value.c_str());
  }

  bool CreateLink(const std::string& link, const std::string& target) override {
    const std::wstring user = CurrentUserNtPath();
    if (user.empty()) return false;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, WideAscii(link).c_str(), 0, nullptr,
                        REG_OPTION_CREATE_LINK | REG_OPTION_VOLATILE, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                        nullptr, &key, nullptr) != ERROR_SUCCESS)
      return false;
    links_.push_back(link);
    const std::wstring value = user + L"\\" + WideAscii(target);
    const LONG rc = RegSetValueExW(key, L"SymbolicLinkValue", 0, REG_LINK,
                                   reinterpret_cast<const BYTE*>(value.data()),
                                   static_cast<DWORD>(value.size() * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
  }

 private:
  platform::win32::Win32Machine machine_;
  std::string key_;
  std::string machineKey_;  // the name below kSandboxParent
  std::string folder_;
  std::map<std::string, std::optional<std::string>> savedEnvironment_;
  std::vector<std::string> links_;
};

}  // namespace

std::unique_ptr<BackendUnderTest> MakeBackendUnderTest() {
  return std::make_unique<Win32BackendUnderTest>();
}

}  // namespace tallowin::testing_support
