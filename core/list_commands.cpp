#include "core/list_commands.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace tallowin {

namespace {

using platform::Access;
using platform::Root;

// Text before and after the first backslash; false when there is none.
bool SplitRoot(std::string_view column, std::string& root, std::string& rest) {
  const size_t slash = column.find('\\');
  if (slash == std::string_view::npos) return false;
  root.assign(column.substr(0, slash));
  rest.assign(column.substr(slash + 1));
  return true;
}

// Everything before the last backslash ("" without one).
std::string_view BeforeLast(std::string_view text) {
  const size_t slash = text.rfind('\\');
  return slash == std::string_view::npos ? std::string_view() : text.substr(0, slash);
}

std::string_view AfterLast(std::string_view text) {
  const size_t slash = text.rfind('\\');
  return slash == std::string_view::npos ? text : text.substr(slash + 1);
}

std::optional<Root> PredefinedKey(std::string_view exactName) {
  for (Root r : {Root::CurrentUser, Root::ClassesRoot, Root::Users, Root::CurrentConfig,
                 Root::LocalMachine})
    if (exactName == platform::RootName(r)) return r;
  return std::nullopt;
}

bool KeyExists(platform::Registry& registry, std::optional<Root> root, std::string_view path,
               Access access = Access::Read) {
  if (!root) return false;
  std::unique_ptr<platform::RegistryKey> key;
  return registry.Open(*root, path, access, key) == platform::kSuccess;
}

}  // namespace

std::string SaveAsTextLine(const Issue& issue, ProblemColumn problem) {
  return (problem != nullptr ? problem(issue) : issue.problem.str()) + kColumnSeparator + issue.data + kColumnSeparator + issue.key;
}

std::string SaveAsTextFileName(std::string_view chosen) {
  const size_t slash = chosen.find_last_of("\\/");
  const std::string_view name = slash == std::string_view::npos ? chosen : chosen.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot != std::string_view::npos && name.substr(dot) == ".txt") return std::string(chosen);
  return std::string(chosen) + ".txt";
}

std::string OverwriteQuestion(std::string_view fileName) {
  return std::string(fileName) + " has existed,overite it?";
}

std::string SaveAsTextContent(const IssueList& list, const AnsiCodePage& ansi, ProblemColumn problem) {
  std::string out, line;
  for (const Issue& row : list.rows) {
    if (!ansi.FromUtf8(SaveAsTextLine(row, problem), line)) {
      // A '?' in a report is a name lost: the whole file goes out as UTF-8 instead, with
      // the byte-order mark by which every Windows editor knows it.
      out = "\xEF\xBB\xBF";
      for (const Issue& each : list.rows) out += SaveAsTextLine(each, problem) + "\r\n";
      return out;
    }
    out += line;
    out += "\r\n";
  }
  return out;
}

ExcludePath ExcludePathOf(const Issue& issue) {
  std::string root, rest;
  if (!SplitRoot(issue.key, root, rest)) return {};
  switch (issue.kind) {
    case ekValueInKeyPath:
      return {ExcludePath::Kind::Key, root + "\\" + std::string(BeforeLast(rest))};
    case ekSubKeyInData:
      return {ExcludePath::Kind::Key, root + "\\" + rest + "\\" + issue.data};
    case ekFile:
      return {ExcludePath::Kind::RemoveOnly, {}};
    default:
      return {ExcludePath::Kind::Key, root + "\\" + rest};
  }
}

bool IsIgnoredKey(const std::vector<std::string>& ignoreKeys, std::string_view path,
                  const FilterContext& context) {
  ExclusionMatcher matcher(context);
  const std::string wanted = matcher.KeyText(path);
  for (const std::string& entry : ignoreKeys)
    if (matcher.KeyText(entry) == wanted) return true;
  return false;
}

std::string TidyExcludeEntry(std::string_view entry) {
  std::string tidy;
  for (const char c : entry)
    if (c != '\\' || tidy.empty() || tidy.back() != '\\') tidy += c;
  while (!tidy.empty() && tidy.back() == '\\') tidy.pop_back();
  return tidy;
}

ExcludeResult AddToExcludeList(IssueList& list, TOptionsSetting& options,
                               const FilterContext& context) {
  if (!list.SelectionCommandsEnabled()) return ExcludeResult::NoSelection;
  const size_t index = static_cast<size_t>(list.selected);
  const ExcludePath exclude = ExcludePathOf(list.rows[index]);
  switch (exclude.kind) {
    case ExcludePath::Kind::None:
      return ExcludeResult::Unchanged;
    case ExcludePath::Kind::RemoveOnly:
      list.RemoveAt(index);
      return ExcludeResult::RemovedOnly;
    case ExcludePath::Kind::Key:
      break;
  }
  const bool listed = IsIgnoredKey(options.IgnoreKeys, exclude.path, context);
  if (!listed) {
    options.IgnoreKeys.push_back(exclude.path);
    ++options.IgnoreKeyCount;
  }
  RemoveExcludedRows(list, {exclude.path}, context);
  // The selection follows its row: the row itself goes even where the filter could not
  // read its name as a key.
  if (list.SelectionCommandsEnabled()) list.RemoveAt(static_cast<size_t>(list.selected));
  return listed ? ExcludeResult::Covered : ExcludeResult::Added;
}

std::string RegeditPathOf(const Issue& issue) {
  switch (issue.kind) {
    case ekValueInKeyPath: return std::string(BeforeLast(issue.key));
    case ekSubKeyInData: return issue.key + "\\" + issue.data;
    case ekFile: return {};
    default: return issue.key;
  }
}

RegeditTarget ResolveRegeditTarget(platform::Registry& registry, std::string_view path) {
  RegeditTarget target;
  if (AsciiUpper(path).find("HK") == std::string::npos) {
    target.kind = RegeditTarget::Kind::Message;
    return target;
  }
  std::string root, rest;
  if (!SplitRoot(path, root, rest)) return target;
  static const std::pair<const char*, const char*> kShort[] = {
      {"HKLM", "HKEY_LOCAL_MACHINE"}, {"HKCU", "HKEY_CURRENT_USER"}, {"HKU", "HKEY_USERS"},
      {"HKCR", "HKEY_CLASSES_ROOT"},  {"HKCC", "HKEY_CURRENT_CONFIG"}};
  const std::string upper = AsciiUpper(root);
  for (const auto& [shortName, longName] : kShort)
    if (upper == shortName) root = longName;
  const std::optional<Root> key = PredefinedKey(root);

  target.rootName = root;
  if (KeyExists(registry, key, rest)) {
    target.kind = RegeditTarget::Kind::Navigate;
    target.keyPath = rest;
    return target;
  }
  // The last element may be a value of the key before it.
  const std::string valueName(AfterLast(rest));
  const std::string keyPath(BeforeLast(rest));
  if (!KeyExists(registry, key, keyPath)) {
    target.kind = RegeditTarget::Kind::Message;
    return target;
  }
  bool holdsValue = false;
  std::unique_ptr<platform::RegistryKey> opened;
  const bool fullAccess = registry.Open(*key, keyPath, Access::All, opened) == platform::kSuccess;
  if (fullAccess) {
    platform::RegValue value;
    holdsValue = opened->QueryValue(valueName, value) == platform::kSuccess;
  }
  if (!fullAccess || holdsValue) {
    target.kind = RegeditTarget::Kind::Navigate;
    target.keyPath = keyPath;
    target.valueName = valueName;
  } else {
    target.kind = RegeditTarget::Kind::Message;
  }
  return target;
}

std::string RegeditFullPath(std::string_view rootName, std::string_view keyPath) {
  std::string full(rootName);
  if (keyPath.empty() || keyPath.front() != '\\') full += '\\';
  full += keyPath;
  return full;
}

namespace {

void AppendChars(std::string_view text, std::vector<Keystroke>& keys) {
  for (char16_t unit : Utf8ToUtf16(text)) keys.push_back({Keystroke::Kind::Char, unit});
}

}  // namespace

std::vector<Keystroke> TreeKeystrokes(std::string_view fullPath) {
  std::vector<Keystroke> keys;
  for (int i = 0; i < 30; ++i) keys.push_back({Keystroke::Kind::KeyDown, kVkLeft});
  keys.push_back({Keystroke::Kind::Pause, 0});
  keys.push_back({Keystroke::Kind::KeyDown, kVkRight});
  keys.push_back({Keystroke::Kind::TypeAheadPause, 0});
  size_t start = 0;
  for (;;) {
    const size_t slash = fullPath.find('\\', start);
    AppendChars(fullPath.substr(start, slash == std::string_view::npos ? fullPath.npos : slash - start),
                keys);
    if (slash == std::string_view::npos) break;
    keys.push_back({Keystroke::Kind::KeyDown, kVkRight});
    keys.push_back({Keystroke::Kind::TypeAheadPause, 0});
    start = slash + 1;
  }
  return keys;
}

std::vector<Keystroke> ValueKeystrokes(std::string_view valueName) {
  std::vector<Keystroke> keys;
  if (valueName.empty()) return keys;
  keys.push_back({Keystroke::Kind::KeyDown, kVkDown});
  keys.push_back({Keystroke::Kind::TypeAheadPause, 0});
  AppendChars(valueName, keys);
  return keys;
}

}  // namespace tallowin
