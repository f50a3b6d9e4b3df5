#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/wow64_redirection.h"

namespace tallowin::platform::win32 {
namespace {

class Win32Process final : public Process {
 public:
  explicit Win32Process(UniqueKernelHandle process) : process_(std::move(process)) {}

  bool WaitFor(unsigned milliseconds) override {
    return WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
  }

  // A stopped import did not succeed: its exit code must not say it did.
  void Terminate() override { TerminateProcess(process_.get(), 1); }

 private:
  UniqueKernelHandle process_;
};

class Win32ProcessLauncher final : public ProcessLauncher {
 public:
  std::unique_ptr<Process> StartHidden(const std::string& commandLine) override {
    return Start(commandLine, View::Process);
  }

  std::unique_ptr<Process> StartHiddenInView(const std::string& commandLine, View view) override {
    return Start(commandLine, view);
  }

  long LastStartError() const override { return lastError_; }

 private:
  std::unique_ptr<Process> Start(const std::string& commandLine, View view) {
    // CreateProcessW may write into the command line.
    std::wstring line = Wide(commandLine);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullptr;
    startup.hStdOutput = nullptr;
    startup.hStdError = nullptr;
    PROCESS_INFORMATION info{};
    // No handle of ours is inherited: the child gets none of the standard handles
    // anyway, and must not keep a backup file or a pipe of the caller open.
    BOOL started = FALSE;
    {
      // The system redirects %windir%\regedit.exe and System32 for a 32-bit caller.
      std::optional<FsRedirectionOff> off;
      if (view == View::Native) off.emplace();
      started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE,
                               NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &info);
      if (!started) lastError_ = static_cast<long>(GetLastError());
    }
    if (!started) return nullptr;
    lastError_ = kSuccess;
    UniqueKernelHandle thread(info.hThread);
    return std::make_unique<Win32Process>(UniqueKernelHandle(info.hProcess));
  }

  long lastError_ = 0;
};

}  // namespace

std::unique_ptr<ProcessLauncher> MakeProcessLauncher() {
  return std::make_unique<Win32ProcessLauncher>();
}

}  // namespace tallowin::platform::win32
