#pragma once
// The two ways a 32-bit program on 64-bit Windows can see the machine.

#include <cstdint>

namespace tallowin::platform {

enum class View : uint8_t {
  // As this process sees it. Under WOW64: the 32-bit registry view (HKLM\Software is
  // Software\Wow6432Node) and System32 redirected to SysWOW64.
  Process,
  // As the system is: the 64-bit registry view (KEY_WOW64_64KEY), where every key has
  // the path the 64-bit registry editor shows, and no file-system redirection.
  Native,
};

}  // namespace tallowin::platform
