#include "tests/gui/gui_driver.h"

#include <shlobj.h>

#include <map>
#include <utility>

namespace tallowin::ui::drive {
namespace {

std::map<UINT_PTR, UiScript*>& Scripts() {
  static std::map<UINT_PTR, UiScript*> scripts;
  return scripts;
}

BOOL CALLBACK CloseWindow(HWND window, LPARAM) {
  if (IsWindowVisible(window)) PostMessageW(window, WM_CLOSE, 0, 0);
  return TRUE;
}

struct FindRequest {
  const wchar_t* className;
  HWND found;
};

BOOL CALLBACK FindWindowOfClass(HWND window, LPARAM parameter) {
  auto* request = reinterpret_cast<FindRequest*>(parameter);
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (IsWindowVisible(window) && lstrcmpW(name, request->className) == 0) {
    request->found = window;
    return FALSE;
  }
  return TRUE;
}

LPARAM PointParam(POINT at) { return MAKELPARAM(at.x, at.y); }

}  // namespace

bool WaitUntil(const std::function<bool()>& ready, DWORD timeoutMs) {
  const DWORD started = GetTickCount();
  while (!ready()) {
    if (GetTickCount() - started > timeoutMs) return false;
    PumpWaitingMessages();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

UiScript::UiScript(DWORD timeoutMs) : timeoutMs_(timeoutMs) {}

UiScript::~UiScript() {
  if (timer_ != 0) {
    KillTimer(nullptr, timer_);
    Scripts().erase(timer_);
  }
}

UiScript& UiScript::Then(std::string what, std::function<bool()> ready, std::function<void()> act) {
  steps_.push_back({std::move(what), std::move(ready), std::move(act)});
  return *this;
}

UiScript& UiScript::Then(std::string what, std::function<void()> act) {
  return Then(std::move(what), [] { return true; }, std::move(act));
}

void UiScript::Start() {
  started_ = GetTickCount();
  timer_ = SetTimer(nullptr, 0, 15, &UiScript::Tick);
  Scripts()[timer_] = this;
}

std::string UiScript::Pending() const {
  if (Done()) return "";
  return steps_[next_].what + (timedOut_ ? " (timed out)" : "");
}

void CALLBACK UiScript::Tick(HWND, UINT, UINT_PTR id, DWORD) {
  const auto found = Scripts().find(id);
  if (found != Scripts().end()) found->second->Run();
}

void UiScript::Run() {
  // An action may open a modal loop that ticks again: the step is taken first.
  if (running_ || timedOut_) return;
  if (Done()) {
    KillTimer(nullptr, timer_);
    Scripts().erase(timer_);
    timer_ = 0;
    return;
  }
  if (GetTickCount() - started_ > timeoutMs_) {
    timedOut_ = true;
    EnumThreadWindows(GetCurrentThreadId(), &CloseWindow, 0);
    return;
  }
  Step& step = steps_[next_];
  running_ = true;
  const bool ready = step.ready();
  running_ = false;
  if (!ready) return;
  ++next_;
  std::function<void()> act = step.act;
  act();
}

HWND FindThreadWindow(const wchar_t* className) {
  FindRequest request{className, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), &FindWindowOfClass, reinterpret_cast<LPARAM>(&request));
  return request.found;
}

HWND ChildWithText(HWND parent, const wchar_t* className, std::string_view text) {
  const std::wstring wanted = Wide(text);
  return FindWindowExW(parent, nullptr, className, wanted.c_str());
}

bool ChooseInPicker(HWND picker, std::string_view folder) {
  if (picker == nullptr) return false;
  const std::wstring path = Wide(folder);
  SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
  HWND tree = FindWindowExW(picker, nullptr, WC_TREEVIEWW, nullptr);
  const auto selected = reinterpret_cast<HTREEITEM>(
      SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
  wchar_t text[MAX_PATH] = {};
  TVITEMW item{};
  item.mask = TVIF_TEXT;
  item.hItem = selected;
  item.pszText = text;
  item.cchTextMax = MAX_PATH;
  if (selected == nullptr || !SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
    return false;
  const std::wstring leaf = path.substr(path.find_last_of(L'\\') + 1);
  if (lstrcmpiW(text, leaf.c_str()) != 0) return false;
  SendMessageW(picker, WM_COMMAND, IDOK, 0);
  return true;
}

bool Showing(HWND window) { return window != nullptr && IsWindowVisible(window); }

void Click(HWND button) { PostMessageW(button, BM_CLICK, 0, 0); }

void Type(HWND edit, std::string_view text) {
  PostMessageW(edit, EM_SETSEL, 0, -1);
  PostMessageW(edit, WM_CHAR, VK_BACK, 0);
  for (wchar_t unit : Wide(text)) PostMessageW(edit, WM_CHAR, unit, 1);
}

void ClickAt(HWND window, POINT at) {
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(at));
  PostMessageW(window, WM_LBUTTONUP, 0, PointParam(at));
}

void DoubleClickAt(HWND window, POINT at) {
  ClickAt(window, at);
  PostMessageW(window, WM_LBUTTONDBLCLK, MK_LBUTTON, PointParam(at));
  PostMessageW(window, WM_LBUTTONUP, 0, PointParam(at));
}

POINT RowPoint(HWND list, int row) {
  RECT label{};
  label.left = LVIR_LABEL;
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&label));
  return {(label.left + label.right) / 2, (label.top + label.bottom) / 2};
}

POINT CheckBoxPoint(HWND list, int row) {
  RECT bounds{};
  bounds.left = LVIR_BOUNDS;
  SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
  const int y = (bounds.top + bounds.bottom) / 2;
  for (int x = bounds.left; x < bounds.left + 40; ++x) {
    LVHITTESTINFO hit{};
    hit.pt = {x, y};
    SendMessageW(list, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    if (hit.iItem == row && (hit.flags & LVHT_ONITEMSTATEICON)) return hit.pt;
  }
  return {bounds.left + 8, y};
}

POINT EmptyListPoint(HWND list) {
  RECT client{};
  GetClientRect(list, &client);
  return {client.right / 2, client.bottom - 4};
}

int SelectedListRow(HWND list) {
  return static_cast<int>(SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

std::string ListText(HWND list, int row, int column) {
  wchar_t buffer[1024] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buffer;
  item.cchTextMax = 1024;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return Narrow(buffer);
}

int ListCount(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

MessageBoxAnswers::MessageBoxAnswers(std::function<int(const std::string&, UINT)> answer) {
  previous_ = SetMessageBoxHook([this, answer = std::move(answer)](HWND, const std::string& text, UINT type) {
    shown_.push_back({text, type});
    return answer(text, type);
  });
}

MessageBoxAnswers::~MessageBoxAnswers() { SetMessageBoxHook(std::move(previous_)); }

}  // namespace tallowin::ui::drive
