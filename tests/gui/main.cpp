// The in-process GUI tests: windows created on this thread, driven with the messages a
// user's clicks and keys produce.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "platform/win32/com_initialization.h"

int main(int argc, char** argv) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  tallowin::platform::win32::ComInitialization com(
      tallowin::platform::win32::ComThreading::Apartment);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
