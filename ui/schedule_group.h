#pragma once
// The "Repair automatically" group of the options dialog: the task of the scheduled
// repair as Windows' Task Scheduler has it when the dialog opens, and, at OK, the change
// the user made to it (nothing is registered or removed without one).

#include <memory>
#include <optional>
#include <string>

#include "core/schedule.h"
#include "platform/system.h"
#include "platform/task_scheduler.h"
#include "ui/window.h"

namespace tallowin::ui {

class ScheduleGroup {
 public:
  // Creates the controls in `form`, ids from `firstId` on, at 96-DPI (x, y), `width` wide.
  ScheduleGroup(Form& form, int firstId, int x, int y, int width);
  ScheduleGroup(const ScheduleGroup&) = delete;
  ScheduleGroup& operator=(const ScheduleGroup&) = delete;
  static constexpr int kHeight = 92;

  HWND GroupBox3 = nullptr;
  HWND cmbSchedule = nullptr;     // Off, Daily, Weekly
  HWND cmbScheduleDay = nullptr;  // Sunday ... Saturday
  HWND dtpScheduleTime = nullptr;
  HWND lScheduleState = nullptr;

  // Reads the task and shows it.
  void Load();
  // The schedule the controls show; none while the task's schedule is shown as unknown
  // and the user has not picked one.
  std::optional<RepairSchedule> Chosen() const;
  // Changes the task when the user changed the schedule: "" or the message for the user.
  std::string Apply();
  // Commands of the group's controls; false for any other.
  bool OnCommand(int id, int notifyCode);

 private:
  void UpdateEnabled();

  int firstId_;
  std::unique_ptr<platform::System> system_;
  std::unique_ptr<platform::TaskScheduler> scheduler_;
  std::optional<RepairSchedule> shown_;
};

}  // namespace tallowin::ui
