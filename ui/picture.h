#pragma once
// The pictures and icons of the program's resources, each owned by one object.

#include <windows.h>

#include <string>

#include "ui/jpeg_image.h"
#include "platform/win32/win32_handles.h"

namespace tallowin::ui {

struct BitmapTraits {
  using Type = HBITMAP;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::DeleteObject(h); }
};

struct IconTraits {
  using Type = HICON;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::DestroyIcon(h); }
};

using UniqueIcon = platform::win32::UniqueHandle<IconTraits>;

// A decoded picture held as a 32-bit top-down DIB section. Move-only; a moved-from or
// failed picture is empty (no bitmap, size 0 x 0).
class Picture {
 public:
  Picture() = default;
  Picture(Picture&& other) noexcept;
  Picture& operator=(Picture&& other) noexcept;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  // The JPEG held in RCDATA resource `id` of `module`. Empty on failure; `error` (when
  // given) then says why.
  [[nodiscard]] static Picture FromJpegResource(HMODULE module, int id, std::string* error = nullptr);
  [[nodiscard]] static Picture FromJpeg(const void* data, size_t size, std::string* error = nullptr);
  [[nodiscard]] static Picture FromImage(const Image& image, std::string* error = nullptr);

  // A copy resampled to `width` x `height` (for sizes scaled by the DPI); empty on failure.
  [[nodiscard]] Picture Scaled(int width, int height) const;

  // Draws the whole picture into `dest`, resampled when the sizes differ.
  void Draw(HDC dc, const RECT& dest) const;

  explicit operator bool() const { return static_cast<bool>(bitmap_); }
  HBITMAP bitmap() const { return bitmap_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  // The pixels, B, G, R, A per pixel, rows top-down; null when empty.
  const uint8_t* pixels() const { return bits_; }

 private:
  platform::win32::UniqueHandle<BitmapTraits> bitmap_;
  const uint8_t* bits_ = nullptr;  // owned by bitmap_
  int width_ = 0;
  int height_ = 0;
};

// Icon `id` of `module` at `size` x `size` pixels: the nearest size of the icon group,
// scaled when none matches. Empty when the resource is missing.
[[nodiscard]] UniqueIcon LoadIconResource(HMODULE module, int id, int size);

}  // namespace tallowin::ui
