#include "ui/frm_options.h"

#include <windowsx.h>

#include <algorithm>
#include <utility>

#include "core/dialog_choices.h"
#include "core/list_commands.h"
#include "core/settings.h"
#include "platform/text.h"
#include "platform/win32/win32_platform.h"
#include "repair/restore.h"
#include "ui/browse_folder.h"
#include "ui/frm_reg_add_registry.h"
#include "ui/picture.h"
#include "ui/resource.h"
#include "ui/ui_text.h"

namespace tallowin::ui {
namespace {

enum : int {
  kGroup = 100,
  kCreateRestore,
  kIgnoreRemoveMedia,
  kCheck64Bit,
  kLabel2,
  kKeys,
  kAdd,
  kEdit,
  kRemove,
  kDefault,
  kLabel1,
  kOutputFolder,
  kBrowse,
  kOK,
  kCancel,
  kLanguageLabel,
  kLanguage,
  kScheduleFirst = 200
};

std::string RowText(HWND list, int row) {
  std::wstring text(1024, L'\0');
  for (;;) {
    LVITEMW item{};
    item.iSubItem = 0;
    item.pszText = text.data();
    item.cchTextMax = static_cast<int>(text.size());
    const auto length = static_cast<size_t>(
        SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < text.size()) {
      text.resize(length);
      return Narrow(text);
    }
    text.resize(text.size() * 2);
  }
}

// The rows of the language choice and what Settings.dat keeps for each.
constexpr std::pair<Txt, const char*> kLanguages[] = {
    {Txt::LanguageWindows, ""}, {Txt::LanguageEnglish, "en"}, {Txt::LanguageGerman, "de"}};

}  // namespace

TfrmOptions::TfrmOptions(HWND owner)
    : files_(platform::win32::MakeFileSystem()), registry_(platform::win32::MakeRegistry()) {
  const std::string& restoreText = Tr(Txt::CreateRestorePoint);
  // The check box's text decides the width: box, gap, text, and the group's margins.
  const int width = std::max(440, 20 + 20 + static_cast<int>(TextSize(restoreText).cx) + 20);
  const int right = width - 16;  // inner right edge of the group box
  Create(L"TallowinTfrmOptions", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, owner,
         Tr(Txt::OptionsCaption), width, 436 + ScheduleGroup::kHeight + 6);
  GroupBox2 = AddGroupBox(kGroup, "", 8, 6, width - 16, 384);
  cbCreateRestore = AddCheckBox(kCreateRestore, restoreText, 20, 24, right - 28);
  cbIgnoreRemoveMedia =
      AddCheckBox(kIgnoreRemoveMedia, Tr(Txt::IgnoreRemovable), 20, 46, right - 28);
  cbCheck64Bit = AddCheckBox(kCheck64Bit, Tr(Txt::Check64Bit), 20, 68, right - 28);
  Label2 = AddLabel(kLabel2, Tr(Txt::KeysToExclude), 20, 96);
  lvKeys = AddListView(kKeys, 20, 114, right - 98, 190, LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                       LVS_EX_FULLROWSELECT);
  AddListColumn(lvKeys, 0, Tr(Txt::KeysColumn), 320);
  bAdd = AddButton(kAdd, Tr(Txt::AddButton), right - 70, 114, 70, 25);
  bEdit = AddButton(kEdit, Tr(Txt::EditButton), right - 70, 144, 70, 25);
  bRemove = AddButton(kRemove, Tr(Txt::RemoveButton), right - 70, 174, 70, 25);
  bDefault = AddButton(kDefault, Tr(Txt::DefaultButton), right - 70, 279, 70, 25);
  Label1 = AddLabel(kLabel1, Tr(Txt::SaveBackupsTo), 20, 320);
  eOutputFolder = AddEdit(kOutputFolder, "", 20, 340, right - 84, 21);
  bBrowse.CreateControl(hwnd_, kBrowse, right - 56, 334, 32, 32);
  bBrowse.OnClick = [this](TShiftImage&) { bBrowseClick(); };
  HMODULE program = GetModuleHandleW(nullptr);
  bBrowse.NoFocusedPicture.AssignIcon(LoadIconResource(program, IDI_BROWSE, Scale(32)).get());
  bBrowse.FocusedPicture.AssignIcon(LoadIconResource(program, IDI_BROWSE_HOVER, Scale(32)).get());
  bBrowse.Picture.Assign(bBrowse.NoFocusedPicture);
  Schedule = std::make_unique<ScheduleGroup>(*this, kScheduleFirst, 8, 396, width - 16);
  const int buttonsTop = 400 + ScheduleGroup::kHeight + 6;
  // Beside the buttons, left: the language of the windows from the next start on.
  const int languageWidth = static_cast<int>(TextSize(Tr(Txt::LanguageLabel)).cx);
  // Its mnemonic moves the focus to the list that follows it.
  lLanguage = AddControl(L"STATIC", Tr(Txt::LanguageLabel), SS_LEFT, kLanguageLabel, 8, buttonsTop + 6,
                         languageWidth, static_cast<int>(TextSize(Tr(Txt::LanguageLabel)).cy));
  cmbLanguage = AddControl(WC_COMBOBOXW, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, kLanguage,
                           14 + languageWidth, buttonsTop + 3, 130, 120);
  for (const auto& [text, stored] : kLanguages)
    SendMessageW(cmbLanguage, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(Tr(text)).c_str()));
  bOK = AddButton(kOK, Tr(Txt::OkButton), width - 172, buttonsTop, 80, 27, true);
  bCancel = AddButton(kCancel, Tr(Txt::CancelButton), width - 88, buttonsTop);
  // Controls drawn inside the group box come after it in the z-order.
  SetWindowPos(GroupBox2, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  aEditUpdate();
  CenterOnOwner(hwnd_, owner);
}

std::vector<std::string> TfrmOptions::Keys() const {
  std::vector<std::string> keys;
  const int count = ListView_GetItemCount(lvKeys);
  for (int row = 0; row < count; ++row) keys.push_back(RowText(lvKeys, row));
  return keys;
}

int TfrmOptions::SelectedRow() const {
  return ListView_GetNextItem(lvKeys, -1, LVNI_SELECTED);
}

void TfrmOptions::AddRow(const std::string& text) {
  std::wstring wide = Wide(text);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = ListView_GetItemCount(lvKeys);
  item.pszText = wide.data();
  ListView_InsertItem(lvKeys, &item);
}

void TfrmOptions::FormShow() {
  const OptionsChoice choice = OptionsFromSettings(OptionsSetting);
  Button_SetCheck(cbIgnoreRemoveMedia, choice.ignoreRemoveDrives ? BST_CHECKED : BST_UNCHECKED);
  Button_SetCheck(cbCreateRestore, choice.createRestorePoint ? BST_CHECKED : BST_UNCHECKED);
  Button_SetCheck(cbCheck64Bit, choice.check64Bit ? BST_CHECKED : BST_UNCHECKED);
  SetWindowTextUtf8(eOutputFolder, choice.outputDirectory);
  ListView_DeleteAllItems(lvKeys);
  for (const std::string& key : choice.ignoreKeys) AddRow(key);
  aEditUpdate();
  int language = 0;
  for (int i = 0; i < static_cast<int>(std::size(kLanguages)); ++i)
    if (EqualsNoCase(OptionsSetting.Language, kLanguages[i].second)) language = i;
  ComboBox_SetCurSel(cmbLanguage, language);
  Schedule->Load();
}

void TfrmOptions::bOKClick() {
  OptionsChoice choice;
  choice.outputDirectory = WindowText(eOutputFolder);
  choice.ignoreRemoveDrives = Button_GetCheck(cbIgnoreRemoveMedia) == BST_CHECKED;
  choice.createRestorePoint = Button_GetCheck(cbCreateRestore) == BST_CHECKED;
  choice.check64Bit = Button_GetCheck(cbCheck64Bit) == BST_CHECKED;
  choice.ignoreKeys = Keys();
  // The settings change only once the schedule has too: an OK refused for either
  // leaves both as they were.
  TOptionsSetting changed = OptionsSetting;
  const std::string refused =
      ApplyOptions(*files_, choice, platform::win32::MakeSystem()->ExecutableDirectory(), changed);
  if (!refused.empty()) {
    ShowMessage(hwnd_, Format(Txt::FolderRefused, {choice.outputDirectory}), MB_OK | MB_ICONERROR);
    FocusControl(eOutputFolder);
    return;
  }
  if (const std::string failed = Schedule->Apply(); !failed.empty()) {
    ShowMessage(hwnd_, failed, MB_OK | MB_ICONERROR);
    FocusControl(Schedule->cmbSchedule);
    return;
  }
  const int language = ComboBox_GetCurSel(cmbLanguage);
  if (language >= 0 && language < static_cast<int>(std::size(kLanguages)))
    changed.Language = kLanguages[language].second;
  OptionsSetting = std::move(changed);
  EndModal(mrOk);
}

// Another row names the key already, under this or another spelling: said, not stored.
bool TfrmOptions::AlreadyListed(const std::string& key, int except) {
  std::vector<std::string> others = Keys();
  if (except >= 0 && except < static_cast<int>(others.size())) others.erase(others.begin() + except);
  FilterContext context;
  context.userSid = platform::win32::MakeSystem()->CurrentUserSid();
  context.registry = registry_.get();
  if (!IsIgnoredKey(others, key, context)) return false;
  ShowMessage(hwnd_, Tr(Txt::AlreadyListed), MB_OK | MB_ICONINFORMATION);
  return true;
}

void TfrmOptions::bAddClick() {
  TfrmRegAddRegistry editor(hwnd_);
  if (editor.ShowModal(hwnd_) == mrOk && !AlreadyListed(editor.RegistryKey(), -1))
    AddRow(editor.RegistryKey());
}

void TfrmOptions::aEditExecute() {
  const int row = SelectedRow();
  if (row < 0) return;
  TfrmRegAddRegistry editor(hwnd_);
  SetWindowTextUtf8(editor.handle(), Tr(Txt::EditEntryCaption));
  editor.SetRegistryKey(RowText(lvKeys, row));
  if (editor.ShowModal(hwnd_) != mrOk || AlreadyListed(editor.RegistryKey(), row)) return;
  std::wstring text = Wide(editor.RegistryKey());
  LVITEMW item{};
  item.iSubItem = 0;
  item.pszText = text.data();
  SendMessageW(lvKeys, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void TfrmOptions::aEditUpdate() {
  const BOOL selected = SelectedRow() >= 0 ? TRUE : FALSE;
  EnableWindow(bEdit, selected);
  EnableWindow(bRemove, selected);
}

void TfrmOptions::aRemoveExecute() {
  const int row = SelectedRow();
  if (row < 0) return;
  ListView_DeleteItem(lvKeys, row);
  aEditUpdate();
}

void TfrmOptions::lvKeysDblClick() { aEditExecute(); }

void TfrmOptions::bBrowseClick() {
  std::string folder;
  if (BrowseForDirectory(hwnd_, Tr(Txt::BrowseCaption), L"", folder))
    SetWindowTextUtf8(eOutputFolder, folder);
}

void TfrmOptions::OnCommand(int id, int notifyCode, HWND) {
  if (Schedule->OnCommand(id, notifyCode) || id == kLanguage || notifyCode != BN_CLICKED) return;
  switch (id) {
    case kOK:
      bOKClick();
      break;
    case kCancel:
      EndModal(mrCancel);
      break;
    case kAdd:
      bAddClick();
      break;
    case kEdit:
      aEditExecute();
      break;
    case kRemove:
      aRemoveExecute();
      break;
    default:  // "&Default" does nothing
      break;
  }
}

LRESULT TfrmOptions::OnNotify(NMHDR* header) {
  if (header->hwndFrom != lvKeys) return 0;
  if (header->code == LVN_ITEMCHANGED) {
    const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if (change->uChanged & LVIF_STATE) aEditUpdate();
  } else if (header->code == NM_DBLCLK) {
    lvKeysDblClick();
  }
  return 0;
}

}  // namespace tallowin::ui
