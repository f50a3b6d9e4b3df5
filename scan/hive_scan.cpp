#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_view.h"
#include "platform/text.h"
#include "scan/scan_task.h"

namespace tallowin {

namespace {

// Keys that other categories cover or whose paths must not be judged; compared whole, in
// any case.
constexpr std::string_view kLocalMachineSkips[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Software\\Microsoft\\Windows\\Help",
    "Software\\Microsoft\\Windows\\Html Help",
    "Software\\Classes\\Applications",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Paths\\path1",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Paths\\path2",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Paths\\path3",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Paths\\path4",
    "SOFTWARE\\Microsoft\\Office\\Delivery\\SourceEngine\\Downloads",
};

constexpr std::string_view kCurrentUserSkips[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "AppEvents\\Schemes\\Apps",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU",
};

// Exact substrings, NT 6.x other than 6.1 only.
constexpr std::string_view kLocalMachineFragments[] = {
    "Software\\Microsoft\\PowerShell\\3",
    "Software\\Microsoft\\Speech\\Voices\\Tokens",
    "Software\\Microsoft\\Windows\\CurrentVersion\\ShellCompatibility\\InboxApp",
};
constexpr std::string_view kImmersiveShellFragment =
    "Software\\Microsoft\\Windows\\CurrentVersion\\ImmersiveShell";

constexpr std::string_view kNestedWow6432Node = "Software\\Wow6432Node\\Wow6432Node";
constexpr std::string_view kNestedNode = "Wow6432Node\\Wow6432Node";

// Windows itself nests keys at most 512 levels deep.
constexpr int kMaxDepth = 512;

constexpr const char* kNonExistent = "Non-existent File or Folder";

bool EqualsAnyNoCase(std::string_view path, const auto& list) {
  for (std::string_view entry : list)
    if (EqualsNoCase(path, entry)) return true;
  return false;
}

bool ContainsAny(std::string_view path, const auto& list) {
  for (std::string_view entry : list)
    if (path.find(entry) != std::string_view::npos) return true;
  return false;
}

class KeyTreeWalk {
 public:
  KeyTreeWalk(TScanTaskThread& thread, platform::Root root, std::string rootName,
              const std::string& driveLetters, const std::string& requiredSuffix,
              const std::string& problem)
      : thread_(thread),
        root_(root),
        rootName_(std::move(rootName)),
        driveLetters_(driveLetters),
        requiredSuffix_(requiredSuffix),
        problem_(problem),
        code_(thread.CurrentCode()),
        nt6_(thread.IsWindowsNt6),
        bothViews_(thread.Check64Bit) {}

  // `keyPath` is extended for the sub-keys and restored before returning.
  void Walk(std::string& keyPath, int depth) {
    if (thread_.StopRequested() || depth > kMaxDepth || Skipped(keyPath)) return;
    if (root_ == platform::Root::LocalMachine && StartsWithNoCase(keyPath, kNestedWow6432Node))
      return;
    if (bothViews_ && ContainsNoCase(keyPath, kNestedNode)) return;
    std::unique_ptr<platform::RegistryKey> key;
    std::vector<platform::RegValue> values;
    bool readable = false;
    if (!Open(keyPath, key, values, readable)) return;
    thread_.ShowCurrentKey(keyPath);

    // The value list is released before descending: only the sub-key name lists of
    // the keys on the current path stay in memory.
    {
      // Values read before a failure are still judged; the rest of the key is not.
      for (const platform::RegValue& value : values) {
        if (thread_.StopRequested()) return;
        if (value.type != platform::kRegSz && value.type != platform::kRegExpandSz) continue;
        TextFromRegData(value.data, text_);
        if (thread_.ResolveFileReference(text_, requiredSuffix_, true, driveLetters_))
          Report(keyPath, value);
      }
      std::vector<platform::RegValue>().swap(values);
    }
    if (!readable) return;

    std::vector<std::string> names;
    (void)key->SubKeyNames(names);  // names read before a failure are still walked
    const size_t length = keyPath.size();
    for (const std::string& name : names) {
      if (thread_.StopRequested()) return;
      if (length != 0) keyPath += '\\';
      keyPath += name;
      Walk(keyPath, depth + 1);
      keyPath.resize(length);
    }
  }

 private:
  // Opens the key and reads its values. In the 64-bit view a key is opened as itself
  // first: a link below the redirection node is a shared key's other name, examined at
  // its own path; any other link is followed, as the process view does.
  bool Open(const std::string& keyPath, std::unique_ptr<platform::RegistryKey>& key,
            std::vector<platform::RegValue>& values, bool& readable) {
    platform::Registry& registry = thread_.Registry();
    if (!bothViews_) {
      if (registry.Open(root_, keyPath, platform::Access::Read, key) != platform::kSuccess)
        return false;
      readable = key->Values(values) == platform::kSuccess;
      return true;
    }
    if (registry.OpenNoFollow(root_, keyPath, platform::Access::Read, key) != platform::kSuccess)
      return false;
    readable = key->Values(values) == platform::kSuccess;
    if (!IsLinkKey(values)) return true;
    if (platform::IsBelowRedirectionNode(root_, keyPath)) return false;
    values.clear();
    key.reset();
    if (registry.Open(root_, keyPath, platform::Access::Read, key) != platform::kSuccess)
      return false;
    readable = key->Values(values) == platform::kSuccess;
    return true;
  }

  // A key opened as itself is a link when it holds its target as a REG_LINK value.
  static bool IsLinkKey(const std::vector<platform::RegValue>& values) {
    for (const platform::RegValue& value : values)
      if (value.type == platform::kRegLink && EqualsNoCase(value.name, "SymbolicLinkValue"))
        return true;
    return false;
  }

  bool Skipped(std::string_view keyPath) const {
    if (SkippedAsNamed(keyPath)) return true;
    // Both views' keys obey the rules: the 32-bit view's by the path it names them with.
    if (!bothViews_) return false;
    const std::string viewPath = platform::WithoutRedirectionNode(root_, keyPath);
    return viewPath.size() != keyPath.size() && SkippedAsNamed(viewPath);
  }

  bool SkippedAsNamed(std::string_view keyPath) const {
    if (code_ == 3) {
      if (EqualsAnyNoCase(keyPath, kLocalMachineSkips)) return true;
      if (nt6_ && ContainsAny(keyPath, kLocalMachineFragments)) return true;
    }
    if (code_ == 2 && EqualsAnyNoCase(keyPath, kCurrentUserSkips)) return true;
    return nt6_ && keyPath.find(kImmersiveShellFragment) != std::string_view::npos;
  }

  void Report(const std::string& keyPath, const platform::RegValue& value) {
    std::string location = rootName_;
    location += '\\';
    location += keyPath;
    if (value.name.find('\\') != std::string::npos) {
      thread_.AddIssue(problem_, value.name, location, ekValueInData, value);
    } else {
      location += '\\';
      location += value.name;
      thread_.AddIssue(problem_, text_, location, ekValueInKeyPath, value);
    }
  }

  TScanTaskThread& thread_;
  const platform::Root root_;
  const std::string rootName_;  // upper-cased
  const std::string& driveLetters_;
  const std::string& requiredSuffix_;
  const std::string& problem_;
  const int code_;
  const bool nt6_;
  const bool bothViews_;
  std::string text_;  // the value being judged, reused across values
};

}  // namespace

void TScanTaskThread::ScanKeyTree(const std::string& rootName, const std::string& keyPath,
                                  const std::string& driveLetters,
                                  const std::string& requiredSuffix, const std::string& problem) {
  const std::optional<platform::Root> root = platform::RootFromName(rootName);
  if (!root) return;
  KeyTreeWalk walk(*this, *root, AsciiUpper(rootName), driveLetters, requiredSuffix, problem);
  for (std::string path : KeyPaths(*root, keyPath, /*descending=*/true)) {
    if (StopRequested()) return;
    walk.Walk(path, 0);
  }
}

void TScanTaskThread::ScanClassesRoot() {
  SetCaption("Scanning: HKEY_CLASSES_ROOT");
  ScanKeyTree("HKEY_CLASSES_ROOT", "", DriveLetters, "", kNonExistent);
}

void TScanTaskThread::ScanCurrentUser() {
  SetCaption("Scanning: HKEY_CURRENT_USER");
  ScanKeyTree("HKEY_CURRENT_USER", "", DriveLetters, "", kNonExistent);
}

void TScanTaskThread::ScanLocalMachineSoftware() {
  SetCaption("Scanning: HKEY_LOCAL_MACHINE");
  ScanKeyTree("HKEY_LOCAL_MACHINE", "Software", DriveLetters, "", kNonExistent);
}

void TScanTaskThread::ScanUsers() {
  SetCaption("Scanning: HKEY_USERS");
  ScanKeyTree("HKEY_USERS", "", DriveLetters, "", kNonExistent);
}

void TScanTaskThread::ScanSoftwareLocations() {
  SetCaption("Scanning: Software Locations");
  ScanKeyTree("HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
              DriveLetters, "", "Software Locations Issue");
}

}  // namespace tallowin
