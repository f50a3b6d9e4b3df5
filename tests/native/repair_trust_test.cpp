// The repair run deletes only what the scan found, only what its backup gives back bit
// for bit, never through a symbolic link, and reports what really happened to each row.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "platform/reg_text.h"
#include "platform/text.h"
#include "repair/repair_run.h"
#include "scan/issue_target.h"
#include "tests/backend/registry_snapshot.h"
#include "tests/support/reg_data.h"
#include "tests/support/repair_prompts.h"

namespace tallowin {
namespace {

using platform::Root;
using platform::memory::MemoryMachine;
using testing_support::Snapshot;
using testing_support::Utf16Data;
using namespace std::string_literals;

constexpr const char* kFolder = "C:\\Backup";
constexpr const char* kFile = "C:\\Backup\\2013_03_07_140509.reg";

// Greek, Cyrillic and Japanese names, as UTF-8.
const std::string kOmega = "\xCE\xA9mega";
const std::string kUnicodeKey = "\xD0\xAE\xD0\xBD\xD0\xB8\xD0\xBA\xD0\xBE\xD0\xB4";
const std::string kJapanese = "\xE6\x97\xA5\xE6\x9C\xAC";

// Reports the deletion of one value name done without doing it.
class IgnoringRegistry : public platform::Registry {
 public:
  IgnoringRegistry(platform::Registry& inner, std::string ignored)
      : inner_(inner), ignored_(std::move(ignored)) {}
  long Open(Root root, std::string_view path, platform::Access access,
            std::unique_ptr<platform::RegistryKey>& key) override {
    return Wrap(inner_.Open(root, path, access, key), key);
  }
  long OpenNoFollow(Root root, std::string_view path, platform::Access access,
                    std::unique_ptr<platform::RegistryKey>& key) override {
    return Wrap(inner_.OpenNoFollow(root, path, access, key), key);
  }
  long Create(Root root, std::string_view path,
              std::unique_ptr<platform::RegistryKey>& key) override {
    return inner_.Create(root, path, key);
  }

 private:
  class Key : public platform::RegistryKey {
   public:
    Key(std::unique_ptr<platform::RegistryKey> inner, const std::string& ignored)
        : inner_(std::move(inner)), ignored_(ignored) {}
    long SubKeyNames(std::vector<std::string>& names) override { return inner_->SubKeyNames(names); }
    long ValueNames(std::vector<std::string>& names) override { return inner_->ValueNames(names); }
    long Values(std::vector<platform::RegValue>& values) override { return inner_->Values(values); }
    long QueryValue(std::string_view name, platform::RegValue& value) override {
      return inner_->QueryValue(name, value);
    }
    long QueryInfo(uint32_t& subKeys, uint32_t& values) override {
      return inner_->QueryInfo(subKeys, values);
    }
    long DeleteSubKey(std::string_view name) override { return inner_->DeleteSubKey(name); }
    long DeleteValue(std::string_view name) override {
      return name == ignored_ ? platform::kSuccess : inner_->DeleteValue(name);
    }
    long SetValue(std::string_view name, uint32_t type, std::string_view data) override {
      return inner_->SetValue(name, type, data);
    }
    long LastWriteTime(uint64_t& fileTime) override { return inner_->LastWriteTime(fileTime); }
    long IsLink(bool& link) override { return inner_->IsLink(link); }

   private:
    std::unique_ptr<platform::RegistryKey> inner_;
    const std::string& ignored_;
  };

  long Wrap(long rc, std::unique_ptr<platform::RegistryKey>& key) {
    if (rc == platform::kSuccess) key = std::make_unique<Key>(std::move(key), ignored_);
    return rc;
  }

  platform::Registry& inner_;
  std::string ignored_;
};

class RepairTrustTest : public ::testing::Test {
 protected:
  void SetUp() override { m.files.AddFolder(kFolder); }

  // A row as the scan reports it: with the stamp of its item as it is now.
  void Found(EntryKind kind, const std::string& key, const std::string& data = "") {
    Issue issue{"Problem", data, key, kind, true, {}};
    issue.stamp = TakeStamp(m.registry, ResolveIssueTarget(issue));
    list.Add(issue);
  }

  RepairResult Run() {
    platform::Platform p = m.platform();
    list.filtered = true;  // as the post-scan filter leaves it
    return FixErrors(list, p, {kFolder, false, 12}, prompts);
  }

  const RowReport* ReportFor(const RepairResult& result, const std::string& key) {
    for (const RowReport& row : result.rows)
      if (row.issue.key == key) return &row;
    return nullptr;
  }

  Snapshot Take(Root root, const std::string& path) {
    Snapshot snapshot;
    EXPECT_TRUE(testing_support::TakeSnapshot(m.registry, root, path, snapshot));
    return snapshot;
  }

  MemoryMachine m;
  IssueList list;
  testing_support::RecordingPrompts prompts;
};

TEST_F(RepairTrustTest, ValueChangedSinceTheScanIsLeftAlone) {
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "App", "C:\\Gone\\app.exe");
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "Other", "C:\\Gone\\other.exe");
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\App");
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\Other");
  // Between the scan and the repair the user reinstalls the program elsewhere.
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "App", "C:\\Windows\\notepad.exe");

  const RepairResult result = Run();
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.fixed, 1u);
  EXPECT_EQ(result.failed, 1u);
  const RowReport* app = ReportFor(result, "HKEY_CURRENT_USER\\Software\\Run\\App");
  ASSERT_NE(app, nullptr);
  EXPECT_EQ(app->outcome, RepairOutcome::ChangedSinceScan);
  EXPECT_EQ(OutcomeName(app->outcome), "changed since the scan");
  EXPECT_TRUE(app->backupFile.empty());
  EXPECT_TRUE(m.registry.GetValue(Root::CurrentUser, "Software\\Run", "App").has_value());
  EXPECT_FALSE(m.registry.GetValue(Root::CurrentUser, "Software\\Run", "Other").has_value());
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_TRUE(list.rows[0].checked);
  // Only what was deleted is in the backup.
  EXPECT_EQ(m.files.Contents(kFile).find("\"App\""), std::string::npos);
}

// The stamp is a digest of type and data: a value given another type with the same
// bytes, or one more byte, is no longer what was found.
TEST_F(RepairTrustTest, ValueRetypedOrLengthenedSinceTheScanIsLeftAlone) {
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "Typed", "C:\\Gone\\a.exe");
  m.registry.SetValue(Root::CurrentUser, "Software\\Run", "Longer", platform::kRegSz,
                      std::string("C:\\Gone\\b.exe", 13));
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\Typed");
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\Longer");
  const platform::RegValue typed = *m.registry.GetValue(Root::CurrentUser, "Software\\Run", "Typed");
  m.registry.SetValue(Root::CurrentUser, "Software\\Run", "Typed", platform::kRegExpandSz, typed.data);
  m.registry.SetValue(Root::CurrentUser, "Software\\Run", "Longer", platform::kRegSz,
                      std::string("C:\\Gone\\b.exe\0", 14));

  const RepairResult result = Run();
  EXPECT_EQ(result.fixed, 0u);
  ASSERT_EQ(result.rows.size(), 2u);
  for (const RowReport& row : result.rows) {
    SCOPED_TRACE(row.issue.key);
    EXPECT_EQ(row.outcome, RepairOutcome::ChangedSinceScan);
  }
  EXPECT_TRUE(m.registry.GetValue(Root::CurrentUser, "Software\\Run", "Typed").has_value());
  EXPECT_TRUE(m.registry.GetValue(Root::CurrentUser, "Software\\Run", "Longer").has_value());
}

TEST_F(RepairTrustTest, KeyWrittenSinceTheScanIsLeftAlone) {
  m.registry.CreateKey(Root::CurrentUser, "Software\\Empty");
  Found(ekKey, "HKEY_CURRENT_USER\\Software\\Empty");
  m.registry.SetString(Root::CurrentUser, "Software\\Empty", "Now", "in use");
  m.registry.CreateKey(Root::CurrentUser, "Software\\Empty\\Sub");

  const RepairResult result = Run();
  EXPECT_EQ(result.fixed, 0u);
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0].outcome, RepairOutcome::ChangedSinceScan);
  EXPECT_TRUE(m.registry.KeyExists(Root::CurrentUser, "Software\\Empty\\Sub"));
  EXPECT_FALSE(m.files.Exists(kFile));
}

TEST_F(RepairTrustTest, TheRunsOwnDeletionsDoNotCountAsChanges) {
  // The current user's key is reached as HKEY_CURRENT_USER and below HKEY_USERS.
  const std::string sid = "S-1-5-21-11-22-33-1000";
  m.registry.CreateLink(Root::Users, sid, Root::CurrentUser, "");
  for (const std::string& user : {std::string("HKEY_CURRENT_USER"), "HKEY_USERS\\" + sid}) {
    SCOPED_TRACE(user);
    m.registry.SetString(Root::CurrentUser, "Software\\Old", "v", "C:\\Gone\\x.exe");
    m.registry.CreateKey(Root::CurrentUser, "Software\\Old\\Sub");
    Found(ekKey, "HKEY_CURRENT_USER\\Software\\Old");
    Found(ekKey, user + "\\Software\\Old\\Sub");          // deleted first
    Found(ekValueInKeyPath, user + "\\Software\\Old\\v");  // and this before it

    const RepairResult result = Run();
    EXPECT_EQ(result.fixed, 3u);
    EXPECT_EQ(result.alreadyGone, 0u);
    EXPECT_FALSE(m.registry.KeyExists(Root::CurrentUser, "Software\\Old"));
  }
}

TEST_F(RepairTrustTest, ItemsGoneMeanwhileAreCountedApart) {
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "A", "C:\\Gone\\a.exe");
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "B", "C:\\Gone\\b.exe");
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\A");
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\B");
  std::unique_ptr<platform::RegistryKey> key;
  ASSERT_EQ(m.registry.Open(Root::CurrentUser, "Software\\Run", platform::Access::All, key),
            platform::kSuccess);
  ASSERT_EQ(key->DeleteValue("A"), platform::kSuccess);

  const RepairResult result = Run();
  EXPECT_EQ(result.fixed, 2u);
  EXPECT_EQ(result.alreadyGone, 1u);
  EXPECT_EQ(ReportFor(result, "HKEY_CURRENT_USER\\Software\\Run\\A")->outcome,
            RepairOutcome::AlreadyGone);
  EXPECT_EQ(ReportFor(result, "HKEY_CURRENT_USER\\Software\\Run\\B")->outcome,
            RepairOutcome::Deleted);
  EXPECT_EQ(ReportFor(result, "HKEY_CURRENT_USER\\Software\\Run\\B")->backupFile, kFile);
  // One entry in the backup: the one that was deleted.
  EXPECT_EQ(m.files.Contents(kFile),
            "REGEDIT4\r\n; Tallowin registry backup\r\n\r\n[HKEY_CURRENT_USER\\Software\\Run]\r\n"
            "\"B\"=\"C:\\\\Gone\\\\b.exe\"\r\n; End of backup\r\n");
}

TEST_F(RepairTrustTest, ASubTreeHoldingALinkIsRefusedAndTheTargetSurvives) {
  m.registry.SetString(Root::LocalMachine, "Software\\BarsKeep", "keep", "me");
  m.registry.CreateKey(Root::LocalMachine, "Software\\BarsKeep\\Own");
  m.registry.SetString(Root::LocalMachine, "Software\\Classes\\Stale\\shell\\open\\command", "",
                       "C:\\Gone\\app.exe");
  m.registry.CreateLink(Root::LocalMachine, "Software\\Classes\\Stale\\Link", Root::LocalMachine,
                        "Software\\BarsKeep");
  const Snapshot target = Take(Root::LocalMachine, "Software\\BarsKeep");
  Found(ekKey, "HKEY_LOCAL_MACHINE\\Software\\Classes\\Stale");
  // A row that names the link itself is no better.
  Found(ekKey, "HKEY_LOCAL_MACHINE\\Software\\Classes\\Stale\\Link");

  const RepairResult result = Run();
  EXPECT_EQ(result.fixed, 0u);
  ASSERT_EQ(result.rows.size(), 2u);
  for (const RowReport& row : result.rows) {
    SCOPED_TRACE(row.issue.key);
    EXPECT_EQ(row.outcome, RepairOutcome::Refused);
    EXPECT_NE(row.reason.find("symbolic link"), std::string::npos) << row.reason;
    EXPECT_EQ(OutcomeName(row.outcome), "refused");
  }
  EXPECT_TRUE(testing_support::SnapshotsMatch(target, Take(Root::LocalMachine, "Software\\BarsKeep")));
  EXPECT_TRUE(m.registry.KeyExists(Root::LocalMachine, "Software\\Classes\\Stale\\shell"));
  EXPECT_FALSE(m.files.Exists(kFile));
  EXPECT_EQ(list.Count(), 2u);
}

// A backup that a restore would refuse gives nothing back: what it would hold stays.
TEST_F(RepairTrustTest, AValueLargerThanARestoreReadsIsRefused) {
  m.registry.SetValue(Root::CurrentUser, "Software\\Big\\Sub", "huge", platform::kRegBinary,
                      std::string(platform::kMaxRegValueBytes + 1, 'x'));
  m.registry.SetString(Root::CurrentUser, "Software\\Small", "v", "C:\\Gone\\x.exe");
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Big\\Sub\\huge");
  Found(ekKey, "HKEY_CURRENT_USER\\Software\\Big");
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Small\\v");

  const RepairResult result = Run();
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.fixed, 1u);
  EXPECT_EQ(result.failed, 2u);
  for (const char* key : {"HKEY_CURRENT_USER\\Software\\Big\\Sub\\huge", "HKEY_CURRENT_USER\\Software\\Big"}) {
    SCOPED_TRACE(key);
    const RowReport* row = ReportFor(result, key);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->outcome, RepairOutcome::Refused);
    EXPECT_NE(row->reason.find("too large for a backup"), std::string::npos) << row->reason;
  }
  const auto huge = m.registry.GetValue(Root::CurrentUser, "Software\\Big\\Sub", "huge");
  ASSERT_TRUE(huge.has_value());
  EXPECT_EQ(huge->data.size(), platform::kMaxRegValueBytes + 1);
  EXPECT_FALSE(m.registry.GetValue(Root::CurrentUser, "Software\\Small", "v").has_value());
  EXPECT_EQ(m.files.Contents(kFile),
            "REGEDIT4\r\n; Tallowin registry backup\r\n\r\n[HKEY_CURRENT_USER\\Software\\Small]\r\n"
            "\"v\"=\"C:\\\\Gone\\\\x.exe\"\r\n; End of backup\r\n");
}

// Windows shows the user's classes over the machine's; Wine does not merge them.
TEST_F(RepairTrustTest, ClassesRowsActInTheHiveThatHoldsTheKey) {
  m.registry.mergeClasses = true;
  m.registry.SetString(Root::CurrentUser, "Software\\Classes\\.both", "", "userfile");
  m.registry.SetString(Root::LocalMachine, "Software\\Classes\\.both", "", "machinefile");
  m.registry.SetString(Root::LocalMachine, "Software\\Classes\\.machine", "", "x");
  m.registry.SetString(Root::CurrentUser, "Software\\Classes\\.user", "", "y");
  Found(ekKey, "HKEY_CLASSES_ROOT\\.both");
  Found(ekKey, "HKEY_CLASSES_ROOT\\.machine");
  Found(ekKey, "HKEY_CLASSES_ROOT\\.user");

  const RepairResult result = Run();
  EXPECT_EQ(ReportFor(result, "HKEY_CLASSES_ROOT\\.machine")->outcome, RepairOutcome::Deleted);
  EXPECT_EQ(ReportFor(result, "HKEY_CLASSES_ROOT\\.user")->outcome, RepairOutcome::Deleted);
  // The user's copy went; the machine's still shows through: not removed.
  const RowReport* both = ReportFor(result, "HKEY_CLASSES_ROOT\\.both");
  EXPECT_EQ(both->outcome, RepairOutcome::StillPresent);
  EXPECT_FALSE(m.registry.KeyExists(Root::CurrentUser, "Software\\Classes\\.both"));
  EXPECT_TRUE(m.registry.KeyExists(Root::LocalMachine, "Software\\Classes\\.both"));
  EXPECT_EQ(result.fixed, 2u);
  EXPECT_EQ(list.Count(), 1u);
  // The backup names the hive each key was in, so a restore puts it back there.
  const std::string backup = m.files.Contents(kFile);
  EXPECT_NE(backup.find("[HKEY_CURRENT_USER\\Software\\Classes\\.both]"), std::string::npos);
  EXPECT_NE(backup.find("[HKEY_LOCAL_MACHINE\\Software\\Classes\\.machine]"), std::string::npos);
  EXPECT_NE(backup.find("[HKEY_CURRENT_USER\\Software\\Classes\\.user]"), std::string::npos);
  EXPECT_EQ(backup.find("HKEY_CLASSES_ROOT"), std::string::npos);
}

TEST_F(RepairTrustTest, NamesOfAnyScriptAreDeletedExactlyAndComeBackBitForBit) {
  const std::string key = "Software\\UniTest";
  m.registry.SetString(Root::CurrentUser, key, kOmega, "C:\\Gone\\x.exe");
  m.registry.SetString(Root::CurrentUser, key, "Omega", "C:\\Gone\\x.exe");  // not reported
  m.registry.SetString(Root::CurrentUser, key, "Path", "C:\\Gone\\" + kJapanese + ".txt");
  m.registry.SetString(Root::CurrentUser, key + "\\" + kUnicodeKey, "File", "C:\\Gone\\y.exe");
  // String data that is no whole UTF-16 text, and a multi-string.
  m.registry.SetValue(Root::CurrentUser, key + "\\" + kUnicodeKey, "odd", platform::kRegSz, "abc");
  m.registry.SetValue(Root::CurrentUser, key + "\\" + kUnicodeKey, "multi", platform::kRegMultiSz,
                      Utf16Data(kJapanese + "\0x\0\0"s));
  const Snapshot before = Take(Root::CurrentUser, key);
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\" + key + "\\" + kOmega);
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\" + key + "\\Path");
  Found(ekKey, "HKEY_CURRENT_USER\\" + key + "\\" + kUnicodeKey);

  const RepairResult result = Run();
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.fixed, 3u);
  EXPECT_EQ(result.failed, 0u);
  EXPECT_FALSE(m.registry.GetValue(Root::CurrentUser, key, kOmega).has_value());
  EXPECT_TRUE(m.registry.GetValue(Root::CurrentUser, key, "Omega").has_value());
  EXPECT_FALSE(m.registry.KeyExists(Root::CurrentUser, key + "\\" + kUnicodeKey));

  // The ANSI code page cannot carry these names: the backup is a Unicode .reg file.
  const std::string file = m.files.Contents(kFile);
  ASSERT_GE(file.size(), 2u);
  EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
  std::string text;
  ASSERT_TRUE(platform::DecodeRegFileBytes(file, text));
  EXPECT_EQ(text.rfind("Windows Registry Editor Version 5.00\r\n", 0), 0u) << text;
  EXPECT_NE(text.find("\"" + kOmega + "\"=\"C:\\\\Gone\\\\x.exe\""), std::string::npos) << text;

  std::string error;
  ASSERT_TRUE(m.registry.Import(file, &error)) << error;
  EXPECT_TRUE(testing_support::SnapshotsMatch(before, Take(Root::CurrentUser, key)));
}

TEST_F(RepairTrustTest, AnAnsiFileTurnsUnicodeWhenALaterBatchNeedsIt) {
  const size_t plain = kRepairBatchRows + 3;
  // Visited last row first: the non-ANSI row (index 0) comes in the second batch, after
  // the first batch went to the file as REGEDIT4.
  m.registry.SetString(Root::CurrentUser, "Soft\\" + kOmega, "v", "x");
  Found(ekKey, "HKEY_CURRENT_USER\\Soft\\" + kOmega);
  for (size_t i = 0; i < plain; ++i) {
    m.registry.SetString(Root::CurrentUser, "Soft\\K" + std::to_string(i), "caf\xC3\xA9", "\xE2\x82\xAC");
    Found(ekKey, "HKEY_CURRENT_USER\\Soft\\K" + std::to_string(i));
  }
  const Snapshot before = Take(Root::CurrentUser, "Soft");

  const RepairResult result = Run();
  EXPECT_EQ(result.fixed, plain + 1);
  EXPECT_EQ(result.backupFile, kFile);
  const std::string file = m.files.Contents(kFile);
  EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
  EXPECT_FALSE(m.files.Exists(std::string(kFile) + ".tmp"));
  // One closing line, at the end: the first batch's is blanked in the converted file.
  const std::string text = Utf16ToUtf8(Utf16FromLeBytes(file.substr(2)));
  EXPECT_TRUE(EndsWith(text, "\r\n; End of backup\r\n"));
  EXPECT_EQ(text.find("; End of backup"), text.size() - 17);
  EXPECT_NE(text.find("\r\n;              \r\n"), std::string::npos);
  std::string error;
  ASSERT_TRUE(m.registry.Import(file, &error)) << error;
  EXPECT_TRUE(testing_support::SnapshotsMatch(before, Take(Root::CurrentUser, "Soft")));
}

// Values already composed for the ANSI file are composed again, from what was read.
TEST_F(RepairTrustTest, ValueRowsOfABatchFollowTheFileIntoUnicode) {
  const std::string key = "Software\\Mixed";
  m.registry.SetString(Root::CurrentUser, key, "wide", "C:\\Gone\\" + kJapanese + ".exe");
  m.registry.SetString(Root::CurrentUser, key, "plain", "C:\\Gone\\plain.exe");
  m.registry.SetValue(Root::CurrentUser, key, "odd", platform::kRegSz, "abc");
  const Snapshot before = Take(Root::CurrentUser, key);
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\" + key + "\\wide");   // visited last
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\" + key + "\\plain");
  Found(ekValueInData, "HKEY_CURRENT_USER\\" + key, "odd");

  const RepairResult result = Run();
  EXPECT_EQ(result.fixed, 3u);
  const std::string file = m.files.Contents(kFile);
  EXPECT_EQ(file.substr(0, 2), "\xFF\xFE");
  std::string error;
  ASSERT_TRUE(m.registry.Import(file, &error)) << error;
  EXPECT_TRUE(testing_support::SnapshotsMatch(before, Take(Root::CurrentUser, key)));
}

// The check after a deletion asks the key again instead of trusting the call's status.
TEST_F(RepairTrustTest, AValueStillThereAfterItsDeletionStaysListed) {
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "Stuck", "C:\\Gone\\a.exe");
  m.registry.SetString(Root::CurrentUser, "Software\\Run", "Loose", "C:\\Gone\\b.exe");
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\Stuck");
  Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\Software\\Run\\Loose");
  IgnoringRegistry ignoring(m.registry, "Stuck");
  platform::Platform p{ignoring, m.files, m.system, m.processes, m.restorePoint};
  list.filtered = true;  // as the post-scan filter leaves it
  const RepairResult result = FixErrors(list, p, {kFolder, false, 12}, prompts);
  EXPECT_EQ(ReportFor(result, "HKEY_CURRENT_USER\\Software\\Run\\Stuck")->outcome,
            RepairOutcome::StillPresent);
  EXPECT_EQ(ReportFor(result, "HKEY_CURRENT_USER\\Software\\Run\\Loose")->outcome,
            RepairOutcome::Deleted);
  EXPECT_EQ(result.fixed, 1u);
  ASSERT_EQ(list.Count(), 1u);
  EXPECT_EQ(list.rows[0].key, "HKEY_CURRENT_USER\\Software\\Run\\Stuck");
}

// Windows shows the user's key alone when both hives hold it: the value row is the user's.
TEST_F(RepairTrustTest, AClassesValueRowActsInTheUsersKeyWhenBothHoldIt) {
  m.registry.mergeClasses = true;
  m.registry.SetString(Root::CurrentUser, "Software\\Classes\\.both", "Cmd", "C:\\Gone\\u.exe");
  m.registry.SetString(Root::LocalMachine, "Software\\Classes\\.both", "Cmd", "C:\\Gone\\m.exe");
  Found(ekValueInData, "HKEY_CLASSES_ROOT\\.both", "Cmd");
  const RepairResult result = Run();
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0].outcome, RepairOutcome::Deleted);
  EXPECT_FALSE(m.registry.GetValue(Root::CurrentUser, "Software\\Classes\\.both", "Cmd"));
  EXPECT_TRUE(m.registry.GetValue(Root::LocalMachine, "Software\\Classes\\.both", "Cmd"));
  EXPECT_NE(m.files.Contents(kFile).find("[HKEY_CURRENT_USER\\Software\\Classes\\.both]"),
            std::string::npos);
}

// The values a batch deleted moved their key's last-write time; a row of that key in a
// later batch is still what the scan found.
TEST_F(RepairTrustTest, DeletionsOfAnEarlierBatchDoNotCountAsChanges) {
  const std::string key = "Software\\Many";
  for (size_t i = 0; i < kRepairBatchRows; ++i)
    m.registry.SetString(Root::CurrentUser, key, "v" + std::to_string(i), "C:\\Gone\\x.exe");
  Found(ekKey, "HKEY_CURRENT_USER\\" + key);  // visited last, in the second batch
  for (size_t i = 0; i < kRepairBatchRows; ++i)
    Found(ekValueInKeyPath, "HKEY_CURRENT_USER\\" + key + "\\v" + std::to_string(i));

  const RepairResult result = Run();
  EXPECT_EQ(result.fixed, kRepairBatchRows + 1);
  EXPECT_EQ(result.failed, 0u);
  EXPECT_FALSE(m.registry.KeyExists(Root::CurrentUser, key));
}

TEST_F(RepairTrustTest, AStopEndsTheRunBeforeTheNextRow) {
  for (int i = 0; i < 5; ++i) {
    m.registry.SetString(Root::CurrentUser, "K" + std::to_string(i), "v", "x");
    Found(ekKey, "HKEY_CURRENT_USER\\K" + std::to_string(i));
  }
  prompts.stopAfter = 3;  // the run-level check, then two rows
  const RepairResult result = Run();
  EXPECT_TRUE(result.stopped);
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(result.fixed, 2u);
  EXPECT_EQ(result.failed, 3u);
  EXPECT_EQ(result.statusText, "Fix errors stopped, 2 errors were fixed!, 3 were not removed");
  EXPECT_EQ(list.Count(), 3u);
  for (int i = 0; i < 5; ++i)
    EXPECT_EQ(m.registry.KeyExists(Root::CurrentUser, "K" + std::to_string(i)), i < 3) << i;
  ASSERT_EQ(result.rows.size(), 5u);
  for (size_t i = 2; i < 5; ++i) {
    EXPECT_EQ(result.rows[i].outcome, RepairOutcome::Stopped);
    EXPECT_EQ(result.rows[i].reason, "not processed: the run was stopped");
  }
  // Whatever was deleted is in the backup.
  MemoryMachine restored;
  ASSERT_TRUE(restored.registry.Import(m.files.Contents(kFile)));
  EXPECT_TRUE(restored.registry.KeyExists(Root::CurrentUser, "K4"));
  EXPECT_TRUE(restored.registry.KeyExists(Root::CurrentUser, "K3"));
}

}  // namespace
}  // namespace tallowin
