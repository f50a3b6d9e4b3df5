#include "repair/restore.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/memory/memory_platform.h"
#include "platform/text.h"
#include "repair/backup.h"
#include "repair/repair_run.h"
#include "tests/support/reg_data.h"
#include "tests/support/repair_prompts.h"

namespace tallowin {
namespace {

using platform::Root;
using platform::memory::MakeFileTime;
using platform::memory::MemoryMachine;

class ScriptedHint : public CommandHint {
 public:
  void Show(const std::string& text) override { shown.push_back(text); }
  HintAction Poll() override {
    ++polls;
    return polls >= actAfter ? action : HintAction::Wait;
  }
  std::vector<std::string> shown;
  HintAction action = HintAction::Wait;
  int actAfter = 1;
  int polls = 0;
};

TEST(FormatSizeKB, RoundsUpAndGroupsDigits) {
  const struct {
    uint64_t bytes;
    const char* text;
  } cases[] = {{0, "0 KB"},           {1, "1 KB"},          {1024, "1 KB"},
               {1025, "2 KB"},        {1048576, "1,024 KB"}, {1048577, "1,025 KB"},
               {999 * 1024, "999 KB"}, {1024000000, "1,000,000 KB"},
               {UINT64_MAX, "18,014,398,509,481,984 KB"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    EXPECT_EQ(FormatSizeKB(c.bytes), c.text);
  }
}

TEST(ListBackupFiles, ListsRegFilesInAnyCaseNewestFirst) {
  MemoryMachine m;
  m.files.AddFile("C:\\B\\2010_05_01_101010.reg", std::string(1025, 'x'),
                  MakeFileTime({2010, 5, 1, 10, 10, 10}));
  m.files.AddFile("C:\\B\\2011_01_02_000000.REG", "", MakeFileTime({2011, 1, 2, 0, 0, 0}));
  m.files.AddFile("C:\\B\\notes.txt");
  m.files.AddFile("C:\\B\\backup.reg.txt");
  m.files.AddFile("C:\\B\\noextension");
  m.files.AddFolder("C:\\B\\folder.reg");
  m.files.AddFile("C:\\B\\a.Reg", "", MakeFileTime({2012, 1, 1, 9, 0, 0}));

  std::vector<BackupFileRow> rows;
  ASSERT_TRUE(ListBackupFiles(m.files, m.system, "C:\\B", rows));
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].name, "a.Reg");
  EXPECT_EQ(rows[1].name, "2011_01_02_000000.REG");
  EXPECT_EQ(rows[1].dateText, "02/01/2011");  // midnight: the date alone
  EXPECT_EQ(rows[1].sizeText, "0 KB");
  EXPECT_EQ(rows[2].name, "2010_05_01_101010.reg");
  EXPECT_EQ(rows[2].dateText, "01/05/2010 10:10:10");
  EXPECT_EQ(rows[2].sizeText, "2 KB");
  EXPECT_EQ(rows[2].size, 1025u);

  // A trailing backslash lists the same; appending keeps the order.
  ASSERT_TRUE(ListBackupFiles(m.files, m.system, "C:\\B\\", rows));
  EXPECT_EQ(rows.size(), 6u);
  for (size_t i = 1; i < rows.size(); ++i) EXPECT_GE(rows[i - 1].writeTime, rows[i].writeTime);
}

TEST(ListBackupFiles, MissingFolderLeavesTheListAsItWas) {
  MemoryMachine m;
  std::vector<BackupFileRow> rows(1);
  rows[0].name = "kept.reg";
  EXPECT_FALSE(ListBackupFiles(m.files, m.system, "C:\\Nowhere", rows));
  m.files.AddFile("C:\\file.reg");
  EXPECT_FALSE(ListBackupFiles(m.files, m.system, "C:\\file.reg", rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].name, "kept.reg");
}

// Newest first by the time the list shows, whatever the names; the same time by name,
// descending, in any case.
TEST(SortBackupFiles, NewestFirstByDateThenByName) {
  const struct {
    const char* name;
    std::vector<std::pair<const char*, platform::LocalTime>> files;
    std::vector<const char*> order;
  } cases[] = {
      {"a renamed file goes by its date",
       {{"damaged.reg", {2026, 12, 9, 12, 49, 0}}, {"2026_12_09_130406.reg", {2026, 12, 9, 13, 4, 6}}},
       {"2026_12_09_130406.reg", "damaged.reg"}},
      {"an older name with a newer date",
       {{"2013_01_01_000000.reg", {2010, 1, 1, 0, 0, 0}}, {"2011_01_01_000000.reg", {2011, 1, 1, 0, 0, 0}}},
       {"2011_01_01_000000.reg", "2013_01_01_000000.reg"}},
      {"the same time: names descending in any case",
       {{"b.reg", {2011, 1, 1, 0, 0, 0}}, {"C.reg", {2011, 1, 1, 0, 0, 0}}, {"a.reg", {2011, 1, 1, 0, 0, 0}}},
       {"C.reg", "b.reg", "a.reg"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<BackupFileRow> rows;
    for (const auto& [name, time] : c.files) {
      rows.emplace_back();
      rows.back().name = name;
      rows.back().writeTime = MakeFileTime(time);
    }
    SortBackupFiles(rows);
    std::vector<std::string> names;
    for (const BackupFileRow& row : rows) names.push_back(row.name);
    EXPECT_EQ(names, std::vector<std::string>(c.order.begin(), c.order.end()));
  }
}

TEST(RestoreCommandLine, RunsTheRegistryEditorByItsFullPath) {
  MemoryMachine m;
  EXPECT_EQ(RestoreCommandLine(m.files, m.system, "C:\\My Backups\\2013_03_07_140509.reg"),
            "\"C:\\Windows\\regedit.exe\" /s \"C:\\My Backups\\2013_03_07_140509.reg\"");
  // Under WOW64 the 32-bit editor, which sees the same registry view as this process.
  m.system.wow64 = true;
  EXPECT_EQ(RegistryEditorPath(m.files, m.system), "C:\\Windows\\regedit.exe")
      << "no editor in the system folder: the Windows folder's";
  m.files.AddFile("C:\\Windows\\system32\\regedit.exe");
  EXPECT_EQ(RegistryEditorPath(m.files, m.system), "C:\\Windows\\system32\\regedit.exe");
  m.system.wow64 = false;
  EXPECT_EQ(RegistryEditorPath(m.files, m.system), "C:\\Windows\\regedit.exe");
}

TEST(RunCommandWithHint, WaitsStopsOrLeavesTheProcess) {
  MemoryMachine m;
  ScriptedHint hint;
  EXPECT_EQ(RunCommandWithHint(m.processes, "cmd", "Restore registry...", hint), CommandResult::Finished);
  EXPECT_EQ(hint.shown, std::vector<std::string>{"Restore registry..."});
  EXPECT_EQ(hint.polls, 0);

  m.processes.keepRunning = true;
  hint.action = HintAction::Stop;
  hint.actAfter = 3;
  EXPECT_EQ(RunCommandWithHint(m.processes, "cmd", "h", hint), CommandResult::Stopped);
  EXPECT_EQ(hint.polls, 3);
  EXPECT_EQ(m.processes.TerminatedCount(), 1u);

  hint.polls = 0;
  hint.action = HintAction::Close;
  EXPECT_EQ(RunCommandWithHint(m.processes, "cmd", "h", hint), CommandResult::Closed);
  EXPECT_EQ(m.processes.TerminatedCount(), 1u) << "closing the hint leaves the process running";

  m.processes.onStart = [](const std::string&) { return false; };
  EXPECT_EQ(RunCommandWithHint(m.processes, "cmd", "h", hint), CommandResult::NotStarted);
}

TEST(SameAfterImport, AllowsOnlyTheTerminatorTheImportAdds) {
  using std::string;
  // UTF-16 data: the terminator is two zero bytes.
  EXPECT_TRUE(SameAfterImport(platform::kRegSz, string("a\0b\0", 4), string("a\0b\0\0\0", 6)));
  EXPECT_TRUE(SameAfterImport(platform::kRegExpandSz, "", string("\0\0", 2)));
  EXPECT_TRUE(SameAfterImport(platform::kRegMultiSz, string("a\0", 2), string("a\0\0\0", 4)));
  EXPECT_TRUE(SameAfterImport(platform::kRegBinary, "ab", "ab"));
  EXPECT_FALSE(SameAfterImport(platform::kRegBinary, "ab", string("ab\0\0", 4)));
  EXPECT_FALSE(SameAfterImport(platform::kRegSz, string("a\0\0\0", 4), string("a\0\0\0\0\0", 6)));
  EXPECT_FALSE(SameAfterImport(platform::kRegSz, "abc", string("abc\0\0", 5)));  // odd length
  EXPECT_FALSE(SameAfterImport(platform::kRegSz, "ab", string("ab\1", 3)));
  EXPECT_FALSE(SameAfterImport(platform::kRegSz, "ab", "a"));
}

// A repair followed by a restore through an "editor" that imports into the registry.
class RestoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m.files.AddFolder("C:\\Backup");
    m.registry.SetString(Root::CurrentUser, "Software\\App", "path", "C:\\app.exe");
    m.registry.SetValue(Root::CurrentUser, "Software\\App\\Sub", "bin", platform::kRegBinary,
                        std::string(40, '\x7F'));
    m.registry.SetValue(Root::CurrentUser, "Software\\App\\Sub", "multi", platform::kRegMultiSz,
                        testing_support::Utf16Data(std::string("a\0b\0\0", 5)));
    m.registry.SetString(Root::CurrentUser, "Software\\Run", "Old", "x");
    IssueList list;
    list.Add({"p", "", "HKEY_CURRENT_USER\\Software\\App", ekKey, true});
    list.Add({"p", "", "HKEY_CURRENT_USER\\Software\\Run\\Old", ekValueInKeyPath, true});
    testing_support::RecordingPrompts prompts;
    platform::Platform p = m.platform();
    list.filtered = true;  // as the post-scan filter leaves it
    const RepairResult result = FixErrors(list, p, {"C:\\Backup", false, 12}, prompts);
    ASSERT_EQ(result.fixed, 2u);
    ASSERT_FALSE(m.registry.KeyExists(Root::CurrentUser, "Software\\App"));

    m.processes.onStart = [this](const std::string& commandLine) {
      const std::string prefix = "\"C:\\Windows\\regedit.exe\" /s \"";
      if (commandLine.rfind(prefix, 0) != 0 || commandLine.back() != '"') return false;
      const std::string path = commandLine.substr(prefix.size(), commandLine.size() - prefix.size() - 1);
      if (importSkips) return true;
      std::string text = m.files.Contents(path);
      if (!importFilter.empty()) {
        const size_t at = text.find(importFilter);
        if (at != std::string::npos) text.erase(at, text.find("\r\n", at) + 2 - at);
      }
      EXPECT_TRUE(m.registry.Import(text));
      return true;
    };
    ASSERT_TRUE(ListBackupFiles(m.files, m.system, "C:\\Backup", rows));
    ASSERT_EQ(rows.size(), 1u);
  }

  RestoreOutcome Restore() {
    platform::Platform p = m.platform();
    return RestoreSelected(p, "C:\\Backup", "C:\\Backup", rows, selected, hint);
  }

  MemoryMachine m;
  std::vector<BackupFileRow> rows;
  int selected = 0;
  ScriptedHint hint;
  bool importSkips = false;
  std::string importFilter;  // a line of the file the "editor" leaves out
};

TEST_F(RestoreTest, VerifiedImportDeletesTheFileAndItsRow) {
  const RestoreOutcome outcome = Restore();
  EXPECT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
  EXPECT_TRUE(outcome.fileDeleted);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(selected, -1);
  EXPECT_FALSE(m.files.Exists("C:\\Backup\\2013_03_07_140509.reg"));
  EXPECT_TRUE(m.registry.GetValue(Root::CurrentUser, "Software\\App\\Sub", "multi"));
  EXPECT_TRUE(m.registry.GetValue(Root::CurrentUser, "Software\\Run", "Old"));
  EXPECT_EQ(hint.shown, std::vector<std::string>{"Restore registry..."});
  ASSERT_EQ(m.processes.started.size(), 1u);
}

TEST_F(RestoreTest, AnEditorThatImportedNothingKeepsTheFile) {
  importSkips = true;
  const RestoreOutcome outcome = Restore();
  EXPECT_EQ(outcome.status, RestoreStatus::NotRestored);
  EXPECT_NE(outcome.message.find("HKEY_CURRENT_USER\\Software"), std::string::npos) << outcome.message;
  EXPECT_TRUE(m.files.Exists("C:\\Backup\\2013_03_07_140509.reg"));
  EXPECT_EQ(rows.size(), 1u);
  EXPECT_EQ(selected, 0);
}

TEST_F(RestoreTest, OneValueThatDidNotComeBackIsNamed) {
  importFilter = "\"multi\"=";
  const RestoreOutcome outcome = Restore();
  EXPECT_EQ(outcome.status, RestoreStatus::NotRestored);
  EXPECT_NE(outcome.message.find("HKEY_CURRENT_USER\\Software\\App\\Sub \"multi\" is missing"),
            std::string::npos)
      << outcome.message;
  EXPECT_TRUE(m.files.Exists("C:\\Backup\\2013_03_07_140509.reg"));
}

TEST_F(RestoreTest, ChangedDataIsNotARestore) {
  importSkips = true;
  ASSERT_TRUE(m.registry.Import(m.files.Contents("C:\\Backup\\2013_03_07_140509.reg")));
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "Old", "changed");
  const RestoreOutcome outcome = Restore();
  EXPECT_EQ(outcome.status, RestoreStatus::NotRestored);
  EXPECT_NE(outcome.message.find("\"Old\" has other data"), std::string::npos) << outcome.message;
}

TEST_F(RestoreTest, StoppedOrUnstartableImportKeepsTheFile) {
  m.processes.keepRunning = true;
  hint.action = HintAction::Stop;
  EXPECT_EQ(Restore().status, RestoreStatus::Stopped);
  hint.action = HintAction::Close;
  EXPECT_EQ(Restore().status, RestoreStatus::Stopped);
  m.processes.onStart = [](const std::string&) { return false; };
  const struct {
    long error;
    const char* message;
  } starts[] = {
      {2, "Please check if Regedit.exe exists."},
      {5, "Please check if Regedit.exe exists."},
      {740, kRegeditElevationText},  // elevation required: another remedy
  };
  for (const auto& start : starts) {
    SCOPED_TRACE(start.error);
    m.processes.startError = start.error;
    const RestoreOutcome outcome = Restore();
    EXPECT_EQ(outcome.status, RestoreStatus::NotStarted);
    EXPECT_EQ(outcome.message, start.message);
    EXPECT_TRUE(m.files.Exists("C:\\Backup\\2013_03_07_140509.reg"));
    EXPECT_EQ(rows.size(), 1u);
  }
  EXPECT_NE(std::string(kRegeditElevationText).find("administrator"), std::string::npos);
}

TEST_F(RestoreTest, CorruptOrForeignFilesAreKeptAndNotImported) {
  const struct {
    const char* label;
    std::string contents;
  } cases[] = {
      {"empty", ""},
      {"no header", "[HKEY_CURRENT_USER\\X]\r\n"},
      {"broken value", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n\"a\"=hex:1,\r\n"},
      {"unknown root", "REGEDIT4\r\n\r\n[HKEY_NOWHERE\\X]\r\n"},
      {"deletes a key", "REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software]\r\n"},
      {"deletes a value", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n\"a\"=-\r\n"},
      {"binary junk", std::string("\x00\x01\x02\xFF", 4)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    m.files.AddFile("C:\\Backup\\foreign.reg", c.contents);
    m.processes.started.clear();
    std::vector<BackupFileRow> list(1);
    list[0].name = "foreign.reg";
    int pick = 0;
    platform::Platform p = m.platform();
    const RestoreOutcome outcome = RestoreSelected(p, "C:\\Backup", "C:\\Backup", list, pick, hint);
    EXPECT_EQ(outcome.status, RestoreStatus::Unreadable);
    EXPECT_FALSE(outcome.message.empty());
    EXPECT_TRUE(m.processes.started.empty()) << "the editor ran";
    EXPECT_TRUE(m.files.Exists("C:\\Backup\\foreign.reg"));
    EXPECT_EQ(list.size(), 1u);
  }
  EXPECT_TRUE(m.registry.KeyExists(Root::CurrentUser, "Software"));
}

// Damaged files are refused before the editor runs: it would import every entry before
// the damage, and a cut inside a value would import that value altered.
TEST_F(RestoreTest, CutShortOrDamagedBackupsAreRefusedWhole) {
  const std::string path = "C:\\Backup\\2013_03_07_140509.reg";
  const std::string backup = m.files.Contents(path);
  ASSERT_NE(backup.find("\"bin\"=hex:7F,7F,"), std::string::npos) << backup;
  const auto cutAt = [&backup](const std::string& text, size_t inside) {
    return backup.substr(0, backup.find(text) + inside);
  };
  std::string oneDigit = backup;
  oneDigit.replace(oneDigit.find("7F,7F,"), 6, "7F,7,");
  std::string withNul = backup;
  withNul.insert(withNul.find("C:\\\\app.exe"), 1, '\0');
  std::string random(64 * 1024, '\0');
  std::mt19937 rng(7);
  for (char& c : random) c = static_cast<char>(rng());
  const struct {
    const char* what;
    std::string contents;
    const char* says;
  } cases[] = {
      {"cut inside a hex value", cutAt("7F,7F,", 4), "line "},
      {"cut inside a key line", cutAt("[HKEY_CURRENT_USER\\Software\\App\\Sub]", 20), "line "},
      {"cut before the last line end", backup.substr(0, backup.size() - 2), "cut short"},
      {"cut at a key's block", cutAt("\r\n[HKEY_CURRENT_USER\\Software\\App\\Sub]", 0),
       "is cut short: its last line is not \"; End of backup\""},
      {"cut inside the header", backup.substr(0, 5), "line 1: not a registry file"},
      {"a byte of one hex digit", oneDigit, "one hex digit"},
      {"a NUL byte", withNul, "NUL"},
      {"UTF-16 without its byte order mark", testing_support::Utf16Data(backup),
       "line 1: not a registry file"},
      {"random bytes", random, "line 1: not a registry file"},
      {"a header and a megabyte of line ends", "REGEDIT4" + std::string(1 << 20, '\n'),
       "holds no registry key"},
  };
  const std::string before = m.registry.Export(Root::CurrentUser, "");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    m.files.AddFile(path, c.contents);
    m.processes.started.clear();
    platform::Platform p = m.platform();
    const RestoreOutcome outcome = RestoreBackupFile(p, path, "C:\\Backup", hint);
    EXPECT_EQ(outcome.status, RestoreStatus::Unreadable);
    EXPECT_NE(outcome.message.find(c.says), std::string::npos) << outcome.message;
    EXPECT_NE(outcome.message.find("kept"), std::string::npos) << outcome.message;
    EXPECT_TRUE(m.processes.started.empty()) << "the editor ran";
    EXPECT_EQ(m.files.Contents(path), c.contents);
  }
  EXPECT_EQ(m.registry.Export(Root::CurrentUser, ""), before);
}

// Wherever a backup of this program is cut, it is refused without running the editor.
// An older one, without the mark, is refused when cut inside a line; cut at a line end
// it is a shorter backup, imported and checked, unless a hex list goes on.
TEST_F(RestoreTest, EveryCutOfABackupIsRefusedAndOlderOnesInsideALine) {
  const std::string path = "C:\\Backup\\2013_03_07_140509.reg";
  const std::string marked = m.files.Contents(path);
  const std::string mark = std::string(kBackupMarkLine) + "\r\n";
  ASSERT_EQ(marked.find(mark), 10u) << marked;
  const std::string older = std::string(marked).erase(10, mark.size());
  for (const bool ours : {true, false}) {
    const std::string& backup = ours ? marked : older;
    size_t refused = 0, restored = 0;
    for (size_t length = 0; length < backup.size(); ++length) {
      const std::string cut = backup.substr(0, length);
      SCOPED_TRACE(testing::PrintToString(cut));
      m.files.AddFile(path, cut);
      m.processes.started.clear();
      platform::Platform p = m.platform();
      const RestoreOutcome outcome = RestoreBackupFile(p, path, "C:\\Elsewhere", hint);
      const bool atLineEnd = !cut.empty() && cut.back() == '\n';
      const bool continued = EndsWith(cut, "\\\r\n");
      if (!ours && atLineEnd && !continued && cut.find('[') != std::string::npos) {
        EXPECT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
        ++restored;
      } else {
        EXPECT_EQ(outcome.status, RestoreStatus::Unreadable);
        EXPECT_TRUE(m.processes.started.empty()) << "the editor ran";
        ++refused;
      }
    }
    EXPECT_EQ(refused == backup.size(), ours);
    EXPECT_EQ(restored > 4u, !ours);
  }
}

// The file the editor imports is the one that was checked: nobody can change it in
// between, and it is deleted only after the check.
TEST_F(RestoreTest, TheCheckedFileCannotChangeBeforeTheImport) {
  const std::string path = "C:\\Backup\\2013_03_07_140509.reg";
  const std::string backup = m.files.Contents(path);
  bool changed = true, removed = true;
  const auto editor = m.processes.onStart;
  m.processes.onStart = [&](const std::string& commandLine) {
    changed = m.files.AppendToFile(path, "", "\"v\"=hex:0");
    removed = m.files.RemoveFile(path);
    return editor(commandLine);
  };
  const RestoreOutcome outcome = Restore();
  EXPECT_FALSE(changed);
  EXPECT_FALSE(removed);
  EXPECT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
  EXPECT_TRUE(outcome.fileDeleted) << "deleted once the check is done";
}

TEST_F(RestoreTest, AFileThatCannotBeReadToItsEndIsKept) {
  const std::string path = "C:\\Backup\\2013_03_07_140509.reg";
  const std::string backup = m.files.Contents(path);
  m.files.FailReadingAfter(path, backup.size() / 2);
  platform::Platform p = m.platform();
  const RestoreOutcome outcome = RestoreBackupFile(p, path, "C:\\Backup", hint);
  EXPECT_EQ(outcome.status, RestoreStatus::Unreadable);
  EXPECT_NE(outcome.message.find("could not be read to its end (line "), std::string::npos)
      << outcome.message;
  EXPECT_TRUE(m.processes.started.empty());
  EXPECT_EQ(m.files.Contents(path), backup);
}

// Only a backup of the backup folder is deleted after its restore; a .reg file chosen
// elsewhere is the user's own and stays.
TEST_F(RestoreTest, DeletesOnlyFilesOfTheBackupFolder) {
  const std::string backup = m.files.Contents("C:\\Backup\\2013_03_07_140509.reg");
  const struct {
    const char* file;     // where the backup lies
    const char* given;    // how the restore is asked for it
    const char* folder;   // the backup folder of the settings
    bool deleted;
  } cases[] = {
      {"C:\\Backup\\b.reg", "C:\\Backup\\b.reg", "C:\\Backup", true},
      {"C:\\Backup\\b.reg", "c:\\BACKUP\\B.REG", "C:\\Backup\\", true},
      {"C:\\Backup\\b.reg", "C:\\Backup\\Sub\\..\\.\\b.reg", "C:\\backup", true},
      {"C:\\Backup\\b.reg", "C:/Backup//b.reg", "C:\\Backup", true},
      {"C:\\Backup\\b.reg", "C:\\Backup\\b.reg", "C:\\Other\\..\\Backup", true},
      {"C:\\Other\\mine.reg", "C:\\Other\\mine.reg", "C:\\Backup", false},
      {"C:\\Backup\\Sub\\b.reg", "C:\\Backup\\Sub\\b.reg", "C:\\Backup", false},
      {"C:\\Backup2\\b.reg", "C:\\Backup2\\b.reg", "C:\\Backup", false},
      {"C:\\b.reg", "C:\\b.reg", "C:\\Backup", false},
      {"C:\\Backup\\b.reg", "C:\\Backup\\b.reg", "", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.given) + " with the backup folder " + c.folder);
    m.files.AddFile(c.file, backup);
    platform::Platform p = m.platform();
    const RestoreOutcome outcome = RestoreBackupFile(p, c.given, c.folder, hint);
    EXPECT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
    EXPECT_EQ(outcome.fileDeleted, c.deleted);
    EXPECT_EQ(outcome.keptOutsideBackupFolder, !c.deleted);
    EXPECT_EQ(m.files.Exists(c.file), !c.deleted);
    m.files.RemoveFile(c.file);
  }
}

TEST_F(RestoreTest, ARestoredFileOfABrowsedFolderKeepsItsRow) {
  m.files.AddFile("C:\\Elsewhere\\2012_01_01_000000.reg",
                  m.files.Contents("C:\\Backup\\2013_03_07_140509.reg"));
  std::vector<BackupFileRow> browsed;
  ASSERT_TRUE(ListBackupFiles(m.files, m.system, "C:\\Elsewhere", browsed));
  int pick = 0;
  platform::Platform p = m.platform();
  const RestoreOutcome outcome = RestoreSelected(p, "C:\\Elsewhere", "C:\\Backup", browsed, pick, hint);
  EXPECT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
  EXPECT_TRUE(outcome.keptOutsideBackupFolder);
  EXPECT_EQ(browsed.size(), 1u);
  EXPECT_EQ(pick, 0);
  EXPECT_TRUE(m.files.Exists("C:\\Elsewhere\\2012_01_01_000000.reg"));
}

// A value written twice (two runs in one second, or a value backed up before its key):
// the registry editor keeps the last data, and so does the check.
TEST(VerifyImported, TheLastOccurrenceOfAValueWins) {
  using platform::RegTextBlock;
  using platform::RegTextDocument;
  using platform::RegTextValue;
  const std::string first = testing_support::Utf16Data(std::string("old\0", 4));
  const std::string last = testing_support::Utf16Data(std::string("new\0", 4));
  RegTextDocument document;
  document.blocks = {
      RegTextBlock{Root::CurrentUser, "Software\\A", false, {{"v", false, platform::kRegSz, first}}},
      RegTextBlock{Root::CurrentUser, "Software\\B", false, {}},
      RegTextBlock{Root::CurrentUser, "software\\a", false, {{"V", false, platform::kRegSz, last}}},
  };
  const struct {
    const char* what;
    std::string data;
    bool passes;
  } cases[] = {
      {"the last data", last, true},
      {"the first data", first, false},
      {"other data", testing_support::Utf16Data(std::string("x\0", 2)), false},
      {"the last data and one more byte", last + '\0', false},
      {"the last data less its last byte", last.substr(0, last.size() - 1), false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    platform::memory::MemoryRegistry registry;
    registry.CreateKey(Root::CurrentUser, "Software\\B");
    registry.SetValue(Root::CurrentUser, "Software\\A", "v", platform::kRegSz, c.data);
    std::string missing;
    EXPECT_EQ(VerifyImported(registry, document, missing), c.passes) << missing;
    if (!c.passes) {
      // Named as its last occurrence spells it: that is the one checked.
      EXPECT_EQ(missing, "HKEY_CURRENT_USER\\software\\a \"V\" has other data");
    }
  }
  platform::memory::MemoryRegistry empty;
  std::string missing;
  EXPECT_FALSE(VerifyImported(empty, document, missing));
  EXPECT_EQ(missing, "HKEY_CURRENT_USER\\Software\\A is missing");
}

TEST(DeleteSelected, RemovesTheRowAndSelectsTheOneThatMovedUp) {
  MemoryMachine m;
  for (const char* name : {"c.reg", "b.reg", "a.reg"}) m.files.AddFile(std::string("C:\\B\\") + name);
  std::vector<BackupFileRow> rows;
  ASSERT_TRUE(ListBackupFiles(m.files, m.system, "C:\\B", rows));
  platform::Platform p = m.platform();
  int selected = 1;
  EXPECT_TRUE(DeleteSelected(p, "C:\\B", rows, selected).deleted);
  EXPECT_FALSE(m.files.Exists("C:\\B\\b.reg"));
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(selected, 1);
  EXPECT_EQ(rows[1].name, "a.reg");
  EXPECT_TRUE(DeleteSelected(p, "C:\\B", rows, selected).deleted);  // the last row
  EXPECT_EQ(selected, 0);
  // A file the system refuses to delete keeps its row and the user reads why.
  m.files.DenyWrites("C:\\B");
  const DeleteOutcome refused = DeleteSelected(p, "C:\\B", rows, selected);
  EXPECT_FALSE(refused.deleted);
  EXPECT_EQ(refused.message, "The backup file C:\\B\\c.reg could not be deleted: Error 5.");
  EXPECT_EQ(rows.size(), 1u);
  m.files.DenyWrites("C:\\B", false);
  // A file someone else deleted meanwhile: its row goes as well.
  m.files.RemoveFile("C:\\B\\c.reg");
  EXPECT_TRUE(DeleteSelected(p, "C:\\B", rows, selected).deleted);
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(selected, -1);
  EXPECT_FALSE(DeleteSelected(p, "C:\\B", rows, selected).deleted);
}

}  // namespace
}  // namespace tallowin
