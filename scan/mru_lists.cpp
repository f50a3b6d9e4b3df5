#include <cstdint>
#include <memory>
#include <string>
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

constexpr const char* kDialogMruPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";
constexpr const char* kUserAssistPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist\\"
    "{75048700-EF1F-11D0-9888-006097DEACF9}\\Count";
constexpr size_t kMaxCounterSize = 32767;

// Little-endian 32-bit word at `offset`; the caller checks the size.
uint32_t WordAt(const std::string& data, size_t offset) {
  uint32_t word = 0;
  for (size_t i = 0; i < 4; ++i)
    word |= static_cast<uint32_t>(static_cast<unsigned char>(data[offset + i])) << (8 * i);
  return word;
}

void ScanDialogMru(TScanTaskThread& scan) {
  std::unique_ptr<platform::RegistryKey> key =
      scan.Registry().OpenKey(Root::CurrentUser, kDialogMruPath, Access::Read);
  if (!key) return;
  scan.ShowCurrentKey(kDialogMruPath);
  std::vector<std::string> extensions;
  (void)key->SubKeyNames(extensions);  // what was read before a failure is still used
  std::vector<RegValue> values;
  (void)key->Values(values);
  key.reset();

  const std::string keyText = std::string("HKEY_CURRENT_USER\\") + kDialogMruPath;
  for (const RegValue& value : values) {
    if (scan.StopRequested()) return;
    if (!IsTextValue(value)) continue;
    const std::string data = ValueText(value);
    if (data.size() < 3 || data.compare(1, 2, ":\\") != 0) continue;
    if (!ContainsNoCase(scan.DriveLetters, data.substr(0, 1))) continue;
    // The dialog stores the path without its extension; it is found when the file exists
    // with one of the listed extensions. An empty floppy drive is not touched.
    bool found = false;
    const bool emptyFloppy =
        !scan.IgnoreRemoveDrives && ((StartsWithNoCase(data, "A") && !scan.DriveAReady) ||
                                     (StartsWithNoCase(data, "B") && !scan.DriveBReady));
    if (!emptyFloppy) {
      for (const std::string& extension : extensions) {
        if (extension == "*") continue;
        if (scan.FilePresence(data + "." + extension) != platform::Presence::Absent) {
          found = true;
          break;
        }
      }
    }
    if (found) continue;
    if (HasBackslash(value.name))
      scan.AddIssue(FindingRule::DialogHistory, value.name, keyText, ekValueInData);
    else
      scan.AddIssue(FindingRule::DialogHistory, data, keyText + "\\" + value.name,
                    ekValueInKeyPath);
  }

  for (const std::string& extension : extensions) {
    if (scan.StopRequested()) return;
    scan.ScanKeyTree("HKEY_CURRENT_USER", std::string(kDialogMruPath) + "\\" + extension,
                     scan.DriveLetters, "", FindingRule::HistoryReference);
  }
}

void ScanUsageCounters(TScanTaskThread& scan) {
  std::unique_ptr<platform::RegistryKey> key =
      scan.Registry().OpenKey(Root::CurrentUser, kUserAssistPath, Access::Read);
  if (!key) return;
  scan.ShowCurrentKey(kUserAssistPath);
  std::vector<RegValue> values;
  (void)key->Values(values);
  key.reset();

  const std::string keyText = std::string("HKEY_CURRENT_USER\\") + kUserAssistPath;
  for (const RegValue& value : values) {
    if (scan.StopRequested()) return;
    if (value.data.size() > kMaxCounterSize) continue;
    // Counters are binary; a text or DWORD value among them ends the list.
    if (value.type == platform::kRegSz || value.type == platform::kRegExpandSz ||
        value.type == platform::kRegDword)
      return;
    const std::string plain = Rot13(value.name);
    bool broken = false;
    if (plain.find(".lnk") == std::string::npos) {
      const size_t colon = plain.find(':');
      if (colon != std::string::npos)
        broken = scan.ResolveFileReference(plain.substr(colon + 1), "", true, scan.DriveLetters);
    }
    // Data shorter than two words has no run count; only the path can condemn it then.
    const bool neverRun = value.data.size() >= 8 && WordAt(value.data, 4) == 0;
    if (neverRun || broken)
      scan.AddIssue(FindingRule::UsageCounter, plain, keyText, ekEncodedValueInData);
  }
}

}  // namespace

void TScanTaskThread::ScanMruLists() {
  SetCaption("Scanning: MRU and History Lists");
  ScanDialogMru(*this);
  if (StopRequested()) return;
  ScanUsageCounters(*this);
}

}  // namespace tallowin
