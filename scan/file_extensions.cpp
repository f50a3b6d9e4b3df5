#include <set>
#include <string>
#include <vector>

#include "platform/text.h"
#include "scan/key_reading.h"
#include "scan/scan_task.h"

namespace tallowin {

namespace {

using platform::Access;
using platform::Root;

constexpr const char* kClassesPath = "Software\\Classes";
constexpr const char* kFileExtsPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr const char* kApplicationsPath = "Software\\Classes\\Applications";
constexpr const char* kNotFound = "Not Found";

// The own counts of a key; false when the key cannot be opened or queried.
bool ReadCounts(platform::Registry& registry, Root root, const std::string& path,
                uint32_t& subKeys, uint32_t& values) {
  auto key = registry.OpenKey(root, path, Access::Read);
  return key && key->QueryInfo(subKeys, values) == platform::kSuccess;
}

bool IsUselessClassKey(TScanTaskThread& scan, const std::string& path) {
  auto key = scan.Registry().OpenKey(Root::LocalMachine, path, Access::Read);
  if (!key) return false;
  uint32_t subKeys = 0, values = 0;
  if (key->QueryInfo(subKeys, values) != platform::kSuccess) return false;
  if (scan.IsWindows7 && scan.IsWow64) return subKeys == 0 && values == 0;

  platform::RegValue defaultValue;
  const bool hasDefault = key->QueryValue("", defaultValue) == platform::kSuccess;
  if (hasDefault &&
      (defaultValue.type == platform::kRegDword || defaultValue.type == platform::kRegBinary))
    return false;
  if (subKeys != 0) return false;
  if (values == 0) return true;
  // A single default value of a type that is not text (REG_MULTI_SZ, REG_NONE, ...)
  // holds data this test cannot judge empty, so the key is kept.
  if (values != 1 || !hasDefault || !IsTextValue(defaultValue)) return false;
  return ValueText(defaultValue).empty();
}

void ScanClassesPart(TScanTaskThread& scan) {
  for (const std::string& classesPath : scan.KeyPaths(Root::LocalMachine, kClassesPath)) {
    std::vector<std::string> names;
    {
      auto classes = scan.Registry().OpenKey(Root::LocalMachine, classesPath, Access::Read);
      if (!classes) continue;
      // A list cut short by an error still holds real names, each judged on its own.
      (void)classes->SubKeyNames(names);
    }
    const std::string registryKey = "HKEY_LOCAL_MACHINE\\" + classesPath;
    for (const std::string& name : names) {
      if (scan.StopRequested()) return;
      const std::string path = classesPath + "\\" + name;
      if (scan.IsSharedKeyAlias(Root::LocalMachine, path)) continue;
      scan.ShowCurrentKey(path);
      if (IsUselessClassKey(scan, path))
        scan.AddIssue(FindingRule::UselessExtension, name, registryKey, ekSubKeyInData);
    }
  }
}

void ScanPerUserPart(TScanTaskThread& scan) {
  std::vector<std::string> names;
  {
    auto fileExts = scan.Registry().OpenKey(Root::CurrentUser, kFileExtsPath, Access::Read);
    if (!fileExts) return;
    (void)fileExts->SubKeyNames(names);
  }
  const std::string registryKey = std::string("HKEY_CURRENT_USER\\") + kFileExtsPath;
  for (const std::string& name : names) {
    if (scan.StopRequested()) return;
    const std::string path = std::string(kFileExtsPath) + "\\" + name;
    scan.ShowCurrentKey(path);
    bool useless = false;
    if (scan.IsWindows7 && scan.IsWow64) {
      uint32_t subKeys = 0, values = 0;
      useless = ReadCounts(scan.Registry(), Root::CurrentUser, path, subKeys, values) &&
                subKeys == 0 && values == 0;
    } else {
      useless = scan.CountKeyContent(Root::CurrentUser, path, 1) < 1 &&
                !(scan.IsWindows7 && name == ".");
    }
    if (useless) scan.AddIssue(FindingRule::UselessExtension, name, registryKey, ekSubKeyInData);
  }
}

// Depth-first, in enumeration order: yields the next key below `keyPath` that has the
// sub-key `subKeyName`, after the key recorded in `lastFound`. `result` is the text of
// the sub-key's value `valueName`, or "Not Found" when no further key has it.
void FindNextCommandKey(TScanTaskThread& scan, Root root, std::string& lastFound,
                        std::string& result, const std::string& valueName,
                        const std::string& subKeyName, const std::string& keyPath,
                        int depth = 0) {
  result = kNotFound;
  if (depth > keyread::kMaxKeyDepth || scan.StopRequested()) return;
  auto key = scan.Registry().OpenKey(root, keyPath, Access::Read);
  if (!key) return;

  if (auto sub = scan.Registry().OpenKey(root, keyPath + "\\" + subKeyName, Access::Read)) {
    platform::RegValue value;
    const long status = sub->QueryValue(valueName, value);
    // A value of another type, or one that exists but cannot be read, does not count.
    const bool counts = status == platform::kFileNotFound ||
                        (status == platform::kSuccess && IsTextValue(value));
    if (counts) {
      const std::string text =
          status == platform::kSuccess ? ValueText(value) : "";
      if (lastFound.empty()) {
        lastFound = keyPath;
        result = text;
        return;
      }
      if (lastFound == keyPath) lastFound.clear();
    }
  }

  std::vector<std::string> names;
  (void)key->SubKeyNames(names);
  key.reset();
  for (const std::string& name : names) {
    FindNextCommandKey(scan, root, lastFound, result, valueName, subKeyName,
                       keyPath + "\\" + name, depth + 1);
    if (result != kNotFound) return;
  }
}

void ScanApplications(TScanTaskThread& scan, const std::string& applicationsPath) {
  std::vector<std::string> applications;
  {
    auto key = scan.Registry().OpenKey(Root::LocalMachine, applicationsPath, Access::Read);
    if (!key) return;
    (void)key->SubKeyNames(applications);
  }
  std::string lastFound;
  std::string result;
  for (const std::string& application : applications) {
    if (scan.StopRequested()) return;
    const std::string base = applicationsPath + "\\" + application;
    if (scan.IsSharedKeyAlias(Root::LocalMachine, base)) continue;
    scan.ShowCurrentKey(base);
    // Each application starts afresh: a search that stopped on a command text equal to
    // the sentinel would otherwise leave its key behind and hide every later application.
    lastFound.clear();
    std::set<std::string> seen;
    FindNextCommandKey(scan, Root::LocalMachine, lastFound, result, "", "command", base);
    while (result != kNotFound) {
      if (scan.StopRequested()) return;
      if (!seen.insert(lastFound).second) break;  // the tree changed under the walk
      if (result.empty() || scan.ResolveFileReference(result, "", false, scan.DriveLetters))
        scan.AddIssue(FindingRule::OpenWithCommand, result,
                      "HKEY_LOCAL_MACHINE\\" + lastFound + "\\command", ekKey);
      FindNextCommandKey(scan, Root::LocalMachine, lastFound, result, "", "command", base);
    }
  }
}

}  // namespace

void TScanTaskThread::ScanFileExtensions() {
  SetCaption("Scanning: File Extensions");
  ScanClassesPart(*this);
  if (StopRequested()) return;
  ScanPerUserPart(*this);
}

void TScanTaskThread::ScanOpenWithApplications() {
  for (const std::string& applicationsPath : KeyPaths(Root::LocalMachine, kApplicationsPath)) {
    if (StopRequested()) return;
    ScanApplications(*this, applicationsPath);
  }
}

}  // namespace tallowin
