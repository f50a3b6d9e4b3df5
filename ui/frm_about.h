#pragma once
// The about box.

#include <string>

#include "ui/picture.h"
#include "ui/window.h"

namespace tallowin::ui {

class TfrmAbout : public Form {
 public:
  // Creates the dialog window (hidden); ShowModal(owner) shows it.
  // `programFolder` (ending with a backslash) holds the help page the links fall back to.
  TfrmAbout(HWND owner, std::string programFolder);

  HWND Image2 = nullptr;
  HWND Label1 = nullptr;
  HWND lCopywrite = nullptr;
  HWND Label3 = nullptr;
  HWND Label4 = nullptr;
  HWND lbEAddress = nullptr;
  HWND Image1 = nullptr;
  HWND Panel2 = nullptr;
  HWND bOK = nullptr;

 protected:
  void OnCommand(int id, int notifyCode, HWND control) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void lbEAddressClick();
  void Image1Click();

  std::string programFolder_;
  Picture banner_;  // Image2
  Picture donate_;  // Image1
};

}  // namespace tallowin::ui
