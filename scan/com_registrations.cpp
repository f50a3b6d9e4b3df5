#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "scan/key_reading.h"
#include "scan/scan_task.h"

namespace tallowin {

namespace {

using platform::Access;
using platform::Root;

constexpr const char* kCustomControlsIssue = "Custom Controls Issue";
constexpr const char* kActiveXIssue = "ActiveX Issue";
constexpr const char* kActiveXCaption = "Scanning: Invalid ActiveX";
constexpr const char* kClassesRootName = "HKEY_CLASSES_ROOT";
// A system class whose AppID reference is known to have no key of its own.
constexpr const char* kExemptClass = "{91C4C540-9FDD-11D2-AFAA-00105A305A2B}";
constexpr const char* kRedirectionNode = "Wow6432Node";

// The sub-key names of a classes-root key as a reference list. Nothing when the list
// cannot be read in full or is empty: checked against it, every reference would look
// dangling, and such findings could not be trusted.
std::optional<keyread::NameList> ReadReferenceList(TScanTaskThread& scan, const char* path) {
  auto key = scan.Registry().OpenKey(Root::ClassesRoot, path, Access::Read);
  if (!key) return std::nullopt;
  std::vector<std::string> names;
  if (!keyread::ReadSubKeyNames(*key, names) || names.empty()) return std::nullopt;
  return keyread::NameList(names);
}

std::vector<std::string> SubKeyNamesOf(TScanTaskThread& scan, const std::string& path) {
  std::vector<std::string> names;
  auto key = scan.Registry().OpenKey(Root::ClassesRoot, path, Access::Read);
  if (key) (void)key->SubKeyNames(names);  // a cut-short list still holds real names
  return names;
}

// Tests the default value of every key from prefix + last down, each key before its
// sub-keys.
void WalkClassDefaults(TScanTaskThread& scan, const std::string& rootName,
                       const std::string& prefix, const std::string& last, int depth = 0) {
  const auto root = platform::RootFromName(rootName);
  if (!root || depth > keyread::kMaxKeyDepth || scan.StopRequested()) return;
  const std::string path = prefix + last;
  auto key = scan.Registry().OpenKey(*root, path, Access::Read);
  if (!key) return;
  scan.ShowCurrentKey(path);
  std::string text;
  if (keyread::ReadText(*key, "", text) &&
      scan.ResolveFileReference(text, "", false, scan.DriveLetters))
    scan.AddIssue(kCustomControlsIssue, text, AsciiUpper(rootName) + "\\" + path, ekKey);
  std::vector<std::string> names;
  (void)key->SubKeyNames(names);
  key.reset();
  for (const std::string& name : names) {
    if (scan.StopRequested()) return;
    WalkClassDefaults(scan, rootName, path + "\\", name, depth + 1);
  }
}

void CheckInterfaceTypeLibs(TScanTaskThread& scan) {
  const auto typeLibs = ReadReferenceList(scan, "TypeLib");
  if (!typeLibs) return;
  const std::vector<std::string> interfaces = SubKeyNamesOf(scan, "Interface");
  for (const std::string& name : interfaces) {
    if (scan.StopRequested()) return;
    const std::string path = "Interface\\" + name;
    auto key = scan.Registry().OpenKey(Root::ClassesRoot, path, Access::Read);
    if (!key) continue;
    scan.ShowCurrentKey(path);
    std::string interfaceName;
    if (!keyread::ReadText(*key, "", interfaceName)) continue;
    auto typeLib = scan.Registry().OpenKey(Root::ClassesRoot, path + "\\TypeLib", Access::Read);
    if (!typeLib) continue;
    std::string reference;
    if (!keyread::ReadText(*typeLib, "", reference)) continue;
    if (!typeLibs->AnyContains(reference))
      scan.AddIssue(kCustomControlsIssue, interfaceName + " - " + reference,
                    std::string(kClassesRootName) + "\\" + path, ekKey);
  }
}

void CheckProgIdClsids(TScanTaskThread& scan) {
  scan.SetCaption(kActiveXCaption);
  const auto classes = ReadReferenceList(scan, "CLSID");
  if (!classes) return;
  const std::vector<std::string> topLevel = SubKeyNamesOf(scan, "");
  for (const std::string& name : topLevel) {
    if (scan.StopRequested()) return;
    // The other registry view's classes: its CLSID key is a class list, not a class
    // reference, and the whole node would go at repair time.
    if (EqualsNoCase(name, kRedirectionNode)) continue;
    auto key = scan.Registry().OpenKey(Root::ClassesRoot, name + "\\CLSID", Access::Read);
    if (!key) continue;
    scan.ShowCurrentKey("\\" + name);
    std::string reference;
    if (!keyread::ReadText(*key, "", reference)) continue;
    if (!classes->AnyContains(reference))
      scan.AddIssue(kActiveXIssue, name + " - " + reference,
                    std::string(kClassesRootName) + "\\" + name, ekKey);
  }
}

void CheckClsidAppIds(TScanTaskThread& scan) {
  scan.SetCaption(kActiveXCaption);
  const auto applications = ReadReferenceList(scan, "AppID");
  if (!applications) return;
  const std::vector<std::string> classes = SubKeyNamesOf(scan, "CLSID");
  for (const std::string& name : classes) {
    if (scan.StopRequested()) return;
    const std::string path = "CLSID\\" + name;
    scan.ShowCurrentKey(path);
    if (name == kExemptClass) continue;
    auto key = scan.Registry().OpenKey(Root::ClassesRoot, path, Access::Read);
    if (!key) continue;
    std::string reference;
    if (!keyread::ReadText(*key, "AppID", reference) || reference.empty()) continue;
    if (applications->AnyContains(reference) || applications->AnyContains(name)) continue;
    if (auto server =
            scan.Registry().OpenKey(Root::ClassesRoot, path + "\\InprocServer32", Access::Read)) {
      std::string serverText;
      if (!keyread::ReadText(*server, "", serverText)) continue;
      if (keyread::AsciiLower(serverText).find("oleacc.dll") != std::string::npos) continue;
    }
    scan.AddIssue(kActiveXIssue, reference, std::string(kClassesRootName) + "\\" + path, ekKey);
  }
}

}  // namespace

void TScanTaskThread::ScanCustomControls() {
  SetCaption("Scanning: Custom Controls");
  // Category 3 already walks these keys through HKEY_LOCAL_MACHINE\Software.
  if (!IsCategoryQueued(3)) WalkClassDefaults(*this, kClassesRootName, "CLSID", "");
  if (StopRequested()) return;
  CheckInterfaceTypeLibs(*this);
}

void TScanTaskThread::ScanInvalidActiveX() {
  SetCaption(kActiveXCaption);
  if (!IsCategoryQueued(3))
    ScanKeyTree(kClassesRootName, "TypeLib", DriveLetters, ".dll", kActiveXIssue);
  if (StopRequested()) return;
  CheckProgIdClsids(*this);
  if (StopRequested()) return;
  CheckClsidAppIds(*this);
}

}  // namespace tallowin
