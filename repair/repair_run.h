#pragma once
// The repair run ("&Fix Errors"): every checked row is backed up and then deleted by
// its entry kind. A row leaves the list only when its item is gone; nothing is
// deleted that is not whole in the backup file, on the disk, first, and nothing that
// changed since the scan reported it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wording.h"
#include "platform/platform.h"
#include "repair/issue_list.h"

namespace tallowin {

inline constexpr const char* kBackupFolderMissingText = "can not find the backup folder.";

// What the run asks of the user. The GUI shows message boxes and the restore point
// dialog; the command line answers on the console.
class RepairPrompts {
 public:
  virtual ~RepairPrompts() = default;
  // Yes/No question, caption "Tallowin", information icon. True = Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // Error message box.
  virtual void ShowError(const std::string& text) = 0;
  // The modal restore point dialog. True = OK (go on), false = cancel.
  virtual bool RunRestorePointDialog() = 0;
  // Asked before every row: true ends the run there (Ctrl+C, a Stop button).
  virtual bool StopRequested() { return false; }
  // After each checked row: how many of the run's `total` checked rows are done.
  virtual void RowsDone(size_t done, size_t total) { (void)done; (void)total; }
};

struct RepairSettings {
  std::string outputDirectory;
  bool createRestorePoint = false;  // CreateRP
  uint8_t osVersionCode = 0;
  // The run's questions, errors, reasons and status text; LastClean is always English.
  const Wording* words = &English();
};

// The outcome for one row.
enum class RepairOutcome {
  Deleted,           // backed up, deleted, and checked to be gone
  AlreadyGone,       // not there when the run reached it
  ChangedSinceScan,  // no longer what the scan reported: left alone
  NotAddressed,      // unknown root name, or a path that names no single item
  Refused,           // what a backup cannot give back (a symbolic link, a line break in a name)
  Unreadable,        // the item or part of its sub-tree could not be read
  DeleteFailed,      // backed up, but the registry or the shell refused the deletion
  StillPresent,      // deleted, but still visible where the row says it was
  BackupFailed,      // the backup file could not be written: the run stops
  Stopped,           // not reached: the run was stopped
};

inline bool IsFixed(RepairOutcome outcome) {
  return outcome == RepairOutcome::Deleted || outcome == RepairOutcome::AlreadyGone;
}

// "deleted", "already gone", "changed since the scan", "refused" or "failed".
const std::string& OutcomeName(RepairOutcome outcome, const Wording& words = English());

struct RowProblem {
  Issue issue;
  RepairOutcome outcome;
  std::string detail;  // why, naming the key, value or file concerned
};

// What happened to one checked row.
struct RowReport {
  Issue issue;
  RepairOutcome outcome = RepairOutcome::Stopped;
  std::string reason;      // empty when deleted
  std::string backupFile;  // where its backup block is, when it has one
};

struct RepairResult {
  bool completed = false;  // reached the summary (LastClean and status text are set)
  bool stopped = false;    // ended early at the user's request; the summary says so
  size_t fixed = 0;        // rows whose item is gone; they left the list
  size_t alreadyGone = 0;  // of those, the ones that were not there any more
  size_t failed = 0;       // checked rows that stay in the list
  std::string backupFile;  // the run's backup file, when a block was written to it
  std::string lastClean;
  std::string statusText;
  std::string error;       // why the run stopped before its end (empty otherwise)
  std::vector<RowProblem> problems;  // the rows that stayed, in visiting order
  std::vector<RowReport> rows;       // every checked row, in visiting order
};

// Rows are backed up and deleted in batches of at most this many: each batch's blocks
// are flushed to the disk once, before its deletions.
inline constexpr size_t kRepairBatchRows = 256;

// "<date time> , N errors were fixed!" with ", M could not be removed" when M > 0: what
// Settings.dat keeps, in English.
std::string MakeLastClean(platform::System& system, size_t fixed, size_t failed);
// A LastClean as `words` say it, when it is exactly what MakeLastClean writes; any other
// text (an older program's, one edited by hand) as it stands.
std::string ShownLastClean(const std::string& lastClean, const Wording& words);
// "Fix errors finished, N errors were fixed!" with ", M could not be removed" when M > 0.
std::string MakeFixStatusText(size_t fixed, size_t failed, const Wording& words);

// bFixErrorsClick over the model. A list with rows that the post-scan filter has not
// been through to its end is refused (Phrase::RepairListNotFiltered).
[[nodiscard]] RepairResult FixErrors(IssueList& list, platform::Platform& platform,
                                     const RepairSettings& settings, RepairPrompts& prompts);

}  // namespace tallowin
