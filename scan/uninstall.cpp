#include <string>
#include <vector>

#include "platform/text.h"
#include "scan/key_reading.h"
#include "scan/scan_task.h"

namespace tallowin {

namespace {

using platform::Access;
using platform::Root;

constexpr const char* kUninstallPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kUninstallTreePath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kInstallerFoldersPath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
constexpr const char* kArpCachePath =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
constexpr const char* kLocalMachinePrefix = "HKEY_LOCAL_MACHINE\\";

// Value names are case-insensitive in the registry, so "uninstallstring" is the uninstall
// command Windows itself runs; QuietUninstallString and the like count as well.
bool HasUninstallCommandOrIsSystem(const std::vector<std::string>& valueNames) {
  for (const std::string& name : valueNames)
    if (ContainsNoCase(name, "UninstallString") || EqualsNoCase(name, "SystemComponent"))
      return true;
  return false;
}

void ScanInstallerFolders(TScanTaskThread& scan) {
  for (const std::string& foldersPath : scan.KeyPaths(Root::LocalMachine, kInstallerFoldersPath)) {
    std::vector<std::string> folders;
    {
      auto key = scan.Registry().OpenKey(Root::LocalMachine, foldersPath, Access::Read);
      if (!key) continue;
      scan.ShowCurrentKey(foldersPath);
      (void)key->ValueNames(folders);  // a cut-short list still holds real names
    }
    const std::string registryKey = kLocalMachinePrefix + foldersPath;
    for (const std::string& folder : folders) {
      if (scan.StopRequested()) return;
      if (scan.ResolveFileReference(folder, "", true, scan.DriveLetters))
        scan.AddIssue(FindingRule::InstallerFolder, folder, registryKey, ekValueInData);
    }
  }
}

void ScanProgramsListCache(TScanTaskThread& scan) {
  // Without the full entry list every cache entry would look orphaned, so the step
  // judges nothing then. A cache entry of either view may stand for an entry of either.
  std::vector<std::string> entries;
  for (const std::string& uninstallPath : scan.KeyPaths(Root::LocalMachine, kUninstallTreePath)) {
    std::vector<std::string> names;
    auto key = scan.Registry().OpenKey(Root::LocalMachine, uninstallPath, Access::Read);
    if (!key || !keyread::ReadSubKeyNames(*key, names)) return;
    entries.insert(entries.end(), names.begin(), names.end());
  }
  if (entries.empty()) return;
  const keyread::NameList entryList(entries);
  for (const std::string& cachePath : scan.KeyPaths(Root::LocalMachine, kArpCachePath)) {
    std::vector<std::string> cached;
    {
      auto key = scan.Registry().OpenKey(Root::LocalMachine, cachePath, Access::Read);
      if (!key) continue;
      scan.ShowCurrentKey(cachePath);
      (void)key->SubKeyNames(cached);
    }
    const std::string registryKey = kLocalMachinePrefix + cachePath;
    for (const std::string& name : cached) {
      if (scan.StopRequested()) return;
      if (!entryList.AnyEquals(name))
        scan.AddIssue(FindingRule::ProgramsListCache, name, registryKey, ekSubKeyInData);
    }
  }
}

}  // namespace

void TScanTaskThread::ScanAddRemovePrograms() {
  SetCaption("Scanning: Add/Remove Programs");
  for (const std::string& uninstallPath : KeyPaths(Root::LocalMachine, kUninstallPath)) {
    if (StopRequested()) return;
    std::vector<std::string> entries;
    {
      auto key = Registry().OpenKey(Root::LocalMachine, uninstallPath, Access::Read);
      if (!key) continue;
      (void)key->SubKeyNames(entries);
    }
    const std::string registryKey = kLocalMachinePrefix + uninstallPath;
    for (const std::string& entry : entries) {
      if (StopRequested()) return;
      if (!entry.empty() && entry[0] == '{') continue;  // product codes are judged elsewhere
      const std::string path = uninstallPath + "\\" + entry;
      ShowCurrentKey(path);
      auto key = Registry().OpenKey(Root::LocalMachine, path, Access::Read);
      if (!key) continue;
      std::vector<std::string> valueNames;
      if (key->ValueNames(valueNames) != platform::kSuccess) continue;
      if (!HasUninstallCommandOrIsSystem(valueNames))
        AddIssue(FindingRule::UninstallCommand, entry, registryKey, ekSubKeyInData);
    }
  }
}

void TScanTaskThread::ScanInstallerReferences() {
  SetCaption("Scanning: Installer");
  ScanKeyTree("HKEY_LOCAL_MACHINE", kUninstallTreePath, DriveLetters, ".exe",
              FindingRule::InstallerReference);
  if (StopRequested()) return;
  ScanInstallerFolders(*this);
  if (StopRequested()) return;
  ScanProgramsListCache(*this);
}

}  // namespace tallowin
