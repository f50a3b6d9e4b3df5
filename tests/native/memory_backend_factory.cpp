// The contract tests over the in-memory machine: a fresh machine per test, so the
// sandbox needs no cleaning.

#include "platform/memory/memory_platform.h"
#include "tests/backend/backend_fixture.h"

namespace tallowin::testing_support {
namespace {

class MemoryBackendUnderTest final : public BackendUnderTest {
 public:
  // A 32-bit process on 64-bit Windows, as the 64-bit Wine prefix runs the tests.
  MemoryBackendUnderTest() {
    machine_.registry.CreateKey(platform::Root::CurrentUser, "Software\\Microsoft");
    machine_.registry.CreateKey(platform::Root::LocalMachine, "Software\\Wow6432Node");
    machine_.files.AddFolder("C:\\Windows\\system32");
    machine_.files.AddFolder("C:\\Windows\\SysWOW64");
    machine_.system.wow64 = machine_.registry.wow64 = machine_.files.wow64 = true;
  }

  platform::Platform platform() override { return machine_.platform(); }

  std::string SandboxKey() override {
    const std::string path = "Software\\TallowinTest\\Sandbox";
    machine_.registry.CreateKey(platform::Root::CurrentUser, path);
    return path;
  }

  std::string MachineSandboxKey() override { return "Software\\TallowinTest\\Machine"; }

  std::string SandboxFolder() override {
    const std::string path = "C:\\tallowin-test";
    machine_.files.AddFolder(path);
    return path;
  }

  void SetEnvironment(const std::string& name, const std::string& value) override {
    machine_.files.SetEnvironment(name, value);
  }

  bool CreateLink(const std::string& link, const std::string& target) override {
    machine_.registry.CreateLink(platform::Root::CurrentUser, link, platform::Root::CurrentUser,
                                 target);
    return true;
  }

 private:
  platform::memory::MemoryMachine machine_;
};

}  // namespace

std::unique_ptr<BackendUnderTest> MakeBackendUnderTest() {
  return std::make_unique<MemoryBackendUnderTest>();
}

}  // namespace tallowin::testing_support
