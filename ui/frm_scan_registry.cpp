#include "ui/frm_scan_registry.h"

#include <exception>
#include <optional>
#include <utility>

#include "ui/messages.h"
#include "ui/resource.h"
#include "ui/ui_text.h"

namespace tallowin::ui {

namespace {

constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimerInterval = 500;
// Reports are taken at most this often: every take and every wake-up is a round trip
// to the Wine server (or the kernel) that the scan thread's registry calls wait behind.
constexpr UINT_PTR kTakeTimer = 2;
constexpr ULONGLONG kTakeInterval = 50;
// The next post-scan slice waits for this timer when input, painting or a timer is
// due, since a posted message would go first.
constexpr UINT_PTR kStepTimer = 3;

}  // namespace

TfrmScanRegistry::TfrmScanRegistry(HWND owner, const std::vector<std::string>& codes, ScanHost& host)
    : owner_(owner), host_(host), codes_(codes) {
  if (!Create(L"TallowinTfrmScanRegistry", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME,
              owner, Tr(Txt::ScanningCaption), 408, 183))
    return;
  lScanTask = AddLabel(idScanTask, Tr(Txt::ScanningInitial), 16, 42, 377, 13);
  ProgressBar1 = AddProgressBar(idProgressBar, 16, 67, 289, 18, 0, 1000);
  bStop = AddButton(idStop, Tr(Txt::StopButton), 312, 62, 80, 27);
  suiGroupBox2 = AddGroupBox(idGroupBox, "", 16, 94, 377, 73);
  // Inside the group box, at its offsets.
  Image1 = AddControl(L"STATIC", "", SS_ICON | SS_CENTERIMAGE, idImage, 16 + 0, 94 + 8, 32, 32);
  icon_ = LoadIconResource(GetModuleHandleW(nullptr), IDI_SCAN, Scale(32));
  if (icon_) SendMessageW(Image1, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
  Memo1 = AddControl(L"EDIT", Tr(Txt::RegistryKeyMemo), ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, idMemo,
                     16 + 40, 94 + 17, 329, 48);
  CenterOnOwner(hwnd_, owner);
  // In hidden mode no window of the run ever shows.
  SetHiddenWhenModal(host_.HiddenMode());
}

TfrmScanRegistry::~TfrmScanRegistry() {
  if (session_) session_->Stop();
  if (hwnd_ != nullptr) {
    KillTimer(hwnd_, kTimer1);
    KillTimer(hwnd_, kTakeTimer);
    KillTimer(hwnd_, kStepTimer);
  }
}

void TfrmScanRegistry::FormShow() {
  SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);
  PostMessageW(hwnd_, WM_STARTSCAN, 0, 0);
}

void TfrmScanRegistry::StartScan() {
  if (started_ || ended_) return;
  if (host_.HiddenMode()) ShowWindow(hwnd_, SW_HIDE);
  started_ = true;
  HWND self = hwnd_;
  // Runs on the scan thread: a post, never a call that waits for this one.
  session_ = std::make_unique<ScanSession>(host_.ScanPlatform(),
                                           [self] { PostMessageW(self, WM_SCANREPORTS, 0, 0); });
  ScanRequest request = host_.ScanOptions();
  request.codes = codes_;
  session_->Start(request);
}

void TfrmScanRegistry::ReportsWaiting() {
  const ULONGLONG now = GetTickCount64();
  if (now - lastTake_ >= kTakeInterval) {
    TakeReports();
  } else if (!takeTimerArmed_) {
    // The queue stays non-empty meanwhile, so the scan posts no further wake-up.
    takeTimerArmed_ = true;
    SetTimer(hwnd_, kTakeTimer, static_cast<UINT>(kTakeInterval - (now - lastTake_)), nullptr);
  }
}

void TfrmScanRegistry::TakeReports() {
  if (!session_) return;
  lastTake_ = GetTickCount64();
  if (takeTimerArmed_) {
    takeTimerArmed_ = false;
    KillTimer(hwnd_, kTakeTimer);
  }
  // Only the end state of a batch would ever be seen: the last caption, key and step
  // are put on screen once. A fast scan brings thousands of steps at a time.
  const std::string* caption = nullptr;
  const std::string* key = nullptr;
  std::optional<bool> inCategory;
  bool categoryDone = false;
  std::vector<ScanReport> reports = session_->TakeReports();
  for (ScanReport& report : reports) {
    switch (report.kind) {
      case ScanReport::Kind::BeginCategory:
        inCategory = true;
        break;
      case ScanReport::Kind::EndCategory:
        inCategory = false;
        categoryDone = true;
        break;
      case ScanReport::Kind::Caption:
        caption = &report.text;
        break;
      case ScanReport::Kind::CurrentKey:
        key = &report.text;
        break;
      case ScanReport::Kind::Rows:
        host_.AddRows(std::move(report.rows));
        break;
      case ScanReport::Kind::Done:
        if (ended_) break;  // stopped meanwhile
        ended_ = true;
        doneReported_ = true;
        PostMessageW(hwnd_, WM_SCANDONE, 0, 0);
        break;
    }
  }
  if (inCategory.has_value()) {
    // A category begins with the bar at 0 and its animation on, and ends at 1000.
    SendMessageW(ProgressBar1, PBM_SETPOS, *inCategory ? 0 : 1000, 0);
    SetTimerEnabled(*inCategory);
  }
  if (categoryDone) PostMessageW(owner_, WM_CATEGORYDONE, 0, 0);
  // The scan speaks English; its captions and its closing "Please wait..." are shown in
  // the window's language, the keys as they are.
  if (caption != nullptr) SetWindowTextUtf8(lScanTask, Localized(*caption));
  if (key != nullptr)
    SetWindowTextUtf8(Memo1, *key == TextIn(Language::English, Txt::PleaseWait) ? Tr(Txt::PleaseWait) : *key);
}

void TfrmScanRegistry::SetTimerEnabled(bool enabled) {
  if (enabled == timerEnabled_) return;
  timerEnabled_ = enabled;
  if (enabled)
    SetTimer(hwnd_, kTimer1, kTimerInterval, nullptr);
  else
    KillTimer(hwnd_, kTimer1);
}

void TfrmScanRegistry::Timer1Timer() {
  const int position = static_cast<int>(SendMessageW(ProgressBar1, PBM_GETPOS, 0, 0));
  SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(NextScanProgress(position)), 0);
}

void TfrmScanRegistry::bStopClick() {
  // Once the scan has reported its end it ends as a finished scan; the dialog closes
  // when the list is ready.
  if (postScan_ || doneReported_ || stopped_) return;
  if (session_) {
    session_->Stop();
    // What the scan reported before the stop still reaches the list, its end too: a
    // scan that had reported its end ends as a finished one.
    TakeReports();
    if (doneReported_) return;
  }
  ended_ = true;
  stopped_ = true;
  SetTimerEnabled(false);
  // What was found before the stop is filtered like a finished scan's findings.
  EnableWindow(bStop, FALSE);
  postScan_ = true;
  PostScanStep();
}

void TfrmScanRegistry::ScanDone() {
  // The completion texts are on screen while the filter runs.
  UpdateWindow(hwnd_);
  postScan_ = true;
  PostScanStep();
}

void TfrmScanRegistry::PostScanStep() {
  if (!postScan_) return;
  bool done = true;
  try {
    done = host_.PostScanSlice(stopped_);
  } catch (const std::exception&) {
    // The host finds its work unfinished and ends it itself.
  }
  if (done) {
    postScan_ = false;
    if (stopped_)
      EndModal(mrAbort);
    else
      SendMessageW(hwnd_, WM_CLOSE, 0, 0);
  } else if (HIWORD(GetQueueStatus(QS_INPUT | QS_PAINT | QS_TIMER)) != 0) {
    SetTimer(hwnd_, kStepTimer, USER_TIMER_MINIMUM, nullptr);
  } else {
    PostMessageW(hwnd_, WM_POSTSCANSTEP, 0, 0);
  }
}

bool TfrmScanRegistry::FormClose() {
  if (postScan_) return false;
  if (ScanRunning() || (!started_ && InModalLoop())) {
    bStopClick();
    return !postScan_;  // closes itself once the stop's post-scan work is done
  }
  return true;
}

void TfrmScanRegistry::OnCommand(int id, int notifyCode, HWND) {
  if (id == idStop && notifyCode == BN_CLICKED) bStopClick();
}

void TfrmScanRegistry::OnTimer(UINT_PTR id) {
  if (id == kTimer1) Timer1Timer();
  if (id == kTakeTimer) TakeReports();
  if (id == kStepTimer) {
    KillTimer(hwnd_, kStepTimer);
    PostScanStep();
  }
}

LRESULT TfrmScanRegistry::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_STARTSCAN:
      StartScan();
      return 0;
    case WM_SCANREPORTS:
      ReportsWaiting();
      return 0;
    case WM_SCANDONE:
      if (InModalLoop() && ModalResult() == mrNone && !postScan_) ScanDone();
      return 0;
    case WM_POSTSCANSTEP:
      PostScanStep();
      return 0;
    default:
      return Form::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace tallowin::ui
