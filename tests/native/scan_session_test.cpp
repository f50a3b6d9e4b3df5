#include "core/scan_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "platform/memory/memory_platform.h"

namespace tallowin {
namespace {

using platform::Root;
using platform::memory::MemoryMachine;
using Kind = ScanReport::Kind;

constexpr const char* kProblem = "Non-existent File or Folder";

std::vector<std::string> Lines(const IssueList& list) {
  std::vector<std::string> lines;
  for (const Issue& row : list.rows)
    lines.push_back(row.data + " | " + row.key + " | " + std::to_string(row.kind) +
                    (row.checked ? " | checked" : ""));
  return lines;
}

Issue Row(int n) { return Issue{"p", "d" + std::to_string(n), "k", ekKey, false, {}}; }

// "B", "C:text", "R:n" (a batch of n rows), "K:text", "E", "D".
std::vector<std::string> Shape(const std::vector<ScanReport>& reports) {
  std::vector<std::string> shape;
  for (const ScanReport& r : reports) {
    switch (r.kind) {
      case Kind::BeginCategory: shape.push_back("B"); break;
      case Kind::EndCategory: shape.push_back("E"); break;
      case Kind::Caption: shape.push_back("C:" + r.text); break;
      case Kind::CurrentKey: shape.push_back("K:" + r.text); break;
      case Kind::Rows: shape.push_back("R:" + std::to_string(r.rows.size())); break;
      case Kind::Done: shape.push_back("D"); break;
    }
  }
  return shape;
}

TEST(ScanReportQueue, KeepsTheOrderOfStepsAndOneBatchAndOneKeyBetweenThem) {
  ScanReportQueue queue(nullptr);
  queue.BeginCategory();
  queue.SetCaption("Scanning: HKEY_CURRENT_USER");
  queue.ShowCurrentKey("Software");
  queue.ShowCurrentKey("Software\\A");
  queue.AddIssue(Row(1));
  queue.AddIssue(Row(2));
  queue.ShowCurrentKey("Software\\B");
  queue.AddIssue(Row(3));
  queue.EndCategory();
  queue.SetCaption("Optimizing...Do not close the dialog.");
  queue.ScanDone();
  const std::vector<ScanReport> reports = queue.Take();
  EXPECT_EQ(Shape(reports),
            (std::vector<std::string>{"B", "C:Scanning: HKEY_CURRENT_USER", "K:Software\\B", "R:3",
                                      "E", "C:Optimizing...Do not close the dialog.", "D"}));
  EXPECT_EQ(reports[3].rows[0].data, "d1");
  EXPECT_EQ(reports[3].rows[2].data, "d3");
  EXPECT_TRUE(queue.Empty());
  EXPECT_TRUE(queue.Take().empty());
  EXPECT_EQ(queue.RowsReported(), 3u);
}

TEST(ScanReportQueue, WakesOnlyWhenTheQueueWasEmptyAndNeverUnderItsLock) {
  int wakes = 0;
  ScanReportQueue* self = nullptr;
  ScanReportQueue queue([&] {
    ++wakes;
    EXPECT_FALSE(self->Empty());  // would deadlock if called under the lock
  });
  self = &queue;
  queue.BeginCategory();
  queue.AddIssue(Row(1));
  queue.AddIssue(Row(2));
  queue.EndCategory();
  EXPECT_EQ(wakes, 1);
  (void)queue.Take();
  queue.AddIssue(Row(3));
  EXPECT_EQ(wakes, 2);
  queue.ShowCurrentKey("x");
  EXPECT_EQ(wakes, 2);
}

// A key between every row, as the hive scan reports: still one batch per stretch.
TEST(ScanReportQueue, KeysBetweenRowsDoNotSplitTheBatch) {
  ScanReportQueue queue(nullptr);
  queue.BeginCategory();
  for (int i = 0; i < 1000; ++i) {
    queue.ShowCurrentKey("k" + std::to_string(i));
    queue.AddIssue(Row(i));
  }
  queue.SetCaption("c");
  queue.ShowCurrentKey("after");
  queue.AddIssue(Row(1000));
  EXPECT_EQ(Shape(queue.Take()),
            (std::vector<std::string>{"B", "K:k999", "R:1000", "C:c", "K:after", "R:1"}));
  // A new stretch begins with the next take.
  queue.AddIssue(Row(1001));
  EXPECT_EQ(Shape(queue.Take()), (std::vector<std::string>{"R:1"}));
}

// A reader that takes while the writer reports sees every row once, in order, and one
// wake per empty-to-non-empty change at most.
TEST(ScanReportQueue, RowsArriveInOrderWhileTheReaderTakes) {
  constexpr int kRows = 100000;
  std::atomic<int> wakes{0};
  ScanReportQueue queue([&] { ++wakes; });
  std::thread writer([&] {
    for (int i = 0; i < kRows; ++i) {
      queue.AddIssue(Row(i));
      if (i % 1000 == 0) queue.ShowCurrentKey(std::to_string(i));
    }
    queue.ScanDone();
  });
  std::vector<std::string> data;
  int takes = 0;
  bool done = false;
  while (!done) {
    std::vector<ScanReport> reports = queue.Take();
    if (!reports.empty()) ++takes;
    for (ScanReport& r : reports) {
      if (r.kind == Kind::Done) done = true;
      for (Issue& row : r.rows) data.push_back(std::move(row.data));
    }
    if (reports.empty()) std::this_thread::yield();
  }
  writer.join();
  ASSERT_EQ(data.size(), static_cast<size_t>(kRows));
  for (int i = 0; i < kRows; ++i) ASSERT_EQ(data[static_cast<size_t>(i)], "d" + std::to_string(i));
  EXPECT_LE(wakes.load(), takes);
  EXPECT_GE(wakes.load(), 1);
}

class ScanSessionTest : public testing::Test {
 protected:
  ScanSessionTest() {
    machine.registry.SetString(Root::CurrentUser, "Software\\App", "Gone", "C:\\Missing\\app.exe");
    machine.registry.SetString(Root::CurrentUser, "Software\\App", "Here", "C:\\Tools\\here.exe");
    machine.registry.SetString(Root::CurrentUser, "Software\\Skipped", "Old", "C:\\Missing\\old.txt");
    machine.files.AddFile("C:\\Tools\\here.exe");
  }
  void AddMany(int count) {
    for (int i = 0; i < count; ++i)
      machine.registry.SetString(Root::CurrentUser, "Software\\Many", "v" + std::to_string(i),
                                 "C:\\Missing\\f" + std::to_string(i) + ".txt");
  }
  MemoryMachine machine;
};

TEST_F(ScanSessionTest, FinishedScanIsFilteredByTheIgnoreListAndChecked) {
  ScanSession scan(machine.platform(), nullptr);
  ScanRequest request;
  request.codes = {"2"};
  request.ignoreKeys = {"HKEY_CURRENT_USER\\Software\\Skipped"};
  request.ignoreKeyCount = 1;
  IssueList list;
  list.Add(Issue{"stale", "row", "of an earlier scan", ekKey, true});
  ASSERT_EQ(scan.Run(request, list, nullptr), ScanOutcome::Completed);
  EXPECT_EQ(Lines(list), (std::vector<std::string>{
                             "C:\\Missing\\app.exe | HKEY_CURRENT_USER\\Software\\App\\Gone | 1 | checked"}));
  EXPECT_EQ(list.rows[0].problem, kProblem);
}

TEST_F(ScanSessionTest, NoFilterKeepsEveryFindingInScanOrder) {
  ScanSession scan(machine.platform(), nullptr);
  ScanRequest request;
  request.codes = {"2"};
  request.filter = false;
  request.ignoreKeys = {"HKEY_CURRENT_USER\\Software\\Skipped"};
  request.ignoreKeyCount = 1;
  IssueList list;
  ASSERT_EQ(scan.Run(request, list, nullptr), ScanOutcome::Completed);
  EXPECT_EQ(Lines(list),
            (std::vector<std::string>{
                "C:\\Missing\\app.exe | HKEY_CURRENT_USER\\Software\\App\\Gone | 1 | checked",
                "C:\\Missing\\old.txt | HKEY_CURRENT_USER\\Software\\Skipped\\Old | 1 | checked"}));
}

TEST_F(ScanSessionTest, CaptionsAreTheCategoryCaptionsOnly) {
  std::vector<std::string> captions;
  ScanSession scan(machine.platform(), nullptr);
  ScanRequest request;
  request.codes = {"2", "15", "0"};
  IssueList list;
  ASSERT_EQ(scan.Run(request, list, [&](const std::string& c) { captions.push_back(c); }),
            ScanOutcome::Completed);
  EXPECT_EQ(captions, (std::vector<std::string>{"Scanning: HKEY_CURRENT_USER",
                                                "Scanning: Software Locations"}));
}

TEST_F(ScanSessionTest, StopBeforeRunScansNothing) {
  ScanSession scan(machine.platform(), nullptr);
  scan.Stop();
  ScanRequest request;
  request.codes = {"2"};
  IssueList list;
  list.Add(Issue{"stale", "row", "of an earlier scan", ekKey, true});
  EXPECT_EQ(scan.Run(request, list, nullptr), ScanOutcome::Stopped);
  EXPECT_EQ(list.Count(), 0u);
}

// A stopped scan is filtered too: here every row it can find is under an ignored key.
TEST_F(ScanSessionTest, StoppedScanIsFiltered) {
  AddMany(200);
  ScanSession scan(machine.platform(), nullptr);
  ScanRequest request;
  request.codes.assign(5000, "2");
  request.ignoreKeys = {"HKEY_CURRENT_USER\\Software"};
  request.ignoreKeyCount = 1;
  IssueList list;
  ScanOutcome outcome = ScanOutcome::Completed;
  std::thread runner([&] { outcome = scan.Run(request, list, nullptr); });
  while (scan.RowsReported() < 3) std::this_thread::yield();
  scan.Stop();
  runner.join();
  ASSERT_EQ(outcome, ScanOutcome::Stopped);
  EXPECT_EQ(Lines(list), std::vector<std::string>{});
  EXPECT_TRUE(list.filtered);
}

// Every end of a scan: after a stop every row found before it stays, the filter runs
// whenever it was asked for, and rows are checked only once it is through.
TEST(ScanEnd, FiltersAfterEveryEndAndChecksOnlyThen) {
  struct Case {
    const char* name;
    bool stopped;
    bool filter;
    std::vector<std::string> keys;
    ScanOutcome outcome;
  };
  const std::string kJava = "HKEY_CURRENT_USER\\Software\\JavaSoft\\x";  // built-in exclusion
  const std::string kMine = "HKEY_CURRENT_USER\\Software\\Mine\\y";      // the user's
  const std::string kApp = "HKEY_CURRENT_USER\\Software\\App";
  const std::string kLast = "HKEY_CURRENT_USER\\Software\\Last";
  const Case cases[] = {
      {"finished", false, true, {kApp, kLast}, ScanOutcome::Completed},
      {"stopped", true, true, {kApp, kLast}, ScanOutcome::Stopped},
      {"finished, raw", false, false, {kJava, kApp, kMine, kLast}, ScanOutcome::Completed},
      {"stopped, raw", true, false, {kJava, kApp, kMine, kLast}, ScanOutcome::Stopped},
  };
  for (const Case& c : cases) {
    for (size_t step : {size_t{1}, size_t{1000}}) {
      SCOPED_TRACE(std::string(c.name) + ", step " + std::to_string(step));
      IssueList list;
      for (const std::string& key : {kJava, kApp, kMine, kLast})
        list.Add(Issue{"Non-existent File or Folder", "C:\\x.exe", key, ekKey, false, {}});
      ScanRequest request;
      request.filter = c.filter;
      request.ignoreKeys = {"HKEY_CURRENT_USER\\Software\\Mine"};
      request.ignoreKeyCount = 1;
      ScanEnd end(request, FilterContext{}, c.stopped);
      size_t steps = 0;
      while (!end.Step(list, step)) {
        EXPECT_EQ(list.CheckedCount(), 0u) << "checked before the filter was through";
        ASSERT_LT(++steps, 100u);
      }
      std::vector<std::string> keys;
      for (const Issue& row : list.rows) keys.push_back(row.key);
      EXPECT_EQ(keys, c.keys);
      EXPECT_EQ(list.CheckedCount(), list.Count());
      EXPECT_EQ(list.filtered, c.filter);
      EXPECT_EQ(end.Outcome(), c.outcome);
    }
  }
  IssueList empty;
  ScanEnd end(ScanRequest{}, FilterContext{}, true);
  for (int steps = 0; !end.Step(empty, 1); ++steps) ASSERT_LT(steps, 10);
  EXPECT_EQ(empty.Count(), 0u);
  EXPECT_EQ(end.Outcome(), ScanOutcome::Stopped);
}

// The window's way: reports taken on the reader's thread after each wake; after Stop
// nothing more arrives and no Done is reported.
TEST_F(ScanSessionTest, AfterStopNothingMoreIsReported) {
  AddMany(200);
  std::atomic<int> wakes{0};
  ScanSession scan(machine.platform(), [&] { ++wakes; });
  ScanRequest request;
  request.codes.assign(5000, "2");
  scan.Start(request);
  size_t rows = 0;
  while (rows < 50) {
    scan.WaitForReports();
    for (const ScanReport& r : scan.TakeReports()) rows += r.rows.size();
  }
  scan.Stop();
  const size_t reported = scan.RowsReported();
  scan.Wait();
  EXPECT_EQ(scan.RowsReported(), reported);
  bool done = false;
  for (const ScanReport& r : scan.TakeReports()) {
    rows += r.rows.size();
    done = done || r.kind == Kind::Done;
  }
  EXPECT_FALSE(done);
  EXPECT_EQ(rows, reported);
  EXPECT_GE(wakes.load(), 1);
}

TEST_F(ScanSessionTest, EveryCategoryIsBracketedAndTheEndComesLast) {
  std::vector<ScanReport> all;
  ScanSession scan(machine.platform(), nullptr);
  ScanRequest request;
  request.codes = {"0", "2"};
  scan.Start(request);
  for (bool done = false; !done;) {
    scan.WaitForReports();
    for (ScanReport& r : scan.TakeReports()) {
      done = done || r.kind == Kind::Done;
      all.push_back(std::move(r));
    }
  }
  // Keys between rows split the batches; count the rows of each stretch instead.
  std::vector<std::string> shape;
  size_t rows = 0;
  for (const std::string& s : Shape(all)) {
    if (s.rfind("K:", 0) == 0) continue;
    if (s.rfind("R:", 0) == 0) {
      rows += std::stoul(s.substr(2));
      continue;
    }
    if (rows > 0) shape.push_back("R:" + std::to_string(rows));
    rows = 0;
    shape.push_back(s);
  }
  EXPECT_EQ(shape, (std::vector<std::string>{"B", "E", "B", "C:Scanning: HKEY_CURRENT_USER",
                                             "R:2", "E", "C:Optimizing...Do not close the dialog.",
                                             "D"}));
}

TEST(NextScanProgress, StepsShrinkAsTheBarFillsAndItRestartsAtTheEnd) {
  const std::pair<int, int> cases[] = {
      {0, 10},    {200, 210}, {201, 206}, {400, 405}, {401, 404}, {700, 703}, {701, 703},
      {800, 802}, {801, 802}, {998, 999}, {999, 0},   {1000, 0},  {-1, 0},
  };
  for (const auto& [from, to] : cases) EXPECT_EQ(NextScanProgress(from), to) << from;
  int p = 0, ticks = 0;
  while (p < 210) p = NextScanProgress(p), ++ticks;
  EXPECT_EQ(ticks, 21);  // about 10.5 s at 500 ms a tick
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
