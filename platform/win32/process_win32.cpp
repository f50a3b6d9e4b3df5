#include <windows.h>

#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"

namespace tallowin::platform::win32 {
namespace {

class Win32Process final : public Process {
 public:
  explicit Win32Process(UniqueKernelHandle process) : process_(std::move(process)) {}

  bool WaitFor(unsigned milliseconds) override {
    return WaitForSingleObject(process_.get(), milliseconds) == WAIT_OBJECT_0;
  }

  void Terminate() override { TerminateProcess(process_.get(), 1); }

 private:
  UniqueKernelHandle process_;
};

class Win32ProcessLauncher final : public ProcessLauncher {
 public:
  std::unique_ptr<Process> StartHidden(const std::string& commandLine) override {
    // CreateProcessA may write into the command line.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullptr;
    startup.hStdOutput = nullptr;
    startup.hStdError = nullptr;
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                        nullptr, nullptr, &startup, &info))
      return nullptr;
    UniqueKernelHandle thread(info.hThread);
    return std::make_unique<Win32Process>(UniqueKernelHandle(info.hProcess));
  }
};

}  // namespace

std::unique_ptr<ProcessLauncher> MakeProcessLauncher() {
  return std::make_unique<Win32ProcessLauncher>();
}

}  // namespace tallowin::platform::win32
