#pragma once
// The main window: the buttons, the issue list with its popup menu, the welcome panel
// and the status line; it owns the settings' life cycle and runs the scans and repairs.

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ini_file.h"
#include "platform/platform.h"
#include "repair/issue_list.h"
#include "ui/frm_scan_registry.h"
#include "ui/issue_list_view.h"
#include "ui/picture.h"
#include "ui/window.h"

namespace tallowin {

class ReasonDesk;
struct RepairResult;
namespace platform::win32 {
class Win32Machine;
}
}  // namespace tallowin

namespace tallowin::ui {

struct MainWindowOptions {
  // The machine the window scans and repairs; null: the real one.
  const platform::Platform* platform = nullptr;
  // The settings file; empty: Settings.dat beside the executable.
  std::string settingsPath;
  // Where the help page is looked for; empty: the executable's folder.
  std::string executableDirectory;
  // Destroying the window ends the message loop (false for windows inside tests).
  bool endsProgram = true;
  // The work after a scan runs in slices of about this length (at least one step each),
  // the window answering between them: no one should see it wait.
  std::chrono::milliseconds postScanSlice{25};
  // The window sets the windows' language from Settings.dat and Windows' display
  // language (false: a test has set it).
  bool chooseLanguage = true;
};

class TfrmMain : public Form, private ScanHost {
 public:
  // Control and command ids; buttons answer BM_CLICK, menu commands WM_COMMAND.
  enum : int {
    idScanRegistry = 101,
    idCustomScan,
    idFixErrors,
    idRestoreRegistry,
    idOptions,
    idHelp,
    idAbout,
    idExit,
    idCheckUpdate = 120,
    idRegistryData,
    idPanel,
    idStatusBar,
    idLabel1,
    idInstructions,  // five labels from here
    idUpdateLink = idInstructions + 5,
    idUpdateIcon,
    idDonateLink,
    idImage1,
    // The popup menu of the list.
    idSelectItem = 200,
    idDeselectItem,
    idSelectAllType,
    idUnselectAllType,
    idSelectAll,
    idSelectNone,
    idAddToExclude,
    idSaveAs,
    idRegEdit,
  };

  TfrmMain();
  explicit TfrmMain(MainWindowOptions options);
  ~TfrmMain() override;

  // Creates the window (hidden); `arguments` are the program's, without its name.
  bool CreateMain(std::vector<std::string> arguments);
  void Show(int showCommand);
  // Ctrl+R: "&RegEdit...". For the message loop.
  HACCEL Accelerators() const { return accelerators_; }

  // Components.
  HWND lCheckUpdate = nullptr;
  HWND bScanRegistry = nullptr;
  HWND bCustomScan = nullptr;
  HWND bFixErrors = nullptr;
  HWND bRestoreRegistry = nullptr;
  HWND bOptions = nullptr;
  HWND bHelp = nullptr;
  HWND aAbout = nullptr;
  HWND bExit = nullptr;
  HWND lvRegistryData = nullptr;
  HWND Panel1 = nullptr;
  HWND Label1 = nullptr;
  HWND suiURLLabel1 = nullptr;
  HWND suiURLLabel2 = nullptr;
  HWND Image1 = nullptr;
  HWND Image2 = nullptr;
  HWND StatusBar1 = nullptr;

  // Fields.
  std::optional<std::vector<std::string>> CategoryCodes;
  bool RepairOnce = false;
  std::string BackupFileName;

  const IssueList& Issues() const { return list_; }
  // Settings loaded (the first activation has happened).
  bool Activated() const { return activated_; }
  std::string StatusText() const;
  // The list's popup menu with its items enabled by the current rows and selection;
  // the caller destroys it.
  HMENU BuildPopupMenu() const;

  void UpdateStatusCounts();
  // Each column as wide as its widest text; measured on the rows gathered after the
  // scan when they are still the list's.
  void AutoSizeColumns();
  void LayoutControls();
  // Runs one scan with CategoryCodes; the list then holds its findings, filtered and
  // checked unless the filter failed.
  ScanOutcome StartScan();
  // What the last scan's end was (the status line tells a stopped or failed one).
  ScanOutcome LastScanOutcome() const { return lastScan_; }
  // The exit status of the program (set by the unattended run).
  int ExitCode() const { return exitCode_; }

  void bScanRegistryClick();
  void bCustomScanClick();
  void bFixErrorsClick();
  void bRestoreRegistryClick();
  void bOptionsClick();
  void bHelpClick();
  void aAboutClick();
  void bExitClick();
  void Image1Click();
  void suiURLLabel2Click();
  void lCheckUpdateClick();
  void lvRegistryDataClick();
  // A row selected: its reason in the status line; none: the counts again.
  void lvRegistryDataSelectItem();
  // Why the row is listed, as the machine is now.
  std::string FindingReason(const Issue& row) const;
  void AddtoExcludeLists1Click();
  void aSaveAsExecute();
  void aOpenRegeditExecute();
  void OpenRegeditAt(const std::string& path);
  void NavigateRegedit(const std::string& rootName, const std::string& keyPath,
                       const std::string& valueName);

 protected:
  bool FormClose() override;
  void OnCommand(int id, int notifyCode, HWND control) override;
  LRESULT OnNotify(NMHDR* header) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  class Prompts;

  void FormCreate();
  void FormActivate();
  RepairResult RunRepair();
  // Writes Settings.dat; "" or the error text.
  std::string SaveSettings();
  void SaveSettingsOrSay();
  void RepairOnceRun();
  void ActivateInstance();
  void RunSelectionCommand(int id);
  void ShowPopupMenu(LPARAM position);
  void SetStatus(const std::string& text);
  HWND AddLink(int id, const std::string& caption, int x, int y, HWND parent);
  bool IsLink(HWND control) const;
  void CreateControls();

  // ScanHost
  const platform::Platform& ScanPlatform() override { return platform_; }
  bool HiddenMode() const override { return RepairOnce; }
  ScanRequest ScanOptions() const override;
  void AddRows(std::vector<Issue>&& rows) override;
  bool PostScanSlice(bool stopped) override;
  ScanRequest FilterRequest() const;

  MainWindowOptions options_;
  std::unique_ptr<platform::win32::Win32Machine> machine_;
  platform::Platform platform_;
  std::unique_ptr<ReasonDesk> reasons_;  // rows' reasons, off the window's thread
  std::unique_ptr<platform::IniFile> ini_;
  std::string settingsPath_;
  std::string executableDirectory_;
  std::vector<std::string> arguments_;
  IssueList list_;
  IssueListView view_;
  // The work after a finished scan, done a slice at a time while the scan dialog is open.
  std::optional<ScanEnd> scanEnd_;
  ScanOutcome lastScan_ = ScanOutcome::Completed;
  int exitCode_ = 0;
  std::optional<LongestTexts> longestTexts_;
  bool longestTextsReady_ = false;
  ULONGLONG lastRowsShown_ = 0;
  HACCEL accelerators_ = nullptr;
  Picture welcomePicture_;
  UniqueIcon updateIcon_;
  HWND tooltip_ = nullptr;
  bool activated_ = false;
  bool hiddenByRepairOnce_ = false;
  std::string repairOnceStarted_;  // when the unattended run began; recorded with its end
  bool busy_ = false;  // a scan, a repair or the registry editor's navigation runs
};

}  // namespace tallowin::ui
