#include "ui/frm_about.h"

#include <algorithm>

#include "platform/reg_global.h"
#include "ui/product_pages.h"
#include "ui/resource.h"
#include "ui/ui_text.h"

namespace tallowin::ui {
namespace {

enum : int { kImage2 = 100, kLabel1, kCopywrite, kLabel3, kLabel4, kAddress, kImage1, kPanel2, kOK };

constexpr COLORREF kLinkColour = RGB(0, 0, 255);

}  // namespace

TfrmAbout::TfrmAbout(HWND owner, std::string programFolder)
    : programFolder_(std::move(programFolder)) {
  const std::string& donate1 = Tr(Txt::AboutDonate1);
  const std::string& donate2 = Tr(Txt::AboutDonate2);
  SIZE line = TextSize(donate1);
  line.cx = std::max(line.cx, TextSize(donate2).cx);
  // The banner's width, unless the font needs more.
  const int width = std::max(331, 16 + static_cast<int>(line.cx) + 16);
  const int lineHeight = static_cast<int>(line.cy);
  Create(L"TallowinTfrmAbout", WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, owner,
         Tr(Txt::AboutCaption), width, 292);
  HMODULE program = GetModuleHandleW(nullptr);
  // The banner's line and the donation picture's word are drawn in, one picture per language.
  const bool german = CurrentLanguage() == Language::German;
  banner_ = Picture::FromJpegResource(program, german ? IDR_ABOUT_BANNER_DE_JPEG : IDR_ABOUT_BANNER_JPEG);
  donate_ = Picture::FromJpegResource(program, german ? IDR_ABOUT_DONATE_DE_JPEG : IDR_ABOUT_DONATE_JPEG);
  Image2 = AddControl(L"STATIC", "", SS_OWNERDRAW, kImage2, (width - 331) / 2, 0, 331, 88);
  Label1 = AddLabel(kLabel1, std::string(kProductName) + " " + kVersionText, 16, 100, 200, 16);
  SendMessageW(Label1, WM_SETFONT, reinterpret_cast<WPARAM>(BoldFont()), FALSE);
  lCopywrite = AddLabel(kCopywrite, Tr(Txt::Copyright), 16, 122);
  const std::string contact = *kContactAddress != '\0'
                                  ? Format(Txt::EMail, {kContactAddress})
                                  : Tr(Txt::ContactHelp);
  Label3 = AddLabel(kLabel3, contact, 16, 140);
  Label4 = AddLabel(kLabel4, donate1 + "\r\n" + donate2, 16, 164, width - 32,
                    2 * lineHeight + 2);
  const std::string home = ShownHomeAddress();
  const std::string address = home.empty() ? Tr(Txt::WhereTallowinLives) : home;
  lbEAddress = AddControl(L"STATIC", address, SS_LEFT | SS_NOPREFIX | SS_NOTIFY, kAddress, 16, 210,
                          static_cast<int>(TextSize(address).cx), lineHeight);
  SendMessageW(lbEAddress, WM_SETFONT, reinterpret_cast<WPARAM>(UnderlinedFont()), FALSE);
  Image1 = AddControl(L"STATIC", "", SS_OWNERDRAW | SS_NOTIFY, kImage1, width - 78, 201, 62, 31);
  Panel2 = AddControl(L"STATIC", "", SS_ETCHEDHORZ, kPanel2, 8, 244, width - 16, 2);
  bOK = AddButton(kOK, Tr(Txt::OkButton), (width - 80) / 2, 254, 80, 27, true);
  CenterOnOwner(hwnd_, owner);
}

void TfrmAbout::lbEAddressClick() { OpenThroughShell(hwnd_, ProductPageTarget(ProductPage::Home, programFolder_)); }

void TfrmAbout::Image1Click() { OpenThroughShell(hwnd_, ProductPageTarget(ProductPage::Donation, programFolder_)); }

void TfrmAbout::OnCommand(int id, int notifyCode, HWND) {
  if (id == kOK && notifyCode == BN_CLICKED) EndModal(mrOk);
  if (id == kAddress && notifyCode == STN_CLICKED) lbEAddressClick();
  if (id == kImage1 && notifyCode == STN_CLICKED) Image1Click();
}

LRESULT TfrmAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CTLCOLORSTATIC:
      if (reinterpret_cast<HWND>(lParam) == lbEAddress) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        SetTextColor(dc, kLinkColour);
        SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
      }
      break;
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
      const Picture* picture = item->hwndItem == Image2   ? &banner_
                               : item->hwndItem == Image1 ? &donate_
                                                          : nullptr;
      if (picture == nullptr) break;
      FillRect(item->hDC, &item->rcItem, GetSysColorBrush(COLOR_BTNFACE));
      if (*picture) picture->Draw(item->hDC, item->rcItem);
      return TRUE;
    }
    case WM_SETCURSOR: {
      HWND over = reinterpret_cast<HWND>(wParam);
      if (over == lbEAddress || over == Image1) {
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
      }
      break;
    }
    default:
      break;
  }
  return Form::HandleMessage(message, wParam, lParam);
}

}  // namespace tallowin::ui
