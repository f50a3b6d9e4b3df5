#include <windows.h>

#include <gtest/gtest.h>

TEST(Wine, RunsUnderWindowsApi) { EXPECT_NE(GetModuleHandleA("kernel32"), nullptr); }
