#pragma once
// WOW64 file-system redirection turned off around single calls of one thread, and a
// file system whose existence tests run that way (the native view of the scan).

#include <windows.h>

#include <memory>

#include "platform/file_system.h"

namespace tallowin::platform::win32 {

// Redirection off for the calling thread while this lives; the previous state comes
// back in the destructor, on every path out (a return, an exception). A no-op where
// there is no redirection: 32-bit Windows, or functions the system does not have.
class FsRedirectionOff {
 public:
  FsRedirectionOff();
  ~FsRedirectionOff();
  FsRedirectionOff(const FsRedirectionOff&) = delete;
  FsRedirectionOff& operator=(const FsRedirectionOff&) = delete;

  // Whether redirection was turned off (and will be restored).
  bool active() const { return active_; }

 private:
  PVOID previous_ = nullptr;
  bool active_ = false;
};

// FindFirst, Attributes and List of `inner` with redirection off for the duration of
// each call; everything else passes through unchanged (shell links and special folders
// load 32-bit components, which must stay redirected).
std::unique_ptr<FileSystem> MakeNativeProbeFileSystem(FileSystem& inner);

}  // namespace tallowin::platform::win32
