#include "ui/picture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ui/resource.h"
#include "ui/window.h"

namespace tallowin::ui {
namespace {

struct Rgb {
  int r, g, b;
};

// The B, G, R bytes at (x, y) within `tolerance` of `want`, alpha opaque.
testing::AssertionResult PixelNear(const Picture& p, int x, int y, Rgb want, int tolerance = 12) {
  if (p.pixels() == nullptr) return testing::AssertionFailure() << "empty picture";
  const uint8_t* px = p.pixels() + (static_cast<size_t>(y) * static_cast<size_t>(p.width()) + static_cast<size_t>(x)) * 4;
  if (std::abs(px[0] - want.b) <= tolerance && std::abs(px[1] - want.g) <= tolerance &&
      std::abs(px[2] - want.r) <= tolerance && px[3] == 255)
    return testing::AssertionSuccess();
  return testing::AssertionFailure() << "(" << x << ", " << y << ") is BGRA " << int{px[0]} << ","
                                     << int{px[1]} << "," << int{px[2]} << "," << int{px[3]};
}

std::wstring BesideTests(const wchar_t* name) {
  wchar_t path[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path, n);
  return folder.substr(0, folder.find_last_of(L"\\/") + 1) + name;
}

// Tallowin.exe's resources, opened as data beside the test runner.
class ProgramResources : public testing::Test {
 protected:
  void SetUp() override {
    exe_ = BesideTests(L"Tallowin.exe");
    module_ = LoadLibraryExW(exe_.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module_, nullptr) << "cannot open Tallowin.exe beside the tests, error " << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  // The test runner is built with the same resource script; both must carry everything.
  std::vector<HMODULE> Modules() const { return {module_, GetModuleHandleW(nullptr)}; }

  std::wstring exe_;
  HMODULE module_ = nullptr;
};

TEST_F(ProgramResources, EveryPictureDecodesAtItsSize) {
  struct Case {
    int id, width, height;
    Rgb corner;  // top-left pixel: the welcome and donation pictures have white corners
  };
  const Case cases[] = {
      {IDR_WELCOME_JPEG, 216, 216, {255, 255, 255}},
      {IDR_ABOUT_BANNER_JPEG, 331, 88, {31, 111, 139}},
      {IDR_ABOUT_DONATE_JPEG, 62, 31, {255, 255, 255}},
      {IDR_ABOUT_BANNER_DE_JPEG, 331, 88, {31, 111, 139}},
      {IDR_ABOUT_DONATE_DE_JPEG, 62, 31, {255, 255, 255}},
  };
  for (HMODULE module : Modules()) {
    for (const Case& c : cases) {
      SCOPED_TRACE("resource " + std::to_string(c.id));
      std::string error;
      const Picture p = Picture::FromJpegResource(module, c.id, &error);
      ASSERT_TRUE(p) << error;
      EXPECT_EQ(p.width(), c.width);
      EXPECT_EQ(p.height(), c.height);
      DIBSECTION dib{};
      ASSERT_EQ(GetObjectW(p.bitmap(), sizeof dib, &dib), static_cast<int>(sizeof dib));
      EXPECT_EQ(dib.dsBm.bmWidth, c.width);
      EXPECT_EQ(dib.dsBm.bmHeight, c.height);
      EXPECT_EQ(dib.dsBm.bmBitsPixel, 32);
      EXPECT_EQ(dib.dsBm.bmBits, p.pixels());
      EXPECT_TRUE(PixelNear(p, 0, 0, c.corner, 30));
    }
  }
}

TEST_F(ProgramResources, EveryIconHasItsSizes) {
  struct Case {
    int id;
    std::vector<int> sizes;
  };
  const Case cases[] = {
      {IDI_TALLOWIN, {16, 24, 32, 48}}, {IDI_UPDATE, {32, 48, 64}},      {IDI_SCAN, {32, 48, 64}},
      {IDI_CUSTOM_SCAN, {32, 48, 64}},  {IDI_BROWSE, {32, 48, 64}},      {IDI_BROWSE_HOVER, {32, 48, 64}},
  };
  for (HMODULE module : Modules()) {
    for (const Case& c : cases) {
      // Sizes of the group, and 40 (32 at 120 DPI), which is scaled from the nearest.
      std::vector<int> sizes = c.sizes;
      sizes.push_back(40);
      for (int size : sizes) {
        SCOPED_TRACE("icon " + std::to_string(c.id) + " at " + std::to_string(size));
        const UniqueIcon icon = LoadIconResource(module, c.id, size);
        ASSERT_TRUE(icon);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon.get(), &info));
        BITMAP colour{};
        const bool haveColour = info.hbmColor != nullptr && GetObjectW(info.hbmColor, sizeof colour, &colour) != 0;
        if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
        if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
        ASSERT_TRUE(haveColour);
        EXPECT_EQ(colour.bmWidth, size);
        EXPECT_EQ(colour.bmHeight, size);
      }
    }
    // The group directory itself: the sizes are there, not made up by scaling.
    HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(IDI_TALLOWIN), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    auto* dir = static_cast<const BYTE*>(LockResource(LoadResource(module, group)));
    ASSERT_NE(dir, nullptr);
    EXPECT_EQ(*reinterpret_cast<const WORD*>(dir + 4), 4) << "entries in the application icon";
    for (int size : {16, 32, 48}) {
      EXPECT_NE(LookupIconIdFromDirectoryEx(const_cast<BYTE*>(dir), TRUE, size, size, LR_DEFAULTCOLOR), 0);
    }
  }
}

TEST_F(ProgramResources, ManifestVersionAndStrings) {
  HRSRC found = FindResourceW(module_, MAKEINTRESOURCEW(1), RT_MANIFEST);
  ASSERT_NE(found, nullptr);
  const char* text = static_cast<const char*>(LockResource(LoadResource(module_, found)));
  ASSERT_NE(text, nullptr);
  const std::string manifest(text, SizeofResource(module_, found));
  for (const char* part :
       {"name=\"Microsoft.Windows.Tallowin\" version=\"1.0.0.0\" processorArchitecture=\"x86\"",
        "<description>Tallowin</description>", "level=\"requireAdministrator\" uiAccess=\"false\"",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"x86\"",
        ">true</dpiAware>"}) {
    EXPECT_NE(manifest.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(manifest.find("supportedOS"), std::string::npos);

  const DWORD size = GetFileVersionInfoSizeW(exe_.c_str(), nullptr);
  ASSERT_GT(size, 0u);
  std::vector<char> block(size);
  ASSERT_TRUE(GetFileVersionInfoW(exe_.c_str(), 0, size, block.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(MAKELONG(8, 2)));
  EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(MAKELONG(8, 2)));
  for (const auto& [name, want] : {std::pair{L"FileVersion", L"2.8"}, std::pair{L"ProductName", L"Tallowin"},
                                   std::pair{L"OriginalFilename", L"Tallowin.exe"}}) {
    wchar_t* value = nullptr;
    const std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    ASSERT_TRUE(VerQueryValueW(block.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) << Narrow(name);
    EXPECT_EQ(std::wstring(value), want);
  }

  wchar_t buffer[32];
  ASSERT_GT(LoadStringW(module_, IDS_PRODUCT_NAME, buffer, 32), 0);
  EXPECT_EQ(std::wstring(buffer), L"Tallowin");
  ASSERT_GT(LoadStringW(module_, IDS_VERSION, buffer, 32), 0);
  EXPECT_EQ(std::wstring(buffer), L"2.8");
}

Picture Welcome() {
  std::string error;
  Picture p = Picture::FromJpegResource(GetModuleHandleW(nullptr), IDR_WELCOME_JPEG, &error);
  EXPECT_TRUE(p) << error;
  return p;
}

TEST(Picture, MissingOrWrongResourceIsAnErrorNotAPicture) {
  std::string error;
  Picture p = Picture::FromJpegResource(GetModuleHandleW(nullptr), 999, &error);
  EXPECT_FALSE(p);
  EXPECT_EQ(p.bitmap(), nullptr);
  EXPECT_NE(error.find("999"), std::string::npos) << error;
  error.clear();
  // An icon is no RCDATA picture.
  EXPECT_FALSE(Picture::FromJpegResource(GetModuleHandleW(nullptr), IDI_TALLOWIN, &error));
  EXPECT_FALSE(error.empty());
}

// libjpeg's errors unwind by longjmp here too: damaged copies of a real picture fail
// cleanly, many times over, and a good one still decodes afterwards.
TEST(Picture, DamagedJpegsFailCleanly) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(IDR_ABOUT_BANNER_JPEG), RT_RCDATA);
  ASSERT_NE(found, nullptr);
  const auto* data = static_cast<const uint8_t*>(LockResource(LoadResource(self, found)));
  const std::vector<uint8_t> good(data, data + SizeofResource(self, found));
  for (size_t cut = 0; cut < good.size(); cut += 37) {
    std::string error;
    ASSERT_FALSE(Picture::FromJpeg(good.data(), cut, &error)) << "cut " << cut;
    ASSERT_FALSE(error.empty()) << "cut " << cut;
  }
  std::vector<uint8_t> bad = good;
  bad[3] ^= 0xFF;  // the marker after start-of-image
  std::string error;
  EXPECT_FALSE(Picture::FromJpeg(bad.data(), bad.size(), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_TRUE(Picture::FromJpeg(good.data(), good.size()));
}

TEST(Picture, FromImageRefusesAPartialImage) {
  Image image;
  image.width = 4;
  image.height = 4;
  image.pixels.assign(4 * 4 * 4 - 1, 0);
  std::string error;
  EXPECT_FALSE(Picture::FromImage(image, &error));
  EXPECT_FALSE(error.empty());
  image.pixels.push_back(0);
  EXPECT_TRUE(Picture::FromImage(image));
}

TEST(Picture, MoveLeavesTheSourceEmpty) {
  Picture a = Welcome();
  const HBITMAP bitmap = a.bitmap();
  Picture b(std::move(a));
  EXPECT_FALSE(a);  // NOLINT(bugprone-use-after-move): the contract under test
  EXPECT_EQ(a.width(), 0);
  EXPECT_EQ(a.pixels(), nullptr);
  EXPECT_EQ(b.bitmap(), bitmap);
  EXPECT_EQ(b.width(), 216);
  Picture c;
  c = std::move(b);
  EXPECT_FALSE(b);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(c.bitmap(), bitmap);
  DIBSECTION dib{};
  EXPECT_EQ(GetObjectW(c.bitmap(), sizeof dib, &dib), static_cast<int>(sizeof dib)) << "bitmap freed by a move";
}

TEST(Picture, DrawCopiesAndScaledResamples) {
  const Picture p = Welcome();
  ASSERT_TRUE(p);
  // Drawn at its own size into a bitmap of the same size: the same pixels.
  Image blank;
  blank.width = p.width();
  blank.height = p.height();
  blank.pixels.assign(static_cast<size_t>(p.width() * p.height() * 4), 0);
  const Picture target = Picture::FromImage(blank);
  ASSERT_TRUE(target);
  HDC dc = CreateCompatibleDC(nullptr);
  HGDIOBJ old = SelectObject(dc, target.bitmap());
  p.Draw(dc, RECT{0, 0, p.width(), p.height()});
  GdiFlush();
  SelectObject(dc, old);
  DeleteDC(dc);
  size_t differing = 0;
  for (size_t i = 0; i < blank.pixels.size(); ++i) {
    if (i % 4 != 3 && target.pixels()[i] != p.pixels()[i]) ++differing;
  }
  EXPECT_EQ(differing, 0u);

  const Picture larger = p.Scaled(324, 324);  // 216 at 144 DPI
  ASSERT_TRUE(larger);
  EXPECT_EQ(larger.width(), 324);
  EXPECT_EQ(larger.height(), 324);
  EXPECT_TRUE(PixelNear(larger, 0, 0, {255, 255, 255}, 30));
  EXPECT_TRUE(PixelNear(larger, 323, 0, {255, 255, 255}, 30));
  // The name's dark letters sit in the bottom fifth at any size.
  int dark = 0;
  for (int y = 324 * 4 / 5; y < 324; ++y) {
    for (int x = 0; x < 324; ++x) dark += larger.pixels()[(y * 324 + x) * 4 + 2] < 100 ? 1 : 0;
  }
  EXPECT_GT(dark, 500);
  EXPECT_FALSE(p.Scaled(0, 10));
  EXPECT_FALSE(Picture().Scaled(10, 10));
}

}  // namespace
}  // namespace tallowin::ui
