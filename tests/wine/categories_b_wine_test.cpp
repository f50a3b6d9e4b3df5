// Categories 5, 7, 8, 104 and 106 to 110 on the real registry, folders and shell links:
// stale and valid entries are seeded with unique names in the places the categories
// read, and removed again.

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/win32/win32_platform.h"
#include "scan/scan_task.h"
#include "tests/support/reg_data.h"
#include "tests/support/scan_recorder.h"
#include "tests/support/seeding_test.h"

namespace tallowin {
namespace {

using platform::Root;
using Rows = std::vector<std::string>;
using testing_support::Dword;
using testing_support::Row;

const std::string kClasses = R"(Software\Classes)";
const std::string kFileExts = R"(Software\Microsoft\Windows\CurrentVersion\Explorer\FileExts)";
const std::string kApps = R"(Software\Classes\Applications)";
const std::string kUninstall = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall)";
const std::string kFolders = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\Folders)";
const std::string kArpCache = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\App Management\ARPCache)";
const std::string kMenuOrder =
    R"(Software\Microsoft\Windows\CurrentVersion\Explorer\MenuOrder\Start Menu2\Programs)";
const std::string kSchemes = R"(AppEvents\Schemes\Apps)";

// REG_SZ data as the wide functions store it.
std::string Text(const std::string& text) { return RegStringData(text); }

class CategoriesBOnRealMachine : public testing_support::SeedingTest {
 protected:
  void SetUp() override {
    SeedingTest::SetUp();
    gone_ = "C:\\tallowin-gone-" + id_;
    sandbox_ = SeedFolder("C:\\tallowin-b-" + id_);
  }

  Rows Run(std::vector<std::string> codes, bool check64Bit = false) {
    testing_support::ScanRecorder recorder;
    TScanTaskThread scan(machine_.platform(), recorder, true, check64Bit);
    scan.TaskList = std::move(codes);
    scan.Execute();
    isWow64_ = scan.IsWow64;
    isWindows7_ = scan.IsWindows7;
    return testing_support::Rows(recorder.issues);
  }
  Rows Run(int code) { return Run(std::vector<std::string>{std::to_string(code)}); }

  static bool Has(const Rows& rows, const std::string& row) {
    return std::find(rows.begin(), rows.end(), row) != rows.end();
  }
  static bool Mentions(const Rows& rows, const std::string& text) {
    return std::any_of(rows.begin(), rows.end(),
                       [&](const std::string& r) { return r.find(text) != std::string::npos; });
  }

  std::string gone_;     // a folder that does not exist
  std::string sandbox_;  // a folder that exists
  bool isWow64_ = false;
  bool isWindows7_ = false;
};

TEST_F(CategoriesBOnRealMachine, FileExtensions) {
  const std::string empty = ".tlw" + id_ + "empty";
  const std::string named = ".tlw" + id_ + "named";
  const std::string chain = ".tlw" + id_ + "chain";
  SeedKey(Root::LocalMachine, kClasses + "\\" + empty);
  SeedText(Root::LocalMachine, kClasses + "\\" + named, "Content Type", "text/plain");
  SeedKey(Root::CurrentUser, kFileExts + "\\" + empty);
  SeedKey(Root::CurrentUser, kFileExts + "\\" + chain + "\\OpenWithList");
  SeedText(Root::CurrentUser, kFileExts + "\\" + named + "\\OpenWithList", "a", "x.exe");

  const Rows rows = Run(7);
  const char* problem = "Useless File Extension";
  EXPECT_TRUE(Has(rows, Row(problem, empty, "HKEY_LOCAL_MACHINE\\" + kClasses, ekSubKeyInData)));
  EXPECT_TRUE(Has(rows, Row(problem, empty, "HKEY_CURRENT_USER\\" + kFileExts, ekSubKeyInData)));
  // A chain of empty keys counts as empty, except on 64-bit Windows 7 (own counts only).
  EXPECT_EQ(Has(rows, Row(problem, chain, "HKEY_CURRENT_USER\\" + kFileExts, ekSubKeyInData)),
            !(isWow64_ && isWindows7_));
  EXPECT_FALSE(Mentions(rows, named));
}

TEST_F(CategoriesBOnRealMachine, OpenWithApplications) {
  const std::string ok = SeedFile(sandbox_ + "\\viewer.exe");
  const std::string goneApp = "tlw" + id_ + "gone.exe";
  const std::string okApp = "tlw" + id_ + "ok.exe";
  const std::string goneCommand = "\"" + gone_ + "\\gone.exe\" \"%1\"";
  SeedKey(Root::LocalMachine, kApps + "\\" + goneApp);
  SeedText(Root::LocalMachine, kApps + "\\" + goneApp + "\\shell\\open\\command", "", goneCommand);
  SeedText(Root::LocalMachine, kApps + "\\" + goneApp + "\\shell\\print\\command", "",
           gone_ + "\\gone.exe /p %1");
  SeedKey(Root::LocalMachine, kApps + "\\" + okApp);
  SeedText(Root::LocalMachine, kApps + "\\" + okApp + "\\shell\\open\\command", "",
           "\"" + ok + "\" \"%1\"");

  const Rows rows = Run(110);
  const std::string base = "HKEY_LOCAL_MACHINE\\" + kApps + "\\" + goneApp + "\\shell\\";
  EXPECT_TRUE(Has(rows, Row("Open with Application Issue", goneCommand, base + "open\\command",
                            ekKey)));
  EXPECT_TRUE(Has(rows, Row("Open with Application Issue", gone_ + "\\gone.exe /p %1",
                            base + "print\\command", ekKey)));
  EXPECT_FALSE(Mentions(rows, okApp));
}

TEST_F(CategoriesBOnRealMachine, CustomControls) {
  const std::string present = SeedFile(sandbox_ + "\\present.dll");
  const std::string goneClass = "{tlw" + id_ + "-gone}";
  const std::string okClass = "{tlw" + id_ + "-ok}";
  const std::string lib = "{tlw" + id_ + "-LIB}";
  SeedKey(Root::ClassesRoot, "CLSID\\" + goneClass);
  SeedText(Root::ClassesRoot, "CLSID\\" + goneClass + "\\InprocServer32", "", gone_ + "\\x.dll");
  SeedKey(Root::ClassesRoot, "CLSID\\" + okClass);
  SeedText(Root::ClassesRoot, "CLSID\\" + okClass + "\\InprocServer32", "", present);
  SeedKey(Root::ClassesRoot, "TypeLib\\" + lib);
  for (const char* which : {"known", "missing"}) {
    const std::string iface = "Interface\\{tlw" + id_ + "-" + which + "}";
    SeedKey(Root::ClassesRoot, iface);
    SeedText(Root::ClassesRoot, iface, "", std::string("ITlw_") + which);
    SeedText(Root::ClassesRoot, iface + "\\TypeLib", "",
             std::string(which) == "known" ? AsciiUpper(lib) : "{tlw" + id_ + "-libgone}");
  }

  const char* problem = "Custom Controls Issue";
  const Rows rows = Run(104);
  EXPECT_TRUE(Has(rows, Row(problem, gone_ + "\\x.dll",
                            "HKEY_CLASSES_ROOT\\CLSID\\" + goneClass + "\\InprocServer32", ekKey)));
  EXPECT_TRUE(Has(rows, Row(problem, "ITlw_missing - {tlw" + id_ + "-libgone}",
                            "HKEY_CLASSES_ROOT\\Interface\\{tlw" + id_ + "-missing}", ekKey)));
  EXPECT_FALSE(Mentions(rows, okClass));
  EXPECT_FALSE(Mentions(rows, "ITlw_known"));
}

TEST_F(CategoriesBOnRealMachine, InvalidActiveX) {
  const std::string lib = "{tlw" + id_ + "-lib}";
  const std::string knownClass = "{tlw" + id_ + "-class}";
  const std::string staleProg = "Tallowin.Stale" + id_;
  const std::string goodProg = "Tallowin.Good" + id_;
  const std::string orphanClass = "{tlw" + id_ + "-orphan}";
  const std::string appId = "{tlw" + id_ + "-app}";
  SeedKey(Root::ClassesRoot, "TypeLib\\" + lib);
  SeedText(Root::ClassesRoot, "TypeLib\\" + lib + "\\1.0\\0\\win32", "", gone_ + "\\lib.DLL");
  SeedKey(Root::ClassesRoot, "CLSID\\" + knownClass);
  SeedText(Root::ClassesRoot, "CLSID\\" + knownClass, "AppID", AsciiUpper(appId));
  SeedKey(Root::ClassesRoot, "AppID\\" + appId);
  SeedKey(Root::ClassesRoot, staleProg);
  SeedText(Root::ClassesRoot, staleProg + "\\CLSID", "", "{tlw" + id_ + "-noclass}");
  SeedKey(Root::ClassesRoot, goodProg);
  SeedText(Root::ClassesRoot, goodProg + "\\CLSID", "", knownClass);
  SeedKey(Root::ClassesRoot, "CLSID\\" + orphanClass);
  SeedText(Root::ClassesRoot, "CLSID\\" + orphanClass, "AppID", "{tlw" + id_ + "-appgone}");

  const char* problem = "ActiveX Issue";
  const Rows rows = Run(108);
  EXPECT_TRUE(Has(rows, Row(problem, gone_ + "\\lib.DLL",
                            "HKEY_CLASSES_ROOT\\TypeLib\\" + lib + "\\1.0\\0\\win32\\",
                            ekValueInKeyPath)));
  EXPECT_TRUE(Has(rows, Row(problem, staleProg + " - {tlw" + id_ + "-noclass}",
                            "HKEY_CLASSES_ROOT\\" + staleProg, ekKey)));
  EXPECT_TRUE(Has(rows, Row(problem, "{tlw" + id_ + "-appgone}",
                            "HKEY_CLASSES_ROOT\\CLSID\\" + orphanClass, ekKey)));
  EXPECT_FALSE(Mentions(rows, goodProg));
  EXPECT_FALSE(Mentions(rows, knownClass));
}

TEST_F(CategoriesBOnRealMachine, AddRemovePrograms) {
  const std::string noCommand = "Tallowin" + id_ + "NoCommand";
  const std::string withCommand = "Tallowin" + id_ + "WithCommand";
  const std::string system = "Tallowin" + id_ + "System";
  const std::string product = "{Tallowin" + id_ + "-product}";
  SeedKey(Root::LocalMachine, kUninstall + "\\" + noCommand);
  SeedText(Root::LocalMachine, kUninstall + "\\" + noCommand, "DisplayName", "No command");
  SeedKey(Root::LocalMachine, kUninstall + "\\" + withCommand);
  SeedText(Root::LocalMachine, kUninstall + "\\" + withCommand, "UninstallString", "x.exe /u");
  SeedKey(Root::LocalMachine, kUninstall + "\\" + system);
  SeedValue(Root::LocalMachine, kUninstall + "\\" + system, "SystemComponent", platform::kRegDword,
            Dword(0));
  SeedKey(Root::LocalMachine, kUninstall + "\\" + product);

  const Rows rows = Run(8);
  EXPECT_TRUE(Has(rows, Row("Invalide Add/Remove Programs", noCommand,
                            R"(HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall)",
                            ekSubKeyInData)));
  EXPECT_FALSE(Mentions(rows, withCommand));
  EXPECT_FALSE(Mentions(rows, system));
  EXPECT_FALSE(Mentions(rows, product));
}

TEST_F(CategoriesBOnRealMachine, InstallerReferences) {
  const std::string app = SeedFile(sandbox_ + "\\app.exe");
  const std::string entry = "Tallowin" + id_ + "Entry";
  const std::string stale = "Tallowin" + id_ + "Stale";
  SeedKey(Root::LocalMachine, kUninstall + "\\" + entry);
  SeedText(Root::LocalMachine, kUninstall + "\\" + entry, "DisplayIcon", gone_ + "\\app.exe,0");
  SeedText(Root::LocalMachine, kUninstall + "\\" + entry, "UninstallString", app + " /u");
  SeedText(Root::LocalMachine, kFolders, gone_ + "\\", "");
  SeedText(Root::LocalMachine, kFolders, sandbox_ + "\\", "");
  SeedKey(Root::LocalMachine, kArpCache + "\\" + AsciiUpper(entry));
  SeedKey(Root::LocalMachine, kArpCache + "\\" + stale);

  const char* problem = "Installer Refrence Issue";
  const Rows rows = Run(109);
  EXPECT_TRUE(Has(rows, Row(problem, gone_ + "\\app.exe,0",
                            "HKEY_LOCAL_MACHINE\\" + kUninstall + "\\" + entry + "\\DisplayIcon",
                            ekValueInKeyPath)));
  EXPECT_TRUE(Has(rows, Row(problem, gone_ + "\\", "HKEY_LOCAL_MACHINE\\" + kFolders,
                            ekValueInData)));
  EXPECT_TRUE(Has(rows, Row(problem, stale, "HKEY_LOCAL_MACHINE\\" + kArpCache, ekSubKeyInData)));
  EXPECT_FALSE(Mentions(rows, sandbox_));
  EXPECT_FALSE(Mentions(rows, AsciiUpper(entry)));
}

TEST_F(CategoriesBOnRealMachine, StartMenuOrder) {
  const std::optional<std::string> programs = files().SpecialFolder(platform::kCsidlPrograms);
  ASSERT_TRUE(programs.has_value());
  ASSERT_TRUE(platform::FolderExists(files(), *programs)) << *programs;
  const std::string present = "Tallowin " + id_ + " Present";
  const std::string gone = "Tallowin " + id_ + " Gone";
  SeedFolder(*programs + "\\" + present);
  SeedKey(Root::CurrentUser, kMenuOrder + "\\" + AsciiUpper(present));
  SeedKey(Root::CurrentUser, kMenuOrder + "\\" + gone);

  const Rows rows = Run(5);
  EXPECT_TRUE(Has(rows, Row("Old Start Menu Key", gone, "HKEY_CURRENT_USER\\" + kMenuOrder,
                            ekSubKeyInData)));
  EXPECT_FALSE(Mentions(rows, AsciiUpper(present)));
}

TEST_F(CategoriesBOnRealMachine, ShortcutsMadeByTheShell) {
  const std::optional<std::string> desktop = files().SpecialFolder(platform::kCsidlDesktop);
  const std::optional<std::string> startMenu = files().SpecialFolder(platform::kCsidlStartMenu);
  ASSERT_TRUE(desktop.has_value());
  ASSERT_TRUE(startMenu.has_value());
  ASSERT_TRUE(platform::FolderExists(files(), *desktop)) << *desktop;
  const std::string target = SeedFile(sandbox_ + "\\tool.exe");
  SeedFolder(gone_);  // exists while the links are made, so the shell resolves it fully
  const std::string goneTarget = SeedFile(gone_ + "\\gone.exe");
  const std::string nested = SeedFolder(*startMenu + "\\Tallowin " + id_);
  const std::string goneLink = SeedShortcut(*desktop + "\\tallowin-" + id_ + "-gone.lnk", goneTarget);
  const std::string nestedLink = SeedShortcut(nested + "\\Gone.LNK", goneTarget);
  const std::string okLink = SeedShortcut(*desktop + "\\tallowin-" + id_ + "-ok.lnk", target);
  const std::string folderLink = SeedShortcut(*desktop + "\\tallowin-" + id_ + "-dir.lnk", sandbox_);
  ASSERT_TRUE(DeleteFileA(goneTarget.c_str()));
  ASSERT_TRUE(RemoveDirectoryA(gone_.c_str()));

  const Rows rows = Run(106);
  // The Start Menu lies in the application data folder, which is walked too: each link
  // is listed once.
  EXPECT_EQ(std::count(rows.begin(), rows.end(),
                       Row("Missing ShortCut reference", goneTarget, goneLink, ekFile)), 1);
  EXPECT_EQ(std::count(rows.begin(), rows.end(),
                       Row("Missing ShortCut reference", goneTarget, nestedLink, ekFile)), 1);
  EXPECT_FALSE(Mentions(rows, okLink));
  EXPECT_FALSE(Mentions(rows, folderLink));
}

// A shortcut whose stored target names the 32-bit program folder stays while its file is
// in the 64-bit one (the folder a 64-bit program's link means), with Check64Bit on.
TEST_F(CategoriesBOnRealMachine, ShortcutsIntoEitherProgramFolder) {
  char x86[MAX_PATH] = {}, native[MAX_PATH] = {};
  if (!ExpandEnvironmentStringsA("%ProgramW6432%", native, MAX_PATH) || native[0] == '%')
    GTEST_SKIP() << "needs the 64-bit prefix (WOW64)";
  ASSERT_TRUE(ExpandEnvironmentStringsA("%ProgramFiles(x86)%", x86, MAX_PATH));
  const std::optional<std::string> desktop = files().SpecialFolder(platform::kCsidlDesktop);
  ASSERT_TRUE(desktop.has_value());
  const std::string name = "Tallowin " + id_;
  const std::string folder32 = std::string(x86) + "\\" + name;
  const std::string folder64 = std::string(native) + "\\" + name;
  // The shell stores a target that exists when the link is made.
  SeedFolder(folder32);
  const std::string target32 = SeedFile(folder32 + "\\app.exe");
  const std::string link = SeedShortcut(*desktop + "\\tallowin-" + id_ + "-x86.lnk", target32);
  ASSERT_EQ(files().ShortcutTarget(link), target32);
  ASSERT_TRUE(DeleteFileA(target32.c_str()));
  SeedFolder(folder64);
  const std::string target64 = SeedFile(folder64 + "\\app.exe");
  const std::string row = Row("Missing ShortCut reference", target32, link, ekFile);

  EXPECT_FALSE(Has(Run({"106"}, true), row)) << "the file is in " << target64;
  ASSERT_TRUE(DeleteFileA(target64.c_str()));
  EXPECT_TRUE(Has(Run({"106"}, true), row)) << "the file is in neither folder";
}

TEST_F(CategoriesBOnRealMachine, SoundSchemes) {
  const std::string wav = SeedFile(sandbox_ + "\\ding.wav");
  const std::string app = kSchemes + "\\Tallowin" + id_;
  SeedKey(Root::CurrentUser, app);
  SeedText(Root::CurrentUser, app + "\\Event\\.Current", "", gone_ + "\\gone.wav");
  SeedText(Root::CurrentUser, app + "\\Event\\.Default", "", wav);
  SeedText(Root::CurrentUser, app + "\\Event\\OtherScheme", "", gone_ + "\\other.wav");
  SeedValue(Root::CurrentUser, app + "\\Event\\Utopia0", "", platform::kRegExpandSz,
            Text(gone_ + "\\utopia.wav"));

  const Rows rows = Run(107);
  const char* problem = "Non-existent Sound File";
  EXPECT_TRUE(Has(rows, Row(problem, gone_ + "\\gone.wav",
                            "HKEY_CURRENT_USER\\" + app + "\\Event\\.Current", ekDefaultValue)));
  EXPECT_TRUE(Has(rows, Row(problem, gone_ + "\\utopia.wav",
                            "HKEY_CURRENT_USER\\" + app + "\\Event\\Utopia0", ekDefaultValue)));
  EXPECT_FALSE(Mentions(rows, wav));
  EXPECT_FALSE(Mentions(rows, "other.wav"));
}

}  // namespace
}  // namespace tallowin
