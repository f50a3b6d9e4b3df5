#include "ui/frm_restore.h"


#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "core/settings.h"
#include "repair/backup.h"
#include "tests/backend/backend_fixture.h"
#include "tests/gui/gui_driver.h"
#include "platform/text.h"
#include "tests/support/reg_data.h"

namespace tallowin::ui {
namespace {

using namespace drive;
using platform::Root;

const wchar_t* const kHintClass = L"TallowinTfrmBackupHint";

// The restore manager over the real registry, files and registry editor of the prefix:
// a sandbox key and folder, both removed again.
class RestoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    backend_ = testing_support::MakeBackendUnderTest();
    ASSERT_FALSE(backend_->SandboxFolder().empty());
    folder_ = backend_->SandboxFolder() + "\\Backup Folder";  // a space: one quoted argument
    ASSERT_TRUE(CreateDirectoryW(Wide(folder_).c_str(), nullptr));
    OptionsSetting = TOptionsSetting{};
    OptionsSetting.OutputDirectory = folder_;
  }
  void TearDown() override {
    OptionsSetting = TOptionsSetting{};
    backend_.reset();
  }

  void Write(const std::string& name, const std::string& content = "REGEDIT4\r\n\r\n") {
    ASSERT_TRUE(backend_->platform().files.AppendToFile(folder_ + "\\" + name, "", content)) << name;
  }
  bool Exists(const std::string& name) {
    return GetFileAttributesW(Wide(folder_ + "\\" + name).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  std::unique_ptr<testing_support::BackendUnderTest> backend_;
  std::string folder_;
};

TEST_F(RestoreTest, ListsTheBackupsNewestFirstAndNothingElse) {
  Write("2010_03_04_050607.reg");
  Write("2011_01_02_030405.REG", "REGEDIT4\r\n" + std::string(1100, ';') + "\r\n");
  Write("notes.txt");
  ASSERT_TRUE(CreateDirectoryW(Wide(folder_ + "\\folder.reg").c_str(), nullptr));
  TfrmRestore dialog(nullptr, backend_->platform());
  bool enabledBefore = true, enabledAfter = false;
  UiScript script;
  script.Then("shown", [&] { return Showing(dialog.handle()); }, [&] {
        enabledBefore = IsWindowEnabled(dialog.bRestore) || IsWindowEnabled(dialog.bDelete);
        ClickAt(dialog.ListView1, RowPoint(dialog.ListView1, 1));
      })
      .Then("selected", [&] { return SelectedListRow(dialog.ListView1) == 1; }, [&] {
        enabledAfter = IsWindowEnabled(dialog.bRestore) && IsWindowEnabled(dialog.bDelete);
        Click(dialog.bClose);
      });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_EQ(WindowText(dialog.handle()), "Restore");
  EXPECT_EQ(WindowText(dialog.eFolder), folder_);
  ASSERT_EQ(ListCount(dialog.ListView1), 2);
  EXPECT_EQ(ListText(dialog.ListView1, 0), "2011_01_02_030405.REG");
  EXPECT_EQ(ListText(dialog.ListView1, 1), "2010_03_04_050607.reg");
  EXPECT_EQ(ListText(dialog.ListView1, 0, 2), "2 KB");
  EXPECT_EQ(ListText(dialog.ListView1, 1, 2), "1 KB");
  EXPECT_FALSE(ListText(dialog.ListView1, 0, 1).empty());
  EXPECT_FALSE(enabledBefore);
  EXPECT_TRUE(enabledAfter);
}

TEST_F(RestoreTest, AMissingFolderIsToldAndBrowseListsAnother) {
  Write("2012_01_01_101010.reg");
  OptionsSetting.OutputDirectory = folder_ + "\\gone";
  MessageBoxAnswers answers;
  TfrmRestore dialog(nullptr, backend_->platform());
  const auto picker = [] { return FindThreadWindow(L"#32770"); };
  std::string afterCancel;
  UiScript script;
  script.Then("shown", [&] { return Showing(dialog.handle()); }, [&] { Click(dialog.bBrowseFolder); })
      .Then("picker", [&] { return Showing(picker()); },
            [&] { PostMessageW(picker(), WM_COMMAND, IDCANCEL, 0); })
      .Then("cancelled", [&] { return !Showing(picker()); }, [&] {
        afterCancel = WindowText(dialog.eFolder);
        Click(dialog.bBrowseFolder);
      })
      .Then("chosen", [&] { return ChooseInPicker(picker(), folder_); }, [] {})
      .Then("listed", [&] { return ListCount(dialog.ListView1) == 1; }, [&] { Click(dialog.bClose); });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_TRUE(script.Done()) << script.Pending();
  ASSERT_EQ(answers.shown().size(), 1u);
  EXPECT_EQ(answers.shown()[0].text, "can not find the backup folder.");
  EXPECT_EQ(answers.shown()[0].type, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_EQ(afterCancel, folder_ + "\\gone");
  EXPECT_TRUE(EqualsNoCase(WindowText(dialog.eFolder), folder_)) << WindowText(dialog.eFolder);
  EXPECT_EQ(OptionsSetting.OutputDirectory, folder_ + "\\gone") << "browsing changes no setting";
}

TEST_F(RestoreTest, RestoreBringsTheKeyBackThroughTheRegistryEditorAndDeletesTheBackup) {
  platform::Platform machine = backend_->platform();
  const std::string parent = backend_->SandboxKey();
  const std::string key = parent + "\\Restored";
  {
    std::unique_ptr<platform::RegistryKey> created;
    ASSERT_EQ(machine.registry.Create(Root::CurrentUser, key, created), platform::kSuccess);
    ASSERT_EQ(created->SetValue("Path", platform::kRegSz,
                                testing_support::Utf16Data(std::string("C:\\gone\\x.exe\0", 14))),
              platform::kSuccess);
    ASSERT_EQ(created->SetValue("Count", platform::kRegDword, std::string("\x07\0\0\0", 4)),
              platform::kSuccess);
  }
  Write("2011_01_01_000000.reg");  // the older backup: listed below
  const std::string backup = "2012_06_07_080910.reg";
  ASSERT_TRUE(ExportRegistryItem(machine.files, machine.registry, machine.system.Ansi(),
                                 folder_ + "\\" + backup, Root::CurrentUser, key, "", true)
                  .ok());
  {
    std::unique_ptr<platform::RegistryKey> above;
    ASSERT_EQ(machine.registry.Open(Root::CurrentUser, parent, platform::Access::All, above),
              platform::kSuccess);
    ASSERT_EQ(above->DeleteSubKey("Restored"), platform::kSuccess);
  }

  MessageBoxAnswers answers;
  TfrmRestore dialog(nullptr, machine);
  bool hintShown = false;
  UiScript script(60000);
  script.Then("shown", [&] { return Showing(dialog.handle()); },
              [&] { ClickAt(dialog.ListView1, RowPoint(dialog.ListView1, 0)); })
      .Then("selected", [&] { return IsWindowEnabled(dialog.bRestore); }, [&] { Click(dialog.bRestore); })
      .Then("hint", [&] { return Showing(FindThreadWindow(kHintClass)); }, [&] { hintShown = true; })
      .Then("restored", [&] { return !Showing(FindThreadWindow(kHintClass)) && ListCount(dialog.ListView1) == 1; },
            [&] { Click(dialog.bClose); });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_TRUE(hintShown);
  EXPECT_TRUE(answers.shown().empty()) << answers.shown()[0].text;
  EXPECT_FALSE(Exists(backup)) << "the imported backup is deleted";
  EXPECT_EQ(ListText(dialog.ListView1, 0), "2011_01_01_000000.reg");
  EXPECT_EQ(SelectedListRow(dialog.ListView1), 0) << "the row that moved up is selected";

  std::unique_ptr<platform::RegistryKey> back;
  ASSERT_EQ(machine.registry.Open(Root::CurrentUser, key, platform::Access::Read, back),
            platform::kSuccess);
  platform::RegValue count;
  ASSERT_EQ(back->QueryValue("Count", count), platform::kSuccess);
  EXPECT_EQ(count.type, platform::kRegDword);
  EXPECT_EQ(count.data, std::string("\x07\0\0\0", 4));
  platform::RegValue path;
  ASSERT_EQ(back->QueryValue("Path", path), platform::kSuccess);
  EXPECT_EQ(TextFromRegData(path.data), "C:\\gone\\x.exe");
}

TEST_F(RestoreTest, DeleteSelectsTheRowThatTakesItsPlaceOrTheNewLast) {
  for (const char* name : {"2010_01_01_000000.reg", "2011_01_01_000000.reg", "2012_01_01_000000.reg"})
    Write(name);
  TfrmRestore dialog(nullptr, backend_->platform());
  std::vector<int> selections;
  bool enabledWhenEmpty = true;
  const auto selectedIs = [&](int row) {
    return [&, row] { return SelectedListRow(dialog.ListView1) == row; };
  };
  UiScript script;
  script.Then("shown", [&] { return Showing(dialog.handle()); },
              [&] { ClickAt(dialog.ListView1, RowPoint(dialog.ListView1, 2)); })
      .Then("last selected", selectedIs(2), [&] { Click(dialog.bDelete); })
      .Then("deleted last", [&] { return ListCount(dialog.ListView1) == 2; }, [&] {
        selections.push_back(SelectedListRow(dialog.ListView1));
        ClickAt(dialog.ListView1, RowPoint(dialog.ListView1, 0));
      })
      .Then("first selected", selectedIs(0), [&] { Click(dialog.bDelete); })
      .Then("deleted first", [&] { return ListCount(dialog.ListView1) == 1; }, [&] {
        selections.push_back(SelectedListRow(dialog.ListView1));
        Click(dialog.bDelete);
      })
      .Then("empty", [&] { return ListCount(dialog.ListView1) == 0; }, [&] {
        selections.push_back(SelectedListRow(dialog.ListView1));
        enabledWhenEmpty = IsWindowEnabled(dialog.bRestore) || IsWindowEnabled(dialog.bDelete);
        DoubleClickAt(dialog.ListView1, EmptyListPoint(dialog.ListView1));
      })
      .Then("nothing happened", [&] { return !Showing(FindThreadWindow(kHintClass)); },
            [&] { Click(dialog.bClose); });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_EQ(selections, (std::vector<int>{1, 0, -1}));
  EXPECT_FALSE(enabledWhenEmpty);
  for (const char* name : {"2010_01_01_000000.reg", "2011_01_01_000000.reg", "2012_01_01_000000.reg"})
    EXPECT_FALSE(Exists(name)) << name;
}

// A backup held open by another program cannot be deleted: neither the Delete button nor
// the delete after its import takes its row away, and the user reads why.
TEST_F(RestoreTest, ABackupThatCannotBeDeletedKeepsItsRowAndTheUserIsToldWhy) {
  platform::Platform machine = backend_->platform();
  const std::string key = backend_->SandboxKey() + "\\Held";
  {
    std::unique_ptr<platform::RegistryKey> created;
    ASSERT_EQ(machine.registry.Create(Root::CurrentUser, key, created), platform::kSuccess);
    ASSERT_EQ(created->SetValue("Count", platform::kRegDword, std::string("\x05\0\0\0", 4)),
              platform::kSuccess);
  }
  const std::string backup = "2012_06_07_080910.reg";
  const std::string path = folder_ + "\\" + backup;
  ASSERT_TRUE(ExportRegistryItem(machine.files, machine.registry, machine.system.Ansi(), path,
                                 Root::CurrentUser, key, "", true)
                  .ok());
  // Read access shared, deletion not: as an editor or a virus scanner holds a file.
  HANDLE held = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);

  MessageBoxAnswers answers;
  TfrmRestore dialog(nullptr, machine);
  UiScript script(60000);
  script.Then("shown", [&] { return Showing(dialog.handle()); },
              [&] { ClickAt(dialog.ListView1, RowPoint(dialog.ListView1, 0)); })
      .Then("selected", [&] { return IsWindowEnabled(dialog.bDelete); }, [&] { Click(dialog.bDelete); })
      .Then("delete refused", [&] { return answers.shown().size() == 1; }, [&] { Click(dialog.bRestore); })
      .Then("restored, delete refused",
            [&] { return answers.shown().size() == 2 && !Showing(FindThreadWindow(kHintClass)); },
            [&] { Click(dialog.bClose); });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_TRUE(script.Done()) << script.Pending();
  CloseHandle(held);

  ASSERT_EQ(answers.shown().size(), 2u);
  // The system's own words for a sharing violation.
  const std::string reason = machine.system.ErrorText(platform::kSharingViolation);
  EXPECT_NE(reason, "Error 32.");
  EXPECT_EQ(answers.shown()[0].text, "The backup file " + path + " could not be deleted: " + reason);
  EXPECT_EQ(answers.shown()[1].text,
            "The backup was restored, but its file " + path + " could not be deleted: " + reason);
  for (const auto& shown : answers.shown()) EXPECT_EQ(shown.type, static_cast<UINT>(MB_OK | MB_ICONERROR));
  ASSERT_EQ(ListCount(dialog.ListView1), 1);
  EXPECT_EQ(ListText(dialog.ListView1, 0), backup);
  EXPECT_EQ(SelectedListRow(dialog.ListView1), 0);
  EXPECT_TRUE(Exists(backup));
}

}  // namespace
}  // namespace tallowin::ui
