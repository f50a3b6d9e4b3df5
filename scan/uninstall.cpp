#include "scan/scan_task.h"

namespace tallowin {

// Not built yet: these categories run nothing.
void TScanTaskThread::ScanAddRemovePrograms() {}
void TScanTaskThread::ScanInstallerReferences() {}

}  // namespace tallowin
