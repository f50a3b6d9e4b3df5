#pragma once
// The scan thread's reports on their way to the thread that shows them: kept in the
// order the scan made them, and a wake-up only when the queue goes from empty to
// non-empty. Between two category steps or captions the rows form one batch and only
// the latest current key is kept (a scan names a key before nearly every row, and no
// one could read them all). Nothing here ever waits for the receiving thread.

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "scan/issue.h"
#include "scan/scan_observer.h"

namespace tallowin {

struct ScanReport {
  enum class Kind { BeginCategory, EndCategory, Caption, CurrentKey, Rows, Done };
  Kind kind = Kind::Rows;
  std::string text;         // Caption, CurrentKey
  std::vector<Issue> rows;  // Rows: consecutive findings, in scan order
};

class ScanReportQueue : public ScanObserver {
 public:
  // `wake` runs on the reporting thread, outside the queue's lock, each time a report
  // arrives in an empty queue. It must not wait for the receiving thread.
  explicit ScanReportQueue(std::function<void()> wake);

  // The scan thread's side.
  void BeginCategory() override;
  void EndCategory() override;
  void SetCaption(const std::string& caption) override;
  void ShowCurrentKey(const std::string& keyPath) override;
  void AddIssue(const Issue& issue) override;
  void ScanDone() override;

  // The receiving side: every report waiting, oldest first; the queue is empty after.
  std::vector<ScanReport> Take();
  bool Empty() const;
  // Rows handed in so far, taken or not.
  size_t RowsReported() const;

 private:
  void Push(ScanReport::Kind kind, std::string text);
  // The report of `kind` in the current stretch (after the last step or caption).
  ScanReport* InStretch(ScanReport::Kind kind);

  std::function<void()> wake_;
  mutable std::mutex mutex_;
  std::vector<ScanReport> reports_;
  size_t stretchStart_ = 0;  // index in reports_ of the current stretch
  size_t rowsReported_ = 0;
};

}  // namespace tallowin
