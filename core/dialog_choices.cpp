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
                         TOptionsSetting& settings) {
  if (!platform::FolderExists(files, choice.outputDirectory))
    return choice.outputDirectory + "," + kBackupFolderMissingText;
  settings.OutputDirectory = choice.outputDirectory;
  settings.IgnoreRemoveDrives = choice.ignoreRemoveDrives;
  settings.CreateRP = choice.createRestorePoint;
  settings.Check64Bit = choice.check64Bit;
  settings.IgnoreKeyCount = static_cast<int32_t>(choice.ignoreKeys.size());
  settings.IgnoreKeys = choice.ignoreKeys;
  return {};
}

}  // namespace tallowin
