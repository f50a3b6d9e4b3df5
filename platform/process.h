#pragma once
// Starting a program hidden and watching it end.

#include <memory>
#include <string>

#include "platform/view.h"

namespace tallowin::platform {

class Process {
 public:
  virtual ~Process() = default;  // releases the handles; does not end the process
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;

  // True once the process has ended. Waits at most `milliseconds`.
  virtual bool WaitFor(unsigned milliseconds) = 0;
  virtual void Terminate() = 0;
};

class ProcessLauncher {
 public:
  virtual ~ProcessLauncher() = default;
  // CreateProcess with SW_HIDE; nullptr when the program cannot be started.
  virtual std::unique_ptr<Process> StartHidden(const std::string& commandLine) = 0;
  // The same with the program's path taken in `view`: View::Native starts the program
  // the path names on the system as it is (WOW64 file-system redirection off while it
  // starts), such as the 64-bit registry editor of the Windows folder.
  virtual std::unique_ptr<Process> StartHiddenInView(const std::string& commandLine, View view) {
    (void)view;
    return StartHidden(commandLine);
  }
  // The system's error code of the last start that failed (740: elevation required).
  virtual long LastStartError() const = 0;
};

}  // namespace tallowin::platform
