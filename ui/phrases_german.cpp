// The lower layers' sentences in German: the same entries as kEnglishPhrases
// (core/wording.cpp), with the same placeholders.

#include "ui/text_table.h"

namespace tallowin::ui {

extern const PhraseEntry kGermanPhrases[] = {
    {Phrase::ListAnd, " und "},
    {Phrase::ListComma, ", "},

    // Why a row is listed

    // The repair and its report
    {Phrase::RepairFolderQuestion,
     "%1: Der Sicherungsordner wurde nicht gefunden.\r\nSoll ein neuer Ordner erstellt werden?"},
    {Phrase::RepairCannotCreateFolder, "Der Ordner %1 kann nicht erstellt werden."},
    {Phrase::RepairListNotFiltered,
     "Diese Funde wurden nach dem Scan nicht gefiltert und k\xC3\xB6nnen daher "
     "Schl\xC3\xBCssel enthalten, die Windows ben\xC3\xB6tigt oder die Sie ausgeschlossen "
     "haben. Es wurde nichts ge\xC3\xA4ndert; bitte scannen Sie erneut."},
    {Phrase::RepairNoBackupFolder,
     "Es ist kein Sicherungsordner festgelegt: OutputDirectory in Settings.dat ist leer. Es "
     "wurde nichts ge\xC3\xA4ndert."},
    {Phrase::RepairFinished, "Fehlerbehebung beendet: %1 Fehler behoben!"},
    {Phrase::RepairFinishedNotAll, "Fehlerbehebung beendet: %1 Fehler behoben, %2 nicht entfernt"},
    {Phrase::RepairStoppedStatus,
     "Fehlerbehebung angehalten: %1 Fehler behoben, %2 nicht entfernt"},
    {Phrase::RepairLastClean, "%1, %2 Fehler behoben"},
    {Phrase::RepairLastCleanNotAll, "%1, %2 Fehler behoben, %3 nicht entfernt"},
    {Phrase::RepairStoppedBeforeDeleting,
     "%1; die Reparatur wurde beendet, bevor weitere Eintr\xC3\xA4ge gel\xC3\xB6scht wurden"},
    {Phrase::RepairNotReached, "nicht bearbeitet: die Reparatur wurde angehalten"},
    {Phrase::RepairNotProcessed, "nicht bearbeitet: die Reparatur wurde abgebrochen"},
    {Phrase::OutcomeDeleted, "gel\xC3\xB6scht"},
    {Phrase::OutcomeAlreadyGone, "bereits entfernt"},
    {Phrase::OutcomeChanged, "seit dem Scan ge\xC3\xA4ndert"},
    {Phrase::OutcomeRefused, "abgelehnt"},
    {Phrase::OutcomeFailed, "fehlgeschlagen"},
    {Phrase::ReasonNoSingleItem, "bezeichnet kein einzelnes Element der Registrierung: %1"},
    {Phrase::ReasonWildcards, "ein Dateiname mit Platzhaltern: %1"},
    {Phrase::ReasonFileUnreadable, "die Datei kann nicht gepr\xC3\xBC""ft werden (%1): %2"},
    {Phrase::ReasonFolder, "ein Ordner, keine Datei: %1"},
    {Phrase::ReasonWholeRoot, "bezeichnet einen ganzen Stammschl\xC3\xBCssel: %1"},
    {Phrase::ReasonNameNotCarriable, "ein Name, den keine Sicherungsdatei aufnehmen kann: %1"},
    {Phrase::ReasonOtherView,
     "bezeichnet seinen Schl\xC3\xBCssel in der anderen Registrierungsansicht als die "
     "Sicherungsdatei dieser Reparatur: %1"},
    {Phrase::ReasonCannotOpen, "kann nicht ge\xC3\xB6""ffnet werden: %1"},
    {Phrase::ReasonCannotRead, "kann nicht gelesen werden: %1"},
    {Phrase::ReasonNotAnsi,
     "enth\xC3\xA4lt Text, den die ANSI-Sicherungsdatei nicht aufnehmen kann (%1), und die "
     "Datei konnte nicht in eine Unicode-Datei umgewandelt werden: %2"},
    {Phrase::ReasonNotReadWhole, "konnte nicht vollst\xC3\xA4ndig gelesen werden: %1"},
    {Phrase::ReasonLinkKey,
     "enth\xC3\xA4lt die symbolische Verkn\xC3\xBCpfung %1, die eine Wiederherstellung nicht "
     "wieder anlegen k\xC3\xB6nnte"},
    {Phrase::ReasonTextNotCarriable,
     "ein Name oder Text, den keine Sicherungsdatei aufnehmen kann: %1"},
    {Phrase::ReasonTooLarge, "zu gro\xC3\x9F f\xC3\xBCr eine Sicherung: %1"},
    {Phrase::ReasonValueChanged,
     "seit dem Scan ge\xC3\xA4ndert: Typ oder Daten entsprechen nicht mehr dem Fund"},
    {Phrase::ReasonKeyWritten,
     "seit dem Scan ge\xC3\xA4ndert: in den Schl\xC3\xBCssel wurde nach dem Fund geschrieben"},
    {Phrase::ReasonNoRecycleBin,
     "der Papierkorb kann die Datei nicht aufnehmen, und sie wird nicht endg\xC3\xBCltig "
     "gel\xC3\xB6scht: %1"},
    {Phrase::ReasonRecycledStillThere, "in den Papierkorb verschoben, aber noch vorhanden: %1"},
    {Phrase::ReasonNotRecycled, "die Datei konnte nicht in den Papierkorb verschoben werden: %1"},
    {Phrase::ReasonRecycledUnknown,
     "in den Papierkorb verschoben; ob die Datei entfernt ist, l\xC3\xA4sst sich nicht "
     "feststellen (%1): %2"},
    {Phrase::ReasonNotRecycledUnknown,
     "nicht in den Papierkorb verschoben; ob die Datei entfernt ist, l\xC3\xA4sst sich nicht "
     "feststellen (%1): %2"},
    {Phrase::ReasonCannotOpenToDelete,
     "gesichert, aber der Schl\xC3\xBCssel kann zum L\xC3\xB6schen nicht ge\xC3\xB6""ffnet "
     "werden (Fehler %1): %2"},
    {Phrase::ReasonOtherKeyNamed,
     "bezeichnet einen anderen Schl\xC3\xBCssel als den gesicherten: %1"},
    {Phrase::ReasonChangedWhileRunning, "w\xC3\xA4hrend der Reparatur ge\xC3\xA4ndert: %1"},
    {Phrase::ReasonDeletionRefused,
     "gesichert, aber die Registrierung hat das L\xC3\xB6schen verweigert (Fehler %1): %2"},
    {Phrase::ReasonValueStillThere,
     "gel\xC3\xB6scht, aber ein Wert dieses Namens ist noch vorhanden: %1"},
    {Phrase::ReasonOtherKeyThere,
     "jetzt ist ein anderer Schl\xC3\xBCssel dieses Namens vorhanden: %1"},
    {Phrase::ReasonKeyStillThere,
     "gel\xC3\xB6scht, aber ein Schl\xC3\xBCssel dieses Namens ist noch vorhanden: %1"},
    {Phrase::ReasonLinkAppeared, "bei %1 ist eine symbolische Verkn\xC3\xBCpfung entstanden"},
    {Phrase::BackupCannotCreateFile,
     "die Sicherungsdatei %1 kann nicht erstellt werden (Fehler %2)"},
    {Phrase::BackupCannotWriteFile, "die Sicherungsdatei %1 kann nicht geschrieben werden"},
    {Phrase::BackupNamesTaken,
     "alle Namen f\xC3\xBCr Sicherungsdateien dieser Sekunde sind vergeben: %1"},
    {Phrase::BackupNotInCodePage, "der Sicherungstext passt nicht zur Codepage der Datei"},
    {Phrase::BackupNotReopened,
     "die Sicherungsdatei %1 konnte nicht erneut ge\xC3\xB6""ffnet werden"},
    {Phrase::BackupWriteCut,
     "die Sicherungsdatei %1 kann nicht geschrieben werden (die Datei endet mit ihrem letzten "
     "vollst\xC3\xA4ndigen Eintrag)"},
    {Phrase::BackupWriteNotCut,
     "die Sicherungsdatei %1 kann nicht geschrieben werden (und sie konnte nicht auf ihren "
     "letzten vollst\xC3\xA4ndigen Eintrag gek\xC3\xBCrzt werden)"},
    {Phrase::BackupCannotReadBack,
     "die Sicherungsdatei %1 kann nicht zur\xC3\xBC""ckgelesen werden"},
    {Phrase::BackupChanged, "die Sicherungsdatei %1 wurde ver\xC3\xA4ndert"},
    {Phrase::BackupCannotCreate, "%1 kann nicht erstellt werden"},
    {Phrase::BackupCannotWrite, "%1 kann nicht geschrieben werden"},
    {Phrase::BackupCannotReplace, "die Sicherungsdatei %1 kann nicht ersetzt werden"},
    {Phrase::BackupCannotReopen,
     "die Sicherungsdatei %1 kann nicht erneut ge\xC3\xB6""ffnet werden"},
    {Phrase::NotRemovedOne,
     "%1 der ausgew\xC3\xA4hlten Funde konnte nicht entfernt werden; er bleibt "
     "ausgew\xC3\xA4hlt in der Liste."},
    {Phrase::NotRemovedMany,
     "%1 der ausgew\xC3\xA4hlten Funde konnten nicht entfernt werden; sie bleiben "
     "ausgew\xC3\xA4hlt in der Liste."},
    {Phrase::NotRemovedMore, "und %1 weitere."},

    // The restore

    // The run log, the scheduled task, the settings file

};
extern const size_t kGermanPhraseCount = sizeof(kGermanPhrases) / sizeof(kGermanPhrases[0]);

}  // namespace tallowin::ui
