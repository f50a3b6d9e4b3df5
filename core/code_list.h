#pragma once
// The category codes a console command runs, as the user writes them: comma-separated
// codes and ascending ranges such as "1-17" or "3,16,104".

#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"

namespace tallowin {

// Codes that name a scan category: 1..17, 104 and 106..110.
bool IsCategoryCode(int code);

// On success `codes` holds the decimal texts in the order written (a range expands to
// the category codes inside it; duplicates stay, the engine runs them twice) and
// `error` is empty. On failure `codes` is untouched and `error` names the problem.
[[nodiscard]] bool ParseCodeList(std::string_view text, std::vector<std::string>& codes,
                                 std::string& error);

// "1" .. "17": the full scan.
std::vector<std::string> FullScanCodes();

// The custom scan's codes: each chosen section, in ascending order.
std::vector<std::string> SectionCodes(const TScanSections& sections);

}  // namespace tallowin
