// Backup, repair and restore on the real registry with the real registry editor: every
// value type and awkward names go out through the repair run and come back through
// "regedit /s" exactly as they were.

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/reg_global.h"
#include "platform/reg_text.h"
#include "repair/repair_run.h"
#include "repair/restore.h"
#include "tests/backend/backend_fixture.h"
#include "tests/backend/registry_snapshot.h"
#include "tests/support/reg_data.h"
#include "tests/support/repair_prompts.h"

namespace tallowin {
namespace {

using platform::Root;
using testing_support::Snapshot;

constexpr const char* kPlantMarkerVariable = "TALLOWIN_PLANTED_EDITOR_MARKER";

// Run as the planted "regedit.exe" of the test below, this program only creates the
// marker file and ends, before any test starts.
[[maybe_unused]] const bool kRunAsPlant = [] {
  char marker[MAX_PATH], self[MAX_PATH];
  if (GetEnvironmentVariableA(kPlantMarkerVariable, marker, MAX_PATH) == 0) return false;
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string name(self, length);
  if (name.size() < 12 || lstrcmpiA(name.c_str() + name.size() - 12, "\\regedit.exe") != 0)
    return false;
  HANDLE file = CreateFileA(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  ExitProcess(0);
}();

// Waits for the editor, but not for ever.
class PatientHint : public CommandHint {
 public:
  void Show(const std::string&) override {}
  HintAction Poll() override { return ++polls > 240 ? HintAction::Stop : HintAction::Wait; }
  int polls = 0;
};

std::string Bytes(size_t n, unsigned seed) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<char>((i * 37 + seed) & 0xFF));
  return out;
}

std::string U16(const std::string& text) { return testing_support::Utf16Data(text); }

void Set(platform::Registry& registry, Root root, const std::string& path, const std::string& name,
         uint32_t type, const std::string& data) {
  std::unique_ptr<platform::RegistryKey> key;
  ASSERT_EQ(registry.Create(root, path, key), platform::kSuccess) << path;
  ASSERT_EQ(key->SetValue(name, type, data), platform::kSuccess) << path << " " << name;
}

// The only difference the registry editor may make: string data gains its terminator.
bool SameAfterRestore(uint32_t type, const std::string& before, const std::string& after) {
  return SameAfterImport(type, before, after);
}

// Every value type and lengths, odd value and key names, nested keys.
void FillTree(platform::Registry& registry, Root root, const std::string& top) {
  using std::string;
  Set(registry, root, top, "", platform::kRegSz, U16(string("default\0", 8)));
  Set(registry, root, top, "none", platform::kRegNone, "");
  Set(registry, root, top, "none bytes", platform::kRegNone, Bytes(7, 1));
  Set(registry, root, top, "sz", platform::kRegSz, U16(string("C:\\Program Files\\x.exe \"%1\"\0", 29)));
  Set(registry, root, top, "sz empty", platform::kRegSz, U16(string("\0", 1)));
  Set(registry, root, top, "sz no data", platform::kRegSz, U16(""));
  Set(registry, root, top, "sz embedded nul", platform::kRegSz, U16(string("one\0two\0", 8)));
  Set(registry, root, top, "sz crlf", platform::kRegSz, U16(string("line1\r\nline2\nend\0", 18)));
  Set(registry, root, top, "sz unterminated", platform::kRegSz, U16("abc"));
  Set(registry, root, top, "sz high", platform::kRegSz, U16(string("caf\xC3\xA9 \xC3\xBC\xC3\x9F\0", 11)));
  Set(registry, root, top, "expand", platform::kRegExpandSz, U16(string("%SystemRoot%\\x.dll\0", 19)));
  Set(registry, root, top, "multi", platform::kRegMultiSz, U16(string("first\0second\0\0", 14)));
  Set(registry, root, top, "multi empty", platform::kRegMultiSz, U16(string("\0", 1)));
  Set(registry, root, top, "dword", platform::kRegDword, string("\x1A\0\0\0", 4));
  Set(registry, root, top, "dword max", platform::kRegDword, string("\xFF\xFF\xFF\xFF", 4));
  Set(registry, root, top, "dword short", platform::kRegDword, string("\x01\x02", 2));
  Set(registry, root, top, "big endian", platform::kRegDwordBigEndian, string("\0\0\0\x05", 4));
  Set(registry, root, top, "qword", platform::kRegQword, Bytes(8, 9));
  Set(registry, root, top, "resource list", platform::kRegResourceList, Bytes(12, 3));
  Set(registry, root, top, "odd type", 0x1234, Bytes(5, 4));
  for (size_t n = 0; n <= 80; ++n) {
    char name[16];
    wsprintfA(name, "bin%02u", static_cast<unsigned>(n));
    Set(registry, root, top, name, platform::kRegBinary, Bytes(n, static_cast<unsigned>(n)));
  }
  for (const char* name : {"back\\slash", "quo\"te", " spaced ", "eq=ual", "[br]acket", "@",
                           "semi;colon", "\xC3\xA9t\xC3\xA9", "\\\"both\"\\"})
    Set(registry, root, top, name, platform::kRegSz, U16(string(name) + '\0'));
  for (const char* key : {"sub \"quoted\"", "eq=ual", "[x]", "a]b", " lead space", "\xC3\xA9l\xC3\xA8ve",
                          "semi;colon", "dash-"}) {
    Set(registry, root, top + "\\" + key, "v", platform::kRegSz, U16(string(key) + '\0'));
  }
  Set(registry, root, top + "\\Deep\\Deeper\\Deepest", "leaf", platform::kRegBinary, Bytes(30, 7));
  Set(registry, root, top + "\\Deep\\Deeper", "", platform::kRegSz, U16(string("mid\0", 4)));
  std::unique_ptr<platform::RegistryKey> empty;
  ASSERT_EQ(registry.Create(root, top + "\\Deep\\Empty", empty), platform::kSuccess);
}

class RoundTripWineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend_ = testing_support::MakeBackendUnderTest();
    ASSERT_NE(backend_, nullptr);
    sandbox_ = backend_->SandboxKey();
    ASSERT_FALSE(sandbox_.empty());
    folder_ = backend_->SandboxFolder() + "\\Backup";
    settings_.outputDirectory = folder_;
    settings_.osVersionCode = GetWindowsVersionCode(backend_->platform().system);
  }

  RepairResult Repair(IssueList& list) {
    platform::Platform p = backend_->platform();
    testing_support::RecordingPrompts prompts;
    list.filtered = true;  // as the post-scan filter leaves it
    RepairResult result = FixErrors(list, p, settings_, prompts);
    EXPECT_EQ(prompts.errors, std::vector<std::string>{});
    return result;
  }

  Snapshot Take(Root root, const std::string& path) {
    Snapshot snapshot;
    platform::Platform p = backend_->platform();
    EXPECT_TRUE(testing_support::TakeSnapshot(p.registry, root, path, snapshot)) << path;
    return snapshot;
  }

  bool Exists(Root root, const std::string& path) {
    std::unique_ptr<platform::RegistryKey> key;
    return backend_->platform().registry.Open(root, path, platform::Access::Read, key) ==
           platform::kSuccess;
  }

  std::unique_ptr<testing_support::BackendUnderTest> backend_;
  std::string sandbox_;
  std::string folder_;
  RepairSettings settings_;
};

TEST_F(RoundTripWineTest, EveryTypeAndNameComesBackThroughRegedit) {
  platform::Platform p = backend_->platform();
  FillTree(p.registry, Root::CurrentUser, sandbox_ + "\\Tree");
  Set(p.registry, Root::CurrentUser, sandbox_ + "\\Vals", "", platform::kRegSz, U16(std::string("dflt\0", 5)));
  Set(p.registry, Root::CurrentUser, sandbox_ + "\\Vals", "in path", platform::kRegExpandSz,
      U16(std::string("%TEMP%\0", 7)));
  Set(p.registry, Root::CurrentUser, sandbox_ + "\\Vals", "in \"data\"\\", platform::kRegMultiSz,
      U16(std::string("a\0\0", 3)));
  Set(p.registry, Root::CurrentUser, sandbox_ + "\\Vals", "UEME_RunPath", platform::kRegBinary, Bytes(16, 5));
  Set(p.registry, Root::CurrentUser, sandbox_ + "\\Vals", "stays", platform::kRegDword, std::string(4, '\x07'));
  Set(p.registry, Root::CurrentUser, sandbox_ + "\\Sub2\\Inner", "q", platform::kRegQword, Bytes(8, 2));
  const Snapshot before = Take(Root::CurrentUser, sandbox_);

  const std::string hk = "HKEY_CURRENT_USER\\" + sandbox_;
  IssueList list;
  list.Add({"p", "", hk + "\\Tree", ekKey, true});
  list.Add({"p", "", hk + "\\Vals\\in path", ekValueInKeyPath, true});
  list.Add({"p", "in \"data\"\\", hk + "\\Vals", ekValueInData, true});
  list.Add({"p", "Sub2", hk, ekSubKeyInData, true});
  list.Add({"p", "", hk + "\\Vals", ekDefaultValue, true});
  list.Add({"p", Rot13("UEME_RunPath"), hk + "\\Vals", ekEncodedValueInData, true});
  const RepairResult result = Repair(list);
  ASSERT_TRUE(result.completed) << result.error;
  EXPECT_EQ(result.fixed, 6u);
  EXPECT_EQ(result.failed, 0u);
  EXPECT_EQ(list.Count(), 0u);

  // Gone from the registry, and only what the rows named.
  const Snapshot repaired = Take(Root::CurrentUser, sandbox_);
  EXPECT_FALSE(Exists(Root::CurrentUser, sandbox_ + "\\Tree"));
  EXPECT_FALSE(Exists(Root::CurrentUser, sandbox_ + "\\Sub2"));
  ASSERT_EQ(repaired.count("Vals"), 1u);
  EXPECT_EQ(repaired.at("Vals").size(), 1u);
  EXPECT_EQ(repaired.at("Vals").count("stays"), 1u);

  // The real editor, by its full path, puts everything back.
  PatientHint hint;
  const RestoreOutcome outcome = RestoreBackupFile(p, result.backupFile, folder_, hint);
  ASSERT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
  EXPECT_TRUE(outcome.fileDeleted);
  EXPECT_EQ(GetFileAttributesA(result.backupFile.c_str()), INVALID_FILE_ATTRIBUTES);

  const Snapshot after = Take(Root::CurrentUser, sandbox_);
  EXPECT_TRUE(testing_support::SnapshotsMatch(before, after, SameAfterRestore));
  // Byte for byte, except the string that had no terminator.
  size_t differing = 0;
  for (const auto& [path, values] : before)
    for (const auto& [name, value] : values)
      if (after.count(path) && after.at(path).count(name) && after.at(path).at(name).data != value.data) {
        ++differing;
        EXPECT_EQ(name, "sz unterminated") << path;
      }
  EXPECT_LE(differing, 1u);
}

// HKEY_LOCAL_MACHINE\Software: a 32-bit program sees the 32-bit view under WOW64, and the
// restore must land there, not in the 64-bit view the 64-bit editor would write.
TEST_F(RoundTripWineTest, MachineKeysComeBackIntoTheSameRegistryView) {
  platform::Platform p = backend_->platform();
  const std::string key = "Software\\TallowinTest-" + std::to_string(GetCurrentProcessId());
  struct Cleanup {
    std::string key;
    ~Cleanup() {
      for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_ALL_ACCESS | view, &handle) !=
            ERROR_SUCCESS)
          continue;
        RegDeleteTreeA(handle, nullptr);
        RegCloseKey(handle);
        RegDeleteKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), view, 0);
      }
    }
  } cleanup{key};
  Set(p.registry, Root::LocalMachine, key + "\\CLSID\\{00000000-1111}", "", platform::kRegSz,
      U16(std::string("gone.dll\0", 9)));
  Set(p.registry, Root::LocalMachine, key + "\\CLSID\\{00000000-1111}\\InprocServer32", "",
      platform::kRegExpandSz, U16(std::string("%SystemRoot%\\gone.dll\0", 22)));
  const Snapshot before = Take(Root::LocalMachine, key);

  IssueList list;
  list.Add({"p", "", "HKEY_LOCAL_MACHINE\\" + key + "\\CLSID\\{00000000-1111}", ekKey, true});
  const RepairResult result = Repair(list);
  ASSERT_EQ(result.fixed, 1u) << result.error;
  ASSERT_FALSE(Exists(Root::LocalMachine, key + "\\CLSID\\{00000000-1111}"));

  PatientHint hint;
  const RestoreOutcome outcome = RestoreBackupFile(p, result.backupFile, folder_, hint);
  ASSERT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
  EXPECT_TRUE(testing_support::SnapshotsMatch(before, Take(Root::LocalMachine, key)));

  if (p.system.IsWow64()) {
    HKEY other = nullptr;
    const LONG rc = RegOpenKeyExA(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &other);
    if (rc == ERROR_SUCCESS) RegCloseKey(other);
    EXPECT_NE(rc, ERROR_SUCCESS) << "the restore wrote into the 64-bit view";
  }
}

// A regedit.exe planted beside the program is what "Regedit /s" would start; the
// restore runs the system's editor by its full path and checks the result.
TEST_F(RoundTripWineTest, PlantedRegeditIsNotRunAndItsNonImportIsCaught) {
  platform::Platform p = backend_->platform();
  Set(p.registry, Root::CurrentUser, sandbox_ + "\\Planted", "v", platform::kRegSz, U16(std::string("x\0", 2)));
  IssueList list;
  list.Add({"p", "v", "HKEY_CURRENT_USER\\" + sandbox_ + "\\Planted", ekValueInData, true});
  const RepairResult result = Repair(list);
  ASSERT_EQ(result.fixed, 1u) << result.error;

  // A copy of this test program under the editor's name, beside the running program:
  // the first place a bare name is looked up. Started so, it only leaves a mark.
  char self[MAX_PATH];
  ASSERT_GT(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
  const std::string plant = p.system.ExecutableDirectory() + "regedit.exe";
  const std::string marker = backend_->SandboxFolder() + "\\planted-editor-ran";
  ASSERT_TRUE(CopyFileA(self, plant.c_str(), TRUE)) << plant;
  struct RemovePlant {
    std::string path;
    ~RemovePlant() { DeleteFileA(path.c_str()); }
  } removePlant{plant};
  backend_->SetEnvironment(kPlantMarkerVariable, marker);

  // The bare name runs the plant: nothing comes back, and the check says so.
  {
    auto process = p.processes.StartHidden("Regedit /s \"" + result.backupFile + "\"");
    ASSERT_NE(process, nullptr);
    ASSERT_TRUE(process->WaitFor(60000));
  }
  ASSERT_NE(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "the plant did not run";
  ASSERT_TRUE(DeleteFileA(marker.c_str()));
  std::string bytes, text, error;
  platform::RegTextDocument document;
  ASSERT_TRUE(p.files.ReadFile(result.backupFile, bytes));
  ASSERT_TRUE(platform::DecodeRegFileBytes(bytes, text, &error)) << error;
  ASSERT_TRUE(platform::ParseRegText(text, document, &error)) << error;
  std::string missing;
  EXPECT_FALSE(VerifyImported(p.registry, document, missing));
  EXPECT_NE(missing.find("\"v\" is missing"), std::string::npos) << missing;

  PatientHint hint;
  const RestoreOutcome outcome = RestoreBackupFile(p, result.backupFile, folder_, hint);
  ASSERT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
  EXPECT_EQ(GetFileAttributesA(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "the plant ran";
  platform::RegValue value;
  auto key = p.registry.OpenKey(Root::CurrentUser, sandbox_ + "\\Planted", platform::Access::Read);
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->QueryValue("v", value), platform::kSuccess);
  EXPECT_EQ(value.data, U16(std::string("x\0", 2)));
}

// A classes key both the user and the machine hold. Wine's HKEY_CLASSES_ROOT shows the
// machine's: the row's value is deleted there, under the name the row was read by, the
// user's key stays as it was, and a restore puts the value back into the machine's key.
TEST_F(RoundTripWineTest, AClassesValueIsFixedInTheKeyItsRowWasReadFrom) {
  platform::Platform p = backend_->platform();
  const platform::View view = p.system.IsWow64() ? platform::View::Native : platform::View::Process;
  platform::Registry& registry = p.registry.InView(view);
  const std::string cls = "TallowinTWA-" + std::to_string(GetCurrentProcessId());
  const std::string icon = "Software\\Classes\\" + cls + "\\DefaultIcon";
  struct Cleanup {
    std::string key;
    ~Cleanup() {
      for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        HKEY handle = nullptr;
        if (RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &handle) != ERROR_SUCCESS)
          continue;
        RegDeleteTreeA(handle, nullptr);
        RegCloseKey(handle);
        RegDeleteKeyExA(root, key.c_str(), KEY_WOW64_64KEY, 0);
      }
    }
  } cleanup{"Software\\Classes\\" + cls};
  const std::string gone = U16(std::string("C:\\gone\\a.ico\0", 14));
  Set(registry, Root::LocalMachine, icon, "", platform::kRegSz, gone);
  Set(registry, Root::CurrentUser, icon, "", platform::kRegSz, gone);
  Set(registry, Root::CurrentUser, icon, "keep", platform::kRegSz, U16(std::string("x\0", 2)));
  const auto value = [&](Root root, const std::string& path, const std::string& name) {
    std::unique_ptr<platform::RegistryKey> key;
    platform::RegValue found;
    return registry.Open(root, path, platform::Access::Read, key) == platform::kSuccess &&
           key->QueryValue(name, found) == platform::kSuccess;
  };
  const auto fix = [&] {
    IssueList list;
    Issue row{"p", "C:\\gone\\a.ico", "HKEY_CLASSES_ROOT\\" + cls + "\\DefaultIcon\\", ekValueInKeyPath, true};
    row.view = view;
    list.Add(row);
    return Repair(list);
  };

  const RepairResult first = fix();
  ASSERT_EQ(first.fixed, 1u) << (first.rows.empty() ? first.error : first.rows[0].reason);
  EXPECT_FALSE(value(Root::ClassesRoot, cls + "\\DefaultIcon", ""));
  EXPECT_TRUE(value(Root::CurrentUser, icon, ""));
  EXPECT_TRUE(value(Root::CurrentUser, icon, "keep"));
  std::string backup;
  ASSERT_TRUE(p.files.ReadFile(first.backupFile, backup));
  EXPECT_NE(backup.find("[HKEY_LOCAL_MACHINE\\" + icon + "]"), std::string::npos) << backup;

  // Put back under the listed name: a second fix deletes it again, never "already gone".
  Set(registry, Root::LocalMachine, icon, "", platform::kRegSz, gone);
  const RepairResult second = fix();
  ASSERT_EQ(second.rows.size(), 1u);
  EXPECT_EQ(second.rows[0].outcome, RepairOutcome::Deleted) << second.rows[0].reason;

  PatientHint hint;
  const RestoreOutcome outcome = RestoreBackupFile(p, first.backupFile, folder_, hint);
  ASSERT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
  EXPECT_TRUE(value(Root::LocalMachine, icon, ""));
}

// The restore manager's list and restore steps over a real folder and the real editor.
TEST_F(RoundTripWineTest, ListsAndRestoresThroughTheManagersSteps) {
  platform::Platform p = backend_->platform();
  Set(p.registry, Root::CurrentUser, sandbox_ + "\\A", "a", platform::kRegDword, std::string(4, '\1'));
  IssueList list;
  list.Add({"p", "", "HKEY_CURRENT_USER\\" + sandbox_ + "\\A", ekKey, true});
  list.Add({"p", "", "NoBackslash", ekKey, true});
  const RepairResult result = Repair(list);
  EXPECT_EQ(result.fixed, 1u);
  EXPECT_EQ(result.failed, 1u);
  EXPECT_NE(result.statusText.find(", 1 could not be removed"), std::string::npos) << result.statusText;

  std::vector<BackupFileRow> rows;
  ASSERT_TRUE(ListBackupFiles(p.files, p.system, folder_, rows));
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(BackupFilePath(folder_, rows[0].name), result.backupFile);
  EXPECT_FALSE(rows[0].dateText.empty());
  EXPECT_EQ(rows[0].sizeText, "1 KB");

  int selected = 0;
  PatientHint hint;
  const RestoreOutcome outcome = RestoreSelected(p, folder_, folder_, rows, selected, hint);
  ASSERT_EQ(outcome.status, RestoreStatus::Restored) << outcome.message;
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(selected, -1);
  EXPECT_TRUE(Exists(Root::CurrentUser, sandbox_ + "\\A"));
}

}  // namespace
}  // namespace tallowin
