#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"

namespace tallowin::platform::win32 {
namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

std::string DatePart(const SYSTEMTIME& t) {
  const int size = GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, nullptr, 0);
  if (size <= 0) return {};
  std::vector<char> text(static_cast<size_t>(size) + 1, '\0');
  if (GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, text.data(), size) <= 0)
    return {};
  return text.data();
}

std::string TimePart(const SYSTEMTIME& t) {
  const int size = GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &t, nullptr, nullptr, 0);
  if (size <= 0) return {};
  std::vector<char> text(static_cast<size_t>(size) + 1, '\0');
  if (GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &t, nullptr, text.data(), size) <= 0) return {};
  return text.data();
}

// GetWindowsDirectoryA and friends: the text, grown until it fits.
template <typename Call>
std::string FolderText(Call call) {
  std::vector<char> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const UINT len = call(buffer.data(), static_cast<UINT>(buffer.size()));
    if (len == 0) return {};
    if (len < buffer.size()) return std::string(buffer.data(), len);
    buffer.resize(len + 1);
  }
  return {};
}

class Win32System final : public System {
 public:
  OsVersion Version() override {
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = 148;
    static_assert(sizeof(OSVERSIONINFOA) == 148);
    // A failed call leaves the zeroes: the classification then gives its fallback.
    (void)GetVersionExA(&info);
    return OsVersion{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
  }

  bool IsWow64() override {
    HMODULE kernel = GetModuleHandleA("kernel32");
    if (kernel == nullptr) return false;
    const auto isWow64Process = ProcAddress<IsWow64ProcessFn>(kernel, "IsWow64Process");
    if (isWow64Process == nullptr) return false;
    BOOL wow64 = FALSE;
    if (!isWow64Process(GetCurrentProcess(), &wow64)) return false;
    return wow64 != FALSE;
  }

  LocalTime Now() override {
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
  }

  std::string FormatDateTime(const LocalTime& time) override {
    SYSTEMTIME t{};
    t.wYear = static_cast<WORD>(time.year);
    t.wMonth = static_cast<WORD>(time.month);
    t.wDay = static_cast<WORD>(time.day);
    t.wHour = static_cast<WORD>(time.hour);
    t.wMinute = static_cast<WORD>(time.minute);
    t.wSecond = static_cast<WORD>(time.second);
    return DatePart(t) + " " + TimePart(t);
  }

  std::string FormatFileTime(uint64_t fileTime) override {
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(fileTime);
    ft.dwHighDateTime = static_cast<DWORD>(fileTime >> 32);
    SYSTEMTIME utc{}, local{};
    if (!FileTimeToSystemTime(&ft, &utc)) return {};
    // The time zone rules of that date, not of today.
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local)) return {};
    if (local.wHour == 0 && local.wMinute == 0 && local.wSecond == 0) return DatePart(local);
    return DatePart(local) + " " + TimePart(local);
  }

  std::string ExecutableDirectory() override {
    std::vector<char> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 8; ++attempt) {
      const DWORD len = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (len == 0) return {};
      if (len < buffer.size()) {
        std::string path(buffer.data(), len);
        const size_t slash = path.find_last_of('\\');
        return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
      }
      buffer.resize(buffer.size() * 2);
    }
    return {};
  }

  std::string WindowsDirectory() override {
    return FolderText([](char* b, UINT n) { return GetWindowsDirectoryA(b, n); });
  }

  std::string SystemDirectory() override {
    return FolderText([](char* b, UINT n) { return GetSystemDirectoryA(b, n); });
  }
};

}  // namespace

std::unique_ptr<System> MakeSystem() { return std::make_unique<Win32System>(); }

}  // namespace tallowin::platform::win32
