#include "ui/frm_options.h"

namespace tallowin::ui {

// Placeholder until the dialog is built: an empty window with its caption.
TfrmOptions::TfrmOptions(HWND owner) {
  Create(L"TallowinTfrmOptions", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, owner,
         "Options", 300, 100);
  CenterOnOwner(hwnd_, owner);
}

}  // namespace tallowin::ui
