#pragma once
// The issue list as a model: rows in insertion order with entry kind and check mark,
// the post-scan filter and the selection commands. The list view only shows it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/platform.h"
#include "scan/issue.h"

namespace tallowin {

// What the filter must know of the machine to tell every name of a key: the program
// reaches some keys under several (HKEY_CURRENT_USER and the user's key below
// HKEY_USERS, HKEY_CLASSES_ROOT and the classes keys, the two registry views).
struct FilterContext {
  std::string userSid;   // the current user's key below HKEY_USERS; empty: unknown
  bool wow64 = false;    // rows of the process view name the 32-bit view's keys
  bool ntSixOrLater = false;  // the second built-in list applies
  // Asked what the registry itself calls a classes key (HKEY_CLASSES_ROOT shows the
  // user's key or the machine's); without it the machine's is assumed.
  platform::Registry* registry = nullptr;
};
FilterContext MachineFilterContext(const platform::Platform& platform);

// A key named by a root (long or short name, any case) and a path.
struct KeyName {
  platform::Root root;
  std::string path;  // no leading or trailing backslash; empty: the root itself
};
// "HKLM\Software\X", "hkey_current_user\x" ...; nullopt when the text names no root.
std::optional<KeyName> ParseKeyName(std::string_view text);

class IssueList {
 public:
  // In blocks, not one array: a scan adds rows one by one, hundreds of thousands of them,
  // and a growing array would need twice its size each time it moved.
  std::deque<Issue> rows;
  int selected = -1;  // the list's current item; -1 = none
  // The post-scan filter has run over these rows to its end. Only such a list is fixed:
  // the filter is what keeps the keys Windows needs and the user's exclusions out.
  bool filtered = false;

  void Clear() { rows.clear(); selected = -1; filtered = false; }
  void Add(const Issue& issue) { rows.push_back(issue); }
  void RemoveAt(size_t index);
  size_t Count() const { return rows.size(); }
  size_t CheckedCount() const;

  // The post-scan filter: fixed text rules, the built-in exclusion lists (the second
  // only on Windows NT 6.0 and later) and the first `ignoreKeyCount` entries of the
  // ignore list, each covering its key under every name; then of the rows naming one
  // item (key, value or file) one stays, at its own place: a category's own row over the
  // hive-wide walk's, a name under HKEY_CURRENT_USER or HKEY_CLASSES_ROOT over the same
  // key's name below HKEY_USERS or HKEY_LOCAL_MACHINE\Software\Classes, else the first;
  // a kept row naming a key of the current user's hive below HKEY_USERS is then named
  // as HKEY_CURRENT_USER shows it.
  void FilterResults(const std::vector<std::string>& ignoreKeys, int32_t ignoreKeyCount,
                     const FilterContext& context);

  // The six selection commands; the four that need a selected row do nothing without one.
  void SelectAll();
  void SelectNone();
  void SelectItem();
  void DeselectItem();
  void SelectAllType();
  void UnselectAllType();
  bool SelectionCommandsEnabled() const { return selected >= 0 && size_t(selected) < rows.size(); }

  // " 12 Error Found,  9 Error Selected."
  std::string StatusText() const;
};

// Which rows ignore-list entries cover. An entry covers its key and every key below it
// under every name the program may list them by: HKEY_CURRENT_USER and the user's key
// below HKEY_USERS, a user's classes below Software\Classes and as <SID>_Classes,
// HKEY_CLASSES_ROOT and the classes keys it shows, the two registry views and both
// spellings of the 32-bit classes. A key row is also covered when it holds a covered
// key. Names compare as the registry compares them. Entries that name no root match
// anywhere in a row's name.
class ExclusionMatcher {
 public:
  explicit ExclusionMatcher(FilterContext context) : context_(std::move(context)) {}
  void Add(std::string_view entry);
  bool Covers(const Issue& row);
  // One text for every spelling of the entry's key (of a loose entry: its text).
  std::string KeyText(std::string_view entry);
  // The key a classes key's name reaches, as the registry names it; nullopt when it
  // cannot tell (no registry, no such key).
  std::optional<KeyName> Resolved(platform::View view, const KeyName& key);

 private:
  struct Cover {
    std::vector<std::string> names;  // the key's canonical names, with a trailing backslash
    std::vector<std::string> tops;   // names that every key at or below it has one of
  };
  std::string Fold(std::string_view text) const;
  void CanonicalNames(KeyName key, std::vector<std::string>& out) const;
  Cover CoverOf(const std::vector<KeyName>& keys) const;
  std::vector<KeyName> RowKeys(platform::View view, KeyName key);

  FilterContext context_;
  std::vector<Cover> entries_;
  std::vector<std::string> loose_;
  std::unordered_map<std::string, std::optional<KeyName>> resolved_;
};

// Removes every row that one of `entries` covers (as the filter's exclusion pass judges);
// the number of rows removed.
size_t RemoveExcludedRows(IssueList& list, const std::vector<std::string>& entries,
                          const FilterContext& context);

// The post-scan filter a few rows at a time, for a caller that has to keep answering
// between steps; the same passes with the same outcome as FilterResults. The list must
// not change between the steps.
class FilterRun {
 public:
  FilterRun(std::vector<std::string> ignoreKeys, int32_t ignoreKeyCount, FilterContext context);
  // Judges up to `rows` rows (a pass removes its rows at its end); true once done.
  // A run that ends without a failure marks the list filtered.
  bool Step(IssueList& list, size_t rows);
  bool Done() const { return stage_ == Stage::Done; }
  // The run ended early on a failure: the rows it had marked are gone, the rest stay
  // unjudged, and the list is not filtered.
  bool Failed() const { return failed_; }

 private:
  enum class Stage { Start, TextRules, Exclusions, Duplicates, Done };
  void BeginPass(const IssueList& list, Stage stage);
  bool Judge(const Issue& row);
  void Place(const IssueList& list, size_t index);
  void KeepBest(IssueList& list);
  void NameAsCurrentUser(Issue& row) const;
  int Rank(const Issue& row) const;
  std::string ItemIdentity(const Issue& row);
  std::string RegistryName(platform::View view, const KeyName& key);

  std::vector<std::string> ignoreKeys_;
  int32_t ignoreKeyCount_;
  FilterContext context_;
  Stage stage_ = Stage::Start;
  bool failed_ = false;
  ExclusionMatcher exclusions_;
  // The duplicates pass: per item, the row it keeps so far; per row, its item's entry
  // (null: not judged), so that one sweep at the end removes every row but the kept ones.
  struct Kept {
    size_t row;
    int rank;  // Rank of that row
  };
  std::unordered_map<std::string, Kept> kept_;
  std::vector<const Kept*> itemOf_;
  std::vector<char> marked_;
  size_t total_ = 0;  // rows when the pass began
  size_t next_ = 0;   // rows still to be judged: from the last down, or (duplicates) the first up
};

// The list's columns: Problem, Data, Registry key.
inline constexpr int kIssueColumns = 3;
const std::string& ColumnText(const Issue& row, int column);

// The rows holding the longest texts of each column (in UTF-16 units), gathered a few
// rows at a time: a column is as wide as its widest text, and measuring every text of
// 100,000 rows would keep the window waiting.
class LongestTexts {
 public:
  explicit LongestTexts(size_t perColumn) : perColumn_(perColumn) {}
  // Looks at up to `rows` further rows; true once every row has been seen.
  bool Step(const IssueList& list, size_t rows);
  // The rows of `column`, longest text first; of equal lengths the earlier row first.
  std::vector<size_t> Rows(int column) const;

 private:
  using Entry = std::pair<size_t, size_t>;  // (length, row)
  size_t perColumn_;
  size_t next_ = 0;
  std::array<std::vector<Entry>, kIssueColumns> kept_;  // heaps, the weakest on top
};

// The built-in exclusion lists.
const std::vector<std::string>& BuiltInExclusions();    // always used
const std::vector<std::string>& NtSixExclusions();      // Windows NT 6.0 and later

}  // namespace tallowin
