// The scan of both views in a 64-bit prefix: its file probes see System32 as it is, with
// WOW64 file-system redirection off for the probe alone; the scan thread's redirection
// is back on after every probe, after a stop and after a failure inside a probe.

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/reg_global.h"
#include "platform/win32/wow64_redirection.h"
#include "scan/scan_task.h"
#include "tests/backend/backend_fixture.h"

namespace tallowin {
namespace {

using platform::Root;
using platform::win32::FsRedirectionOff;

class Recorder : public ScanObserver {
 public:
  std::vector<Issue> issues;
  std::function<void()> onCall;  // runs on the scan thread at every observer call
  void BeginCategory() override { Call(); }
  void EndCategory() override { Call(); }
  void SetCaption(const std::string&) override { Call(); }
  void ShowCurrentKey(const std::string&) override { Call(); }
  void AddIssue(const Issue& issue) override {
    issues.push_back(issue);
    Call();
  }
  void ScanDone() override { Call(); }

 private:
  void Call() {
    if (onCall) onCall();
  }
};

// Forwards to `inner` and calls `after` once each probe has returned; `after` may throw,
// as a probe that fails.
class AfterProbe : public platform::FileSystem {
 public:
  AfterProbe(platform::FileSystem& inner, std::function<void()> after)
      : inner_(inner), after_(std::move(after)) {}

  long Find(std::string_view pattern, platform::FindEntry& entry) override {
    const long rc = inner_.Find(pattern, entry);
    after_();
    return rc;
  }
  long QueryAttributes(std::string_view path, uint32_t& attributes) override {
    const long rc = inner_.QueryAttributes(path, attributes);
    after_();
    return rc;
  }
  long List(std::string_view pattern, std::vector<platform::DirEntry>& entries) override {
    const long rc = inner_.List(pattern, entries);
    after_();
    return rc;
  }
  uint32_t DriveType(std::string_view root) override { return inner_.DriveType(root); }
  bool VolumeReady(std::string_view root) override { return inner_.VolumeReady(root); }
  bool ExpandEnvironment(std::string_view text, size_t capacity, std::string& expanded) override {
    return inner_.ExpandEnvironment(text, capacity, expanded);
  }
  std::optional<std::string> SpecialFolder(int csidl) override { return inner_.SpecialFolder(csidl); }
  std::optional<std::string> ShortcutTarget(std::string_view link) override {
    return inner_.ShortcutTarget(link);
  }
  bool RemoveFile(std::string_view path) override { return inner_.RemoveFile(path); }
  platform::RecycleResult RecycleFile(std::string_view path) override {
    return inner_.RecycleFile(path);
  }
  bool CreateDirectories(std::string_view path) override { return inner_.CreateDirectories(path); }
  bool AppendToFile(std::string_view path, std::string_view header, std::string_view text) override {
    return inner_.AppendToFile(path, header, text);
  }
  bool ReadFile(std::string_view path, std::string& contents) override {
    return inner_.ReadFile(path, contents);
  }
  long CreateNewFile(std::string_view path, std::unique_ptr<platform::WritableFile>& file) override {
    return inner_.CreateNewFile(path, file);
  }
  long OpenForAppend(std::string_view path, std::unique_ptr<platform::WritableFile>& file) override {
    return inner_.OpenForAppend(path, file);
  }
  bool ReplaceFile(std::string_view from, std::string_view to) override {
    return inner_.ReplaceFile(from, to);
  }
  std::unique_ptr<platform::FileReader> OpenForReading(std::string_view path) override {
    return inner_.OpenForReading(path);
  }
  std::optional<std::string> FullPath(std::string_view path) override { return inner_.FullPath(path); }
  // Already the chain the scan of both views probes through.
  FileSystem& InView(platform::View) override { return *this; }

 private:
  platform::FileSystem& inner_;
  std::function<void()> after_;
};

class Wow64Wine : public ::testing::Test {
 protected:
  void SetUp() override {
    backend_ = testing_support::MakeBackendUnderTest();
    if (!IsRunningUnderWow64(backend_->platform().system))
      GTEST_SKIP() << "needs the 64-bit prefix (WOW64)";
    char wow[MAX_PATH] = {};
    char system[MAX_PATH] = {};
    ASSERT_GT(GetSystemWow64DirectoryA(wow, MAX_PATH), 0u);
    ASSERT_GT(GetSystemDirectoryA(system, MAX_PATH), 0u);
    // A file of SysWOW64 alone: the process sees it in System32 only while redirected.
    name_ = "tallowin-wow64-" + std::to_string(GetCurrentProcessId()) + ".dll";
    wowFile_ = std::string(wow) + "\\" + name_;
    systemPath_ = std::string(system) + "\\" + name_;
    HANDLE file = CreateFileA(wowFile_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << wowFile_;
    CloseHandle(file);
    ASSERT_TRUE(Redirected());
  }
  void TearDown() override {
    if (!wowFile_.empty()) DeleteFileA(wowFile_.c_str());
    backend_.reset();
  }

  // Whether the calling thread's System32 is SysWOW64 (redirection on).
  bool Redirected() const { return GetFileAttributesA(systemPath_.c_str()) != INVALID_FILE_ATTRIBUTES; }

  std::unique_ptr<testing_support::BackendUnderTest> backend_;
  std::string name_, wowFile_, systemPath_;
};

TEST_F(Wow64Wine, GuardTurnsRedirectionOffForItsScopeAndThreadAlone) {
  {
    const FsRedirectionOff off;
    EXPECT_TRUE(off.active());
    EXPECT_FALSE(Redirected());
    bool otherThread = false;
    std::thread([&] { otherThread = Redirected(); }).join();
    EXPECT_TRUE(otherThread);
    {
      const FsRedirectionOff again;
      EXPECT_FALSE(Redirected());
    }
    EXPECT_FALSE(Redirected());  // the outer guard's state came back
  }
  EXPECT_TRUE(Redirected());
  try {
    const FsRedirectionOff off;
    throw std::runtime_error("inside");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(Redirected());
}

TEST_F(Wow64Wine, ScanProbesNativelyAndRestoresRedirectionAfterEveryProbe) {
  const std::string key = backend_->SandboxKey();
  const platform::Platform real = backend_->platform();
  std::unique_ptr<platform::RegistryKey> k;
  ASSERT_EQ(real.registry.Create(Root::CurrentUser, key, k), platform::kSuccess);
  // Only in SysWOW64: found on the 32-bit side. In neither folder: broken.
  ASSERT_EQ(k->SetValue("only32", platform::kRegSz, RegStringData(systemPath_)), platform::kSuccess);
  ASSERT_EQ(k->SetValue("gone", platform::kRegSz,
                        RegStringData(systemPath_.substr(0, systemPath_.size() - 4) + "-gone.dll")),
            platform::kSuccess);

  // Inner probes record whether redirection was off during them; the outer check runs
  // after each probe has returned, on the same thread.
  size_t probes = 0, redirectedDuring = 0, redirectedAfter = 0;
  AfterProbe spy(real.files, [&] {
    ++probes;
    if (Redirected()) ++redirectedDuring;
  });
  const std::unique_ptr<platform::FileSystem> native = platform::win32::MakeNativeProbeFileSystem(spy);
  AfterProbe checked(*native, [&] {
    if (!Redirected()) ++redirectedAfter;
  });
  Recorder recorder;
  size_t callsWithoutRedirection = 0;
  recorder.onCall = [&] {
    if (!Redirected()) ++callsWithoutRedirection;
  };
  const platform::Platform platform{real.registry, checked, real.system, real.processes,
                                    real.restorePoint};
  TScanTaskThread scan(platform, recorder, true, /*check64Bit=*/true);
  ASSERT_TRUE(scan.Check64Bit);
  scan.ScanKeyTree("HKEY_CURRENT_USER", key, scan.DriveLetters, "", FindingRule::PathReference);

  EXPECT_GT(probes, 0u);
  EXPECT_EQ(redirectedDuring, 0u);
  EXPECT_EQ(redirectedAfter, 0u);
  EXPECT_EQ(callsWithoutRedirection, 0u);
  EXPECT_TRUE(Redirected());
  ASSERT_EQ(recorder.issues.size(), 1u);
  EXPECT_EQ(recorder.issues[0].key, "HKEY_CURRENT_USER\\" + key + "\\gone");
}

TEST_F(Wow64Wine, RedirectionComesBackAfterAStopAndAfterAFailureInsideAProbe) {
  const std::string key = backend_->SandboxKey();
  const platform::Platform real = backend_->platform();
  std::unique_ptr<platform::RegistryKey> k;
  ASSERT_EQ(real.registry.Create(Root::CurrentUser, key, k), platform::kSuccess);
  for (int i = 0; i < 20; ++i)
    ASSERT_EQ(k->SetValue("v" + std::to_string(i), platform::kRegSz,
                          RegStringData(systemPath_ + "-" + std::to_string(i))),
              platform::kSuccess);

  TScanTaskThread* running = nullptr;
  size_t probes = 0;
  bool fail = false;
  AfterProbe spy(real.files, [&] {
    // Still inside the probe, with redirection off.
    if (++probes != 5) return;
    if (fail) throw std::runtime_error("probe failed");
    running->Stop();
  });
  const std::unique_ptr<platform::FileSystem> native = platform::win32::MakeNativeProbeFileSystem(spy);
  Recorder recorder;
  const platform::Platform platform{real.registry, *native, real.system, real.processes,
                                    real.restorePoint};
  for (const bool failing : {false, true}) {
    SCOPED_TRACE(failing ? "failure" : "stop");
    fail = failing;
    probes = 0;
    TScanTaskThread scan(platform, recorder, true, true);
    running = &scan;
    // The dispatch runs on this thread, which is then the scan thread.
    scan.TaskList = {"2"};
    scan.Execute();
    EXPECT_GE(probes, 5u);
    EXPECT_TRUE(Redirected());
    EXPECT_EQ(scan.StopRequested(), !failing);
  }
}

}  // namespace
}  // namespace tallowin
