#pragma once
// The real machine: every service over the Windows API (ANSI functions).

#include <memory>

#include "platform/ini_file.h"
#include "platform/platform.h"

namespace tallowin::platform::win32 {

std::unique_ptr<Registry> MakeRegistry();
std::unique_ptr<FileSystem> MakeFileSystem();
std::unique_ptr<System> MakeSystem();
std::unique_ptr<ProcessLauncher> MakeProcessLauncher();
std::unique_ptr<RestorePointService> MakeRestorePointService();
// Private-profile access to the INI file at `path`.
std::unique_ptr<IniFile> MakeIniFile(const std::string& path);

// Owns one of each service; `platform` refers to them.
class Win32Machine {
 public:
  Win32Machine();
  ~Win32Machine();
  const Platform& platform() const { return platform_; }

 private:
  std::unique_ptr<Registry> registry_;
  std::unique_ptr<FileSystem> files_;
  std::unique_ptr<System> system_;
  std::unique_ptr<ProcessLauncher> processes_;
  std::shared_ptr<RestorePointService> restorePoint_;  // a worker may hold it longer
  Platform platform_;
};

}  // namespace tallowin::platform::win32
