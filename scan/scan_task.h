#pragma once
// The scan worker: runs the queued category codes one after another on its own thread.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "scan/issue.h"
#include "scan/scan_observer.h"

namespace tallowin {

class FileProbeCache;

class TScanTaskThread {
 public:
  // Computes DriveLetters and the OS flags; the thread is not started yet ("suspended").
  TScanTaskThread(const platform::Platform& platform, ScanObserver& observer,
                  bool ignoreRemoveDrives);
  ~TScanTaskThread();  // requests a stop and joins
  TScanTaskThread(const TScanTaskThread&) = delete;
  TScanTaskThread& operator=(const TScanTaskThread&) = delete;

  // Filled before Start(), only read afterwards.
  std::vector<std::string> TaskList;
  std::string DriveLetters;
  bool DriveAReady = false;
  bool DriveBReady = false;
  bool IsWow64 = false;
  bool IsWindows7 = false;
  bool IsWindowsNt6 = false;
  bool IgnoreRemoveDrives = true;

  void Start();  // runs Execute on a new thread
  // After Stop() returns the observer gets no further call. Safe from any thread, also
  // from inside an observer call. Observer calls are made under the lock that Stop()
  // takes, so an observer must never wait for the thread that calls Stop().
  void Stop();
  void Wait();   // joins the thread
  bool StopRequested() const { return stop_.load(std::memory_order_relaxed); }

  // The dispatch loop; Start() runs it on the worker thread, tests may call it directly.
  void Execute();

  // ---- shared by the categories -------------------------------------------------
  int CurrentCode() const { return currentCode_; }
  bool IsCategoryQueued(int code) const;
  void SetCaption(const std::string& caption);
  void ShowCurrentKey(const std::string& keyPath);
  void AddIssue(const std::string& problem, const std::string& data, const std::string& key,
                EntryKind kind);
  // For a value row whose value the category has just read: stamped from that reading.
  void AddIssue(const std::string& problem, const std::string& data, const std::string& key,
                EntryKind kind, const platform::RegValue& value);

  // True = broken (the file or folder the text refers to is missing).
  bool ResolveFileReference(const std::string& data, const std::string& requiredSuffix,
                            bool dirsAllowed, const std::string& driveLetters);
  std::string ExpandLeadingVariable(const std::string& text);
  void ScanKeyTree(const std::string& rootName, const std::string& keyPath,
                   const std::string& driveLetters, const std::string& requiredSuffix,
                   const std::string& problem);

  // Existence tests as the categories use them, answered from the scan's cache. Names
  // longer than kMaxProbeName are never found, as with the ANSI file functions.
  static constexpr size_t kMaxProbeName = 1040;
  bool FileExists(const std::string& path);
  bool FolderExists(const std::string& path);

  platform::Registry& Registry() { return platform_.registry; }
  platform::FileSystem& Files() { return platform_.files; }
  platform::System& System() { return platform_.system; }

  // Values and sub-keys of a key, counted until `limit` is reached (below 1 = empty). A key
  // whose content cannot be read counts as `limit`: what cannot be read is never empty.
  int CountKeyContent(platform::Root root, const std::string& keyPath, int limit);
  // Report empty sub-keys of a key (the user variant spares protected paths).
  void WalkEmptyKeys(const std::string& rootName, const std::string& keyPath, bool recursive);
  void WalkEmptyUserKeys(const std::string& rootName, const std::string& keyPath, bool recursive);
  bool IsUnprotectedKeyPath(const std::string& keyPath) const;
  // The string values of one Run-style key.
  void ScanRunKey(const std::string& rootName, const std::string& keyPath);

  // ---- categories, one per code ---------------------------------------------------
  void ScanClassesRoot();            // 1
  void ScanCurrentUser();            // 2
  void ScanLocalMachineSoftware();   // 3
  void ScanUsers();                  // 4
  void ScanStartMenu();              // 5
  void ScanObsoleteSoftware();       // 6
  void ScanFileExtensions();         // 7
  void ScanAddRemovePrograms();      // 8
  void ScanSharedDlls();             // 9
  void ScanFonts();                  // 10
  void ScanHelpFiles();              // 11
  void ScanEmptyUninstallEntries();  // 12
  void ScanMruLists();               // 13
  void ScanEmptyUserKeys();          // 14
  void ScanSoftwareLocations();      // 15
  void ScanStartupPrograms();        // 16
  void ScanServices();               // 17
  void ScanCustomControls();         // 104
  void ScanShortcuts();              // 106
  void ScanSoundEvents();            // 107
  void ScanInvalidActiveX();         // 108
  void ScanInstallerReferences();    // 109
  void ScanOpenWithApplications();   // 110

 private:
  void RunCategory(int code);

  platform::Platform platform_;
  ScanObserver& observer_;
  std::unique_ptr<FileProbeCache> cache_;
  std::atomic<bool> stop_{false};
  std::recursive_mutex observerMutex_;  // serialises observer calls against Stop()
  int currentCode_ = 0;
  std::thread thread_;
};

}  // namespace tallowin
