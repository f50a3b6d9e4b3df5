#pragma once
// Runs scan categories over an in-memory machine and records what the scan shows.

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "scan/scan_task.h"
#include "tests/support/scan_recorder.h"
#include "tests/support/watched_registry.h"

namespace tallowin::category_test {

using Recorder = testing_support::ScanRecorder;
using testing_support::Row;
using testing_support::Rows;

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
  testing_support::WatchedRegistry counting{machine.registry};

  std::vector<std::string> Run(int code, DriveSetup drives = {},
                               const std::function<void(TScanTaskThread&)>& configure = {}) {
    return RunScan(machine, counting, recorder, {std::to_string(code)}, drives, configure);
  }

  // Each code, stopped at its first issue, probes no file and opens no key after it; a
  // key tree walk (108, 109) may still open the key its registry reader has in hand.
  void ExpectTheStopEndsAllWork(std::initializer_list<const char*> codes) {
    for (const char* code : codes) {
      SCOPED_TRACE(code);
      size_t probesAtStop = 0;
      int opensAtStop = 0;
      RunScan(machine, counting, recorder, {code}, {}, [&](TScanTaskThread& scan) {
        recorder.onIssue = [&] {
          scan.Stop();
          probesAtStop = machine.files.ProbeCount();
          opensAtStop = counting.opens;
        };
      });
      EXPECT_EQ(recorder.issues.size(), 1u);
      EXPECT_EQ(machine.files.ProbeCount(), probesAtStop);
      const bool walks = std::string_view(code) == "108" || std::string_view(code) == "109";
      EXPECT_LE(counting.opens, opensAtStop + (walks ? 1 : 0));
    }
  }

  void SetVersion(uint32_t platformId, uint32_t major, uint32_t minor) {
    machine.system.version = {platformId, major, minor};
  }
};

}  // namespace tallowin::category_test
