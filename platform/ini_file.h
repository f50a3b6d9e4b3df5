#pragma once
// Private-profile access to one INI file: case-insensitive sections and keys, values
// read up to 2047 characters, in-place replacement, new keys at the end of their section.

#include <string>
#include <string_view>

namespace tallowin::platform {

class IniFile {
 public:
  virtual ~IniFile() = default;
  // The value, or `defaultValue` when the section or key is missing.
  virtual std::string Read(std::string_view section, std::string_view key,
                           std::string_view defaultValue) = 0;
  [[nodiscard]] virtual bool Write(std::string_view section, std::string_view key,
                                   std::string_view value) = 0;
};

}  // namespace tallowin::platform
