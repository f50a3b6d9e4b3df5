#pragma once
// The options dialog: backup folder, removable drives, restore point, ignore list. The
// settings record changes in one step, at an OK whose backup folder exists.

#include <memory>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "ui/schedule_group.h"
#include "ui/shift_image.h"
#include "ui/window.h"

namespace tallowin::ui {

class TfrmOptions : public Form {
 public:
  static constexpr const char* kAlreadyListedText = "This key is on the list already.";

  // Creates the dialog window (hidden); ShowModal(owner) shows it.
  explicit TfrmOptions(HWND owner);

  HWND GroupBox2 = nullptr;
  HWND cbCreateRestore = nullptr;
  HWND cbIgnoreRemoveMedia = nullptr;
  HWND cbCheck64Bit = nullptr;
  HWND Label2 = nullptr;
  HWND lvKeys = nullptr;
  HWND bAdd = nullptr;
  HWND bEdit = nullptr;
  HWND bRemove = nullptr;
  HWND bDefault = nullptr;
  HWND Label1 = nullptr;
  HWND eOutputFolder = nullptr;
  TShiftImage bBrowse;
  std::unique_ptr<ScheduleGroup> Schedule;  // "Repair automatically"
  HWND lLanguage = nullptr;
  HWND cmbLanguage = nullptr;  // Windows setting / English / Deutsch
  HWND bOK = nullptr;
  HWND bCancel = nullptr;

  // The rows of lvKeys, in order.
  std::vector<std::string> Keys() const;

 protected:
  void FormShow() override;
  void OnCommand(int id, int notifyCode, HWND control) override;
  LRESULT OnNotify(NMHDR* header) override;

 private:
  void bOKClick();
  void bAddClick();
  void aEditExecute();
  void aEditUpdate();
  void aRemoveExecute();
  void lvKeysDblClick();
  void bBrowseClick();
  int SelectedRow() const;
  void AddRow(const std::string& text);
  bool AlreadyListed(const std::string& key, int except);

  std::unique_ptr<platform::FileSystem> files_;
  std::unique_ptr<platform::Registry> registry_;  // compares keys as the filter does
};

}  // namespace tallowin::ui
