#include "ui/frm_restore.h"

#include <algorithm>

#include "core/settings.h"
#include "repair/repair_run.h"
#include "ui/browse_folder.h"
#include "ui/frm_backup_hint.h"
#include "ui/ui_text.h"

namespace tallowin::ui {
namespace {

enum : int { kLabel1 = 100, kLabel2, kFolder, kBrowseFolder, kList, kRestore, kDelete, kClose };

void SetCell(HWND list, int row, int column, const std::string& text) {
  std::wstring wide = Wide(text);
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = wide.data();
  SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

TfrmRestore::TfrmRestore(HWND owner, const platform::Platform& platform) : platform_(platform) {
  const std::string& line1 = Tr(Txt::RestoreLabel1);
  const int width = std::max(520, 12 + static_cast<int>(TextSize(line1).cx) + 12);
  const int buttonWidth =
      ButtonWidth({Tr(Txt::BrowseButton), Tr(Txt::RestoreAction), Tr(Txt::DeleteButton), Tr(Txt::CloseButton)}, 80);
  const int buttons = width - buttonWidth - 12;
  Create(L"TallowinTfrmRestore", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, owner,
         Tr(Txt::RestoreCaption), width, 318);
  Label1 = AddLabel(kLabel1, line1, 12, 10);
  Label2 = AddLabel(kLabel2, Tr(Txt::RestoreLabel2), 12, 26);
  eFolder = AddEdit(kFolder, "", 12, 48, buttons - 18, 21, ES_READONLY);
  bBrowseFolder = AddButton(kBrowseFolder, Tr(Txt::BrowseButton), buttons, 46, buttonWidth, 25);
  ListView1 = AddListView(kList, 12, 78, buttons - 18, 228,
                          LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER,
                          LVS_EX_FULLROWSELECT | LVS_EX_FLATSB);
  AddListColumn(ListView1, 0, Tr(Txt::ColumnFileName), 230);
  AddListColumn(ListView1, 1, Tr(Txt::ColumnDateCreated), 130);
  AddListColumn(ListView1, 2, Tr(Txt::ColumnSize), 0);
  bRestore = AddButton(kRestore, Tr(Txt::RestoreAction), buttons, 78, buttonWidth);
  bDelete = AddButton(kDelete, Tr(Txt::DeleteButton), buttons, 110, buttonWidth);
  bClose = AddButton(kClose, Tr(Txt::CloseButton), buttons, 279, buttonWidth);
  aRestoreUpdate();
  CenterOnOwner(hwnd_, owner);
}

void TfrmRestore::FormShow() {
  SetWindowTextUtf8(eFolder, OptionsSetting.OutputDirectory);
  rows_.clear();
  ShowRows(-1);
  ListBackupFiles(WindowText(eFolder));
}

void TfrmRestore::ListBackupFiles(const std::string& folder) {
  if (!tallowin::ListBackupFiles(platform_.files, platform_.system, folder, rows_)) {
    ShowMessage(hwnd_, Tr(Txt::BackupFolderMissing), MB_OK | MB_ICONINFORMATION);
    return;
  }
  ShowRows(-1);
}

void TfrmRestore::ShowRows(int selected) {
  SendMessageW(ListView1, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(ListView1);
  for (size_t i = 0; i < rows_.size(); ++i) {
    std::wstring name = Wide(rows_[i].name);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = name.data();
    const int row = ListView_InsertItem(ListView1, &item);
    SetCell(ListView1, row, 1, rows_[i].dateText);
    SetCell(ListView1, row, 2, rows_[i].sizeText);
  }
  if (selected >= 0 && static_cast<size_t>(selected) < rows_.size()) {
    ListView_SetItemState(ListView1, selected, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(ListView1, selected, FALSE);
  }
  SendMessageW(ListView1, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(ListView1, nullptr, TRUE);
  aRestoreUpdate();
}

int TfrmRestore::SelectedRow() const {
  return ListView_GetNextItem(ListView1, -1, LVNI_SELECTED);
}

void TfrmRestore::aRestoreUpdate() {
  const BOOL selected = SelectedRow() >= 0 ? TRUE : FALSE;
  EnableWindow(bRestore, selected);
  EnableWindow(bDelete, selected);
}

void TfrmRestore::bBrowseFolderClick() {
  std::string folder;
  if (!BrowseForDirectory(hwnd_, Tr(Txt::BrowseCaption), L"", folder)) return;
  SetWindowTextUtf8(eFolder, folder);
  rows_.clear();
  ShowRows(-1);
  ListBackupFiles(folder);
}

void TfrmRestore::aRestoreExecute() {
  int selected = SelectedRow();
  if (selected < 0) return;
  const std::string folder = WindowText(eFolder);
  TfrmBackupHint hint(hwnd_);
  const RestoreOutcome outcome = RestoreSelected(platform_, folder, OptionsSetting.OutputDirectory,
                                                 rows_, selected, hint, Words());
  switch (outcome.status) {
    case RestoreStatus::Restored:
      ShowRows(selected);
      if (!outcome.message.empty()) ShowMessage(hwnd_, outcome.message, MB_OK | MB_ICONERROR);
      break;
    case RestoreStatus::NotStarted:
      ShowMessage(hwnd_, outcome.message, MB_OK | MB_ICONINFORMATION);
      break;
    case RestoreStatus::Unreadable:
    case RestoreStatus::NotRestored:
      ShowMessage(hwnd_, outcome.message, MB_OK | MB_ICONERROR);
      break;
    case RestoreStatus::NothingSelected:
    case RestoreStatus::Stopped:
      break;
  }
}

void TfrmRestore::aDeleteExecute() {
  int selected = SelectedRow();
  if (selected < 0) return;
  const DeleteOutcome outcome = DeleteSelected(platform_, WindowText(eFolder), rows_, selected, Words());
  ShowRows(selected);
  if (!outcome.message.empty()) ShowMessage(hwnd_, outcome.message, MB_OK | MB_ICONERROR);
}

void TfrmRestore::suitempListView1DblClick() { aRestoreExecute(); }

void TfrmRestore::OnCommand(int id, int notifyCode, HWND) {
  if (notifyCode != BN_CLICKED) return;
  switch (id) {
    case kBrowseFolder:
      bBrowseFolderClick();
      break;
    case kRestore:
      aRestoreExecute();
      break;
    case kDelete:
      aDeleteExecute();
      break;
    case kClose:
      EndModal(mrCancel);
      break;
    default:
      break;
  }
}

LRESULT TfrmRestore::OnNotify(NMHDR* header) {
  if (header->hwndFrom != ListView1) return 0;
  if (header->code == LVN_ITEMCHANGED) {
    const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if (change->uChanged & LVIF_STATE) aRestoreUpdate();
  } else if (header->code == NM_DBLCLK) {
    suitempListView1DblClick();
  }
  return 0;
}

}  // namespace tallowin::ui
