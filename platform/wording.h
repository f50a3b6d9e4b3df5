#pragma once
// The sentences the lower layers compose for a person to read: why a row is listed, what a
// repair or a restore did, what the run log and the scheduled task say. Each is a pattern
// named by its Phrase, with "%1", "%2" for what goes in. English is built in; the windows
// hand their language's table to whatever composes for them. The command line, the files
// Tallowin writes and its JSON always use English().

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tallowin {

enum class Phrase : uint16_t {
  // Lists: "A and B", "A, B and C"
  ListAnd,
  ListComma,

  // Why a row is listed
  // The two verdicts on an item that is not broken take a clause without its full stop.
  WhyNotBroken,
  WhyNoLongerBroken,
  WhyGeneral,
  WhyStillWorking,
  // A file reference
  WhyExpandsTo,
  WhyOnEmptyFloppy,
  WhyArgumentsCut,
  WhyCutAtSpace,
  WhyCutAtComma,
  WhyCutAtSlash,
  WhyCutAtColon,
  WhyCutAtSemicolon,
  WhyCutAtOther,
  WhyFolderMissing,
  WhyPathFolderMissing,
  WhyFolderNotFile,
  WhyFolderNotProgram,
  WhyFileMissing,
  WhyProgramMissing,
  WhyFoundNothing,
  WhyNeitherExists,
  WhyNoneExists,
  WhyExists,
  WhyExistsNow,
  WhyTestFinds,
  // A text the file test does not judge
  WhyTextEmpty,
  WhyTextHoldsQuestionMark,
  WhyTextHoldsHp,
  WhyRedirected,
  WhyVariableNamesNoFolder,
  WhyNoDriveLetter,
  WhyDriveNotTested,
  WhySecondDrive,
  // The steps of the rules
  WhyKeyGone,
  WhyValueGone,
  WhyProgIdNoClass,
  WhyProgIdUnlinked,
  WhyClassUnlinked,
  WhyInterfaceUnlinked,
  WhyClassRegistered,
  WhyAppIdRegistered,
  WhyTypeLibRegistered,
  WhyProgIdClassMissing,
  WhyClassAppIdMissing,
  WhyInterfaceTypeLibMissing,
  WhyCommandKeyEmpty,
  WhyStartupEmpty,
  WhyStartupQuotesOnly,
  WhyEmptyDefaultOnly,
  WhyHoldsValuesNow,
  WhyNoValuesNoSubKeys,
  WhyNoValuesSubKeyEmpty,
  WhyNoValuesSubKeysEmpty,
  WhyEmptyKey,
  WhyEmptySoftwareKey,
  WhyEmptyExtension,
  WhyUninstallEntryGone,
  WhyUninstallHasValue,
  WhyUninstallNoCommand,
  WhyInstallerFolderGone,
  WhyInstallerFolder,
  WhyCacheEntryGone,
  WhyCacheProgramListed,
  WhyCacheNoProgram,
  WhyHistoryEntryGone,
  WhyHistoryNoExtensions,
  WhyHistoryNoFile,
  WhyHistoryNoFileOfMore,
  WhyUsageCounterGone,
  WhyNeverRan,
  WhyUsageNamesNothing,
  WhyUnreferenced,
  WhyFontInFolder,
  WhyStartMenuKeyGone,
  WhyStartMenuNoFolder,
  WhyShortcutGone,
  WhyShortcutToFolder,

  // The repair and its report
  RepairFolderQuestion,
  RepairCannotCreateFolder,
  RepairListNotFiltered,
  RepairNoBackupFolder,
  RepairFinished,
  RepairFinishedNotAll,
  RepairStoppedStatus,
  RepairLastClean,
  RepairLastCleanNotAll,
  RepairStoppedBeforeDeleting,
  RepairNotReached,
  RepairNotProcessed,
  OutcomeDeleted,
  OutcomeAlreadyGone,
  OutcomeChanged,
  OutcomeRefused,
  OutcomeFailed,
  ReasonNoSingleItem,
  ReasonWildcards,
  ReasonFileUnreadable,
  ReasonFolder,
  ReasonWholeRoot,
  ReasonNameNotCarriable,
  ReasonOtherView,
  ReasonCannotOpen,
  ReasonCannotRead,
  ReasonNotAnsi,
  ReasonNotReadWhole,
  ReasonLinkKey,
  ReasonTextNotCarriable,
  ReasonTooLarge,
  ReasonValueChanged,
  ReasonKeyWritten,
  ReasonNoRecycleBin,
  ReasonRecycledStillThere,
  ReasonNotRecycled,
  ReasonRecycledUnknown,
  ReasonNotRecycledUnknown,
  ReasonCannotOpenToDelete,
  ReasonOtherKeyNamed,
  ReasonChangedWhileRunning,
  ReasonDeletionRefused,
  ReasonValueStillThere,
  ReasonOtherKeyThere,
  ReasonKeyStillThere,
  ReasonLinkAppeared,
  BackupCannotCreateFile,
  BackupCannotWriteFile,
  BackupNamesTaken,
  BackupNotInCodePage,
  BackupNotReopened,
  BackupWriteCut,
  BackupWriteNotCut,
  BackupCannotReadBack,
  BackupChanged,
  BackupCannotCreate,
  BackupCannotWrite,
  BackupCannotReplace,
  BackupCannotReopen,
  NotRemovedOne,
  NotRemovedMany,
  NotRemovedMore,

  // The restore
  RestoreCannotRead,
  RestoreNoKey,
  RestoreCutShort,
  RestoreNotCheckable,
  RestoreNotReadToEnd,
  RestoreDeletes,
  RestoreNoMemory,
  RestoreRegeditMissing,
  RestoreRegeditElevation,
  RestoreNotAllBack,
  RestoreNoMemoryAfter,
  RestoreItemMissing,
  RestoreValueChanged,
  RestoreNotReread,
  RestoreNotRereadWhy,
  RestoredNotDeleted,
  BackupNotDeleted,
  DeleteUnsure,
  DeleteStillThere,

  // Reading a registry file
  // "line N: " and what is wrong there
  RegLine,
  RegNotRegistryFile,
  RegNulCharacter,
  RegValueBeforeKey,
  RegValueBelowDeletedKey,
  RegUnrecognisedLine,
  RegContinuedAtEnd,
  RegNoLineEnd,
  RegKeyLineUnclosed,
  RegTextAfterBracket,
  RegUnknownRoot,
  RegEmptyKeyName,
  RegKeyNameTooLong,
  RegKeyPathTooDeep,
  RegRootNotDeletable,
  RegUnknownEscape,
  RegUnterminatedQuote,
  RegTextAfterValue,
  RegValueNameTooLong,
  RegMissingEquals,
  RegMalformedHexType,
  RegBadHexTypeDigit,
  RegUnrecognisedData,
  RegDwordNoDigits,
  RegDwordTooLong,
  RegBadDwordDigit,
  RegMissingComma,
  RegBadHexDigit,
  RegMissingByte,
  RegByteTooLong,
  RegOneDigitByte,
  RegMissingLastByte,
  RegValueTooLong,
  RegStringBytesNotAnsi,
  RegBytesNotAnsi,
  RegOddUtf16,
  RegLineTooLong,
  RegUndecodable,
  RegReadFailed,

  // The run log, the scheduled task, the settings file
  LastRun,
  LastRunMeaning,
  RunAllRemoved,
  RunNotRepaired,
  RunNotAllRemoved,
  RunScanStopped,
  RunScanFailed,
  RunAlreadyRunning,
  RunExitStatus,
  TaskDisabled,
  TaskOtherSchedule,
  TaskNextRun,
  TaskOtherProgram,
  TaskNotAProgram,
  TaskNoScheduler,
  TaskNoService,
  TaskNoFolder,
  TaskNotRead,
  TaskNoDefinition,
  TaskDefinitionRefused,
  TaskNotRegistered,
  TaskNotRemoved,
  TaskDefinitionUnreported,
  TaskScheduleUnreported,
  TaskActionUnreported,
  SettingsNotWritten,

  Count
};

struct PhraseEntry {
  Phrase id;
  const char* text;  // UTF-8
};

extern const PhraseEntry kEnglishPhrases[];
extern const size_t kEnglishPhraseCount;

// "%1" ... "%9" in `pattern` replaced by `values` in order; a number without a value is dropped.
std::string FillIn(std::string_view pattern, std::initializer_list<std::string_view> values);

class Wording {
 public:
  // Entries in any order; an id the table lacks is said in English.
  Wording(const PhraseEntry* entries, size_t count);

  const std::string& operator[](Phrase id) const { return texts_[static_cast<size_t>(id)]; }
  std::string Say(Phrase id, std::initializer_list<std::string_view> values) const {
    return FillIn((*this)[id], values);
  }
  // "A", "A and B", "A, B and C".
  std::string Listed(const std::vector<std::string>& items) const;

 private:
  std::array<std::string, static_cast<size_t>(Phrase::Count)> texts_;
};

const Wording& English();

}  // namespace tallowin
