#include "app/cli/commands.h"

#include <windows.h>

#include <nlohmann/json.hpp>

#include <array>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/cli/console.h"
#include "app/cli/registry_stats.h"
#include "core/finding_reason.h"
#include "core/scan_session.h"
#include "core/settings.h"
#include "platform/forwarding_file_system.h"
#include "platform/reg_global.h"
#include "platform/win32/win32_platform.h"
#include "repair/repair_run.h"
#include "repair/restore.h"
#include "repair/restore_point.h"
#include "scan/file_probe_cache.h"

namespace tallowin::cli {

namespace {

constexpr const char* kColumnSeparator = "  ^^^  ";

void Error(const std::string& message) { WriteText(stderr, "tallowin-cli: " + message + "\n"); }

// Settings.dat beside the executable, read into OptionsSetting as the main window reads it.
struct SettingsFile {
  std::string exeDir;
  std::string path;
  std::unique_ptr<platform::IniFile> ini;

  explicit SettingsFile(const platform::Platform& platform)
      : exeDir(platform.system.ExecutableDirectory()),
        path(SettingsPath(exeDir)),
        ini(platform::win32::MakeIniFile(path)) {
    LoadSettingsForConsole(*ini, path, exeDir);
  }
  // "" or the error text.
  std::string Save() { return SaveSettingsForConsole(*ini, path, exeDir); }
};

bool Check64Bit(Wow64Mode mode, const TOptionsSetting& options) {
  return mode == Wow64Mode::Setting ? options.Check64Bit : mode == Wow64Mode::Check;
}

std::string TextLine(const Issue& issue) {
  return issue.problem + kColumnSeparator + issue.data + kColumnSeparator + issue.key;
}

// With `why`, each row's reason, derived from the machine as it is now. False when
// Ctrl+C stopped the printing (minutes with the reasons of a long list): the rows before
// it are printed whole.
bool PrintIssues(const IssueList& list, Format format, FindingExplainer* why) {
  std::atomic<bool> stop{false};
  OnInterrupt stopPrinting([&stop] { stop = true; });
  // The rows go out in large pieces: a console takes each write as one round trip.
  constexpr size_t kPiece = 1 << 16;
  std::string pending;
  const auto flush = [&] {
    WriteText(stdout, pending);
    pending.clear();
  };
  for (const Issue& issue : list.rows) {
    if (format == Format::Text) {
      pending += TextLine(issue) + "\n";
      if (why != nullptr) pending += "    why: " + why->Explain(issue) + "\n";
    } else {
      nlohmann::ordered_json line;
      line["problem"] = issue.problem;
      line["data"] = issue.data;
      line["key"] = issue.key;
      line["kind"] = static_cast<int>(issue.kind);
      if (why != nullptr) line["why"] = why->Explain(issue);
      pending += line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
    }
    if (pending.size() >= kPiece) flush();
    if (stop) break;
  }
  if (!pending.empty()) flush();
  std::fflush(stdout);
  return !stop;
}

// Runs one scan with Ctrl+C wired to Stop. Captions go to a terminal only.
ScanOutcome ScanWithInterrupt(const platform::Platform& platform, const TOptionsSetting& options,
                              const std::vector<std::string>& codes, bool filter,
                              Wow64Mode wow64, IssueList& list,
                              std::shared_ptr<KeptListings> keepListings = nullptr) {
  std::function<void(const std::string&)> onCaption;
  if (IsTerminal(stderr)) {
    onCaption = [](const std::string& caption) {
      WriteText(stderr, caption + "\n");
      std::fflush(stderr);
    };
  }
  ScanSession scan(platform, nullptr);
  OnInterrupt stopScan([&scan] { scan.Stop(); });

  ScanRequest request;
  request.codes = codes;
  request.filter = filter;
  request.ignoreRemoveDrives = options.IgnoreRemoveDrives;
  request.ignoreKeys = options.IgnoreKeys;
  request.ignoreKeyCount = options.IgnoreKeyCount;
  request.check64Bit = Check64Bit(wow64, options);
  request.keepListings = std::move(keepListings);
  return scan.Run(request, list, onCaption);
}

// The questions of the repair run, asked on the terminal or answered by --yes.
class ConsolePrompts : public RepairPrompts {
 public:
  ConsolePrompts(bool yes, platform::RestorePointService& restorePoint)
      : yes_(yes), restorePoint_(restorePoint) {}

  bool AskYesNo(const std::string& text) override {
    const bool answer = Ask(text);
    if (!answer) declined_ = true;
    return answer;
  }
  void ShowError(const std::string& text) override {
    Error(text);
    shownError_ = text;
  }
  bool RunRestorePointDialog() override {
    WriteText(stderr, "Creating Restore Point... Please wait...\n");
    RestorePointAnswer answer = CreateRestorePointAndAsk(restorePoint_, [this] {
      return AskYesNo(kRestorePointFailedQuestion);
    });
    change_ = std::move(answer.change);
    if (answer.result == ModalResult::Ok) return true;
    declined_ = true;
    return false;
  }
  bool StopRequested() override { return stop_.load(); }
  void RequestStop() { stop_ = true; }
  // Once the run is over: keeps or drops the restore point begun for it.
  void EndRestorePoint(const RepairResult& result) { (void)EndSystemChange(change_, result); }
  bool declined() const { return declined_; }
  const std::string& shownError() const { return shownError_; }

 private:
  bool Ask(std::string text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
    if (yes_) {
      WriteText(stderr, text + " Yes\n");
      return true;
    }
    return cli::AskYesNo(text);
  }

  bool yes_;
  platform::RestorePointService& restorePoint_;
  platform::SystemChange change_;  // cancelled if the run ends without EndRestorePoint
  bool declined_ = false;
  std::string shownError_;
  std::atomic<bool> stop_{false};
};

// One line per checked row: what became of it.
void PrintRowReports(const RepairResult& result, Format format) {
  for (const RowReport& row : result.rows) {
    if (format == Format::Json) {
      nlohmann::ordered_json line;
      line["problem"] = row.issue.problem;
      line["data"] = row.issue.data;
      line["key"] = row.issue.key;
      line["kind"] = static_cast<int>(row.issue.kind);
      line["outcome"] = OutcomeName(row.outcome);
      if (!row.reason.empty()) line["reason"] = row.reason;
      if (!row.backupFile.empty()) line["backup"] = row.backupFile;
      WriteText(stdout, line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    } else if (row.outcome != RepairOutcome::Deleted) {
      WriteText(stderr, std::string(OutcomeName(row.outcome)) + ": " + TextLine(row.issue) +
                            (row.reason.empty() ? "" : " [" + row.reason + "]") + "\n");
    }
  }
  std::fflush(stdout);
}

// The restore hint on the console: nothing to click, the import runs to its end.
class ConsoleHint : public CommandHint {
 public:
  // Shown while the editor runs (minutes for a large file), also to a log being read.
  void Show(const std::string& hintText) override {
    WriteText(stderr, hintText + "\n");
    std::fflush(stderr);
  }
  // Ctrl+C ends the registry editor, as the close box of the window's wait does.
  HintAction Poll() override { return WasInterrupted() ? HintAction::Stop : HintAction::Wait; }
};

// For --stats: counts the file-system probes and folder listings of a scan and the time
// spent in them, in every view.
class ProbeCountingFileSystem : public platform::ForwardingFileSystem {
 public:
  explicit ProbeCountingFileSystem(platform::FileSystem& inner)
      : ForwardingFileSystem(inner), inner_(inner), tallies_(std::make_shared<Tallies>()) {}

  long Find(std::string_view pattern, platform::FindEntry& entry) override {
    const Timer timer(tallies_->probes);
    return ForwardingFileSystem::Find(pattern, entry);
  }
  long QueryAttributes(std::string_view path, uint32_t& attributes) override {
    const Timer timer(tallies_->probes);
    return ForwardingFileSystem::QueryAttributes(path, attributes);
  }
  long List(std::string_view pattern, std::vector<platform::DirEntry>& entries) override {
    const Timer timer(tallies_->listings);
    return ForwardingFileSystem::List(pattern, entries);
  }
  platform::FileSystem& InView(platform::View view) override {
    platform::FileSystem& inner = inner_.InView(view);
    if (&inner == &inner_) return *this;
    std::unique_ptr<ProbeCountingFileSystem>& counting = views_[static_cast<size_t>(view)];
    if (!counting) counting.reset(new ProbeCountingFileSystem(inner, tallies_));
    return *counting;
  }

  unsigned long long probes() const { return tallies_->probes.count; }
  double seconds() const { return static_cast<double>(tallies_->probes.ticks) / Frequency(); }
  unsigned long long listings() const { return tallies_->listings.count; }
  double listingSeconds() const {
    return static_cast<double>(tallies_->listings.ticks) / Frequency();
  }

 private:
  struct Tally {
    unsigned long long count = 0;
    long long ticks = 0;
  };
  struct Tallies {
    Tally probes;
    Tally listings;
  };
  // The scan probes from one thread at a time: the cache serialises its misses.
  struct Timer {
    explicit Timer(Tally& tally) : tally_(tally) { QueryPerformanceCounter(&start_); }
    ~Timer() {
      LARGE_INTEGER end;
      QueryPerformanceCounter(&end);
      tally_.ticks += end.QuadPart - start_.QuadPart;
      ++tally_.count;
    }
    Tally& tally_;
    LARGE_INTEGER start_;
  };

  ProbeCountingFileSystem(platform::FileSystem& inner, std::shared_ptr<Tallies> tallies)
      : ForwardingFileSystem(inner), inner_(inner), tallies_(std::move(tallies)) {}

  static double Frequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
  }

  platform::FileSystem& inner_;
  std::shared_ptr<Tallies> tallies_;
  std::array<std::unique_ptr<ProbeCountingFileSystem>, 2> views_;  // by View, when asked for
};

}  // namespace

int RunScan(const ScanArgs& args) {
  platform::win32::Win32Machine machine;
  const platform::Platform& real = machine.platform();
  CountingRegistry countingRegistry(real.registry);
  ProbeCountingFileSystem countingFiles(real.files);
  const platform::Platform platform{args.stats ? countingRegistry : real.registry,
                                    args.stats ? countingFiles : real.files, real.system,
                                    real.processes, real.restorePoint};
  SettingsFile settings(platform);
  IssueList list;
  const ULONGLONG started = GetTickCount64();
  // With --why the reasons use again the folder listings of the scan that are still true.
  const auto listings = args.why ? std::make_shared<KeptListings>() : nullptr;
  const ScanOutcome outcome = ScanWithInterrupt(platform, OptionsSetting, args.codes, args.filter,
                                                args.wow64, list, listings);
  const ULONGLONG scanned = GetTickCount64();
  std::optional<FindingExplainer> why;
  if (args.why)
    why.emplace(platform, ReasonOptions{OptionsSetting.IgnoreRemoveDrives,
                                        Check64Bit(args.wow64, OptionsSetting), listings});
  const bool printed = PrintIssues(list, args.format, why ? &*why : nullptr);
  if (args.stats) {
    const MemoryFigures memory = ProcessMemory();
    std::fprintf(stderr,
                 "scan: %.2f s, %zu findings, %llu file-system probes taking %.2f s, "
                 "%llu folder listings taking %.2f s\n"
                 "peak working set: %llu KB; peak private bytes: %llu KB\n",
                 static_cast<double>(scanned - started) / 1000.0, list.Count(),
                 countingFiles.probes(), countingFiles.seconds(), countingFiles.listings(),
                 countingFiles.listingSeconds(), memory.peakWorkingSetKB, memory.peakPrivateKB);
    countingRegistry.Print(stderr, "scan");
  }
  if (!printed) {
    Error("stopped; only the findings before the stop are listed");
    return kExitStopped;
  }
  if (outcome == ScanOutcome::Failed) {
    Error("the findings could not be filtered; they are listed as found");
    return kExitFailed;
  }
  if (outcome == ScanOutcome::Stopped) {
    Error(args.filter ? "scan stopped; the findings before the stop are listed, filtered"
                      : "scan stopped; the findings before the stop are listed");
    return kExitStopped;
  }
  return kExitOk;
}

int RunResolve(const ResolveArgs& args) {
  platform::win32::Win32Machine machine;
  const platform::Platform& platform = machine.platform();
  SettingsFile settings(platform);
  ResolveRequest request;
  request.text = args.text;
  request.requiredSuffix = args.suffix;
  request.dirsAllowed = args.dirs;
  request.ignoreRemoveDrives = OptionsSetting.IgnoreRemoveDrives;
  request.check64Bit = Check64Bit(args.wow64, OptionsSetting);
  if (!args.why) {
    std::printf("%s\n", ResolveAsScanWould(platform, request) ? "broken" : "ok");
    return kExitOk;
  }
  const ReferenceTrace trace = TraceReference(platform, request);
  std::string text = trace.broken ? "broken\n" : "ok\n";
  for (const std::string& step : trace.steps) text += "  " + step + "\n";
  text += "  so: " + trace.reason + "\n";
  WriteText(stdout, text);
  return kExitOk;
}

int RunFix(const FixArgs& args) {
  if (!args.yes && !(IsTerminal(stdin) && IsTerminal(stderr))) {
    Error("fix asks its questions on a terminal and none is attached; run it in a terminal "
          "or pass --yes to answer Yes to every question. Nothing was changed.");
    return kExitFailed;
  }
  platform::win32::Win32Machine machine;
  const platform::Platform& real = machine.platform();
  CountingRegistry countingRegistry(real.registry);
  ProbeCountingFileSystem countingFiles(real.files);
  platform::Platform platform{args.stats ? countingRegistry : real.registry,
                              args.stats ? countingFiles : real.files, real.system,
                              real.processes, real.restorePoint};
  SettingsFile settings(platform);
  IssueList list;
  const ULONGLONG started = GetTickCount64();
  const ScanOutcome outcome =
      ScanWithInterrupt(platform, OptionsSetting, args.codes, /*filter=*/true,
                        args.wow64, list);
  const ULONGLONG scanned = GetTickCount64();
  if (args.stats) {
    std::fprintf(stderr,
                 "scan: %.2f s, %zu findings, %llu file-system probes taking %.2f s, "
                 "%llu folder listings taking %.2f s\n",
                 static_cast<double>(scanned - started) / 1000.0, list.Count(),
                 countingFiles.probes(), countingFiles.seconds(), countingFiles.listings(),
                 countingFiles.listingSeconds());
    countingRegistry.Print(stderr, "scan");
    countingRegistry.Reset();
  }
  if (outcome == ScanOutcome::Failed) {
    Error("the findings could not be filtered; nothing was changed");
    return kExitFailed;
  }
  if (outcome == ScanOutcome::Stopped || WasInterrupted()) {
    Error("stopped before the repair; nothing was changed");
    return kExitStopped;
  }

  // Ctrl+C now ends the repair before its next row: what was deleted is in the backup.
  const size_t found = list.Count();
  RepairSettings repairSettings;
  repairSettings.outputDirectory = OptionsSetting.OutputDirectory;
  repairSettings.createRestorePoint = OptionsSetting.CreateRP;
  repairSettings.osVersionCode = GetWindowsVersionCode(platform.system);
  ConsolePrompts prompts(args.yes, platform.restorePoint);
  RepairResult result;
  {
    OnInterrupt stopRepair([&prompts] { prompts.RequestStop(); });
    result = FixErrors(list, platform, repairSettings, prompts);
  }
  if (args.stats) {
    std::fprintf(stderr, "repair: %.2f s\n",
                 static_cast<double>(GetTickCount64() - scanned) / 1000.0);
    countingRegistry.Print(stderr, "repair");
  }
  prompts.EndRestorePoint(result);
  PrintRowReports(result, args.format);
  // With --format json the standard output holds JSON lines only; what a person reads
  // goes to the error stream, and a last object sums the run up.
  const bool json = args.format == Format::Json;
  std::FILE* say = json ? stderr : stdout;
  auto summary = [&](const char* status) {
    if (!json) return;
    nlohmann::ordered_json line;
    line["summary"] = status;
    line["text"] = result.statusText;
    line["fixed"] = result.fixed;
    line["already_gone"] = result.alreadyGone;
    line["not_removed"] = result.failed;
    if (!result.backupFile.empty()) line["backup"] = result.backupFile;
    WriteText(stdout, line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    std::fflush(stdout);
  };
  if (result.stopped) {
    OptionsSetting.LastClean = result.lastClean;
    const std::string saveError = settings.Save();
    if (!result.backupFile.empty()) WriteText(say, "Backup file: " + result.backupFile + "\n");
    WriteText(say, result.statusText + "\n");
    summary("stopped");
    if (!saveError.empty()) Error("warning: " + saveError);
    Error("stopped; the rows not reached stay, and everything deleted is in the backup");
    return kExitStopped;
  }
  if (!result.completed) {
    if (!result.backupFile.empty()) WriteText(say, "Backup file: " + result.backupFile + "\n");
    if (!result.error.empty()) {
      if (result.error != prompts.shownError()) Error(result.error);
      summary("failed");
    } else if (found == 0 && !prompts.declined()) {
      WriteText(say, "No findings; nothing to fix.\n");
      summary("nothing to fix");
      return kExitOk;
    } else {
      Error("the repair was not started; nothing was changed");
      summary("not started");
    }
    return kExitFailed;
  }

  OptionsSetting.LastClean = result.lastClean;
  const std::string saveError = settings.Save();
  if (result.backupFile.empty())
    WriteText(say, "No backup file was written.\n");
  else
    WriteText(say, "Backup file: " + result.backupFile + "\n");
  WriteText(say, result.statusText + "\n");
  summary("finished");
  // The repair is done and backed up; a settings file that cannot be written only loses
  // the "Last fix at" text.
  if (!saveError.empty()) Error("warning: " + saveError);
  return result.failed > 0 ? kExitNotAllRemoved : kExitOk;
}

int RunBackups(const std::string& folderArg) {
  platform::win32::Win32Machine machine;
  const platform::Platform& platform = machine.platform();
  SettingsFile settings(platform);
  const std::string folder = folderArg.empty() ? OptionsSetting.OutputDirectory : folderArg;
  std::vector<BackupFileRow> rows;
  if (!ListBackupFiles(platform.files, platform.system, folder, rows)) {
    Error(folder.empty() ? English()[Phrase::RepairNoBackupFolder] : folder + ": can not find the backup folder.");
    return kExitFailed;
  }
  for (const BackupFileRow& row : rows)
    WriteText(stdout, row.name + "\t" + row.dateText + "\t" + row.sizeText + "\n");
  return kExitOk;
}

int RunRestore(const RestoreArgs& args) {
  platform::win32::Win32Machine machine;
  platform::Platform platform = machine.platform();
  SettingsFile settings(platform);
  const std::string& folder = OptionsSetting.OutputDirectory;
  // A bare name is a backup of the backup folder, as `backups` lists them.
  const bool bareName = args.file.find_first_of("\\/:") == std::string::npos;
  const std::string given = bareName ? BackupFilePath(folder, args.file) : args.file;
  const std::string path = platform.files.FullPath(given).value_or(given);
  ConsoleHint hint;
  const ULONGLONG started = GetTickCount64();
  const RestoreOutcome outcome = RestoreBackupFile(platform, path, folder, hint);
  if (args.stats) {
    const MemoryFigures memory = ProcessMemory();
    std::fprintf(stderr,
                 "restore: %.2f s\n"
                 "peak working set: %llu KB; peak private bytes: %llu KB\n",
                 static_cast<double>(GetTickCount64() - started) / 1000.0,
                 memory.peakWorkingSetKB, memory.peakPrivateKB);
  }
  if (outcome.status == RestoreStatus::Stopped) {
    Error("stopped: the registry editor was ended; what it imported stays, and the file is kept: " + path);
    return kExitStopped;
  }
  if (outcome.status != RestoreStatus::Restored) {
    Error(outcome.message.empty() ? "nothing was restored; the file is kept: " + path
                                  : outcome.message);
    return kExitFailed;
  }
  WriteText(stdout, "Restored " + path + "\n");
  if (outcome.keptOutsideBackupFolder) {
    WriteText(stdout, "The file is kept: it lies outside the backup folder " + folder + ".\n");
    return kExitOk;
  }
  if (!outcome.fileDeleted) {
    Error(outcome.message);
    return kExitFailed;
  }
  return kExitOk;
}

}  // namespace tallowin::cli
