// The scheduled repair's task through Wine's Task Scheduler (taskschd.dll and its
// service, which keeps each task as an XML file in system32\Tasks): registered, read
// back, changed and removed.

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/schedule.h"
#include "platform/win32/task_scheduler_win32.h"

namespace tallowin {
namespace {

using Kind = RepairSchedule::Kind;

// The service is a native process: under WOW64 its system32 is our Sysnative.
std::string TaskFile() {
  char windows[MAX_PATH];
  EXPECT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  return std::string(windows) + (wow64 ? "\\Sysnative" : "\\System32") + "\\Tasks\\" + kScheduledTaskName;
}

// The file ends with the definition's end tag: one whole definition.
bool EndsWholly(const std::string& text) {
  const size_t last = text.find_last_not_of("\r\n");
  return last != std::string::npos && last >= 6 && text.compare(last - 6, 7, "</Task>") == 0;
}

// The file's text as UTF-8 (the service writes it with a UTF-8 byte order mark); empty
// when there is no file.
std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The task as read back: either the schedule asked for, or unknown with the reason; a
// wrong schedule or action is never shown.
void ExpectReadBack(platform::TaskScheduler& scheduler, const RepairSchedule& wanted,
                    const std::string& program) {
  platform::RegisteredTask task;
  const platform::TaskResult read = scheduler.Read(kScheduledTaskName, task);
  ASSERT_TRUE(read.ok()) << TaskFailureText(read);
  ASSERT_TRUE(task.exists);
  const ScheduleState state = InterpretTask(task, program);
  if (state.scheduleKnown) {
    ASSERT_TRUE(state.schedule);
    EXPECT_TRUE(SameSchedule(*state.schedule, wanted)) << StateSummary(state);
  } else {
    const std::string unreadable = UnreadableText(state.unreadable);
    EXPECT_NE(unreadable.find("the task's schedule"), std::string::npos) << unreadable;
  }
  EXPECT_TRUE(!state.actionKnown || state.ours) << ActionText(state);
}

TEST(TaskSchedulerWine, TheTaskIsRegisteredReadChangedAndRemoved) {
  const auto scheduler = platform::win32::MakeTaskScheduler();
  const std::string program = "C:\\Tallowin\\Tallowin.exe";
  const std::string file = TaskFile();
  const platform::LocalTime today{2026, 12, 9, 10, 0, 0};
  ASSERT_TRUE(scheduler->Remove(kScheduledTaskName).ok());
  ASSERT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);

  const RepairSchedule weekly{Kind::Weekly, 0, 3, 0};
  platform::TaskResult result = ApplySchedule(*scheduler, weekly, program, today);
  ASSERT_TRUE(result.ok()) << TaskFailureText(result);
  const std::string registered = FileText(file);
  EXPECT_NE(registered.find("<Author>Tallowin</Author>"), std::string::npos) << registered;
  EXPECT_NE(registered.find("<StartWhenAvailable>true</StartWhenAvailable>"), std::string::npos);
  EXPECT_TRUE(EndsWholly(registered)) << registered;
  ExpectReadBack(*scheduler, weekly, program);

  // A change replaces the one task; its file stays one whole definition.
  const RepairSchedule daily{Kind::Daily, 0, 4, 30};
  result = ApplySchedule(*scheduler, daily, program, today);
  ASSERT_TRUE(result.ok()) << TaskFailureText(result);
  const std::string changed = FileText(file);
  EXPECT_EQ(changed.find("<Task "), changed.rfind("<Task ")) << changed;
  EXPECT_TRUE(EndsWholly(changed)) << changed;
  ExpectReadBack(*scheduler, daily, program);

  result = ApplySchedule(*scheduler, RepairSchedule{}, program, today);
  ASSERT_TRUE(result.ok()) << TaskFailureText(result);
  EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
  platform::RegisteredTask task;
  ASSERT_TRUE(scheduler->Read(kScheduledTaskName, task).ok());
  EXPECT_FALSE(task.exists);
  EXPECT_TRUE(scheduler->Remove(kScheduledTaskName).ok()) << "removing an absent task is no error";
}

}  // namespace
}  // namespace tallowin
