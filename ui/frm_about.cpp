#include "ui/frm_about.h"

namespace tallowin::ui {

// Placeholder until the dialog is built: an empty window with its caption.
TfrmAbout::TfrmAbout(HWND owner) {
  Create(L"TallowinTfrmAbout", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, owner,
         "About Tallowin", 300, 100);
  CenterOnOwner(hwnd_, owner);
}

}  // namespace tallowin::ui
