#include "core/scan_report_queue.h"

#include <utility>

namespace tallowin {

ScanReportQueue::ScanReportQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

ScanReport* ScanReportQueue::InStretch(ScanReport::Kind kind) {
  for (size_t i = stretchStart_; i < reports_.size(); ++i)
    if (reports_[i].kind == kind) return &reports_[i];
  return nullptr;
}

void ScanReportQueue::Push(ScanReport::Kind kind, std::string text) {
  bool wasEmpty;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wasEmpty = reports_.empty();
    if (kind == ScanReport::Kind::CurrentKey) {
      if (ScanReport* key = InStretch(kind)) {
        key->text = std::move(text);
        return;
      }
    }
    ScanReport report;
    report.kind = kind;
    report.text = std::move(text);
    reports_.push_back(std::move(report));
    if (kind != ScanReport::Kind::CurrentKey) stretchStart_ = reports_.size();
  }
  if (wasEmpty && wake_) wake_();
}

void ScanReportQueue::BeginCategory() { Push(ScanReport::Kind::BeginCategory, {}); }
void ScanReportQueue::EndCategory() { Push(ScanReport::Kind::EndCategory, {}); }
void ScanReportQueue::SetCaption(const std::string& caption) {
  Push(ScanReport::Kind::Caption, caption);
}
void ScanReportQueue::ShowCurrentKey(const std::string& keyPath) {
  Push(ScanReport::Kind::CurrentKey, keyPath);
}
void ScanReportQueue::ScanDone() { Push(ScanReport::Kind::Done, {}); }

void ScanReportQueue::AddIssue(const Issue& issue) {
  bool wasEmpty;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wasEmpty = reports_.empty();
    ++rowsReported_;
    ScanReport* rows = InStretch(ScanReport::Kind::Rows);
    if (rows == nullptr) {
      ScanReport report;
      report.kind = ScanReport::Kind::Rows;
      reports_.push_back(std::move(report));
      rows = &reports_.back();
    }
    rows->rows.push_back(issue);
  }
  if (wasEmpty && wake_) wake_();
}

std::vector<ScanReport> ScanReportQueue::Take() {
  std::vector<ScanReport> taken;
  std::lock_guard<std::mutex> lock(mutex_);
  taken.swap(reports_);
  stretchStart_ = 0;
  return taken;
}

bool ScanReportQueue::Empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return reports_.empty();
}

size_t ScanReportQueue::RowsReported() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rowsReported_;
}

}  // namespace tallowin
