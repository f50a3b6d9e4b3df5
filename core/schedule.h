#pragma once
// The scheduled unattended repair: the schedule a user picks, the task definition that
// has Windows' Task Scheduler run "Tallowin.exe -repaironce" on it, and what a task of
// that name, as the Task Scheduler reports it, means for this program.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/wording.h"
#include "platform/task_scheduler.h"

namespace tallowin {

inline constexpr const char* kScheduledTaskName = "Tallowin scheduled repair";
inline constexpr const char* kScheduledProgram = "Tallowin.exe";
inline constexpr const char* kScheduledArguments = "-repaironce";

inline constexpr std::array<const char*, 7> kDayNames = {
    "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

struct RepairSchedule {
  enum class Kind { Off, Daily, Weekly };
  Kind kind = Kind::Off;
  int day = 0;  // weekly: 0 Sunday ... 6 Saturday
  int hour = 3;
  int minute = 0;
};
// Two schedules that run the same (every "off" is the same).
bool SameSchedule(const RepairSchedule& a, const RepairSchedule& b);

// "HH:MM" (or "H:MM"), 00:00 to 23:59.
bool ParseTimeOfDay(const std::string& text, int& hour, int& minute);
// A day's English name or its first three letters, in any case.
bool ParseDayName(const std::string& text, int& day);
// The command line's words after "schedule" ("off", "daily", "weekly DAY") with --at
// (`at`, absent when not given). No words: `change` stays empty (show the schedule).
// False with `error` set for anything else.
bool ParseScheduleWords(const std::vector<std::string>& words, const std::optional<std::string>& at,
                        std::optional<RepairSchedule>& change, std::string& error);

std::string TimeOfDayText(int hour, int minute);  // "03:00"
// "off", "daily at 03:00", "weekly on Sunday at 03:00".
std::string ScheduleText(const RepairSchedule& schedule);

// The program the task starts: Tallowin.exe in the given folder (the command-line
// program's folder too, as both ship side by side).
std::string ScheduledProgramPath(const std::string& executableDirectory);

// The task definition (Task Scheduler XML, without an XML declaration): the schedule's
// trigger from `start`'s date, the program with "-repaironce", the current user while
// logged on, at the highest run level, started late after a missed run; Windows'
// defaults otherwise.
std::string ScheduledTaskXml(const RepairSchedule& schedule, const std::string& program,
                             const platform::LocalTime& start);

// A registered task as this program sees it.
struct ScheduleState {
  bool exists = false;
  bool enabled = true;
  // The schedule when the task runs one this program offers.
  std::optional<RepairSchedule> schedule;
  bool scheduleKnown = false;  // false: the Task Scheduler could not report it
  bool actionKnown = false;
  bool ours = false;           // its one action is this program with "-repaironce"
  std::vector<platform::TaskAction> actions;  // when known
  std::optional<platform::LocalTime> nextRun;
  std::vector<platform::TaskUnreported> unreadable;  // what the Task Scheduler could not report
};
ScheduleState InterpretTask(const platform::RegisteredTask& task, const std::string& program);

// The command lines of the task's actions, "; " between; one that starts no program is
// "(not a program)".
std::string ActionText(const ScheduleState& state, const Wording& words = English());
// What the Task Scheduler could not report, and why, "; " between; "" when nothing.
std::string UnreadableText(const std::vector<platform::TaskUnreported>& unreadable,
                           const Wording& words = English());
// The step of the scheduled task that failed, with the system's reason, e.g. "the Task
// Scheduler service cannot be reached: Access is denied. (0x80070005)"; "" when done.
std::string TaskFailureText(const platform::TaskResult& result, const Wording& words = English());

// "off", a schedule's text, "another schedule" or "schedule unknown".
std::string StateSummary(const ScheduleState& state);
// Further lines for the user: disabled, next run, a foreign action, what was unreadable.
std::vector<std::string> StateNotes(const ScheduleState& state,
                                    const std::function<std::string(const platform::LocalTime&)>& formatTime,
                                    const Wording& words = English());

// Registers or replaces the task so that it runs `wanted`, or removes it for "off".
[[nodiscard]] platform::TaskResult ApplySchedule(platform::TaskScheduler& scheduler,
                                                 const RepairSchedule& wanted,
                                                 const std::string& program,
                                                 const platform::LocalTime& today);

}  // namespace tallowin
