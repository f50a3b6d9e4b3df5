#include "repair/restore_point.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "platform/memory/memory_platform.h"

namespace tallowin {
namespace {

using platform::RestorePointResult;
using platform::memory::MemoryRestorePoint;

TEST(RestorePointProgress, FollowsTheStepTable) {
  const struct {
    int from, to;
  } cases[] = {{0, 10},  {30, 40}, {31, 36}, {50, 55}, {51, 54}, {60, 63},
               {61, 63}, {80, 82}, {81, 82}, {99, 100}, {100, 100}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.from);
    EXPECT_EQ(NextRestorePointProgress(c.from), c.to);
  }
  int position = 0, ticks = 0;
  while (position < 100) {
    position = NextRestorePointProgress(position);
    ++ticks;
  }
  EXPECT_EQ(ticks, 38);
}

TEST(SystemPointDialogLogic, TurnsTheResultIntoOkOrCancel) {
  const struct {
    const char* label;
    int lParam;
    bool answer;
    ModalResult result;
    int questions;
  } cases[] = {
      {"created", kRestorePointCreated, false, ModalResult::Ok, 0},
      {"failed, Yes", kRestorePointFailed, true, ModalResult::Ok, 1},
      {"failed, No", kRestorePointFailed, false, ModalResult::Cancel, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    SystemPointDialogLogic dialog;
    dialog.FormShow();
    int questions = 0;
    const auto result = dialog.OnResult(c.lParam, [&] {
      ++questions;
      return c.answer;
    });
    ASSERT_TRUE(result.has_value());
    EXPECT_EQ(*result, c.result);
    EXPECT_EQ(questions, c.questions);
    EXPECT_TRUE(dialog.done());
    EXPECT_FALSE(dialog.FormClose()) << "the close posted after a result does nothing";
  }
}

TEST(SystemPointDialogLogic, ClosingBeforeAResultCancelsAndIgnoresALateOne) {
  SystemPointDialogLogic dialog;
  dialog.FormShow();
  for (int i = 0; i < 40; ++i) dialog.Timer1Timer();
  EXPECT_EQ(dialog.position(), 100);
  EXPECT_EQ(dialog.FormClose(), ModalResult::Cancel);
  bool asked = false;
  EXPECT_FALSE(dialog.OnResult(kRestorePointFailed, [&] { return asked = true; }));
  EXPECT_FALSE(asked);
}

TEST(TCreateSystemPointThread, PostsOneResultWithTheDescription) {
  const struct {
    RestorePointResult result;
    int lParam;
  } cases[] = {{RestorePointResult::Created, 0},
               {RestorePointResult::Failed, 1},
               {RestorePointResult::Unavailable, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lParam);
    MemoryRestorePoint service;
    service.result = c.result;
    std::mutex mutex;
    std::condition_variable posted;
    std::vector<int> params;
    {
      TCreateSystemPointThread worker(service, [&](int lParam) {
        std::lock_guard<std::mutex> lock(mutex);
        params.push_back(lParam);
        posted.notify_one();
      });
      worker.Start();
      std::unique_lock<std::mutex> lock(mutex);
      posted.wait(lock, [&] { return !params.empty(); });
    }
    EXPECT_EQ(params, std::vector<int>{c.lParam});
    EXPECT_EQ(service.descriptions, std::vector<std::string>{"Made by Quorvel"});
  }
}

// A call that blocks until released, to close the dialog while it runs.
class BlockingRestorePoint : public platform::RestorePointService {
 public:
  RestorePointResult Create(const std::string&) override {
    std::unique_lock<std::mutex> lock(mutex);
    entered = true;
    changed.notify_all();
    changed.wait(lock, [&] { return released; });
    return RestorePointResult::Created;
  }
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;
  bool released = false;
};

TEST(TCreateSystemPointThread, AbandonedWorkerPostsNothing) {
  BlockingRestorePoint service;
  std::atomic<int> posts{0};
  {
    TCreateSystemPointThread worker(service, [&](int) { ++posts; });
    worker.Start();
    {
      std::unique_lock<std::mutex> lock(service.mutex);
      service.changed.wait(lock, [&] { return service.entered; });
    }
    worker.Abandon();
    {
      std::lock_guard<std::mutex> lock(service.mutex);
      service.released = true;
    }
    service.changed.notify_all();
  }  // waits for the call to return
  EXPECT_EQ(posts.load(), 0);
}

TEST(CreateRestorePointAndAsk, AsksOnlyAfterAFailureOrMissingService) {
  const struct {
    RestorePointResult result;
    bool answer;
    ModalResult expected;
    int questions;
  } cases[] = {
      {RestorePointResult::Created, false, ModalResult::Ok, 0},
      {RestorePointResult::Failed, true, ModalResult::Ok, 1},
      {RestorePointResult::Failed, false, ModalResult::Cancel, 1},
      {RestorePointResult::Unavailable, true, ModalResult::Ok, 1},
      {RestorePointResult::Unavailable, false, ModalResult::Cancel, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.result) << " " << c.answer);
    MemoryRestorePoint service;
    service.result = c.result;
    int questions = 0;
    EXPECT_EQ(CreateRestorePointAndAsk(service,
                                       [&] {
                                         ++questions;
                                         return c.answer;
                                       }),
              c.expected);
    EXPECT_EQ(questions, c.questions);
  }
}

}  // namespace
}  // namespace tallowin
