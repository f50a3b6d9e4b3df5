#pragma once
// The custom scan dialog: which of the 17 sections a custom scan runs. The check marks
// go to OptionsSetting.ScanSections on Save or Start Scan (mrOk), never on Cancel. Start
// Scan with no section checked is refused ("No sections were selected!") and saves nothing.

#include "core/settings.h"
#include "ui/picture.h"
#include "ui/window.h"

namespace tallowin::ui {

class TfrmCustomScan : public Form {
 public:
  // Creates the dialog window (hidden); ShowModal(owner) shows it.
  explicit TfrmCustomScan(HWND owner);
  ~TfrmCustomScan() override;

  HWND Image1 = nullptr;
  HWND Label1 = nullptr;
  HWND ListView1 = nullptr;
  HWND bStartScan = nullptr;
  HWND bSave = nullptr;
  HWND bCancel = nullptr;
  HMENU suiPopupMenu1 = nullptr;

  // The check marks as they are now (row k = code k).
  TScanSections Checks() const;

  static constexpr int kSelectAllCommand = 201;    // miSelectAll
  static constexpr int kDeselectAllCommand = 202;  // miDeselectAll

 protected:
  void FormShow() override;
  void OnCommand(int id, int notifyCode, HWND control) override;
  LRESULT OnNotify(NMHDR* header) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void aSaveExecute();
  void aSaveUpdate();
  void bStartScanClick();
  void miSelectAllClick();
  void miDeselectAllClick();
  void SetAllChecks(bool checked);

  UniqueIcon icon_;
  bool filling_ = false;
};

}  // namespace tallowin::ui
