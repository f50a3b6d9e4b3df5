#include "core/fix_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallowin {
namespace {

RepairResult Completed(size_t fixed, size_t failed) {
  RepairResult result;
  result.completed = true;
  result.fixed = fixed;
  result.failed = failed;
  return result;
}

TEST(RepairOnceExitStatus, TellsEachEndApart) {
  RepairResult notStarted;  // e.g. the restore point failed: nothing ran
  RepairResult backupFailed;
  backupFailed.fixed = 2;
  backupFailed.error = "cannot write the backup file C:\\Backup\\x.reg";
  RepairResult stopped;
  stopped.stopped = true;
  const RepairResult allRemoved = Completed(3, 0);
  const RepairResult someLeft = Completed(2, 1);
  struct Case {
    const char* name;
    ScanOutcome scan;
    const RepairResult* repair;
    size_t found;
    RepairOnceStatus status;
  };
  const Case cases[] = {
      {"all removed", ScanOutcome::Completed, &allRemoved, 3, kRepairOnceDone},
      {"nothing found", ScanOutcome::Completed, &notStarted, 0, kRepairOnceDone},
      {"some stay", ScanOutcome::Completed, &someLeft, 3, kRepairOnceNotAllRemoved},
      {"repair stopped", ScanOutcome::Completed, &stopped, 3, kRepairOnceNotAllRemoved},
      {"repair not started", ScanOutcome::Completed, &notStarted, 3, kRepairOnceNotRepaired},
      {"backup failed", ScanOutcome::Completed, &backupFailed, 3, kRepairOnceNotRepaired},
      {"scan stopped", ScanOutcome::Stopped, nullptr, 3, kRepairOnceScanStopped},
      {"scan stopped, nothing found", ScanOutcome::Stopped, nullptr, 0, kRepairOnceScanStopped},
      {"scan failed", ScanOutcome::Failed, nullptr, 3, kRepairOnceScanFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RepairOnceExitStatus(c.scan, c.repair, c.found), c.status);
  }
}

TEST(RepairOnceSwitch, OnlyAsTheFirstArgumentInAnyCase) {
  EXPECT_TRUE(IsRepairOnceSwitch({"-repaironce"}));
  EXPECT_TRUE(IsRepairOnceSwitch({"-RepairOnce", "x"}));
  EXPECT_FALSE(IsRepairOnceSwitch({}));
  EXPECT_FALSE(IsRepairOnceSwitch({"x", "-repaironce"}));
  EXPECT_FALSE(IsRepairOnceSwitch({"/repaironce"}));
}

TEST(NotRemovedMessage, NamesTheFirstRowsWithTheirReasonsAndCountsTheRest) {
  RepairResult result = Completed(1, 3);
  for (int i = 0; i < 3; ++i)
    result.problems.push_back({Issue{"p", i == 0 ? "C:\\x.exe" : "", "HKEY_CURRENT_USER\\Software\\K" + std::to_string(i),
                                     ekKey, true, {}},
                               RepairOutcome::DeleteFailed, "access is denied"});
  result.problems[1] = {Issue{"p", "", "HKEY_CURRENT_USER\\Software\\K1", ekKey, true, {}},
                        RepairOutcome::ChangedSinceScan, "changed since the scan: its type or data is not what was found"};
  const std::string text = NotRemovedMessage(result, 2, English());
  EXPECT_EQ(text.find("3 of the selected findings could not be removed"), 0u) << text;
  EXPECT_NE(text.find("HKEY_CURRENT_USER\\Software\\K0 (C:\\x.exe): failed, access is denied"),
            std::string::npos) << text;
  // A reason that starts with its outcome is not preceded by it again.
  EXPECT_NE(text.find("\\K1: changed since the scan: its type or data is not what was found\r\n"),
            std::string::npos) << text;
  EXPECT_EQ(text.find("K2"), std::string::npos) << text;
  EXPECT_NE(text.find("and 1 more."), std::string::npos) << text;
}

}  // namespace
}  // namespace tallowin
