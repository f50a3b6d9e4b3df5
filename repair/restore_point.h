#pragma once
// The system restore point before a repair: a worker thread makes the blocking call
// that begins the system change, the dialog logic turns its result into OK (repair goes
// on) or cancel, and the change is ended when the repair run is over.

#include <functional>
#include <memory>
#include <optional>
#include <thread>

#include "platform/restore_point.h"
#include "repair/repair_run.h"

namespace tallowin {

inline constexpr const char* kRestorePointDescription = "Made by Quorvel";
inline constexpr const char* kRestorePointFailedQuestion =
    "Restore Point creation Failed! Contiue to repair?";

// lParam of WM_RESTOREPOINTDONE.
inline constexpr int kRestorePointCreated = 0;
inline constexpr int kRestorePointFailed = 1;

enum class ModalResult { Ok = 1, Cancel = 2 };

// Created gives 0. A failed call gives 1, and so does a system without System Restore:
// the user is asked instead of facing a dialog that never ends.
int RestorePointMessageParam(platform::RestorePointResult result);

// TCreateSystemPointThread: makes the call on its own thread and posts the result once
// through `post` (which the GUI turns into WM_RESTOREPOINTDONE). Nothing ever waits for
// the call, which can take minutes: the thread and the state it shares with this
// object (the service among it) outlive the object as long as the call runs.
class TCreateSystemPointThread {
 public:
  using Post = std::function<void(int lParam)>;

  TCreateSystemPointThread(std::shared_ptr<platform::RestorePointService> service, Post post);
  // Abandons the call and leaves the thread to finish alone.
  ~TCreateSystemPointThread();
  TCreateSystemPointThread(const TCreateSystemPointThread&) = delete;
  TCreateSystemPointThread& operator=(const TCreateSystemPointThread&) = delete;

  void Start();
  // A result that arrives after this call is not posted, and the change it begins is
  // ended as cancelled by the worker; one posted but not taken is cancelled here.
  void Abandon();
  // After a posted Created result: the change it began, to be ended when the repair run
  // is over. Closed when there is none (or it was taken before).
  [[nodiscard]] platform::SystemChange TakeChange();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
};

// The bar's next position on a timer tick.
int NextRestorePointProgress(int position);

// TfrmSystemPoint without the window.
class SystemPointDialogLogic {
 public:
  void FormShow();
  // The result message. Asks `askContinue` (Yes = true) after a failure. Empty when a
  // result was already handled (the message is then ignored).
  std::optional<ModalResult> OnResult(int lParam, const std::function<bool()>& askContinue);
  // The user closed the dialog: cancel, unless a result was handled already.
  std::optional<ModalResult> FormClose();
  void Timer1Timer() { position_ = NextRestorePointProgress(position_); }

  bool done() const { return done_; }
  int position() const { return position_; }

 private:
  bool done_ = false;
  int position_ = 0;
};

struct RestorePointAnswer {
  ModalResult result = ModalResult::Cancel;
  platform::SystemChange change;  // open only after a Created result
};

// For callers without a window (command line, unattended tests): runs the worker,
// waits for its result and applies the dialog's rule. Waiting for the result is what
// lets the service be borrowed here.
[[nodiscard]] RestorePointAnswer CreateRestorePointAndAsk(platform::RestorePointService& service,
                                                          const std::function<bool()>& askContinue);

// Ends the change of a repair run once FixErrors is over: the restore point is kept
// (END_SYSTEM_CHANGE) when the run tried to delete anything, and dropped
// (CANCELLED_OPERATION) when it deleted nothing. False when no change
// was open or System Restore refused the call.
bool EndSystemChange(platform::SystemChange& change, const RepairResult& result);

}  // namespace tallowin
