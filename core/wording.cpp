#include "core/wording.h"

namespace tallowin {

extern const PhraseEntry kEnglishPhrases[] = {
    {Phrase::ListAnd, " and "},
    {Phrase::ListComma, ", "},

    // Why a row is listed

    // The repair and its report

    // The restore

    // The run log, the scheduled task, the settings file

};
extern const size_t kEnglishPhraseCount = sizeof(kEnglishPhrases) / sizeof(kEnglishPhrases[0]);

std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(pattern.size() + 32);
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const auto index = static_cast<size_t>(pattern[i + 1] - '1');
      if (index < values.size()) out += values.begin()[index];
      ++i;
      continue;
    }
    out += c;
  }
  return out;
}

Wording::Wording(const PhraseEntry* entries, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const auto index = static_cast<size_t>(entries[i].id);
    if (index < texts_.size()) texts_[index] = entries[i].text;
  }
  if (entries == kEnglishPhrases) return;
  const Wording& english = English();
  for (size_t i = 0; i < texts_.size(); ++i)
    if (texts_[i].empty()) texts_[i] = english.texts_[i];
}

std::string Wording::Listed(const std::vector<std::string>& items) const {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += (*this)[i + 1 == items.size() ? Phrase::ListAnd : Phrase::ListComma];
    text += items[i];
  }
  return text;
}

const Wording& English() {
  static const Wording english(kEnglishPhrases, kEnglishPhraseCount);
  return english;
}

}  // namespace tallowin
