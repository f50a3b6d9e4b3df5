#include "platform/restore_point.h"

#include <utility>

namespace tallowin::platform {

SystemChange::SystemChange(SystemChange&& other) noexcept
    : service_(std::exchange(other.service_, nullptr)), sequence_(other.sequence_) {}

SystemChange& SystemChange::operator=(SystemChange&& other) noexcept {
  if (this != &other) {
    Cancel();
    service_ = std::exchange(other.service_, nullptr);
    sequence_ = other.sequence_;
  }
  return *this;
}

bool SystemChange::End(bool cancelled) noexcept {
  RestorePointService* service = std::exchange(service_, nullptr);
  if (service == nullptr) return false;
  // Also reached from destructors: a service that throws counts as a failed call.
  try {
    return service->End(sequence_, cancelled);
  } catch (...) {
    return false;
  }
}

}  // namespace tallowin::platform
