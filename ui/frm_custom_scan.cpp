#include "ui/frm_custom_scan.h"

namespace tallowin::ui {

// Placeholder until the dialog is built: an empty window with its caption.
TfrmCustomScan::TfrmCustomScan(HWND owner) {
  Create(L"TallowinTfrmCustomScan", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, owner,
         "Custom Scan", 300, 100);
  CenterOnOwner(hwnd_, owner);
}

}  // namespace tallowin::ui
