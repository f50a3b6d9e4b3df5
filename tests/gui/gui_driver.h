#pragma once
// Driving windows in process as a user would: clicks, keys and list clicks as the
// messages they produce, message boxes answered through the hook, and steps that run
// inside whatever modal loop is current. Nothing sleeps: waits pump messages until a
// condition holds or the time runs out.

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "ui/window.h"

namespace tallowin::ui::drive {

// Pumps this thread's messages until `ready` holds; false after `timeoutMs`.
bool WaitUntil(const std::function<bool()>& ready, DWORD timeoutMs = 10000);

// Steps run in order from a thread timer, each once its condition holds, so they run
// inside the modal loops of the dialogs under test. When the time runs out the rest
// is dropped and every window of the thread is closed, so the test ends and fails.
class UiScript {
 public:
  explicit UiScript(DWORD timeoutMs = 20000);
  ~UiScript();
  UiScript(const UiScript&) = delete;
  UiScript& operator=(const UiScript&) = delete;

  UiScript& Then(std::string what, std::function<bool()> ready, std::function<void()> act);
  UiScript& Then(std::string what, std::function<void()> act);
  // Starts the timer; steps run once a message loop runs.
  void Start();
  bool Done() const { return next_ >= steps_.size(); }
  // The first step that did not run ("" when all did).
  std::string Pending() const;

 private:
  struct Step {
    std::string what;
    std::function<bool()> ready;
    std::function<void()> act;
  };
  static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD);
  void Run();

  std::vector<Step> steps_;
  size_t next_ = 0;
  DWORD timeoutMs_;
  DWORD started_ = 0;
  UINT_PTR timer_ = 0;
  bool running_ = false;
  bool timedOut_ = false;
};

// The visible top-level window of this thread with that class (nullptr if none).
HWND FindThreadWindow(const wchar_t* className);
// The child control of `parent` of that class showing that text (nullptr if none).
HWND ChildWithText(HWND parent, const wchar_t* className, std::string_view text);
// Selects `folder` in the shell's folder picker and, once the picker shows it selected,
// confirms it; false (nothing confirmed) while it does not. Under Wine the picker at
// times does not select a folder created moments before: a step retries.
bool ChooseInPicker(HWND picker, std::string_view folder);
// Whether `window` exists and is shown.
bool Showing(HWND window);

// A click on a button, as the button produces it.
void Click(HWND button);
// Types `text` into the focused-or-given edit: select all, then one WM_CHAR per unit.
void Type(HWND edit, std::string_view text);
// A left click (down and up) at a client point of `window`.
void ClickAt(HWND window, POINT at);
void DoubleClickAt(HWND window, POINT at);
// The centre of a list row's label, in the list's client coordinates.
POINT RowPoint(HWND list, int row);
// A point on the row's check box.
POINT CheckBoxPoint(HWND list, int row);
// A point below the last row.
POINT EmptyListPoint(HWND list);
int SelectedListRow(HWND list);
std::string ListText(HWND list, int row, int column = 0);
int ListCount(HWND list);

// Answers message boxes for its lifetime and records them.
class MessageBoxAnswers {
 public:
  struct Shown {
    std::string text;
    UINT type;
  };
  explicit MessageBoxAnswers(std::function<int(const std::string&, UINT)> answer =
                                 [](const std::string&, UINT type) {
                                   return (type & 0xF) == MB_YESNO ? IDNO : IDOK;
                                 });
  ~MessageBoxAnswers();
  MessageBoxAnswers(const MessageBoxAnswers&) = delete;
  MessageBoxAnswers& operator=(const MessageBoxAnswers&) = delete;
  const std::vector<Shown>& shown() const { return shown_; }

 private:
  std::vector<Shown> shown_;
  MessageBoxHook previous_;
};

}  // namespace tallowin::ui::drive
