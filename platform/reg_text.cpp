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

// What decoding refuses is the file as a whole: it names the first line.
bool Fail(std::string* error, const Wording& words, Phrase phrase) {
  if (error) *error = words.Say(Phrase::RegLine, {"1", words[phrase]});
  return false;
}

bool IsStringType(uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

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

RegLineParser::RegLineParser(RegTextRules rules, const AnsiCodePage& ansi, const Wording& words)
    : rules_(rules), ansi_(ansi), words_(&words) {}

// "line N: " and the phrase, with `value` for its "%1".
bool RegLineParser::Fail(Phrase phrase, std::string_view value) {
  failed_ = true;
  error_ = words_->Say(Phrase::RegLine,
                       {std::to_string(lines_ == 0 ? 1 : lines_), words_->Say(phrase, {value})});
  return false;
}

bool RegLineParser::Feed(std::string_view line, Item& item) {
  item = Item::None;
  if (failed_) return false;
  ++lines_;
  if (lines_ == 1) return ParseHeader(line);
  // The registry editor reads a line only up to a NUL character.
  if (rules_ == RegTextRules::Backup && line.find('\0') != std::string_view::npos)
    return Fail(Phrase::RegNulCharacter);
  const std::string_view trimmed = TrimRight(TrimLeft(line));
  if (!trimmed.empty()) {
    const bool comment = !continued_ && trimmed.front() == ';' && trimmed.size() <= 64;
    lastComment_.assign(comment ? trimmed : std::string_view());
  }
  if (continued_) return ParseHexPart(TrimLeft(line), item);
  line = trimmed;
  if (line.empty() || line.front() == ';') return true;
  if (line.front() == '[') {
    if (!ParseKeyLine(line)) return false;
    item = Item::Key;
    return true;
  }
  if (line.front() == '@' || line.front() == '"') {
    if (!haveKey_) return Fail(Phrase::RegValueBeforeKey);
    if (key_.remove) return Fail(Phrase::RegValueBelowDeletedKey);
    return ParseValueLine(line, item);
  }
  return Fail(Phrase::RegUnrecognisedLine);
}

bool RegLineParser::Finish(bool lastLineEnded) {
  if (failed_) return false;
  if (lines_ == 0) return Fail(Phrase::RegNotRegistryFile);
  if (continued_) return Fail(Phrase::RegContinuedAtEnd);
  if (rules_ == RegTextRules::Backup && !lastLineEnded)
    return Fail(Phrase::RegNoLineEnd);
  return true;
}

bool RegLineParser::ParseHeader(std::string_view line) {
  const std::string_view header = TrimRight(line);
  if (header == kHeader4) {
    format_ = RegTextFormat::Regedit4;
  } else if (header == kHeader5) {
    format_ = RegTextFormat::Version5;
  } else {
    return Fail(Phrase::RegNotRegistryFile);
  }
  return true;
}

bool RegLineParser::ParseKeyLine(std::string_view line) {
  const size_t close = line.rfind(']');
  if (close == std::string_view::npos) return Fail(Phrase::RegKeyLineUnclosed);
  if (close + 1 != line.size()) return Fail(Phrase::RegTextAfterBracket);
  std::string_view name = line.substr(1, close - 1);
  bool remove = false;
  if (!name.empty() && name.front() == '-') {
    remove = true;
    name.remove_prefix(1);
  }
  const size_t slash = name.find('\\');
  const std::string_view rootName = name.substr(0, slash);
  const auto root = RootFromName(rootName);
  if (!root) return Fail(Phrase::RegUnknownRoot, rootName);
  std::string_view path = slash == std::string_view::npos ? std::string_view() : name.substr(slash + 1);
  if (!path.empty() && path.back() == '\\') path.remove_suffix(1);
  if (!path.empty()) {
    size_t depth = 0;
    size_t start = 0;
    while (true) {
      const size_t end = std::min(path.find('\\', start), path.size());
      const size_t length = end - start;
      if (length == 0) return Fail(Phrase::RegEmptyKeyName);
      if (length > kMaxKeyNameLength && Utf16Length(path.substr(start, length)) > kMaxKeyNameLength)
        return Fail(Phrase::RegKeyNameTooLong);
      if (++depth > kMaxKeyDepth) return Fail(Phrase::RegKeyPathTooDeep);
      if (end == path.size()) break;
      start = end + 1;
    }
  }
  if (remove && path.empty()) return Fail(Phrase::RegRootNotDeletable);
  key_.root = *root;
  key_.path.assign(path);
  key_.remove = remove;
  haveKey_ = true;
  return true;
}

// A double-quoted text with \\ and \" escapes, starting at line[pos] == '"': as UTF-8
// into `text`, or as UTF-16LE bytes into `utf16` (a value's data is converted run by run,
// never copied whole).
bool RegLineParser::ParseQuoted(std::string_view line, size_t& pos, std::string* text,
                                std::string* utf16) {
  size_t run = ++pos;
  const auto flush = [&](size_t end) {
    const std::string_view part = line.substr(run, end - run);
    if (text) {
      text->append(part);
    } else {
      AppendUtf16Le(part, *utf16);
    }
  };
  for (;;) {
    while (pos < line.size() && line[pos] != '"' && line[pos] != '\\') ++pos;
    if (pos >= line.size()) break;
    const char c = line[pos];
    if (c == '"') {
      flush(pos);
      ++pos;
      return true;
    }
    if (c == '\\') {
      flush(pos);
      if (++pos >= line.size()) break;
      if (line[pos] != '\\' && line[pos] != '"')
        return Fail(Phrase::RegUnknownEscape, line.substr(pos, 1));
      run = pos++;  // the escaped character begins the next run
    }
  }
  return Fail(Phrase::RegUnterminatedQuote);
}

bool RegLineParser::ExpectEnd(std::string_view line, size_t pos) {
  if (!TrimLeft(line.substr(pos)).empty()) return Fail(Phrase::RegTextAfterValue);
  return true;
}

bool RegLineParser::ParseValueLine(std::string_view line, Item& item) {
  value_ = RegTextValue();
  size_t pos = 0;
  if (line.front() == '@') {
    pos = 1;
  } else if (!ParseQuoted(line, pos, &value_.name, nullptr)) {
    return false;
  }
  if (value_.name.size() > kMaxValueNameLength && Utf16Length(value_.name) > kMaxValueNameLength)
    return Fail(Phrase::RegValueNameTooLong);
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  if (pos >= line.size() || line[pos] != '=') return Fail(Phrase::RegMissingEquals);
  ++pos;
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  const std::string_view rest = line.substr(pos);
  if (!rest.empty() && rest.front() == '-') {
    value_.remove = true;
    if (!ExpectEnd(line, pos + 1)) return false;
    item = Item::Value;
    return true;
  }
  if (!rest.empty() && rest.front() == '"') {
    if (!ParseQuoted(line, pos, nullptr, &value_.data)) return false;
    value_.data.append(2, '\0');
    value_.type = kRegSz;
    if (!ExpectEnd(line, pos)) return false;
    item = Item::Value;
    return true;
  }
  if (StartsWithNoCase(rest, "dword:")) {
    if (!ParseDword(rest.substr(6))) return false;
    item = Item::Value;
    return true;
  }
  expectByte_ = false;
  anyByte_ = false;
  if (StartsWithNoCase(rest, "hex:")) {
    value_.type = kRegBinary;
    return ParseHexPart(rest.substr(4), item);
  }
  if (StartsWithNoCase(rest, "hex(")) {
    const size_t close = rest.find(')');
    if (close == std::string_view::npos || close == 4 || close > 12 || close + 1 >= rest.size() ||
        rest[close + 1] != ':')
      return Fail(Phrase::RegMalformedHexType);
    uint32_t type = 0;
    for (char c : rest.substr(4, close - 4)) {
      const int d = HexDigit(c);
      if (d < 0) return Fail(Phrase::RegBadHexTypeDigit);
      type = type * 16 + static_cast<uint32_t>(d);
    }
    value_.type = type;
    return ParseHexPart(rest.substr(close + 2), item);
  }
  return Fail(Phrase::RegUnrecognisedData);
}

bool RegLineParser::ParseDword(std::string_view digits) {
  digits = TrimRight(digits);
  if (digits.empty()) return Fail(Phrase::RegDwordNoDigits);
  if (digits.size() > 8) return Fail(Phrase::RegDwordTooLong);
  uint32_t number = 0;
  for (char c : digits) {
    const int d = HexDigit(c);
    if (d < 0) return Fail(Phrase::RegBadDwordDigit);
    number = number * 16 + static_cast<uint32_t>(d);
  }
  value_.type = kRegDword;
  value_.data.clear();
  for (int i = 0; i < 4; ++i) value_.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
  return true;
}

// Comma-separated bytes; a trailing backslash continues the list on the next line,
// which may be indented.
bool RegLineParser::ParseHexPart(std::string_view part, Item& item) {
  part = TrimRight(part);
  continued_ = !part.empty() && part.back() == '\\';
  if (continued_) part = TrimRight(part.substr(0, part.size() - 1));
  std::string& bytes = value_.data;
  size_t pos = 0;
  while (true) {
    while (pos < part.size() && IsBlank(part[pos])) ++pos;
    if (pos >= part.size()) break;
    if (anyByte_ && !expectByte_) {
      if (part[pos] != ',') return Fail(Phrase::RegMissingComma);
      ++pos;
      expectByte_ = true;
      continue;
    }
    int digits = 0;
    int byte = 0;
    while (pos < part.size() && digits < 3 && !IsBlank(part[pos]) && part[pos] != ',') {
      const int d = HexDigit(part[pos]);
      if (d < 0) return Fail(Phrase::RegBadHexDigit);
      byte = byte * 16 + d;
      ++digits;
      ++pos;
    }
    if (digits == 0) return Fail(Phrase::RegMissingByte);
    if (digits > 2) return Fail(Phrase::RegByteTooLong);
    if (digits == 1 && rules_ == RegTextRules::Backup)
      return Fail(Phrase::RegOneDigitByte);
    if (bytes.size() >= kMaxRegValueBytes)
      return Fail(Phrase::RegValueTooLong, std::to_string(kMaxRegValueBytes));
    bytes.push_back(static_cast<char>(byte));
    anyByte_ = true;
    expectByte_ = false;
  }
  if (continued_) return true;
  if (expectByte_) return Fail(Phrase::RegMissingLastByte);
  if (format_ == RegTextFormat::Regedit4 && IsStringType(value_.type)) {
    // The registry editor reads these bytes as ANSI text and stores them as UTF-16.
    std::string text;
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; })) {
      text.swap(bytes);  // ASCII is the same in every ANSI code page: no conversion
    } else if (!ansi_.ToUtf8(bytes, text)) {
      return Fail(Phrase::RegStringBytesNotAnsi);
    }
    std::string().swap(bytes);
    AppendUtf16Le(text, bytes);
    if (bytes.size() > kMaxRegValueBytes)
      return Fail(Phrase::RegValueTooLong, std::to_string(kMaxRegValueBytes));
  }
  item = Item::Value;
  return true;
}

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
                        const AnsiCodePage& ansi, const Wording& words) {
  if (bytes.size() < 2 || static_cast<unsigned char>(bytes[0]) != 0xFF ||
      static_cast<unsigned char>(bytes[1]) != 0xFE) {
    if (!ansi.ToUtf8(bytes, text))
      return Fail(error, words, Phrase::RegBytesNotAnsi);
    return true;
  }
  if (bytes.size() % 2 != 0) return Fail(error, words, Phrase::RegOddUtf16);
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
                  const AnsiCodePage& ansi, RegTextRules rules, const Wording& words) {
  RegLineParser parser(rules, ansi, words);
  RegTextDocument doc;
  bool ended = true;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    ended = end != std::string_view::npos;
    if (!ended) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    RegLineParser::Item item;
    if (!parser.Feed(line, item)) break;
    if (item == RegLineParser::Item::Key) {
      doc.blocks.push_back(parser.key());
    } else if (item == RegLineParser::Item::Value) {
      doc.blocks.back().values.push_back(std::move(parser.value()));
    }
    start = end + 1;
  }
  if (!parser.Finish(ended)) {
    if (error) *error = parser.error();
    return false;
  }
  doc.format = parser.format();
  document = std::move(doc);
  return true;
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
