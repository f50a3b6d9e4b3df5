#pragma once
// Why a row of the issue list is listed. Nothing of it is kept by the scan: the reason is
// derived when asked, from the rule that produced the row and from the registry and the
// file system as they are now, so an item mended since the scan reads "No longer broken".

#include <memory>
#include <string>
#include <vector>

#include "core/scan_session.h"
#include "platform/wording.h"
#include "platform/platform.h"
#include "scan/issue.h"

namespace tallowin {

class KeptListings;
class TScanTaskThread;

// The settings the scan ran under: which drives it tests and whether it looked at both
// registry views; and the language of the sentences.
struct ReasonOptions {
  bool ignoreRemoveDrives = true;
  bool check64Bit = false;
  // The scan's folder listings (ScanRequest::keepListings): a folder still as it was when
  // the scan listed it is not listed again.
  std::shared_ptr<KeptListings> scanListings;
  // The windows' language for the windows; the command line and its JSON stay English.
  const Wording* wording = &English();
};

class FindingExplainer {
 public:
  // The drive letters and floppy probes are taken once; file answers are remembered for
  // the explainer's life, so make one per question where the answer must be fresh.
  FindingExplainer(const platform::Platform& platform, const ReasonOptions& options);
  ~FindingExplainer();
  FindingExplainer(const FindingExplainer&) = delete;
  FindingExplainer& operator=(const FindingExplainer&) = delete;

  // One or two sentences; never empty and never throws.
  std::string Explain(const Issue& issue);

  // The file-reference test on `text` as a scan runs it, and what it means.
  bool IsBroken(const std::string& text, const std::string& requiredSuffix, bool dirsAllowed);
  // `mended`: the text of a row whose reference is found now starts "No longer broken",
  // else "Not broken".
  std::string ExplainReference(const std::string& text, const std::string& requiredSuffix,
                               bool dirsAllowed, bool mended = false);

 private:
  struct Observer;
  struct OpenedKey;
  struct Row;
  std::string ExplainRow(const Issue& issue);
  platform::Registry& RegistryOf(const Issue& issue);

  platform::Platform platform_;
  ReasonOptions options_;
  std::unique_ptr<Observer> observer_;
  std::unique_ptr<TScanTaskThread> scan_;
  std::unique_ptr<OpenedKey> lastKey_;
};

// `resolve --why`: the verdict, every file-system question the test asked with its answer
// in order, and the sentence for it.
struct ReferenceTrace {
  bool broken = false;
  std::vector<std::string> steps;
  std::string reason;
};
ReferenceTrace TraceReference(const platform::Platform& platform, const ResolveRequest& request);

}  // namespace tallowin
