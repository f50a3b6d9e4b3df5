#include "scan/issue.h"

#include <mutex>
#include <unordered_set>

namespace tallowin {

namespace {

// Captions are never forgotten: there are few of them, and rows anywhere may point at one.
const std::string& Interned(std::string_view text) {
  static std::mutex mutex;
  static auto* texts = new std::unordered_set<std::string>();
  std::lock_guard<std::mutex> lock(mutex);
  return *texts->emplace(text).first;
}

}  // namespace

const char* ProblemCaption(FindingRule rule) {
  switch (rule) {
    case FindingRule::None: return "";
    case FindingRule::PathReference: return "Non-existent File or Folder";
    case FindingRule::SoftwareLocation: return "Software Locations Issue";
    case FindingRule::StartMenuOrder: return "Old Start Menu Key";
    case FindingRule::ObsoleteSoftware: return "Obsolete Software Entry";
    case FindingRule::EmptyKey: return "Empty Registry Keys";
    case FindingRule::UselessExtension: return "Useless File Extension";
    case FindingRule::UninstallCommand: return "Invalide Add/Remove Programs";
    case FindingRule::SharedDll: return "Non-existent Shared Dlls";
    case FindingRule::Font: return "Invalid Windows Fonts";
    case FindingRule::HelpFile: return "Invalid Help Files Item";
    case FindingRule::DialogHistory:
    case FindingRule::HistoryReference:
    case FindingRule::UsageCounter: return "Non-existent MRU and History Lists file";
    case FindingRule::RunValue:
    case FindingRule::StartupEntry: return "Non-existent Startup Programs";
    case FindingRule::ServiceImage: return "Windows Service Issue";
    case FindingRule::CustomControl:
    case FindingRule::InterfaceTypeLibrary: return "Custom Controls Issue";
    case FindingRule::Shortcut: return "Missing ShortCut reference";
    case FindingRule::SoundEvent: return "Non-existent Sound File";
    case FindingRule::TypeLibraryFile:
    case FindingRule::ProgIdClass:
    case FindingRule::ClassAppId: return "ActiveX Issue";
    case FindingRule::InstallerReference:
    case FindingRule::InstallerFolder:
    case FindingRule::ProgramsListCache: return "Installer Refrence Issue";
    case FindingRule::OpenWithCommand: return "Open with Application Issue";
  }
  return "";
}

ProblemText::ProblemText() : text_(&Interned({})) {}

ProblemText::ProblemText(std::string_view text) : text_(&Interned(text)) {}

}  // namespace tallowin
