#include "ui/window.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tallowin::ui {
namespace {

constexpr int kOkId = 101;
constexpr int kCancelId = 102;

class TestForm : public Form {
 public:
  bool Make(HWND owner = nullptr) {
    if (!Create(L"TallowinTestForm", WS_CAPTION | WS_SYSMENU | WS_POPUP, WS_EX_DLGMODALFRAME,
                owner, "Test", 200, 100))
      return false;
    ok = AddButton(kOkId, "&OK", 10, 60, 80, 27, true);
    cancel = AddButton(kCancelId, "&Cancel", 100, 60);
    label = AddLabel(0, "Ωmega Юникод 日本", 10, 10);
    return true;
  }
  void FormShow() override {
    ++shows;
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    ownerEnabledWhileShown = owner != nullptr && IsWindowEnabled(owner);
    if (postOnShow != 0) PostMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(postOnShow, BN_CLICKED),
                                      reinterpret_cast<LPARAM>(Item(postOnShow)));
  }
  void OnCommand(int id, int, HWND) override {
    if (id == kOkId) EndModal(mrOk);
    if (id == kCancelId) EndModal(mrCancel);
  }
  bool FormClose() override {
    ++closes;
    return allowClose;
  }
  HWND ok = nullptr, cancel = nullptr, label = nullptr;
  int shows = 0, closes = 0, postOnShow = 0;
  bool allowClose = true;
  bool ownerEnabledWhileShown = true;
};

class Owner : public Form {
 public:
  bool Make() { return Create(L"TallowinTestOwner", WS_OVERLAPPEDWINDOW, 0, nullptr, "Owner", 300, 200); }
};

TEST(Form, ModalResultComesFromTheButtonAndTheOwnerIsEnabledAgain) {
  Owner owner;
  ASSERT_TRUE(owner.Make());
  ShowWindow(owner.handle(), SW_SHOW);
  TestForm form;
  ASSERT_TRUE(form.Make(owner.handle()));
  form.postOnShow = kOkId;
  EXPECT_EQ(form.ShowModal(owner.handle()), mrOk);
  EXPECT_FALSE(form.ownerEnabledWhileShown);
  EXPECT_TRUE(IsWindowEnabled(owner.handle()));
  EXPECT_EQ(form.shows, 1);
  EXPECT_FALSE(IsWindowVisible(form.handle()));
}

TEST(Form, CloseGivesCancelUnlessTheFormKeepsItselfOpen) {
  TestForm form;
  ASSERT_TRUE(form.Make());
  form.allowClose = false;
  PostMessageW(form.handle(), WM_CLOSE, 0, 0);
  PostMessageW(form.handle(), WM_COMMAND, MAKEWPARAM(kOkId, BN_CLICKED),
               reinterpret_cast<LPARAM>(form.ok));
  EXPECT_EQ(form.ShowModal(nullptr), mrOk);  // the refused close left it open
  EXPECT_EQ(form.closes, 1);
  form.allowClose = true;
  PostMessageW(form.handle(), WM_CLOSE, 0, 0);
  EXPECT_EQ(form.ShowModal(nullptr), mrCancel);
}

TEST(Form, EnterClicksTheDefaultButtonAndEscapeCloses) {
  TestForm form;
  ASSERT_TRUE(form.Make());
  PostMessageW(form.handle(), WM_COMMAND, MAKEWPARAM(IDOK, 0), 0);
  EXPECT_EQ(form.ShowModal(nullptr), mrOk);
  PostMessageW(form.handle(), WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
  EXPECT_EQ(form.ShowModal(nullptr), mrCancel);
  EXPECT_EQ(form.closes, 1);
}

TEST(Form, TextOfAnyScriptReachesTheControls) {
  TestForm form;
  ASSERT_TRUE(form.Make());
  EXPECT_EQ(WindowText(form.label), "Ωmega Юникод 日本");
  SetWindowTextUtf8(form.handle(), "Tallowin Ω");
  EXPECT_EQ(WindowText(form.handle()), "Tallowin Ω");
}

TEST(Form, ControlsArePlacedAtScaledPositions) {
  TestForm form;
  ASSERT_TRUE(form.Make());
  RECT client{};
  GetClientRect(form.handle(), &client);
  EXPECT_EQ(client.right, Scale(200));
  EXPECT_EQ(client.bottom, Scale(100));
  RECT button{};
  GetWindowRect(form.ok, &button);
  MapWindowPoints(nullptr, form.handle(), reinterpret_cast<POINT*>(&button), 2);
  EXPECT_EQ(button.left, Scale(10));
  EXPECT_EQ(button.top, Scale(60));
  EXPECT_EQ(button.right - button.left, Scale(80));
}

TEST(MessageBoxHookTest, AnswersInProcessAndRestores) {
  std::vector<std::string> seen;
  auto old = SetMessageBoxHook([&](HWND, const std::string& text, UINT type) {
    seen.push_back(text);
    return (type & MB_YESNO) ? IDNO : IDOK;
  });
  EXPECT_EQ(ShowMessage(nullptr, "Question?", MB_YESNO | MB_ICONINFORMATION), IDNO);
  EXPECT_EQ(ShowMessage(nullptr, "Note", MB_ICONINFORMATION), IDOK);
  SetMessageBoxHook(std::move(old));
  EXPECT_EQ(seen, (std::vector<std::string>{"Question?", "Note"}));
}

}  // namespace
}  // namespace tallowin::ui
