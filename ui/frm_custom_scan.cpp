#include "ui/frm_custom_scan.h"

#include <windowsx.h>

#include <algorithm>

#include "core/code_list.h"
#include "core/dialog_choices.h"
#include "ui/resource.h"
#include "ui/ui_text.h"

namespace tallowin::ui {
namespace {

enum : int { kImage = 100, kLabel, kList, kStartScan, kSave, kCancel };

bool RowChecked(HWND list, int row) {
  return ListView_GetCheckState(list, row) != 0;
}

}  // namespace

TfrmCustomScan::TfrmCustomScan(HWND owner) {
  const std::string& question = Tr(Txt::CustomScanQuestion);
  const int width = std::max(352, 54 + static_cast<int>(TextSize(question).cx) + 12);
  Create(L"TallowinTfrmCustomScan", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, owner,
         Tr(Txt::CustomScanCaption), width, 390);
  Image1 = AddControl(L"STATIC", "", SS_ICON | SS_CENTERIMAGE, kImage, 12, 10, 32, 32);
  icon_ = LoadIconResource(GetModuleHandleW(nullptr), IDI_CUSTOM_SCAN, Scale(32));
  SendMessageW(Image1, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
  Label1 = AddLabel(kLabel, question, 54, 20);
  // Tall enough for the 17 rows without scrolling.
  ListView1 = AddListView(kList, 12, 50, width - 24, 292,
                          LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                          LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
  AddListColumn(ListView1, 0, Tr(Txt::SectionsColumn), 300);
  for (size_t i = 0; i < kScanSectionNames.size(); ++i) {
    std::wstring text = Wide(Tr(static_cast<Txt>(static_cast<size_t>(Txt::SectionHkcr) + i)));
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(i);
    item.pszText = text.data();
    ListView_InsertItem(ListView1, &item);
  }
  bStartScan = AddButton(kStartScan, Tr(Txt::StartScan), width - 260, 352, 80, 27, true);
  bSave = AddButton(kSave, Tr(Txt::SaveButton), width - 176, 352);
  bCancel = AddButton(kCancel, Tr(Txt::CancelButton), width - 92, 352);
  suiPopupMenu1 = CreatePopupMenu();
  AppendMenuW(suiPopupMenu1, MF_STRING, kSelectAllCommand, Wide(Tr(Txt::SelectAll)).c_str());
  AppendMenuW(suiPopupMenu1, MF_STRING, kDeselectAllCommand, Wide(Tr(Txt::DeselectAllSections)).c_str());
  EnableWindow(bSave, FALSE);
  CenterOnOwner(hwnd_, owner);
}

TfrmCustomScan::~TfrmCustomScan() {
  if (suiPopupMenu1 != nullptr) DestroyMenu(suiPopupMenu1);
}

TScanSections TfrmCustomScan::Checks() const {
  TScanSections checks;
  for (int code = TScanSections::kFirst; code <= TScanSections::kLast; ++code)
    checks[code] = RowChecked(ListView1, code - TScanSections::kFirst);
  return checks;
}

void TfrmCustomScan::FormShow() {
  filling_ = true;
  for (int code = TScanSections::kFirst; code <= TScanSections::kLast; ++code)
    ListView_SetCheckState(ListView1, code - TScanSections::kFirst,
                           OptionsSetting.ScanSections[code] ? TRUE : FALSE);
  filling_ = false;
  aSaveUpdate();
}

void TfrmCustomScan::aSaveExecute() {
  OptionsSetting.ScanSections = Checks();
  aSaveUpdate();
}

void TfrmCustomScan::aSaveUpdate() {
  EnableWindow(bSave, ScanSectionsDiffer(Checks(), OptionsSetting.ScanSections) ? TRUE : FALSE);
}

void TfrmCustomScan::bStartScanClick() {
  // Refused here, before anything is saved: an empty choice stored would leave every
  // later -repaironce with nothing to scan.
  if (SectionCodes(Checks()).empty()) {
    ShowMessage(hwnd_, Tr(Txt::NoSections), MB_ICONINFORMATION);
    return;
  }
  if (IsWindowEnabled(bSave)) aSaveExecute();
  EndModal(mrOk);
}

void TfrmCustomScan::SetAllChecks(bool checked) {
  filling_ = true;
  for (int row = 0; row < ListView_GetItemCount(ListView1); ++row)
    ListView_SetCheckState(ListView1, row, checked ? TRUE : FALSE);
  filling_ = false;
  aSaveUpdate();
}

void TfrmCustomScan::miSelectAllClick() { SetAllChecks(true); }
void TfrmCustomScan::miDeselectAllClick() { SetAllChecks(false); }

void TfrmCustomScan::OnCommand(int id, int notifyCode, HWND) {
  switch (id) {
    case kStartScan:
      if (notifyCode == BN_CLICKED) bStartScanClick();
      break;
    case kSave:
      if (notifyCode == BN_CLICKED) aSaveExecute();
      break;
    case kCancel:
      if (notifyCode == BN_CLICKED) EndModal(mrCancel);
      break;
    case kSelectAllCommand:
      miSelectAllClick();
      break;
    case kDeselectAllCommand:
      miDeselectAllClick();
      break;
    default:
      break;
  }
}

LRESULT TfrmCustomScan::OnNotify(NMHDR* header) {
  // A check box click changes the row's state image: Save follows it at once.
  if (header->hwndFrom == ListView1 && header->code == LVN_ITEMCHANGED && !filling_) {
    const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if (change->uChanged & LVIF_STATE &&
        ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) != 0)
      aSaveUpdate();
  }
  return 0;
}

LRESULT TfrmCustomScan::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CONTEXTMENU && reinterpret_cast<HWND>(wParam) == ListView1) {
    POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    if (at.x == -1 && at.y == -1) {  // from the keyboard: below the list's corner
      RECT list{};
      GetWindowRect(ListView1, &list);
      at = {list.left + 8, list.top + 8};
    }
    TrackPopupMenu(suiPopupMenu1, TPM_LEFTALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd_, nullptr);
    return 0;
  }
  return Form::HandleMessage(message, wParam, lParam);
}

}  // namespace tallowin::ui
