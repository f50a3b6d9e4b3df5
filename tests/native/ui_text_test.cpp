#include "ui/ui_text.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "core/dialog_choices.h"
#include "core/list_commands.h"
#include "core/scan_session.h"
#include "core/schedule.h"
#include "repair/repair_run.h"
#include "repair/restore.h"
#include "repair/restore_point.h"
#include "ui/text_table.h"

namespace tallowin::ui {
namespace {

const std::string& English(Txt id) { return TextIn(Language::English, id); }

// The English table says what the windows have always said, and what the model and the
// command line still say where they share a text.
TEST(TextTables, EnglishIsTheTableOfRecord) {
  const std::pair<Txt, const char*> windowTexts[] = {
      {Txt::FullScan, "Full &Scan"},
      {Txt::CustomScanButton, "&Custom Scan"},
      {Txt::FixErrors, "&Fix Errors"},
      {Txt::RestoreButton, "&Restore"},
      {Txt::ColumnRegistryKey, "Registry key"},
      {Txt::Instruction4, " issues you checked. If you find the software deleted some registry keys or values which"},
      {Txt::Instruction5, "should not be deleted, you can click 'Restore' to  undo any changes."},
      {Txt::Donate, "please donate to support our hard work (thanks :-)"},
      {Txt::StatusCounts, " %1 Error Found,  %2 Error Selected."},
      {Txt::OverwriteQuestion, "%1 has existed,overite it?"},
      {Txt::DeselectAllOfType, "Deselect A&ll of Type"},
      {Txt::DeselectAll, "De&select All"},
      {Txt::DeselectAllSections, "&Deselect All"},
      {Txt::ScanningInitial, "Scanning "},
      {Txt::CustomScanQuestion, "Which sections do you wish to scan during a Custom Scan?"},
      {Txt::RestoreLabel1,
       "Please select a backup file, then click Restore button. You can point to another backup folder using"},
      {Txt::CreateRestorePoint, "Create a system restore point before repairing errors(XP, Vista, 7, 8)"},
      {Txt::SaveBackupsTo, "Save backup files to: "},
      {Txt::KeyExample, "Example: HKEY_CURRENT_USER\\SOFTWARE"},
      {Txt::FolderRefused, "%1,can not find the backup folder."},
      {Txt::AboutDonate1, "If you like it, please feel free to donate, any donations large or"},
      {Txt::ScanSounds, "Scanning: Sound and Appevents"},
      {Txt::Optimizing, "Optimizing...Do not close the dialog."},
      {Txt::PleaseWait, "Please wait..."},
      // Shared with the layers below.
      {Txt::ScanStoppedNote, kScanStoppedNote},
      {Txt::ScanFailedNote, kScanFailedNote},
      {Txt::ScanFailedMessage, kScanFailedMessage},
      {Txt::CheckKeyMessage, kCheckKeyMessage},
      {Txt::SaveAsTitle, kSaveAsTitle},
      {Txt::SaveAsFilterName, kSaveAsFilterName},
      {Txt::BackupFolderMissing, kBackupFolderMissingText},
      {Txt::BrowseCaption, kBrowseCaption},
      {Txt::RestoreHint, kRestoreHintText},
      {Txt::RestorePointFailedQuestion, kRestorePointFailedQuestion},
  };
  for (const auto& [id, text] : windowTexts) EXPECT_EQ(English(id), text) << static_cast<int>(id);
  EXPECT_EQ(tallowin::English()[Phrase::RestoreRegeditMissing], kRegeditMissingText);
  for (int rule = 1; rule <= static_cast<int>(FindingRule::OpenWithCommand); ++rule) {
    const auto r = static_cast<FindingRule>(rule);
    EXPECT_EQ(English(ProblemTextId(r)), ProblemCaption(r)) << rule;
  }
  for (size_t i = 0; i < kScanSectionNames.size(); ++i)
    EXPECT_EQ(English(static_cast<Txt>(static_cast<int>(Txt::SectionHkcr) + i)), kScanSectionNames[i]);
  for (size_t i = 0; i < kDayNames.size(); ++i)
    EXPECT_EQ(English(static_cast<Txt>(static_cast<int>(Txt::DaySunday) + i)), kDayNames[i]);
}

std::multiset<std::string> Placeholders(const std::string& text) {
  std::multiset<std::string> found;
  for (size_t i = 0; i + 1 < text.size(); ++i)
    if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') found.insert(text.substr(i, 2));
  return found;
}

// Every language has each entry once, none empty, with the English placeholders and a
// mnemonic exactly where the English has one.
TEST(TextTables, EveryLanguageIsComplete) {
  const std::pair<const TextEntry*, size_t> tables[] = {{kEnglishTexts, kEnglishTextCount},
                                                        {kGermanTexts, kGermanTextCount}};
  for (const auto& [entries, count] : tables) {
    std::map<int, int> seen;
    for (size_t i = 0; i < count; ++i) ++seen[static_cast<int>(entries[i].id)];
    for (int id = 0; id < static_cast<int>(Txt::Count); ++id) EXPECT_EQ(seen[id], 1) << "id " << id;
  }
  for (int id = 0; id < static_cast<int>(Txt::Count); ++id) {
    const std::string& english = English(static_cast<Txt>(id));
    const std::string& german = TextIn(Language::German, static_cast<Txt>(id));
    SCOPED_TRACE(english);
    EXPECT_FALSE(german.empty());
    EXPECT_EQ(Placeholders(german), Placeholders(english));
    EXPECT_EQ(german.find('&') != std::string::npos, english.find('&') != std::string::npos);
  }
}

// The lower layers' sentences: German has each once, none empty, with the English
// placeholders; the English table names every phrase.
TEST(TextTables, EveryPhraseIsTranslated) {
  const std::pair<const PhraseEntry*, size_t> tables[] = {{kEnglishPhrases, kEnglishPhraseCount},
                                                          {kGermanPhrases, kGermanPhraseCount}};
  for (const auto& [entries, count] : tables) {
    std::map<int, int> seen;
    for (size_t i = 0; i < count; ++i) ++seen[static_cast<int>(entries[i].id)];
    for (int id = 0; id < static_cast<int>(Phrase::Count); ++id) EXPECT_EQ(seen[id], 1) << "phrase " << id;
  }
  const Wording german(kGermanPhrases, kGermanPhraseCount);
  for (int id = 0; id < static_cast<int>(Phrase::Count); ++id) {
    const std::string& english = tallowin::English()[static_cast<Phrase>(id)];
    SCOPED_TRACE(english);
    EXPECT_FALSE(english.empty());
    EXPECT_EQ(Placeholders(german[static_cast<Phrase>(id)]), Placeholders(english));
  }
  SetLanguage(Language::German);
  EXPECT_EQ(Words().Listed({"A", "B", "C"}), "A, B und C");
  SetLanguage(Language::English);
  EXPECT_EQ(Words().Listed({"A", "B", "C"}), "A, B and C");
}

TEST(TextTables, LanguageFollowsWindowsUnlessChosen) {
  struct Case {
    const char* choice;
    uint16_t windows;
    Language expected;
  };
  const Case cases[] = {
      {"", 0x0407, Language::German},   {"", 0x0C07, Language::German},  // Germany, Austria
      {"", 0x0807, Language::German},   {"", 0x0409, Language::English},
      {"", 0x040C, Language::English},  {"en", 0x0407, Language::English},
      {"de", 0x0409, Language::German}, {"xx", 0x0407, Language::German},
      {"DE", 0x0409, Language::German}, {"En", 0x0407, Language::English},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseLanguage(c.choice, c.windows), c.expected) << c.choice << " " << c.windows;
}

TEST(TextTables, FormatAndLocalizeFollowTheLanguage) {
  SetLanguage(Language::German);
  EXPECT_EQ(Format(Txt::StatusCounts, {"12", "9"}), " 12 Fehler gefunden,  9 Fehler ausgew\xC3\xA4hlt.");
  EXPECT_EQ(Localized("Scanning: Shared DLLs"), "Scanne: Gemeinsame DLLs");
  EXPECT_EQ(Localized("C:\\not a text"), "C:\\not a text");
  Issue row;
  row.problem = ProblemCaption(FindingRule::Font);
  row.rule = FindingRule::Font;
  EXPECT_EQ(ShownProblem(row), "Ung\xC3\xBCltige Windows-Schriftart");
  SetLanguage(Language::English);
  EXPECT_EQ(Format(Txt::StatusCounts, {"12", "9"}), " 12 Error Found,  9 Error Selected.");
  EXPECT_EQ(ShownProblem(row), "Invalid Windows Fonts");
}

}  // namespace
}  // namespace tallowin::ui
