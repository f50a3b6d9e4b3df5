// Why each row is listed, on the real registry, folders and shell links: one stale entry
// per category is seeded, found by a real scan, and its reason must name what is missing;
// a row mended after the scan reads "No longer broken".

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/finding_reason.h"
#include "platform/forwarding_file_system.h"
#include "platform/reg_global.h"
#include "platform/text.h"
#include "platform/win32/win32_platform.h"
#include "scan/file_probe_cache.h"
#include "scan/scan_task.h"
#include "tests/support/reg_data.h"
#include "tests/support/scan_recorder.h"
#include "tests/support/seeding_test.h"

namespace tallowin {
namespace {

using platform::Access;
using platform::Root;
using testing_support::Dword;

const std::string kSoftware = "Software";
const std::string kAppPaths = R"(Software\Microsoft\Windows\CurrentVersion\App Paths)";
const std::string kMenuOrder =
    R"(Software\Microsoft\Windows\CurrentVersion\Explorer\MenuOrder\Start Menu2\Programs)";
const std::string kClasses = R"(Software\Classes)";
const std::string kUninstall = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall)";
const std::string kSharedDlls = R"(Software\Microsoft\Windows\CurrentVersion\SharedDlls)";
const std::string kNtFonts = R"(Software\Microsoft\Windows NT\CurrentVersion\Fonts)";
const std::string kHelp = R"(Software\Microsoft\Windows\Help)";
const std::string kMru =
    R"(Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\OpenSaveMRU)";
const std::string kUserAssist =
    R"(Software\Microsoft\Windows\CurrentVersion\Explorer\UserAssist\{75048700-EF1F-11D0-9888-006097DEACF9}\Count)";
const std::string kRun = R"(Software\Microsoft\Windows\CurrentVersion\Run)";
const std::string kServices = R"(SYSTEM\CurrentControlSet\Services)";
const std::string kSchemes = R"(AppEvents\Schemes\Apps)";
const std::string kFolders = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Installer\Folders)";
const std::string kArpCache =
    R"(SOFTWARE\Microsoft\Windows\CurrentVersion\App Management\ARPCache)";
const std::string kApps = R"(Software\Classes\Applications)";

// The row a seeded entry makes, and what its reason must name.
struct Expected {
  std::string category;
  std::string problem;
  std::string data;
  std::string keyEnd;  // the Registry key column ends with it, in any case
  std::string named;
};

class FindingReasonWine : public testing_support::SeedingTest {
 protected:
  void SetUp() override {
    SeedingTest::SetUp();
    gone_ = "C:\\tallowin-why-gone-" + id_;
    sandbox_ = SeedFolder("C:\\tallowin-why-" + id_);
  }

  std::vector<Issue> Scan(std::vector<std::string> codes, bool check64Bit = false) {
    testing_support::ScanRecorder recorder;
    TScanTaskThread scan(machine_.platform(), recorder, true, check64Bit);
    scan.TaskList = std::move(codes);
    scan.Execute();
    return recorder.issues;
  }

  static const Issue* Find(const std::vector<Issue>& issues, const Expected& row) {
    for (const Issue& issue : issues)
      if (issue.problem == row.problem && issue.data == row.data &&
          EndsWith(AsciiUpper(issue.key), AsciiUpper(row.keyEnd)))
        return &issue;
    return nullptr;
  }

  std::string Explain(const Issue& issue, bool check64Bit = false) {
    FindingExplainer explainer(machine_.platform(), {true, check64Bit});
    return explainer.Explain(issue);
  }

  std::string gone_;     // a folder that does not exist
  std::string sandbox_;  // a folder that exists
};

TEST_F(FindingReasonWine, EveryCategoryNamesWhatIsMissing) {
  const std::string goneFolder = "the folder " + gone_ + " does not exist";
  std::vector<Expected> rows;
  auto expect = [&](std::string category, std::string problem, std::string data, std::string keyEnd,
                    std::string named) {
    rows.push_back({std::move(category), std::move(problem), std::move(data), std::move(keyEnd),
                    std::move(named)});
  };

  const std::string own = kSoftware + "\\TallowinWhy" + id_;
  SeedText(Root::CurrentUser, own, "Gone", gone_ + "\\app.exe");
  expect("2 hive", "Non-existent File or Folder", gone_ + "\\app.exe", own + "\\Gone", goneFolder);

  const std::string appPath = kAppPaths + "\\tallowinwhy" + id_ + ".exe";
  SeedText(Root::LocalMachine, appPath, "Path", sandbox_ + "\\gone.exe");
  expect("15 app paths", "Software Locations Issue", sandbox_ + "\\gone.exe", appPath + "\\Path",
         sandbox_ + "\\gone.exe does not exist");

  const std::optional<std::string> programs = files().SpecialFolder(platform::kCsidlPrograms);
  ASSERT_TRUE(programs.has_value());
  SeedFolder(*programs + "\\Tallowin " + id_ +
             " Present");  // a list with nothing in it is not judged
  const std::string menuFolder = "Tallowin " + id_ + " Gone";
  SeedKey(Root::CurrentUser, kMenuOrder + "\\" + menuFolder);
  expect("5 start menu", "Old Start Menu Key", menuFolder, kMenuOrder, "No folder " + menuFolder);

  SeedKey(Root::CurrentUser, kSoftware + "\\TallowinEmpty" + id_);
  expect("6 obsolete", "Obsolete Software Entry", "TallowinEmpty" + id_,
         "HKEY_CURRENT_USER\\Software",
         "Software\\TallowinEmpty" + id_ + " has no values and no sub-keys");

  SeedKey(Root::LocalMachine, kClasses + "\\.tlw" + id_);
  expect("7 extension", "Useless File Extension", ".tlw" + id_, kClasses,
         ".tlw" + id_ + " has no values and no sub-keys");

  SeedText(Root::LocalMachine, kUninstall + "\\TallowinNoCommand" + id_, "DisplayName", "x");
  expect("8 add/remove", "Invalide Add/Remove Programs", "TallowinNoCommand" + id_, kUninstall,
         "TallowinNoCommand" + id_ + " has no UninstallString value");

  SeedValue(Root::LocalMachine, kSharedDlls, gone_ + "\\shared.dll", platform::kRegDword, Dword(2));
  expect("9 shared dlls", "Non-existent Shared Dlls", gone_ + "\\shared.dll", kSharedDlls,
         goneFolder);

  SeedText(Root::LocalMachine, kNtFonts, "Tallowin Gone " + id_, gone_ + "\\gone.ttf");
  expect("10 fonts", "Invalid Windows Fonts", gone_ + "\\gone.ttf", "Tallowin Gone " + id_,
         goneFolder);

  SeedText(Root::LocalMachine, kHelp, "gone_" + id_ + ".hlp", sandbox_);
  expect("11 help", "Invalid Help Files Item", sandbox_ + "\\gone_" + id_ + ".hlp",
         "gone_" + id_ + ".hlp", sandbox_ + "\\gone_" + id_ + ".hlp does not exist");

  const std::string app = kUninstall + "\\TallowinApp" + id_;
  SeedKey(Root::LocalMachine, app + "\\Sub");
  SeedText(Root::LocalMachine, app, "UninstallString", "x.exe /u");
  expect("12 empty uninstall", "Empty Registry Keys", "Sub", app,
         "TallowinApp" + id_ + "\\Sub has no values and no sub-keys");

  const std::string extension = "tlw" + id_;
  SeedKey(Root::CurrentUser, kMru + "\\" + extension);
  SeedText(Root::CurrentUser, kMru, "TallowinGone" + id_, sandbox_ + "\\missing");
  expect("13 dialog history", "Non-existent MRU and History Lists file", sandbox_ + "\\missing",
         "TallowinGone" + id_, "no file " + sandbox_ + "\\missing with");
  const std::string ran = "UEME_RUNPATH:" + gone_ + "\\ran.exe";
  SeedValue(Root::CurrentUser, kUserAssist, Rot13(ran), platform::kRegBinary,
            Dword(1) + Dword(4) + Dword(0) + Dword(0));
  expect("13 usage counter", "Non-existent MRU and History Lists file", ran, kUserAssist,
         goneFolder);

  const std::string user = kSoftware + "\\TallowinUser" + id_;
  SeedKey(Root::CurrentUser, user + "\\Leaf" + id_);
  SeedText(Root::CurrentUser, user, "v", "1");
  expect("14 empty user key", "Empty Registry Keys", "Leaf" + id_, user,
         user + "\\Leaf" + id_ + " has no values and no sub-keys");

  SeedText(Root::CurrentUser, kRun, "TallowinGone" + id_, "\"" + sandbox_ + "\\gone.exe\" /min");
  expect("16 startup", "Non-existent Startup Programs", "\"" + sandbox_ + "\\gone.exe\" /min",
         "TallowinGone" + id_, sandbox_ + "\\gone.exe does not exist");

  const std::string service = kServices + "\\TallowinWhy" + id_;
  SeedValue(Root::LocalMachine, service, "ImagePath", platform::kRegExpandSz,
            RegStringData(gone_ + "\\svc.exe -k"));
  expect("17 service", "Windows Service Issue", gone_ + "\\svc.exe -k", service + "\\ImagePath",
         goneFolder);

  const std::string iface = "Interface\\{tlw" + id_ + "-iface}";
  const std::string noLib = "{tlw" + id_ + "-nolib}";
  SeedText(Root::ClassesRoot, iface, "", "ITallowinWhy");
  SeedText(Root::ClassesRoot, iface + "\\TypeLib", "", noLib);
  expect("104 interface", "Custom Controls Issue", "ITallowinWhy - " + noLib, iface,
         noLib + ", which has no key under HKEY_CLASSES_ROOT\\TypeLib");

  const std::optional<std::string> desktop = files().SpecialFolder(platform::kCsidlDesktop);
  ASSERT_TRUE(desktop.has_value());
  SeedFolder(gone_);  // exists while the link is made, so the shell resolves it fully
  const std::string target = SeedFile(gone_ + "\\tool.exe");
  const std::string link = *desktop + "\\tallowin-why-" + id_ + ".lnk";
  SeedShortcut(link, target);
  ASSERT_TRUE(DeleteFileA(target.c_str()));
  ASSERT_TRUE(RemoveDirectoryA(gone_.c_str()));
  expect("106 shortcut", "Missing ShortCut reference", target, link, goneFolder);

  const std::string event = kSchemes + "\\TallowinWhy" + id_ + "\\Event\\.Current";
  SeedText(Root::CurrentUser, event, "", gone_ + "\\ding.wav");
  expect("107 sound", "Non-existent Sound File", gone_ + "\\ding.wav", event, goneFolder);

  const std::string lib = "TypeLib\\{tlw" + id_ + "-lib}\\1.0\\0\\win32";
  SeedText(Root::ClassesRoot, lib, "", gone_ + "\\lib.DLL");
  expect("108 type library", "ActiveX Issue", gone_ + "\\lib.DLL", lib + "\\",
         gone_ + "\\lib.dll: " + goneFolder);
  const std::string progId = "TallowinWhy" + id_ + ".Stale";
  const std::string noClass = "{tlw" + id_ + "-noclass}";
  SeedText(Root::ClassesRoot, progId + "\\CLSID", "", noClass);
  expect("108 ProgID", "ActiveX Issue", progId + " - " + noClass, progId,
         "names the class " + noClass + ", which has no key under HKEY_CLASSES_ROOT\\CLSID");
  const std::string orphan = "CLSID\\{tlw" + id_ + "-orphan}";
  const std::string noAppId = "{tlw" + id_ + "-noappid}";
  SeedText(Root::ClassesRoot, orphan, "AppID", noAppId);
  expect("108 AppID", "ActiveX Issue", noAppId, orphan,
         "names the AppID " + noAppId + ", which has no key under HKEY_CLASSES_ROOT\\AppID");

  const std::string entry = kUninstall + "\\TallowinEntry" + id_;
  SeedText(Root::LocalMachine, entry, "DisplayIcon", gone_ + "\\setup.exe,0");
  SeedText(Root::LocalMachine, entry, "UninstallString", "x.exe /u");
  expect("109 uninstall tree", "Installer Refrence Issue", gone_ + "\\setup.exe,0",
         entry + "\\DisplayIcon", gone_ + "\\setup.exe: " + goneFolder);
  SeedText(Root::LocalMachine, kFolders, gone_ + "\\", "");
  expect("109 installer folder", "Installer Refrence Issue", gone_ + "\\", kFolders,
         "The folder " + gone_ + " does not exist");
  SeedKey(Root::LocalMachine, kArpCache + "\\TallowinStale" + id_);
  expect("109 programs cache", "Installer Refrence Issue", "TallowinStale" + id_, kArpCache,
         "cache entry TallowinStale" + id_ + " has no program");

  const std::string command = kApps + "\\tallowinwhy" + id_ + ".exe\\shell\\open\\command";
  SeedText(Root::LocalMachine, command, "", "\"" + gone_ + "\\viewer.exe\" \"%1\"");
  expect("110 open with", "Open with Application Issue", "\"" + gone_ + "\\viewer.exe\" \"%1\"",
         command, goneFolder);

  const std::vector<Issue> issues =
      Scan({"2",  "5",  "6",  "7",  "8",   "9",   "10",  "11",  "12",  "13",
            "14", "15", "16", "17", "104", "106", "107", "108", "109", "110"});
  for (const Expected& row : rows) {
    SCOPED_TRACE(row.category);
    const Issue* issue = Find(issues, row);
    ASSERT_NE(issue, nullptr) << "no row " << row.problem << " | " << row.data;
    const std::string why = Explain(*issue);
    EXPECT_NE(why.find(row.named), std::string::npos) << why;
    EXPECT_EQ(why.find("No longer broken"), std::string::npos) << why;
  }
}

TEST_F(FindingReasonWine, ARowMendedAfterTheScanIsNoLongerBroken) {
  const std::string later = sandbox_ + "\\later.exe";
  SeedText(Root::CurrentUser, kRun, "TallowinLater" + id_, later);
  SeedText(Root::CurrentUser, kRun, "TallowinDropped" + id_, gone_ + "\\dropped.exe");
  const std::vector<Issue> issues = Scan({"16"});
  const Issue* mended =
      Find(issues, {"", "Non-existent Startup Programs", later, "TallowinLater" + id_, ""});
  const Issue* dropped = Find(issues, {"", "Non-existent Startup Programs", gone_ + "\\dropped.exe",
                                       "TallowinDropped" + id_, ""});
  ASSERT_NE(mended, nullptr);
  ASSERT_NE(dropped, nullptr);
  EXPECT_EQ(Explain(*mended), later + " does not exist.");

  SeedFile(later);
  auto key = registry().OpenKey(Root::CurrentUser, kRun, Access::All);
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->DeleteValue("TallowinDropped" + id_), platform::kSuccess);
  EXPECT_EQ(Explain(*mended), "No longer broken: " + later + " exists now.");
  EXPECT_EQ(Explain(*dropped), "No longer broken: the value is no longer there.");
}

// Counts folder listings.
class ListCountingFiles : public platform::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  long List(std::string_view pattern, std::vector<platform::DirEntry>& entries) override {
    ++lists;
    return ForwardingFileSystem::List(pattern, entries);
  }
  size_t lists = 0;
};

// Gives a folder the write time it would have had a minute ago.
void AgeFolder(const std::string& folder) {
  const HANDLE handle =
      CreateFileA(folder.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE) << folder;
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER time{};
  time.LowPart = now.dwLowDateTime;
  time.HighPart = now.dwHighDateTime;
  time.QuadPart -= 60 * 10000000ULL;
  const FILETIME before{time.LowPart, time.HighPart};
  EXPECT_TRUE(SetFileTime(handle, nullptr, nullptr, &before));
  CloseHandle(handle);
}

// The reasons use the scan's listing of a folder, on the real file system, while the
// folder's write time is as it was; a name made in the folder since is seen.
TEST_F(FindingReasonWine, TheScansListingsServeTheReasonsWhileTheirFoldersAreUnchanged) {
  const std::string still = SeedFolder(sandbox_ + "\\still");
  const std::string changed = SeedFolder(sandbox_ + "\\changed");
  SeedText(Root::CurrentUser, kRun, "TallowinStill" + id_, still + "\\a.exe");
  SeedText(Root::CurrentUser, kRun, "TallowinChanged" + id_, changed + "\\b.exe");
  AgeFolder(still);
  AgeFolder(changed);
  const platform::Platform& real = machine_.platform();
  ListCountingFiles files(real.files);
  const platform::Platform platform{real.registry, files, real.system, real.processes,
                                    real.restorePoint};
  auto kept = std::make_shared<KeptListings>();
  testing_support::ScanRecorder recorder;
  TScanTaskThread scan(platform, recorder, true);
  scan.TaskList = {"16"};
  scan.KeepListings = kept;
  scan.Execute();
  const Issue* stillRow = Find(recorder.issues, {"", "Non-existent Startup Programs",
                                                 still + "\\a.exe", "TallowinStill" + id_, ""});
  const Issue* changedRow = Find(recorder.issues, {"", "Non-existent Startup Programs",
                                                   changed + "\\b.exe", "TallowinChanged" + id_, ""});
  ASSERT_NE(stillRow, nullptr);
  ASSERT_NE(changedRow, nullptr);

  SeedFile(changed + "\\b.exe");
  files.lists = 0;
  FindingExplainer explainer(platform, {true, false, kept});
  EXPECT_EQ(explainer.Explain(*stillRow), still + "\\a.exe does not exist.");
  EXPECT_EQ(files.lists, 0u);
  EXPECT_EQ(explainer.Explain(*changedRow), "No longer broken: " + changed + "\\b.exe exists now.");
  EXPECT_EQ(files.lists, 1u);
}

// A 32-bit program on 64-bit Windows that checks both sides looks in System32 and in
// SysWOW64 before it calls a reference broken; the reason names both.
TEST_F(FindingReasonWine, AReferenceIntoSystem32NamesBothPlacesLookedAt) {
  if (!IsRunningUnderWow64(machine_.platform().system)) GTEST_SKIP() << "needs the 64-bit prefix";
  const std::string windows = machine_.platform().system.WindowsDirectory();
  const std::string name = "tallowin-why-" + id_ + ".exe";
  SeedText(Root::CurrentUser, kRun, "TallowinSystem" + id_, windows + "\\System32\\" + name);
  const std::vector<Issue> issues = Scan({"16"}, /*check64Bit=*/true);
  const Issue* row = Find(issues, {"", "Non-existent Startup Programs",
                                   windows + "\\System32\\" + name, "TallowinSystem" + id_, ""});
  ASSERT_NE(row, nullptr);
  const std::string why = Explain(*row, /*check64Bit=*/true);
  EXPECT_EQ(why, "Looked for " + windows + "\\System32\\" + name + " and " + windows +
                     "\\SysWOW64\\" + name + ": neither exists.");
}

}  // namespace
}  // namespace tallowin
