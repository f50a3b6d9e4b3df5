#pragma once
// The restore manager: lists the backup files, imports one, deletes one.

#include "ui/window.h"
#include "platform/platform.h"

namespace tallowin::ui {

class TfrmRestore : public Form {
 public:
  // Creates the dialog window (hidden); ShowModal(owner) shows it.
  explicit TfrmRestore(HWND owner, const platform::Platform& platform);
};

}  // namespace tallowin::ui
