#include "repair/repair_run.h"

#include <exception>
#include <memory>
#include <optional>

#include "platform/reg_global.h"
#include "platform/reg_text.h"
#include "repair/backup.h"

namespace tallowin {

using platform::Access;
using platform::Registry;
using platform::RegistryKey;
using platform::Root;

namespace {

std::string_view WithoutTrailingBackslash(std::string_view path) {
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  return path;
}

std::string FullKeyName(Root root, std::string_view path) {
  std::string name = platform::RootName(root);
  if (!path.empty()) {
    name += '\\';
    name += path;
  }
  return name;
}

RepairOutcome Problem(RepairContext& context, RepairOutcome outcome, std::string detail) {
  context.lastProblem = std::move(detail);
  return outcome;
}

RepairOutcome FromExport(RepairContext& context, const ExportResult& result) {
  switch (result.status) {
    case ExportStatus::Written:
      context.backupWritten = true;
      return RepairOutcome::Deleted;
    case ExportStatus::Incomplete:
      return Problem(context, RepairOutcome::Unreadable, result.detail);
    case ExportStatus::Refused:
      return Problem(context, RepairOutcome::Refused, result.detail);
    case ExportStatus::WriteFailed:
      break;
  }
  return Problem(context, RepairOutcome::BackupFailed, result.detail);
}

// Sub-keys first, from the last enumeration index down, then the key itself.
long DeleteTree(Registry& registry, Root root, const std::string& path, size_t depth) {
  if (depth > platform::kMaxKeyDepth) return platform::kInvalidParameter;
  std::unique_ptr<RegistryKey> key;
  long rc = registry.Open(root, path, Access::All, key);
  if (rc != platform::kSuccess) return rc;
  std::vector<std::string> names;
  rc = key->SubKeyNames(names);
  if (rc != platform::kSuccess) return rc;
  key.reset();
  for (size_t i = names.size(); i-- > 0;) {
    rc = DeleteTree(registry, root, path + "\\" + names[i], depth + 1);
    if (rc != platform::kSuccess) return rc;
  }
  const size_t slash = path.rfind('\\');
  const std::string parent = slash == std::string::npos ? std::string() : path.substr(0, slash);
  const std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
  rc = registry.Open(root, parent, Access::All, key);
  if (rc != platform::kSuccess) return rc;
  return key->DeleteSubKey(leaf);
}

bool KeyIsGone(Registry& registry, Root root, std::string_view path) {
  std::unique_ptr<RegistryKey> key;
  return registry.Open(root, path, Access::Read, key) == platform::kFileNotFound;
}

RepairOutcome DeleteFileItem(RepairContext& context, const std::string& path) {
  platform::FileSystem& files = context.platform.files;
  // The shell deletes every match of a wildcard and whole folders; a row names one file.
  if (path.find_first_of("*?") != std::string::npos)
    return Problem(context, RepairOutcome::NotAddressed, path);
  const std::optional<uint32_t> attributes = files.Attributes(path);
  if (!attributes) return RepairOutcome::AlreadyGone;
  if (*attributes & platform::kAttrDirectory)
    return Problem(context, RepairOutcome::NotAddressed, path);
  if (files.RemoveFile(path) || !files.Attributes(path)) return RepairOutcome::Deleted;
  return Problem(context, RepairOutcome::DeleteFailed, path);
}

}  // namespace

RepairOutcome DeleteKeyWithBackup(RepairContext& context, std::string_view rootName,
                                  std::string_view keyPath) {
  const std::optional<Root> root = platform::RootFromName(rootName);
  if (!root) return Problem(context, RepairOutcome::NotAddressed, std::string(rootName));
  const std::string path(WithoutTrailingBackslash(keyPath));
  const std::string name = FullKeyName(*root, path);
  // An empty path is the whole root: never deleted.
  if (path.empty()) return Problem(context, RepairOutcome::NotAddressed, name);
  if (!IsCarriableKeyPath(path)) return Problem(context, RepairOutcome::Refused, name);

  Registry& registry = context.platform.registry;
  {
    std::unique_ptr<RegistryKey> key;
    const long rc = registry.Open(*root, path, Access::Read, key);
    if (rc == platform::kFileNotFound) return RepairOutcome::AlreadyGone;
    if (rc != platform::kSuccess) return Problem(context, RepairOutcome::Unreadable, name);
  }

  const RepairOutcome backup = FromExport(
      context, ExportRegistryItem(context.platform.files, registry, context.platform.system.Ansi(),
                                  context.backupFileName, *root, path, "", true));
  if (backup != RepairOutcome::Deleted) return backup;

  if (DeleteTree(registry, *root, path, 0) == platform::kSuccess) return RepairOutcome::Deleted;
  if (KeyIsGone(registry, *root, path)) return RepairOutcome::AlreadyGone;
  return Problem(context, RepairOutcome::DeleteFailed, name);
}

RepairOutcome DeleteValueWithBackup(RepairContext& context, std::string_view rootName,
                                    std::string_view keyPath, std::string_view valueName) {
  const std::optional<Root> root = platform::RootFromName(rootName);
  if (!root) return Problem(context, RepairOutcome::NotAddressed, std::string(rootName));
  const std::string path(WithoutTrailingBackslash(keyPath));
  const std::string name(valueName);
  const std::string detail =
      FullKeyName(*root, path) + (name.empty() ? std::string(" @") : " \"" + name + "\"");
  // A value directly in a root key has no key line that the registry editor is known
  // to import on every Windows version: it stays.
  if (!IsCarriableKeyPath(path) || !IsCarriableValueName(name))
    return Problem(context, RepairOutcome::Refused, detail);

  Registry& registry = context.platform.registry;
  {
    std::unique_ptr<RegistryKey> key;
    long rc = registry.Open(*root, path, Access::Read, key);
    if (rc == platform::kFileNotFound) return RepairOutcome::AlreadyGone;
    if (rc != platform::kSuccess) return Problem(context, RepairOutcome::Unreadable, detail);
    platform::RegValue value;
    rc = key->QueryValue(name, value);
    if (rc == platform::kFileNotFound) return RepairOutcome::AlreadyGone;
    if (rc != platform::kSuccess) return Problem(context, RepairOutcome::Unreadable, detail);
  }

  const RepairOutcome backup = FromExport(
      context, ExportRegistryItem(context.platform.files, registry, context.platform.system.Ansi(),
                                  context.backupFileName, *root, path, name, false));
  if (backup != RepairOutcome::Deleted) return backup;

  std::unique_ptr<RegistryKey> key;
  long rc = registry.Open(*root, path, Access::All, key);
  if (rc == platform::kSuccess) rc = key->DeleteValue(name);
  if (rc == platform::kSuccess) return RepairOutcome::Deleted;
  if (rc == platform::kFileNotFound) return RepairOutcome::AlreadyGone;
  return Problem(context, RepairOutcome::DeleteFailed, detail);
}

RepairOutcome RepairIssue(RepairContext& context, const Issue& issue) {
  const std::string& column = issue.key;
  const size_t slash = column.find('\\');
  if (slash == std::string::npos) return Problem(context, RepairOutcome::NotAddressed, column);
  const std::string_view rootName = std::string_view(column).substr(0, slash);
  const std::string_view rest = std::string_view(column).substr(slash + 1);

  switch (issue.kind) {
    case ekKey:
      return DeleteKeyWithBackup(context, rootName, rest);
    case ekValueInKeyPath: {
      const size_t last = rest.rfind('\\');
      if (last == std::string_view::npos) return DeleteValueWithBackup(context, rootName, "", rest);
      return DeleteValueWithBackup(context, rootName, rest.substr(0, last), rest.substr(last + 1));
    }
    case ekValueInData:
      return DeleteValueWithBackup(context, rootName, rest, issue.data);
    case ekSubKeyInData:
      // Without a name the path would fall back to the parent key itself.
      if (issue.data.empty()) return Problem(context, RepairOutcome::NotAddressed, column);
      return DeleteKeyWithBackup(context, rootName, std::string(rest) + "\\" + issue.data);
    case ekFile:
      return DeleteFileItem(context, column);
    case ekDefaultValue:
      return DeleteValueWithBackup(context, rootName, rest, "");
    case ekEncodedValueInData:
      return DeleteValueWithBackup(context, rootName, rest, Rot13(issue.data));
  }
  return Problem(context, RepairOutcome::NotAddressed, column);
}

std::string MakeLastClean(platform::System& system, size_t fixed, size_t failed) {
  std::string text = system.FormatDateTime(system.Now()) + " , " + std::to_string(fixed) +
                     kErrorsFixedText;
  if (failed > 0) text += ", " + std::to_string(failed) + " could not be removed";
  return text;
}

std::string MakeFixStatusText(size_t fixed, size_t failed) {
  std::string text = std::string(kFixFinishedText) + ", " + std::to_string(fixed) + kErrorsFixedText;
  if (failed > 0) text += ", " + std::to_string(failed) + " could not be removed";
  return text;
}

RepairResult FixErrors(IssueList& list, platform::Platform& platform,
                       const RepairSettings& settings, RepairPrompts& prompts) {
  RepairResult result;
  try {
    const std::string& folder = settings.outputDirectory;
    if (!platform::FolderExists(platform.files, folder)) {
      if (!prompts.AskYesNo(folder + "," + kBackupFolderMissingText + "\r\n" +
                            kCreateFolderQuestionText))
        return result;
      if (!platform.files.CreateDirectories(folder)) {
        result.error = kCannotCreateText + folder;
        prompts.ShowError(result.error);
        return result;
      }
    }
    if (list.Count() == 0) return result;

    const uint8_t code = settings.osVersionCode;
    if (settings.createRestorePoint && code >= 9 && code <= 12 && !prompts.RunRestorePointDialog())
      return result;

    RepairContext context{platform, MakeBackupFileName(platform.system, folder)};
    for (size_t i = list.Count(); i-- > 0;) {
      if (!list.rows[i].checked) continue;
      context.lastProblem.clear();
      const RepairOutcome outcome = RepairIssue(context, list.rows[i]);
      if (context.backupWritten) result.backupFile = context.backupFileName;
      if (outcome == RepairOutcome::BackupFailed) {
        result.error = "Cannot write the backup file " + context.backupFileName +
                       "; the repair stopped before deleting " + list.rows[i].key;
        result.problems.push_back({list.rows[i], outcome, context.lastProblem});
        return result;
      }
      if (IsFixed(outcome)) {
        list.RemoveAt(i);
        ++result.fixed;
      } else {
        ++result.failed;
        result.problems.push_back({list.rows[i], outcome, context.lastProblem});
      }
    }
    result.lastClean = MakeLastClean(platform.system, result.fixed, result.failed);
    result.statusText = MakeFixStatusText(result.fixed, result.failed);
    result.completed = true;
  } catch (const std::exception& e) {
    result.error = e.what();
  }
  return result;
}

}  // namespace tallowin
