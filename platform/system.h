#pragma once
// Version, bitness, clock and the places of the running program.

#include <cstdint>
#include <string>

#include "platform/text.h"

namespace tallowin::platform {

struct OsVersion {
  uint32_t platformId = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
};

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class System {
 public:
  virtual ~System() = default;
  // GetVersionEx; zeroes when the call fails.
  virtual OsVersion Version() = 0;
  // IsWow64Process on the current process, looked up at run time.
  virtual bool IsWow64() = 0;
  virtual LocalTime Now() = 0;
  // The system's short date and long time format, e.g. "07/03/2013 14:05:09".
  virtual std::string FormatDateTime(const LocalTime& time) = 0;
  // A FILETIME (UTC) as local date and time text; midnight shows the date only.
  virtual std::string FormatFileTime(uint64_t fileTime) = 0;
  // Folder of the running executable, with a trailing backslash.
  virtual std::string ExecutableDirectory() = 0;
  virtual std::string WindowsDirectory() = 0;  // no trailing backslash
  virtual std::string SystemDirectory() = 0;   // no trailing backslash
  // The ANSI code page of the system (what a "REGEDIT4" file is written in).
  virtual const AnsiCodePage& Ansi() = 0;
  // The system's text for an error code, for messages to the user.
  virtual std::string ErrorText(long code) { return "Error " + std::to_string(code) + "."; }
  // The SID of the user the process runs as ("S-1-5-21-..."), the name of that user's
  // key below HKEY_USERS; empty when it cannot be read.
  virtual std::string CurrentUserSid() = 0;
};

}  // namespace tallowin::platform
