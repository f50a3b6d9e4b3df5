#pragma once
// The restore manager: lists the backup files, imports one, deletes one.

#include <string>
#include <vector>

#include "platform/platform.h"
#include "repair/restore.h"
#include "ui/window.h"

namespace tallowin::ui {

class TfrmRestore : public Form {
 public:
  // Creates the dialog window (hidden); ShowModal(owner) shows it.
  explicit TfrmRestore(HWND owner, const platform::Platform& platform);

  HWND Label1 = nullptr;
  HWND Label2 = nullptr;
  HWND eFolder = nullptr;
  HWND bBrowseFolder = nullptr;
  HWND ListView1 = nullptr;
  HWND bRestore = nullptr;
  HWND bDelete = nullptr;
  HWND bClose = nullptr;

  // The rows as listed, top to bottom.
  const std::vector<BackupFileRow>& Rows() const { return rows_; }

 protected:
  void FormShow() override;
  void OnCommand(int id, int notifyCode, HWND control) override;
  LRESULT OnNotify(NMHDR* header) override;

 private:
  void bBrowseFolderClick();
  void aRestoreExecute();
  void aRestoreUpdate();
  void aDeleteExecute();
  void suitempListView1DblClick();
  // Lists `folder` below the current rows; says so when it is not there.
  void ListBackupFiles(const std::string& folder);
  void ShowRows(int selected);
  int SelectedRow() const;

  platform::Platform platform_;
  std::vector<BackupFileRow> rows_;
};

}  // namespace tallowin::ui
