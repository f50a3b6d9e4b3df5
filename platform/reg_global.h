#pragma once
// The small routines every layer shares: the OS version code, the two-digit
// formatter and ROT13. Pure functions, plus the probe over the platform.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/system.h"

namespace tallowin {

inline constexpr const char* kProductName = "Tallowin";
inline constexpr const char* kVersionText = "2.8";

// The classification over platform id, major and minor version.
uint8_t ClassifyWindowsVersion(uint32_t platformId, uint32_t major, uint32_t minor);
// Probes the running system.
uint8_t GetWindowsVersionCode(platform::System& system);
// Windows NT 6.0 (Vista) or later, Windows 10 and 11 included: their codes (11, 12, and
// 10 shared with Server 2003) do not tell.
inline bool IsNtSixOrLater(const platform::OsVersion& version) {
  return version.platformId == 2 && version.major >= 6;
}
bool IsRunningUnderWow64(platform::System& system);

std::string TwoDigits(int32_t n);
std::string Rot13(std::string_view text);

}  // namespace tallowin
