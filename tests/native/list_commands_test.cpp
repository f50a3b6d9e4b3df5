#include "core/list_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"

namespace tallowin {
namespace {

using platform::Root;

Issue Row(std::string key, EntryKind kind, std::string data = "data",
          std::string problem = "Invalid Registry Key") {
  return Issue{std::move(problem), std::move(data), std::move(key), kind, true, {}};
}

TEST(SaveAsText, FileNameGetsTxtUnlessItsExtensionIsExactlyTxt) {
  const std::pair<const char*, const char*> cases[] = {
      {"report", "report.txt"},
      {"report.TXT", "report.TXT.txt"},
      {"report.txt", "report.txt"},
      {"C:\\out.d\\report", "C:\\out.d\\report.txt"},  // a dot in a folder is no extension
      {"C:\\out\\report.txt.bak", "C:\\out\\report.txt.bak.txt"},
      {"C:\\out\\.txt", "C:\\out\\.txt"},
  };
  for (const auto& [chosen, written] : cases) EXPECT_EQ(SaveAsTextFileName(chosen), written) << chosen;
  EXPECT_EQ(OverwriteQuestion("C:\\a.txt"), "C:\\a.txt has existed,overite it?");
}

TEST(SaveAsText, OneCrLfLinePerRowInTheAnsiCodePageOrAllInUtf8WhenSomeRowDoesNotFitIt) {
  IssueList list;
  list.Add(Row("HKEY_CURRENT_USER\\Software\\A", ekKey, "C:\\x.exe", "Non-existent File or Folder"));
  list.Add(Row("HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9", ekValueInData, "\xE2\x82\xAC"));
  const std::string first =
      "Non-existent File or Folder  ^^^  C:\\x.exe  ^^^  HKEY_CURRENT_USER\\Software\\A\r\n";
  EXPECT_EQ(SaveAsTextContent(list, Windows1252()),
            first + "Invalid Registry Key  ^^^  \x80  ^^^  HKEY_CURRENT_USER\\Software\\Caf\xE9\r\n");
  list.Add(Row("HKEY_CURRENT_USER\\Software\\\xCE\xA9", ekValueInData, "\xCE\xB8\xCE\xAD\xCE\xBC\xCE\xB1"));
  EXPECT_EQ(SaveAsTextContent(list, Windows1252()),
            "\xEF\xBB\xBF" + first +
                "Invalid Registry Key  ^^^  \xE2\x82\xAC  ^^^  HKEY_CURRENT_USER\\Software\\Caf\xC3\xA9\r\n"
                "Invalid Registry Key  ^^^  \xCE\xB8\xCE\xAD\xCE\xBC\xCE\xB1  ^^^  "
                "HKEY_CURRENT_USER\\Software\\\xCE\xA9\r\n");
  EXPECT_EQ(SaveAsTextContent(IssueList{}, Windows1252()), "");
}

TEST(ExcludePathOf, ByEntryKind) {
  struct Case {
    Issue row;
    ExcludePath::Kind kind;
    const char* path;
  };
  const Case cases[] = {
      {Row("HKEY_CURRENT_USER\\Software\\App\\Value", ekValueInKeyPath), ExcludePath::Kind::Key,
       "HKEY_CURRENT_USER\\Software\\App"},
      {Row("HKEY_CURRENT_USER\\Value", ekValueInKeyPath), ExcludePath::Kind::Key, "HKEY_CURRENT_USER\\"},
      {Row("HKEY_CLASSES_ROOT\\CLSID", ekSubKeyInData, "{1}"), ExcludePath::Kind::Key,
       "HKEY_CLASSES_ROOT\\CLSID\\{1}"},
      {Row("HKEY_CURRENT_USER\\Software\\App", ekKey), ExcludePath::Kind::Key,
       "HKEY_CURRENT_USER\\Software\\App"},
      {Row("HKEY_CURRENT_USER\\Software\\App", ekValueInData), ExcludePath::Kind::Key,
       "HKEY_CURRENT_USER\\Software\\App"},
      {Row("HKEY_CURRENT_USER\\Software\\App", ekEncodedValueInData), ExcludePath::Kind::Key,
       "HKEY_CURRENT_USER\\Software\\App"},
      {Row("C:\\Users\\a.lnk", ekFile), ExcludePath::Kind::RemoveOnly, ""},
      {Row("no backslash", ekKey), ExcludePath::Kind::None, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row.key + " kind " + std::to_string(c.row.kind));
    const ExcludePath got = ExcludePathOf(c.row);
    EXPECT_EQ(got.kind, c.kind);
    EXPECT_EQ(got.path, c.path);
  }
}

TEST(AddToExcludeList, AddsTheKeyOnceAndTakesOutEveryRowItCovers) {
  const std::string sid = "S-1-5-21-1-2-3-1000";
  FilterContext context;
  context.userSid = sid;
  TOptionsSetting options;
  options.IgnoreKeys = {"hkey_current_user\\software\\old"};
  options.IgnoreKeyCount = 1;
  IssueList list;
  list.Add(Row("HKEY_CURRENT_USER\\Software\\App\\One", ekValueInKeyPath));
  list.Add(Row("HKEY_CURRENT_USER\\Software\\App\\Two", ekValueInKeyPath));
  list.Add(Row("HKEY_USERS\\" + sid + "\\Software\\App\\Sub", ekKey));
  list.Add(Row("HKEY_CURRENT_USER\\Software\\Apple\\x", ekValueInKeyPath));
  list.Add(Row("HKEY_USERS\\" + sid + "\\Software\\Old", ekValueInData));
  list.Add(Row("C:\\gone.lnk", ekFile));

  EXPECT_EQ(AddToExcludeList(list, options, context), ExcludeResult::NoSelection);

  list.selected = 1;
  EXPECT_EQ(AddToExcludeList(list, options, context), ExcludeResult::Added);
  EXPECT_EQ(options.IgnoreKeys, (std::vector<std::string>{"hkey_current_user\\software\\old",
                                                          "HKEY_CURRENT_USER\\Software\\App"}));
  EXPECT_EQ(options.IgnoreKeyCount, 2);
  ASSERT_EQ(list.Count(), 3u);
  EXPECT_EQ(list.rows[0].key, "HKEY_CURRENT_USER\\Software\\Apple\\x");
  EXPECT_EQ(list.selected, -1);

  // A key the list holds in another spelling: nothing is added, its rows go.
  list.selected = 1;
  EXPECT_EQ(AddToExcludeList(list, options, context), ExcludeResult::Covered);
  EXPECT_EQ(list.Count(), 2u);
  EXPECT_EQ(options.IgnoreKeyCount, 2);

  list.selected = 1;
  EXPECT_EQ(AddToExcludeList(list, options, context), ExcludeResult::RemovedOnly);
  EXPECT_EQ(list.Count(), 1u);
  EXPECT_EQ(options.IgnoreKeyCount, 2);
}

TEST(IsIgnoredKey, OneKeyUnderAnyOfItsSpellingsBeyondTheCount) {
  const std::vector<std::string> keys = {"HKEY_CURRENT_USER\\Software\\A", "HKLM\\Software\\X", ""};
  EXPECT_TRUE(IsIgnoredKey(keys, "hkey_current_user\\software\\a"));
  EXPECT_TRUE(IsIgnoredKey(keys, "HKEY_LOCAL_MACHINE\\SOFTWARE\\X\\"));
  EXPECT_FALSE(IsIgnoredKey(keys, "HKEY_CURRENT_USER\\Software\\A\\B"));
  EXPECT_FALSE(IsIgnoredKey(keys, "HKEY_CURRENT_USER\\Software"));
  EXPECT_TRUE(IsIgnoredKey(keys, ""));
}

TEST(TidyExcludeEntry, DropsDoubledAndTrailingBackslashes) {
  EXPECT_EQ(TidyExcludeEntry("HKLM\\\\Software\\\\\\X\\\\"), "HKLM\\Software\\X");
  EXPECT_EQ(TidyExcludeEntry("HKCU\\Software\\\xC3\xA9lan"), "HKCU\\Software\\\xC3\xA9lan");
  EXPECT_EQ(TidyExcludeEntry("\\"), "");
}

TEST(RegeditPathOf, ByEntryKind) {
  EXPECT_EQ(RegeditPathOf(Row("HKEY_CURRENT_USER\\Software\\App\\V", ekValueInKeyPath)),
            "HKEY_CURRENT_USER\\Software\\App");
  EXPECT_EQ(RegeditPathOf(Row("HKEY_CLASSES_ROOT\\CLSID", ekSubKeyInData, "{1}")),
            "HKEY_CLASSES_ROOT\\CLSID\\{1}");
  EXPECT_EQ(RegeditPathOf(Row("C:\\a.lnk", ekFile)), "");
  EXPECT_EQ(RegeditPathOf(Row("HKEY_CURRENT_USER\\Software\\App", ekValueInData, "V")),
            "HKEY_CURRENT_USER\\Software\\App");
}

class ResolveRegeditTargetTest : public testing::Test {
 protected:
  ResolveRegeditTargetTest() {
    machine.registry.SetString(Root::CurrentUser, "Software\\Foo", "Foo", "x");
    machine.registry.SetString(Root::CurrentUser, "Software\\Foo", "Bar", "y");
    machine.registry.CreateKey(Root::LocalMachine, "Software\\Vendor");
    machine.registry.SetString(Root::CurrentUser, "Software\\\xCE\xA9mega", "\xD0\x9A", "z");
  }
  std::string Resolve(std::string_view path) {
    const RegeditTarget t = ResolveRegeditTarget(machine.registry, path);
    switch (t.kind) {
      case RegeditTarget::Kind::Message: return "message";
      case RegeditTarget::Kind::Nothing: return "nothing";
      case RegeditTarget::Kind::Navigate:
        return t.rootName + " | " + t.keyPath + (t.valueName.empty() ? "" : " | " + t.valueName);
    }
    return "?";
  }
  platform::memory::MemoryMachine machine;
};

TEST_F(ResolveRegeditTargetTest, KeysValuesRootsAndWhatGivesTheMessage) {
  const std::pair<const char*, const char*> cases[] = {
      {"HKEY_CURRENT_USER\\Software\\Foo", "HKEY_CURRENT_USER | Software\\Foo"},
      {"hklm\\Software\\Vendor", "HKEY_LOCAL_MACHINE | Software\\Vendor"},
      {"HkCu\\Software\\Foo", "HKEY_CURRENT_USER | Software\\Foo"},
      {"hkey_local_machine\\Software\\Vendor", "message"},
      {"HKEY_CURRENT_USER\\Software\\Foo\\Bar", "HKEY_CURRENT_USER | Software\\Foo | Bar"},
      // A value named like its key: the key that holds it.
      {"HKEY_CURRENT_USER\\Software\\Foo\\Foo", "HKEY_CURRENT_USER | Software\\Foo | Foo"},
      {"HKEY_CURRENT_USER\\Software\\Foo\\Missing", "message"},
      {"HKEY_CURRENT_USER\\Software\\Gone\\Value", "message"},
      {"HKEY_CURRENT_USER\\Software\\\xCE\xA9mega\\\xD0\x9A",
       "HKEY_CURRENT_USER | Software\\\xCE\xA9mega | \xD0\x9A"},
      {"C:\\Program Files\\x.exe", "message"},
      {"", "message"},
      {"HKEY_CURRENT_USER", "nothing"},
      {"hk", "nothing"},
  };
  for (const auto& [path, expected] : cases) EXPECT_EQ(Resolve(path), expected) << path;
}

std::string Render(const std::vector<Keystroke>& keys) {
  std::string out;
  for (const Keystroke& k : keys) {
    switch (k.kind) {
      case Keystroke::Kind::KeyDown:
        out += k.code == kVkLeft ? "<" : k.code == kVkRight ? ">" : k.code == kVkDown ? "v" : "?";
        break;
      case Keystroke::Kind::Char: out += k.code < 0x80 ? std::string(1, char(k.code)) : "#"; break;
      case Keystroke::Kind::Pause: out += "_"; break;
      case Keystroke::Kind::TypeAheadPause: out += "|"; break;
    }
  }
  return out;
}

TEST(RegeditKeystrokes, TheTreeCollapsesThenEveryBackslashExpands) {
  EXPECT_EQ(RegeditFullPath("HKEY_CURRENT_USER", "Software\\A"), "HKEY_CURRENT_USER\\Software\\A");
  EXPECT_EQ(RegeditFullPath("HKEY_CURRENT_USER", "\\Software"), "HKEY_CURRENT_USER\\Software");
  EXPECT_EQ(Render(TreeKeystrokes("HKEY_USERS\\S\\Ab")),
            std::string(30, '<') + "_>|HKEY_USERS>|S>|Ab");
  EXPECT_EQ(Render(ValueKeystrokes("")), "");
  EXPECT_EQ(Render(ValueKeystrokes("x")), "v|x");
}

TEST(RegeditKeystrokes, CharactersAreSentAsTheirUtf16Units) {
  std::vector<uint16_t> units;
  for (const Keystroke& k : ValueKeystrokes("\xCE\xA9\xF0\x9F\x98\x80"))  // U+03A9 U+1F600
    if (k.kind == Keystroke::Kind::Char) units.push_back(k.code);
  EXPECT_EQ(units, (std::vector<uint16_t>{0x03A9, 0xD83D, 0xDE00}));
}

}  // namespace
}  // namespace tallowin
