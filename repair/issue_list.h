#pragma once
// The issue list as a model: rows in insertion order with entry kind and check mark,
// the post-scan filter and the selection commands. The list view only shows it.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "scan/issue.h"

namespace tallowin {

class IssueList {
 public:
  std::vector<Issue> rows;
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
  // only for OS version codes 11 and 12) and the first `ignoreKeyCount` entries of
  // the ignore list.
  void FilterResults(const std::vector<std::string>& ignoreKeys, int32_t ignoreKeyCount,
                     uint8_t osVersionCode);

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

// The post-scan filter a few rows at a time, for a caller that has to keep answering
// between steps; the same passes with the same outcome as FilterResults. The list must
// not change between the steps.
class FilterRun {
 public:
  FilterRun(std::vector<std::string> ignoreKeys, int32_t ignoreKeyCount, uint8_t osVersionCode);
  // Judges up to `rows` rows (a pass removes its rows at its end); true once done.
  // A run that ends without a failure marks the list filtered.
  bool Step(IssueList& list, size_t rows);
  bool Done() const { return stage_ == Stage::Done; }
  // The run ended early on a failure: the rows it had marked are gone, the rest stay
  // unjudged, and the list is not filtered.
  bool Failed() const { return failed_; }

 private:
  enum class Stage { Start, TextRules, Exclusions, Done };
  void BeginPass(const IssueList& list, Stage stage);

  std::vector<std::string> ignoreKeys_;
  int32_t ignoreKeyCount_;
  uint8_t osVersionCode_;
  Stage stage_ = Stage::Start;
  bool failed_ = false;
  std::vector<std::string> exclusions_;
  std::vector<char> marked_;
  size_t next_ = 0;  // the rows below it are still to be judged, from the last down
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
const std::vector<std::string>& NtSixExclusions();      // OS version codes 11 and 12

}  // namespace tallowin
