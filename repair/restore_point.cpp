#include "repair/restore_point.h"

#include <condition_variable>
#include <exception>
#include <mutex>

namespace tallowin {

struct TCreateSystemPointThread::Shared {
  std::mutex mutex;
  Post post;
  bool abandoned = false;
};

int RestorePointMessageParam(platform::RestorePointResult result) {
  return result == platform::RestorePointResult::Created ? kRestorePointCreated
                                                         : kRestorePointFailed;
}

TCreateSystemPointThread::TCreateSystemPointThread(platform::RestorePointService& service,
                                                   Post post)
    : service_(service), shared_(std::make_shared<Shared>()) {
  shared_->post = std::move(post);
}

TCreateSystemPointThread::~TCreateSystemPointThread() {
  if (thread_.joinable()) thread_.join();
}

void TCreateSystemPointThread::Start() {
  if (thread_.joinable()) return;
  thread_ = std::thread([&service = service_, shared = shared_] {
    int lParam = kRestorePointFailed;
    try {
      lParam = RestorePointMessageParam(service.Create(kRestorePointDescription));
    } catch (const std::exception&) {
      // Reported as a failed call: the user decides whether the repair goes on.
    }
    std::lock_guard<std::mutex> lock(shared->mutex);
    if (!shared->abandoned && shared->post) shared->post(lParam);
  });
}

void TCreateSystemPointThread::Abandon() {
  std::lock_guard<std::mutex> lock(shared_->mutex);
  shared_->abandoned = true;
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

ModalResult CreateRestorePointAndAsk(platform::RestorePointService& service,
                                     const std::function<bool()>& askContinue) {
  std::mutex mutex;
  std::condition_variable arrived;
  std::optional<int> lParam;
  {
    TCreateSystemPointThread worker(service, [&](int value) {
      std::lock_guard<std::mutex> lock(mutex);
      lParam = value;
      arrived.notify_one();
    });
    worker.Start();
    std::unique_lock<std::mutex> lock(mutex);
    arrived.wait(lock, [&] { return lParam.has_value(); });
  }
  SystemPointDialogLogic dialog;
  dialog.FormShow();
  return dialog.OnResult(*lParam, askContinue).value_or(ModalResult::Cancel);
}

}  // namespace tallowin
