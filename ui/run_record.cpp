#include "ui/run_record.h"

#include <windows.h>

#include "core/fix_report.h"
#include "core/settings.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"

namespace tallowin::ui {

void RecordUnattendedRun(platform::FileSystem& files, const std::string& folder, const RunRecord& record) {
  // A named mutex per session: the log is read, extended and replaced as one step.
  platform::win32::UniqueKernelHandle turn(CreateMutexW(nullptr, FALSE, L"Tallowin unattended run log"));
  const bool waited = turn && WaitForSingleObject(turn.get(), 10000) != WAIT_TIMEOUT;
  (void)AppendRunRecord(files, folder, record);
  if (waited) ReleaseMutex(turn.get());
}

void RecordRunBesideAnotherCopy() {
  platform::win32::Win32Machine machine;
  const platform::Platform& platform = machine.platform();
  const std::string exeDir = platform.system.ExecutableDirectory();
  const std::unique_ptr<platform::IniFile> ini = platform::win32::MakeIniFile(SettingsPath(exeDir));
  LoadSettingsForConsole(*ini, SettingsPath(exeDir), exeDir);
  const std::string now = IsoLocalTime(platform.system.Now());
  RecordUnattendedRun(platform.files, OptionsSetting.OutputDirectory,
                      MakeRunRecord(now, now, kRepairOnceAlreadyRunning, 0, nullptr));
}

std::optional<std::string> LastUnattendedRunText(const platform::Platform& platform,
                                                 const std::string& folder, const Wording& words) {
  const RunLog log = ReadRunLog(platform.files, folder);
  if (log.records.empty()) return std::nullopt;
  return LastRunStatusText(log.records.back(), platform.system, words);
}

}  // namespace tallowin::ui
