#include "core/run_log.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <deque>
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

// A non-blank line of the log and its number; `tooLong` for one left out unread.
struct LogLine {
  size_t number = 0;
  std::string text;
  bool tooLong = false;
};

// The log's last `keep` non-blank lines, read piece by piece: a log grown huge (damaged,
// or written by something else) costs no more memory than those lines, and a line longer
// than kRunLogLineBytes is left out unread. `dropped` counts the lines before them.
bool ReadLogLines(platform::FileSystem& files, const std::string& path, size_t keep,
                  std::deque<LogLine>& lines, size_t& dropped) {
  const std::unique_ptr<platform::FileReader> file = files.OpenForReading(path);
  if (!file) return false;
  LogLine current;
  const auto finish = [&] {
    ++current.number;
    if (!current.text.empty() && current.text.back() == '\r') current.text.pop_back();
    if (current.tooLong || current.text.find_first_not_of(" \t") != std::string::npos) {
      lines.push_back(current);
      if (lines.size() > keep) {
        lines.pop_front();
        ++dropped;
      }
    }
    current.text.clear();
    current.tooLong = false;
  };
  std::string buffer(64 * 1024, '\0');
  for (;;) {
    size_t read = 0;
    if (!file->Read(buffer.data(), buffer.size(), read)) return false;
    if (read == 0) break;
    std::string_view piece(buffer.data(), read);
    while (!piece.empty()) {
      const size_t end = piece.find('\n');
      const std::string_view part = piece.substr(0, end);
      if (!current.tooLong && current.text.size() + part.size() > kRunLogLineBytes) {
        current.tooLong = true;
        std::string().swap(current.text);
      }
      if (!current.tooLong) current.text.append(part);
      if (end == std::string_view::npos) break;
      finish();
      piece.remove_prefix(end + 1);
    }
  }
  if (!current.text.empty() || current.tooLong) finish();
  return true;
}

void ParseLine(const LogLine& line, RunLog& log) {
  RunRecord record;
  std::string why = "not JSON (damaged, or cut short)";
  if (line.tooLong) {
    why = "longer than any record (" + std::to_string(kRunLogLineBytes) + " bytes)";
  } else {
    const Json json = Json::parse(line.text, nullptr, false);
    if (!json.is_discarded() && RecordFromJson(json, record, why)) {
      log.records.push_back(std::move(record));
      return;
    }
  }
  log.notes.push_back("line " + std::to_string(line.number) + " skipped: " + why);
}

}  // namespace

std::string IsoLocalTime(const platform::LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute, t.second);
  return text;
}

std::string RunStatusMeaning(int exitStatus, const Wording& words) {
  switch (exitStatus) {
    case kRepairOnceDone: return words[Phrase::RunAllRemoved];
    case kRepairOnceNotRepaired: return words[Phrase::RunNotRepaired];
    case kRepairOnceNotAllRemoved: return words[Phrase::RunNotAllRemoved];
    case kRepairOnceScanStopped: return words[Phrase::RunScanStopped];
    case kRepairOnceScanFailed: return words[Phrase::RunScanFailed];
    case kRepairOnceAlreadyRunning: return words[Phrase::RunAlreadyRunning];
    default: return words.Say(Phrase::RunExitStatus, {std::to_string(exitStatus)});
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
    ParseLine(LogLine{i + 1, std::string(lines[i]), false}, log);
  }
  return log;
}

std::string RunLogPath(const std::string& folder) {
  std::string path = folder;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + kRunLogName;
}

RunLog ReadRunLog(platform::FileSystem& files, const std::string& folder) {
  // No folder is no log: a relative name would be looked for in the current folder.
  if (folder.empty() || !platform::FileExists(files, RunLogPath(folder))) return {};
  std::deque<LogLine> lines;
  size_t dropped = 0;
  RunLog log;
  if (!ReadLogLines(files, RunLogPath(folder), kRunLogKept, lines, dropped)) {
    log.notes.push_back("the file cannot be read");
    log.unreadable = true;
    return log;
  }
  if (dropped > 0)
    log.notes.push_back(std::to_string(dropped) + " earlier lines skipped: the log keeps the last " +
                        std::to_string(kRunLogKept));
  for (const LogLine& line : lines) ParseLine(line, log);
  return log;
}

std::string AppendRunRecord(platform::FileSystem& files, const std::string& folder,
                            const RunRecord& record) {
  if (folder.empty()) return "no backup folder is set";
  const std::string path = RunLogPath(folder);
  if (!platform::FolderExists(files, folder) && !files.CreateDirectories(folder))
    return "cannot create the folder " + folder;
  // Kept as they are, damaged ones too: what cannot be read now may be looked at later.
  std::deque<LogLine> lines;
  size_t dropped = 0;
  if (platform::FileExists(files, path) &&
      !ReadLogLines(files, path, kRunLogKept - 1, lines, dropped))
    return "cannot read " + path;
  std::string text;
  for (const LogLine& line : lines)
    if (!line.tooLong) text.append(line.text).append("\r\n");
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

std::string LastRunStatusText(const RunRecord& record, platform::System& system,
                              const Wording& words) {
  platform::LocalTime ended;
  const std::string when = ParseIsoLocalTime(record.ended, ended) ? system.FormatDateTime(ended) : record.ended;
  const std::string removed = std::to_string(record.removed);
  const std::string notRemoved = std::to_string(record.notRemoved);
  if (record.exitStatus == kRepairOnceDone || record.exitStatus == kRepairOnceNotAllRemoved)
    return words.Say(Phrase::LastRun, {when, removed, notRemoved});
  return words.Say(Phrase::LastRunMeaning,
                   {when, removed, notRemoved, RunStatusMeaning(record.exitStatus, words)});
}

}  // namespace tallowin
