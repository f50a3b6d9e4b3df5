#pragma once
// Windows' Task Scheduler: one task of the root folder, read, registered from its XML
// definition, or removed.

#include <optional>
#include <string>
#include <vector>

#include "platform/system.h"

namespace tallowin::platform {

// One trigger as the Task Scheduler reports it.
struct TaskTrigger {
  enum class Kind { Daily, Weekly, Other };
  Kind kind = Kind::Other;
  std::string startBoundary;  // as stored, e.g. "2026-12-13T03:00:00"
  int interval = 1;           // days (daily) or weeks (weekly)
  int daysOfWeek = 0;         // weekly: bit 0 Sunday ... bit 6 Saturday
  bool enabled = true;
};

struct TaskAction {
  bool exec = false;  // an "Start a program" action; the others have no command
  std::string command;
  std::string arguments;
};

// A part of a task the Task Scheduler could not report, with the system's reason.
struct TaskUnreported {
  enum class Part { Definition, Schedule, Action };
  Part part = Part::Definition;
  std::string reason;
};

struct RegisteredTask {
  bool exists = false;
  bool enabled = true;
  // Missing when the Task Scheduler could not report them (`unreadable` says why).
  std::optional<std::vector<TaskTrigger>> triggers;
  std::optional<std::vector<TaskAction>> actions;
  std::optional<LocalTime> nextRun;  // only when the system knows it
  std::vector<TaskUnreported> unreadable;
};

// The step of a call that failed. Its sentence is composed by the caller, in the
// reader's language; only the system's reason comes from here.
enum class TaskStep {
  Done,
  NoScheduler,        // the Task Scheduler is not available
  NoService,          // its service cannot be reached
  NoFolder,           // its task folder cannot be opened
  NotRead,            // the task cannot be read
  NoDefinition,       // no task definition can be made
  DefinitionRefused,  // the definition was refused
  NotRegistered,      // registering the task was refused
  NotRemoved,         // removing the task was refused
};

// Done, or the step that failed and the system's reason, e.g. NoService with "Access is
// denied. (0x80070005)".
struct TaskResult {
  TaskStep step = TaskStep::Done;
  long code = 0;
  std::string reason;
  bool ok() const { return step == TaskStep::Done; }
};

class TaskScheduler {
 public:
  virtual ~TaskScheduler() = default;
  // A task that does not exist is no error (`task.exists` false).
  [[nodiscard]] virtual TaskResult Read(const std::string& name, RegisteredTask& task) = 0;
  // Creates or replaces the task from its definition, to run as the current user while
  // logged on.
  [[nodiscard]] virtual TaskResult Register(const std::string& name, const std::string& xml) = 0;
  // A task that does not exist is no error.
  [[nodiscard]] virtual TaskResult Remove(const std::string& name) = 0;
};

}  // namespace tallowin::platform
