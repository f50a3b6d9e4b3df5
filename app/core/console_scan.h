#pragma once
// One scan for a console front end: the engine over the given machine, then what the
// main window does to the list after a scan (a finished scan is filtered, a stopped one
// loses its last row; every remaining row is checked).

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "repair/issue_list.h"
#include "scan/scan_observer.h"

namespace tallowin {

class TScanTaskThread;

struct ConsoleScanRequest {
  std::vector<std::string> codes;  // decimal texts, run in this order
  bool ignoreRemoveDrives = true;
  bool filter = true;  // false: the findings as the engine reported them
  std::vector<std::string> ignoreKeys;
  int32_t ignoreKeyCount = 0;
  bool check64Bit = false;  // both registry views under WOW64 (the Check64Bit setting)
};

enum class ScanOutcome { Completed, Stopped };

class ConsoleScan : private ScanObserver {
 public:
  // `onCaption` receives each category caption on the scan thread; may be empty.
  ConsoleScan(const platform::Platform& platform,
              std::function<void(const std::string&)> onCaption);
  ~ConsoleScan() override;
  ConsoleScan(const ConsoleScan&) = delete;
  ConsoleScan& operator=(const ConsoleScan&) = delete;

  // Runs the scan to its end or until Stop(); fills `list` (cleared first).
  ScanOutcome Run(const ConsoleScanRequest& request, IssueList& list);
  // From any thread, before, during or after Run. After it returns no row is added,
  // and every later Run ends at once as stopped.
  void Stop();
  // Rows recorded so far by the running scan (any thread).
  size_t RecordedCount() const;

 private:
  void BeginCategory() override;
  void EndCategory() override;
  void SetCaption(const std::string& caption) override;
  void ShowCurrentKey(const std::string& keyPath) override;
  void AddIssue(const Issue& issue) override;
  void ScanDone() override;

  platform::Platform platform_;
  std::function<void(const std::string&)> onCaption_;
  std::mutex threadMutex_;  // guards thread_ and stopRequested_ against Stop()
  std::unique_ptr<TScanTaskThread> thread_;
  bool stopRequested_ = false;
  mutable std::mutex rowsMutex_;
  std::vector<Issue> rows_;
  bool inCategory_ = false;
  std::atomic<bool> done_{false};
};

// The drive letters, floppy flags and OS flags a scan would have under the setting, for
// judging single references outside a scan.
struct ResolveRequest {
  std::string text;
  std::string requiredSuffix;
  bool dirsAllowed = false;
  bool ignoreRemoveDrives = true;
  bool check64Bit = false;
};
bool ResolveAsScanWould(const platform::Platform& platform, const ResolveRequest& request);

}  // namespace tallowin
