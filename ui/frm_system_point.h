#pragma once
// The restore point dialog shown before a repair run: mrOk = go on, mrCancel = abandon.

#include "ui/window.h"
#include "platform/platform.h"
#include "platform/restore_point.h"

namespace tallowin::ui {

class TfrmSystemPoint : public Form {
 public:
  // Creates the dialog window (hidden); ShowModal(owner) shows it.
  explicit TfrmSystemPoint(HWND owner, const platform::Platform& platform);
  // After mrOk from a created restore point: the change it began, to be ended when the
  // repair run is over (closed when there is none).
  [[nodiscard]] platform::SystemChange TakeChange();
};

}  // namespace tallowin::ui
