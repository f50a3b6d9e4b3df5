#include "scan/scan_task.h"

namespace tallowin {

// Not built yet: these categories run nothing.
void TScanTaskThread::ScanObsoleteSoftware() {}
void TScanTaskThread::ScanEmptyUninstallEntries() {}
void TScanTaskThread::ScanEmptyUserKeys() {}

}  // namespace tallowin
