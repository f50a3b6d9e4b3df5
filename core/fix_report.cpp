#include "core/fix_report.h"

#include "platform/text.h"

namespace tallowin {

std::string NotRemovedMessage(const RepairResult& result, size_t shown, const Wording& words) {
  const size_t count = result.problems.size();
  std::string text =
      words.Say(count == 1 ? Phrase::NotRemovedOne : Phrase::NotRemovedMany, {std::to_string(count)}) +
      "\r\n";
  for (size_t i = 0; i < count && i < shown; ++i) {
    const RowProblem& problem = result.problems[i];
    text += "\r\n" + problem.issue.key;
    if (!problem.issue.data.empty()) text += " (" + problem.issue.data + ")";
    // A reason that begins with the outcome's own words says it already.
    const std::string outcome = OutcomeName(problem.outcome, words);
    if (problem.detail.compare(0, outcome.size(), outcome) == 0)
      text += ": " + problem.detail;
    else
      text += ": " + outcome + (problem.detail.empty() ? "" : ", " + problem.detail);
  }
  if (count > shown) text += "\r\n\r\n" + words.Say(Phrase::NotRemovedMore, {std::to_string(count - shown)});
  return text;
}

RepairOnceStatus RepairOnceExitStatus(ScanOutcome scan, const RepairResult* repair, size_t found) {
  if (scan == ScanOutcome::Stopped) return kRepairOnceScanStopped;
  if (scan == ScanOutcome::Failed) return kRepairOnceScanFailed;
  if (found == 0) return kRepairOnceDone;
  if (repair == nullptr || !repair->error.empty()) return kRepairOnceNotRepaired;
  if (repair->completed) return repair->failed == 0 ? kRepairOnceDone : kRepairOnceNotAllRemoved;
  if (repair->stopped) return kRepairOnceNotAllRemoved;
  return kRepairOnceNotRepaired;
}

bool IsRepairOnceSwitch(const std::vector<std::string>& arguments) {
  return !arguments.empty() && AsciiUpper(arguments.front()) == "-REPAIRONCE";
}

}  // namespace tallowin
