#pragma once
// The options dialog: backup folder, removable drives, restore point, ignore list.

#include "ui/window.h"

namespace tallowin::ui {

class TfrmOptions : public Form {
 public:
  // Creates the dialog window (hidden); ShowModal(owner) shows it.
  explicit TfrmOptions(HWND owner);
};

}  // namespace tallowin::ui
