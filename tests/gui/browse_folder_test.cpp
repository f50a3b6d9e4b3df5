#include "ui/browse_folder.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include "tests/gui/gui_driver.h"

namespace tallowin::ui {
namespace {

using namespace drive;

class Owner : public Form {
 public:
  Owner() { Create(L"TallowinTestBrowseOwner", WS_OVERLAPPEDWINDOW, 0, nullptr, "Owner", 300, 200); }
};

POINT Centred(HWND window) {
  RECT client{};
  GetClientRect(window, &client);
  return {(GetSystemMetrics(SM_CXSCREEN) - client.right) / 2,
          (GetSystemMetrics(SM_CYSCREEN) - client.bottom) / 2};
}

TEST(CenterBrowseDialog, CentresTheClientAreaOnInitialisationOnly) {
  Owner window;
  SetWindowPos(window.handle(), nullptr, 3, 4, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
  EXPECT_EQ(CenterBrowseDialog(window.handle(), BFFM_SELCHANGED, 0, 0), 0);
  RECT place{};
  GetWindowRect(window.handle(), &place);
  EXPECT_EQ(place.left, 3);
  EXPECT_EQ(CenterBrowseDialog(window.handle(), BFFM_INITIALIZED, 0, 0), 0);
  GetWindowRect(window.handle(), &place);
  EXPECT_EQ(place.left, Centred(window.handle()).x);
  EXPECT_EQ(place.top, Centred(window.handle()).y);
}

TEST(BrowseForDirectory, ReturnsTheChosenFolderAndDisablesTheProgramMeanwhile) {
  Owner owner;
  ShowWindow(owner.handle(), SW_SHOW);
  const auto picker = [] { return FindThreadWindow(L"#32770"); };
  bool ownerDisabled = false;
  POINT placed{}, expected{-1, -1};
  std::string title;
  UiScript script;
  script.Then("picker", [&] { return Showing(picker()); }, [&] {
    ownerDisabled = !IsWindowEnabled(owner.handle());
    RECT rect{};
    GetWindowRect(picker(), &rect);
    placed = {rect.left, rect.top};
    expected = Centred(picker());
    title = WindowText(ChildWithText(picker(), L"Static", "Please select the directory"));
  });
  script.Then("chosen", [&] { return ChooseInPicker(picker(), "C:\\windows"); }, [] {});
  script.Start();
  std::string folder = "C:\\no-such-folder";
  EXPECT_TRUE(BrowseForDirectory(owner.handle(), "Please select the directory", L"", folder));
  EXPECT_TRUE(script.Done()) << script.Pending();
  EXPECT_EQ(folder, "C:\\windows");
  EXPECT_TRUE(ownerDisabled);
  EXPECT_TRUE(IsWindowEnabled(owner.handle()));
  EXPECT_EQ(placed.x, expected.x);
  EXPECT_EQ(placed.y, expected.y);
  EXPECT_EQ(title, "Please select the directory");
}

TEST(BrowseForDirectory, CancelReturnsFalseAndEmptiesAFolderThatIsNotThere) {
  Owner owner;
  ShowWindow(owner.handle(), SW_SHOW);
  UiScript script;
  script.Then("picker", [] { return Showing(FindThreadWindow(L"#32770")); },
              [] { PostMessageW(FindThreadWindow(L"#32770"), WM_COMMAND, IDCANCEL, 0); });
  script.Start();
  std::string missing = "C:\\no-such-folder";
  EXPECT_FALSE(BrowseForDirectory(owner.handle(), "Please select the directory", L"", missing));
  EXPECT_EQ(missing, "");
  UiScript again;
  again.Then("picker", [] { return Showing(FindThreadWindow(L"#32770")); },
             [] { PostMessageW(FindThreadWindow(L"#32770"), WM_COMMAND, IDCANCEL, 0); });
  again.Start();
  std::string existing = "C:\\windows";
  EXPECT_FALSE(BrowseForDirectory(owner.handle(), "Please select the directory", L"", existing));
  EXPECT_EQ(existing, "C:\\windows");
  EXPECT_TRUE(again.Done()) << again.Pending();
}

}  // namespace
}  // namespace tallowin::ui
