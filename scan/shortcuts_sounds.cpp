#include "scan/scan_task.h"

namespace tallowin {

// Not built yet: these categories run nothing.
void TScanTaskThread::ScanStartMenu() {}
void TScanTaskThread::ScanShortcuts() {}
void TScanTaskThread::ScanSoundEvents() {}

}  // namespace tallowin
