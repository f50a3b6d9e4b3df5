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

constexpr const char* kActiveXCaption = "Scanning: Invalid ActiveX";
constexpr const char* kClassesRootName = "HKEY_CLASSES_ROOT";
// A system class whose AppID reference is known to have no key of its own.
constexpr const char* kExemptClass = "{91C4C540-9FDD-11D2-AFAA-00105A305A2B}";
constexpr const char* kRedirectionNode = "Wow6432Node";

// The sub-key names of a classes-root key as a reference list (with both views, of
// both views' keys: a reference of one view may name a key of the other). Nothing when
// a list cannot be read in full or all are empty: checked against it, every reference
// would look dangling, and such findings could not be trusted.
std::optional<keyread::NameList> ReadReferenceList(TScanTaskThread& scan, const char* path) {
  std::vector<std::string> all;
  for (const std::string& listPath : scan.KeyPaths(Root::ClassesRoot, path)) {
    auto key = scan.Registry().OpenKey(Root::ClassesRoot, listPath, Access::Read);
    if (!key) return std::nullopt;
    std::vector<std::string> names;
    if (!keyread::ReadSubKeyNames(*key, names)) return std::nullopt;
    all.insert(all.end(), names.begin(), names.end());
  }
  if (all.empty()) return std::nullopt;
  return keyread::NameList(all);
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
    scan.AddIssue(FindingRule::CustomControl, text, AsciiUpper(rootName) + "\\" + path, ekKey);
  std::vector<std::string> names;
  (void)key->SubKeyNames(names);
  key.reset();
  for (const std::string& name : names) {
    if (scan.StopRequested()) return;
    WalkClassDefaults(scan, rootName, path + "\\", name, depth + 1);
  }
}

void CheckInterfaces(TScanTaskThread& scan, const keyread::NameList& typeLibs,
                     const std::string& interfacesPath) {
  const std::vector<std::string> interfaces = SubKeyNamesOf(scan, interfacesPath);
  for (const std::string& name : interfaces) {
    if (scan.StopRequested()) return;
    const std::string path = interfacesPath + "\\" + name;
    if (scan.IsSharedKeyAlias(Root::ClassesRoot, path)) continue;
    auto key = scan.Registry().OpenKey(Root::ClassesRoot, path, Access::Read);
    if (!key) continue;
    scan.ShowCurrentKey(path);
    std::string interfaceName;
    if (!keyread::ReadText(*key, "", interfaceName)) continue;
    auto typeLib = scan.Registry().OpenKey(Root::ClassesRoot, path + "\\TypeLib", Access::Read);
    if (!typeLib) continue;
    std::string reference;
    if (!keyread::ReadText(*typeLib, "", reference)) continue;
    if (!typeLibs.AnyContains(reference))
      scan.AddIssue(FindingRule::InterfaceTypeLibrary, interfaceName + " - " + reference,
                    std::string(kClassesRootName) + "\\" + path, ekKey);
  }
}

void CheckInterfaceTypeLibs(TScanTaskThread& scan) {
  const auto typeLibs = ReadReferenceList(scan, "TypeLib");
  if (!typeLibs) return;
  for (const std::string& interfacesPath : scan.KeyPaths(Root::ClassesRoot, "Interface"))
    CheckInterfaces(scan, *typeLibs, interfacesPath);
}

void CheckProgIdClsids(TScanTaskThread& scan) {
  scan.SetCaption(kActiveXCaption);
  const auto classes = ReadReferenceList(scan, "CLSID");
  if (!classes) return;
  // The top-level keys of the classes root, and with both views those of its 32-bit
  // view's node.
  for (const std::string& base : scan.KeyPaths(Root::ClassesRoot, "")) {
    const std::string prefix = base.empty() ? base : base + "\\";
    const std::vector<std::string> topLevel = SubKeyNamesOf(scan, base);
    for (const std::string& name : topLevel) {
      if (scan.StopRequested()) return;
      // The other registry view's classes: its CLSID key is a class list, not a class
      // reference, and the whole node would go at repair time.
      if (EqualsNoCase(name, kRedirectionNode)) continue;
      const std::string path = prefix + name;
      if (scan.IsSharedKeyAlias(Root::ClassesRoot, path)) continue;
      auto key = scan.Registry().OpenKey(Root::ClassesRoot, path + "\\CLSID", Access::Read);
      if (!key) continue;
      scan.ShowCurrentKey("\\" + path);
      std::string reference;
      if (!keyread::ReadText(*key, "", reference)) continue;
      if (!classes->AnyContains(reference))
        scan.AddIssue(FindingRule::ProgIdClass, name + " - " + reference,
                      std::string(kClassesRootName) + "\\" + path, ekKey);
    }
  }
}

void CheckClassAppIds(TScanTaskThread& scan, const keyread::NameList& applications,
                      const std::string& classesPath) {
  const std::vector<std::string> classes = SubKeyNamesOf(scan, classesPath);
  for (const std::string& name : classes) {
    if (scan.StopRequested()) return;
    const std::string path = classesPath + "\\" + name;
    if (scan.IsSharedKeyAlias(Root::ClassesRoot, path)) continue;
    scan.ShowCurrentKey(path);
    if (name == kExemptClass) continue;
    auto key = scan.Registry().OpenKey(Root::ClassesRoot, path, Access::Read);
    if (!key) continue;
    std::string reference;
    if (!keyread::ReadText(*key, "AppID", reference) || reference.empty()) continue;
    if (applications.AnyContains(reference) || applications.AnyContains(name)) continue;
    if (auto server =
            scan.Registry().OpenKey(Root::ClassesRoot, path + "\\InprocServer32", Access::Read)) {
      std::string serverText;
      if (!keyread::ReadText(*server, "", serverText)) continue;
      if (keyread::AsciiLower(serverText).find("oleacc.dll") != std::string::npos) continue;
    }
    scan.AddIssue(FindingRule::ClassAppId, reference, std::string(kClassesRootName) + "\\" + path,
                  ekKey);
  }
}

void CheckClsidAppIds(TScanTaskThread& scan) {
  scan.SetCaption(kActiveXCaption);
  const auto applications = ReadReferenceList(scan, "AppID");
  if (!applications) return;
  for (const std::string& classesPath : scan.KeyPaths(Root::ClassesRoot, "CLSID"))
    CheckClassAppIds(scan, *applications, classesPath);
}

}  // namespace

void TScanTaskThread::ScanCustomControls() {
  SetCaption("Scanning: Custom Controls");
  // Category 3 already walks these keys through HKEY_LOCAL_MACHINE\Software.
  if (!IsCategoryQueued(3))
    for (const std::string& classes : KeyPaths(Root::ClassesRoot, "CLSID"))
      WalkClassDefaults(*this, kClassesRootName, classes, "");
  if (StopRequested()) return;
  CheckInterfaceTypeLibs(*this);
}

void TScanTaskThread::ScanInvalidActiveX() {
  SetCaption(kActiveXCaption);
  if (!IsCategoryQueued(3))
    ScanKeyTree(kClassesRootName, "TypeLib", DriveLetters, ".dll", FindingRule::TypeLibraryFile);
  if (StopRequested()) return;
  CheckProgIdClsids(*this);
  if (StopRequested()) return;
  CheckClsidAppIds(*this);
}

}  // namespace tallowin
