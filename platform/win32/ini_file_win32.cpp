#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace tallowin::platform::win32 {

namespace {

// Whether `text` comes back unchanged through the ANSI code page (no "?" and no best fit,
// such as an omega written as "O").
bool FitsAnsi(const std::wstring& text) {
  if (text.empty() || GetACP() == CP_UTF8) return true;
  BOOL usedDefault = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.c_str(),
                                       static_cast<int>(text.size()), nullptr, 0, nullptr, &usedDefault);
  return size > 0 && !usedDefault;
}

std::optional<std::string> ReadBytes(const std::wstring& path) {
  UniqueKernelHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return std::string();
    return std::nullopt;
  }
  std::string bytes;
  char buffer[16 * 1024];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return std::nullopt;
    if (read == 0) return bytes;
    bytes.append(buffer, read);
  }
}

// The profile functions keep a file in the ANSI code page unless it begins with a UTF-16
// byte-order mark: then they read and write it in UTF-16, on Windows and Wine alike. The
// file becomes such a one, its text unchanged, before a text the code page cannot carry
// is written; a file that is one already stays as it is.
bool MakeUnicode(const std::wstring& path) {
  const std::optional<std::string> bytes = ReadBytes(path);
  if (!bytes) return false;
  if (bytes->size() >= 2 && (*bytes)[0] == '\xFF' && (*bytes)[1] == '\xFE') return true;
  // Wine also reads a file with a UTF-8 byte-order mark as UTF-8.
  const bool utf8 = bytes->rfind("\xEF\xBB\xBF", 0) == 0;
  const std::string_view source = std::string_view(*bytes).substr(utf8 ? 3 : 0);
  const UINT codePage = utf8 ? CP_UTF8 : CP_ACP;
  std::wstring text;
  if (!source.empty()) {
    const int length = MultiByteToWideChar(codePage, 0, source.data(), static_cast<int>(source.size()), nullptr, 0);
    if (length <= 0) return false;
    text.resize(static_cast<size_t>(length));
    MultiByteToWideChar(codePage, 0, source.data(), static_cast<int>(source.size()), text.data(), length);
  }
  const std::wstring fresh = path + L".new";
  {
    UniqueKernelHandle file(CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const std::string out = "\xFF\xFE" + std::string(reinterpret_cast<const char*>(text.data()),
                                                       text.size() * sizeof(wchar_t));
    DWORD written = 0;
    if (!WriteFile(file.get(), out.data(), static_cast<DWORD>(out.size()), &written, nullptr) ||
        written != out.size() || !FlushFileBuffers(file.get())) {
      file.reset();
      DeleteFileW(fresh.c_str());
      return false;
    }
  }
  if (!MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileW(fresh.c_str());
    return false;
  }
  return true;
}

class Win32IniFile : public IniFile {
 public:
  explicit Win32IniFile(std::string path) : path_(std::move(path)) {}

  std::string Read(std::string_view section, std::string_view key, std::string_view defaultValue) override {
    // An ANSI file's text the system converts for the wide calls; a UTF-16 one it reads
    // as it is (see Write).
    wchar_t buffer[2048];
    const DWORD capacity = sizeof buffer / sizeof buffer[0];
    const DWORD length = GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(),
                                                  Wide(defaultValue).c_str(), buffer, capacity,
                                                  Wide(path_).c_str());
    return Narrow(std::wstring_view(buffer, length < capacity ? length : capacity - 1));
  }

  bool Write(std::string_view section, std::string_view key, std::string_view value) override {
    const std::wstring path = Wide(path_), wideSection = Wide(section), wideKey = Wide(key),
                       wideValue = Wide(value);
    if (!(FitsAnsi(wideSection) && FitsAnsi(wideKey) && FitsAnsi(wideValue))) {
      // What the system holds of the file goes out first, then it is read again as changed.
      WritePrivateProfileStringW(nullptr, nullptr, nullptr, path.c_str());
      if (!MakeUnicode(path)) return false;
    }
    return WritePrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), wideValue.c_str(),
                                      path.c_str()) != FALSE;
  }

 private:
  std::string path_;
};

}  // namespace

std::unique_ptr<IniFile> MakeIniFile(const std::string& path) { return std::make_unique<Win32IniFile>(path); }

}  // namespace tallowin::platform::win32
