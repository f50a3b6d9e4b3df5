#pragma once
// The repair run ("&Fix Errors"): every checked row is backed up and then deleted by
// its entry kind. A row leaves the list only when its item is gone; nothing is
// deleted that is not whole in the backup file first.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "repair/issue_list.h"

namespace tallowin {

inline constexpr const char* kBackupFolderMissingText = "can not find the backup folder.";
inline constexpr const char* kCreateFolderQuestionText = "creates a new directory?";
inline constexpr const char* kCannotCreateText = "Cannot create ";
inline constexpr const char* kErrorsFixedText = " errors were fixed!";
inline constexpr const char* kFixFinishedText = "Fix errors finished";

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
};

struct RepairSettings {
  std::string outputDirectory;
  bool createRestorePoint = false;  // CreateRP
  uint8_t osVersionCode = 0;
};

// The outcome for one item.
enum class RepairOutcome {
  Deleted,       // backed up and deleted
  AlreadyGone,   // nothing there to delete
  NotAddressed,  // unknown root name, or a path that names no single item
  Refused,       // a path or name the backup cannot carry
  Unreadable,    // the item or part of its sub-tree could not be read
  DeleteFailed,  // backed up, but the registry or the shell refused the deletion
  BackupFailed,  // the backup file could not be written: the run stops
};

inline bool IsFixed(RepairOutcome outcome) {
  return outcome == RepairOutcome::Deleted || outcome == RepairOutcome::AlreadyGone;
}

struct RowProblem {
  Issue issue;
  RepairOutcome outcome;
  std::string detail;  // the key, value or file concerned
};

struct RepairResult {
  bool completed = false;  // reached the summary (LastClean and status text are set)
  size_t fixed = 0;        // rows whose item is gone; they left the list
  size_t failed = 0;       // checked rows that stay in the list
  std::string backupFile;  // the run's backup file, when a block was written to it
  std::string lastClean;
  std::string statusText;
  std::string error;       // why the run stopped before its end (empty otherwise)
  std::vector<RowProblem> problems;  // the rows that stayed, in visiting order
};

// The state of one run that the deletions share.
struct RepairContext {
  platform::Platform& platform;
  std::string backupFileName;
  bool backupWritten = false;
  std::string lastProblem;  // the item behind the last outcome that was not fixed
};

[[nodiscard]] RepairOutcome DeleteKeyWithBackup(RepairContext& context,
                                                std::string_view rootName,
                                                std::string_view keyPath);
// An empty value name is the key's default value.
[[nodiscard]] RepairOutcome DeleteValueWithBackup(RepairContext& context,
                                                  std::string_view rootName,
                                                  std::string_view keyPath,
                                                  std::string_view valueName);
// One row by its entry kind.
[[nodiscard]] RepairOutcome RepairIssue(RepairContext& context, const Issue& issue);

// "<date time> , N errors were fixed!" with ", M could not be removed" when M > 0.
std::string MakeLastClean(platform::System& system, size_t fixed, size_t failed);
std::string MakeFixStatusText(size_t fixed, size_t failed);

// bFixErrorsClick over the model.
[[nodiscard]] RepairResult FixErrors(IssueList& list, platform::Platform& platform,
                                     const RepairSettings& settings, RepairPrompts& prompts);

}  // namespace tallowin
