#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "scan/issue_target.h"
#include "scan/scan_task.h"
#include "tests/native/scan_engine_support.h"
#include "tests/support/reg_data.h"
#include "tests/support/watched_registry.h"

namespace tallowin {
namespace {

using platform::Root;
using Rows = std::vector<std::string>;

constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kAppPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kImmersive = "Software\\Microsoft\\Windows\\CurrentVersion\\ImmersiveShell";

std::string Row(const Issue& issue) {
  return issue.problem + " | " + issue.data + " | " + issue.key + " | " +
         std::to_string(issue.kind);
}

std::string Missing(const std::string& data, const std::string& key, EntryKind kind) {
  return Row(Issue{"Non-existent File or Folder", data, key, kind, false});
}

class HiveScan : public ::testing::Test, public engine_test::ScanFixture {
 protected:
  testing_support::WatchedRegistry counting{machine.registry};

  std::unique_ptr<TScanTaskThread> Scan() {
    platform::Platform p = machine.platform();
    return std::make_unique<TScanTaskThread>(
        platform::Platform{counting, p.files, p.system, p.processes, p.restorePoint}, log, true);
  }

  Rows Run(std::vector<std::string> codes) {
    auto scan = Scan();
    scan->TaskList = std::move(codes);
    scan->Execute();
    return Issues();
  }

  Rows Issues() const {
    Rows rows;
    for (const Issue& issue : log.Issues()) rows.push_back(Row(issue));
    return rows;
  }

  Rows Keys() const {
    Rows keys;
    for (const std::string& e : log.Events())
      if (e.rfind("key:", 0) == 0 && e != "key:Please wait...") keys.push_back(e.substr(4));
    return keys;
  }

  void Broken(Root root, const std::string& path, const std::string& name = "v") {
    machine.registry.SetString(root, path, name, "C:\\Gone\\" + name + ".exe");
  }
};

TEST_F(HiveScan, ReportsBothIssueShapes) {
  auto& reg = machine.registry;
  reg.SetString(Root::CurrentUser, "", "Top", "C:\\Gone\\top.exe");
  reg.SetString(Root::CurrentUser, "", "C:\\Old\\root.exe", "C:\\Gone\\root.exe");
  reg.SetString(Root::CurrentUser, "Software\\App", "Path", "C:\\Gone\\app.exe -x");
  reg.SetString(Root::CurrentUser, "Software\\App", "", "C:\\Gone\\default.exe");
  reg.SetString(Root::CurrentUser, "Software\\App", "C:\\Old\\app.exe", "C:\\Old\\app.exe");
  reg.SetString(Root::CurrentUser, "Software\\App", "C:\\Windows\\notepad.exe",
                "C:\\Windows\\notepad.exe");
  reg.SetString(Root::CurrentUser, "Software\\App", "Fine", "C:\\Windows\\notepad.exe /a");
  EXPECT_EQ(Run({"2"}),
            (Rows{Missing("C:\\Gone\\top.exe", "HKEY_CURRENT_USER\\\\Top", ekValueInKeyPath),
                  Missing("C:\\Old\\root.exe", "HKEY_CURRENT_USER\\", ekValueInData),
                  Missing("C:\\Gone\\app.exe -x", "HKEY_CURRENT_USER\\Software\\App\\Path",
                          ekValueInKeyPath),
                  Missing("C:\\Gone\\default.exe", "HKEY_CURRENT_USER\\Software\\App\\",
                          ekValueInKeyPath),
                  Missing("C:\\Old\\app.exe", "HKEY_CURRENT_USER\\Software\\App",
                          ekValueInData)}));
}

// The repair deletes a row's value only while its stamp still matches what it reads.
TEST_F(HiveScan, StampsEachRowAsTheRepairReadsItsValueOpeningEachKeyOnce) {
  auto& reg = machine.registry;
  reg.SetString(Root::CurrentUser, "", "Top", "C:\\Gone\\top.exe");
  reg.SetString(Root::CurrentUser, "", "C:\\Old\\root.exe", "C:\\Gone\\root.exe");
  reg.SetString(Root::CurrentUser, "Software\\App", "Path", "C:\\Gone\\app.exe -x");
  reg.SetString(Root::CurrentUser, "Software\\App", "", "C:\\Gone\\default.exe",
                platform::kRegExpandSz);
  reg.SetString(Root::CurrentUser, "Software\\App", "C:\\Old\\app.exe", "C:\\Old\\x.exe");
  reg.SetValue(Root::CurrentUser, "Software\\App", "\xCE\xA9mega", platform::kRegSz,
               testing_support::Utf16Data(std::string("C:\\Gone\\\xE6\x97\xA5.exe\0tail", 20)));
  reg.SetString(Root::CurrentUser, "Software\\App", "Omega", "C:\\Windows\\notepad.exe");
  Run({"2"});
  EXPECT_EQ(Keys(), (Rows{"", "Software", "Software\\App"}));
  EXPECT_EQ(counting.opens, 3);
  const std::vector<Issue> issues = log.Issues();
  ASSERT_EQ(issues.size(), 6u);
  for (const Issue& issue : issues) {
    SCOPED_TRACE(issue.key);
    EXPECT_EQ(issue.stamp.kind, ItemStamp::Kind::Value);
    EXPECT_EQ(issue.stamp, TakeStamp(machine.registry, ResolveIssueTarget(issue)));
  }
}

TEST_F(HiveScan, JudgesOnlyStringValuesUpToTheirFirstNul) {
  auto& reg = machine.registry;
  const std::string key = "Software\\Types";
  reg.SetString(Root::CurrentUser, key, "expand", "%SystemRoot%\\gone.exe", platform::kRegExpandSz);
  reg.SetValue(Root::CurrentUser, key, "multi", platform::kRegMultiSz,
               testing_support::Utf16Data(std::string("C:\\Gone\\m.exe\0\0", 16)));
  reg.SetValue(Root::CurrentUser, key, "binary", platform::kRegBinary, "C:\\Gone\\b.exe");
  reg.SetValue(Root::CurrentUser, key, "none", platform::kRegNone, "C:\\Gone\\n.exe");
  reg.SetDword(Root::CurrentUser, key, "dword", 7);
  reg.SetValue(Root::CurrentUser, key, "twoParts", platform::kRegSz,
               testing_support::Utf16Data(std::string("C:\\Gone\\first.exe\0C:\\Windows\\notepad.exe\0", 42)));
  reg.SetValue(Root::CurrentUser, key, "goodFirst", platform::kRegSz,
               testing_support::Utf16Data(std::string("C:\\Windows\\notepad.exe\0C:\\Gone\\second.exe\0", 43)));
  reg.SetValue(Root::CurrentUser, key, "noNul", platform::kRegSz,
               testing_support::Utf16Data("C:\\Gone\\raw.exe"));
  EXPECT_EQ(Run({"2"}),
            (Rows{Missing("%SystemRoot%\\gone.exe", "HKEY_CURRENT_USER\\Software\\Types\\expand",
                          ekValueInKeyPath),
                  Missing("C:\\Gone\\first.exe", "HKEY_CURRENT_USER\\Software\\Types\\twoParts",
                          ekValueInKeyPath),
                  Missing("C:\\Gone\\raw.exe", "HKEY_CURRENT_USER\\Software\\Types\\noNul",
                          ekValueInKeyPath)}));
}

TEST_F(HiveScan, WalksSubKeysDepthFirstShowingEachKey) {
  Broken(Root::CurrentUser, "Software\\B");
  Broken(Root::CurrentUser, "Software\\A\\Y");
  Broken(Root::CurrentUser, "Software\\A\\X\\Deep");
  Broken(Root::CurrentUser, "Software\\A");
  EXPECT_EQ(Run({"2"}),
            (Rows{Missing("C:\\Gone\\v.exe", "HKEY_CURRENT_USER\\Software\\A\\v", ekValueInKeyPath),
                  Missing("C:\\Gone\\v.exe", "HKEY_CURRENT_USER\\Software\\A\\X\\Deep\\v",
                          ekValueInKeyPath),
                  Missing("C:\\Gone\\v.exe", "HKEY_CURRENT_USER\\Software\\A\\Y\\v",
                          ekValueInKeyPath),
                  Missing("C:\\Gone\\v.exe", "HKEY_CURRENT_USER\\Software\\B\\v",
                          ekValueInKeyPath)}));
  EXPECT_EQ(Keys(), (Rows{"", "Software", "Software\\A", "Software\\A\\X", "Software\\A\\X\\Deep",
                          "Software\\A\\Y", "Software\\B"}));
  EXPECT_EQ(counting.writeOpens, 0);
}

TEST_F(HiveScan, CategoriesScanTheirRootsWithTheirCaptions) {
  Broken(Root::ClassesRoot, ".x");
  Broken(Root::CurrentUser, "Software\\U");
  Broken(Root::LocalMachine, "Software\\M");
  Broken(Root::LocalMachine, "System\\NotSoftware");
  Broken(Root::Users, "S-1-5-21\\Software\\U");
  Broken(Root::LocalMachine, std::string(kAppPaths) + "\\a.exe", "");
  EXPECT_EQ(Run({"1", "2", "3", "4", "15"}),
            (Rows{Missing("C:\\Gone\\v.exe", "HKEY_CLASSES_ROOT\\.x\\v", ekValueInKeyPath),
                  Missing("C:\\Gone\\v.exe", "HKEY_CURRENT_USER\\Software\\U\\v", ekValueInKeyPath),
                  Missing("C:\\Gone\\v.exe", "HKEY_LOCAL_MACHINE\\Software\\M\\v", ekValueInKeyPath),
                  Missing("C:\\Gone\\v.exe", "HKEY_USERS\\S-1-5-21\\Software\\U\\v",
                          ekValueInKeyPath),
                  Row(Issue{"Software Locations Issue", "C:\\Gone\\.exe",
                            "HKEY_LOCAL_MACHINE\\" + std::string(kAppPaths) + "\\a.exe\\",
                            ekValueInKeyPath, false})}));
  Rows captions;
  for (const std::string& e : log.Events())
    if (e.rfind("caption:", 0) == 0) captions.push_back(e.substr(8));
  EXPECT_EQ(captions, (Rows{"Scanning: HKEY_CLASSES_ROOT", "Scanning: HKEY_CURRENT_USER",
                            "Scanning: HKEY_LOCAL_MACHINE", "Scanning: HKEY_USERS",
                            "Scanning: Software Locations",
                            "Optimizing...Do not close the dialog."}));
}

TEST_F(HiveScan, LocalMachineSkipListAppliesOnlyDuringCategory3) {
  Broken(Root::LocalMachine, kRun);
  Broken(Root::LocalMachine, std::string(kRun) + "\\Sub");
  Broken(Root::LocalMachine, std::string(kRun) + "X");  // only whole names match
  Broken(Root::LocalMachine, std::string(kRun) + "Once");
  Broken(Root::LocalMachine, std::string(kAppPaths) + "\\a.exe");
  Broken(Root::LocalMachine, "Software\\Classes\\Applications\\x.exe");
  Broken(Root::LocalMachine, "SOFTWARE\\Microsoft\\Office\\Delivery\\SourceEngine\\Downloads");
  EXPECT_EQ(Run({"3"}), (Rows{Missing("C:\\Gone\\v.exe",
                                      "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\"
                                      "CurrentVersion\\RunX\\v",
                                      ekValueInKeyPath)}));
  log.Reset();
  EXPECT_EQ(Run({"15"}).size(), 1u);  // App Paths itself is category 15's key
}

TEST_F(HiveScan, SkipListMatchesTheEnumeratedNameInAnyCase) {
  Broken(Root::LocalMachine, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN");
  Broken(Root::LocalMachine, "SOFTWARE\\MICROSOFT\\WINDOWS\\CURRENTVERSION\\RUN\\Deeper");
  EXPECT_EQ(Run({"3"}), Rows{});
}

TEST_F(HiveScan, CurrentUserSkipListAppliesOnlyDuringCategory2) {
  Broken(Root::CurrentUser, kRun);
  Broken(Root::CurrentUser, "AppEvents\\Schemes\\Apps\\.Default");
  Broken(Root::CurrentUser,
         "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU\\txt");
  Broken(Root::CurrentUser, std::string(kAppPaths) + "\\a.exe");  // the HKLM list does not apply
  EXPECT_EQ(Run({"2"}), (Rows{Missing("C:\\Gone\\v.exe",
                                      "HKEY_CURRENT_USER\\" + std::string(kAppPaths) + "\\a.exe\\v",
                                      ekValueInKeyPath)}));
  // Any other caller walks the same keys.
  log.Reset();
  auto scan = Scan();
  scan->ScanKeyTree("HKEY_CURRENT_USER", "", scan->DriveLetters, "", FindingRule::PathReference);
  EXPECT_EQ(log.Issues().size(), 4u);
}

TEST_F(HiveScan, NestedWow6432NodeIsLeftOutUnderLocalMachineOnly) {
  Broken(Root::LocalMachine, "Software\\Wow6432Node\\App");
  Broken(Root::LocalMachine, "Software\\Wow6432Node\\Wow6432Node\\App");
  Broken(Root::LocalMachine, "Software\\Wow6432Node\\Wow6432Node");
  Broken(Root::CurrentUser, "Software\\Wow6432Node\\Wow6432Node\\App");
  EXPECT_EQ(Run({"3", "2"}),
            (Rows{Missing("C:\\Gone\\v.exe", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\App\\v",
                          ekValueInKeyPath),
                  Missing("C:\\Gone\\v.exe",
                          "HKEY_CURRENT_USER\\Software\\Wow6432Node\\Wow6432Node\\App\\v",
                          ekValueInKeyPath)}));
  log.Reset();
  auto scan = Scan();
  scan->ScanKeyTree("HKEY_LOCAL_MACHINE", "software\\WOW6432NODE\\wow6432node\\App",
                    scan->DriveLetters, "", FindingRule::PathReference);
  EXPECT_TRUE(log.Issues().empty());
}

TEST_F(HiveScan, FragmentRulesApplyOnNt6OtherThanWindows7) {
  const std::string immersiveSub = std::string(kImmersive) + "\\Sub";
  const std::string lowerImmersive = "software\\microsoft\\windows\\currentversion\\immersiveshell";
  Broken(Root::CurrentUser, immersiveSub);
  Broken(Root::LocalMachine, immersiveSub);
  Broken(Root::LocalMachine, "Software\\Microsoft\\PowerShell\\3\\Engine");
  Broken(Root::LocalMachine, "Software\\Microsoft\\PowerShell\\1\\Engine");
  Broken(Root::CurrentUser, "Software\\Microsoft\\PowerShell\\3\\Engine");
  struct Case {
    platform::OsVersion version;
    size_t issues;
  } cases[] = {
      {{2, 6, 2}, 2},  // HKLM PowerShell\1 and HKCU PowerShell\3
      {{2, 6, 0}, 2},
      {{2, 6, 1}, 5},  // Windows 7: nothing skipped
      {{2, 5, 1}, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version.major << "." << c.version.minor);
    machine.system.version = c.version;
    log.Reset();
    EXPECT_EQ(Run({"2", "3"}).size(), c.issues);
  }
  // Case-sensitive: the lower-case spelling is scanned even on NT 6.
  machine.system.version = {2, 6, 2};
  Broken(Root::Users, lowerImmersive);
  log.Reset();
  EXPECT_EQ(Run({"4"}).size(), 1u);
}

TEST_F(HiveScan, UnreadableKeysAreSkippedWithTheirSubTree) {
  Broken(Root::CurrentUser, "Software\\Locked");
  Broken(Root::CurrentUser, "Software\\Locked\\Inner");
  Broken(Root::CurrentUser, "Software\\Open");
  Broken(Root::CurrentUser, "Software\\ReadOnly");
  machine.registry.DenyOpen(Root::CurrentUser, "Software\\Locked");
  machine.registry.DenyWrite(Root::CurrentUser, "Software\\ReadOnly");
  EXPECT_EQ(Run({"2"}),
            (Rows{Missing("C:\\Gone\\v.exe", "HKEY_CURRENT_USER\\Software\\Open\\v",
                          ekValueInKeyPath),
                  Missing("C:\\Gone\\v.exe", "HKEY_CURRENT_USER\\Software\\ReadOnly\\v",
                          ekValueInKeyPath)}));
  EXPECT_EQ(counting.writeOpens, 0);
}

TEST_F(HiveScan, RootNamesAreMappedInAnyCaseAndShownUpperCased) {
  Broken(Root::CurrentConfig, "System\\Cfg");
  auto scan = Scan();
  scan->ScanKeyTree("hkey_current_config", "System", scan->DriveLetters, "",
                    FindingRule::PathReference);
  scan->ScanKeyTree("HKEY_NOWHERE", "", scan->DriveLetters, "", FindingRule::PathReference);
  scan->ScanKeyTree("HKCC", "", scan->DriveLetters, "", FindingRule::PathReference);
  EXPECT_EQ(
      Issues(),
      (Rows{Missing("C:\\Gone\\v.exe", "HKEY_CURRENT_CONFIG\\System\\Cfg\\v", ekValueInKeyPath)}));
}

TEST_F(HiveScan, RequiredSuffixIsPassedOn) {
  const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App";
  machine.registry.SetString(Root::LocalMachine, uninstall, "exe", "C:\\Gone\\u.EXE /x");
  machine.registry.SetString(Root::LocalMachine, uninstall, "txt", "C:\\Gone\\readme.txt");
  auto scan = Scan();
  scan->ScanKeyTree("HKEY_LOCAL_MACHINE", "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
                    scan->DriveLetters, ".exe", FindingRule::InstallerReference);
  EXPECT_EQ(Issues(), (Rows{Row(Issue{"Installer Refrence Issue", "C:\\Gone\\u.EXE /x",
                                      "HKEY_LOCAL_MACHINE\\" + uninstall + "\\exe",
                                      ekValueInKeyPath, false})}));
}

TEST_F(HiveScan, StopEndsTheWalkBetweenValues) {
  for (const char* name : {"a", "b", "c"}) Broken(Root::CurrentUser, "Software\\K", name);
  Broken(Root::CurrentUser, "Software\\K\\Sub");
  auto scan = Scan();
  log.onIssue = [&](const Issue&) { scan->Stop(); };
  scan->ScanKeyTree("HKEY_CURRENT_USER", "Software", scan->DriveLetters, "",
                    FindingRule::PathReference);
  EXPECT_EQ(log.Issues().size(), 1u);
  EXPECT_EQ(Keys(), (Rows{"Software", "Software\\K"}));
}

}  // namespace
}  // namespace tallowin
