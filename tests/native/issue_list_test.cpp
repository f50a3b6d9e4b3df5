#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/scan_session.h"
#include "platform/memory/memory_platform.h"
#include "platform/reg_global.h"
#include "repair/issue_list.h"

namespace tallowin {
namespace {

using platform::Root;
using platform::View;

constexpr const char* kSid = "S-1-5-21-11-22-33-1000";

FilterContext Context(bool ntSix = false, bool wow64 = false) {
  FilterContext context;
  context.userSid = kSid;
  context.ntSixOrLater = ntSix;
  context.wow64 = wow64;
  return context;
}
const FilterContext kXp = Context();

Issue Finding(const std::string& key, EntryKind kind, const std::string& data = "C:\\x.exe",
              const std::string& problem = "Non-existent File or Folder") {
  return Issue{problem, data, key, kind, false};
}

// Hundreds of thousands of rows share a few captions: each text is held once.
TEST(IssueCaption, EqualTextsAreOneObject) {
  std::string built = "Non-existent ";
  built += "File or Folder";
  const Issue a = Finding("HKEY_CURRENT_USER\\A", ekKey);
  const Issue b = Finding("HKEY_CURRENT_USER\\B", ekKey, "C:\\y.exe", built);
  EXPECT_EQ(&a.problem.str(), &b.problem.str());
  EXPECT_EQ(a.problem, b.problem);
  EXPECT_EQ(b.problem, "Non-existent File or Folder");
  const Issue other = Finding("HKEY_CURRENT_USER\\A", ekKey, "C:\\x.exe", "Empty Keys");
  EXPECT_FALSE(other.problem == a.problem);
  EXPECT_FALSE(other == a);
  EXPECT_TRUE(Issue{}.problem.empty());
}

struct FilterCase {
  const char* name;
  Issue issue;
  bool kept;
};

// Filters each finding alone, so one case cannot hide another.
void CheckEach(const std::vector<FilterCase>& cases, const std::vector<std::string>& ignore = {},
               int32_t ignoreCount = 0, const FilterContext& context = kXp) {
  for (const FilterCase& c : cases) {
    SCOPED_TRACE(c.name);
    IssueList list;
    list.Add(c.issue);
    list.FilterResults(ignore, ignoreCount, context);
    EXPECT_EQ(list.Count(), c.kept ? 1u : 0u) << c.issue.key << " / " << c.issue.data;
  }
}

TEST(BuiltInExclusions, HoldTheFixedEntriesVerbatimAndNoMachinesOwnUser) {
  const auto& always = BuiltInExclusions();
  // The entries below HKEY_USERS\S-1-5-21-... named one machine's users; their
  // HKEY_CURRENT_USER entries cover every machine's current user.
  ASSERT_EQ(always.size(), 37u);
  EXPECT_EQ(always.front(), "HKEY_CLASSES_ROOT\\.DAT");
  EXPECT_EQ(always[31], "HKEY_CLASSES_ROOT\\CLSID\\{5A810830-B199-4a4c-89CB-928D960A5C04}");
  EXPECT_EQ(always.back(), "HKEY_CLASSES_ROOT\\CLSID\\{F01F76EC-3376-4E62-B201-8074C8239376}");
  const auto& nt6 = NtSixExclusions();
  ASSERT_EQ(nt6.size(), 11u);
  EXPECT_EQ(nt6[8], "HKEY_LOCAL_MASCHINE\\Software\\ARM Software\\MacroMaker");
  EXPECT_EQ(nt6.back(),
            "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.mp3");
  for (const auto* list : {&always, &nt6})
    for (const std::string& entry : *list) {
      SCOPED_TRACE(entry);
      EXPECT_TRUE(entry.rfind("HKEY_", 0) == 0);
      EXPECT_NE(entry.back(), '\\');
      EXPECT_EQ(entry.find("S-1-5-21-"), std::string::npos);
    }
}

TEST(FilterResults, TextRules) {
  CheckEach({
      {"CLSID rule 1 in lower case with a sub-key",
       Finding("HKEY_CLASSES_ROOT\\clsid\\{dfeaf541-f3e1-4c24-acac-99c30715084a}\\InprocServer32",
               ekKey), false},
      {"CLSID rule 2", Finding("HKEY_LOCAL_MACHINE\\Software\\Classes\\CLSID\\"
                               "{DC6EFB56-9CFA-464D-8880-44885D7DC193}", ekFile), false},
      {"%USERNAME%_ in data, any case", Finding("X", ekFile, "C:\\%username%_x"), false},
      {"%USERNAME%_ in key", Finding("HKEY_CURRENT_USER\\A%UserName%_B", ekFile), false},
      {"question mark and drive path in data", Finding("X", ekFile, "C:\\a?b"), false},
      {"question mark alone in data", Finding("X", ekFile, "a?b"), true},
      {"data %A%\\?x", Finding("X", ekFile, "%A%\\?x"), false},
      {"data with ? and any second %", Finding("X", ekFile, "%A?%"), false},
      {"data with ? and one %", Finding("X", ekFile, "%A?"), true},
      {"key with ? between percent signs and a backslash",
       Finding("HKEY_CURRENT_USER\\%A?%\\b", ekFile), false},
      {"key with ? between percent signs, no backslash after",
       Finding("HKEY_CURRENT_USER\\%A?%b", ekFile), true},
      {"key with ? and a drive path", Finding("HKEY_CURRENT_USER\\C:\\a?", ekFile), false},
      {"key with ? alone", Finding("HKEY_CURRENT_USER\\a?", ekFile), true},
  });
}

TEST(FilterResults, ExclusionsMatchWholeKeyNamesByEntryKind) {
  const std::string java = "HKEY_CURRENT_USER\\Software\\JavaSoft";
  CheckEach({
      {"key below an entry", Finding(java + "\\Prefs", ekKey), false},
      {"value below an entry", Finding(java + "\\Prefs\\v", ekValueInKeyPath), false},
      {"value in data", Finding(java + "\\Prefs", ekValueInData, "C:\\v"), false},
      {"sub-key in data", Finding(java, ekSubKeyInData, "Prefs"), false},
      {"default value", Finding(java, ekDefaultValue), false},
      {"encoded value", Finding(java, ekEncodedValueInData, "Pnyp"), false},
      {"file findings are kept", Finding(java + "\\Prefs", ekFile), true},
      {"JavaSoftware is another key", Finding("HKEY_CURRENT_USER\\Software\\JavaSoftware", ekKey),
       true},
      {"a key holding an excluded key", Finding("HKEY_CURRENT_USER\\Software", ekKey), false},
      {"a value beside an excluded key", Finding("HKEY_CURRENT_USER\\Software\\v", ekValueInKeyPath),
       true},
      {"a sub-key in data that holds one",
       Finding("HKEY_CURRENT_USER\\Software\\Microsoft", ekSubKeyInData, "Windows NT"), false},
      {"the exact key", Finding(java, ekKey), false},
      {"a value of the root key", Finding("HKEY_CURRENT_USER\\\\v", ekValueInKeyPath), true},
      {"no backslash at all", Finding("HKEY_CURRENT_USER", ekKey), true},
      {"matching ignores case", Finding("hkey_current_user\\software\\javasoft\\x", ekKey), false},
  });
}

TEST(FilterResults, IgnoreListUsesOnlyItsCountedEntries) {
  const std::vector<std::string> ignore = {"hkey_local_machine\\software\\mine", "",
                                           "HKEY_LOCAL_MACHINE\\Software\\Beyond"};
  const std::vector<FilterCase> withTwo = {
      {"lower-case entry removes capitals", Finding("HKEY_LOCAL_MACHINE\\SOFTWARE\\MINE\\A", ekKey),
       false},
      {"entry beyond the count", Finding("HKEY_LOCAL_MACHINE\\Software\\Beyond", ekKey), true},
      {"an empty entry matches nothing", Finding("HKEY_LOCAL_MACHINE\\Software\\Other", ekKey),
       true},
  };
  CheckEach(withTwo, ignore, 2);
  CheckEach({{"count 0", Finding("HKEY_LOCAL_MACHINE\\SOFTWARE\\MINE\\A", ekKey), true}}, ignore, 0);
  CheckEach({{"negative count", Finding("HKEY_LOCAL_MACHINE\\SOFTWARE\\MINE\\A", ekKey), true}},
            ignore, -5);
  CheckEach({{"count above the list size",
              Finding("HKEY_LOCAL_MACHINE\\Software\\Beyond", ekKey), false}},
            ignore, 40);
}

TEST(FilterResults, SecondListOnlyOnNtSix) {
  const Issue mp3 = Finding(
      "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.mp3",
      ekKey);
  // The misspelt root of one entry never matches a real finding.
  const Issue macro =
      Finding("HKEY_LOCAL_MACHINE\\Software\\ARM Software\\MacroMaker\\x", ekKey);
  struct Case {
    const char* name;
    platform::OsVersion version;
    bool applies;
  };
  // Windows 10 and Server 2003 share code 10: the version itself decides.
  for (const Case& c : {Case{"98", {1, 4, 10}, false}, Case{"XP", {2, 5, 1}, false},
                        Case{"2003", {2, 5, 2}, false}, Case{"Vista", {2, 6, 0}, true},
                        Case{"7", {2, 6, 1}, true}, Case{"8", {2, 6, 2}, true},
                        Case{"10", {2, 10, 0}, true}}) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsNtSixOrLater(c.version), c.applies);
    const FilterContext context = Context(IsNtSixOrLater(c.version));
    CheckEach({{".mp3", mp3, !c.applies}, {"MacroMaker", macro, true}}, {}, 0, context);
  }
}

// One entry of the ignore list against one finding's key, every entry kind a key:
// the entry covers the key under each name the program may list it by.
TEST(FilterResults, AnEntryCoversItsKeyUnderEveryName) {
  struct Case {
    std::string entry;
    std::string key;
    View view;
    bool covered;
    EntryKind kind = ekKey;
  };
  const std::string sid = kSid;
  const std::vector<Case> cases = {
      {"HKEY_CURRENT_USER\\Software\\X", "HKEY_CURRENT_USER\\Software\\X\\A", View::Process, true},
      {"HKEY_CURRENT_USER\\Software\\X", "HKEY_USERS\\S-1-5-21-11-22-33-1000\\Software\\X\\A",
       View::Process, true},
      {"HKEY_USERS\\S-1-5-21-11-22-33-1000\\Software\\X", "HKEY_CURRENT_USER\\Software\\X",
       View::Process, true},
      {"HKEY_CURRENT_USER\\Software\\X", "HKEY_USERS\\S-1-5-21-99\\Software\\X", View::Process,
       false},
      {"HKEY_CURRENT_USER\\Software\\X", "HKEY_USERS\\.DEFAULT\\Software\\X", View::Process, false},
      {"HKEY_CURRENT_USER\\Software\\Foo", "HKEY_CURRENT_USER\\Software\\Foobar", View::Process, false},
      {"HKEY_CURRENT_USER\\Software\\Foo", "HKEY_USERS\\S-1-5-21-11-22-33-1000\\Software\\Foobar",
       View::Process, false},
      {"hkcu\\software\\x", "HKEY_USERS\\S-1-5-21-11-22-33-1000\\Software\\X\\A", View::Process, true},
      {"HKCR\\Y", "HKEY_CLASSES_ROOT\\Y\\shell\\open\\command", View::Process, true},
      {"HKCR\\Y", "HKEY_LOCAL_MACHINE\\Software\\Classes\\Y\\shell", View::Process, true},
      {"HKCR\\Y", "HKEY_CURRENT_USER\\Software\\Classes\\Y", View::Process, true},
      {"HKCR\\Y", "HKEY_USERS\\S-1-5-21-11-22-33-1000_Classes\\Y\\x", View::Process, true},
      {"HKCR\\Y", "HKEY_USERS\\S-1-5-21-11-22-33-1000\\Software\\Classes\\Y", View::Process, true},
      {"HKCR\\Y", "HKEY_CLASSES_ROOT\\Yes", View::Process, false},
      {"HKEY_LOCAL_MACHINE\\Software\\Classes\\Y", "HKEY_CLASSES_ROOT\\Y", View::Process, true},
      {"HKEY_LOCAL_MACHINE\\Software\\Classes\\Y", "HKEY_CURRENT_USER\\Software\\Classes\\Y",
       View::Process, false},
      {"HKCU\\Software\\Classes\\Y", "HKEY_CLASSES_ROOT\\Y", View::Process, true},
      {"HKCU\\Software\\Classes\\Y", "HKEY_LOCAL_MACHINE\\Software\\Classes\\Y", View::Process,
       false},
      {"Hklm\\Software\\Z", "HKEY_LOCAL_MACHINE\\Software\\Z\\A", View::Process, true},
      {"HKU\\.DEFAULT\\Software\\W", "HKEY_USERS\\.DEFAULT\\Software\\W", View::Process, true},
      {"HKCC\\System", "HKEY_CURRENT_CONFIG\\System\\A", View::Process, true},
      {"HKXX\\Software\\Z", "HKEY_LOCAL_MACHINE\\Software\\Z", View::Process, false},
      // Doubled backslashes (as escaped text writes them) and one at either end separate.
      {"HKLM\\\\Software\\\\Z\\\\", "HKEY_LOCAL_MACHINE\\Software\\Z\\A", View::Process, true},
      {"HKLM\\Software\\\\Z", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Z\\A", View::Native, true},
      {"HKLM\\\\Software\\\\Z", "HKEY_LOCAL_MACHINE\\Software\\Zed", View::Process, false},
      // Both views scanned: without the node an entry covers both views' keys ...
      {"HKLM\\Software\\Z", "HKEY_LOCAL_MACHINE\\Software\\Z", View::Native, true},
      {"HKLM\\Software\\Z", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Z\\A", View::Native, true},
      {"HKCR\\Y", "HKEY_CLASSES_ROOT\\Wow6432Node\\Y", View::Native, true},
      {"HKCR\\Y", "HKEY_LOCAL_MACHINE\\Software\\Classes\\Wow6432Node\\Y", View::Native, true},
      {"HKCR\\Y", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Classes\\Y", View::Native, true},
      // ... with it, the 32-bit view's key only, which the process view names without it.
      {"HKLM\\Software\\Wow6432Node\\Z", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Z",
       View::Native, true},
      {"HKLM\\Software\\Wow6432Node\\Z", "HKEY_LOCAL_MACHINE\\Software\\Z", View::Native, false},
      {"HKLM\\Software\\Wow6432Node\\Z", "HKEY_LOCAL_MACHINE\\Software\\Z", View::Process, true},
      {"HKLM\\Software\\Z", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Z", View::Process, false},
      {"HKLM\\Software\\Z", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\Zed", View::Native, false},
      // An entry above the point where two names of a key meet covers both.
      {"HKEY_LOCAL_MACHINE\\Software", "HKEY_CLASSES_ROOT\\BarsP\\shell\\open\\command\\",
       View::Process, true, ekValueInKeyPath},
      {"HKCU", "HKEY_USERS\\" + sid + "_Classes\\X", View::Process, true},
      {"HKCU\\Software", "HKEY_USERS\\" + sid + "_Classes\\X\\", View::Native, true, ekValueInKeyPath},
      {"HKU\\" + sid, "HKEY_USERS\\" + sid + "_Classes\\X", View::Process, true},
      {"HKU\\" + sid, "HKEY_CURRENT_USER\\Software\\A", View::Process, true},
      {"HKEY_USERS", "HKEY_CURRENT_USER\\A", View::Native, true},
      {"HKCU\\Software\\Microsoft", "HKEY_USERS\\" + sid + "_Classes\\X", View::Process, false},
      {"HKLM\\Software\\Wow6432Node", "HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{A}\\InprocServer32\\",
       View::Native, true, ekValueInKeyPath},
      {"HKLM\\Software\\Wow6432Node\\Classes\\CLSID\\{A}",
       "HKEY_CLASSES_ROOT\\Wow6432Node\\CLSID\\{A}\\InprocServer32", View::Native, true},
      {"HKLM\\Software\\Wow6432Node\\Classes\\CLSID\\{A}", "HKEY_CLASSES_ROOT\\CLSID\\{A}",
       View::Process, true},
      {"HKLM\\Software\\Wow6432Node", "HKEY_CLASSES_ROOT\\CLSID\\{A}", View::Native, false},
      // A key that holds a covered key, under any of its names; a value beside one is not.
      {"HKU\\" + sid + "_Classes\\X", "HKEY_CURRENT_USER\\Software", View::Process, true},
      {"HKU\\" + sid + "_Classes\\X", "HKEY_CURRENT_USER\\Software\\v", View::Process, false,
       ekValueInKeyPath},
      {"HKLM\\Software\\Classes\\Wow6432Node\\X", "HKEY_LOCAL_MACHINE\\Software\\Wow6432Node",
       View::Native, true},
      // Names compare as the registry compares them, beyond ASCII too.
      {"HKCU\\Software\\\xC3\xA9lan", "HKEY_CURRENT_USER\\Software\\\xC3\x89LAN\\x", View::Process, true},
      {"HKCU\\Software\\\xCF\x89\\\xD0\xB4", "HKEY_USERS\\" + sid + "\\Software\\\xCE\xA9\\\xD0\x94",
       View::Native, true},
      {"HKCU\\Software\\\xC3\xA9lan", "HKEY_CURRENT_USER\\Software\\Elan", View::Process, false},
  };
  platform::memory::MemoryRegistry registry;
  FilterContext context = Context(false, true);
  context.registry = &registry;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry + " / " + c.key);
    IssueList list;
    Issue row = Finding(c.key, c.kind);
    row.view = c.view;
    list.Add(row);
    list.FilterResults({c.entry}, 1, context);
    EXPECT_EQ(list.Count(), c.covered ? 0u : 1u);
  }
  // The built-in HKEY_CURRENT_USER entries hold below the user's key of HKEY_USERS.
  CheckEach({{"Shell Folders under the user's SID",
              Finding("HKEY_USERS\\" + sid +
                          "\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders\\x",
                      ekValueInKeyPath),
              false},
             {"JavaSoft under the user's SID",
              Finding("HKEY_USERS\\" + sid + "\\Software\\JavaSoft\\Prefs", ekValueInData, "v"),
              false}});
}

// Rows naming one item under its names or by several rules: one stays, at its own place.
// HKEY_CLASSES_ROOT shows the user's classes key where there is one, else the machine's:
// the registry says which.
TEST(FilterResults, OneRowPerItemAndTheKeptOneNamesItAsTheUserKnowsIt) {
  platform::memory::MemoryMachine machine;
  machine.registry.mergeClasses = true;
  machine.registry.CreateKey(Root::CurrentUser, "Software\\Classes\\UserProg");
  machine.registry.CreateKey(Root::LocalMachine, "Software\\Classes\\UserProg");
  machine.registry.CreateKey(Root::LocalMachine, "Software\\Classes\\MachProg\\shell");
  FilterContext context = Context();
  context.registry = &machine.registry;
  const std::string user = std::string("HKEY_USERS\\") + kSid;
  const std::string run = "\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
  const FindingRule walk = FindingRule::PathReference, own = FindingRule::RunValue;
  struct Case {
    FindingRule rule;
    Issue row;
    bool kept;
    std::string shown = "";  // the kept row's Registry key, when renamed
  };
  const std::vector<Case> cases = {
      // A category's own row over the walk's, under any name; then HKCU over HKU\<SID>.
      {walk, Finding("HKEY_CURRENT_USER" + run + "\\Agent", ekValueInKeyPath), false},
      {walk, Finding(user + run + "\\Agent", ekValueInKeyPath), false},
      {own, Finding(user + run, ekValueInData, "AGENT"), false},
      {own, Finding("HKEY_CURRENT_USER" + run, ekValueInData, "Agent"), true},
      {walk, Finding(user + "\\Software\\App\\v", ekValueInKeyPath), false},
      {walk, Finding("HKEY_CURRENT_USER\\Software\\App", ekValueInData, "V"), true},
      {walk, Finding("HKEY_CURRENT_USER\\Software\\App", ekKey), true},
      {walk, Finding("HKEY_CURRENT_USER\\Software", ekSubKeyInData, "App"), false},
      // HKCU\Software\Classes over HKU\<SID>_Classes; HKCR reaching the same: the first.
      {walk, Finding(user + "_Classes\\UserProg", ekKey), false},
      {walk, Finding("HKEY_CURRENT_USER\\Software\\Classes\\UserProg", ekKey), true},
      {walk, Finding("HKEY_CLASSES_ROOT\\UserProg", ekKey), false},
      {walk, Finding(user + "\\Software\\Classes\\UserProg", ekKey), false},
      {walk, Finding("HKEY_LOCAL_MACHINE\\Software\\Classes\\UserProg", ekKey), true},
      // HKCR over HKLM\Software\Classes where both reach one key.
      {walk, Finding("HKEY_LOCAL_MACHINE\\Software\\Classes\\MachProg\\shell\\", ekValueInKeyPath), false},
      {walk, Finding("HKEY_CLASSES_ROOT\\MachProg\\shell", ekDefaultValue), true},
      // The current user's keys only HKEY_USERS named, as HKEY_CURRENT_USER names them.
      {walk, Finding(user + "\\Software\\Solo", ekSubKeyInData, "x"), true, "HKEY_CURRENT_USER\\Software\\Solo"},
      {walk, Finding(user + "_Classes\\Solo", ekKey), true, "HKEY_CURRENT_USER\\Software\\Classes\\Solo"},
      {walk, Finding(user + "\\InTheHive", ekValueInKeyPath), true},
      {FindingRule::Shortcut, Finding("C:\\Start Menu\\a.lnk", ekFile), true},
      {FindingRule::Shortcut, Finding("c:\\start menu\\A.LNK", ekFile), false},
  };
  IssueList list;
  std::vector<std::string> expected;
  for (const Case& c : cases) {
    list.Add(c.row);
    list.rows.back().rule = c.rule;
    if (c.kept) expected.push_back((c.shown.empty() ? c.row.key : c.shown) + " " + c.row.data);
  }
  list.FilterResults({}, 0, context);
  std::vector<std::string> kept;
  for (const Issue& row : list.rows) kept.push_back(row.key + " " + row.data);
  EXPECT_EQ(kept, expected);
}

// A stale value of the current user, found by the scans of HKEY_CURRENT_USER and of
// HKEY_USERS: one row, under the name the first scan gave it.
TEST(FilterResults, AScanListsAValueOfTheCurrentUserOnce) {
  platform::memory::MemoryMachine machine;
  machine.system.userSid = kSid;
  machine.registry.SetString(Root::CurrentUser, "Software\\App", "Gone", "C:\\Missing\\app.exe");
  machine.registry.CreateLink(Root::Users, kSid, Root::CurrentUser, "");
  ScanSession scan(machine.platform(), nullptr);
  ScanRequest request;
  request.codes = {"2", "4"};
  IssueList list;
  ASSERT_EQ(scan.Run(request, list, nullptr), ScanOutcome::Completed);
  std::vector<std::string> keys;
  for (const Issue& row : list.rows) keys.push_back(row.key);
  EXPECT_EQ(keys, (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\App\\Gone"}));
}

TEST(FilterResults, KeepsTheOrderOfTheRowsThatStay) {
  IssueList list;
  for (int i = 0; i < 6; ++i) {
    const bool excluded = i % 2 == 1;
    list.Add(Finding(excluded ? "HKEY_CURRENT_USER\\Software\\JavaSoft\\" + std::to_string(i)
                              : "HKEY_CURRENT_USER\\Software\\App" + std::to_string(i),
                     ekKey));
  }
  list.selected = 4;
  list.FilterResults({}, 0, kXp);
  std::vector<std::string> keys;
  for (const Issue& row : list.rows) keys.push_back(row.key);
  EXPECT_EQ(keys, (std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\App0",
                                            "HKEY_CURRENT_USER\\Software\\App2",
                                            "HKEY_CURRENT_USER\\Software\\App4"}));
  EXPECT_EQ(list.selected, 2);  // the selection follows its row
}

TEST(FilterResults, ManyRowsStayFast) {
  IssueList list;
  for (int i = 0; i < 200000; ++i)
    list.Add(Finding("HKEY_CURRENT_USER\\Software\\" +
                         std::string(i % 2 ? "JavaSoft\\" : "App\\") + std::to_string(i),
                     ekValueInKeyPath));
  const auto start = std::chrono::steady_clock::now();
  list.FilterResults({}, 0, Context(true));
  EXPECT_EQ(list.Count(), 100000u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

std::vector<std::string> Keys(const IssueList& list) {
  std::vector<std::string> keys;
  for (const Issue& row : list.rows) keys.push_back(row.key);
  return keys;
}

// Rows each pass removes and rows that stay, interleaved, and a selection on a row that stays.
IssueList Mixed() {
  IssueList list;
  list.Add(Finding("HKEY_CURRENT_USER\\Software\\App0", ekKey));
  list.Add(Finding("HKEY_CURRENT_USER\\Software\\JavaSoft\\1", ekKey));           // exclusion
  list.Add(Finding("HKEY_CURRENT_USER\\Software\\App2", ekKey, "%USERNAME%_x"));   // text rule
  list.Add(Finding("HKEY_CURRENT_USER\\Software\\Mine\\3", ekKey));               // ignore list
  list.Add(Finding("HKEY_CURRENT_USER\\Software\\App4", ekValueInKeyPath));
  list.Add(Finding("HKEY_CURRENT_USER\\Software\\JavaSoft\\5?", ekKey, "C:\\?")); // both
  list.Add(Finding("HKEY_CURRENT_USER\\Software\\App6", ekKey));
  list.selected = 4;
  return list;
}

TEST(FilterRun, InStepsOfAnySizeEndsWithTheFilteredRows) {
  const std::vector<std::string> kept = {"HKEY_CURRENT_USER\\Software\\App0",
                                         "HKEY_CURRENT_USER\\Software\\App4",
                                         "HKEY_CURRENT_USER\\Software\\App6"};
  const std::vector<std::string> ignore = {"HKEY_CURRENT_USER\\Software\\Mine"};
  for (size_t step : {size_t{1}, size_t{2}, size_t{3}, size_t{5}, size_t{1000}}) {
    SCOPED_TRACE("step " + std::to_string(step));
    IssueList list = Mixed();
    FilterRun run(ignore, 1, kXp);
    int calls = 0;
    while (!run.Step(list, step)) {
      ASSERT_FALSE(run.Done());
      ASSERT_LT(++calls, 100);
    }
    EXPECT_TRUE(run.Done());
    EXPECT_EQ(Keys(list), kept);
    EXPECT_EQ(list.selected, 1);
    EXPECT_TRUE(run.Step(list, step));  // a finished run leaves the list alone
    EXPECT_EQ(list.Count(), 3u);
  }
  IssueList whole = Mixed();
  whole.FilterResults(ignore, 1, kXp);
  EXPECT_EQ(Keys(whole), kept);
}

TEST(FilterRun, StepsOfOneRowJudgeEveryRowOncePerPass) {
  IssueList list = Mixed();
  FilterRun run({}, 0, kXp);
  int calls = 1;
  while (!run.Step(list, 1)) ++calls;
  // Seven rows in the first pass, five left for the second, four for the third.
  EXPECT_EQ(calls, 7 + 5 + 4);
  IssueList empty;
  FilterRun none({}, 0, kXp);
  while (!none.Step(empty, 1)) {
  }
  EXPECT_EQ(empty.Count(), 0u);
}

TEST(LongestTexts, KeepsTheLongestOfEachColumnEarlierRowsFirst) {
  IssueList list;
  // Data column: lengths in UTF-16 units, not bytes ("\xC3\xA9" is one unit, an emoji two).
  const std::vector<std::string> data = {"abc", "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "abcde",
                                         "\xF0\x9F\x98\x80\xF0\x9F\x98\x80\xF0\x9F\x98\x80",
                                         "abcde", "a"};
  for (size_t i = 0; i < data.size(); ++i)
    list.Add(Finding("K" + std::string(i, 'k'), ekKey, data[i], i == 2 ? "long problem" : "p"));
  for (size_t step : {size_t{1}, size_t{4}, size_t{100}}) {
    SCOPED_TRACE("step " + std::to_string(step));
    LongestTexts longest(3);
    int calls = 1;
    while (!longest.Step(list, step)) ++calls;
    EXPECT_EQ(calls, static_cast<int>((data.size() + step - 1) / step));
    EXPECT_EQ(longest.Rows(1), (std::vector<size_t>{3, 2, 4}));  // 6, 5, 5 units
    EXPECT_EQ(longest.Rows(0), (std::vector<size_t>{2, 0, 1}));
    EXPECT_EQ(longest.Rows(2), (std::vector<size_t>{5, 4, 3}));
  }
  LongestTexts all(50);
  EXPECT_TRUE(all.Step(list, 1000));
  EXPECT_EQ(all.Rows(1), (std::vector<size_t>{3, 2, 4, 1, 0, 5}));
  LongestTexts none(0);
  EXPECT_TRUE(none.Step(list, 1000));
  EXPECT_TRUE(none.Rows(2).empty());
}

IssueList Sample() {
  IssueList list;
  list.Add(Finding("K1", ekKey, "a", "Non-existent File or Folder"));
  list.Add(Finding("K2", ekKey, "b", "Empty Registry Keys"));
  list.Add(Finding("K3", ekKey, "c", "Non-existent File or Folder"));
  list.Add(Finding("K4", ekKey, "d", "non-existent file or folder"));
  return list;
}

std::string Checks(const IssueList& list) {
  std::string marks;
  for (const Issue& row : list.rows) marks += row.checked ? 'x' : '-';
  return marks;
}

TEST(SelectionCommands, CheckAndUncheckAsTheTableSays) {
  IssueList list = Sample();
  list.SelectAll();
  EXPECT_EQ(Checks(list), "xxxx");
  list.SelectNone();
  EXPECT_EQ(Checks(list), "----");
  list.selected = 0;
  list.SelectAllType();  // exact caption: the lower-case one is another type
  EXPECT_EQ(Checks(list), "x-x-");
  list.selected = 1;
  list.SelectItem();
  EXPECT_EQ(Checks(list), "xxx-");
  list.selected = 2;
  list.UnselectAllType();
  EXPECT_EQ(Checks(list), "-x--");
  list.selected = 1;
  list.DeselectItem();
  EXPECT_EQ(Checks(list), "----");
}

TEST(SelectionCommands, NeedASelectedRow) {
  IssueList list = Sample();
  for (int selected : {-1, 4, 99}) {
    SCOPED_TRACE(selected);
    list.selected = selected;
    EXPECT_FALSE(list.SelectionCommandsEnabled());
    list.SelectItem();
    list.SelectAllType();
    EXPECT_EQ(Checks(list), "----");
  }
  list.selected = 3;
  EXPECT_TRUE(list.SelectionCommandsEnabled());
}

TEST(IssueList, StatusTextCountsRowsAndCheckedRows) {
  IssueList list;
  EXPECT_EQ(list.StatusText(), " 0 Error Found,  0 Error Selected.");
  for (int i = 0; i < 12; ++i) list.Add(Finding("K" + std::to_string(i), ekKey));
  for (int i = 0; i < 9; ++i) list.rows[static_cast<size_t>(i)].checked = true;
  EXPECT_EQ(list.StatusText(), " 12 Error Found,  9 Error Selected.");
}

TEST(IssueList, RemoveAtKeepsTheSelectionOnItsRow) {
  IssueList list = Sample();
  list.selected = 2;
  list.RemoveAt(0);
  EXPECT_EQ(list.selected, 1);
  EXPECT_EQ(list.rows[1].key, "K3");
  list.RemoveAt(1);
  EXPECT_EQ(list.selected, -1);
  list.RemoveAt(10);  // out of range: nothing happens
  EXPECT_EQ(list.Count(), 2u);
}

}  // namespace
}  // namespace tallowin
