#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace tallowin::platform::win32 {

namespace {

class Win32IniFile : public IniFile {
 public:
  explicit Win32IniFile(std::string path) : path_(std::move(path)) {}

  std::string Read(std::string_view section, std::string_view key, std::string_view defaultValue) override {
    char buffer[2048];
    const DWORD length = GetPrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                                  std::string(defaultValue).c_str(), buffer,
                                                  sizeof buffer, path_.c_str());
    return std::string(buffer, length < sizeof buffer ? length : sizeof buffer - 1);
  }

  bool Write(std::string_view section, std::string_view key, std::string_view value) override {
    return WritePrivateProfileStringA(std::string(section).c_str(), std::string(key).c_str(),
                                      std::string(value).c_str(), path_.c_str()) != FALSE;
  }

 private:
  std::string path_;
};

}  // namespace

std::unique_ptr<IniFile> MakeIniFile(const std::string& path) { return std::make_unique<Win32IniFile>(path); }

}  // namespace tallowin::platform::win32
