#pragma once
// The scan worker: runs the queued category codes one after another on its own thread.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "scan/issue.h"
#include "scan/scan_observer.h"

namespace tallowin {

class FileProbeCache;
class KeptListings;

class TScanTaskThread {
 public:
  // Computes DriveLetters and the OS flags; the thread is not started yet ("suspended").
  // `check64Bit` is the "Check64Bit" setting: it takes effect under WOW64 only.
  TScanTaskThread(const platform::Platform& platform, ScanObserver& observer,
                  bool ignoreRemoveDrives, bool check64Bit = false);
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
  // Both registry views and the real system folder: the setting on, under WOW64. The
  // scan then reads the 64-bit view, where the 32-bit view's keys have their
  // Wow6432Node paths, probes files without redirection, and judges references into
  // System32 and the program folders on both sides. Rows name the 64-bit view's keys.
  const bool Check64Bit = false;
  // How far the registry reader of a walk (ScanKeyTree) may run ahead of the judging of
  // what it read. No records: the walk reads and judges on the scan thread alone.
  struct ReadAheadLimits {
    size_t records = 512;
    size_t bytes = 512 * 1024;
  };
  ReadAheadLimits ReadAhead;
  // Set before Start(): where the scan's folder listings are kept at its end, for the
  // reasons of its rows to use again while the folders stay as they were.
  std::shared_ptr<KeptListings> KeepListings;
  // Listings an earlier scan kept, used by this one's file tests while their folders are
  // unchanged.
  void AdoptListings(std::shared_ptr<KeptListings> listings);

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
  // A row of `rule`, captioned as the rule's rows are.
  void AddIssue(FindingRule rule, const std::string& data, const std::string& key, EntryKind kind);
  // For a value row whose value the category has just read: stamped from that reading.
  void AddIssue(FindingRule rule, const std::string& data, const std::string& key, EntryKind kind,
                const platform::RegValue& value);

  // True = broken (the file or folder the text refers to is missing).
  bool ResolveFileReference(const std::string& data, const std::string& requiredSuffix,
                            bool dirsAllowed, const std::string& driveLetters);
  std::string ExpandLeadingVariable(const std::string& text);
  // The tests after the expansion (suffix, drive, argument cutting, prefix walk) on one
  // candidate path.
  bool IsBrokenPath(std::string_view path, const std::string& requiredSuffix, bool dirsAllowed,
                    const std::string& driveLetters);
  // With Check64Bit: the expansion and the tests for every place `path` (with its leading
  // `variable`, if any) may mean.
  bool IsBrokenOnBothSides(std::string_view path, std::string_view variable,
                           const std::string& requiredSuffix, bool dirsAllowed,
                           const std::string& driveLetters);
  void ScanKeyTree(const std::string& rootName, const std::string& keyPath,
                   const std::string& driveLetters, const std::string& requiredSuffix,
                   FindingRule rule);

  // Existence tests as the categories use them, answered from the scan's cache. Names
  // longer than kMaxProbeName are never found, as with the ANSI file functions. A name
  // the system would not let us look for (access denied) is Unknown: never missing.
  static constexpr size_t kMaxProbeName = 1040;
  platform::Presence FilePresence(const std::string& path);
  platform::Presence FolderPresence(const std::string& path);
  bool FileExists(const std::string& path) { return FilePresence(path) == platform::Presence::Present; }
  bool FolderExists(const std::string& path) {
    return FolderPresence(path) == platform::Presence::Present;
  }
  // The paths a 32-bit or a 64-bit program may mean by `path`: with Check64Bit, System32
  // of the Windows folder is also SysWOW64 (not so the folders Windows never redirects),
  // and Sysnative is System32. Otherwise just `path`.
  std::vector<std::string> PathSpellings(const std::string& path);
  // `path` and, with Check64Bit, the same path in the other program folder ("Program
  // Files" and "Program Files (x86)", and their two "Common Files"), which a shortcut may
  // mean: its target is expanded for a 32-bit process from a link that named the 64-bit
  // program folder by its variable.
  std::vector<std::string> ProgramFolderSpellings(const std::string& path);

  // The places of a key the category examines: `path` itself and, with Check64Bit, the
  // 32-bit view's copy where the 64-bit view shows it (below Wow6432Node), unless that
  // is the same key (a shared one) or, for a walk that descends (`descending`), lies
  // below `path` anyway.
  std::vector<std::string> KeyPaths(platform::Root root, const std::string& path,
                                    bool descending = false);
  // With Check64Bit: a key below the redirection node that is a symbolic link. Such a key
  // is how a shared key shows in the 32-bit view's place; it is examined where it is.
  bool IsSharedKeyAlias(platform::Root root, const std::string& path);

  // With Check64Bit, the 64-bit views of the registry and of the file probes.
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
  // The item of a value row is `read` when the category has just read it, else it is
  // read for the stamp.
  void AddIssue(FindingRule rule, const std::string& data, const std::string& key, EntryKind kind,
                const platform::RegValue* read);

  platform::Platform platform_;
  ScanObserver& observer_;
  std::unique_ptr<FileProbeCache> cache_;
  std::string windowsDirectory_;  // with Check64Bit, for PathSpellings
  // With Check64Bit: each 32-bit program folder with its 64-bit twin, common files first.
  std::vector<std::pair<std::string, std::string>> programFolders_;
  std::atomic<bool> stop_{false};
  std::recursive_mutex observerMutex_;  // serialises observer calls against Stop()
  int currentCode_ = 0;
  std::thread thread_;
};

// The characters at which the file test cuts a command line's arguments off.
bool IsArgumentSeparator(char c);

}  // namespace tallowin
