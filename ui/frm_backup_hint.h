#pragma once
// The hint shown while an external program (the registry editor's import) runs: it ends
// by itself when the program ends, or by the user's "Stop".

#include "repair/restore.h"
#include "ui/window.h"

namespace tallowin::ui {

class TfrmBackupHint : public Form, public CommandHint {
 public:
  // Creates the dialog window (hidden); WaitWithHint shows it.
  explicit TfrmBackupHint(HWND owner);

  // Shows the hint modally over the owner until `process` ends (Finished), or "Stop" or
  // the hint's close (box, Alt+F4, Escape) terminates it (Stopped). The process is polled
  // every 500 ms.
  CommandResult WaitWithHint(platform::Process& process, const std::string& hintText) override;

  HWND lHint = nullptr;
  HWND ProgressBar1 = nullptr;
  HWND bStop = nullptr;
  int position() const { return position_; }

 protected:
  void FormShow() override;
  bool FormClose() override;
  void OnCommand(int id, int notifyCode, HWND control) override;
  void OnTimer(UINT_PTR id) override;

 private:
  void Timer1Timer();
  void bStopClick();

  HWND owner_ = nullptr;
  platform::Process* process_ = nullptr;
  int position_ = 0;
  bool stopped_ = false;
};

}  // namespace tallowin::ui
