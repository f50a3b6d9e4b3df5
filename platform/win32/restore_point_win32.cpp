#include <windows.h>
#include <srrestoreptapi.h>

#include <cstring>
#include <string>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"

namespace tallowin::platform::win32 {
namespace {

using SetRestorePointFn = BOOL(WINAPI*)(PRESTOREPOINTINFOA, PSTATEMGRSTATUS);

class Win32RestorePointService final : public RestorePointService {
 public:
  RestorePointResult Create(const std::string& description) override {
    // Only the copy in the system folder: a bare name would also find a planted DLL
    // in the program's or the current folder.
    char system[MAX_PATH + 1] = {};
    const UINT len = GetSystemDirectoryA(system, sizeof system);
    if (len == 0 || len >= sizeof system) return RestorePointResult::Unavailable;
    const std::string path = std::string(system, len) + "\\SrClient.dll";
    UniqueModule library(LoadLibraryA(path.c_str()));
    if (!library) return RestorePointResult::Unavailable;
    const auto setRestorePoint =
        ProcAddress<SetRestorePointFn>(library.get(), "SRSetRestorePointA");
    if (setRestorePoint == nullptr) return RestorePointResult::Unavailable;

    RESTOREPOINTINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwEventType = BEGIN_SYSTEM_CHANGE;
    info.dwRestorePtType = APPLICATION_INSTALL;
    info.llSequenceNumber = 0;
    description.copy(info.szDescription, sizeof info.szDescription - 1);  // NUL-padded
    STATEMGRSTATUS status;
    std::memset(&status, 0, sizeof status);
    return setRestorePoint(&info, &status) ? RestorePointResult::Created
                                           : RestorePointResult::Failed;
  }
};

}  // namespace

std::unique_ptr<RestorePointService> MakeRestorePointService() {
  return std::make_unique<Win32RestorePointService>();
}

}  // namespace tallowin::platform::win32
