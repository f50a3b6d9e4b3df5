#include "platform/reg_global.h"

#include <gtest/gtest.h>

namespace tallowin {
namespace {

struct VersionCase {
  uint32_t platformId, major, minor;
  int code;
};

TEST(GetWindowsVersionCode, ClassifiesEveryRowOfTheTable) {
  const VersionCase cases[] = {
      {1, 4, 0, 1},   {1, 4, 10, 3},  {1, 4, 90, 8},  {1, 4, 1, 10},  {0, 0, 0, 10},
      {2, 3, 51, 5},  {2, 4, 0, 6},   {2, 5, 0, 7},   {2, 5, 3, 7},   {2, 5, 1, 9},
      {2, 5, 2, 10},  {2, 6, 0, 11},  {2, 6, 1, 12},  {2, 6, 2, 11},  {2, 6, 3, 11},
      {2, 10, 0, 10}, {2, 7, 0, 10},  {2, 0, 0, 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.platformId << " " << c.major << "." << c.minor);
    EXPECT_EQ(ClassifyWindowsVersion(c.platformId, c.major, c.minor), c.code);
  }
}

TEST(TwoDigits, PadsOnlySingleDigits) {
  EXPECT_EQ(TwoDigits(0), "00");
  EXPECT_EQ(TwoDigits(9), "09");
  EXPECT_EQ(TwoDigits(10), "10");
  EXPECT_EQ(TwoDigits(123), "123");
  EXPECT_EQ(TwoDigits(-3), "0-3");
}

TEST(Rot13, RotatesLettersOnlyAndIsItsOwnInverse) {
  EXPECT_EQ(Rot13("abc"), "nop");
  EXPECT_EQ(Rot13("NOP"), "ABC");
  const std::string mixed = "C:\\Program Files\\App 2.0\\x-y_z.EXE;\xE4\xFC";
  EXPECT_EQ(Rot13(Rot13(mixed)), mixed);
  EXPECT_EQ(Rot13("0123456789\\:;.,!"), "0123456789\\:;.,!");
  EXPECT_EQ(Rot13("\xE4\xC4"), "\xE4\xC4");
}

}  // namespace
}  // namespace tallowin
