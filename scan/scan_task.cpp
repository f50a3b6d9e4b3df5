#include "scan/scan_task.h"

#include <cstdlib>

#include "platform/reg_global.h"
#include "scan/file_probe_cache.h"
#include "scan/issue_target.h"

namespace tallowin {

namespace {

constexpr const char* kCompletionCaption = "Optimizing...Do not close the dialog.";
constexpr const char* kCompletionKey = "Please wait...";

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
                                 bool ignoreRemoveDrives)
    : IgnoreRemoveDrives(ignoreRemoveDrives),
      platform_(platform),
      observer_(observer),
      cache_(std::make_unique<FileProbeCache>(platform.files)) {
  if (!ignoreRemoveDrives) DriveLetters = "ab";
  for (char letter = 'c'; letter <= 'z'; ++letter) {
    const std::string root = std::string(1, letter) + ":\\";
    if (!ignoreRemoveDrives || platform.files.DriveType(root) == platform::kDriveFixed)
      DriveLetters += letter;
  }
  IsWow64 = IsRunningUnderWow64(platform.system);
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

void TScanTaskThread::AddIssue(const std::string& problem, const std::string& data,
                               const std::string& key, EntryKind kind) {
  Issue issue{problem, data, key, kind, false, {}};
  // What the row names as it is now: the repair deletes it only while it stays so.
  issue.stamp = TakeStamp(platform_.registry, ResolveIssueTarget(issue));
  std::lock_guard<std::recursive_mutex> lock(observerMutex_);
  if (!StopRequested()) observer_.AddIssue(issue);
}

// The ANSI file functions convert a name into a buffer of MAX_PATH UTF-16 units and fail
// when it does not fit; no code page needs more than four bytes per unit. Answering such
// names here keeps the per-character probing of long data linear.
bool TScanTaskThread::FileExists(const std::string& path) {
  return path.size() <= kMaxProbeName && cache_->FileExists(path);
}

bool TScanTaskThread::FolderExists(const std::string& path) {
  return path.size() <= kMaxProbeName && cache_->FolderExists(path);
}

void TScanTaskThread::Execute() {
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
