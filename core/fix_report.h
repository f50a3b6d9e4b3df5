#pragma once
// What the front ends tell about the end of a scan and a repair: the message listing
// the rows a repair could not remove, and the exit status of an unattended run.

#include <cstddef>
#include <string>
#include <vector>

#include "core/scan_session.h"
#include "repair/repair_run.h"

namespace tallowin {

// "3 of the selected findings could not be removed; they stay in the list, selected."
// followed by the first `shown` of them, each with its reason, and how many more. The
// reasons are the run's own, in the wording it was given; `words` say the rest.
std::string NotRemovedMessage(const RepairResult& result, size_t shown, const Wording& words);

// How "Tallowin.exe -repaironce" ends, for the program that started it.
enum RepairOnceStatus : int {
  kRepairOnceDone = 0,           // every finding was removed, or there was none
  kRepairOnceNotRepaired = 1,    // the repair did not run or stopped on an error
  kRepairOnceNotAllRemoved = 3,  // some findings stay: refused, failed or changed
  kRepairOnceScanStopped = 4,    // the scan was stopped (the window closed): nothing repaired
  kRepairOnceScanFailed = 5,     // the findings could not be filtered: nothing repaired
  kRepairOnceAlreadyRunning = 6, // another copy runs: nothing was done
};

// `repair` is null when no repair ran; `found` is the number of rows the repair was given.
RepairOnceStatus RepairOnceExitStatus(ScanOutcome scan, const RepairResult* repair, size_t found);

// The program's arguments (without its name) ask for the unattended run.
bool IsRepairOnceSwitch(const std::vector<std::string>& arguments);

}  // namespace tallowin
