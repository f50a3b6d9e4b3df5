#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "scan/file_probe_cache.h"

namespace tallowin {
namespace {

TEST(FileProbeCachePlain, OnlyLiteralNamesAreAnsweredFromAListing) {
  struct Case {
    const char* path;
    bool plainFile;
    bool plainFolder;  // with a trailing separator allowed
  };
  const std::vector<Case> cases = {
      {"C:\\Apps\\tool.exe", true, true},
      {"c:\\Program Files\\App\\app.exe", true, true},
      {"C:\\top.txt", true, true},
      {"C:\\Apps\\", false, true},
      {"C:\\", false, false},
      {"C:", false, false},
      {"C:\\Apps\\t*.exe", false, false},
      {"C:\\Apps\\t?ol.exe", false, false},
      {"C:\\Apps\\t<ol.exe", false, false},
      {"C:\\Apps\\t>ol.exe", false, false},
      {"C:\\Apps\\t\"ol.exe", false, false},
      {"C:\\A*s\\tool.exe", false, false},
      {"C:\\Apps\\tool.exe.", false, false},
      {"C:\\Apps\\tool.exe ", false, false},
      {"C:\\Apps\\ tool.exe", false, false},
      {"C:\\Apps.\\tool.exe", false, false},
      {"C:\\Apps\\TOOLNA~1.EXE", false, false},
      {"C:\\PROGRA~1\\tool.exe", false, false},
      {"C:\\Apps\\caf\xE9.exe", false, false},
      {"C:\\Apps\\t\tol.exe", false, false},
      {"C:\\Apps\\..\\Apps\\tool.exe", false, false},
      {"C:\\Apps\\.\\tool.exe", false, false},
      {"C:\\Apps\\..", false, false},
      {"C:\\Apps/tool.exe", false, false},
      {"C:/Apps/tool.exe", false, false},
      {"C:\\Apps\\\\tool.exe", false, false},
      {"C:\\Apps\\tool.exe:stream", false, false},
      {"C:\\Apps\\nul", false, false},
      {"C:\\Apps\\CON.txt", false, false},
      {"C:\\Apps\\com1", false, false},
      {"C:\\Apps\\lpt9.log", false, false},
      {"C:\\Apps\\console.txt", true, true},
      {"C:\\Apps\\.hidden", false, false},
      {"C:Apps\\tool.exe", false, false},
      {"\\\\server\\share\\tool.exe", false, false},
      {"Apps\\tool.exe", false, false},
      {"1:\\Apps\\tool.exe", false, false},
      {"C:\\Apps\\tool|x.exe", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    FileProbeCache::PlainPath plain;
    EXPECT_EQ(FileProbeCache::SplitPlain(c.path, false, plain), c.plainFile);
    EXPECT_EQ(FileProbeCache::SplitPlain(c.path, true, plain), c.plainFolder);
  }
  FileProbeCache::PlainPath plain;
  ASSERT_TRUE(FileProbeCache::SplitPlain("C:\\Program Files\\App\\", true, plain));
  EXPECT_EQ(plain.folder, "C:\\Program Files");
  EXPECT_EQ(plain.name, "App");
  ASSERT_TRUE(FileProbeCache::SplitPlain("C:\\top.txt", false, plain));
  EXPECT_EQ(plain.folder, "C:");
  EXPECT_EQ(plain.name, "top.txt");
  EXPECT_FALSE(FileProbeCache::SplitPlain("C:\\" + std::string(240, 'a'), false, plain));
}

// Counts listings, as ProbeCount counts single queries.
class ListCountingFileSystem : public platform::memory::MemoryFileSystem {
 public:
  long List(std::string_view pattern, std::vector<platform::DirEntry>& entries) override {
    ++lists;
    return MemoryFileSystem::List(pattern, entries);
  }
  size_t lists = 0;
};

class FileProbeCacheTest : public ::testing::Test {
 protected:
  FileProbeCacheTest() {
    files.AddFile("C:\\Apps\\tool.exe");
    files.AddFile("C:\\Apps\\Readme.TXT");
    files.AddFile("C:\\Apps\\run.bat");
    files.AddFolder("C:\\Apps\\bin");
    files.AddFolder("C:\\Apps\\tool");
    files.AddFile("C:\\Apps\\bin\\x.dll");
    files.AddFile("C:\\top.txt");
    files.AddFile("C:\\Intl\\caf\xE9.exe");
    files.AddFile("C:\\Intl\\plain.exe");
    files.AddFolder("C:\\Empty");
  }
  ListCountingFileSystem files;
};

// Every answer equals the direct query, whatever was asked before it.
TEST_F(FileProbeCacheTest, AnswersEqualDirectQueries) {
  const std::vector<std::string> paths = {
      "C:\\Apps\\missing.exe", "C:\\Apps\\tool.exe", "C:\\Apps\\TOOL.EXE", "C:\\Apps\\tool",
      "C:\\Apps\\tool.exe.exe", "C:\\Apps\\readme.txt", "C:\\Apps\\run", "C:\\Apps\\run.bat",
      "C:\\Apps\\run.bat.", "C:\\Apps\\run.bat  ", "C:\\Apps\\r*.bat", "C:\\Apps\\r?n.bat",
      "C:\\Apps\\*", "C:\\Apps\\bin", "C:\\Apps\\bin\\", "C:\\Apps\\BIN\\x.dll",
      "C:\\Apps\\bin\\..\\tool.exe", "C:\\Apps\\.\\run.bat", "C:\\Apps/tool.exe",
      "C:/Apps/bin/x.dll", "C:\\Apps\\TOOL~1.EXE", "C:\\Apps\\nothing\\x.dll",
      "C:\\Apps\\nothing\\", "C:\\Apps\\tool.exe\\x", "C:\\Nowhere\\a.exe", "C:\\Nowhere\\a",
      "C:\\Nowhere\\deeper\\a.exe", "C:\\top.txt", "C:\\TOP.TXT", "C:\\bottom.txt",
      "C:\\Intl\\caf\xE9.exe", "C:\\Intl\\CAF\xC9.exe", "C:\\Intl\\cafe.exe",
      "C:\\Intl\\plain.exe", "C:\\Intl\\other.exe", "C:\\Empty\\a.exe", "C:\\Empty",
      "C:\\Empty\\", "C:\\", "D:\\Apps\\tool.exe", "C:\\Apps\\nul", "C:\\Apps\\tool.exe:s",
      "C:\\Apps\\tool.exe ", "C:\\Apps\\tool. ", "C:\\Apps\\bin.", "C:\\Apps\\bin.\\",
      "C:\\Apps\\run.bat\\", "C:\\Apps\\gone.", "C:\\Nowhere\\a.", "C:\\Apps\\nul.",
  };
  // Forwards, backwards, and each path right after a missing name in its folder.
  std::vector<std::vector<std::string>> orders = {paths, {paths.rbegin(), paths.rend()}, {}};
  for (const std::string& p : paths) {
    orders[2].push_back(p.substr(0, p.rfind('\\') + 1) + "zz-missing.exe");
    orders[2].push_back(p);
  }
  for (size_t o = 0; o < orders.size(); ++o) {
    FileProbeCache cache(files);
    for (const std::string& path : orders[o]) {
      SCOPED_TRACE("order " + std::to_string(o) + ": " + path);
      EXPECT_EQ(cache.FileExists(path), platform::FileExists(files, path));
      EXPECT_EQ(cache.FolderExists(path), platform::FolderExists(files, path));
      EXPECT_EQ(cache.FileExists(path), platform::FileExists(files, path));  // remembered
    }
  }
}

TEST_F(FileProbeCacheTest, AFileFolderIsListedOnceAndAnswersEveryPlainName) {
  FileProbeCache cache(files);
  EXPECT_TRUE(cache.FileExists("C:\\Apps\\tool.exe"));
  EXPECT_EQ(files.lists, 1u);
  for (const char* name : {"gone", "gone.exe", "gone.com", "GONE2", "tool.ex"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(cache.FileExists(std::string("C:\\Apps\\") + name));
  }
  EXPECT_TRUE(cache.FileExists("C:\\Apps\\README.txt"));
  EXPECT_FALSE(cache.FileExists("C:\\Apps\\bin"));  // a folder is no file
  EXPECT_TRUE(cache.FolderExists("C:\\Apps\\bin"));
  EXPECT_TRUE(cache.FolderExists("C:\\Apps\\bin\\"));
  EXPECT_FALSE(cache.FolderExists("C:\\Apps\\gone\\"));
  EXPECT_FALSE(cache.FolderExists("C:\\Apps\\run.bat"));  // a file is no folder
  // Trailing dots and spaces: no spelling of the name with or without them is listed.
  EXPECT_FALSE(cache.FileExists("C:\\Apps\\gone "));
  EXPECT_FALSE(cache.FileExists("C:\\Apps\\gone. ."));
  EXPECT_FALSE(cache.FolderExists("C:\\Apps\\gone.\\"));
  // A search for a folder followed by a separator finds no file.
  EXPECT_FALSE(cache.FileExists("C:\\Apps\\bin\\"));
  EXPECT_FALSE(cache.FileExists("C:\\Apps\\gone\\"));
  EXPECT_EQ(files.ProbeCount(), 0u);
  EXPECT_EQ(files.lists, 1u);
  // Anything else is asked: a name with trailing dots or spaces that may reach a listed
  // one, wildcards, a separator after a file's name.
  EXPECT_TRUE(cache.FileExists("C:\\Apps\\run.bat."));
  EXPECT_TRUE(cache.FileExists("C:\\Apps\\run.bat "));
  EXPECT_TRUE(cache.FolderExists("C:\\Apps\\bin."));
  EXPECT_TRUE(cache.FileExists("C:\\Apps\\t*.exe"));
  EXPECT_FALSE(cache.FileExists("C:\\Apps\\run.bat\\"));
  EXPECT_EQ(files.ProbeCount(), 5u);
}

// A folder's own folder is listed only once a name in it is found missing.
TEST_F(FileProbeCacheTest, AFolderIsAskedForUntilANameBesideItIsMissing) {
  FileProbeCache cache(files);
  EXPECT_TRUE(cache.FolderExists("C:\\Apps\\bin\\"));
  EXPECT_EQ(files.ProbeCount(), 1u);
  EXPECT_EQ(files.lists, 0u);
  EXPECT_FALSE(cache.FolderExists("C:\\Apps\\lib\\"));
  EXPECT_EQ(files.ProbeCount(), 2u);
  EXPECT_EQ(files.lists, 1u);
  EXPECT_FALSE(cache.FolderExists("C:\\Apps\\data\\"));
  EXPECT_TRUE(cache.FolderExists("C:\\Apps\\tool"));
  EXPECT_EQ(files.ProbeCount(), 2u);
}

// A drive not ready, a network name gone: the listing says nothing about the names.
TEST_F(FileProbeCacheTest, AListingThatFailsOtherwiseLeavesEveryNameToItsOwnQuery) {
  files.FailListing("C:\\Apps", platform::kNotReady);
  FileProbeCache cache(files);
  EXPECT_FALSE(cache.FileExists("C:\\Apps\\gone.exe"));
  EXPECT_TRUE(cache.FileExists("C:\\Apps\\tool.exe"));
  EXPECT_FALSE(cache.FileExists("C:\\Apps\\gone.exe."));
  EXPECT_FALSE(cache.FileExists("C:\\Apps\\bin\\"));
  EXPECT_TRUE(cache.FolderExists("C:\\Apps\\bin"));
  EXPECT_EQ(files.ProbeCount(), 5u);
}

// A case-sensitive disk under Wine can hold a file and a folder whose names differ in case
// only; which one a query reaches is the file system's choice.
class CaseVariantFileSystem : public ListCountingFileSystem {
 public:
  long List(std::string_view pattern, std::vector<platform::DirEntry>& entries) override {
    const long rc = ListCountingFileSystem::List(pattern, entries);
    if (rc == platform::kSuccess && pattern == "C:\\Apps\\*")
      entries.push_back({"TOOL.EXE", platform::kAttrDirectory, 0, 0});
    return rc;
  }
};

TEST(FileProbeCacheCase, NamesListedTwiceInDifferentCaseAreAsked) {
  CaseVariantFileSystem files;
  files.AddFile("C:\\Apps\\tool.exe");
  FileProbeCache cache(files);
  EXPECT_FALSE(cache.FileExists("C:\\Apps\\gone"));
  EXPECT_TRUE(cache.FileExists("C:\\Apps\\Tool.exe"));
  EXPECT_FALSE(cache.FolderExists("C:\\Apps\\tool.EXE"));
  EXPECT_EQ(files.lists, 1u);
  EXPECT_EQ(files.ProbeCount(), 2u);
}

TEST_F(FileProbeCacheTest, NamesInAFolderThatCannotBeSearchedAreMissing) {
  FileProbeCache cache(files);
  EXPECT_FALSE(cache.FileExists("C:\\Nowhere\\a"));
  EXPECT_FALSE(cache.FileExists("C:\\Nowhere\\a.exe"));
  EXPECT_FALSE(cache.FileExists("C:\\Nowhere\\b.bat"));
  EXPECT_EQ(files.ProbeCount(), 0u);
  EXPECT_EQ(files.lists, 1u);
  // Another spelling of the folder is listed again: on a case-sensitive disk under Wine
  // it may be another folder.
  EXPECT_FALSE(cache.FileExists("C:\\NOWHERE\\c.bat"));
  EXPECT_EQ(files.lists, 2u);
  // Folders are still asked there: their attributes can be read where a search is denied.
  EXPECT_FALSE(cache.FolderExists("C:\\Nowhere\\a\\"));
  EXPECT_EQ(files.ProbeCount(), 1u);
}

// A folder that may not be searched hides whether a name is in it: such a name is
// Unknown, never Absent, whether it is asked from the listing or on its own.
TEST_F(FileProbeCacheTest, NamesTheSystemWillNotShowAreUnknown) {
  using platform::Presence;
  files.AddFile("C:\\Locked\\in.exe");
  files.AddFolder("C:\\Locked\\Sub");
  files.AddFile("C:\\Store\\Pkg\\app.exe");
  files.DenyAccess("C:\\Locked");
  files.DenyAccess("C:\\Store", true);
  struct Case {
    const char* path;
    Presence file;
    Presence folder;
  };
  const Case cases[] = {
      {"C:\\Locked\\in.exe", Presence::Unknown, Presence::Unknown},
      {"C:\\Locked\\gone.exe", Presence::Unknown, Presence::Unknown},
      {"C:\\Locked\\gone.exe.", Presence::Unknown, Presence::Unknown},
      {"C:\\Locked\\Sub", Presence::Unknown, Presence::Unknown},
      {"C:\\Locked\\Sub\\x.exe", Presence::Unknown, Presence::Unknown},
      {"C:\\Locked\\TOOL~1.EXE", Presence::Unknown, Presence::Unknown},
      {"C:\\Locked", Presence::Absent, Presence::Present},
      {"C:\\Store\\Pkg", Presence::Unknown, Presence::Present},
      {"C:\\Store\\Gone", Presence::Unknown, Presence::Absent},
      {"C:\\Store\\Pkg\\app.exe", Presence::Present, Presence::Absent},
      {"C:\\Store\\Pkg\\gone.exe", Presence::Absent, Presence::Absent},
      {"C:\\Apps\\gone.exe", Presence::Absent, Presence::Absent},
  };
  for (const bool foldersFirst : {false, true}) {
    FileProbeCache cache(files);
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.path) + (foldersFirst ? ", folders first" : ""));
      if (foldersFirst) {
        EXPECT_EQ(cache.FolderPresence(c.path), c.folder);
      }
      EXPECT_EQ(cache.FilePresence(c.path), c.file);
      EXPECT_EQ(cache.FolderPresence(c.path), c.folder);
      EXPECT_EQ(cache.FilePresence(c.path), platform::FilePresence(files, c.path));
    }
  }
}

TEST_F(FileProbeCacheTest, AFolderWithNamesTheListingMayMisspellIsNotUsed) {
  FileProbeCache cache(files);
  EXPECT_FALSE(cache.FileExists("C:\\Intl\\other.exe"));
  EXPECT_FALSE(cache.FileExists("C:\\Intl\\cafe.exe"));
  EXPECT_TRUE(cache.FileExists("C:\\Intl\\plain.exe"));
  EXPECT_EQ(files.ProbeCount(), 3u);
  EXPECT_EQ(files.lists, 1u);
}

constexpr uint64_t kMinute = 60 * 10000000ULL;  // in FILETIME units

// A folder time can vouch for a listing only when it was set a while before the listing
// (a name made within the same tick of the clock keeps it) and only on a volume that
// changes it with every name made or removed in the folder.
TEST_F(FileProbeCacheTest, OnlyListingsTheirFolderTimeVouchesForAreHandedOn) {
  files.AddFile("D:\\Data\\a.txt");
  files.SetStampsFolderChanges('D', false);
  files.MountVolume("C:\\Mnt\\Fat", false);
  files.AddFolder("C:\\Mnt\\Fat\\Data");
  files.MakeJunction("C:\\Steam");  // its time is the link's, not the target folder's
  auto kept = std::make_shared<KeptListings>();
  FileProbeCache scan(files);
  scan.KeepListingsIn(kept);
  EXPECT_FALSE(scan.FileExists("C:\\Apps\\gone.exe"));  // changed at this tick
  files.fileClock += kMinute;
  EXPECT_FALSE(scan.FileExists("D:\\Data\\gone.txt"));
  EXPECT_FALSE(scan.FileExists("C:\\Apps\\bin\\gone.dll"));
  EXPECT_FALSE(scan.FileExists("C:\\Mnt\\Fat\\Data\\gone.txt"));
  EXPECT_FALSE(scan.FileExists("C:\\Steam\\gone.exe"));
  scan.HandOverListings();
  EXPECT_EQ(kept->Count(), 1u);  // C:\Apps\bin alone
}

TEST(FileProbeCacheLimits, AHugeFolderIsNotListed) {
  platform::memory::MemoryFileSystem files;
  for (size_t i = 0; i <= FileProbeCache::kMaxFolderEntries; ++i)
    files.AddFile("C:\\Huge\\f" + std::to_string(i) + ".dat");
  FileProbeCache cache(files);
  EXPECT_FALSE(cache.FileExists("C:\\Huge\\none"));
  EXPECT_FALSE(cache.FileExists("C:\\Huge\\none.exe"));
  EXPECT_TRUE(cache.FileExists("C:\\Huge\\f20000.dat"));
  EXPECT_EQ(files.ProbeCount(), 3u);
}

}  // namespace
}  // namespace tallowin
