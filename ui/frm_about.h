#pragma once
// The about box.

#include "ui/window.h"

namespace tallowin::ui {

class TfrmAbout : public Form {
 public:
  // Creates the dialog window (hidden); ShowModal(owner) shows it.
  explicit TfrmAbout(HWND owner);
};

}  // namespace tallowin::ui
