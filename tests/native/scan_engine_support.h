#pragma once
// An observer that logs every call of the scan thread in order, and a scan over an
// in-memory machine.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "scan/scan_task.h"

namespace tallowin::engine_test {

class EventLog : public ScanObserver {
 public:
  std::function<void(const Issue&)> onIssue;  // runs on the scan thread, under its lock

  void BeginCategory() override { Push("begin"); }
  void EndCategory() override { Push("end"); }
  void SetCaption(const std::string& caption) override { Push("caption:" + caption); }
  void ShowCurrentKey(const std::string& key) override { Push("key:" + key); }
  void AddIssue(const Issue& issue) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      issues_.push_back(issue);
    }
    Push("issue:" + issue.data + " | " + issue.key + " | " + std::to_string(issue.kind));
    if (onIssue) onIssue(issue);
  }
  void ScanDone() override { Push("done"); }

  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.clear();
    issues_.clear();
  }

  std::vector<std::string> Events() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  // The events without the current-key lines, which depend on how many keys exist.
  std::vector<std::string> Steps() const {
    std::vector<std::string> steps;
    for (const std::string& e : Events())
      if (e.rfind("key:", 0) != 0 || e == "key:Please wait...") steps.push_back(e);
    return steps;
  }
  std::vector<Issue> Issues() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return issues_;
  }
  size_t IssueCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return issues_.size();
  }
  // Blocks until at least `n` issues arrived or the timeout passed.
  bool WaitForIssues(size_t n, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return issues_.size() >= n; });
  }

 private:
  void Push(std::string event) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      events_.push_back(std::move(event));
    }
    changed_.notify_all();
  }

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::string> events_;
  std::vector<Issue> issues_;
};

// A memory machine with C:\Windows, a scan thread over it and its log.
class ScanFixture {
 public:
  platform::memory::MemoryMachine machine;
  EventLog log;

  ScanFixture() {
    machine.files.AddFolder("C:\\Windows\\System");
    machine.files.AddFile("C:\\Windows\\notepad.exe");
    machine.files.SetEnvironment("SystemRoot", "C:\\Windows");
  }

  std::unique_ptr<TScanTaskThread> MakeScan(bool ignoreRemoveDrives = true) {
    return std::make_unique<TScanTaskThread>(machine.platform(), log, ignoreRemoveDrives);
  }
};

}  // namespace tallowin::engine_test
