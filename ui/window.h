#pragma once
// The small window framework every window of the program is built on: one class per
// window, owning its HWND; controls created at 96-DPI pixel positions scaled by the
// system DPI; modal forms that run their own loop with the owner disabled and end with
// a result.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tallowin::ui {

// Modal results.
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;

// The product name: caption of every message box.
inline constexpr const char* kProductName = "Tallowin";

std::wstring Wide(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// Pixels at 96 DPI to pixels at the system DPI.
int Scale(int pixels);
// And back (for sizes the layout rules compute from the live window).
int Unscale(int pixels);

// The fonts of the windows: "MS Sans Serif" 8 point, and its bold form. Owned here,
// alive until the program ends.
HFONT DefaultFont();
HFONT BoldFont();
HFONT UnderlinedFont();

// The size of one line of `text` in `font`, in 96-DPI pixels: layouts widen to fit the
// fonts the system substitutes.
SIZE TextSize(std::string_view text, HFONT font = nullptr);
// The width of a row or column of buttons: `designWidth`, or more when a caption (in a
// longer language) needs it, with room for the button's edges. 96-DPI pixels.
int ButtonWidth(std::initializer_list<std::string_view> captions, int designWidth);

// Appends column `index` to a report-style list view; `width` in 96-DPI pixels.
void AddListColumn(HWND list, int index, std::string_view title, int width);

// Text of a window or control, as UTF-8.
std::string WindowText(HWND window);
void SetWindowTextUtf8(HWND window, std::string_view text);

// Message boxes go through one hook, so an in-process test can answer them. The
// caption is always the product name. Returns the button pressed (IDOK, IDYES, ...).
using MessageBoxHook = std::function<int(HWND owner, const std::string& text, UINT type)>;
int ShowMessage(HWND owner, const std::string& text, UINT type);
// Replaces the hook; an empty one restores the system's message box. Returns the old one.
MessageBoxHook SetMessageBoxHook(MessageBoxHook hook);

// The common save dialog, through a hook as the message boxes: returns the file name
// chosen, or nothing when the user cancels. `filterName` and `filterPattern` make its
// one filter ("Text files (*.txt)", "*.txt").
struct SaveDialogRequest {
  std::string title;
  std::string filterName;
  std::string filterPattern;
};
using SaveDialogHook =
    std::function<std::optional<std::string>(HWND owner, const SaveDialogRequest& request)>;
std::optional<std::string> AskSaveFileName(HWND owner, const SaveDialogRequest& request);
SaveDialogHook SetSaveDialogHook(SaveDialogHook hook);

// Opens a web page or a file through the shell ("Open", SW_SHOW). Through a hook too, so
// that a test sees what would open without starting a browser.
void OpenThroughShell(HWND parent, const std::string& target);
using ShellOpenHook = std::function<void(HWND parent, const std::string& target)>;
ShellOpenHook SetShellOpenHook(ShellOpenHook hook);

// Centres `window` on `owner` (or on the work area when there is none), keeping it on
// the owner's monitor.
void CenterOnOwner(HWND window, HWND owner);

// Base of every window: registers its class once, keeps `this` in the window's user
// data from WM_NCCREATE on, forwards messages to HandleMessage, and destroys the window
// with the object.
class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND handle() const { return hwnd_; }

 protected:
  // Creates the window with a client area of `clientWidth` x `clientHeight` (96-DPI
  // pixels). `className` is registered on first use with the program's icon.
  bool Create(const wchar_t* className, DWORD style, DWORD exStyle, HWND owner,
              std::string_view caption, int clientWidth, int clientHeight);
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;

 private:
  static LRESULT CALLBACK StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};

// A form: a top-level window with controls, commands and an optional modal loop.
class Form : public Window {
 public:
  // Shows the form modally over `owner` (disabled meanwhile) and returns the result
  // given to EndModal, or mrCancel when the form was closed. The owner is enabled
  // and activated again before it returns.
  int ShowModal(HWND owner);
  void EndModal(int result);
  bool InModalLoop() const { return inModal_; }
  int ModalResult() const { return modalResult_; }
  // A form that runs its modal loop without ever being shown (the unattended run).
  void SetHiddenWhenModal(bool hidden) { hiddenWhenModal_ = hidden; }

  // Creates a control; positions and sizes are 96-DPI pixels of the client area.
  HWND AddControl(const wchar_t* className, std::string_view text, DWORD style, int id, int x,
                  int y, int width, int height, DWORD exStyle = 0, HWND parent = nullptr);
  HWND AddButton(int id, std::string_view caption, int x, int y, int width = 80,
                 int height = 27, bool isDefault = false);
  // A label sized to its text when `width` is 0.
  HWND AddLabel(int id, std::string_view caption, int x, int y, int width = 0, int height = 0,
                HWND parent = nullptr);
  HWND AddCheckBox(int id, std::string_view caption, int x, int y, int width, int height = 17);
  HWND AddEdit(int id, std::string_view text, int x, int y, int width, int height = 21,
               DWORD extraStyle = 0);
  HWND AddGroupBox(int id, std::string_view caption, int x, int y, int width, int height);
  HWND AddProgressBar(int id, int x, int y, int width, int height, int minimum, int maximum);
  HWND AddListView(int id, int x, int y, int width, int height, DWORD extraStyle,
                   DWORD listExStyle);
  // A plain child window in the window colour that passes its children's commands,
  // notifications and colour requests on to the form.
  HWND AddPanel(int id, int x, int y, int width, int height, DWORD exStyle = WS_EX_STATICEDGE);

  HWND Item(int id) const { return GetDlgItem(hwnd_, id); }
  // Puts the keyboard focus on `control` now, and again whenever the form is activated
  // until the user moves it elsewhere (without one: the first control in tab order).
  void FocusControl(HWND control);
  // Moves a control to 96-DPI pixel coordinates of its parent's client area.
  void Place(HWND control, int x, int y, int width, int height);

 protected:
  // Handlers the forms override.
  virtual void FormShow() {}
  // WM_CLOSE: return false to keep the form open. The default ends a modal loop with
  // mrCancel, or destroys a modeless form.
  virtual bool FormClose() { return true; }
  virtual void OnCommand(int id, int notifyCode, HWND control) {
    (void)id; (void)notifyCode; (void)control;
  }
  virtual LRESULT OnNotify(NMHDR* header) { (void)header; return 0; }
  virtual void OnTimer(UINT_PTR id) { (void)id; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  HWND focus_ = nullptr;  // the control that gets the focus back at activation
  bool inModal_ = false;
  bool endModal_ = false;
  bool hiddenWhenModal_ = false;
  bool shown_ = false;
  int modalResult_ = mrNone;
};

// Runs the message loop of the program until WM_QUIT; `accelerators` (may be null) are
// translated for `main`. Dialog keys (Tab, mnemonics) work in every form.
int RunMessageLoop(HWND main, HACCEL accelerators);

// Processes the messages waiting for this thread without blocking (for long runs on
// the main thread that must keep the windows answering).
void PumpWaitingMessages();
// Waits `milliseconds` while processing this thread's messages.
void PumpMessagesFor(DWORD milliseconds);

}  // namespace tallowin::ui
