#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli/commands.h"
#include "app/cli/console.h"
#include "core/code_list.h"
#include "platform/reg_global.h"
#include "platform/win32/com_initialization.h"

namespace {

using namespace tallowin;
using namespace tallowin::cli;

constexpr const char* kUsage =
    "usage: tallowin-cli scan [--codes LIST] [--no-filter] [--format text|json]"
    " [--wow64 check|skip] [--why]\n"
    "       tallowin-cli resolve TEXT [--suffix S] [--dirs] [--wow64 check|skip] [--why]\n"
    "       tallowin-cli fix [--codes LIST] [--yes] [--format text|json]"
    " [--wow64 check|skip]\n"
    "       tallowin-cli backups [--folder DIR]\n"
    "       tallowin-cli restore FILE|NAME\n"
    "       tallowin-cli schedule [off | daily --at HH:MM | weekly DAY --at HH:MM] [--xml]"
    " [--format text|json]\n"
    "       tallowin-cli runs [--folder DIR] [--format text|json]\n"
    "       tallowin-cli --version\n";

constexpr const char* kHelp =
    "\n"
    "  scan      scan the registry and print the findings, one per line\n"
    "            --codes LIST  category codes and ranges, e.g. 1-4,15 (default 1-17)\n"
    "            --no-filter   skip the post-scan filter and the ignore list\n"
    "            --format      text: Problem  ^^^  Data  ^^^  Registry key; json: one\n"
    "                          object per line with problem, data, key and kind\n"
    "            --wow64       on 64-bit Windows: check both registry views and the real\n"
    "                          system folder (check), or the 32-bit view alone (skip);\n"
    "                          default: the Check64Bit setting (on when missing)\n"
    "            --why         why each finding is listed, as the machine is now: a\n"
    "                          \"why\" member, or an indented line after the row\n"
    "  resolve   print broken or ok: the verdict of the file-reference test on TEXT;\n"
    "            --why adds each place it looked at, what it found, and what that means\n"
    "  fix       scan, then back up and remove every finding (--yes answers Yes);\n"
    "            --format json prints one object per finding with its outcome\n"
    "            (deleted, already gone, changed since the scan, refused, failed),\n"
    "            the reason when it was not deleted, and its backup file\n"
    "  backups   list the backup files of a folder (default: the backup folder)\n"
    "  restore   import a backup file and check that everything came back; a bare NAME\n"
    "            is a file of the backup folder, and only a file there is then deleted\n"
    "  schedule  show the scheduled repair (Tallowin.exe -repaironce in Windows' Task\n"
    "            Scheduler, task \"Tallowin scheduled repair\") and its next run; off,\n"
    "            daily or weekly DAY (sun ... sat) with --at HH:MM change it; --xml\n"
    "            prints the task definition instead (for schtasks /create /xml)\n"
    "  runs      list the records of the unattended runs (Tallowin.exe -repaironce) kept\n"
    "            in the backup folder (or DIR): times, exit status, counts, backup file\n"
    "\n"
    "Settings.dat beside the program is read as the main program reads it.\n"
    "Exit status: 0 done, 1 failed or refused, 2 bad arguments, 3 fix done but some\n"
    "findings were not removed, 130 stopped by Ctrl+C.\n";

int UsageError(const std::string& message) {
  WriteText(stderr, "tallowin-cli: " + message + "\n" + kUsage);
  return kExitUsage;
}

// CLI11 reports through exceptions; none leaves this function.
int Main(std::vector<std::string> arguments) {
  CLI::App app{"Tallowin registry cleaner, console front end", "tallowin-cli"};
  app.set_help_flag();
  app.set_help_all_flag();
  bool help = false, version = false;
  app.add_flag("-h,--help", help);
  app.add_flag("--version", version);
  app.require_subcommand(0, 1);

  auto codeCheck = [](const std::string& text) {
    std::vector<std::string> codes;
    std::string error;
    return ParseCodeList(text, codes, error) ? std::string() : error;
  };

  std::string scanCodes = "1-17", format = "text";
  bool noFilter = false, stats = false;
  CLI::App* scan = app.add_subcommand("scan");
  scan->add_option("--codes", scanCodes)->check(codeCheck);
  scan->add_flag("--no-filter", noFilter);
  scan->add_option("--format", format)->check(CLI::IsMember({"text", "json"}));
  scan->add_flag("--stats", stats)->group("");
  const auto wow64Check = CLI::IsMember({"check", "skip"});
  std::string scanWow64, resolveWow64, fixWow64;
  scan->add_option("--wow64", scanWow64)->check(wow64Check);
  bool scanWhy = false;
  scan->add_flag("--why", scanWhy);

  ResolveArgs resolveArgs;
  CLI::App* resolve = app.add_subcommand("resolve");
  resolve->add_option("TEXT", resolveArgs.text)->required();
  resolve->add_option("--suffix", resolveArgs.suffix);
  resolve->add_flag("--dirs", resolveArgs.dirs);
  resolve->add_option("--wow64", resolveWow64)->check(wow64Check);
  resolve->add_flag("--why", resolveArgs.why);

  std::string fixCodes = "1-17";
  bool yes = false;
  CLI::App* fix = app.add_subcommand("fix");
  fix->add_option("--codes", fixCodes)->check(codeCheck);
  fix->add_flag("--yes", yes);
  std::string fixFormat = "text";
  fix->add_option("--format", fixFormat)->check(CLI::IsMember({"text", "json"}));
  fix->add_option("--wow64", fixWow64)->check(wow64Check);
  bool fixStats = false;
  fix->add_flag("--stats", fixStats)->group("");

  std::string folder;
  CLI::App* backups = app.add_subcommand("backups");
  backups->add_option("--folder", folder);

  RestoreArgs restoreArgs;
  CLI::App* restore = app.add_subcommand("restore");
  restore->add_option("FILE", restoreArgs.file)->required();
  restore->add_flag("--stats", restoreArgs.stats)->group("");

  std::vector<std::string> scheduleWords;
  std::string scheduleAt, scheduleFormat = "text";
  bool scheduleXml = false;
  CLI::App* schedule = app.add_subcommand("schedule");
  schedule->add_option("WORDS", scheduleWords);
  schedule->add_option("--at", scheduleAt);
  schedule->add_flag("--xml", scheduleXml);
  schedule->add_option("--format", scheduleFormat)->check(CLI::IsMember({"text", "json"}));

  RunsArgs runsArgs;
  std::string runsFormat = "text";
  CLI::App* runs = app.add_subcommand("runs");
  runs->add_option("--folder", runsArgs.folder);
  runs->add_option("--format", runsFormat)->check(CLI::IsMember({"text", "json"}));

  try {
    // CLI11 takes the arguments last first, without the program's name.
    if (!arguments.empty()) arguments.erase(arguments.begin());
    std::reverse(arguments.begin(), arguments.end());
    app.parse(arguments);
  } catch (const CLI::ParseError& e) {
    return UsageError(e.what());
  }

  if (help) {
    std::printf("%s%s", kUsage, kHelp);
    return kExitOk;
  }
  if (version) {
    if (!app.get_subcommands().empty()) return UsageError("--version takes no command");
    std::printf("%s %s\n", kProductName, kVersionText);
    return kExitOk;
  }

  const auto wow64Mode = [](const std::string& text) {
    if (text.empty()) return Wow64Mode::Setting;
    return text == "check" ? Wow64Mode::Check : Wow64Mode::Skip;
  };
  InstallInterruptHandler();
  BufferStandardOutput();
  std::string error;
  if (scan->parsed()) {
    ScanArgs args;
    if (!ParseCodeList(scanCodes, args.codes, error)) return UsageError(error);
    args.filter = !noFilter;
    args.format = format == "json" ? Format::Json : Format::Text;
    args.stats = stats;
    args.wow64 = wow64Mode(scanWow64);
    args.why = scanWhy;
    return RunScan(args);
  }
  if (resolve->parsed()) {
    resolveArgs.wow64 = wow64Mode(resolveWow64);
    return RunResolve(resolveArgs);
  }
  if (fix->parsed()) {
    FixArgs args;
    if (!ParseCodeList(fixCodes, args.codes, error)) return UsageError(error);
    args.yes = yes;
    args.format = fixFormat == "json" ? Format::Json : Format::Text;
    args.wow64 = wow64Mode(fixWow64);
    args.stats = fixStats;
    return RunFix(args);
  }
  if (backups->parsed()) {
    if (backups->count("--folder") > 0 && folder.empty()) return UsageError("--folder: empty folder");
    return RunBackups(folder);
  }
  if (restore->parsed()) {
    if (restoreArgs.file.empty()) return UsageError("FILE: empty file name");
    return RunRestore(restoreArgs);
  }
  if (schedule->parsed()) {
    ScheduleArgs args;
    std::optional<std::string> at;
    if (schedule->count("--at") > 0) at = scheduleAt;
    if (!ParseScheduleWords(scheduleWords, at, args.change, error)) return UsageError(error);
    args.xml = scheduleXml;
    args.format = scheduleFormat == "json" ? Format::Json : Format::Text;
    return RunSchedule(args);
  }
  if (runs->parsed()) {
    if (runs->count("--folder") > 0 && runsArgs.folder.empty()) return UsageError("--folder: empty folder");
    runsArgs.format = runsFormat == "json" ? Format::Json : Format::Text;
    return RunRuns(runsArgs);
  }
  return UsageError("no command given");
}

}  // namespace

int main() {
  const tallowin::platform::win32::ComInitialization com(
      tallowin::platform::win32::ComThreading::Multithreaded);
  try {
    return Main(Utf8Arguments());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "tallowin-cli: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "tallowin-cli: unexpected failure\n");
  }
  return kExitFailed;
}
