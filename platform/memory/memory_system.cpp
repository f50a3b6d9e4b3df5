#include <cstdio>

#include "platform/memory/memory_platform.h"

namespace tallowin::platform::memory {

namespace {

constexpr uint64_t kTicksPerSecond = 10'000'000;
constexpr int64_t kDaysFrom1601To1970 = 134774;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (H. Hinnant's algorithms).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (m <= 2));
}

std::string FormatDate(const LocalTime& t) {
  char text[32];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d", t.day, t.month, t.year);
  return text;
}

}  // namespace

uint64_t MakeFileTime(const LocalTime& time) {
  const int64_t days = DaysFromCivil(time.year, static_cast<unsigned>(time.month),
                                     static_cast<unsigned>(time.day)) + kDaysFrom1601To1970;
  const int64_t seconds = days * 86400 + time.hour * 3600 + time.minute * 60 + time.second;
  return seconds < 0 ? 0 : static_cast<uint64_t>(seconds) * kTicksPerSecond;
}

std::string MemorySystem::FormatDateTime(const LocalTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, " %02d:%02d:%02d", time.hour, time.minute, time.second);
  return FormatDate(time) + text;
}

std::string MemorySystem::FormatFileTime(uint64_t fileTime) {
  const uint64_t seconds = fileTime / kTicksPerSecond;
  LocalTime t;
  CivilFromDays(static_cast<int64_t>(seconds / 86400) - kDaysFrom1601To1970, t.year, t.month, t.day);
  const auto secondOfDay = static_cast<int>(seconds % 86400);
  t.hour = secondOfDay / 3600;
  t.minute = secondOfDay / 60 % 60;
  t.second = secondOfDay % 60;
  if (t.hour == 0 && t.minute == 0 && t.second == 0) return FormatDate(t);
  return FormatDateTime(t);
}

namespace {

class MemoryProcess : public Process {
 public:
  MemoryProcess(bool running, std::shared_ptr<size_t> terminated)
      : running_(running), terminated_(std::move(terminated)) {}
  bool WaitFor(unsigned) override { return !running_; }
  void Terminate() override {
    if (!running_) return;
    running_ = false;
    ++*terminated_;
  }

 private:
  bool running_;
  std::shared_ptr<size_t> terminated_;
};

}  // namespace

std::unique_ptr<Process> MemoryProcessLauncher::StartHidden(const std::string& commandLine) {
  return StartHiddenInView(commandLine, View::Process);
}

std::unique_ptr<Process> MemoryProcessLauncher::StartHiddenInView(const std::string& commandLine,
                                                                  View view) {
  started.push_back(commandLine);
  startedViews.push_back(view);
  if (onStart && !onStart(commandLine)) {
    lastStartError_ = startError;
    return nullptr;
  }
  lastStartError_ = 0;
  return std::make_unique<MemoryProcess>(keepRunning, terminated_);
}

}  // namespace tallowin::platform::memory
