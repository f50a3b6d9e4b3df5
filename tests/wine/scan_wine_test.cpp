// File reference resolution on real files in a sandbox folder on C:, and the hive-wide
// scan on real keys in a sandbox below HKEY_CURRENT_USER.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "platform/reg_global.h"
#include "scan/scan_task.h"
#include "scan/volume_probe.h"
#include "tests/backend/backend_fixture.h"
#include "tests/support/reg_data.h"
#include "tests/support/scan_recorder.h"

namespace tallowin {
namespace {

using platform::Root;
using Rows = std::vector<std::string>;

std::string Row(const Issue& issue) {
  return issue.data + " | " + issue.key + " | " + std::to_string(issue.kind);
}

class ScanWine : public ::testing::Test {
 protected:
  void SetUp() override {
    backend_ = testing_support::MakeBackendUnderTest();
    folder_ = backend_->SandboxFolder();
    ASSERT_FALSE(folder_.empty());
  }

  std::unique_ptr<TScanTaskThread> MakeScan(bool ignoreRemoveDrives = true) {
    return std::make_unique<TScanTaskThread>(backend_->platform(), recorder_, ignoreRemoveDrives);
  }

  void MakeFile(const std::string& relative) {
    const std::string path = folder_ + "\\" + relative;
    for (size_t at = path.find('\\', folder_.size() + 1); at != std::string::npos;
         at = path.find('\\', at + 1))
      CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    CloseHandle(file);
  }

  void MakeFolder(const std::string& relative) {
    ASSERT_TRUE(CreateDirectoryA((folder_ + "\\" + relative).c_str(), nullptr));
  }

  void Set(const std::string& keyPath, const std::string& name, uint32_t type,
           const std::string& data) {
    std::unique_ptr<platform::RegistryKey> key;
    ASSERT_EQ(backend_->platform().registry.Create(Root::CurrentUser, keyPath, key),
              platform::kSuccess);
    ASSERT_EQ(key->SetValue(name, type, data), platform::kSuccess);
  }

  void SetText(const std::string& keyPath, const std::string& name, const std::string& text,
               uint32_t type = platform::kRegSz) {
    Set(keyPath, name, type, RegStringData(text));
  }

  std::unique_ptr<testing_support::BackendUnderTest> backend_;
  std::string folder_;  // C:\tallowin-test-..., no trailing backslash
  testing_support::ScanRecorder recorder_;
};

struct Case {
  std::string data;
  std::string suffix;
  bool dirsAllowed;
  bool broken;
};

TEST_F(ScanWine, ResolvesReferencesToRealFiles) {
  MakeFile("App Dir\\app.exe");
  MakeFile("Tools\\run.bat");
  MakeFile("Data\\list.txt");
  MakeFile("Lib\\Foo.dll");
  MakeFolder("Empty");
  backend_->SetEnvironment("TEMP", folder_ + "\\NoSuchTemp");
  backend_->SetEnvironment("TALLOWIN_SANDBOX", folder_);
  const std::string& f = folder_;
  const Case cases[] = {
      {f + "\\App Dir\\app.exe -run", "", true, false},
      {"\"" + f + "\\App Dir\\app.exe\" /x", "", true, false},
      {"\"" + f + "\\Tools\\tool.exe\" /x", "", true, true},
      {f + "\\App Dir\\app", "", false, false},  // ".exe" trial
      {f + "\\Tools\\run /q", "", false, false},  // ".bat" trial at the separator
      {f + "\\Data\\list.txt;", "", true, false},
      {f + "\\Data\\gone.txt;", "", true, true},
      {f + "\\Gone Dir\\sub\\app.exe -x", "", true, true},
      {f + "\\Data\\list.txt\\more", "", true, false},  // a prefix is an existing file
      {f + "\\Empty", "", true, false},
      {f + "\\Empty", "", false, true},
      {f + "\\Data\\", "", true, false},
      {f + "\\Missing\\", "", true, true},
      {f + "\\Gone\\x.exe D:\\y.txt", "", true, false},  // a second drive
      {f + "\\Lib\\Foo.DLL,1", ".dll", true, false},
      {f + "\\Lib\\Bar.DLL,1", ".dll", true, true},
      {f + "\\Lib\\Foo.ocx", ".dll", true, false},
      {"%SystemRoot%\\notepad.exe /a", "", true, false},
      {"%SystemRoot%\\tallowin-gone-file.exe", "", true, true},
      {"%TEMP%\\x.tmp", "", true, false},  // TEMP names a missing folder
      {"%TALLOWIN_SANDBOX%\\App Dir\\app.exe", "", true, false},
      {"%TALLOWIN_SANDBOX%\\gone.exe", "", true, true},
      {"%TALLOWIN_SANDBOX%", "", true, false},
      {"%" + f + "\\gone.exe", "", true, false},  // a lone "%" is never judged
      {"rundll32.exe x.dll,Entry", "", true, false},
      {f + "\\Gone\\what?.exe", "", true, false},
  };
  auto scan = MakeScan();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "[" << c.data << "] suffix [" << c.suffix << "]");
    EXPECT_EQ(scan->ResolveFileReference(c.data, c.suffix, c.dirsAllowed, scan->DriveLetters),
              c.broken);
  }
}

TEST_F(ScanWine, SystemPathsAreJudgedOnlyWithoutWow64) {
  auto scan = MakeScan();
  const bool wow64 = IsRunningUnderWow64(backend_->platform().system);
  EXPECT_EQ(scan->IsWow64, wow64);
  for (const char* data : {"C:\\Program Files\\tallowin-gone\\x.exe",
                           "%SystemRoot%\\System32\\tallowin-gone.dll",
                           "C:\\windows\\SYSTEM32\\tallowin-gone.dll"}) {
    SCOPED_TRACE(data);
    EXPECT_EQ(scan->ResolveFileReference(data, "", true, scan->DriveLetters), !wow64);
  }
  EXPECT_TRUE(scan->ResolveFileReference(folder_ + "\\gone.exe", "", true, scan->DriveLetters));
}

TEST_F(ScanWine, DrivesAndFloppies) {
  auto fixedOnly = MakeScan(true);
  EXPECT_EQ(fixedOnly->DriveLetters.find_first_of("ab"), std::string::npos);
  EXPECT_NE(fixedOnly->DriveLetters.find('c'), std::string::npos);
  ProbeFloppyDrives(*fixedOnly);
  EXPECT_FALSE(fixedOnly->DriveAReady);

  // Wine has no A: or B:; probing them must neither fail nor prompt.
  auto withFloppies = MakeScan(false);
  EXPECT_EQ(withFloppies->DriveLetters, "abcdefghijklmnopqrstuvwxyz");
  ProbeFloppyDrives(*withFloppies);
  EXPECT_FALSE(withFloppies->DriveAReady);
  EXPECT_FALSE(withFloppies->DriveBReady);
  EXPECT_TRUE(IsVolumeReady(backend_->platform().files, "c:\\"));
  EXPECT_TRUE(withFloppies->ResolveFileReference("A:\\Setup.exe", "", true,
                                                 withFloppies->DriveLetters));
}

TEST_F(ScanWine, HiveScanOnRealKeys) {
  MakeFile("present.exe");
  const std::string key = backend_->SandboxKey();
  ASSERT_FALSE(key.empty());
  const std::string gone = folder_ + "\\gone.exe";
  SetText(key, "plain", gone + " /x");
  SetText(key, "fine", folder_ + "\\present.exe /x");
  SetText(key, "", gone);
  SetText(key, folder_ + "\\named.exe", folder_ + "\\named.exe");
  SetText(key, "expand", "%SystemRoot%\\tallowin-gone.exe", platform::kRegExpandSz);
  Set(key, "multi", platform::kRegMultiSz, testing_support::Utf16Data(gone + std::string("\0\0", 2)));
  Set(key, "binary", platform::kRegBinary, gone);
  Set(key, "twoParts", platform::kRegSz,
      testing_support::Utf16Data(gone + std::string(1, '\0') + "tail" + std::string(1, '\0')));
  SetText(key + "\\Sub\\Deeper", "deep", gone);

  auto scan = MakeScan();
  scan->ScanKeyTree("HKEY_CURRENT_USER", key, scan->DriveLetters, "", FindingRule::PathReference);
  const std::string at = "HKEY_CURRENT_USER\\" + key;
  Rows rows;
  for (const Issue& issue : recorder_.issues) rows.push_back(Row(issue));
  std::sort(rows.begin(), rows.end());  // Wine enumerates values sorted, Windows does not
  Rows expected = {
      gone + " /x | " + at + "\\plain | 1",
      gone + " | " + at + "\\ | 1",
      folder_ + "\\named.exe | " + at + " | 2",
      "%SystemRoot%\\tallowin-gone.exe | " + at + "\\expand | 1",
      gone + " | " + at + "\\twoParts | 1",
      gone + " | " + at + "\\Sub\\Deeper\\deep | 1",
  };
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(rows, expected);
  EXPECT_EQ(recorder_.keys, (Rows{key, key + "\\Sub", key + "\\Sub\\Deeper"}));
}

// Removes one value from the real Run key again.
class RunValue {
 public:
  RunValue(platform::Registry& registry, std::string name, const std::string& data)
      : registry_(registry), name_(std::move(name)) {
    std::unique_ptr<platform::RegistryKey> key;
    if (registry_.Create(Root::CurrentUser, kRun, key) == platform::kSuccess)
      set_ = key->SetValue(name_, platform::kRegSz, RegStringData(data)) ==
             platform::kSuccess;
  }
  ~RunValue() {
    auto key = registry_.OpenKey(Root::CurrentUser, kRun, platform::Access::All);
    if (key && set_) (void)key->DeleteValue(name_);
  }
  bool set() const { return set_; }
  static constexpr const char* kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

 private:
  platform::Registry& registry_;
  std::string name_;
  bool set_ = false;
};

TEST_F(ScanWine, CurrentUserCategorySkipsTheRunKey) {
  const std::string key = backend_->SandboxKey();
  const std::string gone = folder_ + "\\gone.exe";
  SetText(key, "v", gone);
  RunValue run(backend_->platform().registry, "TallowinTest" + key.substr(key.rfind('\\') + 1),
               gone);
  ASSERT_TRUE(run.set());

  auto scan = MakeScan();
  scan->TaskList = {"2"};
  scan->Execute();
  bool sandboxFound = false;
  for (const Issue& issue : recorder_.issues) {
    EXPECT_EQ(issue.key.find("\\CurrentVersion\\Run\\"), std::string::npos) << issue.key;
    if (issue.key == "HKEY_CURRENT_USER\\" + key + "\\v") sandboxFound = true;
  }
  EXPECT_TRUE(sandboxFound);

  // Outside category 2 the same key is walked.
  recorder_.issues.clear();
  scan->ScanKeyTree("HKEY_CURRENT_USER", "Software\\Microsoft\\Windows\\CurrentVersion",
                    scan->DriveLetters, "", FindingRule::PathReference);
  bool runFound = false;
  for (const Issue& issue : recorder_.issues)
    if (issue.data == gone && issue.key.find("\\Run\\TallowinTest") != std::string::npos)
      runFound = true;
  EXPECT_TRUE(runFound);
}

}  // namespace
}  // namespace tallowin
