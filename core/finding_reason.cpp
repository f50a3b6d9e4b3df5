#include "core/finding_reason.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/forwarding_file_system.h"
#include "platform/reg_global.h"
#include "platform/text.h"
#include "scan/issue_target.h"
#include "scan/scan_task.h"
#include "scan/volume_probe.h"

namespace tallowin {

namespace {

using platform::Access;
using platform::Root;

constexpr size_t kNone = std::string::npos;
constexpr const char* kNoLonger = "No longer broken: ";
constexpr const char* kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
constexpr const char* kDialogMruPath =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU";

std::string SeparatorName(char c) {
  switch (c) {
    case ' ': return "the space";
    case ',': return "the comma";
    case '/': return "the slash";
    case ':': return "the colon";
    case ';': return "the semicolon";
    default: return std::string("\"") + c + "\"";
  }
}

// "A", "A and B", "A, B and C".
std::string Listed(const std::vector<std::string>& items) {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += i + 1 == items.size() ? " and " : ", ";
    text += items[i];
  }
  return text;
}

std::string LastComponent(std::string_view path) {
  const size_t slash = path.rfind('\\');
  return std::string(slash == kNone ? path : path.substr(slash + 1));
}

std::string KeyText(const IssueTarget& target) {
  return target.path.empty() ? target.rootName : target.rootName + "\\" + target.path;
}

// The 64-bit spelling of a program-folder variable, as the scan's test tries it.
std::string_view NativeVariable(std::string_view variable) {
  if (EqualsNoCase(variable, "%ProgramFiles%")) return "%ProgramW6432%";
  if (EqualsNoCase(variable, "%CommonProgramFiles%")) return "%CommonProgramW6432%";
  return {};
}

std::unique_ptr<platform::RegistryKey> OpenKey(platform::Registry& registry, Root root,
                                               const std::string& path) {
  return registry.OpenKey(root, path, Access::Read);
}

std::optional<std::string> TextValue(platform::RegistryKey& key, std::string_view name) {
  platform::RegValue value;
  if (key.QueryValue(name, value) != platform::kSuccess) return std::nullopt;
  if (value.type != platform::kRegSz && value.type != platform::kRegExpandSz) return std::nullopt;
  return TextFromRegData(value.data);
}

// A file system that writes down, while asked to, every existence test and expansion with
// its answer. It lists no folder, so that every name is asked for on its own.
class RecordingFileSystem : public platform::ForwardingFileSystem {
 public:
  explicit RecordingFileSystem(platform::FileSystem& inner)
      : RecordingFileSystem(inner, std::make_shared<Log>()) {}

  void Record(bool on) { log_->on = on; }
  const std::vector<std::string>& Steps() const { return log_->steps; }

  long Find(std::string_view pattern, platform::FindEntry& entry) override {
    const long code = ForwardingFileSystem::Find(pattern, entry);
    const bool found = code == platform::kSuccess;
    const bool folder = found && (entry.attributes & platform::kAttrDirectory) != 0;
    Note("file " + std::string(pattern) + ": " +
         (code == platform::kAccessDenied ? "access denied, so it cannot be told"
          : !found                        ? "not found"
          : folder                        ? "a folder, not a file"
                                          : "found"));
    return code;
  }
  long QueryAttributes(std::string_view path, uint32_t& attributes) override {
    const long code = ForwardingFileSystem::QueryAttributes(path, attributes);
    const bool found = code == platform::kSuccess;
    const bool folder = found && (attributes & platform::kAttrDirectory) != 0;
    Note("folder " + std::string(path) + ": " +
         (code == platform::kAccessDenied ? "access denied, so it cannot be told"
          : !found                        ? "not found"
          : folder                        ? "found"
                                          : "a file, not a folder"));
    return code;
  }
  bool ExpandEnvironment(std::string_view text, size_t capacity, std::string& expanded) override {
    const bool ok = ForwardingFileSystem::ExpandEnvironment(text, capacity, expanded);
    Note(std::string(text) +
         (ok ? " expands to " + expanded.substr(0, expanded.find('\0')) : " does not expand"));
    return ok;
  }
  long List(std::string_view, std::vector<platform::DirEntry>&) override {
    return platform::kNotReady;  // "unknown": the names are then asked for one by one
  }
  platform::FileSystem& InView(platform::View view) override {
    platform::FileSystem& inner = inner_.InView(view);
    if (&inner == &inner_) return *this;
    if (!native_) native_.reset(new RecordingFileSystem(inner, log_));
    return *native_;
  }

 private:
  struct Log {
    bool on = false;
    std::vector<std::string> steps;
  };
  RecordingFileSystem(platform::FileSystem& inner, std::shared_ptr<Log> log)
      : ForwardingFileSystem(inner), inner_(inner), log_(std::move(log)) {}
  void Note(std::string step) {
    if (log_->on) log_->steps.push_back(std::move(step));
  }

  platform::FileSystem& inner_;
  std::shared_ptr<Log> log_;
  std::unique_ptr<RecordingFileSystem> native_;
};

}  // namespace

struct FindingExplainer::Observer : SilentScanObserver {};

struct FindingExplainer::OpenedKey {
  platform::View view = platform::View::Process;
  Root root = Root::CurrentUser;
  std::string path;
  std::unique_ptr<platform::RegistryKey> key;
};

namespace {

// What one candidate path of a reference is, told from the folders that exist now.
class ReferenceReader {
 public:
  ReferenceReader(TScanTaskThread& scan, std::string suffix, bool dirsAllowed)
      : scan_(scan), suffix_(std::move(suffix)), dirs_(dirsAllowed) {}

  // The places the text may mean after its quotes and leading variable, as the test
  // reads it, each with the variable's expansion; `lead` tells the expansion.
  std::vector<std::string> Places(const std::string& text, std::string& lead) {
    std::string_view path = text;
    if (!path.empty() && path.front() == '"') {
      path.remove_prefix(1);
      path = path.substr(0, path.find('"'));
    }
    std::vector<std::string> places;
    std::string_view variable;
    if (!path.empty() && path.front() == '%') {
      const size_t closing = path.find('%', 1);
      if (closing != kNone) variable = path.substr(0, closing + 1);
    }
    if (variable.empty()) {
      places.emplace_back(path);
    } else {
      std::vector<std::string> expansions;
      for (const std::string_view name :
           {variable, scan_.Check64Bit ? NativeVariable(variable) : std::string_view()}) {
        if (name.empty()) continue;
        const std::string expanded = scan_.ExpandLeadingVariable(std::string(name));
        if (expanded.empty() || expanded.front() == '%') continue;
        expansions.push_back(expanded);
        places.push_back(expanded + std::string(path.substr(variable.size())));
      }
      if (!expansions.empty())
        lead = std::string(variable) + " expands to " + Listed(expansions) + ". ";
    }
    std::vector<std::string> spellings;
    for (const std::string& place : places)
      for (std::string& spelling : scan_.PathSpellings(place))
        spellings.push_back(std::move(spelling));
    return spellings;
  }

  // The path looked for in `place` (arguments cut off, the suffix applied) and a sentence
  // on why it is not there.
  void Describe(const std::string& place, std::string& target, std::string& sentence) {
    std::string path = place;
    if (!suffix_.empty()) {
      const size_t at = FindNoCase(path, suffix_);
      if (at > 0) path = path.substr(0, at - 1) + suffix_;
    }
    if (OnEmptyFloppy(path)) {
      target = path;
      sentence = path + " is on drive " + path.substr(0, 2) + ", which holds no readable disk.";
      return;
    }
    // The deepest folder of the path that exists, and the first one that does not.
    size_t existing = 0;
    std::string missing;
    for (size_t slash = path.find('\\'); slash != kNone; slash = path.find('\\', slash + 1)) {
      if (!scan_.FolderExists(path.substr(0, slash + 1))) {
        missing = path.substr(0, slash);
        break;
      }
      existing = slash + 1;
    }
    const size_t end = path.find('\\', existing);
    const std::string component = path.substr(existing, end - existing);
    size_t cut = kNone;
    if (suffix_.empty())
      for (size_t i = 0; i < component.size() && cut == kNone; ++i)
        if (IsArgumentSeparator(component[i])) cut = i;
    // Inside the path a name with a separator is a missing folder ("Old Version\"),
    // unless what comes before the separator looks like a program ("run.exe -f \x").
    if (cut != kNone && end != kNone && component.substr(0, cut).find('.') == kNone) cut = kNone;
    if (cut != kNone && cut > 0) {
      target = path.substr(0, existing + cut);
      sentence = "The command line names " + target + " (arguments cut at " +
                 SeparatorName(component[cut]) + "); it does not exist.";
    } else if (!missing.empty()) {
      target = path;
      sentence = missing.size() + 1 >= path.size()
                     ? "The folder " + missing + " does not exist."
                     : path + ": the folder " + missing + " does not exist.";
    } else {
      target = path;
      sentence = path + " does not exist";
      if (suffix_.empty() && LastComponent(path).find('.') == kNone)
        sentence += ", nor with .exe, .com or .bat added";
      sentence += ".";
    }
  }

  // Whether the path looked for in `place` is there now (by the test's own means).
  bool Found(const std::string& target) {
    if (scan_.FileExists(target) || (dirs_ && scan_.FolderExists(target))) return true;
    for (const char* extension : {".exe", ".com", ".bat"})
      if (scan_.FileExists(target + extension)) return true;
    return false;
  }

 private:
  bool OnEmptyFloppy(const std::string& path) const {
    if (scan_.IgnoreRemoveDrives) return false;
    return (StartsWithNoCase(path, "A:\\") && !scan_.DriveAReady) ||
           (StartsWithNoCase(path, "B:\\") && !scan_.DriveBReady);
  }

  TScanTaskThread& scan_;
  const std::string suffix_;
  const bool dirs_;
};

// Why the test does not judge a text at all (its early stops), or "" when it did.
std::string UntestedWhy(const TScanTaskThread& scan, const std::string& text) {
  if (text.empty()) return "the text is empty";
  if (text.find('?') != kNone) return "the text holds a \"?\"";
  if (ContainsNoCase(text, "\\hp")) return "the text holds \"\\hp\"";
  if (scan.IsWow64 && !scan.Check64Bit &&
      (ContainsNoCase(text, "system32") || ContainsNoCase(text, "Program Files") ||
       ContainsNoCase(text, "ProgramFiles")))
    return "a 32-bit program sees System32 and the program folders redirected, so they are "
           "not judged";
  std::string_view path = text;
  if (path.front() == '"') {
    path.remove_prefix(1);
    path = path.substr(0, path.find('"'));
  }
  if (!path.empty() && path.front() == '%') return "its variable names no existing folder";
  if (path.size() < 3 || path.substr(1, 2) != ":\\")
    return "it does not start with a drive letter, a colon and a backslash";
  if (!ContainsNoCase(scan.DriveLetters, path.substr(0, 1)))
    return "drive " + std::string(path.substr(0, 2)) + " is not one the scan tests";
  if (path.substr(3).find(":\\") != kNone) return "it names a second drive";
  return "";
}

}  // namespace

FindingExplainer::FindingExplainer(const platform::Platform& platform, const ReasonOptions& options)
    : platform_(platform),
      options_(options),
      observer_(std::make_unique<Observer>()),
      lastKey_(std::make_unique<OpenedKey>()) {
  scan_ = std::make_unique<TScanTaskThread>(platform, *observer_, options.ignoreRemoveDrives,
                                            options.check64Bit);
  scan_->AdoptListings(options.scanListings);
  ProbeFloppyDrives(*scan_);
}

FindingExplainer::~FindingExplainer() = default;

platform::Registry& FindingExplainer::RegistryOf(const Issue& issue) {
  return platform_.registry.InView(issue.view);
}

bool FindingExplainer::IsBroken(const std::string& text, const std::string& requiredSuffix,
                                bool dirsAllowed) {
  return scan_->ResolveFileReference(text, requiredSuffix, dirsAllowed, scan_->DriveLetters);
}

std::string FindingExplainer::ExplainReference(const std::string& text,
                                               const std::string& requiredSuffix, bool dirsAllowed,
                                               bool mended) {
  ReferenceReader reader(*scan_, requiredSuffix, dirsAllowed);
  std::string lead;
  const std::vector<std::string> places = reader.Places(text, lead);
  const std::string notBroken = mended ? kNoLonger : "Not broken: ";
  if (!IsBroken(text, requiredSuffix, dirsAllowed)) {
    const std::string untested = UntestedWhy(*scan_, text);
    if (!untested.empty()) return notBroken + untested + ".";
    for (const std::string& place : places) {
      std::string target, sentence;
      reader.Describe(place, target, sentence);
      if (reader.Found(target)) return notBroken + target + " exists" + (mended ? " now." : ".");
    }
    return notBroken + "the file test finds what " + text + " names.";
  }
  std::vector<std::string> targets, sentences;
  for (const std::string& place : places) {
    std::string target, sentence;
    reader.Describe(place, target, sentence);
    targets.push_back(target);
    sentences.push_back(sentence);
  }
  if (sentences.empty()) return "The file test finds nothing that " + text + " names.";
  if (sentences.size() == 1) return lead + sentences.front();
  return lead + "Looked for " + Listed(targets) + ": " +
         (targets.size() == 2 ? "neither exists." : "none of them exists.");
}

std::string FindingExplainer::Explain(const Issue& issue) {
  try {
    std::string why = ExplainRow(issue);
    if (!why.empty()) return why;
  } catch (...) {
    // An answer the registry or the file system could not give: the general reason stays.
  }
  return "Listed by the scan as \"" + issue.problem.str() + "\"; no more can be told of it now.";
}

std::string FindingExplainer::ExplainRow(const Issue& issue) {
  const std::string& problem = issue.problem;
  const IssueTarget target = ResolveIssueTarget(issue);
  platform::Registry& registry = RegistryOf(issue);
  const std::string keyText = KeyText(target);

  // The value the row names, as text; nullopt when it is gone.
  auto valueText = [&]() -> std::optional<std::string> {
    if (target.kind != IssueTarget::Kind::Value) return std::nullopt;
    // Rows of one key come one after another: its handle is kept for the next. A kept
    // handle may name a key deleted since; only a fresh one says the value is gone.
    OpenedKey& kept = *lastKey_;
    if (kept.key && kept.view == issue.view && kept.root == target.root && kept.path == target.path)
      if (auto text = TextValue(*kept.key, target.valueName)) return text;
    kept = {issue.view, target.root, target.path, OpenKey(registry, target.root, target.path)};
    if (!kept.key) return std::nullopt;
    return TextValue(*kept.key, target.valueName);
  };
  auto reference = [&](const std::optional<std::string>& text, const std::string& suffix,
                       bool dirs) -> std::string {
    if (!text) return std::string(kNoLonger) + "the value is no longer there.";
    return ExplainReference(*text, suffix, dirs, true);
  };
  auto keyExists = [&](const std::string& path) {
    return OpenKey(registry, target.root, path) != nullptr;
  };

  if (problem == "Non-existent File or Folder" || problem == "Software Locations Issue")
    return reference(valueText(), "", true);

  if (problem == "ActiveX Issue" && issue.kind == ekKey) {
    const size_t dash = issue.data.find(" - ");
    auto key = OpenKey(registry, target.root, target.path);
    if (!key) return std::string(kNoLonger) + "the key " + keyText + " is gone.";
    if (dash != kNone) {
      // A ProgID naming a class.
      auto clsid = OpenKey(registry, target.root, target.path + "\\CLSID");
      if (!clsid) return std::string(kNoLonger) + "it names no class any more.";
      const std::optional<std::string> ref = TextValue(*clsid, "");
      if (!ref) return std::string(kNoLonger) + "it names no class any more.";
      if (ref->empty())
        return "The ProgID " + LastComponent(target.path) + " has a CLSID key that names no class.";
      if (keyExists("CLSID\\" + *ref) ||
          (options_.check64Bit && keyExists("Wow6432Node\\CLSID\\" + *ref)))
        return std::string(kNoLonger) + "the class " + *ref + " is registered now.";
      return "The ProgID " + LastComponent(target.path) + " names the class " + *ref +
             ", which has no key under HKEY_CLASSES_ROOT\\CLSID.";
    }
    const std::optional<std::string> ref = TextValue(*key, "AppID");
    if (!ref || ref->empty()) return std::string(kNoLonger) + "the class names no AppID any more.";
    if (keyExists("AppID\\" + *ref) ||
        (options_.check64Bit && keyExists("Wow6432Node\\AppID\\" + *ref)))
      return std::string(kNoLonger) + "the AppID " + *ref + " is registered now.";
    return "The class " + LastComponent(target.path) + " names the AppID " + *ref +
           ", which has no key under HKEY_CLASSES_ROOT\\AppID.";
  }
  if (problem == "ActiveX Issue") return reference(valueText(), ".dll", true);

  if (problem == "Installer Refrence Issue") {
    if (issue.kind == ekSubKeyInData) {
      if (!keyExists(target.path)) return std::string(kNoLonger) + "the cache entry is gone.";
      auto entry =
          OpenKey(registry, Root::LocalMachine, std::string(kUninstallPath) + "\\" + issue.data);
      if (entry)
        return std::string(kNoLonger) + "the program " + issue.data +
               " has an uninstall entry now.";
      return "The Add/Remove Programs cache entry " + issue.data +
             " has no program of that name under HKEY_LOCAL_MACHINE\\" + kUninstallPath + ".";
    }
    if (issue.kind == ekValueInData && EndsWith(AsciiUpper(target.path), "\\INSTALLER\\FOLDERS")) {
      auto key = OpenKey(registry, target.root, target.path);
      platform::RegValue value;
      if (!key || key->QueryValue(issue.data, value) != platform::kSuccess)
        return std::string(kNoLonger) + "the installer no longer lists the folder.";
      return "The installer's folder list names " + issue.data + ". " +
             ExplainReference(issue.data, "", true, true);
    }
    return reference(valueText(), ".exe", true);
  }

  if (problem == "Non-existent MRU and History Lists file") {
    if (issue.kind == ekEncodedValueInData) {
      auto key = OpenKey(registry, target.root, target.path);
      platform::RegValue value;
      if (!key || key->QueryValue(target.valueName, value) != platform::kSuccess)
        return std::string(kNoLonger) + "the usage counter is gone.";
      const std::string& plain = issue.data;
      const bool neverRun = value.data.size() >= 8 && value.data[4] == 0 && value.data[5] == 0 &&
                            value.data[6] == 0 && value.data[7] == 0;
      const size_t colon = plain.find(':');
      if (neverRun) return "The usage counter of " + plain + " shows it never ran.";
      if (colon == kNone || plain.find(".lnk") != kNone)
        return "The usage counter of " + plain + " names nothing the scan can look for now.";
      return ExplainReference(plain.substr(colon + 1), "", true, true);
    }
    if (EqualsNoCase(target.path, kDialogMruPath)) {
      const std::optional<std::string> text = valueText();
      if (!text) return std::string(kNoLonger) + "the entry is gone from the dialog's history.";
      std::vector<std::string> extensions;
      if (auto key = OpenKey(registry, target.root, target.path))
        (void)key->SubKeyNames(extensions);
      std::vector<std::string> shown;
      for (const std::string& extension : extensions) {
        if (extension == "*") continue;
        if (scan_->FileExists(*text + "." + extension))
          return std::string(kNoLonger) + *text + "." + extension + " exists now.";
        if (shown.size() < 6) shown.push_back("." + extension);
      }
      if (shown.empty())
        return "The file dialog's history names " + *text +
               ", and it lists no extension to look for.";
      return "The file dialog's history names " + *text + " without its extension; no file " +
             *text + " with " + Listed(shown) +
             (extensions.size() > shown.size() + 1 ? " or the others it lists" : "") + " exists.";
    }
    return reference(valueText(), "", true);
  }

  if (problem == "Old Start Menu Key") {
    if (!keyExists(target.path)) return std::string(kNoLonger) + "the key is gone.";
    std::vector<std::string> folders;
    for (const int csidl : {platform::kCsidlPrograms, platform::kCsidlCommonPrograms}) {
      const std::optional<std::string> folder = scan_->Files().SpecialFolder(csidl);
      if (!folder || folder->empty()) continue;
      if (scan_->FolderExists(*folder + "\\" + issue.data))
        return std::string(kNoLonger) + *folder + "\\" + issue.data + " exists now.";
      folders.push_back(*folder);
    }
    return "No folder " + issue.data + " in the Start menu's Programs folders (" + Listed(folders) +
           "): the menu order kept for it belongs to nothing.";
  }

  if (problem == "Obsolete Software Entry" || problem == "Empty Registry Keys" ||
      problem == "Useless File Extension") {
    auto key = OpenKey(registry, target.root, target.path);
    if (!key) return std::string(kNoLonger) + "the key " + keyText + " is gone.";
    uint32_t subKeys = 0, values = 0;
    if (key->QueryInfo(subKeys, values) != platform::kSuccess) return "";
    if (problem == "Useless File Extension" && values == 1 && subKeys == 0) {
      const std::optional<std::string> text = TextValue(*key, "");
      if (text && text->empty())
        return keyText + " holds only an empty default value: it names no file type.";
    }
    key.reset();
    if (scan_->CountKeyContent(target.root, target.path, 1) >= 1)
      return std::string(kNoLonger) + keyText + " holds values now.";
    std::string sentence =
        keyText + (subKeys == 0   ? " has no values and no sub-keys"
                   : subKeys == 1 ? " has no values, and its sub-key holds none either"
                                  : " has no values, and its " + std::to_string(subKeys) +
                                        " sub-keys hold none either");
    if (problem == "Obsolete Software Entry")
      return sentence +
             ": a program's key right below Software with nothing in it is left over "
             "from software that is gone.";
    if (problem == "Useless File Extension")
      return sentence + ": it tells Windows nothing about the file type.";
    return sentence + ".";
  }

  if (problem == "Invalide Add/Remove Programs") {
    auto key = OpenKey(registry, target.root, target.path);
    if (!key) return std::string(kNoLonger) + "the entry " + issue.data + " is gone.";
    std::vector<std::string> names;
    (void)key->ValueNames(names);
    for (const std::string& name : names)
      if (ContainsNoCase(name, "UninstallString") || EqualsNoCase(name, "SystemComponent"))
        return std::string(kNoLonger) + "the entry has its " + name + " value now.";
    return "The uninstall entry " + issue.data +
           " has no UninstallString value and is not a system component: Add/Remove Programs "
           "cannot remove the program.";
  }

  if (problem == "Non-existent Shared Dlls") {
    auto key = OpenKey(registry, target.root, target.path);
    platform::RegValue value;
    if (!key || key->QueryValue(issue.data, value) != platform::kSuccess)
      return std::string(kNoLonger) + "the value is no longer there.";
    if (value.data.size() == 4 && value.data.find_first_not_of('\0') == kNone)
      return "The reference count of " + issue.data + " is 0: no program says it uses the file.";
    return ExplainReference(issue.data, "", false, true);
  }

  if (problem == "Invalid Windows Fonts") {
    const std::optional<std::string> text = valueText();
    if (text) {
      const std::optional<std::string> fonts = scan_->Files().SpecialFolder(platform::kCsidlFonts);
      if (fonts && !fonts->empty() && scan_->FileExists(*fonts + "\\" + *text))
        return std::string(kNoLonger) + "the fonts folder holds " + *text + ".";
    }
    return reference(text, "", false);
  }

  if (problem == "Invalid Help Files Item") {
    std::optional<std::string> path = valueText();
    if (path) {
      if (!path->empty() && path->back() != '\\') *path += '\\';
      *path += target.valueName;
    }
    return reference(path, "", false);
  }

  if (problem == "Non-existent Startup Programs") {
    std::optional<std::string> text;
    if (issue.kind == ekKey) {
      if (auto key = OpenKey(registry, target.root, target.path)) text = TextValue(*key, "command");
    } else {
      text = valueText();
    }
    if (text && (text->empty() || *text == "\"\"")) {
      const std::string name = issue.kind == ekKey ? LastComponent(target.path) : target.valueName;
      return "The command line " + (text->empty() ? "" : *text + " ") + "of " + name +
             " is empty: it starts nothing.";
    }
    return reference(text, "", false);
  }

  if (problem == "Windows Service Issue") return reference(valueText(), "", true);
  if (problem == "Non-existent Sound File") return reference(valueText(), "", false);

  if (problem == "Custom Controls Issue") {
    auto key = OpenKey(registry, target.root, target.path);
    if (!key) return std::string(kNoLonger) + "the key " + keyText + " is gone.";
    if (issue.data.find(" - ") != kNone && ContainsNoCase(target.path, "Interface\\")) {
      auto typeLib = OpenKey(registry, target.root, target.path + "\\TypeLib");
      const std::optional<std::string> ref = typeLib ? TextValue(*typeLib, "") : std::nullopt;
      if (!ref || ref->empty())
        return std::string(kNoLonger) + "it names no type library any more.";
      if (keyExists("TypeLib\\" + *ref) ||
          (options_.check64Bit && keyExists("Wow6432Node\\TypeLib\\" + *ref)))
        return std::string(kNoLonger) + "the type library " + *ref + " is registered now.";
      return "The interface " + LastComponent(target.path) + " names the type library " + *ref +
             ", which has no key under HKEY_CLASSES_ROOT\\TypeLib.";
    }
    return reference(TextValue(*key, ""), "", false);
  }

  if (problem == "Open with Application Issue") {
    auto key = OpenKey(registry, target.root, target.path);
    if (!key) return std::string(kNoLonger) + "the key " + keyText + " is gone.";
    const std::optional<std::string> text = TextValue(*key, "");
    if (!text || text->empty())
      return "The command key " + keyText + " holds no command: it opens nothing.";
    return reference(text, "", false);
  }

  if (problem == "Missing ShortCut reference") {
    if (!scan_->FileExists(issue.key)) return std::string(kNoLonger) + "the shortcut is gone.";
    const std::string link = scan_->Files().ShortcutTarget(issue.key).value_or("");
    for (const std::string& spelling : scan_->PathSpellings(link))
      if (!link.empty() && scan_->FolderExists(spelling))
        return std::string(kNoLonger) + "the shortcut's target " + spelling +
               " is a folder that exists.";
    return ExplainReference(link, "", false, true);
  }
  return "";
}

ReferenceTrace TraceReference(const platform::Platform& platform, const ResolveRequest& request) {
  RecordingFileSystem files(platform.files);
  const platform::Platform traced{platform.registry, files, platform.system, platform.processes,
                                  platform.restorePoint};
  FindingExplainer explainer(traced, {request.ignoreRemoveDrives, request.check64Bit});
  ReferenceTrace trace;
  files.Record(true);
  trace.broken = explainer.IsBroken(request.text, request.requiredSuffix, request.dirsAllowed);
  files.Record(false);
  trace.steps = files.Steps();
  trace.reason =
      explainer.ExplainReference(request.text, request.requiredSuffix, request.dirsAllowed);
  return trace;
}

}  // namespace tallowin
