#pragma once
// The contract tests in this folder run against both backends: the memory backend in
// the native runner, the Windows backend (the real registry and files) under Wine.
// Each runner supplies MakeBackendUnderTest().

#include <memory>
#include <string>

#include "platform/platform.h"

namespace tallowin::testing_support {

class BackendUnderTest {
 public:
  virtual ~BackendUnderTest() = default;  // removes the sandbox key and folder
  virtual platform::Platform platform() = 0;
  // A fresh, empty key path below HKEY_CURRENT_USER for this test (created).
  virtual std::string SandboxKey() = 0;
  // A fresh key path below HKEY_LOCAL_MACHINE\Software\TallowinTest, where a WOW64
  // process's view is redirected; not created. Removed in both registry views.
  virtual std::string MachineSandboxKey() = 0;
  // A fresh, empty folder on drive C: for this test (created), no trailing backslash.
  virtual std::string SandboxFolder() = 0;
  // Sets an environment variable as the process sees it.
  virtual void SetEnvironment(const std::string& name, const std::string& value) = 0;
  // A symbolic-link key at HKEY_CURRENT_USER\`link` pointing at HKEY_CURRENT_USER\`target`
  // (both below the sandbox key); removed with the sandbox, as a link, never its target.
  virtual bool CreateLink(const std::string& link, const std::string& target) = 0;
};

std::unique_ptr<BackendUnderTest> MakeBackendUnderTest();

}  // namespace tallowin::testing_support
