#include "app/core/console_scan.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "platform/memory/memory_platform.h"

namespace tallowin {
namespace {

using platform::Root;
using platform::memory::MemoryMachine;

constexpr const char* kProblem = "Non-existent File or Folder";

std::vector<std::string> Lines(const IssueList& list) {
  std::vector<std::string> lines;
  for (const Issue& row : list.rows)
    lines.push_back(row.data + " | " + row.key + " | " + std::to_string(row.kind) +
                    (row.checked ? " | checked" : ""));
  return lines;
}

class ConsoleScanTest : public testing::Test {
 protected:
  ConsoleScanTest() {
    machine.registry.SetString(Root::CurrentUser, "Software\\App", "Gone", "C:\\Missing\\app.exe");
    machine.registry.SetString(Root::CurrentUser, "Software\\App", "Here", "C:\\Tools\\here.exe");
    machine.registry.SetString(Root::CurrentUser, "Software\\Skipped", "Old", "C:\\Missing\\old.txt");
    machine.files.AddFile("C:\\Tools\\here.exe");
  }
  MemoryMachine machine;
};

TEST_F(ConsoleScanTest, FinishedScanIsFilteredByTheIgnoreListAndChecked) {
  ConsoleScan scan(machine.platform(), nullptr);
  ConsoleScanRequest request;
  request.codes = {"2"};
  request.ignoreKeys = {"HKEY_CURRENT_USER\\Software\\Skipped"};
  request.ignoreKeyCount = 1;
  IssueList list;
  list.Add(Issue{"stale", "row", "of an earlier scan", ekKey, true});
  ASSERT_EQ(scan.Run(request, list), ScanOutcome::Completed);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{
                             "C:\\Missing\\app.exe | HKEY_CURRENT_USER\\Software\\App\\Gone | 1 | checked"}));
  EXPECT_EQ(list.rows[0].problem, kProblem);
}

TEST_F(ConsoleScanTest, NoFilterKeepsEveryFindingInScanOrder) {
  ConsoleScan scan(machine.platform(), nullptr);
  ConsoleScanRequest request;
  request.codes = {"2"};
  request.filter = false;
  request.ignoreKeys = {"HKEY_CURRENT_USER\\Software\\Skipped"};
  request.ignoreKeyCount = 1;
  IssueList list;
  ASSERT_EQ(scan.Run(request, list), ScanOutcome::Completed);
  EXPECT_EQ(Lines(list),
            (std::vector<std::string>{
                "C:\\Missing\\app.exe | HKEY_CURRENT_USER\\Software\\App\\Gone | 1 | checked",
                "C:\\Missing\\old.txt | HKEY_CURRENT_USER\\Software\\Skipped\\Old | 1 | checked"}));
}

TEST_F(ConsoleScanTest, CaptionsAreTheCategoryCaptionsOnly) {
  std::vector<std::string> captions;
  ConsoleScan scan(machine.platform(), [&](const std::string& c) { captions.push_back(c); });
  ConsoleScanRequest request;
  request.codes = {"2", "15", "0"};
  IssueList list;
  ASSERT_EQ(scan.Run(request, list), ScanOutcome::Completed);
  EXPECT_EQ(captions, (std::vector<std::string>{"Scanning: HKEY_CURRENT_USER",
                                                "Scanning: Software Locations"}));
}

TEST_F(ConsoleScanTest, StopBeforeRunScansNothing) {
  ConsoleScan scan(machine.platform(), nullptr);
  scan.Stop();
  ConsoleScanRequest request;
  request.codes = {"2"};
  IssueList list;
  list.Add(Issue{"stale", "row", "of an earlier scan", ekKey, true});
  EXPECT_EQ(scan.Run(request, list), ScanOutcome::Stopped);
  EXPECT_EQ(list.Count(), 0u);
}

// A stopped scan keeps what was recorded when Stop returned, minus the last row (as the
// main window does), unfiltered, every row checked.
TEST_F(ConsoleScanTest, StoppedScanDropsItsLastRowAndSkipsTheFilter) {
  for (int i = 0; i < 200; ++i)
    machine.registry.SetString(Root::CurrentUser, "Software\\Many", "v" + std::to_string(i),
                               "C:\\Missing\\f" + std::to_string(i) + ".txt");
  ConsoleScan scan(machine.platform(), nullptr);
  ConsoleScanRequest request;
  request.codes.assign(5000, "2");
  request.ignoreKeys = {"HKEY_CURRENT_USER\\Software\\Many"};
  request.ignoreKeyCount = 1;
  IssueList list;
  ScanOutcome outcome = ScanOutcome::Completed;
  std::thread runner([&] { outcome = scan.Run(request, list); });
  while (scan.RecordedCount() < 3) std::this_thread::yield();
  scan.Stop();
  const size_t recorded = scan.RecordedCount();
  runner.join();
  ASSERT_EQ(outcome, ScanOutcome::Stopped);
  ASSERT_GE(recorded, 3u);
  EXPECT_EQ(list.Count(), recorded - 1);
  EXPECT_EQ(list.CheckedCount(), list.Count());
  size_t ignored = 0;
  for (const Issue& row : list.rows)
    if (row.key.find("\\Software\\Many\\") != std::string::npos) ++ignored;
  EXPECT_GT(ignored, 0u);
}

TEST(ResolveAsScanWould, UsesTheDriveLettersAndFloppyFlagsOfTheSetting) {
  MemoryMachine machine;
  machine.files.AddDrive('a', platform::kDriveRemovable, /*ready=*/false);
  machine.files.AddDrive('d', platform::kDriveCdRom, /*ready=*/true);
  machine.files.AddFile("C:\\Tools\\here.exe");
  machine.files.AddFile("C:\\Lib\\Foo.dll");
  struct Case {
    const char* text;
    const char* suffix;
    bool dirs;
    bool ignoreRemoveDrives;
    bool broken;
  };
  const Case cases[] = {
      {"C:\\Tools\\here.exe -run", "", false, true, false},
      {"C:\\Tools\\gone.exe", "", false, true, true},
      {"C:\\Tools\\", "", false, true, false},
      {"C:\\Tools", "", true, true, false},
      {"C:\\Tools", "", false, true, true},
      {"A:\\Setup.exe", "", false, true, false},
      {"A:\\Setup.exe", "", false, false, true},
      {"D:\\Movie.avi", "", false, true, false},
      {"D:\\Movie.avi", "", false, false, true},
      {"C:\\Lib\\Foo.DLL,1", ".dll", false, true, false},
      {"C:\\Lib\\Bar.DLL,1", ".dll", false, true, true},
      {"C:\\Lib\\Foo.ocx", ".dll", false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.text << " suffix=" << c.suffix << " dirs=" << c.dirs
                                    << " ignoreRemoveDrives=" << c.ignoreRemoveDrives);
    ResolveRequest request{c.text, c.suffix, c.dirs, c.ignoreRemoveDrives};
    EXPECT_EQ(ResolveAsScanWould(machine.platform(), request), c.broken);
  }
}

}  // namespace
}  // namespace tallowin
