#include "ui/shift_image.h"

#include <windowsx.h>

namespace tallowin::ui {

void OwnedPicture::AssignIcon(HICON icon) {
  Clear();
  if (icon != nullptr) icon_ = CopyIcon(icon);
}

void OwnedPicture::AssignBitmap(HBITMAP bitmap) {
  Clear();
  if (bitmap != nullptr)
    bitmap_ = static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void OwnedPicture::Assign(const OwnedPicture& other) {
  if (&other == this) return;
  if (other.icon_ != nullptr) {
    AssignIcon(other.icon_);
  } else if (other.bitmap_ != nullptr) {
    AssignBitmap(other.bitmap_);
  } else {
    Clear();
  }
}

void OwnedPicture::Clear() {
  if (icon_ != nullptr) DestroyIcon(icon_);
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  icon_ = nullptr;
  bitmap_ = nullptr;
}

void OwnedPicture::Draw(HDC dc, int x, int y) const {
  if (icon_ != nullptr) {
    DrawIconEx(dc, x, y, icon_, 0, 0, 0, nullptr, DI_NORMAL);
  } else if (bitmap_ != nullptr) {
    BITMAP info{};
    GetObjectW(bitmap_, sizeof info, &info);
    HDC memory = CreateCompatibleDC(dc);
    HGDIOBJ old = SelectObject(memory, bitmap_);
    BitBlt(dc, x, y, info.bmWidth, info.bmHeight, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
  }
}

bool TShiftImage::CreateControl(HWND parent, int id, int x, int y, int width, int height) {
  if (!Create(L"TallowinTShiftImage", WS_CHILD | WS_VISIBLE, 0, parent, "", width, height))
    return false;
  SetWindowLongPtrW(hwnd_, GWLP_ID, id);
  SetWindowPos(hwnd_, nullptr, Scale(x), Scale(y), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

void TShiftImage::Repaint() {
  if (hwnd_ != nullptr) InvalidateRect(hwnd_, nullptr, TRUE);
}

void TShiftImage::MouseEnter() {
  if (OnMouseEnter) OnMouseEnter(*this);
  if (IsWindowEnabled(hwnd_)) {
    Picture.Assign(FocusedPicture);
    Repaint();
  }
}

void TShiftImage::MouseLeave() {
  if (OnMouseLeave) OnMouseLeave(*this);
  if (IsWindowEnabled(hwnd_)) {
    Picture.Assign(NoFocusedPicture);
    Repaint();
  }
}

void TShiftImage::Shift(int by) {
  RECT place{};
  GetWindowRect(hwnd_, &place);
  MapWindowPoints(nullptr, GetParent(hwnd_), reinterpret_cast<POINT*>(&place), 2);
  SetWindowPos(hwnd_, nullptr, place.left + Scale(by), place.top + Scale(by), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT TShiftImage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(hwnd_, &paint);
      Picture.Draw(dc, 0, 0);
      EndPaint(hwnd_, &paint);
      return 0;
    }
    case WM_ERASEBKGND: {
      RECT client{};
      GetClientRect(hwnd_, &client);
      FillRect(reinterpret_cast<HDC>(wParam), &client, GetSysColorBrush(COLOR_BTNFACE));
      return 1;
    }
    case WM_SETCURSOR:
      SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
      return TRUE;
    case WM_MOUSEMOVE:
      if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
        tracking_ = TrackMouseEvent(&track) != FALSE;
        MouseEnter();
      }
      return 0;
    case WM_MOUSELEAVE:
      tracking_ = false;
      MouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONDBLCLK:
      if (!pressed_) {
        pressed_ = true;
        leftPressed_ = message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK;
        SetCapture(hwnd_);
        Shift(2);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
      if (!pressed_) return 0;
      RECT client{};
      GetClientRect(hwnd_, &client);
      const POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      const bool click = leftPressed_ && message == WM_LBUTTONUP && PtInRect(&client, at);
      pressed_ = false;
      ReleaseCapture();
      Shift(-2);
      if (click && OnClick) OnClick(*this);
      return 0;
    }
    case WM_CAPTURECHANGED:
      // Capture taken away while pressed (a message box, Alt+Tab): back into place.
      if (pressed_) {
        pressed_ = false;
        Shift(-2);
      }
      return 0;
    default:
      return DefaultHandling(message, wParam, lParam);
  }
}

}  // namespace tallowin::ui
