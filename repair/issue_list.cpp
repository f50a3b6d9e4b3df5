#include "repair/issue_list.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "platform/reg_global.h"
#include "platform/registry_view.h"
#include "platform/text.h"

namespace tallowin {

namespace {

// Keys whose findings are never repaired, always.
const char* const kListBox1[] = {
    "HKEY_CLASSES_ROOT\\.DAT",
    "HKEY_CLASSES_ROOT\\.hta",
    "HKEY_CLASSES_ROOT\\.htc",
    "HKEY_CLASSES_ROOT\\.manifest",
    "HKEY_CLASSES_ROOT\\Applications\\WINWORD.EXE\\TaskbarExceptionsIcons",
    "HKEY_CLASSES_ROOT\\CLSID\\{08EE6878-C867-4D8C-A360-FED4B6501D54}",
    "HKEY_CURRENT_USER\\Software\\Lexmark",
    "HKEY_CURRENT_USER\\Software\\JavaSoft",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\lexmark\\MarkVision\\LexBCE\\Debug Options",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\WBEM\\WDM",
    "HKEY_USERS\\S-1-5-20\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "HKEY_USERS\\S-1-5-19\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "HKEY_USERS\\S-1-5-20\\Software\\Microsoft\\MediaPlayer\\Setup\\CreatedLinks",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\IMAPI\\StashInfo",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\10.0\\Outlook\\Journal",
    "HKEY_CURRENT_USER\\Software\\ThinPrint",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\11.0\\Outlook\\Journal",
    "HKEY_CURRENT_USER\\Software\\Ahead\\Nero - Burning Rom\\Database",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Citrix Program Neighborhood",
    "HKEY_CURRENT_USER\\Software\\Funk Software, Inc.",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Media Center\\MRU",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Hewlett-Packard\\DigitalImaging",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\SilverFast UScan-SE_is1",
    "HKEY_CLASSES_ROOT\\CLSID\\{01483019-D8C9-47D8-8E93-AF032EBFADA6}",
    "HKEY_CLASSES_ROOT\\CLSID\\{19CAD08F-0413-47F8-B1D9-5D66826E1E39}",
    "HKEY_CLASSES_ROOT\\CLSID\\{42130E6A-0045-4208-A252-71CA12C8FE99}",
    "HKEY_CLASSES_ROOT\\CLSID\\{4D6295C9-2765-49B0-A45B-4136B610954C}",
    "HKEY_CLASSES_ROOT\\CLSID\\{56101D38-6A8B-49D6-8C9D-939595AB2D19}",
    "HKEY_CLASSES_ROOT\\CLSID\\{5A810830-B199-4a4c-89CB-928D960A5C04}",
    "HKEY_CLASSES_ROOT\\CLSID\\{83E6F60E-7147-4475-9DF6-5F1E237FE2CE}",
    "HKEY_CLASSES_ROOT\\CLSID\\{959BA0A4-0893-48B4-8B02-BA0DA0A401FE}",
    "HKEY_CLASSES_ROOT\\CLSID\\{D8E9E2ED-846D-4711-A9B8-A29312157DB4}",
    "HKEY_CLASSES_ROOT\\CLSID\\{DEBBD32E-1D08-4F6A-8A26-E1B3D768A1E5}",
    "HKEY_CLASSES_ROOT\\CLSID\\{F01F76EC-3376-4E62-B201-8074C8239376}",
};

// The same for Windows NT 6.0 and later.
const char* const kListBox2[] = {
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Speech\\Recognizers\\Tokens",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Setup\\Sysprep\\Cleanup",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\IME\\China\\imesc\\Directories",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\TPG\\InputPersonalization\\AnalysisTokens\\4103\\IPS",
    "HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\{B977CB2D-EC6E-4A8F-BFFE-D18682BB0D52}\\InProcServer32",
    "HKEY_CLASSES_ROOT\\CLSID\\{B977CB2D-EC6E-4A8F-BFFE-D18682BB0D52}\\InProcServer32",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\IMEJP\\10.0\\directories",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\PowerShell\\1\\PowerShellEngine",
    "HKEY_LOCAL_MASCHINE\\Software\\ARM Software\\MacroMaker",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.wdseml",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.mp3",
};

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

std::string WithBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

// The fixed text rules of the first pass.
bool RemovedByTextRules(const Issue& row) {
  const std::string key = AsciiUpper(row.key);
  if (Contains(key, "CLSID\\{DFEAF541-F3E1-4C24-ACAC-99C30715084A}")) return true;
  if (Contains(key, "CLSID\\{DC6EFB56-9CFA-464D-8880-44885D7DC193}")) return true;
  if (Contains(AsciiUpper(row.data), "%USERNAME%_")) return true;
  if (Contains(key, "%USERNAME%_")) return true;
  if (Contains(row.key, "?")) {
    if (Contains(row.key, ":\\")) return true;
    const size_t percent = row.key.find('%');
    if (percent != std::string::npos && Contains(row.key.substr(percent + 1), "%\\")) return true;
  }
  if (Contains(row.data, "?")) {
    if (Contains(row.data, ":\\")) return true;
    const size_t percent = row.data.find('%');
    if (percent != std::string::npos && Contains(row.data.substr(percent + 1), "%")) return true;
  }
  return false;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string Joined(std::string_view prefix, std::string_view rest) {
  std::string path(prefix);
  if (!rest.empty()) {
    if (!path.empty()) path += '\\';
    path += rest;
  }
  return path;
}

// The rest of `path` below the key `prefix` (whole names, any case); nullopt when the
// path is not that key or below it.
std::optional<std::string_view> Below(std::string_view path, std::string_view prefix) {
  if (!StartsWithNoCase(path, prefix)) return std::nullopt;
  if (path.size() == prefix.size()) return std::string_view();
  if (path[prefix.size()] != '\\') return std::nullopt;
  return path.substr(prefix.size() + 1);
}

std::string NameText(platform::Root root, std::string_view path) {
  return Joined(platform::RootName(root), path);
}

// The row's key (the check path) and value name as the exclusions judge them; nullopt
// for a row that names no registry item.
struct RowItem {
  std::string root;
  std::string path;   // below the root
  bool value = false;
  std::string valueName;
};
std::optional<RowItem> ItemOf(const Issue& row) {
  const size_t split = row.key.find('\\');
  if (split == std::string::npos) return std::nullopt;
  RowItem item;
  item.root = row.key.substr(0, split);
  const std::string_view rest = std::string_view(row.key).substr(split + 1);
  switch (row.kind) {
    case ekKey:
      item.path = rest;
      break;
    case ekValueInKeyPath: {
      const size_t last = rest.rfind('\\');
      item.value = true;
      if (last == std::string_view::npos) {
        item.valueName = rest;
      } else {
        item.path = rest.substr(0, last);
        item.valueName = rest.substr(last + 1);
      }
      break;
    }
    case ekValueInData:
      item.path = rest;
      item.value = true;
      item.valueName = row.data;
      break;
    case ekSubKeyInData:
      item.path = Joined(rest, row.data);
      break;
    case ekDefaultValue:
      item.path = rest;
      item.value = true;
      break;
    case ekEncodedValueInData:
      item.path = rest;
      item.value = true;
      item.valueName = Rot13(row.data);
      break;
    default:  // ekFile, and anything that names no registry item
      return std::nullopt;
  }
  return item;
}

// One name for a key among all its names, upper-cased: the current user's key below
// HKEY_USERS, a user's classes key as "<SID>_Classes", the classes' node where
// HKLM\Software\Wow6432Node\Classes links to it; with `machineClasses`, a key of
// HKEY_CLASSES_ROOT as the machine's.
std::string CanonicalName(KeyName key, const std::string& sid, bool machineClasses) {
  using platform::Root;
  if (key.root == Root::CurrentUser && !sid.empty()) {
    key.root = Root::Users;
    key.path = Joined(sid, key.path);
  }
  if (key.root == Root::ClassesRoot && machineClasses) {
    key.root = Root::LocalMachine;
    key.path = Joined("Software\\Classes", key.path);
  }
  if (key.root == Root::Users) {
    const size_t slash = key.path.find('\\');
    if (slash != std::string::npos) {
      if (const auto rest = Below(std::string_view(key.path).substr(slash + 1), "Software\\Classes"))
        key.path = Joined(key.path.substr(0, slash) + "_Classes", *rest);
    }
  }
  if (key.root == Root::LocalMachine) {
    if (const auto rest = Below(key.path, "Software\\Wow6432Node\\Classes"))
      key.path = Joined("Software\\Classes\\Wow6432Node", *rest);
  }
  return AsciiUpper(NameText(key.root, key.path));
}

// A key below HKEY_CLASSES_ROOT or a classes key: which key it is, the registry knows.
bool IsClassesKey(const KeyName& key) {
  using platform::Root;
  switch (key.root) {
    case Root::ClassesRoot:
      return true;
    case Root::LocalMachine:
      return Below(key.path, "Software\\Classes").has_value() ||
             Below(key.path, "Software\\Wow6432Node\\Classes").has_value();
    case Root::CurrentUser:
      return Below(key.path, "Software\\Classes").has_value();
    case Root::Users: {
      const size_t slash = key.path.find('\\');
      const std::string_view first = std::string_view(key.path).substr(0, slash);
      if (first.size() > 8 && EqualsNoCase(first.substr(first.size() - 8), "_Classes")) return true;
      return slash != std::string::npos &&
             Below(std::string_view(key.path).substr(slash + 1), "Software\\Classes").has_value();
    }
    case Root::CurrentConfig:
      return false;
  }
  return false;
}

// "\REGISTRY\MACHINE\X" and the like as root and path; nullopt for another form.
std::optional<KeyName> FromRegistryName(std::string_view name) {
  using platform::Root;
  static const std::pair<const char*, Root> kPrefixes[] = {
      {"\\REGISTRY\\MACHINE", Root::LocalMachine},
      {"\\REGISTRY\\USER", Root::Users},
      {"\\REGISTRY\\CURRENT_USER", Root::CurrentUser},
      {"\\REGISTRY\\CLASSES_ROOT", Root::ClassesRoot},
      {"\\REGISTRY\\CURRENT_CONFIG", Root::CurrentConfig},
  };
  for (const auto& [prefix, root] : kPrefixes)
    if (const auto rest = Below(name, prefix)) return KeyName{root, std::string(*rest)};
  return std::nullopt;
}

// Removes the marked rows in one sweep; the selection follows its row or is cleared.
void RemoveMarked(IssueList& list, const std::vector<char>& marked) {
  size_t kept = 0;
  int selected = -1;
  for (size_t i = 0; i < list.rows.size(); ++i) {
    if (marked[i]) continue;
    if (static_cast<int>(i) == list.selected) selected = static_cast<int>(kept);
    if (kept != i) list.rows[kept] = std::move(list.rows[i]);
    ++kept;
  }
  list.rows.resize(kept);
  list.selected = selected;
}

void AddExclusions(const std::vector<std::string>& ignoreKeys, int32_t ignoreKeyCount,
                   bool ntSixOrLater, ExclusionMatcher& matcher) {
  for (const char* entry : kListBox1) matcher.Add(entry);
  const size_t count =
      ignoreKeyCount > 0 ? std::min(ignoreKeys.size(), static_cast<size_t>(ignoreKeyCount)) : 0;
  for (size_t i = 0; i < count; ++i) matcher.Add(ignoreKeys[i]);
  if (ntSixOrLater)
    for (const char* entry : kListBox2) matcher.Add(entry);
}

}  // namespace

const std::vector<std::string>& BuiltInExclusions() {
  static const std::vector<std::string> list(std::begin(kListBox1), std::end(kListBox1));
  return list;
}

const std::vector<std::string>& NtSixExclusions() {
  static const std::vector<std::string> list(std::begin(kListBox2), std::end(kListBox2));
  return list;
}

void IssueList::RemoveAt(size_t index) {
  if (index >= rows.size()) return;
  rows.erase(rows.begin() + static_cast<std::ptrdiff_t>(index));
  if (selected == static_cast<int>(index)) selected = -1;
  else if (selected > static_cast<int>(index)) --selected;
}

size_t IssueList::CheckedCount() const {
  return static_cast<size_t>(std::count_if(rows.begin(), rows.end(),
                                           [](const Issue& row) { return row.checked; }));
}

void IssueList::FilterResults(const std::vector<std::string>& ignoreKeys, int32_t ignoreKeyCount,
                              const FilterContext& context) {
  FilterRun run(ignoreKeys, ignoreKeyCount, context);
  while (!run.Step(*this, rows.size() + 1)) {
  }
}

std::optional<KeyName> ParseKeyName(std::string_view text) {
  using platform::Root;
  const size_t split = text.find('\\');
  const std::string_view rootText = text.substr(0, split);
  std::optional<Root> root = platform::RootFromName(rootText);
  if (!root) {
    static const std::pair<const char*, Root> kShort[] = {
        {"HKLM", Root::LocalMachine}, {"HKCU", Root::CurrentUser}, {"HKCR", Root::ClassesRoot},
        {"HKU", Root::Users},         {"HKCC", Root::CurrentConfig}};
    for (const auto& [name, value] : kShort)
      if (EqualsNoCase(rootText, name)) root = value;
  }
  if (!root) return std::nullopt;
  // No key name holds a backslash or is empty: "\\\\" (as escaped text writes it)
  // and a backslash at either end only separate the names.
  std::string path;
  if (split != std::string_view::npos)
    for (char c : text.substr(split + 1))
      if (c != '\\' || (!path.empty() && path.back() != '\\')) path += c;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return KeyName{*root, std::move(path)};
}

FilterContext MachineFilterContext(const platform::Platform& platform) {
  FilterContext context;
  context.userSid = platform.system.CurrentUserSid();
  context.wow64 = IsRunningUnderWow64(platform.system);
  context.ntSixOrLater = IsNtSixOrLater(platform.system.Version());
  context.registry = &platform.registry;
  return context;
}

std::string ExclusionMatcher::Fold(std::string_view text) const {
  const bool ascii = std::all_of(text.begin(), text.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii || context_.registry == nullptr) return AsciiUpper(text);
  return context_.registry->UpcaseName(text);
}

// The key's names with every link taken to one side: HKEY_CURRENT_USER as the user's key
// below HKEY_USERS, a user's Software\Classes as <SID>_Classes, the machine's
// Software\Wow6432Node\Classes as Software\Classes\Wow6432Node; a key of
// HKEY_CLASSES_ROOT is the machine's and the user's classes key of that name.
void ExclusionMatcher::CanonicalNames(KeyName key, std::vector<std::string>& out) const {
  using platform::Root;
  const std::string& sid = context_.userSid;
  if (key.root == Root::CurrentUser && !sid.empty()) key = {Root::Users, Joined(sid, key.path)};
  std::vector<KeyName> keys;
  if (key.root == Root::ClassesRoot) {
    keys.push_back({Root::LocalMachine, Joined("Software\\Classes", key.path)});
    keys.push_back(sid.empty() ? KeyName{Root::CurrentUser, Joined("Software\\Classes", key.path)}
                               : KeyName{Root::Users, Joined(sid + "_Classes", key.path)});
  } else {
    keys.push_back(std::move(key));
  }
  for (KeyName& name : keys) {
    if (name.root == Root::Users) {
      const size_t slash = name.path.find('\\');
      if (slash != std::string::npos)
        if (const auto rest = Below(std::string_view(name.path).substr(slash + 1), "Software\\Classes"))
          name.path = Joined(name.path.substr(0, slash) + "_Classes", *rest);
    }
    if (name.root == Root::LocalMachine)
      if (const auto rest = Below(name.path, "Software\\Wow6432Node\\Classes"))
        name.path = Joined("Software\\Classes\\Wow6432Node", *rest);
    std::string text = Fold(WithBackslash(NameText(name.root, name.path)));
    if (std::find(out.begin(), out.end(), text) == out.end()) out.push_back(std::move(text));
  }
}

// The names of `keys`, and the names below which every key under them lies: a key above
// the point where two names meet holds the keys of both (HKEY_USERS\<SID> holds
// <SID>_Classes; HKLM\Software\Wow6432Node holds Software\Classes\Wow6432Node).
ExclusionMatcher::Cover ExclusionMatcher::CoverOf(const std::vector<KeyName>& keys) const {
  using platform::Root;
  Cover cover;
  for (const KeyName& key : keys) CanonicalNames(key, cover.names);
  cover.tops = cover.names;
  for (KeyName key : keys) {
    if (key.root == Root::CurrentUser && !context_.userSid.empty())
      key = {Root::Users, Joined(context_.userSid, key.path)};
    const size_t slash = key.path.find('\\');
    const std::string_view first = std::string_view(key.path).substr(0, slash);
    const std::string_view rest =
        slash == std::string::npos ? std::string_view() : std::string_view(key.path).substr(slash + 1);
    std::optional<KeyName> linked;
    if (key.root == Root::Users && !first.empty() && (rest.empty() || EqualsNoCase(rest, "Software")))
      linked = KeyName{Root::Users, std::string(first) + "_Classes"};
    if (key.root == Root::LocalMachine && EqualsNoCase(key.path, "Software\\Wow6432Node"))
      linked = KeyName{Root::LocalMachine, "Software\\Classes\\Wow6432Node"};
    if (linked) CanonicalNames(*linked, cover.tops);
  }
  return cover;
}

std::optional<KeyName> ExclusionMatcher::Resolved(platform::View view, const KeyName& key) {
  if (context_.registry == nullptr || !IsClassesKey(key)) return std::nullopt;
  std::string cacheKey(1, static_cast<char>('0' + static_cast<int>(view)));
  cacheKey += AsciiUpper(NameText(key.root, key.path));
  if (const auto found = resolved_.find(cacheKey); found != resolved_.end()) return found->second;
  std::unique_ptr<platform::RegistryKey> opened;
  std::string name;
  std::optional<KeyName> named;
  if (context_.registry->InView(view).Open(key.root, key.path, platform::Access::Read, opened) ==
          platform::kSuccess &&
      opened->Name(name) == platform::kSuccess)
    named = FromRegistryName(name);
  resolved_.emplace(std::move(cacheKey), named);
  return named;
}

// The keys a row's name may reach: the one the registry names for a classes key, else
// the name itself; in the 64-bit view also the 32-bit view's name of a key below the
// redirection node, in the 32-bit view also the node's name of the key.
std::vector<KeyName> ExclusionMatcher::RowKeys(platform::View view, KeyName key) {
  std::vector<KeyName> keys;
  if (std::optional<KeyName> named = Resolved(view, key)) {
    key = std::move(*named);
    view = platform::View::Native;
  }
  keys.push_back(key);
  if (view == platform::View::Native) {
    if (platform::IsBelowRedirectionNode(key.root, key.path))
      keys.push_back({key.root, platform::WithoutRedirectionNode(key.root, key.path)});
  } else if (context_.wow64) {
    if (auto redirected = platform::RedirectedPath(key.root, key.path))
      keys.push_back({key.root, std::move(*redirected)});
  }
  return keys;
}

void ExclusionMatcher::Add(std::string_view entry) {
  // An empty entry would become a lone backslash and match every finding.
  if (entry.empty()) return;
  if (const std::optional<KeyName> key = ParseKeyName(entry))
    entries_.push_back(CoverOf({*key}));
  else
    loose_.push_back(Fold(WithBackslash(std::string(entry))));
}

std::string ExclusionMatcher::KeyText(std::string_view entry) {
  const std::optional<KeyName> key = ParseKeyName(entry);
  if (!key) return Fold(WithBackslash(std::string(entry)));
  std::vector<std::string> names;
  CanonicalNames(*key, names);
  return names.front();
}

// The row lies in a covered key, or (a whole key) holds one.
bool ExclusionMatcher::Covers(const Issue& row) {
  const std::optional<RowItem> item = ItemOf(row);
  if (!item) return false;
  // A value's name is no part of the match: "@" stands for the default value.
  const bool wholeKey = !item->value;
  if (!loose_.empty()) {
    const std::string check = Fold(WithBackslash(item->root + "\\" + item->path));
    for (const std::string& entry : loose_)
      if (Contains(check, entry) || (wholeKey && Contains(entry, check))) return true;
  }
  const std::optional<platform::Root> root = platform::RootFromName(item->root);
  if (!root || entries_.empty()) return false;
  KeyName key{*root, item->path};
  while (!key.path.empty() && key.path.back() == '\\') key.path.pop_back();
  const Cover own = CoverOf(RowKeys(row.view, std::move(key)));
  const auto within = [](const std::vector<std::string>& names, const std::vector<std::string>& tops) {
    for (const std::string& top : tops)
      for (const std::string& name : names)
        if (StartsWith(name, top)) return true;
    return false;
  };
  for (const Cover& entry : entries_)
    if (within(own.names, entry.tops) || (wholeKey && within(entry.names, own.tops))) return true;
  return false;
}

size_t RemoveExcludedRows(IssueList& list, const std::vector<std::string>& entries,
                          const FilterContext& context) {
  ExclusionMatcher matcher(context);
  for (const std::string& entry : entries) matcher.Add(entry);
  std::vector<char> marked(list.rows.size(), 0);
  size_t removed = 0;
  for (size_t i = 0; i < list.rows.size(); ++i)
    if (matcher.Covers(list.rows[i])) {
      marked[i] = 1;
      ++removed;
    }
  if (removed > 0) RemoveMarked(list, marked);
  return removed;
}

FilterRun::FilterRun(std::vector<std::string> ignoreKeys, int32_t ignoreKeyCount,
                     FilterContext context)
    : ignoreKeys_(std::move(ignoreKeys)), ignoreKeyCount_(ignoreKeyCount),
      context_(context), exclusions_(std::move(context)) {}

void FilterRun::BeginPass(const IssueList& list, Stage stage) {
  stage_ = stage;
  marked_.assign(list.rows.size(), 0);
  total_ = next_ = list.rows.size();
}

std::string FilterRun::RegistryName(platform::View view, const KeyName& key) {
  const std::optional<KeyName> named = exclusions_.Resolved(view, key);
  return named ? CanonicalName(*named, context_.userSid, false)
               : CanonicalName(key, context_.userSid, true);
}

// The item the row names, as one text for all its names: files by their path, keys and
// values by one name of their key (registry names ignore case).
std::string FilterRun::ItemIdentity(const Issue& row) {
  if (row.kind == ekFile) return "F" + AsciiUpper(row.key);
  const std::optional<RowItem> item = ItemOf(row);
  std::optional<platform::Root> root;
  if (item) root = platform::RootFromName(item->root);
  if (!root) return "?" + std::to_string(static_cast<int>(row.kind)) + row.key + '\n' + row.data;
  KeyName key{*root, item->path};
  while (!key.path.empty() && key.path.back() == '\\') key.path.pop_back();
  const std::string name = context_.registry != nullptr && IsClassesKey(key)
                               ? RegistryName(row.view, key)
                               : CanonicalName(key, context_.userSid, true);
  if (!item->value) return "K" + name;
  return "V" + name + '\n' + AsciiUpper(item->valueName);
}

bool FilterRun::Judge(const Issue& row) {
  switch (stage_) {
    case Stage::TextRules: return RemovedByTextRules(row);
    case Stage::Exclusions: return exclusions_.Covers(row);
    default: return false;
  }
}

// Lower is better. The user knows an item best from the category that says what it is
// (a startup program, a font, ...), not from the hive-wide walk's generic finding; and by
// the names the registry editor shows it under: HKEY_CURRENT_USER rather than the user's
// key below HKEY_USERS (<SID> and <SID>_Classes), HKEY_CLASSES_ROOT rather than the
// machine's classes key. Only rows naming one item are compared.
int FilterRun::Rank(const Issue& row) const {
  using platform::Root;
  int rank = row.rule == FindingRule::PathReference ? 2 : 0;
  const size_t split = row.key.find('\\');
  if (row.kind == ekFile || split == std::string::npos) return rank;
  const std::optional<Root> root = platform::RootFromName(std::string_view(row.key).substr(0, split));
  const std::string_view path = std::string_view(row.key).substr(split + 1);
  bool aside = false;
  if (root == Root::Users && !context_.userSid.empty()) {
    const std::string_view first = path.substr(0, path.find('\\'));
    aside = EqualsNoCase(first, context_.userSid) || EqualsNoCase(first, context_.userSid + "_Classes");
  } else if (root == Root::LocalMachine) {
    aside = Below(path, "Software\\Classes") || Below(path, "Software\\Wow6432Node\\Classes");
  }
  return rank + (aside ? 1 : 0);
}

// Rows are placed first to last: of equal ranks the first found stays.
void FilterRun::Place(const IssueList& list, size_t index) {
  const Issue& row = list.rows[index];
  const int rank = Rank(row);
  const auto [entry, added] = kept_.try_emplace(ItemIdentity(row), Kept{index, rank});
  if (!added && rank < entry->second.rank) entry->second = Kept{index, rank};
  itemOf_[index] = &entry->second;
}

// A key of the current user's hive named below HKEY_USERS gets the name the user knows
// it by: the same key below HKEY_CURRENT_USER (<SID>_Classes is its Software\Classes).
// The hive's own key and values directly in it keep their name.
void FilterRun::NameAsCurrentUser(Issue& row) const {
  static constexpr std::string_view kUsers = "HKEY_USERS\\";
  const std::string& sid = context_.userSid;
  if (sid.empty() || row.kind == ekFile || !StartsWithNoCase(row.key, kUsers)) return;
  const std::string_view path = std::string_view(row.key).substr(kUsers.size());
  const size_t slash = path.find('\\');
  if (slash == std::string_view::npos || slash + 1 == path.size()) return;
  const std::string_view rest = path.substr(slash + 1);
  if (row.kind == ekValueInKeyPath && rest.find('\\') == std::string_view::npos) return;
  const std::string_view first = path.substr(0, slash);
  const char* name = EqualsNoCase(first, sid) ? "HKEY_CURRENT_USER\\"
                     : EqualsNoCase(first, sid + "_Classes") ? "HKEY_CURRENT_USER\\Software\\Classes\\"
                                                             : nullptr;
  if (name != nullptr) row.key = name + std::string(rest);
}

// Every judged row but its item's kept one goes; the kept ones get their user's name.
void FilterRun::KeepBest(IssueList& list) {
  for (size_t i = 0; i < itemOf_.size(); ++i) {
    if (itemOf_[i] == nullptr) continue;
    if (itemOf_[i]->row != i) marked_[i] = 1;
    else NameAsCurrentUser(list.rows[i]);
  }
}

bool FilterRun::Step(IssueList& list, size_t rows) {
  if (stage_ == Stage::Start) {
    list.filtered = false;
    try {
      BeginPass(list, Stage::TextRules);
    } catch (...) {
      stage_ = Stage::Done;
      failed_ = true;
    }
  }
  if (stage_ == Stage::Done) return true;
  // On any failure the rows marked so far are still removed, the rest stay, and the
  // filter ends there.
  bool failed = false;
  try {
    // Duplicates are placed first to last, so that among equals the first found stays.
    const bool duplicates = stage_ == Stage::Duplicates;
    for (; rows > 0 && next_ > 0; --rows) {
      if (duplicates) {
        Place(list, total_ - next_);
      } else if (Judge(list.rows[next_ - 1])) {
        marked_[next_ - 1] = 1;
      }
      --next_;
    }
  } catch (...) {
    failed = true;
  }
  if (!failed && next_ > 0) return false;
  if (stage_ == Stage::Duplicates) KeepBest(list);
  RemoveMarked(list, marked_);
  if (failed || stage_ == Stage::Duplicates) {
    stage_ = Stage::Done;
    kept_ = {};
    itemOf_ = {};
  } else {
    try {
      if (stage_ == Stage::TextRules) {
        AddExclusions(ignoreKeys_, ignoreKeyCount_, context_.ntSixOrLater, exclusions_);
        BeginPass(list, Stage::Exclusions);
      } else {
        BeginPass(list, Stage::Duplicates);
        kept_.reserve(list.rows.size());
        itemOf_.assign(list.rows.size(), nullptr);
      }
    } catch (...) {
      stage_ = Stage::Done;
      failed = true;
    }
  }
  if (failed) failed_ = true;
  if (stage_ == Stage::Done && !failed_) list.filtered = true;
  return stage_ == Stage::Done;
}

const std::string& ColumnText(const Issue& row, int column) {
  switch (column) {
    case 0: return row.problem;
    case 1: return row.data;
    default: return row.key;
  }
}

bool LongestTexts::Step(const IssueList& list, size_t rows) {
  // The heap's top is its weakest entry: the shortest, and of equal lengths the latest row.
  const auto stronger = [](const Entry& a, const Entry& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  };
  for (; rows > 0 && next_ < list.rows.size(); --rows, ++next_) {
    for (int column = 0; column < kIssueColumns; ++column) {
      std::vector<Entry>& kept = kept_[static_cast<size_t>(column)];
      const Entry entry(Utf16Length(ColumnText(list.rows[next_], column)), next_);
      if (kept.size() < perColumn_) {
        kept.push_back(entry);
        std::push_heap(kept.begin(), kept.end(), stronger);
      } else if (perColumn_ > 0 && stronger(entry, kept.front())) {
        std::pop_heap(kept.begin(), kept.end(), stronger);
        kept.back() = entry;
        std::push_heap(kept.begin(), kept.end(), stronger);
      }
    }
  }
  return next_ >= list.rows.size();
}

std::vector<size_t> LongestTexts::Rows(int column) const {
  std::vector<Entry> kept = kept_[static_cast<size_t>(column)];
  std::sort(kept.begin(), kept.end(), [](const Entry& a, const Entry& b) {
    return a.first != b.first ? a.first > b.first : a.second < b.second;
  });
  std::vector<size_t> rows;
  rows.reserve(kept.size());
  for (const Entry& entry : kept) rows.push_back(entry.second);
  return rows;
}

void IssueList::SelectAll() {
  for (Issue& row : rows) row.checked = true;
}

void IssueList::SelectNone() {
  for (Issue& row : rows) row.checked = false;
}

void IssueList::SelectItem() {
  if (SelectionCommandsEnabled()) rows[static_cast<size_t>(selected)].checked = true;
}

void IssueList::DeselectItem() {
  if (SelectionCommandsEnabled()) rows[static_cast<size_t>(selected)].checked = false;
}

void IssueList::SelectAllType() {
  if (!SelectionCommandsEnabled()) return;
  const std::string type = rows[static_cast<size_t>(selected)].problem;
  for (Issue& row : rows)
    if (row.problem == type) row.checked = true;
}

void IssueList::UnselectAllType() {
  if (!SelectionCommandsEnabled()) return;
  const std::string type = rows[static_cast<size_t>(selected)].problem;
  for (Issue& row : rows)
    if (row.problem == type) row.checked = false;
}

std::string IssueList::StatusText() const {
  return " " + std::to_string(Count()) + " Error Found,  " + std::to_string(CheckedCount()) +
         " Error Selected.";
}

}  // namespace tallowin
