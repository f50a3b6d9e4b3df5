#pragma once
// The issue list as a model: rows in insertion order with entry kind and check mark,
// the post-scan filter and the selection commands. The list view only shows it.

#include <cstdint>
#include <string>
#include <vector>

#include "scan/issue.h"

namespace tallowin {

class IssueList {
 public:
  std::vector<Issue> rows;
  int selected = -1;  // the list's current item; -1 = none

  void Clear() { rows.clear(); selected = -1; }
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

// What the scan step does with the list once the scan dialog has closed: after a stop
// the last row (if any) goes; then every row is checked. After a normal end the
// caller has already run FilterResults.
void FinishScan(IssueList& list, bool stopped);

// The built-in exclusion lists.
const std::vector<std::string>& BuiltInExclusions();    // always used
const std::vector<std::string>& NtSixExclusions();      // OS version codes 11 and 12

}  // namespace tallowin
