#include "repair/restore_point.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace tallowin {

struct TCreateSystemPointThread::Shared {
  std::shared_ptr<platform::RestorePointService> service;
  std::mutex mutex;
  Post post;
  bool abandoned = false;
  platform::SystemChange change;  // of a posted Created result, until taken
};

int RestorePointMessageParam(platform::RestorePointResult result) {
  return result == platform::RestorePointResult::Created ? kRestorePointCreated
                                                         : kRestorePointFailed;
}

TCreateSystemPointThread::TCreateSystemPointThread(
    std::shared_ptr<platform::RestorePointService> service, Post post)
    : shared_(std::make_shared<Shared>()) {
  shared_->service = std::move(service);
  shared_->post = std::move(post);
}

TCreateSystemPointThread::~TCreateSystemPointThread() {
  Abandon();
  if (thread_.joinable()) thread_.detach();
}

void TCreateSystemPointThread::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([shared = shared_] {
    int lParam = kRestorePointFailed;
    platform::SystemChange change;
    try {
      const platform::RestorePointStart start =
          shared->service->Create(kRestorePointDescription);
      if (start.result == platform::RestorePointResult::Created)
        change = platform::SystemChange(*shared->service, start.sequence);
      lParam = RestorePointMessageParam(start.result);
    } catch (...) {
      // Reported as a failed call: the user decides whether the repair goes on.
    }
    std::lock_guard<std::mutex> lock(shared->mutex);
    // Abandoned: nobody will end the change, so it is cancelled as `change` goes (after
    // the lock, which Abandon must never wait on for a whole System Restore call).
    if (shared->abandoned) return;
    shared->change = std::move(change);
    try {
      if (shared->post) shared->post(lParam);
    } catch (...) {
    }
  });
}

void TCreateSystemPointThread::Abandon() {
  platform::SystemChange untaken;  // cancelled on return, outside the lock
  Post post;                       // what it holds is released outside the lock too
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->abandoned = true;
  post = std::exchange(shared_->post, nullptr);
  untaken = std::move(shared_->change);
}

platform::SystemChange TCreateSystemPointThread::TakeChange() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  return std::move(shared_->change);
}

int NextRestorePointProgress(int position) {
  if (position <= 30) return position + 10;
  if (position <= 50) return position + 5;
  if (position <= 60) return position + 3;
  if (position <= 80) return position + 2;
  if (position <= 99) return position + 1;
  return position;
}

void SystemPointDialogLogic::FormShow() {
  done_ = false;
  position_ = 0;
}

std::optional<ModalResult> SystemPointDialogLogic::OnResult(
    int lParam, const std::function<bool()>& askContinue) {
  if (done_) return std::nullopt;
  ModalResult result = ModalResult::Ok;
  if (lParam == kRestorePointFailed && !(askContinue && askContinue())) result = ModalResult::Cancel;
  done_ = true;
  return result;
}

std::optional<ModalResult> SystemPointDialogLogic::FormClose() {
  if (done_) return std::nullopt;
  done_ = true;
  return ModalResult::Cancel;
}

RestorePointAnswer CreateRestorePointAndAsk(platform::RestorePointService& service,
                                            const std::function<bool()>& askContinue) {
  std::mutex mutex;
  std::condition_variable arrived;
  std::optional<int> lParam;
  RestorePointAnswer answer;
  {
    // Not owned: the worker uses the service only before it posts, and this waits for that.
    TCreateSystemPointThread worker(
        std::shared_ptr<platform::RestorePointService>(std::shared_ptr<void>(), &service),
        [&](int value) {
          std::lock_guard<std::mutex> lock(mutex);
          lParam = value;
          arrived.notify_one();
        });
    worker.Start();
    {
      std::unique_lock<std::mutex> lock(mutex);
      arrived.wait(lock, [&] { return lParam.has_value(); });
    }
    answer.change = worker.TakeChange();
  }
  SystemPointDialogLogic dialog;
  dialog.FormShow();
  answer.result = dialog.OnResult(*lParam, askContinue).value_or(ModalResult::Cancel);
  return answer;
}

bool EndSystemChange(platform::SystemChange& change, const RepairResult& result) {
  // The restore point stays when the run tried to delete anything; a run that changed
  // nothing abandons it.
  const bool changed = std::any_of(result.rows.begin(), result.rows.end(), [](const RowReport& row) {
    return row.outcome == RepairOutcome::Deleted || row.outcome == RepairOutcome::DeleteFailed ||
           row.outcome == RepairOutcome::StillPresent;
  });
  return changed ? change.Complete() : change.Cancel();
}

}  // namespace tallowin
