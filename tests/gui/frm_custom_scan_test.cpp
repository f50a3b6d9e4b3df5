#include "ui/frm_custom_scan.h"

#include <gtest/gtest.h>

#include "core/code_list.h"
#include "core/dialog_choices.h"
#include "core/settings.h"
#include "tests/gui/gui_driver.h"

namespace tallowin::ui {
namespace {

using namespace drive;

class CustomScanTest : public ::testing::Test {
 protected:
  void SetUp() override { OptionsSetting = TOptionsSetting{}; }
  void TearDown() override { OptionsSetting = TOptionsSetting{}; }
};

bool Enabled(HWND control) { return IsWindowEnabled(control) != FALSE; }

TEST_F(CustomScanTest, FirstUseShowsTheSeventeenRowsUncheckedWithSaveDisabled) {
  TfrmCustomScan dialog(nullptr);
  UiScript script;
  bool saveEnabled = true;
  script.Then("shown", [&] { return Showing(dialog.handle()); }, [&] {
    saveEnabled = Enabled(dialog.bSave);
    Click(dialog.bCancel);
  });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_FALSE(saveEnabled);
  EXPECT_EQ(WindowText(dialog.handle()), "Custom Scan");
  ASSERT_EQ(ListCount(dialog.ListView1), 17);
  for (int row = 0; row < 17; ++row) {
    EXPECT_EQ(ListText(dialog.ListView1, row), kScanSectionNames[static_cast<size_t>(row)]);
    EXPECT_FALSE(ListView_GetCheckState(dialog.ListView1, row));
  }
  EXPECT_EQ(ListText(dialog.ListView1, 16), "Windows Services");
  EXPECT_TRUE(GetWindowLongW(dialog.ListView1, GWL_STYLE) & LVS_NOCOLUMNHEADER);
}

TEST_F(CustomScanTest, SaveFollowsEveryCheckClick) {
  TfrmCustomScan dialog(nullptr);
  std::vector<bool> seen;
  UiScript script;
  script.Then("shown", [&] { return Showing(dialog.handle()); },
              [&] { ClickAt(dialog.ListView1, CheckBoxPoint(dialog.ListView1, 2)); })
      .Then("checked", [&] { return ListView_GetCheckState(dialog.ListView1, 2) != 0; }, [&] {
        seen.push_back(Enabled(dialog.bSave));
        ClickAt(dialog.ListView1, CheckBoxPoint(dialog.ListView1, 2));
      })
      .Then("unchecked", [&] { return ListView_GetCheckState(dialog.ListView1, 2) == 0; }, [&] {
        seen.push_back(Enabled(dialog.bSave));
        Click(dialog.bCancel);
      });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST_F(CustomScanTest, SaveThenCancelKeepsTheSavedChoiceAndCancelAloneKeepsTheOld) {
  {
    TfrmCustomScan dialog(nullptr);
    UiScript script;
    script.Then("shown", [&] { return Showing(dialog.handle()); },
                [&] { ClickAt(dialog.ListView1, CheckBoxPoint(dialog.ListView1, 4)); })
        .Then("checked", [&] { return Enabled(dialog.bSave); }, [&] { Click(dialog.bSave); })
        .Then("saved", [&] { return !Enabled(dialog.bSave); },
              [&] { ClickAt(dialog.ListView1, CheckBoxPoint(dialog.ListView1, 0)); })
        .Then("changed again", [&] { return Enabled(dialog.bSave); }, [&] { Click(dialog.bCancel); });
    script.Start();
    EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
    EXPECT_TRUE(script.Done()) << script.Pending();
  }
  TScanSections expected;
  expected[5] = true;
  EXPECT_EQ(OptionsSetting.ScanSections.items, expected.items);

  TfrmCustomScan next(nullptr);
  UiScript script;
  TScanSections shown;
  script.Then("shown", [&] { return Showing(next.handle()); }, [&] {
    shown = next.Checks();
    PostMessageW(next.handle(), WM_SYSCOMMAND, SC_CLOSE, 0);  // the title bar's close
  });
  script.Start();
  EXPECT_EQ(next.ShowModal(nullptr), mrCancel);
  EXPECT_EQ(shown.items, expected.items);
}

// An empty choice is refused before anything is saved: the dialog stays, and Cancel then
// leaves the saved choice (which every -repaironce runs) as it was.
TEST_F(CustomScanTest, StartScanWithNothingCheckedIsRefusedAndSavesNothing) {
  OptionsSetting.ScanSections[3] = true;
  const TScanSections saved = OptionsSetting.ScanSections;
  MessageBoxAnswers answers;
  TfrmCustomScan dialog(nullptr);
  UiScript script;
  script.Then("shown", [&] { return Showing(dialog.handle()); },
              [&] { ClickAt(dialog.ListView1, CheckBoxPoint(dialog.ListView1, 2)); })
      .Then("unchecked", [&] { return ListView_GetCheckState(dialog.ListView1, 2) == 0; },
            [&] { Click(dialog.bStartScan); })
      .Then("refused", [&] { return answers.shown().size() == 1 && Showing(dialog.handle()); },
            [&] { Click(dialog.bCancel); });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_TRUE(script.Done()) << script.Pending();
  ASSERT_EQ(answers.shown().size(), 1u);
  EXPECT_EQ(answers.shown()[0].text, "No sections were selected!");
  EXPECT_EQ(answers.shown()[0].type, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_EQ(OptionsSetting.ScanSections.items, saved.items);
}

TEST_F(CustomScanTest, PopupMenuSelectsAllAndDeselectsAll) {
  TfrmCustomScan dialog(nullptr);
  wchar_t first[32] = {}, second[32] = {};
  GetMenuStringW(dialog.suiPopupMenu1, 0, first, 32, MF_BYPOSITION);
  GetMenuStringW(dialog.suiPopupMenu1, 1, second, 32, MF_BYPOSITION);
  EXPECT_EQ(Narrow(first), "Select &All");
  EXPECT_EQ(Narrow(second), "&Deselect All");

  TScanSections all;
  all.items.fill(true);
  UiScript script;
  bool clearedBeforeSave = false;
  script.Then("shown", [&] { return Showing(dialog.handle()); }, [&] {
        const POINT at = RowPoint(dialog.ListView1, 3);
        PostMessageW(dialog.ListView1, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(at.x, at.y));
        PostMessageW(dialog.ListView1, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
      })
      .Then("menu open", [&] { return FindThreadWindow(L"#32768") != nullptr; },
            [&] { PostMessageW(FindThreadWindow(L"#32768"), WM_CHAR, 'a', 0); })
      .Then("all checked", [&] { return dialog.Checks().items == all.items; }, [&] {
        PostMessageW(dialog.handle(), WM_COMMAND, TfrmCustomScan::kDeselectAllCommand, 0);
      })
      .Then("none checked", [&] { return dialog.Checks().items == TScanSections{}.items; }, [&] {
        clearedBeforeSave = OptionsSetting.ScanSections.items == TScanSections{}.items;
        PostMessageW(dialog.handle(), WM_COMMAND, TfrmCustomScan::kSelectAllCommand, 0);
      })
      .Then("all again", [&] { return dialog.Checks().items == all.items; },
            [&] { Click(dialog.bStartScan); });
  script.Start();
  EXPECT_EQ(dialog.ShowModal(nullptr), mrOk);
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_TRUE(clearedBeforeSave) << "the menu commands store nothing";
  const std::vector<std::string> codes = SectionCodes(OptionsSetting.ScanSections);
  ASSERT_EQ(codes.size(), 17u);
  EXPECT_EQ(codes.front(), "1");
  EXPECT_EQ(codes.back(), "17");
}

}  // namespace
}  // namespace tallowin::ui
