#pragma once
// UTF-8 inside, UTF-16 for the wide functions: the one place text crosses the boundary.

#include <string>
#include <string_view>

#include "platform/text.h"

namespace tallowin::platform::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

inline std::wstring Wide(std::string_view utf8) {
  const std::u16string units = Utf8ToUtf16(utf8);
  return std::wstring(units.begin(), units.end());
}

inline std::string Narrow(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

inline std::string Narrow(const wchar_t* wide) { return Narrow(std::wstring_view(wide)); }

}  // namespace tallowin::platform::win32
