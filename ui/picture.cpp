#include "ui/picture.h"

#include <cstring>
#include <utility>

namespace tallowin::ui {
namespace {

void SetError(std::string* error, std::string text) {
  if (error != nullptr) *error = std::move(text);
}

// A device context compatible with the screen, deleted with this object.
class MemoryDc {
 public:
  MemoryDc() : dc_(CreateCompatibleDC(nullptr)) {}
  ~MemoryDc() {
    if (dc_ != nullptr) DeleteDC(dc_);
  }
  MemoryDc(const MemoryDc&) = delete;
  MemoryDc& operator=(const MemoryDc&) = delete;
  HDC get() const { return dc_; }

 private:
  HDC dc_;
};

// Selects `object` into `dc` for the lifetime of this object.
class Selection {
 public:
  Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
  ~Selection() {
    if (old_ != nullptr && old_ != HGDI_ERROR) SelectObject(dc_, old_);
  }
  Selection(const Selection&) = delete;
  Selection& operator=(const Selection&) = delete;
  bool ok() const { return old_ != nullptr && old_ != HGDI_ERROR; }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

void StretchInto(HDC dc, const RECT& dest, HDC source, int width, int height) {
  const int destWidth = dest.right - dest.left;
  const int destHeight = dest.bottom - dest.top;
  if (destWidth == width && destHeight == height) {
    BitBlt(dc, dest.left, dest.top, width, height, source, 0, 0, SRCCOPY);
    return;
  }
  // HALFTONE averages the source pixels; the brush origin must be reset after setting it.
  const int oldMode = SetStretchBltMode(dc, HALFTONE);
  POINT oldOrigin;
  SetBrushOrgEx(dc, 0, 0, &oldOrigin);
  StretchBlt(dc, dest.left, dest.top, destWidth, destHeight, source, 0, 0, width, height, SRCCOPY);
  SetBrushOrgEx(dc, oldOrigin.x, oldOrigin.y, nullptr);
  if (oldMode != 0) SetStretchBltMode(dc, oldMode);
}

// An empty 32-bit top-down DIB section; `bits` receives its pixels.
HBITMAP NewDibSection(int width, int height, void** bits) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // negative: rows top-down, as Image keeps them
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

}  // namespace

Picture::Picture(Picture&& other) noexcept
    : bitmap_(std::move(other.bitmap_)),
      bits_(std::exchange(other.bits_, nullptr)),
      width_(std::exchange(other.width_, 0)),
      height_(std::exchange(other.height_, 0)) {}

Picture& Picture::operator=(Picture&& other) noexcept {
  if (this != &other) {
    bitmap_ = std::move(other.bitmap_);
    bits_ = std::exchange(other.bits_, nullptr);
    width_ = std::exchange(other.width_, 0);
    height_ = std::exchange(other.height_, 0);
  }
  return *this;
}

Picture Picture::FromJpegResource(HMODULE module, int id, std::string* error) {
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
  if (found == nullptr) {
    SetError(error, "no picture resource " + std::to_string(id));
    return {};
  }
  // Resource memory belongs to the module: nothing to free.
  HGLOBAL loaded = LoadResource(module, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(module, found);
  if (data == nullptr) {
    SetError(error, "picture resource " + std::to_string(id) + " cannot be loaded");
    return {};
  }
  std::string why;
  Picture picture = FromJpeg(data, size, &why);
  if (!picture) SetError(error, "picture resource " + std::to_string(id) + ": " + why);
  return picture;
}

Picture Picture::FromJpeg(const void* data, size_t size, std::string* error) {
  const JpegResult decoded = DecodeJpeg(static_cast<const uint8_t*>(data), size);
  if (!decoded.ok()) {
    SetError(error, decoded.error);
    return {};
  }
  return FromImage(decoded.image, error);
}

Picture Picture::FromImage(const Image& image, std::string* error) {
  const size_t bytes = static_cast<size_t>(image.width) * static_cast<size_t>(image.height) * 4;
  if (image.width <= 0 || image.height <= 0 || image.pixels.size() != bytes) {
    SetError(error, "not a whole picture");
    return {};
  }
  void* bits = nullptr;
  Picture picture;
  picture.bitmap_.reset(NewDibSection(image.width, image.height, &bits));
  if (!picture.bitmap_ || bits == nullptr) {
    SetError(error, "no memory for a bitmap of " + std::to_string(image.width) + " x " +
                        std::to_string(image.height));
    return {};
  }
  // A 32-bit DIB row is already DWORD-aligned: the layouts match byte for byte.
  std::memcpy(bits, image.pixels.data(), bytes);
  picture.bits_ = static_cast<const uint8_t*>(bits);
  picture.width_ = image.width;
  picture.height_ = image.height;
  return picture;
}

Picture Picture::Scaled(int width, int height) const {
  if (!bitmap_ || width <= 0 || height <= 0) return {};
  void* bits = nullptr;
  Picture scaled;
  scaled.bitmap_.reset(NewDibSection(width, height, &bits));
  if (!scaled.bitmap_ || bits == nullptr) return {};
  MemoryDc target;
  Selection selected(target.get(), scaled.bitmap_.get());
  if (!selected.ok()) return {};
  Draw(target.get(), RECT{0, 0, width, height});
  GdiFlush();  // the pixels are touched directly from here on
  // Resampling may leave the alpha bytes zero; the pictures are opaque.
  auto* pixel = static_cast<uint8_t*>(bits);
  for (size_t i = 3; i < static_cast<size_t>(width) * static_cast<size_t>(height) * 4; i += 4) pixel[i] = 255;
  scaled.bits_ = static_cast<const uint8_t*>(bits);
  scaled.width_ = width;
  scaled.height_ = height;
  return scaled;
}

void Picture::Draw(HDC dc, const RECT& dest) const {
  if (!bitmap_) return;
  MemoryDc source;
  Selection selected(source.get(), bitmap_.get());
  if (!selected.ok()) return;
  StretchInto(dc, dest, source.get(), width_, height_);
}

UniqueIcon LoadIconResource(HMODULE module, int id, int size) {
  return UniqueIcon(static_cast<HICON>(
      LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

}  // namespace tallowin::ui
