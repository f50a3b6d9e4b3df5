#include "core/run_log.h"

#include <gtest/gtest.h>

#include "platform/memory/memory_platform.h"

namespace tallowin {
namespace {

const char* const kGood =
    R"({"started":"2026-12-09T03:00:00","ended":"2026-12-09T03:01:10","exit_status":3,"found":12,)"
    R"("removed":10,"not_removed":2,"reasons":["a","b"],"backup_file":"C:\\B\\2026_12_09_030000.reg"})";

struct LineCase {
  std::string line;
  const char* note;  // nullptr: read as a record
};

TEST(RunLogParse, DamagedOrCutLinesAreSkippedWithANoteAndTheRestRead) {
  const std::string good = kGood;
  const LineCase cases[] = {
      {good, nullptr},
      {good + "\r", nullptr},
      {"   ", nullptr},  // blank: neither a record nor a note
      {good.substr(0, 60), "not JSON (damaged, or cut short)"},
      {"", nullptr},
      {"garbage \x01\xff", "not JSON"},
      {"[1,2]", "not a JSON object"},
      {R"({"started":"2026-12-09T03:00:00"})", "no text \"ended\""},
      {R"({"started":"x","ended":"2026-12-09T03:01:10","exit_status":0,"found":0,"removed":0,"not_removed":0})",
       "a time that is not"},
      {R"({"started":"2026-12-09T03:00:00","ended":"2026-12-09T03:01:10","exit_status":-1,"found":0,"removed":0,"not_removed":0})",
       "no count \"exit_status\""},
      {R"({"started":"2026-12-09T03:00:00","ended":"2026-12-09T03:01:10","exit_status":0,"found":"7","removed":0,"not_removed":0})",
       "no count \"found\""},
      {R"({"started":"2026-12-09T03:00:00","ended":"2026-12-09T03:01:10","exit_status":0,"found":1,"removed":1,"not_removed":0,"reasons":7})",
       nullptr},  // optional members of the wrong kind are left out
  };
  std::string text;
  size_t records = 0;
  std::vector<std::string> notes;
  for (size_t i = 0; i < std::size(cases); ++i) {
    text += cases[i].line + "\n";
    if (cases[i].note != nullptr) notes.push_back("line " + std::to_string(i + 1) + " skipped: " + cases[i].note);
    else if (cases[i].line.find('{') != std::string::npos) ++records;
  }
  const RunLog log = ParseRunLog(text.substr(0, text.size() - 1));  // the last line without its end
  ASSERT_EQ(log.records.size(), records);
  ASSERT_EQ(log.notes.size(), notes.size());
  for (size_t i = 0; i < notes.size(); ++i) EXPECT_EQ(log.notes[i].rfind(notes[i], 0), 0u) << log.notes[i];
  const RunRecord& first = log.records[0];
  EXPECT_EQ(first.exitStatus, 3);
  EXPECT_EQ(first.found, 12u);
  EXPECT_EQ(first.removed, 10u);
  EXPECT_EQ(first.notRemoved, 2u);
  EXPECT_EQ(first.reasons, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(first.backupFile, "C:\\B\\2026_12_09_030000.reg");
  EXPECT_EQ(ParseRunLog(RunRecordLine(first)).records.size(), 1u);
  EXPECT_EQ(RunRecordLine(ParseRunLog(RunRecordLine(first)).records[0]), RunRecordLine(first));
}

TEST(RunLogAppend, KeepsTheLastHundredThroughANewFileAndCreatesTheFolder) {
  platform::memory::MemoryFileSystem files;
  const std::string folder = "C:\\Tallowin\\Backup";
  // A run stopped between writing the new file and the replace left it behind.
  ASSERT_TRUE(files.CreateDirectories(folder));
  ASSERT_TRUE(files.AppendToFile(RunLogPath(folder) + ".new", "", "half a li"));
  ASSERT_TRUE(files.AppendToFile(RunLogPath(folder), "", "damaged\r\n"));
  for (int run = 0; run < 104; ++run) {
    RunRecord record = ParseRunLog(kGood).records[0];
    record.found = static_cast<size_t>(run);
    ASSERT_EQ(AppendRunRecord(files, folder, record), "");
  }
  const RunLog log = ReadRunLog(files, folder);
  EXPECT_TRUE(log.notes.empty()) << log.notes[0];
  ASSERT_EQ(log.records.size(), kRunLogKept);
  EXPECT_EQ(log.records.front().found, 4u);
  EXPECT_EQ(log.records.back().found, 103u);
  EXPECT_FALSE(platform::FileExists(files, RunLogPath(folder) + ".new"));

  ASSERT_EQ(AppendRunRecord(files, "C:\\New\\Folder", ParseRunLog(kGood).records[0]), "");
  EXPECT_EQ(ReadRunLog(files, "C:\\New\\Folder").records.size(), 1u);
}

// A log grown past any record's size (damaged, or someone else's) is read by its last
// lines: an overlong line is skipped with a note, and the next run drops it.
TEST(RunLogAppend, AnOverlongLineAndManyLinesCostOnlyTheLastLines) {
  platform::memory::MemoryFileSystem files;
  const std::string folder = "C:\\B";
  ASSERT_TRUE(files.CreateDirectories(folder));
  std::string text;
  for (int i = 0; i < 150; ++i) text += std::string(kGood) + "\n";
  text += std::string(kRunLogLineBytes + 1, 'x') + "\r\n" + kGood;
  ASSERT_TRUE(files.AppendToFile(RunLogPath(folder), "", text));
  RunLog log = ReadRunLog(files, folder);
  EXPECT_EQ(log.records.size(), kRunLogKept - 1);
  ASSERT_EQ(log.notes.size(), 2u);
  EXPECT_EQ(log.notes[0].rfind("52 earlier lines skipped", 0), 0u) << log.notes[0];
  EXPECT_EQ(log.notes[1].rfind("line 151 skipped: longer than any record", 0), 0u) << log.notes[1];
  EXPECT_FALSE(log.unreadable);

  ASSERT_EQ(AppendRunRecord(files, folder, ParseRunLog(kGood).records[0]), "");
  log = ReadRunLog(files, folder);
  EXPECT_TRUE(log.notes.empty()) << log.notes[0];
  EXPECT_EQ(log.records.size(), kRunLogKept - 1);
  // No folder set: nothing is read or written in the current folder.
  EXPECT_NE(AppendRunRecord(files, "", ParseRunLog(kGood).records[0]), "");
  EXPECT_FALSE(platform::FileExists(files, RunLogPath("")));
}

}  // namespace
}  // namespace tallowin
