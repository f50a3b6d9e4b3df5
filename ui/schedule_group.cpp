#include "ui/schedule_group.h"

#include <windowsx.h>

#include <algorithm>

#include "platform/win32/task_scheduler_win32.h"
#include "platform/win32/win32_platform.h"
#include "ui/ui_text.h"

namespace tallowin::ui {
namespace {

enum Offset : int { kGroup, kSchedule, kOn, kDay, kAt, kTime, kState };

}  // namespace

ScheduleGroup::ScheduleGroup(Form& form, int firstId, int x, int y, int width)
    : firstId_(firstId),
      system_(platform::win32::MakeSystem()),
      scheduler_(platform::win32::MakeTaskScheduler()) {
  const INITCOMMONCONTROLSEX dates{sizeof dates, ICC_DATE_CLASSES};
  InitCommonControlsEx(&dates);
  GroupBox3 = form.AddGroupBox(firstId + kGroup, Tr(Txt::ScheduleGroup), x, y, width, kHeight);
  const int left = x + 12, row = y + 22;
  cmbSchedule = form.AddControl(WC_COMBOBOXW, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                                firstId + kSchedule, left, row, 90, 120);
  for (const Txt text : {Txt::ScheduleOff, Txt::ScheduleDaily, Txt::ScheduleWeekly})
    SendMessageW(cmbSchedule, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(Tr(text)).c_str()));
  const int onWidth = static_cast<int>(TextSize(Tr(Txt::ScheduleOn)).cx);
  form.AddLabel(firstId + kOn, Tr(Txt::ScheduleOn), left + 98, row + 4, onWidth);
  cmbScheduleDay = form.AddControl(WC_COMBOBOXW, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
                                   firstId + kDay, left + 104 + onWidth, row, 100, 200);
  for (size_t day = 0; day < kDayNames.size(); ++day)
    SendMessageW(cmbScheduleDay, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Wide(Tr(static_cast<Txt>(static_cast<size_t>(Txt::DaySunday) + day))).c_str()));
  const int atLeft = left + 112 + onWidth + 100;
  const int atWidth = static_cast<int>(TextSize(Tr(Txt::ScheduleAt)).cx);
  form.AddLabel(firstId + kAt, Tr(Txt::ScheduleAt), atLeft, row + 4, atWidth);
  dtpScheduleTime = form.AddControl(DATETIMEPICK_CLASSW, "", WS_TABSTOP | DTS_TIMEFORMAT | DTS_UPDOWN,
                                    firstId + kTime, atLeft + atWidth + 6, row, 70, 21);
  SendMessageW(dtpScheduleTime, DTM_SETFORMATW, 0, reinterpret_cast<LPARAM>(L"HH:mm"));
  lScheduleState = form.AddLabel(firstId + kState, "", left, row + 30, width - 24, 32);
  SetWindowPos(GroupBox3, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void ScheduleGroup::Load() {
  platform::RegisteredTask task;
  const platform::TaskResult read = scheduler_->Read(kScheduledTaskName, task);
  const std::string program = ScheduledProgramPath(system_->ExecutableDirectory());
  const ScheduleState state = InterpretTask(task, program);
  std::string text;
  if (!read.ok()) {
    shown_.reset();
    text = Format(Txt::ScheduleUnreadable, {TaskFailureText(read, Words())});
  } else {
    shown_ = state.schedule;
    const auto formatTime = [this](const platform::LocalTime& t) { return system_->FormatDateTime(t); };
    for (const std::string& note : StateNotes(state, formatTime, Words()))
      text += (text.empty() ? "" : " ") + note;
    if (state.exists && !state.scheduleKnown) text = Format(Txt::ScheduleUnknown, {text});
    if (!state.exists) text = Format(Txt::ScheduleNone, {kScheduledTaskName});
  }
  const RepairSchedule shown = shown_.value_or(RepairSchedule{});
  ComboBox_SetCurSel(cmbSchedule, shown_ ? static_cast<int>(shown.kind) : -1);
  ComboBox_SetCurSel(cmbScheduleDay, shown.day);
  SYSTEMTIME time{};
  GetLocalTime(&time);
  time.wHour = static_cast<WORD>(shown.hour);
  time.wMinute = static_cast<WORD>(shown.minute);
  time.wSecond = time.wMilliseconds = 0;
  DateTime_SetSystemtime(dtpScheduleTime, GDT_VALID, &time);
  SetWindowTextUtf8(lScheduleState, text);
  UpdateEnabled();
}

std::optional<RepairSchedule> ScheduleGroup::Chosen() const {
  const int kind = ComboBox_GetCurSel(cmbSchedule);
  if (kind < 0) return std::nullopt;
  RepairSchedule schedule;
  schedule.kind = static_cast<RepairSchedule::Kind>(kind);
  schedule.day = std::max(0, ComboBox_GetCurSel(cmbScheduleDay));
  SYSTEMTIME time{};
  if (DateTime_GetSystemtime(dtpScheduleTime, &time) == GDT_VALID) {
    schedule.hour = time.wHour;
    schedule.minute = time.wMinute;
  }
  return schedule;
}

std::string ScheduleGroup::Apply() {
  const std::optional<RepairSchedule> chosen = Chosen();
  if (!chosen || (shown_ && SameSchedule(*chosen, *shown_))) return {};
  const platform::TaskResult applied = ApplySchedule(
      *scheduler_, *chosen, ScheduledProgramPath(system_->ExecutableDirectory()), system_->Now());
  if (applied.ok()) return {};
  return Format(chosen->kind == RepairSchedule::Kind::Off ? Txt::ScheduleNotOff : Txt::ScheduleNotSet,
                {TaskFailureText(applied, Words())});
}

bool ScheduleGroup::OnCommand(int id, int notifyCode) {
  if (id != firstId_ + kSchedule) return false;
  if (notifyCode == CBN_SELCHANGE) UpdateEnabled();
  return true;
}

void ScheduleGroup::UpdateEnabled() {
  const int kind = ComboBox_GetCurSel(cmbSchedule);
  EnableWindow(cmbScheduleDay, kind == static_cast<int>(RepairSchedule::Kind::Weekly));
  EnableWindow(dtpScheduleTime, kind > static_cast<int>(RepairSchedule::Kind::Off));
}

}  // namespace tallowin::ui
