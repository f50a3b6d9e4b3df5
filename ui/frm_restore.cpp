#include "ui/frm_restore.h"

namespace tallowin::ui {

// Placeholder until the dialog is built: an empty window with its caption.
TfrmRestore::TfrmRestore(HWND owner, const platform::Platform&) {
  Create(L"TallowinTfrmRestore", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, owner,
         "Restore", 300, 100);
  CenterOnOwner(hwnd_, owner);
}

}  // namespace tallowin::ui
