#pragma once
// An image control that shows another picture while the mouse is over it and moves
// 2 pixels right and down while a mouse button is pressed, like a pushed button.

#include <functional>

#include "ui/window.h"

namespace tallowin::ui {

// An owned copy of an icon or a bitmap (or nothing).
class OwnedPicture {
 public:
  OwnedPicture() = default;
  ~OwnedPicture() { Clear(); }
  OwnedPicture(const OwnedPicture&) = delete;
  OwnedPicture& operator=(const OwnedPicture&) = delete;

  // Copies; the caller keeps its own handle.
  void AssignIcon(HICON icon);
  void AssignBitmap(HBITMAP bitmap);
  void Assign(const OwnedPicture& other);
  void Clear();

  bool empty() const { return icon_ == nullptr && bitmap_ == nullptr; }
  HICON icon() const { return icon_; }
  HBITMAP bitmap() const { return bitmap_; }
  // Draws at (x, y) in its own size.
  void Draw(HDC dc, int x, int y) const;

 private:
  HICON icon_ = nullptr;
  HBITMAP bitmap_ = nullptr;
};

class TShiftImage : public Window {
 public:
  using Event = std::function<void(TShiftImage& sender)>;

  // Creates the control on `parent`: position and size in 96-DPI pixels, hand cursor.
  bool CreateControl(HWND parent, int id, int x, int y, int width, int height);

  OwnedPicture FocusedPicture;    // shown while the mouse is over the control
  OwnedPicture NoFocusedPicture;  // shown after the mouse has left it
  OwnedPicture Picture;           // shown now
  Event OnMouseEnter;
  Event OnMouseLeave;
  Event OnClick;

  // Shows the current Picture again after it was changed.
  void Repaint();
  bool MouseInside() const { return tracking_; }

 protected:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  void MouseEnter();
  void MouseLeave();
  void Shift(int by);

  bool tracking_ = false;
  bool pressed_ = false;
  bool leftPressed_ = false;
};

}  // namespace tallowin::ui
