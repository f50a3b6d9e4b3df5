#pragma once
// The commands of tallowin-cli. Each returns the process exit status.

#include <optional>
#include <string>
#include <vector>

#include "core/schedule.h"

namespace tallowin::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;   // the command ran but could not do its work
inline constexpr int kExitUsage = 2;    // bad arguments
inline constexpr int kExitNotAllRemoved = 3;  // fix: some selected rows were not removed
inline constexpr int kExitStopped = 130;  // Ctrl+C ended the scan or the repair

enum class Format { Text, Json };

// --wow64: both registry views and the real system folder under WOW64 (check), today's
// 32-bit view alone (skip), or what the Check64Bit setting says.
enum class Wow64Mode { Setting, Check, Skip };

struct ScanArgs {
  std::vector<std::string> codes;
  bool filter = true;
  Format format = Format::Text;
  bool stats = false;  // peak memory on stderr, for the benchmark
  Wow64Mode wow64 = Wow64Mode::Setting;
  bool why = false;  // each row's reason: a "why" member, or an indented second line
};

struct ResolveArgs {
  std::string text;
  std::string suffix;
  bool dirs = false;
  Wow64Mode wow64 = Wow64Mode::Setting;
  bool why = false;  // after the verdict, the steps of the test and their answers
};

struct FixArgs {
  std::vector<std::string> codes;
  bool yes = false;
  Format format = Format::Text;
  Wow64Mode wow64 = Wow64Mode::Setting;
  bool stats = false;  // scan and repair times and registry calls on stderr
};

struct RestoreArgs {
  std::string file;    // a path, or a bare name in the backup folder
  bool stats = false;  // time and peak memory on stderr, for tests and the benchmark
};

struct ScheduleArgs {
  std::optional<RepairSchedule> change;  // empty: show the schedule
  bool xml = false;  // print the task definition instead of registering it
  Format format = Format::Text;
};

struct RunsArgs {
  std::string folder;  // empty: the backup folder of the settings
  Format format = Format::Text;
};

int RunScan(const ScanArgs& args);
int RunResolve(const ResolveArgs& args);
int RunFix(const FixArgs& args);
// An empty folder lists the backup folder of the settings.
int RunBackups(const std::string& folder);
int RunRestore(const RestoreArgs& args);
// Shows, changes or prints the task definition of the scheduled repair.
int RunSchedule(const ScheduleArgs& args);
// Lists the records of the unattended runs, oldest first.
int RunRuns(const RunsArgs& args);

}  // namespace tallowin::cli
