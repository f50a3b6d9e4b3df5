#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "scan/scan_task.h"
#include "scan/key_reading.h"

namespace tallowin {

namespace {

using platform::Access;
using platform::RegValue;
using platform::Root;

constexpr const char* kRunPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRunOncePath = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr const char* kStartupRegPath = "Software\\Microsoft\\Shared Tools\\MSConfig\\startupreg";
constexpr const char* kServicesPath = "SYSTEM\\CurrentControlSet\\Services";


}  // namespace

void TScanTaskThread::ScanRunKey(const std::string& rootName, const std::string& keyPath) {
  const std::optional<Root> root = platform::RootFromName(rootName);
  if (!root) return;
  for (const std::string& path : KeyPaths(*root, keyPath)) {
    if (StopRequested()) return;
    std::unique_ptr<platform::RegistryKey> key = Registry().OpenKey(*root, path, Access::Read);
    if (!key) continue;
    ShowCurrentKey(path);
    std::vector<RegValue> values;
    (void)key->Values(values);  // what was read before a failure is still judged
    key.reset();
    const std::string keyText = AsciiUpper(rootName) + "\\" + path;
    for (const RegValue& value : values) {
      if (StopRequested()) return;
      if (!IsTextValue(value)) continue;
      const std::string data = ValueText(value);
      // An empty command line starts nothing, so it is reported although it names no file.
      const bool broken =
          data.empty() || data == "\"\"" || ResolveFileReference(data, "", false, DriveLetters);
      if (!broken) continue;
      if (HasBackslash(value.name))
        AddIssue(FindingRule::RunValue, value.name, keyText, ekValueInData);
      else
        AddIssue(FindingRule::RunValue, data, keyText + "\\" + value.name, ekValueInKeyPath);
    }
  }
}

void TScanTaskThread::ScanStartupPrograms() {
  SetCaption("Scanning: Startup Programs");
  ScanRunKey("HKEY_CURRENT_USER", kRunPath);
  ScanRunKey("HKEY_CURRENT_USER", kRunOncePath);
  ScanRunKey("HKEY_LOCAL_MACHINE", kRunPath);
  ScanRunKey("HKEY_LOCAL_MACHINE", kRunOncePath);
  for (const std::string& startupReg : KeyPaths(Root::LocalMachine, kStartupRegPath)) {
    if (StopRequested()) return;
    std::unique_ptr<platform::RegistryKey> key =
        Registry().OpenKey(Root::LocalMachine, startupReg, Access::Read);
    if (!key) continue;
    ShowCurrentKey(startupReg);
    std::vector<std::string> names;
    (void)key->SubKeyNames(names);
    key.reset();
    for (const std::string& name : names) {
      if (StopRequested()) return;
      const std::string path = startupReg + "\\" + name;
      std::unique_ptr<platform::RegistryKey> entry =
          Registry().OpenKey(Root::LocalMachine, path, Access::Read);
      if (!entry) continue;
      ShowCurrentKey(path);
      RegValue command;
      if (entry->QueryValue("command", command) != platform::kSuccess || !IsTextValue(command))
        continue;
      const std::string data = ValueText(command);
      if (ResolveFileReference(data, "", false, DriveLetters))
        AddIssue(FindingRule::StartupEntry, data, "HKEY_LOCAL_MACHINE\\" + path, ekKey);
    }
  }
}

void TScanTaskThread::ScanServices() {
  SetCaption("Scanning: Windows Services");
  std::unique_ptr<platform::RegistryKey> key =
      Registry().OpenKey(Root::LocalMachine, kServicesPath, Access::Read);
  if (!key) return;
  std::vector<std::string> names;
  (void)key->SubKeyNames(names);
  key.reset();
  for (const std::string& name : names) {
    if (StopRequested()) return;
    if (ContainsNoCase(name, "SLSVC")) continue;
    const std::string path = std::string(kServicesPath) + "\\" + name;
    std::unique_ptr<platform::RegistryKey> service =
        Registry().OpenKey(Root::LocalMachine, path, Access::Read);
    if (!service) continue;
    ShowCurrentKey(path);
    RegValue imagePath;
    if (service->QueryValue("ImagePath", imagePath) != platform::kSuccess ||
        !IsTextValue(imagePath))
      continue;
    const std::string data = ValueText(imagePath);
    // Only the image path goes at repair time; the service key stays.
    if (ResolveFileReference(data, "", true, DriveLetters))
      AddIssue(FindingRule::ServiceImage, data, "HKEY_LOCAL_MACHINE\\" + path + "\\ImagePath",
               ekValueInKeyPath);
  }
}

}  // namespace tallowin
