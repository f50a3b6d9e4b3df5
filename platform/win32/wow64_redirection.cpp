#include "platform/win32/wow64_redirection.h"

namespace tallowin::platform::win32 {

namespace {

using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);

template <typename Fn>
Fn Kernel32(const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32"), name)));
}

class NativeProbeFileSystem final : public FileSystem {
 public:
  explicit NativeProbeFileSystem(FileSystem& inner) : inner_(inner) {}

  bool FindFirst(std::string_view pattern, FindEntry& entry) override {
    const FsRedirectionOff off;
    return inner_.FindFirst(pattern, entry);
  }
  std::optional<uint32_t> Attributes(std::string_view path) override {
    const FsRedirectionOff off;
    return inner_.Attributes(path);
  }
  long List(std::string_view pattern, std::vector<DirEntry>& entries) override {
    const FsRedirectionOff off;
    return inner_.List(pattern, entries);
  }

  uint32_t DriveType(std::string_view root) override { return inner_.DriveType(root); }
  bool VolumeReady(std::string_view root) override { return inner_.VolumeReady(root); }
  bool ExpandEnvironment(std::string_view text, size_t capacity, std::string& expanded) override {
    return inner_.ExpandEnvironment(text, capacity, expanded);
  }
  std::optional<std::string> SpecialFolder(int csidl) override { return inner_.SpecialFolder(csidl); }
  std::optional<std::string> ShortcutTarget(std::string_view linkPath) override {
    return inner_.ShortcutTarget(linkPath);
  }
  bool RemoveFile(std::string_view path) override { return inner_.RemoveFile(path); }
  bool CreateDirectories(std::string_view path) override { return inner_.CreateDirectories(path); }
  bool AppendToFile(std::string_view path, std::string_view header, std::string_view text) override {
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
  FileSystem& InView(View view) override {
    return view == View::Native ? *this : inner_.InView(view);
  }

 private:
  FileSystem& inner_;
};

}  // namespace

FsRedirectionOff::FsRedirectionOff() {
  static const auto disable = Kernel32<DisableFn>("Wow64DisableWow64FsRedirection");
  active_ = disable != nullptr && disable(&previous_) != FALSE;
}

FsRedirectionOff::~FsRedirectionOff() {
  static const auto revert = Kernel32<RevertFn>("Wow64RevertWow64FsRedirection");
  if (active_ && revert != nullptr) revert(previous_);
}

std::unique_ptr<FileSystem> MakeNativeProbeFileSystem(FileSystem& inner) {
  return std::make_unique<NativeProbeFileSystem>(inner);
}

}  // namespace tallowin::platform::win32
