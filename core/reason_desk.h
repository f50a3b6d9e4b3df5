#pragma once
// Rows' reasons for a window, worked out on a thread of the desk's own: a reason may ask a
// drive that is slow to answer (a floppy drive spinning up, a network drive gone), and the
// window's thread must go on painting. The window waits for an answer only so long.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "core/finding_reason.h"

namespace tallowin {

class ReasonDesk {
 public:
  ReasonDesk(const platform::Platform& platform, std::chrono::milliseconds bound);
  ~ReasonDesk();  // waits for the question in hand
  ReasonDesk(const ReasonDesk&) = delete;
  ReasonDesk& operator=(const ReasonDesk&) = delete;

  // The row's reason in `words` when it is worked out within the bound, or when the last
  // question about the same row was answered after its asker stopped waiting; else a
  // sentence saying it is still being worked out. `words` must outlive the desk.
  std::string Explain(const Issue& row, bool ignoreRemoveDrives, bool check64Bit,
                      const Wording& words = English());

  static inline const std::string& kStillWorking = English()[Phrase::WhyStillWorking];

 private:
  struct Question {
    uint64_t id = 0;
    Issue row;
    bool ignoreRemoveDrives = true;
    bool check64Bit = false;
    const Wording* words = &English();
    bool Asks(const Issue& other, bool ignore, bool both, const Wording& language) const {
      return row == other && ignoreRemoveDrives == ignore && check64Bit == both &&
             words == &language;
    }
  };
  void Work();

  const platform::Platform platform_;
  const std::chrono::milliseconds bound_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::optional<Question> pending_;   // not yet taken up
  std::optional<Question> answered_;  // the latest answer's question
  std::string answer_;
  uint64_t nextId_ = 0;
  bool stop_ = false;
  std::thread worker_;
};

}  // namespace tallowin
