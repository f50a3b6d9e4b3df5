// Every fixed text of every window fits its control, measured with the control's own
// font, in each language (scripts/test runs this also at 144 DPI). A control must also
// lie inside its window.
// The memory machine comes first: <windows.h> would rename its ReplaceFile.
#include "platform/memory/memory_platform.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/gui/gui_test_support.h"
#include "ui/frm_about.h"
#include "ui/frm_backup_hint.h"
#include "ui/frm_custom_scan.h"
#include "ui/frm_main.h"
#include "ui/frm_options.h"
#include "ui/frm_reg_add_registry.h"
#include "ui/frm_restore.h"
#include "ui/frm_scan_registry.h"
#include "ui/frm_system_point.h"
#include "ui/ui_text.h"

namespace tallowin::ui {
namespace {

std::wstring ClassOf(HWND control) {
  wchar_t name[64] = {};
  GetClassNameW(control, name, 64);
  return name;
}

// The text's extent in the control's font; `width` 0 measures one line.
SIZE Measure(HWND control, const std::wstring& text, UINT format, int width) {
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
  RECT r{0, 0, width > 0 ? width : 1, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format | DT_CALCRECT);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return {r.right - r.left, r.bottom - r.top};
}

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<size_t>(GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

BOOL CALLBACK Collect(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

// What does not fit, one line each ("" when everything does).
std::string Misfits(HWND window, const std::vector<std::string>& extraLabelTexts = {}, int labelId = 0) {
  std::string out;
  std::vector<HWND> controls;
  EnumChildWindows(window, &Collect, reinterpret_cast<LPARAM>(&controls));
  for (HWND control : controls) {
    RECT client{}, inParent{};
    GetClientRect(control, &client);
    HWND parent = GetParent(control);
    GetWindowRect(control, &inParent);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&inParent), 2);
    RECT parentClient{};
    GetClientRect(parent, &parentClient);
    const std::wstring cls = ClassOf(control);
    const LONG style = GetWindowLongW(control, GWL_STYLE);
    const std::wstring text = TextOf(control);
    const auto say = [&](const std::wstring& what, SIZE need, RECT room) {
      out += Narrow(cls) + " \"" + Narrow(what) + "\" needs " + std::to_string(need.cx) + "x" +
             std::to_string(need.cy) + ", has " + std::to_string(room.right) + "x" +
             std::to_string(room.bottom) + "\n";
    };
    if (!text.empty() && IsWindowVisible(control) &&
        (inParent.right > parentClient.right || inParent.bottom > parentClient.bottom))
      out += Narrow(cls) + " \"" + Narrow(text) + "\" reaches out of its window\n";
    if (lstrcmpiW(cls.c_str(), L"Button") == 0 && !text.empty()) {
      const LONG kind = style & BS_TYPEMASK;
      RECT room = client;
      if (kind == BS_GROUPBOX) room.right -= Scale(16);
      else if (kind == BS_AUTOCHECKBOX || kind == BS_CHECKBOX) room.right -= GetSystemMetrics(SM_CXMENUCHECK) + Scale(4);
      else room.right -= Scale(6);  // a push button's edges
      const SIZE need = Measure(control, text, DT_SINGLELINE, 0);
      if (need.cx > room.right) say(text, need, room);
    } else if (lstrcmpiW(cls.c_str(), L"Static") == 0 && !text.empty() && (style & SS_TYPEMASK) == SS_LEFT) {
      std::vector<std::wstring> texts{text};
      if (GetDlgCtrlID(control) == labelId)
        for (const std::string& extra : extraLabelTexts) texts.push_back(Wide(extra));
      for (const std::wstring& each : texts) {
        const UINT format = DT_WORDBREAK | DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
        const SIZE need = Measure(control, each, format, client.right);
        if (need.cx > client.right || need.cy > client.bottom) say(each, need, client);
      }
    } else if (lstrcmpiW(cls.c_str(), WC_COMBOBOXW) == 0) {
      RECT room = client;
      room.right -= GetSystemMetrics(SM_CXVSCROLL) + Scale(6);
      const int count = static_cast<int>(SendMessageW(control, CB_GETCOUNT, 0, 0));
      for (int i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(control, CB_GETLBTEXTLEN, i, 0)) + 1, L'\0');
        item.resize(static_cast<size_t>(SendMessageW(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item.data()))));
        const SIZE need = Measure(control, item, DT_SINGLELINE | DT_NOPREFIX, 0);
        if (need.cx > room.right) say(item, need, room);
      }
    } else if (lstrcmpiW(cls.c_str(), WC_LISTVIEWW) == 0) {
      HWND header = reinterpret_cast<HWND>(SendMessageW(control, LVM_GETHEADER, 0, 0));
      const int columns = header != nullptr ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
      for (int c = 0; c < columns; ++c) {
        wchar_t title[256] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = title;
        column.cchTextMax = 256;
        SendMessageW(control, LVM_GETCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
        if (column.cx == 0) continue;  // a column kept out of sight
        const SIZE need = Measure(header, title, DT_SINGLELINE | DT_NOPREFIX, 0);
        const RECT room{0, 0, column.cx - Scale(12), 0};
        if (need.cx + Scale(12) > column.cx) say(title, need, room);
      }
    }
  }
  return out;
}

struct NoScan : ScanHost {
  explicit NoScan(platform::memory::MemoryMachine& machine) : platform_(machine.platform()) {}
  const platform::Platform& ScanPlatform() override { return platform_; }
  bool HiddenMode() const override { return false; }
  ScanRequest ScanOptions() const override { return {}; }
  void AddRows(std::vector<Issue>&&) override {}
  bool PostScanSlice(bool) override { return true; }
  platform::Platform platform_;
};

class TextFit : public ::testing::TestWithParam<Language> {
 protected:
  void SetUp() override { SetLanguage(GetParam()); }
  void TearDown() override { SetLanguage(Language::English); }
  platform::memory::MemoryMachine machine_;
};

TEST_P(TextFit, EveryWindowsTextsFitTheirControls) {
  RecordProperty("dpi", Scale(96));  // the run at 144 DPI says so in its XML report
  std::vector<std::string> scanCaptions;
  for (int id = static_cast<int>(Txt::ScanHkcr); id <= static_cast<int>(Txt::Optimizing); ++id)
    scanCaptions.push_back(Tr(static_cast<Txt>(id)));
  MainWindowOptions options;
  const platform::Platform platform = machine_.platform();
  options.platform = &platform;
  options.settingsPath = "C:\\nowhere\\Settings.dat";
  options.endsProgram = false;
  options.chooseLanguage = false;
  TfrmMain main(options);
  ASSERT_TRUE(main.CreateMain({}));
  NoScan host(machine_);
  const std::vector<std::pair<const char*, std::function<std::string()>>> windows = {
      {"main", [&] { return Misfits(main.handle()); }},
      {"options", [&] { TfrmOptions f(main.handle()); return Misfits(f.handle()); }},
      {"custom scan", [&] { TfrmCustomScan f(main.handle()); return Misfits(f.handle()); }},
      {"restore", [&] { TfrmRestore f(main.handle(), machine_.platform()); return Misfits(f.handle()); }},
      {"scan", [&] {
         TfrmScanRegistry f(main.handle(), {}, host);
         return Misfits(f.handle(), scanCaptions, TfrmScanRegistry::idScanTask);
       }},
      {"ignore entry", [&] { TfrmRegAddRegistry f(main.handle()); return Misfits(f.handle()); }},
      {"restore point", [&] { TfrmSystemPoint f(main.handle(), machine_.platform()); return Misfits(f.handle()); }},
      {"backup hint", [&] {
         TfrmBackupHint f(main.handle());
         SetWindowTextUtf8(f.lHint, Tr(Txt::RestoreHint));
         return Misfits(f.handle());
       }},
      {"about", [&] { TfrmAbout f(main.handle(), ""); return Misfits(f.handle()); }},
  };
  for (const auto& [name, misfits] : windows) EXPECT_EQ(misfits(), "") << name;
}

INSTANTIATE_TEST_SUITE_P(Languages, TextFit, ::testing::Values(Language::English, Language::German),
                         [](const auto& info) {
                           return std::string(info.param == Language::German ? "German" : "English");
                         });

}  // namespace
}  // namespace tallowin::ui
