#include "scan/scan_task.h"

namespace tallowin {

// Not built yet: these categories run nothing.
void TScanTaskThread::ScanFileExtensions() {}
void TScanTaskThread::ScanOpenWithApplications() {}

}  // namespace tallowin
