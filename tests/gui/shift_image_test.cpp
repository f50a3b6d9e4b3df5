#include "ui/shift_image.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/gui/gui_driver.h"

namespace tallowin::ui {
namespace {

using namespace drive;

class Host : public Form {
 public:
  Host() {
    Create(L"TallowinTestShiftHost", WS_POPUP | WS_CAPTION, 0, nullptr, "Host", 200, 120);
    SetWindowPos(hwnd_, HWND_TOP, 100, 100, 0, 0, SWP_NOSIZE);
    image.CreateControl(hwnd_, 10, 40, 30, 32, 32);
  }
  TShiftImage image;
};

POINT Place(HWND control) {
  RECT rect{};
  GetWindowRect(control, &rect);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
  return {rect.left, rect.top};
}

TEST(TShiftImage, PressShiftsByTwoAndReleaseShiftsBackAndClicks) {
  Host host;
  int clicks = 0;
  host.image.OnClick = [&](TShiftImage&) { ++clicks; };
  const POINT start = Place(host.image.handle());
  EXPECT_EQ(start.x, Scale(40));
  EXPECT_EQ(start.y, Scale(30));
  const LPARAM inside = MAKELPARAM(5, 5);

  SendMessageW(host.image.handle(), WM_LBUTTONDOWN, MK_LBUTTON, inside);
  const POINT pressed = Place(host.image.handle());
  EXPECT_EQ(pressed.x - start.x, Scale(2));
  EXPECT_EQ(pressed.y - start.y, Scale(2));
  EXPECT_EQ(clicks, 0);
  SendMessageW(host.image.handle(), WM_LBUTTONUP, 0, inside);
  EXPECT_EQ(Place(host.image.handle()).x, start.x);
  EXPECT_EQ(Place(host.image.handle()).y, start.y);
  EXPECT_EQ(clicks, 1);

  // Released outside: it moves back without a click; the right button shifts too.
  SendMessageW(host.image.handle(), WM_LBUTTONDOWN, MK_LBUTTON, inside);
  SendMessageW(host.image.handle(), WM_LBUTTONUP, 0, MAKELPARAM(200, 200));
  SendMessageW(host.image.handle(), WM_RBUTTONDOWN, MK_RBUTTON, inside);
  EXPECT_EQ(Place(host.image.handle()).x - start.x, Scale(2));
  SendMessageW(host.image.handle(), WM_RBUTTONUP, 0, inside);
  EXPECT_EQ(Place(host.image.handle()).x, start.x);
  EXPECT_EQ(Place(host.image.handle()).y, start.y);
  EXPECT_EQ(clicks, 1);
}

// The pixels of an icon: the shown pictures are owned copies, compared by content.
std::vector<unsigned char> Pixels(HICON icon) {
  ICONINFO info{};
  if (icon == nullptr || !GetIconInfo(icon, &info)) return {};
  HBITMAP bitmap = info.hbmColor != nullptr ? info.hbmColor : info.hbmMask;
  BITMAP bits{};
  GetObjectW(bitmap, sizeof bits, &bits);
  std::vector<unsigned char> pixels(static_cast<size_t>(bits.bmWidthBytes) * bits.bmHeight);
  GetBitmapBits(bitmap, static_cast<LONG>(pixels.size()), pixels.data());
  if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels;
}

TEST(TShiftImage, HoverShowsTheFocusedPictureUntilTheMouseLeaves) {
  Host host;
  HICON normal = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));  // IDI_APPLICATION
  HICON hover = LoadIconW(nullptr, MAKEINTRESOURCEW(32515));   // IDI_WARNING
  ASSERT_NE(Pixels(normal), Pixels(hover));
  host.image.NoFocusedPicture.AssignIcon(normal);
  host.image.FocusedPicture.AssignIcon(hover);
  host.image.Picture.AssignIcon(normal);
  int enters = 0, leaves = 0;
  host.image.OnMouseEnter = [&](TShiftImage&) { ++enters; };
  host.image.OnMouseLeave = [&](TShiftImage&) { ++leaves; };
  ShowWindow(host.handle(), SW_SHOW);
  UpdateWindow(host.handle());

  RECT image{};
  GetWindowRect(host.image.handle(), &image);
  SetCursorPos(image.left + 10, image.top + 10);
  ASSERT_TRUE(WaitUntil([&] { return enters == 1; })) << "the mouse came in";
  EXPECT_EQ(Pixels(host.image.Picture.icon()), Pixels(hover));
  EXPECT_TRUE(host.image.MouseInside());
  SetCursorPos(image.right + 60, image.bottom + 60);
  ASSERT_TRUE(WaitUntil([&] { return leaves == 1; })) << "the mouse left";
  EXPECT_FALSE(host.image.MouseInside());
  EXPECT_EQ(Pixels(host.image.Picture.icon()), Pixels(normal));
  EXPECT_EQ(enters, 1);
}

}  // namespace
}  // namespace tallowin::ui
