#include "ui/frm_options.h"
#include "ui/frm_reg_add_registry.h"

#include <windowsx.h>

#include <gtest/gtest.h>

#include "core/settings.h"
#include "tests/gui/gui_driver.h"

namespace tallowin::ui {
namespace {

using namespace drive;

const wchar_t* const kEditorClass = L"TallowinTfrmRegAddRegistry";

HWND Editor() { return FindThreadWindow(kEditorClass); }
HWND EditorField(HWND editor) { return FindWindowExW(editor, nullptr, L"Edit", nullptr); }
void EditorOk(HWND editor) { Click(ChildWithText(editor, L"Button", "&OK")); }

class OptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OptionsSetting = TOptionsSetting{};
    OptionsSetting.OutputDirectory = "C:\\windows";
    OptionsSetting.IgnoreKeys = {"HKEY_CURRENT_USER\\Software\\Old"};
    OptionsSetting.IgnoreKeyCount = 1;
  }
  void TearDown() override { OptionsSetting = TOptionsSetting{}; }
};

TEST_F(OptionsTest, OkIsRefusedForAMissingOrEmptyFolderAndNothingIsStored) {
  OptionsSetting.OutputDirectory = "C:\\tallowin-no-such-folder";
  const TOptionsSetting before = OptionsSetting;
  MessageBoxAnswers answers;
  TfrmOptions dialog(nullptr);
  HWND focusAfterRefusal = nullptr;
  UiScript script;
  script.Then("shown", [&] { return Showing(dialog.handle()); }, [&] {
        Click(dialog.cbCreateRestore);
        Click(dialog.bAdd);
      })
      .Then("editor", [&] { return Showing(Editor()); }, [&] {
        Type(EditorField(Editor()), "HKEY_CURRENT_USER\\Software\\New");
        EditorOk(Editor());
      })
      .Then("added", [&] { return ListCount(dialog.lvKeys) == 2; }, [&] { Click(dialog.bOK); })
      .Then("refused", [&] { return answers.shown().size() == 1; }, [&] {
        focusAfterRefusal = GetFocus();
        Type(dialog.eOutputFolder, "");
        Click(dialog.bOK);
      })
      .Then("refused again", [&] { return answers.shown().size() == 2; },
            [&] { Click(dialog.bCancel); });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_TRUE(script.Done()) << script.Pending();
  ASSERT_EQ(answers.shown().size(), 2u);
  EXPECT_EQ(answers.shown()[0].text, "C:\\tallowin-no-such-folder,can not find the backup folder.");
  EXPECT_EQ(answers.shown()[0].type, static_cast<UINT>(MB_ICONERROR));
  EXPECT_EQ(answers.shown()[1].text, ",can not find the backup folder.");
  EXPECT_EQ(focusAfterRefusal, dialog.eOutputFolder);
  EXPECT_EQ(OptionsSetting.OutputDirectory, before.OutputDirectory);
  EXPECT_EQ(OptionsSetting.CreateRP, before.CreateRP);
  EXPECT_EQ(OptionsSetting.IgnoreKeys, before.IgnoreKeys);
  EXPECT_EQ(OptionsSetting.IgnoreKeyCount, 1);
}

TEST_F(OptionsTest, AddEditAndRemoveStoreTheKeysAsTypedAndRefuseKeysWithoutARoot) {
  const bool check64BitBefore = OptionsSetting.Check64Bit;
  MessageBoxAnswers answers;
  TfrmOptions dialog(nullptr);
  bool editorCaption = false, editorShowsRow = false, editCaption = false;
  // Each text is typed and OK pressed in turn; a refused text leaves the editor open
  // with a message, and the last one is cancelled or accepted.
  auto add = [&](UiScript& script, int rowsBefore, std::vector<std::string> texts, bool cancel) {
    script.Then("add " + texts[0],
                [&, rowsBefore] { return ListCount(dialog.lvKeys) == rowsBefore && !Showing(Editor()); },
                [&] { Click(dialog.bAdd); });
    for (size_t i = 0; i < texts.size(); ++i) {
      const std::string text = texts[i];
      const bool last = i + 1 == texts.size();
      script.Then("editor for " + text, [&] { return Showing(Editor()); }, [&, text, last, cancel] {
        editorCaption = WindowText(Editor()) == "Add to Ignore List";
        Type(EditorField(Editor()), text);
        if (last && cancel) Click(ChildWithText(Editor(), L"Button", "&Cancel"));
        else EditorOk(Editor());
      });
    }
  };
  UiScript script;
  script.Then("shown", [&] { return Showing(dialog.handle()); }, [] {});
  add(script, 1, {"HKEY_CURRENT_USER\\Software\\\xCE\xA9mega "}, false);
  add(script, 2, {"remove me", "HKEY_CURRENTUSER\\x", "hkcu\\remove me"}, false);
  add(script, 3, {"", ""}, true);
  // Another spelling of a listed key, mended first: said, not added.
  add(script, 3, {"hkcu\\\\SOFTWARE\\old\\"}, false);
  script
      .Then("edit row 1", [&] { return answers.shown().size() == 4 && !Showing(Editor()); },
            [&] { DoubleClickAt(dialog.lvKeys, RowPoint(dialog.lvKeys, 1)); })
      .Then("editor for row 1", [&] { return Showing(Editor()); }, [&] {
        editorShowsRow = WindowText(EditorField(Editor())) == "HKEY_CURRENT_USER\\Software\\\xCE\xA9mega ";
        editCaption = WindowText(Editor()) == "Edit Ignore List Entry";
        Type(EditorField(Editor()), "Software\\\xCE\xA9mega\\Edited");
        EditorOk(Editor());
      })
      .Then("refused edit", [&] { return answers.shown().size() == 5; }, [&] {
        Type(EditorField(Editor()), "HKEY_CURRENT_USER\\Software\\\xCE\xA9mega\\Edited");
        EditorOk(Editor());
      })
      .Then("edited", [&] { return ListText(dialog.lvKeys, 1) != "HKEY_CURRENT_USER\\Software\\\xCE\xA9mega "; },
            [&] { ClickAt(dialog.lvKeys, RowPoint(dialog.lvKeys, 2)); })
      .Then("row 2 selected", [&] { return IsWindowEnabled(dialog.bRemove); },
            [&] { Click(dialog.bRemove); })
      .Then("removed", [&] { return ListCount(dialog.lvKeys) == 2; }, [&] {
        Click(dialog.cbIgnoreRemoveMedia);
        Click(dialog.cbCheck64Bit);
        Click(dialog.bOK);
      });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrOk);
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_TRUE(editorCaption);
  EXPECT_TRUE(editorShowsRow);
  EXPECT_TRUE(editCaption);
  // "remove me", "HKEY_CURRENTUSER\x", "", the key listed already and the edit without a root.
  ASSERT_EQ(answers.shown().size(), 5u);
  for (size_t i = 0; i < answers.shown().size(); ++i) {
    const bool listed = i == 3;
    EXPECT_EQ(answers.shown()[i].text,
              listed ? TfrmOptions::kAlreadyListedText : TfrmRegAddRegistry::kNoRootMessage);
    EXPECT_EQ(answers.shown()[i].type, static_cast<UINT>(listed ? MB_ICONINFORMATION : MB_ICONERROR));
  }
  const std::vector<std::string> expected = {"HKEY_CURRENT_USER\\Software\\Old",
                                             "HKEY_CURRENT_USER\\Software\\\xCE\xA9mega\\Edited"};
  EXPECT_EQ(OptionsSetting.IgnoreKeys, expected);
  EXPECT_EQ(OptionsSetting.IgnoreKeyCount, 2);
  EXPECT_TRUE(OptionsSetting.IgnoreRemoveDrives);
  EXPECT_EQ(OptionsSetting.Check64Bit, !check64BitBefore);
  EXPECT_EQ(OptionsSetting.OutputDirectory, "C:\\windows");
}

TEST_F(OptionsTest, EditNeedsASelectedRowAndCancelKeepsTheSettings) {
  TfrmOptions dialog(nullptr);
  bool editEnabled = true, removeEnabled = true;
  UiScript script;
  script.Then("shown", [&] { return Showing(dialog.handle()); }, [&] {
        editEnabled = IsWindowEnabled(dialog.bEdit);
        removeEnabled = IsWindowEnabled(dialog.bRemove);
        DoubleClickAt(dialog.lvKeys, EmptyListPoint(dialog.lvKeys));
      })
      // Timer ticks come after posted input: an editor would be open by now.
      .Then("no editor", [&] { return !Showing(Editor()); }, [&] {
        ClickAt(dialog.lvKeys, RowPoint(dialog.lvKeys, 0));
      })
      .Then("selected", [&] { return IsWindowEnabled(dialog.bRemove); }, [&] {
        Click(dialog.bRemove);
        Click(dialog.cbCreateRestore);
      })
      .Then("removed", [&] { return ListCount(dialog.lvKeys) == 0; }, [&] {
        PostMessageW(dialog.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
      });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_FALSE(editEnabled);
  EXPECT_FALSE(removeEnabled);
  EXPECT_EQ(OptionsSetting.IgnoreKeys, std::vector<std::string>{"HKEY_CURRENT_USER\\Software\\Old"});
  EXPECT_EQ(OptionsSetting.IgnoreKeyCount, 1);
  EXPECT_FALSE(OptionsSetting.CreateRP);
}

TEST_F(OptionsTest, RemovingEveryRowStoresAnEmptyList) {
  TfrmOptions dialog(nullptr);
  UiScript script;
  script.Then("shown", [&] { return Showing(dialog.handle()); },
              [&] { ClickAt(dialog.lvKeys, RowPoint(dialog.lvKeys, 0)); })
      .Then("selected", [&] { return IsWindowEnabled(dialog.bRemove); }, [&] { Click(dialog.bRemove); })
      .Then("empty", [&] { return ListCount(dialog.lvKeys) == 0; }, [&] { Click(dialog.bOK); });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrOk);
  EXPECT_TRUE(OptionsSetting.IgnoreKeys.empty());
  EXPECT_EQ(OptionsSetting.IgnoreKeyCount, 0);
}

TEST_F(OptionsTest, BrowseFillsTheFolderAndACancelledBrowseKeepsIt) {
  TfrmOptions dialog(nullptr);
  bool disabledWhilePicking = false;
  std::string afterCancel;
  const auto picker = [] { return FindThreadWindow(L"#32770"); };
  const POINT inside{4, 4};
  UiScript script;
  script.Then("shown", [&] { return Showing(dialog.handle()); },
              [&] { ClickAt(dialog.bBrowse.handle(), inside); })
      .Then("picker", [&] { return Showing(picker()); }, [&] {
        disabledWhilePicking = !IsWindowEnabled(dialog.handle());
        PostMessageW(picker(), WM_COMMAND, IDCANCEL, 0);
      })
      .Then("picker gone", [&] { return !Showing(picker()) && IsWindowEnabled(dialog.handle()); },
            [&] {
              afterCancel = WindowText(dialog.eOutputFolder);
              ClickAt(dialog.bBrowse.handle(), inside);
            })
      .Then("chosen", [&] { return ChooseInPicker(picker(), "C:\\users"); }, [] {})
      .Then("picker closed", [&] { return !Showing(picker()) && IsWindowEnabled(dialog.handle()); },
            [&] { Click(dialog.bOK); });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrOk);
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_TRUE(disabledWhilePicking);
  EXPECT_EQ(afterCancel, "C:\\windows");
  EXPECT_EQ(OptionsSetting.OutputDirectory, "C:\\users");
}

}  // namespace
}  // namespace tallowin::ui
