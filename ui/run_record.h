#pragma once
// The unattended run's record in the backup folder, as Tallowin.exe writes and shows it.

#include <optional>
#include <string>

#include "core/run_log.h"
#include "platform/platform.h"

namespace tallowin::ui {

// Appends the record; two copies of the program that end at once take turns. Failures
// are not reported: the run's exit status still tells its scheduler how it ended.
void RecordUnattendedRun(platform::FileSystem& files, const std::string& folder, const RunRecord& record);

// "Tallowin.exe -repaironce" started beside another copy: records that it did nothing,
// in the backup folder that Settings.dat names (read only; the other copy owns it).
void RecordRunBesideAnotherCopy();

// The status line's text for the last unattended run of the folder's log, if any.
std::optional<std::string> LastUnattendedRunText(const platform::Platform& platform,
                                                 const std::string& folder, const Wording& words);

}  // namespace tallowin::ui
