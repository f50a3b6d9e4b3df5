#pragma once
// A registry that passes every call on, counting the opens and showing each to a hook
// first: to see what a scan or a repair asks of the registry, or to change the registry
// at a chosen moment. The hook runs on the thread that opens (a scan's registry reader);
// the counts are safe to read once the scan has returned.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace tallowin::testing_support {

class WatchedRegistry : public platform::Registry {
 public:
  explicit WatchedRegistry(platform::Registry& inner) : inner_(inner) {}
  long Open(platform::Root root, std::string_view path, platform::Access access,
            std::unique_ptr<platform::RegistryKey>& key) override {
    Saw(path, access);
    return inner_.Open(root, path, access, key);
  }
  long OpenNoFollow(platform::Root root, std::string_view path, platform::Access access,
                    std::unique_ptr<platform::RegistryKey>& key) override {
    Saw(path, access);
    return inner_.OpenNoFollow(root, path, access, key);
  }
  long Create(platform::Root root, std::string_view path,
              std::unique_ptr<platform::RegistryKey>& key) override {
    return inner_.Create(root, path, key);
  }

  std::atomic<int> opens = 0;
  std::atomic<int> writeOpens = 0;  // opens that ask for more than reading
  std::vector<platform::Access> accesses;
  std::function<void(std::string_view path, platform::Access access)> onOpen;

 private:
  void Saw(std::string_view path, platform::Access access) {
    if (onOpen) onOpen(path, access);
    ++opens;
    if (access != platform::Access::Read) ++writeOpens;
    const std::lock_guard<std::mutex> lock(mutex_);
    accesses.push_back(access);
  }

  std::mutex mutex_;

  platform::Registry& inner_;
};

}  // namespace tallowin::testing_support
