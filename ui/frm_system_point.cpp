#include "ui/frm_system_point.h"

#include <algorithm>

#include "ui/messages.h"
#include "ui/ui_text.h"

namespace tallowin::ui {
namespace {

enum : int { kTask = 100, kLabel1, kLabel3, kLabel2, kProgress };
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 1000;

}  // namespace

TfrmSystemPoint::TfrmSystemPoint(HWND owner, const platform::Platform& platform)
    : service_(platform.restorePoint.weak_from_this().lock()) {
  const std::string& line1 = Tr(Txt::SystemPointLine1);
  const std::string& line2 = Tr(Txt::SystemPointLine2);
  const int width = std::max(
      {400, 16 + static_cast<int>(TextSize(line1).cx) + 16, 16 + static_cast<int>(TextSize(line2).cx) + 16});
  Create(L"TallowinTfrmSystemPoint", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME,
         owner, Tr(Txt::SystemPointCaption), width, 136);
  lScanTask = AddLabel(kTask, Tr(Txt::CreatingRestorePoint), 16, 14, 300, 16);
  SendMessageW(lScanTask, WM_SETFONT, reinterpret_cast<WPARAM>(BoldFont()), FALSE);
  Label1 = AddLabel(kLabel1, line1, 16, 40);
  Label3 = AddLabel(kLabel3, line2, 16, 56);
  Label2 = AddLabel(kLabel2, Tr(Txt::PleaseWait), 16, 80);
  ProgressBar1 = AddProgressBar(kProgress, 16, 102, width - 32, 18, 0, 100);
  CenterOnOwner(hwnd_, owner);
}

TfrmSystemPoint::~TfrmSystemPoint() {
  if (hwnd_ != nullptr) KillTimer(hwnd_, kTimer1);
  // The worker is abandoned, not waited for: its late result is dropped.
  worker_.reset();
}

platform::SystemChange TfrmSystemPoint::TakeChange() {
  return worker_ ? worker_->TakeChange() : platform::SystemChange();
}

void TfrmSystemPoint::FormShow() {
  logic_.FormShow();
  SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);
  SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
  HWND window = hwnd_;
  if (!service_) {
    PostMessageW(window, WM_RESTOREPOINTDONE, 0, kRestorePointFailed);
    return;
  }
  worker_ = std::make_unique<TCreateSystemPointThread>(service_, [window](int lParam) {
    PostMessageW(window, WM_RESTOREPOINTDONE, 0, lParam);
  });
  worker_->Start();
}

void TfrmSystemPoint::RestorePointDone(int lParam) {
  const std::optional<tallowin::ModalResult> result = logic_.OnResult(lParam, [this] {
    return ShowMessage(hwnd_, Tr(Txt::RestorePointFailedQuestion),
                       MB_YESNO | MB_DEFBUTTON2 | MB_ICONINFORMATION) == IDYES;
  });
  if (!result) return;
  KillTimer(hwnd_, kTimer1);
  EndModal(static_cast<int>(*result));
}

bool TfrmSystemPoint::FormClose() {
  const std::optional<tallowin::ModalResult> result = logic_.FormClose();
  if (!result) return false;  // a result was handled: the dialog is ending already
  KillTimer(hwnd_, kTimer1);
  if (worker_) worker_->Abandon();
  EndModal(static_cast<int>(*result));
  return true;
}

void TfrmSystemPoint::OnTimer(UINT_PTR id) {
  if (id == kTimer1) Timer1Timer();
}

void TfrmSystemPoint::Timer1Timer() {
  logic_.Timer1Timer();
  SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(logic_.position()), 0);
}

LRESULT TfrmSystemPoint::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_RESTOREPOINTDONE) {
    RestorePointDone(static_cast<int>(lParam));
    return 0;
  }
  return Form::HandleMessage(message, wParam, lParam);
}

}  // namespace tallowin::ui
