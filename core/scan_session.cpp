#include "core/scan_session.h"

#include <utility>

#include "platform/reg_global.h"
#include "scan/scan_task.h"
#include "scan/volume_probe.h"

namespace tallowin {

ScanSession::ScanSession(const platform::Platform& platform, std::function<void()> wake)
    : platform_(platform), wake_(std::move(wake)), queue_([this] {
        Signal();
        if (wake_) wake_();
      }) {}

ScanSession::~ScanSession() {
  Stop();
  Wait();
}

void ScanSession::Start(const ScanRequest& request) {
  std::lock_guard<std::mutex> lock(threadMutex_);
  if (stopRequested_ || thread_) return;
  thread_ = std::make_unique<TScanTaskThread>(platform_, static_cast<ScanObserver&>(queue_),
                                             request.ignoreRemoveDrives, request.check64Bit);
  thread_->TaskList = request.codes;
  thread_->KeepListings = request.keepListings;
  ProbeFloppyDrives(*thread_);
  thread_->Start();
}

void ScanSession::Stop() {
  {
    std::lock_guard<std::mutex> lock(threadMutex_);
    stopRequested_ = true;
    if (thread_) thread_->Stop();
  }
  {
    std::lock_guard<std::mutex> lock(signalMutex_);
    stopSignalled_ = true;
  }
  stopSignal_.notify_all();
  Signal();
}

bool ScanSession::StopRequested() const {
  std::lock_guard<std::mutex> lock(threadMutex_);
  return stopRequested_;
}

std::vector<ScanReport> ScanSession::TakeReports() { return queue_.Take(); }

void ScanSession::Signal() {
  {
    std::lock_guard<std::mutex> lock(signalMutex_);
    signalled_ = true;
  }
  signal_.notify_all();
}

void ScanSession::WaitForReports() {
  std::unique_lock<std::mutex> lock(signalMutex_);
  signal_.wait(lock, [this] { return signalled_; });
  signalled_ = false;
}

void ScanSession::PauseUnlessStopped(std::chrono::milliseconds pause) {
  std::unique_lock<std::mutex> lock(signalMutex_);
  stopSignal_.wait_for(lock, pause, [this] { return stopSignalled_; });
}

void ScanSession::Wait() {
  // Only the owning thread creates thread_, so it may be joined outside the lock.
  TScanTaskThread* thread;
  {
    std::lock_guard<std::mutex> lock(threadMutex_);
    thread = thread_.get();
  }
  if (thread != nullptr) thread->Wait();
}

ScanOutcome ScanSession::Run(const ScanRequest& request, IssueList& list,
                             const std::function<void(const std::string&)>& onCaption) {
  list.Clear();
  bool inCategory = false;
  bool done = false;
  auto apply = [&](std::vector<ScanReport> reports) {
    for (ScanReport& report : reports) {
      switch (report.kind) {
        case ScanReport::Kind::BeginCategory: inCategory = true; break;
        case ScanReport::Kind::EndCategory: inCategory = false; break;
        // Only the category captions are progress; the completion texts belong to the dialog.
        case ScanReport::Kind::Caption:
          if (inCategory && onCaption) onCaption(report.text);
          break;
        case ScanReport::Kind::CurrentKey: break;
        case ScanReport::Kind::Rows:
          for (Issue& row : report.rows) list.rows.push_back(std::move(row));
          break;
        case ScanReport::Kind::Done: done = true; break;
      }
    }
  };

  Start(request);
  while (!done && !StopRequested()) {
    WaitForReports();
    apply(TakeReports());
    // While this thread waits for reports, each one that finds the queue empty wakes it
    // (a scan names thousands of keys a second); meanwhile they gather in the queue.
    if (!done) PauseUnlessStopped(std::chrono::milliseconds(50));
  }
  Wait();
  apply(TakeReports());  // what was reported before a stop

  ScanEnd end(request, MachineFilterContext(platform_), !done);
  while (!end.Step(list, list.Count() + 1)) {
  }
  return end.Outcome();
}

ScanEnd::ScanEnd(const ScanRequest& request, FilterContext context, bool stopped)
    : stopped_(stopped), filter_(request.filter) {
  if (filter_) filterRun_.emplace(request.ignoreKeys, request.ignoreKeyCount, std::move(context));
}

bool ScanEnd::Step(IssueList& list, size_t rows) {
  if (done_) return true;
  try {
    if (!started_) {
      started_ = true;
      list.filtered = false;
    }
    if (filterRun_ && !filterRun_->Step(list, rows)) return false;
    failed_ = filterRun_ && filterRun_->Failed();
  } catch (...) {
    failed_ = true;
  }
  if (failed_) {
    list.filtered = false;
    list.SelectNone();
  } else {
    list.SelectAll();
  }
  done_ = true;
  return true;
}

ScanOutcome ScanEnd::Outcome() const {
  if (failed_) return ScanOutcome::Failed;
  return stopped_ ? ScanOutcome::Stopped : ScanOutcome::Completed;
}

int NextScanProgress(int position) {
  if (position >= 0 && position <= 200) return position + 10;
  if (position >= 201 && position <= 400) return position + 5;
  if (position >= 401 && position <= 700) return position + 3;
  if (position >= 701 && position <= 800) return position + 2;
  if (position >= 801 && position <= 998) return position + 1;
  return 0;
}

bool ResolveAsScanWould(const platform::Platform& platform, const ResolveRequest& request) {
  SilentScanObserver silent;
  TScanTaskThread thread(platform, silent, request.ignoreRemoveDrives, request.check64Bit);
  ProbeFloppyDrives(thread);
  return thread.ResolveFileReference(request.text, request.requiredSuffix, request.dirsAllowed,
                                     thread.DriveLetters);
}

}  // namespace tallowin
