#include "repair/restore_point.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <ostream>
#include <vector>

#include "platform/memory/memory_platform.h"

namespace tallowin::platform::memory {
void PrintTo(const RestorePointCall& call, std::ostream* os) {
  *os << "{" << call.eventType << ", " << call.restorePointType << ", " << call.sequence << ", \""
      << call.description << "\"}";
}
}  // namespace tallowin::platform::memory

namespace tallowin {
namespace {

using platform::RestorePointResult;
using platform::SystemChange;
using platform::memory::MemoryMachine;
using platform::memory::MemoryRestorePoint;
using platform::memory::RestorePointCall;
using Calls = std::vector<RestorePointCall>;

const RestorePointCall kBegin{100, 0, 0, "Made by Quorvel"};
RestorePointCall Kept(int64_t sequence) { return {101, 0, sequence, ""}; }
RestorePointCall Dropped(int64_t sequence) { return {101, 13, sequence, ""}; }

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

TEST(SystemChange, EndsTheChangeOnceKeptOrCancelled) {
  MemoryRestorePoint service;
  {
    SystemChange change(service, 7);
    EXPECT_TRUE(change.open());
    EXPECT_TRUE(change.Complete());
    EXPECT_FALSE(change.open());
    EXPECT_FALSE(change.Complete());
    EXPECT_FALSE(change.Cancel());
  }
  { SystemChange unended(service, 8); }
  {
    SystemChange change(service, 9);
    EXPECT_TRUE(change.Cancel());
  }
  { SystemChange nothingBegun; }
  EXPECT_EQ(service.Calls(), (Calls{Kept(7), Dropped(8), Dropped(9)}));

  service.endSucceeds = false;
  SystemChange refused(service, 10);
  EXPECT_FALSE(refused.Complete());
  EXPECT_FALSE(refused.open()) << "a refused end is not tried again";
}

TEST(SystemChange, MovingHandsOverTheOneEnd) {
  MemoryRestorePoint service;
  {
    SystemChange first(service, 1);
    SystemChange second(std::move(first));
    EXPECT_FALSE(first.open());
    EXPECT_EQ(second.sequence(), 1);
    SystemChange third(service, 2);
    third = std::move(second);  // the change third held is dropped
    EXPECT_EQ(service.Calls(), Calls{Dropped(2)});
    EXPECT_TRUE(third.Complete());
  }
  EXPECT_EQ(service.Calls(), (Calls{Dropped(2), Kept(1)}));
}

// Lends a fake to a worker and tells when the worker has let go of it, which it does
// only as its thread ends. The fake lives as long as either side holds it, and a held
// call is released when the test ends, whatever failed.
class Lease {
 public:
  Lease() : service_(std::make_shared<MemoryRestorePoint>()), state_(std::make_shared<State>()) {}
  ~Lease() { service_->Release(); }

  MemoryRestorePoint& service() { return *service_; }
  std::shared_ptr<platform::RestorePointService> Lend() {
    return std::shared_ptr<platform::RestorePointService>(
        service_.get(), [keep = service_, state = state_](platform::RestorePointService*) {
          std::lock_guard<std::mutex> lock(state->mutex);
          state->returned = true;
          state->changed.notify_all();
        });
  }
  [[nodiscard]] bool Returned() {
    std::unique_lock<std::mutex> lock(state_->mutex);
    return state_->changed.wait_for(lock, std::chrono::seconds(10),
                                    [&] { return state_->returned; });
  }
  [[nodiscard]] bool CallBegun() {
    return service_->WaitForCalls([](const Calls& calls) { return !calls.empty(); });
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    bool returned = false;
  };
  std::shared_ptr<MemoryRestorePoint> service_;
  std::shared_ptr<State> state_;
};

// Records what the worker posts, as the dialog's message queue would.
class Posts {
 public:
  TCreateSystemPointThread::Post Sink() {
    return [this](int lParam) {
      std::lock_guard<std::mutex> lock(mutex_);
      params_.push_back(lParam);
      arrived_.notify_all();
    };
  }
  [[nodiscard]] bool Arrived() {
    std::unique_lock<std::mutex> lock(mutex_);
    return arrived_.wait_for(lock, std::chrono::seconds(10), [&] { return !params_.empty(); });
  }
  std::vector<int> params() {
    std::lock_guard<std::mutex> lock(mutex_);
    return params_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<int> params_;
};

TEST(TCreateSystemPointThread, CreatedResultHandsTheChangeToItsTaker) {
  Lease lease;
  Posts posts;
  SystemChange change;
  {
    TCreateSystemPointThread worker(lease.Lend(), posts.Sink());
    worker.Start();
    ASSERT_TRUE(posts.Arrived());
    change = worker.TakeChange();
    EXPECT_FALSE(worker.TakeChange().open()) << "taken once";
  }
  ASSERT_TRUE(lease.Returned());
  EXPECT_EQ(posts.params(), std::vector<int>{kRestorePointCreated});
  ASSERT_TRUE(change.open());
  EXPECT_EQ(change.sequence(), 41);
  EXPECT_EQ(lease.service().Calls(), Calls{kBegin}) << "nothing ends the change but its taker";
  EXPECT_TRUE(change.Complete());
  EXPECT_EQ(lease.service().Calls(), (Calls{kBegin, Kept(41)}));
}

TEST(TCreateSystemPointThread, FailedBeginIsPostedAndNeverEnded) {
  for (const RestorePointResult result : {RestorePointResult::Failed, RestorePointResult::Unavailable}) {
    SCOPED_TRACE(static_cast<int>(result));
    Lease lease;
    lease.service().result = result;
    Posts posts;
    {
      TCreateSystemPointThread worker(lease.Lend(), posts.Sink());
      worker.Start();
      ASSERT_TRUE(posts.Arrived());
      EXPECT_FALSE(worker.TakeChange().open());
    }
    ASSERT_TRUE(lease.Returned());
    EXPECT_EQ(posts.params(), std::vector<int>{kRestorePointFailed});
    EXPECT_EQ(lease.service().Calls(), Calls{kBegin});
  }
}

// The dialog closed (or the program ended) while the call was running, and the call
// then returned: a result is never posted, and a change begun is cancelled by the worker.
TEST(TCreateSystemPointThread, LateResultAfterAbandonIsNotPosted) {
  const struct {
    RestorePointResult result;
    Calls calls;
  } cases[] = {{RestorePointResult::Created, {kBegin, Dropped(41)}},
               {RestorePointResult::Failed, {kBegin}},
               {RestorePointResult::Unavailable, {kBegin}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.result));
    Lease lease;
    lease.service().result = c.result;
    lease.service().Hold();
    Posts posts;
    {
      TCreateSystemPointThread worker(lease.Lend(), posts.Sink());
      worker.Start();
      ASSERT_TRUE(lease.CallBegun());
      worker.Abandon();
      lease.service().Release();
      EXPECT_TRUE(lease.service().WaitForCalls([&](const Calls& calls) { return calls == c.calls; }))
          << testing::PrintToString(lease.service().Calls());
      EXPECT_FALSE(worker.TakeChange().open());
    }
    ASSERT_TRUE(lease.Returned());  // the thread has ended
    EXPECT_TRUE(posts.params().empty());
    EXPECT_EQ(lease.service().Calls(), c.calls);
  }
}

TEST(TCreateSystemPointThread, ResultPostedButNotTakenIsCancelledByAbandon) {
  Lease lease;
  Posts posts;
  TCreateSystemPointThread worker(lease.Lend(), posts.Sink());
  worker.Start();
  ASSERT_TRUE(posts.Arrived());
  worker.Abandon();  // the dialog was closed before it handled the message
  EXPECT_EQ(lease.service().Calls(), (Calls{kBegin, Dropped(41)}));
  EXPECT_FALSE(worker.TakeChange().open());
}

TEST(TCreateSystemPointThread, DestroyingItWhileTheCallRunsDoesNotWait) {
  Lease lease;
  lease.service().Hold();
  Posts posts;
  auto worker = std::make_unique<TCreateSystemPointThread>(lease.Lend(), posts.Sink());
  worker->Start();
  ASSERT_TRUE(lease.CallBegun());
  // On another thread, so that a destructor that waited for the call fails the test
  // instead of hanging it.
  auto destroyed = std::async(std::launch::async, [&worker] { worker.reset(); });
  const std::future_status status = destroyed.wait_for(std::chrono::seconds(10));
  EXPECT_EQ(lease.service().Calls(), Calls{kBegin}) << "still running";
  lease.service().Release();  // before anything can wait on `destroyed`
  ASSERT_EQ(status, std::future_status::ready) << "the destructor waits for the call";
  ASSERT_TRUE(lease.Returned());
  EXPECT_TRUE(posts.params().empty());
  EXPECT_EQ(lease.service().Calls(), (Calls{kBegin, Dropped(41)}));
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
    {
      const RestorePointAnswer answer = CreateRestorePointAndAsk(service, [&] {
        ++questions;
        return c.answer;
      });
      EXPECT_EQ(answer.result, c.expected);
      EXPECT_EQ(answer.change.open(), c.result == RestorePointResult::Created);
      EXPECT_EQ(answer.change.sequence(), answer.change.open() ? 41 : 0);
      EXPECT_EQ(questions, c.questions);
      EXPECT_EQ(service.Calls(), Calls{kBegin});
    }
    // An answer dropped without ending its change cancels it.
    EXPECT_EQ(service.Calls(), c.result == RestorePointResult::Created
                                   ? (Calls{kBegin, Dropped(41)})
                                   : Calls{kBegin});
  }
}

// The restore point around a whole repair run, as the command line uses it: begun by the
// dialog step, ended by the owner of the change once FixErrors is over.
class RepairWithRestorePoint : public ::testing::Test, public RepairPrompts {
 protected:
  void SetUp() override {
    m.files.AddFolder("C:\\Backup");
    settings.outputDirectory = "C:\\Backup";
    settings.createRestorePoint = true;
    settings.osVersionCode = 12;
    m.registry.SetString(platform::Root::CurrentUser, "Software\\Dead", "v", "x");
    list.Add(Row("HKEY_CURRENT_USER\\Software\\Dead"));
  }
  static Issue Row(std::string key) {
    Issue issue;
    issue.problem = "Problem";
    issue.kind = ekKey;
    issue.key = std::move(key);
    issue.checked = true;
    return issue;
  }
  bool AskYesNo(const std::string&) override { return answerYes; }
  void ShowError(const std::string&) override {}
  bool RunRestorePointDialog() override {
    RestorePointAnswer answer = CreateRestorePointAndAsk(m.restorePoint, [&] { return answerYes; });
    change = std::move(answer.change);
    return answer.result == ModalResult::Ok;
  }
  RepairResult RunAndEnd() {
    platform::Platform p = m.platform();
    list.filtered = true;  // as the post-scan filter leaves it
    const RepairResult result = FixErrors(list, p, settings, *this);
    EndSystemChange(change, result);
    EXPECT_FALSE(change.open());
    return result;
  }

  MemoryMachine m;
  IssueList list;
  RepairSettings settings;
  bool answerYes = true;
  SystemChange change;
};

TEST_F(RepairWithRestorePoint, RunThatDeletesKeepsTheRestorePoint) {
  const RepairResult result = RunAndEnd();
  EXPECT_TRUE(result.completed);
  EXPECT_FALSE(m.registry.KeyExists(platform::Root::CurrentUser, "Software\\Dead"));
  EXPECT_EQ(m.restorePoint.Calls(), (Calls{kBegin, Kept(41)}));
}

TEST_F(RepairWithRestorePoint, RunThatDeletesNothingDropsIt) {
  list.Clear();
  list.Add(Row("HKEY_NOWHERE\\Software\\X"));  // names no single item: stays, counted failed
  list.Add(Row("HKEY_CURRENT_USER\\Software\\Gone"));  // already gone: nothing to delete
  const RepairResult result = RunAndEnd();
  EXPECT_TRUE(result.completed);
  EXPECT_EQ(result.failed, 1u);
  EXPECT_EQ(result.alreadyGone, 1u);
  EXPECT_EQ(m.restorePoint.Calls(), (Calls{kBegin, Dropped(41)}));
}

TEST_F(RepairWithRestorePoint, RunWhoseDeletionIsRefusedStillKeepsIt) {
  m.registry.DenyWrite(platform::Root::CurrentUser, "Software\\Dead");
  const RepairResult result = RunAndEnd();
  EXPECT_EQ(result.failed, 1u);
  EXPECT_EQ(m.restorePoint.Calls(), (Calls{kBegin, Kept(41)}));
}

TEST_F(RepairWithRestorePoint, RunStoppedBeforeDeletingAnythingDropsIt) {
  m.files.DenyWrites("C:\\Backup");  // the first backup block cannot be written
  const RepairResult result = RunAndEnd();
  EXPECT_FALSE(result.completed);
  EXPECT_EQ(result.fixed, 0u);
  EXPECT_TRUE(m.registry.KeyExists(platform::Root::CurrentUser, "Software\\Dead"));
  EXPECT_EQ(m.restorePoint.Calls(), (Calls{kBegin, Dropped(41)}));
}

TEST_F(RepairWithRestorePoint, FailedRestorePointIsNeverEnded) {
  m.restorePoint.result = RestorePointResult::Failed;
  for (const bool yes : {true, false}) {
    SCOPED_TRACE(yes ? "Yes: the run goes on" : "No: the run is abandoned");
    answerYes = yes;
    list.Clear();
    list.Add(Row("HKEY_CURRENT_USER\\Software\\Dead"));
    m.registry.SetString(platform::Root::CurrentUser, "Software\\Dead", "v", "x");
    const size_t before = m.restorePoint.Calls().size();
    const RepairResult result = RunAndEnd();
    EXPECT_EQ(result.completed, yes);
    EXPECT_EQ(m.registry.KeyExists(platform::Root::CurrentUser, "Software\\Dead"), !yes);
    const Calls calls = m.restorePoint.Calls();
    EXPECT_EQ(Calls(calls.begin() + before, calls.end()), Calls{kBegin});
  }
}

}  // namespace
}  // namespace tallowin
