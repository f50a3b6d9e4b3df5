#include "ui/window.h"

#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/win32/win32_text.h"
#include "ui/resource.h"

namespace tallowin::ui {

std::wstring Wide(std::string_view utf8) { return platform::win32::Wide(utf8); }
std::string Narrow(std::wstring_view wide) { return platform::win32::Narrow(wide); }

namespace {

int SystemDpi() {
  static const int dpi = [] {
    HDC screen = GetDC(nullptr);
    const int value = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return value > 0 ? value : 96;
  }();
  return dpi;
}

HFONT MakeFont(int weight, bool underline) {
  return CreateFontW(-MulDiv(8, SystemDpi(), 72), 0, 0, 0, weight, FALSE, underline ? TRUE : FALSE,
                     FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
}

MessageBoxHook& Hook() {
  static MessageBoxHook hook;
  return hook;
}

}  // namespace

int Scale(int pixels) { return MulDiv(pixels, SystemDpi(), 96); }
int Unscale(int pixels) { return MulDiv(pixels, 96, SystemDpi()); }

HFONT DefaultFont() {
  static const HFONT font = MakeFont(FW_NORMAL, false);
  return font;
}
HFONT BoldFont() {
  static const HFONT font = MakeFont(FW_BOLD, false);
  return font;
}
HFONT UnderlinedFont() {
  static const HFONT font = MakeFont(FW_NORMAL, true);
  return font;
}

SIZE TextSize(std::string_view text, HFONT font) {
  HDC screen = GetDC(nullptr);
  HGDIOBJ old = SelectObject(screen, font != nullptr ? font : DefaultFont());
  const std::wstring wide = Wide(text);
  SIZE size{};
  GetTextExtentPoint32W(screen, wide.c_str(), static_cast<int>(wide.size()), &size);
  SelectObject(screen, old);
  ReleaseDC(nullptr, screen);
  return {Unscale(size.cx) + 1, Unscale(size.cy)};
}

int ButtonWidth(std::initializer_list<std::string_view> captions, int designWidth) {
  int width = designWidth;
  for (std::string_view caption : captions) width = std::max(width, static_cast<int>(TextSize(caption).cx) + 10);
  return width;
}

void AddListColumn(HWND list, int index, std::string_view title, int width) {
  std::wstring text = Wide(title);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  column.pszText = text.data();
  column.cx = Scale(width);
  column.iSubItem = index;
  SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
}

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), length + 1);
  text.resize(got > 0 ? static_cast<size_t>(got) : 0);
  return Narrow(text);
}

void SetWindowTextUtf8(HWND window, std::string_view text) {
  SetWindowTextW(window, Wide(text).c_str());
}

int ShowMessage(HWND owner, const std::string& text, UINT type) {
  if (Hook()) return Hook()(owner, text, type);
  return MessageBoxW(owner, Wide(text).c_str(), Wide(kProductName).c_str(), type);
}

MessageBoxHook SetMessageBoxHook(MessageBoxHook hook) { return std::exchange(Hook(), std::move(hook)); }

namespace {

SaveDialogHook& SaveHook() {
  static SaveDialogHook hook;
  return hook;
}

}  // namespace

std::optional<std::string> AskSaveFileName(HWND owner, const SaveDialogRequest& request) {
  if (SaveHook()) return SaveHook()(owner, request);
  // "name\0pattern\0\0"
  std::wstring filter = Wide(request.filterName);
  filter.push_back(L'\0');
  filter += Wide(request.filterPattern);
  filter.push_back(L'\0');
  filter.push_back(L'\0');
  const std::wstring title = Wide(request.title);
  std::wstring file(32768, L'\0');
  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof ofn;
  ofn.hwndOwner = owner;
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrTitle = title.c_str();
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
  if (!GetSaveFileNameW(&ofn)) return std::nullopt;
  file.resize(wcslen(file.c_str()));
  return Narrow(file);
}

SaveDialogHook SetSaveDialogHook(SaveDialogHook hook) {
  return std::exchange(SaveHook(), std::move(hook));
}

ShellOpenHook& OpenHook() {
  static ShellOpenHook hook;
  return hook;
}

ShellOpenHook SetShellOpenHook(ShellOpenHook hook) {
  return std::exchange(OpenHook(), std::move(hook));
}

void OpenThroughShell(HWND parent, const std::string& target) {
  if (OpenHook()) return OpenHook()(parent, target);
  ShellExecuteW(parent, L"Open", Wide(target).c_str(), nullptr, nullptr, SW_SHOW);
}

void CenterOnOwner(HWND window, HWND owner) {
  RECT self{};
  GetWindowRect(window, &self);
  RECT area{};
  HMONITOR monitor = MonitorFromWindow(owner != nullptr ? owner : window, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info)) {
    area = info.rcWork;
  } else {
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT around = area;
  if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) GetWindowRect(owner, &around);
  const int width = self.right - self.left;
  const int height = self.bottom - self.top;
  int x = around.left + ((around.right - around.left) - width) / 2;
  int y = around.top + ((around.bottom - around.top) - height) / 2;
  if (x + width > area.right) x = area.right - width;
  if (y + height > area.bottom) y = area.bottom - height;
  if (x < area.left) x = area.left;
  if (y < area.top) y = area.top;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// ---- Window --------------------------------------------------------------------------

Window::~Window() {
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    HWND window = std::exchange(hwnd_, nullptr);
    DestroyWindow(window);
  }
}

bool Window::Create(const wchar_t* className, DWORD style, DWORD exStyle, HWND owner,
                    std::string_view caption, int clientWidth, int clientHeight) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExW(instance, className, &existing)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Window::StaticProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TALLOWIN));
    wc.hIconSm = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TALLOWIN), IMAGE_ICON,
                                               GetSystemMetrics(SM_CXSMICON),
                                               GetSystemMetrics(SM_CYSMICON), 0));
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (RegisterClassExW(&wc) == 0) return false;
  }
  RECT frame{0, 0, Scale(clientWidth), Scale(clientHeight)};
  AdjustWindowRectEx(&frame, style, FALSE, exStyle);
  HWND created = CreateWindowExW(exStyle | WS_EX_CONTROLPARENT, className, Wide(caption).c_str(),
                                 style, CW_USEDEFAULT, CW_USEDEFAULT, frame.right - frame.left,
                                 frame.bottom - frame.top, owner, nullptr, instance, this);
  return created != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefaultHandling(message, wParam, lParam);
}

LRESULT Window::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Window* self = nullptr;
  if (message == WM_NCCREATE) {
    self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (self == nullptr) return DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    const LRESULT result = self->HandleMessage(message, wParam, lParam);
    self->hwnd_ = nullptr;
    return result;
  }
  return self->HandleMessage(message, wParam, lParam);
}

// ---- Form ----------------------------------------------------------------------------

int Form::ShowModal(HWND owner) {
  if (hwnd_ == nullptr) return mrCancel;
  inModal_ = true;
  endModal_ = false;
  modalResult_ = mrNone;
  const bool ownerWasEnabled = owner != nullptr && IsWindowEnabled(owner);
  if (ownerWasEnabled) EnableWindow(owner, FALSE);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
  if (!endModal_ && !hiddenWhenModal_) ShowWindow(hwnd_, SW_SHOW);
  MSG msg;
  while (!endModal_ && hwnd_ != nullptr) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {  // WM_QUIT: leave it for the outer loop
      PostQuitMessage(static_cast<int>(msg.wParam));
      if (!endModal_) modalResult_ = mrCancel;
      break;
    }
    if (got == -1) break;
    if (!IsDialogMessageW(hwnd_, &msg)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  // Enable the owner before hiding the form, so that the activation returns to it.
  if (ownerWasEnabled) EnableWindow(owner, TRUE);
  if (hwnd_ != nullptr) ShowWindow(hwnd_, SW_HIDE);
  if (owner != nullptr && IsWindowVisible(owner)) SetActiveWindow(owner);
  inModal_ = false;
  shown_ = false;
  if (modalResult_ == mrNone) modalResult_ = mrCancel;
  return modalResult_;
}

void Form::EndModal(int result) {
  if (endModal_) return;
  endModal_ = true;
  modalResult_ = result;
  // Wake the loop in case it waits for a message.
  if (hwnd_ != nullptr) PostMessageW(hwnd_, WM_NULL, 0, 0);
}

HWND Form::AddControl(const wchar_t* className, std::string_view text, DWORD style, int id, int x,
                      int y, int width, int height, DWORD exStyle, HWND parent) {
  HWND control = CreateWindowExW(exStyle, className, Wide(text).c_str(), WS_CHILD | WS_VISIBLE | style,
                                 Scale(x), Scale(y), Scale(width), Scale(height),
                                 parent != nullptr ? parent : hwnd_,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  if (control != nullptr) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(DefaultFont()), FALSE);
  return control;
}

HWND Form::AddButton(int id, std::string_view caption, int x, int y, int width, int height,
                     bool isDefault) {
  return AddControl(L"BUTTON", caption,
                    WS_TABSTOP | (isDefault ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON), id, x, y, width,
                    height);
}

HWND Form::AddLabel(int id, std::string_view caption, int x, int y, int width, int height,
                    HWND parent) {
  if (width == 0 || height == 0) {
    const SIZE size = TextSize(caption);
    if (width == 0) width = size.cx;
    if (height == 0) height = size.cy;
  }
  return AddControl(L"STATIC", caption, SS_LEFT | SS_NOPREFIX, id, x, y, width, height, 0, parent);
}

HWND Form::AddCheckBox(int id, std::string_view caption, int x, int y, int width, int height) {
  return AddControl(L"BUTTON", caption, WS_TABSTOP | BS_AUTOCHECKBOX, id, x, y, width, height);
}

HWND Form::AddEdit(int id, std::string_view text, int x, int y, int width, int height,
                   DWORD extraStyle) {
  return AddControl(L"EDIT", text, WS_TABSTOP | ES_AUTOHSCROLL | extraStyle, id, x, y, width, height,
                    WS_EX_CLIENTEDGE);
}

HWND Form::AddGroupBox(int id, std::string_view caption, int x, int y, int width, int height) {
  return AddControl(L"BUTTON", caption, BS_GROUPBOX, id, x, y, width, height);
}

HWND Form::AddProgressBar(int id, int x, int y, int width, int height, int minimum, int maximum) {
  HWND bar = AddControl(PROGRESS_CLASSW, "", 0, id, x, y, width, height);
  SendMessageW(bar, PBM_SETRANGE32, static_cast<WPARAM>(minimum), static_cast<LPARAM>(maximum));
  SendMessageW(bar, PBM_SETPOS, 0, 0);
  return bar;
}

HWND Form::AddListView(int id, int x, int y, int width, int height, DWORD extraStyle,
                       DWORD listExStyle) {
  HWND list = AddControl(WC_LISTVIEWW, "", WS_TABSTOP | LVS_REPORT | extraStyle, id, x, y, width,
                         height, WS_EX_CLIENTEDGE);
  if (list != nullptr && listExStyle != 0)
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, listExStyle, listExStyle);
  return list;
}

namespace {

LRESULT CALLBACK PanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_DRAWITEM:
      return SendMessageW(GetParent(panel), message, wParam, lParam);
    default:
      return DefWindowProcW(panel, message, wParam, lParam);
  }
}

}  // namespace

HWND Form::AddPanel(int id, int x, int y, int width, int height, DWORD exStyle) {
  static const wchar_t* const kClass = L"TallowinPanel";
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{};
  existing.cbSize = sizeof existing;
  if (!GetClassInfoExW(instance, kClass, &existing)) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &PanelProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = kClass;
    if (RegisterClassExW(&wc) == 0) return nullptr;
  }
  return AddControl(kClass, "", WS_CLIPSIBLINGS | WS_CLIPCHILDREN, id, x, y, width, height,
                    exStyle | WS_EX_CONTROLPARENT);
}

void Form::Place(HWND control, int x, int y, int width, int height) {
  MoveWindow(control, Scale(x), Scale(y), Scale(width), Scale(height), TRUE);
}

void Form::FocusControl(HWND control) {
  focus_ = control;
  if (control != nullptr && GetActiveWindow() == hwnd_) SetFocus(control);
}

LRESULT Form::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ACTIVATE:
      // As a dialog does: the focused control is kept across a deactivation.
      if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focused = GetFocus();
        if (focused != nullptr && IsChild(hwnd_, focused)) focus_ = focused;
        return 0;
      }
      if (HIWORD(wParam) == 0) {  // not minimized
        HWND target = focus_;
        if (target == nullptr || !IsWindow(target) || !IsChild(hwnd_, target) ||
            !IsWindowVisible(target) || !IsWindowEnabled(target))
          target = GetNextDlgTabItem(hwnd_, nullptr, FALSE);
        if (target != nullptr) {
          SetFocus(target);
          return 0;
        }
      }
      return DefaultHandling(message, wParam, lParam);
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      HWND control = reinterpret_cast<HWND>(lParam);
      // Escape and Enter from the dialog keys arrive without a control.
      if (control == nullptr && HIWORD(wParam) == 0 && id == IDCANCEL) {
        SendMessageW(hwnd_, WM_CLOSE, 0, 0);
        return 0;
      }
      if (control == nullptr && HIWORD(wParam) == 0 && id == IDOK) {
        for (HWND child = GetWindow(hwnd_, GW_CHILD); child != nullptr;
             child = GetWindow(child, GW_HWNDNEXT)) {
          wchar_t cls[16] = {};
          GetClassNameW(child, cls, 16);
          const LONG_PTR style = GetWindowLongPtrW(child, GWL_STYLE);
          if (lstrcmpiW(cls, L"BUTTON") == 0 && (style & 0x0F) == BS_DEFPUSHBUTTON &&
              IsWindowEnabled(child) && IsWindowVisible(child)) {
            SendMessageW(child, BM_CLICK, 0, 0);
            return 0;
          }
        }
        return 0;
      }
      OnCommand(id, HIWORD(wParam), control);
      return 0;
    }
    case WM_NOTIFY:
      return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_TIMER:
      OnTimer(static_cast<UINT_PTR>(wParam));
      return 0;
    case WM_CLOSE:
      if (!FormClose()) return 0;
      if (inModal_) {
        EndModal(mrCancel);  // keeps a result set before
      } else {
        DestroyWindow(hwnd_);
      }
      return 0;
    default:
      return DefaultHandling(message, wParam, lParam);
  }
}

int RunMessageLoop(HWND main, HACCEL accelerators) {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (accelerators != nullptr && main != nullptr && IsWindowEnabled(main) &&
        TranslateAcceleratorW(main, accelerators, &msg))
      continue;
    HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr && IsDialogMessageW(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void PumpMessagesFor(DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  for (;;) {
    PumpWaitingMessages();
    const ULONGLONG now = GetTickCount64();
    if (now >= end) return;
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(end - now), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
  }
}

void PumpWaitingMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    HWND root = msg.hwnd != nullptr ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
    if (root != nullptr && IsDialogMessageW(root, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

}  // namespace tallowin::ui
