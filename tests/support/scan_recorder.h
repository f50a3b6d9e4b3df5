#pragma once
// What a scan shows, recorded for tests, and issues as one line each, so that a failed
// comparison shows every column.

#include <functional>
#include <string>
#include <vector>

#include "scan/scan_task.h"

namespace tallowin::testing_support {

class ScanRecorder : public ScanObserver {
 public:
  std::vector<std::string> captions;
  std::vector<std::string> keys;
  std::vector<Issue> issues;
  std::function<void()> onIssue;

  void BeginCategory() override {}
  void EndCategory() override {}
  void SetCaption(const std::string& caption) override { captions.push_back(caption); }
  void ShowCurrentKey(const std::string& key) override { keys.push_back(key); }
  void AddIssue(const Issue& issue) override {
    issues.push_back(issue);
    if (onIssue) onIssue();
  }
  void ScanDone() override {}
  void Reset() {
    captions.clear();
    keys.clear();
    issues.clear();
  }
};

inline std::string Row(const std::string& problem, const std::string& data,
                       const std::string& key, EntryKind kind) {
  return problem + " | " + data + " | " + key + " | " + std::to_string(static_cast<int>(kind));
}

inline std::string Row(const Issue& issue) {
  return Row(issue.problem, issue.data, issue.key, issue.kind);
}

inline std::vector<std::string> Rows(const std::vector<Issue>& issues) {
  std::vector<std::string> rows;
  for (const Issue& issue : issues) rows.push_back(Row(issue));
  return rows;
}

}  // namespace tallowin::testing_support
