#pragma once
// The restore manager without its window: the list of backup files, the import through
// the registry editor, the check that everything came back, and the delete step.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/wording.h"
#include "platform/platform.h"
#include "platform/reg_text.h"

namespace tallowin {

inline constexpr const char* kRestoreHintText = "Restore registry...";
// The English of Phrase::RestoreRegeditMissing and Phrase::RestoreRegeditElevation.
inline constexpr const char* kRegeditMissingText = "Please check if Regedit.exe exists.";
inline constexpr const char* kRegeditElevationText =
    "Regedit.exe needs administrator rights (elevation required): run this program as "
    "administrator to restore.";
inline constexpr long kElevationRequired = 740;  // ERROR_ELEVATION_REQUIRED
inline constexpr const char* kBrowseCaption = "Please select the directory";

struct BackupFileRow {
  std::string name;  // without folder
  uint64_t writeTime = 0;
  uint64_t size = 0;
  std::string dateText;  // "Date Created"
  std::string sizeText;  // "Size"
};

// "1,025 KB": kilobytes rounded up, digits grouped by three.
std::string FormatSizeKB(uint64_t bytes);

// Newest first: by last-write time, descending; names of the same time in descending
// order, compared in any case.
void SortBackupFiles(std::vector<BackupFileRow>& rows);

// Appends a row for every ".REG" file (any case) of the folder and keeps the list
// sorted. False, with `rows` unchanged, when the folder is not an existing directory
// (the caller shows "can not find the backup folder.").
[[nodiscard]] bool ListBackupFiles(platform::FileSystem& files, platform::System& system,
                                   std::string_view folder, std::vector<BackupFileRow>& rows);

// Folder + "\" (when missing) + name.
std::string BackupFilePath(std::string_view folder, std::string_view name);

// The registry editor by its full path, so that no regedit.exe beside the program or
// in the current folder is run. For the process view: the 32-bit one under WOW64 (it
// sees the same registry view as this process), else the one in the Windows folder.
// For the 64-bit view: the one in the Windows folder, which must then be started in
// that view (the system redirects a 32-bit caller to the 32-bit one).
std::string RegistryEditorPath(platform::FileSystem& files, platform::System& system,
                               platform::View view = platform::View::Process);
// "<editor>" /s "<path>"
std::string RestoreCommandLine(platform::FileSystem& files, platform::System& system,
                               std::string_view backupPath,
                               platform::View view = platform::View::Process);

// The registry view a backup file's key lines name: Native when the line after its
// header is kNativeViewLine. Process for any other file, and one that cannot be read.
platform::View BackupFileView(platform::FileSystem& files, const AnsiCodePage& ansi,
                              const std::string& path);

enum class CommandResult {
  Finished,    // the process ended by itself
  Stopped,     // "Stop": the process was terminated
  Closed,      // the hint was closed: the process keeps running
  NotStarted,  // the program could not be started
};

// The hint window while the command runs.
enum class HintAction { Wait, Stop, Close };
class CommandHint {
 public:
  virtual ~CommandHint() = default;
  // Shows the hint until the process ends or the user stops (terminate) or closes it.
  // This default shows the text once and asks Poll() every 500 ms; a window overrides it
  // with its own modal loop and a 500 ms timer that calls process.WaitFor(0).
  virtual CommandResult WaitWithHint(platform::Process& process, const std::string& hintText);
  virtual void Show(const std::string& /*hintText*/) {}
  virtual HintAction Poll() { return HintAction::Wait; }
};

// The hint's bar (0..500) on each 500 ms tick while the process runs. It passes its
// maximum by one and stays there: it does not measure the process.
int NextBackupHintProgress(int position);

// RunCommandWithHint's process part: starts the command hidden (its program as `view`
// sees it) and waits for it through the hint.
[[nodiscard]] CommandResult RunCommandWithHint(platform::ProcessLauncher& launcher,
                                               const std::string& commandLine,
                                               const std::string& hintText, CommandHint& hint,
                                               platform::View view = platform::View::Process);

// Whether every key and value of the document is in the registry with the same type
// and bytes (string types may have gained the terminating NUL the import adds). The
// last occurrence wins when a value occurs twice. `missing` names the first item that
// is not, in `words`.
[[nodiscard]] bool VerifyImported(platform::Registry& registry,
                                  const platform::RegTextDocument& document,
                                  std::string& missing, const Wording& words = English());

// Registry data as it reads back after an import of `fileData` of that type.
bool SameAfterImport(uint32_t type, std::string_view fileData, std::string_view registryData);

// Whether `path` names a file directly inside `folder`, both as the file system
// resolves them, compared in any case.
bool LiesInFolder(platform::FileSystem& files, std::string_view path, std::string_view folder);

enum class RestoreStatus {
  NothingSelected,
  Restored,     // imported and checked; deleted when it lies in the backup folder
  NotStarted,   // the registry editor could not be started
  Stopped,      // the user stopped or left the import; the file stays
  Unreadable,   // the file cannot be read or is not a backup this program can check
  NotRestored,  // the import ended but something did not come back; the file stays
};

struct RestoreOutcome {
  RestoreStatus status = RestoreStatus::NotStarted;
  bool fileDeleted = false;  // gone after the restore (its row leaves the list)
  bool keptOutsideBackupFolder = false;  // restored; a file chosen elsewhere stays
  // For the user, in the wording the restore was given; empty on success. A restored file
  // that could not be deleted is named here with the system's reason, and keeps its row.
  std::string message;
};

// Restore of one file: read it whole to check that every line is one the backup writer
// writes (a file cut short is refused before anything is imported), import it with the
// registry editor of the view the file names (BackupFileView), read it again to check
// every value came back in that view, and only then delete it, when it lies in
// `backupFolder`. The file is read in chunks, never held whole. The message is said in
// `words`.
[[nodiscard]] RestoreOutcome RestoreBackupFile(platform::Platform& platform,
                                               const std::string& path,
                                               std::string_view backupFolder,
                                               CommandHint& hint,
                                               const Wording& words = English());

// The dialog's restore and delete steps on the selected row of the files listed from
// `folder`. `selected` follows the row that moves into the deleted one's place (or the
// new last row; -1 when empty). A restored file outside `backupFolder`, or one that
// could not be deleted, keeps its row.
[[nodiscard]] RestoreOutcome RestoreSelected(platform::Platform& platform,
                                             std::string_view folder,
                                             std::string_view backupFolder,
                                             std::vector<BackupFileRow>& rows, int& selected,
                                             CommandHint& hint,
                                             const Wording& words = English());

struct DeleteOutcome {
  bool deleted = false;  // the file is gone (also when it was gone before); its row left
  std::string message;   // why the file is still there, with the system's reason; its row stays
};

// Deletes the selected row's file without asking; the row leaves the list once the file
// is gone.
[[nodiscard]] DeleteOutcome DeleteSelected(platform::Platform& platform, std::string_view folder,
                                           std::vector<BackupFileRow>& rows, int& selected,
                                           const Wording& words = English());

}  // namespace tallowin
