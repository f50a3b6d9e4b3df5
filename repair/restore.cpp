#include "repair/restore.h"

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>

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
  std::stable_sort(rows.begin(), rows.end(), [](const BackupFileRow& a, const BackupFileRow& b) {
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

std::string RegistryEditorPath(platform::FileSystem& files, platform::System& system) {
  if (system.IsWow64()) {
    // Redirected to the 32-bit editor (SysWOW64); a 64-bit one would import into the
    // other registry view than the one the backup was read from.
    const std::string wow = system.SystemDirectory() + "\\regedit.exe";
    if (platform::FileExists(files, wow)) return wow;
  }
  return system.WindowsDirectory() + "\\regedit.exe";
}

std::string RestoreCommandLine(platform::FileSystem& files, platform::System& system,
                               std::string_view backupPath) {
  return "\"" + RegistryEditorPath(files, system) + "\" /s \"" + std::string(backupPath) + "\"";
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

CommandResult RunCommandWithHint(platform::ProcessLauncher& launcher,
                                 const std::string& commandLine, const std::string& hintText,
                                 CommandHint& hint) {
  const std::unique_ptr<platform::Process> process = launcher.StartHidden(commandLine);
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

bool VerifyImported(platform::Registry& registry, const platform::RegTextDocument& document,
                    std::string& missing) {
  using KeyId = std::tuple<int, std::string>;
  struct KeyState {
    const RegTextBlock* block = nullptr;
    std::map<std::string, const RegTextValue*> values;  // by upper-case name; last wins
  };
  std::map<KeyId, KeyState> keys;
  std::vector<KeyId> order;
  for (const RegTextBlock& block : document.blocks) {
    const KeyId id{static_cast<int>(block.root), AsciiUpper(block.path)};
    auto [it, added] = keys.try_emplace(id);
    if (added) order.push_back(id);
    it->second.block = &block;
    for (const RegTextValue& value : block.values)
      it->second.values[AsciiUpper(value.name)] = &value;
  }

  for (const KeyId& id : order) {
    const KeyState& state = keys[id];
    const RegTextBlock& block = *state.block;
    std::unique_ptr<platform::RegistryKey> key;
    if (registry.Open(block.root, block.path, platform::Access::Read, key) != platform::kSuccess) {
      missing = KeyText(block.root, block.path) + " is missing";
      return false;
    }
    for (const auto& [upper, value] : state.values) {
      platform::RegValue actual;
      if (key->QueryValue(value->name, actual) != platform::kSuccess) {
        missing = ValueText(block.root, block.path, value->name) + " is missing";
        return false;
      }
      if (actual.type != value->type || !SameAfterImport(value->type, value->data, actual.data)) {
        missing = ValueText(block.root, block.path, value->name) + " has other data";
        return false;
      }
    }
  }
  return true;
}

RestoreOutcome RestoreBackupFile(platform::Platform& platform, const std::string& path,
                                 CommandHint& hint) {
  RestoreOutcome outcome;
  std::string bytes, text, error;
  platform::RegTextDocument document;
  if (!platform.files.ReadFile(path, bytes)) {
    outcome.status = RestoreStatus::Unreadable;
    outcome.message = "Cannot read the backup file " + path + ".";
    return outcome;
  }
  if (!platform::DecodeRegFileBytes(bytes, text, &error) ||
      !platform::ParseRegText(text, document, &error)) {
    outcome.status = RestoreStatus::Unreadable;
    outcome.message = "The file " + path + " is not a registry backup that can be checked (" +
                      error + "); it was not imported and is kept.";
    return outcome;
  }
  // Backups only ever put things back; a file that deletes is someone else's.
  for (const RegTextBlock& block : document.blocks) {
    const bool deletes = block.remove || std::any_of(block.values.begin(), block.values.end(),
                                                     [](const RegTextValue& v) { return v.remove; });
    if (deletes) {
      outcome.status = RestoreStatus::Unreadable;
      outcome.message = "The file " + path + " deletes registry entries (" +
                        KeyText(block.root, block.path) +
                        "); it is not a backup and was not imported.";
      return outcome;
    }
  }

  const std::string commandLine = RestoreCommandLine(platform.files, platform.system, path);
  switch (RunCommandWithHint(platform.processes, commandLine, kRestoreHintText, hint)) {
    case CommandResult::Finished:
      break;
    case CommandResult::NotStarted:
      outcome.status = RestoreStatus::NotStarted;
      outcome.message = kRegeditMissingText;
      return outcome;
    case CommandResult::Stopped:
    case CommandResult::Closed:
      outcome.status = RestoreStatus::Stopped;
      return outcome;
  }

  std::string missing;
  if (!VerifyImported(platform.registry, document, missing)) {
    outcome.status = RestoreStatus::NotRestored;
    outcome.message = "The backup was imported, but " + missing + "; the file " + path +
                      " is kept.";
    return outcome;
  }
  outcome.status = RestoreStatus::Restored;
  outcome.fileDeleted = platform.files.RemoveFile(path);
  return outcome;
}

RestoreOutcome RestoreSelected(platform::Platform& platform, std::string_view folder,
                               std::vector<BackupFileRow>& rows, int& selected,
                               CommandHint& hint) {
  if (!HasSelection(rows, selected)) return {RestoreStatus::NothingSelected, false, {}};
  const std::string path = BackupFilePath(folder, rows[static_cast<size_t>(selected)].name);
  RestoreOutcome outcome = RestoreBackupFile(platform, path, hint);
  if (outcome.status == RestoreStatus::Restored) RemoveRow(rows, selected);
  return outcome;
}

bool DeleteSelected(platform::FileSystem& files, std::string_view folder,
                    std::vector<BackupFileRow>& rows, int& selected) {
  if (!HasSelection(rows, selected)) return false;
  const bool deleted =
      files.RemoveFile(BackupFilePath(folder, rows[static_cast<size_t>(selected)].name));
  RemoveRow(rows, selected);
  return deleted;
}

}  // namespace tallowin
