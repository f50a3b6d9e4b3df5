#include "core/dialog_choices.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_platform.h"
#include "repair/restore.h"

namespace tallowin {
namespace {

using platform::memory::MemoryMachine;

TEST(CustomScanChoice, SaveIsDueExactlyWhenAMarkDiffers) {
  TScanSections stored, checks;
  EXPECT_FALSE(ScanSectionsDiffer(checks, stored));
  checks[17] = true;
  EXPECT_TRUE(ScanSectionsDiffer(checks, stored));
  stored[17] = true;
  EXPECT_FALSE(ScanSectionsDiffer(checks, stored));
}

TEST(OptionsChoice, OpensWithTheCountedKeysOnly) {
  TOptionsSetting settings;
  settings.IgnoreKeys = {"HKEY_CURRENT_USER\\A", "HKEY_CURRENT_USER\\B", "HKEY_CURRENT_USER\\C"};
  settings.IgnoreKeyCount = 2;
  EXPECT_EQ(OptionsFromSettings(settings).ignoreKeys,
            (std::vector<std::string>{"HKEY_CURRENT_USER\\A", "HKEY_CURRENT_USER\\B"}));
  settings.IgnoreKeyCount = -1;
  EXPECT_TRUE(OptionsFromSettings(settings).ignoreKeys.empty());
  settings.IgnoreKeyCount = 9;  // more than the list holds
  EXPECT_EQ(OptionsFromSettings(settings).ignoreKeys.size(), 3u);
}

TEST(OptionsChoice, MissingFolderIsRefusedAndNothingIsStored) {
  MemoryMachine machine;
  ASSERT_TRUE(machine.files.CreateDirectories("C:\\Backup"));
  ASSERT_TRUE(machine.files.AppendToFile("C:\\file.txt", "", "x"));
  TOptionsSetting settings;
  settings.OutputDirectory = "C:\\Old";
  settings.IgnoreKeys = {"K"};
  settings.IgnoreKeyCount = 1;
  OptionsChoice choice;
  choice.createRestorePoint = true;
  for (const char* folder : {"C:\\Missing", "", "C:\\file.txt"}) {
    SCOPED_TRACE(folder);
    choice.outputDirectory = folder;
    EXPECT_EQ(ApplyOptions(machine.files, choice, "C:\\Program\\", settings),
              std::string(folder) + ",can not find the backup folder.");
    EXPECT_EQ(settings.OutputDirectory, "C:\\Old");
    EXPECT_FALSE(settings.CreateRP);
    EXPECT_EQ(settings.IgnoreKeyCount, 1);
  }
}

TEST(OptionsChoice, OkStoresEverythingWithEmptyAndDuplicateKeysAsTyped) {
  MemoryMachine machine;
  ASSERT_TRUE(machine.files.CreateDirectories("C:\\Backup"));
  TOptionsSetting settings;
  settings.IgnoreKeys = {"old"};
  settings.IgnoreKeyCount = 1;
  OptionsChoice choice;
  choice.outputDirectory = "C:\\Backup";
  choice.ignoreRemoveDrives = true;
  choice.createRestorePoint = true;
  settings.Check64Bit = true;
  choice.check64Bit = false;
  choice.ignoreKeys = {"HKEY_CURRENT_USER\\X ", "", "HKEY_CURRENT_USER\\X "};
  EXPECT_EQ(ApplyOptions(machine.files, choice, "C:\\Program\\", settings), "");
  EXPECT_EQ(settings.OutputDirectory, "C:\\Backup");
  EXPECT_TRUE(settings.IgnoreRemoveDrives);
  EXPECT_TRUE(settings.CreateRP);
  EXPECT_FALSE(settings.Check64Bit);
  EXPECT_EQ(settings.IgnoreKeyCount, 3);
  EXPECT_EQ(settings.IgnoreKeys, choice.ignoreKeys);

  choice.ignoreKeys.clear();
  EXPECT_EQ(ApplyOptions(machine.files, choice, "C:\\Program\\", settings), "");
  EXPECT_EQ(settings.IgnoreKeyCount, 0);
  EXPECT_TRUE(settings.IgnoreKeys.empty());

  // A relative folder is looked for beside the program and kept relative for the file.
  choice.outputDirectory = "relbk";
  EXPECT_EQ(ApplyOptions(machine.files, choice, "C:\\Program\\", settings), "relbk,can not find the backup folder.");
  ASSERT_TRUE(machine.files.CreateDirectories("C:\\Program\\relbk"));
  EXPECT_EQ(ApplyOptions(machine.files, choice, "C:\\Program\\", settings), "");
  EXPECT_EQ(settings.OutputDirectory, "C:\\Program\\relbk");
  EXPECT_EQ(settings.OutputDirectoryInFile, "relbk");
  choice.outputDirectory = settings.OutputDirectory;
  EXPECT_EQ(ApplyOptions(machine.files, choice, "C:\\Program\\", settings), "");
  EXPECT_EQ(settings.OutputDirectoryInFile, "relbk");
  // Another spelling of the same folder, typed, is what the file keeps.
  for (const char* typed : {"C:relbk", ".\\relbk", "relbk"}) {
    choice.outputDirectory = typed;
    EXPECT_EQ(ApplyOptions(machine.files, choice, "C:\\Program\\", settings), "");
    EXPECT_EQ(settings.OutputDirectory, "C:\\Program\\relbk");
    EXPECT_EQ(settings.OutputDirectoryInFile, typed);
  }
}

TEST(BackupHintProgress, PassesItsMaximumByOneAfter95TicksAndStays) {
  const struct {
    int from, to;
  } steps[] = {{0, 10}, {300, 310}, {301, 306}, {400, 405}, {401, 404}, {450, 453},
               {451, 453}, {490, 492}, {491, 492}, {500, 501}, {501, 501}};
  for (const auto& step : steps) EXPECT_EQ(NextBackupHintProgress(step.from), step.to) << step.from;
  int position = 0;
  int ticks = 0;
  while (position <= 500 && ticks < 1000) {
    position = NextBackupHintProgress(position);
    ++ticks;
  }
  EXPECT_EQ(position, 501);
  EXPECT_EQ(ticks, 95);
}

}  // namespace
}  // namespace tallowin
