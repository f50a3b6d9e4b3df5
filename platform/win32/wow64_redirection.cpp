#include "platform/win32/wow64_redirection.h"

#include "platform/forwarding_file_system.h"

namespace tallowin::platform::win32 {

namespace {

using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);

template <typename Fn>
Fn Kernel32(const char* name) {
  return reinterpret_cast<Fn>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32"), name)));
}

class NativeProbeFileSystem final : public ForwardingFileSystem {
 public:
  explicit NativeProbeFileSystem(FileSystem& inner) : ForwardingFileSystem(inner), inner_(inner) {}

  long Find(std::string_view pattern, FindEntry& entry) override {
    const FsRedirectionOff off;
    return inner_.Find(pattern, entry);
  }
  long QueryAttributes(std::string_view path, uint32_t& attributes) override {
    const FsRedirectionOff off;
    return inner_.QueryAttributes(path, attributes);
  }
  long List(std::string_view pattern, std::vector<DirEntry>& entries) override {
    const FsRedirectionOff off;
    return inner_.List(pattern, entries);
  }
  long QueryWriteTime(std::string_view path, uint64_t& writeTime) override {
    const FsRedirectionOff off;
    return inner_.QueryWriteTime(path, writeTime);
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
