#include "ui/browse_folder.h"

#include <shlobj.h>

#include <vector>

#include "ui/window.h"

namespace tallowin::ui {
namespace {

bool IsDirectory(const std::string& path) {
  if (path.empty()) return false;
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The program's enabled top-level windows are disabled while the picker is open and
// enabled again afterwards, whatever happens inside.
class DisabledThreadWindows {
 public:
  DisabledThreadWindows() {
    EnumThreadWindows(GetCurrentThreadId(), &DisabledThreadWindows::Visit,
                      reinterpret_cast<LPARAM>(this));
    for (HWND window : windows_) EnableWindow(window, FALSE);
  }
  ~DisabledThreadWindows() {
    for (HWND window : windows_)
      if (IsWindow(window)) EnableWindow(window, TRUE);
  }
  DisabledThreadWindows(const DisabledThreadWindows&) = delete;
  DisabledThreadWindows& operator=(const DisabledThreadWindows&) = delete;

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    if (IsWindowVisible(window) && IsWindowEnabled(window))
      reinterpret_cast<DisabledThreadWindows*>(self)->windows_.push_back(window);
    return TRUE;
  }
  std::vector<HWND> windows_;
};

class ErrorModeScope {
 public:
  ErrorModeScope() : previous_(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
  ~ErrorModeScope() { SetErrorMode(previous_); }
  ErrorModeScope(const ErrorModeScope&) = delete;
  ErrorModeScope& operator=(const ErrorModeScope&) = delete;

 private:
  UINT previous_;
};

// An item identifier list freed through the shell's allocator.
class ItemList {
 public:
  explicit ItemList(IMalloc* allocator) : allocator_(allocator) {}
  ~ItemList() {
    if (list_ != nullptr) allocator_->Free(list_);
  }
  ItemList(const ItemList&) = delete;
  ItemList& operator=(const ItemList&) = delete;
  PIDLIST_ABSOLUTE* out() { return &list_; }
  PIDLIST_ABSOLUTE get() const { return list_; }
  void reset(PIDLIST_ABSOLUTE list) {
    if (list_ != nullptr) allocator_->Free(list_);
    list_ = list;
  }

 private:
  IMalloc* allocator_;
  PIDLIST_ABSOLUTE list_ = nullptr;
};

}  // namespace

bool BrowseForDirectory(HWND owner, const std::string& caption, const std::wstring& root,
                        std::string& directory) {
  if (!IsDirectory(directory)) directory.clear();
  IMalloc* allocator = nullptr;
  if (FAILED(SHGetMalloc(&allocator)) || allocator == nullptr) return false;
  auto* buffer = static_cast<wchar_t*>(allocator->Alloc(MAX_PATH * sizeof(wchar_t)));
  if (buffer == nullptr) {
    allocator->Release();
    return false;
  }
  buffer[0] = L'\0';
  ItemList rootList(allocator);
  if (!root.empty()) {
    IShellFolder* desktop = nullptr;
    if (SUCCEEDED(SHGetDesktopFolder(&desktop)) && desktop != nullptr) {
      std::wstring name = root;
      PIDLIST_RELATIVE parsed = nullptr;
      if (SUCCEEDED(desktop->ParseDisplayName(owner, nullptr, name.data(), nullptr, &parsed,
                                              nullptr)))
        rootList.reset(reinterpret_cast<PIDLIST_ABSOLUTE>(parsed));
      desktop->Release();
    }
  }
  const std::wstring title = Wide(caption);
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.pidlRoot = rootList.get();
  info.pszDisplayName = buffer;
  info.lpszTitle = title.c_str();
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  info.lpfn = &CenterBrowseDialog;
  info.lParam = 0;
  ItemList chosen(allocator);
  {
    DisabledThreadWindows disabled;
    ErrorModeScope errorMode;
    chosen.reset(SHBrowseForFolderW(&info));
  }
  // The windows were disabled while the picker closed: give the activation back.
  if (owner != nullptr && IsWindowVisible(owner)) SetActiveWindow(owner);
  const bool picked = chosen.get() != nullptr;
  if (picked) {
    buffer[0] = L'\0';
    SHGetPathFromIDListW(chosen.get(), buffer);
    directory = Narrow(buffer);
  }
  chosen.reset(nullptr);
  rootList.reset(nullptr);
  allocator->Free(buffer);
  allocator->Release();
  return picked;
}

int CALLBACK CenterBrowseDialog(HWND dialog, UINT message, LPARAM, LPARAM) {
  if (message != BFFM_INITIALIZED) return 0;
  int x = 0;
  int y = 0;
  RECT client{};
  // The client size, not the frame, is centred: the picker sits slightly right of and
  // below the exact centre.
  if (GetClientRect(dialog, &client)) {
    x = (GetSystemMetrics(SM_CXSCREEN) - client.right) / 2;
    y = (GetSystemMetrics(SM_CYSCREEN) - client.bottom) / 2;
  }
  SetWindowPos(dialog, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return 0;
}

}  // namespace tallowin::ui
