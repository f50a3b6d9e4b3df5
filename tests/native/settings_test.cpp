#include "core/settings.h"

#include <gtest/gtest.h>

#include <limits>

#include "platform/memory/memory_platform.h"
#include "tests/support/settings_test_support.h"

namespace tallowin {
namespace {

using settings_test::FakeWindow;
using settings_test::RecordingIni;

constexpr const char* kExeDir = "C:\\Tallowin\\";
constexpr const char* kPath = "C:\\Tallowin\\Settings.dat";

class SettingsFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OptionsSetting = TOptionsSetting{};
    files.AddFolder("C:\\Tallowin");
  }
  void TearDown() override { OptionsSetting = TOptionsSetting{}; }

  void Given(const std::string& text) { files.AddFile(kPath, text); }
  std::string Load() { return LoadOrSaveSettings(true, recording, kPath, kExeDir, window); }
  std::string Save() { return LoadOrSaveSettings(false, recording, kPath, kExeDir, window); }
  std::string FileText() { return files.Contents(kPath); }

  platform::memory::MemoryFileSystem files;
  platform::memory::MemoryIniFile ini{files, kPath};
  RecordingIni recording{ini};
  FakeWindow window;
};

TEST_F(SettingsFileTest, MissingFileGivesEveryDefault) {
  ASSERT_EQ(Load(), "");
  const TOptionsSetting& o = OptionsSetting;
  EXPECT_EQ(o.OutputDirectory, "C:\\Tallowin\\Backup");
  EXPECT_TRUE(o.IgnoreRemoveDrives);
  for (int i = 1; i <= 17; ++i) EXPECT_FALSE(o.ScanSections[i]) << i;
  EXPECT_EQ(o.IgnoreKeyCount, 0);
  EXPECT_TRUE(o.IgnoreKeys.empty());
  EXPECT_EQ(o.WindowState, TWindowState::wsNormal);
  EXPECT_FALSE(o.CreateRP);
  EXPECT_EQ(o.LastClean, "");
  EXPECT_TRUE(o.Check64Bit);
  // Centred: (1025 - 800) / 2 and (769 - 600) / 2, truncated.
  EXPECT_EQ(window.log, (std::vector<std::string>{"left=112", "top=84", "width=800", "height=600"}));
  EXPECT_FALSE(files.Exists(kPath));
}

TEST_F(SettingsFileTest, CentringTruncatesTowardZero) {
  window.screenWidth = 600;  // narrower than the window: (600 - 801) / 2 = -100
  window.width = 801;
  window.screenHeight = 0;
  window.height = 3;
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(window.left, -100);
  EXPECT_EQ(window.top, -1);
}

TEST_F(SettingsFileTest, ExecutableDirectoryWithoutBackslashStillGivesBackupFolder) {
  ASSERT_EQ(LoadOrSaveSettings(true, ini, kPath, "D:\\Tools", window), "");
  EXPECT_EQ(OptionsSetting.OutputDirectory, "D:\\Tools\\Backup");
}

TEST_F(SettingsFileTest, EmptyValueIsNotTheDefault) {
  Given("[Settings]\r\nOutputDirectory=\r\nLast Clean=\r\n");
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.OutputDirectory, "");
  EXPECT_EQ(OptionsSetting.LastClean, "");
}

TEST_F(SettingsFileTest, StoredValuesLoad) {
  Given("[settings]\r\nOUTPUTDIRECTORY=D:\\Backups\r\nIgnore Remove Drives=0\r\n1=1\r\n17=1\r\n"
        "5=0\r\nCreateRP=1\r\nLast Clean=07/03/2013 14:05:09 , 12 errors were fixed!\r\n"
        "[IgnoreKey]\r\nCount=1\r\nKey1=HKEY_CURRENT_USER\\Software\\Keep\r\n");
  ASSERT_EQ(Load(), "");
  const TOptionsSetting& o = OptionsSetting;
  EXPECT_EQ(o.OutputDirectory, "D:\\Backups");
  EXPECT_FALSE(o.IgnoreRemoveDrives);
  EXPECT_TRUE(o.ScanSections[1]);
  EXPECT_TRUE(o.ScanSections[17]);
  EXPECT_FALSE(o.ScanSections[5]);
  EXPECT_TRUE(o.CreateRP);
  EXPECT_EQ(o.LastClean, "07/03/2013 14:05:09 , 12 errors were fixed!");
  EXPECT_EQ(o.IgnoreKeys, std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Keep"});
}

TEST_F(SettingsFileTest, StateThreeMaximizesAndLeavesBoundsUnread) {
  Given("[Settings]\r\nState=3\r\nLeft=5\r\nTop=6\r\nWidth=7\r\nHeight=8\r\n");
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.WindowState, TWindowState::wsMaximized);
  EXPECT_TRUE(window.log.empty());
  for (const char* key : {"Left", "Top", "Width", "Height"}) EXPECT_FALSE(recording.WasRead(key)) << key;
}

TEST_F(SettingsFileTest, StateTwoOnlyAppliesTheStoredBounds) {
  Given("[Settings]\r\nState=2\r\nLeft=-5\r\nTop=6\r\nWidth=700\r\nHeight=500\r\n");
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.WindowState, TWindowState::wsNormal);
  EXPECT_EQ(window.log, (std::vector<std::string>{"left=-5", "top=6", "width=700", "height=500"}));
}

TEST_F(SettingsFileTest, BoundDefaultsUseTheWindowAtThatMoment) {
  // Left is missing: its default uses the width before the stored Width is applied.
  Given("[Settings]\r\nTop=10\r\nWidth=1000\r\n");
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(window.log, (std::vector<std::string>{"left=112", "top=10", "width=1000", "height=600"}));
}

TEST_F(SettingsFileTest, CountTwoIgnoresStaleThirdKey) {
  Given("[IgnoreKey]\r\nCount=2\r\nKey1=A\r\nKey2=B\r\nKey3=Stale\r\n");
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.IgnoreKeyCount, 2);
  EXPECT_EQ(OptionsSetting.IgnoreKeys, (std::vector<std::string>{"A", "B"}));
  EXPECT_FALSE(recording.WasRead("Key3"));
}

TEST_F(SettingsFileTest, CountTwoWithMissingSecondKeyLoadsAnEmptyEntry) {
  Given("[IgnoreKey]\r\nCount=2\r\nKey1=A\r\nKey3=C\r\n");
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.IgnoreKeys, (std::vector<std::string>{"A", ""}));
}

TEST_F(SettingsFileTest, NegativeCountIsKeptAndWrittenBackWithoutKeys) {
  Given("[IgnoreKey]\r\nCount=-5\r\nKey1=A\r\n");
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.IgnoreKeyCount, -5);
  EXPECT_TRUE(OptionsSetting.IgnoreKeys.empty());
  EXPECT_FALSE(recording.WasRead("Key1"));
  recording.writes.clear();
  ASSERT_EQ(Save(), "");
  EXPECT_EQ(ini.Read("IgnoreKey", "Count", ""), "-5");
  for (const auto& write : recording.writes) EXPECT_EQ(write.rfind("IgnoreKey/Key", 0), std::string::npos) << write;
}

TEST_F(SettingsFileTest, AbsurdCountIsCapped) {
  Given("[IgnoreKey]\r\nCount=2000000000\r\n");
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.IgnoreKeyCount, 4096);
  EXPECT_EQ(OptionsSetting.IgnoreKeys.size(), 4096u);
}

TEST_F(SettingsFileTest, LoadAppendsToTheExistingList) {
  OptionsSetting.IgnoreKeys = {"Earlier"};
  Given("[IgnoreKey]\r\nCount=1\r\nKey1=A\r\n");
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.IgnoreKeys, (std::vector<std::string>{"Earlier", "A"}));
}

TEST_F(SettingsFileTest, ScanSectionValuesParseAsIntegers) {
  Given("[Settings]\r\n1=yes\r\n2=2\r\n3=0x10\r\n4=0\r\n5=true\r\n6=0x0\r\n7=-1\r\n8= 1 \r\n9=\r\n"
        "10=0x\r\n11=1x\r\nIgnore Remove Drives=no\r\nCreateRP=0X1f\r\n");
  ASSERT_EQ(Load(), "");
  const bool expected[] = {false, true, true, false, false, false, true, true, false, false, false};
  for (int i = 1; i <= 11; ++i) EXPECT_EQ(OptionsSetting.ScanSections[i], expected[i - 1]) << i;
  EXPECT_TRUE(OptionsSetting.IgnoreRemoveDrives);  // "no" is no integer: default true
  EXPECT_TRUE(OptionsSetting.CreateRP);
}

TEST_F(SettingsFileTest, Check64BitReadsAsABooleanWhoseDefaultIsOn) {
  const std::pair<const char*, bool> cases[] = {
      {"[Settings]\r\nCheck64Bit=0\r\n", false},  {"[Settings]\r\nCheck64Bit=1\r\n", true},
      {"[Settings]\r\ncheck64bit=0x0\r\n", false}, {"[Settings]\r\nCheck64Bit=off\r\n", true},
      {"[Settings]\r\nCheck64Bit=\r\n", true},    {"[Settings]\r\nCreateRP=1\r\n", true},
  };
  for (const auto& [text, expected] : cases) {
    SCOPED_TRACE(text);
    OptionsSetting = TOptionsSetting{};
    files.AddFile(kPath, text);
    ASSERT_EQ(Load(), "");
    EXPECT_EQ(OptionsSetting.Check64Bit, expected);
  }
}

TEST(ParseSettingsInteger, DecimalHexAndFallback) {
  const int32_t def = 77;
  struct Case {
    const char* text;
    int32_t value;
  };
  const Case cases[] = {
      {"0", 0},           {"12", 12},
      {"-5", -5},         {"+7", 7},
      {"0x10", 16},       {"0X1f", 31},
      {"0x0", 0},         {"0xFFFFFFFF", -1},
      {"0x7fffffff", std::numeric_limits<int32_t>::max()},
      {"0x000000010", 16}, {"0x100000000", def},
      {"0x", def},        {"0xg", def},
      {"0x-1", def},      {"00x10", def},
      {"x10", def},       {"yes", def},
      {"", def},          {"-", def},
      {"1.5", def},       {" 1", def},
      {"2147483647", std::numeric_limits<int32_t>::max()},
      {"2147483648", def},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"-2147483649", def},
      {"99999999999999999999", def},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseSettingsInteger(c.text, def), c.value);
  }
}

TEST(ResolveOutputDirectory, RelativeFoldersLieBesideTheProgram) {
  const std::pair<const char*, const char*> cases[] = {
      {"relbk", "C:\\Tallowin\\relbk"}, {".\\relbk", "C:\\Tallowin\\relbk"}, {"\\relbk", "C:\\relbk"},
      {"D:\\Backups", "D:\\Backups"},  {"D:relbk", "D:\\relbk"},
      {"c:.\\relbk", "C:\\Tallowin\\relbk"}, {"D:", "D:\\"},           {"\\\\srv\\bk", "\\\\srv\\bk"},
      {"", ""},
  };
  for (const auto& [stored, full] : cases) EXPECT_EQ(ResolveOutputDirectory(stored, kExeDir), full) << stored;
}

TEST_F(SettingsFileTest, RelativeBackupFolderLoadsBesideTheProgramAndIsWrittenBackAsItWas) {
  Given("[Settings]\r\nOutputDirectory=relbk\r\n");
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.OutputDirectory, "C:\\Tallowin\\relbk");
  ASSERT_EQ(Save(), "");
  EXPECT_NE(FileText().find("OutputDirectory=relbk\r\n"), std::string::npos) << FileText();
  OptionsSetting.OutputDirectory = "D:\\Chosen";  // the Options dialog's choice
  ASSERT_EQ(Save(), "");
  EXPECT_NE(FileText().find("OutputDirectory=D:\\Chosen\r\n"), std::string::npos) << FileText();
}

TEST_F(SettingsFileTest, FirstSaveWritesEveryKeyInOrder) {
  OptionsSetting.OutputDirectory = "C:\\Tallowin\\Backup";
  OptionsSetting.IgnoreRemoveDrives = true;
  OptionsSetting.ScanSections[2] = true;
  OptionsSetting.ScanSections[17] = true;
  OptionsSetting.IgnoreKeyCount = 2;
  OptionsSetting.IgnoreKeys = {"HKEY_CURRENT_USER\\Software\\A", ""};
  OptionsSetting.CreateRP = false;
  OptionsSetting.LastClean = "07/03/2013 14:05:09 , 3 errors were fixed!";
  OptionsSetting.Check64Bit = true;
  OptionsSetting.Language = "de";
  window.showState = 3;
  window.left = -4;
  window.top = -4;
  window.width = 1032;
  window.height = 776;
  ASSERT_EQ(Save(), "");
  EXPECT_EQ(FileText(),
            "[Settings]\r\n"
            "OutputDirectory=C:\\Tallowin\\Backup\r\n"
            "Ignore Remove Drives=1\r\n"
            "1=0\r\n2=1\r\n3=0\r\n4=0\r\n5=0\r\n6=0\r\n7=0\r\n8=0\r\n9=0\r\n10=0\r\n11=0\r\n"
            "12=0\r\n13=0\r\n14=0\r\n15=0\r\n16=0\r\n17=1\r\n"
            "State=3\r\nLeft=-4\r\nTop=-4\r\nWidth=1032\r\nHeight=776\r\n"
            "CreateRP=0\r\n"
            "Last Clean=07/03/2013 14:05:09 , 3 errors were fixed!\r\n"
            "Check64Bit=1\r\n"
            "Language=de\r\n"
            "[IgnoreKey]\r\n"
            "Count=2\r\n"
            "Key1=HKEY_CURRENT_USER\\Software\\A\r\n"
            "Key2=\r\n");
}

TEST_F(SettingsFileTest, FailedPlacementQuerySkipsOnlyState) {
  Given("[Settings]\r\nState=3\r\n");
  window.placementWorks = false;
  ASSERT_EQ(Save(), "");
  EXPECT_EQ(ini.Read("Settings", "State", ""), "3");
  EXPECT_FALSE(recording.WasWritten("State"));
  EXPECT_TRUE(recording.WasWritten("Left"));
}

TEST_F(SettingsFileTest, SaveReplacesValuesAndKeepsStaleKeys) {
  Given("[Settings]\r\nIgnore Remove Drives=true\r\n1=yes\r\n[IgnoreKey]\r\nCount=3\r\nKey1=a\r\nKey2=b\r\n"
        "Key3=c\r\n");
  ASSERT_EQ(Load(), "");
  OptionsSetting.IgnoreKeyCount = 1;
  OptionsSetting.IgnoreKeys = {"z"};
  ASSERT_EQ(Save(), "");
  EXPECT_EQ(ini.Read("Settings", "Ignore Remove Drives", ""), "1");
  EXPECT_EQ(ini.Read("Settings", "1", ""), "0");
  EXPECT_EQ(ini.Read("IgnoreKey", "Key1", ""), "z");
  EXPECT_EQ(ini.Read("IgnoreKey", "Key3", ""), "c");
  EXPECT_NE(FileText().find("Key2=b\r\nKey3=c\r\n"), std::string::npos);

  OptionsSetting = TOptionsSetting{};
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.IgnoreKeys, std::vector<std::string>{"z"});
}

TEST_F(SettingsFileTest, SaveThenLoadRestoresTheRecord) {
  OptionsSetting.OutputDirectory = "E:\\B  ";  // blanks are lost by the INI format
  OptionsSetting.ScanSections[9] = true;
  OptionsSetting.IgnoreKeyCount = 1;
  OptionsSetting.IgnoreKeys = {"HKEY_LOCAL_MACHINE\\Software\\X"};
  OptionsSetting.CreateRP = true;
  OptionsSetting.LastClean = "done";
  const TOptionsSetting saved = OptionsSetting;
  ASSERT_EQ(Save(), "");
  OptionsSetting = TOptionsSetting{};
  ASSERT_EQ(Load(), "");
  EXPECT_EQ(OptionsSetting.OutputDirectory, "E:\\B");
  EXPECT_EQ(OptionsSetting.ScanSections.items, saved.ScanSections.items);
  EXPECT_EQ(OptionsSetting.IgnoreKeys, saved.IgnoreKeys);
  EXPECT_EQ(OptionsSetting.IgnoreRemoveDrives, saved.IgnoreRemoveDrives);
  EXPECT_EQ(OptionsSetting.CreateRP, saved.CreateRP);
  EXPECT_EQ(OptionsSetting.LastClean, saved.LastClean);
  // Off is written and read back as off, not as the missing key's default.
  EXPECT_FALSE(OptionsSetting.Check64Bit);
}

TEST_F(SettingsFileTest, WriteFailureStopsAtThatKeyAndNamesTheFile) {
  recording.failAtWrite = 5;  // "3" of the scan sections
  EXPECT_EQ(Save(), "Unable to write to C:\\Tallowin\\Settings.dat");
  ASSERT_EQ(recording.writes.size(), 5u);
  EXPECT_EQ(recording.writes.back(), "Settings/3");
  EXPECT_EQ(ini.Read("Settings", "2", "missing"), "0");
  EXPECT_EQ(ini.Read("Settings", "3", "missing"), "missing");
}

TEST_F(SettingsFileTest, WriteFailureInProtectedFolder) {
  files.DenyWrites("C:\\Tallowin");
  EXPECT_EQ(Save(), "Unable to write to C:\\Tallowin\\Settings.dat");
  EXPECT_EQ(recording.writes.size(), 1u);
  EXPECT_FALSE(files.Exists(kPath));
}

TEST_F(SettingsFileTest, ConsoleLeavesTheWindowKeysAlone) {
  Given("[Settings]\r\nState=2\r\nLeft=5\r\nTop=6\r\nWidth=700\r\nHeight=500\r\nLast Clean=old\r\n");
  LoadSettingsForConsole(ini, kPath, kExeDir);
  EXPECT_EQ(OptionsSetting.LastClean, "old");
  OptionsSetting.LastClean = "new";
  ASSERT_EQ(SaveSettingsForConsole(ini, kPath, kExeDir), "");
  EXPECT_EQ(FileText().rfind("[Settings]\r\nState=2\r\nLeft=5\r\nTop=6\r\nWidth=700\r\nHeight=500\r\n"
                             "Last Clean=new\r\nOutputDirectory=",
                             0),
            0u)
      << FileText();

  files.DenyWrites("C:\\Tallowin");
  EXPECT_EQ(SaveSettingsForConsole(ini, kPath, kExeDir), "Unable to write to C:\\Tallowin\\Settings.dat");
}

}  // namespace
}  // namespace tallowin
