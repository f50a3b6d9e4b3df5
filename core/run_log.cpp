#include "core/run_log.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <utility>

#include "core/fix_report.h"

namespace tallowin {
namespace {

using Json = nlohmann::json;

bool ParseIsoLocalTime(const std::string& text, platform::LocalTime& time) {
  platform::LocalTime t;
  char end = 0;
  if (text.size() != 19 ||
      std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &t.year, &t.month, &t.day, &t.hour,
                  &t.minute, &t.second, &end) != 6)
    return false;
  time = t;
  return true;
}

size_t Count(const Json& value) { return value.get<size_t>(); }

// The record of one parsed line; false (with `why`) when a member is missing or of the
// wrong kind.
bool RecordFromJson(const Json& json, RunRecord& record, std::string& why) {
  const auto fail = [&why](std::string reason) {
    why = std::move(reason);
    return false;
  };
  if (!json.is_object()) return fail("not a JSON object");
  const auto text = [&](const char* name, std::string& out) {
    const auto it = json.find(name);
    if (it == json.end() || !it->is_string()) return fail(std::string("no text \"") + name + "\"");
    out = it->get<std::string>();
    return true;
  };
  const auto number = [&](const char* name, size_t& out) {
    const auto it = json.find(name);
    if (it == json.end() || !it->is_number_unsigned()) return fail(std::string("no count \"") + name + "\"");
    out = Count(*it);
    return true;
  };
  size_t status = 0;
  platform::LocalTime unused;
  if (!text("started", record.started) || !text("ended", record.ended) ||
      !number("exit_status", status) || !number("found", record.found) ||
      !number("removed", record.removed) || !number("not_removed", record.notRemoved))
    return false;
  if (!ParseIsoLocalTime(record.started, unused) || !ParseIsoLocalTime(record.ended, unused))
    return fail("a time that is not YYYY-MM-DDTHH:MM:SS");
  if (status > 255) return fail("an exit status above 255");
  record.exitStatus = static_cast<int>(status);
  const auto backup = json.find("backup_file");
  if (backup != json.end() && backup->is_string()) record.backupFile = backup->get<std::string>();
  const auto reasons = json.find("reasons");
  if (reasons != json.end() && reasons->is_array()) {
    for (const Json& reason : *reasons)
      if (reason.is_string()) record.reasons.push_back(reason.get<std::string>());
  }
  return true;
}

// The log's lines without their line ends; an empty last piece is no line.
std::vector<std::string_view> Lines(std::string_view text) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

}  // namespace

std::string IsoLocalTime(const platform::LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string RunStatusMeaning(int exitStatus) {
  switch (exitStatus) {
    case kRepairOnceDone: return "every finding was removed, or there was none";
    case kRepairOnceNotRepaired: return "the repair did not run or stopped on an error";
    case kRepairOnceNotAllRemoved: return "some findings could not be removed";
    case kRepairOnceScanStopped: return "the scan was stopped: nothing was repaired";
    case kRepairOnceScanFailed: return "the findings could not be filtered: nothing was repaired";
    case kRepairOnceAlreadyRunning: return "Tallowin was already running: nothing was done";
    default: return "exit status " + std::to_string(exitStatus);
  }
}

RunRecord MakeRunRecord(const std::string& started, const std::string& ended, int exitStatus,
                        size_t found, const RepairResult* repair) {
  RunRecord record;
  record.started = started;
  record.ended = ended;
  record.exitStatus = exitStatus;
  record.found = found;
  if (repair == nullptr) return record;
  record.removed = repair->fixed;
  record.notRemoved = repair->failed;
  record.backupFile = repair->backupFile;
  for (const RowProblem& problem : repair->problems) {
    if (record.reasons.size() == kRunReasonsKept) break;
    record.reasons.push_back(problem.detail.empty() ? problem.issue.key : problem.detail);
  }
  if (!repair->error.empty() && record.reasons.size() < kRunReasonsKept)
    record.reasons.push_back(repair->error);
  return record;
}

std::string RunRecordLine(const RunRecord& record) {
  nlohmann::ordered_json json;
  json["started"] = record.started;
  json["ended"] = record.ended;
  json["exit_status"] = record.exitStatus;
  json["meaning"] = RunStatusMeaning(record.exitStatus);
  json["found"] = record.found;
  json["removed"] = record.removed;
  json["not_removed"] = record.notRemoved;
  json["reasons"] = record.reasons;
  json["backup_file"] = record.backupFile.empty() ? Json(nullptr) : Json(record.backupFile);
  return json.dump(-1, ' ', false, Json::error_handler_t::replace);
}

RunLog ParseRunLog(std::string_view text) {
  RunLog log;
  const std::vector<std::string_view> lines = Lines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].find_first_not_of(" \t") == std::string_view::npos) continue;
    const Json json = Json::parse(lines[i], nullptr, false);
    RunRecord record;
    std::string why = "not JSON (damaged, or cut short)";
    if (!json.is_discarded() && RecordFromJson(json, record, why))
      log.records.push_back(std::move(record));
    else
      log.notes.push_back("line " + std::to_string(i + 1) + " skipped: " + why);
  }
  return log;
}

std::string RunLogPath(const std::string& folder) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + kRunLogName;
}

RunLog ReadRunLog(platform::FileSystem& files, const std::string& folder) {
  std::string text;
  if (!platform::FileExists(files, RunLogPath(folder))) return {};
  if (!files.ReadFile(RunLogPath(folder), text)) {
    RunLog log;
    log.notes.push_back(RunLogPath(folder) + " cannot be read");
    return log;
  }
  return ParseRunLog(text);
}

std::string AppendRunRecord(platform::FileSystem& files, const std::string& folder,
                            const RunRecord& record) {
  const std::string path = RunLogPath(folder);
  if (!platform::FolderExists(files, folder) && !files.CreateDirectories(folder))
    return "cannot create the folder " + folder;
  std::string old;
  if (platform::FileExists(files, path) && !files.ReadFile(path, old)) return "cannot read " + path;
  // Kept as they are, damaged ones too: what cannot be read now may be looked at later.
  std::vector<std::string_view> lines;
  for (const std::string_view line : Lines(old))
    if (line.find_first_not_of(" \t") != std::string_view::npos) lines.push_back(line);
  const size_t skip = lines.size() >= kRunLogKept ? lines.size() - (kRunLogKept - 1) : 0;
  std::string text;
  for (size_t i = skip; i < lines.size(); ++i) text.append(lines[i]).append("\r\n");
  text += RunRecordLine(record) + "\r\n";

  const std::string fresh = path + ".new";
  (void)files.RemoveFileWithReason(fresh);  // left by a run stopped before its replace
  std::unique_ptr<platform::WritableFile> file;
  if (files.CreateNewFile(fresh, file) != platform::kSuccess) return "cannot create " + fresh;
  const bool written = file->Append(text) && file->Flush();
  file.reset();
  if (!written || !files.ReplaceFile(fresh, path)) {
    (void)files.RemoveFileWithReason(fresh);
    return "cannot write " + path;
  }
  return {};
}

std::string LastRunStatusText(const RunRecord& record, platform::System& system) {
  platform::LocalTime ended;
  const std::string when = ParseIsoLocalTime(record.ended, ended) ? system.FormatDateTime(ended) : record.ended;
  std::string text = "Last automatic repair: " + when + ", " + std::to_string(record.removed) +
                     " removed, " + std::to_string(record.notRemoved) + " not removed";
  if (record.exitStatus != kRepairOnceDone && record.exitStatus != kRepairOnceNotAllRemoved)
    text += " (" + RunStatusMeaning(record.exitStatus) + ")";
  return text;
}

}  // namespace tallowin
