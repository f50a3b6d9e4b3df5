// Shared DLLs, fonts, help files, startup programs, services and MRU lists over the
// in-memory machine.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/reg_global.h"
#include "tests/native/category_test_support.h"
#include "tests/support/reg_data.h"

namespace tallowin {
namespace {

using category_test::CategoryTest;
using category_test::Row;
using category_test::RunScan;
using platform::Root;
using platform::memory::MemoryMachine;
using Rows = std::vector<std::string>;
using testing_support::Dword;

const std::string kHklm = "HKEY_LOCAL_MACHINE\\";
const std::string kHkcu = "HKEY_CURRENT_USER\\";
const std::string kSharedDlls = R"(Software\Microsoft\Windows\CurrentVersion\SharedDlls)";
const std::string kNtFonts = R"(Software\Microsoft\Windows NT\CurrentVersion\Fonts)";
const std::string k9xFonts = R"(Software\Microsoft\Windows\CurrentVersion\Fonts)";
const std::string kHelp = R"(Software\Microsoft\Windows\Help)";
const std::string kHtmlHelp = R"(Software\Microsoft\Windows\Html Help)";
const std::string kRun = R"(Software\Microsoft\Windows\CurrentVersion\Run)";
const std::string kRunOnce = R"(Software\Microsoft\Windows\CurrentVersion\RunOnce)";
const std::string kStartupReg = R"(Software\Microsoft\Shared Tools\MSConfig\startupreg)";
const std::string kServices = R"(SYSTEM\CurrentControlSet\Services)";
const std::string kMru = R"(Software\Microsoft\Windows\CurrentVersion\Explorer\ComDlg32\OpenSaveMRU)";
const std::string kUserAssist =
    R"(Software\Microsoft\Windows\CurrentVersion\Explorer\UserAssist\{75048700-EF1F-11D0-9888-006097DEACF9}\Count)";

const char* kDllProblem = "Non-existent Shared Dlls";
const char* kFontProblem = "Invalid Windows Fonts";
const char* kHelpProblem = "Invalid Help Files Item";
const char* kStartupProblem = "Non-existent Startup Programs";
const char* kServiceProblem = "Windows Service Issue";
const char* kMruProblem = "Non-existent MRU and History Lists file";

// A UserAssist counter: session word, run count, two more words.
std::string Counter(uint32_t runCount) { return Dword(1) + Dword(runCount) + Dword(0) + Dword(0); }

// ---- shared DLLs, fonts, help files -------------------------------------------------

TEST_F(CategoryTest, SharedDlls_ReportsMissingOrUnreferencedDllsOnly) {
  machine.files.AddFile(R"(C:\Lib\used.dll)");
  machine.files.AddFile(R"(C:\Lib\unused.dll)");
  machine.files.AddFile(R"(C:\Lib\short.dll)");
  auto& reg = machine.registry;
  reg.SetDword(Root::LocalMachine, kSharedDlls, R"(C:\Lib\used.dll)", 1);
  reg.SetDword(Root::LocalMachine, kSharedDlls, R"(C:\Lib\unused.dll)", 0);
  reg.SetDword(Root::LocalMachine, kSharedDlls, R"(C:\Lib\gone.dll)", 3);
  reg.SetString(Root::LocalMachine, kSharedDlls, R"(C:\Lib\text.dll)", "0");
  // A count that is not a whole DWORD is not known: only the file decides.
  reg.SetValue(Root::LocalMachine, kSharedDlls, R"(C:\Lib\short.dll)", platform::kRegDword,
               std::string(2, '\0'));
  reg.SetValue(Root::LocalMachine, kSharedDlls, R"(C:\Lib\gone2.dll)", platform::kRegDword, "");

  const std::string key = kHklm + kSharedDlls;
  EXPECT_EQ(Run(9), (Rows{Row(kDllProblem, R"(C:\Lib\unused.dll)", key, ekValueInData),
                          Row(kDllProblem, R"(C:\Lib\gone.dll)", key, ekValueInData),
                          Row(kDllProblem, R"(C:\Lib\gone2.dll)", key, ekValueInData)}));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Shared DLLs");
  EXPECT_EQ(recorder.keys, (Rows{kSharedDlls, "Please wait..."}));
}

TEST_F(CategoryTest, SharedDlls_ReadsAKeyRefusedToFullAccess) {
  machine.registry.SetDword(Root::LocalMachine, kSharedDlls, R"(C:\Lib\gone.dll)", 1);
  machine.registry.DenyWrite(Root::LocalMachine, kSharedDlls);
  EXPECT_EQ(Run(9).size(), 1u);
  machine.registry.DenyOpen(Root::LocalMachine, kSharedDlls);
  EXPECT_TRUE(Run(9).empty());
}

TEST_F(CategoryTest, FloppyRule_ReportsEmptyDriveAWithoutTouchingIt) {
  machine.registry.SetDword(Root::LocalMachine, kSharedDlls, R"(A:\x.dll)", 1);
  machine.registry.SetString(Root::LocalMachine, kNtFonts, "Floppy", R"(a:\fonts\f.ttf)");
  machine.registry.SetString(Root::LocalMachine, kHelp, "setup.hlp", R"(A:\Help)");
  const category_test::DriveSetup emptyFloppy{false, false, false};

  const size_t probesBefore = machine.files.ProbeCount();
  const Rows found = RunScan(machine, machine.registry, recorder, {"9", "10", "11"}, emptyFloppy);
  EXPECT_EQ(found, (Rows{Row(kDllProblem, R"(A:\x.dll)", kHklm + kSharedDlls, ekValueInData),
                         Row(kFontProblem, R"(a:\fonts\f.ttf)", kHklm + kNtFonts + "\\Floppy",
                             ekValueInKeyPath),
                         Row(kHelpProblem, R"(A:\Help\setup.hlp)", kHklm + kHelp + "\\setup.hlp",
                             ekValueInKeyPath)}));
  EXPECT_EQ(machine.files.ProbeCount(), probesBefore);

  // With "Ignore Remove Drives" on, drive A is never judged at all.
  EXPECT_TRUE(RunScan(machine, machine.registry, recorder, {"9", "10", "11"}).empty());
}

TEST(Fonts, ChoosesTheKeyByWindowsVersion) {
  struct Case {
    platform::OsVersion version;
    const std::string* key;
  };
  const Case cases[] = {{{2, 6, 1}, &kNtFonts},  {{2, 5, 1}, &kNtFonts}, {{2, 6, 2}, &kNtFonts},
                        {{2, 10, 0}, &kNtFonts}, {{1, 4, 10}, &k9xFonts}, {{1, 4, 90}, &k9xFonts},
                        {{1, 4, 0}, &k9xFonts}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.version.platformId << " " << c.version.major << "."
                                    << c.version.minor);
    MemoryMachine machine;
    category_test::Recorder recorder;
    machine.system.version = c.version;
    for (const std::string* key : {&kNtFonts, &k9xFonts})
      machine.registry.SetString(Root::LocalMachine, *key, "Gone", R"(C:\Fonts\Gone.ttf)");
    EXPECT_EQ(RunScan(machine, machine.registry, recorder, {"10"}),
              (Rows{Row(kFontProblem, R"(C:\Fonts\Gone.ttf)", kHklm + *c.key + "\\Gone",
                        ekValueInKeyPath)}));
  }
}

TEST_F(CategoryTest, Fonts_JudgesFullPathsAndAcceptsNamesInTheFontsFolder) {
  machine.files.SetSpecialFolder(platform::kCsidlFonts, R"(C:\Windows\Fonts)");
  machine.files.AddFolder(R"(C:\Windows\Fonts)");
  machine.files.AddFile(R"(C:\Windows\Fonts\arial.ttf)");
  machine.files.SetEnvironment("WINDIR", R"(C:\Windows)");
  auto& reg = machine.registry;
  reg.SetString(Root::LocalMachine, kNtFonts, "Arial (TrueType)", "ARIAL.TTF");
  reg.SetString(Root::LocalMachine, kNtFonts, "Gone", R"(C:\Fonts\Gone.ttf)");
  reg.SetString(Root::LocalMachine, kNtFonts, "Bare", "Missing.ttf");
  reg.SetString(Root::LocalMachine, kNtFonts, R"(C:\Fonts\Named.ttf)", R"(C:\Fonts\Named.ttf)");
  reg.SetString(Root::LocalMachine, kNtFonts, "Here", R"(C:\Windows\Fonts\arial.ttf)");
  reg.SetValue(Root::LocalMachine, kNtFonts, "Binary", platform::kRegBinary, R"(C:\Gone.ttf)");
  reg.SetString(Root::LocalMachine, kNtFonts, "Expand", R"(%WINDIR%\Fonts\gone.ttf)",
                platform::kRegExpandSz);

  EXPECT_EQ(Run(10), (Rows{Row(kFontProblem, R"(C:\Fonts\Gone.ttf)", kHklm + kNtFonts + "\\Gone",
                               ekValueInKeyPath),
                           Row(kFontProblem, R"(C:\Fonts\Named.ttf)", kHklm + kNtFonts,
                               ekValueInData),
                           Row(kFontProblem, R"(%WINDIR%\Fonts\gone.ttf)",
                               kHklm + kNtFonts + "\\Expand", ekValueInKeyPath)}));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Fonts Sections");
}

TEST_F(CategoryTest, HelpFiles_BuildThePathFromFolderAndName) {
  machine.files.AddFile(R"(C:\App\app.hlp)");
  auto& reg = machine.registry;
  reg.SetString(Root::LocalMachine, kHelp, "app.hlp", R"(C:\App)");
  reg.SetString(Root::LocalMachine, kHelp, "gone.hlp", R"(C:\App)");
  reg.SetString(Root::LocalMachine, kHelp, "slash.hlp", R"(C:\App\)");
  reg.SetString(Root::LocalMachine, kHelp, "bare.hlp", "");
  reg.SetString(Root::LocalMachine, kHelp, R"(C:\Other\x.hlp)", "");
  reg.SetDword(Root::LocalMachine, kHelp, "number.hlp", 1);
  reg.SetString(Root::LocalMachine, kHtmlHelp, "gone.chm", R"(C:\App)");

  EXPECT_EQ(Run(11),
            (Rows{Row(kHelpProblem, R"(C:\App\gone.hlp)", kHklm + kHelp + "\\gone.hlp",
                      ekValueInKeyPath),
                  Row(kHelpProblem, R"(C:\App\slash.hlp)", kHklm + kHelp + "\\slash.hlp",
                      ekValueInKeyPath),
                  Row(kHelpProblem, R"(C:\Other\x.hlp)", kHklm + kHelp, ekValueInData),
                  Row(kHelpProblem, R"(C:\App\gone.chm)", kHklm + kHtmlHelp + "\\gone.chm",
                      ekValueInKeyPath)}));
  EXPECT_EQ(recorder.keys, (Rows{kHelp, kHtmlHelp, "Please wait..."}));

  // A Help key that cannot be opened still leaves the Html Help key.
  machine.registry.DenyOpen(Root::LocalMachine, kHelp);
  EXPECT_EQ(Run(11), (Rows{Row(kHelpProblem, R"(C:\App\gone.chm)",
                               kHklm + kHtmlHelp + "\\gone.chm", ekValueInKeyPath)}));
}

// ---- startup programs and services ----------------------------------------------------

TEST_F(CategoryTest, StartupPrograms_ReportEmptyAndBrokenCommandLines) {
  machine.files.AddFile(R"(C:\Program Files\Tool\tool.exe)");
  auto& reg = machine.registry;
  reg.SetString(Root::CurrentUser, kRun, "Empty", "");
  reg.SetString(Root::CurrentUser, kRun, "Quotes", "\"\"");
  reg.SetString(Root::CurrentUser, kRun, "Tool", R"("C:\Program Files\Tool\tool.exe" /min)");
  reg.SetString(Root::CurrentUser, kRun, "Gone", R"("C:\Tools\gone.exe" /x)");
  reg.SetString(Root::CurrentUser, kRun, R"(C:\Named\app.exe)", R"(C:\Named\app.exe)");
  reg.SetValue(Root::CurrentUser, kRun, "Binary", platform::kRegBinary, "");
  reg.SetString(Root::CurrentUser, kRun, "Relative", "notepad.exe /s");

  const std::string key = kHkcu + kRun;
  EXPECT_EQ(Run(16), (Rows{Row(kStartupProblem, "", key + "\\Empty", ekValueInKeyPath),
                           Row(kStartupProblem, "\"\"", key + "\\Quotes", ekValueInKeyPath),
                           Row(kStartupProblem, R"("C:\Tools\gone.exe" /x)", key + "\\Gone",
                               ekValueInKeyPath),
                           Row(kStartupProblem, R"(C:\Named\app.exe)", key, ekValueInData)}));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Startup Programs");
}

TEST_F(CategoryTest, StartupPrograms_VisitTheFourRunKeysInOrder) {
  // Created in reverse, so the order found is the scan's own.
  machine.registry.SetString(Root::LocalMachine, kRunOnce, "D", R"(C:\d.exe)");
  machine.registry.SetString(Root::LocalMachine, kRun, "C", R"(C:\c.exe)");
  machine.registry.SetString(Root::CurrentUser, kRunOnce, "B", R"(C:\b.exe)");
  machine.registry.SetString(Root::CurrentUser, kRun, "A", R"(C:\a.exe)");
  EXPECT_EQ(Run(16),
            (Rows{Row(kStartupProblem, R"(C:\a.exe)", kHkcu + kRun + "\\A", ekValueInKeyPath),
                  Row(kStartupProblem, R"(C:\b.exe)", kHkcu + kRunOnce + "\\B", ekValueInKeyPath),
                  Row(kStartupProblem, R"(C:\c.exe)", kHklm + kRun + "\\C", ekValueInKeyPath),
                  Row(kStartupProblem, R"(C:\d.exe)", kHklm + kRunOnce + "\\D",
                      ekValueInKeyPath)}));
}

TEST_F(CategoryTest, ScanRunKey_UpperCasesTheRootAndIgnoresOtherNames) {
  machine.registry.SetString(Root::Users, R"(S-1\Run)", "X", R"(C:\x.exe)");
  Run(0, {}, [](TScanTaskThread& scan) {
    scan.ScanRunKey("hkey_users", R"(S-1\Run)");
    scan.ScanRunKey("HKU", R"(S-1\Run)");
    scan.ScanRunKey("HKEY_USERSX", R"(S-1\Run)");
  });
  EXPECT_EQ(category_test::Rows(recorder.issues),
            (Rows{Row(kStartupProblem, R"(C:\x.exe)", R"(HKEY_USERS\S-1\Run\X)",
                      ekValueInKeyPath)}));
}

TEST_F(CategoryTest, StartupPrograms_StartupRegSubKeysAreReportedWhole) {
  machine.files.AddFile(R"(C:\Here\ok.exe)");
  auto& reg = machine.registry;
  reg.SetString(Root::LocalMachine, kStartupReg + "\\A", "command", R"(C:\Gone\a.exe /q)");
  reg.CreateKey(Root::LocalMachine, kStartupReg + "\\B");  // no command
  reg.SetDword(Root::LocalMachine, kStartupReg + "\\C", "command", 1);
  reg.SetString(Root::LocalMachine, kStartupReg + "\\D", "command", R"(C:\Gone\d.exe)");
  reg.SetString(Root::LocalMachine, kStartupReg + "\\E", "command", R"(C:\Gone\e.exe)");
  reg.DenyOpen(Root::LocalMachine, kStartupReg + "\\E");
  reg.SetString(Root::LocalMachine, kStartupReg + "\\F", "command", R"(C:\Here\ok.exe)");
  reg.SetString(Root::LocalMachine, kStartupReg + "\\G", "command", "");

  EXPECT_EQ(Run(16), (Rows{Row(kStartupProblem, R"(C:\Gone\a.exe /q)",
                               kHklm + kStartupReg + "\\A", ekKey),
                           Row(kStartupProblem, R"(C:\Gone\d.exe)", kHklm + kStartupReg + "\\D",
                               ekKey)}));
}

TEST_F(CategoryTest, Services_ReportOnlyTheImagePathOfBrokenServices) {
  machine.files.AddFolder(R"(C:\Svc\Dir)");
  auto& reg = machine.registry;
  reg.SetString(Root::LocalMachine, kServices + "\\Gone", "ImagePath", R"(C:\Drivers\gone.sys)");
  reg.SetString(Root::LocalMachine, kServices + "\\slsvc", "ImagePath", R"(C:\x\sl.exe)");
  reg.SetString(Root::LocalMachine, kServices + "\\MySLSvcX", "ImagePath", R"(C:\x\sl.exe)");
  reg.SetString(Root::LocalMachine, kServices + "\\Driver", "ImagePath",
                R"(system32\drivers\x.sys)");
  reg.SetString(Root::LocalMachine, kServices + "\\Folder", "ImagePath", R"(C:\Svc\Dir)");
  reg.SetString(Root::LocalMachine, kServices + "\\NoImage", "DisplayName", R"(C:\x\y.exe)");
  reg.SetDword(Root::LocalMachine, kServices + "\\Number", "ImagePath", 0);
  reg.SetString(Root::LocalMachine, kServices + "\\Refused", "ImagePath", R"(C:\x\r.exe)");
  reg.DenyOpen(Root::LocalMachine, kServices + "\\Refused");
  reg.SetString(Root::LocalMachine, kServices + "\\Zed", "ImagePath", R"("C:\x\z.exe" -k)",
                platform::kRegExpandSz);

  EXPECT_EQ(Run(17), (Rows{Row(kServiceProblem, R"(C:\Drivers\gone.sys)",
                               kHklm + kServices + "\\Gone\\ImagePath", ekValueInKeyPath),
                           Row(kServiceProblem, R"("C:\x\z.exe" -k)",
                               kHklm + kServices + "\\Zed\\ImagePath", ekValueInKeyPath)}));
  EXPECT_EQ(recorder.captions.front(), "Scanning: Windows Services");
}

TEST(Services, SvchostIsJudgedOn32BitWindowsOnly) {
  struct Case {
    bool wow64, present, reported;
  };
  for (const Case& c : {Case{false, true, false}, Case{false, false, true},
                        Case{true, false, false}}) {
    SCOPED_TRACE(testing::Message() << "wow64 " << c.wow64 << " present " << c.present);
    MemoryMachine machine;
    category_test::Recorder recorder;
    machine.system.wow64 = c.wow64;
    machine.files.AddFolder(R"(C:\Windows\System32)");
    if (c.present) machine.files.AddFile(R"(C:\Windows\System32\svchost.exe)");
    machine.files.SetEnvironment("SystemRoot", R"(C:\Windows)");
    machine.registry.SetString(Root::LocalMachine, kServices + "\\Netsvcs", "ImagePath",
                               R"(%SystemRoot%\System32\svchost.exe -k netsvcs)",
                               platform::kRegExpandSz);
    EXPECT_EQ(RunScan(machine, machine.registry, recorder, {"17"}).size(), c.reported ? 1u : 0u);
  }
}

// ---- MRU and history lists ------------------------------------------------------------

TEST(DialogMru, TestsDirectValuesWithTheListedExtensions) {
  struct Case {
    const char* name;
    std::vector<std::string> extensions;
    std::vector<std::string> files, folders;
    std::string valueName, data;
    bool reported;
    category_test::DriveSetup drives;
  };
  const Case cases[] = {
      {"extension found", {"doc", "*"}, {R"(C:\Docs\letter.doc)"}, {}, "a", R"(C:\Docs\letter)",
       false, {}},
      {"second extension found", {"txt", "doc"}, {R"(C:\Docs\letter.doc)"}, {}, "a",
       R"(C:\Docs\letter)", false, {}},
      {"only the star", {"*"}, {R"(C:\Docs\letter.doc)", R"(C:\Docs\letter)"}, {}, "a",
       R"(C:\Docs\letter)", true, {}},
      {"no extensions", {}, {R"(C:\Docs\letter)"}, {}, "a", R"(C:\Docs\letter)", true, {}},
      {"a folder is no file", {"doc"}, {}, {R"(C:\Docs\letter.doc)"}, "a", R"(C:\Docs\letter)",
       true, {}},
      {"drive not tested", {"doc"}, {}, {}, "a", R"(D:\Docs\letter)", false, {}},
      {"relative path", {"doc"}, {}, {}, "a", R"(Docs\letter)", false, {}},
      {"MRU order list", {"doc"}, {}, {}, "MRUList", "ab", false, {}},
      {"empty floppy", {"doc"}, {}, {}, "a", R"(a:\letter)", true, {false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    MemoryMachine machine;
    category_test::Recorder recorder;
    for (const std::string& e : c.extensions) machine.registry.CreateKey(Root::CurrentUser, kMru + "\\" + e);
    for (const std::string& f : c.files) machine.files.AddFile(f);
    for (const std::string& f : c.folders) machine.files.AddFolder(f);
    machine.registry.SetString(Root::CurrentUser, kMru, c.valueName, c.data);
    const size_t probes = machine.files.ProbeCount();
    const Rows found = RunScan(machine, machine.registry, recorder, {"13"}, c.drives);
    const Rows expected =
        c.reported ? Rows{Row(kMruProblem, c.data, kHkcu + kMru + "\\" + c.valueName,
                              ekValueInKeyPath)}
                   : Rows{};
    EXPECT_EQ(found, expected);
    if (!c.drives.ignoreRemoveDrives) {
      EXPECT_EQ(machine.files.ProbeCount(), probes);
    }
  }
}

TEST_F(CategoryTest, DialogMru_NamesWithBackslashAndExtensionSubKeys) {
  auto& reg = machine.registry;
  reg.SetString(Root::CurrentUser, kMru, R"(C:\Docs\named)", R"(C:\Docs\named)");
  reg.SetString(Root::CurrentUser, kMru + "\\txt", "a", R"(C:\Docs\gone.txt)");
  reg.SetString(Root::CurrentUser, kMru + "\\txt", "MRUList", "a");
  reg.SetString(Root::CurrentUser, kMru + "\\*", "b", R"(C:\Docs\gone.bin)");

  EXPECT_EQ(Run(13), (Rows{Row(kMruProblem, R"(C:\Docs\named)", kHkcu + kMru, ekValueInData),
                           Row(kMruProblem, R"(C:\Docs\gone.bin)", kHkcu + kMru + "\\*\\b",
                               ekValueInKeyPath),
                           Row(kMruProblem, R"(C:\Docs\gone.txt)", kHkcu + kMru + "\\txt\\a",
                               ekValueInKeyPath)}));
  EXPECT_EQ(recorder.captions.front(), "Scanning: MRU and History Lists");
}

TEST_F(CategoryTest, UserAssist_ReportsNeverRunAndVanishedPrograms) {
  machine.files.AddFile(R"(C:\Apps\here.exe)");
  auto counter = [&](const std::string& plain, const std::string& data) {
    machine.registry.SetValue(Root::CurrentUser, kUserAssist, Rot13(plain), platform::kRegBinary,
                              data);
  };
  counter(R"(UEME_RUNPATH:C:\Gone\app.exe)", Counter(5));      // program gone
  counter(R"(UEME_RUNPATH:C:\Apps\here.exe)", Counter(5));     // fine
  counter(R"(UEME_RUNPIDL:C:\Apps\here.exe)", Counter(0));     // never run
  counter(R"(UEME_RUNPATH:C:\Gone\link.lnk)", Counter(5));     // links are not tested
  counter(R"(UEME_RUNPIDL:C:\Gone\link.lnk)", Counter(0));     // but a zero count is
  counter("UEME_CTLSESSION", Counter(3));                      // no colon: fine
  counter("NoColonZero", Counter(0));                          // no colon, never run
  counter(R"(UEME_RUNCPL:C:\Apps\here.exe)", Dword(0));       // no run count
  counter(R"(UEME_RUNPATH:C:\Gone\short.exe)", Dword(0));      // no run count, program gone
  counter(R"(UEME_RUNPATH:C:\Gone\huge.exe)", Counter(0) + std::string(40000, 'x'));

  const std::string key = kHkcu + kUserAssist;
  EXPECT_EQ(Run(13),
            (Rows{Row(kMruProblem, R"(UEME_RUNPATH:C:\Gone\app.exe)", key, ekEncodedValueInData),
                  Row(kMruProblem, R"(UEME_RUNPIDL:C:\Apps\here.exe)", key, ekEncodedValueInData),
                  Row(kMruProblem, R"(UEME_RUNPIDL:C:\Gone\link.lnk)", key, ekEncodedValueInData),
                  Row(kMruProblem, "NoColonZero", key, ekEncodedValueInData),
                  Row(kMruProblem, R"(UEME_RUNPATH:C:\Gone\short.exe)", key,
                      ekEncodedValueInData)}));
}

TEST(UserAssist, ATextOrDwordValueEndsTheCounters) {
  for (uint32_t type : {platform::kRegSz, platform::kRegExpandSz, platform::kRegDword}) {
    SCOPED_TRACE(type);
    MemoryMachine machine;
    category_test::Recorder recorder;
    auto& reg = machine.registry;
    reg.SetValue(Root::CurrentUser, kUserAssist, Rot13("First"), platform::kRegBinary, Counter(0));
    // An oversized one is skipped before its type is looked at.
    reg.SetValue(Root::CurrentUser, kUserAssist, Rot13("Huge"), type, std::string(40000, '\0'));
    reg.SetValue(Root::CurrentUser, kUserAssist, Rot13("Second"), platform::kRegNone, Counter(0));
    reg.SetValue(Root::CurrentUser, kUserAssist, Rot13("Text"), type, Dword(0));
    reg.SetValue(Root::CurrentUser, kUserAssist, Rot13("Third"), platform::kRegBinary, Counter(0));
    const std::string key = kHkcu + kUserAssist;
    EXPECT_EQ(RunScan(machine, machine.registry, recorder, {"13"}),
              (Rows{Row(kMruProblem, "First", key, ekEncodedValueInData),
                    Row(kMruProblem, "Second", key, ekEncodedValueInData)}));
  }
}

// ---- what every category here shares ----------------------------------------------------

TEST_F(CategoryTest, EveryCategoryOnlyReads) {
  auto& reg = machine.registry;
  reg.SetDword(Root::LocalMachine, kSharedDlls, R"(C:\x.dll)", 0);
  reg.SetString(Root::LocalMachine, kNtFonts, "F", R"(C:\f.ttf)");
  reg.SetString(Root::LocalMachine, kHelp, "h.hlp", R"(C:\h)");
  reg.SetString(Root::CurrentUser, kRun, "R", R"(C:\r.exe)");
  reg.SetString(Root::LocalMachine, kStartupReg + "\\S", "command", R"(C:\s.exe)");
  reg.SetString(Root::LocalMachine, kServices + "\\V", "ImagePath", R"(C:\v.exe)");
  reg.SetString(Root::CurrentUser, kMru + "\\txt", "a", R"(C:\m.txt)");
  reg.SetValue(Root::CurrentUser, kUserAssist, "N", platform::kRegBinary, Counter(0));
  reg.CreateKey(Root::CurrentUser, R"(Software\Empty)");
  reg.CreateKey(Root::LocalMachine, R"(SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\E)");
  reg.CreateKey(Root::Users, R"(S-1-5-21-1\Empty)");

  const Rows found = RunScan(machine, counting, recorder,
                             {"6", "9", "10", "11", "12", "13", "14", "16", "17"});
  EXPECT_EQ(found.size(), 12u) << testing::PrintToString(found);
  EXPECT_GT(counting.opens, 0);
  EXPECT_EQ(counting.writeOpens, 0);
  EXPECT_EQ(recorder.captions,
            (Rows{"Scanning: Software Locations", "Scanning: Shared DLLs",
                  "Scanning: Fonts Sections", "Scanning: Invalid Help Files",
                  "Scanning: Empty Uninstaller Entry", "Scanning: MRU and History Lists",
                  "Scanning: Empty Registry Keys", "Scanning: Startup Programs",
                  "Scanning: Windows Services", "Optimizing...Do not close the dialog."}));
}

TEST_F(CategoryTest, StopEndsAValueListAtOnce) {
  for (int i = 0; i < 40; ++i) {
    machine.registry.SetDword(Root::LocalMachine, kSharedDlls,
                              R"(C:\Lib\gone)" + std::to_string(i) + ".dll", 1);
    machine.registry.SetString(Root::LocalMachine, kServices + "\\S" + std::to_string(i),
                               "ImagePath", R"(C:\gone.exe)");
  }
  ExpectTheStopEndsAllWork({"9", "17"});
}

}  // namespace
}  // namespace tallowin
