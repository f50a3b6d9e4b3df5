#pragma once
// The scan progress dialog: starts the scan once it is on screen, shows the category
// and the key being scanned, animates the bar, and closes when the scan ends and the
// host's post-scan work is done (Stop or its close button: mrAbort; a finished scan:
// mrCancel). Stop and close wait for that work meanwhile.

#include <memory>
#include <string>
#include <vector>

#include "core/scan_session.h"
#include "platform/platform.h"
#include "ui/picture.h"
#include "ui/window.h"

namespace tallowin::ui {

// What the dialog needs of the window that owns the list.
class ScanHost {
 public:
  virtual ~ScanHost() = default;
  virtual const platform::Platform& ScanPlatform() = 0;
  // Hidden mode ("-repaironce"): the dialog hides itself.
  virtual bool HiddenMode() const = 0;
  // What the settings say about the scan (drives, registry views); the codes are the
  // dialog's own.
  virtual ScanRequest ScanOptions() const = 0;
  // Findings in scan order, unchecked.
  virtual void AddRows(std::vector<Issue>&& rows) = 0;
  // The end of the scan over the list (ScanEnd: the post-scan filter, after a stop too),
  // one slice of a few tens of milliseconds per call so that the windows keep answering
  // between calls; true once all is done.
  virtual bool PostScanSlice(bool stopped) = 0;
};

class TfrmScanRegistry : public Form {
 public:
  enum : int { idScanTask = 101, idProgressBar, idStop, idGroupBox, idImage, idMemo };

  // Creates the dialog window (hidden) with its own copy of the codes.
  TfrmScanRegistry(HWND owner, const std::vector<std::string>& codes, ScanHost& host);
  ~TfrmScanRegistry() override;

  HWND lScanTask = nullptr;
  HWND ProgressBar1 = nullptr;
  HWND bStop = nullptr;
  HWND suiGroupBox2 = nullptr;
  HWND Image1 = nullptr;
  HWND Memo1 = nullptr;

  bool TimerEnabled() const { return timerEnabled_; }
  // True from the start of the scan until it has ended or been stopped.
  bool ScanRunning() const { return started_ && !ended_; }
  // From the end of the scan (or the stop) until the host's post-scan work is done.
  bool PostScanRunning() const { return postScan_; }

  void bStopClick();

 protected:
  void FormShow() override;
  bool FormClose() override;
  void OnCommand(int id, int notifyCode, HWND control) override;
  void OnTimer(UINT_PTR id) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void StartScan();
  void TakeReports();
  void ReportsWaiting();
  void SetTimerEnabled(bool enabled);
  void Timer1Timer();
  void ScanDone();
  void PostScanStep();

  HWND owner_;
  ScanHost& host_;
  std::vector<std::string> codes_;
  std::unique_ptr<ScanSession> session_;
  bool started_ = false;
  bool ended_ = false;
  bool doneReported_ = false;  // the scan reported its end: a late Stop changes nothing
  bool stopped_ = false;
  bool timerEnabled_ = false;
  bool takeTimerArmed_ = false;
  bool postScan_ = false;
  ULONGLONG lastTake_ = 0;
  UniqueIcon icon_;
};

}  // namespace tallowin::ui
