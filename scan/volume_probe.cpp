#include "scan/volume_probe.h"

#include "scan/scan_task.h"

namespace tallowin {

bool IsVolumeReady(platform::FileSystem& files, std::string_view root) {
  return files.VolumeReady(root);
}

void ProbeFloppyDrives(TScanTaskThread& thread) {
  if (thread.IgnoreRemoveDrives) return;
  thread.DriveAReady = IsVolumeReady(thread.Files(), "a:\\");
  thread.DriveBReady = IsVolumeReady(thread.Files(), "b:\\");
}

}  // namespace tallowin
