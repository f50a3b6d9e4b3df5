// The memory backend's own rules, beyond the shared contract: access denial, drives,
// path normalisation, wildcards, .reg import and export, the INI file and the fakes.

#include "platform/memory/memory_platform.h"

#include <gtest/gtest.h>

namespace tallowin::platform::memory {
namespace {

using namespace std::string_literals;

long OpenStatus(MemoryRegistry& registry, std::string_view path, Access access) {
  std::unique_ptr<RegistryKey> key;
  return registry.Open(Root::LocalMachine, path, access, key);
}

TEST(MemoryRegistry, DenyOpenCoversTheSubTree) {
  MemoryRegistry registry;
  registry.CreateKey(Root::LocalMachine, "Software\\Locked\\Inner");
  registry.DenyOpen(Root::LocalMachine, "software\\locked");
  EXPECT_EQ(OpenStatus(registry, "Software", Access::Read), kSuccess);
  EXPECT_EQ(OpenStatus(registry, "Software\\Locked", Access::Read), kAccessDenied);
  EXPECT_EQ(OpenStatus(registry, "Software\\Locked\\Inner", Access::Read), kAccessDenied);
  EXPECT_EQ(OpenStatus(registry, "Software\\Locked\\Missing", Access::Read), kAccessDenied);
  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(registry.Create(Root::LocalMachine, "Software\\Locked\\New", key), kAccessDenied);
  EXPECT_EQ(key, nullptr);
  registry.DenyOpen(Root::LocalMachine, "Software\\Locked", false);
  EXPECT_EQ(OpenStatus(registry, "Software\\Locked\\Inner", Access::Read), kSuccess);
  EXPECT_FALSE(registry.KeyExists(Root::LocalMachine, "Software\\Locked\\New"));
}

TEST(MemoryRegistry, DenyWriteRefusesFullAccessAndChangesBelow) {
  MemoryRegistry registry;
  registry.SetString(Root::LocalMachine, "Software\\RO\\Child", "v", "x");
  registry.DenyWrite(Root::LocalMachine, "Software\\RO");
  registry.DenyWrite(Root::LocalMachine, "Software\\RO\\Child");
  EXPECT_EQ(OpenStatus(registry, "Software\\RO", Access::All), kAccessDenied);
  EXPECT_EQ(OpenStatus(registry, "Software\\RO", Access::Read), kSuccess);
  std::unique_ptr<RegistryKey> key;
  EXPECT_EQ(registry.Create(Root::LocalMachine, "Software\\RO\\New\\Deeper", key), kAccessDenied);
  EXPECT_FALSE(registry.KeyExists(Root::LocalMachine, "Software\\RO\\New"));
  EXPECT_EQ(registry.Create(Root::LocalMachine, "Software\\RO", key), kAccessDenied);

  // The parent may be written; the protected child still cannot be deleted.
  registry.CreateKey(Root::LocalMachine, "Software\\RO2\\Child");
  registry.DenyWrite(Root::LocalMachine, "Software\\RO2\\Child");
  ASSERT_EQ(registry.Open(Root::LocalMachine, "Software\\RO2", Access::All, key), kSuccess);
  EXPECT_EQ(key->DeleteSubKey("Child"), kAccessDenied);
  EXPECT_TRUE(registry.KeyExists(Root::LocalMachine, "Software\\RO2\\Child"));
}

TEST(MemoryRegistry, ValuesKeepInsertionOrderAndNamesMatchInAnyCase) {
  MemoryRegistry registry;
  registry.SetString(Root::CurrentUser, "K", "zeta", "1");
  registry.SetDword(Root::CurrentUser, "K", "Alpha", 2);
  registry.SetString(Root::CurrentUser, "K", "", "d");
  registry.SetString(Root::CurrentUser, "K", "ZETA", "3");  // replaces in place
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(registry.Open(Root::CurrentUser, "k", Access::Read, key), kSuccess);
  std::vector<std::string> names;
  ASSERT_EQ(key->ValueNames(names), kSuccess);
  EXPECT_EQ(names, (std::vector<std::string>{"zeta", "Alpha", ""}));
  const auto zeta = registry.GetValue(Root::CurrentUser, "K", "Zeta");
  ASSERT_TRUE(zeta.has_value());
  EXPECT_EQ(zeta->data, "3\0\0\0"s);  // UTF-16LE with its terminating NUL
  EXPECT_EQ(registry.GetValue(Root::CurrentUser, "K", "alpha")->data, "\x02\0\0\0"s);
}

TEST(MemoryRegistry, HandleOfADeletedKeyFailsSafely) {
  MemoryRegistry registry;
  registry.SetString(Root::CurrentUser, "Parent\\Gone", "v", "x");
  std::unique_ptr<RegistryKey> parent, gone;
  ASSERT_EQ(registry.Open(Root::CurrentUser, "Parent", Access::All, parent), kSuccess);
  ASSERT_EQ(registry.Open(Root::CurrentUser, "Parent\\Gone", Access::All, gone), kSuccess);
  ASSERT_EQ(parent->DeleteSubKey("GONE"), kSuccess);
  std::vector<std::string> names{"stale"};
  EXPECT_NE(gone->ValueNames(names), kSuccess);
  EXPECT_TRUE(names.empty());
  EXPECT_NE(gone->SetValue("w", kRegSz, "y\0"s), kSuccess);
  EXPECT_FALSE(registry.KeyExists(Root::CurrentUser, "Parent\\Gone"));
}

TEST(MemoryRegistry, MalformedPathsOpenNothing) {
  MemoryRegistry registry;
  registry.CreateKey(Root::LocalMachine, "A\\B");
  EXPECT_EQ(OpenStatus(registry, "A\\B\\", Access::Read), kSuccess);
  EXPECT_EQ(OpenStatus(registry, "A\\\\B", Access::Read), kFileNotFound);
  EXPECT_EQ(OpenStatus(registry, "\\A", Access::Read), kFileNotFound);
  std::unique_ptr<RegistryKey> key;
  EXPECT_NE(registry.Create(Root::LocalMachine, "A\\\\C", key), kSuccess);
  EXPECT_FALSE(registry.KeyExists(Root::LocalMachine, "A\\C"));
}

TEST(MemoryRegistry, ImportAppliesValuesAndDeletionsExportWritesThemBack) {
  MemoryRegistry registry;
  registry.SetString(Root::CurrentUser, "Software\\Old\\Deep\\Deeper", "x", "y");
  registry.SetString(Root::CurrentUser, "Software\\App", "drop", "me");
  std::string error;
  ASSERT_TRUE(registry.Import(
      "REGEDIT4\r\n\r\n[-HKEY_CURRENT_USER\\Software\\Old]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\App]\r\n@=\"default\"\r\n\"drop\"=-\r\n"
      "\"n\"=dword:0000001a\r\n\"m\"=hex(7):61,00,00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\App\\b]\r\n[HKEY_CURRENT_USER\\Software\\App\\A]\r\n"
      "\"bin\"=hex:01,ff\r\n",
      &error))
      << error;
  EXPECT_FALSE(registry.KeyExists(Root::CurrentUser, "Software\\Old"));
  EXPECT_FALSE(registry.GetValue(Root::CurrentUser, "Software\\App", "drop").has_value());
  EXPECT_EQ(registry.Export(Root::CurrentUser, "Software\\App\\"),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\App]\r\n"
            "@=\"default\"\r\n\"n\"=dword:0000001a\r\n\"m\"=hex(7):61,00,00,00,00,00\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\App\\A]\r\n\"bin\"=hex:01,ff\r\n"
            "\r\n[HKEY_CURRENT_USER\\Software\\App\\b]\r\n");
  EXPECT_EQ(registry.Export(Root::CurrentUser, "Software\\Missing"),
            "Windows Registry Editor Version 5.00\r\n");

  // Export and import are inverse: a fresh registry receives the same tree.
  MemoryRegistry copy;
  ASSERT_TRUE(copy.Import(registry.Export(Root::CurrentUser, "Software\\App"), &error)) << error;
  EXPECT_EQ(copy.Export(Root::CurrentUser, "Software\\App"),
            registry.Export(Root::CurrentUser, "Software\\App"));
}

TEST(MemoryRegistry, MalformedImportChangesNothing) {
  MemoryRegistry registry;
  registry.SetString(Root::CurrentUser, "Keep", "v", "old");
  std::string error;
  EXPECT_FALSE(registry.Import(
      "REGEDIT4\r\n[-HKEY_CURRENT_USER\\Keep]\r\n[HKEY_CURRENT_USER\\New]\r\n\"a\"=dword:xyz\r\n",
      &error));
  EXPECT_EQ(error.rfind("line 4:", 0), 0u) << error;
  EXPECT_TRUE(registry.KeyExists(Root::CurrentUser, "Keep"));
  EXPECT_FALSE(registry.KeyExists(Root::CurrentUser, "New"));
}

class MemoryFiles : public ::testing::Test {
 protected:
  MemoryFileSystem fs;
};

TEST_F(MemoryFiles, DrivesMissingOrNotReadyFindNothing) {
  fs.AddDrive('E', kDriveCdRom, false);
  fs.AddDrive('F', kDriveRemovable, true);
  fs.AddFile("F:\\app.exe");
  EXPECT_EQ(fs.DriveType("E:\\"), kDriveCdRom);
  EXPECT_EQ(fs.DriveType("f:"), kDriveRemovable);
  EXPECT_EQ(fs.DriveType("Q:\\"), kDriveNoRootDir);
  EXPECT_EQ(fs.DriveType("C:\\Windows"), kDriveNoRootDir);
  EXPECT_FALSE(fs.VolumeReady("E:\\"));
  EXPECT_TRUE(fs.VolumeReady("F:\\"));
  EXPECT_FALSE(fs.VolumeReady("Q:\\"));

  FindEntry entry;
  EXPECT_TRUE(fs.FindFirst("F:\\*.exe", entry));
  fs.AddDrive('F', kDriveRemovable, false);  // the medium is taken out
  EXPECT_FALSE(fs.FindFirst("F:\\*.exe", entry));
  EXPECT_FALSE(fs.FindFirst("F:\\app.exe", entry));
  EXPECT_FALSE(fs.Attributes("F:\\app.exe").has_value());
  EXPECT_FALSE(fs.Attributes("F:\\").has_value());
  EXPECT_FALSE(fs.FindFirst("Q:\\*", entry));
  EXPECT_FALSE(fs.Attributes("Q:\\").has_value());
  EXPECT_TRUE(fs.Exists("F:\\app.exe"));  // inspection ignores readiness
}

TEST_F(MemoryFiles, AttributesFollowWin32PathRules) {
  fs.AddFile("C:\\Windows\\notepad.exe");
  struct Case {
    const char* path;
    std::optional<uint32_t> attributes;
  };
  const Case cases[] = {
      {"C:\\", kAttrDirectory},
      {"c:", kAttrDirectory},
      {"C:\\Windows", kAttrDirectory},
      {"C:\\Windows\\", kAttrDirectory},
      {"C:/windows/NOTEPAD.EXE", kAttrArchive},
      {"C:\\Windows\\\\notepad.exe", kAttrArchive},
      {"C:\\Windows\\.\\system\\..\\notepad.exe", kAttrArchive},
      {"C:\\..\\Windows\\notepad.exe", kAttrArchive},
      {"C:\\Windows\\notepad.exe. ", kAttrArchive},
      {"C:\\Windows\\notepad.exe\\", std::nullopt},
      {"C:\\Windows\\note*.exe", std::nullopt},
      {"C:\\Windows\\notepad.exe\\x", std::nullopt},
      {"Windows\\notepad.exe", std::nullopt},
      {"C:Windows", std::nullopt},
      {"\\\\server\\share\\x", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(fs.Attributes(c.path), c.attributes);
  }
}

TEST_F(MemoryFiles, FindFirstWildcardsOnlyInTheLastName) {
  fs.AddFile("C:\\Dir\\b.txt");
  fs.AddFile("C:\\Dir\\A.txt");
  fs.AddFile("C:\\Dir\\ab");
  fs.AddFolder("C:\\Dir\\Sub");
  struct Case {
    const char* pattern;
    const char* first;  // nullptr: nothing found
  };
  const Case cases[] = {
      {"C:\\Dir\\*", "."},           {"C:\\Dir\\*.*", "."},     {"C:\\Dir\\?.TXT", "A.txt"},
      {"C:\\Dir\\b*", "b.txt"},      {"C:\\Dir\\a?", "ab"},     {"C:\\Dir\\*b", "ab"},
      {"C:\\Dir\\s*", "Sub"},        {"C:\\Dir\\?b", "ab"},     {"C:\\Dir\\????", nullptr},
      {"C:\\D*\\A.txt", nullptr},    {"C:\\Dir\\", nullptr},    {"C:\\", nullptr},
      {"C:\\*", "Dir"},              {"C:\\Dir", "Dir"},        {"C:\\Dir\\Sub\\*", "."},
      {"C:\\Dir\\Sub\\x*", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    FindEntry entry;
    ASSERT_EQ(fs.FindFirst(c.pattern, entry), c.first != nullptr);
    if (c.first) {
      EXPECT_EQ(entry.name, c.first);
    }
  }
}

TEST_F(MemoryFiles, ProbesAreCounted) {
  FindEntry entry;
  const size_t before = fs.ProbeCount();
  (void)fs.FindFirst("C:\\x", entry);
  (void)fs.Attributes("C:\\x");
  (void)fs.DriveType("C:\\");
  EXPECT_EQ(fs.ProbeCount(), before + 2);
}

TEST_F(MemoryFiles, ExpandEnvironmentLikeTheSystem) {
  fs.SetEnvironment("SystemRoot", "C:\\Windows");
  fs.SetEnvironment("Empty", "");
  struct Case {
    const char* text;
    size_t capacity;
    const char* expanded;  // nullptr: does not fit
  };
  const Case cases[] = {
      {"%SYSTEMROOT%\\x.dll", 100, "C:\\Windows\\x.dll"},
      {"%systemroot%", 11, "C:\\Windows"},
      {"%systemroot%", 10, nullptr},
      {"a%Empty%b", 100, "ab"},
      {"%%", 100, "%%"},
      {"%Undefined%SystemRoot%", 100, "%Undefined%SystemRoot%"},
      {"%Undefined%%SystemRoot%", 100, "%Undefined%C:\\Windows"},
      {"50%", 100, "50%"},
      {"%SystemRoot", 100, "%SystemRoot"},
      {"", 1, ""},
      {"", 0, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string expanded = "unchanged";
    ASSERT_EQ(fs.ExpandEnvironment(c.text, c.capacity, expanded), c.expanded != nullptr);
    EXPECT_EQ(expanded, c.expanded ? c.expanded : "unchanged");
  }
}

TEST_F(MemoryFiles, DeniedFolderRefusesWritesBelowIt) {
  fs.AddFile("C:\\RO\\old.reg", "old");
  fs.DenyWrites("c:\\ro");
  EXPECT_FALSE(fs.AppendToFile("C:\\RO\\new.reg", "H", "x"));
  EXPECT_FALSE(fs.AppendToFile("C:\\RO\\old.reg", "H", "x"));
  EXPECT_FALSE(fs.WriteWholeFile("C:\\RO\\old.reg", "x"));
  EXPECT_FALSE(fs.CreateDirectories("C:\\RO\\Sub"));
  EXPECT_TRUE(fs.CreateDirectories("C:\\RO"));  // exists already: nothing to write
  EXPECT_FALSE(fs.RemoveFile("C:\\RO\\old.reg"));
  EXPECT_FALSE(fs.RemoveFile("C:\\RO"));
  EXPECT_EQ(fs.Contents("C:\\RO\\old.reg"), "old");
  EXPECT_FALSE(fs.Exists("C:\\RO\\new.reg"));
  fs.DenyWrites("C:\\RO", false);
  EXPECT_TRUE(fs.AppendToFile("C:\\RO\\old.reg", "H", "x"));
  EXPECT_EQ(fs.Contents("C:\\RO\\old.reg"), "oldx");
}

TEST_F(MemoryFiles, RemoveFileRemovesFoldersWithTheirContents) {
  fs.AddFile("C:\\Tree\\Sub\\f.txt");
  EXPECT_TRUE(fs.RemoveFile("C:\\Tree"));
  EXPECT_FALSE(fs.Exists("C:\\Tree\\Sub\\f.txt"));
  EXPECT_FALSE(fs.RemoveFile("C:\\"));
}

TEST_F(MemoryFiles, ReadsCanFailPartWay) {
  fs.AddFile("C:\\B\\x.reg", "0123456789");
  fs.FailReadingAfter("c:\\b\\X.REG", 4);
  const auto reader = fs.OpenForReading("C:\\B\\x.reg");
  ASSERT_NE(reader, nullptr);
  char buffer[8];
  size_t read = 0;
  ASSERT_TRUE(reader->Read(buffer, sizeof buffer, read));
  EXPECT_EQ(std::string(buffer, read), "0123");
  EXPECT_FALSE(reader->Read(buffer, sizeof buffer, read));
  EXPECT_FALSE(reader->Read(buffer, sizeof buffer, read)) << "a failed read stays failed";
}

TEST_F(MemoryFiles, ListReportsSizeAndWriteTime) {
  const uint64_t time = MakeFileTime({2013, 3, 7, 14, 5, 9});
  fs.AddFile("C:\\B\\2013_03_07_140509.reg", "12345", time);
  std::vector<DirEntry> entries;
  ASSERT_EQ(fs.List("C:\\B\\*.reg", entries), platform::kSuccess);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].size, 5u);
  EXPECT_EQ(entries[0].writeTime, time);
}

TEST_F(MemoryFiles, SpecialFoldersAndShortcutsAreData) {
  EXPECT_FALSE(fs.SpecialFolder(kCsidlFonts).has_value());
  fs.SetSpecialFolder(kCsidlFonts, "C:\\Windows\\Fonts");
  EXPECT_EQ(fs.SpecialFolder(kCsidlFonts), "C:\\Windows\\Fonts");
  fs.AddShortcut("C:\\Menu\\App.lnk", "C:\\App\\app.exe");
  EXPECT_TRUE(fs.Exists("C:\\menu\\app.LNK"));
  EXPECT_EQ(fs.ShortcutTarget("C:\\MENU\\app.lnk"), "C:\\App\\app.exe");
  EXPECT_FALSE(fs.ShortcutTarget("C:\\Menu\\Other.lnk").has_value());
  ASSERT_TRUE(fs.RemoveFile("C:\\Menu\\App.lnk"));
  EXPECT_FALSE(fs.ShortcutTarget("C:\\Menu\\App.lnk").has_value());
}

TEST(MemorySystem, FormatsDatesAndFileTimes) {
  MemorySystem system;
  EXPECT_EQ(system.FormatDateTime({2013, 3, 7, 14, 5, 9}), "07/03/2013 14:05:09");
  EXPECT_EQ(MakeFileTime({1970, 1, 1, 0, 0, 0}), 116444736000000000ull);
  EXPECT_EQ(system.FormatFileTime(MakeFileTime({2013, 3, 7, 14, 5, 9})), "07/03/2013 14:05:09");
  EXPECT_EQ(system.FormatFileTime(MakeFileTime({2000, 2, 29, 0, 0, 0})), "29/02/2000");
  EXPECT_EQ(system.FormatFileTime(MakeFileTime({1999, 12, 31, 23, 59, 59}) + 9999999),
            "31/12/1999 23:59:59");
}

TEST(MemoryProcessLauncher, StartsFailsAndTerminates) {
  MemoryProcessLauncher launcher;
  std::vector<std::string> seen;
  launcher.onStart = [&](const std::string& commandLine) {
    seen.push_back(commandLine);
    return commandLine != "missing.exe";
  };
  EXPECT_EQ(launcher.StartHidden("missing.exe"), nullptr);
  auto quick = launcher.StartHidden("regedit /s \"a.reg\"");
  ASSERT_NE(quick, nullptr);
  EXPECT_TRUE(quick->WaitFor(0));
  launcher.keepRunning = true;
  auto slow = launcher.StartHidden("slow.exe");
  ASSERT_NE(slow, nullptr);
  EXPECT_FALSE(slow->WaitFor(1000));
  slow->Terminate();
  slow->Terminate();
  EXPECT_TRUE(slow->WaitFor(0));
  EXPECT_EQ(launcher.TerminatedCount(), 1u);
  EXPECT_EQ(launcher.started, (std::vector<std::string>{"missing.exe", "regedit /s \"a.reg\"", "slow.exe"}));
  EXPECT_EQ(seen, launcher.started);
}

class MemoryIni : public ::testing::Test {
 protected:
  MemoryFileSystem fs;
  MemoryIniFile ini{fs, "C:\\App\\Settings.dat"};
  void SetUp() override { fs.AddFolder("C:\\App"); }
};

TEST_F(MemoryIni, ReadsLikeGetPrivateProfileString) {
  fs.AddFile("C:\\App\\Settings.dat",
             "; comment=1\r\n[Other]\r\nKey=other\r\n[ settings ]\r\n  Key  =  spaced value \t\r\n"
             "Empty=\r\nQuoted=\"  q  \"\r\nHalf=\"h\r\nNoEquals\r\nkey=second\r\nLong=" +
                 std::string(3000, 'L') + "\n[Settings]\nLater=ignored\n");
  struct Case {
    const char* section;
    const char* key;
    std::string expected;
  };
  const Case cases[] = {
      {"Settings", "key", "spaced value"},
      {"SETTINGS", "KEY", "spaced value"},
      {"Other", "Key", "other"},
      {"Settings", "Empty", ""},
      {"Settings", "Quoted", "  q  "},
      {"Settings", "Half", "\"h"},
      {"Settings", "NoEquals", "default"},
      {"Settings", "Missing", "default"},
      {"Settings", "Later", "default"},  // only the first section of a name counts
      {"Nowhere", "Key", "default"},
      {"Settings", "Long", std::string(2047, 'L')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    EXPECT_EQ(ini.Read(c.section, c.key, "default"), c.expected);
  }
  EXPECT_EQ(ini.Read("Settings", "Missing", "trail  "), "trail");
}

TEST_F(MemoryIni, MissingFileGivesDefaults) {
  EXPECT_EQ(ini.Read("Settings", "OutputDirectory", "C:\\App\\Backup"), "C:\\App\\Backup");
  EXPECT_FALSE(fs.Exists("C:\\App\\Settings.dat"));
}

TEST_F(MemoryIni, WritesInPlaceAtSectionEndAndNewSectionsLast) {
  ASSERT_TRUE(ini.Write("Settings", "A", "1"));
  EXPECT_EQ(fs.Contents("C:\\App\\Settings.dat"), "[Settings]\r\nA=1\r\n");
  ASSERT_TRUE(ini.Write("IgnoreKey", "Count", "0"));
  ASSERT_TRUE(ini.Write("settings", "B", "2"));
  ASSERT_TRUE(ini.Write("SETTINGS", "a", "new"));
  EXPECT_EQ(fs.Contents("C:\\App\\Settings.dat"),
            "[Settings]\r\nA=new\r\nB=2\r\n[IgnoreKey]\r\nCount=0\r\n");

  fs.AddFile("C:\\App\\Settings.dat", "[S]\nx = 1\n\n; note\n\n[T]\ny=2");
  ASSERT_TRUE(ini.Write("S", "z", "3"));
  ASSERT_TRUE(ini.Write("S", "X", " 9 "));
  ASSERT_TRUE(ini.Write("U", "w", "4"));
  EXPECT_EQ(fs.Contents("C:\\App\\Settings.dat"),
            "[S]\r\nx= 9 \r\n\r\n; note\r\nz=3\r\n\r\n[T]\r\ny=2\r\n[U]\r\nw=4\r\n");
  EXPECT_EQ(ini.Read("S", "x", ""), "9");
}

TEST_F(MemoryIni, WriteFailsInDeniedOrMissingFolder) {
  ASSERT_TRUE(ini.Write("S", "k", "v"));
  fs.DenyWrites("C:\\App");
  EXPECT_FALSE(ini.Write("S", "k", "changed"));
  EXPECT_EQ(ini.Read("S", "k", ""), "v");
  MemoryIniFile nowhere(fs, "C:\\Missing\\Settings.dat");
  EXPECT_FALSE(nowhere.Write("S", "k", "v"));
  EXPECT_FALSE(fs.Exists("C:\\Missing"));
}

}  // namespace
}  // namespace tallowin::platform::memory
