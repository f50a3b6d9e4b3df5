#pragma once
// Registry data for tests: strings as UTF-16LE bytes, as the wide functions store them,
// and numbers.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace tallowin::testing_support {

// `text` (UTF-8, NULs allowed) as UTF-16LE bytes; nothing is added.
inline std::string Utf16Data(std::string_view text) { return Utf16LeBytes(Utf8ToUtf16(text)); }

// REG_DWORD data: four bytes, least significant first.
inline std::string Dword(uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return data;
}

}  // namespace tallowin::testing_support
