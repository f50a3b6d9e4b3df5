#pragma once
// The record of the unattended runs ("Tallowin.exe -repaironce"): one JSON object per
// line in a file of the backup folder, the last kRunLogKept runs.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wording.h"
#include "platform/file_system.h"
#include "platform/system.h"
#include "repair/repair_run.h"

namespace tallowin {

inline constexpr const char* kRunLogName = "Unattended runs.jsonl";
inline constexpr size_t kRunLogKept = 100;
inline constexpr size_t kRunLogLineBytes = 256 * 1024;  // a longer line is no record of ours
inline constexpr size_t kRunReasonsKept = 5;  // the first reasons of a run's rows that stayed

struct RunRecord {
  std::string started;  // local time, "2026-12-09T03:00:00"
  std::string ended;
  int exitStatus = 0;
  size_t found = 0;  // findings the repair was given (or the scan found, when none ran)
  size_t removed = 0;
  size_t notRemoved = 0;
  std::vector<std::string> reasons;
  std::string backupFile;  // empty when none was written
};

std::string IsoLocalTime(const platform::LocalTime& time);
// What an unattended run's exit status means, e.g. "some findings could not be removed".
std::string RunStatusMeaning(int exitStatus, const Wording& words = English());

// The record of a run that began at `started`; `repair` is null when no repair ran.
RunRecord MakeRunRecord(const std::string& started, const std::string& ended, int exitStatus,
                        size_t found, const RepairResult* repair);

std::string RunRecordLine(const RunRecord& record);  // one line of JSON, no line end

struct RunLog {
  std::vector<RunRecord> records;  // oldest first
  std::vector<std::string> notes;  // one per line that was skipped, saying why
  bool unreadable = false;         // the file is there but could not be read
};
RunLog ParseRunLog(std::string_view text);

std::string RunLogPath(const std::string& folder);
// The log of the folder; none (no file) is an empty log.
RunLog ReadRunLog(platform::FileSystem& files, const std::string& folder);
// Appends the record, keeping the last kRunLogKept lines: the whole log is written to a
// new file that then takes the old one's place, so a run stopped midway leaves the old
// log whole. Creates the folder when it is missing. "" or what went wrong.
std::string AppendRunRecord(platform::FileSystem& files, const std::string& folder,
                            const RunRecord& record);

// "Last automatic repair: <date time>, N removed, M not removed", and what the run's
// status meant when it did not get to repair, in `words`. The record's reasons stay in
// the English they were written in; this line does not show them.
std::string LastRunStatusText(const RunRecord& record, platform::System& system,
                              const Wording& words = English());

}  // namespace tallowin
