#include "platform/wording.h"

namespace tallowin {

extern const PhraseEntry kEnglishPhrases[] = {
    {Phrase::ListAnd, " and "},
    {Phrase::ListComma, ", "},

    // Why a row is listed

    // The repair and its report

    // The restore
    {Phrase::RestoreCannotRead, "Cannot read the backup file %1."},
    {Phrase::RestoreNoKey, "The file %1 holds no registry key; it was not imported and is kept."},
    {Phrase::RestoreCutShort,
     "The backup file %1 is cut short: its last line is not \"%2\"; it was not imported and is kept."},
    {Phrase::RestoreNotCheckable,
     "The file %1 is not a registry backup that can be checked (%2); it was not imported and is kept."},
    {Phrase::RestoreNotReadToEnd,
     "The backup file %1 could not be read to its end (%2); it was not imported and is kept."},
    {Phrase::RestoreDeletes,
     "The file %1 deletes registry entries (%2); it is not a backup and was not imported."},
    {Phrase::RestoreNoMemory,
     "There is not enough memory to check the backup file %1; it was not imported and is kept."},
    {Phrase::RestoreRegeditMissing, "Please check if Regedit.exe exists."},
    {Phrase::RestoreRegeditElevation,
     "Regedit.exe needs administrator rights (elevation required): run this program as "
     "administrator to restore."},
    {Phrase::RestoreNotAllBack, "The backup was imported, but %1; the file %2 is kept."},
    {Phrase::RestoreNoMemoryAfter,
     "The backup was imported, but there was not enough memory to check it; the file %1 is kept."},
    {Phrase::RestoreItemMissing, "%1 is missing"},
    {Phrase::RestoreValueChanged, "%1 has other data"},
    {Phrase::RestoreNotReread, "the file could not be read again to check it"},
    {Phrase::RestoreNotRereadWhy, "the file could not be read again to check it (%1)"},
    {Phrase::RestoredNotDeleted, "The backup was restored, but its file %1 could not be deleted: %2"},
    {Phrase::BackupNotDeleted, "The backup file %1 could not be deleted: %2"},
    {Phrase::DeleteUnsure, "whether it is gone cannot be told (%1)"},
    {Phrase::DeleteStillThere, "it was reported deleted, but it is still there"},

    // The run log, the scheduled task, the settings file
    {Phrase::LastRun, "Last automatic repair: %1, %2 removed, %3 not removed"},
    {Phrase::LastRunMeaning, "Last automatic repair: %1, %2 removed, %3 not removed (%4)"},
    {Phrase::RunAllRemoved, "every finding was removed, or there was none"},
    {Phrase::RunNotRepaired, "the repair did not run or stopped on an error"},
    {Phrase::RunNotAllRemoved, "some findings could not be removed"},
    {Phrase::RunScanStopped, "the scan was stopped: nothing was repaired"},
    {Phrase::RunScanFailed, "the findings could not be filtered: nothing was repaired"},
    {Phrase::RunAlreadyRunning, "Tallowin was already running: nothing was done"},
    {Phrase::RunExitStatus, "exit status %1"},
    {Phrase::TaskDisabled, "The task is disabled in Task Scheduler."},
    {Phrase::TaskOtherSchedule, "The task runs on a schedule set in Task Scheduler."},
    {Phrase::TaskNextRun, "Next run: %1"},
    {Phrase::TaskOtherProgram,
     "The task starts another program: %1 (it is replaced when the schedule is changed)."},
    {Phrase::TaskNotAProgram, "(not a program)"},
    {Phrase::TaskNoScheduler, "the Task Scheduler is not available: %1"},
    {Phrase::TaskNoService, "the Task Scheduler service cannot be reached: %1"},
    {Phrase::TaskNoFolder, "the Task Scheduler's task folder cannot be opened: %1"},
    {Phrase::TaskNotRead, "the task \"%1\" cannot be read: %2"},
    {Phrase::TaskNoDefinition, "the Task Scheduler cannot make a task definition: %1"},
    {Phrase::TaskDefinitionRefused, "the Task Scheduler refused the task definition: %1"},
    {Phrase::TaskNotRegistered, "the Task Scheduler refused to register the task: %1"},
    {Phrase::TaskNotRemoved, "the Task Scheduler refused to remove the task: %1"},
    {Phrase::TaskDefinitionUnreported, "the Task Scheduler cannot report the task's definition: %1"},
    {Phrase::TaskScheduleUnreported, "the Task Scheduler cannot report the task's schedule: %1"},
    {Phrase::TaskActionUnreported, "the Task Scheduler cannot report the task's action: %1"},
    {Phrase::SettingsNotWritten, "Unable to write to %1"},

};
extern const size_t kEnglishPhraseCount = sizeof(kEnglishPhrases) / sizeof(kEnglishPhrases[0]);

std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string out;
  out.reserve(pattern.size() + 32);
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      const auto index = static_cast<size_t>(pattern[i + 1] - '1');
      if (index < values.size()) out += values.begin()[index];
      ++i;
      continue;
    }
    out += c;
  }
  return out;
}

Wording::Wording(const PhraseEntry* entries, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const auto index = static_cast<size_t>(entries[i].id);
    if (index < texts_.size()) texts_[index] = entries[i].text;
  }
  if (entries == kEnglishPhrases) return;
  const Wording& english = English();
  for (size_t i = 0; i < texts_.size(); ++i)
    if (texts_[i].empty()) texts_[i] = english.texts_[i];
}

std::string Wording::Listed(const std::vector<std::string>& items) const {
  std::string text;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += (*this)[i + 1 == items.size() ? Phrase::ListAnd : Phrase::ListComma];
    text += items[i];
  }
  return text;
}

const Wording& English() {
  static const Wording english(kEnglishPhrases, kEnglishPhraseCount);
  return english;
}

}  // namespace tallowin
