#include <string>

#include "app/cli/commands.h"
#include "app/cli/console.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "platform/win32/win32_platform.h"

namespace tallowin::cli {

int RunRuns(const RunsArgs& args) {
  platform::win32::Win32Machine machine;
  const platform::Platform& platform = machine.platform();
  std::string folder = args.folder;
  if (folder.empty()) {
    const std::string exeDir = platform.system.ExecutableDirectory();
    const auto ini = platform::win32::MakeIniFile(SettingsPath(exeDir));
    LoadSettingsForConsole(*ini, SettingsPath(exeDir), exeDir);
    folder = OptionsSetting.OutputDirectory;
  }
  if (folder.empty()) {
    WriteText(stderr, "tallowin-cli: No backup folder is set: OutputDirectory in Settings.dat is "
                      "empty, so no unattended run is recorded.\n");
    return kExitFailed;
  }
  const RunLog log = ReadRunLog(platform.files, folder);
  for (const std::string& note : log.notes)
    WriteText(stderr, "tallowin-cli: " + RunLogPath(folder) + ": " + note + "\n");
  if (log.unreadable) return kExitFailed;
  if (log.records.empty() && log.notes.empty())
    WriteText(stderr, "tallowin-cli: no unattended run is recorded in " + folder + "\n");
  std::string text;
  for (const RunRecord& record : log.records) {
    if (args.format == Format::Json) {
      text += RunRecordLine(record) + "\n";
      continue;
    }
    std::string started = record.started;
    if (started.size() > 10) started[10] = ' ';
    text += started + "  exit " + std::to_string(record.exitStatus) + ": " +
            RunStatusMeaning(record.exitStatus) + "; found " + std::to_string(record.found) +
            ", removed " + std::to_string(record.removed) + ", not removed " +
            std::to_string(record.notRemoved) +
            (record.backupFile.empty() ? std::string() : "; backup " + record.backupFile) + "\n";
    for (const std::string& reason : record.reasons) text += "    " + reason + "\n";
  }
  WriteText(stdout, text);
  return kExitOk;
}

}  // namespace tallowin::cli
