#include "scan/file_probe_cache.h"

#include "platform/text.h"

namespace tallowin {

// Names are compared without regard to case by the file system, so the key is upper-cased.
bool FileProbeCache::FileExists(const std::string& path) {
  const std::string key = AsciiUpper(path);
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = files_cache_.find(key);
  if (it != files_cache_.end()) return it->second;
  const bool found = platform::FileExists(files_, path);
  files_cache_.emplace(key, found);
  return found;
}

bool FileProbeCache::FolderExists(const std::string& path) {
  const std::string key = AsciiUpper(path);
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = folders_cache_.find(key);
  if (it != folders_cache_.end()) return it->second;
  const bool found = platform::FolderExists(files_, path);
  folders_cache_.emplace(key, found);
  return found;
}

}  // namespace tallowin
