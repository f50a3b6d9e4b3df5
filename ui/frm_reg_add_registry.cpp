#include "ui/frm_reg_add_registry.h"

#include "core/list_commands.h"
#include "repair/issue_list.h"
#include "ui/ui_text.h"

namespace tallowin::ui {
namespace {

enum : int { kLabel1 = 100, kLabel2, kKey, kOK, kCancel };

}  // namespace

TfrmRegAddRegistry::TfrmRegAddRegistry(HWND owner) {
  Create(L"TallowinTfrmRegAddRegistry", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME,
         owner, Tr(Txt::AddEntryCaption), 360, 124);
  Label1 = AddLabel(kLabel1, Tr(Txt::KeyToExclude), 12, 12);
  eRegistryKey = AddEdit(kKey, "", 12, 30, 336, 21);
  Label2 = AddLabel(kLabel2, Tr(Txt::KeyExample), 12, 58);
  bOK = AddButton(kOK, Tr(Txt::OkButton), 184, 86, 80, 27, true);
  bCancel = AddButton(kCancel, Tr(Txt::CancelButton), 268, 86);
  CenterOnOwner(hwnd_, owner);
}

void TfrmRegAddRegistry::FormShow() {
  SendMessageW(eRegistryKey, EM_SETSEL, 0, -1);
  FocusControl(eRegistryKey);
}

void TfrmRegAddRegistry::aOKExecute() {
  // A doubled or trailing backslash would leave an entry that covers no key.
  const std::string typed = RegistryKey();
  if (const std::string tidy = TidyExcludeEntry(typed); tidy != typed) SetRegistryKey(tidy);
  // An entry without a root would be matched anywhere in a key's name.
  if (!ParseKeyName(RegistryKey())) {
    ShowMessage(hwnd_, Tr(Txt::NoRootMessage), MB_OK | MB_ICONERROR);
    FocusControl(eRegistryKey);
    return;
  }
  EndModal(mrOk);
}

void TfrmRegAddRegistry::OnCommand(int id, int notifyCode, HWND) {
  if (notifyCode != BN_CLICKED) return;
  if (id == kOK) aOKExecute();
  if (id == kCancel) EndModal(mrCancel);
}

}  // namespace tallowin::ui
