#pragma once
// The form of a language's table (ui/text_*.cpp): entries in any order, one per id.

#include <cstddef>

#include "ui/ui_text.h"

namespace tallowin::ui {

struct TextEntry {
  Txt id;
  const char* text;  // UTF-8
};

extern const TextEntry kEnglishTexts[];
extern const size_t kEnglishTextCount;
extern const TextEntry kGermanTexts[];
extern const size_t kGermanTextCount;
// The lower layers' sentences in German (platform/wording.cpp has the English ones).
extern const PhraseEntry kGermanPhrases[];
extern const size_t kGermanPhraseCount;

}  // namespace tallowin::ui
