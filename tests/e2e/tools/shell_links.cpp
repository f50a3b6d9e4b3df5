// Test helper for the end-to-end tests: shell links made by the shell's own link object,
// and the paths of special folders.
//   shell_links folder CSIDL           prints the folder's path
//   shell_links link LNK TARGET ...    writes each LNK (parent folders are created)
//   shell_links target LNK             prints the target as the link object reads it
// Exit status 0 when everything worked, 1 otherwise.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::wstring Wide(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? static_cast<size_t>(n) : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
  wide.resize(wide.size() - 1);
  return wide;
}

bool MakeParents(const std::string& file) {
  const size_t slash = file.find_last_of('\\');
  if (slash == std::string::npos) return true;
  const std::string folder = file.substr(0, slash);
  const int rc = SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr);
  return rc == ERROR_SUCCESS || rc == ERROR_ALREADY_EXISTS || rc == ERROR_FILE_EXISTS;
}

bool WriteLink(const std::string& link, const std::string& target) {
  if (!MakeParents(link)) return false;
  IShellLinkA* shellLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&shellLink))))
    return false;
  bool saved = false;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shellLink->SetPath(target.c_str())) &&
      SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    saved = SUCCEEDED(file->Save(Wide(link).c_str(), TRUE));
    file->Release();
  }
  shellLink->Release();
  return saved;
}

bool PrintTarget(const std::string& link) {
  IShellLinkA* shellLink = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&shellLink))))
    return false;
  bool read = false;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    char buffer[MAX_PATH + 1] = {};
    if (SUCCEEDED(file->Load(Wide(link).c_str(), STGM_READ)) &&
        SUCCEEDED(shellLink->GetPath(buffer, MAX_PATH + 1, nullptr, SLGP_UNCPRIORITY))) {
      std::printf("%s\n", buffer);
      read = true;
    }
    file->Release();
  }
  shellLink->Release();
  return read;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: shell_links folder CSIDL | link LNK TARGET ... | target LNK\n");
    return 2;
  }
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 1;
  const std::string command = argv[1];
  bool ok = true;
  if (command == "folder") {
    char path[MAX_PATH] = {};
    ok = SUCCEEDED(SHGetFolderPathA(nullptr, std::atoi(argv[2]), nullptr, 0, path));
    if (ok) std::printf("%s\n", path);
  } else if (command == "link" && argc % 2 == 0) {
    for (int i = 2; i + 1 < argc; i += 2) {
      if (!WriteLink(argv[i], argv[i + 1])) {
        std::fprintf(stderr, "cannot write %s\n", argv[i]);
        ok = false;
      }
    }
  } else if (command == "target") {
    ok = PrintTarget(argv[2]);
  } else {
    std::fprintf(stderr, "shell_links: bad arguments\n");
    ok = false;
  }
  CoUninitialize();
  return ok ? 0 : 1;
}
