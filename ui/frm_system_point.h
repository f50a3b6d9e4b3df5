#pragma once
// The restore point dialog shown before a repair run: mrOk = go on, mrCancel = abandon.

#include <memory>

#include "platform/platform.h"
#include "platform/restore_point.h"
#include "repair/restore_point.h"
#include "ui/window.h"

namespace tallowin::ui {

class TfrmSystemPoint : public Form {
 public:
  // Creates the dialog window (hidden); ShowModal(owner) shows it. The worker keeps the
  // platform's restore point service alive through its shared owner while its call runs
  // (the call can outlive this dialog and the machine); a service that no shared_ptr
  // owns is never called, and counts as a failed call.
  explicit TfrmSystemPoint(HWND owner, const platform::Platform& platform);
  ~TfrmSystemPoint() override;
  // After mrOk from a created restore point: the change it began, to be ended when the
  // repair run is over (closed when there is none).
  [[nodiscard]] platform::SystemChange TakeChange();

  HWND lScanTask = nullptr;
  HWND Label1 = nullptr;
  HWND Label3 = nullptr;
  HWND Label2 = nullptr;
  HWND ProgressBar1 = nullptr;
  int position() const { return logic_.position(); }

 protected:
  void FormShow() override;
  bool FormClose() override;
  void OnTimer(UINT_PTR id) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void Timer1Timer();
  void RestorePointDone(int lParam);

  std::shared_ptr<platform::RestorePointService> service_;
  std::unique_ptr<TCreateSystemPointThread> worker_;
  SystemPointDialogLogic logic_;
};

}  // namespace tallowin::ui
