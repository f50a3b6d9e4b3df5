#pragma once
// One scan as both front ends run it: the scan thread with its task list and floppy
// probes, its reports through an ordered queue, and what happens to the list at the
// end (ScanEnd).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/scan_report_queue.h"
#include "platform/platform.h"
#include "repair/issue_list.h"

namespace tallowin {

class KeptListings;
class TScanTaskThread;

struct ScanRequest {
  std::vector<std::string> codes;  // decimal texts, run in this order
  bool ignoreRemoveDrives = true;
  bool filter = true;  // false: the findings as the engine reported them
  std::vector<std::string> ignoreKeys;
  int32_t ignoreKeyCount = 0;
  bool check64Bit = false;  // both registry views under WOW64 (the Check64Bit setting)
  // When set, the scan's folder listings are kept here at its end (for FindingExplainer).
  std::shared_ptr<KeptListings> keepListings;
};

// Completed: the scan ran to its end and its findings were filtered. Stopped: it was
// stopped; what it found before was filtered. Failed: the filter could not run to its
// end, so the list holds rows it may have excluded.
enum class ScanOutcome { Completed, Stopped, Failed };

// How every scan ends, in both front ends. After a stop every row reported before it
// stays: the scan thread hands in a row only once it is judged, and none after the stop
// (TScanTaskThread::Stop). The post-scan filter then runs over the rows, whether the
// scan finished or was stopped; once it is through, every row is checked.
// A filter that fails checks no row, and the list stays unfiltered, which Fix refuses.
// Without the filter (a listing of the raw findings) the rows are checked as found.
class ScanEnd {
 public:
  ScanEnd(const ScanRequest& request, FilterContext context, bool stopped);
  // Up to about `rows` rows of work; true once done. Never throws.
  bool Step(IssueList& list, size_t rows);
  bool Done() const { return done_; }
  // Once done.
  ScanOutcome Outcome() const;

 private:
  bool stopped_;
  bool filter_;
  bool failed_ = false;
  bool started_ = false;
  bool done_ = false;
  std::optional<FilterRun> filterRun_;
};

// Appended to the status counts after a scan that did not end normally.
inline constexpr const char* kScanStoppedNote = "  Scan stopped: only what was found before the stop.";
inline constexpr const char* kScanFailedNote = "  Not filtered: nothing was selected.";
inline constexpr const char* kScanFailedMessage =
    "The findings could not be filtered after the scan, so they may include keys that "
    "Windows needs or that you excluded. No finding was selected, and Fix Errors will not "
    "run on this list. Please scan again.";

class ScanSession {
 public:
  // `wake` (may be empty) runs on the scan thread whenever reports arrive in an empty
  // queue; the front end then calls TakeReports on its own thread.
  ScanSession(const platform::Platform& platform, std::function<void()> wake);
  ~ScanSession();  // stops the scan and waits for its thread
  ScanSession(const ScanSession&) = delete;
  ScanSession& operator=(const ScanSession&) = delete;

  // Creates the scan thread for the codes, probes drives A and B unless removable
  // drives are ignored, and starts it. Does nothing once Stop was called.
  void Start(const ScanRequest& request);
  // From any thread, before, during or after the scan. After it returns no report is
  // added; the ones queued before stay to be taken.
  void Stop();
  bool StopRequested() const;
  std::vector<ScanReport> TakeReports();
  size_t RowsReported() const { return queue_.RowsReported(); }
  // Blocks until reports wait in the queue or Stop was called.
  void WaitForReports();
  // Joins the scan thread (it ends after its Done report or soon after Stop).
  void Wait();

  // The console's whole scan: Start, the reports into `list` (cleared first) until the
  // scan is done or stopped, then ScanEnd. `onCaption` receives the
  // category captions (not the completion texts) on the calling thread. The reports are
  // taken a few times a second, not as each arrives.
  ScanOutcome Run(const ScanRequest& request, IssueList& list,
                  const std::function<void(const std::string&)>& onCaption);

 private:
  void Signal();
  // Waits `pause`, or less when Stop is called.
  void PauseUnlessStopped(std::chrono::milliseconds pause);

  platform::Platform platform_;
  std::function<void()> wake_;
  ScanReportQueue queue_;  // outlives the thread that reports into it

  std::mutex signalMutex_;
  std::condition_variable signal_;
  bool signalled_ = false;
  std::condition_variable stopSignal_;  // Stop() alone notifies it
  bool stopSignalled_ = false;

  mutable std::mutex threadMutex_;  // guards thread_ and stopRequested_ against Stop()
  std::unique_ptr<TScanTaskThread> thread_;
  bool stopRequested_ = false;
};

// The progress bar's next position on a tick of the scan dialog's timer (0..1000).
int NextScanProgress(int position);

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
