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
    "HKEY_USERS\\S-1-5-21-6497018-2779423360-1663385191-1005\\Software\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\IMAPI\\StashInfo",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\10.0\\Outlook\\Journal",
    "HKEY_USERS\\S-1-5-21-6497018-2779423360-1663385191-1005\\Software\\Microsoft\\Office\\10.0\\Outlook\\Journal",
    "HKEY_CURRENT_USER\\Software\\ThinPrint",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\11.0\\Outlook\\Journal",
    "HKEY_USERS\\S-1-5-21-6497018-2779423360-1663385191-1005\\Software\\Microsoft\\Office\\11.0\\Outlook\\Journal",
    "HKEY_CURRENT_USER\\Software\\Ahead\\Nero - Burning Rom\\Database",
    "HKEY_USERS\\S-1-5-21-6497018-2779423360-1663385191-1005\\Software\\Ahead\\Nero - Burning Rom\\Database",
    "HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Citrix Program Neighborhood",
    "HKEY_CURRENT_USER\\Software\\Funk Software, Inc.",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\AeDebug",
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
    "HKEY_USERS\\S-1-5-21-1229272821-854245398-1343024091-1003\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
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

// The same for Windows NT 6.x (OS version codes 11 and 12).
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

// A row of the 64-bit view whose key lies below the redirection node names the 32-bit
// view's key: the exclusions hold for it under the name that view gives it too. That
// name (upper-cased, with a trailing backslash), or empty for any other row.
std::string ProcessViewName(const Issue& row, std::string_view root, std::string_view checkPath) {
  if (row.view != platform::View::Native) return {};
  const std::optional<platform::Root> hive = platform::RootFromName(root);
  if (!hive) return {};
  const std::string_view keyPath = checkPath.substr(root.size() + 1);
  if (!platform::IsBelowRedirectionNode(*hive, keyPath)) return {};
  return AsciiUpper(
      WithBackslash(std::string(root) + "\\" + platform::WithoutRedirectionNode(*hive, keyPath)));
}

// The second pass: the row lies in an excluded key (or, for a whole key, holds one).
// `exclusions` are upper-cased and end with a backslash.
bool RemovedByExclusions(const Issue& row, const std::vector<std::string>& exclusions) {
  const size_t split = row.key.find('\\');
  if (split == std::string::npos) return false;
  const std::string_view root = std::string_view(row.key).substr(0, split);
  const std::string_view rest = std::string_view(row.key).substr(split + 1);

  std::string checkPath(root);
  checkPath += '\\';
  std::string valueName;
  switch (row.kind) {
    case ekKey:
      checkPath += rest;
      break;
    case ekValueInKeyPath: {
      const size_t last = rest.rfind('\\');
      if (last == std::string_view::npos) {
        valueName = rest;
      } else {
        checkPath += rest.substr(0, last);
        valueName = rest.substr(last + 1);
      }
      break;
    }
    case ekValueInData:
      checkPath += rest;
      valueName = row.data;
      break;
    case ekSubKeyInData:
      checkPath += rest;
      checkPath += '\\';
      checkPath += row.data;
      break;
    case ekDefaultValue:
      checkPath += rest;
      valueName = "@";
      break;
    case ekEncodedValueInData:
      checkPath += rest;
      valueName = Rot13(row.data);
      break;
    default:  // ekFile, and anything that names no registry item
      return false;
  }
  const std::string alias = ProcessViewName(row, root, checkPath);
  const std::string check = AsciiUpper(WithBackslash(std::move(checkPath)));
  const std::string* const names[] = {&check, &alias};
  for (const std::string& entry : exclusions) {
    for (const std::string* name : names) {
      if (name->empty()) continue;
      if (Contains(*name, entry)) return true;
      if (valueName.empty() && Contains(entry, *name)) return true;
    }
  }
  return false;
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

std::vector<std::string> ExclusionSet(const std::vector<std::string>& ignoreKeys,
                                      int32_t ignoreKeyCount, uint8_t osVersionCode) {
  std::vector<std::string> set;
  auto add = [&set](std::string_view entry) {
    // An empty entry would become a lone backslash and match every finding.
    if (!entry.empty()) set.push_back(AsciiUpper(WithBackslash(std::string(entry))));
  };
  for (const char* entry : kListBox1) add(entry);
  const size_t count =
      ignoreKeyCount > 0 ? std::min(ignoreKeys.size(), static_cast<size_t>(ignoreKeyCount)) : 0;
  for (size_t i = 0; i < count; ++i) add(ignoreKeys[i]);
  if (osVersionCode == 11 || osVersionCode == 12)
    for (const char* entry : kListBox2) add(entry);
  return set;
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
                              uint8_t osVersionCode) {
  FilterRun run(ignoreKeys, ignoreKeyCount, osVersionCode);
  while (!run.Step(*this, rows.size() + 1)) {
  }
}

FilterRun::FilterRun(std::vector<std::string> ignoreKeys, int32_t ignoreKeyCount,
                     uint8_t osVersionCode)
    : ignoreKeys_(std::move(ignoreKeys)), ignoreKeyCount_(ignoreKeyCount),
      osVersionCode_(osVersionCode) {}

void FilterRun::BeginPass(const IssueList& list, Stage stage) {
  stage_ = stage;
  marked_.assign(list.rows.size(), 0);
  next_ = list.rows.size();
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
    for (; rows > 0 && next_ > 0; --rows) {
      const Issue& row = list.rows[next_ - 1];
      const bool removed = stage_ == Stage::TextRules ? RemovedByTextRules(row)
                                                      : RemovedByExclusions(row, exclusions_);
      if (removed) marked_[next_ - 1] = 1;
      --next_;
    }
  } catch (...) {
    failed = true;
  }
  if (!failed && next_ > 0) return false;
  RemoveMarked(list, marked_);
  if (failed || stage_ == Stage::Exclusions) {
    stage_ = Stage::Done;
  } else {
    try {
      exclusions_ = ExclusionSet(ignoreKeys_, ignoreKeyCount_, osVersionCode_);
      BeginPass(list, Stage::Exclusions);
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
