#pragma once
// The repair run's questions answered as a test says, and recorded.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "repair/repair_run.h"

namespace tallowin::testing_support {

class RecordingPrompts : public RepairPrompts {
 public:
  bool AskYesNo(const std::string& text) override {
    questions.push_back(text);
    return answerYes;
  }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  bool RunRestorePointDialog() override {
    ++restorePointDialogs;
    return restorePointOk;
  }
  bool StopRequested() override { return stopAfter >= 0 && stopChecks++ >= stopAfter; }
  void RowsDone(size_t done, size_t total) override { progress.emplace_back(done, total); }

  bool answerYes = true;
  bool restorePointOk = true;
  int stopAfter = -1;  // checks answered "go on" before the stop; -1: never stop
  int stopChecks = 0;
  std::vector<std::pair<size_t, size_t>> progress;  // rows done, of rows in all
  std::vector<std::string> questions;
  std::vector<std::string> errors;
  int restorePointDialogs = 0;
};

}  // namespace tallowin::testing_support
