#include "ui/frm_main.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <chrono>
#include <exception>
#include <optional>
#include <utility>

#include "core/code_list.h"
#include "core/reason_desk.h"
#include "core/fix_report.h"
#include "core/list_commands.h"
#include "core/run_log.h"
#include "core/settings.h"
#include "platform/reg_global.h"
#include "platform/text.h"
#include "platform/win32/win32_platform.h"
#include "repair/repair_run.h"
#include "repair/restore_point.h"
#include "ui/frm_about.h"
#include "ui/frm_custom_scan.h"
#include "ui/frm_options.h"
#include "ui/frm_restore.h"
#include "ui/frm_system_point.h"
#include "ui/messages.h"
#include "ui/product_pages.h"
#include "ui/resource.h"
#include "ui/run_record.h"
#include "ui/ui_text.h"

namespace tallowin::ui {

namespace {

// Settings are loaded at the first activation; this posted message stands in for it
// when the window is shown without becoming active.
constexpr UINT WM_FIRSTACTIVATION = WM_APP + 2;

constexpr int kStatusBarHeight = 22;
constexpr ULONGLONG kRowsShownInterval = 250;
constexpr int kImageSize = 216;
// The rows a repair could not remove are named in its message, this many at most.
constexpr size_t kProblemsShown = 8;
// How long the window waits for a row's reason before it says it is still being worked out.
constexpr std::chrono::milliseconds kReasonWait{300};

constexpr Txt kInstructions[] = {Txt::Instruction1, Txt::Instruction2, Txt::Instruction3,
                                 Txt::Instruction4, Txt::Instruction5};
constexpr int kInstructionTops[] = {39, 58, 78, 97, 117};

// The main window as the settings file sees it: its normal (restored) rectangle in screen
// pixels, also while it is minimized or maximized, so that it opens on screen next time.
class Placement : public TWindowPlacement {
 public:
  explicit Placement(HWND window) : window_(window) {}
  int Left() override { return Normal().left; }
  int Top() override { return Normal().top; }
  int Width() override {
    const RECT r = Normal();
    return r.right - r.left;
  }
  int Height() override {
    const RECT r = Normal();
    return r.bottom - r.top;
  }
  void SetLeft(int value) override {
    RECT r = Normal();
    OffsetRect(&r, value - r.left, 0);
    SetNormal(r);
  }
  void SetTop(int value) override {
    RECT r = Normal();
    OffsetRect(&r, 0, value - r.top);
    SetNormal(r);
  }
  void SetWidth(int value) override {
    RECT r = Normal();
    r.right = r.left + value;
    SetNormal(r);
  }
  void SetHeight(int value) override {
    RECT r = Normal();
    r.bottom = r.top + value;
    SetNormal(r);
  }
  int ScreenWidth() override { return GetSystemMetrics(SM_CXSCREEN); }
  int ScreenHeight() override { return GetSystemMetrics(SM_CYSCREEN); }
  bool ShowState(int& showCmd) override {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window_, &placement)) return false;
    showCmd = static_cast<int>(placement.showCmd);
    return true;
  }

 private:
  // The placement functions speak workspace coordinates, whose origin is the corner of
  // the monitor's work area: they differ from screen coordinates by the room a taskbar
  // takes at the top or the left. The file keeps screen coordinates, as it always did.
  static POINT WorkspaceOrigin(const RECT& r) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!GetMonitorInfoW(MonitorFromRect(&r, MONITOR_DEFAULTTONEAREST), &info)) return {0, 0};
    return {info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top};
  }
  RECT Normal() const {
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    RECT r{};
    if (!GetWindowPlacement(window_, &placement)) {
      GetWindowRect(window_, &r);
      return r;
    }
    r = placement.rcNormalPosition;
    const POINT origin = WorkspaceOrigin(r);
    OffsetRect(&r, origin.x, origin.y);
    return r;
  }
  void SetNormal(const RECT& r) {
    if (!IsIconic(window_) && !IsZoomed(window_)) {
      SetWindowPos(window_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      return;
    }
    // Minimized or maximized: the rectangle it is restored to.
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!GetWindowPlacement(window_, &placement)) return;
    const POINT origin = WorkspaceOrigin(r);
    placement.rcNormalPosition = r;
    OffsetRect(&placement.rcNormalPosition, -origin.x, -origin.y);
    placement.showCmd = IsIconic(window_) ? SW_SHOWMINNOACTIVE : SW_SHOWMAXIMIZED;
    SetWindowPlacement(window_, &placement);
  }
  HWND window_;
};

std::string SystemErrorText(DWORD error) {
  wchar_t* buffer = nullptr;
  const DWORD length = FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
  if (buffer != nullptr) LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' '))
    text.pop_back();
  if (text.empty()) text = L"Error " + std::to_wstring(error);
  return Narrow(text);
}

bool FileExists(const std::string& path) {
  return GetFileAttributesW(Wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes, DWORD& error) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = GetLastError();
    return false;
  }
  bool ok = true;
  size_t written = 0;
  while (ok && written < bytes.size()) {
    DWORD chunk = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(bytes.size() - written, 1u << 20));
    ok = WriteFile(file, bytes.data() + written, wanted, &chunk, nullptr) && chunk > 0;
    written += chunk;
  }
  if (!ok) error = GetLastError();
  CloseHandle(file);
  return ok;
}

struct FindClass {
  const wchar_t* name;
  HWND found;
};

BOOL CALLBACK MatchClass(HWND window, LPARAM param) {
  auto* find = reinterpret_cast<FindClass*>(param);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (lstrcmpiW(name, find->name) != 0) return TRUE;
  find->found = window;
  return FALSE;
}

// The editor's tree and list sit below an inner frame, not directly in its main window.
HWND FindDescendant(HWND parent, const wchar_t* className) {
  FindClass find{className, nullptr};
  EnumChildWindows(parent, &MatchClass, reinterpret_cast<LPARAM>(&find));
  return find.found;
}

// The tree's type-ahead starts a new search after a pause of about a double-click time.
DWORD TypeAheadPause() { return GetDoubleClickTime() * 2; }

void SendKeystrokes(HWND target, const std::vector<Keystroke>& keys) {
  for (const Keystroke& key : keys) {
    DWORD_PTR ignored = 0;
    // lParam 1: a repeat count of one, as a real key press has; some controls ignore
    // characters without it.
    switch (key.kind) {
      case Keystroke::Kind::KeyDown:
        SendMessageTimeoutW(target, WM_KEYDOWN, key.code, 1, SMTO_NORMAL, 2000, &ignored);
        break;
      case Keystroke::Kind::Char:
        SendMessageTimeoutW(target, WM_CHAR, key.code, 1, SMTO_NORMAL, 2000, &ignored);
        break;
      case Keystroke::Kind::Pause:
        PumpMessagesFor(10);
        break;
      case Keystroke::Kind::TypeAheadPause:
        PumpMessagesFor(TypeAheadPause());
        break;
    }
  }
}

}  // namespace

// ---- the repair run's questions ---------------------------------------------------------

// The run says its texts in the window's wording. In the unattended run no window waits
// for a person: the one question of the run (a missing backup folder) is answered Yes,
// errors are left to the exit status, and a restore point that cannot be made ends the
// run before anything is deleted.
class TfrmMain::Prompts : public RepairPrompts {
 public:
  explicit Prompts(TfrmMain& main) : main_(main), unattended_(main.hiddenByRepairOnce_) {}
  ~Prompts() override { EnableInput(); }

  bool AskYesNo(const std::string& text) override {
    if (unattended_) return true;
    return ShowMessage(main_.hwnd_, text, MB_YESNO | MB_ICONINFORMATION) == IDYES;
  }
  void ShowError(const std::string& text) override {
    shownErrors_.push_back(text);
    if (!unattended_) ShowMessage(main_.hwnd_, text, MB_ICONERROR);
  }
  bool Shown(const std::string& error) const {
    return std::find(shownErrors_.begin(), shownErrors_.end(), error) != shownErrors_.end();
  }
  bool RunRestorePointDialog() override {
    if (unattended_) {
      RestorePointAnswer answer =
          CreateRestorePointAndAsk(main_.platform_.restorePoint, [] { return false; });
      change_ = std::move(answer.change);
      return answer.result == ModalResult::Ok;
    }
    TfrmSystemPoint dialog(main_.hwnd_, main_.platform_);
    const int result = dialog.ShowModal(main_.hwnd_);
    change_ = dialog.TakeChange();
    return result == mrOk;
  }
  // Between rows the windows keep answering; the main window takes no input meanwhile,
  // so nothing else starts.
  bool StopRequested() override {
    if (!inputDisabled_) {
      inputDisabled_ = true;
      EnableWindow(main_.hwnd_, FALSE);
    }
    const ULONGLONG now = GetTickCount64();
    if (now - lastPump_ >= 50) {
      lastPump_ = now;
      PumpWaitingMessages();
    }
    return false;
  }
  void RowsDone(size_t done, size_t total) override {
    const ULONGLONG now = GetTickCount64();
    if (done != total && now - lastStatus_ < 100) return;
    lastStatus_ = now;
    main_.SetStatus(Format(Txt::FixingProgress, {std::to_string(done), std::to_string(total)}));
    UpdateWindow(main_.StatusBar1);
  }
  void EnableInput() {
    if (!inputDisabled_) return;
    inputDisabled_ = false;
    EnableWindow(main_.hwnd_, TRUE);
  }
  void EndRestorePoint(const RepairResult& result) { (void)EndSystemChange(change_, result); }

 private:
  TfrmMain& main_;
  bool unattended_;
  std::vector<std::string> shownErrors_;
  platform::SystemChange change_;
  bool inputDisabled_ = false;
  ULONGLONG lastPump_ = 0;
  ULONGLONG lastStatus_ = 0;
};

// ---- creation ---------------------------------------------------------------------------

TfrmMain::TfrmMain() : TfrmMain(MainWindowOptions{}) {}

TfrmMain::TfrmMain(MainWindowOptions options)
    : options_(std::move(options)),
      machine_(options_.platform != nullptr ? nullptr
                                            : std::make_unique<platform::win32::Win32Machine>()),
      platform_(options_.platform != nullptr ? *options_.platform : machine_->platform()),
      reasons_(std::make_unique<ReasonDesk>(platform_, kReasonWait)) {}

TfrmMain::~TfrmMain() {
  if (accelerators_ != nullptr) DestroyAcceleratorTable(accelerators_);
}

bool TfrmMain::CreateMain(std::vector<std::string> arguments) {
  arguments_ = std::move(arguments);
  executableDirectory_ = options_.executableDirectory.empty()
                             ? platform_.system.ExecutableDirectory()
                             : options_.executableDirectory;
  if (!executableDirectory_.empty() && executableDirectory_.back() != '\\') executableDirectory_ += '\\';
  settingsPath_ =
      options_.settingsPath.empty() ? SettingsPath(executableDirectory_) : options_.settingsPath;
  ini_ = platform::win32::MakeIniFile(settingsPath_);
  // Before the first text: the Options choice in Settings.dat, else Windows' own language.
  if (options_.chooseLanguage) SetLanguage(ChooseLanguage(StoredLanguage(*ini_), GetUserDefaultUILanguage()));

  const std::string caption = std::string(kProductName) + " " + kVersionText;
  if (!Create(kMainWindowClass, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, nullptr, caption, 594, 442))
    return false;
  CreateControls();
  FormCreate();
  CenterOnOwner(hwnd_, nullptr);
  LayoutControls();

  ACCEL keys[] = {{FCONTROL | FVIRTKEY, 'R', static_cast<WORD>(idRegEdit)}};
  accelerators_ = CreateAcceleratorTableW(keys, 1);
  return true;
}

HWND TfrmMain::AddLink(int id, const std::string& caption, int x, int y, HWND parent) {
  const SIZE size = TextSize(caption, UnderlinedFont());
  HWND link = AddControl(L"STATIC", caption, SS_LEFT | SS_NOPREFIX | SS_NOTIFY, id, x, y,
                         size.cx, size.cy, 0, parent);
  SendMessageW(link, WM_SETFONT, reinterpret_cast<WPARAM>(UnderlinedFont()), FALSE);
  return link;
}

bool TfrmMain::IsLink(HWND control) const {
  return control != nullptr &&
         (control == lCheckUpdate || control == suiURLLabel1 || control == suiURLLabel2);
}

void TfrmMain::CreateControls() {
  lCheckUpdate = AddLink(idCheckUpdate, Tr(Txt::CheckUpdate), 337, 4, nullptr);
  // The column of buttons widens towards the list for a longer language, never past it.
  const int buttonWidth = std::min(
      95, ButtonWidth({Tr(Txt::FullScan), Tr(Txt::CustomScanButton), Tr(Txt::FixErrors), Tr(Txt::RestoreButton),
                       Tr(Txt::OptionsButton), Tr(Txt::HelpButton), Tr(Txt::AboutButton), Tr(Txt::ExitButton)},
                      80));
  bScanRegistry = AddButton(idScanRegistry, Tr(Txt::FullScan), 16, 55, buttonWidth);
  bCustomScan = AddButton(idCustomScan, Tr(Txt::CustomScanButton), 16, 97, buttonWidth);
  bFixErrors = AddButton(idFixErrors, Tr(Txt::FixErrors), 16, 139, buttonWidth);
  bRestoreRegistry = AddButton(idRestoreRegistry, Tr(Txt::RestoreButton), 16, 182, buttonWidth);
  bOptions = AddButton(idOptions, Tr(Txt::OptionsButton), 16, 224, buttonWidth);
  bHelp = AddButton(idHelp, Tr(Txt::HelpButton), 16, 267, buttonWidth);
  aAbout = AddButton(idAbout, Tr(Txt::AboutButton), 16, 309, buttonWidth);
  bExit = AddButton(idExit, Tr(Txt::ExitButton), 16, 352, buttonWidth);

  lvRegistryData = AddListView(idRegistryData, 115, 40, 463, 358,
                               LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER,
                               LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  const std::pair<Txt, int> columns[] = {
      {Txt::ColumnProblem, 100}, {Txt::ColumnData, 200}, {Txt::ColumnRegistryKey, 150}};
  int index = 0;
  for (const auto& [title, width] : columns) AddListColumn(lvRegistryData, index++, Tr(title), width);
  view_.Attach(lvRegistryData, list_);
  view_.ShowReasons([this](size_t row) { return FindingReason(list_.rows[row]); },
                    [this] { lvRegistryDataSelectItem(); });

  // The welcome panel lies over the list until the first scan.
  Panel1 = AddPanel(idPanel, 120, 64, 457, 329);
  SetWindowPos(Panel1, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  SetWindowLongPtrW(lvRegistryData, GWL_STYLE,
                    GetWindowLongPtrW(lvRegistryData, GWL_STYLE) | WS_CLIPSIBLINGS);
  Label1 = AddLabel(idLabel1, Tr(Txt::Welcome), 15, 15, 0, 0, Panel1);
  SendMessageW(Label1, WM_SETFONT, reinterpret_cast<WPARAM>(BoldFont()), FALSE);
  // Measure in bold: the label was sized for the normal font.
  const SIZE welcomeSize = TextSize(Tr(Txt::Welcome), BoldFont());
  Place(Label1, 15, 15, welcomeSize.cx, welcomeSize.cy);
  for (int i = 0; i < 5; ++i)
    AddLabel(idInstructions + i, Tr(kInstructions[i]), 15, kInstructionTops[i], 0, 0, Panel1);
  Image2 = AddControl(L"STATIC", "", SS_ICON | SS_CENTERIMAGE, idUpdateIcon, 16, 177, 32, 32, 0, Panel1);
  suiURLLabel1 = AddLink(idUpdateLink, Tr(Txt::CheckUpdate), 39, 178, Panel1);
  suiURLLabel2 = AddLink(idDonateLink, Tr(Txt::Donate), 39, 315, Panel1);
  // The picture lies below the texts: the donation link reaches into its corner.
  Image1 = AddControl(L"STATIC", "", SS_BITMAP | SS_NOTIFY | SS_CENTERIMAGE | WS_CLIPSIBLINGS, idImage1,
                      457 - kImageSize - 35, 329 - kImageSize - 8, kImageSize, kImageSize, 0, Panel1);
  SetWindowPos(Image1, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  HMODULE module = GetModuleHandleW(nullptr);
  welcomePicture_ =
      Picture::FromJpegResource(module, IDR_WELCOME_JPEG).Scaled(Scale(kImageSize), Scale(kImageSize));
  if (welcomePicture_)
    SendMessageW(Image1, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(welcomePicture_.bitmap()));
  updateIcon_ = LoadIconResource(module, IDI_UPDATE, Scale(32));
  if (updateIcon_) SendMessageW(Image2, STM_SETICON, reinterpret_cast<WPARAM>(updateIcon_.get()), 0);

  tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0,
                             0, hwnd_, nullptr, GetModuleHandleW(nullptr), nullptr);
  if (tooltip_ != nullptr) {
    std::wstring hint = Wide(Tr(Txt::HomepageHint));
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = Panel1;
    tool.uId = reinterpret_cast<UINT_PTR>(Image1);
    tool.lpszText = hint.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  }

  StatusBar1 = AddControl(STATUSCLASSNAMEW, "", CCS_NORESIZE | CCS_NOPARENTALIGN | CCS_NODIVIDER,
                          idStatusBar, 0, 442 - kStatusBarHeight, 594, kStatusBarHeight);
  // One panel over the whole bar; its text is the window text, readable from outside.
  int parts[] = {-1};
  SendMessageW(StatusBar1, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(parts));
}

void TfrmMain::FormCreate() {
  CategoryCodes.reset();
  RepairOnce = false;
  OptionsSetting.IgnoreKeys.clear();
  OptionsSetting.IgnoreKeyCount = 0;
  // The list's headers appear with the first scan (LVS_NOCOLUMNHEADER at creation).
}

void TfrmMain::Show(int showCommand) {
  ShowWindow(hwnd_, showCommand);
  if (!activated_) PostMessageW(hwnd_, WM_FIRSTACTIVATION, 0, 0);
}

void TfrmMain::FormActivate() {
  if (activated_) return;
  activated_ = true;
  Placement placement(hwnd_);
  (void)LoadOrSaveSettings(true, *ini_, settingsPath_, executableDirectory_, placement);
  if (!OptionsSetting.LastClean.empty())
    SetStatus(Format(Txt::LastFixAt, {ShownLastClean(OptionsSetting.LastClean, Words())}));
  if (const auto last = LastUnattendedRunText(platform_, OptionsSetting.OutputDirectory, Words()))
    SetStatus(*last);
  // The unattended run never shows its window, not even maximized for a moment.
  if (IsRepairOnceSwitch(arguments_)) {
    RepairOnce = true;
    exitCode_ = kRepairOnceScanStopped;  // should the session end before the scan
    PostMessageW(hwnd_, WM_REPAIRONCE, 0, 0);
  } else if (OptionsSetting.WindowState == TWindowState::wsMaximized) {
    ShowWindow(hwnd_, SW_MAXIMIZE);
  }
}

std::string TfrmMain::SaveSettings() {
  // Before the load the record holds nothing of the file: writing it would wipe the file.
  if (!activated_) return {};
  // The unattended run's window was never placed: the stored one stays for the next start.
  if (RepairOnce) return SaveSettingsForConsole(*ini_, settingsPath_, executableDirectory_, Words());
  Placement placement(hwnd_);
  return LoadOrSaveSettings(false, *ini_, settingsPath_, executableDirectory_, placement, Words());
}

void TfrmMain::SaveSettingsOrSay() {
  const std::string error = SaveSettings();
  if (!error.empty()) ShowMessage(hwnd_, error, MB_ICONERROR);
}

bool TfrmMain::FormClose() {
  if (busy_) return false;
  CategoryCodes.reset();
  // Told, but no reason to keep the program running: the file stays unwritable. The
  // unattended run shows no window; its settings only lose "Last fix at".
  if (hiddenByRepairOnce_)
    (void)SaveSettings();
  else
    SaveSettingsOrSay();
  OptionsSetting.IgnoreKeys.clear();
  OptionsSetting.IgnoreKeyCount = 0;
  return true;
}

// ---- layout and status ------------------------------------------------------------------

void TfrmMain::LayoutControls() {
  RECT client{};
  GetClientRect(hwnd_, &client);
  const int width = Unscale(client.right);
  const int height = Unscale(client.bottom);
  const int listLeft = 115, listTop = 40;
  const int listWidth = width - listLeft - 15;
  const int listHeight = height - listTop - kStatusBarHeight - 15;
  Place(lvRegistryData, listLeft, listTop, listWidth, listHeight);
  Place(StatusBar1, 0, height - kStatusBarHeight, width, kStatusBarHeight);
  // The move carries the bar's old pixels along, and by then the list or the welcome
  // panel has grown over its old place: drawn anew, or a maximized window shows the
  // status line cut off where the list begins.
  InvalidateRect(StatusBar1, nullptr, TRUE);
  Place(Panel1, listLeft, listTop, listWidth, listHeight);
  Place(Image1, listWidth - kImageSize - 35, listHeight - kImageSize - 8, kImageSize, kImageSize);
}

void TfrmMain::SetStatus(const std::string& text) {
  const std::wstring wide = Wide(text);
  SendMessageW(StatusBar1, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(wide.c_str()));
  // Also as the window's own text, which GetWindowText reads from another process.
  DefWindowProcW(StatusBar1, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

std::string TfrmMain::StatusText() const { return WindowText(StatusBar1); }

void TfrmMain::UpdateStatusCounts() {
  std::string text =
      Format(Txt::StatusCounts, {std::to_string(list_.Count()), std::to_string(list_.CheckedCount())});
  if (lastScan_ == ScanOutcome::Stopped) text += Tr(Txt::ScanStoppedNote);
  if (lastScan_ == ScanOutcome::Failed) text += Tr(Txt::ScanFailedNote);
  SetStatus(text);
}

void TfrmMain::AutoSizeColumns() {
  if (!longestTextsReady_ || !longestTexts_) {
    longestTexts_.emplace(IssueListView::kMeasuredTexts);
    (void)longestTexts_->Step(list_, list_.Count());
  }
  view_.AutoSizeColumns(*longestTexts_);
  longestTexts_.reset();
  longestTextsReady_ = false;
}

// ---- the scan ---------------------------------------------------------------------------

ScanRequest TfrmMain::ScanOptions() const {
  ScanRequest request;
  request.ignoreRemoveDrives = OptionsSetting.IgnoreRemoveDrives;
  request.check64Bit = OptionsSetting.Check64Bit;
  return request;
}

ScanRequest TfrmMain::FilterRequest() const {
  ScanRequest request = ScanOptions();
  request.ignoreKeys = OptionsSetting.IgnoreKeys;
  request.ignoreKeyCount = OptionsSetting.IgnoreKeyCount;
  return request;
}

void TfrmMain::AddRows(std::vector<Issue>&& rows) {
  for (Issue& row : rows) list_.rows.push_back(std::move(row));
  // The list view takes a new count slowly at 100,000 rows (its scroll bars are redone):
  // a few times a second is often enough to watch it grow. A category's end brings it
  // up to date.
  const ULONGLONG now = GetTickCount64();
  if (now - lastRowsShown_ >= kRowsShownInterval) {
    lastRowsShown_ = now;
    view_.RowsAppended();
  }
}

bool TfrmMain::PostScanSlice(bool stopped) {
  // Rows per step between two looks at the clock: well under a millisecond each.
  constexpr size_t kRowsPerStep = 256;
  const auto end = std::chrono::steady_clock::now() + options_.postScanSlice;
  const auto timeLeft = [&end] { return std::chrono::steady_clock::now() < end; };
  if (!scanEnd_) scanEnd_.emplace(FilterRequest(), MachineFilterContext(platform_), stopped);
  if (!scanEnd_->Done()) {
    const size_t before = list_.Count();
    while (!scanEnd_->Step(list_, kRowsPerStep) && timeLeft()) {
    }
    if (list_.Count() != before) view_.Refresh();
    return false;
  }
  if (!longestTexts_) longestTexts_.emplace(IssueListView::kMeasuredTexts);
  while (!longestTextsReady_) {
    longestTextsReady_ = longestTexts_->Step(list_, kRowsPerStep);
    if (!timeLeft()) break;
  }
  return longestTextsReady_;
}

void TfrmMain::bScanRegistryClick() {
  if (busy_) return;
  CategoryCodes = FullScanCodes();
  StartScan();
}

ScanOutcome TfrmMain::StartScan() {
  if (busy_) return ScanOutcome::Failed;
  busy_ = true;
  lastScan_ = ScanOutcome::Completed;
  try {
    if (IsWindowVisible(Panel1)) ShowWindow(Panel1, SW_HIDE);
    if (view_.HeadersHidden()) view_.ShowHeaders();
    if (list_.Count() == 0) {
      SendMessageW(lvRegistryData, LVM_SETCOLUMNWIDTH, 1, Scale(180));
      SendMessageW(lvRegistryData, LVM_SETCOLUMNWIDTH, 2, Scale(160));
    }
    list_.Clear();
    view_.Refresh();
    UpdateStatusCounts();
    scanEnd_.reset();
    longestTexts_.reset();
    longestTextsReady_ = false;
    int result;
    {
      TfrmScanRegistry dialog(hwnd_, CategoryCodes.value_or(std::vector<std::string>{}), *this);
      result = dialog.ShowModal(hwnd_);
    }
    // The dialog ends the scan's work as it closes; what it left undone (a slice that
    // failed, a dialog that never started) is done here, by the same rule.
    if (!scanEnd_ || !scanEnd_->Done()) {
      longestTextsReady_ = false;
      if (!scanEnd_)
        scanEnd_.emplace(FilterRequest(), MachineFilterContext(platform_), result == mrAbort);
      while (!scanEnd_->Step(list_, list_.Count() + 1)) {
      }
    }
    lastScan_ = scanEnd_->Outcome();
    view_.Refresh();
    if (list_.Count() > 0) AutoSizeColumns();
    UpdateStatusCounts();
  } catch (const std::exception&) {
    // Whatever the list holds now was not through the filter: nothing may be fixed.
    lastScan_ = ScanOutcome::Failed;
    list_.filtered = false;
    list_.SelectNone();
    view_.Refresh();
    UpdateStatusCounts();
  }
  scanEnd_.reset();
  busy_ = false;
  if (lastScan_ == ScanOutcome::Failed && !hiddenByRepairOnce_)
    ShowMessage(hwnd_, Tr(Txt::ScanFailedMessage), MB_ICONERROR);
  return lastScan_;
}

void TfrmMain::bCustomScanClick() {
  if (busy_) return;
  {
    TfrmCustomScan dialog(hwnd_);
    if (dialog.ShowModal(hwnd_) != mrOk) return;
  }
  CategoryCodes = SectionCodes(OptionsSetting.ScanSections);
  if (CategoryCodes->empty()) {
    ShowMessage(hwnd_, Tr(Txt::NoSections), MB_ICONINFORMATION);
    return;
  }
  StartScan();
}

// ---- the repair -------------------------------------------------------------------------

void TfrmMain::bFixErrorsClick() {
  // A run of nothing would put "0 errors were fixed!" over the record of the last repair.
  if (list_.CheckedCount() == 0) {
    ShowMessage(hwnd_, Tr(Txt::NothingChecked), MB_ICONINFORMATION);
    return;
  }
  (void)RunRepair();
}

RepairResult TfrmMain::RunRepair() {
  RepairResult result;
  if (busy_) return result;
  busy_ = true;
  // The unattended run's record keeps its first reasons, and files Tallowin writes are English.
  const Wording& words = hiddenByRepairOnce_ ? English() : Words();
  RepairSettings settings;
  settings.outputDirectory = OptionsSetting.OutputDirectory;
  settings.createRestorePoint = OptionsSetting.CreateRP;
  settings.osVersionCode = GetWindowsVersionCode(platform_.system);
  settings.words = &words;
  bool errorShown = false;
  {
    Prompts prompts(*this);
    result = FixErrors(list_, platform_, settings, prompts);
    prompts.EnableInput();
    prompts.EndRestorePoint(result);
    errorShown = prompts.Shown(result.error);
  }
  if (!result.backupFile.empty()) BackupFileName = result.backupFile;
  view_.Refresh();
  // Rows that were not removed stay in the list, checked; the status line and "Last
  // fix at" count what was removed.
  if (result.completed || result.stopped) {
    OptionsSetting.LastClean = result.lastClean;
    SetStatus(result.statusText);
  } else if (result.fixed > 0) {
    OptionsSetting.LastClean = MakeLastClean(platform_.system, result.fixed, result.failed);
    SetStatus(MakeFixStatusText(result.fixed, result.failed, words));
  } else {
    UpdateStatusCounts();
  }
  busy_ = false;
  if (!hiddenByRepairOnce_) {
    // A backup that could not be written stops the run: the message names the file.
    if (!result.error.empty() && !errorShown) ShowMessage(hwnd_, result.error, MB_ICONERROR);
    if (!result.problems.empty())
      ShowMessage(hwnd_, NotRemovedMessage(result, kProblemsShown, words), MB_ICONWARNING);
  }
  return result;
}

// ---- unattended -------------------------------------------------------------------------

void TfrmMain::RepairOnceRun() {
  repairOnceStarted_ = IsoLocalTime(platform_.system.Now());
  ShowWindow(hwnd_, SW_HIDE);
  hiddenByRepairOnce_ = true;
  CategoryCodes = SectionCodes(OptionsSetting.ScanSections);
  exitCode_ = kRepairOnceDone;
  size_t found = 0;
  std::optional<RepairResult> repair;
  // With no section chosen nothing is scanned or repaired; the run ends all the same.
  if (!CategoryCodes->empty()) {
    // Until each step ends, exitCode_ is what the end of the session there would mean.
    exitCode_ = kRepairOnceScanStopped;
    const ScanOutcome scan = StartScan();
    // A stopped or failed scan repairs nothing.
    if (scan != ScanOutcome::Completed) {
      found = list_.Count();
      exitCode_ = RepairOnceExitStatus(scan, nullptr, list_.Count());
    } else {
      found = list_.CheckedCount();
      exitCode_ = found == 0 ? kRepairOnceDone : kRepairOnceNotAllRemoved;
      repair = RunRepair();
      exitCode_ = RepairOnceExitStatus(scan, &*repair, found);
    }
  }
  RecordUnattendedRun(platform_.files, OptionsSetting.OutputDirectory,
                      MakeRunRecord(repairOnceStarted_, IsoLocalTime(platform_.system.Now()), exitCode_, found,
                                    repair ? &*repair : nullptr));
  PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void TfrmMain::ActivateInstance() {
  if (hiddenByRepairOnce_) return;
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
  ShowWindow(hwnd_, SW_SHOW);
  // The dialog the user is in (Options, the scan's progress, a message), not the main
  // window it disables.
  SetForegroundWindow(GetLastActivePopup(hwnd_));
}

// ---- the other buttons and the links ---------------------------------------------------

void TfrmMain::bRestoreRegistryClick() {
  TfrmRestore dialog(hwnd_, platform_);
  dialog.ShowModal(hwnd_);
}

void TfrmMain::bOptionsClick() {
  TfrmOptions dialog(hwnd_);
  if (dialog.ShowModal(hwnd_) == mrOk) SaveSettingsOrSay();
}

void TfrmMain::aAboutClick() {
  TfrmAbout dialog(hwnd_, executableDirectory_);
  dialog.ShowModal(hwnd_);
}

void TfrmMain::bHelpClick() { OpenThroughShell(hwnd_, executableDirectory_ + kHelpFileName); }

void TfrmMain::bExitClick() { PostMessageW(hwnd_, WM_CLOSE, 0, 0); }

void TfrmMain::Image1Click() { OpenThroughShell(hwnd_, ProductPageTarget(ProductPage::Home, executableDirectory_)); }

void TfrmMain::suiURLLabel2Click() { OpenThroughShell(hwnd_, ProductPageTarget(ProductPage::Donation, executableDirectory_)); }

void TfrmMain::lCheckUpdateClick() { OpenThroughShell(hwnd_, ProductPageTarget(ProductPage::Update, executableDirectory_)); }

// ---- the list and its menu --------------------------------------------------------------

void TfrmMain::lvRegistryDataClick() { UpdateStatusCounts(); }

void TfrmMain::lvRegistryDataSelectItem() {
  if (busy_) return;
  if (list_.selected < 0 || static_cast<size_t>(list_.selected) >= list_.Count())
    return UpdateStatusCounts();
  SetStatus(FindingReason(list_.rows[static_cast<size_t>(list_.selected)]));
}

std::string TfrmMain::FindingReason(const Issue& row) const {
  // The general reason names the row's problem as the list shows it.
  Issue shown = row;
  shown.problem = ShownProblem(row);
  return reasons_->Explain(shown, OptionsSetting.IgnoreRemoveDrives, OptionsSetting.Check64Bit,
                           Words());
}

HMENU TfrmMain::BuildPopupMenu() const {
  HMENU menu = CreatePopupMenu();
  const bool selected = list_.SelectionCommandsEnabled();
  auto item = [&](int id, const std::string& caption, bool enabled) {
    AppendMenuW(menu, MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED), static_cast<UINT_PTR>(id),
                Wide(caption).c_str());
  };
  auto separator = [&] { AppendMenuW(menu, MF_SEPARATOR, 0, nullptr); };
  item(idSelectItem, Tr(Txt::SelectItem), selected);
  item(idDeselectItem, Tr(Txt::DeselectItem), selected);
  separator();
  item(idSelectAllType, Tr(Txt::SelectAllOfType), selected);
  item(idUnselectAllType, Tr(Txt::DeselectAllOfType), selected);
  separator();
  item(idSelectAll, Tr(Txt::SelectAll), true);
  item(idSelectNone, Tr(Txt::DeselectAll), true);
  separator();
  item(idAddToExclude, Tr(Txt::AddToExcludeList), true);
  separator();
  item(idSaveAs, Tr(Txt::SaveAsTextMenu), list_.Count() > 0);
  separator();
  item(idRegEdit, Tr(Txt::RegEditMenu) + "\tCtrl+R", selected);
  return menu;
}

void TfrmMain::ShowPopupMenu(LPARAM position) {
  POINT at{GET_X_LPARAM(position), GET_Y_LPARAM(position)};
  if (at.x == -1 && at.y == -1) {  // from the keyboard: at the selected row
    RECT row{LVIR_BOUNDS, 0, 0, 0};
    at = {0, 0};
    if (list_.selected >= 0 &&
        SendMessageW(lvRegistryData, LVM_GETITEMRECT, static_cast<WPARAM>(list_.selected),
                     reinterpret_cast<LPARAM>(&row)))
      at = {row.left, row.bottom};
    ClientToScreen(lvRegistryData, &at);
  }
  HMENU menu = BuildPopupMenu();
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
  DestroyMenu(menu);
}

void TfrmMain::RunSelectionCommand(int id) {
  switch (id) {
    case idSelectItem: list_.SelectItem(); break;
    case idDeselectItem: list_.DeselectItem(); break;
    case idSelectAllType: list_.SelectAllType(); break;
    case idUnselectAllType: list_.UnselectAllType(); break;
    case idSelectAll: list_.SelectAll(); break;
    case idSelectNone: list_.SelectNone(); break;
    default: return;
  }
  InvalidateRect(lvRegistryData, nullptr, FALSE);
  UpdateStatusCounts();
}

void TfrmMain::AddtoExcludeLists1Click() {
  const ExcludeResult result =
      AddToExcludeList(list_, OptionsSetting, MachineFilterContext(platform_));
  if (result == ExcludeResult::NoSelection) return;
  view_.Refresh();
  UpdateStatusCounts();
  if (result == ExcludeResult::Added) SaveSettingsOrSay();
}

void TfrmMain::aSaveAsExecute() {
  if (list_.Count() == 0) return;
  const std::optional<std::string> chosen =
      AskSaveFileName(hwnd_, {Tr(Txt::SaveAsTitle), Tr(Txt::SaveAsFilterName), kSaveAsFilterPattern});
  if (!chosen || chosen->empty()) return;
  const std::string name = SaveAsTextFileName(*chosen);
  if (FileExists(name) &&
      ShowMessage(hwnd_, Format(Txt::OverwriteQuestion, {name}), MB_YESNO | MB_ICONINFORMATION | MB_DEFBUTTON2) != IDYES)
    return;
  DWORD error = 0;
  // The list as the user saw it: its Problem column in the window's language.
  if (!WriteWholeFile(name, SaveAsTextContent(list_, platform_.system.Ansi(), &ShownProblem), error))
    ShowMessage(hwnd_, Format(Txt::CannotCreateFile, {name, SystemErrorText(error)}), MB_ICONERROR);
}

void TfrmMain::aOpenRegeditExecute() {
  if (!list_.SelectionCommandsEnabled() || busy_) return;
  OpenRegeditAt(RegeditPathOf(list_.rows[static_cast<size_t>(list_.selected)]));
}

void TfrmMain::OpenRegeditAt(const std::string& path) {
  const RegeditTarget target = ResolveRegeditTarget(platform_.registry, path);
  switch (target.kind) {
    case RegeditTarget::Kind::Message:
      ShowMessage(hwnd_, Tr(Txt::CheckKeyMessage), MB_ICONINFORMATION);
      return;
    case RegeditTarget::Kind::Nothing:
      return;
    case RegeditTarget::Kind::Navigate:
      NavigateRegedit(target.rootName, target.keyPath, target.valueName);
      return;
  }
}

void TfrmMain::NavigateRegedit(const std::string& rootName, const std::string& keyPath,
                               const std::string& valueName) {
  if (keyPath.empty()) return;
  busy_ = true;
  HWND editor = FindWindowW(L"RegEdit_RegEdit", nullptr);
  if (editor == nullptr) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.hwnd = hwnd_;
    info.lpVerb = L"open";
    info.lpFile = L"regedit.exe";
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info) && info.hProcess != nullptr) {
      WaitForInputIdle(info.hProcess, 200);
      // A slow start (Wine's first) gets a few seconds more before the keys go nowhere.
      for (int i = 0; i < 100 && (editor = FindWindowW(L"RegEdit_RegEdit", nullptr)) == nullptr; ++i)
        PumpMessagesFor(50);
      CloseHandle(info.hProcess);
    }
  }
  if (editor != nullptr) {
    ShowWindow(editor, SW_SHOWMAXIMIZED);
    if (HWND tree = FindDescendant(editor, L"SysTreeView32")) {
      SetForegroundWindow(tree);
      SendKeystrokes(tree, TreeKeystrokes(RegeditFullPath(rootName, keyPath)));
      if (HWND values = FindDescendant(editor, L"SysListView32")) {
        SetForegroundWindow(values);
        SendKeystrokes(values, ValueKeystrokes(valueName));
      }
    }
  }
  busy_ = false;
}

// ---- messages ---------------------------------------------------------------------------

void TfrmMain::OnCommand(int id, int notifyCode, HWND control) {
  if (control != nullptr && notifyCode == BN_CLICKED && !busy_) {
    switch (id) {
      case idScanRegistry: return bScanRegistryClick();
      case idCustomScan: return bCustomScanClick();
      case idFixErrors: return bFixErrorsClick();
      case idRestoreRegistry: return bRestoreRegistryClick();
      case idOptions: return bOptionsClick();
      case idHelp: return bHelpClick();
      case idAbout: return aAboutClick();
      case idExit: return bExitClick();
      default: break;
    }
  }
  if (control != nullptr && notifyCode == STN_CLICKED) {
    if (control == lCheckUpdate || control == suiURLLabel1) return lCheckUpdateClick();
    if (control == suiURLLabel2) return suiURLLabel2Click();
    if (control == Image1) return Image1Click();
    return;
  }
  if (control != nullptr || busy_) return;
  // Menu items (notify code 0) and the Ctrl+R accelerator (1).
  switch (id) {
    case idSelectItem:
    case idDeselectItem:
    case idSelectAllType:
    case idUnselectAllType:
    case idSelectAll:
    case idSelectNone:
      return RunSelectionCommand(id);
    case idAddToExclude: return AddtoExcludeLists1Click();
    case idSaveAs: return aSaveAsExecute();
    case idRegEdit: return aOpenRegeditExecute();
    default: return;
  }
}

LRESULT TfrmMain::OnNotify(NMHDR* header) {
  LRESULT result = 0;
  bool handled = false;
  const bool checksChanged = view_.OnNotify(header, result, handled);
  if (checksChanged) lvRegistryDataClick();
  return result;
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE && !activated_) FormActivate();
      return Form::HandleMessage(message, wParam, lParam);
    case WM_FIRSTACTIVATION:
      FormActivate();
      return 0;
    case WM_SIZE:
      LayoutControls();
      return 0;
    case WM_GETMINMAXINFO: {
      auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
      info->ptMinTrackSize = {Scale(130), Scale(32)};
      return 0;
    }
    case WM_CONTEXTMENU:
      if (reinterpret_cast<HWND>(wParam) == lvRegistryData && !busy_) {
        ShowPopupMenu(lParam);
        return 0;
      }
      return Form::HandleMessage(message, wParam, lParam);
    case WM_SETCURSOR: {
      HWND over = reinterpret_cast<HWND>(wParam);
      if (IsLink(over) || over == Image1) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
      }
      return Form::HandleMessage(message, wParam, lParam);
    }
    case WM_CTLCOLORSTATIC: {
      HDC dc = reinterpret_cast<HDC>(wParam);
      HWND control = reinterpret_cast<HWND>(lParam);
      const bool onPanel = GetParent(control) == Panel1;
      if (IsLink(control)) SetTextColor(dc, RGB(0, 0, 255));
      SetBkColor(dc, GetSysColor(onPanel ? COLOR_WINDOW : COLOR_BTNFACE));
      return reinterpret_cast<LRESULT>(GetSysColorBrush(onPanel ? COLOR_WINDOW : COLOR_BTNFACE));
    }
    case WM_ACTIVATEINSTANCE:
      ActivateInstance();
      return 0;
    case WM_CATEGORYDONE:
      view_.RowsAppended();
      UpdateStatusCounts();
      return 0;
    case WM_REPAIRONCE:
      RepairOnceRun();
      return 0;
    case WM_QUERYENDSESSION:
      // The process may end without a close. A failure goes unsaid: a message box here
      // would hold up the end of the session (the changes that matter, options and the
      // exclude list, were written, or the failure told, when they were made).
      (void)SaveSettings();
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) {
        (void)SaveSettings();
        // The system ends the process once this returns, with a status of its own; the
        // unattended run's scheduler is told how far it came.
        if (RepairOnce && options_.endsProgram) {
          if (!repairOnceStarted_.empty())
            RecordUnattendedRun(platform_.files, OptionsSetting.OutputDirectory,
                                MakeRunRecord(repairOnceStarted_, IsoLocalTime(platform_.system.Now()),
                                              exitCode_, list_.Count(), nullptr));
          TerminateProcess(GetCurrentProcess(), exitCode_);
        }
      }
      return 0;
    case WM_DESTROY:
      if (options_.endsProgram) PostQuitMessage(exitCode_);
      return 0;
    default:
      return Form::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace tallowin::ui
