#pragma once
// The main window.

#include <string>
#include <vector>

#include "ui/window.h"

namespace tallowin::ui {

class TfrmMain : public Form {
 public:
  // Creates the window (hidden); `arguments` are the program's, without its name.
  bool CreateMain(std::vector<std::string> arguments);
  void Show(int showCommand);

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  std::vector<std::string> arguments_;
};

}  // namespace tallowin::ui
