#pragma once
// System Restore: a restore point is a system change that one call begins and a second
// call ends, either keeping the point or cancelling it.

#include <cstdint>
#include <memory>
#include <string>

namespace tallowin::platform {

// RESTOREPOINTINFO values, so that fakes record what Windows would be sent.
inline constexpr uint32_t kBeginSystemChange = 100;   // dwEventType
inline constexpr uint32_t kEndSystemChange = 101;
inline constexpr uint32_t kApplicationInstall = 0;    // dwRestorePtType
inline constexpr uint32_t kCancelledOperation = 13;

enum class RestorePointResult {
  Created,      // the call returned success
  Failed,       // the call returned failure
  Unavailable,  // no System Restore here (library or entry point missing)
};

struct RestorePointStart {
  RestorePointResult result = RestorePointResult::Failed;
  int64_t sequence = 0;  // llSequenceNumber of the change begun; only with Created
};

// Owned through a shared_ptr by the machines, so that a worker whose call outlives its
// dialog can keep the service alive (shared_from_this) instead of borrowing it.
class RestorePointService : public std::enable_shared_from_this<RestorePointService> {
 public:
  virtual ~RestorePointService() = default;
  // BEGIN_SYSTEM_CHANGE, APPLICATION_INSTALL, sequence 0, with the description. Only a
  // Created result has begun a change, and that change must be ended once with End.
  [[nodiscard]] virtual RestorePointStart Create(const std::string& description) = 0;
  // END_SYSTEM_CHANGE for the change `sequence` began: APPLICATION_INSTALL keeps the
  // restore point, CANCELLED_OPERATION (cancelled) asks System Restore to drop it.
  [[nodiscard]] virtual bool End(int64_t sequence, bool cancelled) = 0;
};

// Owns one begun system change and ends it exactly once: by Complete or Cancel, or as
// cancelled when it goes out of scope unended (a run that never said it went on did not
// use the restore point). The service must outlive the object.
class SystemChange {
 public:
  SystemChange() = default;
  SystemChange(RestorePointService& service, int64_t sequence)
      : service_(&service), sequence_(sequence) {}
  ~SystemChange() { Cancel(); }
  SystemChange(SystemChange&& other) noexcept;
  SystemChange& operator=(SystemChange&& other) noexcept;
  SystemChange(const SystemChange&) = delete;
  SystemChange& operator=(const SystemChange&) = delete;

  bool open() const { return service_ != nullptr; }
  int64_t sequence() const { return sequence_; }

  // Each ends the change if it is still open; false when nothing was open or the call
  // failed. Either way the change is no longer open afterwards.
  bool Complete() { return End(false); }
  bool Cancel() { return End(true); }

 private:
  bool End(bool cancelled) noexcept;

  RestorePointService* service_ = nullptr;
  int64_t sequence_ = 0;
};

}  // namespace tallowin::platform
