#include "ui/frm_backup_hint.h"

#include "ui/ui_text.h"

namespace tallowin::ui {
namespace {

enum : int { kHint = 100, kProgress, kStop };
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Interval = 500;
constexpr int kBarMaximum = 500;

}  // namespace

TfrmBackupHint::TfrmBackupHint(HWND owner) : owner_(owner) {
  Create(L"TallowinTfrmBackupHint", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME,
         owner, kProductName, 334, 78);
  lHint = AddLabel(kHint, "", 16, 14, 300, 16);
  ProgressBar1 = AddProgressBar(kProgress, 16, 41, 208, 18, 0, kBarMaximum);
  bStop = AddButton(kStop, Tr(Txt::StopButton), 238, 36, 80, 27);
  CenterOnOwner(hwnd_, owner);
}

CommandResult TfrmBackupHint::WaitWithHint(platform::Process& process,
                                           const std::string& hintText) {
  SetWindowTextUtf8(lHint, Localized(hintText));
  process_ = &process;
  stopped_ = false;
  const int result = ShowModal(owner_);
  KillTimer(hwnd_, kTimer1);
  process_ = nullptr;
  if (result == mrOk) return CommandResult::Finished;
  return stopped_ ? CommandResult::Stopped : CommandResult::Closed;
}

void TfrmBackupHint::FormShow() {
  position_ = 0;
  SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);
  SetTimer(hwnd_, kTimer1, kTimer1Interval, nullptr);
}

bool TfrmBackupHint::FormClose() {
  // The close box, Alt+F4 and Escape are Stop: the hint never leaves an import running
  // unseen, whose file would be kept though it went on to the end.
  bStopClick();
  KillTimer(hwnd_, kTimer1);
  return true;
}

void TfrmBackupHint::OnCommand(int id, int notifyCode, HWND) {
  if (id == kStop && notifyCode == BN_CLICKED) bStopClick();
}

void TfrmBackupHint::OnTimer(UINT_PTR id) {
  if (id == kTimer1) Timer1Timer();
}

void TfrmBackupHint::Timer1Timer() {
  if (process_ == nullptr || !InModalLoop()) return;
  if (process_->WaitFor(0)) {
    KillTimer(hwnd_, kTimer1);
    EndModal(mrOk);
    return;
  }
  position_ = NextBackupHintProgress(position_);
  SendMessageW(ProgressBar1, PBM_SETPOS, static_cast<WPARAM>(position_), 0);
}

void TfrmBackupHint::bStopClick() {
  if (process_ == nullptr || !InModalLoop()) return;
  KillTimer(hwnd_, kTimer1);
  process_->Terminate();
  stopped_ = true;
  EndModal(mrCancel);
}

}  // namespace tallowin::ui
