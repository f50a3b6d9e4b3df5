#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/memory/memory_platform.h"
#include "scan/file_probe_cache.h"
#include "scan/scan_task.h"
#include "tests/native/scan_engine_support.h"

namespace tallowin {
namespace {

struct Case {
  const char* data;
  const char* suffix;
  bool dirsAllowed;
  bool broken;
};

class FileReference : public ::testing::Test, public engine_test::ScanFixture {
 protected:
  FileReference() {
    machine.files.AddFile("C:\\Program Files\\App\\app.exe");
    machine.files.AddFile("C:\\Data\\list.txt");
    machine.files.AddFile("C:\\Tools\\run.bat");
    machine.files.AddFile("C:\\Tools\\cmd.com");
    machine.files.AddFile("C:\\Tools\\double.exe.exe");
    machine.files.AddFile("C:\\Lib\\Foo.dll");
    machine.files.AddFolder("C:\\ProgramFiles");
    machine.files.AddDrive('D', platform::kDriveCdRom);
    machine.files.AddFile("D:\\Movie.avi");
    machine.files.SetEnvironment("TEMP", "C:\\NoTemp");
    machine.files.SetEnvironment("USERNAME", "bob");
    machine.files.SetEnvironment("APPDIR", "C:\\Program Files\\App");
    machine.files.SetEnvironment("PF", "C:\\ProgramFiles");
    machine.files.SetEnvironment("PADDED", " \t C:\\Windows  ");
    machine.files.SetEnvironment("FILEVAR", "C:\\Windows\\notepad.exe");
  }

  void Check(TScanTaskThread& scan, const Case& c) {
    SCOPED_TRACE(testing::Message() << "data [" << c.data << "] suffix [" << c.suffix
                                    << "] dirs " << c.dirsAllowed);
    EXPECT_EQ(scan.ResolveFileReference(c.data, c.suffix, c.dirsAllowed, scan.DriveLetters),
              c.broken);
  }
};

TEST_F(FileReference, JudgesCommandLinesPathsAndVariables) {
  const Case cases[] = {
      {"C:\\Program Files\\App\\app.exe -run", "", true, false},
      {"\"C:\\Tools\\tool.exe\" /x", "", true, true},
      {"\"C:\\Program Files\\App\\app.exe\" /x", "", true, false},
      {"\"C:\\Gone\\a.exe", "", true, true},  // no closing quote: the rest is the path
      {"\"", "", true, false},
      {"\"\"", "", true, false},
      {"C:\\Windows\\notepad", "", true, false},
      {"C:\\Windows\\notepad.exe,1", "", false, false},
      {"C:\\Windows\\gone.exe,1", "", false, true},
      {"C:\\Tools\\run", "", false, false},
      {"C:\\Tools\\run /q", "", false, false},
      {"C:\\Tools\\cmd", "", false, false},
      {"C:\\Windows\\note*", "", false, false},  // a "*" searches as a pattern
      {"C:\\Data\\list.txt;", "", true, false},
      {"C:\\Data\\gone.txt;", "", true, true},
      {"C:\\Data\\list.txt\\more\\x", "", true, false},  // a prefix is an existing file
      {"C:\\Gone\\sub\\app.exe", "", true, true},
      {"C:\\Gone\\sub\\app.exe -x", "", true, true},
      {"C:\\Missing\\", "", true, true},
      {"C:\\Windows\\", "", true, false},
      {"C:\\Windows\\System", "", true, false},
      {"C:\\Windows\\System", "", false, true},  // a folder counts only when allowed
      {"C:\\x.exe D:\\y.txt", "", true, false},
      {"", "", true, false},
      {"C:\\Gone\\what?.exe", "", true, false},
      {"C:\\HP\\gone.exe", "", true, false},
      {"C:\\Apps\\hpx\\gone.exe", "", true, false},
      {"rundll32.exe x.dll,Entry", "", true, false},
      {"notepad.exe", "", true, false},
      {"C:gone.exe", "", true, false},
      {"\\\\server\\share\\gone.exe", "", true, false},
      {"D:\\Movie.avi", "", true, false},  // D: is a CD-ROM, not among the letters
      {"D:\\Gone.avi", "", true, false},
      {"Q:\\gone.exe", "", true, false},
  };
  auto scan = MakeScan();
  for (const Case& c : cases) Check(*scan, c);
}

TEST_F(FileReference, ExpandsOnlyAVariableThatNamesAFolder) {
  const Case cases[] = {
      {"%SystemRoot%\\system\\gone.dll", "", true, true},
      {"%SystemRoot%\\notepad.exe", "", true, false},
      {"%systemroot%\\notepad.exe /a", "", true, false},
      {"\"%SystemRoot%\\gone.exe\" /a", "", true, true},
      {"%SystemRoot%", "", true, false},
      {"%TEMP%\\x.tmp", "", true, false},     // TEMP names a missing folder
      {"%USERNAME%_x", "", true, false},      // the expansion is no folder
      {"%FILEVAR%\\x", "", true, false},      // expands to a file
      {"%NOVAR%\\x.exe", "", true, false},    // stays unexpanded
      {"%PADDED%\\gone.exe", "", true, true}, // blanks and tabs around the value are cut
      {"%", "", true, false},
      {"%%\\gone.exe", "", true, false},
      // A lone leading "%" opens no variable: never judged, with or without a suffix.
      {"%C:\\Gone\\a.exe", "", true, false},
      {"%C:\\Gone\\a.dll", ".dll", true, false},
      {"%C:\\Gone\\", "", true, false},
  };
  auto scan = MakeScan();
  for (const Case& c : cases) Check(*scan, c);
}

TEST_F(FileReference, RequiredSuffixCutsAfterItsFirstOccurrence) {
  const Case cases[] = {
      {"C:\\Lib\\Foo.DLL,1", ".dll", true, false},  // tests C:\Lib\Foo.dll
      {"C:\\Lib\\Bar.DLL,1", ".dll", true, true},
      {"C:\\Lib\\Foo.ocx", ".dll", true, false},     // suffix missing
      {"\"C:\\Lib\\Foo.dll\" x", ".dll", false, false},
      {"C:\\Lib\\Foo.dllx.dll", ".dll", false, false},
      {"C:\\Windows\\System.dll", ".dll", true, true},
      {"C:\\Windows\\notepad.EXE /x", ".exe", true, false},  // cut to C:\Windows\notepad.exe
      {"C:\\Windows\\notepad", ".exe", true, false},         // suffix missing
      {"C:\\Tools\\double.exe", ".exe", true, true},        // no extension trial
      {"C:\\Tools\\double.exe", "", true, false},           // (double.exe.exe exists)
      {"C:\\Tools\\run.bat x.exe", ".exe", true, true},     // no argument cutting
      {"notepad.exe", ".exe", true, false},
      {"D:\\x.exe", ".exe", true, false},
      {"%SystemRoot%\\gone.exe /x", ".exe", true, true},
  };
  auto scan = MakeScan();
  for (const Case& c : cases) Check(*scan, c);
}

TEST_F(FileReference, SystemPathsAreNotJudgedUnderWow64) {
  auto scan = MakeScan();
  scan->IsWow64 = true;
  const Case cases[] = {
      {"C:\\Windows\\System32\\gone.dll", "", true, false},
      {"c:\\program files\\gone.exe", "", true, false},
      {"C:\\ProgramFiles\\gone.exe", "", true, false},
      {"%APPDIR%\\gone.exe", "", true, false},  // caught after the expansion
      {"%PF%\\gone.exe", "", true, true},       // the second test looks for "Program Files" only
      {"C:\\Gone\\x.exe", "", true, true},
  };
  for (const Case& c : cases) Check(*scan, c);
  scan->IsWow64 = false;
  Check(*scan, {"%APPDIR%\\gone.exe", "", true, true});
  Check(*scan, {"C:\\Windows\\System32\\gone.dll", "", true, true});
}

// "Access denied" says nothing about the name: a reference that reaches into a folder
// the program may not search is not judged (WindowsApps may be traversed, not listed).
TEST_F(FileReference, ReferencesTheSystemWillNotShowAreNotBroken) {
  machine.files.AddFile("C:\\Locked\\Sub\\in.exe");
  machine.files.AddFile("C:\\WindowsApps\\Pkg\\app.exe");
  machine.files.DenyAccess("C:\\Locked");
  machine.files.DenyAccess("C:\\WindowsApps", true);
  const Case cases[] = {
      {"C:\\Locked\\gone.exe", "", false, false},
      {"C:\\Locked\\Sub\\in.exe -x", "", true, false},
      {"\"C:\\Locked\\Sub\\gone.exe\" /x", "", false, false},
      {"C:\\Locked\\gone", "", false, false},
      {"C:\\Locked\\Sub\\Deeper\\", "", true, false},
      {"C:\\Locked\\x.dll,1", ".dll", false, false},
      {"C:\\WindowsApps\\gone.exe", "", false, false},
      {"C:\\WindowsApps\\Pkg\\app.exe", "", false, false},
      {"C:\\WindowsApps\\Pkg\\gone.exe", "", false, true},
      {"C:\\WindowsApps\\Gone\\app.exe", "", false, false},
      {"C:\\Gone\\x.exe", "", false, true},
  };
  auto scan = MakeScan();
  for (const Case& c : cases) Check(*scan, c);
}

// The file functions find a device name (CON, NUL, ...) in every folder that exists, as
// Wine and Windows do; here the folder holds such "files". Met on the way through a
// longer reference they say nothing of it.
TEST_F(FileReference, DeviceNamesOnTheWayDoNotHideAMissingFile) {
  for (const char* device : {"Con", "nul", "aux.txt", "COM1", "Prn"})
    machine.files.AddFile(std::string("C:\\Games\\") + device);
  machine.files.AddFile("C:\\Games\\Console.exe");
  const Case cases[] = {
      {"C:\\Games\\Console\\x.exe", "", true, true},
      {"C:\\Games\\nul\\x.exe", "", true, true},
      {"C:\\Games\\aux.txt\\y.dll", "", true, true},
      {"C:\\Games\\COM1 Tools\\a.exe", "", true, true},
      {"C:\\Games\\Prnt\\a.exe -x", "", true, true},
      {"C:\\Games\\Con gone -x", "", true, true},
      {"C:\\Games\\Console -x", "", true, false},  // Console.exe is a real file
      {"C:\\Games\\Con", "", true, false},         // the whole reference names the device
      {"C:\\Games\\nul -x", "", true, true},
  };
  auto scan = MakeScan();
  for (const Case& c : cases) Check(*scan, c);
}

TEST(IsDosDeviceName, TheNamesWithAnyExtension) {
  for (const char* name : {"CON", "con", "Nul", "aux.txt", "PRN.a.b", "nul  .x", "nul ", "COM1",
                           "com9.log", "LPT0", "lpt5", "COM\xC2\xB9", "LPT\xC2\xB3.x", "CONIN$",
                           "conout$", "nul:stream"})
    EXPECT_TRUE(IsDosDeviceName(name)) << name;
  for (const char* name : {"", "CO", "CONX", "CONSOLE", "xcon", "NULL", "COM", "COM10", "COM1x",
                           "LPT", "COMa", "COM\xC2\xB4", " nul", ".nul", "auxiliary.txt"})
    EXPECT_FALSE(IsDosDeviceName(name)) << name;
}

TEST_F(FileReference, EmptyFloppyDriveIsBrokenWithoutTouchingIt) {
  machine.files.AddDrive('A', platform::kDriveRemovable, false);
  machine.files.AddDrive('B', platform::kDriveRemovable, false);
  auto scan = MakeScan(false);
  const size_t probes = machine.files.ProbeCount();
  Check(*scan, {"A:\\Setup.exe", "", true, true});
  Check(*scan, {"b:\\setup.exe /q", "", true, true});
  Check(*scan, {"A:\\lib.dll", ".dll", true, true});
  EXPECT_EQ(machine.files.ProbeCount(), probes);
  // Not a path on A: at all.
  Check(*scan, {"A:setup.exe", "", true, false});
}

TEST_F(FileReference, ReadyFloppyDriveIsTestedLikeAnyOther) {
  machine.files.AddDrive('A', platform::kDriveRemovable, true);
  machine.files.AddFile("A:\\Setup.exe");
  auto scan = MakeScan(false);
  scan->DriveAReady = true;
  Check(*scan, {"A:\\Setup.exe", "", true, false});
  Check(*scan, {"A:\\Gone.exe", "", true, true});
  // With removable drives ignored, A: is not among the letters.
  auto ignoring = MakeScan(true);
  Check(*ignoring, {"A:\\Gone.exe", "", true, false});
}

TEST_F(FileReference, ExpandLeadingVariable) {
  // Longer than the 1024-character buffer, but a name the file functions could take.
  machine.files.SetEnvironment("HUGE", "C:\\" + std::string(1030, 'x'));
  machine.files.AddFolder("C:\\" + std::string(1030, 'x'));
  auto scan = MakeScan();
  EXPECT_EQ(scan->ExpandLeadingVariable("%SystemRoot%"), "C:\\Windows");
  EXPECT_EQ(scan->ExpandLeadingVariable("%PADDED%"), "C:\\Windows");
  EXPECT_EQ(scan->ExpandLeadingVariable("%TEMP%"), "%TEMP%");
  EXPECT_EQ(scan->ExpandLeadingVariable("%FILEVAR%"), "%FILEVAR%");
  EXPECT_EQ(scan->ExpandLeadingVariable("%NOVAR%"), "%NOVAR%");
  EXPECT_EQ(scan->ExpandLeadingVariable("%HUGE%"), "%HUGE%");  // does not fit the buffer
}

TEST_F(FileReference, RepeatedQuestionsAreAnsweredFromTheCacheAsSpelled) {
  auto scan = MakeScan();
  EXPECT_TRUE(scan->ResolveFileReference("c:\\windows\\gone.exe -a", "", true, "c"));
  size_t probes = machine.files.ProbeCount();
  EXPECT_TRUE(scan->ResolveFileReference("c:\\windows\\gone.exe -a", "", true, "c"));
  EXPECT_EQ(machine.files.ProbeCount(), probes);
  // Another spelling may name another file where names differ only in case: asked again.
  EXPECT_TRUE(scan->ResolveFileReference("C:\\WINDOWS\\GONE.EXE -A", "", true, "c"));
  EXPECT_GT(machine.files.ProbeCount(), probes);
  EXPECT_FALSE(scan->ResolveFileReference("C:\\Windows\\notepad.exe", "", true, "c"));
}

TEST_F(FileReference, PathsUnderAMissingFolderCostOneQueryPerFolder) {
  auto scan = MakeScan();
  const size_t probes = machine.files.ProbeCount();
  EXPECT_TRUE(scan->ResolveFileReference(
      "C:\\Gone\\Deeper Folder\\With A Long Name\\and arguments that go on.exe", "", true, "c"));
  EXPECT_LT(machine.files.ProbeCount() - probes, 20u);
}

TEST_F(FileReference, PrefixWalkClimbsOutOfAMissingFolderLikeTheFileSystem) {
  auto scan = MakeScan();
  // The file system resolves "..": the missing folder does not hide the program.
  EXPECT_FALSE(scan->ResolveFileReference("C:\\Gone\\../Windows/notepad.exe", "", true, "c"));
  EXPECT_FALSE(scan->ResolveFileReference("C:\\Gone/../Windows/notepad -x", "", true, "c"));
  EXPECT_TRUE(scan->ResolveFileReference("C:\\Gone\\../Windows/gone.exe", "", true, "c"));
}

TEST_F(FileReference, HugeDataStaysLinear) {
  std::string words;
  for (int i = 0; i < 100000; ++i) words += "ab ";
  struct LongCase {
    std::string data;
    bool broken;
  } cases[] = {
      {"C:\\Windows\\" + words, true},  // argument cutting over 100000 separators
      {"C:\\Gone\\" + words, true},     // prefix walk
      {"C:\\Windows\\notepad.exe " + words, false},
      {"C:\\Windows\\" + std::string(300000, 'x'), true},
  };
  auto scan = MakeScan();
  for (const LongCase& c : cases) {
    SCOPED_TRACE(c.data.substr(0, 30));
    const size_t probes = machine.files.ProbeCount();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(scan->ResolveFileReference(c.data, "", true, "c"), c.broken);
    EXPECT_LT(machine.files.ProbeCount() - probes, 5 * TScanTaskThread::kMaxProbeName);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  }
}

}  // namespace
}  // namespace tallowin
