#include "core/finding_reason.h"
#include "core/reason_desk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/forwarding_file_system.h"
#include "platform/memory/memory_platform.h"
#include "tests/support/watched_registry.h"
#include "ui/text_table.h"

namespace tallowin {
namespace {

using platform::Root;

class FindingReason : public ::testing::Test {
 protected:
  FindingReason() {
    machine.files.AddFile("C:\\Tools\\here.exe");
    machine.files.AddFolder("C:\\Lib");
    machine.files.AddFolder("C:\\Windows");
    machine.files.AddFolder("C:\\Program Files\\Acme");
    machine.files.SetEnvironment("SystemRoot", "C:\\Windows");
  }
  platform::Platform Platform() {
    return {machine.registry, machine.files, machine.system, machine.processes,
            machine.restorePoint};
  }
  platform::memory::MemoryMachine machine;
};

TEST_F(FindingReason, NamesThePlaceLookedForAndWhatWasMissing) {
  struct Case {
    const char* text;
    const char* suffix;
    bool dirs;
    bool ignoreRemoveDrives;
    const char* reason;
  };
  const Case cases[] = {
      {"C:\\Old\\app.exe", "", false, true, "C:\\Old\\app.exe: the folder C:\\Old does not exist."},
      {"C:\\Tools\\run.exe -x", "", false, true,
       "The command line names C:\\Tools\\run.exe (arguments cut at the space); it does not "
       "exist."},
      {"C:\\Old Version\\", "", true, true, "The folder C:\\Old Version does not exist."},
      {"C:\\Tools\\run.exe -f \\etc\\x", "", false, true,
       "The command line names C:\\Tools\\run.exe (arguments cut at the space); it does not "
       "exist."},
      {"C:\\Tools\\run.exe,1", "", false, true,
       "The command line names C:\\Tools\\run.exe (arguments cut at the comma); it does not "
       "exist."},
      {"\"C:\\Tools\\gone.exe\" /min", "", false, true, "C:\\Tools\\gone.exe does not exist."},
      {"\"C:\\Program Files\\Acme\\Acme Tool.exe\"", "", false, true,
       "C:\\Program Files\\Acme\\Acme Tool.exe does not exist."},
      {"C:\\Windows", "", false, true,
       "C:\\Windows is a folder, not a file, and no file with .exe, .com or .bat added exists."},
      {"C:\\Tools\\notepad", "", false, true,
       "C:\\Tools\\notepad does not exist, nor with .exe, .com or .bat added."},
      {"%SystemRoot%\\system\\gone.dll", "", false, true,
       "%SystemRoot% expands to C:\\Windows. C:\\Windows\\system\\gone.dll: the folder "
       "C:\\Windows\\system does not exist."},
      {"C:\\Lib\\Gone.DLL,1", ".dll", true, true, "C:\\Lib\\Gone.dll does not exist."},
      {"C:\\Missing\\", "", true, true, "The folder C:\\Missing does not exist."},
      {"A:\\Setup.exe", "", false, false,
       "A:\\Setup.exe is on drive A:, which holds no readable disk."},
      {"C:\\Tools\\here.exe /x", "", false, true, "Not broken: C:\\Tools\\here.exe exists."},
      {"rundll32.exe x.dll,Entry", "", false, true,
       "Not broken: it does not start with a drive letter, a colon and a backslash."},
      {"C:\\x.exe D:\\y.txt", "", false, true, "Not broken: it names a second drive."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FindingExplainer explainer(Platform(), {c.ignoreRemoveDrives, false});
    EXPECT_EQ(explainer.ExplainReference(c.text, c.suffix, c.dirs), c.reason);
  }
}

TEST_F(FindingReason, TraceListsEveryQuestionWithItsAnswer) {
  ResolveRequest missing;
  missing.text = "C:\\Old\\app.exe";
  const ReferenceTrace broken = TraceReference(Platform(), missing);
  EXPECT_TRUE(broken.broken);
  EXPECT_NE(std::find(broken.steps.begin(), broken.steps.end(), "folder C:\\Old\\: not found"),
            broken.steps.end());
  EXPECT_EQ(broken.reason, "C:\\Old\\app.exe: the folder C:\\Old does not exist.");

  ResolveRequest variable;
  variable.text = "%SystemRoot%\\gone.exe";
  const ReferenceTrace expanded = TraceReference(Platform(), variable);
  EXPECT_TRUE(expanded.broken);
  ASSERT_FALSE(expanded.steps.empty());
  EXPECT_EQ(expanded.steps.front(), "%SystemRoot% expands to C:\\Windows");

  ResolveRequest present;
  present.text = "C:\\Tools\\here.exe";
  const ReferenceTrace ok = TraceReference(Platform(), present);
  EXPECT_FALSE(ok.broken);
  ASSERT_FALSE(ok.steps.empty());
  EXPECT_EQ(ok.steps.back(), "file C:\\Tools\\here.exe: found");
  EXPECT_EQ(ok.reason, "Not broken: C:\\Tools\\here.exe exists.");
}

// An explainer keeps the last key open for the next row of that key; a key deleted and
// made again in between is read afresh.
TEST_F(FindingReason, AKeyMadeAgainBetweenTwoRowsIsReadAfresh) {
  machine.registry.SetString(Root::CurrentUser, "Software\\App", "A", "C:\\Old\\a.exe");
  machine.registry.SetString(Root::CurrentUser, "Software\\App", "B", "C:\\Old\\b.exe");
  testing_support::WatchedRegistry counting(machine.registry);
  FindingExplainer explainer({counting, machine.files, machine.system, machine.processes,
                              machine.restorePoint},
                             {});
  const Issue a{"Non-existent File or Folder",
                "C:\\Old\\a.exe",
                "HKEY_CURRENT_USER\\Software\\App\\A",
                ekValueInKeyPath,
                false,
                {},
                FindingRule::PathReference};
  const Issue b{"Non-existent File or Folder",
                "C:\\Old\\b.exe",
                "HKEY_CURRENT_USER\\Software\\App\\B",
                ekValueInKeyPath,
                false,
                {},
                FindingRule::PathReference};
  EXPECT_EQ(explainer.Explain(a), "C:\\Old\\a.exe: the folder C:\\Old does not exist.");
  EXPECT_EQ(explainer.Explain(b), "C:\\Old\\b.exe: the folder C:\\Old does not exist.");
  EXPECT_EQ(counting.opens, 1);
  platform::Registry& registry = machine.registry;
  auto software = registry.OpenKey(Root::CurrentUser, "Software", platform::Access::All);
  ASSERT_NE(software, nullptr);
  ASSERT_EQ(software->DeleteSubKey("App"), platform::kSuccess);
  machine.registry.SetString(Root::CurrentUser, "Software\\App", "B", "C:\\Old\\b.exe");
  EXPECT_EQ(explainer.Explain(b), "C:\\Old\\b.exe: the folder C:\\Old does not exist.");
  ASSERT_EQ(software->DeleteSubKey("App"), platform::kSuccess);
  EXPECT_EQ(explainer.Explain(b), "No longer broken: the value is no longer there.");
}

// A floppy drive spinning up: asked whether it holds a disk, it answers once let go.
class SlowFloppy : public platform::ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  bool VolumeReady(std::string_view root) override {
    std::unique_lock<std::mutex> lock(mutex_);
    answering_.wait(lock, [this] { return free_; });
    return ForwardingFileSystem::VolumeReady(root);
  }
  void LetGo() {
    std::lock_guard<std::mutex> lock(mutex_);
    free_ = true;
    answering_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable answering_;
  bool free_ = false;
};

TEST_F(FindingReason, TheWindowWaitsForAReasonOnlySoLong) {
  machine.registry.SetString(Root::CurrentUser, "Software\\App", "A", "C:\\Old\\a.exe");
  const Issue row{"Non-existent File or Folder", "C:\\Old\\a.exe",
                  "HKEY_CURRENT_USER\\Software\\App\\A", ekValueInKeyPath, false, {},
                  FindingRule::PathReference};
  SlowFloppy files(machine.files);
  ReasonDesk desk({machine.registry, files, machine.system, machine.processes,
                   machine.restorePoint},
                  std::chrono::milliseconds(100));
  struct Release {
    SlowFloppy& files;
    ~Release() { files.LetGo(); }  // before the desk waits for its thread
  } release{files};
  EXPECT_EQ(desk.Explain(row, /*ignoreRemoveDrives=*/false, false), ReasonDesk::kStillWorking);
  files.LetGo();
  std::string why = ReasonDesk::kStillWorking;
  for (int i = 0; i < 100 && why == ReasonDesk::kStillWorking; ++i)
    why = desk.Explain(row, false, false);
  EXPECT_EQ(why, "C:\\Old\\a.exe: the folder C:\\Old does not exist.");
}

TEST_F(FindingReason, ARowOfAnUnknownKindStillGetsAReason) {
  FindingExplainer explainer(Platform(), {});
  Issue issue{"Something Else", "x", "HKEY_CURRENT_USER\\Software\\x", ekKey};
  EXPECT_EQ(explainer.Explain(issue),
            "Listed by the scan as \"Something Else\"; no more can be told of it now.");
}

// The window hands the explainer its language; the command line keeps English.
TEST_F(FindingReason, TheWindowsWordingGivesItsLanguage) {
  machine.registry.SetString(Root::CurrentUser, "Software\\App", "Gone", "C:\\Old\\app.exe");
  machine.registry.SetString(Root::CurrentUser, "Software\\App", "Here", "C:\\Tools\\here.exe");
  machine.registry.CreateKey(Root::CurrentUser, "Software\\Left\\Inner");
  machine.registry.SetString(Root::ClassesRoot, "Gone.Prog\\CLSID", "", "{C}");
  auto row = [](const char* key, EntryKind kind, FindingRule rule) {
    return Issue{"Problem", "", key, kind, false, {}, rule};
  };
  struct Case {
    Issue row;
    const char* english;
    const char* german;
  };
  const Case cases[] = {
      {row("HKEY_CURRENT_USER\\Software\\App\\Gone", ekValueInKeyPath, FindingRule::PathReference),
       "C:\\Old\\app.exe: the folder C:\\Old does not exist.",
       "C:\\Old\\app.exe: Der Ordner C:\\Old ist nicht vorhanden."},
      {row("HKEY_CURRENT_USER\\Software\\App\\Here", ekValueInKeyPath, FindingRule::PathReference),
       "No longer broken: C:\\Tools\\here.exe exists now.",
       "Kein Fehler mehr: C:\\Tools\\here.exe ist jetzt vorhanden."},
      {row("HKEY_CURRENT_USER\\Software\\App\\Dropped", ekValueInKeyPath, FindingRule::RunValue),
       "No longer broken: the value is no longer there.",
       "Kein Fehler mehr: Der Wert ist nicht mehr vorhanden."},
      {row("HKEY_CURRENT_USER\\Software\\Left", ekKey, FindingRule::ObsoleteSoftware),
       "HKEY_CURRENT_USER\\Software\\Left has no values, and its sub-key holds none either: a "
       "program's key right below Software with nothing in it is left over from software that is "
       "gone.",
       "HKEY_CURRENT_USER\\Software\\Left enth\xC3\xA4lt keine Werte, und auch sein "
       "Unterschl\xC3\xBCssel enth\xC3\xA4lt keine: Ein leerer Programmschl\xC3\xBCssel direkt "
       "unter Software ist ein \xC3\x9C""berbleibsel von Software, die nicht mehr vorhanden ist."},
      {row("HKEY_CURRENT_USER\\Software\\Left\\Inner", ekKey, FindingRule::EmptyKey),
       "HKEY_CURRENT_USER\\Software\\Left\\Inner has no values and no sub-keys.",
       "HKEY_CURRENT_USER\\Software\\Left\\Inner enth\xC3\xA4lt weder Werte noch "
       "Unterschl\xC3\xBCssel."},
      {row("HKEY_CLASSES_ROOT\\Gone.Prog", ekKey, FindingRule::ProgIdClass),
       "The ProgID Gone.Prog names the class {C}, which has no key under "
       "HKEY_CLASSES_ROOT\\CLSID.",
       "Die ProgID Gone.Prog nennt die Klasse {C}, f\xC3\xBCr die es unter "
       "HKEY_CLASSES_ROOT\\CLSID keinen Schl\xC3\xBCssel gibt."},
  };
  const Wording german(ui::kGermanPhrases, ui::kGermanPhraseCount);
  ReasonDesk desk(Platform(), std::chrono::seconds(10));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row.key);
    FindingExplainer english(Platform(), {});
    EXPECT_EQ(english.Explain(c.row), c.english);
    EXPECT_EQ(desk.Explain(c.row, true, false, german), c.german);
  }
}

}  // namespace
}  // namespace tallowin
