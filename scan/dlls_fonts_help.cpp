#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/reg_global.h"
#include "platform/text.h"
#include "scan/scan_task.h"
#include "scan/key_reading.h"

namespace tallowin {

namespace {

using platform::Access;
using platform::RegValue;
using platform::Root;

constexpr const char* kLocalMachine = "HKEY_LOCAL_MACHINE\\";
constexpr const char* kSharedDllsPath = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr const char* kNtFontsPath = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
constexpr const char* k9xFontsPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Fonts";
constexpr const char* kHelpPath = "Software\\Microsoft\\Windows\\Help";
constexpr const char* kHtmlHelpPath = "Software\\Microsoft\\Windows\\Html Help";


// A path on a floppy drive without a readable disk is broken; the drive is never touched.
bool OnEmptyFloppy(const TScanTaskThread& scan, const std::string& path) {
  if (scan.IgnoreRemoveDrives) return false;
  return (StartsWithNoCase(path, "A:\\") && !scan.DriveAReady) ||
         (StartsWithNoCase(path, "B:\\") && !scan.DriveBReady);
}

// A reference count is known only when the data is a whole DWORD.
bool IsZeroCount(const RegValue& value) {
  return value.data.size() == 4 && value.data.find_first_not_of('\0') == std::string::npos;
}

bool UsesNtFontsKey(int osCode) {
  switch (osCode) {
    case 0: case 5: case 6: case 7: case 9: case 10: case 11: case 12: return true;
    default: return false;
  }
}

// Upper-cased names of the files (not folders) in the system fonts folder.
std::unordered_set<std::string> FontsFolderFiles(platform::FileSystem& files) {
  std::unordered_set<std::string> names;
  std::optional<std::string> folder = files.SpecialFolder(platform::kCsidlFonts);
  // An empty answer would turn the search into one of the current drive's root.
  if (!folder || folder->empty()) return names;
  if (folder->back() != '\\') *folder += '\\';
  std::vector<platform::DirEntry> entries;
  if (files.List(*folder + "*", entries) != platform::kSuccess) return names;
  for (const platform::DirEntry& entry : entries)
    if ((entry.attributes & platform::kAttrDirectory) == 0) names.insert(AsciiUpper(entry.name));
  return names;
}

// Reads the values of each machine key in turn (the key is closed before they are
// judged) and reports every text value for which `judge` gives the text to show.
template <typename Judge>
void ReportTextValues(TScanTaskThread& scan, const std::vector<std::string>& keyPaths,
                      FindingRule rule, Judge judge) {
  for (const std::string& keyPath : keyPaths) {
    if (scan.StopRequested()) return;
    std::unique_ptr<platform::RegistryKey> key =
        scan.Registry().OpenKey(Root::LocalMachine, keyPath, Access::Read);
    if (!key) continue;
    scan.ShowCurrentKey(keyPath);
    std::vector<RegValue> values;
    (void)key->Values(values);
    key.reset();
    for (const RegValue& value : values) {
      if (scan.StopRequested()) return;
      if (!IsTextValue(value)) continue;
      const std::optional<std::string> shown = judge(value);
      if (!shown) continue;
      if (HasBackslash(value.name))
        scan.AddIssue(rule, value.name, kLocalMachine + keyPath, ekValueInData);
      else
        scan.AddIssue(rule, *shown, kLocalMachine + keyPath + "\\" + value.name, ekValueInKeyPath);
    }
  }
}

}  // namespace

void TScanTaskThread::ScanSharedDlls() {
  SetCaption("Scanning: Shared DLLs");
  for (const std::string& keyPath : KeyPaths(Root::LocalMachine, kSharedDllsPath)) {
    if (StopRequested()) return;
    std::unique_ptr<platform::RegistryKey> key =
        Registry().OpenKey(Root::LocalMachine, keyPath, Access::Read);
    if (!key) continue;
    ShowCurrentKey(keyPath);
    std::vector<RegValue> values;
    (void)key->Values(values);  // what was read before a failure is still judged
    key.reset();
    for (const RegValue& value : values) {
      if (StopRequested()) return;
      if (value.type != platform::kRegDword) continue;
      const bool broken = OnEmptyFloppy(*this, value.name) || IsZeroCount(value) ||
                          ResolveFileReference(value.name, "", false, DriveLetters);
      if (broken)
        AddIssue(FindingRule::SharedDll, value.name, kLocalMachine + keyPath, ekValueInData);
    }
  }
}

void TScanTaskThread::ScanFonts() {
  SetCaption("Scanning: Fonts Sections");
  const std::string fontsPath =
      UsesNtFontsKey(GetWindowsVersionCode(System())) ? kNtFontsPath : k9xFontsPath;
  const std::unordered_set<std::string> fontFiles = FontsFolderFiles(Files());
  ReportTextValues(*this, KeyPaths(Root::LocalMachine, fontsPath), FindingRule::Font,
                   [&](const RegValue& value) -> std::optional<std::string> {
                     std::string data = ValueText(value);
                     bool broken = OnEmptyFloppy(*this, data);
                     if (!broken && fontFiles.count(AsciiUpper(data)) == 0)
                       broken = ResolveFileReference(data, "", false, DriveLetters);
                     if (!broken) return std::nullopt;
                     return data;
                   });
}

void TScanTaskThread::ScanHelpFiles() {
  SetCaption("Scanning: Invalid Help Files");
  std::vector<std::string> keyPaths;
  for (const char* helpPath : {kHelpPath, kHtmlHelpPath})
    for (std::string& path : KeyPaths(Root::LocalMachine, helpPath))
      keyPaths.push_back(std::move(path));
  ReportTextValues(*this, keyPaths, FindingRule::HelpFile,
                   [&](const RegValue& value) -> std::optional<std::string> {
                     // The name is the help file, the data the folder that holds it.
                     std::string path = ValueText(value);
                     if (!path.empty() && path.back() != '\\') path += '\\';
                     path += value.name;
                     const bool broken = OnEmptyFloppy(*this, path) ||
                                         ResolveFileReference(path, "", false, DriveLetters);
                     if (!broken) return std::nullopt;
                     return path;
                   });
}

}  // namespace tallowin
