// The lower layers' sentences in German: the same entries as kEnglishPhrases
// (platform/wording.cpp), with the same placeholders.

#include "ui/text_table.h"

namespace tallowin::ui {

extern const PhraseEntry kGermanPhrases[] = {
    {Phrase::ListAnd, " und "},
    {Phrase::ListComma, ", "},

    // Why a row is listed
    {Phrase::WhyNotBroken, "Kein Fehler: %1."},
    {Phrase::WhyNoLongerBroken, "Kein Fehler mehr: %1."},
    {Phrase::WhyGeneral,
     "Vom Scan als \"%1\" aufgef\xC3\xBChrt; mehr l\xC3\xA4sst sich jetzt nicht dazu sagen."},
    {Phrase::WhyStillWorking,
     "Der Grund f\xC3\xBCr diesen Eintrag wird noch ermittelt: Ein Laufwerk antwortet langsam. "
     "Versuchen Sie es gleich noch einmal."},
    // A file reference
    {Phrase::WhyExpandsTo, "%1 steht f\xC3\xBCr %2. "},
    {Phrase::WhyOnEmptyFloppy,
     "%1 liegt auf Laufwerk %2, das keinen lesbaren Datentr\xC3\xA4ger enth\xC3\xA4lt."},
    {Phrase::WhyArgumentsCut,
     "Die Befehlszeile nennt %1 (Argumente ab %2 abgetrennt); diese Datei ist nicht vorhanden."},
    {Phrase::WhyCutAtSpace, "dem Leerzeichen"},
    {Phrase::WhyCutAtComma, "dem Komma"},
    {Phrase::WhyCutAtSlash, "dem Schr\xC3\xA4gstrich"},
    {Phrase::WhyCutAtColon, "dem Doppelpunkt"},
    {Phrase::WhyCutAtSemicolon, "dem Semikolon"},
    {Phrase::WhyCutAtOther, "\"%1\""},
    {Phrase::WhyFolderMissing, "Der Ordner %1 ist nicht vorhanden."},
    {Phrase::WhyPathFolderMissing, "%1: Der Ordner %2 ist nicht vorhanden."},
    {Phrase::WhyFolderNotFile, "%1 ist ein Ordner, keine Datei."},
    {Phrase::WhyFolderNotProgram,
     "%1 ist ein Ordner, keine Datei, und auch mit angeh\xC3\xA4ngtem .exe, .com oder .bat ist "
     "keine Datei vorhanden."},
    {Phrase::WhyFileMissing, "%1 ist nicht vorhanden."},
    {Phrase::WhyProgramMissing,
     "%1 ist nicht vorhanden, auch nicht mit angeh\xC3\xA4ngtem .exe, .com oder .bat."},
    {Phrase::WhyFoundNothing, "Der Dateitest findet nichts von dem, was %1 nennt."},
    {Phrase::WhyNeitherExists, "Gesucht wurde nach %1: Beide sind nicht vorhanden."},
    {Phrase::WhyNoneExists, "Gesucht wurde nach %1: Nichts davon ist vorhanden."},
    {Phrase::WhyExists, "%1 ist vorhanden"},
    {Phrase::WhyExistsNow, "%1 ist jetzt vorhanden"},
    {Phrase::WhyTestFinds, "Der Dateitest findet, was %1 nennt"},
    // A text the file test does not judge
    {Phrase::WhyTextEmpty, "Der Text ist leer"},
    {Phrase::WhyTextHoldsQuestionMark, "Der Text enth\xC3\xA4lt ein \"?\""},
    {Phrase::WhyTextHoldsHp, "Der Text enth\xC3\xA4lt \"\\hp\""},
    {Phrase::WhyRedirected,
     "F\xC3\xBCr ein 32-Bit-Programm werden System32 und die Programmordner umgeleitet, daher "
     "werden sie nicht gepr\xC3\xBC""ft"},
    {Phrase::WhyVariableNamesNoFolder,
     "Die Variable darin steht f\xC3\xBCr keinen vorhandenen Ordner"},
    {Phrase::WhyNoDriveLetter,
     "Der Text beginnt nicht mit Laufwerkbuchstabe, Doppelpunkt und umgekehrtem "
     "Schr\xC3\xA4gstrich"},
    {Phrase::WhyDriveNotTested, "Laufwerk %1 wird vom Scan nicht gepr\xC3\xBC""ft"},
    {Phrase::WhySecondDrive, "Der Text nennt ein zweites Laufwerk"},
    // The steps of the rules
    {Phrase::WhyKeyGone, "Der Schl\xC3\xBCssel %1 ist nicht mehr vorhanden"},
    {Phrase::WhyValueGone, "Der Wert ist nicht mehr vorhanden"},
    {Phrase::WhyProgIdNoClass,
     "Die ProgID %1 hat einen Schl\xC3\xBCssel CLSID, der keine Klasse nennt."},
    {Phrase::WhyProgIdUnlinked, "Die ProgID nennt keine Klasse mehr"},
    {Phrase::WhyClassUnlinked, "Die Klasse nennt keine AppID mehr"},
    {Phrase::WhyInterfaceUnlinked, "Die Schnittstelle nennt keine Typbibliothek mehr"},
    {Phrase::WhyClassRegistered, "Die Klasse %1 ist jetzt registriert"},
    {Phrase::WhyAppIdRegistered, "Die AppID %1 ist jetzt registriert"},
    {Phrase::WhyTypeLibRegistered, "Die Typbibliothek %1 ist jetzt registriert"},
    {Phrase::WhyProgIdClassMissing,
     "Die ProgID %1 nennt die Klasse %2, f\xC3\xBCr die es unter HKEY_CLASSES_ROOT\\CLSID keinen "
     "Schl\xC3\xBCssel gibt."},
    {Phrase::WhyClassAppIdMissing,
     "Die Klasse %1 nennt die AppID %2, f\xC3\xBCr die es unter HKEY_CLASSES_ROOT\\AppID keinen "
     "Schl\xC3\xBCssel gibt."},
    {Phrase::WhyInterfaceTypeLibMissing,
     "Die Schnittstelle %1 nennt die Typbibliothek %2, f\xC3\xBCr die es unter "
     "HKEY_CLASSES_ROOT\\TypeLib keinen Schl\xC3\xBCssel gibt."},
    {Phrase::WhyCommandKeyEmpty,
     "Der Befehlsschl\xC3\xBCssel %1 enth\xC3\xA4lt keinen Befehl und \xC3\xB6""ffnet nichts."},
    {Phrase::WhyStartupEmpty, "Die Befehlszeile von %1 ist leer und startet nichts."},
    {Phrase::WhyStartupQuotesOnly, "Die Befehlszeile %1 von %2 ist leer und startet nichts."},
    {Phrase::WhyEmptyDefaultOnly,
     "%1 enth\xC3\xA4lt nur einen leeren Standardwert und nennt keinen Dateityp."},
    {Phrase::WhyHoldsValuesNow, "%1 enth\xC3\xA4lt jetzt Werte"},
    {Phrase::WhyNoValuesNoSubKeys, "%1 enth\xC3\xA4lt weder Werte noch Unterschl\xC3\xBCssel"},
    {Phrase::WhyNoValuesSubKeyEmpty,
     "%1 enth\xC3\xA4lt keine Werte, und auch sein Unterschl\xC3\xBCssel enth\xC3\xA4lt keine"},
    {Phrase::WhyNoValuesSubKeysEmpty,
     "%1 enth\xC3\xA4lt keine Werte, und auch seine %2 Unterschl\xC3\xBCssel enthalten keine"},
    {Phrase::WhyEmptyKey, "%1."},
    {Phrase::WhyEmptySoftwareKey,
     "%1: Ein leerer Programmschl\xC3\xBCssel direkt unter Software ist ein \xC3\x9C""berbleibsel "
     "von Software, die nicht mehr vorhanden ist."},
    {Phrase::WhyEmptyExtension,
     "%1: Windows erf\xC3\xA4hrt daraus nichts \xC3\xBC""ber den Dateityp."},
    {Phrase::WhyUninstallEntryGone, "Der Eintrag %1 ist nicht mehr vorhanden"},
    {Phrase::WhyUninstallHasValue, "Der Eintrag hat jetzt einen Wert %1"},
    {Phrase::WhyUninstallNoCommand,
     "Der Deinstallationseintrag %1 hat keinen Wert UninstallString und ist keine "
     "Systemkomponente: \"Programme und Funktionen\" kann das Programm nicht entfernen."},
    {Phrase::WhyInstallerFolderGone, "Der Installer f\xC3\xBChrt den Ordner nicht mehr auf"},
    {Phrase::WhyInstallerFolder, "Die Ordnerliste des Installers nennt %1. %2"},
    {Phrase::WhyCacheEntryGone, "Der Cacheeintrag ist nicht mehr vorhanden"},
    {Phrase::WhyCacheProgramListed, "Das Programm %1 hat jetzt einen Deinstallationseintrag"},
    {Phrase::WhyCacheNoProgram,
     "Zum Cacheeintrag %1 von \"Programme und Funktionen\" gibt es unter HKEY_LOCAL_MACHINE\\%2 "
     "kein Programm dieses Namens."},
    {Phrase::WhyHistoryEntryGone, "Der Eintrag ist nicht mehr im Verlauf des Dialogs"},
    {Phrase::WhyHistoryNoExtensions,
     "Der Verlauf des Dateidialogs nennt %1 und f\xC3\xBChrt keine Erweiterung auf, nach der "
     "gesucht werden kann."},
    {Phrase::WhyHistoryNoFile,
     "Der Verlauf des Dateidialogs nennt %1 ohne Erweiterung; es ist keine Datei %1 vorhanden "
     "(gesucht mit %2)."},
    {Phrase::WhyHistoryNoFileOfMore,
     "Der Verlauf des Dateidialogs nennt %1 ohne Erweiterung; es ist keine Datei %1 vorhanden "
     "(gesucht mit %2 sowie den \xC3\xBC""brigen dort aufgef\xC3\xBChrten Erweiterungen)."},
    {Phrase::WhyUsageCounterGone, "Der Nutzungsz\xC3\xA4hler ist nicht mehr vorhanden"},
    {Phrase::WhyNeverRan, "Laut Nutzungsz\xC3\xA4hler wurde %1 nie ausgef\xC3\xBChrt."},
    {Phrase::WhyUsageNamesNothing,
     "Der Nutzungsz\xC3\xA4hler von %1 nennt nichts, wonach der Scan jetzt suchen kann."},
    {Phrase::WhyUnreferenced,
     "Der Verweisz\xC3\xA4hler von %1 ist 0: Kein Programm gibt an, die Datei zu verwenden."},
    {Phrase::WhyFontInFolder, "Der Schriftartenordner enth\xC3\xA4lt %1"},
    {Phrase::WhyStartMenuKeyGone, "Der Schl\xC3\xBCssel ist nicht mehr vorhanden"},
    {Phrase::WhyStartMenuNoFolder,
     "In den Programme-Ordnern des Startmen\xC3\xBCs (%2) gibt es keinen Ordner %1: Die "
     "daf\xC3\xBCr gespeicherte Men\xC3\xBCreihenfolge ist verwaist."},
    {Phrase::WhyShortcutGone, "Die Verkn\xC3\xBCpfung ist nicht mehr vorhanden"},
    {Phrase::WhyShortcutToFolder,
     "Das Ziel der Verkn\xC3\xBCpfung, %1, ist ein vorhandener Ordner"},

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

    // Reading a registry file

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
