#include "app/core/console_scan.h"

#include <utility>

#include "platform/reg_global.h"
#include "scan/scan_task.h"
#include "scan/volume_probe.h"

namespace tallowin {

ConsoleScan::ConsoleScan(const platform::Platform& platform,
                         std::function<void(const std::string&)> onCaption)
    : platform_(platform), onCaption_(std::move(onCaption)) {}

ConsoleScan::~ConsoleScan() { Stop(); }

ScanOutcome ConsoleScan::Run(const ConsoleScanRequest& request, IssueList& list) {
  list.Clear();
  {
    std::lock_guard<std::mutex> lock(rowsMutex_);
    rows_.clear();
    inCategory_ = false;
  }
  done_ = false;
  {
    std::lock_guard<std::mutex> lock(threadMutex_);
    if (stopRequested_) return ScanOutcome::Stopped;
    thread_ = std::make_unique<TScanTaskThread>(platform_, static_cast<ScanObserver&>(*this),
                                               request.ignoreRemoveDrives, request.check64Bit);
    thread_->TaskList = request.codes;
    ProbeFloppyDrives(*thread_);
    thread_->Start();
  }
  // Only this thread resets thread_, so it may wait outside the lock.
  thread_->Wait();
  {
    std::lock_guard<std::mutex> lock(threadMutex_);
    thread_.reset();
  }

  std::vector<Issue> rows;
  {
    std::lock_guard<std::mutex> lock(rowsMutex_);
    rows.swap(rows_);
  }
  for (Issue& row : rows) list.Add(row);

  const ScanOutcome outcome = done_ ? ScanOutcome::Completed : ScanOutcome::Stopped;
  if (outcome == ScanOutcome::Completed && request.filter)
    list.FilterResults(request.ignoreKeys, request.ignoreKeyCount,
                       GetWindowsVersionCode(platform_.system));
  FinishScan(list, outcome == ScanOutcome::Stopped);
  return outcome;
}

void ConsoleScan::Stop() {
  std::lock_guard<std::mutex> lock(threadMutex_);
  stopRequested_ = true;
  if (thread_) thread_->Stop();
}

size_t ConsoleScan::RecordedCount() const {
  std::lock_guard<std::mutex> lock(rowsMutex_);
  return rows_.size();
}

void ConsoleScan::BeginCategory() {
  std::lock_guard<std::mutex> lock(rowsMutex_);
  inCategory_ = true;
}

void ConsoleScan::EndCategory() {
  std::lock_guard<std::mutex> lock(rowsMutex_);
  inCategory_ = false;
}

// Only the category captions are progress; the completion texts belong to the dialog.
void ConsoleScan::SetCaption(const std::string& caption) {
  bool show;
  {
    std::lock_guard<std::mutex> lock(rowsMutex_);
    show = inCategory_;
  }
  if (show && onCaption_) onCaption_(caption);
}

void ConsoleScan::ShowCurrentKey(const std::string&) {}

void ConsoleScan::AddIssue(const Issue& issue) {
  std::lock_guard<std::mutex> lock(rowsMutex_);
  rows_.push_back(issue);
}

void ConsoleScan::ScanDone() { done_ = true; }

bool ResolveAsScanWould(const platform::Platform& platform, const ResolveRequest& request) {
  struct Silent : ScanObserver {
    void BeginCategory() override {}
    void EndCategory() override {}
    void SetCaption(const std::string&) override {}
    void ShowCurrentKey(const std::string&) override {}
    void AddIssue(const Issue&) override {}
    void ScanDone() override {}
  } silent;
  TScanTaskThread thread(platform, silent, request.ignoreRemoveDrives, request.check64Bit);
  ProbeFloppyDrives(thread);
  return thread.ResolveFileReference(request.text, request.requiredSuffix, request.dirsAllowed,
                                     thread.DriveLetters);
}

}  // namespace tallowin
