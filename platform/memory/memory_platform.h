#pragma once
// An in-memory machine for fast native tests: a registry that enumerates sub-keys
// sorted case-insensitively (as Windows does) and values in insertion order, and a
// file system with drives, case-insensitive names, wildcards, environment variables,
// special folders and shortcut targets as data.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_file.h"
#include "platform/platform.h"

namespace tallowin::platform::memory {

class MemoryRegistry : public Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  [[nodiscard]] long Open(Root root, std::string_view path, Access access,
                          std::unique_ptr<RegistryKey>& key) override;
  [[nodiscard]] long OpenNoFollow(Root root, std::string_view path, Access access,
                                  std::unique_ptr<RegistryKey>& key) override;
  [[nodiscard]] long Create(Root root, std::string_view path,
                            std::unique_ptr<RegistryKey>& key) override;

  // Windows shows HKEY_CLASSES_ROOT as the user's Software\Classes over the machine's.
  // With this set, opening below ClassesRoot does the same (the user's copy of a key
  // first, the machine's sub-keys showing through); otherwise ClassesRoot is a root of
  // its own, as under Wine.
  bool mergeClasses = false;
  // A symbolic-link key at `path` that points at targetRoot\targetPath. Opened as itself
  // it shows the target's name as its "SymbolicLinkValue" (REG_LINK), as Windows does.
  void CreateLink(Root root, std::string_view path, Root targetRoot, std::string_view targetPath);

  // A 32-bit process on 64-bit Windows. Opened in the process view, HKLM\Software\X is
  // Software\Wow6432Node\X (while that node exists; shared keys are links there, as
  // Wine makes them), and a classes key X (of HKCR, and of Software\Classes in HKLM and
  // HKCU) is Wow6432Node\X of its classes where that exists, else X itself.
  // View::Native opens every path as it stands. Without this every view is the same.
  bool wow64 = false;
  Registry& InView(View view) override;
  std::string UpcaseName(std::string_view name) override;

  // Test set-up and inspection. Paths are key paths below the root ("" = the root).
  void CreateKey(Root root, std::string_view path);
  void SetValue(Root root, std::string_view path, std::string_view name, uint32_t type,
                std::string_view data);                        // creates the key
  void SetString(Root root, std::string_view path, std::string_view name,
                 std::string_view text, uint32_t type = kRegSz);  // UTF-16LE text + NUL
  void SetDword(Root root, std::string_view path, std::string_view name, uint32_t value);
  bool KeyExists(Root root, std::string_view path) const;
  std::optional<RegValue> GetValue(Root root, std::string_view path, std::string_view name) const;
  // Opening the key (and, through it, its sub-tree) fails with access denied.
  void DenyOpen(Root root, std::string_view path, bool deny = true);
  // Opening with Access::All fails with access denied; reading still works.
  void DenyWrite(Root root, std::string_view path, bool deny = true);

  // A .reg file's bytes: "REGEDIT4" in Windows-1252 or "Windows Registry Editor Version
  // 5.00" (UTF-16LE with its byte order mark, or plain text), with every hex(N): form
  // and [-key] deletions, imported as the registry editor does. False with a message on
  // malformed input; nothing is changed then.
  bool Import(std::string_view bytes, std::string* error = nullptr);
  // The sub-tree as "Windows Registry Editor Version 5.00" text (UTF-8) with typed hex forms.
  std::string Export(Root root, std::string_view path) const;

  struct Node;

 private:
  class ViewOf;
  friend class ViewOf;
  long Find(Root root, std::string_view path, bool followLast, int hops,
            std::shared_ptr<Node>& found, std::string* name = nullptr) const;
  long OpenKey(Root root, std::string_view path, Access access, bool followLast,
               std::unique_ptr<RegistryKey>& key, View view);
  long CreateIn(Root root, std::string_view path, std::unique_ptr<RegistryKey>& key, View view);
  // The path the process view of a WOW64 machine opens for `path`.
  std::string Redirected(Root root, std::string_view path) const;

  // Shared with open keys, so a handle to a deleted key stays safe to use (it fails).
  std::shared_ptr<Node> roots_[5];
  // Every call takes it, as the real registry may be used from several threads; shared
  // with open keys, which may outlive the registry.
  std::shared_ptr<std::recursive_mutex> mutex_ = std::make_shared<std::recursive_mutex>();
  std::unique_ptr<Registry> native_;
};

class MemoryFileSystem : public FileSystem {
 public:
  MemoryFileSystem();  // drive C: fixed and ready, nothing else
  ~MemoryFileSystem() override;

  [[nodiscard]] long Find(std::string_view pattern, FindEntry& entry) override;
  [[nodiscard]] long QueryAttributes(std::string_view path, uint32_t& attributes) override;
  uint32_t DriveType(std::string_view root) override;
  bool VolumeReady(std::string_view root) override;
  [[nodiscard]] bool ExpandEnvironment(std::string_view text, size_t capacity,
                                       std::string& expanded) override;
  std::optional<std::string> SpecialFolder(int csidl) override;
  std::optional<std::string> ShortcutTarget(std::string_view linkPath) override;
  [[nodiscard]] long List(std::string_view pattern, std::vector<DirEntry>& entries) override;
  bool RemoveFile(std::string_view path) override;
  [[nodiscard]] long RemoveFileWithReason(std::string_view path) override;
  RecycleResult RecycleFile(std::string_view path) override;
  bool CreateDirectories(std::string_view path) override;
  [[nodiscard]] bool AppendToFile(std::string_view path, std::string_view header,
                                  std::string_view text) override;
  [[nodiscard]] bool ReadFile(std::string_view path, std::string& contents) override;
  [[nodiscard]] long CreateNewFile(std::string_view path,
                                   std::unique_ptr<WritableFile>& file) override;
  [[nodiscard]] long OpenForAppend(std::string_view path,
                                   std::unique_ptr<WritableFile>& file) override;
  [[nodiscard]] bool ReplaceFile(std::string_view from, std::string_view to) override;
  // A file's write time is the one it was added with, or the clock's when a write made
  // it; a folder's is the clock's when a name in it was last made or removed.
  [[nodiscard]] long QueryWriteTime(std::string_view path, uint64_t& writeTime) override;
  std::string VolumePath(std::string_view path) override;
  bool StampsFolderChanges(std::string_view root) override;
  uint64_t CurrentFileTime() override { return fileClock; }
  // The clock of the file system's write times: it moves only when a test moves it, so a
  // change made at once after another keeps the folder's time, as a coarse clock does.
  uint64_t fileClock = 130000000000000000ULL;  // December 2012
  // A drive whose folders keep their write time when names in them change (FAT).
  void SetStampsFolderChanges(char letter, bool stamps);
  // A volume mounted in `folder` (made if missing), stamping folder changes or not.
  void MountVolume(std::string_view folder, bool stampsFolderChanges);
  // The folder becomes a junction, as its attributes then say.
  void MakeJunction(std::string_view folder);

  // A disk that fills up: appends through WritableFile write `bytes` more in all, then
  // write what fits and fail. Flushes fail too while `failFlush` is set.
  void LimitWrites(uint64_t bytes) { writeBudget_ = bytes; }
  void UnlimitWrites() { writeBudget_.reset(); }
  bool failFlush = false;
  // Drive-absolute paths only: the memory machine has no current folder. While a
  // reader is open, writing or removing the file fails, as a sharing violation.
  [[nodiscard]] std::unique_ptr<FileReader> OpenForReading(std::string_view path) override;
  std::optional<std::string> FullPath(std::string_view path) override;

  // Set-up and inspection; these ignore DenyWrites and readiness. AddFile and AddFolder
  // create missing parents, and a missing drive as fixed and ready.
  // A fixed drive gets a Recycle Bin, any other kind none; also changes an existing one.
  void AddDrive(char letter, uint32_t type, bool ready = true);
  void SetRecycleBin(char letter, bool present);
  // The original paths of the files in a drive's Recycle Bin, oldest first.
  std::vector<std::string> RecycledFiles(char letter) const;
  // Puts a recycled file back where it was (as its Restore command does); false when it
  // is not in the bin or its place is taken.
  bool RestoreRecycled(std::string_view originalPath);
  // The folder may not be searched: listings of it and searches for names in it fail
  // with access denied, as does everything below it unless `traverse` (the folder
  // itself, and names below it, still answer GetFileAttributes then, as with the
  // traverse right of Windows).
  void DenyAccess(std::string_view folder, bool traverse = false);
  void AddFile(std::string_view path, std::string_view contents = "", uint64_t writeTime = 0);
  void AddFolder(std::string_view path);  // with its parents
  void SetEnvironment(std::string_view name, std::string_view value);
  void SetSpecialFolder(int csidl, std::string_view path);
  void AddShortcut(std::string_view linkPath, std::string_view target);  // also adds the file
  bool Exists(std::string_view path) const;
  std::string Contents(std::string_view path) const;
  // Writes below this folder fail (AppendToFile, WriteWholeFile, CreateDirectories,
  // RemoveFile), as on a read-only medium.
  void DenyWrites(std::string_view folder, bool deny = true);
  // Listings of this folder fail with `error` (0 ends that), as on a drive that
  // stopped answering; FindFirst and Attributes still answer.
  void FailListing(std::string_view folder, long error);
  // GetFileAttributes of this path answers `error` (0 ends that), as for a file that is
  // locked or on a drive that stopped answering.
  void FailAttributes(std::string_view path, long error);
  // Readers of this file report a read error once `bytes` have been read, as a disk
  // does that fails in the middle of a file.
  void FailReadingAfter(std::string_view path, size_t bytes);
  // Counts FindFirst and Attributes calls, for tests of the probe cache.
  size_t ProbeCount() const { return probes_; }

  // A 32-bit process on 64-bit Windows: in the process view, the probes (FindFirst,
  // Attributes, List) of windowsFolder\System32 reach its SysWOW64 (but for the
  // folders Windows exempts: catroot, catroot2, drivers\etc, logfiles, spool), and
  // Sysnative reaches System32. View::Native probes every path as written.
  bool wow64 = false;
  std::string windowsFolder = "C:\\Windows";
  FileSystem& InView(View view) override;
  // Replaces (or creates) a file's contents with the checks of AppendToFile; for MemoryIniFile.
  [[nodiscard]] bool WriteWholeFile(std::string_view path, std::string_view contents);

  struct Entry;

 private:
  class NativeView;
  friend class MemoryWritableFile;
  std::string Redirected(std::string_view path) const;
  long FindAt(std::string_view pattern, FindEntry& entry);
  long AttributesAt(std::string_view path, uint32_t& attributes);
  long ListAt(std::string_view pattern, std::vector<DirEntry>& entries);
  long WriteTimeAt(std::string_view path, uint64_t& writeTime);
  std::unique_ptr<FileSystem> native_;
  Entry* FileEntry(std::string_view path);
  std::optional<uint64_t> writeBudget_;
  bool WriteFile(std::string_view path, std::string_view header, std::string_view text, bool append);
  bool BeingRead(const std::string& key) const;  // an open reader keeps writers out

  std::unique_ptr<Entry> root_;  // its children are the drives, named "C:" ...
  std::map<std::string, std::pair<std::string, std::string>> environment_;  // by upper-case name
  std::map<int, std::string> specialFolders_;
  std::map<std::string, std::string> shortcuts_;  // by normalised upper-case path
  std::map<std::string, bool> mounts_;  // volumes in folders, as above: stamping or not
  std::set<std::string> deniedFolders_;           // normalised upper-case paths
  std::map<std::string, bool> unsearchable_;      // as above, with whether they may be traversed
  struct RecycledFile {
    std::string originalPath;
    std::unique_ptr<Entry> entry;
    std::optional<std::string> shortcutTarget;
  };
  std::map<char, std::vector<RecycledFile>> recycled_;  // by drive letter
  std::map<std::string, long> listFailures_;      // by normalised upper-case path
  std::map<std::string, long> attributeFailures_;  // as above
  std::map<std::string, size_t> readFailures_;    // by normalised upper-case path
  std::map<std::string, std::shared_ptr<size_t>> openReaders_;  // count per file, as above
  size_t probes_ = 0;
};

// A FILETIME for a local time of the memory machine (which keeps local time = UTC).
uint64_t MakeFileTime(const LocalTime& time);

class MemorySystem : public System {
 public:
  OsVersion version{2, 6, 1};  // Windows 7, as Wine reports by default
  bool wow64 = false;
  LocalTime now{2013, 3, 7, 14, 5, 9};
  std::string executableDirectory = "C:\\Tallowin\\";
  std::string windowsDirectory = "C:\\Windows";
  std::string systemDirectory = "C:\\Windows\\system32";
  std::string userSid = "S-1-5-21-1004336348-1177238915-682003330-1000";

  OsVersion Version() override { return version; }
  bool IsWow64() override { return wow64; }
  LocalTime Now() override { return now; }
  // "DD/MM/YYYY hh:mm:ss", the date alone at midnight for file times.
  std::string FormatDateTime(const LocalTime& time) override;
  std::string FormatFileTime(uint64_t fileTime) override;
  std::string ExecutableDirectory() override { return executableDirectory; }
  std::string WindowsDirectory() override { return windowsDirectory; }
  std::string SystemDirectory() override { return systemDirectory; }
  const AnsiCodePage& Ansi() override { return Windows1252(); }
  std::string CurrentUserSid() override { return userSid; }
};

// Started "processes" run `onStart` with the command line; they end at once unless
// `keepRunning` is set, in which case they run until terminated.
class MemoryProcessLauncher : public ProcessLauncher {
 public:
  std::function<bool(const std::string& commandLine)> onStart;  // false: cannot start
  bool keepRunning = false;
  std::vector<std::string> started;  // every command line asked for, also those that failed
  std::vector<View> startedViews;    // the view each of them was started in
  long startError = 2;               // what a start refused by `onStart` reports
  std::unique_ptr<Process> StartHidden(const std::string& commandLine) override;
  std::unique_ptr<Process> StartHiddenInView(const std::string& commandLine, View view) override;
  long LastStartError() const override { return lastStartError_; }
  // How many started processes were terminated.
  size_t TerminatedCount() const { return *terminated_; }

 private:
  std::shared_ptr<size_t> terminated_ = std::make_shared<size_t>(0);
  long lastStartError_ = 0;
};

// One call to System Restore as the Windows backend would make it.
struct RestorePointCall {
  uint32_t eventType = 0;
  uint32_t restorePointType = 0;
  int64_t sequence = 0;
  std::string description;  // empty when ending a change
  bool operator==(const RestorePointCall&) const = default;
};

// Records every call, in order; calls may come from worker threads. A Created begin
// hands out the next sequence number. While held, a begin blocks until released.
class MemoryRestorePoint : public RestorePointService {
 public:
  RestorePointResult result = RestorePointResult::Created;  // of every begin
  bool endSucceeds = true;
  int64_t nextSequence = 41;

  RestorePointStart Create(const std::string& description) override;
  bool End(int64_t sequence, bool cancelled) override;

  std::vector<RestorePointCall> Calls() const;
  // Waits for a condition on the calls (false once `timeout` has passed without it).
  bool WaitForCalls(const std::function<bool(const std::vector<RestorePointCall>&)>& ready,
                    std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
  void Hold();
  void Release();

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<RestorePointCall> calls_;
  bool held_ = false;
};

// Private-profile semantics over an INI text kept in a MemoryFileSystem file.
class MemoryIniFile : public IniFile {
 public:
  MemoryIniFile(MemoryFileSystem& files, std::string path);
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue) override;
  [[nodiscard]] bool Write(std::string_view section, std::string_view key,
                           std::string_view value) override;

 private:
  MemoryFileSystem& files_;
  std::string path_;
};

// One of each, wired together.
class MemoryMachine {
 public:
  MemoryRegistry registry;
  MemoryFileSystem files;
  MemorySystem system;
  MemoryProcessLauncher processes;
  // Shared, as the real machine's: a restore point worker may outlive the machine.
  std::shared_ptr<MemoryRestorePoint> restorePointOwner = std::make_shared<MemoryRestorePoint>();
  MemoryRestorePoint& restorePoint = *restorePointOwner;
  Platform platform() { return Platform{registry, files, system, processes, restorePoint}; }
};

}  // namespace tallowin::platform::memory
