#include "core/schedule.h"

#include <gtest/gtest.h>

namespace tallowin {
namespace {

using Kind = RepairSchedule::Kind;
using platform::RegisteredTask;
using platform::TaskAction;
using platform::TaskTrigger;

struct WordsCase {
  std::vector<std::string> words;
  std::optional<std::string> at;
  const char* result;  // the schedule's text, "show", or the start of the error
};

TEST(ScheduleWords, EachCommandLineIsAScheduleOrAClearError) {
  const WordsCase cases[] = {
      {{}, std::nullopt, "show"},
      {{"off"}, std::nullopt, "off"},
      {{"daily"}, "00:00", "daily at 00:00"},
      {{"daily"}, "7:05", "daily at 07:05"},
      {{"weekly", "sun"}, "03:00", "weekly on Sunday at 03:00"},
      {{"weekly", "SATURDAY"}, "23:59", "weekly on Saturday at 23:59"},
      {{"weekly", "funday"}, "03:00", "not a day of the week: funday"},
      {{"weekly", "su"}, "03:00", "not a day of the week: su"},
      {{"weekly"}, "03:00", "schedule weekly needs a day"},
      {{"daily"}, "25:00", "--at: not a time of day from 00:00 to 23:59: 25:00"},
      {{"daily"}, "12:60", "--at: not a time"},
      {{"daily"}, "1200", "--at: not a time"},
      {{"daily"}, "12:5", "--at: not a time"},
      {{"daily"}, "-1:30", "--at: not a time"},
      {{"daily"}, "", "--at: not a time"},
      {{"daily"}, std::nullopt, "schedule daily needs --at HH:MM"},
      {{"weekly", "mon"}, std::nullopt, "schedule weekly needs --at HH:MM"},
      {{"off"}, "03:00", "schedule off takes no --at"},
      {{}, "03:00", "--at needs daily or weekly DAY"},
      {{"monthly"}, "03:00", "not a schedule: monthly"},
      {{"Daily"}, "03:00", "not a schedule: Daily"},
      {{"daily", "mon"}, "03:00", "unexpected word: mon"},
      {{"weekly", "mon", "tue"}, "03:00", "unexpected word: tue"},
      {{"off", "now"}, std::nullopt, "unexpected word: now"},
  };
  for (const WordsCase& c : cases) {
    std::string joined;
    for (const std::string& word : c.words) joined += word + " ";
    SCOPED_TRACE(joined + "--at " + c.at.value_or("(none)"));
    std::optional<RepairSchedule> change;
    std::string error;
    const bool ok = ParseScheduleWords(c.words, c.at, change, error);
    const std::string got = !ok ? error : change ? ScheduleText(*change) : "show";
    EXPECT_EQ(got.rfind(c.result, 0), 0u) << got;
    EXPECT_EQ(ok, error.empty());
    EXPECT_TRUE(ok || !change);
  }
}

// A task as the Task Scheduler would report the definition made for `schedule`.
RegisteredTask Reported(const RepairSchedule& schedule, const std::string& command,
                        const std::string& arguments) {
  RegisteredTask task;
  task.exists = true;
  TaskTrigger trigger;
  trigger.kind = schedule.kind == Kind::Weekly ? TaskTrigger::Kind::Weekly : TaskTrigger::Kind::Daily;
  trigger.daysOfWeek = schedule.kind == Kind::Weekly ? 1 << schedule.day : 0;
  trigger.startBoundary = "2026-12-09T" + TimeOfDayText(schedule.hour, schedule.minute) + ":00";
  task.triggers = std::vector<TaskTrigger>{trigger};
  task.actions = std::vector<TaskAction>{{true, command, arguments}};
  return task;
}

TEST(ScheduleState, OnlyThisProgramsOwnOfferedScheduleIsShownAsOurs) {
  const std::string program = "C:\\Program Files\\Tallowin\\Tallowin.exe";
  const RepairSchedule weekly{Kind::Weekly, 0, 3, 0};
  ScheduleState state = InterpretTask(Reported(weekly, "\"c:\\program files\\tallowin\\TALLOWIN.EXE\"", " -RepairOnce"), program);
  ASSERT_TRUE(state.schedule);
  EXPECT_TRUE(SameSchedule(*state.schedule, weekly));
  EXPECT_TRUE(state.ours);
  EXPECT_EQ(StateSummary(state), "weekly on Sunday at 03:00");

  state = InterpretTask(Reported(weekly, "C:\\Other\\Tallowin.exe", "-repaironce"), program);
  EXPECT_FALSE(state.ours);
  state = InterpretTask(Reported(weekly, program, "-repaironce -x"), program);
  EXPECT_FALSE(state.ours);
  ASSERT_EQ(StateNotes(state, {}).size(), 1u);
  EXPECT_NE(StateNotes(state, {})[0].find("another program"), std::string::npos);

  // Schedules the dialog does not offer are never shown as one it does.
  RegisteredTask task = Reported(weekly, program, "-repaironce");
  (*task.triggers)[0].daysOfWeek = 3;  // Sunday and Monday
  EXPECT_EQ(StateSummary(InterpretTask(task, program)), "another schedule");
  task = Reported(RepairSchedule{Kind::Daily, 0, 4, 30}, program, "-repaironce");
  (*task.triggers)[0].interval = 2;
  EXPECT_EQ(StateSummary(InterpretTask(task, program)), "another schedule");
  task.triggers->push_back(task.triggers->front());
  EXPECT_EQ(StateSummary(InterpretTask(task, program)), "another schedule");

  // What the Task Scheduler cannot report stays unknown, with its reason.
  task.triggers.reset();
  task.actions.reset();
  task.unreadable = {{platform::TaskUnreported::Part::Schedule, "Not implemented."},
                     {platform::TaskUnreported::Part::Action, "Error (0x80004001)"}};
  state = InterpretTask(task, program);
  EXPECT_EQ(StateSummary(state), "schedule unknown");
  EXPECT_FALSE(state.ours);
  EXPECT_EQ(StateNotes(state, {}),
            std::vector<std::string>{"the Task Scheduler cannot report the task's schedule: Not implemented.; "
                                     "the Task Scheduler cannot report the task's action: Error (0x80004001)"});
  EXPECT_EQ(StateSummary(InterpretTask(RegisteredTask{}, program)), "off");
}

TEST(ScheduledTaskXml, NamesTheProgramEscapedAndTheTrigger) {
  const std::string xml = ScheduledTaskXml(RepairSchedule{Kind::Weekly, 6, 21, 5}, "C:\\A&B\\Tallowin.exe",
                                           platform::LocalTime{2026, 1, 2, 0, 0, 0});
  for (const char* part : {"<StartBoundary>2026-01-02T21:05:00</StartBoundary>", "<Saturday />",
                           "<Command>C:\\A&amp;B\\Tallowin.exe</Command>", "<Arguments>-repaironce</Arguments>",
                           "<RunLevel>HighestAvailable</RunLevel>", "<LogonType>InteractiveToken</LogonType>",
                           "<StartWhenAvailable>true</StartWhenAvailable>"})
    EXPECT_NE(xml.find(part), std::string::npos) << part;
}

}  // namespace
}  // namespace tallowin
