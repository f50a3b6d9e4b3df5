#pragma once
// Whether a disk can be read in a drive, and the floppy flags the scan dialog sets
// before it starts the scan thread.

#include <string_view>

#include "platform/file_system.h"

namespace tallowin {

class TScanTaskThread;

// GetVolumeInformation under SEM_FAILCRITICALERRORS: never shows a system prompt.
bool IsVolumeReady(platform::FileSystem& files, std::string_view root);

// Sets DriveAReady and DriveBReady from "a:\" and "b:\", only when removable drives are
// not ignored; otherwise both stay false and the drives are not touched.
void ProbeFloppyDrives(TScanTaskThread& thread);

}  // namespace tallowin
