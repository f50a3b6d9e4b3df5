#include "platform/memory/memory_platform.h"

namespace tallowin::platform::memory {

RestorePointStart MemoryRestorePoint::Create(const std::string& description) {
  std::unique_lock<std::mutex> lock(mutex_);
  // Recorded on entry, so a test can see that a held call has begun.
  calls_.push_back({kBeginSystemChange, kApplicationInstall, 0, description});
  changed_.notify_all();
  changed_.wait(lock, [&] { return !held_; });
  if (result != RestorePointResult::Created) return {result, 0};
  return {result, nextSequence++};
}

bool MemoryRestorePoint::End(int64_t sequence, bool cancelled) {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.push_back(
      {kEndSystemChange, cancelled ? kCancelledOperation : kApplicationInstall, sequence, ""});
  changed_.notify_all();
  return endSucceeds;
}

std::vector<RestorePointCall> MemoryRestorePoint::Calls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

bool MemoryRestorePoint::WaitForCalls(
    const std::function<bool(const std::vector<RestorePointCall>&)>& ready,
    std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return ready(calls_); });
}

void MemoryRestorePoint::Hold() {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ = true;
}

void MemoryRestorePoint::Release() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ = false;
  }
  changed_.notify_all();
}

}  // namespace tallowin::platform::memory
