#pragma once
// Answers of the file system, remembered for one scan: the scan asks the same
// questions many times and the file system does not change under it in any way
// the verdicts depend on.

#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/file_system.h"

namespace tallowin {

class FileProbeCache {
 public:
  explicit FileProbeCache(platform::FileSystem& files) : files_(files) {}
  bool FileExists(const std::string& path);
  bool FolderExists(const std::string& path);

 private:
  platform::FileSystem& files_;
  std::mutex mutex_;
  std::unordered_map<std::string, bool> files_cache_;
  std::unordered_map<std::string, bool> folders_cache_;
};

}  // namespace tallowin
