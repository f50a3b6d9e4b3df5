#pragma once
// A registry sub-tree as plain data (key path -> value name -> type and bytes), for
// comparing a tree before a repair with the tree after its restore.

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace tallowin::testing_support {

struct SnapshotValue {
  uint32_t type = 0;
  std::string data;
  bool operator==(const SnapshotValue&) const = default;
};

// Relative key path ("" = the top key) -> value name -> value.
using Snapshot = std::map<std::string, std::map<std::string, SnapshotValue>>;

inline bool TakeSnapshot(platform::Registry& registry, platform::Root root,
                         const std::string& path, Snapshot& snapshot,
                         const std::string& relative = "") {
  std::unique_ptr<platform::RegistryKey> key;
  if (registry.Open(root, path, platform::Access::Read, key) != platform::kSuccess) return false;
  std::vector<platform::RegValue> values;
  std::vector<std::string> subKeys;
  if (key->Values(values) != platform::kSuccess) return false;
  if (key->SubKeyNames(subKeys) != platform::kSuccess) return false;
  auto& entry = snapshot[relative];
  for (const auto& v : values) entry[v.name] = {v.type, v.data};
  for (const auto& s : subKeys) {
    if (!TakeSnapshot(registry, root, path + "\\" + s, snapshot,
                      relative.empty() ? s : relative + "\\" + s))
      return false;
  }
  return true;
}

inline std::string Hex(const std::string& bytes) {
  std::ostringstream out;
  const char* digits = "0123456789ABCDEF";
  for (unsigned char c : bytes) out << digits[c >> 4] << digits[c & 15] << ' ';
  return out.str();
}

// Equal trees, or a failure naming the first key or value that differs.
// `sameData(type, before, after)` decides whether two data blocks count as equal.
template <typename SameData>
::testing::AssertionResult SnapshotsMatch(const Snapshot& before, const Snapshot& after,
                                          SameData sameData) {
  for (const auto& [path, values] : before) {
    const auto it = after.find(path);
    if (it == after.end()) return ::testing::AssertionFailure() << "key missing: [" << path << "]";
    for (const auto& [name, value] : values) {
      const auto v = it->second.find(name);
      if (v == it->second.end())
        return ::testing::AssertionFailure() << "value missing: [" << path << "] \"" << name << "\"";
      if (v->second.type != value.type)
        return ::testing::AssertionFailure() << "type of [" << path << "] \"" << name << "\": "
                                             << value.type << " became " << v->second.type;
      if (!sameData(value.type, value.data, v->second.data))
        return ::testing::AssertionFailure() << "data of [" << path << "] \"" << name
                                             << "\": " << Hex(value.data) << "became "
                                             << Hex(v->second.data);
    }
    if (it->second.size() != values.size())
      return ::testing::AssertionFailure() << "[" << path << "] has " << it->second.size()
                                           << " values, expected " << values.size();
  }
  if (after.size() != before.size())
    return ::testing::AssertionFailure() << after.size() << " keys, expected " << before.size();
  return ::testing::AssertionSuccess();
}

inline ::testing::AssertionResult SnapshotsMatch(const Snapshot& before, const Snapshot& after) {
  return SnapshotsMatch(before, after,
                        [](uint32_t, const std::string& a, const std::string& b) { return a == b; });
}

}  // namespace tallowin::testing_support
