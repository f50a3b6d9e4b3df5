// The parts of the Windows backend that only a real system can answer: version,
// bitness, drives, shell links, special folders, processes and System Restore.

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "platform/reg_global.h"
#include "platform/registry_view.h"
#include "platform/text.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"
#include "repair/repair_run.h"
#include "tests/backend/backend_fixture.h"
#include "tests/support/repair_prompts.h"

namespace tallowin {
namespace {

using platform::win32::ComPtr;
using platform::win32::ComScope;

constexpr const char* kSleepSwitch = "--tallowin-sleep-child";

// Started by the process tests as a child that runs until it is terminated (at most a
// minute): it sleeps before GoogleTest ever sees the command line.
[[maybe_unused]] const bool kIsSleepChild = [] {
  if (std::strstr(GetCommandLineA(), kSleepSwitch) == nullptr) return false;
  Sleep(60000);
  ExitProcess(0);
}();

bool IsFolder(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsFile(const std::string& path) {
  const DWORD a = GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// A 64-bit prefix (and 64-bit Windows) has the folder of the 32-bit system files.
bool IsSixtyFourBitSystem() {
  char windows[MAX_PATH] = {};
  GetWindowsDirectoryA(windows, MAX_PATH);
  return IsFolder(std::string(windows) + "\\SysWOW64");
}

class Win32Platform : public ::testing::Test {
 protected:
  platform::win32::Win32Machine machine_;
  platform::System& system() { return machine_.platform().system; }
  platform::FileSystem& files() { return machine_.platform().files; }
};

TEST_F(Win32Platform, IsRunningUnderWow64_OnlyOnA64BitSystem) {
  const bool sixtyFour = IsSixtyFourBitSystem();
  std::cout << "[ prefix   ] " << (sixtyFour ? "win64 (WOW64)" : "win32") << "\n";
  EXPECT_EQ(IsRunningUnderWow64(system()), sixtyFour);
}

TEST_F(Win32Platform, GetWindowsVersionCode_WineReportsWindows7) {
  const platform::OsVersion v = system().Version();
  EXPECT_EQ(v.platformId, 2u);
  EXPECT_EQ(v.major, 6u);
  EXPECT_EQ(v.minor, 1u);
  EXPECT_EQ(GetWindowsVersionCode(system()), 12);
}

// The filter names HKEY_CURRENT_USER's keys by this SID below HKEY_USERS too.
TEST_F(Win32Platform, CurrentUserSid_NamesTheKeyThatHkeyCurrentUserIs) {
  const std::string sid = system().CurrentUserSid();
  ASSERT_EQ(sid.rfind("S-1-5-21-", 0), 0u) << sid;
  platform::Registry& registry = machine_.platform().registry;
  // A root opened as itself is a pseudo-handle the registry gives no name.
  const auto user =
      registry.OpenKey(platform::Root::Users, sid + "\\Software", platform::Access::Read);
  const auto current =
      registry.OpenKey(platform::Root::CurrentUser, "Software", platform::Access::Read);
  ASSERT_TRUE(user && current);
  std::string userName, currentName;
  ASSERT_EQ(user->Name(userName), platform::kSuccess);
  ASSERT_EQ(current->Name(currentName), platform::kSuccess);
  EXPECT_TRUE(platform::SameKeyName(userName, currentName)) << userName << " / " << currentName;
}

TEST_F(Win32Platform, Drives_CIsFixedAndReadyUnusedLetterIsNot) {
  EXPECT_EQ(files().DriveType("c:\\"), platform::kDriveFixed);
  // Wine has no a: or b:; an unused letter has no root directory.
  EXPECT_EQ(files().DriveType("b:\\"), platform::kDriveNoRootDir);

  const UINT original = GetErrorMode();
  SetErrorMode(SEM_NOGPFAULTERRORBOX);
  EXPECT_TRUE(files().VolumeReady("c:\\"));
  EXPECT_FALSE(files().VolumeReady("b:\\"));
  EXPECT_EQ(GetErrorMode(), static_cast<UINT>(SEM_NOGPFAULTERRORBOX))
      << "VolumeReady must restore the error mode";
  SetErrorMode(original);
}

TEST_F(Win32Platform, Folders_ExistAndHaveTheirShape) {
  const std::string windows = system().WindowsDirectory();
  const std::string systemDir = system().SystemDirectory();
  EXPECT_TRUE(IsFolder(windows)) << windows;
  EXPECT_TRUE(IsFolder(systemDir)) << systemDir;
  EXPECT_NE(windows.back(), '\\');
  EXPECT_NE(systemDir.back(), '\\');

  const std::string exeDir = system().ExecutableDirectory();
  ASSERT_FALSE(exeDir.empty());
  EXPECT_EQ(exeDir.back(), '\\');
  EXPECT_TRUE(IsFile(exeDir + "tallowin-wine-tests.exe")) << exeDir;

  const auto fonts = files().SpecialFolder(platform::kCsidlFonts);
  ASSERT_TRUE(fonts.has_value());
  EXPECT_TRUE(IsFolder(*fonts)) << *fonts;
  EXPECT_TRUE(EqualsNoCase(*fonts, windows + "\\Fonts")) << *fonts;
  for (int csidl : {platform::kCsidlStartMenu, platform::kCsidlCommonPrograms,
                    platform::kCsidlAppData, platform::kCsidlSystem}) {
    SCOPED_TRACE(csidl);
    const auto folder = files().SpecialFolder(csidl);
    ASSERT_TRUE(folder.has_value());
    EXPECT_FALSE(folder->empty());
  }
  EXPECT_FALSE(files().SpecialFolder(0x7F).has_value());  // no such folder
}

TEST_F(Win32Platform, FormatFileTime_LocalTimeAndDateOnlyAtMidnight) {
  auto fileTimeOf = [](const platform::LocalTime& t) {
    SYSTEMTIME local{}, utc{};
    local.wYear = static_cast<WORD>(t.year);
    local.wMonth = static_cast<WORD>(t.month);
    local.wDay = static_cast<WORD>(t.day);
    local.wHour = static_cast<WORD>(t.hour);
    local.wMinute = static_cast<WORD>(t.minute);
    local.wSecond = static_cast<WORD>(t.second);
    EXPECT_TRUE(TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc));
    FILETIME ft{};
    EXPECT_TRUE(SystemTimeToFileTime(&utc, &ft));
    return (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  };
  const platform::LocalTime afternoon{2013, 3, 7, 14, 5, 9};
  const platform::LocalTime midnight{2013, 7, 21, 0, 0, 0};
  const std::string full = system().FormatDateTime(afternoon);
  EXPECT_NE(full.find("2013"), std::string::npos) << full;
  EXPECT_NE(full.find(":05:09"), std::string::npos) << full;
  EXPECT_EQ(system().FormatFileTime(fileTimeOf(afternoon)), full);

  const std::string midnightFull = system().FormatDateTime(midnight);
  const std::string dateOnly = system().FormatFileTime(fileTimeOf(midnight));
  EXPECT_EQ(dateOnly, midnightFull.substr(0, midnightFull.find(' '))) << midnightFull;
  EXPECT_EQ(dateOnly.find(':'), std::string::npos) << dateOnly;
}

TEST_F(Win32Platform, Now_IsTheLocalClock) {
  SYSTEMTIME before{};
  GetLocalTime(&before);
  const platform::LocalTime now = system().Now();
  EXPECT_EQ(now.year, before.wYear);
  EXPECT_GE(now.month, 1);
  EXPECT_LE(now.month, 12);
  EXPECT_GE(now.day, 1);
  EXPECT_LE(now.day, 31);
}

class Win32Shortcut : public Win32Platform {
 protected:
  void SetUp() override {
    backend_ = testing_support::MakeBackendUnderTest();
    folder_ = backend_->SandboxFolder();
    ASSERT_FALSE(folder_.empty());
  }

  // Saves a shell link to `target` through the same COM objects the scan reads with.
  void SaveLink(const std::string& link, const std::string& target) {
    ComScope com;
    ASSERT_TRUE(com.ok());
    ComPtr<IShellLinkA> shellLink;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkA, shellLink.put())));
    ASSERT_TRUE(SUCCEEDED(shellLink->SetPath(target.c_str())));
    ComPtr<IPersistFile> file;
    ASSERT_TRUE(SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, file.put())));
    wchar_t wide[MAX_PATH] = {};
    ASSERT_GT(MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wide, MAX_PATH), 0);
    ASSERT_TRUE(SUCCEEDED(file->Save(wide, TRUE)));
  }

  std::unique_ptr<testing_support::BackendUnderTest> backend_;
  std::string folder_;
};

TEST_F(Win32Shortcut, ShortcutTarget_ReadsTheSavedTarget) {
  const std::string target = folder_ + "\\Program\\app.exe";
  ASSERT_TRUE(files().CreateDirectories(folder_ + "\\Program"));
  ASSERT_TRUE(files().AppendToFile(target, "", "MZ"));
  SaveLink(folder_ + "\\App.lnk", target);
  const auto read = files().ShortcutTarget(folder_ + "\\App.lnk");
  ASSERT_TRUE(read.has_value());
  EXPECT_TRUE(EqualsNoCase(*read, target)) << *read;
}

TEST_F(Win32Shortcut, ShortcutTarget_OfADeletedTargetIsStillTheSavedPath) {
  const std::string target = folder_ + "\\gone.exe";
  ASSERT_TRUE(files().AppendToFile(target, "", "MZ"));
  SaveLink(folder_ + "\\Gone.lnk", target);
  ASSERT_TRUE(files().RemoveFile(target));
  const auto read = files().ShortcutTarget(folder_ + "\\Gone.lnk");
  ASSERT_TRUE(read.has_value());
  EXPECT_TRUE(EqualsNoCase(*read, target)) << *read;
}

TEST_F(Win32Shortcut, ShortcutTarget_NotALinkOrMissingGivesNothing) {
  ASSERT_TRUE(files().AppendToFile(folder_ + "\\fake.lnk", "", "this is no shell link"));
  EXPECT_FALSE(files().ShortcutTarget(folder_ + "\\fake.lnk").has_value());
  EXPECT_FALSE(files().ShortcutTarget(folder_ + "\\missing.lnk").has_value());
}

TEST_F(Win32Shortcut, ShortcutTarget_WorksOnAThreadThatAlreadyUsesCom) {
  const std::string target = folder_ + "\\t.exe";
  ASSERT_TRUE(files().AppendToFile(target, "", "MZ"));
  SaveLink(folder_ + "\\T.lnk", target);
  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
  const auto read = files().ShortcutTarget(folder_ + "\\T.lnk");
  CoUninitialize();
  ASSERT_TRUE(read.has_value());
  EXPECT_TRUE(EqualsNoCase(*read, target)) << *read;
}

// Wine's Recycle Bin is the XDG trash folder of XDG_DATA_HOME. With a file in the place
// of its "files" folder the shell still finds a bin, but cannot move anything into it,
// and would then delete the file for good.
TEST_F(Win32Shortcut, RecycleFile_AShortcutTheTrashCannotTakeStaysRefused) {
  char data[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("XDG_DATA_HOME", data, MAX_PATH);
  if (length == 0 || length >= MAX_PATH || data[0] != '/') GTEST_SKIP() << "no XDG_DATA_HOME";
  std::string trash = std::string("Z:") + data + "/Trash/files";
  for (char& c : trash) c = c == '/' ? '\\' : c;
  ASSERT_TRUE(files().CreateDirectories(trash));
  ASSERT_TRUE(MoveFileA(trash.c_str(), (trash + ".kept").c_str()));
  ASSERT_TRUE(files().AppendToFile(trash, "", "no folder"));
  const std::string link = folder_ + "\\Old.lnk";
  SaveLink(link, folder_ + "\\gone.exe");
  IssueList list;
  list.filtered = true;
  Issue row;
  row.kind = ekFile;
  row.key = link;
  row.checked = true;
  list.Add(row);
  RepairSettings settings;
  settings.outputDirectory = folder_;
  testing_support::RecordingPrompts prompts;
  platform::Platform p = machine_.platform();
  const RepairResult result = FixErrors(list, p, settings, prompts);
  (void)files().RemoveFile(trash);
  ASSERT_TRUE(MoveFileA((trash + ".kept").c_str(), trash.c_str()));
  ASSERT_EQ(result.rows.size(), 1u);
  EXPECT_EQ(result.rows[0].outcome, RepairOutcome::Refused);
  EXPECT_EQ(result.rows[0].reason,
            "the Recycle Bin cannot take it, and it is not deleted for good: " + link);
  EXPECT_TRUE(IsFile(link));
  EXPECT_EQ(list.Count(), 1u);
}

std::string OwnPath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

TEST_F(Win32Platform, Process_ShortCommandEnds) {
  auto process = machine_.platform().processes.StartHidden("cmd /c exit 0");
  ASSERT_NE(process, nullptr);
  EXPECT_TRUE(process->WaitFor(60000));
  EXPECT_TRUE(process->WaitFor(0));  // stays ended
}

TEST_F(Win32Platform, Process_LongRunningIsTerminated) {
  auto process = machine_.platform().processes.StartHidden("\"" + OwnPath() + "\" " + kSleepSwitch);
  ASSERT_NE(process, nullptr);
  EXPECT_FALSE(process->WaitFor(300));
  process->Terminate();
  EXPECT_TRUE(process->WaitFor(30000));
}

TEST_F(Win32Platform, Process_MissingProgramIsNotStarted) {
  EXPECT_EQ(machine_.platform().processes.StartHidden("C:\\no\\such\\program.exe /x"), nullptr);
}

TEST_F(Win32Platform, RestorePoint_NeverCreatedUnderWineAndDoesNotCrash) {
  const platform::RestorePointResult result =
      machine_.platform().restorePoint.Create("Made by Quorvel").result;
  const char* text = result == platform::RestorePointResult::Created  ? "Created"
                     : result == platform::RestorePointResult::Failed ? "Failed"
                                                                      : "Unavailable";
  std::cout << "[ restore  ] " << text << "\n";
  EXPECT_NE(result, platform::RestorePointResult::Created);
}

TEST_F(Win32Platform, RestorePoint_IgnoresAPlantedLibraryBesideTheProgram) {
  // A bare library name would find this file first and fail to load it; the service
  // must load the system's copy (or none) and answer as it does without the plant.
  const platform::RestorePointResult clean =
      machine_.platform().restorePoint.Create("Made by Quorvel").result;
  const std::string planted = system().ExecutableDirectory() + "SrClient.dll";
  ASSERT_FALSE(IsFile(planted)) << "left over from an earlier run: " << planted;
  struct Remove {
    std::string path;
    ~Remove() { DeleteFileA(path.c_str()); }
  } remove{planted};
  {
    HANDLE h = CreateFileA(planted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(h, "not a dll", 9, &written, nullptr);
    CloseHandle(h);
  }
  EXPECT_EQ(machine_.platform().restorePoint.Create("Made by Quorvel").result, clean);
  EXPECT_EQ(GetModuleHandleA("srclient.dll"), nullptr) << "the library stays loaded";
}

}  // namespace
}  // namespace tallowin
