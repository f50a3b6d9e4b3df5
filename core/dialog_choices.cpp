#include "core/dialog_choices.h"

#include <algorithm>

#include "repair/repair_run.h"

namespace tallowin {

bool ScanSectionsDiffer(const TScanSections& checks, const TScanSections& stored) {
  return checks.items != stored.items;
}

OptionsChoice OptionsFromSettings(const TOptionsSetting& settings) {
  OptionsChoice choice;
  choice.outputDirectory = settings.OutputDirectory;
  choice.ignoreRemoveDrives = settings.IgnoreRemoveDrives;
  choice.createRestorePoint = settings.CreateRP;
  choice.check64Bit = settings.Check64Bit;
  const size_t count = settings.IgnoreKeyCount > 0
                           ? std::min(static_cast<size_t>(settings.IgnoreKeyCount),
                                      settings.IgnoreKeys.size())
                           : 0;
  choice.ignoreKeys.assign(settings.IgnoreKeys.begin(),
                           settings.IgnoreKeys.begin() + static_cast<std::ptrdiff_t>(count));
  return choice;
}

std::string ApplyOptions(platform::FileSystem& files, const OptionsChoice& choice,
                         const std::string& executableDirectory, TOptionsSetting& settings) {
  // A relative folder lies beside the program, as when Settings.dat names it, whatever
  // folder the program was started in; the file keeps it as typed.
  const std::string folder = ResolveOutputDirectory(choice.outputDirectory, executableDirectory);
  if (!platform::FolderExists(files, folder)) return choice.outputDirectory + "," + kBackupFolderMissingText;
  // The dialog shows the folder in full: OK on it unchanged keeps the file's spelling;
  // anything typed ("C:relbk" for "relbk" too) is kept as typed.
  if (choice.outputDirectory != settings.OutputDirectory) settings.OutputDirectoryInFile = choice.outputDirectory;
  settings.OutputDirectory = folder;
  settings.IgnoreRemoveDrives = choice.ignoreRemoveDrives;
  settings.CreateRP = choice.createRestorePoint;
  settings.Check64Bit = choice.check64Bit;
  settings.IgnoreKeyCount = static_cast<int32_t>(choice.ignoreKeys.size());
  settings.IgnoreKeys = choice.ignoreKeys;
  return {};
}

}  // namespace tallowin
