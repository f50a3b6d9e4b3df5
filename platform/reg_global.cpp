#include "platform/reg_global.h"

namespace tallowin {

uint8_t ClassifyWindowsVersion(uint32_t platformId, uint32_t major, uint32_t minor) {
  if (platformId == 2) {
    uint8_t code = 10;
    switch (major) {
      case 3: code = 5; break;
      case 4: code = 6; break;
      case 5: code = 7; break;
      case 6: code = 11; break;
      default: break;
    }
    if (major == 5 && minor == 1) code = 9;
    if (major == 5 && minor == 2) code = 10;
    if (major == 6 && minor == 1) code = 12;
    return code;
  }
  if (major == 4 && minor == 0) return 1;
  if (major == 4 && minor == 10) return 3;
  if (major == 4 && minor == 90) return 8;
  return 10;
}

uint8_t GetWindowsVersionCode(platform::System& system) {
  const platform::OsVersion v = system.Version();
  return ClassifyWindowsVersion(v.platformId, v.major, v.minor);
}

bool IsRunningUnderWow64(platform::System& system) { return system.IsWow64(); }

std::string TwoDigits(int32_t n) {
  return n > 9 ? std::to_string(n) : "0" + std::to_string(n);
}

std::string Rot13(std::string_view text) {
  static constexpr char kUpper[] = "NOPQRSTUVWXYZABCDEFGHIJKLM";
  static constexpr char kLower[] = "nopqrstuvwxyzabcdefghijklm";
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = kUpper[c - 'A'];
    else if (c >= 'a' && c <= 'z') c = kLower[c - 'a'];
  }
  return out;
}

}  // namespace tallowin
