#pragma once
// For --stats: counts the registry calls of a command and the time spent in them, by kind.

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/view.h"

namespace tallowin::cli {

class CountingRegistry final : public platform::Registry {
 public:
  enum Call { kOpen, kOpenNoFollow, kClose, kSubKeyNames, kValues, kQueryValue, kQueryInfo,
              kDelete, kLastWrite, kIsLink, kOther, kCalls };

  explicit CountingRegistry(platform::Registry& inner)
      : inner_(inner), tallies_(std::make_shared<Tallies>()) {}

  long Open(platform::Root root, std::string_view path, platform::Access access,
            std::unique_ptr<platform::RegistryKey>& key) override {
    const long long start = Now();
    return Wrap(kOpen, start, inner_.Open(root, path, access, key), key);
  }
  long OpenNoFollow(platform::Root root, std::string_view path, platform::Access access,
                    std::unique_ptr<platform::RegistryKey>& key) override {
    const long long start = Now();
    return Wrap(kOpenNoFollow, start, inner_.OpenNoFollow(root, path, access, key), key);
  }
  long Create(platform::Root root, std::string_view path,
              std::unique_ptr<platform::RegistryKey>& key) override {
    const long long start = Now();
    return Wrap(kOther, start, inner_.Create(root, path, key), key);
  }
  std::string UpcaseName(std::string_view name) override { return inner_.UpcaseName(name); }
  // The calls in another view count with these.
  platform::Registry& InView(platform::View view) override {
    platform::Registry& inner = inner_.InView(view);
    if (&inner == &inner_) return *this;
    const std::lock_guard<std::mutex> lock(viewsMutex_);
    std::unique_ptr<CountingRegistry>& counting = views_[static_cast<size_t>(view)];
    if (!counting) counting.reset(new CountingRegistry(inner, tallies_));
    return *counting;
  }

  // "name count seconds" lines for the calls made.
  void Print(std::FILE* out, const char* phase) const {
    static constexpr const char* kNames[kCalls] = {
        "open", "open-no-follow", "close", "sub-key names", "values", "query value",
        "query info", "delete", "last write", "is link", "other"};
    for (int i = 0; i < kCalls; ++i)
      if (const unsigned long long count = tallies_->counts[i].load(); count > 0)
        std::fprintf(out, "%s registry %s: %llu calls, %.2f s\n", phase, kNames[i], count,
                     static_cast<double>(tallies_->ticks[i].load()) / Frequency());
  }
  void Reset() {
    for (int i = 0; i < kCalls; ++i) {
      tallies_->counts[i] = 0;
      tallies_->ticks[i] = 0;
    }
  }

 private:
  // A scan reads the registry on a thread of its own: the times are summed over threads.
  struct Tallies {
    std::array<std::atomic<unsigned long long>, kCalls> counts{};
    std::array<std::atomic<long long>, kCalls> ticks{};
  };

  CountingRegistry(platform::Registry& inner, std::shared_ptr<Tallies> tallies)
      : inner_(inner), tallies_(std::move(tallies)) {}

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
  static void Add(Tallies& tallies, Call call, long long start) {
    tallies.counts[call].fetch_add(1, std::memory_order_relaxed);
    tallies.ticks[call].fetch_add(Now() - start, std::memory_order_relaxed);
  }

  class Key final : public platform::RegistryKey {
   public:
    Key(std::shared_ptr<Tallies> tallies, std::unique_ptr<platform::RegistryKey> inner)
        : tallies_(std::move(tallies)), inner_(std::move(inner)) {}
    ~Key() override {
      const long long start = Now();
      inner_.reset();
      Add(*tallies_, kClose, start);
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
    long Name(std::string& name) override {
      return Timed(kOther, [&] { return inner_->Name(name); });
    }

   private:
    template <typename F>
    long Timed(Call call, F f) {
      const long long start = Now();
      const long rc = f();
      Add(*tallies_, call, start);
      return rc;
    }
    std::shared_ptr<Tallies> tallies_;
    std::unique_ptr<platform::RegistryKey> inner_;
  };

  long Wrap(Call call, long long start, long rc, std::unique_ptr<platform::RegistryKey>& key) {
    Add(*tallies_, call, start);
    if (rc == platform::kSuccess) key = std::make_unique<Key>(tallies_, std::move(key));
    return rc;
  }

  platform::Registry& inner_;
  std::shared_ptr<Tallies> tallies_;
  std::mutex viewsMutex_;
  std::array<std::unique_ptr<CountingRegistry>, 2> views_;  // by View, made when asked for
};

}  // namespace tallowin::cli
