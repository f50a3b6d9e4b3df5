#include "ui/frm_system_point.h"

namespace tallowin::ui {

// Placeholder until the dialog is built: an empty window with its caption.
TfrmSystemPoint::TfrmSystemPoint(HWND owner, const platform::Platform&) {
  Create(L"TallowinTfrmSystemPoint", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, owner,
         "Tallowin", 300, 100);
  CenterOnOwner(hwnd_, owner);
}

platform::SystemChange TfrmSystemPoint::TakeChange() { return {}; }

}  // namespace tallowin::ui
