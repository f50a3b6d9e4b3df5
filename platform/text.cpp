#include "platform/text.h"

namespace tallowin {

namespace {
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = Upper(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (Upper(a[i]) != Upper(b[i])) return false;
  return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

size_t FindNoCase(std::string_view text, std::string_view part) {
  if (part.size() > text.size()) return 0;
  for (size_t i = 0; i + part.size() <= text.size(); ++i)
    if (EqualsNoCase(text.substr(i, part.size()), part)) return i + 1;
  return 0;
}

bool ContainsNoCase(std::string_view text, std::string_view part) {
  return part.empty() || FindNoCase(text, part) != 0;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  const size_t n = a.size() < b.size() ? a.size() : b.size();
  for (size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(Upper(a[i]));
    const unsigned char y = static_cast<unsigned char>(Upper(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace tallowin

namespace tallowin {

namespace {

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Windows-1252 bytes 0x80..0x9F; the five undefined ones map to the C1 controls, as
// MultiByteToWideChar maps them.
constexpr char16_t k1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

class CodePage1252 final : public AnsiCodePage {
 public:
  bool FromUtf8(std::string_view utf8, std::string& ansi) const override {
    std::string out;
    out.reserve(utf8.size());
    for (char16_t unit : Utf8ToUtf16(utf8)) {
      if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        out += static_cast<char>(unit);
        continue;
      }
      int found = -1;
      for (int i = 0; i < 32; ++i)
        if (k1252High[i] == unit) found = i;
      if (found < 0) return false;
      out += static_cast<char>(0x80 + found);
    }
    // U+FFFD stands for bytes that were no UTF-8; such text has no exact ANSI form.
    if (utf8.find("\xEF\xBF\xBD") != std::string_view::npos) return false;
    ansi = std::move(out);
    return true;
  }

  bool ToUtf8(std::string_view ansi, std::string& utf8) const override {
    std::string out;
    out.reserve(ansi.size());
    for (char c : ansi) {
      const auto byte = static_cast<unsigned char>(c);
      AppendUtf8(byte >= 0x80 && byte < 0xA0 ? k1252High[byte - 0x80] : byte, out);
    }
    utf8 = std::move(out);
    return true;
  }
};

}  // namespace

namespace {

// Hands each UTF-16 code unit of the UTF-8 text to `emit`.
template <typename Emit>
void DecodeUtf8(std::string_view text, Emit emit) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    if (lead < 0x80) {
      emit(static_cast<char16_t>(lead));
      ++i;
      continue;
    }
    size_t length = 0;
    char32_t c = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      c = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      c = lead & 0x07;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (next & 0x3F);
    }
    // Overlong forms and values past U+10FFFF are no UTF-8; surrogates (three bytes)
    // are the generalised form of an unpaired one and are kept.
    if (valid && ((length == 3 && c < 0x800) || (length == 4 && (c < 0x10000 || c > 0x10FFFF))))
      valid = false;
    if (!valid) {
      emit(u'\uFFFD');
      ++i;
      continue;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      emit(static_cast<char16_t>(0xD800 + (c >> 10)));
      emit(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      emit(static_cast<char16_t>(c));
    }
    i += length;
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  DecodeUtf8(text, [&out](char16_t unit) { out += unit; });
  return out;
}

size_t Utf16Length(std::string_view text) {
  size_t units = 0;
  DecodeUtf8(text, [&units](char16_t) { ++units; });
  return units;
}

void AppendUtf16Le(std::string_view text, std::string& bytes) {
  // A UTF-8 byte never makes more than one UTF-16 unit: room for the most, then cut.
  const size_t start = bytes.size();
  bytes.resize(start + 2 * text.size());
  char* out = bytes.data() + start;
  DecodeUtf8(text, [&out](char16_t unit) {
    *out++ = static_cast<char>(unit & 0xFF);
    *out++ = static_cast<char>(unit >> 8);
  });
  bytes.resize(static_cast<size_t>(out - bytes.data()));
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    AppendUtf8(c, out);
  }
  return out;
}

void AppendUtf8FromUtf16Le(std::string_view bytes, std::string& text) {
  const size_t units = bytes.size() / 2;
  const auto unit = [&bytes](size_t i) -> char32_t {
    return static_cast<unsigned char>(bytes[2 * i]) |
           (static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  };
  text.reserve(text.size() + units);
  for (size_t i = 0; i < units; ++i) {
    char32_t c = unit(i);
    if (IsHighSurrogate(c) && i + 1 < units && IsLowSurrogate(unit(i + 1))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 1) - 0xDC00);
      ++i;
    }
    AppendUtf8(c, text);
  }
}

std::string Utf16LeBytes(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t unit : text) {
    out += static_cast<char>(unit & 0xFF);
    out += static_cast<char>(unit >> 8);
  }
  return out;
}

std::string RegStringData(std::string_view text) {
  std::u16string wide = Utf8ToUtf16(text);
  wide += u'\0';
  return Utf16LeBytes(wide);
}

std::u16string Utf16FromLeBytes(std::string_view bytes) {
  std::u16string out(bytes.size() / 2, u'\0');
  for (size_t i = 0; i < out.size(); ++i)
    out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                   (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  return out;
}

void TextFromRegData(std::string_view bytes, std::string& text) {
  text.clear();
  const size_t units = bytes.size() / 2;
  for (size_t i = 0; i < units; ++i) {
    char32_t c = static_cast<unsigned char>(bytes[2 * i]) |
                 (static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    if (c == 0) break;
    if (c < 0x80) {
      text += static_cast<char>(c);
      continue;
    }
    if (IsHighSurrogate(c) && i + 1 < units) {
      const char32_t next = static_cast<unsigned char>(bytes[2 * i + 2]) |
                            (static_cast<unsigned char>(bytes[2 * i + 3]) << 8);
      if (IsLowSurrogate(next)) {
        c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
        ++i;
      }
    }
    AppendUtf8(c, text);
  }
}

std::string TextFromRegData(std::string_view bytes) {
  std::string text;
  TextFromRegData(bytes, text);
  return text;
}

const AnsiCodePage& Windows1252() {
  static const CodePage1252 codePage;
  return codePage;
}

}  // namespace tallowin
