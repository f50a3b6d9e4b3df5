#pragma once
// A file system that passes every call on to another: a wrapper that counts or alters
// some calls overrides those alone.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/file_system.h"

namespace tallowin::platform {

class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& inner) : inner_(inner) {}

  long Find(std::string_view pattern, FindEntry& entry) override {
    return inner_.Find(pattern, entry);
  }
  long QueryAttributes(std::string_view path, uint32_t& attributes) override {
    return inner_.QueryAttributes(path, attributes);
  }
  uint32_t DriveType(std::string_view root) override { return inner_.DriveType(root); }
  bool VolumeReady(std::string_view root) override { return inner_.VolumeReady(root); }
  bool ExpandEnvironment(std::string_view text, size_t capacity, std::string& expanded) override {
    return inner_.ExpandEnvironment(text, capacity, expanded);
  }
  std::optional<std::string> SpecialFolder(int csidl) override {
    return inner_.SpecialFolder(csidl);
  }
  std::optional<std::string> ShortcutTarget(std::string_view linkPath) override {
    return inner_.ShortcutTarget(linkPath);
  }
  long List(std::string_view pattern, std::vector<DirEntry>& entries) override {
    return inner_.List(pattern, entries);
  }
  bool RemoveFile(std::string_view path) override { return inner_.RemoveFile(path); }
  long RemoveFileWithReason(std::string_view path) override {
    return inner_.RemoveFileWithReason(path);
  }
  RecycleResult RecycleFile(std::string_view path) override { return inner_.RecycleFile(path); }
  bool CreateDirectories(std::string_view path) override { return inner_.CreateDirectories(path); }
  bool AppendToFile(std::string_view path, std::string_view header,
                    std::string_view text) override {
    return inner_.AppendToFile(path, header, text);
  }
  bool ReadFile(std::string_view path, std::string& contents) override {
    return inner_.ReadFile(path, contents);
  }
  long CreateNewFile(std::string_view path, std::unique_ptr<WritableFile>& file) override {
    return inner_.CreateNewFile(path, file);
  }
  long OpenForAppend(std::string_view path, std::unique_ptr<WritableFile>& file) override {
    return inner_.OpenForAppend(path, file);
  }
  bool ReplaceFile(std::string_view from, std::string_view to) override {
    return inner_.ReplaceFile(from, to);
  }
  std::unique_ptr<FileReader> OpenForReading(std::string_view path) override {
    return inner_.OpenForReading(path);
  }
  std::optional<std::string> FullPath(std::string_view path) override {
    return inner_.FullPath(path);
  }
  long QueryWriteTime(std::string_view path, uint64_t& writeTime) override {
    return inner_.QueryWriteTime(path, writeTime);
  }
  std::string VolumePath(std::string_view path) override { return inner_.VolumePath(path); }
  bool StampsFolderChanges(std::string_view root) override {
    return inner_.StampsFolderChanges(root);
  }
  uint64_t CurrentFileTime() override { return inner_.CurrentFileTime(); }

 private:
  FileSystem& inner_;
};

}  // namespace tallowin::platform
