#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

#include "app/cli/commands.h"
#include "app/cli/console.h"
#include "core/schedule.h"
#include "platform/win32/task_scheduler_win32.h"
#include "platform/win32/win32_platform.h"

namespace tallowin::cli {
namespace {

void Error(const std::string& message) { WriteText(stderr, "tallowin-cli: " + message + "\n"); }

std::string IsoTime(const platform::LocalTime& t) {
  char text[24];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

void PrintState(const ScheduleState& state, Format format, platform::System& system) {
  if (format == Format::Text) {
    std::string text = StateSummary(state) + "\n";
    for (const std::string& note :
         StateNotes(state, [&system](const platform::LocalTime& t) { return system.FormatDateTime(t); }))
      text += note + "\n";
    WriteText(stdout, text);
    return;
  }
  nlohmann::ordered_json json;
  json["task"] = kScheduledTaskName;
  json["registered"] = state.exists;
  const char* kinds[] = {"off", "daily", "weekly"};
  json["schedule"] = !state.scheduleKnown ? "unknown"
                     : state.schedule    ? kinds[static_cast<int>(state.schedule->kind)]
                                         : "other";
  const bool timed = state.schedule && state.schedule->kind != RepairSchedule::Kind::Off;
  json["day"] = state.schedule && state.schedule->kind == RepairSchedule::Kind::Weekly
                    ? nlohmann::json(kDayNames[static_cast<size_t>(state.schedule->day)])
                    : nlohmann::json(nullptr);
  json["at"] = timed ? nlohmann::json(TimeOfDayText(state.schedule->hour, state.schedule->minute))
                     : nlohmann::json(nullptr);
  json["enabled"] = state.exists && state.enabled;
  json["action"] = state.exists && state.actionKnown ? nlohmann::json(ActionText(state)) : nlohmann::json(nullptr);
  json["this_program"] = state.exists && state.actionKnown ? nlohmann::json(state.ours) : nlohmann::json(nullptr);
  json["next_run"] = state.nextRun ? nlohmann::json(IsoTime(*state.nextRun)) : nlohmann::json(nullptr);
  json["note"] = state.unreadable.empty() ? nlohmann::json(nullptr) : nlohmann::json(UnreadableText(state.unreadable));
  WriteText(stdout, json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

}  // namespace

int RunSchedule(const ScheduleArgs& args) {
  const std::unique_ptr<platform::System> system = platform::win32::MakeSystem();
  const std::unique_ptr<platform::TaskScheduler> scheduler = platform::win32::MakeTaskScheduler();
  const std::string program = ScheduledProgramPath(system->ExecutableDirectory());

  if (args.xml && args.change) {
    if (args.change->kind == RepairSchedule::Kind::Off) {
      Error("schedule off has no task definition");
      return kExitUsage;
    }
    WriteText(stdout, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") +
                          ScheduledTaskXml(*args.change, program, system->Now()));
    return kExitOk;
  }
  if (args.change && !args.xml) {
    // A task whose program is not there would fail at every run, unseen.
    const std::unique_ptr<platform::FileSystem> files = platform::win32::MakeFileSystem();
    if (args.change->kind != RepairSchedule::Kind::Off && !platform::FileExists(*files, program)) {
      Error("there is no " + program + " to start: Tallowin.exe must lie beside tallowin-cli.exe. "
            "Nothing was changed.");
      return kExitFailed;
    }
    const platform::TaskResult applied = ApplySchedule(*scheduler, *args.change, program, system->Now());
    if (!applied.ok()) {
      Error(TaskFailureText(applied));
      return kExitFailed;
    }
  }
  platform::RegisteredTask task;
  const platform::TaskResult read = scheduler->Read(kScheduledTaskName, task);
  if (!read.ok()) {
    Error(TaskFailureText(read));
    return kExitFailed;
  }
  const ScheduleState state = InterpretTask(task, program);
  if (args.xml) {
    if (!state.exists || !state.schedule) {
      Error("no schedule of this program is registered; name one, e.g. schedule weekly sun --at 03:00 --xml");
      return kExitFailed;
    }
    WriteText(stdout, std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n") +
                          ScheduledTaskXml(*state.schedule, program, system->Now()));
    return kExitOk;
  }
  PrintState(state, args.format, *system);
  return kExitOk;
}

}  // namespace tallowin::cli
