// TfrmMain in this process over the real registry of the test prefix: a sandbox key with
// stale values, driven with the messages clicks, keys and menu choices produce.
#include "ui/frm_main.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/code_list.h"
#include "core/fix_report.h"
#include "core/list_commands.h"
#include "core/scan_session.h"
#include "core/settings.h"
#include "platform/win32/win32_platform.h"
#include "tests/gui/gui_test_support.h"
#include "ui/messages.h"
#include "ui/ui_text.h"

namespace tallowin::ui {
namespace {

using namespace test;

constexpr const char* kProblem = "Non-existent File or Folder";

std::string Missing(int n) { return "C:\\TallowinGuiTest\\missing-" + std::to_string(n) + ".exe"; }

class MainWindowTest : public testing::Test {
 protected:
  ~MainWindowTest() override {
    main_.reset();
    OptionsSetting = TOptionsSetting{};
  }

  std::string SettingsFile() const { return folder_ / "Settings.dat"; }
  std::string BackupFolder() const { return folder_ / "Backup"; }

  TfrmMain& Open(std::vector<std::string> arguments = {}, std::string settingsPath = "",
                 MainWindowOptions options = {}) {
    options.settingsPath = settingsPath.empty() ? SettingsFile() : settingsPath;
    options.executableDirectory = folder_.path();
    options.endsProgram = false;
    main_ = std::make_unique<TfrmMain>(options);
    EXPECT_TRUE(main_->CreateMain(std::move(arguments)));
    main_->Show(SW_SHOW);
    EXPECT_TRUE(WaitFor([&] { return main_->Activated(); }));
    return *main_;
  }

  // Stale values below the sandbox key, named Gone1..GoneN in `subKey`.
  void Seed(int count, const std::string& subKey = "Sub") {
    for (int i = 1; i <= count; ++i) sandbox_.SetString(subKey, "Gone" + std::to_string(i), Missing(i));
  }

  void Scan(std::vector<std::string> codes) {
    main_->CategoryCodes = std::move(codes);
    main_->StartScan();
  }

  // Rows of the sandbox, as "Sub\GoneN" in list order.
  std::vector<std::string> SandboxRows() const {
    std::vector<std::string> rows;
    const std::string prefix = sandbox_.column() + "\\";
    for (const Issue& row : main_->Issues().rows)
      if (row.key.rfind(prefix, 0) == 0) rows.push_back(row.key.substr(prefix.size()));
    return rows;
  }

  int RowOf(const std::string& below) const {
    const auto& rows = main_->Issues().rows;
    for (size_t i = 0; i < rows.size(); ++i)
      if (rows[i].key == sandbox_.column(below)) return static_cast<int>(i);
    return -1;
  }

  void Select(int row) {
    LVITEMW item{};
    item.state = item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(main_->lvRegistryData, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                 reinterpret_cast<LPARAM>(&item));
  }

  void Command(int id, int notifyCode = 0) {
    SendMessageW(main_->handle(), WM_COMMAND, MAKEWPARAM(id, notifyCode), 0);
  }

  void ClickCheckBox(int row) {
    SendMessageW(main_->lvRegistryData, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    const std::optional<POINT> at = CheckBoxPoint(main_->lvRegistryData, row);
    ASSERT_TRUE(at.has_value()) << "no check box found on row " << row;
    const bool before = main_->Issues().rows[static_cast<size_t>(row)].checked;
    PostClick(main_->lvRegistryData, *at);
    ASSERT_TRUE(WaitFor([&] { return main_->Issues().rows[static_cast<size_t>(row)].checked != before; }));
  }

  static std::string Status(size_t found, size_t selected) {
    return " " + std::to_string(found) + " Error Found,  " + std::to_string(selected) + " Error Selected.";
  }

  ScratchFolder folder_{"main"};
  SandboxKey sandbox_{"TallowinGuiTest"};
  std::unique_ptr<TfrmMain> main_;
};

TEST_F(MainWindowTest, StartsWithItsCaptionButtonsWelcomePanelAndNoHeaders) {
  TfrmMain& main = Open();
  EXPECT_EQ(WindowText(main.handle()), "Tallowin 2.8");
  wchar_t className[64] = {};
  GetClassNameW(main.handle(), className, 64);
  EXPECT_EQ(Narrow(className), "Tallowin Made by Quorvel");
  RECT client{};
  GetClientRect(main.handle(), &client);
  EXPECT_EQ(client.right, Scale(594));
  EXPECT_EQ(client.bottom, Scale(442));

  const std::pair<HWND, const char*> buttons[] = {
      {main.bScanRegistry, "Full &Scan"}, {main.bCustomScan, "&Custom Scan"},
      {main.bFixErrors, "&Fix Errors"},   {main.bRestoreRegistry, "&Restore"},
      {main.bOptions, "&Options"},        {main.bHelp, "&Help"},
      {main.aAbout, "&About"},            {main.bExit, "&Exit"}};
  const int tops[] = {55, 97, 139, 182, 224, 267, 309, 352};
  for (size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(WindowText(buttons[i].first), buttons[i].second);
    const RECT r = RectInParent(buttons[i].first);
    EXPECT_EQ(r.left, Scale(16)) << buttons[i].second;
    EXPECT_EQ(r.top, Scale(tops[i])) << buttons[i].second;
    EXPECT_EQ(r.right - r.left, Scale(80)) << buttons[i].second;
    EXPECT_EQ(r.bottom - r.top, Scale(27)) << buttons[i].second;
  }
  EXPECT_EQ(WindowText(main.lCheckUpdate), "Check for updates now...");
  EXPECT_EQ(RectInParent(main.lCheckUpdate).left, Scale(337));
  EXPECT_EQ(RectInParent(main.lCheckUpdate).top, Scale(4));

  EXPECT_TRUE(IsWindowVisible(main.Panel1));
  EXPECT_EQ(WindowText(main.Label1), "Welcome to Tallowin!");
  EXPECT_EQ(WindowText(GetDlgItem(main.Panel1, TfrmMain::idInstructions + 4)),
            "should not be deleted, you can click 'Restore' to  undo any changes.");
  EXPECT_EQ(WindowText(main.suiURLLabel2), "please donate to support our hard work (thanks :-)");
  EXPECT_NE(GetWindowLongPtrW(main.lvRegistryData, GWL_STYLE) & LVS_NOCOLUMNHEADER, 0);
  EXPECT_NE(GetWindowLongPtrW(main.lvRegistryData, GWL_STYLE) & LVS_OWNERDATA, 0);
  EXPECT_EQ(main.StatusText(), "");  // no repair yet
}

TEST_F(MainWindowTest, LastFixIsShownAndTheStoredPlacementApplied) {
  WriteFileBytes(SettingsFile(),
                 "[Settings]\r\nLast Clean=07/03/2013 14:05:09 , 12 errors were fixed!\r\n"
                 "Left=40\r\nTop=30\r\nWidth=700\r\nHeight=520\r\n");
  TfrmMain& main = Open();
  EXPECT_EQ(main.StatusText(), "Last fix at: 07/03/2013 14:05:09 , 12 errors were fixed!");
  RECT window{};
  GetWindowRect(main.handle(), &window);
  EXPECT_EQ(window.left, 40);
  EXPECT_EQ(window.top, 30);
  EXPECT_EQ(window.right - window.left, 700);
  EXPECT_EQ(window.bottom - window.top, 520);
}

TEST_F(MainWindowTest, ResizingLaysTheListStatusLineAndPictureOut) {
  TfrmMain& main = Open();
  RECT frame{0, 0, Scale(800), Scale(600)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrW(main.handle(), GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(main.handle(), GWL_EXSTYLE)));
  SetWindowPos(main.handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER);
  const RECT list = RectInParent(main.lvRegistryData);
  EXPECT_EQ(list.left, Scale(115));
  EXPECT_EQ(list.top, Scale(40));
  EXPECT_EQ(list.right - list.left, Scale(800 - 115 - 15));
  EXPECT_EQ(list.bottom - list.top, Scale(600 - 40 - 22 - 15));
  const RECT panel = RectInParent(main.Panel1);
  EXPECT_TRUE(EqualRect(&panel, &list));
  const RECT status = RectInParent(main.StatusBar1);
  EXPECT_EQ(status.top, Scale(600 - 22));
  EXPECT_EQ(status.right - status.left, Scale(800));
  const RECT picture = RectInParent(main.Image1);
  EXPECT_EQ(picture.left, Scale(800 - 115 - 15 - 216 - 35));
  EXPECT_EQ(picture.top, Scale(600 - 40 - 22 - 15 - 216 - 8));
}

TEST_F(MainWindowTest, FullScanFillsTheListChecksEveryRowAndCountsThem) {
  Seed(3);
  TfrmMain& main = Open();
  SendMessageW(main.bScanRegistry, BM_CLICK, 0, 0);  // returns when the scan is over
  EXPECT_EQ(main.CategoryCodes, FullScanCodes());
  EXPECT_FALSE(IsWindowVisible(main.Panel1));
  EXPECT_EQ(GetWindowLongPtrW(main.lvRegistryData, GWL_STYLE) & LVS_NOCOLUMNHEADER, 0);
  EXPECT_EQ(SandboxRows(), (std::vector<std::string>{"Sub\\Gone1", "Sub\\Gone2", "Sub\\Gone3"}));
  const IssueList& list = main.Issues();
  ASSERT_GE(list.Count(), 3u);
  EXPECT_EQ(list.CheckedCount(), list.Count());
  EXPECT_EQ(static_cast<size_t>(SendMessageW(main.lvRegistryData, LVM_GETITEMCOUNT, 0, 0)), list.Count());
  EXPECT_EQ(main.StatusText(), Status(list.Count(), list.Count()));
  // Every column as wide as its widest text.
  for (int column = 0; column < 3; ++column) {
    const LRESULT width = SendMessageW(main.lvRegistryData, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0);
    for (const Issue& issue : list.rows) {
      const std::wstring text = Wide(column == 0 ? issue.problem.str() : column == 1 ? issue.data : issue.key);
      EXPECT_LT(SendMessageW(main.lvRegistryData, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())),
                width)
          << "column " << column << ": " << Narrow(text);
    }
  }
  const Issue& row = list.rows[static_cast<size_t>(RowOf("Sub\\Gone2"))];
  EXPECT_EQ(row.problem, kProblem);
  EXPECT_EQ(row.data, Missing(2));
  EXPECT_EQ(row.kind, ekValueInKeyPath);
}

TEST_F(MainWindowTest, ClickingACheckBoxOrPressingSpaceChangesTheCount) {
  Seed(3);
  TfrmMain& main = Open();
  Scan({"2"});
  const size_t found = main.Issues().Count();
  ASSERT_GE(found, 3u);
  const int row = RowOf("Sub\\Gone2");
  ClickCheckBox(row);
  EXPECT_FALSE(main.Issues().rows[static_cast<size_t>(row)].checked);
  EXPECT_EQ(main.StatusText(), Status(found, found - 1));
  ClickCheckBox(row);
  EXPECT_EQ(main.StatusText(), Status(found, found));

  const int other = RowOf("Sub\\Gone3");
  Select(other);
  SetFocus(main.lvRegistryData);
  PostMessageW(main.lvRegistryData, WM_KEYDOWN, VK_SPACE, 1);
  ASSERT_TRUE(WaitFor([&] { return !main.Issues().rows[static_cast<size_t>(other)].checked; }));
  EXPECT_EQ(main.StatusText(), Status(found, found - 1));
}

TEST_F(MainWindowTest, FixErrorsRemovesExactlyTheCheckedRowsAfterBackingThemUp) {
  Seed(5);
  TfrmMain& main = Open();
  Scan({"2"});
  Command(TfrmMain::idSelectNone);
  EXPECT_EQ(main.StatusText(), Status(main.Issues().Count(), 0));
  // Nothing checked: said, and the record of the last repair stays.
  OptionsSetting.LastClean = "01/02/2026 10:00:00 , 7 errors were fixed!";
  {
    MessageBoxes boxes;
    CreateDirectoryW(Wide(BackupFolder()).c_str(), nullptr);  // no question comes first
    SendMessageW(main.bFixErrors, BM_CLICK, 0, 0);
    EXPECT_TRUE(RemoveDirectoryW(Wide(BackupFolder()).c_str())) << "a backup was written";
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(!boxes.shown.empty() && boxes.shown[0].text.rfind("No error is checked", 0) == 0);
  }
  EXPECT_EQ(OptionsSetting.LastClean, "01/02/2026 10:00:00 , 7 errors were fixed!");
  EXPECT_EQ(main.StatusText(), Status(main.Issues().Count(), 0));
  for (int i : {1, 3, 4}) ClickCheckBox(RowOf("Sub\\Gone" + std::to_string(i)));
  const size_t before = main.Issues().Count();

  MessageBoxes boxes({IDYES});
  SendMessageW(main.bFixErrors, BM_CLICK, 0, 0);
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{BackupFolder() +
                                                     ",can not find the backup folder.\r\n"
                                                     "creates a new directory?"}));
  EXPECT_EQ(boxes.shown[0].type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION));
  EXPECT_EQ(SandboxRows(), (std::vector<std::string>{"Sub\\Gone2", "Sub\\Gone5"}));
  EXPECT_EQ(main.Issues().Count(), before - 3);
  EXPECT_EQ(static_cast<size_t>(SendMessageW(main.lvRegistryData, LVM_GETITEMCOUNT, 0, 0)), before - 3);
  for (int i : {1, 3, 4}) EXPECT_FALSE(sandbox_.HasValue("Sub", "Gone" + std::to_string(i))) << i;
  for (int i : {2, 5}) EXPECT_TRUE(sandbox_.HasValue("Sub", "Gone" + std::to_string(i))) << i;
  EXPECT_EQ(main.StatusText(), "Fix errors finished, 3 errors were fixed!");
  EXPECT_NE(OptionsSetting.LastClean.find(" , 3 errors were fixed!"), std::string::npos);

  ASSERT_FALSE(main.BackupFileName.empty());
  EXPECT_EQ(main.BackupFileName.rfind(BackupFolder() + "\\", 0), 0u);
  const std::string backup = ReadFileBytes(main.BackupFileName);
  EXPECT_EQ(backup.rfind("REGEDIT4", 0), 0u);
  for (int i : {1, 3, 4}) EXPECT_NE(backup.find("\"Gone" + std::to_string(i) + "\"="), std::string::npos) << i;
  for (int i : {2, 5}) EXPECT_EQ(backup.find("\"Gone" + std::to_string(i) + "\"="), std::string::npos) << i;
  EXPECT_TRUE(IsWindowEnabled(main.handle()));
}

// Sets the access list of a sandbox sub-key: "KR" read only, "KA" full access.
void SetKeyAccess(const SandboxKey& sandbox, const std::string& subKey, const wchar_t* rights) {
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, Wide(sandbox.path() + "\\" + subKey).c_str(), 0,
                          READ_CONTROL | WRITE_DAC, &key),
            ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const std::wstring sddl = std::wstring(L"D:P(A;;") + rights + L";;;WD)";
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  EXPECT_EQ(RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
  LocalFree(descriptor);
  RegCloseKey(key);
}

// Values of a key the registry will not let the program change: their rows stay, checked,
// the user is told which and why, and the status line counts what went.
TEST_F(MainWindowTest, FixKeepsTheRowsTheRegistryRefusesAndSaysWhy) {
  Seed(2, "Locked");
  Seed(1);
  CreateDirectoryW(Wide(BackupFolder()).c_str(), nullptr);
  TfrmMain& main = Open();
  Scan({"2"});
  ASSERT_EQ(SandboxRows(), (std::vector<std::string>{"Locked\\Gone1", "Locked\\Gone2", "Sub\\Gone1"}));
  Command(TfrmMain::idSelectNone);
  for (const char* row : {"Locked\\Gone1", "Locked\\Gone2", "Sub\\Gone1"}) ClickCheckBox(RowOf(row));
  SetKeyAccess(sandbox_, "Locked", L"KR");
  MessageBoxes boxes;
  SendMessageW(main.bFixErrors, BM_CLICK, 0, 0);
  SetKeyAccess(sandbox_, "Locked", L"KA");

  EXPECT_EQ(SandboxRows(), (std::vector<std::string>{"Locked\\Gone1", "Locked\\Gone2"}));
  for (const Issue& row : main.Issues().rows)
    if (row.key.find("\\Locked\\") != std::string::npos) {
      EXPECT_TRUE(row.checked) << row.key;
    }
  EXPECT_TRUE(sandbox_.HasValue("Locked", "Gone1"));
  EXPECT_FALSE(sandbox_.HasValue("Sub", "Gone1"));
  ASSERT_EQ(boxes.shown.size(), 1u);
  const std::string& text = boxes.shown[0].text;
  EXPECT_EQ(text.rfind("2 of the selected findings could not be removed; they stay in the list, selected.", 0), 0u)
      << text;
  EXPECT_NE(text.find(sandbox_.column("Locked\\Gone1")), std::string::npos) << text;
  EXPECT_EQ(main.StatusText(), "Fix errors finished, 1 errors were fixed!, 2 could not be removed");
  EXPECT_NE(OptionsSetting.LastClean.find(" , 1 errors were fixed!, 2 could not be removed"), std::string::npos);
}

// A German window's repair says its summary and reasons in German; Settings.dat keeps
// its English record.
TEST_F(MainWindowTest, FixSpeaksTheWindowsLanguage) {
  Seed(1, "Locked");
  Seed(1);
  CreateDirectoryW(Wide(BackupFolder()).c_str(), nullptr);
  WriteFileBytes(SettingsFile(), "[Settings]\r\nLanguage=de\r\n");
  struct BackToEnglish {
    ~BackToEnglish() { SetLanguage(Language::English); }
  } backToEnglish;
  TfrmMain& main = Open();
  Scan({"2"});
  Command(TfrmMain::idSelectNone);
  for (const char* row : {"Locked\\Gone1", "Sub\\Gone1"}) ClickCheckBox(RowOf(row));
  SetKeyAccess(sandbox_, "Locked", L"KR");
  MessageBoxes boxes;
  SendMessageW(main.bFixErrors, BM_CLICK, 0, 0);
  SetKeyAccess(sandbox_, "Locked", L"KA");

  EXPECT_EQ(main.StatusText(), "Fehlerbehebung beendet: 1 Fehler behoben, 1 nicht entfernt");
  EXPECT_NE(OptionsSetting.LastClean.find(" , 1 errors were fixed!, 1 could not be removed"), std::string::npos);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text,
            "1 der ausgew\xC3\xA4hlten Funde konnte nicht entfernt werden; er bleibt ausgew\xC3\xA4hlt in "
            "der Liste.\r\n\r\n" + sandbox_.column("Locked\\Gone1") + " (" + Missing(1) +
                "): fehlgeschlagen, gesichert, aber der Schl\xC3\xBCssel kann zum L\xC3\xB6schen nicht "
                "ge\xC3\xB6""ffnet werden (Fehler 5): " + sandbox_.column("Locked") + " \"Gone1\"");
}

// The unattended run of a German window writes its record, reasons too, in English.
TEST_F(MainWindowTest, RepairOnceOfAGermanWindowLogsInEnglish) {
  Seed(1, "Locked");
  CreateDirectoryW(Wide(BackupFolder()).c_str(), nullptr);
  WriteFileBytes(SettingsFile(), "[Settings]\r\nLanguage=de\r\n2=1\r\n");
  struct BackToEnglish {
    ~BackToEnglish() { SetLanguage(Language::English); }
  } backToEnglish;
  SetKeyAccess(sandbox_, "Locked", L"KR");
  TfrmMain& main = Open({"-repaironce"});
  const bool ended = WaitFor([&] { return main.handle() == nullptr; });
  SetKeyAccess(sandbox_, "Locked", L"KA");
  ASSERT_TRUE(ended);
  const std::string log = ReadFileBytes(BackupFolder() + "\\Unattended runs.jsonl");
  EXPECT_NE(log.find("\"meaning\":\"some findings could not be removed\""), std::string::npos) << log;
  EXPECT_NE(log.find("[\"backed up, but the key cannot be opened for the deletion (error 5): "),
            std::string::npos)
      << log;
}

// The tooltips of this thread that show now, with their texts.
std::vector<std::string> ShownTips() {
  std::vector<std::string> texts;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM found) WINAPI -> BOOL {
        wchar_t name[64] = {};
        GetClassNameW(window, name, 64);
        if (std::wstring(name) == TOOLTIPS_CLASSW && IsWindowVisible(window)) {
          wchar_t text[1024] = {};
          SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
          reinterpret_cast<std::vector<std::string>*>(found)->push_back(Narrow(text));
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

TEST_F(MainWindowTest, ARowsReasonShowsWhereTheMouseRestsAndWhileTheRowIsSelected) {
  Seed(2);
  TfrmMain& main = Open();
  Scan({"2"});
  const size_t found = main.Issues().Count();
  const int row = RowOf("Sub\\Gone2");
  ASSERT_GE(row, 0);
  const std::string reason = Missing(2) + ": the folder C:\\TallowinGuiTest does not exist.";

  Select(row);
  EXPECT_TRUE(WaitFor([&] { return main.StatusText() == reason; }, 5000)) << main.StatusText();
  LVITEMW none{};
  none.stateMask = LVIS_SELECTED;
  SendMessageW(main.lvRegistryData, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&none));
  EXPECT_TRUE(WaitFor([&] { return main.StatusText() == Status(found, found); }, 5000))
      << main.StatusText();

  SendMessageW(main.lvRegistryData, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  RECT label{LVIR_LABEL, 0, 0, 0};
  ASSERT_TRUE(SendMessageW(main.lvRegistryData, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                           reinterpret_cast<LPARAM>(&label)));
  POINT at{(label.left + label.right) / 2, (label.top + label.bottom) / 2};
  POINT screen = at;
  ClientToScreen(main.lvRegistryData, &screen);
  SetForegroundWindow(main.handle());
  SetCursorPos(screen.x, screen.y);
  PostMessageW(main.lvRegistryData, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));
  EXPECT_TRUE(WaitFor([&] {
    const std::vector<std::string> tips = ShownTips();
    return std::find(tips.begin(), tips.end(), reason) != tips.end();
  }, 10000)) << "shown: " << testing::PrintToString(ShownTips());
}

// The row selected before a click is let go of by the window itself, ahead of the list.
TEST_F(MainWindowTest, ClickingARowMovesTheOneSelectionAndACheckBoxKeepsIt) {
  Seed(3);
  TfrmMain& main = Open();
  Scan({"2"});
  const int first = RowOf("Sub\\Gone1"), second = RowOf("Sub\\Gone3");
  ASSERT_GE(first, 0);
  ASSERT_GE(second, 0);
  const auto selectedIs = [&](int row) {
    return SendMessageW(main.lvRegistryData, LVM_GETSELECTEDCOUNT, 0, 0) == 1 &&
           SendMessageW(main.lvRegistryData, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED) == row &&
           main.Issues().selected == row;
  };
  const auto clickLabel = [&](int row) {
    RECT label{LVIR_LABEL, 0, 0, 0};
    ASSERT_TRUE(SendMessageW(main.lvRegistryData, LVM_GETITEMRECT, static_cast<WPARAM>(row),
                             reinterpret_cast<LPARAM>(&label)));
    PostClick(main.lvRegistryData, POINT{(label.left + label.right) / 2, (label.top + label.bottom) / 2});
  };
  const struct {
    const char* name;
    int row;
    int missing;  // the file the reason names
  } clicks[] = {
      {"the first row", first, 1},
      {"another row", second, 3},
      {"the selected row", second, 3},
      {"the first row again", first, 1},
  };
  for (const auto& click : clicks) {
    SCOPED_TRACE(click.name);
    clickLabel(click.row);
    EXPECT_TRUE(WaitFor([&] { return selectedIs(click.row); }, 5000));
    const std::string reason = Missing(click.missing) + ": the folder C:\\TallowinGuiTest does not exist.";
    EXPECT_TRUE(WaitFor([&] { return main.StatusText() == reason; }, 5000)) << main.StatusText();
  }
  ClickCheckBox(second);
  EXPECT_TRUE(selectedIs(first)) << "a check box clicked on another row took the selection";
}

TEST_F(MainWindowTest, SelectionCommandsOfThePopupMenu) {
  Seed(2);
  sandbox_.SetString("Other", "Stale", "C:\\TallowinGuiTest\\other.txt");
  TfrmMain& main = Open();
  Scan({"2"});
  const size_t found = main.Issues().Count();

  HMENU menu = main.BuildPopupMenu();
  EXPECT_EQ(GetMenuItemCount(menu), 14);
  EXPECT_NE(GetMenuState(menu, TfrmMain::idSelectItem, MF_BYCOMMAND) & MF_GRAYED, 0u);
  EXPECT_NE(GetMenuState(menu, TfrmMain::idRegEdit, MF_BYCOMMAND) & MF_GRAYED, 0u);
  EXPECT_EQ(GetMenuState(menu, TfrmMain::idSaveAs, MF_BYCOMMAND) & MF_GRAYED, 0u);
  EXPECT_EQ(GetMenuState(menu, TfrmMain::idAddToExclude, MF_BYCOMMAND) & MF_GRAYED, 0u);
  DestroyMenu(menu);

  Command(TfrmMain::idSelectNone);
  EXPECT_EQ(main.StatusText(), Status(found, 0));
  Command(TfrmMain::idSelectItem);  // no selected row: nothing
  EXPECT_EQ(main.StatusText(), Status(found, 0));

  Select(RowOf("Sub\\Gone1"));
  menu = main.BuildPopupMenu();
  for (int id : {TfrmMain::idSelectItem, TfrmMain::idDeselectItem, TfrmMain::idSelectAllType,
                 TfrmMain::idUnselectAllType, TfrmMain::idRegEdit})
    EXPECT_EQ(GetMenuState(menu, static_cast<UINT>(id), MF_BYCOMMAND) & MF_GRAYED, 0u) << id;
  DestroyMenu(menu);
  Command(TfrmMain::idSelectItem);
  EXPECT_EQ(main.StatusText(), Status(found, 1));
  EXPECT_TRUE(main.Issues().rows[static_cast<size_t>(RowOf("Sub\\Gone1"))].checked);

  Command(TfrmMain::idSelectAllType);
  size_t ofType = 0;
  for (const Issue& row : main.Issues().rows) ofType += row.problem == kProblem ? 1 : 0;
  EXPECT_EQ(main.StatusText(), Status(found, ofType));
  Command(TfrmMain::idUnselectAllType);
  EXPECT_EQ(main.StatusText(), Status(found, 0));
  Command(TfrmMain::idSelectAll);
  EXPECT_EQ(main.StatusText(), Status(found, found));
}

TEST_F(MainWindowTest, SaveAsTextWritesOneLinePerRowAndAsksBeforeOverwriting) {
  Seed(2);
  TfrmMain& main = Open();
  Scan({"2"});
  std::string expected;
  for (const Issue& row : main.Issues().rows) expected += SaveAsTextLine(row) + "\r\n";

  {
    SaveDialogs dialogs({folder_ / "report"});
    Command(TfrmMain::idSaveAs);
    ASSERT_EQ(dialogs.requests.size(), 1u);
    EXPECT_EQ(dialogs.requests[0].title, "Save as Text");
    EXPECT_EQ(dialogs.requests[0].filterName, "Text files (*.txt)");
  }
  const std::string written = ReadFileBytes(folder_ / "report.txt");
  EXPECT_EQ(written, expected);
  EXPECT_NE(written.find("Non-existent File or Folder  ^^^  " + Missing(1) + "  ^^^  " +
                         sandbox_.column("Sub\\Gone1") + "\r\n"),
            std::string::npos);

  WriteFileBytes(folder_ / "report.txt", "keep me");
  {
    SaveDialogs dialogs({folder_ / "report.txt"});
    MessageBoxes boxes({IDNO});
    Command(TfrmMain::idSaveAs);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, folder_ / "report.txt" + " has existed,overite it?");
    EXPECT_EQ(boxes.shown[0].type, static_cast<UINT>(MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2));
  }
  EXPECT_EQ(ReadFileBytes(folder_ / "report.txt"), "keep me");
  {
    SaveDialogs dialogs({folder_ / "report.TXT"});
    Command(TfrmMain::idSaveAs);
  }
  EXPECT_EQ(ReadFileBytes(folder_ / "report.TXT.txt"), expected);
}

TEST_F(MainWindowTest, AddToExcludeListTakesOutEveryRowOfTheKeyAndTheNextScanHonoursIt) {
  Seed(3, "Excluded");
  Seed(1, "Kept");
  TfrmMain& main = Open();
  Scan({"2"});
  const size_t found = main.Issues().Count();
  Select(RowOf("Kept\\Gone1"));
  Command(TfrmMain::idDeselectItem);
  Select(RowOf("Excluded\\Gone2"));
  Command(TfrmMain::idAddToExclude);
  EXPECT_EQ(OptionsSetting.IgnoreKeys, (std::vector<std::string>{sandbox_.column("Excluded")}));
  EXPECT_EQ(OptionsSetting.IgnoreKeyCount, 1);
  EXPECT_NE(ReadFileBytes(SettingsFile()).find("Key1=" + sandbox_.column("Excluded") + "\r\n"),
            std::string::npos) << "written at once";
  // The three values of the key go, and the counts say so.
  EXPECT_EQ(SandboxRows(), (std::vector<std::string>{"Kept\\Gone1"}));
  EXPECT_EQ(main.StatusText(), Status(found - 3, found - 4));
  EXPECT_EQ(static_cast<size_t>(SendMessageW(main.lvRegistryData, LVM_GETITEMCOUNT, 0, 0)), found - 3);
  // The row that went held the selection and the focus; no other row takes them.
  EXPECT_EQ(SendMessageW(main.lvRegistryData, LVM_GETSELECTEDCOUNT, 0, 0), 0);
  EXPECT_EQ(SendMessageW(main.lvRegistryData, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED), -1);

  Scan({"2"});
  EXPECT_EQ(SandboxRows(), (std::vector<std::string>{"Kept\\Gone1"}));
}

// A key name beyond the ANSI code page stays excluded in the next session.
TEST_F(MainWindowTest, AnExcludedKeyOfAnyScriptStaysExcludedAfterARestart) {
  const std::string greek = "\xCE\xA9\xCE\xBC\xCE\xAD\xCE\xB3\xCE\xB1";  // Ωμέγα
  // An ANSI (Windows-1252) file: its text is kept as the file becomes a UTF-16 one.
  WriteFileBytes(SettingsFile(), "[IgnoreKey]\r\nCount=1\r\nKey1=HKCU\\Software\\\xE9lan\r\n");
  Seed(2, greek);
  Seed(1, "Kept");
  Open();
  Scan({"2"});
  Select(RowOf(greek + "\\Gone1"));
  Command(TfrmMain::idAddToExclude);
  EXPECT_EQ(SandboxRows(), (std::vector<std::string>{"Kept\\Gone1"}));
  main_.reset();
  OptionsSetting = TOptionsSetting{};
  Open();
  EXPECT_EQ(OptionsSetting.IgnoreKeys,
            (std::vector<std::string>{"HKCU\\Software\\\xC3\xA9lan", sandbox_.column(greek)}));
  EXPECT_EQ(ReadFileBytes(SettingsFile()).rfind("\xFF\xFE", 0), 0u);
  Scan({"2"});
  EXPECT_EQ(SandboxRows(), (std::vector<std::string>{"Kept\\Gone1"}));
}

// The scan is stopped from a timer while its dialog runs, after it passed a key of the
// ignore list: the rows that reached the list are filtered (the last one goes first), then
// checked; the status line says the scan was stopped, and Fix leaves the excluded key alone.
TfrmMain* g_stopMain = nullptr;
size_t g_rowsAtStop = 0;
void CALLBACK StopWhenRowsArrive(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = nullptr;
  for (HWND w = FindWindowExW(nullptr, nullptr, L"TallowinTfrmScanRegistry", nullptr); w != nullptr;
       w = FindWindowExW(nullptr, w, L"TallowinTfrmScanRegistry", nullptr)) {
    if (IsWindowVisible(w)) dialog = w;
  }
  if (dialog == nullptr || g_stopMain->Issues().Count() < 10) return;
  KillTimer(nullptr, id);
  SendMessageW(GetDlgItem(dialog, TfrmScanRegistry::idStop), BM_CLICK, 0, 0);
  g_rowsAtStop = g_stopMain->Issues().Count();
}

TEST_F(MainWindowTest, StoppedScanIsFilteredThenCheckedAndFixLeavesExcludedKeysAlone) {
  Seed(5, "Excluded");  // listed before Sub: Wine enumerates sub-keys by name
  Seed(300);
  WriteFileBytes(SettingsFile(), "[IgnoreKey]\r\nCount=1\r\nKey1=" + sandbox_.column("Excluded") + "\r\n");
  CreateDirectoryW(Wide(BackupFolder()).c_str(), nullptr);
  TfrmMain& main = Open();
  g_stopMain = &main;
  g_rowsAtStop = 0;
  // Timer messages come only when the queue is empty: on a busy machine the scan may
  // end before the stop lands. Then the scan is run again.
  for (int attempt = 0; attempt < 4 && g_rowsAtStop == 0; ++attempt) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, &StopWhenRowsArrive);
    Scan(std::vector<std::string>(400, "2"));
    KillTimer(nullptr, timer);
  }
  ASSERT_GE(g_rowsAtStop, 10u);
  EXPECT_EQ(main.LastScanOutcome(), ScanOutcome::Stopped);
  const std::vector<std::string> rows = SandboxRows();
  EXPECT_GE(rows.size(), 4u);
  for (const std::string& row : rows) EXPECT_EQ(row.rfind("Excluded\\", 0), std::string::npos) << row;
  EXPECT_TRUE(main.Issues().filtered);
  EXPECT_EQ(main.Issues().CheckedCount(), main.Issues().Count());
  EXPECT_EQ(main.StatusText(), Status(main.Issues().Count(), main.Issues().Count()) + kScanStoppedNote);

  // Only the sandbox's rows are fixed.
  Command(TfrmMain::idSelectNone);
  for (size_t i = 0; i < main.Issues().Count(); ++i)
    if (main.Issues().rows[i].key.rfind(sandbox_.column() + "\\", 0) == 0)
      const_cast<Issue&>(main.Issues().rows[i]).checked = true;
  MessageBoxes boxes;
  SendMessageW(main.bFixErrors, BM_CLICK, 0, 0);
  EXPECT_TRUE(boxes.shown.empty()) << boxes.Texts().front();
  EXPECT_TRUE(SandboxRows().empty());
  for (int i = 1; i <= 5; ++i) EXPECT_TRUE(sandbox_.HasValue("Excluded", "Gone" + std::to_string(i))) << i;
}

// While the scan dialog does the work after the scan, a timer of the main thread looks
// at the list between two slices; the first look presses Stop and closes the dialog.
struct PostScanWatch {
  TfrmMain* main = nullptr;
  int looks = 0;
  int viewBehindModel = 0;
};
PostScanWatch g_watch;
void CALLBACK WatchPostScan(HWND, UINT, UINT_PTR, DWORD) {
  for (HWND w = FindWindowExW(nullptr, nullptr, L"TallowinTfrmScanRegistry", nullptr); w != nullptr;
       w = FindWindowExW(nullptr, w, L"TallowinTfrmScanRegistry", nullptr)) {
    auto* dialog = dynamic_cast<TfrmScanRegistry*>(reinterpret_cast<Window*>(GetWindowLongPtrW(w, GWLP_USERDATA)));
    if (dialog == nullptr || !dialog->PostScanRunning()) continue;
    const size_t rows = g_watch.main->Issues().Count();
    if (static_cast<size_t>(SendMessageW(g_watch.main->lvRegistryData, LVM_GETITEMCOUNT, 0, 0)) != rows)
      ++g_watch.viewBehindModel;
    RedrawWindow(g_watch.main->lvRegistryData, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    if (g_watch.looks++ == 0) {
      SendMessageW(dialog->bStop, BM_CLICK, 0, 0);
      SendMessageW(dialog->handle(), WM_CLOSE, 0, 0);
    }
  }
}

TEST_F(MainWindowTest, TheWorkAfterTheScanRunsInSlicesAndEndsAsTheFilterInOneGoWould) {
  Seed(1500);
  Seed(600, "Ignored");
  WriteFileBytes(SettingsFile(), "[IgnoreKey]\r\nCount=1\r\nKey1=" + sandbox_.column("Ignored") + "\r\n");
  MainWindowOptions options;
  options.postScanSlice = std::chrono::milliseconds(0);  // one step of the filter per slice
  TfrmMain& main = Open({}, "", options);
  g_watch = PostScanWatch{&main};
  const UINT_PTR timer = SetTimer(nullptr, 0, 1, &WatchPostScan);
  Scan({"2"});
  KillTimer(nullptr, timer);

  // A timer came through in the middle of the work; Stop and close waited for its end:
  // the whole filter ran and no row was lost.
  EXPECT_GE(g_watch.looks, 1);
  EXPECT_EQ(g_watch.viewBehindModel, 0);
  std::vector<std::string> expected;
  for (int i = 1; i <= 1500; ++i) expected.push_back("Sub\\Gone" + std::to_string(i));
  std::sort(expected.begin(), expected.end());  // Wine lists values by name
  EXPECT_EQ(SandboxRows(), expected);

  // The same scan through the command line's road: the filter in one go.
  platform::win32::Win32Machine machine;
  ScanSession session(machine.platform(), {});
  ScanRequest request;
  request.codes = {"2"};
  request.ignoreRemoveDrives = OptionsSetting.IgnoreRemoveDrives;
  request.check64Bit = OptionsSetting.Check64Bit;
  request.ignoreKeys = OptionsSetting.IgnoreKeys;
  request.ignoreKeyCount = OptionsSetting.IgnoreKeyCount;
  IssueList once;
  ASSERT_EQ(session.Run(request, once, {}), ScanOutcome::Completed);
  ASSERT_EQ(main.Issues().Count(), once.Count());
  for (size_t i = 0; i < once.Count(); ++i) {
    const Issue& a = main.Issues().rows[i];
    const Issue& b = once.rows[i];
    ASSERT_TRUE(a.key == b.key && a.data == b.data && a.problem == b.problem && a.kind == b.kind &&
                a.checked && b.checked)
        << "row " << i << ": " << a.key << " | " << b.key;
  }
  EXPECT_EQ(main.StatusText(), Status(once.Count(), once.Count()));
  EXPECT_EQ(static_cast<size_t>(SendMessageW(main.lvRegistryData, LVM_GETITEMCOUNT, 0, 0)), once.Count());
  // The widths come from the texts gathered in slices: every text fits its column.
  for (int column = 0; column < 3; ++column) {
    const LRESULT width = SendMessageW(main.lvRegistryData, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0);
    LRESULT widest = 0;
    for (const Issue& issue : main.Issues().rows) {
      const std::wstring text = Wide(ColumnText(issue, column));
      widest = std::max(widest, SendMessageW(main.lvRegistryData, LVM_GETSTRINGWIDTHW, 0,
                                             reinterpret_cast<LPARAM>(text.c_str())));
    }
    EXPECT_LT(widest, width) << "column " << column;
  }
}

TEST_F(MainWindowTest, LinksAndHelpOpenTheirPages) {
  TfrmMain& main = Open();
  ShellOpens opens;
  SendMessageW(main.bHelp, BM_CLICK, 0, 0);
  size_t expected = 1;
  for (HWND link : {main.lCheckUpdate, main.suiURLLabel1, main.suiURLLabel2, main.Image1}) {
    PostClick(link, {2, 2});
    ++expected;
    ASSERT_TRUE(WaitFor([&] { return opens.opened.size() >= expected; })) << GetDlgCtrlID(link);
  }
  ASSERT_EQ(opens.opened.size(), 5u);
  EXPECT_EQ(opens.opened[0], folder_ / "Tallowin.html");
  EXPECT_EQ(opens.opened[1], opens.opened[2]);
  // A build that names no web address leads to the help page's sections, and the page
  // shipped beside the program has each of them.
  wchar_t self[MAX_PATH] = {};
  const std::string runner = Narrow(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)));
  std::ifstream help(runner.substr(0, runner.find_last_of('\\') + 1) + "Tallowin.html",
                     std::ios::binary);
  const std::string page{std::istreambuf_iterator<char>(help), std::istreambuf_iterator<char>()};
  ASSERT_FALSE(page.empty());
  std::string helpUrl = "file:///" + (folder_ / "Tallowin.html") + "#";
  std::replace(helpUrl.begin(), helpUrl.end(), '\\', '/');
  const std::pair<size_t, const char*> links[] = {{1, "update"}, {3, "support"}, {4, "project"}};
  for (const auto& [index, section] : links) {
    EXPECT_EQ(opens.opened[index], helpUrl + section);
    EXPECT_NE(page.find(std::string("id=\"") + section + "\""), std::string::npos) << section;
  }
  EXPECT_EQ(page.find("tallowin.com"), std::string::npos);
}

TEST_F(MainWindowTest, ASettingsFileThatCannotBeWrittenIsToldAndExitStillEnds) {
  TfrmMain& main = Open({}, folder_ / "no such folder\\Settings.dat");
  MessageBoxes boxes;
  SendMessageW(main.bExit, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return main.handle() == nullptr; }));
  EXPECT_EQ(boxes.Texts(),
            (std::vector<std::string>{"Unable to write to " + folder_ / "no such folder\\Settings.dat"}));
}

TEST_F(MainWindowTest, ExitSavesTheSettingsAndClosesTheWindow) {
  TfrmMain& main = Open();
  SendMessageW(main.bExit, BM_CLICK, 0, 0);
  ASSERT_TRUE(WaitFor([&] { return main.handle() == nullptr; }));
  const std::string saved = ReadFileBytes(SettingsFile());
  EXPECT_NE(saved.find("OutputDirectory=" + BackupFolder()), std::string::npos) << saved;
  EXPECT_NE(saved.find("Width="), std::string::npos) << saved;
}

TEST_F(MainWindowTest, OnlyAFirstArgumentOfRepairOnceInAnyCaseStartsHiddenMode) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"x", "-repaironce"}, std::vector<std::string>{"/repaironce"},
        std::vector<std::string>{"-repaironcex"}}) {
    TfrmMain& main = Open(arguments);
    PumpWaitingMessages();
    EXPECT_FALSE(main.RepairOnce) << arguments.front();
    EXPECT_TRUE(IsWindowVisible(main.handle())) << arguments.front();
  }
}

TEST_F(MainWindowTest, RepairOnceWithNoSectionChosenEndsAfterSavingTheSettings) {
  TfrmMain& main = Open({"-RepairOnce"});
  EXPECT_TRUE(main.RepairOnce);
  ASSERT_TRUE(WaitFor([&] { return main.handle() == nullptr; }));
  EXPECT_FALSE(main.CategoryCodes.has_value());  // freed at the close
  EXPECT_EQ(main.Issues().Count(), 0u);
  EXPECT_NE(ReadFileBytes(SettingsFile()).find("Last Clean="), std::string::npos);
}

HWND g_watched = nullptr;
bool g_hiddenSeen = false, g_shownAgain = false;
void CALLBACK WatchVisibility(HWND, UINT, UINT_PTR, DWORD) {
  if (!IsWindow(g_watched)) return;
  const bool visible = IsWindowVisible(g_watched) != FALSE;
  g_shownAgain = g_shownAgain || (g_hiddenSeen && visible);
  g_hiddenSeen = g_hiddenSeen || !visible;
}

// The backup folder is missing: the unattended run creates it without asking.
TEST_F(MainWindowTest, RepairOnceScansTheSavedSectionsRepairsEverythingAndEnds) {
  Seed(3);
  WriteFileBytes(SettingsFile(), "[Settings]\r\n2=1\r\n");
  MessageBoxes boxes;
  TfrmMain& main = Open({"-REPAIRONCE"});
  // A second start signals the running copy while it works: it stays hidden. The run
  // happens inside one message, so a timer looks at the window meanwhile.
  PostMessageW(main.handle(), WM_ACTIVATEINSTANCE, 0, 0);
  g_watched = main.handle();
  g_hiddenSeen = g_shownAgain = false;
  const UINT_PTR timer = SetTimer(nullptr, 0, 10, &WatchVisibility);
  ASSERT_TRUE(WaitFor([&] { return main.handle() == nullptr; }));
  KillTimer(nullptr, timer);
  EXPECT_TRUE(g_hiddenSeen);
  EXPECT_FALSE(g_shownAgain);
  EXPECT_TRUE(boxes.shown.empty());
  EXPECT_EQ(main.ExitCode(), kRepairOnceDone);
  for (int i = 1; i <= 3; ++i) EXPECT_FALSE(sandbox_.HasValue("Sub", "Gone" + std::to_string(i))) << i;
  EXPECT_EQ(main.Issues().Count(), 0u);
  const std::string saved = ReadFileBytes(SettingsFile());
  EXPECT_NE(saved.find(" , 3 errors were fixed!"), std::string::npos) << saved;
  ASSERT_FALSE(main.BackupFileName.empty());
  EXPECT_NE(ReadFileBytes(main.BackupFileName).find("\"Gone3\"="), std::string::npos);
}

TEST_F(MainWindowTest, ActivateInstanceRestoresAMinimizedWindow) {
  TfrmMain& main = Open();
  ShowWindow(main.handle(), SW_MINIMIZE);
  SendMessageW(main.handle(), WM_ACTIVATEINSTANCE, 0, 0);
  EXPECT_FALSE(IsIconic(main.handle()));
  EXPECT_TRUE(IsWindowVisible(main.handle()));
}

// The custom scan dialog answered from a timer while it runs modally: the sections to
// check (codes), then Start Scan.
std::vector<int> g_sections;
bool g_customScanAnswered = false;
void CALLBACK AnswerCustomScan(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = FindWindowW(L"TallowinTfrmCustomScan", nullptr);
  if (dialog == nullptr || !IsWindowVisible(dialog)) return;
  KillTimer(nullptr, id);
  HWND list = FindWindowExW(dialog, nullptr, WC_LISTVIEWW, nullptr);
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(1);
  SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
  item.state = INDEXTOSTATEIMAGEMASK(2);
  for (int code : g_sections)
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(code - 1), reinterpret_cast<LPARAM>(&item));
  SendMessageW(FindWindowExW(dialog, nullptr, L"Button", L"&Start Scan"), BM_CLICK, 0, 0);
  // A refused Start Scan leaves the dialog open.
  if (IsWindow(dialog) && IsWindowVisible(dialog))
    SendMessageW(FindWindowExW(dialog, nullptr, L"Button", L"&Cancel"), BM_CLICK, 0, 0);
  g_customScanAnswered = true;
}

TEST_F(MainWindowTest, CustomScanRunsExactlyTheChosenSectionsOrSaysNoneWasChosen) {
  Seed(2);
  TfrmMain& main = Open();
  g_sections = {2, 16};
  g_customScanAnswered = false;
  UINT_PTR timer = SetTimer(nullptr, 0, 20, &AnswerCustomScan);
  SendMessageW(main.bCustomScan, BM_CLICK, 0, 0);
  KillTimer(nullptr, timer);
  ASSERT_TRUE(g_customScanAnswered);
  EXPECT_EQ(main.CategoryCodes, (std::vector<std::string>{"2", "16"}));
  EXPECT_TRUE(OptionsSetting.ScanSections[2] && OptionsSetting.ScanSections[16]);
  EXPECT_EQ(SandboxRows(), (std::vector<std::string>{"Sub\\Gone1", "Sub\\Gone2"}));
  const size_t found = main.Issues().Count();

  g_sections = {};
  g_customScanAnswered = false;
  MessageBoxes boxes;
  timer = SetTimer(nullptr, 0, 20, &AnswerCustomScan);
  SendMessageW(main.bCustomScan, BM_CLICK, 0, 0);
  KillTimer(nullptr, timer);
  ASSERT_TRUE(g_customScanAnswered);
  ASSERT_EQ(boxes.shown.size(), 1u);
  EXPECT_EQ(boxes.shown[0].text, "No sections were selected!");
  EXPECT_EQ(boxes.shown[0].type, static_cast<UINT>(MB_ICONINFORMATION));
  EXPECT_EQ(main.Issues().Count(), found);  // the list stays as it was
  EXPECT_EQ(SectionCodes(OptionsSetting.ScanSections), (std::vector<std::string>{"2", "16"}));
}

// Each button's dialog, seen from a timer while it is modal, then closed.
const wchar_t* g_dialogClass = nullptr;
HWND g_dialogOwner = nullptr;
bool g_ownerDisabled = false;
std::string g_dialogCaption;
void CALLBACK CloseDialog(HWND, UINT, UINT_PTR id, DWORD) {
  HWND dialog = FindWindowW(g_dialogClass, nullptr);
  if (dialog == nullptr || !IsWindowVisible(dialog)) return;
  KillTimer(nullptr, id);
  g_dialogOwner = GetWindow(dialog, GW_OWNER);
  g_ownerDisabled = g_dialogOwner != nullptr && !IsWindowEnabled(g_dialogOwner);
  g_dialogCaption = WindowText(dialog);
  PostMessageW(dialog, WM_CLOSE, 0, 0);
}

TEST_F(MainWindowTest, RestoreOptionsAndAboutOpenTheirDialogsModally) {
  CreateDirectoryW(Wide(BackupFolder()).c_str(), nullptr);
  MessageBoxes boxes;  // none expected; a stray one must not hang the test
  TfrmMain& main = Open();
  const std::pair<HWND, const wchar_t*> buttons[] = {{main.bRestoreRegistry, L"TallowinTfrmRestore"},
                                                     {main.bOptions, L"TallowinTfrmOptions"},
                                                     {main.aAbout, L"TallowinTfrmAbout"}};
  for (const auto& [button, dialogClass] : buttons) {
    g_dialogClass = dialogClass;
    g_dialogOwner = nullptr;
    g_dialogCaption.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &CloseDialog);
    SendMessageW(button, BM_CLICK, 0, 0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(g_dialogOwner, main.handle()) << WindowText(button);
    EXPECT_TRUE(g_ownerDisabled) << WindowText(button);
    EXPECT_FALSE(g_dialogCaption.empty()) << WindowText(button);
    EXPECT_TRUE(IsWindowEnabled(main.handle()));
  }
  EXPECT_TRUE(boxes.shown.empty()) << boxes.shown[0].text;
}

// The editor is another process: its status line names the key selected in its tree.
std::string RegeditStatus(HWND editor) {
  HWND status = FindWindowExW(editor, nullptr, L"msctls_statusbar32", nullptr);
  wchar_t text[1024] = {};
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(status, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000,
                      &ignored);
  return Narrow(text);
}

BOOL CALLBACK MatchListView(HWND child, LPARAM param) {
  wchar_t name[64] = {};
  GetClassNameW(child, name, 64);
  if (lstrcmpiW(name, L"SysListView32") != 0) return TRUE;
  *reinterpret_cast<HWND*>(param) = child;
  return FALSE;
}

HWND FindDescendant(HWND parent, const wchar_t*) {
  HWND found = nullptr;
  EnumChildWindows(parent, &MatchListView, reinterpret_cast<LPARAM>(&found));
  return found;
}

void CloseRegedit() {
  HWND editor = FindWindowW(L"RegEdit_RegEdit", nullptr);
  if (editor == nullptr) return;
  PostMessageW(editor, WM_CLOSE, 0, 0);
  WaitFor([] { return FindWindowW(L"RegEdit_RegEdit", nullptr) == nullptr; }, 10000);
}

TEST_F(MainWindowTest, RegEditOpensTheEditorAtTheKeyOfTheRowAndAtAValue) {
  CloseRegedit();
  Seed(1, "Deep\\Key");
  sandbox_.SetString("Values", "Alpha", "a");
  sandbox_.SetString("Values", "Beta", "b");
  sandbox_.SetString("Values", "Gamma", "c");
  TfrmMain& main = Open();
  Scan({"2"});
  Select(RowOf("Deep\\Key\\Gone1"));
  Command(TfrmMain::idRegEdit, 1);  // Ctrl+R
  HWND editor = FindWindowW(L"RegEdit_RegEdit", nullptr);
  ASSERT_NE(editor, nullptr);
  const std::string status = RegeditStatus(editor);
  const std::string key = sandbox_.column("Deep\\Key");
  EXPECT_EQ(status.substr(status.size() - std::min(status.size(), key.size())), key) << status;

  // A path whose last element is a value selects that value: "(Default)", Alpha, Beta, Gamma.
  main.OpenRegeditAt(sandbox_.column("Values\\Gamma"));
  EXPECT_NE(RegeditStatus(editor).find(sandbox_.column("Values")), std::string::npos);
  HWND values = FindDescendant(editor, L"SysListView32");
  ASSERT_NE(values, nullptr);
  EXPECT_EQ(SendMessageW(values, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED), 3);

  MessageBoxes boxes;
  main.OpenRegeditAt(sandbox_.column("Values\\Missing"));
  main.OpenRegeditAt("hkey_current_user\\" + sandbox_.path());
  EXPECT_EQ(boxes.Texts(), (std::vector<std::string>{kCheckKeyMessage, kCheckKeyMessage}));
  CloseRegedit();
}

}  // namespace
}  // namespace tallowin::ui
