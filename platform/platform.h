#pragma once
// One machine: the services that scan/ and repair/ reach the system through.

#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "platform/restore_point.h"
#include "platform/system.h"

namespace tallowin::platform {

struct Platform {
  Registry& registry;
  FileSystem& files;
  System& system;
  ProcessLauncher& processes;
  RestorePointService& restorePoint;
};

}  // namespace tallowin::platform
