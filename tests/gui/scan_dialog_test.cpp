// TfrmScanRegistry on its own: a host over the in-memory machine counts what reaches it.
// The memory machine comes first: <windows.h> would rename its ReplaceFile.
#include "platform/memory/memory_platform.h"
#include "ui/frm_scan_registry.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "tests/gui/gui_test_support.h"
#include "ui/messages.h"

namespace tallowin::ui {
namespace {

using namespace test;
using platform::Root;

// The owner window: counts WM_CATEGORYDONE.
class Owner : public Form {
 public:
  bool Make() {
    return Create(L"TallowinScanTestOwner", WS_OVERLAPPEDWINDOW, 0, nullptr, "Owner", 600, 400);
  }
  int categoriesDone = 0;
  int paints = 0;

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_PAINT) ++paints;
    if (message == WM_CATEGORYDONE) {
      ++categoriesDone;
      return 0;
    }
    return Form::HandleMessage(message, wParam, lParam);
  }
};

class Host : public ScanHost {
 public:
  explicit Host(platform::memory::MemoryMachine& machine) : platform_(machine.platform()) {}
  const platform::Platform& ScanPlatform() override { return platform_; }
  bool HiddenMode() const override { return hidden; }
  ScanRequest ScanOptions() const override { return options; }
  void AddRows(std::vector<Issue>&& batch) override {
    ++batches;
    for (Issue& row : batch) rows.push_back(std::move(row));
    if (onRows) onRows();
  }
  bool PostScanSlice(bool stopped) override {
    stoppedAtFilter = stopped;
    if (slices++ == 0) {
      HWND dialog = FindWindowW(L"TallowinTfrmScanRegistry", nullptr);
      visibleAtFilter = dialog != nullptr && IsWindowVisible(dialog);
      captionAtFilter = dialog != nullptr ? WindowText(GetDlgItem(dialog, TfrmScanRegistry::idScanTask)) : "";
    }
    if (onSlice) onSlice();
    if (slices == failingSlice) throw std::runtime_error("slice failed");
    if (slices < slicesNeeded) return false;
    ++filters;
    return true;
  }

  bool hidden = false;
  ScanRequest options;
  std::vector<Issue> rows;
  int batches = 0;
  int filters = 0;  // post-scan runs completed
  int slices = 0;
  int slicesNeeded = 1;
  int failingSlice = 0;
  std::function<void()> onSlice;
  bool visibleAtFilter = false;
  bool stoppedAtFilter = false;
  std::string captionAtFilter;
  std::function<void()> onRows;

 private:
  platform::Platform platform_;
};

class ScanDialogTest : public testing::Test {
 protected:
  ScanDialogTest() {
    for (int i = 0; i < 50; ++i)
      machine_.registry.SetString(Root::CurrentUser, "Software\\App", "v" + std::to_string(i),
                                  "C:\\Missing\\f" + std::to_string(i) + ".exe");
    EXPECT_TRUE(owner_.Make());
    ShowWindow(owner_.handle(), SW_SHOW);
  }
  platform::memory::MemoryMachine machine_;
  Owner owner_;
  Host host_{machine_};
};

TEST_F(ScanDialogTest, LayoutCaptionAndStartingTexts) {
  TfrmScanRegistry dialog(owner_.handle(), {"2"}, host_);
  EXPECT_EQ(WindowText(dialog.handle()), "Scanning Registry");
  RECT client{};
  GetClientRect(dialog.handle(), &client);
  EXPECT_EQ(client.right, Scale(408));
  EXPECT_EQ(client.bottom, Scale(183));
  struct Expected {
    HWND control;
    int x, y, w, h;
  };
  const Expected expected[] = {{dialog.ProgressBar1, 16, 67, 289, 18},
                               {dialog.bStop, 312, 62, 80, 27},
                               {dialog.suiGroupBox2, 16, 94, 377, 73},
                               {dialog.Image1, 16, 102, 32, 32},
                               {dialog.Memo1, 56, 111, 329, 48}};
  for (const Expected& e : expected) {
    const RECT r = RectInParent(e.control);
    EXPECT_EQ(r.left, Scale(e.x)) << GetDlgCtrlID(e.control);
    EXPECT_EQ(r.top, Scale(e.y)) << GetDlgCtrlID(e.control);
    EXPECT_EQ(r.right - r.left, Scale(e.w)) << GetDlgCtrlID(e.control);
    EXPECT_EQ(r.bottom - r.top, Scale(e.h)) << GetDlgCtrlID(e.control);
  }
  EXPECT_EQ(RectInParent(dialog.lScanTask).left, Scale(16));
  EXPECT_EQ(RectInParent(dialog.lScanTask).top, Scale(42));
  EXPECT_EQ(WindowText(dialog.lScanTask), "Scanning ");
  EXPECT_EQ(WindowText(dialog.bStop), "Stop");
  EXPECT_EQ(WindowText(dialog.Memo1), "Registry Key");
  EXPECT_EQ(SendMessageW(dialog.ProgressBar1, PBM_GETRANGE, FALSE, 0), 1000);
  EXPECT_EQ(GetWindowLongPtrW(dialog.handle(), GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
}

TEST_F(ScanDialogTest, AFinishedScanIsFilteredOnceAndClosesWithCancel) {
  TfrmScanRegistry dialog(owner_.handle(), {"2", "0"}, host_);
  EXPECT_EQ(dialog.ShowModal(owner_.handle()), mrCancel);
  ASSERT_EQ(host_.rows.size(), 50u);
  for (const Issue& row : host_.rows) EXPECT_FALSE(row.checked);
  EXPECT_EQ(host_.filters, 1);
  EXPECT_TRUE(host_.visibleAtFilter);
  EXPECT_EQ(host_.captionAtFilter, "Optimizing...Do not close the dialog.");
  EXPECT_EQ(WindowText(dialog.Memo1), "Please wait...");
  EXPECT_FALSE(dialog.TimerEnabled());
  EXPECT_EQ(SendMessageW(dialog.ProgressBar1, PBM_GETPOS, 0, 0), 1000);
  PumpWaitingMessages();
  // One recount for each batch of reports that ended a category.
  EXPECT_GE(owner_.categoriesDone, 1);
  EXPECT_LE(owner_.categoriesDone, 2);
  EXPECT_TRUE(IsWindowEnabled(owner_.handle()));
}

int g_ticks = 0;
void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }

TEST_F(ScanDialogTest, BetweenPostScanSlicesTheWindowsPaintAndTimersRun) {
  TfrmScanRegistry dialog(owner_.handle(), {"2"}, host_);
  host_.slicesNeeded = 5;
  g_ticks = 0;
  int paintsBefore = 0;
  UINT_PTR timer = 0;
  bool runningInSlices = true;
  host_.onSlice = [&] {
    runningInSlices = runningInSlices && dialog.PostScanRunning();
    if (host_.slices == 2) {
      InvalidateRect(owner_.handle(), nullptr, TRUE);
      paintsBefore = owner_.paints;
      // A long slice: the timer is due when it ends.
      timer = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &CountTick);
      Sleep(3 * USER_TIMER_MINIMUM);
    }
    if (host_.slices == 3) {
      EXPECT_GT(owner_.paints, paintsBefore);
      EXPECT_GE(g_ticks, 1);
    }
  };
  EXPECT_EQ(dialog.ShowModal(owner_.handle()), mrCancel);
  KillTimer(nullptr, timer);
  EXPECT_EQ(host_.slices, 5);
  EXPECT_EQ(host_.filters, 1);
  EXPECT_TRUE(runningInSlices);
  EXPECT_FALSE(dialog.PostScanRunning());
}

TEST_F(ScanDialogTest, StopAndCloseDuringThePostScanWorkWaitForItsEnd) {
  TfrmScanRegistry dialog(owner_.handle(), {"2"}, host_);
  host_.slicesNeeded = 4;
  host_.onSlice = [&] {
    if (host_.slices == 1) {
      PostMessageW(dialog.bStop, BM_CLICK, 0, 0);
      PostMessageW(dialog.handle(), WM_CLOSE, 0, 0);
    }
    if (host_.slices == 3) {
      EXPECT_EQ(dialog.ModalResult(), mrNone);
    }
  };
  EXPECT_EQ(dialog.ShowModal(owner_.handle()), mrCancel);
  EXPECT_EQ(host_.slices, 4);
  EXPECT_EQ(host_.filters, 1);
  EXPECT_FALSE(dialog.TimerEnabled());
}

TEST_F(ScanDialogTest, AFailingPostScanSliceEndsTheWorkAndTheDialogClosesRegardless) {
  TfrmScanRegistry dialog(owner_.handle(), {"2"}, host_);
  host_.slicesNeeded = 4;
  host_.failingSlice = 2;
  EXPECT_EQ(dialog.ShowModal(owner_.handle()), mrCancel);
  EXPECT_EQ(host_.slices, 2);
  EXPECT_EQ(host_.filters, 0);
  EXPECT_FALSE(dialog.PostScanRunning());
}

TEST_F(ScanDialogTest, StopEndsWithAbortKeepsWhatArrivedAndFiltersIt) {
  TfrmScanRegistry dialog(owner_.handle(), std::vector<std::string>(2000, "2"), host_);
  host_.onRows = [&] {
    if (host_.rows.size() >= 10 && dialog.ScanRunning())
      PostMessageW(dialog.bStop, BM_CLICK, 0, 0);
  };
  EXPECT_EQ(dialog.ShowModal(owner_.handle()), mrAbort);
  const size_t rows = host_.rows.size();
  EXPECT_GE(rows, 10u);
  EXPECT_LT(rows, 2000u * 50u);
  EXPECT_EQ(host_.filters, 1);
  EXPECT_TRUE(host_.stoppedAtFilter);
  EXPECT_FALSE(dialog.ScanRunning());
  EXPECT_FALSE(dialog.TimerEnabled());
  // Nothing arrives after the stop.
  PumpMessagesFor(50);
  EXPECT_EQ(host_.rows.size(), rows);
}

// Stop pressed as the last rows arrive: whether or not the scan had reported its end by
// then, the post-scan work runs once, and only a real stop ends as one.
TEST_F(ScanDialogTest, StopAsTheScanEndsNeverSkipsThePostScanWork) {
  TfrmScanRegistry dialog(owner_.handle(), {"2"}, host_);
  host_.onRows = [&] { PostMessageW(dialog.bStop, BM_CLICK, 0, 0); };
  const int result = dialog.ShowModal(owner_.handle());
  EXPECT_TRUE(result == mrAbort || result == mrCancel) << result;
  EXPECT_EQ(host_.filters, 1);
  EXPECT_EQ(host_.stoppedAtFilter, result == mrAbort);
}

TEST_F(ScanDialogTest, TheCloseButtonDuringAScanIsStop) {
  TfrmScanRegistry dialog(owner_.handle(), std::vector<std::string>(2000, "2"), host_);
  host_.onRows = [&] {
    if (dialog.ScanRunning()) PostMessageW(dialog.handle(), WM_CLOSE, 0, 0);
  };
  EXPECT_EQ(dialog.ShowModal(owner_.handle()), mrAbort);
  EXPECT_EQ(host_.filters, 1);
  EXPECT_TRUE(host_.stoppedAtFilter);
}

TEST_F(ScanDialogTest, HiddenModeRunsTheScanWithTheDialogHidden) {
  host_.hidden = true;
  TfrmScanRegistry dialog(owner_.handle(), {"2"}, host_);
  EXPECT_EQ(dialog.ShowModal(owner_.handle()), mrCancel);
  EXPECT_EQ(host_.rows.size(), 50u);
  EXPECT_EQ(host_.filters, 1);
  EXPECT_FALSE(host_.visibleAtFilter);
}

TEST_F(ScanDialogTest, RowsArriveInBatchesNotOneMessageEach) {
  for (int i = 50; i < 5000; ++i)
    machine_.registry.SetString(Root::CurrentUser, "Software\\App", "v" + std::to_string(i),
                                "C:\\Missing\\f" + std::to_string(i) + ".exe");
  TfrmScanRegistry dialog(owner_.handle(), {"2"}, host_);
  EXPECT_EQ(dialog.ShowModal(owner_.handle()), mrCancel);
  ASSERT_EQ(host_.rows.size(), 5000u);
  EXPECT_LT(host_.batches, 5000);
  // In the order the console's scan lists them.
  ScanSession session(machine_.platform(), nullptr);
  ScanRequest request;
  request.codes = {"2"};
  request.filter = false;
  IssueList expected;
  ASSERT_EQ(session.Run(request, expected, nullptr), ScanOutcome::Completed);
  ASSERT_EQ(expected.Count(), host_.rows.size());
  for (size_t i = 0; i < expected.Count(); ++i) ASSERT_EQ(host_.rows[i].key, expected.rows[i].key) << i;
}

TEST_F(ScanDialogTest, EachTimerTickMovesTheBarByTheTable) {
  TfrmScanRegistry dialog(owner_.handle(), {}, host_);
  SendMessageW(dialog.ProgressBar1, PBM_SETPOS, 0, 0);
  SendMessageW(dialog.handle(), WM_TIMER, 1, 0);
  EXPECT_EQ(SendMessageW(dialog.ProgressBar1, PBM_GETPOS, 0, 0), 10);
  SendMessageW(dialog.ProgressBar1, PBM_SETPOS, 999, 0);
  SendMessageW(dialog.handle(), WM_TIMER, 1, 0);
  EXPECT_EQ(SendMessageW(dialog.ProgressBar1, PBM_GETPOS, 0, 0), 0);
}

}  // namespace
}  // namespace tallowin::ui
