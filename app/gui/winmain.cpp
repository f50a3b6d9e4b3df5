// Tallowin.exe: one copy per desktop; a second start hands over to the first.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "core/fix_report.h"
#include "platform/win32/com_initialization.h"
#include "ui/frm_main.h"
#include "ui/messages.h"
#include "ui/run_record.h"
#include "ui/window.h"

namespace {

std::vector<std::string> Arguments() {
  std::vector<std::string> result;
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  if (argv == nullptr) return result;
  for (int i = 1; i < count; ++i) result.push_back(tallowin::ui::Narrow(argv[i]));
  LocalFree(argv);
  return result;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int showCommand) {
  using namespace tallowin::ui;
  const std::vector<std::string> arguments = Arguments();
  if (HWND running = FindWindowW(kMainWindowClass, nullptr)) {
    // An unattended run does nothing beside another copy, and says so to its scheduler.
    if (tallowin::IsRepairOnceSwitch(arguments)) {
      RecordRunBesideAnotherCopy();
      return tallowin::kRepairOnceAlreadyRunning;
    }
    PostMessageW(running, WM_ACTIVATEINSTANCE, 0, 0);
    // The first copy's open dialog, when it has one: its main window is disabled then.
    SetForegroundWindow(GetLastActivePopup(running));
    return 0;
  }
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  tallowin::platform::win32::ComInitialization com(tallowin::platform::win32::ComThreading::Apartment);

  TfrmMain main;
  if (!main.CreateMain(arguments)) return 1;
  // The unattended run never shows its window, not even before it hides it.
  main.Show(tallowin::IsRepairOnceSwitch(arguments) ? SW_HIDE : showCommand);
  return RunMessageLoop(main.handle(), main.Accelerators());
}
