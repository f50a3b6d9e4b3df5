#pragma once
// The Task Scheduler 2.0 API (taskschd.dll through COM) behind platform::TaskScheduler.

#include <memory>

#include "platform/task_scheduler.h"

namespace tallowin::platform::win32 {

std::unique_ptr<TaskScheduler> MakeTaskScheduler();

}  // namespace tallowin::platform::win32
