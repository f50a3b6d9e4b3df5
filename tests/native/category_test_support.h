#pragma once
// Runs scan categories over an in-memory machine and records what the scan shows.

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "scan/scan_task.h"

namespace tallowin::category_test {

class Recorder : public ScanObserver {
 public:
  std::vector<std::string> captions;
  std::vector<std::string> keys;
  std::vector<Issue> issues;
  std::function<void()> onIssue;

  void BeginCategory() override {}
  void EndCategory() override {}
  void SetCaption(const std::string& caption) override { captions.push_back(caption); }
  void ShowCurrentKey(const std::string& key) override { keys.push_back(key); }
  void AddIssue(const Issue& issue) override {
    issues.push_back(issue);
    if (onIssue) onIssue();
  }
  void ScanDone() override {}
  void Reset() {
    captions.clear();
    keys.clear();
    issues.clear();
  }
};

// Counts opens, and opens that ask for more than reading.
class CountingRegistry : public platform::Registry {
 public:
  explicit CountingRegistry(platform::Registry& inner) : inner_(inner) {}
  long Open(platform::Root root, std::string_view path, platform::Access access,
            std::unique_ptr<platform::RegistryKey>& key) override {
    ++opens;
    if (access != platform::Access::Read) ++writeOpens;
    return inner_.Open(root, path, access, key);
  }
  long OpenNoFollow(platform::Root root, std::string_view path, platform::Access access,
                    std::unique_ptr<platform::RegistryKey>& key) override {
    ++opens;
    if (access != platform::Access::Read) ++writeOpens;
    return inner_.OpenNoFollow(root, path, access, key);
  }
  long Create(platform::Root root, std::string_view path,
              std::unique_ptr<platform::RegistryKey>& key) override {
    return inner_.Create(root, path, key);
  }
  int opens = 0;
  int writeOpens = 0;

 private:
  platform::Registry& inner_;
};

// One issue as a line, so that a failed comparison shows every column.
inline std::string Row(const Issue& issue) {
  return issue.problem + " | " + issue.data + " | " + issue.key + " | " +
         std::to_string(static_cast<int>(issue.kind));
}

inline std::vector<std::string> Rows(const std::vector<Issue>& issues) {
  std::vector<std::string> rows;
  for (const Issue& issue : issues) rows.push_back(Row(issue));
  return rows;
}

inline std::string Row(const std::string& problem, const std::string& data,
                       const std::string& key, EntryKind kind) {
  return Row(Issue{problem, data, key, kind, false});
}

struct DriveSetup {
  bool ignoreRemoveDrives = true;
  bool driveAReady = false;
  bool driveBReady = false;
};

// Runs the codes through the dispatch, as a scan does; returns the issues as rows.
// `configure` sees the scan before it runs (flags, stop hooks).
inline std::vector<std::string> RunScan(
    platform::memory::MemoryMachine& machine, platform::Registry& registry, Recorder& recorder,
    std::vector<std::string> codes, DriveSetup drives = {},
    const std::function<void(TScanTaskThread&)>& configure = {}) {
  recorder.Reset();
  TScanTaskThread scan(platform::Platform{registry, machine.files, machine.system,
                                          machine.processes, machine.restorePoint},
                       recorder, drives.ignoreRemoveDrives);
  scan.DriveAReady = drives.driveAReady;
  scan.DriveBReady = drives.driveBReady;
  scan.TaskList = std::move(codes);
  if (configure) configure(scan);
  scan.Execute();
  recorder.onIssue = nullptr;
  return Rows(recorder.issues);
}

class CategoryTest : public ::testing::Test {
 protected:
  platform::memory::MemoryMachine machine;
  Recorder recorder;
  CountingRegistry counting{machine.registry};

  std::vector<std::string> Run(int code, DriveSetup drives = {},
                               const std::function<void(TScanTaskThread&)>& configure = {}) {
    return RunScan(machine, counting, recorder, {std::to_string(code)}, drives, configure);
  }

  void SetVersion(uint32_t platformId, uint32_t major, uint32_t minor) {
    machine.system.version = {platformId, major, minor};
  }
};

}  // namespace tallowin::category_test
