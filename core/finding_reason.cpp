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
constexpr const char* kUninstallPath = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string SeparatorName(char c, const Wording& words) {
  switch (c) {
    case ' ': return words[Phrase::WhyCutAtSpace];
    case ',': return words[Phrase::WhyCutAtComma];
    case '/': return words[Phrase::WhyCutAtSlash];
    case ':': return words[Phrase::WhyCutAtColon];
    case ';': return words[Phrase::WhyCutAtSemicolon];
    default: return words.Say(Phrase::WhyCutAtOther, {std::string_view(&c, 1)});
  }
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
  ReferenceReader(TScanTaskThread& scan, const Wording& words, std::string suffix,
                  bool dirsAllowed)
      : scan_(scan), words_(words), suffix_(std::move(suffix)), dirs_(dirsAllowed) {}

  // The places the text may mean after its quotes and leading variable, as the test
  // reads it, each with the variable's expansion; `lead` tells the expansion.
  std::vector<std::string> Places(const std::string& text, std::string& lead) {
    std::string_view path = text;
    quoted_ = !path.empty() && path.front() == '"';
    if (quoted_) {
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
        lead = words_.Say(Phrase::WhyExpandsTo, {variable, words_.Listed(expansions)});
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
      sentence = words_.Say(Phrase::WhyOnEmptyFloppy, {path, path.substr(0, 2)});
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
    // A quoted path is looked for whole: the quotes say where its arguments begin.
    if (suffix_.empty() && !quoted_)
      for (size_t i = 0; i < component.size() && cut == kNone; ++i)
        if (IsArgumentSeparator(component[i])) cut = i;
    // Inside the path a name with a separator is a missing folder ("Old Version\"),
    // unless what comes before the separator looks like a program ("run.exe -f \x").
    if (cut != kNone && end != kNone && component.substr(0, cut).find('.') == kNone) cut = kNone;
    if (cut != kNone && cut > 0) {
      target = path.substr(0, existing + cut);
      sentence =
          words_.Say(Phrase::WhyArgumentsCut, {target, SeparatorName(component[cut], words_)});
    } else if (!missing.empty()) {
      target = path;
      sentence = missing.size() + 1 >= path.size()
                     ? words_.Say(Phrase::WhyFolderMissing, {missing})
                     : words_.Say(Phrase::WhyPathFolderMissing, {path, missing});
    } else {
      target = path;
      const bool bare = suffix_.empty() && LastComponent(path).find('.') == kNone;
      // A folder where only a file will do.
      const bool folder = !dirs_ && scan_.FolderExists(path);
      const Phrase phrase = folder ? (bare ? Phrase::WhyFolderNotProgram : Phrase::WhyFolderNotFile)
                                   : (bare ? Phrase::WhyProgramMissing : Phrase::WhyFileMissing);
      sentence = words_.Say(phrase, {path});
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
  const Wording& words_;
  const std::string suffix_;
  const bool dirs_;
  bool quoted_ = false;  // the text Places was last given began with a quote
};

// Why the test does not judge a text at all (its early stops), or "" when it did.
std::string UntestedWhy(const TScanTaskThread& scan, const std::string& text,
                        const Wording& words) {
  if (text.empty()) return words[Phrase::WhyTextEmpty];
  if (text.find('?') != kNone) return words[Phrase::WhyTextHoldsQuestionMark];
  if (ContainsNoCase(text, "\\hp")) return words[Phrase::WhyTextHoldsHp];
  if (scan.IsWow64 && !scan.Check64Bit &&
      (ContainsNoCase(text, "system32") || ContainsNoCase(text, "Program Files") ||
       ContainsNoCase(text, "ProgramFiles")))
    return words[Phrase::WhyRedirected];
  std::string_view path = text;
  if (path.front() == '"') {
    path.remove_prefix(1);
    path = path.substr(0, path.find('"'));
  }
  if (!path.empty() && path.front() == '%') return words[Phrase::WhyVariableNamesNoFolder];
  if (path.size() < 3 || path.substr(1, 2) != ":\\") return words[Phrase::WhyNoDriveLetter];
  if (!ContainsNoCase(scan.DriveLetters, path.substr(0, 1)))
    return words.Say(Phrase::WhyDriveNotTested, {path.substr(0, 2)});
  if (path.substr(3).find(":\\") != kNone) return words[Phrase::WhySecondDrive];
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
  const Wording& words = *options_.wording;
  ReferenceReader reader(*scan_, words, requiredSuffix, dirsAllowed);
  std::string lead;
  const std::vector<std::string> places = reader.Places(text, lead);
  if (!IsBroken(text, requiredSuffix, dirsAllowed)) {
    const Phrase verdict = mended ? Phrase::WhyNoLongerBroken : Phrase::WhyNotBroken;
    const std::string untested = UntestedWhy(*scan_, text, words);
    if (!untested.empty()) return words.Say(verdict, {untested});
    for (const std::string& place : places) {
      std::string target, sentence;
      reader.Describe(place, target, sentence);
      if (reader.Found(target))
        return words.Say(verdict,
                         {words.Say(mended ? Phrase::WhyExistsNow : Phrase::WhyExists, {target})});
    }
    return words.Say(verdict, {words.Say(Phrase::WhyTestFinds, {text})});
  }
  std::vector<std::string> targets, sentences;
  for (const std::string& place : places) {
    std::string target, sentence;
    reader.Describe(place, target, sentence);
    targets.push_back(target);
    sentences.push_back(sentence);
  }
  if (sentences.empty()) return words.Say(Phrase::WhyFoundNothing, {text});
  if (sentences.size() == 1) return lead + sentences.front();
  return lead + words.Say(targets.size() == 2 ? Phrase::WhyNeitherExists : Phrase::WhyNoneExists,
                          {words.Listed(targets)});
}

std::string FindingExplainer::Explain(const Issue& issue) {
  try {
    std::string why = ExplainRow(issue);
    if (!why.empty()) return why;
  } catch (...) {
    // An answer the registry or the file system could not give: the general reason stays.
  }
  return options_.wording->Say(Phrase::WhyGeneral, {issue.problem.str()});
}

// One row being explained: the item it names, and the questions the steps ask of it.
struct FindingExplainer::Row {
  Row(FindingExplainer& explainer, const Issue& row)
      : self(explainer),
        scan(*explainer.scan_),
        issue(row),
        target(ResolveIssueTarget(row)),
        registry(explainer.RegistryOf(row)),
        keyText(KeyText(target)),
        words(*explainer.options_.wording) {}

  FindingExplainer& self;
  TScanTaskThread& scan;
  const Issue& issue;
  const IssueTarget target;
  platform::Registry& registry;
  const std::string keyText;
  const Wording& words;

  std::unique_ptr<platform::RegistryKey> Open(const std::string& path) const {
    return OpenKey(registry, target.root, path);
  }
  bool KeyExists(const std::string& path) const { return Open(path) != nullptr; }
  // "No longer broken: " and the clause.
  std::string Mended(Phrase clause, std::initializer_list<std::string_view> values = {}) const {
    return words.Say(Phrase::WhyNoLongerBroken, {words.Say(clause, values)});
  }
  std::string KeyGone() const { return Mended(Phrase::WhyKeyGone, {keyText}); }

  // The value the row names, as text; nullopt when it is gone.
  std::optional<std::string> ValueText() {
    if (target.kind != IssueTarget::Kind::Value) return std::nullopt;
    // Rows of one key come one after another: its handle is kept for the next. A kept
    // handle may name a key deleted since; only a fresh one says the value is gone.
    OpenedKey& kept = *self.lastKey_;
    if (kept.key && kept.view == issue.view && kept.root == target.root && kept.path == target.path)
      if (auto text = TextValue(*kept.key, target.valueName)) return text;
    kept = {issue.view, target.root, target.path, Open(target.path)};
    if (!kept.key) return std::nullopt;
    return TextValue(*kept.key, target.valueName);
  }
  std::string Reference(const std::optional<std::string>& text, const std::string& suffix,
                        bool dirs) {
    if (!text) return Mended(Phrase::WhyValueGone);
    return self.ExplainReference(*text, suffix, dirs, true);
  }

  // ---- one step per family of rules ----------------------------------------------
  // A value read as a file reference.
  std::string ValueReference(const std::string& suffix, bool dirs) {
    return Reference(ValueText(), suffix, dirs);
  }
  // A registration naming another that is not registered: a ProgID's class, a class's
  // AppID, an interface's type library.
  std::string Registration();
  // A command line kept in a key's default value (custom controls, open-with commands)
  // or in a startup entry.
  std::string CommandKey();
  std::string StartupCommand();
  // A key with nothing in it.
  std::string EmptyKey();
  // Entries of the program lists: an uninstall entry, the installer's folders, the
  // Add/Remove Programs cache.
  std::string UninstallEntry();
  std::string InstallerFolder();
  std::string ProgramsCacheEntry();
  // The history lists.
  std::string DialogHistory();
  std::string UsageCounter();
  // Files Windows keeps lists of.
  std::string SharedDll();
  std::string Font();
  std::string HelpFile();
  // The Start menu and shortcuts.
  std::string StartMenuFolder();
  std::string Shortcut();
};

std::string FindingExplainer::Row::Registration() {
  struct Link {
    const char* subKey;     // where it names the other, below the row's key ("" = itself)
    const char* valueName;  // ... in that key's value
    const char* list;       // the key below HKEY_CLASSES_ROOT that registers those
    Phrase unlinked;        // when it names nothing any more
    Phrase registered;      // when what it names is registered now
    Phrase missing;         // when what it names is not registered
  };
  static constexpr Link kProgId{"\\CLSID",
                                "",
                                "CLSID",
                                Phrase::WhyProgIdUnlinked,
                                Phrase::WhyClassRegistered,
                                Phrase::WhyProgIdClassMissing};
  static constexpr Link kClass{"",
                               "AppID",
                               "AppID",
                               Phrase::WhyClassUnlinked,
                               Phrase::WhyAppIdRegistered,
                               Phrase::WhyClassAppIdMissing};
  static constexpr Link kInterface{"\\TypeLib",
                                   "",
                                   "TypeLib",
                                   Phrase::WhyInterfaceUnlinked,
                                   Phrase::WhyTypeLibRegistered,
                                   Phrase::WhyInterfaceTypeLibMissing};
  const Link& link = issue.rule == FindingRule::ProgIdClass  ? kProgId
                     : issue.rule == FindingRule::ClassAppId ? kClass
                                                             : kInterface;
  auto key = Open(target.path);
  if (!key) return KeyGone();
  std::unique_ptr<platform::RegistryKey> sub;
  if (*link.subKey != '\0') sub = Open(target.path + link.subKey);
  platform::RegistryKey* naming = *link.subKey != '\0' ? sub.get() : key.get();
  const std::optional<std::string> ref = naming ? TextValue(*naming, link.valueName) : std::nullopt;
  const std::string name = LastComponent(target.path);
  if (ref && ref->empty() && issue.rule == FindingRule::ProgIdClass)
    return words.Say(Phrase::WhyProgIdNoClass, {name});
  if (!ref || ref->empty()) return Mended(link.unlinked);
  const std::string listed = std::string(link.list) + "\\" + *ref;
  if (KeyExists(listed) || (self.options_.check64Bit && KeyExists("Wow6432Node\\" + listed)))
    return Mended(link.registered, {*ref});
  return words.Say(link.missing, {name, *ref});
}

std::string FindingExplainer::Row::CommandKey() {
  auto key = Open(target.path);
  if (!key) return KeyGone();
  const std::optional<std::string> text = TextValue(*key, "");
  if (issue.rule == FindingRule::OpenWithCommand && (!text || text->empty()))
    return words.Say(Phrase::WhyCommandKeyEmpty, {keyText});
  return Reference(text, "", false);
}

std::string FindingExplainer::Row::StartupCommand() {
  std::optional<std::string> text;
  if (issue.rule == FindingRule::StartupEntry) {
    if (auto key = Open(target.path)) text = TextValue(*key, "command");
  } else {
    text = ValueText();
  }
  if (text && (text->empty() || *text == "\"\"")) {
    const std::string name =
        issue.rule == FindingRule::StartupEntry ? LastComponent(target.path) : target.valueName;
    return text->empty() ? words.Say(Phrase::WhyStartupEmpty, {name})
                         : words.Say(Phrase::WhyStartupQuotesOnly, {*text, name});
  }
  return Reference(text, "", false);
}

std::string FindingExplainer::Row::EmptyKey() {
  auto key = Open(target.path);
  if (!key) return KeyGone();
  uint32_t subKeys = 0, values = 0;
  if (key->QueryInfo(subKeys, values) != platform::kSuccess) return "";
  const bool extension = issue.rule == FindingRule::UselessExtension;
  if (extension && values == 1 && subKeys == 0) {
    const std::optional<std::string> text = TextValue(*key, "");
    if (text && text->empty())
      return words.Say(Phrase::WhyEmptyDefaultOnly, {keyText});
  }
  key.reset();
  if (scan.CountKeyContent(target.root, target.path, 1) >= 1)
    return Mended(Phrase::WhyHoldsValuesNow, {keyText});
  const std::string count = std::to_string(subKeys);
  const std::string state = words.Say(subKeys == 0   ? Phrase::WhyNoValuesNoSubKeys
                                      : subKeys == 1 ? Phrase::WhyNoValuesSubKeyEmpty
                                                     : Phrase::WhyNoValuesSubKeysEmpty,
                                      {keyText, count});
  return words.Say(issue.rule == FindingRule::ObsoleteSoftware ? Phrase::WhyEmptySoftwareKey
                   : extension                                 ? Phrase::WhyEmptyExtension
                                                               : Phrase::WhyEmptyKey,
                   {state});
}

std::string FindingExplainer::Row::UninstallEntry() {
  auto key = Open(target.path);
  if (!key) return Mended(Phrase::WhyUninstallEntryGone, {issue.data});
  std::vector<std::string> names;
  (void)key->ValueNames(names);
  for (const std::string& name : names)
    if (ContainsNoCase(name, "UninstallString") || EqualsNoCase(name, "SystemComponent"))
      return Mended(Phrase::WhyUninstallHasValue, {name});
  return words.Say(Phrase::WhyUninstallNoCommand, {issue.data});
}

std::string FindingExplainer::Row::InstallerFolder() {
  auto key = Open(target.path);
  platform::RegValue value;
  if (!key || key->QueryValue(issue.data, value) != platform::kSuccess)
    return Mended(Phrase::WhyInstallerFolderGone);
  return words.Say(Phrase::WhyInstallerFolder,
                   {issue.data, self.ExplainReference(issue.data, "", true, true)});
}

std::string FindingExplainer::Row::ProgramsCacheEntry() {
  if (!KeyExists(target.path)) return Mended(Phrase::WhyCacheEntryGone);
  if (OpenKey(registry, Root::LocalMachine, std::string(kUninstallPath) + "\\" + issue.data))
    return Mended(Phrase::WhyCacheProgramListed, {issue.data});
  return words.Say(Phrase::WhyCacheNoProgram, {issue.data, kUninstallPath});
}

std::string FindingExplainer::Row::DialogHistory() {
  const std::optional<std::string> text = ValueText();
  if (!text) return Mended(Phrase::WhyHistoryEntryGone);
  std::vector<std::string> extensions;
  if (auto key = Open(target.path)) (void)key->SubKeyNames(extensions);
  std::vector<std::string> shown;
  for (const std::string& extension : extensions) {
    if (extension == "*") continue;
    if (scan.FileExists(*text + "." + extension))
      return Mended(Phrase::WhyExistsNow, {*text + "." + extension});
    if (shown.size() < 6) shown.push_back("." + extension);
  }
  if (shown.empty()) return words.Say(Phrase::WhyHistoryNoExtensions, {*text});
  const bool more = extensions.size() > shown.size() + 1;
  return words.Say(more ? Phrase::WhyHistoryNoFileOfMore : Phrase::WhyHistoryNoFile,
                   {*text, words.Listed(shown)});
}

std::string FindingExplainer::Row::UsageCounter() {
  auto key = Open(target.path);
  platform::RegValue value;
  if (!key || key->QueryValue(target.valueName, value) != platform::kSuccess)
    return Mended(Phrase::WhyUsageCounterGone);
  const std::string& plain = issue.data;
  const bool neverRun = value.data.size() >= 8 && value.data[4] == 0 && value.data[5] == 0 &&
                        value.data[6] == 0 && value.data[7] == 0;
  const size_t colon = plain.find(':');
  if (neverRun) return words.Say(Phrase::WhyNeverRan, {plain});
  if (colon == kNone || plain.find(".lnk") != kNone)
    return words.Say(Phrase::WhyUsageNamesNothing, {plain});
  return self.ExplainReference(plain.substr(colon + 1), "", true, true);
}

std::string FindingExplainer::Row::SharedDll() {
  auto key = Open(target.path);
  platform::RegValue value;
  if (!key || key->QueryValue(issue.data, value) != platform::kSuccess)
    return Mended(Phrase::WhyValueGone);
  if (value.data.size() == 4 && value.data.find_first_not_of('\0') == kNone)
    return words.Say(Phrase::WhyUnreferenced, {issue.data});
  return self.ExplainReference(issue.data, "", false, true);
}

std::string FindingExplainer::Row::Font() {
  const std::optional<std::string> text = ValueText();
  if (text) {
    const std::optional<std::string> fonts = scan.Files().SpecialFolder(platform::kCsidlFonts);
    if (fonts && !fonts->empty() && scan.FileExists(*fonts + "\\" + *text))
      return Mended(Phrase::WhyFontInFolder, {*text});
  }
  return Reference(text, "", false);
}

std::string FindingExplainer::Row::HelpFile() {
  std::optional<std::string> path = ValueText();
  if (path) {
    if (!path->empty() && path->back() != '\\') *path += '\\';
    *path += target.valueName;
  }
  return Reference(path, "", false);
}

std::string FindingExplainer::Row::StartMenuFolder() {
  if (!KeyExists(target.path)) return Mended(Phrase::WhyStartMenuKeyGone);
  std::vector<std::string> folders;
  for (const int csidl : {platform::kCsidlPrograms, platform::kCsidlCommonPrograms}) {
    const std::optional<std::string> folder = scan.Files().SpecialFolder(csidl);
    if (!folder || folder->empty()) continue;
    if (scan.FolderExists(*folder + "\\" + issue.data))
      return Mended(Phrase::WhyExistsNow, {*folder + "\\" + issue.data});
    folders.push_back(*folder);
  }
  return words.Say(Phrase::WhyStartMenuNoFolder, {issue.data, words.Listed(folders)});
}

std::string FindingExplainer::Row::Shortcut() {
  if (!scan.FileExists(issue.key)) return Mended(Phrase::WhyShortcutGone);
  const std::string link = scan.Files().ShortcutTarget(issue.key).value_or("");
  for (const std::string& spelling : scan.PathSpellings(link))
    if (!link.empty() && scan.FolderExists(spelling))
      return Mended(Phrase::WhyShortcutToFolder, {spelling});
  return self.ExplainReference(link, "", false, true);
}

// Every rule has its step: a rule added without one does not build.
std::string FindingExplainer::ExplainRow(const Issue& issue) {
  Row row(*this, issue);
  switch (issue.rule) {
    case FindingRule::None: return "";
    case FindingRule::PathReference:
    case FindingRule::SoftwareLocation:
    case FindingRule::HistoryReference:
    case FindingRule::ServiceImage: return row.ValueReference("", true);
    case FindingRule::SoundEvent: return row.ValueReference("", false);
    case FindingRule::TypeLibraryFile: return row.ValueReference(".dll", true);
    case FindingRule::InstallerReference: return row.ValueReference(".exe", true);
    case FindingRule::ProgIdClass:
    case FindingRule::ClassAppId:
    case FindingRule::InterfaceTypeLibrary: return row.Registration();
    case FindingRule::CustomControl:
    case FindingRule::OpenWithCommand: return row.CommandKey();
    case FindingRule::RunValue:
    case FindingRule::StartupEntry: return row.StartupCommand();
    case FindingRule::ObsoleteSoftware:
    case FindingRule::EmptyKey:
    case FindingRule::UselessExtension: return row.EmptyKey();
    case FindingRule::UninstallCommand: return row.UninstallEntry();
    case FindingRule::InstallerFolder: return row.InstallerFolder();
    case FindingRule::ProgramsListCache: return row.ProgramsCacheEntry();
    case FindingRule::DialogHistory: return row.DialogHistory();
    case FindingRule::UsageCounter: return row.UsageCounter();
    case FindingRule::SharedDll: return row.SharedDll();
    case FindingRule::Font: return row.Font();
    case FindingRule::HelpFile: return row.HelpFile();
    case FindingRule::StartMenuOrder: return row.StartMenuFolder();
    case FindingRule::Shortcut: return row.Shortcut();
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
