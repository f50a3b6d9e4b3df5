#pragma once
// The one-line editor of an ignore-list entry: text that begins with a root key (long or
// short name, any case) is accepted as typed.

#include <string>

#include "ui/window.h"

namespace tallowin::ui {

class TfrmRegAddRegistry : public Form {
 public:
  static constexpr const char* kNoRootMessage =
      "The key must begin with a root key, such as HKEY_CURRENT_USER or HKLM.";

  // Creates the dialog window (hidden); ShowModal(owner) shows it.
  explicit TfrmRegAddRegistry(HWND owner);

  std::string RegistryKey() const { return WindowText(eRegistryKey); }
  void SetRegistryKey(const std::string& key) { SetWindowTextUtf8(eRegistryKey, key); }

  HWND Label1 = nullptr;
  HWND Label2 = nullptr;
  HWND eRegistryKey = nullptr;
  HWND bOK = nullptr;
  HWND bCancel = nullptr;

 protected:
  void FormShow() override;
  void OnCommand(int id, int notifyCode, HWND control) override;

 private:
  void aOKExecute();
};

}  // namespace tallowin::ui
