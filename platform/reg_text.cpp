#include "platform/reg_text.h"

#include <algorithm>
#include <optional>

#include "platform/text.h"

namespace tallowin::platform {

namespace {

constexpr std::string_view kHeader4 = "REGEDIT4";
constexpr std::string_view kHeader5 = "Windows Registry Editor Version 5.00";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool Fail(std::string* error, size_t line, const std::string& message) {
  if (error) *error = "line " + std::to_string(line) + ": " + message;
  return false;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool IsStringType(uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

size_t Utf16Length(std::string_view text) { return Utf8ToUtf16(text).size(); }

class Parser {
 public:
  Parser(std::string_view text, std::string* error, const AnsiCodePage& ansi)
      : lines_(SplitLines(text)), error_(error), ansi_(ansi) {}

  bool Run(RegTextDocument& out) {
    RegTextDocument doc;
    const std::string_view header = TrimRight(lines_.empty() ? std::string_view() : lines_[0]);
    if (header == kHeader4) {
      doc.format = RegTextFormat::Regedit4;
    } else if (header == kHeader5) {
      doc.format = RegTextFormat::Version5;
    } else {
      return Fail(error_, 1, "not a registry file: the first line must be \"REGEDIT4\" or \"" +
                                 std::string(kHeader5) + "\"");
    }
    for (index_ = 1; index_ < lines_.size(); ++index_) {
      const std::string_view line = TrimRight(TrimLeft(lines_[index_]));
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[') {
        RegTextBlock block;
        if (!ParseKeyLine(line, block)) return false;
        doc.blocks.push_back(std::move(block));
      } else if (line.front() == '@' || line.front() == '"') {
        if (doc.blocks.empty()) return Fail(error_, LineNo(), "value line before any key line");
        RegTextBlock& block = doc.blocks.back();
        if (block.remove) return Fail(error_, LineNo(), "value line below a deleted key");
        RegTextValue value;
        if (!ParseValueLine(line, value, doc.format)) return false;
        block.values.push_back(std::move(value));
      } else {
        return Fail(error_, LineNo(), "unrecognised line");
      }
    }
    out = std::move(doc);
    return true;
  }

 private:
  size_t LineNo() const { return index_ + 1; }

  bool ParseKeyLine(std::string_view line, RegTextBlock& block) {
    const size_t close = line.rfind(']');
    if (close == std::string_view::npos) return Fail(error_, LineNo(), "key line without ']'");
    if (close + 1 != line.size()) return Fail(error_, LineNo(), "text after ']'");
    std::string_view name = line.substr(1, close - 1);
    if (!name.empty() && name.front() == '-') {
      block.remove = true;
      name.remove_prefix(1);
    }
    const size_t slash = name.find('\\');
    const std::string_view rootName = name.substr(0, slash);
    const auto root = RootFromName(rootName);
    if (!root) return Fail(error_, LineNo(), "unknown root key \"" + std::string(rootName) + "\"");
    block.root = *root;
    std::string_view path = slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
    if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
    if (!path.empty()) {
      size_t depth = 0;
      size_t start = 0;
      while (true) {
        const size_t end = std::min(path.find('\\', start), path.size());
        const size_t length = end - start;
        if (length == 0) return Fail(error_, LineNo(), "empty key name in path");
        if (length > kMaxKeyNameLength && Utf16Length(path.substr(start, length)) > kMaxKeyNameLength)
          return Fail(error_, LineNo(), "key name too long");
        if (++depth > kMaxKeyDepth) return Fail(error_, LineNo(), "key path too deep");
        if (end == path.size()) break;
        start = end + 1;
      }
    }
    if (block.remove && path.empty()) return Fail(error_, LineNo(), "a root key cannot be deleted");
    block.path = std::string(path);
    return true;
  }

  // A double-quoted text with \\ and \" escapes, starting at line[pos] == '"'.
  bool ParseQuoted(std::string_view line, size_t& pos, std::string& text) {
    for (++pos; pos < line.size(); ++pos) {
      const char c = line[pos];
      if (c == '"') {
        ++pos;
        return true;
      }
      if (c == '\\') {
        if (++pos >= line.size()) break;
        if (line[pos] != '\\' && line[pos] != '"')
          return Fail(error_, LineNo(), std::string("unknown escape \\") + line[pos]);
      }
      text += line[pos];
    }
    return Fail(error_, LineNo(), "unterminated quoted text");
  }

  bool ExpectEnd(std::string_view line, size_t pos) {
    if (!TrimLeft(line.substr(pos)).empty()) return Fail(error_, LineNo(), "text after the value");
    return true;
  }

  bool ParseValueLine(std::string_view line, RegTextValue& value, RegTextFormat format) {
    size_t pos = 0;
    if (line.front() == '@') {
      pos = 1;
    } else if (!ParseQuoted(line, pos, value.name)) {
      return false;
    }
    if (value.name.size() > kMaxValueNameLength && Utf16Length(value.name) > kMaxValueNameLength)
      return Fail(error_, LineNo(), "value name too long");
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos >= line.size() || line[pos] != '=') return Fail(error_, LineNo(), "missing '=' after the value name");
    ++pos;
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    const std::string_view rest = line.substr(pos);
    if (!rest.empty() && rest.front() == '-') {
      value.remove = true;
      return ExpectEnd(line, pos + 1);
    }
    if (!rest.empty() && rest.front() == '"') {
      std::string text;
      if (!ParseQuoted(line, pos, text)) return false;
      value.type = kRegSz;
      value.data = RegStringData(text);
      return ExpectEnd(line, pos);
    }
    if (StartsWithNoCase(rest, "dword:")) return ParseDword(rest.substr(6), value);
    if (StartsWithNoCase(rest, "hex:")) {
      value.type = kRegBinary;
      return ParseHexList(rest.substr(4), value.data);
    }
    if (StartsWithNoCase(rest, "hex(")) {
      const size_t close = rest.find(')');
      if (close == std::string_view::npos || close == 4 || close > 12 || close + 1 >= rest.size() ||
          rest[close + 1] != ':')
        return Fail(error_, LineNo(), "malformed hex(N): type");
      uint32_t type = 0;
      for (char c : rest.substr(4, close - 4)) {
        const int d = HexDigit(c);
        if (d < 0) return Fail(error_, LineNo(), "bad hex digit in hex(N): type");
        type = type * 16 + static_cast<uint32_t>(d);
      }
      value.type = type;
      if (!ParseHexList(rest.substr(close + 2), value.data)) return false;
      if (format == RegTextFormat::Regedit4 && IsStringType(type)) {
        // The registry editor reads these bytes as ANSI text and stores them as UTF-16.
        std::string text;
        if (!ansi_.ToUtf8(value.data, text))
          return Fail(error_, LineNo(), "string bytes that are no text in the ANSI code page");
        value.data = Utf16LeBytes(Utf8ToUtf16(text));
      }
      return true;
    }
    return Fail(error_, LineNo(), "unrecognised value data");
  }

  bool ParseDword(std::string_view digits, RegTextValue& value) {
    digits = TrimRight(digits);
    if (digits.empty()) return Fail(error_, LineNo(), "dword without digits");
    if (digits.size() > 8) return Fail(error_, LineNo(), "dword longer than 8 hex digits");
    uint32_t number = 0;
    for (char c : digits) {
      const int d = HexDigit(c);
      if (d < 0) return Fail(error_, LineNo(), "bad hex digit in dword");
      number = number * 16 + static_cast<uint32_t>(d);
    }
    value.type = kRegDword;
    value.data.clear();
    for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
    return true;
  }

  // Comma-separated bytes of one or two hex digits; a trailing backslash continues the
  // list on the next line, which may be indented.
  bool ParseHexList(std::string_view first, std::string& bytes) {
    std::string_view part = TrimRight(first);
    bool expectByte = false;  // after a comma another byte must follow
    bool any = false;
    while (true) {
      bool continued = false;
      if (!part.empty() && part.back() == '\\') {
        continued = true;
        part = TrimRight(part.substr(0, part.size() - 1));
      }
      size_t pos = 0;
      while (true) {
        while (pos < part.size() && IsBlank(part[pos])) ++pos;
        if (pos >= part.size()) break;
        if (any && !expectByte) {
          if (part[pos] != ',') return Fail(error_, LineNo(), "missing ',' between bytes");
          ++pos;
          expectByte = true;
          continue;
        }
        int digits = 0;
        int byte = 0;
        while (pos < part.size() && digits < 3 && !IsBlank(part[pos]) && part[pos] != ',') {
          const int d = HexDigit(part[pos]);
          if (d < 0) return Fail(error_, LineNo(), "bad hex digit");
          byte = byte * 16 + d;
          ++digits;
          ++pos;
        }
        if (digits == 0) return Fail(error_, LineNo(), "missing byte before ','");
        if (digits > 2) return Fail(error_, LineNo(), "byte longer than 2 hex digits");
        bytes.push_back(static_cast<char>(byte));
        any = true;
        expectByte = false;
      }
      if (!continued) break;
      if (index_ + 1 >= lines_.size()) return Fail(error_, LineNo(), "continued line at end of file");
      ++index_;
      part = TrimRight(TrimLeft(lines_[index_]));
    }
    if (expectByte) return Fail(error_, LineNo(), "missing byte after ','");
    return true;
  }

  std::vector<std::string_view> lines_;
  std::string* error_;
  const AnsiCodePage& ansi_;
  size_t index_ = 0;
};

constexpr char kHexLower[] = "0123456789abcdef";
constexpr char kHexUpper[] = "0123456789ABCDEF";

std::string Escape(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out;
}

}  // namespace

bool QuotedFormOf(std::string_view data, std::string& text) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::u16string units = Utf16FromLeBytes(data);
  if (units.back() != u'\0') return false;
  const std::u16string_view body(units.data(), units.size() - 1);
  if (body.find_first_of(std::u16string_view(u"\0\r\n", 3)) != std::u16string_view::npos)
    return false;
  text = Utf16ToUtf8(body);
  return true;
}

bool DecodeRegFileBytes(std::string_view bytes, std::string& text, std::string* error,
                        const AnsiCodePage& ansi) {
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
      static_cast<unsigned char>(bytes[1]) != 0xFE) {
    if (!ansi.ToUtf8(bytes, text))
      return Fail(error, 1, "bytes that are no text in the ANSI code page");
    return true;
  }
  if (bytes.size() % 2 != 0) return Fail(error, 1, "UTF-16 file with an odd number of bytes");
  text = Utf16ToUtf8(Utf16FromLeBytes(bytes.substr(2)));
  return true;
}

bool EncodeRegFileText(std::string_view text, RegTextFormat format, std::string& bytes,
                       const AnsiCodePage& ansi) {
  if (format == RegTextFormat::Regedit4) return ansi.FromUtf8(text, bytes);
  bytes = "\xFF\xFE" + Utf16LeBytes(Utf8ToUtf16(text));
  return true;
}

bool ParseRegText(std::string_view text, RegTextDocument& document, std::string* error,
                  const AnsiCodePage& ansi) {
  return Parser(text, error, ansi).Run(document);
}

std::string WriteRegText(const std::vector<RegTextBlock>& blocks, RegTextFormat format) {
  const bool v5 = format == RegTextFormat::Version5;
  const char* hex = v5 ? kHexLower : kHexUpper;
  std::string out(v5 ? kHeader5 : kHeader4);
  out += "\r\n";
  for (const RegTextBlock& block : blocks) {
    out += "\r\n[";
    if (block.remove) out += '-';
    out += RootName(block.root);
    if (!block.path.empty()) out += "\\" + block.path;
    out += "]\r\n";
    for (const RegTextValue& value : block.values) {
      std::string line = value.name.empty() ? "@=" : "\"" + Escape(value.name) + "\"=";
      if (value.remove) {
        out += line + "-\r\n";
        continue;
      }
      std::string quoted;
      if (value.type == kRegSz && QuotedFormOf(value.data, quoted)) {
        out += line + "\"" + Escape(quoted) + "\"\r\n";
        continue;
      }
      if (value.type == kRegDword && value.data.size() == 4) {
        uint32_t n = 0;
        for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(value.data[i]);
        line += "dword:";
        for (int shift = 28; shift >= 0; shift -= 4) line += hex[(n >> shift) & 0xF];
        out += line + "\r\n";
        continue;
      }
      if (value.type == kRegBinary) {
        line += "hex:";
      } else {
        std::string digits;
        uint32_t t = value.type;
        do {
          digits.insert(digits.begin(), hex[t & 0xF]);
          t >>= 4;
        } while (t != 0);
        line += "hex(" + digits + "):";
      }
      std::string bytes = value.data;
      if (!v5 && IsStringType(value.type) && value.data.size() % 2 == 0) {
        std::string ansi;
        if (Windows1252().FromUtf8(Utf16ToUtf8(Utf16FromLeBytes(value.data)), ansi))
          bytes = std::move(ansi);
      }
      for (size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        line += hex[b >> 4];
        line += hex[b & 0xF];
        if (i + 1 < bytes.size()) {
          line += ',';
          if (line.size() >= 76) {
            out += line + "\\\r\n";
            line = "  ";
          }
        }
      }
      out += line + "\r\n";
    }
  }
  return out;
}

}  // namespace tallowin::platform
