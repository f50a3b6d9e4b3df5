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
  [[nodiscard]] long Create(Root root, std::string_view path,
                            std::unique_ptr<RegistryKey>& key) override;

  // Test set-up and inspection. Paths are key paths below the root ("" = the root).
  void CreateKey(Root root, std::string_view path);
  void SetValue(Root root, std::string_view path, std::string_view name, uint32_t type,
                std::string_view data);                        // creates the key
  void SetString(Root root, std::string_view path, std::string_view name,
                 std::string_view text, uint32_t type = kRegSz);  // stores text + NUL
  void SetDword(Root root, std::string_view path, std::string_view name, uint32_t value);
  bool KeyExists(Root root, std::string_view path) const;
  std::optional<RegValue> GetValue(Root root, std::string_view path, std::string_view name) const;
  // Opening the key (and, through it, its sub-tree) fails with access denied.
  void DenyOpen(Root root, std::string_view path, bool deny = true);
  // Opening with Access::All fails with access denied; reading still works.
  void DenyWrite(Root root, std::string_view path, bool deny = true);

  // .reg text: "REGEDIT4" or "Windows Registry Editor Version 5.00" (already decoded
  // to 8-bit text), with every hex(N): form and [-key] deletions. False with a
  // message on malformed input; nothing is changed then.
  bool Import(std::string_view text, std::string* error = nullptr);
  // The sub-tree as "Windows Registry Editor Version 5.00" text with typed hex forms.
  std::string Export(Root root, std::string_view path) const;

  struct Node;

 private:
  // Shared with open keys, so a handle to a deleted key stays safe to use (it fails).
  std::shared_ptr<Node> roots_[5];
};

class MemoryFileSystem : public FileSystem {
 public:
  MemoryFileSystem();  // drive C: fixed and ready, nothing else
  ~MemoryFileSystem() override;

  [[nodiscard]] bool FindFirst(std::string_view pattern, FindEntry& entry) override;
  std::optional<uint32_t> Attributes(std::string_view path) override;
  uint32_t DriveType(std::string_view root) override;
  bool VolumeReady(std::string_view root) override;
  [[nodiscard]] bool ExpandEnvironment(std::string_view text, size_t capacity,
                                       std::string& expanded) override;
  std::optional<std::string> SpecialFolder(int csidl) override;
  std::optional<std::string> ShortcutTarget(std::string_view linkPath) override;
  [[nodiscard]] bool List(std::string_view pattern, std::vector<DirEntry>& entries) override;
  bool RemoveFile(std::string_view path) override;
  bool CreateDirectories(std::string_view path) override;
  [[nodiscard]] bool AppendToFile(std::string_view path, std::string_view header,
                                  std::string_view text) override;
  [[nodiscard]] bool ReadFile(std::string_view path, std::string& contents) override;

  // Set-up and inspection; these ignore DenyWrites and readiness. AddFile and AddFolder
  // create missing parents, and a missing drive as fixed and ready.
  void AddDrive(char letter, uint32_t type, bool ready = true);  // also changes an existing one
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
  // Counts FindFirst and Attributes calls, for tests of the probe cache.
  size_t ProbeCount() const { return probes_; }
  // Replaces (or creates) a file's contents with the checks of AppendToFile; for MemoryIniFile.
  [[nodiscard]] bool WriteWholeFile(std::string_view path, std::string_view contents);

  struct Entry;

 private:
  bool WriteFile(std::string_view path, std::string_view header, std::string_view text, bool append);

  std::unique_ptr<Entry> root_;  // its children are the drives, named "C:" ...
  std::map<std::string, std::pair<std::string, std::string>> environment_;  // by upper-case name
  std::map<int, std::string> specialFolders_;
  std::map<std::string, std::string> shortcuts_;  // by normalised upper-case path
  std::set<std::string> deniedFolders_;           // normalised upper-case paths
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

  OsVersion Version() override { return version; }
  bool IsWow64() override { return wow64; }
  LocalTime Now() override { return now; }
  // "DD/MM/YYYY hh:mm:ss", the date alone at midnight for file times.
  std::string FormatDateTime(const LocalTime& time) override;
  std::string FormatFileTime(uint64_t fileTime) override;
  std::string ExecutableDirectory() override { return executableDirectory; }
  std::string WindowsDirectory() override { return windowsDirectory; }
  std::string SystemDirectory() override { return systemDirectory; }
};

// Started "processes" run `onStart` with the command line; they end at once unless
// `keepRunning` is set, in which case they run until terminated.
class MemoryProcessLauncher : public ProcessLauncher {
 public:
  std::function<bool(const std::string& commandLine)> onStart;  // false: cannot start
  bool keepRunning = false;
  std::vector<std::string> started;  // every command line asked for, also those that failed
  std::unique_ptr<Process> StartHidden(const std::string& commandLine) override;
  // How many started processes were terminated.
  size_t TerminatedCount() const { return *terminated_; }

 private:
  std::shared_ptr<size_t> terminated_ = std::make_shared<size_t>(0);
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
  MemoryRestorePoint restorePoint;
  Platform platform() { return Platform{registry, files, system, processes, restorePoint}; }
};

}  // namespace tallowin::platform::memory
