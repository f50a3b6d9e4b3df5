// Categories 5, 7, 8, 104 and 106 to 110 over the in-memory machine.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/forwarding_file_system.h"
#include "tests/native/category_test_support.h"
#include "tests/support/reg_data.h"

namespace tallowin::category_test {
namespace {

using platform::Root;

template <typename... Row>
std::vector<std::string> Expect(Row... rows) {
  return {std::string(rows)...};
}
const std::vector<std::string> kNone;

constexpr const char* kClasses = "Software\\Classes";
constexpr const char* kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";
constexpr const char* kApps = "Software\\Classes\\Applications";
constexpr const char* kUninstall = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders";
constexpr const char* kArpCache =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache";
constexpr const char* kMenuOrder = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\MenuOrder";
constexpr int kCsidlRecent = 0x08;

std::string Join(const std::string& a, const std::string& b) { return a + "\\" + b; }

class CategoriesBTest : public CategoryTest {
 protected:
  using CategoryTest::Run;
  std::vector<std::string> Run(std::vector<std::string> codes) {
    return RunScan(machine, counting, recorder, std::move(codes));
  }
  void SetNtVersion(uint32_t major, uint32_t minor) { SetVersion(2, major, minor); }
};

// ---- category 7 ---------------------------------------------------------------------

class FileExtensionsTest : public CategoriesBTest {
 protected:
  void SetUp() override {
    SetNtVersion(5, 1);  // XP: neither the Windows 7 nor the NT 6 rules
    machine.registry.CreateKey(Root::LocalMachine, kClasses);
    machine.registry.CreateKey(Root::CurrentUser, kFileExts);
  }
  std::string ClassIssue(const std::string& name) {
    return Row("Useless File Extension", name, "HKEY_LOCAL_MACHINE\\Software\\Classes",
               ekSubKeyInData);
  }
  std::string UserIssue(const std::string& name) {
    return Row("Useless File Extension", name, std::string("HKEY_CURRENT_USER\\") + kFileExts,
               ekSubKeyInData);
  }
};

TEST_F(FileExtensionsTest, ClassesPart_JudgesOwnCountsAndDefaultType) {
  auto& reg = machine.registry;
  const std::string c = kClasses;
  reg.SetString(Root::LocalMachine, Join(c, ".a_emptydefault"), "", "");
  reg.SetString(Root::LocalMachine, Join(c, ".b_emptynamed"), "Name", "");
  reg.SetDword(Root::LocalMachine, Join(c, ".c_dworddefault"), "", 0);
  reg.SetValue(Root::LocalMachine, Join(c, ".d_binarydefault"), "", platform::kRegBinary, "");
  reg.CreateKey(Root::LocalMachine, Join(c, ".e_nothing"));
  reg.CreateKey(Root::LocalMachine, Join(c, ".f_emptysubkey\\Sub"));
  reg.SetString(Root::LocalMachine, Join(c, ".g_text"), "", "txtfile");
  reg.SetString(Root::LocalMachine, Join(c, ".h_defaultplusnamed"), "", "");
  reg.SetString(Root::LocalMachine, Join(c, ".h_defaultplusnamed"), "Other", "");
  reg.SetValue(Root::LocalMachine, Join(c, ".i_multisz"), "", platform::kRegMultiSz,
               testing_support::Utf16Data(std::string("\0\0", 2)));
  reg.SetValue(Root::LocalMachine, Join(c, ".j_nulfirst"), "", platform::kRegSz,
               testing_support::Utf16Data(std::string("\0abc\0", 5)));
  reg.CreateKey(Root::LocalMachine, Join(c, "NoDotClass"));
  reg.CreateKey(Root::LocalMachine, Join(c, ".k_denied"));
  reg.DenyOpen(Root::LocalMachine, Join(c, ".k_denied"));

  EXPECT_EQ(Run(7), Expect(ClassIssue(".a_emptydefault"), ClassIssue(".e_nothing"),
                                  ClassIssue(".j_nulfirst"), ClassIssue("NoDotClass")));
  EXPECT_EQ(recorder.captions.front(), "Scanning: File Extensions");
  EXPECT_EQ(counting.writeOpens, 0);
}

TEST_F(FileExtensionsTest, ClassesPart_OnWow64Windows7OnlyKeysWithoutValuesCount) {
  SetNtVersion(6, 1);
  machine.system.wow64 = true;
  machine.registry.SetString(Root::LocalMachine, Join(kClasses, ".emptydefault"), "", "");
  machine.registry.CreateKey(Root::LocalMachine, Join(kClasses, ".nothing"));
  EXPECT_EQ(Run(7), Expect(ClassIssue(".nothing")));
}

TEST_F(FileExtensionsTest, PerUserPart_JudgesWholeSubtree) {
  auto& reg = machine.registry;
  const std::string f = kFileExts;
  reg.CreateKey(Root::CurrentUser, Join(f, ".a_chain\\OpenWithList\\Inner"));
  reg.SetString(Root::CurrentUser, Join(f, ".b_deepvalue\\OpenWithList"), "a", "x.exe");
  reg.CreateKey(Root::CurrentUser, Join(f, ".c_twoempty\\One"));
  reg.CreateKey(Root::CurrentUser, Join(f, ".c_twoempty\\Two"));
  reg.SetString(Root::CurrentUser, Join(f, ".d_emptydefault"), "", "");
  reg.CreateKey(Root::CurrentUser, Join(f, "."));
  // Content that cannot be read is never called empty.
  reg.CreateKey(Root::CurrentUser, Join(f, ".e_denied\\Sub"));
  reg.DenyOpen(Root::CurrentUser, Join(f, ".e_denied\\Sub"));
  reg.CreateKey(Root::CurrentUser, Join(f, ".f_deniedtop"));
  reg.DenyOpen(Root::CurrentUser, Join(f, ".f_deniedtop"));

  EXPECT_EQ(Run(7), Expect(UserIssue("."), UserIssue(".a_chain")));
}

TEST_F(FileExtensionsTest, PerUserPart_DotKeyIsSparedOnlyOnWindows7) {
  machine.registry.CreateKey(Root::CurrentUser, Join(kFileExts, "."));
  machine.registry.CreateKey(Root::CurrentUser, Join(kFileExts, ".x"));
  SetNtVersion(6, 1);
  EXPECT_EQ(Run(7), Expect(UserIssue(".x")));
  SetNtVersion(6, 0);
  EXPECT_EQ(Run(7), Expect(UserIssue("."), UserIssue(".x")));
}

TEST_F(FileExtensionsTest, PerUserPart_OnWow64Windows7OnlyOwnCountsCount) {
  SetNtVersion(6, 1);
  machine.system.wow64 = true;
  machine.registry.CreateKey(Root::CurrentUser, Join(kFileExts, ".chain\\Empty"));
  machine.registry.CreateKey(Root::CurrentUser, Join(kFileExts, ".none"));
  machine.registry.CreateKey(Root::CurrentUser, Join(kFileExts, "."));
  EXPECT_EQ(Run(7), Expect(UserIssue("."), UserIssue(".none")));
}

TEST_F(FileExtensionsTest, MissingStartingKeysEndQuietly) {
  machine.registry.DenyOpen(Root::LocalMachine, kClasses);
  machine.registry.CreateKey(Root::CurrentUser, Join(kFileExts, ".x"));
  EXPECT_EQ(Run(7), Expect(UserIssue(".x")));
}

// ---- category 110 -------------------------------------------------------------------

class OpenWithTest : public CategoriesBTest {
 protected:
  void Command(const std::string& app, const std::string& verbPath, const std::string& text) {
    machine.registry.SetString(Root::LocalMachine, Join(Join(kApps, app), verbPath + "\\command"),
                               "", text);
  }
  std::string Issue(const std::string& data, const std::string& app, const std::string& verbPath) {
    return Row("Open with Application Issue", data,
               "HKEY_LOCAL_MACHINE\\" + Join(Join(kApps, app), verbPath) + "\\command", ekKey);
  }
};

TEST_F(OpenWithTest, EveryCommandKeyOfAnApplicationIsJudgedInOrder) {
  machine.files.AddFile("C:\\Tools\\viewer.exe");
  Command("gone.exe", "shell\\open", "\"C:\\Gone\\gone.exe\" \"%1\"");
  Command("gone.exe", "shell\\edit", "C:\\Gone\\gone.exe /edit %1");
  Command("viewer.exe", "shell\\open", "C:\\Tools\\viewer.exe \"%1\"");
  machine.registry.CreateKey(Root::LocalMachine, Join(kApps, "blank.exe\\shell\\open\\command"));

  EXPECT_EQ(Run(110), Expect(Issue("", "blank.exe", "shell\\open"),
                                    Issue("C:\\Gone\\gone.exe /edit %1", "gone.exe", "shell\\edit"),
                                    Issue("\"C:\\Gone\\gone.exe\" \"%1\"", "gone.exe", "shell\\open")));
  EXPECT_EQ(counting.writeOpens, 0);
}

TEST_F(OpenWithTest, SetsNoCaption) {
  Command("gone.exe", "shell\\open", "C:\\Gone\\gone.exe");
  Run(110);
  EXPECT_EQ(recorder.captions, Expect("Optimizing...Do not close the dialog."));
}

TEST_F(OpenWithTest, NonTextCommandIsPassedOverAndTheSearchGoesBelowIt) {
  machine.registry.SetDword(Root::LocalMachine, Join(kApps, "a.exe\\shell\\command"), "", 1);
  Command("a.exe", "shell\\open", "C:\\Gone\\a.exe");
  EXPECT_EQ(Run(110), Expect(Issue("C:\\Gone\\a.exe", "a.exe", "shell\\open")));
}

TEST_F(OpenWithTest, SentinelTextEndsOnlyItsOwnApplication) {
  Command("a.exe", "shell\\a_first", "Not Found");
  Command("a.exe", "shell\\b_second", "C:\\Gone\\a.exe");
  Command("b.exe", "shell\\open", "C:\\Gone\\b.exe");
  EXPECT_EQ(Run(110), Expect(Issue("C:\\Gone\\b.exe", "b.exe", "shell\\open")));
}

TEST_F(OpenWithTest, CommandOnTheApplicationKeyItselfCounts) {
  machine.registry.SetString(Root::LocalMachine, Join(kApps, "top.exe\\command"), "",
                             "C:\\Gone\\top.exe");
  Command("top.exe", "shell\\open", "C:\\Gone\\top.exe");
  EXPECT_EQ(Run(110),
              Expect(Row("Open with Application Issue", "C:\\Gone\\top.exe",
                              std::string("HKEY_LOCAL_MACHINE\\") + kApps + "\\top.exe\\command",
                              ekKey),
                          Issue("C:\\Gone\\top.exe", "top.exe", "shell\\open")));
}

// ---- category 104 -------------------------------------------------------------------

class CustomControlsTest : public CategoriesBTest {
 protected:
  void SetUp() override { machine.registry.CreateKey(Root::ClassesRoot, "TypeLib\\{LIB-1}"); }
  std::vector<std::string> RunFiltered(std::vector<std::string> codes) {
    std::vector<std::string> rows;
    for (const std::string& row : Run(std::move(codes)))
      if (row.starts_with("Custom Controls Issue")) rows.push_back(row);
    return rows;
  }
};

TEST_F(CustomControlsTest, DefaultValuesOfTheWholeClassTreeAreTested) {
  auto& reg = machine.registry;
  machine.files.AddFile("C:\\Lib\\present.dll");
  reg.SetString(Root::ClassesRoot, "CLSID\\{A}", "", "A control");
  reg.SetString(Root::ClassesRoot, "CLSID\\{A}\\InprocServer32", "", "C:\\Lib\\gone.dll");
  reg.SetString(Root::ClassesRoot, "CLSID\\{A}\\InprocServer32", "Named", "C:\\Lib\\gone2.dll");
  reg.SetString(Root::ClassesRoot, "CLSID\\{B}\\InprocServer32", "", "C:\\Lib\\present.dll");
  reg.SetString(Root::ClassesRoot, "CLSID\\{C}\\Deep\\Deeper\\DefaultIcon", "",
                "C:\\Icons\\gone.ico", platform::kRegExpandSz);
  reg.SetValue(Root::ClassesRoot, "CLSID\\{D}\\InprocServer32", "", platform::kRegMultiSz,
               testing_support::Utf16Data(std::string("C:\\Lib\\gone.dll\0\0", 18)));

  EXPECT_EQ(RunFiltered({"104"}),
              Expect(Row("Custom Controls Issue", "C:\\Lib\\gone.dll",
                              "HKEY_CLASSES_ROOT\\CLSID\\{A}\\InprocServer32", ekKey),
                          Row("Custom Controls Issue", "C:\\Icons\\gone.ico",
                              "HKEY_CLASSES_ROOT\\CLSID\\{C}\\Deep\\Deeper\\DefaultIcon", ekKey)));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Custom Controls");
  EXPECT_EQ(counting.writeOpens, 0);
}

TEST_F(CustomControlsTest, InterfacesAreCheckedAgainstRegisteredTypeLibraries) {
  auto& reg = machine.registry;
  reg.SetString(Root::ClassesRoot, "Interface\\{I1}", "", "IKnownOtherCase");
  reg.SetString(Root::ClassesRoot, "Interface\\{I1}\\TypeLib", "", "{lib-1}");
  reg.CreateKey(Root::ClassesRoot, "Interface\\{I2}\\TypeLib");  // no interface name
  reg.SetString(Root::ClassesRoot, "Interface\\{I2}\\TypeLib", "", "{LIB-GONE}");
  reg.SetString(Root::ClassesRoot, "Interface\\{I3}", "", "IMissing");
  reg.SetString(Root::ClassesRoot, "Interface\\{I3}\\TypeLib", "", "{LIB-GONE}");
  reg.SetString(Root::ClassesRoot, "Interface\\{I4}", "", "INoTypeLib");
  reg.SetString(Root::ClassesRoot, "Interface\\{I5}", "", "IEmptyRef");
  reg.SetString(Root::ClassesRoot, "Interface\\{I5}\\TypeLib", "", "");

  EXPECT_EQ(RunFiltered({"104"}),
              Expect(Row("Custom Controls Issue", "IMissing - {LIB-GONE}",
                              "HKEY_CLASSES_ROOT\\Interface\\{I3}", ekKey),
                          Row("Custom Controls Issue", "IEmptyRef - ",
                              "HKEY_CLASSES_ROOT\\Interface\\{I5}", ekKey)));
}

TEST_F(CustomControlsTest, WithCategory3QueuedOnlyInterfacesAreChecked) {
  machine.registry.SetString(Root::ClassesRoot, "CLSID\\{A}\\InprocServer32", "",
                             "C:\\Lib\\gone.dll");
  machine.registry.SetString(Root::ClassesRoot, "Interface\\{I3}", "", "IMissing");
  machine.registry.SetString(Root::ClassesRoot, "Interface\\{I3}\\TypeLib", "", "{LIB-GONE}");
  EXPECT_EQ(RunFiltered({"104", "3"}),
              Expect(Row("Custom Controls Issue", "IMissing - {LIB-GONE}",
                              "HKEY_CLASSES_ROOT\\Interface\\{I3}", ekKey)));
}

TEST_F(CustomControlsTest, NoTypeLibraryListNoInterfaceFindings) {
  machine.registry.DenyOpen(Root::ClassesRoot, "TypeLib");
  machine.registry.SetString(Root::ClassesRoot, "Interface\\{I3}", "", "IMissing");
  machine.registry.SetString(Root::ClassesRoot, "Interface\\{I3}\\TypeLib", "", "{LIB-GONE}");
  EXPECT_EQ(RunFiltered({"104"}), kNone);
}

// ---- category 108 -------------------------------------------------------------------

class ActiveXTest : public CategoriesBTest {
 protected:
  void SetUp() override {
    machine.registry.CreateKey(Root::ClassesRoot, "CLSID\\{KNOWN}");
    machine.registry.CreateKey(Root::ClassesRoot, "AppID\\{APP-KNOWN}");
  }
  std::string Issue(const std::string& data, const std::string& key) {
    return Row("ActiveX Issue", data, "HKEY_CLASSES_ROOT\\" + key, ekKey);
  }
};

TEST_F(ActiveXTest, TypeLibraryTreeIsScannedForMissingDlls) {
  machine.files.AddFile("C:\\Lib\\here.dll");
  machine.registry.SetString(Root::ClassesRoot, "TypeLib\\{L1}\\1.0\\0\\win32", "",
                             "C:\\Lib\\gone.DLL");
  machine.registry.SetString(Root::ClassesRoot, "TypeLib\\{L2}\\1.0\\0\\win32", "",
                             "C:\\Lib\\here.dll");
  machine.registry.SetString(Root::ClassesRoot, "TypeLib\\{L3}\\1.0\\0\\win32", "",
                             "C:\\Lib\\gone.tlb");
  EXPECT_EQ(Run(108), Expect(Row("ActiveX Issue", "C:\\Lib\\gone.DLL",
                                        "HKEY_CLASSES_ROOT\\TypeLib\\{L1}\\1.0\\0\\win32\\",
                                        ekValueInKeyPath)));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Invalid ActiveX");
  EXPECT_EQ(counting.writeOpens, 0);
}

TEST_F(ActiveXTest, ClassReferencesOfTopLevelKeys) {
  auto& reg = machine.registry;
  reg.SetString(Root::ClassesRoot, "Good.Prog\\CLSID", "", "{known}");
  reg.SetString(Root::ClassesRoot, "Stale.Prog\\CLSID", "", "{GONE}");
  reg.SetString(Root::ClassesRoot, ".empty\\CLSID", "", "");
  reg.SetDword(Root::ClassesRoot, "Dword.Prog\\CLSID", "", 7);
  reg.SetString(Root::ClassesRoot, "NoClass.Prog", "", "No CLSID key");
  EXPECT_EQ(Run(108), Expect(Issue(".empty - ", ".empty"),
                                    Issue("Stale.Prog - {GONE}", "Stale.Prog")));
}

TEST_F(ActiveXTest, NoClassListNoClassReferenceFindings) {
  machine.registry.DenyOpen(Root::ClassesRoot, "CLSID");
  machine.registry.SetString(Root::ClassesRoot, "Stale.Prog\\CLSID", "", "{GONE}");
  EXPECT_EQ(Run(108), kNone);
}

TEST_F(ActiveXTest, ApplicationReferencesOfClasses) {
  auto& reg = machine.registry;
  reg.SetString(Root::ClassesRoot, "CLSID\\{C1-GOOD}", "AppID", "{app-known}");
  reg.SetString(Root::ClassesRoot, "CLSID\\{C2-NOSERVER}", "AppID", "{APP-GONE}");
  reg.SetString(Root::ClassesRoot, "CLSID\\{C3-OLEACC}", "AppID", "{APP-GONE}");
  reg.SetString(Root::ClassesRoot, "CLSID\\{C3-OLEACC}\\InprocServer32", "",
                "C:\\Windows\\System32\\OLEACC.DLL");
  reg.SetString(Root::ClassesRoot, "CLSID\\{C4-SELFNAMED}", "AppID", "{APP-GONE}");
  reg.CreateKey(Root::ClassesRoot, "AppID\\{C4-SELFNAMED}");
  reg.SetString(Root::ClassesRoot, "CLSID\\{C5-EMPTY}", "AppID", "");
  reg.SetString(Root::ClassesRoot, "CLSID\\{C6-SERVER}", "AppID", "{APP-GONE}");
  reg.SetString(Root::ClassesRoot, "CLSID\\{C6-SERVER}\\InprocServer32", "", "C:\\x\\y.dll");
  reg.SetString(Root::ClassesRoot, "CLSID\\{C7-BINSERVER}", "AppID", "{APP-GONE}");
  reg.SetValue(Root::ClassesRoot, "CLSID\\{C7-BINSERVER}\\InprocServer32", "",
               platform::kRegBinary, "x");
  reg.SetString(Root::ClassesRoot, "CLSID\\{91C4C540-9FDD-11D2-AFAA-00105A305A2B}", "AppID",
                "{APP-GONE}");

  EXPECT_EQ(Run(108), Expect(Issue("{APP-GONE}", "CLSID\\{C2-NOSERVER}"),
                                Issue("{APP-GONE}", "CLSID\\{C6-SERVER}")));
}

TEST_F(ActiveXTest, LowerCaseSpellingOfTheExemptClassIsExamined) {
  machine.registry.SetString(Root::ClassesRoot, "CLSID\\{91c4c540-9fdd-11d2-afaa-00105a305a2b}",
                             "AppID", "{APP-GONE}");
  EXPECT_EQ(Run(108), Expect(Issue("{APP-GONE}",
                                          "CLSID\\{91c4c540-9fdd-11d2-afaa-00105a305a2b}")));
}

TEST_F(ActiveXTest, NoApplicationListNoApplicationFindings) {
  machine.registry.DenyOpen(Root::ClassesRoot, "AppID");
  machine.registry.SetString(Root::ClassesRoot, "CLSID\\{C2}", "AppID", "{APP-GONE}");
  EXPECT_EQ(Run(108), kNone);
}

TEST_F(ActiveXTest, WithCategory3QueuedTheTypeLibraryTreeIsLeftOut) {
  machine.registry.SetString(Root::ClassesRoot, "TypeLib\\{L1}\\1.0\\0\\win32", "",
                             "C:\\Lib\\gone.dll");
  machine.registry.SetString(Root::ClassesRoot, "Stale.Prog\\CLSID", "", "{GONE}");
  std::vector<std::string> rows;
  for (const std::string& row : Run({"108", "3"}))
    if (row.starts_with("ActiveX Issue")) rows.push_back(row);
  EXPECT_EQ(rows, Expect(Issue("Stale.Prog - {GONE}", "Stale.Prog")));
}

// ---- category 8 ---------------------------------------------------------------------

TEST_F(CategoriesBTest, AddRemovePrograms_EntriesWithoutUninstallCommand) {
  auto& reg = machine.registry;
  const std::string u = kUninstall;
  reg.CreateKey(Root::LocalMachine, Join(u, "{PRODUCT-CODE}"));
  reg.SetString(Root::LocalMachine, Join(u, "A_Normal"), "UninstallString", "C:\\x.exe");
  reg.SetString(Root::LocalMachine, Join(u, "B_Quiet"), "QuietUninstallString", "C:\\x.exe");
  reg.SetString(Root::LocalMachine, Join(u, "C_LowerCase"), "uninstallstring", "C:\\x.exe");
  reg.SetString(Root::LocalMachine, Join(u, "D_NoCommand"), "DisplayName", "D");
  reg.SetDword(Root::LocalMachine, Join(u, "E_System"), "SystemComponent", 0);
  reg.CreateKey(Root::LocalMachine, Join(u, "F_Empty"));
  reg.CreateKey(Root::LocalMachine, Join(u, "G_Denied"));
  reg.DenyOpen(Root::LocalMachine, Join(u, "G_Denied"));

  const std::string key = std::string("HKEY_LOCAL_MACHINE\\") + kUninstall;
  EXPECT_EQ(Run(8), Expect(Row("Invalide Add/Remove Programs", "D_NoCommand", key,
                                      ekSubKeyInData),
                                  Row("Invalide Add/Remove Programs", "F_Empty", key,
                                      ekSubKeyInData)));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Add/Remove Programs");
  EXPECT_EQ(counting.writeOpens, 0);
}

// ---- category 109 -------------------------------------------------------------------

TEST_F(CategoriesBTest, InstallerReferences_UninstallTreeFoldersAndCache) {
  auto& reg = machine.registry;
  machine.files.AddFile("C:\\App\\app.exe");
  machine.files.AddFolder("C:\\Installer\\Present");
  reg.SetString(Root::LocalMachine, Join(kUninstall, "App"), "DisplayIcon", "C:\\App\\app.exe,0");
  reg.SetString(Root::LocalMachine, Join(kUninstall, "Old"), "DisplayIcon", "C:\\Old\\old.exe,0");
  reg.SetString(Root::LocalMachine, Join(kUninstall, "Old"), "HelpLink", "C:\\Old\\readme.txt");
  reg.SetString(Root::LocalMachine, kFolders, "C:\\Installer\\Present\\", "");
  reg.SetString(Root::LocalMachine, kFolders, "C:\\Installer\\Gone\\", "");
  reg.CreateKey(Root::LocalMachine, Join(kArpCache, "app"));
  reg.CreateKey(Root::LocalMachine, Join(kArpCache, "Removed"));

  EXPECT_EQ(
      Run(109),
      Expect(
          Row("Installer Refrence Issue", "C:\\Old\\old.exe,0",
              std::string("HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion"
                          "\\Uninstall\\Old\\DisplayIcon"),
              ekValueInKeyPath),
          Row("Installer Refrence Issue", "C:\\Installer\\Gone\\",
              std::string("HKEY_LOCAL_MACHINE\\") + kFolders, ekValueInData),
          Row("Installer Refrence Issue", "Removed", std::string("HKEY_LOCAL_MACHINE\\") + kArpCache,
              ekSubKeyInData)));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Installer");
  EXPECT_EQ(counting.writeOpens, 0);
}

TEST_F(CategoriesBTest, InstallerReferences_NoEntryListNoCacheFindings) {
  machine.registry.CreateKey(Root::LocalMachine, kUninstall);
  machine.registry.CreateKey(Root::LocalMachine, Join(kArpCache, "Removed"));
  EXPECT_EQ(Run(109), kNone);
  machine.registry.CreateKey(Root::LocalMachine, Join(kUninstall, "Other"));
  machine.registry.DenyOpen(Root::LocalMachine, kUninstall);
  EXPECT_EQ(Run(109), kNone);
}

// ---- category 5 ---------------------------------------------------------------------

class StartMenuTest : public CategoriesBTest {
 protected:
  void SetUp() override {
    machine.files.SetSpecialFolder(platform::kCsidlPrograms, "C:\\User\\Programs");
    machine.files.SetSpecialFolder(platform::kCsidlCommonPrograms, "C:\\All\\Programs\\");
    machine.files.AddFolder("C:\\User\\Programs\\Games");
    machine.files.AddFolder("C:\\All\\Programs\\Office");
    machine.files.AddFile("C:\\User\\Programs\\Notes");  // a file, not a folder
  }
  void MenuOrder(const std::string& menu, const std::string& name) {
    machine.registry.CreateKey(Root::CurrentUser, Join(Join(kMenuOrder, menu), name));
  }
  std::string Issue(const std::string& menu, const std::string& name) {
    return Row("Old Start Menu Key", name,
               "HKEY_CURRENT_USER\\" + Join(kMenuOrder, menu), ekSubKeyInData);
  }
};

TEST_F(StartMenuTest, MenuOrderKeysWithoutProgramsFolder) {
  MenuOrder("Start Menu\\&Programs", "Gone3");
  MenuOrder("Start Menu\\Programs", "Gone2");
  MenuOrder("Start Menu2\\Programs", "GAMES");
  MenuOrder("Start Menu2\\Programs", "Gone1");
  MenuOrder("Start Menu2\\Programs", "Notes");
  MenuOrder("Start Menu2\\Programs", "office");
  EXPECT_EQ(Run(5), Expect(Issue("Start Menu2\\Programs", "Gone1"),
                                  Issue("Start Menu2\\Programs", "Notes"),
                                  Issue("Start Menu\\Programs", "Gone2"),
                                  Issue("Start Menu\\&Programs", "Gone3")));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Start Menu");
  EXPECT_EQ(counting.writeOpens, 0);
}

TEST_F(StartMenuTest, IncompleteOrEmptyFolderListReportsNothing) {
  MenuOrder("Start Menu2\\Programs", "Games");
  MenuOrder("Start Menu2\\Programs", "Gone1");
  {
    SCOPED_TRACE("all-users Programs folder does not resolve");
    machine.files.SetSpecialFolder(platform::kCsidlCommonPrograms, "");
    EXPECT_EQ(Run(5), kNone);
  }
  {
    SCOPED_TRACE("a Programs folder that does not exist has no sub-folders");
    machine.files.SetSpecialFolder(platform::kCsidlCommonPrograms, "C:\\Nowhere\\Programs");
    EXPECT_EQ(Run(5), Expect(Issue("Start Menu2\\Programs", "Gone1")));
  }
  {
    SCOPED_TRACE("neither Programs folder has a sub-folder");
    machine.files.SetSpecialFolder(platform::kCsidlPrograms, "C:\\Empty1");
    machine.files.SetSpecialFolder(platform::kCsidlCommonPrograms, "C:\\Empty2");
    machine.files.AddFolder("C:\\Empty1");
    machine.files.AddFolder("C:\\Empty2");
    EXPECT_EQ(Run(5), kNone);
  }
}

// ---- category 106 -------------------------------------------------------------------

class ShortcutsTest : public CategoriesBTest {
 protected:
  void SetUp() override {
    machine.files.SetSpecialFolder(platform::kCsidlDesktop, "C:\\Desk");
    machine.files.AddFolder("C:\\Desk");
    machine.files.AddFolder("C:\\Present\\Folder");
    machine.files.AddFile("C:\\Present\\app.exe");
  }
  std::string Issue(const std::string& target, const std::string& link) {
    return Row("Missing ShortCut reference", target, link, ekFile);
  }
};

TEST_F(ShortcutsTest, ShortcutsWithMissingTargets) {
  auto& f = machine.files;
  f.AddShortcut("C:\\Desk\\a_gone.lnk", "C:\\Gone\\app.exe");
  f.AddShortcut("C:\\Desk\\b_upper.LNK", "C:\\Gone\\upper.exe");
  f.AddShortcut("C:\\Desk\\c_backup.lnk.bak", "C:\\Gone\\bak.exe");
  f.AddShortcut("C:\\Desk\\d_present.lnk", "C:\\Present\\app.exe");
  f.AddShortcut("C:\\Desk\\e_folder.lnk", "C:\\Present\\Folder");
  f.AddShortcut("C:\\Desk\\f_network.lnk", "\\\\server\\share\\gone.exe");
  f.AddShortcut("C:\\Desk\\g_relative.lnk", "C:gone.exe");
  f.AddShortcut("C:\\Desk\\h_otherdrive.lnk", "Q:\\gone.exe");
  f.AddShortcut("C:\\Desk\\i_empty.lnk", "");
  f.AddFile("C:\\Desk\\j_unreadable.lnk");  // a file that is no shell link
  f.AddShortcut("C:\\Desk\\s_sub\\Deeper\\k_nested.lnk", "C:\\Gone\\nested.exe");
  f.AddShortcut("C:\\Desk\\z_last.lnk", "C:\\Gone\\last.exe");

  EXPECT_EQ(Run(106), Expect(Issue("C:\\Gone\\app.exe", "C:\\Desk\\a_gone.lnk"),
                                    Issue("C:\\Gone\\upper.exe", "C:\\Desk\\b_upper.LNK"),
                                    Issue("C:\\Gone\\nested.exe",
                                          "C:\\Desk\\s_sub\\Deeper\\k_nested.lnk"),
                                    Issue("C:\\Gone\\last.exe", "C:\\Desk\\z_last.lnk")));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Shortcuts");
}

TEST_F(ShortcutsTest, EverySpecialFolderAndSystemVolumeInformationIsWalked) {
  const int folders[] = {platform::kCsidlCommonStartMenu, platform::kCsidlCommonDesktop,
                         platform::kCsidlAppData, kCsidlRecent, platform::kCsidlStartMenu};
  int n = 0;
  for (int csidl : folders) {
    const std::string folder = "C:\\Special" + std::to_string(++n);
    machine.files.SetSpecialFolder(csidl, folder);
    machine.files.AddShortcut(folder + "\\x.lnk", "C:\\Gone\\" + std::to_string(n) + ".exe");
  }
  machine.files.AddShortcut("C:\\System Volume Information\\x.lnk", "C:\\Gone\\svi.exe");
  EXPECT_EQ(Run(106), Expect(Issue("C:\\Gone\\1.exe", "C:\\Special1\\x.lnk"),
                                    Issue("C:\\Gone\\2.exe", "C:\\Special2\\x.lnk"),
                                    Issue("C:\\Gone\\3.exe", "C:\\Special3\\x.lnk"),
                                    Issue("C:\\Gone\\4.exe", "C:\\Special4\\x.lnk"),
                                    Issue("C:\\Gone\\5.exe", "C:\\Special5\\x.lnk"),
                                    Issue("C:\\Gone\\svi.exe",
                                          "C:\\System Volume Information\\x.lnk")));
}

// Since Windows Vista the Start Menu and Recent folders lie in the application data
// folder, which is walked first: each shortcut is listed once, as first found.
TEST_F(ShortcutsTest, OverlappingSpecialFoldersListEachShortcutOnce) {
  const std::string roaming = "C:\\Users\\me\\AppData\\Roaming";
  machine.files.SetSpecialFolder(platform::kCsidlAppData, roaming);
  machine.files.SetSpecialFolder(kCsidlRecent, roaming + "\\Microsoft\\Windows\\Recent");
  machine.files.SetSpecialFolder(platform::kCsidlStartMenu,
                                 "c:\\users\\ME\\appdata\\roaming\\Microsoft\\Windows\\Start Menu");
  machine.files.SetSpecialFolder(platform::kCsidlDesktop, roaming + "\\Microsoft\\Windows\\Start Menu\\Programs");
  machine.files.AddShortcut(roaming + "\\Microsoft\\Windows\\Start Menu\\Programs\\App\\Gone.lnk",
                            "C:\\Gone\\app.exe");
  machine.files.AddShortcut(roaming + "\\Microsoft\\Windows\\Recent\\doc.lnk", "C:\\Gone\\doc.txt");
  EXPECT_EQ(Run(106),
            Expect(Issue("C:\\Gone\\doc.txt", roaming + "\\Microsoft\\Windows\\Recent\\doc.lnk"),
                   Issue("C:\\Gone\\app.exe",
                         roaming + "\\Microsoft\\Windows\\Start Menu\\Programs\\App\\Gone.lnk")));
}

TEST_F(ShortcutsTest, UnresolvedSpecialFolderWalksNothing) {
  machine.files.SetSpecialFolder(platform::kCsidlDesktop, "");
  machine.files.AddShortcut("C:\\root.lnk", "C:\\Gone\\root.exe");
  machine.files.AddShortcut("C:\\Desk\\x.lnk", "C:\\Gone\\x.exe");
  EXPECT_EQ(Run(106), kNone);
}

TEST_F(ShortcutsTest, Wow64SparesSystemAndProgramFilesTargets) {
  machine.system.wow64 = true;
  machine.files.AddShortcut("C:\\Desk\\a.lnk", "C:\\Program Files\\Gone\\gone.exe");
  machine.files.AddShortcut("C:\\Desk\\b.lnk", "C:\\Windows\\System32\\gone.exe");
  machine.files.AddShortcut("C:\\Desk\\c.lnk", "C:\\Gone\\gone.exe");
  EXPECT_EQ(Run(106), Expect(Issue("C:\\Gone\\gone.exe", "C:\\Desk\\c.lnk")));
}

TEST_F(ShortcutsTest, FloppyTargets) {
  machine.files.AddDrive('a', platform::kDriveRemovable, false);
  machine.files.AddShortcut("C:\\Desk\\a.lnk", "A:\\setup.exe");
  {
    SCOPED_TRACE("removable drives included, no disk in A:");
    EXPECT_EQ(Run(106, DriveSetup{false, false, false}),
                Expect(Issue("A:\\setup.exe", "C:\\Desk\\a.lnk")));
  }
  {
    SCOPED_TRACE("removable drives ignored");
    EXPECT_EQ(Run(106, DriveSetup{true, false, false}), kNone);
  }
}

// Reports the folders of one name as junctions (reparse points) in listings.
class JunctionFiles : public platform::ForwardingFileSystem {
 public:
  JunctionFiles(platform::FileSystem& inner, std::string junction)
      : ForwardingFileSystem(inner), junction_(std::move(junction)) {}
  long List(std::string_view pattern, std::vector<platform::DirEntry>& entries) override {
    const long ok = ForwardingFileSystem::List(pattern, entries);
    for (platform::DirEntry& entry : entries)
      if (entry.name == junction_) entry.attributes |= 0x400;
    return ok;
  }

 private:
  std::string junction_;
};

TEST_F(ShortcutsTest, JunctionsAreNotFollowed) {
  machine.files.AddShortcut("C:\\Desk\\Linked\\x.lnk", "C:\\Gone\\x.exe");
  machine.files.AddShortcut("C:\\Desk\\Real\\y.lnk", "C:\\Gone\\y.exe");
  JunctionFiles files(machine.files, "Linked");
  TScanTaskThread scan(platform::Platform{machine.registry, files, machine.system,
                                          machine.processes, machine.restorePoint},
                       recorder, true);
  scan.TaskList = {"106"};
  scan.Execute();
  EXPECT_EQ(Rows(recorder.issues), Expect(Issue("C:\\Gone\\y.exe", "C:\\Desk\\Real\\y.lnk")));
}

// ---- category 107 -------------------------------------------------------------------

class SoundsTest : public CategoriesBTest {
 protected:
  void Sound(const std::string& path, const std::string& text) {
    machine.registry.SetString(Root::CurrentUser, "AppEvents\\Schemes\\Apps\\" + path, "", text);
  }
  std::string Issue(const std::string& data, const std::string& path) {
    return Row("Non-existent Sound File", data,
               "HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\" + path, ekDefaultValue);
  }
};

TEST_F(SoundsTest, OnlySchemeKeysAreTested) {
  machine.files.AddFile("C:\\Media\\ding.wav");
  Sound(".Default", "Windows");
  Sound(".Default\\SystemAsterisk\\.Current", "C:\\Media\\gone.wav");
  Sound(".Default\\SystemAsterisk\\.Default", "C:\\Media\\ding.wav");
  Sound(".Default\\SystemAsterisk\\Utopia0", "C:\\Media\\utopia.wav");
  Sound(".Default\\SystemAsterisk\\MyScheme", "C:\\Media\\mine.wav");
  Sound(".Default\\SystemExit\\.current", "");
  machine.registry.SetDword(Root::CurrentUser, "AppEvents\\Schemes\\Apps\\Other\\.Default", "", 1);
  Sound("Other\\.Default\\Below\\.Default", "C:\\Media\\below.wav");

  EXPECT_EQ(Run(107),
              Expect(Issue("C:\\Media\\gone.wav", ".Default\\SystemAsterisk\\.Current"),
                          Issue("C:\\Media\\utopia.wav", ".Default\\SystemAsterisk\\Utopia0"),
                          Issue("C:\\Media\\below.wav", "Other\\.Default\\Below\\.Default")));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Sound and Appevents");
  EXPECT_EQ(counting.writeOpens, 0);
}

// ---- stop ---------------------------------------------------------------------------

TEST_F(CategoriesBTest, StopEndsEveryCategoryAtOnce) {
  auto& reg = machine.registry;
  machine.files.SetSpecialFolder(platform::kCsidlPrograms, "C:\\Programs");
  machine.files.SetSpecialFolder(platform::kCsidlCommonPrograms, "C:\\Programs");
  machine.files.AddFolder("C:\\Programs\\Present");
  machine.files.SetSpecialFolder(platform::kCsidlDesktop, "C:\\Desk");
  reg.CreateKey(Root::ClassesRoot, "CLSID\\{KNOWN}");
  for (int i = 0; i < 20; ++i) {
    const std::string n = std::to_string(i);
    reg.CreateKey(Root::LocalMachine, Join(kClasses, ".e" + n));
    reg.SetString(Root::LocalMachine, Join(kApps, "a" + n + ".exe\\shell\\open\\command"), "",
                  "C:\\Gone\\a" + n + ".exe");
    reg.SetString(Root::ClassesRoot, "CLSID\\{C" + n + "}\\InprocServer32", "",
                  "C:\\Gone\\c" + n + ".dll");
    reg.SetString(Root::ClassesRoot, "Prog" + n + "\\CLSID", "", "{GONE}");
    reg.CreateKey(Root::LocalMachine, Join(kUninstall, "U" + n));
    reg.SetString(Root::LocalMachine, kFolders, "C:\\Gone\\f" + n + "\\", "");
    reg.CreateKey(Root::CurrentUser, Join(kMenuOrder, "Start Menu2\\Programs\\M" + n));
    machine.files.AddShortcut("C:\\Desk\\s" + n + ".lnk", "C:\\Gone\\s" + n + ".exe");
    reg.SetString(Root::CurrentUser, "AppEvents\\Schemes\\Apps\\A" + n + "\\E\\.Current", "",
                  "C:\\Gone\\w" + n + ".wav");
  }
  ExpectTheStopEndsAllWork({"7", "110", "104", "108", "8", "109", "5", "106", "107"});
}

}  // namespace
}  // namespace tallowin::category_test
