#pragma once
// Removes a folder a test made, with everything in it (read-only files too).

#include <windows.h>

#include <string>

#include "platform/win32/win32_text.h"

namespace tallowin::testing_support {

inline void RemoveFolderTree(const std::string& folder) {
  const std::wstring wide = platform::win32::Wide(folder);
  WIN32_FIND_DATAW data{};
  HANDLE find = FindFirstFileW((wide + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = wide + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveFolderTree(platform::win32::Narrow(path));
      } else {
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(wide.c_str());
}

}  // namespace tallowin::testing_support
