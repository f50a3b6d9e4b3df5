// Empty and obsolete keys (categories 6, 12, 14) over the in-memory machine.

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/native/category_test_support.h"

namespace tallowin {
namespace {

using category_test::CategoryTest;
using category_test::Row;
using category_test::RunScan;
using platform::Root;
using platform::memory::MemoryMachine;
using Rows = std::vector<std::string>;

const std::string kUninstall = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall)";
const char* kEmpty = "Empty Registry Keys";
const char* kObsolete = "Obsolete Software Entry";

int Count(MemoryMachine& machine, Root root, const std::string& path) {
  category_test::Recorder recorder;
  TScanTaskThread scan(machine.platform(), recorder, true);
  return scan.CountKeyContent(root, path, 1);
}

TEST(CountKeyContent, EmptyOnlyWhenReadableAndHoldingNothing) {
  struct Case {
    const char* name;
    std::function<void(platform::memory::MemoryRegistry&)> build;
    bool empty;
  };
  const std::string k = R"(Software\K)";
  const Case cases[] = {
      {"no values, no sub-keys", [&](auto& r) { r.CreateKey(Root::CurrentUser, k); }, true},
      {"default value with an empty string",
       [&](auto& r) { r.SetString(Root::CurrentUser, k, "", ""); }, false},
      {"one empty sub-key", [&](auto& r) { r.CreateKey(Root::CurrentUser, k + R"(\A)"); }, true},
      {"chain of single empty sub-keys",
       [&](auto& r) { r.CreateKey(Root::CurrentUser, k + R"(\A\B\C\D)"); }, true},
      {"chain ending in a value",
       [&](auto& r) { r.SetDword(Root::CurrentUser, k + R"(\A\B\C)", "v", 0); }, false},
      {"two empty sub-keys",
       [&](auto& r) {
         r.CreateKey(Root::CurrentUser, k + R"(\A)");
         r.CreateKey(Root::CurrentUser, k + R"(\B)");
       },
       false},
      // Content that cannot be read is never called empty.
      {"key refused",
       [&](auto& r) {
         r.CreateKey(Root::CurrentUser, k);
         r.DenyOpen(Root::CurrentUser, k);
       },
       false},
      {"sub-key in the chain refused",
       [&](auto& r) {
         r.CreateKey(Root::CurrentUser, k + R"(\A\B)");
         r.DenyOpen(Root::CurrentUser, k + R"(\A\B)");
       },
       false},
      {"refused to full access only",
       [&](auto& r) {
         r.CreateKey(Root::CurrentUser, k);
         r.DenyWrite(Root::CurrentUser, k);
       },
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryMachine machine;
    c.build(machine.registry);
    EXPECT_EQ(Count(machine, Root::CurrentUser, k) < 1, c.empty);
  }
}

TEST(CountKeyContent, AChainDeeperThanTheRegistryAllowsIsNotFollowed) {
  MemoryMachine machine;
  std::string path = "Deep";
  for (int i = 0; i < 600; ++i) path += "\\d";
  machine.registry.CreateKey(Root::CurrentUser, path);
  ASSERT_TRUE(machine.registry.KeyExists(Root::CurrentUser, path));
  EXPECT_GE(Count(machine, Root::CurrentUser, "Deep"), 1);
}

TEST_F(CategoryTest, ObsoleteSoftware_LooksOneLevelBelowSoftwareOnly) {
  auto& reg = machine.registry;
  reg.CreateKey(Root::CurrentUser, R"(Software\X)");
  reg.SetString(Root::CurrentUser, R"(Software\Kept)", "v", "1");
  reg.CreateKey(Root::CurrentUser, R"(Software\Kept\EmptyBelow)");
  reg.CreateKey(Root::CurrentUser, R"(Software\Pair\A)");
  reg.CreateKey(Root::CurrentUser, R"(Software\Pair\B)");
  reg.CreateKey(Root::LocalMachine, R"(Software\Old\Single)");
  reg.CreateKey(Root::LocalMachine, R"(Software\Refused)");
  reg.DenyOpen(Root::LocalMachine, R"(Software\Refused)");

  EXPECT_EQ(Run(6), (Rows{Row(kObsolete, "X", R"(HKEY_CURRENT_USER\Software)", ekSubKeyInData),
                          Row(kObsolete, "Old", R"(HKEY_LOCAL_MACHINE\Software)",
                              ekSubKeyInData)}));
  EXPECT_EQ(recorder.captions, (Rows{"Scanning: Software Locations",
                                     "Optimizing...Do not close the dialog."}));
}

TEST_F(CategoryTest, EmptyUninstallEntries_ReportAtEveryDepth) {
  auto& reg = machine.registry;
  reg.SetString(Root::LocalMachine, kUninstall + R"(\App)", "DisplayName", "App");
  reg.CreateKey(Root::LocalMachine, kUninstall + R"(\App\Sub)");
  reg.CreateKey(Root::LocalMachine, kUninstall + R"(\Chain\Leaf)");
  reg.CreateKey(Root::LocalMachine, kUninstall + R"(\Pair\A)");
  reg.CreateKey(Root::LocalMachine, kUninstall + R"(\Pair\B)");

  const std::string hklm = "HKEY_LOCAL_MACHINE\\" + kUninstall;
  EXPECT_EQ(Run(12), (Rows{Row(kEmpty, "Sub", hklm + R"(\App)", ekSubKeyInData),
                           Row(kEmpty, "Chain", hklm, ekSubKeyInData),
                           Row(kEmpty, "Leaf", hklm + R"(\Chain)", ekSubKeyInData),
                           Row(kEmpty, "A", hklm + R"(\Pair)", ekSubKeyInData),
                           Row(kEmpty, "B", hklm + R"(\Pair)", ekSubKeyInData)}));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Empty Uninstaller Entry");
}

TEST_F(CategoryTest, EmptyUserKeys_SkipDefaultAndProtectedPaths) {
  SetVersion(2, 5, 1);  // XP: only the first group protects
  auto& reg = machine.registry;
  reg.CreateKey(Root::Users, "TopEmpty");
  reg.CreateKey(Root::Users, R"(.DEFAULT\Software\Empty)");
  reg.SetString(Root::Users, R"(S-1\Software\App)", "v", "1");
  reg.CreateKey(Root::Users, R"(S-1\Software\App\.default\Empty)");
  reg.CreateKey(Root::Users, R"(S-1\Software\App\Gone)");
  reg.CreateKey(Root::Users, R"(S-1\Software\App\printers)");  // fragments match in their case only
  reg.CreateKey(Root::Users, R"(S-1\Software\Classes\Empty)");
  reg.CreateKey(Root::Users, R"(S-1\Printers\Empty)");
  reg.CreateKey(Root::Users, R"(S-1\Software\Refused\Empty)");
  reg.DenyOpen(Root::Users, R"(S-1\Software\Refused\Empty)");

  EXPECT_EQ(Run(14),
            (Rows{Row(kEmpty, "Gone", R"(HKEY_USERS\S-1\Software\App)", ekSubKeyInData),
                  Row(kEmpty, "printers", R"(HKEY_USERS\S-1\Software\App)", ekSubKeyInData),
                  Row(kEmpty, "TopEmpty", R"(HKEY_USERS\)", ekSubKeyInData)}));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Empty Registry Keys");
}

TEST(EmptyUserKeys, VersionGroupsProtectOnlyOnTheirWindows) {
  struct Case {
    platform::OsVersion version;
    bool explorerReported, uninstallReported;
  };
  // Explorer is in the Windows 7 and NT 6 groups, Uninstall only in the NT 6 group.
  const Case cases[] = {{{2, 5, 1}, true, true},
                        {{2, 6, 1}, false, true},
                        {{2, 6, 0}, false, false},
                        {{2, 6, 2}, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version.major << "." << c.version.minor);
    MemoryMachine machine;
    category_test::Recorder recorder;
    machine.system.version = c.version;
    machine.registry.SetString(Root::Users, R"(S-1\Software\Microsoft\Windows\CurrentVersion)",
                               "v", "1");
    machine.registry.CreateKey(Root::Users,
                               R"(S-1\Software\Microsoft\Windows\CurrentVersion\Explorer\E)");
    machine.registry.SetString(Root::Users, R"(S-1\Software\Microsoft\Windows\CurrentVersion\Explorer)", "v", "1");
    machine.registry.CreateKey(Root::Users,
                               R"(S-1\Software\Microsoft\Windows\CurrentVersion\Uninstall\U)");
    machine.registry.SetString(Root::Users, R"(S-1\Software\Microsoft\Windows\CurrentVersion\Uninstall)", "v", "1");
    const Rows found = RunScan(machine, machine.registry, recorder, {"14"});
    Rows expected;
    const std::string parent = R"(HKEY_USERS\S-1\Software\Microsoft\Windows\CurrentVersion\)";
    if (c.explorerReported) expected.push_back(Row(kEmpty, "E", parent + "Explorer", ekSubKeyInData));
    if (c.uninstallReported) expected.push_back(Row(kEmpty, "U", parent + "Uninstall", ekSubKeyInData));
    EXPECT_EQ(found, expected);
  }
}

TEST(IsUnprotectedKeyPath, FragmentsMatchAnywhereAndOnlyInTheirCase) {
  MemoryMachine machine;
  machine.system.version = {2, 5, 1};
  category_test::Recorder recorder;
  TScanTaskThread scan(machine.platform(), recorder, true);
  struct Case {
    const char* path;
    bool unprotected;
  };
  const Case cases[] = {
      {R"(S-1-5-21-7\Software\Classes\x)", false},
      {R"(S-1-5-21-7\software\classes\x)", true},
      {R"(S-1-5-21-7\Printers)", false},
      {R"(S-1-5-21-7\Software\Acme\Printers\x)", false},
      {R"(S-1-5-21-7\Keyboard Layout\Toggle)", false},
      {R"(S-1-5-19_Classes\x)", false},
      {R"(S-1-5-21-7_Classes\x)", true},
      {R"(S-1-5-21-7\Software\Microsoft\Windows NT\CurrentVersion\Winlogon)", false},
      {R"(S-1-5-21-7\Software\Microsoft\Windows\CurrentVersion\Run)", true},
      {R"(S-1-5-21-7\Software\KasperskyLab\protected\x)", false},
      {R"(S-1-5-21-7\Windows 3.1 Migration Status)", false},
      {R"(S-1-5-21-7\Software\Acme)", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(scan.IsUnprotectedKeyPath(c.path), c.unprotected);
  }
}

TEST_F(CategoryTest, EmptyUserKeys_StopEndsTheWalkAtOnce) {
  for (int i = 0; i < 40; ++i)
    machine.registry.CreateKey(Root::Users, R"(S-1\Software\E)" + std::to_string(i));
  int opensAtStop = 0;
  Run(14, {}, [&](TScanTaskThread& scan) {
    recorder.onIssue = [&] {
      scan.Stop();
      opensAtStop = counting.opens;
    };
  });
  EXPECT_EQ(recorder.issues.size(), 1u);
  EXPECT_EQ(counting.opens, opensAtStop);
}

}  // namespace
}  // namespace tallowin
