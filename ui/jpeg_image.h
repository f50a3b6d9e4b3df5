#pragma once
// JPEG decoding for the pictures the windows show. Portable: the Windows side turns the
// result into a bitmap (ui/picture.h).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tallowin {

// 32-bit pixels in B, G, R, A byte order (alpha 255), rows top-down without padding:
// the layout of a top-down 32-bit DIB section.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;  // width * height * 4 bytes
};

// Hostile or damaged files must not exhaust a 32-bit process.
struct JpegLimits {
  int maxSide = 4096;
  int64_t maxPixels = int64_t{8} * 1024 * 1024;
  size_t maxFileBytes = size_t{32} * 1024 * 1024;
  int maxScans = 256;  // progressive files with endless scans cost time, not memory
};

enum class JpegStatus {
  kOk,
  kEmpty,     // no bytes at all
  kTooLarge,  // file or dimensions beyond the limits
  kCorrupt,   // not a JPEG, truncated, damaged, or a kind this decoder does not convert
};

struct JpegResult {
  JpegStatus status = JpegStatus::kCorrupt;
  std::string error;  // why, in words; empty when ok
  Image image;        // empty unless ok

  bool ok() const { return status == JpegStatus::kOk; }
};

// Decodes a whole baseline or progressive JPEG (grey or colour). Any warning of the
// decoder (premature end, corrupt segment) is an error: a picture is shown whole or not
// at all.
[[nodiscard]] JpegResult DecodeJpeg(const uint8_t* data, size_t size, const JpegLimits& limits = {});

}  // namespace tallowin
