#include "ui/ui_text.h"

#include <array>
#include <atomic>
#include <unordered_map>

#include "platform/text.h"
#include "ui/text_table.h"

namespace tallowin::ui {
namespace {

constexpr size_t kCount = static_cast<size_t>(Txt::Count);
using Table = std::array<std::string, kCount>;

Table MakeTable(const TextEntry* entries, size_t count) {
  Table table;
  for (size_t i = 0; i < count; ++i) {
    const auto index = static_cast<size_t>(entries[i].id);
    if (index < kCount) table[index] = entries[i].text;
  }
  return table;
}

const Table& TableOf(Language language) {
  static const Table english = MakeTable(kEnglishTexts, kEnglishTextCount);
  static const Table german = MakeTable(kGermanTexts, kGermanTextCount);
  return language == Language::German ? german : english;
}

// The windows are made and filled on one thread; the scan's texts reach them there too.
std::atomic<Language> current{Language::English};

}  // namespace

const std::string& TextIn(Language language, Txt id) {
  return TableOf(language)[static_cast<size_t>(id)];
}

const std::string& Tr(Txt id) {
  const std::string& text = TextIn(current.load(), id);
  // A language still missing a text shows the English one rather than nothing.
  return text.empty() ? TextIn(Language::English, id) : text;
}

std::string Format(Txt id, std::initializer_list<std::string_view> values) {
  return FillIn(Tr(id), values);
}

std::string Localized(const std::string& english) {
  if (current.load() == Language::English) return english;
  static const std::unordered_map<std::string, Txt> ids = [] {
    std::unordered_map<std::string, Txt> map;
    for (size_t i = 0; i < kEnglishTextCount; ++i) map.emplace(kEnglishTexts[i].text, kEnglishTexts[i].id);
    return map;
  }();
  const auto found = ids.find(english);
  return found == ids.end() ? english : Tr(found->second);
}

Txt ProblemTextId(FindingRule rule) {
  switch (rule) {
    case FindingRule::None:
    case FindingRule::PathReference: return Txt::ProblemPathReference;
    case FindingRule::SoftwareLocation: return Txt::ProblemSoftwareLocation;
    case FindingRule::StartMenuOrder: return Txt::ProblemStartMenu;
    case FindingRule::ObsoleteSoftware: return Txt::ProblemObsoleteSoftware;
    case FindingRule::EmptyKey: return Txt::ProblemEmptyKey;
    case FindingRule::UselessExtension: return Txt::ProblemUselessExtension;
    case FindingRule::UninstallCommand: return Txt::ProblemUninstall;
    case FindingRule::SharedDll: return Txt::ProblemSharedDll;
    case FindingRule::Font: return Txt::ProblemFont;
    case FindingRule::HelpFile: return Txt::ProblemHelpFile;
    case FindingRule::DialogHistory:
    case FindingRule::HistoryReference:
    case FindingRule::UsageCounter: return Txt::ProblemHistory;
    case FindingRule::RunValue:
    case FindingRule::StartupEntry: return Txt::ProblemStartup;
    case FindingRule::ServiceImage: return Txt::ProblemService;
    case FindingRule::CustomControl:
    case FindingRule::InterfaceTypeLibrary: return Txt::ProblemCustomControl;
    case FindingRule::Shortcut: return Txt::ProblemShortcut;
    case FindingRule::SoundEvent: return Txt::ProblemSound;
    case FindingRule::TypeLibraryFile:
    case FindingRule::ProgIdClass:
    case FindingRule::ClassAppId: return Txt::ProblemActiveX;
    case FindingRule::InstallerReference:
    case FindingRule::InstallerFolder:
    case FindingRule::ProgramsListCache: return Txt::ProblemInstaller;
    case FindingRule::OpenWithCommand: return Txt::ProblemOpenWith;
  }
  return Txt::ProblemPathReference;
}

std::string ShownProblem(const Issue& row) {
  // A row no scan made (a test's, a loaded list's) shows its own caption.
  if (row.rule == FindingRule::None || current.load() == Language::English) return row.problem;
  return Tr(ProblemTextId(row.rule));
}

void SetLanguage(Language language) { current.store(language); }

const Wording& Words() {
  static const Wording german(kGermanPhrases, kGermanPhraseCount);
  return current.load() == Language::German ? german : English();
}

Language CurrentLanguage() { return current.load(); }

Language ChooseLanguage(std::string_view choice, uint16_t userUiLanguage) {
  // A hand-edited Settings.dat may say "DE".
  if (EqualsNoCase(choice, "en")) return Language::English;
  if (EqualsNoCase(choice, "de")) return Language::German;
  // The primary language is the low 10 bits of a language id; 0x07 is German (Germany,
  // Austria, Switzerland, Luxembourg, Liechtenstein).
  return (userUiLanguage & 0x3FF) == 0x07 ? Language::German : Language::English;
}

}  // namespace tallowin::ui
