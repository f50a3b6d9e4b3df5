#include "platform/win32/win32_platform.h"

namespace tallowin::platform::win32 {

Win32Machine::Win32Machine()
    : registry_(MakeRegistry()),
      files_(MakeFileSystem()),
      system_(MakeSystem()),
      processes_(MakeProcessLauncher()),
      restorePoint_(MakeRestorePointService()),
      platform_{*registry_, *files_, *system_, *processes_, *restorePoint_} {}

Win32Machine::~Win32Machine() = default;

}  // namespace tallowin::platform::win32
