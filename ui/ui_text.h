#pragma once
// The texts the windows show, one table per language (ui/text_english.cpp is the table
// of record, ui/text_german.cpp its translation). A text is named by its id; "%1", "%2"
// mark what Format puts in. Portable: no Windows header, so the native tests check the
// tables. The command line, the backup files and Settings.dat never go through here.

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/wording.h"
#include "scan/issue.h"

namespace tallowin::ui {

enum class Language : uint8_t { English, German };

enum class Txt : uint16_t {
  // Main window
  CheckUpdate,
  FullScan,
  CustomScanButton,
  FixErrors,
  RestoreButton,
  OptionsButton,
  HelpButton,
  AboutButton,
  ExitButton,
  ColumnProblem,
  ColumnData,
  ColumnRegistryKey,
  Welcome,
  Instruction1,
  Instruction2,
  Instruction3,
  Instruction4,
  Instruction5,
  Donate,
  HomepageHint,
  StatusCounts,
  LastFixAt,
  FixingProgress,
  ScanStoppedNote,
  ScanFailedNote,
  ScanFailedMessage,
  NothingChecked,
  NoSections,
  CheckKeyMessage,
  OverwriteQuestion,
  CannotCreateFile,
  // The list's popup menu and Save as Text
  SelectItem,
  DeselectItem,
  SelectAllOfType,
  DeselectAllOfType,
  SelectAll,
  DeselectAll,
  AddToExcludeList,
  SaveAsTextMenu,
  RegEditMenu,
  SaveAsTitle,
  SaveAsFilterName,
  // The problem texts of the list
  ProblemPathReference,
  ProblemSoftwareLocation,
  ProblemStartMenu,
  ProblemObsoleteSoftware,
  ProblemEmptyKey,
  ProblemUselessExtension,
  ProblemUninstall,
  ProblemSharedDll,
  ProblemFont,
  ProblemHelpFile,
  ProblemHistory,
  ProblemStartup,
  ProblemService,
  ProblemCustomControl,
  ProblemShortcut,
  ProblemSound,
  ProblemActiveX,
  ProblemInstaller,
  ProblemOpenWith,
  // Scan progress
  ScanningCaption,
  ScanningInitial,
  StopButton,
  RegistryKeyMemo,
  ScanHkcr,
  ScanHkcu,
  ScanHklm,
  ScanHku,
  ScanStartMenu,
  ScanSoftwareLocations,
  ScanFileExtensions,
  ScanAddRemove,
  ScanSharedDlls,
  ScanFonts,
  ScanHelpFiles,
  ScanEmptyUninstaller,
  ScanMru,
  ScanEmptyKeys,
  ScanStartup,
  ScanServices,
  ScanCustomControls,
  ScanShortcuts,
  ScanSounds,
  ScanActiveX,
  ScanInstaller,
  Optimizing,
  PleaseWait,
  // Custom Scan
  CustomScanCaption,
  CustomScanQuestion,
  SectionsColumn,
  SectionHkcr,
  SectionHkcu,
  SectionHklm,
  SectionHku,
  SectionStartMenu,
  SectionObsoleteSoftware,
  SectionFileExtensions,
  SectionAddRemove,
  SectionSharedDlls,
  SectionFonts,
  SectionHelpFiles,
  SectionUninstaller,
  SectionMru,
  SectionEmptyKeys,
  SectionSoftwareLocations,
  SectionStartup,
  SectionServices,
  DeselectAllSections,
  StartScan,
  SaveButton,
  CancelButton,
  OkButton,
  // Restore
  RestoreCaption,
  RestoreLabel1,
  RestoreLabel2,
  BrowseButton,
  ColumnFileName,
  ColumnDateCreated,
  ColumnSize,
  RestoreAction,
  DeleteButton,
  CloseButton,
  BackupFolderMissing,
  BrowseCaption,
  RestoreHint,
  // Options and the ignore-list editor
  OptionsCaption,
  CreateRestorePoint,
  IgnoreRemovable,
  Check64Bit,
  KeysToExclude,
  KeysColumn,
  AddButton,
  EditButton,
  RemoveButton,
  DefaultButton,
  SaveBackupsTo,
  LanguageLabel,
  LanguageWindows,
  LanguageEnglish,
  LanguageGerman,
  AlreadyListed,
  EditEntryCaption,
  AddEntryCaption,
  KeyToExclude,
  KeyExample,
  NoRootMessage,
  FolderRefused,
  // Repair automatically
  ScheduleGroup,
  ScheduleOff,
  ScheduleDaily,
  ScheduleWeekly,
  ScheduleOn,
  ScheduleAt,
  DaySunday,
  DayMonday,
  DayTuesday,
  DayWednesday,
  DayThursday,
  DayFriday,
  DaySaturday,
  ScheduleUnreadable,
  ScheduleUnknown,
  ScheduleNone,
  ScheduleNotOff,
  ScheduleNotSet,
  // Restore point, backup hint, about box
  SystemPointCaption,
  CreatingRestorePoint,
  SystemPointLine1,
  SystemPointLine2,
  RestorePointFailedQuestion,
  AboutCaption,
  Copyright,
  EMail,
  ContactHelp,
  AboutDonate1,
  AboutDonate2,
  WhereTallowinLives,
  Count
};

// The text in the language the windows speak now.
const std::string& Tr(Txt id);
// With "%1", "%2", ... replaced by `values` in order.
std::string Format(Txt id, std::initializer_list<std::string_view> values);
// A fixed English text of a lower layer (a scan caption, a message of the repair) in the
// windows' language; any other text as it is.
std::string Localized(const std::string& english);
// The Problem column of a row as the window shows it.
std::string ShownProblem(const Issue& row);
Txt ProblemTextId(FindingRule rule);

// One table, for the tests: every entry, "" for an id the table lacks.
const std::string& TextIn(Language language, Txt id);

void SetLanguage(Language language);
// The sentences of the lower layers (reasons, repair and restore reports) in the language
// the windows speak now.
const Wording& Words();
Language CurrentLanguage();

// The Options choice ("" the Windows setting, "en", "de", as Settings.dat keeps it) over
// the user's Windows display language: German for any German locale, English otherwise.
Language ChooseLanguage(std::string_view choice, uint16_t userUiLanguage);

}  // namespace tallowin::ui
