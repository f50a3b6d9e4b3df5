#include "core/code_list.h"

#include <utility>

namespace tallowin {

namespace {

constexpr int kHighestCode = 110;

// A decimal number of at most three digits; anything else is not a code.
bool ParseNumber(std::string_view text, int& value) {
  if (text.empty() || text.size() > 3) return false;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  value = n;
  return true;
}

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

}  // namespace

bool IsCategoryCode(int code) {
  return (code >= 1 && code <= 17) || code == 104 || (code >= 106 && code <= kHighestCode);
}

bool ParseCodeList(std::string_view text, std::vector<std::string>& codes, std::string& error) {
  std::vector<std::string> parsed;
  error.clear();
  if (text.empty()) {
    error = "empty code list";
    return false;
  }
  size_t start = 0;
  while (true) {
    const size_t comma = text.find(',', start);
    const std::string_view item =
        text.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
    if (item.empty()) {
      error = "empty item in code list " + Quoted(text);
      return false;
    }
    const size_t dash = item.find('-');
    int first = 0, last = 0;
    if (dash == std::string_view::npos) {
      if (!ParseNumber(item, first)) {
        error = "not a category code: " + Quoted(item);
        return false;
      }
      last = first;
    } else if (!ParseNumber(item.substr(0, dash), first) ||
               !ParseNumber(item.substr(dash + 1), last)) {
      error = "not a code range: " + Quoted(item);
      return false;
    }
    for (int end : {first, last}) {
      if (!IsCategoryCode(end)) {
        error = "no scan category has the code " + std::to_string(end);
        return false;
      }
    }
    if (first > last) {
      error = "descending code range: " + Quoted(item);
      return false;
    }
    for (int code = first; code <= last; ++code)
      if (IsCategoryCode(code)) parsed.push_back(std::to_string(code));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  codes = std::move(parsed);
  return true;
}

std::vector<std::string> FullScanCodes() {
  std::vector<std::string> codes;
  for (int code = 1; code <= 17; ++code) codes.push_back(std::to_string(code));
  return codes;
}

std::vector<std::string> SectionCodes(const TScanSections& sections) {
  std::vector<std::string> codes;
  for (int code = TScanSections::kFirst; code <= TScanSections::kLast; ++code)
    if (sections[code]) codes.push_back(std::to_string(code));
  return codes;
}

}  // namespace tallowin
