#include "repair/repair_run.h"
#include "repair/restore.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <utility>

#include "core/fix_report.h"
#include "platform/memory/memory_platform.h"
#include "platform/text.h"
#include "tests/backend/registry_snapshot.h"
#include "tests/support/repair_prompts.h"
#include "tests/support/watched_registry.h"
#include "ui/text_table.h"

namespace tallowin {
namespace {

using platform::Root;
using namespace std::string_literals;
using platform::memory::MemoryMachine;

constexpr const char* kFolder = "C:\\Backup";
constexpr const char* kFile = "C:\\Backup\\2013_03_07_140509.reg";
constexpr const char* kStamp = "07/03/2013 14:05:09";

Issue Row(EntryKind kind, std::string key, std::string data = "", bool checked = true) {
  Issue issue;
  issue.problem = "Problem";
  issue.kind = kind;
  issue.key = std::move(key);
  issue.data = std::move(data);
  issue.checked = checked;
  return issue;
}

class RepairRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.files.AddFolder(kFolder);
    settings.outputDirectory = kFolder;
    settings.osVersionCode = 12;
  }
  RepairResult Run() {
    platform::Platform p = m.platform();
    list.filtered = true;  // as the post-scan filter leaves it
    return FixErrors(list, p, settings, prompts);
  }
  std::vector<std::string> RemainingKeys() const {
    std::vector<std::string> keys;
    for (const Issue& row : list.rows) keys.push_back(row.key);
    return keys;
  }

  MemoryMachine m;
  IssueList list;
  RepairSettings settings;
  testing_support::RecordingPrompts prompts;
};

TEST_F(RepairRunTest, RepairsEveryEntryKindAfterBackingItUp) {
  m.registry.SetString(Root::CurrentUser, "Software\\Dead", "", "gone.exe");
  m.registry.SetString(Root::CurrentUser, "Software\\Dead\\Sub", "x", "y");
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "Old App", "C:\\old.exe");
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "Keep", "C:\\keep.exe");
  m.registry.SetString(Root::LocalMachine, "Software\\Dlls", "C:\\x.dll", "1");
  m.registry.SetDword(Root::LocalMachine, "SOFTWARE\\Classes\\.xyz", "n", 7);
  m.registry.SetString(Root::ClassesRoot, "App", "", "default text");
  m.registry.SetString(Root::CurrentUser, "Software\\UserAssist", "HRZR_Grfg", "z");
  m.files.AddFile("C:\\Links\\old.lnk", "link");

  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\Software\\Dead"));
  list.Add(Row(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\Old App"));
  list.Add(Row(ekValueInData, "HKEY_LOCAL_MACHINE\\Software\\Dlls", "C:\\x.dll"));
  list.Add(Row(ekSubKeyInData, "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes", ".xyz"));
  list.Add(Row(ekFile, "C:\\Links\\old.lnk"));
  list.Add(Row(ekDefaultValue, "HKEY_CLASSES_ROOT\\App"));
  list.Add(Row(ekEncodedValueInData, "HKEY_CURRENT_USER\\Software\\UserAssist", "UEME_Test"));
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\Software\\Untouched", "", false));

  const RepairResult result = Run();
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.fixed, 7u);
  EXPECT_EQ(result.failed, 0u);
  EXPECT_EQ(result.backupFile, kFile);
  EXPECT_EQ(result.lastClean, std::string(kStamp) + " , 7 errors were fixed!");
  EXPECT_EQ(result.statusText, "Fix errors finished, 7 errors were fixed!");
  EXPECT_EQ(RemainingKeys(), std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Untouched"});

  EXPECT_FALSE(m.registry.KeyExists(Root::CurrentUser, "Software\\Dead"));
  EXPECT_FALSE(m.registry.GetValue(Root::CurrentUser, "Software\\Run", "Old App"));
  EXPECT_TRUE(m.registry.GetValue(Root::CurrentUser, "Software\\Run", "Keep"));
  EXPECT_FALSE(m.registry.GetValue(Root::LocalMachine, "Software\\Dlls", "C:\\x.dll"));
  EXPECT_FALSE(m.registry.KeyExists(Root::LocalMachine, "SOFTWARE\\Classes\\.xyz"));
  EXPECT_TRUE(m.registry.KeyExists(Root::LocalMachine, "SOFTWARE\\Classes"));
  EXPECT_FALSE(m.files.Exists("C:\\Links\\old.lnk"));
  EXPECT_EQ(m.files.RecycledFiles('C'), std::vector<std::string>{"C:\\Links\\old.lnk"});
  EXPECT_FALSE(m.registry.GetValue(Root::ClassesRoot, "App", ""));
  EXPECT_TRUE(m.registry.KeyExists(Root::ClassesRoot, "App"));
  EXPECT_FALSE(m.registry.GetValue(Root::CurrentUser, "Software\\UserAssist", "HRZR_Grfg"));

  // Last row first; the file has no block.
  EXPECT_EQ(m.files.Contents(kFile),
            "REGEDIT4\r\n; Tallowin registry backup\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\UserAssist]\r\n\"HRZR_Grfg\"=\"z\"\r\n"
            "\r\n[HKEY_CLASSES_ROOT\\App]\r\n@=\"default text\"\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\.xyz]\r\n\"n\"=dword:00000007\r\n"
            "\r\n[HKEY_LOCAL_MACHINE\\Software\\Dlls]\r\n\"C:\\\\x.dll\"=\"1\"\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n\"Old App\"=\"C:\\\\old.exe\"\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\Dead]\r\n@=\"gone.exe\"\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\Dead\\Sub]\r\n\"x\"=\"y\"\r\n"
            "; End of backup\r\n");
}

TEST_F(RepairRunTest, ReportsProgressOncePerCheckedRowWhateverItsOutcome) {
  m.registry.SetString(Root::CurrentUser, "Software\\P", "A", "x");
  list.Add(Row(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\P\\A"));
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\Software\\Unchecked", "", false));
  list.Add(Row(ekKey, "no backslash"));
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\Software\\Gone"));
  ASSERT_TRUE(Run().completed);
  EXPECT_EQ(prompts.progress,
            (std::vector<std::pair<size_t, size_t>>{{1, 3}, {2, 3}, {3, 3}}));
}

TEST_F(RepairRunTest, NoCheckedRowWritesNoFileAndReportsZero) {
  m.registry.SetString(Root::CurrentUser, "K", "v", "x");
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\K", "", false));
  const RepairResult result = Run();
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.lastClean, std::string(kStamp) + " , 0 errors were fixed!");
  EXPECT_EQ(result.statusText, "Fix errors finished, 0 errors were fixed!");
  EXPECT_TRUE(result.backupFile.empty());
  EXPECT_FALSE(m.files.Exists(kFile));
  EXPECT_TRUE(m.registry.KeyExists(Root::CurrentUser, "K"));
  EXPECT_EQ(list.Count(), 1u);
}

// A list the post-scan filter has not been through may hold keys Windows needs.
TEST_F(RepairRunTest, RefusesAListThatWasNotFiltered) {
  settings.outputDirectory = "C:\\New\\Backup";
  m.registry.SetString(Root::CurrentUser, "K", "v", "x");
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\K"));
  platform::Platform p = m.platform();
  const RepairResult result = FixErrors(list, p, settings, prompts);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(result.error,
            "These findings were not filtered after the scan, so they may include keys that Windows "
            "needs or that you excluded. Nothing was changed; please scan again.");
  EXPECT_EQ(prompts.errors, std::vector<std::string>{result.error});
  EXPECT_TRUE(prompts.questions.empty());
  EXPECT_TRUE(m.registry.KeyExists(Root::CurrentUser, "K"));
  EXPECT_FALSE(m.files.Exists("C:\\New\\Backup"));
  EXPECT_EQ(list.Count(), 1u);
}

TEST_F(RepairRunTest, AsksBeforeCreatingAMissingBackupFolder) {
  settings.outputDirectory = "C:\\New\\Backup";
  m.registry.SetString(Root::CurrentUser, "K", "v", "x");
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\K"));

  prompts.answerYes = false;
  RepairResult result = Run();
  ASSERT_EQ(prompts.questions.size(), 1u);
  EXPECT_EQ(prompts.questions[0],
            "C:\\New\\Backup,can not find the backup folder.\r\ncreates a new directory?");
  EXPECT_FALSE(result.completed);
  EXPECT_TRUE(result.lastClean.empty());
  EXPECT_FALSE(m.files.Exists("C:\\New\\Backup"));
  EXPECT_TRUE(m.registry.KeyExists(Root::CurrentUser, "K"));
  EXPECT_EQ(list.Count(), 1u);

  prompts.answerYes = true;
  result = Run();
  EXPECT_TRUE(result.completed);
  EXPECT_TRUE(m.files.Exists("C:\\New\\Backup"));
  EXPECT_TRUE(m.files.Exists("C:\\New\\Backup\\2013_03_07_140509.reg"));
  EXPECT_FALSE(m.registry.KeyExists(Root::CurrentUser, "K"));
}

// The wording the run is given says its question, reasons and summary; what Settings.dat
// keeps stays English.
TEST_F(RepairRunTest, SpeaksTheWordingItIsGiven) {
  const Wording german(ui::kGermanPhrases, ui::kGermanPhraseCount);
  settings.words = &german;
  settings.outputDirectory = "C:\\Neu";
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "Old", "x");
  list.Add(Row(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\Old"));
  list.Add(Row(ekKey, "no backslash"));
  list.Add(Row(ekFile, "C:\\Temp\\*.tmp"));
  const RepairResult result = Run();
  EXPECT_EQ(prompts.questions, std::vector<std::string>{"C:\\Neu: Der Sicherungsordner wurde nicht "
                                                        "gefunden.\r\nSoll ein neuer Ordner erstellt werden?"});
  EXPECT_EQ(result.statusText, "Fehlerbehebung beendet: 1 Fehler behoben, 2 nicht entfernt");
  EXPECT_EQ(result.lastClean, std::string(kStamp) + " , 1 errors were fixed!, 2 could not be removed");
  EXPECT_EQ(NotRemovedMessage(result, 1, german),
            "2 der ausgew\xC3\xA4hlten Funde konnten nicht entfernt werden; sie bleiben ausgew\xC3\xA4hlt "
            "in der Liste.\r\n\r\nC:\\Temp\\*.tmp: abgelehnt, ein Dateiname mit Platzhaltern: "
            "C:\\Temp\\*.tmp\r\n\r\nund 1 weitere.");
}

// "Last fix at" says a stored LastClean again only when it is exactly one the run wrote.
TEST(ShownLastClean, SaysOnlyWhatItCanReadBackExactly) {
  const Wording german(ui::kGermanPhrases, ui::kGermanPhraseCount);
  const std::pair<std::string, std::string> cases[] = {
      {"07/03/2013 14:05:09 , 12 errors were fixed!", "07/03/2013 14:05:09, 12 Fehler behoben"},
      {"07/03/2013 14:05:09 , 1 errors were fixed!, 2 could not be removed",
       "07/03/2013 14:05:09, 1 Fehler behoben, 2 nicht entfernt"},
      {"07/03/2013 , 12 errors were fixed! by hand", ""},
      {"07/03/2013 , x errors were fixed!", ""},
      {"07/03/2013 14:05:09 , 12 errors were fixed?", ""},
      {" , 3 errors were fixed!, could not be removed", ""},
      {"done", ""},
  };
  for (const auto& [stored, said] : cases) {
    EXPECT_EQ(ShownLastClean(stored, german), said.empty() ? stored : said);
    EXPECT_EQ(ShownLastClean(stored, English()), stored);
  }
}

TEST_F(RepairRunTest, EmptyListStillAsksForTheFolderThenEnds) {
  settings.outputDirectory = "C:\\New";
  const RepairResult result = Run();
  EXPECT_EQ(prompts.questions.size(), 1u);
  EXPECT_TRUE(m.files.Exists("C:\\New"));
  EXPECT_FALSE(result.completed);
  EXPECT_TRUE(result.statusText.empty());
  EXPECT_EQ(prompts.restorePointDialogs, 0);
}

TEST_F(RepairRunTest, ReportsAFolderThatCannotBeCreated) {
  settings.outputDirectory = "C:\\Locked\\Backup";
  m.files.AddFolder("C:\\Locked");
  m.files.DenyWrites("C:\\Locked");
  m.registry.SetString(Root::CurrentUser, "K", "v", "x");
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\K"));
  const RepairResult result = Run();
  EXPECT_EQ(prompts.errors, std::vector<std::string>{"Cannot create C:\\Locked\\Backup"});
  EXPECT_FALSE(result.completed);
  EXPECT_TRUE(m.registry.KeyExists(Root::CurrentUser, "K"));
}

TEST_F(RepairRunTest, AnEmptyBackupFolderSettingIsNamedAndNothingIsAsked) {
  settings.outputDirectory = "";
  m.registry.SetString(Root::CurrentUser, "K", "v", "x");
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\K"));
  (void)Run();
  EXPECT_EQ(prompts.errors, std::vector<std::string>{"No backup folder is set: OutputDirectory in "
                                                     "Settings.dat is empty. Nothing was changed."});
  EXPECT_TRUE(prompts.questions.empty());
  EXPECT_TRUE(m.registry.KeyExists(Root::CurrentUser, "K"));
}

TEST_F(RepairRunTest, ShowsTheRestorePointDialogOnlyWhenAskedAndSupported) {
  const struct {
    bool createRp;
    uint8_t code;
    int dialogs;
  } cases[] = {{true, 9, 1},  {true, 10, 1}, {true, 11, 1}, {true, 12, 1}, {true, 8, 0},
               {true, 7, 0},  {true, 13, 0}, {false, 12, 0}, {false, 9, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.createRp << " " << int(c.code));
    prompts.restorePointDialogs = 0;
    settings.createRestorePoint = c.createRp;
    settings.osVersionCode = c.code;
    list.Clear();
    list.Add(Row(ekKey, "HKEY_CURRENT_USER\\Nothing"));
    EXPECT_TRUE(Run().completed);
    EXPECT_EQ(prompts.restorePointDialogs, c.dialogs);
  }
}

TEST_F(RepairRunTest, CancelledRestorePointDeletesNothing) {
  settings.createRestorePoint = true;
  prompts.restorePointOk = false;
  m.registry.SetString(Root::CurrentUser, "K", "v", "x");
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\K"));
  const RepairResult result = Run();
  EXPECT_EQ(prompts.restorePointDialogs, 1);
  EXPECT_FALSE(result.completed);
  EXPECT_TRUE(m.registry.KeyExists(Root::CurrentUser, "K"));
  EXPECT_FALSE(m.files.Exists(kFile));
  EXPECT_EQ(list.Count(), 1u);
}

// Rows go in batches: a batch's backup is on the disk before any of its deletions. A
// disk that fills up stops the run at that batch, the file cut back to its last whole
// entry; earlier batches stay done.
TEST_F(RepairRunTest, FullDiskStopsTheRunAtThatBatchWithTheFileEndingOnAWholeEntry) {
  const size_t rows = kRepairBatchRows + 10;
  for (size_t i = 0; i < rows; ++i) {
    m.registry.SetString(Root::CurrentUser, "K" + std::to_string(i), "v", "x");
    list.Add(Row(ekKey, "HKEY_CURRENT_USER\\K" + std::to_string(i)));
  }
  // The first batch is the last rows; the disk fills up while the second is planned,
  // with room for a part of its first block only.
  testing_support::WatchedRegistry hooked(m.registry);
  hooked.onOpen = [&](std::string_view path, platform::Access) {
    if (path == "K5") m.files.LimitWrites(10);
  };
  platform::Platform p{hooked, m.files, m.system, m.processes, m.restorePoint};
  list.filtered = true;  // as the post-scan filter leaves it
  const RepairResult result = FixErrors(list, p, settings, prompts);

  EXPECT_FALSE(result.completed);
  EXPECT_FALSE(result.error.empty());
  EXPECT_TRUE(result.lastClean.empty());
  EXPECT_TRUE(result.statusText.empty());
  EXPECT_EQ(result.fixed, kRepairBatchRows);
  EXPECT_EQ(list.Count(), 10u);
  ASSERT_EQ(result.rows.size(), rows);
  for (size_t i = kRepairBatchRows; i < rows; ++i)
    EXPECT_EQ(result.rows[i].outcome, RepairOutcome::BackupFailed) << result.rows[i].issue.key;
  for (size_t i = 0; i < rows; ++i)
    EXPECT_EQ(m.registry.KeyExists(Root::CurrentUser, "K" + std::to_string(i)), i < 10) << i;
  // The file holds exactly the deleted keys, and ends on a whole entry and its closing line.
  EXPECT_TRUE(EndsWith(m.files.Contents(kFile),
                       "[HKEY_CURRENT_USER\\K10]\r\n\"v\"=\"x\"\r\n; End of backup\r\n"));
  MemoryMachine restored;
  ASSERT_TRUE(restored.registry.Import(m.files.Contents(kFile)));
  for (size_t i = 0; i < rows; ++i)
    EXPECT_EQ(restored.registry.KeyExists(Root::CurrentUser, "K" + std::to_string(i)), i >= 10) << i;
}

TEST_F(RepairRunTest, RefusedDeletionKeepsTheRowCheckedAndIsCountedApart) {
  m.registry.SetString(Root::CurrentUser, "Locked", "v", "x");
  m.registry.DenyWrite(Root::CurrentUser, "Locked");
  m.registry.SetString(Root::CurrentUser, "Tree\\a", "v", "1");
  m.registry.SetString(Root::CurrentUser, "Tree\\b", "v", "2");
  m.registry.SetString(Root::CurrentUser, "Tree\\c", "v", "3");
  m.registry.DenyWrite(Root::CurrentUser, "Tree\\b");
  m.registry.SetString(Root::CurrentUser, "Free", "v", "y");
  testing_support::Snapshot tree;
  ASSERT_TRUE(testing_support::TakeSnapshot(m.registry, Root::CurrentUser, "Tree", tree));

  list.Add(Row(ekValueInData, "HKEY_CURRENT_USER\\Locked", "v"));
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\Tree"));
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\Free"));
  const RepairResult result = Run();

  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.fixed, 1u);
  EXPECT_EQ(result.failed, 2u);
  EXPECT_EQ(result.lastClean, std::string(kStamp) + " , 1 errors were fixed!, 2 could not be removed");
  EXPECT_EQ(result.statusText, "Fix errors finished, 1 errors were fixed!, 2 could not be removed");
  EXPECT_EQ(RemainingKeys(), (std::vector<std::string>{"HKEY_CURRENT_USER\\Locked", "HKEY_CURRENT_USER\\Tree"}));
  for (const Issue& row : list.rows) EXPECT_TRUE(row.checked);
  ASSERT_EQ(result.problems.size(), 2u);
  EXPECT_EQ(result.problems[0].outcome, RepairOutcome::DeleteFailed);
  EXPECT_TRUE(EndsWith(result.problems[0].detail, ": HKEY_CURRENT_USER\\Tree")) << result.problems[0].detail;
  EXPECT_EQ(result.problems[1].outcome, RepairOutcome::DeleteFailed);
  EXPECT_TRUE(EndsWith(result.problems[1].detail, ": HKEY_CURRENT_USER\\Locked \"v\"")) << result.problems[1].detail;

  EXPECT_TRUE(m.registry.GetValue(Root::CurrentUser, "Locked", "v"));
  EXPECT_TRUE(m.registry.KeyExists(Root::CurrentUser, "Tree\\b"));
  // Whatever the partial deletion took is in the backup: importing it gives the tree back.
  ASSERT_TRUE(m.registry.Import(m.files.Contents(kFile)));
  testing_support::Snapshot after;
  ASSERT_TRUE(testing_support::TakeSnapshot(m.registry, Root::CurrentUser, "Tree", after));
  EXPECT_TRUE(testing_support::SnapshotsMatch(tree, after));
}

TEST_F(RepairRunTest, ItemsAlreadyGoneCountAsFixed) {
  m.registry.SetString(Root::CurrentUser, "Exists", "other", "x");
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\Vanished"));
  list.Add(Row(ekValueInData, "HKEY_CURRENT_USER\\Exists", "vanished"));
  list.Add(Row(ekValueInKeyPath, "HKEY_CURRENT_USER\\NoKey\\value"));
  list.Add(Row(ekDefaultValue, "HKEY_CURRENT_USER\\Exists"));
  list.Add(Row(ekFile, "C:\\gone.lnk"));
  const RepairResult result = Run();
  EXPECT_EQ(result.fixed, 5u);
  EXPECT_EQ(result.failed, 0u);
  EXPECT_EQ(list.Count(), 0u);
  EXPECT_FALSE(m.files.Exists(kFile));
  EXPECT_TRUE(result.backupFile.empty());
}

// A shortcut has no place in the backup: it goes to the Recycle Bin of its drive, from
// where it can be put back, and where there is none it stays, refused.
TEST_F(RepairRunTest, ShortcutsGoToTheRecycleBinOrStay) {
  m.files.AddDrive('E', platform::kDriveRemovable);
  m.files.AddDrive('F', platform::kDriveFixed);
  m.files.SetRecycleBin('F', false);
  struct Case {
    const char* file;
    RepairOutcome outcome;
    const char* reason;
  };
  const Case cases[] = {
      {"C:\\Links\\old.lnk", RepairOutcome::Deleted, ""},
      {"E:\\Stick\\old.lnk", RepairOutcome::Refused,
       "the Recycle Bin cannot take it, and it is not deleted for good: E:\\Stick\\old.lnk"},
      {"F:\\Links\\old.lnk", RepairOutcome::Refused,
       "the Recycle Bin cannot take it, and it is not deleted for good: F:\\Links\\old.lnk"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    list = IssueList();
    m.files.AddShortcut(c.file, "C:\\Gone\\app.exe");
    list.Add(Row(ekFile, c.file));
    const RepairResult result = Run();
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].outcome, c.outcome);
    EXPECT_EQ(result.rows[0].reason, c.reason);
    const bool removed = c.outcome == RepairOutcome::Deleted;
    EXPECT_EQ(list.Count(), removed ? 0u : 1u);
    EXPECT_EQ(m.files.Exists(c.file), !removed);
    EXPECT_TRUE(result.backupFile.empty());
    if (!removed) continue;
    ASSERT_TRUE(m.files.RestoreRecycled(c.file));
    EXPECT_EQ(m.files.ShortcutTarget(c.file), "C:\\Gone\\app.exe");
  }
  EXPECT_TRUE(m.files.RecycledFiles('E').empty());
}

// Only "file not found" and "path not found" mean gone: before the repair, after it, and
// after the restore manager deletes a backup. Any other answer keeps the row, with why.
TEST_F(RepairRunTest, OnlyNotFoundMeansAFileIsGone) {
  struct Case {
    long answer;
    bool gone;
  };
  const Case cases[] = {{platform::kFileNotFound, true},       {platform::kPathNotFound, true},
                        {platform::kAccessDenied, false},      {platform::kSharingViolation, false},
                        {platform::kNotReady, false}};
  const std::string link = "C:\\Links\\old.lnk", backup = "C:\\B\\old.reg";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.answer);
    const std::string why = m.system.ErrorText(c.answer);
    m.files.AddShortcut(link, "C:\\Gone\\app.exe");
    m.files.AddFile(backup);
    m.files.FailAttributes(link, c.answer);
    m.files.FailAttributes(backup, c.answer);
    list = IssueList();
    list.Add(Row(ekFile, link));
    const RepairResult result = Run();
    ASSERT_EQ(result.rows.size(), 1u);
    EXPECT_EQ(result.rows[0].outcome, c.gone ? RepairOutcome::AlreadyGone : RepairOutcome::Unreadable);
    EXPECT_EQ(result.rows[0].reason, c.gone ? "" : "the file cannot be looked at (" + why + "): " + link);
    EXPECT_EQ(list.Count(), c.gone ? 0u : 1u);
    EXPECT_TRUE(m.files.Exists(link));

    std::vector<BackupFileRow> rows{{"old.reg", 0, 0, "", ""}};
    int selected = 0;
    platform::Platform p = m.platform();
    const DeleteOutcome deleted = DeleteSelected(p, "C:\\B", rows, selected);
    EXPECT_EQ(deleted.deleted, c.gone);
    EXPECT_EQ(deleted.message, c.gone ? "" : "The backup file " + backup +
                                             " could not be deleted: whether it is gone cannot be told (" +
                                             why + ")");
    EXPECT_EQ(rows.size(), c.gone ? 0u : 1u);
    m.files.FailAttributes(link, 0);
    m.files.FailAttributes(backup, 0);
  }
}

TEST_F(RepairRunTest, RowsThatNameNoSingleItemStay) {
  m.registry.SetString(Root::CurrentUser, "Parent\\Child", "v", "x");
  m.registry.SetString(Root::CurrentUser, "", "AtRoot", "x");
  m.files.AddFolder("C:\\Folder");
  m.files.AddFile("C:\\Links\\a.lnk");
  const std::vector<Issue> rows = {
      Row(ekKey, "NoBackslash"),
      Row(ekKey, "HKEY_NOWHERE\\Parent"),
      Row(ekKey, "HKEY_CURRENT_USER\\"),
      Row(ekSubKeyInData, "HKEY_CURRENT_USER\\Parent", ""),
      Row(ekValueInKeyPath, "HKEY_CURRENT_USER\\AtRoot"),
      Row(ekKey, "HKEY_CURRENT_USER\\Parent\\\\Child"),
      Row(ekFile, "C:\\Links\\*.lnk"),
      Row(ekFile, "C:\\Folder"),
  };
  for (const Issue& row : rows) list.Add(row);
  const RepairResult result = Run();
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.fixed, 0u);
  EXPECT_EQ(result.failed, rows.size());
  EXPECT_TRUE(std::equal(list.rows.begin(), list.rows.end(), rows.begin(), rows.end()));
  EXPECT_TRUE(m.registry.KeyExists(Root::CurrentUser, "Parent\\Child"));
  EXPECT_TRUE(m.registry.GetValue(Root::CurrentUser, "", "AtRoot"));
  EXPECT_TRUE(m.files.Exists("C:\\Folder"));
  EXPECT_TRUE(m.files.Exists("C:\\Links\\a.lnk"));
  EXPECT_FALSE(m.files.Exists(kFile));
  EXPECT_EQ(result.statusText, "Fix errors finished, 0 errors were fixed!, 8 could not be removed");
}

TEST_F(RepairRunTest, UnreadableSubKeyKeepsTheWholeKey) {
  m.registry.SetString(Root::LocalMachine, "Software\\App", "v", "x");
  m.registry.SetString(Root::LocalMachine, "Software\\App\\Secret", "s", "y");
  m.registry.DenyOpen(Root::LocalMachine, "Software\\App\\Secret");
  list.Add(Row(ekKey, "HKEY_LOCAL_MACHINE\\Software\\App"));
  const RepairResult result = Run();
  EXPECT_EQ(result.failed, 1u);
  ASSERT_EQ(result.problems.size(), 1u);
  EXPECT_EQ(result.problems[0].outcome, RepairOutcome::Unreadable);
  EXPECT_EQ(result.problems[0].detail, "could not be read whole: HKEY_LOCAL_MACHINE\\Software\\App\\Secret");
  EXPECT_TRUE(m.registry.GetValue(Root::LocalMachine, "Software\\App", "v"));
  EXPECT_FALSE(m.files.Exists(kFile));
  EXPECT_EQ(list.Count(), 1u);
}

TEST_F(RepairRunTest, TwoValueRowsOfOneKeyGiveTwoBlocksLastRowFirst) {
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "first", "1");
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "second", "2");
  list.Add(Row(ekValueInKeyPath, "HKEY_Current_User\\Software\\Run\\first"));
  list.Add(Row(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\second"));
  EXPECT_EQ(Run().fixed, 2u);
  EXPECT_EQ(m.files.Contents(kFile),
            "REGEDIT4\r\n; Tallowin registry backup\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n\"second\"=\"2\"\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n\"first\"=\"1\"\r\n; End of backup\r\n");
}

// A name that is taken belongs to another run or program: never appended to.
TEST_F(RepairRunTest, ATakenBackupNameGetsANumberedNewFile) {
  m.registry.SetString(Root::CurrentUser, "A", "v", "a");
  m.registry.SetString(Root::CurrentUser, "B", "v", "b");
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\A"));
  EXPECT_EQ(Run().backupFile, kFile);
  const std::string foreign = "\xFF\xFEW\0i\0n\0"s;  // another program's UTF-16 file
  m.files.AddFile("C:\\Backup\\2013_03_07_140509_02.reg", foreign);
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\B"));
  EXPECT_EQ(Run().backupFile, "C:\\Backup\\2013_03_07_140509_03.reg");
  const std::string head = "REGEDIT4\r\n; Tallowin registry backup\r\n\r\n", end = "; End of backup\r\n";
  EXPECT_EQ(m.files.Contents(kFile), head + "[HKEY_CURRENT_USER\\A]\r\n\"v\"=\"a\"\r\n" + end);
  EXPECT_EQ(m.files.Contents("C:\\Backup\\2013_03_07_140509_02.reg"), foreign);
  EXPECT_EQ(m.files.Contents("C:\\Backup\\2013_03_07_140509_03.reg"),
            head + "[HKEY_CURRENT_USER\\B]\r\n\"v\"=\"b\"\r\n" + end);
}

// Rows of one key follow each other in the list; each phase opens that key once.
TEST_F(RepairRunTest, RowsOfOneKeyOpenItOnceToReadAndOnceToDelete) {
  for (const char* name : {"a", "b", "c"})
    m.registry.SetString(Root::CurrentUser, "Software\\Run", name, name);
  m.registry.SetString(Root::CurrentUser, "Software\\Other", "d", "d");
  list.Add(Row(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\a"));
  list.Add(Row(ekValueInData, "HKEY_CURRENT_USER\\Software\\Run", "b"));
  list.Add(Row(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\c"));
  list.Add(Row(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Other\\d"));

  testing_support::WatchedRegistry hooked(m.registry);
  std::map<std::pair<std::string, platform::Access>, int> opens;
  hooked.onOpen = [&](std::string_view path, platform::Access access) {
    ++opens[{std::string(path), access}];
  };
  platform::Platform p{hooked, m.files, m.system, m.processes, m.restorePoint};
  list.filtered = true;  // as the post-scan filter leaves it
  const RepairResult result = FixErrors(list, p, settings, prompts);
  EXPECT_EQ(result.fixed, 4u);
  using platform::Access;
  EXPECT_EQ(opens, (std::map<std::pair<std::string, Access>, int>{
                       {{"Software\\Run", Access::Read}, 1},
                       {{"Software\\Run", Access::All}, 1},
                       {{"Software\\Other", Access::Read}, 1},
                       {{"Software\\Other", Access::All}, 1}}));
  for (const char* name : {"a", "b", "c"})
    EXPECT_FALSE(m.registry.GetValue(Root::CurrentUser, "Software\\Run", name)) << name;
  MemoryMachine restored;
  ASSERT_TRUE(restored.registry.Import(m.files.Contents(kFile)));
  for (const char* name : {"a", "b", "c"})
    EXPECT_TRUE(restored.registry.GetValue(Root::CurrentUser, "Software\\Run", name)) << name;
}

TEST_F(RepairRunTest, AsksForFullAccessOnlyAfterTheBackupIsWritten) {
  m.registry.SetString(Root::CurrentUser, "K\\Sub", "v", "x");
  m.registry.SetString(Root::CurrentUser, "V", "v", "x");
  m.registry.SetString(Root::CurrentUser, "Unreadable\\Sub", "v", "x");
  m.registry.DenyOpen(Root::CurrentUser, "Unreadable\\Sub");
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\Unreadable"));
  list.Add(Row(ekKey, "HKEY_CURRENT_USER\\K"));
  list.Add(Row(ekValueInData, "HKEY_CURRENT_USER\\V", "v"));

  testing_support::WatchedRegistry hooked(m.registry);
  std::vector<std::string> fullAccess;
  hooked.onOpen = [&](std::string_view path, platform::Access access) {
    if (access != platform::Access::All) return;
    fullAccess.emplace_back(path);
    const std::string file = m.files.Contents(kFile);
    const std::string top = path.empty() ? "K" : std::string(path.substr(0, path.find('\\')));
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\" + top + "]"), std::string::npos)
        << "full access to \"" << path << "\" before its backup";
  };
  platform::Platform p{hooked, m.files, m.system, m.processes, m.restorePoint};
  list.filtered = true;  // as the post-scan filter leaves it
  const RepairResult result = FixErrors(list, p, settings, prompts);
  EXPECT_EQ(result.fixed, 2u);
  EXPECT_EQ(result.failed, 1u);
  for (const std::string& path : fullAccess) EXPECT_NE(path.rfind("Unreadable", 0), 0u) << path;
}

}  // namespace
}  // namespace tallowin
