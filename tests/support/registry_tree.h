#pragma once
// Removes what a test wrote to a registry: a key with everything below it.

#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace tallowin::testing_support {

// Sub-keys first; whatever cannot be removed stays. A root key itself ("") is never
// touched.
inline void RemoveRegistryTree(platform::Registry& registry, platform::Root root,
                               const std::string& path) {
  if (path.empty()) return;
  std::unique_ptr<platform::RegistryKey> key = registry.OpenKey(root, path, platform::Access::All);
  if (!key) return;
  std::vector<std::string> names;
  (void)key->SubKeyNames(names);
  for (const std::string& name : names) RemoveRegistryTree(registry, root, path + "\\" + name);
  key.reset();
  const size_t slash = path.rfind('\\');
  const std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
  if (auto parentKey = registry.OpenKey(root, parent, platform::Access::All))
    (void)parentKey->DeleteSubKey(path.substr(slash + 1));
}

}  // namespace tallowin::testing_support
