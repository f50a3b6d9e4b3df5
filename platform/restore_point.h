#pragma once
// System Restore: one blocking call that announces the beginning of a system change.

#include <string>

namespace tallowin::platform {

enum class RestorePointResult {
  Created,      // the call returned success
  Failed,       // the call returned failure
  Unavailable,  // no System Restore here (library or entry point missing)
};

class RestorePointService {
 public:
  virtual ~RestorePointService() = default;
  // BEGIN_SYSTEM_CHANGE, APPLICATION_INSTALL, sequence 0, with the description.
  virtual RestorePointResult Create(const std::string& description) = 0;
};

}  // namespace tallowin::platform
