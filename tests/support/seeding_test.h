#pragma once
// A Wine test that seeds the real registry, files, folders and shell links: everything
// seeded is removed after the test, newest first. COM is set up for the shell links.

#include <gtest/gtest.h>
#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/reg_global.h"
#include "platform/win32/win32_platform.h"
#include "tests/support/registry_tree.h"
#include "tests/support/win32_folders.h"

namespace tallowin::testing_support {

// Writes a shell link with the shell's own link object.
inline bool CreateShortcut(const std::string& link, const std::string& target) {
  IShellLinkA* shellLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&shellLink))))
    return false;
  IPersistFile* file = nullptr;
  bool saved = false;
  if (SUCCEEDED(shellLink->SetPath(target.c_str())) &&
      SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    std::wstring wide(link.begin(), link.end());  // test paths are ASCII
    saved = SUCCEEDED(file->Save(wide.c_str(), TRUE));
    file->Release();
  }
  shellLink->Release();
  return saved;
}

class SeedingTest : public ::testing::Test {
 protected:
  using Root = platform::Root;

  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    id_ = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(GetTickCount());
  }

  void TearDown() override {
    for (auto it = values_.rbegin(); it != values_.rend(); ++it)
      if (auto key = registry().OpenKey(it->root, it->path, platform::Access::All))
        (void)key->DeleteValue(it->name);
    for (auto it = trees_.rbegin(); it != trees_.rend(); ++it)
      RemoveRegistryTree(registry(), it->root, it->path);
    for (auto it = files_.rbegin(); it != files_.rend(); ++it) DeleteFileA(it->c_str());
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) RemoveFolderTree(*it);
    CoUninitialize();
  }

  platform::Registry& registry() { return machine_.platform().registry; }
  platform::FileSystem& files() { return machine_.platform().files; }

  // Creates the key; the top-most key that did not exist yet is removed after the test.
  void SeedKey(Root root, const std::string& path) {
    for (size_t end = 0; end != std::string::npos;) {
      end = path.find('\\', end + 1);
      const std::string prefix = path.substr(0, end);
      if (!registry().OpenKey(root, prefix, platform::Access::Read)) {
        trees_.push_back({root, prefix, ""});
        break;
      }
    }
    std::unique_ptr<platform::RegistryKey> key;
    ASSERT_EQ(registry().Create(root, path, key), platform::kSuccess) << path;
  }
  // A value in a key that may be shared: the value is removed after the test.
  void SeedValue(Root root, const std::string& path, const std::string& name, uint32_t type,
                 const std::string& data) {
    SeedKey(root, path);
    std::unique_ptr<platform::RegistryKey> key;
    ASSERT_EQ(registry().Create(root, path, key), platform::kSuccess) << path;
    ASSERT_EQ(key->SetValue(name, type, data), platform::kSuccess) << name;
    values_.push_back({root, path, name});
  }
  void SeedText(Root root, const std::string& path, const std::string& name,
                const std::string& text) {
    SeedValue(root, path, name, platform::kRegSz, RegStringData(text));
  }
  std::string SeedFile(const std::string& path) {
    EXPECT_TRUE(files().AppendToFile(path, "", "x")) << path;
    files_.push_back(path);
    return path;
  }
  std::string SeedFolder(const std::string& path) {
    EXPECT_TRUE(CreateDirectoryA(path.c_str(), nullptr)) << path;
    folders_.push_back(path);
    return path;
  }
  std::string SeedShortcut(const std::string& link, const std::string& target) {
    EXPECT_TRUE(CreateShortcut(link, target)) << link;
    files_.push_back(link);
    return link;
  }

  std::string id_;  // unique to the test run, for names of its own
  platform::win32::Win32Machine machine_;

 private:
  struct Place {
    Root root;
    std::string path;
    std::string name;
  };
  std::vector<Place> values_;
  std::vector<Place> trees_;
  std::vector<std::string> files_;
  std::vector<std::string> folders_;
};

}  // namespace tallowin::testing_support
