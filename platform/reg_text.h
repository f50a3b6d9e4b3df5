#pragma once
// .reg text as the registry editor imports and exports it: "REGEDIT4" and
// "Windows Registry Editor Version 5.00". Parsing is strict and all-or-nothing:
// either the whole document or an error naming the line.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

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

// The file's bytes as UTF-8 text. A UTF-16LE file (FF FE byte order mark) converts
// exactly; any other file is text in the ANSI code page, and a byte that is no
// character there is an error rather than a lossy replacement, so that a parsed backup
// never silently differs from the file.
[[nodiscard]] bool DecodeRegFileBytes(std::string_view bytes, std::string& text,
                                      std::string* error = nullptr,
                                      const AnsiCodePage& ansi = Windows1252());

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
                                const AnsiCodePage& ansi = Windows1252());

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
