#include "ui/jpeg_image.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

#include <jpeglib.h>

namespace tallowin {
namespace {

// libjpeg's default error handler ends the process; ours jumps back to the decode call.
// Warnings (damaged or missing data the library would paper over with grey) jump too.
struct ErrorManager {
  jpeg_error_mgr pub;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
  bool tooManyScans;
};

struct Progress {
  jpeg_progress_mgr pub;
  int maxScans;
};

[[noreturn]] void FailWithMessage(j_common_ptr cinfo) {
  auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
  cinfo->err->format_message(cinfo, err->message);
  std::longjmp(err->jump, 1);
}

void OnError(j_common_ptr cinfo) { FailWithMessage(cinfo); }

void OnMessage(j_common_ptr cinfo, int level) {
  if (level < 0) FailWithMessage(cinfo);
}

void OnProgress(j_common_ptr cinfo) {
  if (!cinfo->is_decompressor) return;
  auto* progress = reinterpret_cast<Progress*>(cinfo->progress);
  auto* dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (dinfo->input_scan_number > progress->maxScans) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    err->tooManyScans = true;
    std::snprintf(err->message, sizeof err->message, "more than %d scans", progress->maxScans);
    std::longjmp(err->jump, 1);
  }
}

JpegResult Failure(JpegStatus status, std::string error) {
  JpegResult result;
  result.status = status;
  result.error = std::move(error);
  return result;
}

// Everything that lives across setjmp is in `cinfo`, `err` or `out`, none of them a local
// of this function, and no C++ object is constructed between setjmp and a longjmp.
JpegStatus Decode(jpeg_decompress_struct& cinfo, ErrorManager& err, Progress& progress,
                  const uint8_t* data, size_t size, const JpegLimits& limits, Image& out,
                  std::vector<JSAMPROW>& rows, std::string& error) {
  if (setjmp(err.jump)) {
    error = err.message;
    return err.tooManyScans ? JpegStatus::kTooLarge : JpegStatus::kCorrupt;
  }
  jpeg_create_decompress(&cinfo);
  cinfo.progress = &progress.pub;
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    error = "no image in the file";
    return JpegStatus::kCorrupt;
  }
  const int64_t width = cinfo.image_width;
  const int64_t height = cinfo.image_height;
  if (width > limits.maxSide || height > limits.maxSide || width * height > limits.maxPixels) {
    error = "picture of " + std::to_string(width) + " x " + std::to_string(height) +
            " pixels is larger than allowed";
    return JpegStatus::kTooLarge;
  }
  cinfo.out_color_space = JCS_EXT_BGRA;
  // Progressive files keep every coefficient in memory; never more than this.
  cinfo.mem->max_memory_to_use = static_cast<long>(width * height * 16 + (long{8} << 20));
  jpeg_start_decompress(&cinfo);
  if (cinfo.output_components != 4 || cinfo.output_width != cinfo.image_width ||
      cinfo.output_height != cinfo.image_height) {
    error = "unexpected output format";
    return JpegStatus::kCorrupt;
  }
  out.width = static_cast<int>(width);
  out.height = static_cast<int>(height);
  const size_t stride = static_cast<size_t>(width) * 4;
  out.pixels.resize(stride * static_cast<size_t>(height));
  rows.resize(static_cast<size_t>(height));
  for (size_t y = 0; y < rows.size(); ++y) rows[y] = out.pixels.data() + y * stride;
  while (cinfo.output_scanline < cinfo.output_height) {
    const JDIMENSION read =
        jpeg_read_scanlines(&cinfo, rows.data() + cinfo.output_scanline,
                            cinfo.output_height - cinfo.output_scanline);
    if (read == 0) {  // only a suspending source returns nothing; ours never should
      error = "the decoder made no progress";
      return JpegStatus::kCorrupt;
    }
  }
  jpeg_finish_decompress(&cinfo);
  return JpegStatus::kOk;
}

}  // namespace

JpegResult DecodeJpeg(const uint8_t* data, size_t size, const JpegLimits& limits) {
  if (data == nullptr || size == 0) return Failure(JpegStatus::kEmpty, "the file is empty");
  if (size > limits.maxFileBytes || size > std::numeric_limits<unsigned long>::max()) {
    return Failure(JpegStatus::kTooLarge, "the file is larger than allowed");
  }
  jpeg_decompress_struct cinfo;
  std::memset(&cinfo, 0, sizeof cinfo);
  ErrorManager err;
  std::memset(&err, 0, sizeof err);
  cinfo.err = jpeg_std_error(&err.pub);
  err.pub.error_exit = OnError;
  err.pub.emit_message = OnMessage;
  Progress progress;
  std::memset(&progress, 0, sizeof progress);
  progress.pub.progress_monitor = OnProgress;
  progress.maxScans = limits.maxScans;

  JpegResult result;
  std::vector<JSAMPROW> rows;
  std::string error;
  try {
    result.status = Decode(cinfo, err, progress, data, size, limits, result.image, rows, error);
  } catch (const std::bad_alloc&) {
    result.status = JpegStatus::kTooLarge;
    error = "not enough memory for the picture";
  }
  jpeg_destroy_decompress(&cinfo);
  if (!result.ok()) {
    result.error = error.empty() ? "the picture cannot be decoded" : std::move(error);
    result.image = Image{};
  }
  return result;
}

}  // namespace tallowin
