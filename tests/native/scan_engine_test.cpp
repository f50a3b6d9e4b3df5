#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "scan/scan_task.h"
#include "scan/volume_probe.h"
#include "tests/native/scan_engine_support.h"

namespace tallowin {
namespace {

using engine_test::ScanFixture;
using platform::Root;
using Events = std::vector<std::string>;

const Events kCompletion = {"caption:Optimizing...Do not close the dialog.",
                            "key:Please wait...", "done"};

Events Concat(Events a, const Events& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class ScanEngine : public ::testing::Test, public ScanFixture {};

TEST_F(ScanEngine, EmptyTaskListSetsCompletionTextsThenFinishes) {
  auto scan = MakeScan();
  scan->Execute();
  EXPECT_EQ(log.Events(), kCompletion);
}

TEST_F(ScanEngine, CodesWithoutCategoryStillBeginAndEnd) {
  for (const char* code : {"0", "5x", "105", "18", "103", "111", "", "abc", "-3"}) {
    SCOPED_TRACE(code);
    engine_test::EventLog events;
    TScanTaskThread scan(machine.platform(), events, true);
    scan.TaskList = {code};
    scan.Execute();
    EXPECT_EQ(events.Events(), Concat({"begin", "end"}, kCompletion));
  }
}

TEST_F(ScanEngine, SameCodeTwiceRunsTwiceAndListsTheIssueTwice) {
  machine.registry.SetString(Root::LocalMachine,
                             "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\a.exe", "",
                             "C:\\Gone\\a.exe");
  auto scan = MakeScan();
  scan->TaskList = {"15", "15"};
  scan->Execute();
  const std::string issue =
      "issue:C:\\Gone\\a.exe | HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion"
      "\\App Paths\\a.exe\\ | 1";
  const Events once = {"begin", "caption:Scanning: Software Locations", issue, "end"};
  EXPECT_EQ(log.Steps(), Concat(Concat(once, once), kCompletion));
}

TEST_F(ScanEngine, Code110KeepsThePreviousCaption) {
  auto scan = MakeScan();
  scan->TaskList = {"15", "110"};
  scan->Execute();
  Events captions;
  for (const std::string& e : log.Events())
    if (e.rfind("caption:", 0) == 0) captions.push_back(e);
  EXPECT_EQ(captions, (Events{"caption:Scanning: Software Locations",
                              "caption:Optimizing...Do not close the dialog."}));
}

TEST_F(ScanEngine, DriveLettersFollowTheRemovableDriveSetting) {
  machine.files.AddDrive('D', platform::kDriveCdRom);
  machine.files.AddDrive('E', platform::kDriveFixed);
  machine.files.AddDrive('F', platform::kDriveRemovable);
  machine.files.AddDrive('G', platform::kDriveRemote);
  EXPECT_EQ(MakeScan(true)->DriveLetters, "ce");
  EXPECT_EQ(MakeScan(false)->DriveLetters, "abcdefghijklmnopqrstuvwxyz");
}

TEST_F(ScanEngine, DriveLettersWithOnlyDriveCIsJustC) {
  EXPECT_EQ(MakeScan(true)->DriveLetters, "c");
}

TEST_F(ScanEngine, OsFlagsFollowTheVersionCode) {
  struct Case {
    platform::OsVersion version;
    bool windows7, nt6;
  } cases[] = {{{2, 6, 1}, true, false}, {{2, 6, 0}, false, true}, {{2, 6, 2}, false, true},
               {{2, 5, 1}, false, false}, {{2, 10, 0}, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version.major << "." << c.version.minor);
    machine.system.version = c.version;
    auto scan = MakeScan();
    EXPECT_EQ(scan->IsWindows7, c.windows7);
    EXPECT_EQ(scan->IsWindowsNt6, c.nt6);
  }
  machine.system.wow64 = true;
  EXPECT_TRUE(MakeScan()->IsWow64);
}

TEST_F(ScanEngine, FloppyFlagsAreProbedOnlyWhenRemovableDrivesCount) {
  machine.files.AddDrive('A', platform::kDriveRemovable, true);
  machine.files.AddDrive('B', platform::kDriveRemovable, false);
  auto counted = MakeScan(false);
  ProbeFloppyDrives(*counted);
  EXPECT_TRUE(counted->DriveAReady);
  EXPECT_FALSE(counted->DriveBReady);

  auto ignored = MakeScan(true);
  ProbeFloppyDrives(*ignored);
  EXPECT_FALSE(ignored->DriveAReady);
  EXPECT_FALSE(ignored->DriveBReady);

  EXPECT_TRUE(IsVolumeReady(machine.files, "a:\\"));
  EXPECT_FALSE(IsVolumeReady(machine.files, "b:\\"));
  EXPECT_FALSE(IsVolumeReady(machine.files, "q:\\"));
}

TEST_F(ScanEngine, IsCategoryQueuedReadsTheListAsNumbers) {
  auto scan = MakeScan();
  scan->TaskList = {"1", "03", "x", "108"};
  EXPECT_TRUE(scan->IsCategoryQueued(3));
  EXPECT_TRUE(scan->IsCategoryQueued(108));
  EXPECT_TRUE(scan->IsCategoryQueued(0));  // "x" counts as 0
  EXPECT_FALSE(scan->IsCategoryQueued(2));
}

TEST_F(ScanEngine, AFailureInsideACategoryEndsOnlyThatCategory) {
  machine.registry.SetString(Root::CurrentUser, "Software\\A", "v", "C:\\Gone\\a.exe");
  machine.registry.SetString(Root::CurrentUser, "Software\\B", "v", "C:\\Gone\\b.exe");
  bool thrown = false;
  log.onIssue = [&](const Issue&) {
    if (!thrown) {
      thrown = true;
      throw std::runtime_error("list full");
    }
  };
  auto scan = MakeScan();
  scan->TaskList = {"2", "2"};
  scan->Execute();
  const Events first = {"begin", "caption:Scanning: HKEY_CURRENT_USER",
                        "issue:C:\\Gone\\a.exe | HKEY_CURRENT_USER\\Software\\A\\v | 1", "end"};
  const Events second = {"begin", "caption:Scanning: HKEY_CURRENT_USER",
                         "issue:C:\\Gone\\a.exe | HKEY_CURRENT_USER\\Software\\A\\v | 1",
                         "issue:C:\\Gone\\b.exe | HKEY_CURRENT_USER\\Software\\B\\v | 1", "end"};
  EXPECT_EQ(log.Steps(), Concat(Concat(first, second), kCompletion));
}

TEST_F(ScanEngine, StopBeforeTheFirstCategoryPostsNothing) {
  auto scan = MakeScan();
  scan->TaskList = {"1", "2"};
  scan->Stop();
  scan->Execute();
  EXPECT_TRUE(log.Events().empty());
}

TEST_F(ScanEngine, StopFromInsideTheObserverEndsTheScanAtOnce) {
  for (int i = 0; i < 5; ++i)
    machine.registry.SetString(Root::CurrentUser, "Software\\K" + std::to_string(i), "v",
                               "C:\\Gone\\x.exe");
  auto scan = MakeScan();
  log.onIssue = [&](const Issue&) { scan->Stop(); };
  scan->TaskList = {"2", "2"};
  scan->Execute();
  EXPECT_EQ(log.IssueCount(), 1u);
  const Events events = log.Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "end"), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), "done"), 0);
}

// A category that takes a while: many keys, each with a broken reference.
void FillLongCategory(platform::memory::MemoryRegistry& registry, int keys) {
  for (int i = 0; i < keys; ++i)
    registry.SetString(Root::CurrentUser, "Software\\Bulk\\K" + std::to_string(i), "v",
                       "C:\\Gone\\app" + std::to_string(i) + ".exe");
}

TEST_F(ScanEngine, StopFromAnotherThreadIsPromptAndSilencesTheObserver) {
  constexpr int kKeys = 60000;
  FillLongCategory(machine.registry, kKeys);
  auto scan = MakeScan();
  scan->TaskList = {"2", "2", "2"};
  scan->Start();
  ASSERT_TRUE(log.WaitForIssues(50, std::chrono::seconds(30)));

  const auto before = std::chrono::steady_clock::now();
  scan->Stop();
  const auto stopTook = std::chrono::steady_clock::now() - before;
  const size_t eventsAtStop = log.Events().size();
  const size_t issuesAtStop = log.IssueCount();

  const auto waitStart = std::chrono::steady_clock::now();
  scan->Wait();
  const auto endTook = std::chrono::steady_clock::now() - waitStart;

  EXPECT_LT(stopTook, std::chrono::milliseconds(500));
  EXPECT_LT(endTook, std::chrono::seconds(2));
  EXPECT_LT(issuesAtStop, static_cast<size_t>(kKeys)) << "the scan ended before the stop";
  EXPECT_EQ(log.Events().size(), eventsAtStop);
  EXPECT_EQ(log.IssueCount(), issuesAtStop);
  const Events events = log.Events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "end"), 0);
  EXPECT_EQ(std::count(events.begin(), events.end(), "done"), 0);
}

TEST_F(ScanEngine, DestroyingARunningScanStopsAndJoinsIt) {
  FillLongCategory(machine.registry, 20000);
  {
    auto scan = MakeScan();
    scan->TaskList = {"2"};
    scan->Start();
    ASSERT_TRUE(log.WaitForIssues(1, std::chrono::seconds(30)));
  }
  const Events events = log.Events();
  EXPECT_LT(log.IssueCount(), 20000u);
  EXPECT_EQ(std::count(events.begin(), events.end(), "done"), 0);
}

TEST_F(ScanEngine, StartedScanReportsItsEndThroughTheObserver) {
  machine.registry.SetString(Root::CurrentUser, "Software\\A", "v", "C:\\Gone\\a.exe");
  auto scan = MakeScan();
  scan->TaskList = {"2"};
  scan->Start();
  scan->Wait();
  EXPECT_EQ(log.Steps(),
            Concat({"begin", "caption:Scanning: HKEY_CURRENT_USER",
                    "issue:C:\\Gone\\a.exe | HKEY_CURRENT_USER\\Software\\A\\v | 1", "end"},
                   kCompletion));
}

}  // namespace
}  // namespace tallowin
