#include "ui/jpeg_image.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <jpeglib.h>

namespace tallowin {
namespace {

struct Rgb {
  uint8_t r, g, b;
};

struct EncodeOptions {
  int components = 3;  // 1 grey, 3 RGB, 4 CMYK
  bool progressive = false;
};

// Test pictures made by libjpeg's own encoder; fill(x, y) gives each pixel.
std::vector<uint8_t> Encode(int width, int height, const std::function<Rgb(int, int)>& fill,
                            EncodeOptions options = {}) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.input_components = options.components;
  cinfo.in_color_space = options.components == 1   ? JCS_GRAYSCALE
                         : options.components == 4 ? JCS_CMYK
                                                   : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  if (options.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(width * options.components));
  while (cinfo.next_scanline < cinfo.image_height) {
    const int y = static_cast<int>(cinfo.next_scanline);
    for (int x = 0; x < width; ++x) {
      const Rgb c = fill(x, y);
      uint8_t* p = &row[static_cast<size_t>(x * options.components)];
      if (options.components == 1) {
        p[0] = c.r;
      } else if (options.components == 4) {
        p[0] = c.r; p[1] = c.g; p[2] = c.b; p[3] = 0;
      } else {
        p[0] = c.r; p[1] = c.g; p[2] = c.b;
      }
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&cinfo, rows, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> out(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return out;
}

std::vector<uint8_t> Solid(int width, int height, Rgb colour, EncodeOptions options = {}) {
  return Encode(width, height, [colour](int, int) { return colour; }, options);
}

JpegResult Decode(const std::vector<uint8_t>& bytes, const JpegLimits& limits = {}) {
  return DecodeJpeg(bytes.data(), bytes.size(), limits);
}

// The pixel at (x, y) is within `tolerance` of B, G, R and opaque.
testing::AssertionResult PixelNear(const Image& image, int x, int y, Rgb want, int tolerance = 3) {
  const size_t at = (static_cast<size_t>(y) * static_cast<size_t>(image.width) + static_cast<size_t>(x)) * 4;
  if (at + 4 > image.pixels.size()) return testing::AssertionFailure() << "pixel outside the image";
  const uint8_t* p = &image.pixels[at];
  const bool near = std::abs(p[0] - want.b) <= tolerance && std::abs(p[1] - want.g) <= tolerance &&
                    std::abs(p[2] - want.r) <= tolerance && p[3] == 255;
  if (near) return testing::AssertionSuccess();
  return testing::AssertionFailure() << "pixel (" << x << ", " << y << ") is BGRA " << int{p[0]} << ","
                                     << int{p[1]} << "," << int{p[2]} << "," << int{p[3]} << ", want "
                                     << int{want.b} << "," << int{want.g} << "," << int{want.r} << ",255";
}

// Offset of the frame header's height field (SOF0..SOF2), or 0.
size_t FrameSizeOffset(const std::vector<uint8_t>& jpeg) {
  for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
    if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC1 || jpeg[i + 1] == 0xC2)) return i + 5;
  }
  return 0;
}

void SetFrameSize(std::vector<uint8_t>& jpeg, int width, int height) {
  const size_t at = FrameSizeOffset(jpeg);
  ASSERT_NE(at, 0u) << "no frame header";
  jpeg[at] = static_cast<uint8_t>(height >> 8);
  jpeg[at + 1] = static_cast<uint8_t>(height);
  jpeg[at + 2] = static_cast<uint8_t>(width >> 8);
  jpeg[at + 3] = static_cast<uint8_t>(width);
}

TEST(DecodeJpeg, Baseline_ColourBecomesBgraTopDown) {
  // Top half orange, bottom half blue: a bottom-up or RGB-ordered result shows here.
  const Rgb top{230, 120, 20}, bottom{20, 60, 200};
  auto jpeg = Encode(40, 24, [&](int, int y) { return y < 12 ? top : bottom; });
  const JpegResult r = Decode(jpeg);
  ASSERT_TRUE(r.ok()) << r.error;
  EXPECT_TRUE(r.error.empty());
  EXPECT_EQ(r.image.width, 40);
  EXPECT_EQ(r.image.height, 24);
  ASSERT_EQ(r.image.pixels.size(), 40u * 24u * 4u);
  EXPECT_TRUE(PixelNear(r.image, 3, 2, top));
  EXPECT_TRUE(PixelNear(r.image, 39, 0, top));
  EXPECT_TRUE(PixelNear(r.image, 0, 23, bottom));
  EXPECT_TRUE(PixelNear(r.image, 36, 21, bottom));
}

TEST(DecodeJpeg, OddSizesGreyAndProgressive) {
  struct Case {
    const char* name;
    int width, height;
    EncodeOptions options;
  };
  const Case cases[] = {
      {"one pixel", 1, 1, {}},
      {"not a multiple of the block size", 17, 9, {}},
      {"grey", 31, 5, {1, false}},
      {"progressive", 62, 31, {3, true}},
      {"progressive grey", 8, 40, {1, true}},
  };
  const Rgb colour{90, 160, 40};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Rgb want = c.options.components == 1 ? Rgb{90, 90, 90} : colour;
    const JpegResult r = Decode(Solid(c.width, c.height, c.options.components == 1 ? Rgb{90, 0, 0} : colour, c.options));
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.image.width, c.width);
    EXPECT_EQ(r.image.height, c.height);
    EXPECT_TRUE(PixelNear(r.image, c.width - 1, c.height - 1, want, 4));
  }
}

TEST(DecodeJpeg, NothingToDecode) {
  const uint8_t byte = 0xFF;
  EXPECT_EQ(DecodeJpeg(nullptr, 0).status, JpegStatus::kEmpty);
  EXPECT_EQ(DecodeJpeg(&byte, 0).status, JpegStatus::kEmpty);
  EXPECT_EQ(DecodeJpeg(nullptr, 10).status, JpegStatus::kEmpty);
}

TEST(DecodeJpeg, NotAJpeg) {
  const std::vector<std::vector<uint8_t>> inputs = {
      {0xFF},
      {0xFF, 0xD8},
      {0xFF, 0xD8, 0xFF, 0xD9},  // start and end, nothing between
      {'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0},
      {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'},
  };
  for (const auto& in : inputs) {
    SCOPED_TRACE(testing::PrintToString(in));
    const JpegResult r = Decode(in);
    EXPECT_EQ(r.status, JpegStatus::kCorrupt);
    EXPECT_FALSE(r.error.empty());
    EXPECT_TRUE(r.image.pixels.empty());
  }
}

TEST(DecodeJpeg, EveryTruncationIsAnError) {
  for (const bool progressive : {false, true}) {
    SCOPED_TRACE(progressive ? "progressive" : "baseline");
    const auto jpeg = Encode(33, 20, [](int x, int y) {
      return Rgb{static_cast<uint8_t>(x * 7), static_cast<uint8_t>(y * 11), static_cast<uint8_t>(x ^ y)};
    }, {3, progressive});
    for (size_t cut = 1; cut < jpeg.size(); ++cut) {
      const JpegResult r = DecodeJpeg(jpeg.data(), cut);
      ASSERT_FALSE(r.ok()) << "cut to " << cut << " of " << jpeg.size() << " bytes decoded";
      ASSERT_EQ(r.status, JpegStatus::kCorrupt) << "cut " << cut;
      ASSERT_FALSE(r.error.empty()) << "cut " << cut;
      ASSERT_TRUE(r.image.pixels.empty()) << "cut " << cut;
    }
    EXPECT_TRUE(Decode(jpeg).ok());
  }
}

TEST(DecodeJpeg, HugeDimensionsInTheHeaderAllocateNothing) {
  auto jpeg = Solid(16, 16, {1, 2, 3});
  struct Case {
    int width, height;
  };
  // 65500 x 65500 would be 16 GB of pixels; 4000 x 4096 is within each side but not the count.
  for (const Case c : {Case{65500, 65500}, Case{65500, 1}, Case{1, 5000}, Case{4000, 4096}}) {
    SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height));
    SetFrameSize(jpeg, c.width, c.height);
    const JpegResult r = Decode(jpeg);
    EXPECT_EQ(r.status, JpegStatus::kTooLarge);
    EXPECT_NE(r.error.find("larger than allowed"), std::string::npos) << r.error;
  }
  SetFrameSize(jpeg, 0, 16);
  EXPECT_EQ(Decode(jpeg).status, JpegStatus::kCorrupt);
}

TEST(DecodeJpeg, CallersLimitsHold) {
  const auto jpeg = Solid(100, 50, {10, 20, 30});
  JpegLimits limits;
  limits.maxSide = 99;
  EXPECT_EQ(Decode(jpeg, limits).status, JpegStatus::kTooLarge);
  limits.maxSide = 100;
  EXPECT_TRUE(Decode(jpeg, limits).ok());
  limits.maxPixels = 100 * 50 - 1;
  EXPECT_EQ(Decode(jpeg, limits).status, JpegStatus::kTooLarge);
  limits = {};
  limits.maxFileBytes = jpeg.size() - 1;
  EXPECT_EQ(Decode(jpeg, limits).status, JpegStatus::kTooLarge);
}

TEST(DecodeJpeg, EndlessProgressiveScansStop) {
  const auto jpeg = Solid(24, 24, {5, 5, 5}, {3, true});  // the simple progression has 10 scans
  JpegLimits limits;
  limits.maxScans = 3;
  const JpegResult r = Decode(jpeg, limits);
  EXPECT_EQ(r.status, JpegStatus::kTooLarge);
  EXPECT_NE(r.error.find("scans"), std::string::npos) << r.error;
  limits.maxScans = 10;
  EXPECT_TRUE(Decode(jpeg, limits).ok());
}

TEST(DecodeJpeg, CmykIsRefusedWithAReason) {
  const JpegResult r = Decode(Solid(8, 8, {0, 0, 0}, {4, false}));
  EXPECT_EQ(r.status, JpegStatus::kCorrupt);
  EXPECT_FALSE(r.error.empty());
}

TEST(DecodeJpeg, RandomBytesAndFlippedBytes) {
  std::mt19937 random(20240527);
  std::uniform_int_distribution<int> byte(0, 255);
  const auto good = Encode(48, 40, [](int x, int y) {
    return Rgb{static_cast<uint8_t>(x * 5), static_cast<uint8_t>(y * 6), 128};
  }, {3, true});
  int refused = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> in;
    if (round % 3 == 0) {
      // Plain noise, sometimes behind a start-of-image marker so the header parser runs.
      in.resize(static_cast<size_t>(1 + round % 700));
      for (auto& b : in) b = static_cast<uint8_t>(byte(random));
      if (round % 2 == 0 && in.size() > 2) in[0] = 0xFF, in[1] = 0xD8;
    } else {
      in = good;
      const int flips = 1 + round % 8;
      for (int i = 0; i < flips; ++i) {
        in[std::uniform_int_distribution<size_t>(0, in.size() - 1)(random)] = static_cast<uint8_t>(byte(random));
      }
    }
    const JpegResult r = Decode(in);
    if (r.ok()) {
      // Damaged entropy data can still decode; the result must then be a whole picture.
      ASSERT_GT(r.image.width, 0);
      ASSERT_EQ(r.image.pixels.size(), static_cast<size_t>(r.image.width) * static_cast<size_t>(r.image.height) * 4);
    } else {
      ++refused;
      ASSERT_FALSE(r.error.empty()) << "round " << round;
      ASSERT_TRUE(r.image.pixels.empty()) << "round " << round;
    }
  }
  EXPECT_GT(refused, 1000);  // all noise and most damaged files
}

}  // namespace
}  // namespace tallowin
