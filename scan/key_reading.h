#pragma once
// How the categories read the registry: string values (only REG_SZ and
// REG_EXPAND_SZ, unexpanded, up to the first NUL), sub-key lists and key names.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace tallowin {

inline bool IsTextValue(const platform::RegValue& value) {
  return value.type == platform::kRegSz || value.type == platform::kRegExpandSz;
}

inline std::string ValueText(const platform::RegValue& value) {
  return TextFromRegData(value.data);
}

inline bool HasBackslash(std::string_view text) {
  return text.find('\\') != std::string_view::npos;
}

}  // namespace tallowin

namespace tallowin::keyread {

// The registry allows 512 levels; deeper chains are not followed.
inline constexpr int kMaxKeyDepth = 512;

// Text of a string value up to its first NUL. False when the value is missing or
// not REG_SZ / REG_EXPAND_SZ; `text` is untouched then.
inline bool ReadText(platform::RegistryKey& key, std::string_view name, std::string& text) {
  platform::RegValue value;
  if (key.QueryValue(name, value) != platform::kSuccess || !IsTextValue(value)) return false;
  text = ValueText(value);
  return true;
}

// The whole sub-key name list; false when the enumeration did not finish.
inline bool ReadSubKeyNames(platform::RegistryKey& key, std::vector<std::string>& names) {
  names.clear();
  return key.SubKeyNames(names) == platform::kSuccess;
}

inline std::string WithBackslash(std::string path) {
  if (path.empty() || path.back() != '\\') path += '\\';
  return path;
}

inline std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

// Key names, upper-cased once, searched for references: a name matches when the
// upper-cased reference occurs in it. An empty reference matches nothing.
class NameList {
 public:
  NameList() = default;
  explicit NameList(const std::vector<std::string>& names) {
    upper_.reserve(names.size());
    for (const std::string& name : names) upper_.push_back(AsciiUpper(name));
  }
  bool empty() const { return upper_.empty(); }
  bool AnyContains(std::string_view reference) const {
    if (reference.empty()) return false;
    const std::string wanted = AsciiUpper(reference);
    for (const std::string& name : upper_)
      if (name.find(wanted) != std::string::npos) return true;
    return false;
  }
  bool AnyEquals(std::string_view name) const {
    const std::string wanted = AsciiUpper(name);
    for (const std::string& candidate : upper_)
      if (candidate == wanted) return true;
    return false;
  }

 private:
  std::vector<std::string> upper_;
};

}  // namespace tallowin::keyread
