#include "repair/repair_run.h"

#include <algorithm>
#include <exception>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>

#include "platform/reg_global.h"
#include "platform/reg_text.h"
#include "platform/registry_view.h"
#include "platform/text.h"
#include "repair/backup.h"
#include "scan/issue_target.h"

namespace tallowin {

using platform::Access;
using platform::Registry;
using platform::RegistryKey;
using platform::Root;

namespace {

// A batch's blocks are written in one piece; past this much text the batch ends early.
constexpr size_t kBatchText = 4u << 20;

std::string FullKeyName(Root root, std::string_view path) {
  std::string name = platform::RootName(root);
  if (!path.empty()) {
    name += '\\';
    name += path;
  }
  return name;
}

std::string ValueName(Root root, std::string_view path, std::string_view name) {
  return FullKeyName(root, path) + (name.empty() ? std::string(" @") : " \"" + std::string(name) + "\"");
}

std::string Parent(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

// One checked row on its way through the run.
struct Row {
  size_t index = 0;  // in the list
  IssueTarget target;
  RepairOutcome outcome = RepairOutcome::Stopped;
  bool decided = false;   // outcome final before any deletion
  std::string reason;
  // The key as the backup names it (for a classes row, the hive that holds it) and a
  // key row is deleted by; a value row is read and deleted through the row's own name.
  Root root = Root::CurrentUser;
  std::string path;
  std::string keyName;    // a classes row's: the registry's name of the key its name opened
  std::string block;      // its backup block (UTF-8), when composed
  bool backedUp = false;
  platform::RegValue value;  // a value row's value as backed up
  uint64_t lastWrite = 0;    // a key row's last-write time as backed up
};

class RepairRun {
 public:
  RepairRun(IssueList& list, platform::Platform& platform, RepairPrompts& prompts,
            RepairResult& result, const std::string& backupName, const Wording& words)
      : list_(list), platform_(platform), prompts_(prompts), result_(result), words_(words),
        backup_(platform.files, platform.system.Ansi(), backupName, words) {}

  void Run() {
    std::vector<size_t> checked;
    for (size_t i = list_.Count(); i-- > 0;) {
      if (!list_.rows[i].checked) continue;
      checked.push_back(i);
      if (ResolveIssueTarget(list_.rows[i]).kind == IssueTarget::Kind::Key) keyRows_ = true;
    }
    total_ = checked.size();

    size_t next = 0;
    while (next < checked.size() && !Stopping()) {
      std::vector<Row> batch;
      batch.reserve(kRepairBatchRows);
      batch_ = &batch;
      size_t text = 0;
      for (; next < checked.size() && batch.size() < kRepairBatchRows && text < kBatchText; ++next) {
        batch.emplace_back();
        Plan(batch.back(), checked[next]);
        text += batch.back().block.size();
      }
      batch_ = nullptr;
      ReleaseHeld();
      const bool written = WriteBackups(batch);
      for (Row& row : batch) {
        if (written && !row.decided) {
          if (Stopping()) {
            row.outcome = RepairOutcome::Stopped;
            row.reason = words_[Phrase::RepairNotReached];
          } else {
            Delete(row);
          }
        }
        Finish(row);
      }
      ReleaseHeld();
      if (!written) break;
    }
    for (; next < checked.size(); ++next)
      Report(checked[next], RepairOutcome::Stopped,
             words_[result_.stopped ? Phrase::RepairNotReached : Phrase::RepairNotProcessed], "");
    RemoveFixedRows();
  }

 private:
  // Asked before every batch and every row; once asked for, the stop holds.
  bool Stopping() {
    if (!result_.stopped && prompts_.StopRequested()) result_.stopped = true;
    return result_.stopped;
  }

  // ---- planning: everything that can be decided before a backup --------------------

  void Plan(Row& row, size_t index) {
    row.index = index;
    const Issue& issue = list_.rows[index];
    row.target = ResolveIssueTarget(issue);
    switch (row.target.kind) {
      case IssueTarget::Kind::None:
        return Decide(row, RepairOutcome::NotAddressed, Say(Phrase::ReasonNoSingleItem, {issue.key}));
      case IssueTarget::Kind::File:
        return PlanFile(row);
      case IssueTarget::Kind::Key:
      case IssueTarget::Kind::Value:
        return PlanRegistryItem(row, issue.stamp);
    }
  }

  std::string Say(Phrase id, std::initializer_list<std::string_view> values) const {
    return words_.Say(id, values);
  }

  void Decide(Row& row, RepairOutcome outcome, std::string reason) {
    row.outcome = outcome;
    row.reason = std::move(reason);
    row.decided = true;
  }

  void PlanFile(Row& row) {
    const std::string& path = row.target.file;
    // The shell deletes every match of a wildcard and whole folders; a row names one file.
    if (path.find_first_of("*?") != std::string::npos)
      return Decide(row, RepairOutcome::NotAddressed, Say(Phrase::ReasonWildcards, {path}));
    uint32_t attributes = 0;
    const long rc = platform_.files.QueryAttributes(path, attributes);
    if (rc == platform::kFileNotFound || rc == platform::kPathNotFound)
      return Decide(row, RepairOutcome::AlreadyGone, "");
    if (rc != platform::kSuccess)
      return Decide(row, RepairOutcome::Unreadable,
                    Say(Phrase::ReasonFileUnreadable, {platform_.system.ErrorText(rc), path}));
    if (attributes & platform::kAttrDirectory)
      return Decide(row, RepairOutcome::NotAddressed, Say(Phrase::ReasonFolder, {path}));
  }

  // The registry in the view the row names its key in.
  Registry& RegistryOf(const Row& row) { return platform_.registry.InView(row.target.view); }

  // A classes row's key is backed up under the hive that holds it, so a restore puts it
  // back where it was: the classes key whose registry name is the one of the key the
  // row's own name opened (which hive HKEY_CLASSES_ROOT shows differs between Windows
  // and Wine). Where the registry cannot tell, the row's own name.
  void LocateHive(Row& row, RegistryKey& opened) {
    row.root = row.target.root;
    row.path = row.target.path;
    if (row.target.root != Root::ClassesRoot) return;
    if (opened.Name(row.keyName) != platform::kSuccess || row.keyName.empty()) {
      row.keyName.clear();
      return;
    }
    const std::string classes = "Software\\Classes\\" + row.target.path;
    for (Root hive : {Root::CurrentUser, Root::LocalMachine}) {
      std::unique_ptr<RegistryKey> key;
      std::string name;
      if (RegistryOf(row).Open(hive, classes, Access::Read, key) == platform::kSuccess &&
          key->Name(name) == platform::kSuccess && platform::SameKeyName(name, row.keyName)) {
        row.root = hive;
        row.path = classes;
        return;
      }
    }
  }

  void PlanRegistryItem(Row& row, const ItemStamp& stamp) {
    const IssueTarget& target = row.target;
    const bool wholeKey = target.kind == IssueTarget::Kind::Key;
    const std::string shown = wholeKey ? FullKeyName(target.root, target.path)
                                       : ValueName(target.root, target.path, target.valueName);
    // An empty path is the whole root: never deleted.
    if (wholeKey && target.path.empty())
      return Decide(row, RepairOutcome::NotAddressed, Say(Phrase::ReasonWholeRoot, {shown}));
    // A value directly in a root key has no key line that the registry editor is known
    // to import on every Windows version: it stays.
    if (!IsCarriableKeyPath(target.path) || (!wholeKey && !IsCarriableValueName(target.valueName)))
      return Decide(row, RepairOutcome::Refused, Say(Phrase::ReasonNameNotCarriable, {shown}));
    // One backup file names its keys in one view, and its restore imports them there.
    if (!viewChosen_) {
      backup_.SetView(target.view);
      viewChosen_ = true;
    } else if (backup_.view() != target.view) {
      return Decide(row, RepairOutcome::Refused, Say(Phrase::ReasonOtherView, {shown}));
    }

    // The path is taken as the system resolves it: links above the key are how Windows
    // (and Wine) present shared and redirected keys. The key itself and everything
    // below it are opened as themselves, and a link there is refused.
    RegistryKey* key = nullptr;
    const long rc = OpenHeld(row, Access::Read, key);
    if (rc == platform::kFileNotFound) return Decide(row, RepairOutcome::AlreadyGone, "");
    if (rc != platform::kSuccess)
      return Decide(row, RepairOutcome::Unreadable, Say(Phrase::ReasonCannotOpen, {shown}));
    LocateHive(row, *key);
    if (wholeKey) return Compose(row, stamp, nullptr);
    // The value as read here is what the backup holds and what the deletion checks.
    platform::RegValue value;
    const long query = key->QueryValue(target.valueName, value);
    if (query == platform::kFileNotFound) return Decide(row, RepairOutcome::AlreadyGone, "");
    if (query != platform::kSuccess)
      return Decide(row, RepairOutcome::Unreadable, Say(Phrase::ReasonCannotRead, {shown}));
    Compose(row, stamp, &value);
  }

  // A value row's block is composed from `value`; a key row's is read from the registry.
  ExportResult ComposeRow(const Row& row, const platform::RegValue* value,
                          ExportContext& context) {
    if (value == nullptr) return ComposeBlock(context, row.path);
    context.value = *value;
    return ComposeValueBlock(context, row.path);
  }

  void Compose(Row& row, const ItemStamp& stamp, const platform::RegValue* value) {
    const bool wholeKey = row.target.kind == IssueTarget::Kind::Key;
    ExportContext context{RegistryOf(row), platform_.system.Ansi(), backup_.format(), row.root,
                          row.target.valueName, wholeKey, {}, {}, 0, {}, 0};
    ExportResult composed = ComposeRow(row, value, context);
    if (composed.status == ExportStatus::NotAnsi && backup_.format() == BackupFormat::Regedit4) {
      std::string error;
      if (!SwitchToUnicode(error))
        return Decide(row, RepairOutcome::Refused,
                      Say(Phrase::ReasonNotAnsi, {composed.detail, error}));
      context.format = backup_.format();
      composed = ComposeRow(row, value, context);
    }
    switch (composed.status) {
      case ExportStatus::Written:
        break;
      case ExportStatus::Incomplete:
        return Decide(row, RepairOutcome::Unreadable, Say(Phrase::ReasonNotReadWhole, {composed.detail}));
      case ExportStatus::LinkKey:
        return Decide(row, RepairOutcome::Refused, Say(Phrase::ReasonLinkKey, {composed.detail}));
      case ExportStatus::Refused:
      case ExportStatus::NotAnsi:
        return Decide(row, RepairOutcome::Refused,
                      Say(Phrase::ReasonTextNotCarriable, {composed.detail}));
      case ExportStatus::TooLarge:
        return Decide(row, RepairOutcome::Refused, Say(Phrase::ReasonTooLarge, {composed.detail}));
      case ExportStatus::WriteFailed:
        return Decide(row, RepairOutcome::BackupFailed, composed.detail);
    }

    // Still what the scan reported? A key counts as changed when it was written since,
    // unless the writing was this run's own deletion of something inside it.
    if (stamp.kind == ItemStamp::Kind::Value && !(StampOfValue(context.value) == stamp))
      return Decide(row, RepairOutcome::ChangedSinceScan, words_[Phrase::ReasonValueChanged]);
    if (stamp.kind == ItemStamp::Kind::Key && context.lastWrite != stamp.digest) {
      std::unique_ptr<RegistryKey> key;
      (void)RegistryOf(row).Open(row.root, row.path, Access::Read, key);
      const auto own = ownWrites_.find(Id(row, row.root, row.path, key.get()));
      if (own == ownWrites_.end() || own->second != context.lastWrite)
        return Decide(row, RepairOutcome::ChangedSinceScan, words_[Phrase::ReasonKeyWritten]);
    }
    row.block = std::move(context.text);
    row.value = std::move(context.value);
    row.lastWrite = context.lastWrite;
  }

  // A REGEDIT4 file cannot carry this text: the run's file becomes a Unicode one. Blocks
  // of the current batch composed for the ANSI file are composed again.
  bool SwitchToUnicode(std::string& error) {
    if (!backup_.SwitchToUnicode(error)) return false;
    if (batch_ == nullptr) return true;
    for (Row& row : *batch_) {
      if (row.decided || row.block.empty()) continue;
      const bool wholeKey = row.target.kind == IssueTarget::Kind::Key;
      ExportContext context{RegistryOf(row), platform_.system.Ansi(), backup_.format(), row.root,
                            row.target.valueName, wholeKey, {}, {}, 0, {}, 0};
      if (ComposeRow(row, wholeKey ? nullptr : &row.value, context).ok())
        row.block = std::move(context.text);
    }
    return true;
  }

  // A key this run wrote: by the registry's own name of it, as rows may reach one key
  // under several names (HKEY_CURRENT_USER and HKEY_USERS\<SID>); else by view, root and path.
  static std::string Id(const Row& row, Root root, const std::string& path, RegistryKey* key) {
    std::string name;
    if (key != nullptr && key->Name(name) == platform::kSuccess) return AsciiUpper(name);
    return (row.target.view == platform::View::Native ? "64:" : "") +
           FullKeyName(root, AsciiUpper(path));
  }

  // ---- the batch's backup -------------------------------------------------------

  bool WriteBackups(std::vector<Row>& batch) {
    std::string blocks;
    for (Row& row : batch)
      if (!row.decided && !row.block.empty()) blocks += row.block;
    if (blocks.empty()) return true;
    std::string error;
    if (!backup_.Append(blocks, error)) {
      result_.error = Say(Phrase::RepairStoppedBeforeDeleting, {error});
      for (Row& row : batch)
        if (!row.decided) Decide(row, RepairOutcome::BackupFailed, error);
      return false;
    }
    result_.backupFile = backup_.path();
    for (Row& row : batch)
      if (!row.decided && !row.block.empty()) row.backedUp = true;
    return true;
  }

  // ---- deletion --------------------------------------------------------------------

  void Delete(Row& row) {
    if (row.target.kind == IssueTarget::Kind::File) return DeleteFile(row);
    if (row.target.kind == IssueTarget::Kind::Key) return DeleteKey(row);
    DeleteValue(row);
  }

  // A file has no place in the backup: it goes to the Recycle Bin, or stays.
  void DeleteFile(Row& row) {
    platform::FileSystem& files = platform_.files;
    const std::string& path = row.target.file;
    const platform::RecycleResult recycled = files.RecycleFile(path);
    if (recycled == platform::RecycleResult::NoRecycleBin) {
      row.outcome = RepairOutcome::Refused;
      row.reason = Say(Phrase::ReasonNoRecycleBin, {path});
      return;
    }
    const long gone = platform::CheckGone(files, path);
    if (gone == platform::kSuccess) {
      row.outcome = RepairOutcome::Deleted;
      return;
    }
    const bool moved = recycled == platform::RecycleResult::Recycled;
    row.outcome = moved ? RepairOutcome::StillPresent : RepairOutcome::DeleteFailed;
    if (gone == platform::kFileExists) {
      row.reason = Say(moved ? Phrase::ReasonRecycledStillThere : Phrase::ReasonNotRecycled, {path});
    } else {
      row.reason = Say(moved ? Phrase::ReasonRecycledUnknown : Phrase::ReasonNotRecycledUnknown,
                       {platform_.system.ErrorText(gone), path});
    }
  }

  void DeleteValue(Row& row) {
    Registry& registry = RegistryOf(row);
    const std::string shown = ValueName(row.root, row.path, row.target.valueName);
    RegistryKey* key = nullptr;
    long rc = OpenHeld(row, Access::All, key);
    if (rc == platform::kFileNotFound) {
      row.outcome = RepairOutcome::AlreadyGone;
      return;
    }
    if (rc != platform::kSuccess) {
      row.outcome = RepairOutcome::DeleteFailed;
      row.reason = Say(Phrase::ReasonCannotOpenToDelete, {std::to_string(rc), shown});
      return;
    }
    // The row's name may reach another key by now (a user's classes key made meanwhile).
    std::string name;
    if (!row.keyName.empty() && key->Name(name) == platform::kSuccess &&
        !platform::SameKeyName(name, row.keyName)) {
      row.outcome = RepairOutcome::ChangedSinceScan;
      row.reason = Say(Phrase::ReasonOtherKeyNamed, {shown});
      return;
    }
    // The backup holds the value as it was then; only that value is deleted.
    platform::RegValue now;
    rc = key->QueryValue(row.target.valueName, now);
    if (rc == platform::kFileNotFound) {
      row.outcome = RepairOutcome::AlreadyGone;
      return;
    }
    if (rc != platform::kSuccess || now.type != row.value.type || now.data != row.value.data) {
      row.outcome = RepairOutcome::ChangedSinceScan;
      row.reason = Say(Phrase::ReasonChangedWhileRunning, {shown});
      return;
    }
    rc = key->DeleteValue(row.target.valueName);
    if (rc != platform::kSuccess && rc != platform::kFileNotFound) {
      row.outcome = RepairOutcome::DeleteFailed;
      row.reason = Say(Phrase::ReasonDeletionRefused, {std::to_string(rc), shown});
      return;
    }
    held_.written = true;
    // Asked through the handle the deletion went through, and for a classes row once
    // more by the row's name, which may show another hive's value of that name.
    platform::RegValue left;
    rc = key->QueryValue(row.target.valueName, left);
    const bool gone = rc == platform::kFileNotFound || rc == platform::kKeyDeleted;
    if (!gone || (row.target.root == Root::ClassesRoot &&
                  ValueVisible(registry, row.target.root, row.target.path, row.target.valueName))) {
      row.outcome = RepairOutcome::StillPresent;
      row.reason = Say(Phrase::ReasonValueStillThere,
                       {ValueName(row.target.root, row.target.path, row.target.valueName)});
      return;
    }
    row.outcome = RepairOutcome::Deleted;
  }

  static bool ValueVisible(Registry& registry, Root root, const std::string& path,
                           const std::string& name) {
    std::unique_ptr<RegistryKey> key;
    if (registry.Open(root, path, Access::Read, key) != platform::kSuccess) return false;
    platform::RegValue value;
    return key->QueryValue(name, value) != platform::kFileNotFound;
  }

  static bool KeyVisible(Registry& registry, Root root, const std::string& path) {
    std::unique_ptr<RegistryKey> key;
    return registry.Open(root, path, Access::Read, key) != platform::kFileNotFound;
  }

  void DeleteKey(Row& row) {
    ReleaseHeld();  // its deletions count as this run's own writes below
    Registry& registry = RegistryOf(row);
    const std::string shown = FullKeyName(row.root, row.path);
    {
      std::unique_ptr<RegistryKey> key;
      long rc = registry.OpenNoFollow(row.root, row.path, Access::Read, key);
      if (rc == platform::kFileNotFound) {
        const bool other = row.root != row.target.root &&
                           KeyVisible(registry, row.target.root, row.target.path);
        row.outcome = other ? RepairOutcome::ChangedSinceScan : RepairOutcome::AlreadyGone;
        if (other) row.reason = Say(Phrase::ReasonOtherKeyThere, {shown});
        return;
      }
      uint64_t written = 0;
      if (rc == platform::kSuccess) rc = key->LastWriteTime(written);
      const auto own = ownWrites_.find(Id(row, row.root, row.path, key.get()));
      const bool ours = own != ownWrites_.end() && own->second == written;
      if (rc != platform::kSuccess || (written != row.lastWrite && !ours)) {
        row.outcome = RepairOutcome::ChangedSinceScan;
        row.reason = Say(Phrase::ReasonChangedWhileRunning, {shown});
        return;
      }
    }
    std::string detail;
    const long rc = DeleteTree(registry, row.root, row.path, 0, detail);
    if (rc != platform::kSuccess && KeyVisible(registry, row.root, row.path)) {
      row.outcome = RepairOutcome::DeleteFailed;
      row.reason = Say(Phrase::ReasonDeletionRefused,
                       {std::to_string(rc), detail.empty() ? shown : detail});
      return;
    }
    const std::string parent = Parent(row.path);
    std::unique_ptr<RegistryKey> parentKey;
    uint64_t written = 0;
    if (registry.Open(row.root, parent, Access::Read, parentKey) == platform::kSuccess &&
        parentKey->LastWriteTime(written) == platform::kSuccess)
      ownWrites_[Id(row, row.root, parent, parentKey.get())] = written;
    if (KeyVisible(registry, row.root, row.path) ||
        (row.root != row.target.root && KeyVisible(registry, row.target.root, row.target.path))) {
      row.outcome = RepairOutcome::StillPresent;
      row.reason = Say(Phrase::ReasonKeyStillThere, {FullKeyName(row.target.root, row.target.path)});
      return;
    }
    row.outcome = RepairOutcome::Deleted;
  }

  // Sub-keys first, from the last enumeration index down, then the key itself; every
  // key opened as itself, so a link that appeared meanwhile stops the deletion.
  long DeleteTree(Registry& registry, Root root, const std::string& path, size_t depth,
                  std::string& detail) {
    if (depth > platform::kMaxKeyDepth) return platform::kInvalidParameter;
    std::unique_ptr<RegistryKey> key;
    long rc = registry.OpenNoFollow(root, path, Access::All, key);
    if (rc != platform::kSuccess) return rc;
    bool link = false;
    rc = key->IsLink(link);
    if (rc != platform::kSuccess) return rc;
    if (link) {
      detail = Say(Phrase::ReasonLinkAppeared, {FullKeyName(root, path)});
      return platform::kAccessDenied;
    }
    std::vector<std::string> names;
    rc = key->SubKeyNames(names);
    if (rc != platform::kSuccess) return rc;
    key.reset();
    for (size_t i = names.size(); i-- > 0;) {
      rc = DeleteTree(registry, root, path + "\\" + names[i], depth + 1, detail);
      if (rc != platform::kSuccess) return rc;
    }
    const std::string parent = Parent(path);
    const size_t slash = path.rfind('\\');
    const std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
    rc = registry.Open(root, parent, Access::All, key);
    if (rc != platform::kSuccess) return rc;
    rc = key->DeleteSubKey(leaf);
    if (rc != platform::kSuccess) detail = FullKeyName(root, path);
    return rc;
  }

  // ---- the key of consecutive rows ----------------------------------------------

  // The key a row's own name opens, as the scan read it. Rows of one key follow each
  // other: the key opened for one row serves the next ones, when they name the same
  // path and need the same access.
  long OpenHeld(const Row& row, Access access, RegistryKey*& key) {
    Registry& registry = RegistryOf(row);
    const Root root = row.target.root;
    const std::string& path = row.target.path;
    if (!held_.key || held_.registry != &registry || held_.root != root ||
        held_.access != access || held_.path != path) {
      ReleaseHeld();
      std::unique_ptr<RegistryKey> opened;
      const long rc = registry.Open(root, path, access, opened);
      if (rc != platform::kSuccess) return rc;
      held_.key = std::move(opened);
      held_.registry = &registry;
      held_.root = root;
      held_.path = path;
      held_.access = access;
      held_.id = Id(row, root, path, held_.key.get());
    }
    key = held_.key.get();
    return platform::kSuccess;
  }

  // A key this run deleted values in: its last-write time after them is the run's own,
  // which a key row compares with.
  void ReleaseHeld() {
    uint64_t written = 0;
    if (held_.key && held_.written && keyRows_ &&
        held_.key->LastWriteTime(written) == platform::kSuccess)
      ownWrites_[held_.id] = written;
    held_.key.reset();
    held_.written = false;
  }

  // ---- the report ----------------------------------------------------------------

  void Report(size_t index, RepairOutcome outcome, std::string reason, std::string backupFile) {
    const Issue& issue = list_.rows[index];
    result_.rows.push_back({issue, outcome, reason, std::move(backupFile)});
    if (IsFixed(outcome)) {
      fixedIndexes_.push_back(index);
      ++result_.fixed;
      if (outcome == RepairOutcome::AlreadyGone) ++result_.alreadyGone;
    } else {
      ++result_.failed;
      result_.problems.push_back({issue, outcome, std::move(reason)});
    }
    prompts_.RowsDone(result_.rows.size(), total_);
  }

  void Finish(Row& row) {
    Report(row.index, row.outcome, row.reason, row.backedUp ? backup_.path() : std::string());
  }

  // Visiting order is last row first, so removing in that order keeps indexes valid.
  void RemoveFixedRows() {
    for (size_t index : fixedIndexes_) list_.RemoveAt(index);
  }

  IssueList& list_;
  platform::Platform& platform_;
  RepairPrompts& prompts_;
  RepairResult& result_;
  const Wording& words_;
  BackupFile backup_;
  bool viewChosen_ = false;  // the backup file's view, by the first registry row
  std::vector<Row>* batch_ = nullptr;  // the batch being planned
  struct HeldKey {
    std::unique_ptr<RegistryKey> key;
    Registry* registry = nullptr;  // the view it was opened in
    Root root = Root::CurrentUser;
    std::string path;
    Access access = Access::Read;
    std::string id;        // as ownWrites_ names it
    bool written = false;  // a value was deleted through it
  } held_;
  std::map<std::string, uint64_t> ownWrites_;  // keys this run wrote, with the time after
  bool keyRows_ = false;  // the run has rows that name keys
  std::vector<size_t> fixedIndexes_;
  size_t total_ = 0;
};

}  // namespace

const std::string& OutcomeName(RepairOutcome outcome, const Wording& words) {
  switch (outcome) {
    case RepairOutcome::Deleted: return words[Phrase::OutcomeDeleted];
    case RepairOutcome::AlreadyGone: return words[Phrase::OutcomeAlreadyGone];
    case RepairOutcome::ChangedSinceScan: return words[Phrase::OutcomeChanged];
    case RepairOutcome::NotAddressed:
    case RepairOutcome::Refused: return words[Phrase::OutcomeRefused];
    case RepairOutcome::Unreadable:
    case RepairOutcome::DeleteFailed:
    case RepairOutcome::StillPresent:
    case RepairOutcome::BackupFailed:
    case RepairOutcome::Stopped: break;
  }
  return words[Phrase::OutcomeFailed];
}

std::string MakeLastClean(platform::System& system, size_t fixed, size_t failed) {
  const std::string when = system.FormatDateTime(system.Now());
  if (failed == 0) return English().Say(Phrase::RepairLastClean, {when, std::to_string(fixed)});
  return English().Say(Phrase::RepairLastCleanNotAll,
                       {when, std::to_string(fixed), std::to_string(failed)});
}

namespace {

// The values `pattern` was filled with to give `text`, when every literal piece of it is
// there and every value but the first is a count.
std::optional<std::vector<std::string>> CountsIn(const std::string& pattern, const std::string& text) {
  // Literal pieces between "%N"; each value runs to the next piece, the last piece ends the text.
  std::vector<std::string> pieces(1);
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
      pieces.emplace_back();
      ++i;
    } else {
      pieces.back() += pattern[i];
    }
  }
  if (text.compare(0, pieces[0].size(), pieces[0]) != 0) return std::nullopt;
  std::vector<std::string> values;
  size_t at = pieces[0].size();
  for (size_t p = 1; p < pieces.size(); ++p) {
    const std::string& piece = pieces[p];
    const size_t end = p + 1 == pieces.size() ? text.size() - std::min(text.size(), piece.size())
                                              : text.find(piece, at);
    if (end == std::string::npos || end < at || text.compare(end, piece.size(), piece) != 0)
      return std::nullopt;
    values.push_back(text.substr(at, end - at));
    at = end + piece.size();
  }
  for (size_t v = 1; v < values.size(); ++v)
    if (values[v].empty() || values[v].find_first_not_of("0123456789") != std::string::npos)
      return std::nullopt;
  return values;
}

}  // namespace

std::string ShownLastClean(const std::string& lastClean, const Wording& words) {
  for (Phrase id : {Phrase::RepairLastCleanNotAll, Phrase::RepairLastClean}) {
    const auto values = CountsIn(English()[id], lastClean);
    if (!values) continue;
    const auto at = [&](size_t i) {
      return i < values->size() ? std::string_view((*values)[i]) : std::string_view();
    };
    return words.Say(id, {at(0), at(1), at(2)});
  }
  return lastClean;
}

std::string MakeFixStatusText(size_t fixed, size_t failed, const Wording& words) {
  if (failed == 0) return words.Say(Phrase::RepairFinished, {std::to_string(fixed)});
  return words.Say(Phrase::RepairFinishedNotAll, {std::to_string(fixed), std::to_string(failed)});
}

RepairResult FixErrors(IssueList& list, platform::Platform& platform,
                       const RepairSettings& settings, RepairPrompts& prompts) {
  RepairResult result;
  const Wording& words = *settings.words;
  try {
    if (list.Count() > 0 && !list.filtered) {
      result.error = words[Phrase::RepairListNotFiltered];
      prompts.ShowError(result.error);
      return result;
    }
    const std::string& folder = settings.outputDirectory;
    if (folder.empty()) {
      result.error = words[Phrase::RepairNoBackupFolder];
      prompts.ShowError(result.error);
      return result;
    }
    if (!platform::FolderExists(platform.files, folder)) {
      if (!prompts.AskYesNo(words.Say(Phrase::RepairFolderQuestion, {folder}))) return result;
      if (!platform.files.CreateDirectories(folder)) {
        result.error = words.Say(Phrase::RepairCannotCreateFolder, {folder});
        prompts.ShowError(result.error);
        return result;
      }
    }
    if (list.Count() == 0) return result;

    const uint8_t code = settings.osVersionCode;
    if (settings.createRestorePoint && code >= 9 && code <= 12 && !prompts.RunRestorePointDialog())
      return result;

    RepairRun run(list, platform, prompts, result, MakeBackupFileName(platform.system, folder), words);
    run.Run();
    if (!result.error.empty()) return result;
    result.lastClean = MakeLastClean(platform.system, result.fixed, result.failed);
    if (result.stopped) {
      result.statusText = words.Say(Phrase::RepairStoppedStatus,
                                    {std::to_string(result.fixed), std::to_string(result.failed)});
      return result;
    }
    result.statusText = MakeFixStatusText(result.fixed, result.failed, words);
    result.completed = true;
  } catch (const std::exception& e) {
    result.error = e.what();
  }
  return result;
}

}  // namespace tallowin
