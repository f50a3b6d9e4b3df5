#pragma once
// .reg text as the registry editor imports and exports it: "REGEDIT4" and
// "Windows Registry Editor Version 5.00". Parsing is strict and all-or-nothing:
// either the whole document or an error naming the line, said in the wording given
// (English, unless a window reads the file).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/wording.h"

namespace tallowin::platform {

enum class RegTextFormat { Regedit4, Version5 };

struct RegTextValue {
  std::string name;     // empty: the default value (@)
  bool remove = false;  // "name"=-
  uint32_t type = kRegNone;
  // Registry bytes as the wide functions read them after an import: a quoted string, and
  // the hex(1), hex(2) and hex(7) bytes of a REGEDIT4 file (which are ANSI text), become
  // UTF-16LE; a quoted string gains its terminating NUL.
  std::string data;
  bool operator==(const RegTextValue&) const = default;
};

struct RegTextBlock {
  Root root = Root::CurrentUser;
  std::string path;     // UTF-8, below the root, no leading or trailing backslash; "" = the root
  bool remove = false;  // [-key]: the key and its whole sub-tree
  std::vector<RegTextValue> values;
  bool operator==(const RegTextBlock&) const = default;
};

struct RegTextDocument {
  RegTextFormat format = RegTextFormat::Regedit4;
  std::vector<RegTextBlock> blocks;
};

// Limits as the registry has them (in UTF-16 units); deeper or longer names are
// rejected as malformed.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxValueNameLength = 16383;
// The longest line a backup may hold and a restore reads, in bytes of the file. The
// backup writer never writes a longer one; a longer line marks a file as no backup.
inline constexpr size_t kMaxRegLineBytes = 128u << 20;
// The most data one value may hold (as the registry stores it: strings as UTF-16). A
// quoted string on the longest line stays below it, a hex list continued over many lines
// is held to it, and the backup writer writes no larger value: a restore holds one value
// about three times while it checks it.
inline constexpr size_t kMaxRegValueBytes = 2 * kMaxRegLineBytes;

// What a parse accepts.
enum class RegTextRules {
  // What the registry editor imports: also a byte of one hex digit, a NUL character
  // inside a line, and a last line without its line end.
  Editor,
  // Only what the backup writer writes, so that a file cut short inside a line (and
  // a line the editor would read otherwise than this parser) is refused.
  Backup,
};

// The grammar of .reg text, fed one line at a time: ParseRegText and the restore's
// reading of a file in chunks share it. Holds one key line and one value at a time.
class RegLineParser {
 public:
  enum class Item { None, Key, Value };

  explicit RegLineParser(RegTextRules rules = RegTextRules::Editor,
                         const AnsiCodePage& ansi = Windows1252(),
                         const Wording& words = English());

  // The next line, UTF-8 without its line end (LF or CR LF). `item` is what the line
  // completed: a key line (key()), a value (value(); a hex list continued with "\"
  // completes on its last line), or nothing. False on a malformed line, with error()
  // "line N: ..."; every later call fails too.
  [[nodiscard]] bool Feed(std::string_view line, Item& item);
  // The end of the text; `lastLineEnded` says the last line had its line end.
  [[nodiscard]] bool Finish(bool lastLineEnded);

  RegTextFormat format() const { return format_; }
  // The key line read last; its `values` stay empty.
  const RegTextBlock& key() const { return key_; }
  // The value Feed completed; the caller may move its data away.
  RegTextValue& value() { return value_; }
  const std::string& error() const { return error_; }
  // The wording of error(); the file reader says its own errors in it too.
  const Wording& words() const { return *words_; }
  size_t lines() const { return lines_; }
  // The last line that was not blank, trimmed, when it is a comment (";...") of at most
  // 64 bytes; empty otherwise. Shows how a file ends.
  const std::string& lastComment() const { return lastComment_; }

 private:
  bool Fail(Phrase phrase, std::string_view value = {});
  bool ParseHeader(std::string_view line);
  bool ParseKeyLine(std::string_view line);
  bool ParseQuoted(std::string_view line, size_t& pos, std::string* text, std::string* utf16);
  bool ExpectEnd(std::string_view line, size_t pos);
  bool ParseValueLine(std::string_view line, Item& item);
  bool ParseDword(std::string_view digits);
  bool ParseHexPart(std::string_view part, Item& item);
  bool FinishHexList(Item& item);

  RegTextRules rules_;
  const AnsiCodePage& ansi_;
  const Wording* words_;
  RegTextFormat format_ = RegTextFormat::Regedit4;
  size_t lines_ = 0;
  bool failed_ = false;
  bool haveKey_ = false;
  bool continued_ = false;   // the hex list goes on in the next line
  bool expectByte_ = false;  // after a comma another byte must follow
  bool anyByte_ = false;
  RegTextBlock key_;
  RegTextValue value_;
  std::string error_;
  std::string lastComment_;
};

// The file's bytes as UTF-8 text. A UTF-16LE file (FF FE byte order mark) converts
// exactly; any other file is text in the ANSI code page, and a byte that is no
// character there is an error rather than a lossy replacement, so that a parsed backup
// never silently differs from the file.
[[nodiscard]] bool DecodeRegFileBytes(std::string_view bytes, std::string& text,
                                      std::string* error = nullptr,
                                      const AnsiCodePage& ansi = Windows1252(),
                                      const Wording& words = English());

// UTF-8 text as the bytes of a file of that format: REGEDIT4 in the ANSI code page
// (false when a character does not fit it exactly), Version 5 as UTF-16LE with its
// byte order mark.
[[nodiscard]] bool EncodeRegFileText(std::string_view text, RegTextFormat format,
                                     std::string& bytes,
                                     const AnsiCodePage& ansi = Windows1252());

// Parses decoded text. Lines end with CR LF or LF. On failure `document` is untouched
// and `error` says "line N: ...". `ansi` turns the string bytes of a REGEDIT4 file's
// hex(1), hex(2) and hex(7) values into registry text, as the registry editor does.
[[nodiscard]] bool ParseRegText(std::string_view text, RegTextDocument& document,
                                std::string* error = nullptr,
                                const AnsiCodePage& ansi = Windows1252(),
                                RegTextRules rules = RegTextRules::Editor,
                                const Wording& words = English());

// Version 5 style text (or REGEDIT4 header), UTF-8: CR LF line ends, each block preceded
// by an empty line. Strings that survive a round trip as quoted text are quoted; DWORDs
// of four bytes are dword:; REG_BINARY is hex:; anything else is hex(N): with the raw
// bytes (for REGEDIT4, string types as Windows-1252 bytes where they fit).
std::string WriteRegText(const std::vector<RegTextBlock>& blocks,
                         RegTextFormat format = RegTextFormat::Version5);

// The UTF-16 string data of a value as the single line of a quoted string: its text
// when the data is that text plus one terminating NUL, with no other NUL and no line
// break inside. False otherwise.
bool QuotedFormOf(std::string_view data, std::string& text);

}  // namespace tallowin::platform
