#pragma once
// Helpers of the in-process GUI tests: waiting while the windows run, answering message
// boxes and save dialogs, a sandbox key of the real registry and a scratch folder.

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ui/window.h"

namespace tallowin::ui::test {

// Processes this thread's messages until `done` holds or `timeoutMs` passes; returns
// whether it held.
inline bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 30000) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() >= end) return false;
    PumpWaitingMessages();
    if (done()) return true;
    MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  return true;
}

// Answers the message boxes shown while it lives, in order (IDOK when no answer is left),
// and keeps what they said.
class MessageBoxes {
 public:
  struct Shown {
    std::string text;
    UINT type;
  };
  explicit MessageBoxes(std::deque<int> answers = {}) : answers_(std::move(answers)) {
    old_ = SetMessageBoxHook([this](HWND, const std::string& text, UINT type) {
      shown.push_back({text, type});
      if (answers_.empty()) return IDOK;
      const int answer = answers_.front();
      answers_.pop_front();
      return answer;
    });
  }
  ~MessageBoxes() { SetMessageBoxHook(std::move(old_)); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const Shown& s : shown) texts.push_back(s.text);
    return texts;
  }
  std::vector<Shown> shown;

 private:
  std::deque<int> answers_;
  MessageBoxHook old_;
};

// Answers the save dialog with the given names in order (cancel when none is left).
class SaveDialogs {
 public:
  explicit SaveDialogs(std::deque<std::string> names) : names_(std::move(names)) {
    old_ = SetSaveDialogHook([this](HWND, const SaveDialogRequest& request) -> std::optional<std::string> {
      requests.push_back(request);
      if (names_.empty()) return std::nullopt;
      std::string name = names_.front();
      names_.pop_front();
      return name;
    });
  }
  ~SaveDialogs() { SetSaveDialogHook(std::move(old_)); }
  std::vector<SaveDialogRequest> requests;

 private:
  std::deque<std::string> names_;
  SaveDialogHook old_;
};

// Keeps what would have been opened through the shell.
class ShellOpens {
 public:
  ShellOpens() {
    old_ = SetShellOpenHook([this](HWND, const std::string& target) { opened.push_back(target); });
  }
  ~ShellOpens() { SetShellOpenHook(std::move(old_)); }
  std::vector<std::string> opened;

 private:
  ShellOpenHook old_;
};

// HKEY_CURRENT_USER\Software\<name>, wiped before and after.
class SandboxKey {
 public:
  explicit SandboxKey(std::string name) : path_("Software\\" + std::move(name)) { Wipe(); }
  ~SandboxKey() { Wipe(); }
  const std::string& path() const { return path_; }
  std::string column(const std::string& below = "") const {
    return "HKEY_CURRENT_USER\\" + path_ + (below.empty() ? "" : "\\" + below);
  }
  void SetString(const std::string& subKey, const std::string& name, const std::string& data) {
    HKEY key = nullptr;
    const std::wstring keyPath = Wide(subKey.empty() ? path_ : path_ + "\\" + subKey);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const std::wstring value = Wide(name), text = Wide(data);
    ASSERT_EQ(RegSetValueExW(key, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  bool HasValue(const std::string& subKey, const std::string& name) const {
    HKEY key = nullptr;
    const std::wstring keyPath = Wide(subKey.empty() ? path_ : path_ + "\\" + subKey);
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
      return false;
    const bool found = RegQueryValueExW(key, Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr) ==
                       ERROR_SUCCESS;
    RegCloseKey(key);
    return found;
  }

 private:
  void Wipe() { RegDeleteTreeW(HKEY_CURRENT_USER, Wide(path_).c_str()); }
  std::string path_;
};

// A folder of its own under the temporary folder, removed with everything in it.
class ScratchFolder {
 public:
  explicit ScratchFolder(const std::string& name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = Narrow(temp) + "tallowin-gui-" + name + "-" + std::to_string(GetCurrentProcessId());
    Remove();
    CreateDirectoryW(Wide(path_).c_str(), nullptr);
  }
  ~ScratchFolder() { Remove(); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  void Remove() {
    std::wstring from = Wide(path_);
    from.push_back(L'\0');  // a double-NUL-ended list
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationW(&op);
  }
  std::string path_;
};

inline std::string ReadFileBytes(const std::string& path) {
  std::string bytes;
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

// A control's rectangle in its parent's client coordinates.
inline RECT RectInParent(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Where a click lands on row `row`'s check box, found by the list's own hit test.
inline std::optional<POINT> CheckBoxPoint(HWND list, int row) {
  RECT bounds{LVIR_BOUNDS, 0, 0, 0};
  if (!SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds)))
    return std::nullopt;
  const int y = (bounds.top + bounds.bottom) / 2;
  for (int x = bounds.left; x < bounds.left + 60; ++x) {
    LVHITTESTINFO hit{};
    hit.pt = {x, y};
    if (SendMessageW(list, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) == row &&
        (hit.flags & LVHT_ONITEMSTATEICON) != 0)
      return hit.pt;
  }
  return std::nullopt;
}

// A left click as the mouse makes it.
inline void PostClick(HWND window, POINT at) {
  const LPARAM position = MAKELPARAM(at.x, at.y);
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, position);
  PostMessageW(window, WM_LBUTTONUP, 0, position);
}

}  // namespace tallowin::ui::test
