#include "core/reason_desk.h"

#include <utility>

namespace tallowin {

ReasonDesk::ReasonDesk(const platform::Platform& platform, std::chrono::milliseconds bound)
    : platform_(platform), bound_(bound), worker_([this] { Work(); }) {}

ReasonDesk::~ReasonDesk() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

std::string ReasonDesk::Explain(const Issue& row, bool ignoreRemoveDrives, bool check64Bit,
                                const Wording& words) {
  std::unique_lock<std::mutex> lock(mutex_);
  // An answer kept here came after its asker stopped waiting. Asked about the same row
  // again, the desk hands it out once; the next question is worked out afresh.
  if (answered_ && answered_->Asks(row, ignoreRemoveDrives, check64Bit, words)) {
    answered_.reset();
    return std::move(answer_);
  }
  const uint64_t id = ++nextId_;
  pending_ = Question{id, row, ignoreRemoveDrives, check64Bit, &words};  // an older one is dropped
  changed_.notify_all();
  if (!changed_.wait_for(lock, bound_, [&] { return answered_ && answered_->id == id; }))
    return words[Phrase::WhyStillWorking];
  answered_.reset();
  return std::move(answer_);
}

void ReasonDesk::Work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || pending_; });
    if (stop_) return;
    Question question = std::move(*pending_);
    pending_.reset();
    lock.unlock();
    std::string why;
    try {
      FindingExplainer explainer(platform_, {question.ignoreRemoveDrives, question.check64Bit,
                                             nullptr, question.words});
      why = explainer.Explain(question.row);
    } catch (...) {
      // No memory for the explainer: the row goes without a reason.
    }
    lock.lock();
    answered_ = std::move(question);
    answer_ = std::move(why);
    changed_.notify_all();
  }
}

}  // namespace tallowin
