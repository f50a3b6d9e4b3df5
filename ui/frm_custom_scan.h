#pragma once
// The custom scan dialog: which of the 17 sections a custom scan runs.

#include "ui/window.h"

namespace tallowin::ui {

class TfrmCustomScan : public Form {
 public:
  // Creates the dialog window (hidden); ShowModal(owner) shows it.
  explicit TfrmCustomScan(HWND owner);
};

}  // namespace tallowin::ui
