#include "scan/scan_task.h"

namespace tallowin {

// Not built yet: these categories run nothing.
void TScanTaskThread::ScanSharedDlls() {}
void TScanTaskThread::ScanFonts() {}
void TScanTaskThread::ScanHelpFiles() {}

}  // namespace tallowin
