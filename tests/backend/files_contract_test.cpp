// What the scan, the backup writer and the restore manager rely on from any file system.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/text.h"
#include "tests/backend/contract_test_support.h"

namespace tallowin::testing_support {
namespace {

using platform::DirEntry;
using platform::FindEntry;
using platform::kAttrDirectory;

class FilesContract : public BackendContractTest {
 protected:
  void SetUp() override {
    BackendContractTest::SetUp();
    folder_ = backend_->SandboxFolder();
    ASSERT_FALSE(folder_.empty());
  }

  std::string Path(const std::string& name) const { return folder_ + "\\" + name; }

  void MakeFile(const std::string& name, const std::string& contents = "data") {
    ASSERT_TRUE(files().AppendToFile(Path(name), "", contents)) << name;
  }

  std::string Contents(const std::string& name) {
    std::string contents;
    EXPECT_TRUE(files().ReadFile(Path(name), contents)) << name;
    return contents;
  }

  std::string folder_;
};

TEST_F(FilesContract, FindFirst_MatchesNamesInAnyCaseAndWildcards) {
  MakeFile("Report.TXT");
  struct Case {
    const char* pattern;
    bool found;
  };
  const Case cases[] = {
      {"Report.TXT", true},  {"report.txt", true},  {"REPORT.txt", true}, {"*.txt", true},
      {"Rep?rt.txt", true},  {"R*", true},          {"*port*", true},     {"Report.TX", false},
      {"R?port.doc", false}, {"Rep?rt.txtx", false}, {"*.none", false},   {"Other.txt", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    FindEntry entry;
    ASSERT_EQ(files().FindFirst(Path(c.pattern), entry), c.found);
    if (c.found) {
      EXPECT_EQ(entry.name, "Report.TXT");  // the name as stored, without its folder
      EXPECT_EQ(entry.attributes & kAttrDirectory, 0u);
    }
  }
}

TEST_F(FilesContract, FindFirst_TellsDirectoriesFromFiles) {
  ASSERT_TRUE(files().CreateDirectories(Path("Sub")));
  MakeFile("Plain");
  FindEntry entry;
  ASSERT_TRUE(files().FindFirst(Path("sub"), entry));
  EXPECT_EQ(entry.name, "Sub");
  EXPECT_NE(entry.attributes & kAttrDirectory, 0u);

  EXPECT_FALSE(platform::FileExists(files(), Path("Sub")));
  EXPECT_TRUE(platform::FolderExists(files(), Path("Sub")));
  EXPECT_TRUE(platform::FileExists(files(), Path("Plain")));
  EXPECT_FALSE(platform::FolderExists(files(), Path("Plain")));
  EXPECT_FALSE(platform::FileExists(files(), Path("Missing")));
  EXPECT_FALSE(platform::FolderExists(files(), Path("Missing")));
}

// A search of a whole folder first reports the folder's own "." entry, so a registry
// path such as "C:\App\*" does not count as an existing file.
TEST_F(FilesContract, FindFirst_WholeFolderPatternFirstFindsTheDotEntry) {
  MakeFile("a.txt");
  for (const char* pattern : {"*", "*.*"}) {
    SCOPED_TRACE(pattern);
    FindEntry entry;
    ASSERT_TRUE(files().FindFirst(Path(pattern), entry));
    EXPECT_EQ(entry.name, ".");
    EXPECT_NE(entry.attributes & kAttrDirectory, 0u);
    EXPECT_FALSE(platform::FileExists(files(), Path(pattern)));
  }
  EXPECT_TRUE(platform::FileExists(files(), Path("a*")));
}

TEST_F(FilesContract, FindFirst_InMissingFolderFindsNothing) {
  FindEntry entry;
  EXPECT_FALSE(files().FindFirst(Path("NoFolder\\*"), entry));
  EXPECT_FALSE(files().FindFirst(Path("NoFolder\\file.txt"), entry));
}

TEST_F(FilesContract, Attributes_FileFolderAndMissing) {
  MakeFile("file.dat");
  ASSERT_TRUE(files().CreateDirectories(Path("dir")));
  const auto file = files().Attributes(Path("FILE.DAT"));
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(*file & kAttrDirectory, 0u);
  const auto dir = files().Attributes(Path("dir"));
  ASSERT_TRUE(dir.has_value());
  EXPECT_NE(*dir & kAttrDirectory, 0u);
  EXPECT_FALSE(files().Attributes(Path("nothing")).has_value());
  EXPECT_FALSE(files().Attributes(Path("nothing\\deeper")).has_value());
}

TEST_F(FilesContract, DriveC_IsFixedAndReady) {
  EXPECT_EQ(files().DriveType("C:\\"), platform::kDriveFixed);
  EXPECT_EQ(files().DriveType("c:\\"), platform::kDriveFixed);
  EXPECT_TRUE(files().VolumeReady("C:\\"));
}

TEST_F(FilesContract, ExpandEnvironment_SetUnsetAndTooSmall) {
  backend_->SetEnvironment("TALLOWIN_CONTRACT_DIR", "C:\\Some Folder");
  struct Case {
    const char* text;
    size_t capacity;
    bool ok;
    const char* expanded;
  };
  const Case cases[] = {
      {"%TALLOWIN_CONTRACT_DIR%\\app.exe", 1024, true, "C:\\Some Folder\\app.exe"},
      {"%tallowin_contract_dir%\\x", 1024, true, "C:\\Some Folder\\x"},
      {"a%TALLOWIN_CONTRACT_DIR%b%TALLOWIN_CONTRACT_DIR%", 1024, true,
       "aC:\\Some Folderb" "C:\\Some Folder"},
      {"%TALLOWIN_NOT_SET_ANYWHERE%\\y", 1024, true, "%TALLOWIN_NOT_SET_ANYWHERE%\\y"},
      {"100% plain", 1024, true, "100% plain"},
      {"plain text", 1024, true, "plain text"},
      {"", 1024, true, ""},
      {"%TALLOWIN_CONTRACT_DIR%\\app.exe", 5, false, nullptr},
      {"plain text that is long", 8, false, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string expanded = "unchanged";
    ASSERT_EQ(files().ExpandEnvironment(c.text, c.capacity, expanded), c.ok);
    if (c.ok) {
      EXPECT_EQ(expanded, c.expanded);
    }
  }
}

TEST_F(FilesContract, AppendToFile_HeaderOnlyWhenCreated) {
  ASSERT_TRUE(files().AppendToFile(Path("backup.reg"), "REGEDIT4\r\n", "first\r\n"));
  ASSERT_TRUE(files().AppendToFile(Path("backup.reg"), "REGEDIT4\r\n", "second\r\n"));
  ASSERT_TRUE(files().AppendToFile(Path("BACKUP.REG"), "ignored", ""));
  EXPECT_EQ(Contents("backup.reg"), "REGEDIT4\r\nfirst\r\nsecond\r\n");
}

TEST_F(FilesContract, AppendToFile_KeepsEveryByte) {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  const std::string big(200000, 'z');
  ASSERT_TRUE(files().AppendToFile(Path("bin"), bytes, big));
  EXPECT_EQ(Contents("bin"), bytes + big);
}

TEST_F(FilesContract, AppendToFile_FailsInMissingFolderAndCreatesNothing) {
  EXPECT_FALSE(files().AppendToFile(Path("NoSuchFolder\\file.reg"), "REGEDIT4\r\n", "x"));
  EXPECT_FALSE(files().Attributes(Path("NoSuchFolder")).has_value());
}

TEST_F(FilesContract, AppendToFile_FailsOnAFolder) {
  ASSERT_TRUE(files().CreateDirectories(Path("IsAFolder")));
  EXPECT_FALSE(files().AppendToFile(Path("IsAFolder"), "h", "t"));
}

TEST_F(FilesContract, ReadFile_MissingFails) {
  std::string contents = "keep";
  EXPECT_FALSE(files().ReadFile(Path("absent.txt"), contents));
  EXPECT_EQ(contents, "keep");
}

// The whole file, through reads of `chunk` bytes; "<error>" when a read fails.
std::string ReadInChunks(platform::FileReader& reader, size_t chunk) {
  std::string contents;
  std::vector<char> buffer(chunk);
  for (;;) {
    size_t read = 0;
    if (!reader.Read(buffer.data(), buffer.size(), read)) return "<error>";
    if (read == 0) return contents;
    if (read > chunk) return "<read more than asked>";
    contents.append(buffer.data(), read);
  }
}

TEST_F(FilesContract, OpenForReading_ReadsEveryByteInChunksOfAnySize) {
  std::string bytes;
  for (int i = 0; i < 200000; ++i) bytes.push_back(static_cast<char>((i * 7) & 0xFF));
  MakeFile("big.reg", bytes);
  for (size_t chunk : {size_t{1}, size_t{7}, size_t{4096}, size_t{65536}, size_t{1} << 20}) {
    SCOPED_TRACE(chunk);
    if (chunk == 1) {
      // Byte by byte over a prefix only: a Wine read call per byte is slow.
      MakeFile("small.reg", bytes.substr(0, 3000));
      const auto small = files().OpenForReading(Path("SMALL.REG"));
      ASSERT_NE(small, nullptr);
      EXPECT_EQ(ReadInChunks(*small, chunk), bytes.substr(0, 3000));
      continue;
    }
    const auto reader = files().OpenForReading(Path("big.reg"));
    ASSERT_NE(reader, nullptr);
    EXPECT_EQ(ReadInChunks(*reader, chunk), bytes);
    size_t read = 1;
    char byte = 0;
    ASSERT_TRUE(reader->Read(&byte, 1, read));
    EXPECT_EQ(read, 0u) << "past the end";
  }
  MakeFile("empty.reg", "");
  const auto empty = files().OpenForReading(Path("empty.reg"));
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(ReadInChunks(*empty, 16), "");
}

TEST_F(FilesContract, OpenForReading_MissingFileOrAFolderGivesNoReader) {
  ASSERT_TRUE(files().CreateDirectories(Path("IsAFolder")));
  EXPECT_EQ(files().OpenForReading(Path("absent.reg")), nullptr);
  EXPECT_EQ(files().OpenForReading(Path("Missing\\absent.reg")), nullptr);
  EXPECT_EQ(files().OpenForReading(Path("IsAFolder")), nullptr);
}

// What a restore has checked stays what it imports: while a reader is open the file
// can be read by others, but not written or deleted.
TEST_F(FilesContract, OpenForReading_KeepsWritersOutWhileOpen) {
  MakeFile("held.reg", "REGEDIT4\r\n");
  {
    const auto reader = files().OpenForReading(Path("held.reg"));
    ASSERT_NE(reader, nullptr);
    const auto second = files().OpenForReading(Path("held.reg"));
    EXPECT_NE(second, nullptr) << "another reader";
    EXPECT_FALSE(files().AppendToFile(Path("held.reg"), "", "changed"));
    EXPECT_FALSE(files().RemoveFile(Path("held.reg")));
    EXPECT_EQ(files().RemoveFileWithReason(Path("held.reg")), platform::kSharingViolation);
    std::string contents;
    ASSERT_TRUE(files().ReadFile(Path("held.reg"), contents));
    EXPECT_EQ(contents, "REGEDIT4\r\n");
  }
  EXPECT_TRUE(files().AppendToFile(Path("held.reg"), "", "changed"));
  EXPECT_TRUE(files().RemoveFile(Path("held.reg")));
}

TEST_F(FilesContract, FullPath_ResolvesDotsAndSeparatorsAsTheSystemDoes) {
  ASSERT_TRUE(files().CreateDirectories(Path("Backup")));
  MakeFile("Backup\\2013_03_07_140509.reg");
  const struct {
    std::string given;
    std::string full;
  } cases[] = {
      {Path("Backup\\2013_03_07_140509.reg"), Path("Backup\\2013_03_07_140509.reg")},
      {Path("Other\\..\\Backup\\.\\2013_03_07_140509.reg"), Path("Backup\\2013_03_07_140509.reg")},
      {folder_ + "/Backup//2013_03_07_140509.reg", Path("Backup\\2013_03_07_140509.reg")},
      {Path("Backup\\missing.reg"), Path("Backup\\missing.reg")},
      {Path("Backup\\trailing.reg. "), Path("Backup\\trailing.reg")},
      {Path("Backup\\"), Path("Backup\\")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.given);
    const std::optional<std::string> full = files().FullPath(c.given);
    ASSERT_TRUE(full.has_value());
    EXPECT_TRUE(EqualsNoCase(*full, c.full)) << *full;
  }
}

TEST_F(FilesContract, List_EntriesOfAPatternWithoutDotEntries) {
  MakeFile("a.reg", "12345");
  MakeFile("B.REG", "");
  MakeFile("c.txt");
  ASSERT_TRUE(files().CreateDirectories(Path("d.reg")));

  std::vector<DirEntry> entries;
  ASSERT_EQ(files().List(Path("*.reg"), entries), platform::kSuccess);
  std::sort(entries.begin(), entries.end(),
            [](const DirEntry& x, const DirEntry& y) { return x.name < y.name; });
  ASSERT_EQ(entries.size(), 3u);
  EXPECT_EQ(entries[0].name, "B.REG");
  EXPECT_EQ(entries[0].size, 0u);
  EXPECT_EQ(entries[1].name, "a.reg");
  EXPECT_EQ(entries[1].size, 5u);
  EXPECT_EQ(entries[1].attributes & kAttrDirectory, 0u);
  EXPECT_EQ(entries[2].name, "d.reg");
  EXPECT_NE(entries[2].attributes & kAttrDirectory, 0u);

  ASSERT_EQ(files().List(Path("*"), entries), platform::kSuccess);
  std::vector<std::string> names;
  for (const DirEntry& e : entries) names.push_back(e.name);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"B.REG", "a.reg", "c.txt", "d.reg"}));
}

TEST_F(FilesContract, List_NoMatchIsEmptyMissingFolderFails) {
  MakeFile("only.txt");
  std::vector<DirEntry> entries(2);
  ASSERT_EQ(files().List(Path("*.reg"), entries), platform::kSuccess);
  EXPECT_TRUE(entries.empty());
  EXPECT_EQ(files().List(Path("Missing\\*.reg"), entries), platform::kPathNotFound);
}

TEST_F(FilesContract, RemoveFile_RemovesOneNamedFile) {
  MakeFile("gone.reg");
  MakeFile("kept.reg");
  EXPECT_TRUE(files().RemoveFile(Path("GONE.reg")));
  EXPECT_FALSE(files().Attributes(Path("gone.reg")).has_value());
  EXPECT_TRUE(files().Attributes(Path("kept.reg")).has_value());
  // Gone is what the system calls not found, of the file or of its folder.
  EXPECT_EQ(platform::CheckGone(files(), Path("gone.reg")), platform::kSuccess);
  EXPECT_EQ(platform::CheckGone(files(), Path("Missing\\x.reg")), platform::kSuccess);
  EXPECT_EQ(platform::CheckGone(files(), Path("kept.reg")), platform::kFileExists);
  EXPECT_FALSE(files().RemoveFile(Path("gone.reg")));
  EXPECT_FALSE(files().RemoveFile(Path("Missing\\x.reg")));
}

TEST_F(FilesContract, RemoveFile_NeverExpandsWildcards) {
  MakeFile("one.reg");
  MakeFile("two.reg");
  EXPECT_FALSE(files().RemoveFile(Path("*.reg")));
  EXPECT_FALSE(files().RemoveFile(Path("on?.reg")));
  EXPECT_TRUE(files().Attributes(Path("one.reg")).has_value());
  EXPECT_TRUE(files().Attributes(Path("two.reg")).has_value());
}

// Drive C: has a Recycle Bin on both machines (under Wine it is the XDG trash).
TEST_F(FilesContract, RecycleFile_MovesOneNamedFileOutOfItsPlace) {
  MakeFile("old.lnk");
  MakeFile("kept.lnk");
  EXPECT_EQ(files().RecycleFile(Path("OLD.lnk")), platform::RecycleResult::Recycled);
  EXPECT_FALSE(files().Attributes(Path("old.lnk")).has_value());
  EXPECT_EQ(files().RecycleFile(Path("*.lnk")), platform::RecycleResult::Failed);
  EXPECT_EQ(files().RecycleFile(Path("gone.lnk")), platform::RecycleResult::Failed);
  EXPECT_TRUE(files().Attributes(Path("kept.lnk")).has_value());
}

TEST_F(FilesContract, CreateDirectories_NestedIdempotentAndBlockedByFile) {
  ASSERT_TRUE(files().CreateDirectories(Path("a\\b\\c")));
  EXPECT_TRUE(platform::FolderExists(files(), Path("a")));
  EXPECT_TRUE(platform::FolderExists(files(), Path("a\\b\\c")));
  EXPECT_TRUE(files().CreateDirectories(Path("a\\b\\c")));
  EXPECT_TRUE(files().CreateDirectories(Path("A\\B")));
  EXPECT_TRUE(files().CreateDirectories(Path("x\\y\\")));
  EXPECT_TRUE(platform::FolderExists(files(), Path("x\\y")));

  MakeFile("blocker");
  EXPECT_FALSE(files().CreateDirectories(Path("blocker")));
  EXPECT_FALSE(files().CreateDirectories(Path("blocker\\sub")));
  EXPECT_FALSE(platform::FolderExists(files(), Path("blocker\\sub")));
}

TEST_F(FilesContract, CreateNewFile_NeverOpensAnExistingFile) {
  std::unique_ptr<platform::WritableFile> file;
  ASSERT_EQ(files().CreateNewFile(Path("new.reg"), file), platform::kSuccess);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(file->Append("REGEDIT4\r\n"));
  EXPECT_TRUE(file->Flush());
  EXPECT_EQ(file->Size(), 10u);
  std::unique_ptr<platform::WritableFile> second;
  EXPECT_EQ(files().CreateNewFile(Path("NEW.reg"), second), platform::kFileExists);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(files().CreateNewFile(Path("Missing\\x.reg"), second), platform::kSuccess);
  file.reset();
  std::string contents;
  ASSERT_TRUE(files().ReadFile(Path("new.reg"), contents));
  EXPECT_EQ(contents, "REGEDIT4\r\n");
}

TEST_F(FilesContract, WritableFile_TruncateCutsBackAndAppendGoesOnAtTheEnd) {
  std::unique_ptr<platform::WritableFile> file;
  ASSERT_EQ(files().CreateNewFile(Path("cut.reg"), file), platform::kSuccess);
  ASSERT_TRUE(file->Append("whole\r\n"));
  ASSERT_TRUE(file->Append("half a blo"));
  ASSERT_TRUE(file->Truncate(7));
  ASSERT_TRUE(file->Append("next\r\n"));
  ASSERT_TRUE(file->Flush());
  EXPECT_EQ(file->Size(), 13u);
  file.reset();
  ASSERT_EQ(files().OpenForAppend(Path("cut.reg"), file), platform::kSuccess);
  EXPECT_EQ(file->Size(), 13u);
  // Overwrite changes bytes the file holds, never its size.
  ASSERT_TRUE(file->Overwrite(8, "EX"));
  EXPECT_FALSE(file->Overwrite(12, "xy"));
  ASSERT_TRUE(file->Append("last\r\n"));
  file.reset();
  std::string contents;
  ASSERT_TRUE(files().ReadFile(Path("cut.reg"), contents));
  EXPECT_EQ(contents, "whole\r\nnEXt\r\nlast\r\n");
  EXPECT_NE(files().OpenForAppend(Path("none.reg"), file), platform::kSuccess);
}

TEST_F(FilesContract, ReplaceFile_PutsOneFileInTheOthersPlace) {
  std::unique_ptr<platform::WritableFile> file;
  ASSERT_EQ(files().CreateNewFile(Path("old.reg"), file), platform::kSuccess);
  ASSERT_TRUE(file->Append("old"));
  file.reset();
  ASSERT_EQ(files().CreateNewFile(Path("old.reg.tmp"), file), platform::kSuccess);
  ASSERT_TRUE(file->Append("new"));
  file.reset();
  ASSERT_TRUE(files().ReplaceFile(Path("old.reg.tmp"), Path("old.reg")));
  std::string contents;
  ASSERT_TRUE(files().ReadFile(Path("old.reg"), contents));
  EXPECT_EQ(contents, "new");
  EXPECT_FALSE(platform::FileExists(files(), Path("old.reg.tmp")));
}

TEST_F(FilesContract, NamesOfAnyScriptAreFilesLikeAnyOther) {
  const std::string name = Path("\xCE\xA9mega \xE6\x97\xA5\xE6\x9C\xAC.reg");
  std::unique_ptr<platform::WritableFile> file;
  ASSERT_EQ(files().CreateNewFile(name, file), platform::kSuccess);
  file.reset();
  EXPECT_TRUE(platform::FileExists(files(), name));
  std::vector<DirEntry> entries;
  ASSERT_EQ(files().List(Path("*.reg"), entries), platform::kSuccess);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, "\xCE\xA9mega \xE6\x97\xA5\xE6\x9C\xAC.reg");
  EXPECT_FALSE(platform::FileExists(files(), Path("Omega \xE6\x97\xA5\xE6\x9C\xAC.reg")));
}

}  // namespace
}  // namespace tallowin::testing_support
