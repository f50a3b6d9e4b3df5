// Before <windows.h>, whose ReplaceFile macro would rename a member of the fake.
#include "platform/memory/memory_platform.h"

#include "ui/frm_system_point.h"

#include "platform/win32/win32_platform.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/gui/gui_driver.h"

namespace tallowin::ui {
namespace {

using namespace drive;
using platform::memory::RestorePointCall;
using platform::RestorePointResult;
using platform::memory::MemoryMachine;
using platform::memory::MemoryRestorePoint;

RestorePointCall Ended(int64_t sequence, bool cancelled) {
  return {platform::kEndSystemChange,
          cancelled ? platform::kCancelledOperation : platform::kApplicationInstall, sequence, ""};
}

TEST(TfrmSystemPoint, ACreatedPointGivesOkWithoutAQuestionAndHandsOverTheChange) {
  MemoryMachine machine;
  MessageBoxAnswers answers;
  TfrmSystemPoint dialog(nullptr, machine.platform());
  EXPECT_EQ(dialog.ShowModal(nullptr), mrOk);
  EXPECT_TRUE(answers.shown().empty());
  EXPECT_EQ(WindowText(dialog.handle()), "Create System Point");
  EXPECT_EQ(WindowText(dialog.lScanTask), "Creating Restore Point");
  EXPECT_EQ(WindowText(dialog.Label1), "Tallowin is creating a restore point which will");
  EXPECT_EQ(WindowText(dialog.Label3),
            "enable you to safely return your system back to its former state.");
  EXPECT_EQ(WindowText(dialog.Label2), "Please wait...");

  platform::SystemChange change = dialog.TakeChange();
  ASSERT_TRUE(change.open());
  EXPECT_EQ(change.sequence(), 41);
  ASSERT_EQ(machine.restorePoint.Calls().size(), 1u);
  EXPECT_EQ(machine.restorePoint.Calls()[0].description, "Made by Quorvel");
  EXPECT_TRUE(change.Complete());
  EXPECT_EQ(machine.restorePoint.Calls().back(), Ended(41, false));
}

TEST(TfrmSystemPoint, AFailedCallAsksAndTheAnswerDecides) {
  for (const int answer : {IDYES, IDNO}) {
    SCOPED_TRACE(answer);
    MemoryMachine machine;
    machine.restorePoint.result = RestorePointResult::Failed;
    MessageBoxAnswers answers([&](const std::string&, UINT) { return answer; });
    TfrmSystemPoint dialog(nullptr, machine.platform());
    EXPECT_EQ(dialog.ShowModal(nullptr), answer == IDYES ? mrOk : mrCancel);
    ASSERT_EQ(answers.shown().size(), 1u);
    EXPECT_EQ(answers.shown()[0].text, "Restore Point creation Failed! Contiue to repair?");
    EXPECT_EQ(answers.shown()[0].type, 0x144u);
    EXPECT_FALSE(dialog.TakeChange().open());
  }
}

TEST(TfrmSystemPoint, TheRealMachineSharesItsServiceWithTheWorker) {
  platform::win32::Win32Machine machine;
  EXPECT_FALSE(machine.platform().restorePoint.weak_from_this().expired());
}

TEST(TfrmSystemPoint, AServiceWithoutASharedOwnerIsNeverCalledAndCountsAsAFailure) {
  MemoryMachine machine;
  MemoryRestorePoint borrowed;
  const platform::Platform platform{machine.registry, machine.files, machine.system,
                                    machine.processes, borrowed};
  MessageBoxAnswers answers;  // No
  TfrmSystemPoint dialog(nullptr, platform);
  EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
  EXPECT_EQ(answers.shown().size(), 1u);
  EXPECT_TRUE(borrowed.Calls().empty());
}

TEST(TfrmSystemPoint, ClosingWhileTheCallRunsDoesNotWaitAndTheCallKeepsItsService) {
  auto machine = std::make_unique<MemoryMachine>();
  const std::weak_ptr<MemoryRestorePoint> service = machine->restorePointOwner;
  machine->restorePoint.Hold();
  {
    TfrmSystemPoint dialog(nullptr, machine->platform());
    UiScript script;
    script.Then("call begun and the bar moved",
                [&] { return !machine->restorePoint.Calls().empty() && dialog.position() >= 10; },
                [&] { PostMessageW(dialog.handle(), WM_SYSCOMMAND, SC_CLOSE, 0); });
    script.Start();
    EXPECT_EQ(dialog.ShowModal(nullptr), mrCancel);
    EXPECT_TRUE(script.Done()) << script.Pending();
    EXPECT_EQ(SendMessageW(dialog.ProgressBar1, PBM_GETPOS, 0, 0), 10);
    EXPECT_EQ(machine->restorePoint.Calls().size(), 1u) << "the call is still running";
    EXPECT_FALSE(dialog.TakeChange().open());
  }
  machine.reset();
  ASSERT_FALSE(service.expired()) << "the running call keeps its service";
  {
    const std::shared_ptr<MemoryRestorePoint> held = service.lock();
    held->Release();
    // The change the abandoned call began is dropped by the worker.
    EXPECT_TRUE(held->WaitForCalls([](const auto& calls) { return calls.size() == 2; }));
    EXPECT_EQ(held->Calls().back(), Ended(41, true));
  }
  EXPECT_TRUE(WaitUntil([&] { return service.expired(); })) << "the worker lets go as it ends";
}

}  // namespace
}  // namespace tallowin::ui
