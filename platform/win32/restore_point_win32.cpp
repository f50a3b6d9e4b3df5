#include <windows.h>
#include <srrestoreptapi.h>

#include <cstring>
#include <optional>
#include <string>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"

namespace tallowin::platform::win32 {
namespace {

static_assert(kBeginSystemChange == BEGIN_SYSTEM_CHANGE && kEndSystemChange == END_SYSTEM_CHANGE);
static_assert(kApplicationInstall == APPLICATION_INSTALL &&
              kCancelledOperation == CANCELLED_OPERATION);

using SetRestorePointFn = BOOL(WINAPI*)(PRESTOREPOINTINFOA, PSTATEMGRSTATUS);

// One SRSetRestorePointA call; nothing when System Restore is not there.
std::optional<bool> SetRestorePoint(RESTOREPOINTINFOA& info, STATEMGRSTATUS& status) {
  // Only the copy in the system folder: a bare name would also find a planted DLL in
  // the program's or the current folder.
  char system[MAX_PATH + 1] = {};
  const UINT len = GetSystemDirectoryA(system, sizeof system);
  if (len == 0 || len >= sizeof system) return std::nullopt;
  const std::string path = std::string(system, len) + "\\SrClient.dll";
  UniqueModule library(LoadLibraryA(path.c_str()));
  if (!library) return std::nullopt;
  const auto setRestorePoint = ProcAddress<SetRestorePointFn>(library.get(), "SRSetRestorePointA");
  if (setRestorePoint == nullptr) return std::nullopt;
  // The call talks COM to the System Restore service, and the worker thread that makes
  // it has no apartment of its own; a thread that has one keeps it.
  const ComScope com(COINIT_MULTITHREADED);
  return setRestorePoint(&info, &status) != FALSE;
}

class Win32RestorePointService final : public RestorePointService {
 public:
  RestorePointStart Create(const std::string& description) override {
    RESTOREPOINTINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwEventType = BEGIN_SYSTEM_CHANGE;
    info.dwRestorePtType = APPLICATION_INSTALL;
    info.llSequenceNumber = 0;
    description.copy(info.szDescription, sizeof info.szDescription - 1);  // NUL-padded
    STATEMGRSTATUS status;
    std::memset(&status, 0, sizeof status);
    const std::optional<bool> created = SetRestorePoint(info, status);
    if (!created) return {RestorePointResult::Unavailable, 0};
    if (!*created) return {RestorePointResult::Failed, 0};
    return {RestorePointResult::Created, status.llSequenceNumber};
  }

  bool End(int64_t sequence, bool cancelled) override {
    RESTOREPOINTINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwEventType = END_SYSTEM_CHANGE;
    info.dwRestorePtType = cancelled ? CANCELLED_OPERATION : APPLICATION_INSTALL;
    info.llSequenceNumber = sequence;
    STATEMGRSTATUS status;
    std::memset(&status, 0, sizeof status);
    return SetRestorePoint(info, status).value_or(false);
  }
};

}  // namespace

std::unique_ptr<RestorePointService> MakeRestorePointService() {
  return std::make_unique<Win32RestorePointService>();
}

}  // namespace tallowin::platform::win32
