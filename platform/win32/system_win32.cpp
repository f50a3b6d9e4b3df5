#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace tallowin::platform::win32 {
namespace {

using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

std::string DatePart(const SYSTEMTIME& t) {
  const int size = GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, nullptr, 0);
  if (size <= 0) return {};
  std::vector<wchar_t> text(static_cast<size_t>(size) + 1, L'\0');
  if (GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &t, nullptr, text.data(), size) <= 0)
    return {};
  return Narrow(text.data());
}

std::string TimePart(const SYSTEMTIME& t) {
  const int size = GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, nullptr, 0);
  if (size <= 0) return {};
  std::vector<wchar_t> text(static_cast<size_t>(size) + 1, L'\0');
  if (GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &t, nullptr, text.data(), size) <= 0) return {};
  return Narrow(text.data());
}

// GetWindowsDirectoryW and friends: the text, grown until it fits.
template <typename Call>
std::string FolderText(Call call) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 4; ++attempt) {
    const UINT len = call(buffer.data(), static_cast<UINT>(buffer.size()));
    if (len == 0) return {};
    if (len < buffer.size()) return Narrow(std::wstring_view(buffer.data(), len));
    buffer.resize(len + 1);
  }
  return {};
}

// CP_ACP both ways, refusing every conversion that is not exact: no best-fit letters,
// no default character, and a round trip that must give the same text back.
class Win32AnsiCodePage final : public AnsiCodePage {
 public:
  bool FromUtf8(std::string_view utf8, std::string& ansi) const override {
    if (utf8.empty()) {
      ansi.clear();
      return true;
    }
    const std::wstring wide = Wide(utf8);
    if (wide.size() > 0x3FFFFFFF) return false;
    const int units = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units,
                                         nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return false;
    std::string out(static_cast<size_t>(size), '\0');
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, out.data(), size,
                            nullptr, &usedDefault) != size ||
        usedDefault)
      return false;
    std::string back;
    if (!ToUtf8(out, back) || back != utf8) return false;
    ansi = std::move(out);
    return true;
  }

  bool ToUtf8(std::string_view ansi, std::string& utf8) const override {
    if (ansi.empty()) {
      utf8.clear();
      return true;
    }
    if (ansi.size() > 0x3FFFFFFF) return false;
    const int bytes = static_cast<int>(ansi.size());
    const int size =
        MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), bytes, nullptr, 0);
    if (size <= 0) return false;
    std::wstring wide(static_cast<size_t>(size), L'\0');
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi.data(), bytes, wide.data(),
                            size) != size)
      return false;
    utf8 = Narrow(wide);
    return true;
  }
};

class Win32System final : public System {
 public:
  OsVersion Version() override {
    OSVERSIONINFOW info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    // A failed call leaves the zeroes: the classification then gives its fallback.
    (void)GetVersionExW(&info);
    return OsVersion{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
  }

  bool IsWow64() override {
    HMODULE kernel = GetModuleHandleW(L"kernel32");
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

  std::string ErrorText(long code) override {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
    if (buffer != nullptr) LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
      text.pop_back();
    return text.empty() ? System::ErrorText(code) : Narrow(text);
  }

  std::string ExecutableDirectory() override {
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int attempt = 0; attempt < 8; ++attempt) {
      const DWORD len = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
      if (len == 0) return {};
      if (len < buffer.size()) {
        std::string path = Narrow(std::wstring_view(buffer.data(), len));
        const size_t slash = path.find_last_of('\\');
        return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
      }
      buffer.resize(buffer.size() * 2);
    }
    return {};
  }

  std::string WindowsDirectory() override {
    return FolderText([](wchar_t* b, UINT n) { return GetWindowsDirectoryW(b, n); });
  }

  std::string SystemDirectory() override {
    return FolderText([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); });
  }

  const AnsiCodePage& Ansi() override { return ansi_; }

  std::string CurrentUserSid() override {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
    const UniqueKernelHandle token(raw);
    DWORD size = 0;
    (void)GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    if (size == 0) return {};
    std::vector<BYTE> buffer(size);
    if (!GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size)) return {};
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
      return {};
    std::string sid = Narrow(text);
    LocalFree(text);
    return sid;
  }

 private:
  Win32AnsiCodePage ansi_;
};

}  // namespace

std::unique_ptr<System> MakeSystem() { return std::make_unique<Win32System>(); }

}  // namespace tallowin::platform::win32
