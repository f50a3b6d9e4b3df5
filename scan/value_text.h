#pragma once
// How the value-list categories read string values: only REG_SZ and REG_EXPAND_SZ,
// unexpanded, up to the first NUL.

#include <string>
#include <string_view>

#include "platform/registry.h"

namespace tallowin {

inline bool IsTextValue(const platform::RegValue& value) {
  return value.type == platform::kRegSz || value.type == platform::kRegExpandSz;
}

inline std::string ValueText(const platform::RegValue& value) {
  return value.data.substr(0, value.data.find('\0'));
}

inline bool HasBackslash(std::string_view text) {
  return text.find('\\') != std::string_view::npos;
}

}  // namespace tallowin
