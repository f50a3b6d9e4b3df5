#include "ui/frm_backup_hint.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/win32/win32_platform.h"
#include "tests/gui/gui_driver.h"

namespace tallowin::ui {
namespace {

using namespace drive;

std::string SelfCommand(const char* mode) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return "\"" + Narrow(self) + "\" " + mode;
}

class BackupHintTest : public ::testing::Test {
 protected:
  std::unique_ptr<platform::Process> Start(const char* mode) {
    std::unique_ptr<platform::Process> process = launcher_->StartHidden(SelfCommand(mode));
    EXPECT_NE(process, nullptr);
    return process;
  }
  std::unique_ptr<platform::ProcessLauncher> launcher_ = platform::win32::MakeProcessLauncher();
};

TEST_F(BackupHintTest, AProcessThatEndsGivesOkAtTheNextTick) {
  TfrmBackupHint hint(nullptr);
  bool shown = false;
  UiScript script;
  script.Then("shown", [&] { return Showing(hint.handle()); }, [&] { shown = true; });
  script.Start();
  EXPECT_EQ(RunCommandWithHint(*launcher_, SelfCommand("--child-exit"), "Restore registry...", hint),
            CommandResult::Finished);
  EXPECT_TRUE(shown);
  EXPECT_EQ(WindowText(hint.handle()), "Tallowin");
  EXPECT_EQ(WindowText(hint.lHint), "Restore registry...");
  EXPECT_EQ(WindowText(hint.bStop), "Stop");
  EXPECT_FALSE(IsWindowVisible(hint.handle()));
}

TEST_F(BackupHintTest, StopEndsTheProcessAndGivesCancel) {
  std::unique_ptr<platform::Process> process = Start("--child-wait");
  ASSERT_NE(process, nullptr);
  TfrmBackupHint hint(nullptr);
  UiScript script;
  // Two ticks: the bar moves while the process runs.
  script.Then("bar moved", [&] { return hint.position() >= 20; }, [&] { Click(hint.bStop); });
  script.Start();
  EXPECT_EQ(hint.WaitWithHint(*process, "Restore registry..."), CommandResult::Stopped);
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_EQ(SendMessageW(hint.ProgressBar1, PBM_GETPOS, 0, 0), 20);
  EXPECT_TRUE(process->WaitFor(10000)) << "Stop terminates the process";
}

// The close box, Alt+F4 and Escape: each ends the process as Stop does.
TEST_F(BackupHintTest, ClosingTheHintIsStop) {
  const struct {
    const char* name;
    UINT message;
    WPARAM wParam;
  } closes[] = {{"close box", WM_SYSCOMMAND, SC_CLOSE}, {"Escape", WM_KEYDOWN, VK_ESCAPE}};
  for (const auto& close : closes) {
    SCOPED_TRACE(close.name);
    std::unique_ptr<platform::Process> process = Start("--child-wait");
    ASSERT_NE(process, nullptr);
    TfrmBackupHint hint(nullptr);
    UiScript script;
    script.Then("shown", [&] { return Showing(hint.handle()); },
                [&] { PostMessageW(hint.handle(), close.message, close.wParam, 0); });
    script.Start();
    EXPECT_EQ(hint.WaitWithHint(*process, "Restore registry..."), CommandResult::Stopped);
    EXPECT_TRUE(process->WaitFor(10000)) << "the process was left running";
  }
}

}  // namespace
}  // namespace tallowin::ui
