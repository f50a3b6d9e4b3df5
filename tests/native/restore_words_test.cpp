// The restore's, the run log's and the scheduled task's sentences in the wording they are
// given: German for the German windows, and the English the command line prints.

#include <gtest/gtest.h>

#include "core/fix_report.h"
#include "core/run_log.h"
#include "core/schedule.h"
#include "platform/memory/memory_platform.h"
#include "repair/restore.h"
#include "ui/text_table.h"

namespace tallowin {
namespace {

TEST(RestoreAndScheduleWords, SentencesComeOutInTheWordingGiven) {
  const Wording german(ui::kGermanPhrases, ui::kGermanPhraseCount);
  platform::memory::MemoryMachine m;
  m.files.AddFile("C:\\Backup\\empty.reg", "REGEDIT4\r\n\r\n");
  platform::Platform p = m.platform();
  CommandHint hint;
  const auto restore = [&](const std::string& path, const Wording& words) {
    return RestoreBackupFile(p, path, "C:\\Backup", hint, words).message;
  };

  RunRecord stopped;
  stopped.ended = "2026-12-09T03:01:10";
  stopped.removed = 4;
  stopped.exitStatus = kRepairOnceScanStopped;
  const std::string when = m.system.FormatDateTime({2026, 12, 9, 3, 1, 10});

  ScheduleState state;
  state.exists = true;
  state.enabled = false;
  state.actionKnown = true;
  state.actions = {{false, "", ""}};
  platform::TaskResult notRead;
  notRead.step = platform::TaskStep::NotRead;
  notRead.reason = "Access is denied. (0x80070005)";
  const auto notes = [&](const Wording& words) {
    std::string text;
    for (const std::string& note : StateNotes(state, {}, words)) text += note + "|";
    return text;
  };

  const struct {
    std::string got;
    std::string expected;
  } cases[] = {
      {restore("C:\\Backup\\empty.reg", german),
       "Die Datei C:\\Backup\\empty.reg enth\xC3\xA4lt keinen Registrierungsschl\xC3\xBCssel; sie wurde "
       "nicht importiert und bleibt erhalten."},
      {restore("C:\\Backup\\gone.reg", german), "Die Sicherungsdatei C:\\Backup\\gone.reg kann nicht gelesen werden."},
      {restore("C:\\Backup\\gone.reg", English()), "Cannot read the backup file C:\\Backup\\gone.reg."},
      {LastRunStatusText(stopped, m.system, german),
       "Letzte automatische Reparatur: " + when +
           ", 4 entfernt, 0 nicht entfernt (Scan abgebrochen: nichts repariert)"},
      {LastRunStatusText(stopped, m.system),
       "Last automatic repair: " + when + ", 4 removed, 0 not removed (the scan was stopped: nothing was repaired)"},
      {notes(german),
       "Die Aufgabe ist in der Aufgabenplanung deaktiviert.|Die Aufgabe startet ein anderes Programm: (kein "
       "Programm) (sie wird ersetzt, wenn Sie den Zeitplan \xC3\xA4ndern).|"},
      {notes(English()),
       "The task is disabled in Task Scheduler.|The task starts another program: (not a program) (it is "
       "replaced when the schedule is changed).|"},
      {TaskFailureText(notRead, german),
       "die Aufgabe \"Tallowin scheduled repair\" kann nicht gelesen werden: Access is denied. (0x80070005)"},
      {TaskFailureText(notRead),
       "the task \"Tallowin scheduled repair\" cannot be read: Access is denied. (0x80070005)"},
      {TaskFailureText(platform::TaskResult{}), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected);
}

}  // namespace
}  // namespace tallowin
