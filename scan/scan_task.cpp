#include "scan/scan_task.h"

#include <cstdlib>
#include <optional>
#include <string_view>

#include "platform/reg_global.h"
#include "platform/registry_view.h"
#include "platform/text.h"
#include "scan/file_probe_cache.h"
#include "scan/issue_target.h"

namespace tallowin {

namespace {

constexpr const char* kCompletionCaption = "Optimizing...Do not close the dialog.";
constexpr const char* kCompletionKey = "Please wait...";

platform::Platform ViewOf(const platform::Platform& platform, bool native) {
  if (!native) return platform;
  return platform::Platform{platform.registry.InView(platform::View::Native),
                            platform.files.InView(platform::View::Native), platform.system,
                            platform.processes, platform.restorePoint};
}

// Folders of System32 that WOW64 never redirects.
constexpr std::string_view kUnredirectedFolders[] = {"catroot", "catroot2", "drivers\\etc",
                                                     "logfiles", "spool"};

// `text` starts with `folder` as a whole path component.
bool StartsWithFolder(std::string_view text, std::string_view folder) {
  return StartsWithNoCase(text, folder) &&
         (text.size() == folder.size() || text[folder.size()] == '\\');
}

// Decimal text as the dispatch reads it: anything that is not a whole number is 0.
int CodeOf(const std::string& text) {
  if (text.empty()) return 0;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || value < -2147483647L || value > 2147483647L) return 0;
  return static_cast<int>(value);
}

}  // namespace

TScanTaskThread::TScanTaskThread(const platform::Platform& platform, ScanObserver& observer,
                                 bool ignoreRemoveDrives, bool check64Bit)
    : IgnoreRemoveDrives(ignoreRemoveDrives),
      Check64Bit(check64Bit && IsRunningUnderWow64(platform.system)),
      platform_(ViewOf(platform, Check64Bit)),
      observer_(observer),
      cache_(std::make_unique<FileProbeCache>(platform_.files)) {
  if (!ignoreRemoveDrives) DriveLetters = "ab";
  for (char letter = 'c'; letter <= 'z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (!ignoreRemoveDrives || platform.files.DriveType(root) == platform::kDriveFixed)
      DriveLetters += letter;
  }
  IsWow64 = IsRunningUnderWow64(platform.system);
  if (Check64Bit) {
    windowsDirectory_ = platform.system.WindowsDirectory();
    for (const auto& [x86, native] : {std::pair{"%CommonProgramFiles(x86)%", "%CommonProgramW6432%"},
                                      std::pair{"%ProgramFiles(x86)%", "%ProgramW6432%"}}) {
      std::string folder32, folder64;
      if (platform.files.ExpandEnvironment(x86, kMaxProbeName, folder32) &&
          platform.files.ExpandEnvironment(native, kMaxProbeName, folder64) &&
          !folder32.empty() && !folder64.empty() && folder32.front() != '%' &&
          folder64.front() != '%' && !EqualsNoCase(folder32, folder64))
        programFolders_.emplace_back(folder32, folder64);
    }
  }
  IsWindows7 = GetWindowsVersionCode(platform.system) == 12;
  IsWindowsNt6 = GetWindowsVersionCode(platform.system) == 11;
}

TScanTaskThread::~TScanTaskThread() {
  Stop();
  Wait();
}

void TScanTaskThread::Start() { thread_ = std::thread([this] { Execute(); }); }

void TScanTaskThread::Stop() {
  // The flag first: a scan that reports in a tight loop retakes the lock at once and
  // would starve a Stop that waited for it before saying so. Taking the lock after it
  // means no observer call is in flight when Stop returns, and every later one sees
  // the flag.
  stop_.store(true);
  std::lock_guard<std::recursive_mutex> lock(observerMutex_);
}

void TScanTaskThread::Wait() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool TScanTaskThread::IsCategoryQueued(int code) const {
  for (const std::string& entry : TaskList)
    if (CodeOf(entry) == code) return true;
  return false;
}

void TScanTaskThread::SetCaption(const std::string& caption) {
  std::lock_guard<std::recursive_mutex> lock(observerMutex_);
  if (!StopRequested()) observer_.SetCaption(caption);
}

void TScanTaskThread::ShowCurrentKey(const std::string& keyPath) {
  std::lock_guard<std::recursive_mutex> lock(observerMutex_);
  if (!StopRequested()) observer_.ShowCurrentKey(keyPath);
}

void TScanTaskThread::AddIssue(FindingRule rule, const std::string& data, const std::string& key,
                               EntryKind kind) {
  AddIssue(rule, data, key, kind, nullptr);
}

void TScanTaskThread::AddIssue(FindingRule rule, const std::string& data, const std::string& key,
                               EntryKind kind, const platform::RegValue& value) {
  AddIssue(rule, data, key, kind, &value);
}

void TScanTaskThread::AddIssue(FindingRule rule, const std::string& data, const std::string& key,
                               EntryKind kind, const platform::RegValue* read) {
  Issue issue{ProblemCaption(rule), data, key, kind, false, {}, rule};
  if (Check64Bit) issue.view = platform::View::Native;
  // What the row names as it is now: the repair deletes it only while it stays so.
  issue.stamp = read != nullptr ? StampOfValue(*read)
                                : TakeStamp(platform_.registry, ResolveIssueTarget(issue));
  std::lock_guard<std::recursive_mutex> lock(observerMutex_);
  if (!StopRequested()) observer_.AddIssue(issue);
}

// The ANSI file functions convert a name into a buffer of MAX_PATH UTF-16 units and fail
// when it does not fit; no code page needs more than four bytes per unit. Answering such
// names here keeps the per-character probing of long data linear.
platform::Presence TScanTaskThread::FilePresence(const std::string& path) {
  return path.size() <= kMaxProbeName ? cache_->FilePresence(path) : platform::Presence::Absent;
}

platform::Presence TScanTaskThread::FolderPresence(const std::string& path) {
  return path.size() <= kMaxProbeName ? cache_->FolderPresence(path) : platform::Presence::Absent;
}

std::vector<std::string> TScanTaskThread::PathSpellings(const std::string& path) {
  std::vector<std::string> spellings{path};
  if (!Check64Bit) return spellings;
  const std::string& windows = windowsDirectory_;
  if (windows.empty() || !StartsWithNoCase(path, windows) || path.size() <= windows.size() ||
      path[windows.size()] != '\\')
    return spellings;
  const std::string_view rest = std::string_view(path).substr(windows.size() + 1);
  if (StartsWithFolder(rest, "Sysnative")) {
    spellings[0] = windows + "\\system32" + std::string(rest.substr(9));
    return spellings;
  }
  if (!StartsWithFolder(rest, "system32")) return spellings;
  const std::string_view below = rest.size() > 9 ? rest.substr(9) : std::string_view();
  for (const std::string_view folder : kUnredirectedFolders)
    if (StartsWithFolder(below, folder)) return spellings;
  spellings.push_back(windows + "\\SysWOW64" + std::string(rest.substr(8)));
  return spellings;
}

std::vector<std::string> TScanTaskThread::ProgramFolderSpellings(const std::string& path) {
  std::vector<std::string> spellings{path};
  for (const auto& [folder32, folder64] : programFolders_) {
    for (const auto& [from, to] : {std::pair{&folder32, &folder64}, std::pair{&folder64, &folder32}}) {
      if (!StartsWithFolder(path, *from)) continue;
      spellings.push_back(*to + path.substr(from->size()));
      return spellings;
    }
  }
  return spellings;
}

std::vector<std::string> TScanTaskThread::KeyPaths(platform::Root root, const std::string& path,
                                                   bool descending) {
  std::vector<std::string> paths{path};
  if (!Check64Bit) return paths;
  const std::optional<std::string> copy = platform::RedirectedPath(root, path);
  if (!copy) return paths;
  if (descending && (path.empty() || StartsWithNoCase(*copy, path + "\\"))) return paths;
  std::unique_ptr<platform::RegistryKey> copyKey;
  if (Registry().Open(root, *copy, platform::Access::Read, copyKey) != platform::kSuccess)
    return paths;
  std::string copyName, ownName;
  std::unique_ptr<platform::RegistryKey> own;
  const bool named = copyKey->Name(copyName) == platform::kSuccess;
  if (named && Registry().Open(root, path, platform::Access::Read, own) == platform::kSuccess &&
      own->Name(ownName) == platform::kSuccess && platform::SameKeyName(ownName, copyName))
    return paths;
  // Without names, a link in the copy's place is the one sign of a shared key.
  if (!named && IsSharedKeyAlias(root, *copy)) return paths;
  paths.push_back(*copy);
  return paths;
}

bool TScanTaskThread::IsSharedKeyAlias(platform::Root root, const std::string& path) {
  if (!Check64Bit || !platform::IsBelowRedirectionNode(root, path)) return false;
  std::unique_ptr<platform::RegistryKey> key;
  if (Registry().OpenNoFollow(root, path, platform::Access::Read, key) != platform::kSuccess)
    return false;
  bool link = false;
  return key->IsLink(link) == platform::kSuccess && link;
}

void TScanTaskThread::AdoptListings(std::shared_ptr<KeptListings> listings) {
  cache_->AdoptListings(std::move(listings));
}

void TScanTaskThread::Execute() {
  if (KeepListings) cache_->KeepListingsIn(KeepListings);
  for (const std::string& entry : TaskList) {
    if (StopRequested()) return;
    {
      std::lock_guard<std::recursive_mutex> lock(observerMutex_);
      if (StopRequested()) return;
      observer_.BeginCategory();
    }
    currentCode_ = CodeOf(entry);
    try {
      RunCategory(currentCode_);
    } catch (...) {
      // A failure inside a category ends that category only.
    }
    currentCode_ = 0;
    {
      std::lock_guard<std::recursive_mutex> lock(observerMutex_);
      if (StopRequested()) return;
      observer_.EndCategory();
    }
  }
  // What the scan remembered of the file system goes with it, here: freeing hundreds of
  // thousands of answers takes a while, and the thread that ends the session has a
  // window to keep answering.
  try {
    cache_->HandOverListings();
    cache_ = std::make_unique<FileProbeCache>(platform_.files);
  } catch (...) {
  }
  std::lock_guard<std::recursive_mutex> lock(observerMutex_);
  if (StopRequested()) return;
  observer_.SetCaption(kCompletionCaption);
  observer_.ShowCurrentKey(kCompletionKey);
  observer_.ScanDone();
}

void TScanTaskThread::RunCategory(int code) {
  switch (code) {
    case 1: ScanClassesRoot(); break;
    case 2: ScanCurrentUser(); break;
    case 3: ScanLocalMachineSoftware(); break;
    case 4: ScanUsers(); break;
    case 5: ScanStartMenu(); break;
    case 6: ScanObsoleteSoftware(); break;
    case 7: ScanFileExtensions(); break;
    case 8: ScanAddRemovePrograms(); break;
    case 9: ScanSharedDlls(); break;
    case 10: ScanFonts(); break;
    case 11: ScanHelpFiles(); break;
    case 12: ScanEmptyUninstallEntries(); break;
    case 13: ScanMruLists(); break;
    case 14: ScanEmptyUserKeys(); break;
    case 15: ScanSoftwareLocations(); break;
    case 16: ScanStartupPrograms(); break;
    case 17: ScanServices(); break;
    case 104: ScanCustomControls(); break;
    case 106: ScanShortcuts(); break;
    case 107: ScanSoundEvents(); break;
    case 108: ScanInvalidActiveX(); break;
    case 109: ScanInstallerReferences(); break;
    case 110: ScanOpenWithApplications(); break;
    default: break;  // codes without a category still get the begin and end steps
  }
}

}  // namespace tallowin
