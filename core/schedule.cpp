#include "core/schedule.h"

#include <cstdio>
#include <utility>

#include "platform/text.h"

namespace tallowin {
namespace {

using platform::TaskTrigger;

std::string XmlEscaped(const std::string& text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string Unquoted(const std::string& text) {
  const std::string trimmed = Trimmed(text);
  if (trimmed.size() >= 2 && trimmed.front() == '"' && trimmed.back() == '"')
    return trimmed.substr(1, trimmed.size() - 2);
  return trimmed;
}

// The time of a start boundary "YYYY-MM-DDTHH:MM:SS[...]".
bool BoundaryTime(const std::string& boundary, int& hour, int& minute) {
  const size_t t = boundary.find('T');
  return t != std::string::npos && ParseTimeOfDay(boundary.substr(t + 1, 5), hour, minute);
}

// The one schedule of the task when it is one this program offers.
std::optional<RepairSchedule> OfferedSchedule(const std::vector<TaskTrigger>& triggers) {
  if (triggers.size() != 1 || !triggers[0].enabled) return std::nullopt;
  const TaskTrigger& trigger = triggers[0];
  RepairSchedule schedule;
  if (!BoundaryTime(trigger.startBoundary, schedule.hour, schedule.minute) || trigger.interval != 1)
    return std::nullopt;
  if (trigger.kind == TaskTrigger::Kind::Daily) {
    schedule.kind = RepairSchedule::Kind::Daily;
    return schedule;
  }
  if (trigger.kind != TaskTrigger::Kind::Weekly) return std::nullopt;
  for (int day = 0; day < 7; ++day) {
    if (trigger.daysOfWeek == (1 << day)) {
      schedule.kind = RepairSchedule::Kind::Weekly;
      schedule.day = day;
      return schedule;
    }
  }
  return std::nullopt;
}

}  // namespace

bool SameSchedule(const RepairSchedule& a, const RepairSchedule& b) {
  if (a.kind != b.kind) return false;
  if (a.kind == RepairSchedule::Kind::Off) return true;
  return a.hour == b.hour && a.minute == b.minute &&
         (a.kind != RepairSchedule::Kind::Weekly || a.day == b.day);
}

bool ParseTimeOfDay(const std::string& text, int& hour, int& minute) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon < 1 || colon > 2 || text.size() != colon + 3) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (i != colon && (text[i] < '0' || text[i] > '9')) return false;
  const int h = std::stoi(text.substr(0, colon));
  const int m = std::stoi(text.substr(colon + 1));
  if (h > 23 || m > 59) return false;
  hour = h;
  minute = m;
  return true;
}

bool ParseDayName(const std::string& text, int& day) {
  for (int i = 0; i < 7; ++i) {
    const std::string name = kDayNames[static_cast<size_t>(i)];
    if (EqualsNoCase(text, name) || EqualsNoCase(text, name.substr(0, 3))) {
      day = i;
      return true;
    }
  }
  return false;
}

bool ParseScheduleWords(const std::vector<std::string>& words, const std::optional<std::string>& at,
                        std::optional<RepairSchedule>& change, std::string& error) {
  change.reset();
  const auto fail = [&error](std::string message) {
    error = std::move(message);
    return false;
  };
  if (words.empty()) return at ? fail("--at needs daily or weekly DAY") : true;
  RepairSchedule schedule;
  const std::string& kind = words[0];
  const size_t wordsWanted = kind == "weekly" ? 2 : 1;
  if (kind == "off") {
    if (at) return fail("schedule off takes no --at");
  } else if (kind == "daily" || kind == "weekly") {
    schedule.kind = kind == "daily" ? RepairSchedule::Kind::Daily : RepairSchedule::Kind::Weekly;
    if (kind == "weekly" && words.size() < 2)
      return fail("schedule weekly needs a day (sun, mon, ... or sunday, monday, ...)");
    if (kind == "weekly" && !ParseDayName(words[1], schedule.day))
      return fail("not a day of the week: " + words[1] + " (sun, mon, ... or sunday, monday, ...)");
    if (!at) return fail("schedule " + kind + " needs --at HH:MM");
    if (!ParseTimeOfDay(*at, schedule.hour, schedule.minute))
      return fail("--at: not a time of day from 00:00 to 23:59: " + *at);
  } else {
    return fail("not a schedule: " + kind + " (off, daily or weekly DAY)");
  }
  if (words.size() > wordsWanted) return fail("unexpected word: " + words[wordsWanted]);
  change = schedule;
  return true;
}

std::string TimeOfDayText(int hour, int minute) {
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", hour, minute);
  return text;
}

std::string ScheduleText(const RepairSchedule& schedule) {
  const std::string at = " at " + TimeOfDayText(schedule.hour, schedule.minute);
  switch (schedule.kind) {
    case RepairSchedule::Kind::Daily: return "daily" + at;
    case RepairSchedule::Kind::Weekly:
      return std::string("weekly on ") + kDayNames[static_cast<size_t>(schedule.day)] + at;
    case RepairSchedule::Kind::Off: break;
  }
  return "off";
}

std::string ScheduledProgramPath(const std::string& executableDirectory) {
  std::string path = executableDirectory;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + kScheduledProgram;
}

std::string ScheduledTaskXml(const RepairSchedule& schedule, const std::string& program,
                             const platform::LocalTime& start) {
  char boundary[32];
  std::snprintf(boundary, sizeof boundary, "%04d-%02d-%02dT%02d:%02d:00", start.year, start.month,
                start.day, schedule.hour, schedule.minute);
  std::string calendar;
  if (schedule.kind == RepairSchedule::Kind::Weekly) {
    calendar = std::string("      <ScheduleByWeek>\n        <DaysOfWeek>\n          <") +
               kDayNames[static_cast<size_t>(schedule.day)] +
               " />\n        </DaysOfWeek>\n        <WeeksInterval>1</WeeksInterval>\n"
               "      </ScheduleByWeek>\n";
  } else {
    calendar = "      <ScheduleByDay>\n        <DaysInterval>1</DaysInterval>\n      </ScheduleByDay>\n";
  }
  return std::string(
             "<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\n"
             "  <RegistrationInfo>\n"
             "    <Author>Tallowin</Author>\n"
             "    <Description>Scans the sections chosen in Custom Scan and repairs what it finds, "
             "with a backup.</Description>\n"
             "  </RegistrationInfo>\n"
             "  <Triggers>\n"
             "    <CalendarTrigger>\n"
             "      <StartBoundary>") +
         boundary + "</StartBoundary>\n" + calendar +
         "    </CalendarTrigger>\n"
         "  </Triggers>\n"
         "  <Principals>\n"
         "    <Principal id=\"Author\">\n"
         "      <LogonType>InteractiveToken</LogonType>\n"
         "      <RunLevel>HighestAvailable</RunLevel>\n"
         "    </Principal>\n"
         "  </Principals>\n"
         "  <Settings>\n"
         "    <StartWhenAvailable>true</StartWhenAvailable>\n"
         "  </Settings>\n"
         "  <Actions Context=\"Author\">\n"
         "    <Exec>\n"
         "      <Command>" + XmlEscaped(program) + "</Command>\n"
         "      <Arguments>" + kScheduledArguments + "</Arguments>\n"
         "    </Exec>\n"
         "  </Actions>\n"
         "</Task>\n";
}

ScheduleState InterpretTask(const platform::RegisteredTask& task, const std::string& program) {
  ScheduleState state;
  state.exists = task.exists;
  if (!task.exists) {
    state.schedule = RepairSchedule{};
    state.scheduleKnown = state.actionKnown = true;
    return state;
  }
  state.enabled = task.enabled;
  state.nextRun = task.nextRun;
  state.unreadable = task.unreadable;
  if (task.triggers) {
    state.scheduleKnown = true;
    state.schedule = OfferedSchedule(*task.triggers);
  }
  if (task.actions) {
    state.actionKnown = true;
    state.actions = *task.actions;
    state.ours = task.actions->size() == 1 && (*task.actions)[0].exec &&
                 EqualsNoCase(Unquoted((*task.actions)[0].command), program) &&
                 EqualsNoCase(Trimmed((*task.actions)[0].arguments), kScheduledArguments);
  }
  return state;
}

std::string ActionText(const ScheduleState& state, const Wording& words) {
  std::string text;
  for (const platform::TaskAction& action : state.actions) {
    if (!text.empty()) text += "; ";
    text += action.exec ? "\"" + Unquoted(action.command) + "\" " + action.arguments
                        : words[Phrase::TaskNotAProgram];
  }
  return text;
}

std::string UnreadableText(const std::vector<platform::TaskUnreported>& unreadable,
                           const Wording& words) {
  std::string text;
  for (const platform::TaskUnreported& part : unreadable) {
    if (!text.empty()) text += "; ";
    switch (part.part) {
      case platform::TaskUnreported::Part::Definition:
        text += words.Say(Phrase::TaskDefinitionUnreported, {part.reason});
        break;
      case platform::TaskUnreported::Part::Schedule:
        text += words.Say(Phrase::TaskScheduleUnreported, {part.reason});
        break;
      case platform::TaskUnreported::Part::Action:
        text += words.Say(Phrase::TaskActionUnreported, {part.reason});
        break;
    }
  }
  return text;
}

std::string TaskFailureText(const platform::TaskResult& result, const Wording& words) {
  using platform::TaskStep;
  switch (result.step) {
    case TaskStep::Done: break;
    case TaskStep::NoScheduler: return words.Say(Phrase::TaskNoScheduler, {result.reason});
    case TaskStep::NoService: return words.Say(Phrase::TaskNoService, {result.reason});
    case TaskStep::NoFolder: return words.Say(Phrase::TaskNoFolder, {result.reason});
    case TaskStep::NotRead: return words.Say(Phrase::TaskNotRead, {kScheduledTaskName, result.reason});
    case TaskStep::NoDefinition: return words.Say(Phrase::TaskNoDefinition, {result.reason});
    case TaskStep::DefinitionRefused: return words.Say(Phrase::TaskDefinitionRefused, {result.reason});
    case TaskStep::NotRegistered: return words.Say(Phrase::TaskNotRegistered, {result.reason});
    case TaskStep::NotRemoved: return words.Say(Phrase::TaskNotRemoved, {result.reason});
  }
  return {};
}

std::string StateSummary(const ScheduleState& state) {
  if (!state.exists) return "off";
  if (!state.scheduleKnown) return "schedule unknown";
  return state.schedule ? ScheduleText(*state.schedule) : "another schedule";
}

std::vector<std::string> StateNotes(const ScheduleState& state,
                                    const std::function<std::string(const platform::LocalTime&)>& formatTime,
                                    const Wording& words) {
  std::vector<std::string> notes;
  if (!state.exists) return notes;
  if (!state.enabled) notes.push_back(words[Phrase::TaskDisabled]);
  if (state.scheduleKnown && !state.schedule) notes.push_back(words[Phrase::TaskOtherSchedule]);
  if (state.nextRun) notes.push_back(words.Say(Phrase::TaskNextRun, {formatTime(*state.nextRun)}));
  if (state.actionKnown && !state.ours)
    notes.push_back(words.Say(Phrase::TaskOtherProgram, {ActionText(state, words)}));
  if (!state.unreadable.empty()) notes.push_back(UnreadableText(state.unreadable, words));
  return notes;
}

platform::TaskResult ApplySchedule(platform::TaskScheduler& scheduler, const RepairSchedule& wanted,
                                   const std::string& program, const platform::LocalTime& today) {
  if (wanted.kind == RepairSchedule::Kind::Off) return scheduler.Remove(kScheduledTaskName);
  return scheduler.Register(kScheduledTaskName, ScheduledTaskXml(wanted, program, today));
}

}  // namespace tallowin
