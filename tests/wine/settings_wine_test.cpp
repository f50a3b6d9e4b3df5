// The settings file on real files through GetPrivateProfileString and
// WritePrivateProfileString, and the memory INI file checked against them.

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/settings.h"
#include "platform/memory/memory_platform.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/settings_test_support.h"
#include "tests/support/win32_folders.h"

namespace tallowin {
namespace {

using settings_test::FakeWindow;
using settings_test::RecordingIni;

class SettingsWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OptionsSetting = TOptionsSetting{};
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    static int counter = 0;
    folder_ = std::string(temp) + "tallowin-settings-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++counter);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    exeDir_ = folder_ + "\\";
    path_ = SettingsPath(exeDir_);
    ini_ = platform::win32::MakeIniFile(path_);
  }
  void TearDown() override {
    OptionsSetting = TOptionsSetting{};
    ini_.reset();
    testing_support::RemoveFolderTree(folder_);
  }

  void Given(const std::string& text) { WriteText(path_, text); }
  static void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
  }
  static std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::string Load(platform::IniFile& ini) { return LoadOrSaveSettings(true, ini, path_, exeDir_, window_); }
  std::string Save(platform::IniFile& ini) { return LoadOrSaveSettings(false, ini, path_, exeDir_, window_); }

  std::string folder_, exeDir_, path_;
  std::unique_ptr<platform::IniFile> ini_;
  FakeWindow window_;
};

TEST_F(SettingsWineTest, MissingFileGivesDefaultsAndCreatesNothing) {
  ASSERT_EQ(Load(*ini_), "");
  EXPECT_EQ(OptionsSetting.OutputDirectory, exeDir_ + "Backup");
  EXPECT_TRUE(OptionsSetting.IgnoreRemoveDrives);
  for (int i = 1; i <= 17; ++i) EXPECT_FALSE(OptionsSetting.ScanSections[i]) << i;
  EXPECT_EQ(OptionsSetting.IgnoreKeyCount, 0);
  EXPECT_FALSE(OptionsSetting.CreateRP);
  EXPECT_EQ(OptionsSetting.LastClean, "");
  EXPECT_EQ(window_.log, (std::vector<std::string>{"left=112", "top=84", "width=800", "height=600"}));
  EXPECT_EQ(GetFileAttributesA(path_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SettingsWineTest, EmptyValueIsNotTheDefault) {
  Given("[Settings]\r\nOutputDirectory=\r\n");
  ASSERT_EQ(Load(*ini_), "");
  EXPECT_EQ(OptionsSetting.OutputDirectory, "");
}

TEST_F(SettingsWineTest, StateThreeAndStateTwo) {
  Given("[Settings]\r\nState=3\r\nLeft=5\r\nTop=6\r\nWidth=7\r\nHeight=8\r\n");
  RecordingIni recording(*ini_);
  ASSERT_EQ(Load(recording), "");
  EXPECT_EQ(OptionsSetting.WindowState, TWindowState::wsMaximized);
  EXPECT_TRUE(window_.log.empty());
  EXPECT_FALSE(recording.WasRead("Left"));

  OptionsSetting = TOptionsSetting{};
  Given("[Settings]\r\nState=2\r\nLeft=5\r\nTop=6\r\nWidth=700\r\nHeight=500\r\n");
  ASSERT_EQ(Load(*ini_), "");
  EXPECT_EQ(OptionsSetting.WindowState, TWindowState::wsNormal);
  EXPECT_EQ(window_.log, (std::vector<std::string>{"left=5", "top=6", "width=700", "height=500"}));
}

TEST_F(SettingsWineTest, IgnoreKeyCounts) {
  struct Case {
    const char* what;
    const char* file;
    int32_t count;
    std::vector<std::string> keys;
  };
  const Case cases[] = {
      {"stale third key", "[IgnoreKey]\r\nCount=2\r\nKey1=A\r\nKey2=B\r\nKey3=Stale\r\n", 2, {"A", "B"}},
      {"missing second key", "[IgnoreKey]\r\nCount=2\r\nKey1=A\r\n", 2, {"A", ""}},
      {"negative count", "[IgnoreKey]\r\nCount=-5\r\nKey1=A\r\n", -5, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    OptionsSetting = TOptionsSetting{};
    Given(c.file);
    ASSERT_EQ(Load(*ini_), "");
    EXPECT_EQ(OptionsSetting.IgnoreKeyCount, c.count);
    EXPECT_EQ(OptionsSetting.IgnoreKeys, c.keys);
  }
  // The negative count goes back to the file unchanged, with no key lines.
  ASSERT_EQ(Save(*ini_), "");
  const std::string text = ReadText(path_);
  EXPECT_NE(text.find("[IgnoreKey]\r\nCount=-5\r\nKey1=A\r\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("Key2"), std::string::npos) << text;
}

TEST_F(SettingsWineTest, IntegerAndBooleanValues) {
  Given("[Settings]\r\n1=yes\r\n2=2\r\n3=0x10\r\n4=0\r\n5= 1 \r\nIgnore Remove Drives=no\r\n");
  ASSERT_EQ(Load(*ini_), "");
  EXPECT_FALSE(OptionsSetting.ScanSections[1]);
  EXPECT_TRUE(OptionsSetting.ScanSections[2]);
  EXPECT_TRUE(OptionsSetting.ScanSections[3]);
  EXPECT_FALSE(OptionsSetting.ScanSections[4]);
  EXPECT_TRUE(OptionsSetting.ScanSections[5]);
  EXPECT_TRUE(OptionsSetting.IgnoreRemoveDrives);
  ASSERT_EQ(Save(*ini_), "");
  const std::string text = ReadText(path_);
  EXPECT_NE(text.find("1=0\r\n2=1\r\n3=1\r\n4=0\r\n5=1\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Ignore Remove Drives=1\r\n"), std::string::npos) << text;
}

// The first save on real files gives exactly the text the memory INI file gives.
TEST_F(SettingsWineTest, FirstSaveMatchesTheMemoryFileByteForByte) {
  OptionsSetting.OutputDirectory = "C:\\Backups";
  OptionsSetting.IgnoreRemoveDrives = true;
  OptionsSetting.ScanSections[3] = true;
  OptionsSetting.IgnoreKeyCount = 2;
  OptionsSetting.IgnoreKeys = {"HKEY_CURRENT_USER\\Software\\A", "HKEY_USERS\\B"};
  OptionsSetting.CreateRP = true;
  OptionsSetting.LastClean = "07/03/2013 14:05:09 , 3 errors were fixed!";
  window_.showState = 2;
  ASSERT_EQ(Save(*ini_), "");
  const std::string real = ReadText(path_);

  platform::memory::MemoryFileSystem files;
  files.AddFolder("C:\\App");
  platform::memory::MemoryIniFile memory(files, "C:\\App\\Settings.dat");
  ASSERT_EQ(LoadOrSaveSettings(false, memory, "C:\\App\\Settings.dat", "C:\\App\\", window_), "");
  EXPECT_EQ(real, files.Contents("C:\\App\\Settings.dat"));
  EXPECT_EQ(real.rfind("[Settings]\r\nOutputDirectory=C:\\Backups\r\nIgnore Remove Drives=1\r\n1=0\r\n", 0), 0u)
      << real;
  EXPECT_NE(real.find("17=0\r\nState=2\r\nLeft=0\r\nTop=0\r\nWidth=800\r\nHeight=600\r\nCreateRP=1\r\n"
                      "Last Clean=07/03/2013 14:05:09 , 3 errors were fixed!\r\nCheck64Bit=0\r\n"
                      "Language=\r\n[IgnoreKey]\r\nCount=2\r\n"
                      "Key1=HKEY_CURRENT_USER\\Software\\A\r\nKey2=HKEY_USERS\\B\r\n"),
            std::string::npos)
      << real;
}

TEST_F(SettingsWineTest, WriteFailureInMissingFolderNamesTheFile) {
  const std::string missing = folder_ + "\\NoSuchFolder\\Settings.dat";
  auto ini = platform::win32::MakeIniFile(missing);
  RecordingIni recording(*ini);
  EXPECT_EQ(LoadOrSaveSettings(false, recording, missing, exeDir_, window_), "Unable to write to " + missing);
  EXPECT_EQ(recording.writes.size(), 1u);  // the save stops at the first key
  EXPECT_EQ(GetFileAttributesA((folder_ + "\\NoSuchFolder").c_str()), INVALID_FILE_ATTRIBUTES);
}

// A text the ANSI code page cannot carry makes the file a UTF-16 one, with what it held.
TEST_F(SettingsWineTest, TextBeyondTheCodePageTurnsTheFileUnicodeWithItsText) {
  const std::string omega = "HKCU\\Software\\\xCE\xA9";
  for (const std::string& start : {std::string("[S]\r\nk=\xE9\r\n"),                 // Windows-1252
                                   std::string("\xEF\xBB\xBF[S]\r\nk=\xC3\xA9\r\n"),  // UTF-8 with its mark
                                   std::string()}) {                                   // no file
    SCOPED_TRACE(start);
    if (start.empty()) DeleteFileA(path_.c_str()); else Given(start);
    ASSERT_TRUE(ini_->Write("S", "g", omega));
    EXPECT_EQ(ReadText(path_).rfind("\xFF\xFE", 0), 0u);
    auto again = platform::win32::MakeIniFile(path_);
    EXPECT_EQ(again->Read("S", "g", ""), omega);
    EXPECT_EQ(again->Read("S", "k", ""), start.empty() ? "" : "\xC3\xA9");
    ASSERT_TRUE(again->Write("S", "plain", "x"));
    EXPECT_EQ(ReadText(path_).rfind("\xFF\xFE", 0), 0u);
  }
}

// Reads and writes of the memory INI file against the real private-profile functions.
TEST_F(SettingsWineTest, MemoryIniFileAgreesWithPrivateProfileFunctions) {
  const std::string file =
      "; c=1\r\n[Other]\r\nKey=other\r\n[ settings ]\r\n  Key  =  spaced value \t\r\nEmpty=\r\n"
      "Quoted=\"  q  \"\r\nSingle='s'\r\nHalf=\"h\r\nNoEquals\r\nkey=second\r\nLong=" +
      std::string(3000, 'L') + "\r\n[Settings]\r\nLater=x\r\n";
  Given(file);
  platform::memory::MemoryFileSystem files;
  files.AddFile("C:\\S.ini", file);
  platform::memory::MemoryIniFile memory(files, "C:\\S.ini");
  const std::pair<const char*, const char*> reads[] = {
      {"Settings", "key"}, {"SETTINGS", "KEY"}, {"Other", "Key"},    {"Settings", "Empty"},
      {"Settings", "Quoted"}, {"Settings", "Single"}, {"Settings", "Half"}, {"Settings", "NoEquals"},
      {"Settings", "Missing"}, {"Nowhere", "Key"},    {"Settings", "Long"},
  };
  for (const auto& [section, key] : reads) {
    SCOPED_TRACE(std::string(section) + "/" + key);
    EXPECT_EQ(memory.Read(section, key, "default  "), ini_->Read(section, key, "default  "));
  }

  const std::string plain = "[S]\r\nx = 1\r\n; note\r\n[T]\r\ny=2\r\n";
  Given(plain);
  files.AddFile("C:\\S.ini", plain);
  const std::pair<const char*, const char*> writes[][2] = {
      {{"S", "z"}, {"3", ""}}, {{"s", "X"}, {"9", ""}}, {{"U", "w"}, {"4", ""}}, {{"T", "Y"}, {"", ""}},
  };
  for (const auto& w : writes) {
    ASSERT_TRUE(ini_->Write(w[0].first, w[0].second, w[1].first));
    ASSERT_TRUE(memory.Write(w[0].first, w[0].second, w[1].first));
  }
  EXPECT_EQ(files.Contents("C:\\S.ini"), ReadText(path_));
}

}  // namespace
}  // namespace tallowin
