#pragma once
// .reg text as the registry editor imports and exports it: "REGEDIT4" and
// "Windows Registry Editor Version 5.00". Parsing is strict and all-or-nothing:
// either the whole document or an error naming the line.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace tallowin::platform {

enum class RegTextFormat { Regedit4, Version5 };

struct RegTextValue {
  std::string name;     // empty: the default value (@)
  bool remove = false;  // "name"=-
  uint32_t type = kRegNone;
  std::string data;     // raw bytes; a quoted string is stored with its terminating NUL
  bool operator==(const RegTextValue&) const = default;
};

struct RegTextBlock {
  Root root = Root::CurrentUser;
  std::string path;     // below the root, no leading or trailing backslash; "" = the root
  bool remove = false;  // [-key]: the key and its whole sub-tree
  std::vector<RegTextValue> values;
  bool operator==(const RegTextBlock&) const = default;
};

struct RegTextDocument {
  RegTextFormat format = RegTextFormat::Regedit4;
  std::vector<RegTextBlock> blocks;
};

// Limits as the registry has them; deeper or longer names are rejected as malformed.
inline constexpr size_t kMaxKeyNameLength = 255;
inline constexpr size_t kMaxKeyDepth = 512;
inline constexpr size_t kMaxValueNameLength = 16383;

// The file's bytes as 8-bit text. A UTF-16LE file (FF FE byte order mark) is narrowed;
// a character above U+00FF is an error rather than a lossy replacement, so that a
// parsed backup never silently differs from the file. Other bytes pass unchanged.
[[nodiscard]] bool DecodeRegFileBytes(std::string_view bytes, std::string& text,
                                      std::string* error = nullptr);

// Parses decoded text. Lines end with CR LF or LF. On failure `document` is untouched
// and `error` says "line N: ...".
[[nodiscard]] bool ParseRegText(std::string_view text, RegTextDocument& document,
                                std::string* error = nullptr);

// Version 5 style text (or REGEDIT4 header): CR LF line ends, each block preceded by an
// empty line. Strings that survive a round trip as quoted text are quoted; DWORDs of four
// bytes are dword:; REG_BINARY is hex:; anything else is hex(N): with the raw bytes.
std::string WriteRegText(const std::vector<RegTextBlock>& blocks,
                         RegTextFormat format = RegTextFormat::Version5);

}  // namespace tallowin::platform
