#include "scan/scan_task.h"

namespace tallowin {

// Not built yet.
void TScanTaskThread::ScanClassesRoot() {}
void TScanTaskThread::ScanCurrentUser() {}
void TScanTaskThread::ScanLocalMachineSoftware() {}
void TScanTaskThread::ScanUsers() {}
void TScanTaskThread::ScanSoftwareLocations() {}
void TScanTaskThread::ScanKeyTree(const std::string&, const std::string&, const std::string&,
                                  const std::string&, const std::string&) {}
bool TScanTaskThread::ResolveFileReference(const std::string&, const std::string&, bool,
                                           const std::string&) {
  return false;
}
std::string TScanTaskThread::ExpandLeadingVariable(const std::string& text) { return text; }

}  // namespace tallowin
