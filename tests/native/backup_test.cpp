#include "repair/backup.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "platform/memory/memory_platform.h"
#include "platform/reg_text.h"
#include "platform/text.h"
#include "tests/backend/registry_snapshot.h"
#include "tests/support/reg_data.h"
#include "tests/support/watched_registry.h"

namespace tallowin {
namespace {

using testing_support::Utf16Data;

using platform::RegValue;
using platform::Root;
using platform::memory::MemoryMachine;
using platform::memory::MemoryRegistry;

constexpr const char* kFile = "C:\\Backup\\2013_03_07_140509.reg";

std::string Bytes(std::initializer_list<int> bytes) {
  std::string out;
  for (int b : bytes) out.push_back(static_cast<char>(b));
  return out;
}

std::string Sequence(size_t n) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<char>(i));
  return out;
}

class BackupTest : public ::testing::Test {
 protected:
  void SetUp() override { m.files.AddFolder("C:\\Backup"); }

  ExportResult Export(Root root, std::string_view path, std::string_view value, bool wholeKey) {
    return ExportRegistryItem(m.files, m.registry, Windows1252(), kFile, root, path, value, wholeKey);
  }
  std::string File() const { return m.files.Contents(kFile); }

  MemoryMachine m;
};

TEST(MakeBackupFileName, NamesTheFileAfterTheLocalTime) {
  platform::memory::MemorySystem system;
  EXPECT_EQ(MakeBackupFileName(system, "C:\\Tools\\Backup"), "C:\\Tools\\Backup\\2013_03_07_140509.reg");
  EXPECT_EQ(MakeBackupFileName(system, "C:\\Tools\\Backup\\"), "C:\\Tools\\Backup\\2013_03_07_140509.reg");
  system.now = {2001, 12, 31, 0, 0, 0};
  EXPECT_EQ(MakeBackupFileName(system, "D:\\B"), "D:\\B\\2001_12_31_000000.reg");
  system.now = {2020, 1, 2, 23, 59, 58};
  EXPECT_EQ(MakeBackupFileName(system, "D:\\B"), "D:\\B\\2020_01_02_235958.reg");
}

TEST(Escape, DoublesBackslashesThenEscapesQuotes) {
  const struct {
    const char* in;
    const char* backslashes;
    const char* both;
  } cases[] = {
      {"", "", ""},
      {"plain text", "plain text", "plain text"},
      {"C:\\x", "C:\\\\x", "C:\\\\x"},
      {"\\\\server\\", "\\\\\\\\server\\\\", "\\\\\\\\server\\\\"},
      {"say \"hi\"", "say \"hi\"", "say \\\"hi\\\""},
      {"a\\\"b", "a\\\\\"b", "a\\\\\\\"b"},
      {"\"", "\"", "\\\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.in);
    EXPECT_EQ(EscapeBackslashes(c.in), c.backslashes);
    EXPECT_EQ(EscapeQuotes(EscapeBackslashes(c.in)), c.both);
  }
}

TEST_F(BackupTest, WritesTheExampleFileByteForByte) {
  m.registry.SetString(Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                       "Old App", "C:\\Program Files\\Old\\old.exe /min");
  m.registry.SetString(Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                       "Other", "stays out of the backup");
  m.registry.SetString(Root::LocalMachine, "Software\\Classes\\.xyz", "", "xyzfile");
  m.registry.SetDword(Root::LocalMachine, "Software\\Classes\\.xyz\\OpenWithList", "Count", 2);
  m.registry.SetValue(Root::LocalMachine, "Software\\Classes\\.xyz\\OpenWithList", "Data",
                      platform::kRegBinary, Bytes({0x01, 0xA0, 0xFF, 0x00}));

  ASSERT_TRUE(Export(Root::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                     "Old App", false).ok());
  ASSERT_TRUE(Export(Root::LocalMachine, "Software\\Classes\\.xyz", "", true).ok());

  EXPECT_EQ(File(),
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run]\r\n"
            "\"Old App\"=\"C:\\\\Program Files\\\\Old\\\\old.exe /min\"\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.xyz]\r\n"
            "@=\"xyzfile\"\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.xyz\\OpenWithList]\r\n"
            "\"Count\"=dword:00000002\r\n"
            "\"Data\"=hex:01,A0,FF,00\r\n");
}

TEST(FormatValueLine, WritesThePlainFormsExactly) {
  const struct {
    const char* label;
    RegValue value;
    std::string line;
  } cases[] = {
      {"dword max", {"n", platform::kRegDword, Bytes({0xFF, 0xFF, 0xFF, 0xFF})}, "\"n\"=dword:FFFFFFFF"},
      {"dword 26", {"n", platform::kRegDword, Bytes({0x1A, 0, 0, 0})}, "\"n\"=dword:0000001A"},
      {"dword order", {"n", platform::kRegDword, Bytes({0x78, 0x56, 0x34, 0x12})}, "\"n\"=dword:12345678"},
      {"default", {"", platform::kRegSz, Utf16Data(std::string("x\0", 2))}, "@=\"x\""},
      {"empty default", {"", platform::kRegSz, Utf16Data(std::string("\0", 1))}, "@=\"\""},
      {"escaped name and text", {"a\\b\"c", platform::kRegSz, Utf16Data(std::string("C:\\x \"y\"\0", 9))},
       "\"a\\\\b\\\"c\"=\"C:\\\\x \\\"y\\\"\""},
      {"odd characters stay", {"= [x] ;", platform::kRegSz, Utf16Data(std::string("\xC3\xA9=@;\0", 6))},
       "\"= [x] ;\"=\"\xC3\xA9=@;\""},
      {"empty binary", {"b", platform::kRegBinary, ""}, "\"b\"=hex:"},
      {"one byte", {"b", platform::kRegBinary, Bytes({0x0F})}, "\"b\"=hex:0F"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::string line;
    ASSERT_EQ(FormatValueLine(c.value, line), ExportStatus::Written);
    EXPECT_EQ(line, c.line);
  }
}

TEST(FormatValueLine, BreaksBinaryAfterByte25AndEvery25Bytes) {
  std::string line;
  ASSERT_EQ(FormatValueLine({"b", platform::kRegBinary, Sequence(26)}, line), ExportStatus::Written);
  EXPECT_EQ(line,
            "\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,14,15,16,"
            "17,18,19");
  ASSERT_EQ(FormatValueLine({"b", platform::kRegBinary, Sequence(27)}, line), ExportStatus::Written);
  EXPECT_EQ(line,
            "\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,14,15,16,"
            "17,18,19,\\\r\n1A");
  ASSERT_EQ(FormatValueLine({"b", platform::kRegBinary, Sequence(52)}, line), ExportStatus::Written);
  EXPECT_EQ(line,
            "\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,14,15,16,"
            "17,18,19,\\\r\n"
            "1A,1B,1C,1D,1E,1F,20,21,22,23,24,25,26,27,28,29,2A,2B,2C,2D,2E,2F,30,31,32,\\\r\n"
            "33");
  ASSERT_EQ(FormatValueLine({"b", platform::kRegBinary, Sequence(51)}, line), ExportStatus::Written);
  // Byte 50 is the last: no comma and no second break after it.
  EXPECT_EQ(line.substr(line.size() - 6), ",31,32") << line;
  EXPECT_EQ(line.find("\\\r\n"), line.rfind("\\\r\n")) << line;
}

TEST(FormatValueLine, KeepsTypeAndBytesWhereThePlainFormWouldNot) {
  const struct {
    const char* label;
    RegValue value;
    std::string line;
  } cases[] = {
      // String types go to the ANSI file as ANSI bytes, which the registry editor turns
      // back into the registry's UTF-16.
      {"expandable", {"e", platform::kRegExpandSz, Utf16Data(std::string("%A%\\x\0", 6))},
       "\"e\"=hex(2):25,41,25,5C,78,00"},
      {"multi-string", {"m", platform::kRegMultiSz, Utf16Data(std::string("a\0b\0\0", 5))},
       "\"m\"=hex(7):61,00,62,00,00"},
      {"qword", {"q", platform::kRegQword, Bytes({1, 2, 3, 4, 5, 6, 7, 8})},
       "\"q\"=hex(b):01,02,03,04,05,06,07,08"},
      {"none", {"z", platform::kRegNone, Bytes({0xAB})}, "\"z\"=hex(0):AB"},
      {"empty none", {"z", platform::kRegNone, ""}, "\"z\"=hex(0):"},
      {"big-endian", {"d", platform::kRegDwordBigEndian, Bytes({0, 0, 0, 1})}, "\"d\"=hex(5):00,00,00,01"},
      {"resource list", {"r", platform::kRegResourceList, Bytes({9})}, "\"r\"=hex(8):09"},
      {"unknown type", {"u", 0x1234, Bytes({1})}, "\"u\"=hex(1234):01"},
      {"dword of 3 bytes", {"d", platform::kRegDword, Bytes({1, 2, 3})}, "\"d\"=hex(4):01,02,03"},
      {"dword of 0 bytes", {"d", platform::kRegDword, ""}, "\"d\"=hex(4):"},
      {"string with a NUL inside", {"s", platform::kRegSz, Utf16Data(std::string("a\0b\0", 4))},
       "\"s\"=hex(1):61,00,62,00"},
      {"string with CR LF", {"s", platform::kRegSz, Utf16Data(std::string("a\r\nb\0", 5))},
       "\"s\"=hex(1):61,0D,0A,62,00"},
      {"string with LF only", {"s", platform::kRegSz, Utf16Data(std::string("a\n\0", 3))}, "\"s\"=hex(1):61,0A,00"},
      {"string without NUL", {"s", platform::kRegSz, Utf16Data("abc")}, "\"s\"=hex(1):61,62,63"},
      {"string with two NULs", {"s", platform::kRegSz, Utf16Data(std::string("a\0\0", 3))}, "\"s\"=hex(1):61,00,00"},
      {"empty string data", {"s", platform::kRegSz, ""}, "\"s\"=hex(1):"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    std::string line;
    ASSERT_EQ(FormatValueLine(c.value, line), ExportStatus::Written);
    EXPECT_EQ(line, c.line);
  }
}

TEST(FormatValueLine, RefusesNamesThatCannotStayOnOneLine) {
  for (const std::string& name : {std::string("a\rb"), std::string("a\nb"), std::string("a\0b", 3)}) {
    std::string line = "untouched";
    EXPECT_EQ(FormatValueLine({name, platform::kRegSz, Utf16Data(std::string("x\0", 2))}, line),
              ExportStatus::Refused);
    EXPECT_EQ(FormatValueLine({name, platform::kRegSz, Utf16Data(std::string("x\0", 2))}, line,
                              BackupFormat::Unicode),
              ExportStatus::Refused);
    EXPECT_EQ(line, "untouched");
  }
}

TEST_F(BackupTest, DropsOneTrailingBackslashOfTheKeyPath) {
  m.registry.SetString(Root::CurrentUser, "Software\\A", "v", "1");
  ASSERT_TRUE(Export(Root::CurrentUser, "Software\\A\\", "", true).ok());
  EXPECT_EQ(File(), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n\"v\"=\"1\"\r\n");
}

TEST_F(BackupTest, EmptyKeyGivesOnlyItsKeyLine) {
  m.registry.CreateKey(Root::Users, "S-1\\Empty");
  ASSERT_TRUE(Export(Root::Users, "S-1\\Empty", "", true).ok());
  EXPECT_EQ(File(), "REGEDIT4\r\n\r\n[HKEY_USERS\\S-1\\Empty]\r\n");
}

TEST_F(BackupTest, WritesTheHeaderOnlyWhenItCreatesTheFile) {
  m.registry.SetString(Root::CurrentUser, "K", "a", "1");
  m.registry.SetString(Root::CurrentUser, "K", "b", "2");
  ASSERT_TRUE(Export(Root::CurrentUser, "K", "a", false).ok());
  ASSERT_TRUE(Export(Root::CurrentUser, "K", "b", false).ok());
  EXPECT_EQ(File(),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"1\"\r\n"
            "\r\n[HKEY_CURRENT_USER\\K]\r\n\"b\"=\"2\"\r\n");

  // A file that already exists (an earlier run in the same second) is appended to.
  m.files.AddFile("C:\\Backup\\old.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n");
  ASSERT_TRUE(ExportRegistryItem(m.files, m.registry, Windows1252(), "C:\\Backup\\old.reg", Root::CurrentUser, "K",
                                 "a", false).ok());
  EXPECT_EQ(m.files.Contents("C:\\Backup\\old.reg"),
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\X]\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"a\"=\"1\"\r\n");
}

TEST_F(BackupTest, NestsSubKeyBlocksDepthFirstInEnumerationOrder) {
  m.registry.SetString(Root::ClassesRoot, "T", "", "top");
  m.registry.SetDword(Root::ClassesRoot, "T\\b", "n", 1);
  m.registry.SetDword(Root::ClassesRoot, "T\\a\\deep", "n", 2);
  m.registry.SetDword(Root::ClassesRoot, "T\\a", "n", 3);
  ASSERT_TRUE(Export(Root::ClassesRoot, "T", "", true).ok());
  EXPECT_EQ(File(),
            "REGEDIT4\r\n"
            "\r\n[HKEY_CLASSES_ROOT\\T]\r\n@=\"top\"\r\n"
            "\r\n[HKEY_CLASSES_ROOT\\T\\a]\r\n\"n\"=dword:00000003\r\n"
            "\r\n[HKEY_CLASSES_ROOT\\T\\a\\deep]\r\n\"n\"=dword:00000002\r\n"
            "\r\n[HKEY_CLASSES_ROOT\\T\\b]\r\n\"n\"=dword:00000001\r\n");
}

TEST_F(BackupTest, ReadsWithReadAccessOnly) {
  m.registry.SetString(Root::LocalMachine, "Software\\Locked\\Sub", "v", "x");
  m.registry.DenyWrite(Root::LocalMachine, "Software\\Locked");
  testing_support::WatchedRegistry recorder(m.registry);
  const ExportResult result = ExportRegistryItem(m.files, recorder, Windows1252(), kFile, Root::LocalMachine,
                                                 "Software\\Locked", "", true);
  ASSERT_TRUE(result.ok()) << result.detail;
  ASSERT_FALSE(recorder.accesses.empty());
  for (platform::Access access : recorder.accesses) EXPECT_EQ(access, platform::Access::Read);
}

TEST_F(BackupTest, WritesNothingWhenPartOfTheSubTreeCannotBeRead) {
  m.registry.SetString(Root::CurrentUser, "Top\\Open", "v", "x");
  m.registry.SetString(Root::CurrentUser, "Top\\Closed\\Below", "v", "y");
  m.registry.DenyOpen(Root::CurrentUser, "Top\\Closed");
  const ExportResult result = Export(Root::CurrentUser, "Top", "", true);
  EXPECT_EQ(result.status, ExportStatus::Incomplete);
  EXPECT_EQ(result.detail, "HKEY_CURRENT_USER\\Top\\Closed");
  EXPECT_FALSE(m.files.Exists(kFile));

  EXPECT_EQ(Export(Root::CurrentUser, "Missing", "", true).status, ExportStatus::Incomplete);
  EXPECT_EQ(Export(Root::CurrentUser, "Top\\Open", "nope", false).status, ExportStatus::Incomplete);
  EXPECT_FALSE(m.files.Exists(kFile));
}

TEST_F(BackupTest, RefusesWhatTheFileCannotCarry) {
  m.registry.SetString(Root::CurrentUser, "Top\\Line\nBreak", "v", "x");
  m.registry.SetString(Root::CurrentUser, "Other", "bad\rname", "x");
  m.registry.SetString(Root::CurrentUser, "", "at root", "x");
  const struct {
    const char* label;
    const char* path;
    const char* value;
    bool wholeKey;
  } cases[] = {
      {"line break in a sub-key name", "Top", "", true},
      {"line break in a value name of the key", "Other", "", true},
      {"line break in the value asked for", "Other", "bad\rname", false},
      {"the root itself", "", "", true},
      {"a value directly in the root", "", "at root", false},
      {"an empty component", "Top\\\\Line", "", true},
      {"a leading backslash", "\\Top", "", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(Export(Root::CurrentUser, c.path, c.value, c.wholeKey).status, ExportStatus::Refused);
  }
  EXPECT_FALSE(m.files.Exists(kFile));
}

// At the registry's limits a block is written and a restore reads it back; one past
// them, the writer refuses what a restore would refuse.
TEST_F(BackupTest, WritesExactlyWhatARestoreReads) {
  const std::string longest(platform::kMaxKeyNameLength, 'k');
  std::string accented;  // 255 characters of two bytes each in UTF-8
  for (size_t i = 0; i < platform::kMaxKeyNameLength; ++i) accented += "\xC3\xA9";
  std::string deepest = "D";
  for (size_t i = 1; i < platform::kMaxKeyDepth; ++i) deepest += "\\D";
  const std::string longName(platform::kMaxValueNameLength, 'v');
  m.registry.SetString(Root::CurrentUser, "Names", longName, "x");
  m.registry.SetString(Root::CurrentUser, "Names2", longName + "v", "x");
  const struct {
    std::string label, path, value;
    bool wholeKey;
    ExportStatus status;
  } cases[] = {
      {"the longest key name", "Top\\" + longest, "", true, ExportStatus::Written},
      {"a key name one longer", "Top\\" + longest + "k", "", true, ExportStatus::Refused},
      {"a name of 255 two-byte characters", "Top\\" + accented, "", true, ExportStatus::Written},
      {"the deepest path", deepest, "", true, ExportStatus::Written},
      {"one level deeper", deepest + "\\D", "", true, ExportStatus::Refused},
      {"the longest value name", "Names", longName, false, ExportStatus::Written},
      {"a key holding the longest value name", "Names", "", true, ExportStatus::Written},
      {"a value name one longer", "Names2", longName + "v", false, ExportStatus::Refused},
      {"a key holding it", "Names2", "", true, ExportStatus::Refused},
  };
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    if (c.wholeKey) m.registry.CreateKey(Root::CurrentUser, c.path);
    const std::string file = "C:\\Backup\\case" + std::to_string(++number) + ".reg";
    const ExportResult result = ExportRegistryItem(m.files, m.registry, Windows1252(), file,
                                                   Root::CurrentUser, c.path, c.value, c.wholeKey);
    EXPECT_EQ(result.status, c.status) << result.detail;
    if (c.status != ExportStatus::Written) {
      EXPECT_FALSE(m.files.Exists(file));
      continue;
    }
    std::string text, error;
    platform::RegTextDocument document;
    ASSERT_TRUE(platform::DecodeRegFileBytes(m.files.Contents(file), text));
    EXPECT_TRUE(platform::ParseRegText(text, document, &error, Windows1252(),
                                       platform::RegTextRules::Backup))
        << error;
  }
}

TEST(FormatValueLine, RefusesDataLargerThanARestoreReads) {
  std::string line = "untouched";
  for (uint32_t type : {platform::kRegBinary, platform::kRegSz, platform::kRegMultiSz}) {
    SCOPED_TRACE(type);
    // Not ANSI text either: the size is what counts.
    const RegValue big{"big", type, std::string(platform::kMaxRegValueBytes + 1, '\xFF')};
    EXPECT_EQ(FormatValueLine(big, line, BackupFormat::Regedit4), ExportStatus::TooLarge);
    EXPECT_EQ(FormatValueLine(big, line, BackupFormat::Unicode), ExportStatus::TooLarge);
  }
  EXPECT_EQ(line, "untouched");
}

// Escaping doubles every backslash: a string short enough as text may not fit on one
// line of a Unicode file once escaped. It keeps its type in the hex form instead.
TEST(FormatValueLine, AStringWhoseEscapedLineIsTooLongIsWrittenAsHex) {
  // The line "s"="\\\\..." takes 2 * (2 * N + 6) bytes in UTF-16.
  const size_t fits = platform::kMaxRegLineBytes / 4 - 8;
  for (size_t backslashes : {fits, fits + 8}) {
    SCOPED_TRACE(backslashes);
    const RegValue value{"s", platform::kRegSz, Utf16Data(std::string(backslashes, '\\') + '\0')};
    std::string line;
    ASSERT_EQ(FormatValueLine(value, line, BackupFormat::Unicode), ExportStatus::Written);
    const bool quoted = backslashes == fits;
    EXPECT_EQ(line.rfind(quoted ? "\"s\"=\"\\\\" : "\"s\"=hex(1):5C,00,5C,00", 0), 0u)
        << line.substr(0, 20);
    if (quoted) {
      EXPECT_LE(2 * line.size(), platform::kMaxRegLineBytes);
    }
  }
}

// The repair composes a value's block from the value it has read: the block must be the
// one ComposeBlock reads and writes, in both formats, refusals included.
TEST_F(BackupTest, AValueAlreadyReadGivesTheBlockComposeBlockWrites) {
  const std::string omega = "\xCE\xA9mega";
  m.registry.SetString(Root::CurrentUser, "Soft\\K", "plain", "C:\\x.exe");
  m.registry.SetString(Root::CurrentUser, "Soft\\K", "", "default");
  m.registry.SetString(Root::CurrentUser, "Soft\\K", omega, "C:\\x.exe");
  m.registry.SetString(Root::CurrentUser, "Soft\\K", "data", "\xE6\x97\xA5");
  m.registry.SetValue(Root::CurrentUser, "Soft\\K", "odd", platform::kRegSz, "abc");
  m.registry.SetValue(Root::CurrentUser, "Soft\\K", "bin", platform::kRegBinary, Sequence(60));
  m.registry.SetDword(Root::CurrentUser, "Soft\\K", "n", 7);
  m.registry.SetString(Root::CurrentUser, "Soft\\K", "line\nbreak", "x");
  m.registry.SetString(Root::CurrentUser, "Soft\\" + omega, "v", "x");
  const std::string omegaKey = "Soft\\" + omega;
  // The path as the row gives it, and the value.
  const std::vector<std::pair<std::string, std::string>> items = {
      {"Soft\\K", "plain"}, {"Soft\\K\\", ""},  {"Soft\\K", omega}, {"Soft\\K", "data"},
      {"Soft\\K", "odd"},   {"Soft\\K", "bin"}, {"Soft\\K", "n"},   {"Soft\\K", "line\nbreak"},
      {omegaKey, "v"},
  };
  for (const BackupFormat format : {BackupFormat::Regedit4, BackupFormat::Unicode}) {
    for (const auto& [path, name] : items) {
      SCOPED_TRACE(path + " " + name);
      ExportContext read{m.registry, Windows1252(), format, Root::CurrentUser, name, false,
                         {},         {},            0,      {},                0};
      const ExportResult expected = ComposeBlock(read, path);
      const std::string key = path.back() == '\\' ? path.substr(0, path.size() - 1) : path;
      const std::optional<RegValue> value = m.registry.GetValue(Root::CurrentUser, key, name);
      ASSERT_TRUE(value.has_value());
      ExportContext given{m.registry, Windows1252(), format, Root::CurrentUser, name, false,
                          {},         {},            0,      {},               0};
      given.value = *value;
      const ExportResult composed = ComposeValueBlock(given, path);
      EXPECT_EQ(composed.status, expected.status);
      EXPECT_EQ(composed.detail, expected.detail);
      EXPECT_EQ(given.text, read.text);
    }
  }
}

TEST_F(BackupTest, ReportsAFileThatCannotBeWritten) {
  m.registry.SetString(Root::CurrentUser, "K", "v", "x");
  m.files.DenyWrites("C:\\Backup");
  const ExportResult result = Export(Root::CurrentUser, "K", "", true);
  EXPECT_EQ(result.status, ExportStatus::WriteFailed);
  EXPECT_EQ(result.detail, kFile);
  EXPECT_EQ(ExportRegistryItem(m.files, m.registry, Windows1252(), "C:\\NoSuchFolder\\x.reg", Root::CurrentUser,
                               "K", "", true).status,
            ExportStatus::WriteFailed);
}

// Random trees of every value type and awkward names survive writer, parser and import.
TEST(BackupRoundTrip, RandomTreesComeBackThroughTheParser) {
  std::mt19937 random(20130307);
  auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
  // Characters of the ANSI code page (here Windows-1252), as UTF-8: é, € and ÿ among them.
  const std::vector<std::string> keyChars = {"a", "b", " ", "-", "=", "[", "]", ";", "\"", "@",
                                             "\xC3\xA9", "\xE2\x82\xAC", "{", "}"};
  const std::vector<std::string> valueChars = {"a", "b", " ", "\\", "\"", "=", "[", "]",
                                               "@", ";", "\xC3\xA9", "\xC3\xBF", "\0"};
  const uint32_t types[] = {0, 1, 1, 1, 2, 3, 3, 4, 4, 5, 6, 7, 8, 11, 0x1234};
  auto name = [&](const std::vector<std::string>& chars, size_t minLength) {
    std::string out;
    const size_t length = minLength + pick(6);
    // A name holds no NUL; string data may.
    for (size_t i = 0; i < length; ++i) {
      const std::string& c = chars[pick(chars.size())];
      if (c != std::string(1, '\0')) out += c;
    }
    return out;
  };
  auto text = [&] {
    std::string out;
    for (size_t i = pick(40); i > 0; --i) out += valueChars[pick(valueChars.size())];
    return out;
  };

  for (int round = 0; round < 150; ++round) {
    SCOPED_TRACE(round);
    MemoryMachine m;
    m.files.AddFolder("C:\\Backup");
    std::vector<std::string> keys = {"Sandbox\\Top"};
    m.registry.CreateKey(Root::CurrentUser, keys[0]);
    const size_t keyCount = 1 + pick(6);
    for (size_t k = 0; k < keyCount; ++k) {
      std::string path = keys[pick(keys.size())] + "\\" + name(keyChars, 1);
      m.registry.CreateKey(Root::CurrentUser, path);
      keys.push_back(path);
    }
    for (const std::string& key : keys) {
      std::set<std::string> used;
      for (size_t v = pick(5); v > 0; --v) {
        const std::string valueName = name(valueChars, 0);
        if (!used.insert(AsciiUpper(valueName)).second) continue;
        const uint32_t type = types[pick(std::size(types))];
        std::string data;
        const size_t length = pick(81);
        for (size_t i = 0; i < length; ++i) data.push_back(static_cast<char>(random()));
        const bool stringType = type == platform::kRegSz || type == platform::kRegExpandSz ||
                                type == platform::kRegMultiSz;
        if (stringType) data = Utf16Data(text() + (pick(2) == 0 ? std::string(1, '\0') : ""));
        if (type == platform::kRegDword && pick(2) == 0) data = data.substr(0, 4);
        m.registry.SetValue(Root::CurrentUser, key, valueName, type, data);
      }
    }
    testing_support::Snapshot before;
    ASSERT_TRUE(testing_support::TakeSnapshot(m.registry, Root::CurrentUser, "Sandbox\\Top", before));

    const ExportResult result = ExportRegistryItem(m.files, m.registry, Windows1252(), kFile, Root::CurrentUser,
                                                   "Sandbox\\Top", "", true);
    ASSERT_TRUE(result.ok()) << result.detail;
    std::string error;
    MemoryRegistry restored;
    ASSERT_TRUE(restored.Import(m.files.Contents(kFile), &error)) << error;
    testing_support::Snapshot after;
    ASSERT_TRUE(testing_support::TakeSnapshot(restored, Root::CurrentUser, "Sandbox\\Top", after));
    EXPECT_TRUE(testing_support::SnapshotsMatch(before, after)) << m.files.Contents(kFile);
  }
}

}  // namespace
}  // namespace tallowin
