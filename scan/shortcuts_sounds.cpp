#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/text.h"
#include "scan/key_reading.h"
#include "scan/scan_task.h"

namespace tallowin {

namespace {

using platform::Access;
using platform::Root;

constexpr int kCsidlRecent = 0x08;  // CSIDL_RECENT
// ANSI file functions cannot reach longer paths; the limit also ends folder loops.
constexpr size_t kMaxPath = 260;

constexpr const char* kMenuOrderKeys[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu2\\Programs",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\Programs",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder\\Start Menu\\&Programs",
};

bool IsDotEntry(const std::string& name) { return name == "." || name == ".."; }

// Adds the direct sub-folders of a Programs folder. False when the folder list would be
// incomplete: the special folder does not resolve, or it exists but cannot be listed.
// A folder that does not exist has no sub-folders and is complete as it is.
bool AddProgramsSubFolders(TScanTaskThread& scan, int csidl, std::vector<std::string>& folders) {
  const std::optional<std::string> folder = scan.Files().SpecialFolder(csidl);
  if (!folder || folder->empty()) return false;
  std::vector<platform::DirEntry> entries;
  if (scan.Files().List(keyread::WithBackslash(*folder) + "*", entries) != platform::kSuccess)
    return !scan.FolderExists(*folder);
  for (const platform::DirEntry& entry : entries)
    if ((entry.attributes & platform::kAttrDirectory) != 0 && !IsDotEntry(entry.name))
      folders.push_back(entry.name);
  return true;
}

std::string ResolveShortcutTarget(TScanTaskThread& scan, const std::string& link) {
  return scan.Files().ShortcutTarget(link).value_or("");
}

// A folder on either side of the system folder's redirection.
bool IsExistingFolder(TScanTaskThread& scan, const std::string& path) {
  for (const std::string& spelling : scan.PathSpellings(path))
    if (scan.FolderExists(spelling)) return true;
  return false;
}

bool IsMissingShortcutTarget(TScanTaskThread& scan, const std::string& target) {
  const std::string upper = AsciiUpper(target);
  if (scan.IsWow64 && !scan.Check64Bit &&
      (upper.find("SYSTEM32") != std::string::npos ||
       upper.find("PROGRAMFILES") != std::string::npos ||
       upper.find("PROGRAM FILES") != std::string::npos))
    return false;
  if (target.empty()) return false;
  if (AsciiUpper(scan.DriveLetters).find(upper[0]) == std::string::npos) return false;
  if (target.compare(1, 2, ":\\") != 0) return false;
  if (!scan.IgnoreRemoveDrives) {
    if (upper.starts_with("A:\\") && !scan.DriveAReady) return true;
    if (upper.starts_with("B:\\") && !scan.DriveBReady) return true;
  }
  // A shortcut to a 64-bit program may show its target in the 32-bit program folder.
  for (const std::string& spelling : scan.ProgramFolderSpellings(target))
    if (!scan.ResolveFileReference(spelling, "", false, scan.DriveLetters) ||
        IsExistingFolder(scan, spelling))
      return false;
  return true;
}

bool IsShortcutName(const std::string& name) {
  const size_t dot = name.rfind('.');
  return dot != std::string::npos && keyread::AsciiLower(name.substr(dot)) == ".lnk";
}

// `seen` holds the shortcuts examined so far, by the upper-cased long form of their
// path (`longFolder` is that of `folder`): the special folders overlap (the Start Menu
// and Recent folders lie in the application data folder since Windows Vista), and each
// shortcut is judged and listed once, where it was first met.
void WalkShortcutFolder(TScanTaskThread& scan, const std::string& folder,
                        const std::string& longFolder, std::unordered_set<std::string>& seen) {
  if (scan.StopRequested()) return;
  const std::string base = keyread::WithBackslash(folder);
  if (base.size() >= kMaxPath) return;
  const std::string longBase = keyread::WithBackslash(longFolder);
  std::vector<platform::DirEntry> entries;
  if (scan.Files().List(base + "*", entries) != platform::kSuccess) return;
  for (const platform::DirEntry& entry : entries) {
    if (scan.StopRequested()) return;
    if ((entry.attributes & platform::kAttrDirectory) != 0) {
      // Junctions and symbolic links are not followed: they can loop back to a parent,
      // and under Wine the profile folders link into the whole Unix home.
      if (!IsDotEntry(entry.name) && (entry.attributes & platform::kAttrReparsePoint) == 0)
        WalkShortcutFolder(scan, base + entry.name, longBase + AsciiUpper(entry.name), seen);
      continue;
    }
    if (!IsShortcutName(entry.name)) continue;
    const std::string link = base + entry.name;
    if (!seen.insert(longBase + AsciiUpper(entry.name)).second) continue;
    scan.ShowCurrentKey(link);
    const std::string target = ResolveShortcutTarget(scan, link);
    if (IsMissingShortcutTarget(scan, target))
      scan.AddIssue(FindingRule::Shortcut, target, link, ekFile);
  }
}

void WalkSoundSchemes(TScanTaskThread& scan, const std::string& rootName,
                      const std::string& prefix, const std::string& last, int depth = 0) {
  const auto root = platform::RootFromName(rootName);
  if (!root || depth > keyread::kMaxKeyDepth || scan.StopRequested()) return;
  const std::string path = prefix + last;
  auto key = scan.Registry().OpenKey(*root, path, Access::Read);
  if (!key) return;
  const std::string scheme = keyread::AsciiLower(last);
  std::string text;
  if ((scheme == ".current" || scheme == ".default" || scheme == "utopia0") &&
      keyread::ReadText(*key, "", text)) {
    scan.ShowCurrentKey(path);
    if (scan.ResolveFileReference(text, "", false, scan.DriveLetters))
      scan.AddIssue(FindingRule::SoundEvent, text, AsciiUpper(rootName) + "\\" + path,
                    ekDefaultValue);
  }
  std::vector<std::string> names;
  (void)key->SubKeyNames(names);
  key.reset();
  for (const std::string& name : names) {
    if (scan.StopRequested()) return;
    WalkSoundSchemes(scan, rootName, path + "\\", name, depth + 1);
  }
}

}  // namespace

void TScanTaskThread::ScanStartMenu() {
  SetCaption("Scanning: Start Menu");
  // Every MenuOrder entry is judged against the folder list, so a list that is
  // incomplete or empty would condemn entries for folders that may well exist.
  std::vector<std::string> folders;
  if (!AddProgramsSubFolders(*this, platform::kCsidlPrograms, folders) ||
      !AddProgramsSubFolders(*this, platform::kCsidlCommonPrograms, folders) || folders.empty())
    return;
  const keyread::NameList folderList(folders);

  for (const char* keyPath : kMenuOrderKeys) {
    if (StopRequested()) return;
    std::vector<std::string> names;
    {
      auto key = Registry().OpenKey(Root::CurrentUser, keyPath, Access::Read);
      if (!key) continue;
      (void)key->SubKeyNames(names);
    }
    const std::string registryKey = std::string("HKEY_CURRENT_USER\\") + keyPath;
    for (const std::string& name : names) {
      if (StopRequested()) return;
      ShowCurrentKey(std::string(keyPath) + "\\" + name);
      if (!folderList.AnyEquals(name))
        AddIssue(FindingRule::StartMenuOrder, name, registryKey, ekSubKeyInData);
    }
  }
}

void TScanTaskThread::ScanShortcuts() {
  SetCaption("Scanning: Shortcuts");
  std::unordered_set<std::string> seen;
  // One folder may be named in several ways (a short name); the rows keep the name
  // the folder was found by.
  const auto walk = [&](const std::string& folder) {
    WalkShortcutFolder(*this, folder, AsciiUpper(Files().FullPath(folder).value_or(folder)), seen);
  };
  for (const int csidl : {platform::kCsidlCommonStartMenu, platform::kCsidlCommonDesktop,
                          platform::kCsidlAppData, kCsidlRecent, platform::kCsidlStartMenu,
                          platform::kCsidlDesktop}) {
    if (StopRequested()) return;
    // A folder that does not resolve is not walked at all (an empty path would list
    // the root of the current drive).
    const std::optional<std::string> folder = Files().SpecialFolder(csidl);
    if (folder && !folder->empty()) walk(*folder);
  }
  walk("C:\\System Volume Information");
}

void TScanTaskThread::ScanSoundEvents() {
  SetCaption("Scanning: Sound and Appevents");
  WalkSoundSchemes(*this, "HKEY_Current_User", "AppEvents\\Schemes\\Apps", "");
}

}  // namespace tallowin
