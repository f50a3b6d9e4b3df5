#include "platform/reg_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/fuzz.h"
#include "tests/support/reg_data.h"

namespace tallowin::platform {
namespace {

using namespace std::string_literals;
using testing_support::Utf16Data;

RegTextDocument MustParse(const std::string& text) {
  RegTextDocument doc;
  std::string error;
  EXPECT_TRUE(ParseRegText(text, doc, &error)) << error;
  return doc;
}

TEST(ParseRegText, ReadsEveryForm) {
  const std::string text =
      "REGEDIT4\r\n"
      "\r\n"
      "; a comment\r\n"
      "[HKEY_LOCAL_MACHINE\\Software\\Classes\\.xyz]\r\n"
      "@=\"xyzfile\"\r\n"
      "\"Path\"=\"C:\\\\Program Files\\\\Old\\\\old.exe \\\"q\\\"\"\r\n"
      "\"Count\"=dword:0000001A\r\n"
      "\"Short\"=dword:ff\r\n"
      "\"Data\"=hex:01,A0,ff,00\r\n"
      "\"Empty\"=hex:\r\n"
      "\"Exp\"=hex(2):25,00\r\n"
      "\"Multi\"=hex(7):61,00,00\r\n"
      "\"Quad\"=hex(b):01,02,03,04,05,06,07,08\r\n"
      "\"Long\"=hex:00,01,\\\r\n"
      "    02,03,\\\r\n"
      "\t04\r\n"
      "\"gone\"=-\r\n"
      "  \"spaced\" = \"v\"  \r\n"
      "\r\n"
      "[-HKEY_CURRENT_USER\\Software\\Old]\r\n"
      "[hkey_users\\.DEFAULT]\r\n";
  const RegTextDocument doc = MustParse(text);
  EXPECT_EQ(doc.format, RegTextFormat::Regedit4);
  ASSERT_EQ(doc.blocks.size(), 3u);

  const RegTextBlock& b = doc.blocks[0];
  EXPECT_EQ(b.root, Root::LocalMachine);
  EXPECT_EQ(b.path, "Software\\Classes\\.xyz");
  EXPECT_FALSE(b.remove);
  const std::vector<RegTextValue> expected = {
      {"", false, kRegSz, Utf16Data("xyzfile\0"s)},
      {"Path", false, kRegSz, Utf16Data("C:\\Program Files\\Old\\old.exe \"q\"\0"s)},
      {"Count", false, kRegDword, "\x1A\0\0\0"s},
      {"Short", false, kRegDword, "\xFF\0\0\0"s},
      {"Data", false, kRegBinary, "\x01\xA0\xFF\x00"s},
      {"Empty", false, kRegBinary, ""},
      // A REGEDIT4 file's string bytes are ANSI text; the registry holds UTF-16.
      {"Exp", false, kRegExpandSz, Utf16Data("%\0"s)},
      {"Multi", false, kRegMultiSz, Utf16Data("a\0\0"s)},
      {"Quad", false, kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"s},
      {"Long", false, kRegBinary, "\x00\x01\x02\x03\x04"s},
      {"gone", true, kRegNone, ""},
      {"spaced", false, kRegSz, Utf16Data("v\0"s)},
  };
  ASSERT_EQ(b.values.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(b.values[i], expected[i]);
  }

  EXPECT_TRUE(doc.blocks[1].remove);
  EXPECT_EQ(doc.blocks[1].root, Root::CurrentUser);
  EXPECT_EQ(doc.blocks[1].path, "Software\\Old");
  EXPECT_EQ(doc.blocks[2].root, Root::Users);
  EXPECT_EQ(doc.blocks[2].path, ".DEFAULT");
}

TEST(ParseRegText, Version5HeaderLfLinesAndRootKeyLines) {
  const RegTextDocument doc = MustParse(
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_CONFIG]\n\"a\"=\"b\"\n"
      "[HKEY_CLASSES_ROOT\\]\n[HKEY_CLASSES_ROOT\\x\\]\n");
  EXPECT_EQ(doc.format, RegTextFormat::Version5);
  ASSERT_EQ(doc.blocks.size(), 3u);
  EXPECT_EQ(doc.blocks[0].root, Root::CurrentConfig);
  EXPECT_EQ(doc.blocks[0].path, "");
  EXPECT_EQ(doc.blocks[1].path, "");
  EXPECT_EQ(doc.blocks[2].path, "x");
}

TEST(ParseRegText, KeyNameMayHoldABracket) {
  const RegTextDocument doc = MustParse("REGEDIT4\r\n[HKEY_CURRENT_USER\\a]b]\r\n");
  ASSERT_EQ(doc.blocks.size(), 1u);
  EXPECT_EQ(doc.blocks[0].path, "a]b");
}

TEST(ParseRegText, RejectsMalformedInputNamingTheLine) {
  struct Case {
    const char* what;
    std::string text;
    const char* line;
  };
  const std::string h = "REGEDIT4\r\n";
  const std::string k = h + "[HKEY_CURRENT_USER\\K]\r\n";
  const Case cases[] = {
      {"empty input", "", "line 1:"},
      {"bad header", "REGEDIT5\r\n[HKEY_CURRENT_USER\\K]\r\n", "line 1:"},
      {"header not first", "\r\nREGEDIT4\r\n", "line 1:"},
      {"utf-8 bom", "\xEF\xBB\xBFREGEDIT4\r\n", "line 1:"},
      {"value before key", h + "\"a\"=\"b\"\r\n", "line 2:"},
      {"default before key", h + "\r\n@=\"b\"\r\n", "line 3:"},
      {"value under deleted key", h + "[-HKEY_CURRENT_USER\\K]\r\n\"a\"=\"b\"\r\n", "line 3:"},
      {"unknown root", h + "[HKEY_NOWHERE\\K]\r\n", "line 2:"},
      {"short root name", h + "[HKLM\\Software]\r\n", "line 2:"},
      {"empty root", h + "[\\Software]\r\n", "line 2:"},
      {"missing bracket", h + "[HKEY_CURRENT_USER\\K\r\n", "line 2:"},
      {"text after bracket", h + "[HKEY_CURRENT_USER\\K] x\r\n", "line 2:"},
      {"empty key name", h + "[HKEY_CURRENT_USER\\a\\\\b]\r\n", "line 2:"},
      {"key name too long", h + "[HKEY_CURRENT_USER\\" + std::string(256, 'k') + "]\r\n", "line 2:"},
      {"deleting a root", h + "[-HKEY_CURRENT_USER]\r\n", "line 2:"},
      {"unterminated name", k + "\"abc=\"x\"\r\n", "line 3:"},
      {"unterminated data", k + "\"a\"=\"abc\r\n", "line 3:"},
      {"quote escaped at end", k + "\"a\"=\"abc\\\"\r\n", "line 3:"},
      {"unknown escape", k + "\"a\"=\"C:\\x\"\r\n", "line 3:"},
      {"text after string", k + "\"a\"=\"b\" c\r\n", "line 3:"},
      {"missing equals", k + "\"a\" \"b\"\r\n", "line 3:"},
      {"missing data", k + "\"a\"=\r\n", "line 3:"},
      {"unknown data", k + "\"a\"=word:1\r\n", "line 3:"},
      {"dword too long", k + "\"a\"=dword:000000001\r\n", "line 3:"},
      {"dword empty", k + "\"a\"=dword:\r\n", "line 3:"},
      {"dword bad digit", k + "\"a\"=dword:0000000g\r\n", "line 3:"},
      {"dword sign", k + "\"a\"=dword:-1\r\n", "line 3:"},
      {"hex bad digit", k + "\"a\"=hex:01,0g\r\n", "line 3:"},
      {"hex three digits", k + "\"a\"=hex:012\r\n", "line 3:"},
      {"hex missing comma", k + "\"a\"=hex:01 02\r\n", "line 3:"},
      {"hex double comma", k + "\"a\"=hex:01,,02\r\n", "line 3:"},
      {"hex leading comma", k + "\"a\"=hex:,01\r\n", "line 3:"},
      {"hex trailing comma", k + "\"a\"=hex:01,02,\r\n", "line 3:"},
      {"hex bad continuation", k + "\"a\"=hex:01,\\\r\n  zz\r\n", "line 4:"},
      {"continuation at end", k + "\"a\"=hex:01,\\\r\n", "line 3:"},
      {"hex type empty", k + "\"a\"=hex():01\r\n", "line 3:"},
      {"hex type bad digit", k + "\"a\"=hex(q):01\r\n", "line 3:"},
      {"hex type no colon", k + "\"a\"=hex(2)01\r\n", "line 3:"},
      {"hex type too long", k + "\"a\"=hex(123456789):01\r\n", "line 3:"},
      {"removal with text", k + "\"a\"=-x\r\n", "line 3:"},
      {"stray line", k + "garbage\r\n", "line 3:"},
      {"error after good lines", k + "\"a\"=\"b\"\r\n\r\n[HKEY_CURRENT_USER\\L]\r\n@=dword:1x\r\n",
       "line 6:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegTextDocument doc;
    doc.blocks.resize(1);
    doc.blocks[0].path = "untouched";
    std::string error;
    EXPECT_FALSE(ParseRegText(c.text, doc, &error));
    EXPECT_EQ(error.rfind(c.line, 0), 0u) << error;
    ASSERT_EQ(doc.blocks.size(), 1u);
    EXPECT_EQ(doc.blocks[0].path, "untouched");
  }
}

// What the registry editor imports but no backup holds: the forms a file cut short
// inside a line leaves behind. Backup rules refuse them, naming the line.
TEST(ParseRegText, BackupRulesRefuseWhatTheWriterNeverWrites) {
  struct Case {
    const char* what;
    std::string text;
    const char* line;
  };
  const std::string k = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
  const Case cases[] = {
      {"cut inside a hex value", k + "\"a\"=hex:01,0", "line 4:"},
      {"one-digit byte", k + "\"a\"=hex:01,2\r\n", "line 4:"},
      {"one-digit byte first", k + "\"a\"=hex:1,02\r\n", "line 4:"},
      {"one-digit byte continued", k + "\"a\"=hex:01,\\\r\n  0\r\n", "line 5:"},
      {"one-digit hex(2) byte", k + "\"a\"=hex(2):41,0\r\n", "line 4:"},
      {"last line without its end", k + "\"a\"=\"text\"", "line 4:"},
      {"last key line without its end", k + "[HKEY_CURRENT_USER\\L]", "line 4:"},
      {"last line ends in CR only", k + "\"a\"=dword:00000001\r", "line 4:"},
      {"cut after the header", "REGEDIT4", "line 1:"},
      {"NUL in a string", k + "\"a\"=\"x\0y\"\r\n"s, "line 4:"},
      {"NUL in a comment", k + ";\0\r\n"s, "line 4:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    RegTextDocument editor, backup;
    std::string error;
    EXPECT_TRUE(ParseRegText(c.text, editor, &error)) << "the editor's rules: " << error;
    EXPECT_FALSE(ParseRegText(c.text, backup, &error, Windows1252(), RegTextRules::Backup));
    EXPECT_EQ(error.rfind(c.line, 0), 0u) << error;
    EXPECT_TRUE(backup.blocks.empty());
  }
}

TEST(ParseRegText, BackupRulesReadWhatTheWriterWrites) {
  const std::string text =
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\App]\r\n@=\"x\"\r\n"
      "\"n\"=dword:0000001A\r\n\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0A,0B,0C,0D,0E,0F,10,11,12,13,14,15,16,17,18,19,\\\r\n"
      "1A\r\n\"e\"=hex(2):25,00\r\n\"none\"=hex(0):\r\n\r\n[HKEY_CURRENT_USER\\Software\\App\\Sub]\r\n";
  RegTextDocument editor, backup;
  std::string error;
  ASSERT_TRUE(ParseRegText(text, editor, &error)) << error;
  ASSERT_TRUE(ParseRegText(text, backup, &error, Windows1252(), RegTextRules::Backup)) << error;
  EXPECT_EQ(backup.blocks, editor.blocks);
  ASSERT_EQ(backup.blocks.size(), 2u);
  ASSERT_EQ(backup.blocks[0].values.size(), 5u);
  EXPECT_EQ(backup.blocks[0].values[2].data.size(), 27u);
}

// The parser hands out each key line and each value once it is complete, so a reader
// of a large file holds one of each.
TEST(RegLineParser, CompletesAKeyOrAValuePerLine) {
  using Item = RegLineParser::Item;
  const struct {
    const char* line;
    Item item;
  } lines[] = {
      {"REGEDIT4", Item::None},
      {"", Item::None},
      {"[HKEY_LOCAL_MACHINE\\Software\\A]", Item::Key},
      {"\"bin\"=hex:01,\\", Item::None},
      {"  02,\\", Item::None},
      {"  03", Item::Value},
      {"; comment", Item::None},
      {"@=\"d\"", Item::Value},
      {"[-HKEY_CURRENT_USER\\Old]", Item::Key},
  };
  RegLineParser parser(RegTextRules::Backup);
  for (const auto& l : lines) {
    SCOPED_TRACE(l.line);
    Item item = Item::Key;
    ASSERT_TRUE(parser.Feed(l.line, item)) << parser.error();
    EXPECT_EQ(item, l.item);
    if (std::string_view(l.line) == "  03") {
      EXPECT_EQ(parser.key().path, "Software\\A");
      EXPECT_EQ(parser.value(), (RegTextValue{"bin", false, kRegBinary, "\x01\x02\x03"s}));
    }
  }
  EXPECT_TRUE(parser.key().remove);
  EXPECT_EQ(parser.lines(), 9u);
  EXPECT_TRUE(parser.Finish(true));

  // A failed parser stays failed, and says where it failed.
  RegLineParser broken;
  Item item;
  ASSERT_TRUE(broken.Feed("REGEDIT4", item));
  EXPECT_FALSE(broken.Feed("junk", item));
  EXPECT_FALSE(broken.Feed("", item));
  EXPECT_FALSE(broken.Finish(true));
  EXPECT_EQ(broken.error(), "line 2: unrecognised line");
}

// A REGEDIT4 file's string bytes are ANSI text the editor stores as UTF-16; a
// Unicode file's are UTF-16 already.
TEST(ParseRegText, StringBytesOfARegedit4FileAreAnsiText) {
  const struct {
    const char* header;
    const char* data;
    std::string stored;
  } cases[] = {
      {"REGEDIT4", "hex(1):41,00", Utf16Data("A\0"s)},
      {"REGEDIT4", "hex(2):63,61,66,e9,20,80,00", Utf16Data("caf\xC3\xA9 \xE2\x82\xAC\0"s)},
      {"REGEDIT4", "hex(7):61,00,e9,00,00", Utf16Data("a\0\xC3\xA9\0\0"s)},
      {"REGEDIT4", "hex(1):", ""},
      {"REGEDIT4", "hex(3):e9,00", "\xE9\0"s},  // not a string type: bytes as they are
      {"Windows Registry Editor Version 5.00", "hex(1):e9,00,00,00", "\xE9\0\0\0"s},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.data);
    const RegTextDocument doc = MustParse(std::string(c.header) +
                                          "\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=" + c.data + "\r\n");
    ASSERT_EQ(doc.blocks.size(), 1u);
    ASSERT_EQ(doc.blocks[0].values.size(), 1u);
    EXPECT_EQ(doc.blocks[0].values[0].data, c.stored);
  }
}

TEST(ParseRegText, RejectsKeyPathsDeeperThanTheRegistryAllows) {
  std::string path = "HKEY_CURRENT_USER";
  for (size_t i = 0; i < kMaxKeyDepth; ++i) path += "\\k";
  RegTextDocument doc;
  EXPECT_TRUE(ParseRegText("REGEDIT4\r\n[" + path + "]\r\n", doc));
  std::string error;
  EXPECT_FALSE(ParseRegText("REGEDIT4\r\n[" + path + "\\k]\r\n", doc, &error));
  EXPECT_NE(error.find("deep"), std::string::npos) << error;
}

std::string Utf16(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  for (char c : text) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return bytes;
}

TEST(DecodeRegFileBytes, GivesUtf8FromUtf16AndFromAnsi) {
  std::string text;
  ASSERT_TRUE(DecodeRegFileBytes(Utf16("Windows Registry Editor Version 5.00\r\n\"caf\xE9\""), text));
  EXPECT_EQ(text, "Windows Registry Editor Version 5.00\r\n\"caf\xC3\xA9\"");
  std::string wide = Utf16("REGEDIT4\r\n\r\n\"");
  wide += "\x3A\x04\x3D\xD8\x00\xDE"s;  // U+043A, U+1F600
  ASSERT_TRUE(DecodeRegFileBytes(wide, text));
  EXPECT_EQ(text, "REGEDIT4\r\n\r\n\"\xD0\xBA\xF0\x9F\x98\x80");

  // Without a byte order mark the file is ANSI (Windows-1252 here).
  ASSERT_TRUE(DecodeRegFileBytes("REGEDIT4\r\n\xFF\xFE\x80", text));
  EXPECT_EQ(text, "REGEDIT4\r\n\xC3\xBF\xC3\xBE\xE2\x82\xAC");
  ASSERT_TRUE(DecodeRegFileBytes("", text));
  EXPECT_EQ(text, "");
}

TEST(DecodeRegFileBytes, RejectsOddLength) {
  std::string text = "untouched";
  std::string error;
  EXPECT_FALSE(DecodeRegFileBytes(Utf16("ab") + "x", text, &error));
  EXPECT_EQ(error.rfind("line 1:", 0), 0u) << error;
  EXPECT_EQ(text, "untouched");
}

TEST(EncodeRegFileText, WritesAnsiExactlyOrNotAtAllAndVersion5AsUtf16) {
  std::string bytes = "untouched";
  ASSERT_TRUE(EncodeRegFileText("REGEDIT4\r\ncaf\xC3\xA9 \xE2\x82\xAC", RegTextFormat::Regedit4, bytes));
  EXPECT_EQ(bytes, "REGEDIT4\r\ncaf\xE9 \x80");
  EXPECT_FALSE(EncodeRegFileText("\xCE\xA9mega", RegTextFormat::Regedit4, bytes));  // Greek capital omega
  EXPECT_EQ(bytes, "REGEDIT4\r\ncaf\xE9 \x80");
  ASSERT_TRUE(EncodeRegFileText("A\xCE\xA9", RegTextFormat::Version5, bytes));
  EXPECT_EQ(bytes, "\xFF\xFE" "A\0\xA9\x03"s);
}

TEST(WriteRegText, WritesVersion5WithTypedHexForms) {
  RegTextBlock block;
  block.root = Root::LocalMachine;
  block.path = "Software\\A";
  block.values = {
      {"", false, kRegSz, Utf16Data("def\0"s)},
      {"q\"b\\", false, kRegSz, Utf16Data("x\\\"y\0"s)},
      {"n", false, kRegDword, "\x1A\0\0\0"s},
      {"bin", false, kRegBinary, "\x01\xAB"s},
      {"exp", false, kRegExpandSz, Utf16Data("%\0"s)},
      {"noNul", false, kRegSz, Utf16Data("ab")},
      {"lines", false, kRegSz, Utf16Data("a\r\nb\0"s)},
      {"short", false, kRegDword, "\x01"s},
      {"big", false, 0x12345678, ""},
      {"gone", true, kRegNone, ""},
  };
  RegTextBlock removed;
  removed.root = Root::CurrentUser;
  removed.path = "Old";
  removed.remove = true;
  RegTextBlock root;
  root.root = Root::Users;
  EXPECT_EQ(WriteRegText({block, removed, root}),
            "Windows Registry Editor Version 5.00\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\A]\r\n"
            "@=\"def\"\r\n"
            "\"q\\\"b\\\\\"=\"x\\\\\\\"y\"\r\n"
            "\"n\"=dword:0000001a\r\n"
            "\"bin\"=hex:01,ab\r\n"
            "\"exp\"=hex(2):25,00,00,00\r\n"
            "\"noNul\"=hex(1):61,00,62,00\r\n"
            "\"lines\"=hex(1):61,00,0d,00,0a,00,62,00,00,00\r\n"
            "\"short\"=hex(4):01\r\n"
            "\"big\"=hex(12345678):\r\n"
            "\"gone\"=-\r\n"
            "\r\n"
            "[-HKEY_CURRENT_USER\\Old]\r\n"
            "\r\n"
            "[HKEY_USERS]\r\n");
}

TEST(WriteRegText, LongBinaryWrapsAndParsesBack) {
  RegTextBlock block;
  block.path = "K";
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>(i));
  // The multi-string goes to the REGEDIT4 file as ANSI bytes and parses back as UTF-16.
  const std::string strings = Utf16Data(std::string(150, 'm') + "\0\0"s);
  block.values = {{"v", false, kRegBinary, bytes}, {"m", false, kRegMultiSz, strings}};
  const std::string text = WriteRegText({block}, RegTextFormat::Regedit4);
  EXPECT_EQ(text.rfind("REGEDIT4\r\n", 0), 0u);
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find("\r\n", start);
    EXPECT_LE(end - start, 80u);
    start = end + 2;
  }
  const RegTextDocument doc = MustParse(text);
  ASSERT_EQ(doc.blocks.size(), 1u);
  EXPECT_EQ(doc.blocks[0], block);
}

// Random edits of valid files: the parser must never crash, and must either report an
// error naming a line or give a document that survives a write and a second parse.
TEST(ParseRegText, FuzzedInputParsesOrFailsCleanly) {
  const std::vector<std::string> seeds = {
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n@=\"x\"\r\n\"n\"=dword:0000001a\r\n"
      "\"b\"=hex:01,02,\\\r\n  03\r\n\"e\"=hex(2):25,00\r\n\"s\"=\"a\\\\b\\\"c\"\r\n",
      "Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_LOCAL_MACHINE\\Software\\B]\r\n\r\n"
      "[HKEY_CLASSES_ROOT\\.x]\r\n\"gone\"=-\r\n; comment\r\n\"m\"=hex(7):61,00,00,00\r\n",
  };
  const std::string alphabet = "[]\\\"@=-:,;() \t\r\nhexdwordHKEY_0123456789abcdefABCDEF\xFF";
  std::mt19937 rng(20130307);
  size_t parsed = 0, rejected = 0;
  for (int iteration = 0; iteration < 20000; ++iteration) {
    const std::string text =
        testing_support::Mutate(seeds[iteration % seeds.size()], alphabet, rng);
    SCOPED_TRACE(text);
    RegTextDocument doc;
    std::string error;
    if (ParseRegText(text, doc, &error)) {
      ++parsed;
      RegTextDocument again;
      ASSERT_TRUE(ParseRegText(WriteRegText(doc.blocks), again, &error)) << error;
      ASSERT_EQ(again.blocks, doc.blocks);
    } else {
      ++rejected;
      ASSERT_EQ(error.rfind("line ", 0), 0u) << error;
    }
  }
  // Both outcomes must really occur, or the mutations test nothing.
  EXPECT_GT(parsed, 1000u);
  EXPECT_GT(rejected, 1000u);
}

}  // namespace
}  // namespace tallowin::platform
