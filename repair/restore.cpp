#include "repair/restore.h"

#include <algorithm>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <tuple>
#include <utility>

#include "platform/reg_stream.h"
#include "repair/backup.h"
#include "platform/text.h"

namespace tallowin {

using platform::RegTextBlock;
using platform::RegTextValue;

namespace {

bool IsStringType(uint32_t type) {
  return type == platform::kRegSz || type == platform::kRegExpandSz ||
         type == platform::kRegMultiSz;
}

std::string KeyText(platform::Root root, std::string_view path) {
  std::string text = platform::RootName(root);
  if (!path.empty()) {
    text += '\\';
    text += path;
  }
  return text;
}

std::string ValueText(platform::Root root, std::string_view path, std::string_view name) {
  return KeyText(root, path) + (name.empty() ? std::string(" @") : " \"" + std::string(name) + "\"");
}

void RemoveRow(std::vector<BackupFileRow>& rows, int& selected) {
  const auto index = static_cast<size_t>(selected);
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(index));
  if (index < rows.size()) return;
  selected = static_cast<int>(rows.size()) - 1;
}

bool HasSelection(const std::vector<BackupFileRow>& rows, int selected) {
  return selected >= 0 && static_cast<size_t>(selected) < rows.size();
}

// Deletes the file; empty when it is gone afterwards (also when it was gone before), else
// the system's reason why it is still there, or why that cannot be told.
std::string RemoveBackupFile(platform::Platform& platform, const std::string& path,
                             const Wording& words) {
  const long error = platform.files.RemoveFileWithReason(path);
  const long gone = platform::CheckGone(platform.files, path);
  if (gone == platform::kSuccess) return {};
  if (gone != platform::kFileExists)
    return words.Say(Phrase::DeleteUnsure, {platform.system.ErrorText(gone)});
  if (error == platform::kSuccess) return words[Phrase::DeleteStillThere];
  return platform.system.ErrorText(error);
}

}  // namespace

std::string FormatSizeKB(uint64_t bytes) {
  const uint64_t kilobytes = bytes / 1024 + (bytes % 1024 != 0 ? 1 : 0);
  const std::string digits = std::to_string(kilobytes);
  std::string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text + " KB";
}

void SortBackupFiles(std::vector<BackupFileRow>& rows) {
  // By the time the list shows: a file copied in or renamed goes by its date, not its name.
  std::stable_sort(rows.begin(), rows.end(), [](const BackupFileRow& a, const BackupFileRow& b) {
    if (a.writeTime != b.writeTime) return a.writeTime > b.writeTime;
    return CompareNoCase(a.name, b.name) > 0;
  });
}

bool ListBackupFiles(platform::FileSystem& files, platform::System& system,
                     std::string_view folder, std::vector<BackupFileRow>& rows) {
  if (!platform::FolderExists(files, folder)) return false;
  std::vector<platform::DirEntry> entries;
  if (files.List(BackupFilePath(folder, "*"), entries) != platform::kSuccess) entries.clear();
  for (const platform::DirEntry& entry : entries) {
    if (entry.attributes & platform::kAttrDirectory) continue;
    const size_t dot = entry.name.rfind('.');
    if (dot == std::string::npos || AsciiUpper(entry.name.substr(dot)) != ".REG") continue;
    BackupFileRow row;
    row.name = entry.name;
    row.writeTime = entry.writeTime;
    row.size = entry.size;
    row.dateText = system.FormatFileTime(entry.writeTime);
    row.sizeText = FormatSizeKB(entry.size);
    rows.push_back(std::move(row));
  }
  SortBackupFiles(rows);
  return true;
}

std::string BackupFilePath(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || path.back() != '\\') path += '\\';
  path += name;
  return path;
}

std::string RegistryEditorPath(platform::FileSystem& files, platform::System& system,
                               platform::View view) {
  if (view == platform::View::Process && system.IsWow64()) {
    // Redirected to the 32-bit editor (SysWOW64); a 64-bit one would import into the
    // other registry view than the one the backup was read from.
    const std::string wow = system.SystemDirectory() + "\\regedit.exe";
    if (platform::FileExists(files, wow)) return wow;
  }
  return system.WindowsDirectory() + "\\regedit.exe";
}

std::string RestoreCommandLine(platform::FileSystem& files, platform::System& system,
                               std::string_view backupPath, platform::View view) {
  return "\"" + RegistryEditorPath(files, system, view) + "\" /s \"" + std::string(backupPath) +
         "\"";
}

namespace {

// What the comment lines below a backup's header say: this program's mark (the second
// line), then the view line (the second line of older backups).
struct HeaderMarks {
  bool ours = false;
  bool native = false;
};

HeaderMarks ReadHeaderMarks(platform::FileSystem& files, const AnsiCodePage& ansi,
                            const std::string& path) {
  HeaderMarks marks;
  const std::unique_ptr<platform::FileReader> file = files.OpenForReading(path);
  if (!file) return marks;
  platform::RegLineReader reader(*file, ansi);
  std::string line;
  for (int number = 1; number <= 3; ++number) {
    if (reader.Next(line, platform::kMaxRegHeaderLineBytes) != platform::RegLineReader::Result::Line)
      break;
    if (number == 2 && line == kBackupMarkLine) {
      marks.ours = true;
    } else if (number == (marks.ours ? 3 : 2)) {
      marks.native = line == kNativeViewLine;
      break;
    }
  }
  return marks;
}

}  // namespace

platform::View BackupFileView(platform::FileSystem& files, const AnsiCodePage& ansi,
                              const std::string& path) {
  return ReadHeaderMarks(files, ansi, path).native ? platform::View::Native
                                                    : platform::View::Process;
}

CommandResult CommandHint::WaitWithHint(platform::Process& process, const std::string& hintText) {
  Show(hintText);
  for (;;) {
    if (process.WaitFor(500)) return CommandResult::Finished;
    switch (Poll()) {
      case HintAction::Wait:
        break;
      case HintAction::Stop:
        process.Terminate();
        return CommandResult::Stopped;
      case HintAction::Close:
        return CommandResult::Closed;
    }
  }
}

int NextBackupHintProgress(int position) {
  if (position <= 300) return position + 10;
  if (position <= 400) return position + 5;
  if (position <= 450) return position + 3;
  if (position <= 490) return position + 2;
  if (position <= 500) return position + 1;
  return position;
}

CommandResult RunCommandWithHint(platform::ProcessLauncher& launcher,
                                 const std::string& commandLine, const std::string& hintText,
                                 CommandHint& hint, platform::View view) {
  const std::unique_ptr<platform::Process> process =
      view == platform::View::Process ? launcher.StartHidden(commandLine)
                                      : launcher.StartHiddenInView(commandLine, view);
  if (!process) return CommandResult::NotStarted;
  return hint.WaitWithHint(*process, hintText);
}

bool SameAfterImport(uint32_t type, std::string_view fileData, std::string_view registryData) {
  if (fileData == registryData) return true;
  // The registry editor terminates UTF-16 string data that lacks its NUL character.
  const bool terminated = fileData.size() >= 2 && fileData.substr(fileData.size() - 2) == std::string_view("\0\0", 2);
  return IsStringType(type) && fileData.size() % 2 == 0 && !terminated &&
         registryData.size() == fileData.size() + 2 &&
         registryData.substr(fileData.size()) == std::string_view("\0\0", 2) &&
         registryData.substr(0, fileData.size()) == fileData;
}

namespace {

// Compares a backup's keys and values with the registry after its import, in file
// order. Where a value occurs again later its last data is what the registry must
// hold, so a mismatch waits for a later occurrence to clear it; what still waits at
// the end did not come back.
class ImportCheck {
 public:
  ImportCheck(platform::Registry& registry, const Wording& words) : registry_(registry), words_(words) {}

  // False when the key is missing: no later line can bring it back.
  bool Key(const RegTextBlock& key) {
    key_.reset();
    root_ = key.root;
    path_ = key.path;
    upperPath_ = AsciiUpper(key.path);
    if (registry_.Open(root_, path_, platform::Access::Read, key_) != platform::kSuccess) {
      failure_ = words_.Say(Phrase::RestoreItemMissing, {KeyText(root_, path_)});
      return false;
    }
    return true;
  }

  // False when more values wait than could still be cleared in any sane file.
  bool Value(const RegTextValue& value) {
    const ItemId id{static_cast<int>(root_), upperPath_, AsciiUpper(value.name)};
    std::optional<Phrase> problem;
    {
      platform::RegValue actual;
      if (key_->QueryValue(value.name, actual) != platform::kSuccess) {
        problem = Phrase::RestoreItemMissing;
      } else if (actual.type != value.type ||
                 !SameAfterImport(value.type, value.data, actual.data)) {
        problem = Phrase::RestoreValueChanged;
      }
    }
    if (!problem) {
      waiting_.erase(id);
      return true;
    }
    waiting_[id] = {order_++, words_.Say(*problem, {ValueText(root_, path_, value.name)})};
    if (waiting_.size() <= kMaxWaiting) return true;
    failure_ = FirstWaiting();
    return false;
  }

  // True when everything came back; otherwise `missing` names the first item that did not.
  bool Passed(std::string& missing) const {
    if (failure_.empty() && waiting_.empty()) return true;
    missing = failure_.empty() ? FirstWaiting() : failure_;
    return false;
  }

 private:
  using ItemId = std::tuple<int, std::string, std::string>;  // root, upper-case key and name
  static constexpr size_t kMaxWaiting = 10000;

  std::string FirstWaiting() const {
    const auto first = std::min_element(waiting_.begin(), waiting_.end(),
                                        [](const auto& a, const auto& b) {
                                          return a.second.first < b.second.first;
                                        });
    return first->second.second;
  }

  platform::Registry& registry_;
  const Wording& words_;
  std::unique_ptr<platform::RegistryKey> key_;
  platform::Root root_ = platform::Root::CurrentUser;
  std::string path_;
  std::string upperPath_;
  std::map<ItemId, std::pair<size_t, std::string>> waiting_;  // file order, message
  size_t order_ = 0;
  std::string failure_;
};

RestoreOutcome Kept(RestoreStatus status, std::string message) {
  RestoreOutcome outcome;
  outcome.status = status;
  outcome.message = std::move(message);
  return outcome;
}

// The first reading, before anything is imported: every line one the backup writer
// writes (so a file cut short anywhere inside a line is refused whole, as the editor
// would import the entries before the cut), nothing that deletes, at least one key, and
// for a file with this program's mark, its closing line at the end.
// `file` stays open, so nobody changes the file until the check after the import.
bool CheckBeforeImport(platform::FileSystem& files, const AnsiCodePage& ansi,
                       const std::string& path, std::unique_ptr<platform::FileReader>& file,
                       RestoreOutcome& outcome, const Wording& words) {
  file = files.OpenForReading(path);
  if (!file) {
    outcome = Kept(RestoreStatus::Unreadable, words.Say(Phrase::RestoreCannotRead, {path}));
    return false;
  }
  platform::RegLineParser parser(platform::RegTextRules::Backup, ansi, words);
  size_t keys = 0;
  std::string deletes, error;
  const auto onItem = [&](platform::RegLineParser::Item item) {
    const RegTextBlock& key = parser.key();
    if (item == platform::RegLineParser::Item::Key) ++keys;
    // Backups only ever put things back; a file that deletes is someone else's.
    if (key.remove || (item == platform::RegLineParser::Item::Value && parser.value().remove)) {
      deletes = KeyText(key.root, key.path);
      return false;
    }
    return true;
  };
  switch (platform::ReadRegFile(*file, ansi, parser, onItem, error)) {
    case platform::RegFileResult::Read:
      if (keys == 0) {
        outcome = Kept(RestoreStatus::Unreadable, words.Say(Phrase::RestoreNoKey, {path}));
        return false;
      }
      // A cut at a line end leaves whole lines: this program's backups end on a line of
      // their own (older ones and other .reg files have none).
      if (parser.lastComment() != kBackupEndLine && ReadHeaderMarks(files, ansi, path).ours) {
        outcome = Kept(RestoreStatus::Unreadable,
                       words.Say(Phrase::RestoreCutShort, {path, kBackupEndLine}));
        return false;
      }
      return true;
    case platform::RegFileResult::Malformed:
      outcome = Kept(RestoreStatus::Unreadable, words.Say(Phrase::RestoreNotCheckable, {path, error}));
      return false;
    case platform::RegFileResult::ReadFailed:
      outcome = Kept(RestoreStatus::Unreadable, words.Say(Phrase::RestoreNotReadToEnd, {path, error}));
      return false;
    case platform::RegFileResult::Stopped:
      outcome = Kept(RestoreStatus::Unreadable, words.Say(Phrase::RestoreDeletes, {path, deletes}));
      return false;
  }
  return false;
}

// The second reading, after the import: every key and value against the registry, in
// the view the file names.
bool CheckAfterImport(platform::Platform& platform, const AnsiCodePage& ansi,
                      const std::string& path, platform::View view, std::string& missing,
                      const Wording& words) {
  const std::unique_ptr<platform::FileReader> file = platform.files.OpenForReading(path);
  if (!file) {
    missing = words[Phrase::RestoreNotReread];
    return false;
  }
  platform::RegLineParser parser(platform::RegTextRules::Backup, ansi, words);
  ImportCheck check(platform.registry.InView(view), words);
  std::string error;
  const auto onItem = [&](platform::RegLineParser::Item item) {
    return item == platform::RegLineParser::Item::Key ? check.Key(parser.key())
                                                      : check.Value(parser.value());
  };
  switch (platform::ReadRegFile(*file, ansi, parser, onItem, error)) {
    case platform::RegFileResult::Read:
    case platform::RegFileResult::Stopped:
      return check.Passed(missing);
    case platform::RegFileResult::Malformed:
    case platform::RegFileResult::ReadFailed:
      break;
  }
  missing = words.Say(Phrase::RestoreNotRereadWhy, {error});
  return false;
}

}  // namespace

bool VerifyImported(platform::Registry& registry, const platform::RegTextDocument& document,
                    std::string& missing, const Wording& words) {
  ImportCheck check(registry, words);
  for (const RegTextBlock& block : document.blocks) {
    if (!check.Key(block)) break;
    bool more = true;
    for (const RegTextValue& value : block.values)
      if (!(more = check.Value(value))) break;
    if (!more) break;
  }
  return check.Passed(missing);
}

bool LiesInFolder(platform::FileSystem& files, std::string_view path, std::string_view folder) {
  if (path.empty() || folder.empty()) return false;
  const std::optional<std::string> file = files.FullPath(path);
  const std::optional<std::string> resolved = files.FullPath(folder);
  if (!file || !resolved) return false;
  const size_t slash = file->rfind('\\');
  if (slash == std::string::npos) return false;
  std::string_view parent = std::string_view(*file).substr(0, slash);
  std::string_view wanted = *resolved;
  while (!wanted.empty() && wanted.back() == '\\') wanted.remove_suffix(1);
  return EqualsNoCase(parent, wanted);
}

RestoreOutcome RestoreBackupFile(platform::Platform& platform, const std::string& path,
                                 std::string_view backupFolder, CommandHint& hint,
                                 const Wording& words) {
  const AnsiCodePage& ansi = platform.system.Ansi();
  RestoreOutcome outcome;
  std::unique_ptr<platform::FileReader> held;
  try {
    if (!CheckBeforeImport(platform.files, ansi, path, held, outcome, words)) return outcome;
  } catch (const std::exception&) {  // bad_alloc, length_error: a value too large for this process
    return Kept(RestoreStatus::Unreadable, words.Say(Phrase::RestoreNoMemory, {path}));
  }

  const platform::View view = BackupFileView(platform.files, ansi, path);
  const std::string commandLine = RestoreCommandLine(platform.files, platform.system, path, view);
  switch (RunCommandWithHint(platform.processes, commandLine, kRestoreHintText, hint, view)) {
    case CommandResult::Finished:
      break;
    case CommandResult::NotStarted:
      return Kept(RestoreStatus::NotStarted,
                  words[platform.processes.LastStartError() == kElevationRequired
                            ? Phrase::RestoreRegeditElevation
                            : Phrase::RestoreRegeditMissing]);
    case CommandResult::Stopped:
    case CommandResult::Closed:
      return Kept(RestoreStatus::Stopped, "");
  }

  std::string missing;
  try {
    if (!CheckAfterImport(platform, ansi, path, view, missing, words))
      return Kept(RestoreStatus::NotRestored, words.Say(Phrase::RestoreNotAllBack, {missing, path}));
  } catch (const std::exception&) {
    return Kept(RestoreStatus::NotRestored, words.Say(Phrase::RestoreNoMemoryAfter, {path}));
  }
  held.reset();
  outcome.status = RestoreStatus::Restored;
  if (!LiesInFolder(platform.files, path, backupFolder)) {
    outcome.keptOutsideBackupFolder = true;
    return outcome;
  }
  const std::string reason = RemoveBackupFile(platform, path, words);
  outcome.fileDeleted = reason.empty();
  if (!outcome.fileDeleted) outcome.message = words.Say(Phrase::RestoredNotDeleted, {path, reason});
  return outcome;
}

RestoreOutcome RestoreSelected(platform::Platform& platform, std::string_view folder,
                               std::string_view backupFolder, std::vector<BackupFileRow>& rows,
                               int& selected, CommandHint& hint, const Wording& words) {
  if (!HasSelection(rows, selected)) return {RestoreStatus::NothingSelected, false, false, {}};
  const std::string path = BackupFilePath(folder, rows[static_cast<size_t>(selected)].name);
  RestoreOutcome outcome = RestoreBackupFile(platform, path, backupFolder, hint, words);
  if (outcome.status == RestoreStatus::Restored && outcome.fileDeleted) RemoveRow(rows, selected);
  return outcome;
}

DeleteOutcome DeleteSelected(platform::Platform& platform, std::string_view folder,
                             std::vector<BackupFileRow>& rows, int& selected, const Wording& words) {
  if (!HasSelection(rows, selected)) return {};
  const std::string path = BackupFilePath(folder, rows[static_cast<size_t>(selected)].name);
  const std::string reason = RemoveBackupFile(platform, path, words);
  if (!reason.empty()) return {false, words.Say(Phrase::BackupNotDeleted, {path, reason})};
  RemoveRow(rows, selected);
  return {true, {}};
}

}  // namespace tallowin
