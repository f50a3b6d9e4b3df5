#include "core/wording.h"

namespace tallowin {

extern const PhraseEntry kEnglishPhrases[] = {
    {Phrase::ListAnd, " and "},
    {Phrase::ListComma, ", "},

    // Why a row is listed

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

    // The run log, the scheduled task, the settings file

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
