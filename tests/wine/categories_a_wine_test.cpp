// Categories 6, 9-14, 16 and 17 on the real registry and files: stale and valid entries
// are seeded with unique names in the fixed places the categories read, and removed again.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/reg_global.h"
#include "platform/text.h"
#include "platform/win32/win32_platform.h"
#include "scan/scan_task.h"
#include "tests/backend/backend_fixture.h"
#include "tests/support/reg_data.h"
#include "tests/support/scan_recorder.h"
#include "tests/support/seeding_test.h"

namespace tallowin {
namespace {

using platform::Root;
using Rows = std::vector<std::string>;
using testing_support::Dword;
using testing_support::Row;

const std::string kSharedDlls = R"(Software\Microsoft\Windows\CurrentVersion\SharedDlls)";
const std::string kNtFonts = R"(Software\Microsoft\Windows NT\CurrentVersion\Fonts)";
const std::string kHelp = R"(Software\Microsoft\Windows\Help)";
const std::string kHtmlHelp = R"(Software\Microsoft\Windows\Html Help)";
const std::string kRun = R"(Software\Microsoft\Windows\CurrentVersion\Run)";
const std::string kRunOnce = R"(Software\Microsoft\Windows\CurrentVersion\RunOnce)";
const std::string kStartupReg = R"(Software\Microsoft\Shared Tools\MSConfig\startupreg)";
const std::string kServices = R"(SYSTEM\CurrentControlSet\Services)";
const std::string kMru = R"(Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\OpenSaveMRU)";
const std::string kUserAssist =
    R"(Software\Microsoft\Windows\CurrentVersion\Explorer\UserAssist\{75048700-EF1F-11D0-9888-006097DEACF9}\Count)";
const std::string kUninstall = R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall)";

// REG_SZ data as the wide functions store it.
std::string Text(const std::string& text) { return RegStringData(text); }

class CategoriesOnRealRegistry : public testing_support::SeedingTest {
 protected:
  void SetUp() override {
    SeedingTest::SetUp();
    backend_ = testing_support::MakeBackendUnderTest();
    ASSERT_NE(backend_, nullptr);
    sandbox_ = backend_->SandboxFolder();
    ASSERT_FALSE(sandbox_.empty());
  }

  void TearDown() override {
    SeedingTest::TearDown();
    backend_.reset();
  }

  Rows Run(int code) {
    testing_support::ScanRecorder recorder;
    TScanTaskThread scan(machine_.platform(), recorder, true);
    scan.TaskList = {std::to_string(code)};
    scan.Execute();
    return testing_support::Rows(recorder.issues);
  }

  static bool Has(const Rows& rows, const std::string& row) {
    return std::find(rows.begin(), rows.end(), row) != rows.end();
  }
  // No row mentions `text` at all.
  static bool Mentions(const Rows& rows, const std::string& text) {
    return std::any_of(rows.begin(), rows.end(),
                       [&](const std::string& r) { return r.find(text) != std::string::npos; });
  }

  std::string sandbox_;

 private:
  std::unique_ptr<testing_support::BackendUnderTest> backend_;
};

TEST_F(CategoriesOnRealRegistry, SharedDlls) {
  const std::string used = SeedFile(sandbox_ + "\\used.dll");
  const std::string unused = SeedFile(sandbox_ + "\\unused.dll");
  const std::string gone = sandbox_ + "\\gone.dll";
  const std::string text = sandbox_ + "\\text.dll";
  SeedValue(Root::LocalMachine, kSharedDlls, used, platform::kRegDword, Dword(1));
  SeedValue(Root::LocalMachine, kSharedDlls, unused, platform::kRegDword, Dword(0));
  SeedValue(Root::LocalMachine, kSharedDlls, gone, platform::kRegDword, Dword(2));
  SeedValue(Root::LocalMachine, kSharedDlls, text, platform::kRegSz, Text("1"));

  const Rows rows = Run(9);
  const std::string key = "HKEY_LOCAL_MACHINE\\" + kSharedDlls;
  EXPECT_TRUE(Has(rows, Row("Non-existent Shared Dlls", unused, key, ekValueInData)));
  EXPECT_TRUE(Has(rows, Row("Non-existent Shared Dlls", gone, key, ekValueInData)));
  EXPECT_FALSE(Mentions(rows, used));
  EXPECT_FALSE(Mentions(rows, text));
}

TEST_F(CategoriesOnRealRegistry, FontsAgainstTheRealFontsFolder) {
  ASSERT_EQ(GetWindowsVersionCode(machine_.platform().system) == 1 ||
                GetWindowsVersionCode(machine_.platform().system) == 3 ||
                GetWindowsVersionCode(machine_.platform().system) == 8,
            false);
  std::optional<std::string> fonts = machine_.platform().files.SpecialFolder(platform::kCsidlFonts);
  ASSERT_TRUE(fonts.has_value());
  ASSERT_TRUE(platform::FolderExists(machine_.platform().files, *fonts)) << *fonts;
  const std::string fontName = "tallowin_" + id_ + ".ttf";
  const std::string fontPath = SeedFile(*fonts + "\\" + fontName);
  const std::string gone = sandbox_ + "\\gone.ttf";

  SeedValue(Root::LocalMachine, kNtFonts, "Tallowin Bare " + id_, platform::kRegSz,
            Text(AsciiUpper(fontName)));
  SeedValue(Root::LocalMachine, kNtFonts, "Tallowin Full " + id_, platform::kRegSz, Text(fontPath));
  SeedValue(Root::LocalMachine, kNtFonts, "Tallowin Gone " + id_, platform::kRegSz, Text(gone));
  SeedValue(Root::LocalMachine, kNtFonts, "Tallowin Missing " + id_, platform::kRegSz,
            Text("missing_" + id_ + ".ttf"));

  const Rows rows = Run(10);
  EXPECT_TRUE(Has(rows, Row("Invalid Windows Fonts", gone,
                            "HKEY_LOCAL_MACHINE\\" + kNtFonts + "\\Tallowin Gone " + id_,
                            ekValueInKeyPath)));
  EXPECT_FALSE(Mentions(rows, "Tallowin Bare " + id_));
  EXPECT_FALSE(Mentions(rows, "Tallowin Full " + id_));
  EXPECT_FALSE(Mentions(rows, "Tallowin Missing " + id_));
}

TEST_F(CategoriesOnRealRegistry, HelpFiles) {
  SeedFile(sandbox_ + "\\here_" + id_ + ".hlp");
  SeedValue(Root::LocalMachine, kHelp, "here_" + id_ + ".hlp", platform::kRegSz, Text(sandbox_));
  SeedValue(Root::LocalMachine, kHelp, "gone_" + id_ + ".hlp", platform::kRegSz,
            Text(sandbox_ + "\\"));
  SeedValue(Root::LocalMachine, kHtmlHelp, "gone_" + id_ + ".chm", platform::kRegSz,
            Text(sandbox_));

  const Rows rows = Run(11);
  EXPECT_TRUE(Has(rows, Row("Invalid Help Files Item", sandbox_ + "\\gone_" + id_ + ".hlp",
                            "HKEY_LOCAL_MACHINE\\" + kHelp + "\\gone_" + id_ + ".hlp",
                            ekValueInKeyPath)));
  EXPECT_TRUE(Has(rows, Row("Invalid Help Files Item", sandbox_ + "\\gone_" + id_ + ".chm",
                            "HKEY_LOCAL_MACHINE\\" + kHtmlHelp + "\\gone_" + id_ + ".chm",
                            ekValueInKeyPath)));
  EXPECT_FALSE(Mentions(rows, "here_" + id_));
}

TEST_F(CategoriesOnRealRegistry, StartupPrograms) {
  const std::string ok = SeedFile(sandbox_ + "\\ok.exe");
  const std::string gone = "\"" + sandbox_ + "\\gone.exe\" /min";
  SeedValue(Root::CurrentUser, kRun, "TallowinOk" + id_, platform::kRegSz,
            Text("\"" + ok + "\" /min"));
  SeedValue(Root::CurrentUser, kRun, "TallowinGone" + id_, platform::kRegSz, Text(gone));
  SeedValue(Root::CurrentUser, kRun, "TallowinEmpty" + id_, platform::kRegSz, Text(""));
  SeedValue(Root::LocalMachine, kRunOnce, "TallowinGoneLm" + id_, platform::kRegExpandSz,
            Text(gone));
  SeedKey(Root::LocalMachine, kStartupReg + "\\TallowinGone" + id_);
  SeedValue(Root::LocalMachine, kStartupReg + "\\TallowinGone" + id_, "command", platform::kRegSz,
            Text(gone));
  SeedKey(Root::LocalMachine, kStartupReg + "\\TallowinOk" + id_);
  SeedValue(Root::LocalMachine, kStartupReg + "\\TallowinOk" + id_, "command", platform::kRegSz,
            Text(ok));

  const Rows rows = Run(16);
  const char* problem = "Non-existent Startup Programs";
  EXPECT_TRUE(Has(rows, Row(problem, gone, "HKEY_CURRENT_USER\\" + kRun + "\\TallowinGone" + id_,
                            ekValueInKeyPath)));
  EXPECT_TRUE(Has(rows, Row(problem, "", "HKEY_CURRENT_USER\\" + kRun + "\\TallowinEmpty" + id_,
                            ekValueInKeyPath)));
  EXPECT_TRUE(Has(rows, Row(problem, gone,
                            "HKEY_LOCAL_MACHINE\\" + kRunOnce + "\\TallowinGoneLm" + id_,
                            ekValueInKeyPath)));
  EXPECT_TRUE(Has(rows, Row(problem, gone,
                            "HKEY_LOCAL_MACHINE\\" + kStartupReg + "\\TallowinGone" + id_, ekKey)));
  EXPECT_FALSE(Mentions(rows, "TallowinOk" + id_));
  EXPECT_FALSE(Mentions(rows, ok));
}

TEST_F(CategoriesOnRealRegistry, Services) {
  const std::string ok = SeedFile(sandbox_ + "\\svc.exe");
  const std::string gone = sandbox_ + "\\gone.exe";
  for (const std::string& name : {"TallowinGone" + id_, "TallowinSLSVC" + id_}) {
    SeedKey(Root::LocalMachine, kServices + "\\" + name);
    SeedValue(Root::LocalMachine, kServices + "\\" + name, "ImagePath", platform::kRegExpandSz,
              Text(gone));
  }
  SeedKey(Root::LocalMachine, kServices + "\\TallowinOk" + id_);
  SeedValue(Root::LocalMachine, kServices + "\\TallowinOk" + id_, "ImagePath", platform::kRegSz,
            Text(ok + " -k"));

  const Rows rows = Run(17);
  EXPECT_TRUE(Has(rows, Row("Windows Service Issue", gone,
                            "HKEY_LOCAL_MACHINE\\" + kServices + "\\TallowinGone" + id_ +
                                "\\ImagePath",
                            ekValueInKeyPath)));
  EXPECT_FALSE(Mentions(rows, "TallowinSLSVC" + id_));
  EXPECT_FALSE(Mentions(rows, "TallowinOk" + id_));
}

TEST_F(CategoriesOnRealRegistry, MruListsAndUserAssist) {
  const std::string extension = "tlw" + id_;
  SeedFile(sandbox_ + "\\letter." + extension);
  SeedKey(Root::CurrentUser, kMru + "\\" + extension);
  SeedValue(Root::CurrentUser, kMru, "TallowinFound" + id_, platform::kRegSz,
            Text(sandbox_ + "\\letter"));
  SeedValue(Root::CurrentUser, kMru, "TallowinGone" + id_, platform::kRegSz,
            Text(sandbox_ + "\\missing"));
  SeedValue(Root::CurrentUser, kMru + "\\" + extension, "a" + id_, platform::kRegSz,
            Text(sandbox_ + "\\gone." + extension));

  auto counter = [](uint32_t runs) { return Dword(1) + Dword(runs) + Dword(0) + Dword(0); };
  const std::string ran = SeedFile(sandbox_ + "\\ran.exe");
  const std::string vanished = "UEME_RUNPATH:" + sandbox_ + "\\vanished.exe";
  const std::string never = "UEME_RUNPATH:" + ran + ";never";
  SeedValue(Root::CurrentUser, kUserAssist, Rot13(vanished), platform::kRegBinary, counter(4));
  SeedValue(Root::CurrentUser, kUserAssist, Rot13("UEME_RUNPATH:" + ran), platform::kRegBinary,
            counter(4));
  SeedValue(Root::CurrentUser, kUserAssist, Rot13(never), platform::kRegBinary, counter(0));

  const Rows rows = Run(13);
  const char* problem = "Non-existent MRU and History Lists file";
  EXPECT_TRUE(Has(rows, Row(problem, sandbox_ + "\\missing",
                            "HKEY_CURRENT_USER\\" + kMru + "\\TallowinGone" + id_,
                            ekValueInKeyPath)));
  EXPECT_TRUE(Has(rows, Row(problem, sandbox_ + "\\gone." + extension,
                            "HKEY_CURRENT_USER\\" + kMru + "\\" + extension + "\\a" + id_,
                            ekValueInKeyPath)));
  EXPECT_FALSE(Mentions(rows, "TallowinFound" + id_));
  EXPECT_TRUE(Has(rows, Row(problem, vanished, "HKEY_CURRENT_USER\\" + kUserAssist,
                            ekEncodedValueInData)));
  EXPECT_TRUE(Has(rows, Row(problem, never, "HKEY_CURRENT_USER\\" + kUserAssist,
                            ekEncodedValueInData)));
  EXPECT_FALSE(Has(rows, Row(problem, "UEME_RUNPATH:" + ran, "HKEY_CURRENT_USER\\" + kUserAssist,
                             ekEncodedValueInData)));
}

TEST_F(CategoriesOnRealRegistry, ObsoleteSoftware) {
  SeedKey(Root::CurrentUser, "Software\\TallowinEmpty" + id_);
  SeedKey(Root::CurrentUser, "Software\\TallowinFull" + id_);
  SeedValue(Root::CurrentUser, "Software\\TallowinFull" + id_, "v", platform::kRegSz, Text("1"));
  SeedKey(Root::LocalMachine, "Software\\TallowinEmptyLm" + id_ + "\\Only" + id_);

  const Rows rows = Run(6);
  EXPECT_TRUE(Has(rows, Row("Obsolete Software Entry", "TallowinEmpty" + id_,
                            "HKEY_CURRENT_USER\\Software", ekSubKeyInData)));
  EXPECT_TRUE(Has(rows, Row("Obsolete Software Entry", "TallowinEmptyLm" + id_,
                            "HKEY_LOCAL_MACHINE\\Software", ekSubKeyInData)));
  EXPECT_FALSE(Mentions(rows, "TallowinFull" + id_));
  EXPECT_FALSE(Mentions(rows, "Only" + id_));
}

TEST_F(CategoriesOnRealRegistry, EmptyUninstallEntries) {
  const std::string app = kUninstall + "\\TallowinApp" + id_;
  SeedKey(Root::LocalMachine, app + "\\Sub");
  SeedValue(Root::LocalMachine, app, "DisplayName", platform::kRegSz, Text("Tallowin test"));

  const Rows rows = Run(12);
  EXPECT_TRUE(Has(rows, Row("Empty Registry Keys", "Sub", "HKEY_LOCAL_MACHINE\\" + app,
                            ekSubKeyInData)));
  EXPECT_FALSE(Mentions(rows, "| TallowinApp" + id_ + " |"));
}

TEST_F(CategoriesOnRealRegistry, EmptyUserKeys) {
  const std::string parent = "Software\\TallowinUser" + id_;
  SeedKey(Root::CurrentUser, parent + "\\Leaf" + id_);
  SeedValue(Root::CurrentUser, parent, "v", platform::kRegSz, Text("1"));
  SeedKey(Root::CurrentUser, "Software\\Classes\\TallowinProtected" + id_);

  const Rows rows = Run(14);
  // The current user's hive appears below HKEY_USERS under its SID.
  const auto leaf = std::find_if(rows.begin(), rows.end(), [&](const std::string& r) {
    return r.find("| Leaf" + id_ + " |") != std::string::npos;
  });
  ASSERT_NE(leaf, rows.end());
  EXPECT_EQ(leaf->rfind("Empty Registry Keys | Leaf" + id_ + " | HKEY_USERS\\S-1-", 0), 0u)
      << *leaf;
  EXPECT_NE(leaf->find("\\" + parent + " | 3"), std::string::npos) << *leaf;
  EXPECT_FALSE(Mentions(rows, "TallowinProtected" + id_));
  EXPECT_FALSE(Mentions(rows, "| TallowinUser" + id_ + " |"));
}

}  // namespace
}  // namespace tallowin
