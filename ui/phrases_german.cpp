// The lower layers' sentences in German: the same entries as kEnglishPhrases
// (core/wording.cpp), with the same placeholders.

#include "ui/text_table.h"

namespace tallowin::ui {

extern const PhraseEntry kGermanPhrases[] = {
    {Phrase::ListAnd, " und "},
    {Phrase::ListComma, ", "},

    // Why a row is listed

    // The repair and its report

    // The restore

    // The run log, the scheduled task, the settings file

};
extern const size_t kGermanPhraseCount = sizeof(kGermanPhrases) / sizeof(kGermanPhrases[0]);

}  // namespace tallowin::ui
