#pragma once
// The folder picker of the restore manager and the options dialog.

#include <windows.h>

#include <string>

namespace tallowin::ui {

// Shows the shell's folder picker (file-system folders only) titled `caption`, rooted at
// `root` (the desktop when empty), with the program's other windows disabled meanwhile.
// True when a folder was chosen; `directory` is then its path. A `directory` that names
// no existing folder is emptied first; it is not used to pre-select one.
bool BrowseForDirectory(HWND owner, const std::string& caption, const std::wstring& root,
                        std::string& directory);

// The picker's callback: centres the dialog's client area on the screen once the dialog
// is initialised. Always 0.
int CALLBACK CenterBrowseDialog(HWND dialog, UINT message, LPARAM parameter, LPARAM data);

}  // namespace tallowin::ui
