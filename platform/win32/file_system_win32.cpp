#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/wow64_redirection.h"

namespace tallowin::platform::win32 {
namespace {

uint64_t FileTimeValue(const FILETIME& t) {
  return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

bool IsDotEntry(const wchar_t* name) {
  return (name[0] == L'.' && name[1] == L'\0') ||
         (name[0] == L'.' && name[1] == L'.' && name[2] == L'\0');
}

long FailureCode() {
  const DWORD error = GetLastError();
  return error == ERROR_SUCCESS ? kFileNotFound : static_cast<long>(error);
}

bool IsDirectory(const std::string& path) {
  const DWORD a = GetFileAttributesW(Wide(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// Writes all of `data` or reports failure.
bool WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    const DWORD chunk = data.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(data.size());
    DWORD written = 0;
    if (!::WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

class Win32WritableFile final : public WritableFile {
 public:
  Win32WritableFile(UniqueKernelHandle file, uint64_t size) : file_(std::move(file)), size_(size) {}

  bool Append(std::string_view data) override {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size_);
    if (!SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN)) return false;
    while (!data.empty()) {
      const DWORD chunk = data.size() > (1u << 30) ? (1u << 30) : static_cast<DWORD>(data.size());
      DWORD written = 0;
      const BOOL ok = ::WriteFile(file_.get(), data.data(), chunk, &written, nullptr);
      size_ += written;
      if (!ok || written == 0) return false;
      data.remove_prefix(written);
    }
    return true;
  }

  bool Flush() override { return FlushFileBuffers(file_.get()) != FALSE; }

  bool Truncate(uint64_t size) override {
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(size);
    if (!SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get()))
      return false;
    size_ = size;
    return true;
  }

  bool Overwrite(uint64_t offset, std::string_view data) override {
    if (offset > size_ || data.size() > size_ - offset) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(file_.get(), at, nullptr, FILE_BEGIN) && WriteAll(file_.get(), data);
  }

  uint64_t Size() const override { return size_; }

 private:
  UniqueKernelHandle file_;
  uint64_t size_;
};

class Win32FileReader final : public FileReader {
 public:
  explicit Win32FileReader(UniqueKernelHandle file) : file_(std::move(file)) {}

  bool Read(char* buffer, size_t capacity, size_t& read) override {
    const DWORD chunk = capacity > (1u << 30) ? (1u << 30) : static_cast<DWORD>(capacity);
    DWORD got = 0;
    if (!::ReadFile(file_.get(), buffer, chunk, &got, nullptr)) return false;
    read = got;
    return true;
  }

 private:
  UniqueKernelHandle file_;
};

// A DWORD value that is set and not 0; false when it or its key is missing.
bool DwordSet(HKEY root, const wchar_t* path, const wchar_t* name) {
  HKEY key = nullptr;
  // The 64-bit view where there is one: Explorer reads its settings there.
  if (RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS &&
      RegOpenKeyExW(root, path, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return false;
  DWORD value = 0, type = 0, size = sizeof(value);
  const LONG rc = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS && type == REG_DWORD && size == sizeof(value) && value != 0;
}

// Whether the shell would move a file of this volume into a Recycle Bin. Otherwise
// FOF_ALLOWUNDO deletes it for good without a word: removable, network and CD drives
// have none, and the user or a policy may have switched it off.
bool HasRecycleBin(const std::wstring& root) {
  if (GetDriveTypeW(root.c_str()) != DRIVE_FIXED) return false;
  SHQUERYRBINFO info{};
  info.cbSize = sizeof(info);
  if (FAILED(SHQueryRecycleBinW(root.c_str(), &info))) return false;
  const wchar_t* policies = L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer";
  if (DwordSet(HKEY_CURRENT_USER, policies, L"NoRecycleFiles") ||
      DwordSet(HKEY_LOCAL_MACHINE, policies, L"NoRecycleFiles"))
    return false;
  const std::wstring bitBucket = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket";
  // Windows Vista and later: per volume, by its GUID.
  wchar_t volume[MAX_PATH + 1] = {};
  if (GetVolumeNameForVolumeMountPointW(root.c_str(), volume, MAX_PATH)) {
    const wchar_t* open = wcschr(volume, L'{');
    const wchar_t* close = open ? wcschr(open, L'}') : nullptr;
    if (close != nullptr &&
        DwordSet(HKEY_CURRENT_USER,
                 (bitBucket + L"\\Volume\\" + std::wstring(open, close + 1)).c_str(), L"NukeOnDelete"))
      return false;
  }
  // Windows XP: one setting for all drives, or one per drive letter; either switched
  // on is taken as off for this drive.
  return !DwordSet(HKEY_LOCAL_MACHINE, bitBucket.c_str(), L"NukeOnDelete") &&
         !DwordSet(HKEY_LOCAL_MACHINE, (bitBucket + L"\\" + root.substr(0, 1)).c_str(),
                   L"NukeOnDelete");
}

struct PidlDeleter {
  void operator()(ITEMIDLIST* pidl) const { CoTaskMemFree(pidl); }
};

// SHFileOperation answers with a system error code or with one of the shell's own older
// codes (0x71 to 0x88, 0x402, 0x10000), which mean nothing to FormatMessage.
long ShellOperationError(int result) {
  switch (result) {
    case 0: return kSuccess;
    case 0x75: return ERROR_CANCELLED;              // DE_OPCANCELLED
    case 0x78: return kAccessDenied;                // DE_ACCESSDENIEDSRC
    case 0x79: return ERROR_FILENAME_EXCED_RANGE;   // DE_PATHTOODEEP
    case 0x7C: case 0x402: return kPathNotFound;    // DE_INVALIDFILES, an invalid path
    default: break;
  }
  if ((result >= 0x71 && result <= 0x88) || result >= 0x10000) return kGeneralFailure;
  return result;
}

// Watches a copy engine's deletion of one item: stops it before a deletion that would
// not go to the Recycle Bin, and records how the deletion ended.
class RecycleOnlySink final : public IFileOperationProgressSink {
 public:
  bool refused = false;            // the engine meant to delete the item for good
  bool ended = false;              // PostDeleteItem came
  HRESULT result = E_FAIL;         // its answer
  bool inBin = false;              // and the item it made in the Recycle Bin

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (out == nullptr) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IFileOperationProgressSink)) {
      *out = static_cast<IFileOperationProgressSink*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem*) override {
    // Without this flag the engine deletes the item for good (no bin on the volume, a
    // file too large for it, a bin switched off): an error here cancels it.
    if ((flags & TSF_DELETE_RECYCLE_IF_POSSIBLE) != 0) return S_OK;
    refused = true;
    return HRESULT_FROM_WIN32(ERROR_CANCELLED);
  }
  HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem*, HRESULT hrDelete,
                                           IShellItem* newlyCreated) override {
    ended = true;
    result = hrDelete;
    inBin = newlyCreated != nullptr;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT,
                                           IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT,
                                         IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT,
                                         IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT,
                                        IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }

 private:
  ~RecycleOnlySink() = default;
  std::atomic<ULONG> references_{1};
};

struct SinkReleaser {
  void operator()(RecycleOnlySink* sink) const { sink->Release(); }
};

// Windows Vista and later: the copy engine, with a sink that vetoes every deletion that
// would not go to the Recycle Bin. nullopt when there is no working engine (Windows XP;
// Wine, whose engine does not delete).
std::optional<RecycleResult> RecycleWithCopyEngine(const std::wstring& path) {
  ComPtr<IFileOperation> operation;
  if (FAILED(CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_IFileOperation,
                              operation.put())))
    return std::nullopt;
  HRESULT hr = operation->SetOperationFlags(FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT |
                                            FOF_NOERRORUI);
  if (hr == E_NOTIMPL) return std::nullopt;
  if (FAILED(hr)) return RecycleResult::Failed;
  ComPtr<IShellItem> item;
  if (FAILED(SHCreateItemFromParsingName(path.c_str(), nullptr, IID_IShellItem, item.put())))
    return RecycleResult::Failed;
  std::unique_ptr<RecycleOnlySink, SinkReleaser> sink(new RecycleOnlySink);
  hr = operation->DeleteItem(item.get(), sink.get());
  if (hr == E_NOTIMPL) return std::nullopt;
  if (FAILED(hr)) return RecycleResult::Failed;
  hr = operation->PerformOperations();
  if (sink->refused) return RecycleResult::NoRecycleBin;
  // An engine that did not even look at the item has not touched it.
  if (hr == E_NOTIMPL && !sink->ended) return std::nullopt;
  BOOL aborted = FALSE;
  if (FAILED(operation->GetAnyOperationsAborted(&aborted))) aborted = TRUE;
  return SUCCEEDED(hr) && !aborted && sink->ended && SUCCEEDED(sink->result) && sink->inBin
             ? RecycleResult::Recycled
             : RecycleResult::Failed;
}

// Counts and refuses every window this thread tries to create while it is installed.
thread_local int refusedWindows = 0;
LRESULT CALLBACK RefuseWindows(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_CREATEWND) {
    ++refusedWindows;
    return 1;
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct HookTraits {
  using Type = HHOOK;
  static Type Empty() { return nullptr; }
  static bool IsValid(Type h) { return h != nullptr; }
  static void Close(Type h) { ::UnhookWindowsHookEx(h); }
};

// Without a copy engine, SHFileOperation: with FOF_WANTNUKEWARNING the shell asks before
// it deletes anything for good (Wine: when it has no trash, or moving the file into it
// failed; Windows XP: no bin on the drive, a file too large for it). The question is a
// window on this thread, and no window may be made while the call runs, so it can never
// be answered Yes: the shell leaves the file and reports the operation aborted.
RecycleResult RecycleWithShellQuestion(std::wstring path) {
  UniqueHandle<HookTraits> hook(
      SetWindowsHookExW(WH_CBT, RefuseWindows, nullptr, GetCurrentThreadId()));
  if (!hook) return RecycleResult::Failed;
  refusedWindows = 0;
  path.push_back(L'\0');  // the list of names ends in two NULs
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = path.c_str();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING | FOF_SILENT |
              FOF_NOERRORUI;
  const int rc = SHFileOperationW(&op);
  hook.reset();
  if (refusedWindows > 0) return RecycleResult::NoRecycleBin;
  return rc == 0 && !op.fAnyOperationsAborted ? RecycleResult::Recycled : RecycleResult::Failed;
}

class Win32FileSystem final : public FileSystem {
 public:
  long Find(std::string_view pattern, FindEntry& entry) override {
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(FindFirstFileW(Wide(pattern).c_str(), &data));
    if (!find) return FailureCode();
    entry.name = Narrow(data.cFileName);
    entry.attributes = data.dwFileAttributes;
    return kSuccess;
  }

  long QueryAttributes(std::string_view path, uint32_t& attributes) override {
    const DWORD a = GetFileAttributesW(Wide(path).c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return FailureCode();
    attributes = a;
    return kSuccess;
  }

  uint32_t DriveType(std::string_view root) override {
    return GetDriveTypeW(Wide(root).c_str());
  }

  bool VolumeReady(std::string_view root) override {
    // An empty floppy or card drive must not raise the system's "insert a disk" prompt.
    ErrorModeScope quiet(SEM_FAILCRITICALERRORS);
    return GetVolumeInformationW(Wide(root).c_str(), nullptr, 0, nullptr, nullptr,
                                 nullptr, nullptr, 0) != FALSE;
  }

  bool ExpandEnvironment(std::string_view text, size_t capacity, std::string& expanded) override {
    if (capacity == 0) return false;
    if (capacity > MAXDWORD) capacity = MAXDWORD;
    // The limit counts characters of the expansion, as the ANSI call counted bytes for
    // the text it was given.
    std::vector<wchar_t> buffer(capacity, L'\0');
    const DWORD needed = ExpandEnvironmentStringsW(Wide(text).c_str(), buffer.data(),
                                                   static_cast<DWORD>(capacity));
    if (needed == 0 || needed > capacity) return false;
    expanded = Narrow(buffer.data());
    return true;
  }

  std::optional<std::string> SpecialFolder(int csidl) override {
    ITEMIDLIST* raw = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(nullptr, csidl, &raw)) || raw == nullptr)
      return std::nullopt;
    std::unique_ptr<ITEMIDLIST, PidlDeleter> pidl(raw);
    wchar_t path[MAX_PATH + 1] = {};
    if (!SHGetPathFromIDListW(pidl.get(), path)) return std::nullopt;
    return Narrow(path);
  }

  std::optional<std::string> ShortcutTarget(std::string_view linkPath) override {
    ComScope com;
    if (!com.ok()) return std::nullopt;
    ComPtr<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                link.put())))
      return std::nullopt;
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.put()))) return std::nullopt;

    if (FAILED(file->Load(Wide(linkPath).c_str(), STGM_READ))) return std::nullopt;

    wchar_t target[261] = {};
    WIN32_FIND_DATAW data{};
    if (FAILED(link->GetPath(target, 261, &data, SLGP_UNCPRIORITY))) return std::nullopt;
    target[260] = L'\0';
    return Narrow(target);
  }

  long List(std::string_view pattern, std::vector<DirEntry>& entries) override {
    entries.clear();
    WIN32_FIND_DATAW data{};
    UniqueFindHandle find(FindFirstFileW(Wide(pattern).c_str(), &data));
    if (!find) {
      const DWORD error = GetLastError();
      // The folder is there and nothing matches: an empty listing.
      if (error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES) return kSuccess;
      return error == ERROR_SUCCESS ? kInvalidParameter : static_cast<long>(error);
    }
    do {
      if (IsDotEntry(data.cFileName)) continue;
      DirEntry entry;
      entry.name = Narrow(data.cFileName);
      entry.attributes = data.dwFileAttributes;
      entry.writeTime = FileTimeValue(data.ftLastWriteTime);
      entry.size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
      entries.push_back(std::move(entry));
    } while (FindNextFileW(find.get(), &data));
    const DWORD error = GetLastError();
    if (error == ERROR_NO_MORE_FILES) return kSuccess;
    return error == ERROR_SUCCESS ? kInvalidParameter : static_cast<long>(error);
  }

  long QueryWriteTime(std::string_view path, uint64_t& writeTime) override {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data))
      return FailureCode();
    writeTime = FileTimeValue(data.ftLastWriteTime);
    return kSuccess;
  }

  std::string VolumePath(std::string_view path) override {
    ErrorModeScope quiet(SEM_FAILCRITICALERRORS);
    wchar_t volume[MAX_PATH + 1] = {};
    if (!GetVolumePathNameW(Wide(path).c_str(), volume, MAX_PATH + 1)) return "";
    return Narrow(volume);
  }

  bool StampsFolderChanges(std::string_view root) override {
    ErrorModeScope quiet(SEM_FAILCRITICALERRORS);
    // Asked through a handle of the root folder: the file system's name alone, without
    // reading the volume's label and serial number from the device.
    UniqueKernelHandle folder(CreateFileW(Wide(root).c_str(), FILE_READ_ATTRIBUTES,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                          nullptr));
    wchar_t name[MAX_PATH + 1] = {};
    if (!folder || !GetVolumeInformationByHandleW(folder.get(), nullptr, 0, nullptr, nullptr,
                                                  nullptr, name, MAX_PATH + 1))
      return false;
    return _wcsicmp(name, L"NTFS") == 0 || _wcsicmp(name, L"ReFS") == 0;
  }

  uint64_t CurrentFileTime() override {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return FileTimeValue(now);
  }

  bool RemoveFile(std::string_view path) override { return RemoveFileWithReason(path) == kSuccess; }

  long RemoveFileWithReason(std::string_view path) override {
    // The shell expands wildcards in the source list; one named file is all we delete.
    if (path.empty() || path.find_first_of("*?") != std::string_view::npos) return kInvalidParameter;
    std::wstring from = Wide(path);
    from.push_back(L'\0');  // the list of names ends in two NULs
    SHFILEOPSTRUCTW op{};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    return ShellOperationError(SHFileOperationW(&op));
  }

  RecycleResult RecycleFile(std::string_view path) override {
    if (path.empty() || path.find_first_of("*?") != std::string_view::npos)
      return RecycleResult::Failed;
    const std::wstring from = Wide(path);
    // Wine's shell takes a name it cannot move for one its trash refuses.
    const DWORD attributes = GetFileAttributesW(from.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
      return RecycleResult::Failed;
    wchar_t root[MAX_PATH + 1] = {};
    // Only a forecast, for a clear answer without trying; the deletion below is what
    // never lets the shell delete the file for good.
    if (!GetVolumePathNameW(from.c_str(), root, MAX_PATH) || !HasRecycleBin(root))
      return RecycleResult::NoRecycleBin;
    ComScope com;
    if (!com.ok()) return RecycleResult::Failed;
    if (const std::optional<RecycleResult> result = RecycleWithCopyEngine(from)) return *result;
    return RecycleWithShellQuestion(from);
  }

  bool CreateDirectories(std::string_view path) override {
    std::string folder(path);
    while (folder.size() > 3 && (folder.back() == '\\' || folder.back() == '/')) folder.pop_back();
    if (folder.empty()) return false;
    if (IsDirectory(folder)) return true;
    const size_t slash = folder.find_last_of("\\/");
    if (slash != std::string::npos && slash > 0) {
      const std::string parent = folder.substr(0, slash + (folder[slash - 1] == ':' ? 1 : 0));
      if (parent != folder && !CreateDirectories(parent)) return false;
    }
    if (CreateDirectoryW(Wide(folder).c_str(), nullptr)) return true;
    return IsDirectory(folder);  // made by someone else meanwhile
  }

  bool AppendToFile(std::string_view path, std::string_view header,
                    std::string_view text) override {
    const std::string name(path);
    UniqueKernelHandle file(CreateFileW(Wide(name).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    const bool created = GetLastError() != ERROR_ALREADY_EXISTS;
    bool ok = true;
    if (created) ok = WriteAll(file.get(), header);
    ok = ok && WriteAll(file.get(), text);
    if (!ok && created) {
      // A file without its header would never get one: leave nothing behind.
      file.reset();
      ::DeleteFileW(Wide(name).c_str());
    }
    return ok;
  }

  long CreateNewFile(std::string_view path, std::unique_ptr<WritableFile>& file) override {
    UniqueKernelHandle handle(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                          nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return static_cast<long>(GetLastError());
    file = std::make_unique<Win32WritableFile>(std::move(handle), 0);
    return kSuccess;
  }

  long OpenForAppend(std::string_view path, std::unique_ptr<WritableFile>& file) override {
    UniqueKernelHandle handle(CreateFileW(Wide(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                          nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return static_cast<long>(GetLastError());
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle.get(), &size)) return static_cast<long>(GetLastError());
    file = std::make_unique<Win32WritableFile>(std::move(handle),
                                               static_cast<uint64_t>(size.QuadPart));
    return kSuccess;
  }

  bool ReplaceFile(std::string_view from, std::string_view to) override {
    return MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
  }

  bool ReadFile(std::string_view path, std::string& contents) override {
    UniqueKernelHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string data;
    char buffer[65536];
    for (;;) {
      DWORD read = 0;
      if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr)) return false;
      if (read == 0) break;
      data.append(buffer, read);
    }
    contents = std::move(data);
    return true;
  }

  std::unique_ptr<FileReader> OpenForReading(std::string_view path) override {
    // No FILE_SHARE_WRITE or FILE_SHARE_DELETE: what was read stays what is there.
    UniqueKernelHandle file(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN,
                                        nullptr));
    if (!file) return nullptr;
    return std::make_unique<Win32FileReader>(std::move(file));
  }

  std::optional<std::string> FullPath(std::string_view path) override {
    if (path.empty()) return std::nullopt;
    const std::wstring wide = Wide(path);
    const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return std::nullopt;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return std::nullopt;
    full.resize(length);
    // Short (8.3) names of what exists become long ones; a missing path stays as it is.
    const DWORD longNeeded = GetLongPathNameW(full.c_str(), nullptr, 0);
    if (longNeeded != 0) {
      std::wstring longName(longNeeded, L'\0');
      const DWORD longLength = GetLongPathNameW(full.c_str(), longName.data(), longNeeded);
      if (longLength != 0 && longLength < longNeeded) {
        longName.resize(longLength);
        return Narrow(longName);
      }
    }
    return Narrow(full);
  }

  FileSystem& InView(View view) override {
    return view == View::Native ? *native_ : static_cast<FileSystem&>(*this);
  }

 private:
  const std::unique_ptr<FileSystem> native_ = MakeNativeProbeFileSystem(*this);
};

}  // namespace

std::unique_ptr<FileSystem> MakeFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace tallowin::platform::win32
