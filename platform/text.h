#pragma once
// ASCII text helpers shared by every layer (comparisons "in any case" use these).

#include <cstdint>
#include <string>
#include <string_view>

namespace tallowin {

std::string AsciiUpper(std::string_view text);
bool EqualsNoCase(std::string_view a, std::string_view b);
bool StartsWithNoCase(std::string_view text, std::string_view prefix);
bool ContainsNoCase(std::string_view text, std::string_view part);
// 1-based position of `part` in `text` compared in any case, 0 when absent.
size_t FindNoCase(std::string_view text, std::string_view part);
// Case-insensitive ordering (ASCII); negative, zero or positive.
int CompareNoCase(std::string_view a, std::string_view b);
bool EndsWith(std::string_view text, std::string_view suffix);

// FNV-1a, 64 bits, over the bytes; `hash` continues an earlier one.
inline uint64_t Fnv1a(std::string_view bytes, uint64_t hash = 1469598103934665603ull) {
  for (const char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace tallowin

namespace tallowin {

// Text is UTF-8 inside the program and UTF-16 at the Windows boundary. Windows names
// may hold unpaired surrogates; they travel as their three-byte generalised UTF-8
// form, so every UTF-16 string converts to UTF-8 and back unchanged. Bytes that are no
// UTF-8 at all become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);
// The same conversions without a UTF-16 string between, for text too large to copy:
// the number of UTF-16 units of the text, the text appended as UTF-16LE bytes, and
// UTF-16LE bytes (an odd last byte dropped) appended as UTF-8.
size_t Utf16Length(std::string_view text);
void AppendUtf16Le(std::string_view text, std::string& bytes);
void AppendUtf8FromUtf16Le(std::string_view bytes, std::string& text);

// Registry string data as the wide functions store it: UTF-16LE bytes.
std::string Utf16LeBytes(std::u16string_view text);
// `text` + a terminating NUL character, as REG_SZ data is normally stored.
std::string RegStringData(std::string_view text);
// The UTF-16LE bytes as code units; an odd last byte is dropped.
std::u16string Utf16FromLeBytes(std::string_view bytes);
// String data up to its first NUL character, as UTF-8.
std::string TextFromRegData(std::string_view bytes);
void TextFromRegData(std::string_view bytes, std::string& text);  // reuses `text`'s buffer

// The system's ANSI code page, converted exactly or not at all: no best-fit
// replacements, no default characters.
class AnsiCodePage {
 public:
  virtual ~AnsiCodePage() = default;
  [[nodiscard]] virtual bool FromUtf8(std::string_view utf8, std::string& ansi) const = 0;
  [[nodiscard]] virtual bool ToUtf8(std::string_view ansi, std::string& utf8) const = 0;
};

// Windows-1252, the code page of western systems (and of Wine in a C or English locale).
const AnsiCodePage& Windows1252();

}  // namespace tallowin
