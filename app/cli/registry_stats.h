#pragma once
// For --stats: counts the registry calls of a command and the time spent in them, by kind.

#include <windows.h>

#include <array>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace tallowin::cli {

class CountingRegistry final : public platform::Registry {
 public:
  enum Call { kOpen, kOpenNoFollow, kClose, kSubKeyNames, kValues, kQueryValue, kQueryInfo,
              kDelete, kLastWrite, kIsLink, kOther, kCalls };

  explicit CountingRegistry(platform::Registry& inner) : inner_(inner) {}

  long Open(platform::Root root, std::string_view path, platform::Access access,
            std::unique_ptr<platform::RegistryKey>& key) override {
    return Wrap(kOpen, inner_.Open(root, path, access, Start(kOpen)), key);
  }
  long OpenNoFollow(platform::Root root, std::string_view path, platform::Access access,
                    std::unique_ptr<platform::RegistryKey>& key) override {
    return Wrap(kOpenNoFollow, inner_.OpenNoFollow(root, path, access, Start(kOpenNoFollow)), key);
  }
  long Create(platform::Root root, std::string_view path,
              std::unique_ptr<platform::RegistryKey>& key) override {
    return Wrap(kOther, inner_.Create(root, path, Start(kOther)), key);
  }

  // "name count seconds" lines for the calls made.
  void Print(std::FILE* out, const char* phase) const {
    static constexpr const char* kNames[kCalls] = {
        "open", "open-no-follow", "close", "sub-key names", "values", "query value",
        "query info", "delete", "last write", "is link", "other"};
    for (int i = 0; i < kCalls; ++i)
      if (counts_[i] > 0)
        std::fprintf(out, "%s registry %s: %llu calls, %.2f s\n", phase, kNames[i], counts_[i],
                     static_cast<double>(ticks_[i]) / Frequency());
  }
  void Reset() {
    counts_.fill(0);
    ticks_.fill(0);
  }

 private:
  static double Frequency() {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart);
  }
  static long long Now() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
  }
  void Add(Call call, long long start) {
    ++counts_[call];
    ticks_[call] += Now() - start;
  }

  class Key final : public platform::RegistryKey {
   public:
    Key(CountingRegistry& owner, std::unique_ptr<platform::RegistryKey> inner)
        : owner_(owner), inner_(std::move(inner)) {}
    ~Key() override {
      const long long start = Now();
      inner_.reset();
      owner_.Add(kClose, start);
    }
    long SubKeyNames(std::vector<std::string>& names) override {
      return Timed(kSubKeyNames, [&] { return inner_->SubKeyNames(names); });
    }
    long ValueNames(std::vector<std::string>& names) override {
      return Timed(kValues, [&] { return inner_->ValueNames(names); });
    }
    long Values(std::vector<platform::RegValue>& values) override {
      return Timed(kValues, [&] { return inner_->Values(values); });
    }
    long QueryValue(std::string_view name, platform::RegValue& value) override {
      return Timed(kQueryValue, [&] { return inner_->QueryValue(name, value); });
    }
    long QueryInfo(uint32_t& subKeys, uint32_t& values) override {
      return Timed(kQueryInfo, [&] { return inner_->QueryInfo(subKeys, values); });
    }
    long DeleteSubKey(std::string_view name) override {
      return Timed(kDelete, [&] { return inner_->DeleteSubKey(name); });
    }
    long DeleteValue(std::string_view name) override {
      return Timed(kDelete, [&] { return inner_->DeleteValue(name); });
    }
    long SetValue(std::string_view name, uint32_t type, std::string_view data) override {
      return Timed(kOther, [&] { return inner_->SetValue(name, type, data); });
    }
    long LastWriteTime(uint64_t& fileTime) override {
      return Timed(kLastWrite, [&] { return inner_->LastWriteTime(fileTime); });
    }
    long IsLink(bool& link) override {
      return Timed(kIsLink, [&] { return inner_->IsLink(link); });
    }

   private:
    template <typename F>
    long Timed(Call call, F f) {
      const long long start = Now();
      const long rc = f();
      owner_.Add(call, start);
      return rc;
    }
    CountingRegistry& owner_;
    std::unique_ptr<platform::RegistryKey> inner_;
  };

  std::unique_ptr<platform::RegistryKey>& Start(Call) {
    start_ = Now();
    opened_.reset();
    return opened_;
  }
  long Wrap(Call call, long rc, std::unique_ptr<platform::RegistryKey>& key) {
    Add(call, start_);
    if (rc == platform::kSuccess) key = std::make_unique<Key>(*this, std::move(opened_));
    return rc;
  }

  platform::Registry& inner_;
  long long start_ = 0;
  std::unique_ptr<platform::RegistryKey> opened_;
  std::array<unsigned long long, kCalls> counts_{};
  std::array<long long, kCalls> ticks_{};
};

}  // namespace tallowin::cli
