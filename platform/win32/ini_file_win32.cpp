#include <windows.h>

#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"

namespace tallowin::platform::win32 {

namespace {

class Win32IniFile : public IniFile {
 public:
  explicit Win32IniFile(std::string path) : path_(std::move(path)) {}

  std::string Read(std::string_view section, std::string_view key, std::string_view defaultValue) override {
    // The file stays in the ANSI code page; the system converts its text for the wide
    // calls, so names in other scripts survive as far as that code page carries them.
    wchar_t buffer[2048];
    const DWORD capacity = sizeof buffer / sizeof buffer[0];
    const DWORD length = GetPrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(),
                                                  Wide(defaultValue).c_str(), buffer, capacity,
                                                  Wide(path_).c_str());
    return Narrow(std::wstring_view(buffer, length < capacity ? length : capacity - 1));
  }

  bool Write(std::string_view section, std::string_view key, std::string_view value) override {
    return WritePrivateProfileStringW(Wide(section).c_str(), Wide(key).c_str(),
                                      Wide(value).c_str(), Wide(path_).c_str()) != FALSE;
  }

 private:
  std::string path_;
};

}  // namespace

std::unique_ptr<IniFile> MakeIniFile(const std::string& path) { return std::make_unique<Win32IniFile>(path); }

}  // namespace tallowin::platform::win32
