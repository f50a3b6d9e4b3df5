// The in-process GUI tests: windows created on this thread, driven with the messages a
// user's clicks and keys produce.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>

#include "platform/win32/com_initialization.h"

int main(int argc, char** argv) {
  // The tests start this program again as the process a hint waits for.
  if (argc == 2 && std::strcmp(argv[1], "--child-exit") == 0) return 0;
  if (argc == 2 && std::strcmp(argv[1], "--child-wait") == 0) {
    Sleep(120000);  // ended by the test long before
    return 0;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  tallowin::platform::win32::ComInitialization com(
      tallowin::platform::win32::ComThreading::Apartment);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
