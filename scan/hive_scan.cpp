#include <algorithm>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/registry.h"
#include "platform/registry_view.h"
#include "platform/text.h"
#include "scan/scan_task.h"

namespace tallowin {

namespace {

// Keys that other categories cover or whose paths must not be judged; compared whole, in
// any case.
constexpr std::string_view kLocalMachineSkips[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDlls",
    "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "Software\\Microsoft\\Windows\\Help",
    "Software\\Microsoft\\Windows\\Html Help",
    "Software\\Classes\\Applications",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Installer\\Folders",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Management\\ARPCache",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Paths\\path1",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Paths\\path2",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Paths\\path3",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Cache\\Paths\\path4",
    "SOFTWARE\\Microsoft\\Office\\Delivery\\SourceEngine\\Downloads",
};

constexpr std::string_view kCurrentUserSkips[] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
    "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "AppEvents\\Schemes\\Apps",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU",
};

// Exact substrings, NT 6.x other than 6.1 only.
constexpr std::string_view kLocalMachineFragments[] = {
    "Software\\Microsoft\\PowerShell\\3",
    "Software\\Microsoft\\Speech\\Voices\\Tokens",
    "Software\\Microsoft\\Windows\\CurrentVersion\\ShellCompatibility\\InboxApp",
};
constexpr std::string_view kImmersiveShellFragment =
    "Software\\Microsoft\\Windows\\CurrentVersion\\ImmersiveShell";

constexpr std::string_view kNestedWow6432Node = "Software\\Wow6432Node\\Wow6432Node";
constexpr std::string_view kNestedNode = "Wow6432Node\\Wow6432Node";

// Windows itself nests keys at most 512 levels deep.
constexpr int kMaxDepth = 512;

bool EqualsAnyNoCase(std::string_view path, const auto& list) {
  for (std::string_view entry : list)
    if (EqualsNoCase(path, entry)) return true;
  return false;
}

bool ContainsAny(std::string_view path, const auto& list) {
  for (std::string_view entry : list)
    if (path.find(entry) != std::string_view::npos) return true;
  return false;
}

// One key as the reader hands it to the judge: its path and its string values (the only
// ones judged), each as read, for the row's stamp.
struct KeyRecord {
  std::string path;
  std::vector<platform::RegValue> values;

  size_t Bytes() const {
    size_t bytes = sizeof(KeyRecord) + path.size();
    for (const platform::RegValue& value : values)
      bytes += sizeof(platform::RegValue) + value.name.size() + value.data.size();
    return bytes;
  }
};

// Returns false to end the walk.
using KeySink = std::function<bool(KeyRecord&&)>;

// The registry side of the walk: opens each key, reads its values and sub-key names and
// closes it, depth first, holding only the sub-key name lists of the keys on the current
// path. Touches nothing of the scan but the registry and the stop flag.
class KeyTreeReader {
 public:
  KeyTreeReader(TScanTaskThread& thread, platform::Root root)
      : thread_(thread),
        registry_(thread.Registry()),
        root_(root),
        code_(thread.CurrentCode()),
        nt6_(thread.IsWindowsNt6),
        bothViews_(thread.Check64Bit) {}

  // False when the sink ended the walk.
  bool WalkAll(const std::vector<std::string>& paths, const KeySink& sink) {
    for (std::string path : paths) {
      if (thread_.StopRequested()) return true;
      if (!Walk(path, 0, sink)) return false;
    }
    return true;
  }

 private:
  // `keyPath` is extended for the sub-keys and restored before returning.
  bool Walk(std::string& keyPath, int depth, const KeySink& sink) {
    if (thread_.StopRequested() || depth > kMaxDepth || Skipped(keyPath)) return true;
    if (root_ == platform::Root::LocalMachine && StartsWithNoCase(keyPath, kNestedWow6432Node))
      return true;
    if (bothViews_ && ContainsNoCase(keyPath, kNestedNode)) return true;
    std::unique_ptr<platform::RegistryKey> key;
    std::vector<platform::RegValue> values;
    bool readable = false;
    if (!Open(keyPath, key, values, readable)) return true;

    // Values read before a failure are still judged; the rest of the key is not.
    KeyRecord record;
    record.path = keyPath;
    for (platform::RegValue& value : values)
      if (value.type == platform::kRegSz || value.type == platform::kRegExpandSz)
        record.values.push_back(std::move(value));
    std::vector<platform::RegValue>().swap(values);
    if (!sink(std::move(record))) return false;
    if (!readable) return true;

    std::vector<std::string> names;
    (void)key->SubKeyNames(names);  // names read before a failure are still walked
    const size_t length = keyPath.size();
    for (const std::string& name : names) {
      if (thread_.StopRequested()) return true;
      if (length != 0) keyPath += '\\';
      keyPath += name;
      const bool going = Walk(keyPath, depth + 1, sink);
      keyPath.resize(length);
      if (!going) return false;
    }
    return true;
  }

  // Opens the key and reads its values. In the 64-bit view a key is opened as itself
  // first: a link below the redirection node is a shared key's other name, examined at
  // its own path; any other link is followed, as the process view does.
  bool Open(const std::string& keyPath, std::unique_ptr<platform::RegistryKey>& key,
            std::vector<platform::RegValue>& values, bool& readable) {
    if (!bothViews_) {
      if (registry_.Open(root_, keyPath, platform::Access::Read, key) != platform::kSuccess)
        return false;
      readable = key->Values(values) == platform::kSuccess;
      return true;
    }
    if (registry_.OpenNoFollow(root_, keyPath, platform::Access::Read, key) != platform::kSuccess)
      return false;
    readable = key->Values(values) == platform::kSuccess;
    if (!IsLinkKey(values)) return true;
    if (platform::IsBelowRedirectionNode(root_, keyPath)) return false;
    values.clear();
    key.reset();
    if (registry_.Open(root_, keyPath, platform::Access::Read, key) != platform::kSuccess)
      return false;
    readable = key->Values(values) == platform::kSuccess;
    return true;
  }

  // A key opened as itself is a link when it holds its target as a REG_LINK value.
  static bool IsLinkKey(const std::vector<platform::RegValue>& values) {
    for (const platform::RegValue& value : values)
      if (value.type == platform::kRegLink && EqualsNoCase(value.name, "SymbolicLinkValue"))
        return true;
    return false;
  }

  bool Skipped(std::string_view keyPath) const {
    if (SkippedAsNamed(keyPath)) return true;
    // Both views' keys obey the rules: the 32-bit view's by the path it names them with.
    if (!bothViews_) return false;
    const std::string viewPath = platform::WithoutRedirectionNode(root_, keyPath);
    return viewPath.size() != keyPath.size() && SkippedAsNamed(viewPath);
  }

  bool SkippedAsNamed(std::string_view keyPath) const {
    if (code_ == 3) {
      if (EqualsAnyNoCase(keyPath, kLocalMachineSkips)) return true;
      if (nt6_ && ContainsAny(keyPath, kLocalMachineFragments)) return true;
    }
    if (code_ == 2 && EqualsAnyNoCase(keyPath, kCurrentUserSkips)) return true;
    return nt6_ && keyPath.find(kImmersiveShellFragment) != std::string_view::npos;
  }

  const TScanTaskThread& thread_;
  platform::Registry& registry_;
  const platform::Root root_;
  const int code_;
  const bool nt6_;
  const bool bothViews_;
};

// The scan thread's side: shows each key and judges its values in the order read.
class KeyJudge {
 public:
  KeyJudge(TScanTaskThread& thread, std::string rootName, const std::string& driveLetters,
           const std::string& requiredSuffix, FindingRule rule)
      : thread_(thread),
        rootName_(std::move(rootName)),
        driveLetters_(driveLetters),
        requiredSuffix_(requiredSuffix),
        rule_(rule) {}

  // False once a stop was requested.
  bool Judge(const KeyRecord& record) {
    if (thread_.StopRequested()) return false;
    thread_.ShowCurrentKey(record.path);
    for (const platform::RegValue& value : record.values) {
      if (thread_.StopRequested()) return false;
      TextFromRegData(value.data, text_);
      if (thread_.ResolveFileReference(text_, requiredSuffix_, true, driveLetters_))
        Report(record.path, value);
    }
    return true;
  }

 private:
  void Report(const std::string& keyPath, const platform::RegValue& value) {
    std::string location = rootName_;
    location += '\\';
    location += keyPath;
    if (value.name.find('\\') != std::string::npos) {
      thread_.AddIssue(rule_, value.name, location, ekValueInData, value);
    } else {
      location += '\\';
      location += value.name;
      thread_.AddIssue(rule_, text_, location, ekValueInKeyPath, value);
    }
  }

  TScanTaskThread& thread_;
  const std::string rootName_;  // upper-cased
  const std::string& driveLetters_;
  const std::string& requiredSuffix_;
  const FindingRule rule_;
  std::string text_;  // the value being judged, reused across values
};

// Keys read but not yet judged, bounded by count and size; a batch always fits an empty
// queue, so one key larger than the bound still passes. Each side wakes the other only
// when that one waits: under Wine every wake is a round trip to the wineserver, which
// also serves the registry.
class KeyRecordQueue {
 public:
  explicit KeyRecordQueue(const TScanTaskThread::ReadAheadLimits& limits)
      : maxRecords_(limits.records), maxBytes_(limits.bytes) {}

  // The reader's batch size: a share of the bound, so the two sides rarely meet.
  size_t BatchRecords() const { return std::max<size_t>(1, maxRecords_ / 8); }
  size_t BatchBytes() const { return std::max<size_t>(1, maxBytes_ / 8); }

  // Reader: waits for room. False once the judge has closed the queue.
  bool Put(std::vector<KeyRecord>& batch, size_t bytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!closed_ && !records_.empty() &&
           (records_.size() + batch.size() > maxRecords_ || bytes_ + bytes > maxBytes_)) {
      readerWaits_ = true;
      changed_.wait(lock);
      readerWaits_ = false;
    }
    if (closed_) return false;
    for (KeyRecord& record : batch) records_.push_back(std::move(record));
    batch.clear();
    bytes_ += bytes;
    if (judgeWaits_) changed_.notify_all();
    return true;
  }

  // Reader: nothing more comes; `failure` is what ended it early, if anything did.
  void Finish(std::exception_ptr failure) {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    failure_ = std::move(failure);
    if (judgeWaits_) changed_.notify_all();
  }

  // Judge: takes every queued record (`out` must be empty). False when the reader has
  // finished and everything was taken.
  bool Take(std::vector<KeyRecord>& out) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (records_.empty() && !finished_) {
      judgeWaits_ = true;
      changed_.wait(lock);
      judgeWaits_ = false;
    }
    if (records_.empty()) return false;
    out.swap(records_);
    bytes_ = 0;
    if (readerWaits_) changed_.notify_all();
    return true;
  }

  // Judge: takes no more; a waiting reader gives up.
  void Close() {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    changed_.notify_all();
  }

  std::exception_ptr Failure() {
    std::lock_guard<std::mutex> lock(mutex_);
    return failure_;
  }

 private:
  const size_t maxRecords_;
  const size_t maxBytes_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<KeyRecord> records_;
  size_t bytes_ = 0;
  bool readerWaits_ = false;
  bool judgeWaits_ = false;
  bool finished_ = false;
  bool closed_ = false;
  std::exception_ptr failure_;
};

// The reader's side of the queue: collects records into batches.
class KeyBatcher {
 public:
  explicit KeyBatcher(KeyRecordQueue& queue) : queue_(queue) {}
  bool Add(KeyRecord&& record) {
    bytes_ += record.Bytes();
    batch_.push_back(std::move(record));
    if (batch_.size() < queue_.BatchRecords() && bytes_ < queue_.BatchBytes()) return true;
    return Flush();
  }
  bool Flush() {
    if (batch_.empty()) return true;
    const size_t bytes = bytes_;
    bytes_ = 0;
    return queue_.Put(batch_, bytes);
  }

 private:
  KeyRecordQueue& queue_;
  std::vector<KeyRecord> batch_;
  size_t bytes_ = 0;
};

}  // namespace

void TScanTaskThread::ScanKeyTree(const std::string& rootName, const std::string& keyPath,
                                  const std::string& driveLetters,
                                  const std::string& requiredSuffix, FindingRule rule) {
  const std::optional<platform::Root> root = platform::RootFromName(rootName);
  if (!root) return;
  const std::vector<std::string> paths = KeyPaths(*root, keyPath, /*descending=*/true);
  KeyTreeReader reader(*this, *root);
  KeyJudge judge(*this, AsciiUpper(rootName), driveLetters, requiredSuffix, rule);
  const auto judgeHere = [&judge](KeyRecord&& record) { return judge.Judge(record); };
  if (ReadAhead.records == 0) {
    reader.WalkAll(paths, judgeHere);
    return;
  }

  // The registry is read on a thread of its own while this one judges: the file probes
  // of the judging then overlap the registry calls.
  KeyRecordQueue queue(ReadAhead);
  std::thread readerThread;
  try {
    readerThread = std::thread([&queue, &reader, &paths] {
      std::exception_ptr failure;
      KeyBatcher batcher(queue);
      try {
        reader.WalkAll(paths, [&batcher](KeyRecord&& r) { return batcher.Add(std::move(r)); });
      } catch (...) {
        failure = std::current_exception();
      }
      // The keys read before a failure are judged, as they would have been here.
      try {
        (void)batcher.Flush();
      } catch (...) {
        if (!failure) failure = std::current_exception();
      }
      queue.Finish(std::move(failure));
    });
  } catch (const std::system_error&) {
    reader.WalkAll(paths, judgeHere);  // no thread to be had: read and judge here
    return;
  }
  // Ends the reader on every way out, a stop and an exception included.
  struct ReaderJoin {
    KeyRecordQueue& queue;
    std::thread& thread;
    ~ReaderJoin() {
      queue.Close();
      thread.join();
    }
  } join{queue, readerThread};

  std::vector<KeyRecord> records;
  while (queue.Take(records)) {
    for (const KeyRecord& record : records)
      if (!judge.Judge(record)) return;
    records.clear();
  }
  // What ended the reader early ends the walk as it would have ended it here.
  if (std::exception_ptr failure = queue.Failure()) std::rethrow_exception(failure);
}

void TScanTaskThread::ScanClassesRoot() {
  SetCaption("Scanning: HKEY_CLASSES_ROOT");
  ScanKeyTree("HKEY_CLASSES_ROOT", "", DriveLetters, "", FindingRule::PathReference);
}

void TScanTaskThread::ScanCurrentUser() {
  SetCaption("Scanning: HKEY_CURRENT_USER");
  ScanKeyTree("HKEY_CURRENT_USER", "", DriveLetters, "", FindingRule::PathReference);
}

void TScanTaskThread::ScanLocalMachineSoftware() {
  SetCaption("Scanning: HKEY_LOCAL_MACHINE");
  ScanKeyTree("HKEY_LOCAL_MACHINE", "Software", DriveLetters, "", FindingRule::PathReference);
}

void TScanTaskThread::ScanUsers() {
  SetCaption("Scanning: HKEY_USERS");
  ScanKeyTree("HKEY_USERS", "", DriveLetters, "", FindingRule::PathReference);
}

void TScanTaskThread::ScanSoftwareLocations() {
  SetCaption("Scanning: Software Locations");
  ScanKeyTree("HKEY_LOCAL_MACHINE", "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths",
              DriveLetters, "", FindingRule::SoftwareLocation);
}

}  // namespace tallowin
