#include <climits>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "scan/scan_task.h"

namespace tallowin {

namespace {

using platform::Access;
using platform::Root;

// The registry allows 512 levels; deeper chains (a hostile or broken backend) are not
// followed, and what is not followed is not called empty.
constexpr int kMaxDepth = 512;

// Keys below HKEY_USERS that are empty by design and must stay.
constexpr const char* kProtectedAlways[] = {
    "KasperskyLab\\protected",
    "Microsoft\\Windows\\CurrentVersion\\Explorer\\MountPoints2",
    "Microsoft\\Protected Storage System Provider",
    "Software\\Microsoft\\DirectInput",
    "Printers",
    "Software\\Microsoft\\Multimedia\\Audio Compression Manager",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\5.0\\Cache",
    "Software\\Microsoft\\Windows NT\\CurrentVersion",
    "S-1-5-19_Classes",
    "S-1-5-20_Classes",
    "Microsoft\\SystemCertificates",
    "Software\\Classes",
    "Software\\Microsoft\\EventSystem",
    "Software\\Microsoft\\Internet Explorer\\Security",
    "Software\\Microsoft\\SAPI Layer",
    "Software\\Microsoft\\Speech",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SessionInfo",
    "Software\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Telephony\\HandoffPriorities",
    "Software\\Microsoft\\Windows NT\\CurrentVersion\\Network\\Location Awareness",
    "Keyboard Layout\\Toggle",
    "Software\\Microsoft\\CTF",
    "Windows 3.1 Migration Status",
};

constexpr const char* kProtectedWindows7[] = {
    "Software\\Microsoft\\MediaPlayer",
    "Software\\Microsoft\\MSF",
    "Software\\Microsoft\\Active Setup\\Installed Components",
    "Software\\Microsoft\\RAS AutoDial",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Action Center\\Checks",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Action Center\\Providers\\EventLog",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Cryptography",
};

constexpr const char* kProtectedNt6[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "Software\\Microsoft\\Active Setup\\Installed Components",
    "Software\\Microsoft\\IME\\15.0\\IMESC",
    "Software\\Microsoft\\MediaPlayer",
    "Software\\Microsoft\\MSF",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Action Center\\Checks",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Action Center\\Providers\\EventLog",
    "Software\\Microsoft\\Windows\\CurrentVersion\\AppModel",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\UserAssist",
    "Software\\Microsoft\\Cryptography",
    "Software\\Microsoft\\TabletTip",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer",
};

template <size_t N>
bool ContainsAny(const std::string& path, const char* const (&fragments)[N]) {
  for (const char* fragment : fragments)
    if (path.find(fragment) != std::string::npos) return true;
  return false;
}

std::string Child(const std::string& path, const std::string& name) {
  return path.empty() ? name : path + "\\" + name;
}

int Clamp(size_t n) { return n > static_cast<size_t>(INT_MAX) ? INT_MAX : static_cast<int>(n); }

int CountContent(TScanTaskThread& scan, Root root, const std::string& path, int limit,
                 int depth) {
  if (depth > kMaxDepth || scan.StopRequested()) return limit;
  std::vector<std::string> names;
  int count = 0;
  {
    std::unique_ptr<platform::RegistryKey> key = scan.Registry().OpenKey(root, path, Access::Read);
    if (!key) return limit;
    uint32_t subKeys = 0, values = 0;
    if (key->QueryInfo(subKeys, values) != platform::kSuccess) return limit;
    count = Clamp(values);
    if (count >= limit) return count;
    if (key->SubKeyNames(names) != platform::kSuccess) return limit;
  }
  if (names.size() > static_cast<size_t>(limit < 0 ? 0 : limit)) return Clamp(names.size());
  for (const std::string& name : names) {
    const int inner = CountContent(scan, root, Child(path, name), limit, depth + 1);
    count = inner > INT_MAX - count ? INT_MAX : count + inner;
    if (count >= limit) return count;
  }
  return count;
}

void Walk(TScanTaskThread& scan, const std::string& rootName, const std::string& path,
          bool recursive, bool userKeys, int depth) {
  const std::optional<Root> root = platform::RootFromName(rootName);
  if (!root || depth > kMaxDepth || scan.StopRequested()) return;
  std::vector<std::string> names;
  {
    std::unique_ptr<platform::RegistryKey> key = scan.Registry().OpenKey(*root, path, Access::Read);
    if (!key) return;
    (void)key->SubKeyNames(names);  // each name is judged on its own, so a partial list serves
  }
  const std::string upperRoot = AsciiUpper(rootName);
  const bool users = upperRoot == "HKEY_USERS";
  const FindingRule rule = recursive ? FindingRule::EmptyKey : FindingRule::ObsoleteSoftware;
  const std::string issueKey = upperRoot + "\\" + path;
  for (const std::string& name : names) {
    if (scan.StopRequested()) return;
    if (users && AsciiUpper(name) == ".DEFAULT") continue;
    const std::string candidate = Child(path, name);
    if (scan.IsSharedKeyAlias(*root, candidate)) continue;
    scan.ShowCurrentKey(candidate);
    if ((!userKeys || scan.IsUnprotectedKeyPath(candidate)) &&
        scan.CountKeyContent(*root, candidate, 1) < 1)
      scan.AddIssue(rule, name, issueKey, ekSubKeyInData);
    if (recursive) Walk(scan, rootName, candidate, recursive, userKeys, depth + 1);
  }
}

}  // namespace

int TScanTaskThread::CountKeyContent(platform::Root root, const std::string& keyPath, int limit) {
  return CountContent(*this, root, keyPath, limit, 0);
}

void TScanTaskThread::WalkEmptyKeys(const std::string& rootName, const std::string& keyPath,
                                    bool recursive) {
  const std::optional<Root> root = platform::RootFromName(rootName);
  if (!root) return;
  for (const std::string& path : KeyPaths(*root, keyPath, recursive))
    Walk(*this, rootName, path, recursive, false, 0);
}

void TScanTaskThread::WalkEmptyUserKeys(const std::string& rootName, const std::string& keyPath,
                                        bool recursive) {
  const std::optional<Root> root = platform::RootFromName(rootName);
  if (!root) return;
  for (const std::string& path : KeyPaths(*root, keyPath, recursive))
    Walk(*this, rootName, path, recursive, true, 0);
}

bool TScanTaskThread::IsUnprotectedKeyPath(const std::string& keyPath) const {
  if (ContainsAny(keyPath, kProtectedAlways)) return false;
  if (IsWindows7 && ContainsAny(keyPath, kProtectedWindows7)) return false;
  if (IsWindowsNt6 && ContainsAny(keyPath, kProtectedNt6)) return false;
  return true;
}

void TScanTaskThread::ScanObsoleteSoftware() {
  SetCaption("Scanning: Software Locations");
  WalkEmptyKeys("HKEY_CURRENT_USER", "Software", false);
  WalkEmptyKeys("HKEY_LOCAL_MACHINE", "Software", false);
}

void TScanTaskThread::ScanEmptyUninstallEntries() {
  SetCaption("Scanning: Empty Uninstaller Entry");
  WalkEmptyKeys("HKEY_LOCAL_MACHINE", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                true);
}

void TScanTaskThread::ScanEmptyUserKeys() {
  SetCaption("Scanning: Empty Registry Keys");
  WalkEmptyUserKeys("HKEY_USERS", "", true);
}

}  // namespace tallowin
