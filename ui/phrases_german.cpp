// The lower layers' sentences in German: the same entries as kEnglishPhrases
// (platform/wording.cpp), with the same placeholders.

#include "ui/text_table.h"

namespace tallowin::ui {

extern const PhraseEntry kGermanPhrases[] = {
    {Phrase::ListAnd, " und "},
    {Phrase::ListComma, ", "},

    // Why a row is listed

    // The repair and its report

    // The restore
    {Phrase::RestoreCannotRead, "Die Sicherungsdatei %1 kann nicht gelesen werden."},
    {Phrase::RestoreNoKey,
     "Die Datei %1 enth\xC3\xA4lt keinen Registrierungsschl\xC3\xBCssel; sie wurde nicht importiert "
     "und bleibt erhalten."},
    {Phrase::RestoreCutShort,
     "Die Sicherungsdatei %1 ist unvollst\xC3\xA4ndig: ihre letzte Zeile ist nicht \"%2\"; sie wurde "
     "nicht importiert und bleibt erhalten."},
    {Phrase::RestoreNotCheckable,
     "Die Datei %1 ist keine Registrierungssicherung, die sich pr\xC3\xBC""fen l\xC3\xA4sst (%2); sie "
     "wurde nicht importiert und bleibt erhalten."},
    {Phrase::RestoreNotReadToEnd,
     "Die Sicherungsdatei %1 konnte nicht bis zum Ende gelesen werden (%2); sie wurde nicht "
     "importiert und bleibt erhalten."},
    {Phrase::RestoreDeletes,
     "Die Datei %1 l\xC3\xB6scht Eintr\xC3\xA4ge der Registrierung (%2); sie ist keine Sicherung und "
     "wurde nicht importiert."},
    {Phrase::RestoreNoMemory,
     "Der Arbeitsspeicher reicht nicht aus, um die Sicherungsdatei %1 zu pr\xC3\xBC""fen; sie wurde "
     "nicht importiert und bleibt erhalten."},
    {Phrase::RestoreRegeditMissing, "Bitte pr\xC3\xBC""fen Sie, ob Regedit.exe vorhanden ist."},
    {Phrase::RestoreRegeditElevation,
     "Regedit.exe ben\xC3\xB6tigt Administratorrechte (erh\xC3\xB6hte Rechte erforderlich): Starten "
     "Sie dieses Programm als Administrator, um wiederherzustellen."},
    {Phrase::RestoreNotAllBack,
     "Die Sicherung wurde importiert, aber %1; die Datei %2 bleibt erhalten."},
    {Phrase::RestoreNoMemoryAfter,
     "Die Sicherung wurde importiert, aber der Arbeitsspeicher reichte nicht aus, um sie zu "
     "pr\xC3\xBC""fen; die Datei %1 bleibt erhalten."},
    {Phrase::RestoreItemMissing, "%1 fehlt"},
    {Phrase::RestoreValueChanged, "%1 enth\xC3\xA4lt andere Daten"},
    {Phrase::RestoreNotReread, "die Datei konnte zur Pr\xC3\xBC""fung nicht erneut gelesen werden"},
    {Phrase::RestoreNotRereadWhy,
     "die Datei konnte zur Pr\xC3\xBC""fung nicht erneut gelesen werden (%1)"},
    {Phrase::RestoredNotDeleted,
     "Die Sicherung wurde wiederhergestellt, aber ihre Datei %1 konnte nicht gel\xC3\xB6scht werden: %2"},
    {Phrase::BackupNotDeleted, "Die Sicherungsdatei %1 konnte nicht gel\xC3\xB6scht werden: %2"},
    {Phrase::DeleteUnsure, "ob sie entfernt wurde, l\xC3\xA4sst sich nicht feststellen (%1)"},
    {Phrase::DeleteStillThere, "sie wurde als gel\xC3\xB6scht gemeldet, ist aber noch vorhanden"},

    // The run log, the scheduled task, the settings file
    {Phrase::LastRun, "Letzte automatische Reparatur: %1, %2 entfernt, %3 nicht entfernt"},
    {Phrase::LastRunMeaning, "Letzte automatische Reparatur: %1, %2 entfernt, %3 nicht entfernt (%4)"},
    {Phrase::RunAllRemoved, "alle Funde wurden entfernt, oder es gab keine"},
    {Phrase::RunNotRepaired, "die Reparatur lief nicht oder brach mit einem Fehler ab"},
    {Phrase::RunNotAllRemoved, "einige Funde konnten nicht entfernt werden"},
    {Phrase::RunScanStopped, "der Scan wurde abgebrochen: nichts wurde repariert"},
    {Phrase::RunScanFailed, "die Funde konnten nicht gefiltert werden: nichts wurde repariert"},
    {Phrase::RunAlreadyRunning, "Tallowin lief bereits: nichts wurde getan"},
    {Phrase::RunExitStatus, "Exitcode %1"},
    {Phrase::TaskDisabled, "Die Aufgabe ist in der Aufgabenplanung deaktiviert."},
    {Phrase::TaskOtherSchedule,
     "Die Aufgabe l\xC3\xA4uft nach einem Zeitplan, der in der Aufgabenplanung festgelegt wurde."},
    {Phrase::TaskNextRun, "N\xC3\xA4""chste Ausf\xC3\xBChrung: %1"},
    {Phrase::TaskOtherProgram,
     "Die Aufgabe startet ein anderes Programm: %1 (die Aufgabe wird ersetzt, wenn Sie den Zeitplan "
     "\xC3\xA4ndern)."},
    {Phrase::TaskNotAProgram, "(kein Programm)"},
    {Phrase::TaskNoScheduler, "die Aufgabenplanung ist nicht verf\xC3\xBC""gbar: %1"},
    {Phrase::TaskNoService, "der Aufgabenplanungsdienst ist nicht erreichbar: %1"},
    {Phrase::TaskNoFolder, "der Aufgabenordner der Aufgabenplanung kann nicht ge\xC3\xB6""ffnet werden: %1"},
    {Phrase::TaskNotRead, "die Aufgabe \"%1\" kann nicht gelesen werden: %2"},
    {Phrase::TaskNoDefinition, "die Aufgabenplanung kann keine Aufgabendefinition erstellen: %1"},
    {Phrase::TaskDefinitionRefused, "die Aufgabenplanung hat die Aufgabendefinition abgelehnt: %1"},
    {Phrase::TaskNotRegistered, "die Aufgabenplanung hat das Registrieren der Aufgabe abgelehnt: %1"},
    {Phrase::TaskNotRemoved, "die Aufgabenplanung hat das Entfernen der Aufgabe abgelehnt: %1"},
    {Phrase::TaskDefinitionUnreported,
     "die Aufgabenplanung kann die Definition der Aufgabe nicht angeben: %1"},
    {Phrase::TaskScheduleUnreported, "die Aufgabenplanung kann den Zeitplan der Aufgabe nicht angeben: %1"},
    {Phrase::TaskActionUnreported, "die Aufgabenplanung kann die Aktion der Aufgabe nicht angeben: %1"},
    {Phrase::SettingsNotWritten, "In die Datei %1 kann nicht geschrieben werden."},

};
extern const size_t kGermanPhraseCount = sizeof(kGermanPhrases) / sizeof(kGermanPhrases[0]);

}  // namespace tallowin::ui
