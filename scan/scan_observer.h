#pragma once
// Everything the scan thread does to a window goes through this interface. The
// engine serialises the calls and makes none after Stop() has returned.

#include <string>

#include "scan/issue.h"

namespace tallowin {

class ScanObserver {
 public:
  virtual ~ScanObserver() = default;
  // Progress bar to 0, animation on.
  virtual void BeginCategory() = 0;
  // Animation off, bar to 1000, WM_CATEGORYDONE. Not called once a stop was requested.
  virtual void EndCategory() = 0;
  // TaskLabel caption.
  virtual void SetCaption(const std::string& caption) = 0;
  // KeyMemo: the key path being examined (without the root name).
  virtual void ShowCurrentKey(const std::string& keyPath) = 0;
  virtual void AddIssue(const Issue& issue) = 0;
  // After the last category: the completion texts are set through SetCaption and
  // ShowCurrentKey first, then this (WM_SCANDONE). Not called after a stop.
  virtual void ScanDone() = 0;
};

// For a file test outside a scan: nothing to report to.
struct SilentScanObserver : ScanObserver {
  void BeginCategory() override {}
  void EndCategory() override {}
  void SetCaption(const std::string&) override {}
  void ShowCurrentKey(const std::string&) override {}
  void AddIssue(const Issue&) override {}
  void ScanDone() override {}
};

}  // namespace tallowin
