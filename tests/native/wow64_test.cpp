// 64-bit Windows seen whole by a 32-bit program (the Check64Bit setting): both registry
// views and both sides of the file-system redirection, over a memory machine that
// redirects as WOW64 does; and with the setting off, exactly what the 32-bit view shows.

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "platform/registry_view.h"
#include "repair/issue_list.h"
#include "repair/repair_run.h"
#include "repair/restore.h"
#include "scan/issue_target.h"
#include "tests/backend/registry_snapshot.h"
#include "tests/native/category_test_support.h"

namespace tallowin {
namespace {

using platform::Root;
using platform::View;
using platform::memory::MemoryMachine;

TEST(RegistryViewPaths, TheRedirectionNodeSitsWhereTheRegistryPutsIt) {
  struct Case {
    Root root;
    const char* path;
    std::optional<std::string> redirected;  // RedirectedPath
    const char* without;                    // WithoutRedirectionNode of `path`
  };
  const Case cases[] = {
      {Root::LocalMachine, "Software", "Software\\Wow6432Node", "Software"},
      {Root::LocalMachine, "SOFTWARE\\Microsoft\\Run", "SOFTWARE\\Wow6432Node\\Microsoft\\Run",
       "SOFTWARE\\Microsoft\\Run"},
      {Root::LocalMachine, "Software\\Classes\\CLSID", "Software\\Classes\\Wow6432Node\\CLSID",
       "Software\\Classes\\CLSID"},
      {Root::LocalMachine, "Software\\Wow6432Node\\Microsoft", std::nullopt, "Software\\Microsoft"},
      {Root::LocalMachine, "Software\\wow6432node", std::nullopt, "Software"},
      {Root::LocalMachine, "Software\\Classes\\Wow6432Node\\CLSID\\{A}", std::nullopt,
       "Software\\Classes\\CLSID\\{A}"},
      // Only where the registry puts the node does it count.
      {Root::LocalMachine, "Software\\Vendor\\Wow6432Node\\X", "Software\\Wow6432Node\\Vendor\\Wow6432Node\\X",
       "Software\\Vendor\\Wow6432Node\\X"},
      {Root::LocalMachine, "SYSTEM\\CurrentControlSet", std::nullopt, "SYSTEM\\CurrentControlSet"},
      {Root::ClassesRoot, "", "Wow6432Node", ""},
      {Root::ClassesRoot, "CLSID", "Wow6432Node\\CLSID", "CLSID"},
      {Root::ClassesRoot, "Wow6432Node\\CLSID", std::nullopt, "CLSID"},
      {Root::CurrentUser, "Software\\Microsoft\\Run", std::nullopt, "Software\\Microsoft\\Run"},
      {Root::CurrentUser, "Software\\Classes\\CLSID", "Software\\Classes\\Wow6432Node\\CLSID",
       "Software\\Classes\\CLSID"},
      {Root::Users, "S-1-5-21-1_Classes\\Wow6432Node\\CLSID", std::nullopt, "S-1-5-21-1_Classes\\CLSID"},
      {Root::Users, "S-1-5-21-1\\Software\\Classes\\Wow6432Node\\X", std::nullopt,
       "S-1-5-21-1\\Software\\Classes\\X"},
      {Root::Users, "", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(platform::RootName(c.root)) + "\\" + c.path);
    EXPECT_EQ(platform::RedirectedPath(c.root, c.path), c.redirected);
    EXPECT_EQ(platform::WithoutRedirectionNode(c.root, c.path), c.without);
    EXPECT_EQ(platform::IsBelowRedirectionNode(c.root, c.path), std::string(c.path) != c.without);
  }
}

// ---- the file test -----------------------------------------------------------------

class BothSidesFileTest : public ::testing::Test {
 protected:
  BothSidesFileTest() {
    m.system.wow64 = true;
    m.files.wow64 = true;
    for (const char* file :
         {"C:\\Windows\\notepad.exe", "C:\\Windows\\system32\\only64.dll",
          "C:\\Windows\\SysWOW64\\only32.dll", "C:\\Windows\\system32\\drivers\\etc\\hosts",
          "C:\\Windows\\SysWOW64\\drivers\\etc\\only32", "C:\\Program Files\\App64\\app.exe",
          "C:\\Program Files (x86)\\App32\\app.exe",
          "C:\\Program Files\\Common Files\\Shared64\\c.dll",
          "C:\\Program Files (x86)\\Common Files\\Shared32\\c.dll"})
      m.files.AddFile(file);
    m.files.AddFolder("C:\\Windows\\SysWOW64\\Folder32");
    m.files.SetEnvironment("SystemRoot", "C:\\Windows");
    m.files.SetEnvironment("windir", "C:\\Windows");
    m.files.SetEnvironment("ProgramFiles", "C:\\Program Files (x86)");
    m.files.SetEnvironment("ProgramW6432", "C:\\Program Files");
    m.files.SetEnvironment("CommonProgramFiles", "C:\\Program Files (x86)\\Common Files");
    m.files.SetEnvironment("CommonProgramW6432", "C:\\Program Files\\Common Files");
  }

  bool Broken(const std::string& data, bool check64Bit, const std::string& suffix = "") {
    TScanTaskThread scan(m.platform(), recorder, true, check64Bit);
    return scan.ResolveFileReference(data, suffix, false, scan.DriveLetters);
  }

  MemoryMachine m;
  category_test::Recorder recorder;
};

TEST_F(BothSidesFileTest, AReferenceIsBrokenOnlyWhenMissingOnBothSides) {
  struct Case {
    const char* data;
    bool broken;
  };
  const Case cases[] = {
      {"C:\\Windows\\System32\\only64.dll", false},
      {"C:\\Windows\\System32\\only32.dll", false},  // found in SysWOW64
      {"C:\\WINDOWS\\system32\\gone.dll", true},
      {"%SystemRoot%\\system32\\only32.dll", false},
      {"%windir%\\System32\\gone.dll,1", true},
      {"\"C:\\Windows\\System32\\only64.dll\" /x", false},
      {"C:\\Windows\\System32\\", false},
      {"C:\\Windows\\System32\\Gone\\", true},
      // Literal folders are looked for as written.
      {"C:\\Windows\\SysWOW64\\only32.dll", false},
      {"C:\\Windows\\SysWOW64\\only64.dll", true},
      {"C:\\Program Files\\App64\\app.exe -run", false},
      {"C:\\Program Files\\App32\\app.exe", true},
      {"C:\\Program Files (x86)\\App32\\app.exe", false},
      {"C:\\Program Files (x86)\\App64\\app.exe", true},
      // The program-folder variables mean either folder.
      {"%ProgramFiles%\\App64\\app.exe", false},
      {"\"%ProgramFiles%\\App32\\app.exe\" /s", false},
      {"%PROGRAMFILES%\\Gone\\app.exe", true},
      {"%CommonProgramFiles%\\Shared64\\c.dll", false},
      {"%CommonProgramFiles%\\Shared32\\c.dll", false},
      {"%CommonProgramFiles%\\Gone\\c.dll", true},
      // Sysnative is System32; the folders Windows never redirects are System32's alone.
      {"C:\\Windows\\Sysnative\\only64.dll", false},
      {"C:\\Windows\\Sysnative\\only32.dll", true},
      {"C:\\Windows\\system32\\drivers\\etc\\hosts", false},
      {"C:\\Windows\\system32\\drivers\\etc\\only32", true},
      {"C:\\Windows\\notepad", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.data);
    EXPECT_EQ(Broken(c.data, true), c.broken);
  }
  EXPECT_FALSE(Broken("C:\\Windows\\System32\\only32.dll,1", true, ".dll"));
  EXPECT_TRUE(Broken("C:\\Windows\\System32\\gone.dll,1", true, ".dll"));
}

TEST_F(BothSidesFileTest, WithTheSettingOffOrWithoutWow64NothingChanges) {
  // Off under WOW64: references into the system and program folders are not judged.
  for (const char* data : {"C:\\WINDOWS\\system32\\gone.dll", "%ProgramFiles%\\Gone\\app.exe",
                           "C:\\Program Files (x86)\\App64\\app.exe"}) {
    SCOPED_TRACE(data);
    EXPECT_FALSE(Broken(data, false));
  }
  EXPECT_TRUE(Broken("C:\\Windows\\gone.exe", false));
  // Sysnative was always judged, through the redirection of this process.
  EXPECT_TRUE(Broken("C:\\Windows\\Sysnative\\only32.dll", false));
  EXPECT_FALSE(Broken("C:\\Windows\\Sysnative\\only64.dll", false));
  // On, on 32-bit Windows: the one System32 there is, and no second side.
  m.system.wow64 = false;
  m.files.wow64 = false;
  EXPECT_TRUE(Broken("C:\\Windows\\System32\\only32.dll", true));
  EXPECT_FALSE(Broken("C:\\Windows\\System32\\only64.dll", true));
  EXPECT_TRUE(Broken("%ProgramFiles%\\App64\\app.exe", true));
}

// A shortcut also counts as present where the other program folder holds its target: a
// 32-bit process gets the "(x86)" folder from a link that names %ProgramFiles%.
TEST_F(BothSidesFileTest, ShortcutTargetsAreJudgedOnBothSidesAndInEitherProgramFolder) {
  m.files.SetEnvironment("ProgramFiles(x86)", "C:\\Program Files (x86)");
  m.files.SetEnvironment("CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files");
  struct Case {
    const char* target;
    bool reported;  // with Check64Bit; with it off none is
  };
  const Case cases[] = {
      {"C:\\Windows\\System32\\only32.dll", false},
      {"C:\\Windows\\System32\\gone.exe", true},
      {"C:\\Windows\\System32\\Folder32", false},
      {"C:\\Program Files (x86)\\App64\\app.exe", false},
      {"c:\\program files (x86)\\App64\\app.exe", false},
      {"C:\\Program Files\\App32\\app.exe", false},
      {"C:\\Program Files (x86)\\Common Files\\Shared64\\c.dll", false},
      {"C:\\Program Files\\Common Files\\Shared32\\c.dll", false},
      {"C:\\Program Files (x86)\\Gone\\app.exe", true},
      {"C:\\Program Files\\Gone\\gone.exe", true},
      {"C:\\Program Files (x86)\\Common Files\\Gone\\c.dll", true},
      {"C:\\Program Files (x86)Other\\App64\\app.exe", true},  // not the folder itself
  };
  std::vector<std::string> expected;
  int n = 0;
  for (const Case& c : cases) {
    const std::string link = "C:\\Users\\me\\Desktop\\" + std::to_string(++n) + ".lnk";
    m.files.AddShortcut(link, c.target);
    if (c.reported) expected.push_back(link + " | " + c.target);
  }
  m.files.SetSpecialFolder(platform::kCsidlDesktop, "C:\\Users\\me\\Desktop");
  for (const bool check : {true, false}) {
    SCOPED_TRACE(check);
    TScanTaskThread scan(m.platform(), recorder, true, check);
    scan.TaskList = {"106"};
    recorder.Reset();
    scan.Execute();
    std::vector<std::string> rows;
    for (const Issue& issue : recorder.issues) rows.push_back(issue.key + " | " + issue.data);
    std::sort(rows.begin(), rows.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(rows, check ? expected : std::vector<std::string>{});
  }
}

// ---- both registry views -----------------------------------------------------------

constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kRun32 = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const char* kAppPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kAppPaths32 =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\App Paths";
constexpr const char* kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kUninstall32 =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kSharedDlls = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";
constexpr const char* kSharedDlls32 =
    "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\SharedDlls";

// Stale and live entries in each view, written where the 64-bit view shows them; shared
// keys are links below the node, as Wine makes them.
class BothViewsTest : public ::testing::Test {
 protected:
  BothViewsTest() {
    m.system.wow64 = true;
    m.files.wow64 = true;
    m.registry.wow64 = true;
    m.files.AddFile("C:\\Live\\live.exe");
    m.files.AddFile("C:\\Live\\live.dll");
    auto& r = m.registry;
    r.SetString(Root::LocalMachine, kRun, "Stale64", "C:\\Gone\\a64.exe");
    r.SetString(Root::LocalMachine, kRun, "Live64", "C:\\Live\\live.exe");
    r.SetString(Root::LocalMachine, kRun32, "Stale32", "C:\\Gone\\a32.exe");
    r.SetString(Root::LocalMachine, kRun32, "Live32", "C:\\Live\\live.exe");
    r.SetString(Root::LocalMachine, std::string(kAppPaths) + "\\gone.exe", "", "C:\\Gone\\g.exe");
    r.SetString(Root::LocalMachine, std::string(kAppPaths) + "\\live.exe", "", "C:\\Live\\live.exe");
    r.CreateLink(Root::LocalMachine, kAppPaths32, Root::LocalMachine, kAppPaths);
    r.CreateKey(Root::LocalMachine, std::string(kUninstall) + "\\Gone64");
    r.SetString(Root::LocalMachine, std::string(kUninstall) + "\\Live64", "UninstallString", "x");
    r.CreateKey(Root::LocalMachine, std::string(kUninstall32) + "\\Gone32");
    r.SetString(Root::LocalMachine, std::string(kUninstall32) + "\\Live32", "UninstallString", "x");
    r.SetDword(Root::LocalMachine, kSharedDlls, "C:\\Gone\\s64.dll", 1);
    r.SetDword(Root::LocalMachine, kSharedDlls, "C:\\Live\\live.dll", 1);
    r.SetDword(Root::LocalMachine, kSharedDlls32, "C:\\Gone\\s32.dll", 1);
    r.SetDword(Root::LocalMachine, kSharedDlls32, "C:\\Live\\live.dll", 2);
    r.SetString(Root::ClassesRoot, "CLSID\\{A64}\\InprocServer32", "", "C:\\Gone\\c64.dll");
    r.SetString(Root::ClassesRoot, "CLSID\\{L64}\\InprocServer32", "", "C:\\Live\\live.dll");
    r.SetString(Root::ClassesRoot, "Wow6432Node\\CLSID\\{A32}\\InprocServer32", "",
                "C:\\Gone\\c32.dll");
    r.SetString(Root::ClassesRoot, "Wow6432Node\\CLSID\\{L32}\\InprocServer32", "",
                "C:\\Live\\live.dll");
    r.SetString(Root::ClassesRoot, "TypeLib\\{T}", "", "x");
    r.CreateLink(Root::ClassesRoot, "Wow6432Node\\TypeLib", Root::ClassesRoot, "TypeLib");
  }

  std::vector<Issue> Scan(const std::vector<std::string>& codes, bool check64Bit) {
    TScanTaskThread scan(m.platform(), recorder, true, check64Bit);
    scan.TaskList = codes;
    recorder.Reset();
    scan.Execute();
    return recorder.issues;
  }

  // "key | data" of every row, sorted.
  static std::vector<std::string> Keys(const std::vector<Issue>& issues) {
    std::vector<std::string> keys;
    for (const Issue& issue : issues) keys.push_back(issue.key + " | " + issue.data);
    std::sort(keys.begin(), keys.end());
    return keys;
  }

  testing_support::Snapshot Take(Root root, const std::string& path) {
    testing_support::Snapshot snapshot;
    EXPECT_TRUE(testing_support::TakeSnapshot(m.registry.InView(View::Native), root, path, snapshot));
    return snapshot;
  }

  MemoryMachine m;
  category_test::Recorder recorder;
};

TEST_F(BothViewsTest, EachViewsStaleEntriesAreFoundOnceUnderTheirRealPaths) {
  const std::vector<Issue> issues = Scan({"8", "9", "15", "16", "104"}, true);
  EXPECT_EQ(Keys(issues),
            (std::vector<std::string>{
                "HKEY_CLASSES_ROOT\\CLSID\\{A64}\\InprocServer32 | C:\\Gone\\c64.dll",
                "HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{A32}\\InprocServer32 | C:\\Gone\\c32.dll",
                "HKEY_LOCAL_MACHINE\\" + std::string(kAppPaths) + "\\gone.exe\\ | C:\\Gone\\g.exe",
                "HKEY_LOCAL_MACHINE\\" + std::string(kRun) + "\\Stale64 | C:\\Gone\\a64.exe",
                "HKEY_LOCAL_MACHINE\\" + std::string(kSharedDlls) + " | C:\\Gone\\s64.dll",
                "HKEY_LOCAL_MACHINE\\" + std::string(kUninstall) + " | Gone64",
                "HKEY_LOCAL_MACHINE\\" + std::string(kRun32) + "\\Stale32 | C:\\Gone\\a32.exe",
                "HKEY_LOCAL_MACHINE\\" + std::string(kSharedDlls32) + " | C:\\Gone\\s32.dll",
                "HKEY_LOCAL_MACHINE\\" + std::string(kUninstall32) + " | Gone32",
            }));
  for (const Issue& issue : issues) {
    SCOPED_TRACE(issue.key);
    EXPECT_EQ(issue.view, View::Native);
    // The stamp was taken where the row points, so the repair will find the same item.
    EXPECT_NE(issue.stamp.kind, ItemStamp::Kind::None);
  }
}

TEST_F(BothViewsTest, WithTheSettingOffTheScanSeesTheProcessViewAlone) {
  const std::vector<Issue> issues = Scan({"8", "9", "15", "16", "104"}, false);
  // The 32-bit view names its keys without the node; the 64-bit keys are not seen.
  EXPECT_EQ(Keys(issues),
            (std::vector<std::string>{
                "HKEY_CLASSES_ROOT\\CLSID\\{A32}\\InprocServer32 | C:\\Gone\\c32.dll",
                "HKEY_LOCAL_MACHINE\\" + std::string(kAppPaths) + "\\gone.exe\\ | C:\\Gone\\g.exe",
                "HKEY_LOCAL_MACHINE\\" + std::string(kRun) + "\\Stale32 | C:\\Gone\\a32.exe",
                "HKEY_LOCAL_MACHINE\\" + std::string(kSharedDlls) + " | C:\\Gone\\s32.dll",
                "HKEY_LOCAL_MACHINE\\" + std::string(kUninstall) + " | Gone32",
            }));
  for (const Issue& issue : issues) EXPECT_EQ(issue.view, View::Process);
  // And a 32-bit machine is not touched by the setting.
  m.system.wow64 = false;
  m.registry.wow64 = false;
  const std::vector<Issue> plain = Scan({"16"}, true);
  ASSERT_EQ(plain.size(), 1u);
  EXPECT_EQ(plain[0].key, "HKEY_LOCAL_MACHINE\\" + std::string(kRun) + "\\Stale64");
  EXPECT_EQ(plain[0].view, View::Process);
}

TEST_F(BothViewsTest, TheHiveWalkSeesEveryKeyOnceAndKeepsItsRules) {
  auto& r = m.registry;
  r.SetString(Root::LocalMachine, "Software\\Vendor\\App", "Path", "C:\\Gone\\v64.exe");
  r.SetString(Root::LocalMachine, "Software\\Wow6432Node\\Vendor\\App", "Path", "C:\\Gone\\v32.exe");
  r.SetString(Root::LocalMachine, "Software\\Shared", "Path", "C:\\Gone\\shared.exe");
  r.CreateLink(Root::LocalMachine, "Software\\Wow6432Node\\Shared", Root::LocalMachine,
               "Software\\Shared");
  // A link elsewhere is followed, as the process view does.
  r.SetString(Root::LocalMachine, "System\\Elsewhere", "Path", "C:\\Gone\\elsewhere.exe");
  r.CreateLink(Root::LocalMachine, "Software\\Vendor\\Linked", Root::LocalMachine,
               "System\\Elsewhere");
  r.SetString(Root::LocalMachine, "Software\\Wow6432Node\\Wow6432Node\\X", "Path",
              "C:\\Gone\\nested.exe");
  r.SetString(Root::LocalMachine, "Software\\Classes\\Wow6432Node\\Wow6432Node\\X", "Path",
              "C:\\Gone\\nested2.exe");
  const std::vector<Issue> issues = Scan({"3"}, true);
  EXPECT_EQ(Keys(issues),
            (std::vector<std::string>{
                "HKEY_LOCAL_MACHINE\\Software\\Shared\\Path | C:\\Gone\\shared.exe",
                "HKEY_LOCAL_MACHINE\\Software\\Vendor\\App\\Path | C:\\Gone\\v64.exe",
                "HKEY_LOCAL_MACHINE\\Software\\Vendor\\Linked\\Path | C:\\Gone\\elsewhere.exe",
                "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Vendor\\App\\Path | C:\\Gone\\v32.exe",
            }));
  // Run, App Paths, Uninstall and SharedDlls of both views are other categories' keys.
  for (const std::string& key : recorder.keys) {
    SCOPED_TRACE(key);
    EXPECT_EQ(key.find("CurrentVersion\\Run"), std::string::npos);
    EXPECT_EQ(key.find("CurrentVersion\\Uninstall"), std::string::npos);
  }
}

TEST_F(BothViewsTest, TheFilterAndTheIgnoreListHoldForBothViews) {
  IssueList list;
  const auto add = [&](const std::string& key, EntryKind kind, const std::string& data, View view) {
    Issue issue{"p", data, key, kind, false};
    issue.view = view;
    list.Add(issue);
  };
  add("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Microsoft\\WBEM\\WDM\\x", ekValueInKeyPath, "d",
      View::Native);
  add("HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{08EE6878-C867-4D8C-A360-FED4B6501D54}", ekKey, "",
      View::Native);
  add("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Vendor\\App\\Path", ekValueInKeyPath, "d",
      View::Native);
  add("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node", ekSubKeyInData, "Vendor", View::Native);
  add("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Kept\\Path", ekValueInKeyPath, "d", View::Native);
  add("HKEY_LOCAL_MACHINE\\Software\\Kept\\Path", ekValueInKeyPath, "d", View::Native);
  // A row of the process view means what it says.
  add("HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Vendor\\Path", ekValueInKeyPath, "d",
      View::Process);
  FilterContext context;
  context.wow64 = true;
  context.ntSixOrLater = true;
  list.FilterResults({"HKEY_LOCAL_MACHINE\\Software\\Vendor"}, 1, context);
  std::vector<std::string> kept;
  for (const Issue& issue : list.rows) kept.push_back(issue.key);
  EXPECT_EQ(kept, (std::vector<std::string>{
                      "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Kept\\Path",
                      "HKEY_LOCAL_MACHINE\\Software\\Kept\\Path",
                      "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Vendor\\Path",
                  }));
}

// ---- repair and restore in the row's view -----------------------------------------

class YesPrompts : public RepairPrompts {
 public:
  bool AskYesNo(const std::string&) override { return true; }
  void ShowError(const std::string&) override {}
  bool RunRestorePointDialog() override { return true; }
};

TEST_F(BothViewsTest, FixRemovesTheRowsInTheirViewsAndTheRestorePutsThemBack) {
  m.files.AddFolder("C:\\Backup");
  IssueList list;
  for (Issue& issue : Scan({"8", "16", "104"}, true)) {
    issue.checked = true;
    list.Add(issue);
  }
  ASSERT_EQ(list.Count(), 6u);
  const testing_support::Snapshot machine = Take(Root::LocalMachine, "Software");
  const testing_support::Snapshot classes = Take(Root::ClassesRoot, "CLSID");
  const testing_support::Snapshot classes32 = Take(Root::ClassesRoot, "Wow6432Node\\CLSID");

  YesPrompts prompts;
  platform::Platform p = m.platform();
  list.filtered = true;  // as the post-scan filter leaves it
  const RepairResult result = FixErrors(list, p, {"C:\\Backup", false, 12}, prompts);
  ASSERT_EQ(result.fixed, 6u) << (result.problems.empty() ? "" : result.problems[0].detail);
  auto& r = m.registry;
  EXPECT_FALSE(r.GetValue(Root::LocalMachine, kRun, "Stale64"));
  EXPECT_FALSE(r.GetValue(Root::LocalMachine, kRun32, "Stale32"));
  EXPECT_TRUE(r.GetValue(Root::LocalMachine, kRun, "Live64"));
  EXPECT_TRUE(r.GetValue(Root::LocalMachine, kRun32, "Live32"));
  EXPECT_FALSE(r.KeyExists(Root::LocalMachine, std::string(kUninstall) + "\\Gone64"));
  EXPECT_FALSE(r.KeyExists(Root::LocalMachine, std::string(kUninstall32) + "\\Gone32"));
  EXPECT_FALSE(r.KeyExists(Root::ClassesRoot, "CLSID\\{A64}\\InprocServer32"));
  EXPECT_FALSE(r.KeyExists(Root::ClassesRoot, "Wow6432Node\\CLSID\\{A32}\\InprocServer32"));
  EXPECT_TRUE(r.KeyExists(Root::ClassesRoot, "CLSID\\{A64}"));

  // The backup names every key where the 64-bit view shows it, and says so.
  const std::string backup = m.files.Contents(result.backupFile);
  EXPECT_EQ(backup.rfind("REGEDIT4\r\n; Tallowin registry backup\r\n; Registry view: 64-bit\r\n\r\n[", 0), 0u)
      << backup;
  EXPECT_NE(backup.find("[HKEY_LOCAL_MACHINE\\" + std::string(kRun32) + "]\r\n\"Stale32\"="),
            std::string::npos);
  EXPECT_NE(backup.find("[HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{A32}\\InprocServer32]"),
            std::string::npos);

  // The restore runs the 64-bit editor, which imports the paths as written.
  m.processes.onStart = [&](const std::string& commandLine) {
    const std::string prefix = "\"C:\\Windows\\regedit.exe\" /s \"";
    if (commandLine.rfind(prefix, 0) != 0) return false;
    return m.registry.Import(m.files.Contents(result.backupFile));
  };
  CommandHint hint;
  const RestoreOutcome outcome = RestoreBackupFile(p, result.backupFile, "C:\\Backup", hint);
  EXPECT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
  EXPECT_TRUE(testing_support::SnapshotsMatch(machine, Take(Root::LocalMachine, "Software")));
  EXPECT_TRUE(testing_support::SnapshotsMatch(classes, Take(Root::ClassesRoot, "CLSID")));
  EXPECT_TRUE(
      testing_support::SnapshotsMatch(classes32, Take(Root::ClassesRoot, "Wow6432Node\\CLSID")));
  ASSERT_EQ(m.processes.startedViews.size(), 1u);
  EXPECT_EQ(m.processes.startedViews[0], View::Native);
}

TEST_F(BothViewsTest, ABackupOfOneViewTakesNoRowOfTheOther) {
  m.files.AddFolder("C:\\Backup");
  IssueList list;
  Issue native{"p", "", "HKEY_LOCAL_MACHINE\\" + std::string(kRun32) + "\\Stale32",
               ekValueInKeyPath, true};
  native.view = View::Native;
  Issue process{"p", "", "HKEY_LOCAL_MACHINE\\" + std::string(kRun) + "\\Stale32",
                ekValueInKeyPath, true};
  list.Add(process);
  list.Add(native);  // visited first: the file is a 64-bit view backup
  YesPrompts prompts;
  platform::Platform p = m.platform();
  list.filtered = true;  // as the post-scan filter leaves it
  const RepairResult result = FixErrors(list, p, {"C:\\Backup", false, 12}, prompts);
  ASSERT_EQ(result.rows.size(), 2u);
  EXPECT_EQ(result.rows[0].outcome, RepairOutcome::Deleted);
  EXPECT_EQ(result.rows[1].outcome, RepairOutcome::Refused);
  EXPECT_NE(result.rows[1].reason.find("other registry view"), std::string::npos);
}

}  // namespace
}  // namespace tallowin
