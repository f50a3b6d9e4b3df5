#include "platform/wording.h"

namespace tallowin {

extern const PhraseEntry kEnglishPhrases[] = {
    {Phrase::ListAnd, " and "},
    {Phrase::ListComma, ", "},

    // Why a row is listed
    {Phrase::WhyNotBroken, "Not broken: %1."},
    {Phrase::WhyNoLongerBroken, "No longer broken: %1."},
    {Phrase::WhyGeneral, "Listed by the scan as \"%1\"; no more can be told of it now."},
    {Phrase::WhyStillWorking,
     "Still working out why this row is listed: a drive is slow to answer. Ask again in a moment."},
    // A file reference
    {Phrase::WhyExpandsTo, "%1 expands to %2. "},
    {Phrase::WhyOnEmptyFloppy, "%1 is on drive %2, which holds no readable disk."},
    {Phrase::WhyArgumentsCut,
     "The command line names %1 (arguments cut at %2); it does not exist."},
    {Phrase::WhyCutAtSpace, "the space"},
    {Phrase::WhyCutAtComma, "the comma"},
    {Phrase::WhyCutAtSlash, "the slash"},
    {Phrase::WhyCutAtColon, "the colon"},
    {Phrase::WhyCutAtSemicolon, "the semicolon"},
    {Phrase::WhyCutAtOther, "\"%1\""},
    {Phrase::WhyFolderMissing, "The folder %1 does not exist."},
    {Phrase::WhyPathFolderMissing, "%1: the folder %2 does not exist."},
    {Phrase::WhyFolderNotFile, "%1 is a folder, not a file."},
    {Phrase::WhyFolderNotProgram,
     "%1 is a folder, not a file, and no file with .exe, .com or .bat added exists."},
    {Phrase::WhyFileMissing, "%1 does not exist."},
    {Phrase::WhyProgramMissing, "%1 does not exist, nor with .exe, .com or .bat added."},
    {Phrase::WhyFoundNothing, "The file test finds nothing that %1 names."},
    {Phrase::WhyNeitherExists, "Looked for %1: neither exists."},
    {Phrase::WhyNoneExists, "Looked for %1: none of them exists."},
    {Phrase::WhyExists, "%1 exists"},
    {Phrase::WhyExistsNow, "%1 exists now"},
    {Phrase::WhyTestFinds, "the file test finds what %1 names"},
    // A text the file test does not judge
    {Phrase::WhyTextEmpty, "the text is empty"},
    {Phrase::WhyTextHoldsQuestionMark, "the text holds a \"?\""},
    {Phrase::WhyTextHoldsHp, "the text holds \"\\hp\""},
    {Phrase::WhyRedirected,
     "a 32-bit program sees System32 and the program folders redirected, so they are not judged"},
    {Phrase::WhyVariableNamesNoFolder, "its variable names no existing folder"},
    {Phrase::WhyNoDriveLetter, "it does not start with a drive letter, a colon and a backslash"},
    {Phrase::WhyDriveNotTested, "drive %1 is not one the scan tests"},
    {Phrase::WhySecondDrive, "it names a second drive"},
    // The steps of the rules
    {Phrase::WhyKeyGone, "the key %1 is gone"},
    {Phrase::WhyValueGone, "the value is no longer there"},
    {Phrase::WhyProgIdNoClass, "The ProgID %1 has a CLSID key that names no class."},
    {Phrase::WhyProgIdUnlinked, "it names no class any more"},
    {Phrase::WhyClassUnlinked, "the class names no AppID any more"},
    {Phrase::WhyInterfaceUnlinked, "it names no type library any more"},
    {Phrase::WhyClassRegistered, "the class %1 is registered now"},
    {Phrase::WhyAppIdRegistered, "the AppID %1 is registered now"},
    {Phrase::WhyTypeLibRegistered, "the type library %1 is registered now"},
    {Phrase::WhyProgIdClassMissing,
     "The ProgID %1 names the class %2, which has no key under HKEY_CLASSES_ROOT\\CLSID."},
    {Phrase::WhyClassAppIdMissing,
     "The class %1 names the AppID %2, which has no key under HKEY_CLASSES_ROOT\\AppID."},
    {Phrase::WhyInterfaceTypeLibMissing,
     "The interface %1 names the type library %2, which has no key under "
     "HKEY_CLASSES_ROOT\\TypeLib."},
    {Phrase::WhyCommandKeyEmpty, "The command key %1 holds no command: it opens nothing."},
    {Phrase::WhyStartupEmpty, "The command line of %1 is empty: it starts nothing."},
    {Phrase::WhyStartupQuotesOnly, "The command line %1 of %2 is empty: it starts nothing."},
    {Phrase::WhyEmptyDefaultOnly, "%1 holds only an empty default value: it names no file type."},
    {Phrase::WhyHoldsValuesNow, "%1 holds values now"},
    {Phrase::WhyNoValuesNoSubKeys, "%1 has no values and no sub-keys"},
    {Phrase::WhyNoValuesSubKeyEmpty, "%1 has no values, and its sub-key holds none either"},
    {Phrase::WhyNoValuesSubKeysEmpty, "%1 has no values, and its %2 sub-keys hold none either"},
    {Phrase::WhyEmptyKey, "%1."},
    {Phrase::WhyEmptySoftwareKey,
     "%1: a program's key right below Software with nothing in it is left over from software that "
     "is gone."},
    {Phrase::WhyEmptyExtension, "%1: it tells Windows nothing about the file type."},
    {Phrase::WhyUninstallEntryGone, "the entry %1 is gone"},
    {Phrase::WhyUninstallHasValue, "the entry has its %1 value now"},
    {Phrase::WhyUninstallNoCommand,
     "The uninstall entry %1 has no UninstallString value and is not a system component: "
     "Add/Remove Programs cannot remove the program."},
    {Phrase::WhyInstallerFolderGone, "the installer no longer lists the folder"},
    {Phrase::WhyInstallerFolder, "The installer's folder list names %1. %2"},
    {Phrase::WhyCacheEntryGone, "the cache entry is gone"},
    {Phrase::WhyCacheProgramListed, "the program %1 has an uninstall entry now"},
    {Phrase::WhyCacheNoProgram,
     "The Add/Remove Programs cache entry %1 has no program of that name under "
     "HKEY_LOCAL_MACHINE\\%2."},
    {Phrase::WhyHistoryEntryGone, "the entry is gone from the dialog's history"},
    {Phrase::WhyHistoryNoExtensions,
     "The file dialog's history names %1, and it lists no extension to look for."},
    {Phrase::WhyHistoryNoFile,
     "The file dialog's history names %1 without its extension; no file %1 with %2 exists."},
    {Phrase::WhyHistoryNoFileOfMore,
     "The file dialog's history names %1 without its extension; no file %1 with %2 or the others "
     "it lists exists."},
    {Phrase::WhyUsageCounterGone, "the usage counter is gone"},
    {Phrase::WhyNeverRan, "The usage counter of %1 shows it never ran."},
    {Phrase::WhyUsageNamesNothing,
     "The usage counter of %1 names nothing the scan can look for now."},
    {Phrase::WhyUnreferenced, "The reference count of %1 is 0: no program says it uses the file."},
    {Phrase::WhyFontInFolder, "the fonts folder holds %1"},
    {Phrase::WhyStartMenuKeyGone, "the key is gone"},
    {Phrase::WhyStartMenuNoFolder,
     "No folder %1 in the Start menu's Programs folders (%2): the menu order kept for it belongs "
     "to nothing."},
    {Phrase::WhyShortcutGone, "the shortcut is gone"},
    {Phrase::WhyShortcutToFolder, "the shortcut's target %1 is a folder that exists"},

    // The repair and its report
    {Phrase::RepairFolderQuestion, "%1,can not find the backup folder.\r\ncreates a new directory?"},
    {Phrase::RepairCannotCreateFolder, "Cannot create %1"},
    {Phrase::RepairListNotFiltered,
     "These findings were not filtered after the scan, so they may include keys that Windows "
     "needs or that you excluded. Nothing was changed; please scan again."},
    {Phrase::RepairNoBackupFolder,
     "No backup folder is set: OutputDirectory in Settings.dat is empty. Nothing was changed."},
    {Phrase::RepairFinished, "Fix errors finished, %1 errors were fixed!"},
    {Phrase::RepairFinishedNotAll, "Fix errors finished, %1 errors were fixed!, %2 could not be removed"},
    {Phrase::RepairStoppedStatus, "Fix errors stopped, %1 errors were fixed!, %2 were not removed"},
    {Phrase::RepairLastClean, "%1 , %2 errors were fixed!"},
    {Phrase::RepairLastCleanNotAll, "%1 , %2 errors were fixed!, %3 could not be removed"},
    {Phrase::RepairStoppedBeforeDeleting, "%1; the repair stopped before deleting anything more"},
    {Phrase::RepairNotReached, "not processed: the run was stopped"},
    {Phrase::RepairNotProcessed, "not processed: the run stopped"},
    {Phrase::OutcomeDeleted, "deleted"},
    {Phrase::OutcomeAlreadyGone, "already gone"},
    {Phrase::OutcomeChanged, "changed since the scan"},
    {Phrase::OutcomeRefused, "refused"},
    {Phrase::OutcomeFailed, "failed"},
    {Phrase::ReasonNoSingleItem, "names no single registry item: %1"},
    {Phrase::ReasonWildcards, "a file name with wildcards: %1"},
    {Phrase::ReasonFileUnreadable, "the file cannot be looked at (%1): %2"},
    {Phrase::ReasonFolder, "a folder, not a file: %1"},
    {Phrase::ReasonWholeRoot, "names a whole root key: %1"},
    {Phrase::ReasonNameNotCarriable, "a name no backup file can hold: %1"},
    {Phrase::ReasonOtherView,
     "names its key in the other registry view than the run's backup file: %1"},
    {Phrase::ReasonCannotOpen, "cannot be opened: %1"},
    {Phrase::ReasonCannotRead, "cannot be read: %1"},
    {Phrase::ReasonNotAnsi,
     "holds text the ANSI backup file cannot carry (%1), and the file could not be made a "
     "Unicode one: %2"},
    {Phrase::ReasonNotReadWhole, "could not be read whole: %1"},
    {Phrase::ReasonLinkKey, "holds the symbolic link key %1, which a restore could not make again"},
    {Phrase::ReasonTextNotCarriable, "a name or text no backup file can hold: %1"},
    {Phrase::ReasonTooLarge, "too large for a backup: %1"},
    {Phrase::ReasonValueChanged, "changed since the scan: its type or data is not what was found"},
    {Phrase::ReasonKeyWritten, "changed since the scan: the key was written after it was found"},
    {Phrase::ReasonNoRecycleBin, "the Recycle Bin cannot take it, and it is not deleted for good: %1"},
    {Phrase::ReasonRecycledStillThere, "moved to the Recycle Bin, but still there: %1"},
    {Phrase::ReasonNotRecycled, "the file could not be moved to the Recycle Bin: %1"},
    {Phrase::ReasonRecycledUnknown,
     "moved to the Recycle Bin, and whether it is gone cannot be told (%1): %2"},
    {Phrase::ReasonNotRecycledUnknown,
     "not moved to the Recycle Bin, and whether it is gone cannot be told (%1): %2"},
    {Phrase::ReasonCannotOpenToDelete,
     "backed up, but the key cannot be opened for the deletion (error %1): %2"},
    {Phrase::ReasonOtherKeyNamed, "names another key than the one backed up: %1"},
    {Phrase::ReasonChangedWhileRunning, "changed while the repair ran: %1"},
    {Phrase::ReasonDeletionRefused, "backed up, but the registry refused the deletion (error %1): %2"},
    {Phrase::ReasonValueStillThere, "deleted, but a value of that name is still there: %1"},
    {Phrase::ReasonOtherKeyThere, "another key of that name is there now: %1"},
    {Phrase::ReasonKeyStillThere, "deleted, but a key of that name is still there: %1"},
    {Phrase::ReasonLinkAppeared, "a symbolic link appeared at %1"},
    {Phrase::BackupCannotCreateFile, "cannot create the backup file %1 (error %2)"},
    {Phrase::BackupCannotWriteFile, "cannot write the backup file %1"},
    {Phrase::BackupNamesTaken, "every backup file name for this second is taken: %1"},
    {Phrase::BackupNotInCodePage, "the backup text does not fit the file's code page"},
    {Phrase::BackupNotReopened, "the backup file %1 could not be reopened"},
    {Phrase::BackupWriteCut, "cannot write the backup file %1 (the file ends on its last complete entry)"},
    {Phrase::BackupWriteNotCut,
     "cannot write the backup file %1 (and it could not be cut back to its last complete entry)"},
    {Phrase::BackupCannotReadBack, "cannot read back the backup file %1"},
    {Phrase::BackupChanged, "the backup file %1 has changed"},
    {Phrase::BackupCannotCreate, "cannot create %1"},
    {Phrase::BackupCannotWrite, "cannot write %1"},
    {Phrase::BackupCannotReplace, "cannot replace the backup file %1"},
    {Phrase::BackupCannotReopen, "cannot reopen the backup file %1"},
    {Phrase::NotRemovedOne,
     "%1 of the selected findings could not be removed; it stays in the list, selected."},
    {Phrase::NotRemovedMany,
     "%1 of the selected findings could not be removed; they stay in the list, selected."},
    {Phrase::NotRemovedMore, "and %1 more."},

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

    // Reading a registry file
    {Phrase::RegLine, "line %1: %2"},
    {Phrase::RegNotRegistryFile,
     "not a registry file: the first line must be \"REGEDIT4\" or \"Windows Registry Editor "
     "Version 5.00\""},
    {Phrase::RegNulCharacter, "a NUL character, which no backup holds"},
    {Phrase::RegValueBeforeKey, "value line before any key line"},
    {Phrase::RegValueBelowDeletedKey, "value line below a deleted key"},
    {Phrase::RegUnrecognisedLine, "unrecognised line"},
    {Phrase::RegContinuedAtEnd, "continued line at end of file"},
    {Phrase::RegNoLineEnd, "the last line has no line end: the file is cut short"},
    {Phrase::RegKeyLineUnclosed, "key line without ']'"},
    {Phrase::RegTextAfterBracket, "text after ']'"},
    {Phrase::RegUnknownRoot, "unknown root key \"%1\""},
    {Phrase::RegEmptyKeyName, "empty key name in path"},
    {Phrase::RegKeyNameTooLong, "key name too long"},
    {Phrase::RegKeyPathTooDeep, "key path too deep"},
    {Phrase::RegRootNotDeletable, "a root key cannot be deleted"},
    {Phrase::RegUnknownEscape, "unknown escape \\%1"},
    {Phrase::RegUnterminatedQuote, "unterminated quoted text"},
    {Phrase::RegTextAfterValue, "text after the value"},
    {Phrase::RegValueNameTooLong, "value name too long"},
    {Phrase::RegMissingEquals, "missing '=' after the value name"},
    {Phrase::RegMalformedHexType, "malformed hex(N): type"},
    {Phrase::RegBadHexTypeDigit, "bad hex digit in hex(N): type"},
    {Phrase::RegUnrecognisedData, "unrecognised value data"},
    {Phrase::RegDwordNoDigits, "dword without digits"},
    {Phrase::RegDwordTooLong, "dword longer than 8 hex digits"},
    {Phrase::RegBadDwordDigit, "bad hex digit in dword"},
    {Phrase::RegMissingComma, "missing ',' between bytes"},
    {Phrase::RegBadHexDigit, "bad hex digit"},
    {Phrase::RegMissingByte, "missing byte before ','"},
    {Phrase::RegByteTooLong, "byte longer than 2 hex digits"},
    {Phrase::RegOneDigitByte, "a byte of one hex digit, which no backup holds"},
    {Phrase::RegMissingLastByte, "missing byte after ','"},
    {Phrase::RegValueTooLong, "value data longer than %1 bytes"},
    {Phrase::RegStringBytesNotAnsi, "string bytes that are no text in the ANSI code page"},
    {Phrase::RegBytesNotAnsi, "bytes that are no text in the ANSI code page"},
    {Phrase::RegOddUtf16, "UTF-16 file with an odd number of bytes"},
    {Phrase::RegLineTooLong, "longer than %1 bytes, which no backup holds"},
    {Phrase::RegUndecodable,
     "bytes that are no text in the ANSI code page, or half a UTF-16 character"},
    {Phrase::RegReadFailed, "the file could not be read"},

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
