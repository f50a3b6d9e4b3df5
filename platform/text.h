#pragma once
// ASCII text helpers shared by every layer (comparisons "in any case" use these).

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

}  // namespace tallowin
