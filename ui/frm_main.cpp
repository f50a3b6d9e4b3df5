#include "ui/frm_main.h"

#include "ui/messages.h"

namespace tallowin::ui {

bool TfrmMain::CreateMain(std::vector<std::string> arguments) {
  arguments_ = std::move(arguments);
  if (!Create(kMainWindowClass, WS_OVERLAPPEDWINDOW, 0, nullptr, "Tallowin 2.8", 594, 442))
    return false;
  CenterOnOwner(hwnd_, nullptr);
  return true;
}

void TfrmMain::Show(int showCommand) { ShowWindow(hwnd_, showCommand); }

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATEINSTANCE:
      if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
      SetForegroundWindow(hwnd_);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return Form::HandleMessage(message, wParam, lParam);
  }
}

}  // namespace tallowin::ui
