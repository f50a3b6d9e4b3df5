#include "platform/reg_stream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/support/fuzz.h"
#include "tests/support/reg_data.h"

namespace tallowin::platform {
namespace {

using namespace std::string_literals;
using Item = RegLineParser::Item;

// Serves a text in reads of the given sizes, in turn, as a disk or a pipe may.
class ChunkedReader : public FileReader {
 public:
  ChunkedReader(std::string bytes, std::vector<size_t> sizes)
      : bytes_(std::move(bytes)), sizes_(std::move(sizes)) {}
  bool Read(char* buffer, size_t capacity, size_t& read) override {
    const size_t want = std::min(capacity, sizes_[turn_++ % sizes_.size()]);
    read = std::min(want, bytes_.size() - position_);
    std::copy_n(bytes_.data() + position_, read, buffer);
    position_ += read;
    return true;
  }

 private:
  std::string bytes_;
  std::vector<size_t> sizes_;
  size_t turn_ = 0;
  size_t position_ = 0;
};

// A file of `size` bytes: `head`, then `fill` to the end; made as it is read, and
// counting what was read.
class GeneratedReader : public FileReader {
 public:
  GeneratedReader(std::string head, char fill, uint64_t size)
      : head_(std::move(head)), fill_(fill), size_(size) {}
  bool Read(char* buffer, size_t capacity, size_t& read) override {
    read = static_cast<size_t>(std::min<uint64_t>(capacity, size_ - served_));
    for (size_t i = 0; i < read; ++i)
      buffer[i] = served_ + i < head_.size() ? head_[static_cast<size_t>(served_ + i)] : fill_;
    served_ += read;
    return true;
  }
  uint64_t served() const { return served_; }

 private:
  std::string head_;
  char fill_;
  uint64_t size_;
  uint64_t served_ = 0;
};

std::string Utf16File(const std::string& utf8) { return "\xFF\xFE" + testing_support::Utf16Data(utf8); }

std::string Windows1252ToUtf8(const std::string& ansi) {
  std::string utf8;
  EXPECT_TRUE(Windows1252().ToUtf8(ansi, utf8));
  return utf8;
}

struct Lines {
  std::vector<std::string> lines;
  bool lastEnded = true;
  RegLineReader::Result end = RegLineReader::Result::End;
};

Lines ReadLines(const std::string& bytes, std::vector<size_t> sizes, size_t maxBytes = kMaxRegLineBytes) {
  ChunkedReader file(bytes, std::move(sizes));
  RegLineReader reader(file, Windows1252());
  Lines out;
  std::string line;
  for (;;) {
    out.end = reader.Next(line, maxBytes);
    if (out.end != RegLineReader::Result::Line) return out;
    out.lines.push_back(line);
    out.lastEnded = reader.lineEnded();
  }
}

const std::vector<std::vector<size_t>> kChunkings = {{1}, {2}, {3}, {1, 4, 2}, {7, 1}, {65536}};

TEST(RegLineReader, SplitsLinesAtLfAndCrLfInAnyChunking) {
  const struct {
    const char* what;
    std::string text;
    std::vector<std::string> lines;
    bool lastEnded;
  } cases[] = {
      {"empty", "", {}, true},
      {"one ended line", "a\r\n", {"a"}, true},
      {"unended last line", "a\r\nb", {"a", "b"}, false},
      {"LF and CR LF", "a\nb\r\n\r\nc\n", {"a", "b", "", "c"}, true},
      {"CR inside a line stays", "a\rb\r\r\n", {"a\rb\r"}, true},
      {"a lone CR at the end is the line end's start", "a\r", {"a"}, false},
      {"only line ends", "\n\r\n\n", {"", "", ""}, true},
      {"ANSI becomes UTF-8", "caf\xE9 \x80\r\n", {"caf\xC3\xA9 \xE2\x82\xAC"}, true},
      {"NUL bytes are characters", "a\0b\r\n"s, {"a\0b"s}, true},
  };
  for (const auto& c : cases) {
    for (const bool utf16 : {false, true}) {
      const std::string bytes = utf16 ? Utf16File(Windows1252ToUtf8(c.text)) : c.text;
      for (const auto& sizes : kChunkings) {
        SCOPED_TRACE(std::string(c.what) + (utf16 ? " (UTF-16)" : " (ANSI)") + ", first read " +
                     std::to_string(sizes[0]));
        const Lines read = ReadLines(bytes, sizes);
        EXPECT_EQ(read.end, RegLineReader::Result::End);
        EXPECT_EQ(read.lines, c.lines);
        EXPECT_EQ(read.lastEnded, c.lastEnded);
      }
    }
  }
}

TEST(RegLineReader, Utf16KeepsPairsAndUnpairedSurrogatesAcrossReads) {
  // U+1F600 as a pair, a lone high surrogate, then U+00E9.
  const std::string units = "x\0\x3D\xD8\x00\xDE\x00\xD8y\0\xE9\0\r\0\n\0"s;
  for (const auto& sizes : kChunkings) {
    SCOPED_TRACE(sizes[0]);
    const Lines read = ReadLines("\xFF\xFE" + units, sizes);
    ASSERT_EQ(read.lines.size(), 1u);
    EXPECT_EQ(read.lines[0], Utf16ToUtf8(Utf16FromLeBytes(units.substr(0, units.size() - 4))));
  }
}

TEST(RegLineReader, RefusesHalfACharacterAndOverlongLines) {
  const struct {
    const char* what;
    std::string bytes;
    size_t maxBytes;
    size_t linesBefore;
    RegLineReader::Result end;
  } cases[] = {
      {"odd UTF-16 file", "\xFF\xFE" "a\0\n\0b"s, 100, 1, RegLineReader::Result::Undecodable},
      {"odd UTF-16 file, last line ended", "\xFF\xFE" "a\0\n\0\n"s, 100, 1,
       RegLineReader::Result::Undecodable},
      {"a BOM alone is an empty file", "\xFF\xFE", 100, 0, RegLineReader::Result::End},
      {"ANSI line of the limit", std::string(10, 'a') + "\r\n" + std::string(11, 'b'), 10, 1,
       RegLineReader::Result::TooLong},
      {"CR not counted", std::string(10, 'a') + "\r\n", 10, 1, RegLineReader::Result::End},
      {"UTF-16 line over the limit", Utf16File("abcdef\r\n"), 10, 0, RegLineReader::Result::TooLong},
      {"UTF-16 line of the limit", Utf16File("abcde\r\n"), 10, 1, RegLineReader::Result::End},
  };
  for (const auto& c : cases) {
    for (const auto& sizes : kChunkings) {
      SCOPED_TRACE(std::string(c.what) + ", first read " + std::to_string(sizes[0]));
      const Lines read = ReadLines(c.bytes, sizes, c.maxBytes);
      EXPECT_EQ(read.lines.size(), c.linesBefore);
      EXPECT_EQ(read.end, c.end);
    }
  }
}

// A file of one endless line is refused once a line is longer than any backup holds:
// neither the whole file nor more than one line of it is read.
TEST(ReadRegFile, StopsAtTheLineLimitWithoutReadingTheRest) {
  constexpr uint64_t kGiB = uint64_t{1} << 30;
  const struct {
    const char* what;
    std::string head;
    char fill;
    const char* error;
    uint64_t mostRead;
  } cases[] = {
      {"one endless line", "", 'x', "line 1: not a registry file", 64 * 1024},
      {"zeros", "", '\0', "line 1: not a registry file", 64 * 1024},
      {"newlines", "", '\n', "line 1: not a registry file", 64 * 1024},
      {"an endless value line", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"v\"=\"", 'x',
       "line 4: longer than 134217728 bytes", kMaxRegLineBytes + 128 * 1024},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    GeneratedReader file(c.head, c.fill, kGiB);
    RegLineParser parser(RegTextRules::Backup);
    std::string error;
    size_t items = 0;
    const RegFileResult result = ReadRegFile(file, Windows1252(), parser, [&](Item) {
      ++items;
      return true;
    }, error);
    EXPECT_EQ(result, RegFileResult::Malformed);
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << error;
    EXPECT_LE(file.served(), c.mostRead);
  }
}

struct Parsed {
  bool ok = false;
  RegTextDocument document;
  std::string error;
};

Parsed ParseText(const std::string& bytes, RegTextRules rules) {
  Parsed out;
  std::string text;
  if (!DecodeRegFileBytes(bytes, text, &out.error)) return out;
  out.ok = ParseRegText(text, out.document, &out.error, Windows1252(), rules);
  return out;
}

Parsed ParseStream(const std::string& bytes, RegTextRules rules, std::vector<size_t> sizes) {
  ChunkedReader file(bytes, std::move(sizes));
  RegLineParser parser(rules);
  Parsed out;
  const RegFileResult result = ReadRegFile(file, Windows1252(), parser, [&](Item item) {
    if (item == Item::Key) {
      out.document.blocks.push_back(parser.key());
    } else {
      out.document.blocks.back().values.push_back(parser.value());
    }
    return true;
  }, out.error);
  out.ok = result == RegFileResult::Read;
  out.document.format = parser.format();
  if (!out.ok) out.document = {};
  return out;
}

// Random edits of valid files, read whole and read in chunks of random sizes, as ANSI
// and as UTF-16: both readings agree on the document or on the line of the error, and
// what the backup rules accept the editor's rules read the same.
TEST(ReadRegFile, AgreesWithParseRegTextOnFuzzedFiles) {
  const std::vector<std::string> seeds = {
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\A]\r\n@=\"x\"\r\n\"n\"=dword:0000001A\r\n"
      "\"b\"=hex:01,02,\\\r\n03\r\n\"e\"=hex(2):25,00\r\n\"s\"=\"a\\\\b\\\"c\"\r\n",
      "Windows Registry Editor Version 5.00\r\n\r\n[-HKEY_LOCAL_MACHINE\\Software\\B]\r\n\r\n"
      "[HKEY_CLASSES_ROOT\\.x]\r\n\"gone\"=-\r\n; comment\r\n\"m\"=hex(7):61,00,00,00\r\n",
  };
  const std::string alphabet = "[]\\\"@=-:,;() \t\r\n\0hexdwordHKEY_0123456789abcdefABCDEF\xFF\xE9"s;
  std::mt19937 rng(20130307);
  size_t accepted = 0, refused = 0, editorOnly = 0;
  for (int iteration = 0; iteration < 6000; ++iteration) {
    const std::string text =
        testing_support::Mutate(seeds[iteration % seeds.size()], alphabet, rng);
    const std::vector<size_t> sizes = {1 + rng() % 9, 1 + rng() % 200};
    SCOPED_TRACE(testing::PrintToString(text));
    for (const RegTextRules rules : {RegTextRules::Editor, RegTextRules::Backup}) {
      SCOPED_TRACE(rules == RegTextRules::Backup ? "backup rules" : "editor rules");
      const Parsed whole = ParseText(text, rules);
      const Parsed chunked = ParseStream(text, rules, sizes);
      ASSERT_EQ(chunked.ok, whole.ok) << whole.error << " / " << chunked.error;
      EXPECT_EQ(chunked.error, whole.error);
      ASSERT_EQ(chunked.document.blocks, whole.document.blocks);
      if (whole.ok) {
        EXPECT_EQ(chunked.document.format, whole.document.format);
      }

      // The same text as UTF-16: the same lines reach the parser.
      std::string utf8;
      ASSERT_TRUE(DecodeRegFileBytes(text, utf8));
      const Parsed wide = ParseStream(Utf16File(utf8), rules, sizes);
      ASSERT_EQ(wide.ok, whole.ok) << wide.error;
      ASSERT_EQ(wide.document.blocks, whole.document.blocks);
    }
    const Parsed editor = ParseText(text, RegTextRules::Editor);
    const Parsed backup = ParseText(text, RegTextRules::Backup);
    if (backup.ok) {
      ++accepted;
      ASSERT_TRUE(editor.ok);
      ASSERT_EQ(backup.document.blocks, editor.document.blocks);
    } else {
      ++refused;
      ASSERT_EQ(backup.error.rfind("line ", 0), 0u) << backup.error;
      if (editor.ok) ++editorOnly;
    }
  }
  // Each outcome must really occur, or the mutations test nothing.
  EXPECT_GT(accepted, 300u);
  EXPECT_GT(refused, 300u);
  EXPECT_GT(editorOnly, 100u) << "files only the editor's rules read";
}

}  // namespace
}  // namespace tallowin::platform
