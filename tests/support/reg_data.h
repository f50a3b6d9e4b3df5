#pragma once
// Registry string data for tests: UTF-16LE bytes, as the wide functions store them.

#include <string>
#include <string_view>

#include "platform/text.h"

namespace tallowin::testing_support {

// `text` (UTF-8, NULs allowed) as UTF-16LE bytes; nothing is added.
inline std::string Utf16Data(std::string_view text) { return Utf16LeBytes(Utf8ToUtf16(text)); }

}  // namespace tallowin::testing_support
