// gui_driver: drives the windows of another process as a user does (button clicks, keys,
// clicks on list rows, message box answers) and reads what the user sees (captions,
// texts, the status line, list rows), for the end-to-end GUI tests, the screenshots and
// the list benchmark.
//
//   gui_driver [--out FILE] COMMAND [OPTIONS] [ARGS]
//   gui_driver [--out FILE] batch FILE     runs FILE's commands (one a line, "#" comments)
//                                          in one process; stops at the first failure
//   gui_driver help                        lists the commands
//
// A top-level window is chosen by --class NAME, --title TEXT (exact), --has CAPTION (it
// holds a control of that caption), --pid N, --process-of CLASS (the process of that
// class's window) or --hwnd HEX (as the windows command prints it); only visible windows
// count unless --hidden is given. A control inside it by --ctl CLASS, --id N, --text CAPTION
// and --nth N (counted among the matches, from 0). Captions match with their "&"
// mnemonic marks or without. Waits end after --timeout MS (default 30000).
// Exit status: 0 done, 1 a check failed, 2 bad arguments, 3 timed out, 4 no such window
// or control, 5 the control cannot be used (hidden or disabled), 6 a message went
// unanswered.
#include <windows.h>
#include <commctrl.h>
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

enum Exit { kOk = 0, kCheckFailed = 1, kUsage = 2, kTimeout = 3, kNotFound = 4, kUnusable = 5,
            kNoAnswer = 6 };

constexpr UINT kAnswerMs = 5000;  // the longest a single message may take to be answered

FILE* g_out = stdout;
LARGE_INTEGER g_frequency, g_start;

double NowMs() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return 1000.0 * static_cast<double>(now.QuadPart - g_start.QuadPart) /
         static_cast<double>(g_frequency.QuadPart);
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr,
                                    0, nullptr, nullptr);
  std::string text(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), text.data(), n,
                      nullptr, nullptr);
  return text;
}

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), n);
  return wide;
}

void Print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vfprintf(g_out, format, args);
  va_end(args);
  std::fflush(g_out);
}

int Error(int code, const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  std::fprintf(stderr, "gui_driver: %s\n", text);
  if (g_out != stdout) Print("error: %s\n", text);
  return code;
}

// Texts as a user reads them: line ends as LF.
std::string Normalized(std::string text) {
  std::string result;
  for (size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) result += text[i];
  return result;
}

// A caption without its mnemonic marks ("&Fix Errors" -> "Fix Errors", "&&" -> "&").
std::wstring WithoutMnemonics(const std::wstring& caption) {
  std::wstring result;
  for (size_t i = 0; i < caption.size(); ++i) {
    if (caption[i] == L'&' && i + 1 < caption.size()) ++i;
    else if (caption[i] == L'&') continue;
    result += caption[i];
  }
  return result;
}

bool SameCaption(const std::wstring& actual, const std::wstring& wanted) {
  return actual == wanted || WithoutMnemonics(actual) == WithoutMnemonics(wanted);
}

// ---- Options -----------------------------------------------------------------------

const std::set<std::string> kFlags = {"--hidden", "--right", "--double", "--summary", "--at-end",
                                      "--any", "--timed"};

struct Args {
  std::map<std::string, std::string> options;
  std::set<std::string> flags;
  std::vector<std::string> words;

  bool Has(const std::string& name) const { return options.count(name) != 0; }
  bool Flag(const std::string& name) const { return flags.count(name) != 0; }
  std::string Get(const std::string& name, const std::string& fallback = "") const {
    auto found = options.find(name);
    return found == options.end() ? fallback : found->second;
  }
  long Number(const std::string& name, long fallback) const {
    auto found = options.find(name);
    return found == options.end() ? fallback : std::strtol(found->second.c_str(), nullptr, 0);
  }
  DWORD Timeout() const { return static_cast<DWORD>(Number("--timeout", 30000)); }
  DWORD Poll() const { return static_cast<DWORD>(Number("--poll", 20)); }
};

bool Parse(const std::vector<std::string>& tokens, size_t from, Args& args) {
  for (size_t i = from; i < tokens.size(); ++i) {
    const std::string& token = tokens[i];
    if (token.rfind("--", 0) == 0 && token.size() > 2) {
      if (kFlags.count(token)) {
        args.flags.insert(token);
      } else if (i + 1 < tokens.size()) {
        args.options[token] = tokens[++i];
      } else {
        Error(kUsage, "option %s needs a value", token.c_str());
        return false;
      }
    } else {
      args.words.push_back(token);
    }
  }
  return true;
}

// ---- Windows -----------------------------------------------------------------------

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

bool SameClass(HWND window, const std::wstring& wanted) {
  return lstrcmpiW(ClassOf(window).c_str(), wanted.c_str()) == 0;
}

DWORD ProcessOf(HWND window) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return pid;
}

// WM_GETTEXT answered by the window's own thread (a static's text included).
bool TextOf(HWND window, std::wstring& text) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kAnswerMs, &length))
    return false;
  std::wstring buffer(length + 2, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                           SMTO_NORMAL, kAnswerMs, &got))
    return false;
  buffer.resize(std::min<size_t>(got, buffer.size()));
  text = buffer;
  return true;
}

std::wstring TextOrEmpty(HWND window) {
  std::wstring text;
  TextOf(window, text);
  return text;
}

struct WindowQuery {
  std::wstring className, title, has;
  bool hasClass = false, hasTitle = false, hasControl = false;
  DWORD pid = 0;
  HWND window = nullptr;
  bool hidden = false;
};

bool MakeQuery(const Args& args, WindowQuery& query) {
  if (args.Has("--class")) { query.className = Wide(args.Get("--class")); query.hasClass = true; }
  if (args.Has("--title")) { query.title = Wide(args.Get("--title")); query.hasTitle = true; }
  if (args.Has("--has")) { query.has = Wide(args.Get("--has")); query.hasControl = true; }
  query.pid = static_cast<DWORD>(args.Number("--pid", 0));
  query.hidden = args.Flag("--hidden");
  query.window = reinterpret_cast<HWND>(static_cast<uintptr_t>(std::strtoul(args.Get("--hwnd", "0").c_str(), nullptr, 16)));
  if (args.Has("--process-of")) {
    HWND owner = FindWindowW(Wide(args.Get("--process-of")).c_str(), nullptr);
    if (owner == nullptr) return false;
    query.pid = ProcessOf(owner);
  }
  return true;
}

struct TopSearch {
  const WindowQuery* query;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTop(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<TopSearch*>(data);
  const WindowQuery& q = *search->query;
  if (!q.hidden && !IsWindowVisible(window)) return TRUE;
  if (q.window != nullptr && window != q.window) return TRUE;
  if (q.pid != 0 && ProcessOf(window) != q.pid) return TRUE;
  if (q.hasClass && !SameClass(window, q.className)) return TRUE;
  if (q.hasTitle) {
    wchar_t title[512] = {};
    InternalGetWindowText(window, title, 512);
    if (q.title != title) return TRUE;
  }
  search->found.push_back(window);
  return TRUE;
}

bool HoldsControl(HWND top, const std::wstring& caption);

std::vector<HWND> TopWindows(const WindowQuery& query) {
  TopSearch search{&query, {}};
  EnumWindows(CollectTop, reinterpret_cast<LPARAM>(&search));
  if (query.hasControl)
    search.found.erase(std::remove_if(search.found.begin(), search.found.end(),
                                      [&](HWND w) { return !HoldsControl(w, query.has); }),
                       search.found.end());
  return search.found;
}

// Waits for a top-level window; 0 on success, else the exit code.
int WaitTop(const Args& args, HWND& window) {
  const double end = NowMs() + args.Timeout();
  for (;;) {
    WindowQuery query;
    if (MakeQuery(args, query)) {
      std::vector<HWND> found = TopWindows(query);
      if (!found.empty()) {
        window = found.front();
        return kOk;
      }
    }
    if (NowMs() >= end) break;
    Sleep(args.Poll());
  }
  std::string wanted;
  for (const char* option : {"--class", "--title", "--has", "--process-of", "--pid", "--hwnd"})
    if (args.Has(option)) wanted += std::string(" ") + (option + 2) + " \"" + args.Get(option) + "\"";
  return Error(kTimeout, "no window with%s after %lu ms", wanted.c_str(), args.Timeout());
}

bool WantsControl(const Args& args) {
  return args.Has("--ctl") || args.Has("--id") || args.Has("--text") || args.Has("--nth");
}

BOOL CALLBACK CollectChild(HWND child, LPARAM data) {
  reinterpret_cast<std::vector<HWND>*>(data)->push_back(child);
  return TRUE;
}

std::vector<HWND> Descendants(HWND top) {
  std::vector<HWND> found;
  EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

bool HoldsControl(HWND top, const std::wstring& caption) {
  for (HWND child : Descendants(top))
    if (SameCaption(TextOrEmpty(child), caption)) return true;
  return false;
}

HWND FindControl(HWND top, const Args& args) {
  const long nth = args.Number("--nth", 0);
  long seen = 0;
  for (HWND child : Descendants(top)) {
    if (args.Has("--ctl") && !SameClass(child, Wide(args.Get("--ctl")))) continue;
    if (args.Has("--id") && GetDlgCtrlID(child) != args.Number("--id", 0)) continue;
    if (args.Has("--text") && !SameCaption(TextOrEmpty(child), Wide(args.Get("--text")))) continue;
    if (seen++ == nth) return child;
  }
  return nullptr;
}

// The window a command acts on: the top-level window, or the control in it. Waits for
// both; 0 on success, else the exit code.
int Target(const Args& args, HWND& target, HWND* topOut = nullptr) {
  HWND top = nullptr;
  if (int rc = WaitTop(args, top)) return rc;
  if (topOut) *topOut = top;
  if (!WantsControl(args)) {
    target = top;
    return kOk;
  }
  const double end = NowMs() + args.Timeout();
  for (;;) {
    if ((target = FindControl(top, args)) != nullptr) return kOk;
    if (NowMs() >= end || !IsWindow(top)) break;
    Sleep(args.Poll());
  }
  return Error(kNotFound, "no control%s%s%s%s in the window", args.Has("--ctl") ? " of class " : "",
               args.Get("--ctl").c_str(), args.Has("--text") ? " captioned " : "",
               args.Get("--text").c_str());
}

bool Usable(HWND control) {
  return IsWindowVisible(control) && IsWindowEnabled(control);
}

bool Answered(HWND window, UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR* result = nullptr) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kAnswerMs,
                             result ? result : &ignored) != 0;
}

// ---- Memory of the other process (for messages that carry pointers) ------------------

class Remote {
 public:
  Remote(HWND window, size_t size) : size_(size) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                           PROCESS_QUERY_INFORMATION, FALSE, ProcessOf(window));
    if (process_ == nullptr) return;
    BOOL mine = FALSE, theirs = FALSE;
    IsWow64Process(GetCurrentProcess(), &mine);
    IsWow64Process(process_, &theirs);
    wide_ = mine && !theirs;  // a 64-bit program, seen from this 32-bit one
    address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~Remote() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  Remote(const Remote&) = delete;
  Remote& operator=(const Remote&) = delete;

  bool ok() const { return address_ != nullptr; }
  // Whether the other process is 64-bit: its structures hold 8-byte pointers.
  bool wide() const { return wide_; }
  char* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
  LPARAM param(size_t offset = 0) const { return reinterpret_cast<LPARAM>(at(offset)); }
  bool Write(const void* data, size_t size, size_t offset = 0) {
    return offset + size <= size_ && WriteProcessMemory(process_, at(offset), data, size, nullptr);
  }
  bool Read(void* data, size_t size, size_t offset = 0) const {
    return offset + size <= size_ && ReadProcessMemory(process_, at(offset), data, size, nullptr);
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
  bool wide_ = false;
};

// The text of a status bar: SB_GETTEXT answers for the simple part as well.
bool StatusText(HWND bar, std::wstring& text) {
  DWORD_PTR size = 0;
  if (!Answered(bar, SB_GETTEXTLENGTHW, 0, 0, &size)) return false;
  const size_t chars = LOWORD(size) + 1;
  Remote buffer(bar, chars * sizeof(wchar_t));
  if (!buffer.ok()) return false;
  if (!Answered(bar, SB_GETTEXTW, 0, buffer.param())) return false;
  std::wstring result(chars, L'\0');
  if (!buffer.Read(result.data(), chars * sizeof(wchar_t))) return false;
  result.resize(wcsnlen(result.c_str(), chars));
  text = result;
  return true;
}

struct ListSummary {
  long count = 0, top = 0, perPage = 0, selected = -1, focused = -1, columns = 0;
};

bool ListInfo(HWND list, ListSummary& info) {
  DWORD_PTR value = 0;
  if (!Answered(list, LVM_GETITEMCOUNT, 0, 0, &value)) return false;
  info.count = static_cast<long>(value);
  if (!Answered(list, LVM_GETTOPINDEX, 0, 0, &value)) return false;
  info.top = static_cast<long>(value);
  if (!Answered(list, LVM_GETCOUNTPERPAGE, 0, 0, &value)) return false;
  info.perPage = static_cast<long>(value);
  if (!Answered(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, &value)) return false;
  info.selected = static_cast<long>(static_cast<LRESULT>(value));
  if (!Answered(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED, &value)) return false;
  info.focused = static_cast<long>(static_cast<LRESULT>(value));
  HWND header = nullptr;
  if (Answered(list, LVM_GETHEADER, 0, 0, &value)) header = reinterpret_cast<HWND>(value);
  if (header != nullptr && Answered(header, HDM_GETITEMCOUNT, 0, 0, &value))
    info.columns = static_cast<long>(value);
  return true;
}

// LVITEMW and TVITEMW laid out for the other process: the text pointer and what follows
// move when pointers are 8 bytes. The text buffer follows at kTextOffset.
constexpr size_t kItemBytes = 128, kTextChars = 1024;
constexpr size_t kTextOffset = kItemBytes;
constexpr size_t kRemoteItemBytes = kItemBytes + kTextChars * sizeof(wchar_t);

struct RemoteItem {
  unsigned char bytes[kItemBytes] = {};
  void Put32(size_t offset, uint32_t value) { std::memcpy(bytes + offset, &value, 4); }
  void PutPointer(size_t offset, uint64_t value, bool wide) {
    if (wide) std::memcpy(bytes + offset, &value, 8);
    else Put32(offset, static_cast<uint32_t>(value));
  }
};

bool ReadRemoteText(const Remote& memory, std::wstring& text) {
  std::wstring buffer(kTextChars, L'\0');
  if (!memory.Read(buffer.data(), kTextChars * sizeof(wchar_t), kTextOffset)) return false;
  buffer.resize(wcsnlen(buffer.c_str(), kTextChars));
  text = buffer;
  return true;
}

bool ItemText(HWND list, Remote& memory, long item, int column, std::wstring& text) {
  const bool wide = memory.wide();
  RemoteItem request;
  request.Put32(0, LVIF_TEXT);                   // mask
  request.Put32(4, static_cast<uint32_t>(item));  // iItem
  request.Put32(8, static_cast<uint32_t>(column));  // iSubItem
  request.PutPointer(wide ? 24 : 20, reinterpret_cast<uintptr_t>(memory.at(kTextOffset)), wide);  // pszText
  request.Put32(wide ? 32 : 24, kTextChars);      // cchTextMax
  const wchar_t nothing = 0;
  if (!memory.Write(request.bytes, kItemBytes) || !memory.Write(&nothing, sizeof nothing, kTextOffset))
    return false;
  DWORD_PTR length = 0;
  if (!Answered(list, LVM_GETITEMTEXTW, item, memory.param(), &length)) return false;
  return ReadRemoteText(memory, text);
}

// "x" checked, "-" unchecked, "?" the list shows no check box state for the row.
const char* CheckMark(HWND list, long item) {
  DWORD_PTR state = 0;
  if (!Answered(list, LVM_GETITEMSTATE, item, LVIS_STATEIMAGEMASK, &state)) return "?";
  switch ((state & LVIS_STATEIMAGEMASK) >> 12) {
    case 1: return "-";
    case 2: return "x";
    default: return "?";
  }
}

bool ItemRect(HWND list, Remote& memory, long item, int part, RECT& rect) {
  RECT request{part, 0, 0, 0};
  return memory.Write(&request, sizeof request) &&
         Answered(list, LVM_GETITEMRECT, item, memory.param()) &&
         memory.Read(&rect, sizeof rect);
}

bool HitTest(HWND list, Remote& memory, POINT point, LVHITTESTINFO& hit) {
  LVHITTESTINFO request{};
  request.pt = point;
  DWORD_PTR ignored = 0;
  return memory.Write(&request, sizeof request) &&
         Answered(list, LVM_HITTEST, 0, memory.param(), &ignored) &&
         memory.Read(&hit, sizeof hit);
}

// The path of the selected item of a tree view, its labels joined by "\\". Item handles
// of a 64-bit tree come back cut to 32 bits; Wine's fit.
bool TreePath(HWND tree, std::wstring& path) {
  DWORD_PTR item = 0;
  if (!Answered(tree, TVM_GETNEXTITEM, TVGN_CARET, 0, &item)) return false;
  Remote memory(tree, kRemoteItemBytes);
  if (!memory.ok()) return false;
  const bool wide = memory.wide();
  std::vector<std::wstring> parts;
  while (item != 0) {
    RemoteItem request;
    request.Put32(0, TVIF_TEXT | TVIF_HANDLE);                                             // mask
    request.PutPointer(wide ? 8 : 4, item, wide);                                          // hItem
    request.PutPointer(wide ? 24 : 16, reinterpret_cast<uintptr_t>(memory.at(kTextOffset)), wide);  // pszText
    request.Put32(wide ? 32 : 20, kTextChars);                                             // cchTextMax
    std::wstring label;
    if (!memory.Write(request.bytes, kItemBytes) || !Answered(tree, TVM_GETITEMW, 0, memory.param()) ||
        !ReadRemoteText(memory, label))
      return false;
    parts.push_back(label);
    if (!Answered(tree, TVM_GETNEXTITEM, TVGN_PARENT, static_cast<LPARAM>(item), &item)) return false;
  }
  path.clear();
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    if (!path.empty()) path += L'\\';
    path += *part;
  }
  return true;
}

// ---- Keys --------------------------------------------------------------------------

const std::map<std::string, WORD> kKeys = {
    {"space", VK_SPACE}, {"enter", VK_RETURN}, {"escape", VK_ESCAPE}, {"tab", VK_TAB},
    {"up", VK_UP}, {"down", VK_DOWN}, {"left", VK_LEFT}, {"right", VK_RIGHT},
    {"home", VK_HOME}, {"end", VK_END}, {"pgup", VK_PRIOR}, {"pgdn", VK_NEXT},
    {"delete", VK_DELETE}, {"backspace", VK_BACK}, {"apps", VK_APPS}, {"f1", VK_F1},
    {"f5", VK_F5}, {"f10", VK_F10}, {"ctrl", VK_CONTROL}, {"shift", VK_SHIFT}, {"alt", VK_MENU}};

bool KeyCode(const std::string& name, WORD& key) {
  auto found = kKeys.find(name);
  if (found != kKeys.end()) {
    key = found->second;
    return true;
  }
  if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0]))) {
    key = static_cast<WORD>(std::toupper(static_cast<unsigned char>(name[0])));
    return true;
  }
  return false;
}

bool Extended(WORD key) {
  switch (key) {
    case VK_UP: case VK_DOWN: case VK_LEFT: case VK_RIGHT: case VK_HOME: case VK_END:
    case VK_PRIOR: case VK_NEXT: case VK_DELETE: case VK_APPS:
      return true;
    default:
      return false;
  }
}

// A key pressed and released, as posted by the system to the focused window; the
// program's own loop makes WM_CHAR of it.
void PostKey(HWND window, WORD key) {
  const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
  const LPARAM extended = Extended(key) ? (1 << 24) : 0;
  PostMessageW(window, WM_KEYDOWN, key, 1 | scan | extended);
  PostMessageW(window, WM_KEYUP, key, 1 | scan | extended | (1 << 30) | (1u << 31));
}

// ---- Commands ----------------------------------------------------------------------

int CmdWindows(const Args& args) {
  WindowQuery query;
  if (!MakeQuery(args, query)) return Error(kNotFound, "no window of class %s", args.Get("--process-of").c_str());
  for (HWND window : TopWindows(query)) {
    RECT r{};
    GetWindowRect(window, &r);
    wchar_t title[512] = {};
    InternalGetWindowText(window, title, 512);
    Print("%p pid=%lu %s %s class=\"%s\" title=\"%s\" rect=%ld,%ld,%ldx%ld owner=%p\n",
          static_cast<void*>(window), ProcessOf(window), IsWindowVisible(window) ? "visible" : "hidden",
          IsWindowEnabled(window) ? "enabled" : "disabled", Utf8(ClassOf(window)).c_str(),
          Utf8(title).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top,
          static_cast<void*>(GetWindow(window, GW_OWNER)));
  }
  return kOk;
}

int CmdControls(const Args& args) {
  HWND top = nullptr;
  if (int rc = WaitTop(args, top)) return rc;
  RECT client{};
  GetClientRect(top, &client);
  Print("window \"%s\" client %ldx%ld\n", Utf8(TextOrEmpty(top)).c_str(), client.right, client.bottom);
  for (HWND child : Descendants(top)) {
    RECT r{};
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, top, reinterpret_cast<POINT*>(&r), 2);
    Print("%p id=%d class=%s %s %s at=%ld,%ld size=%ldx%ld text=\"%s\"\n", static_cast<void*>(child),
          GetDlgCtrlID(child), Utf8(ClassOf(child)).c_str(),
          IsWindowVisible(child) ? "visible" : "hidden", IsWindowEnabled(child) ? "enabled" : "disabled",
          r.left, r.top, r.right - r.left, r.bottom - r.top, Utf8(TextOrEmpty(child)).c_str());
  }
  return kOk;
}

int CmdWait(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  Print("%p %s\n", static_cast<void*>(target), Utf8(TextOrEmpty(target)).c_str());
  return kOk;
}

int CmdGone(const Args& args) {
  const double end = NowMs() + args.Timeout();
  for (;;) {
    WindowQuery query;
    if (!MakeQuery(args, query) || TopWindows(query).empty()) return kOk;
    if (NowMs() >= end) break;
    Sleep(args.Poll());
  }
  return Error(kTimeout, "the window is still there after %lu ms", args.Timeout());
}

int CmdState(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  HWND root = GetAncestor(target, GA_ROOT);
  Print("%s %s %s%s%s\n", IsWindowVisible(target) ? "visible" : "hidden",
        IsWindowEnabled(target) ? "enabled" : "disabled",
        GetForegroundWindow() == root ? "foreground" : "background",
        IsIconic(root) ? " minimized" : "", IsZoomed(root) ? " maximized" : "");
  return kOk;
}

int CmdText(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  std::wstring text;
  if (!TextOf(target, text)) return Error(kNoAnswer, "the window does not answer WM_GETTEXT");
  Print("%s\n", Normalized(Utf8(text)).c_str());
  return kOk;
}

// Whether TEXT meets the --equals / --contains / --matches condition of ARGS.
bool Meets(const Args& args, const std::string& text) {
  if (args.Has("--equals") && text != Normalized(args.Get("--equals"))) return false;
  if (args.Has("--contains") && text.find(Normalized(args.Get("--contains"))) == std::string::npos)
    return false;
  if (args.Has("--matches") && !std::regex_search(text, std::regex(args.Get("--matches"))))
    return false;
  return true;
}

// Polls READ until its text meets the condition; prints the last text.
template <typename Reader>
int WaitForText(const Args& args, HWND window, Reader read) {
  const double end = NowMs() + args.Timeout();
  std::string last;
  bool answered = false;
  for (;;) {
    std::wstring text;
    if (!IsWindow(window)) return Error(kNotFound, "the window closed; its text was \"%s\"", last.c_str());
    if (read(text)) {
      answered = true;
      last = Normalized(Utf8(text));
      if (Meets(args, last)) {
        Print("%s\n", last.c_str());
        return kOk;
      }
    }
    if (NowMs() >= end) break;
    Sleep(args.Poll());
  }
  if (!answered) return Error(kNoAnswer, "the text could not be read");
  return Error(kTimeout, "the text is still \"%s\" after %lu ms", last.c_str(), args.Timeout());
}

// With --any, any control of the window that the options choose (--nth aside) counts.
int CmdWaitText(const Args& args) {
  HWND target = nullptr, top = nullptr;
  if (!args.Flag("--any")) {
    if (int rc = Target(args, target)) return rc;
    return WaitForText(args, target, [&](std::wstring& text) { return TextOf(target, text); });
  }
  if (int rc = WaitTop(args, top)) return rc;
  Args each = args;
  each.options.erase("--nth");
  return WaitForText(args, top, [&](std::wstring& text) {
    bool read = false;
    for (HWND child : Descendants(top)) {
      if (each.Has("--ctl") && !SameClass(child, Wide(each.Get("--ctl")))) continue;
      if (each.Has("--id") && GetDlgCtrlID(child) != each.Number("--id", 0)) continue;
      std::wstring candidate;
      if (!TextOf(child, candidate)) continue;
      read = true;
      text = candidate;
      if (Meets(args, Normalized(Utf8(candidate)))) break;
    }
    return read;
  });
}

int CmdSetText(const Args& args) {
  if (args.words.size() != 1) return Error(kUsage, "set-text takes one text");
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  if (!Usable(target)) return Error(kUnusable, "the control is hidden or disabled");
  const std::wstring text = Wide(args.words[0]);
  if (!Answered(target, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())))
    return Error(kNoAnswer, "WM_SETTEXT was not answered");
  return kOk;
}

// Picks item --item N (from 0) of a drop-down list as a user does: the selection, then
// the notification its owner acts on.
int CmdSelect(const Args& args) {
  HWND box = nullptr;
  if (int rc = Target(args, box)) return rc;
  if (!Usable(box)) return Error(kUnusable, "the control is hidden or disabled");
  const long item = args.Number("--item", -1);
  DWORD_PTR selected = 0;
  if (!Answered(box, CB_SETCURSEL, static_cast<WPARAM>(item), 0, &selected))
    return Error(kNoAnswer, "CB_SETCURSEL was not answered");
  if (item < 0 || static_cast<long>(selected) != item) return Error(kCheckFailed, "no item %ld", item);
  PostMessageW(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), CBN_SELCHANGE),
               reinterpret_cast<LPARAM>(box));
  return kOk;
}

int CmdClick(const Args& args) {
  HWND button = nullptr;
  if (int rc = Target(args, button)) return rc;
  // A user can only press what is there and enabled: wait for it to become so.
  const double end = NowMs() + args.Timeout();
  while (!Usable(button)) {
    if (NowMs() >= end || !IsWindow(button))
      return Error(kUnusable, "\"%s\" is %s", Utf8(TextOrEmpty(button)).c_str(),
                   IsWindowVisible(button) ? "disabled" : "hidden");
    Sleep(args.Poll());
  }
  // Posted: the click may open a modal window that answers only when it closes.
  PostMessageW(button, BM_CLICK, 0, 0);
  return kOk;
}

// Prints enabled or disabled (hidden counts as disabled); with --expect, waits for that
// state (enabling rules may follow on the next idle moment).
int CmdEnabled(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  const double end = NowMs() + args.Timeout();
  for (;;) {
    const char* state = IsWindowEnabled(target) && IsWindowVisible(target) ? "enabled" : "disabled";
    if (!args.Has("--expect") || args.Get("--expect") == state) {
      Print("%s\n", state);
      return kOk;
    }
    if (NowMs() >= end)
      return Error(kCheckFailed, "\"%s\" is %s", Utf8(TextOrEmpty(target)).c_str(), state);
    Sleep(args.Poll());
  }
}

bool IsMessageBox(HWND window) {
  if (!SameClass(window, L"#32770")) return false;
  bool text = false, other = false;
  for (HWND child : Descendants(window)) {
    if (SameClass(child, L"Static")) text = true;
    else if (!SameClass(child, L"Button")) other = true;
  }
  return text && !other;
}

std::wstring MessageText(HWND box) {
  if (HWND text = GetDlgItem(box, 0xFFFF)) return TextOrEmpty(text);
  std::wstring longest;
  for (HWND child : Descendants(box))
    if (SameClass(child, L"Static")) {
      std::wstring text = TextOrEmpty(child);
      if (text.size() > longest.size()) longest = text;
    }
  return longest;
}

// Waits for a message box (of the chosen process; caption "Tallowin" unless --title
// says otherwise), prints its text, checks it against --expect, presses --press.
int CmdMessageBox(const Args& given) {
  Args args = given;
  if (!args.Has("--title")) args.options["--title"] = "Tallowin";
  args.options["--class"] = "#32770";
  const double end = NowMs() + args.Timeout();
  HWND box = nullptr;
  while (box == nullptr) {
    WindowQuery query;
    if (MakeQuery(args, query))
      for (HWND window : TopWindows(query))
        if (IsMessageBox(window)) box = window;
    if (box != nullptr) break;
    if (NowMs() >= end) return Error(kTimeout, "no message box after %lu ms", args.Timeout());
    Sleep(args.Poll());
  }
  const std::string text = Normalized(Utf8(MessageText(box)));
  Print("%s\n", text.c_str());
  std::vector<std::string> buttons;
  HWND press = nullptr;
  for (HWND child : Descendants(box)) {
    if (!SameClass(child, L"Button") || !IsWindowVisible(child)) continue;
    const std::wstring caption = TextOrEmpty(child);
    buttons.push_back(Utf8(caption));
    if (args.Has("--press") && SameCaption(caption, Wide(args.Get("--press")))) press = child;
  }
  if (args.Has("--buttons")) {
    std::string all;
    for (const std::string& b : buttons) all += (all.empty() ? "" : ",") + Utf8(WithoutMnemonics(Wide(b)));
    if (all != args.Get("--buttons"))
      return Error(kCheckFailed, "the message box has the buttons %s", all.c_str());
  }
  if (args.Has("--expect") && text != Normalized(args.Get("--expect")))
    return Error(kCheckFailed, "the message box says \"%s\"", text.c_str());
  if (args.Has("--press")) {
    if (press == nullptr) return Error(kNotFound, "the message box has no button \"%s\"", args.Get("--press").c_str());
    PostMessageW(press, BM_CLICK, 0, 0);
  }
  return kOk;
}

HWND StatusBarOf(const Args& given, int& rc) {
  Args args = given;
  if (!args.Has("--ctl")) args.options["--ctl"] = "msctls_statusbar32";
  HWND bar = nullptr;
  rc = Target(args, bar);
  return bar;
}

int CmdStatus(const Args& args) {
  int rc = kOk;
  HWND bar = StatusBarOf(args, rc);
  if (rc) return rc;
  std::wstring text;
  if (!StatusText(bar, text)) return Error(kNoAnswer, "the status bar text could not be read");
  Print("%s\n", Utf8(text).c_str());
  return kOk;
}

int CmdWaitStatus(const Args& args) {
  int rc = kOk;
  HWND bar = StatusBarOf(args, rc);
  if (rc) return rc;
  return WaitForText(args, bar, [&](std::wstring& text) { return StatusText(bar, text); });
}

HWND ListOf(const Args& given, int& rc) {
  Args args = given;
  if (!args.Has("--ctl") && !args.Has("--id")) args.options["--ctl"] = "SysListView32";
  HWND list = nullptr;
  rc = Target(args, list);
  return list;
}

// Prints "count N top T perpage P selected S focused F columns C", then unless
// --summary one line per row: index, check mark, the columns' texts (tab-separated).
// --rows A:B limits the rows (B excluded).
int CmdList(const Args& args) {
  int rc = kOk;
  HWND list = ListOf(args, rc);
  if (rc) return rc;
  ListSummary info;
  if (!ListInfo(list, info)) return Error(kNoAnswer, "the list does not answer");
  Print("count %ld top %ld perpage %ld selected %ld focused %ld columns %ld\n", info.count, info.top,
        info.perPage, info.selected, info.focused, info.columns);
  if (args.Flag("--summary")) return kOk;
  long from = 0, to = info.count;
  if (args.Has("--rows")) {
    const std::string rows = args.Get("--rows");
    from = std::strtol(rows.c_str(), nullptr, 10);
    const size_t colon = rows.find(':');
    if (colon != std::string::npos) to = std::min(to, std::strtol(rows.c_str() + colon + 1, nullptr, 10));
  }
  Remote memory(list, kRemoteItemBytes);
  if (!memory.ok()) return Error(kNoAnswer, "cannot reach the list's memory");
  const int columns = std::max<long>(info.columns, 1);
  for (long row = from; row < to; ++row) {
    std::string line = std::to_string(row) + "\t" + CheckMark(list, row);
    for (int column = 0; column < columns; ++column) {
      std::wstring text;
      if (!ItemText(list, memory, row, column, text)) return Error(kNoAnswer, "row %ld unreadable", row);
      line += "\t" + Utf8(text);
    }
    Print("%s\n", line.c_str());
  }
  return kOk;
}

// Waits until the list has --count rows and/or shows its last row (--at-end).
int CmdWaitList(const Args& args) {
  int rc = kOk;
  HWND list = ListOf(args, rc);
  if (rc) return rc;
  const double end = NowMs() + args.Timeout();
  ListSummary info;
  for (;;) {
    if (ListInfo(list, info) && (!args.Has("--count") || info.count == args.Number("--count", 0)) &&
        (!args.Flag("--at-end") || info.top + info.perPage >= info.count)) {
      Print("count %ld top %ld perpage %ld\n", info.count, info.top, info.perPage);
      return kOk;
    }
    if (NowMs() >= end) break;
    Sleep(args.Poll());
  }
  return Error(kTimeout, "the list still has %ld rows, top %ld, after %lu ms", info.count, info.top,
               args.Timeout());
}

// Clicks on row --row: on its check box (--at check) or its text (the default), with the
// right button (--right) or twice (--double); --timed prints "clicked T", the time of the
// press (after the search for the place to click).
int CmdRow(const Args& args) {
  int rc = kOk;
  HWND list = ListOf(args, rc);
  if (rc) return rc;
  if (!Usable(list)) return Error(kUnusable, "the list is hidden or disabled");
  const long row = args.Number("--row", -1);
  ListSummary info;
  if (!ListInfo(list, info)) return Error(kNoAnswer, "the list does not answer");
  if (row < 0 || row >= info.count) return Error(kNotFound, "no row %ld in %ld", row, info.count);
  Answered(list, LVM_ENSUREVISIBLE, row, FALSE);
  Remote memory(list, 64);  // a RECT or an LVHITTESTINFO: no pointers, one layout
  if (!memory.ok()) return Error(kNoAnswer, "cannot reach the list's memory");
  RECT bounds{};
  if (!ItemRect(list, memory, row, LVIR_BOUNDS, bounds)) return Error(kNoAnswer, "no rectangle of row %ld", row);
  const LONG middle = (bounds.top + bounds.bottom) / 2;
  const std::string at = args.Get("--at", "label");
  POINT point{-1, middle};
  if (at == "check") {
    // The middle of the stretch the list reports as the check box.
    LONG first = -1, last = -1;
    for (LONG x = bounds.left; x < bounds.right; ++x) {
      LVHITTESTINFO hit{};
      if (!HitTest(list, memory, POINT{x, middle}, hit)) return Error(kNoAnswer, "the list does not answer hit tests");
      const bool on = hit.iItem == row && (hit.flags & LVHT_ONITEMSTATEICON) != 0;
      if (on && first < 0) first = x;
      if (on) last = x;
      if (!on && first >= 0) break;
    }
    if (first >= 0) point.x = (first + last) / 2;
  } else {
    RECT label{};
    if (!ItemRect(list, memory, row, LVIR_LABEL, label)) return Error(kNoAnswer, "no label of row %ld", row);
    for (LONG x = label.left + 8; x < label.right && point.x < 0; x += 4) {
      LVHITTESTINFO hit{};
      if (!HitTest(list, memory, POINT{x, middle}, hit)) return Error(kNoAnswer, "the list does not answer hit tests");
      if (hit.iItem == row && (hit.flags & LVHT_ONITEMSTATEICON) == 0 && (hit.flags & LVHT_ONITEM) != 0)
        point.x = x;
    }
  }
  if (point.x < 0) return Error(kNotFound, "row %ld shows no %s", row, at.c_str());
  const LPARAM where = MAKELPARAM(point.x, point.y);
  const bool right = args.Flag("--right");
  const UINT down = right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, up = right ? WM_RBUTTONUP : WM_LBUTTONUP;
  const WPARAM held = right ? MK_RBUTTON : MK_LBUTTON;
  PostMessageW(list, down, held, where);
  if (args.Flag("--timed")) Print("clicked %.1f\n", NowMs());
  PostMessageW(list, up, 0, where);
  if (args.Flag("--double")) {
    PostMessageW(list, right ? WM_RBUTTONDBLCLK : WM_LBUTTONDBLCLK, held, where);
    PostMessageW(list, up, 0, where);
  }
  return kOk;
}

// Rests the mouse on row --row's text until a tooltip of the list's process shows; waits
// until its text meets --equals / --contains / --matches (any text without them) and
// prints it. The tooltip's WM_GETTEXT answers with the text it shows.
// --timed: the row is scrolled into view and painted first; a tip still showing from
// before must go first; then "tip-time ROW shown S ms initial D ms answer A ms" comes
// before the text: S from the mouse's arrival to the tip shown, D the tooltip's own
// pause (TTDT_INITIAL), A = S - D.
int CmdTip(const Args& args) {
  int rc = kOk;
  HWND list = ListOf(args, rc);
  if (rc) return rc;
  if (!Usable(list)) return Error(kUnusable, "the list is hidden or disabled");
  const long row = args.Number("--row", -1);
  ListSummary info;
  if (!ListInfo(list, info)) return Error(kNoAnswer, "the list does not answer");
  if (row < 0 || row >= info.count) return Error(kNotFound, "no row %ld in %ld", row, info.count);
  const bool timed = args.Flag("--timed");
  Answered(list, LVM_ENSUREVISIBLE, row, FALSE);
  if (timed && !UpdateWindow(list)) return Error(kNoAnswer, "the list does not paint");
  Remote memory(list, 64);
  if (!memory.ok()) return Error(kNoAnswer, "cannot reach the list's memory");
  RECT label{};
  if (!ItemRect(list, memory, row, LVIR_LABEL, label)) return Error(kNoAnswer, "no label of row %ld", row);
  const POINT at{(label.left + label.right) / 2, (label.top + label.bottom) / 2};
  POINT screen = at;
  ClientToScreen(list, &screen);
  SetForegroundWindow(GetAncestor(list, GA_ROOT));
  SetCursorPos(screen.x, screen.y);
  const double rested = NowMs();
  PostMessageW(list, WM_MOUSEMOVE, 0, MAKELPARAM(at.x, at.y));

  struct Search {
    DWORD pid;
    std::vector<HWND> tips;
  } search{ProcessOf(list), {}};
  auto visibleTips = [&search] {
    search.tips.clear();
    EnumWindows(
        [](HWND window, LPARAM data) WINAPI -> BOOL {
          auto* found = reinterpret_cast<Search*>(data);
          if (IsWindowVisible(window) && ProcessOf(window) == found->pid &&
              SameClass(window, TOOLTIPS_CLASSW))
            found->tips.push_back(window);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.tips;
  };
  const double end = NowMs() + args.Timeout();
  // The row left hides its tip as soon as the list has taken the mouse's move.
  while (timed && !visibleTips().empty()) {
    if (NowMs() >= end) return Error(kTimeout, "the tooltip of the row before stays");
    Sleep(args.Poll());
  }
  std::string last;
  for (;;) {
    for (HWND tip : visibleTips()) {
      std::wstring text;
      if (!TextOf(tip, text) || text.empty()) continue;
      const double shown = NowMs() - rested;
      last = Normalized(Utf8(text));
      if (!Meets(args, last)) continue;
      if (timed) {
        DWORD_PTR initial = 0;
        if (!Answered(tip, TTM_GETDELAYTIME, TTDT_INITIAL, 0, &initial))
          return Error(kNoAnswer, "the tooltip tells no delay");
        Print("tip-time %ld shown %.1f ms initial %lu ms answer %.1f ms\n", row, shown,
              static_cast<unsigned long>(initial), shown - static_cast<double>(initial));
      }
      Print("%s\n", last.c_str());
      return kOk;
    }
    if (NowMs() >= end) break;
    Sleep(args.Poll());
  }
  return Error(kTimeout, "no tooltip showed the text on row %ld after %lu ms (last: \"%s\")", row,
               args.Timeout(), last.c_str());
}

// Posts keys (names such as space, down, end, f10, or one letter or digit) to the
// window or control, each pressed and released; --chars TEXT posts WM_CHAR for each
// character of TEXT (typing into an edit).
int CmdKey(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  std::vector<WORD> keys;
  for (const std::string& name : args.words) {
    WORD key = 0;
    if (!KeyCode(name, key)) return Error(kUsage, "unknown key %s", name.c_str());
    keys.push_back(key);
  }
  for (WORD key : keys) PostKey(target, key);
  for (wchar_t c : Wide(args.Get("--chars"))) PostMessageW(target, WM_CHAR, c, 1);
  return kOk;
}

// Real keyboard input (SendInput) to the window brought to the front: for shortcuts
// that need the modifier keys held, such as ctrl+r.
int CmdInput(const Args& args) {
  HWND target = nullptr, top = nullptr;
  if (int rc = Target(args, target, &top)) return rc;
  SetForegroundWindow(top);
  const double end = NowMs() + args.Timeout();
  while (GetForegroundWindow() != top) {
    if (NowMs() >= end) return Error(kTimeout, "the window does not come to the front");
    Sleep(args.Poll());
  }
  for (const std::string& chord : args.words) {
    std::vector<WORD> keys;
    std::stringstream parts(chord);
    std::string name;
    while (std::getline(parts, name, '+')) {
      WORD key = 0;
      if (!KeyCode(name, key)) return Error(kUsage, "unknown key %s", name.c_str());
      keys.push_back(key);
    }
    std::vector<INPUT> inputs;
    for (WORD key : keys) {
      INPUT in{};
      in.type = INPUT_KEYBOARD;
      in.ki.wVk = key;
      in.ki.dwFlags = Extended(key) ? KEYEVENTF_EXTENDEDKEY : 0;
      inputs.push_back(in);
    }
    for (auto key = keys.rbegin(); key != keys.rend(); ++key) {
      INPUT in{};
      in.type = INPUT_KEYBOARD;
      in.ki.wVk = *key;
      in.ki.dwFlags = KEYEVENTF_KEYUP | (Extended(*key) ? KEYEVENTF_EXTENDEDKEY : 0);
      inputs.push_back(in);
    }
    if (SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT)) != inputs.size())
      return Error(kNoAnswer, "SendInput refused %s", chord.c_str());
  }
  return kOk;
}

// Waits for the popup menu of the chosen process and posts keys to it (the menu's own
// loop reads them): a mnemonic letter, or up/down/enter/escape.
int CmdMenu(const Args& given) {
  Args args = given;
  args.options["--class"] = "#32768";
  args.options.erase("--title");
  HWND menu = nullptr;
  if (int rc = WaitTop(args, menu)) return rc;
  for (const std::string& name : args.words) {
    WORD key = 0;
    if (!KeyCode(name, key)) return Error(kUsage, "unknown key %s", name.c_str());
    PostKey(menu, key);
  }
  return kOk;
}

int CmdPost(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  const UINT message = static_cast<UINT>(args.Number("--msg", 0));
  const WPARAM wParam = static_cast<WPARAM>(args.Number("--wparam", 0));
  const LPARAM lParam = static_cast<LPARAM>(args.Number("--lparam", 0));
  if (!PostMessageW(target, message, wParam, lParam)) return Error(kNoAnswer, "PostMessage failed");
  return kOk;
}

int CmdSend(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  DWORD_PTR result = 0;
  if (!Answered(target, static_cast<UINT>(args.Number("--msg", 0)),
                static_cast<WPARAM>(args.Number("--wparam", 0)),
                static_cast<LPARAM>(args.Number("--lparam", 0)), &result))
    return Error(kNoAnswer, "the message was not answered");
  Print("%ld\n", static_cast<long>(result));
  return kOk;
}

int CmdCommand(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  PostMessageW(target, WM_COMMAND, MAKEWPARAM(args.Number("--command", 0), 0), 0);
  return kOk;
}

// The time the window's thread takes to answer WM_NULL.
int CmdIdle(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  const double start = NowMs();
  if (!Answered(target, WM_NULL, 0, 0)) return Error(kNoAnswer, "no answer within %u ms", kAnswerMs);
  Print("answered in %.1f ms\n", NowMs() - start);
  return kOk;
}

// Has the window paint what it has to paint now (UpdateWindow waits for its WM_PAINT);
// prints how long that took.
int CmdPaint(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  const double start = NowMs();
  if (!UpdateWindow(target)) return Error(kNoAnswer, "UpdateWindow failed");
  Print("painted in %.1f ms\n", NowMs() - start);
  return kOk;
}

// Moves the window to --x, --y (screen pixels), its size kept: a picture of a window
// that another one covers.
int CmdMove(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  if (!SetWindowPos(target, nullptr, static_cast<int>(args.Number("--x", 0)),
                    static_cast<int>(args.Number("--y", 0)), 0, 0,
                    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE))
    return Error(kNoAnswer, "the window cannot be moved");
  return kOk;
}

int CmdActivate(const Args& args) {
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  SetForegroundWindow(target);
  return kOk;
}

int CmdTree(const Args& given) {
  Args args = given;
  if (!args.Has("--ctl")) args.options["--ctl"] = "SysTreeView32";
  HWND tree = nullptr;
  if (int rc = Target(args, tree)) return rc;
  std::wstring path;
  if (!TreePath(tree, path)) return Error(kNoAnswer, "the tree's selection cannot be read");
  Print("%s\n", Utf8(path).c_str());
  return kOk;
}

int CmdSleep(const Args& args) {
  if (args.words.size() != 1) return Error(kUsage, "sleep takes milliseconds");
  Sleep(static_cast<DWORD>(std::strtoul(args.words[0].c_str(), nullptr, 10)));
  return kOk;
}

int CmdMark(const Args& args) {
  Print("mark %s %.1f\n", args.words.empty() ? "" : args.words[0].c_str(), NowMs());
  return kOk;
}

// Starts a program and waits for its end; prints its exit status and every top-level
// window of it that was visible at one of the checks (every --poll ms).
int CmdRun(const Args& args) {
  if (args.words.empty()) return Error(kUsage, "run needs a program");
  std::wstring commandLine;
  for (const std::string& word : args.words) {
    if (!commandLine.empty()) commandLine += L' ';
    commandLine += L'"' + Wide(word) + L'"';
  }
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return Error(kNotFound, "cannot start %s (error %lu)", args.words[0].c_str(), GetLastError());
  CloseHandle(process.hThread);
  std::set<std::string> seen;
  const double end = NowMs() + args.Timeout();
  DWORD waited;
  while ((waited = WaitForSingleObject(process.hProcess, args.Poll())) == WAIT_TIMEOUT) {
    WindowQuery query;
    query.pid = process.dwProcessId;
    for (HWND window : TopWindows(query)) {
      wchar_t title[512] = {};
      InternalGetWindowText(window, title, 512);
      std::string name = "class=\"" + Utf8(ClassOf(window)) + "\" title=\"" + Utf8(title) + "\"";
      if (seen.insert(name).second) Print("visible %s at %.0f ms\n", name.c_str(), NowMs());
    }
    if (NowMs() >= end) {
      CloseHandle(process.hProcess);
      return Error(kTimeout, "%s still runs after %lu ms", args.words[0].c_str(), args.Timeout());
    }
  }
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  Print("exit %lu\n", code);
  return kOk;
}

// ---- The responsiveness probe: WM_NULL sent every --interval ms, longest wait kept ---

struct Probe {
  HWND window = nullptr;
  DWORD interval = 20;
  std::atomic<bool> stop{false};
  std::thread thread;
  long messages = 0, unanswered = 0, over50 = 0, over100 = 0;
  double longest = 0, longestAt = 0, total = 0;

  void Run() {
    while (!stop.load()) {
      const double start = NowMs();
      DWORD_PTR ignored = 0;
      const bool answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored) != 0;
      const double waited = NowMs() - start;
      if (!answered && !IsWindow(window)) break;
      ++messages;
      if (!answered) ++unanswered;
      total += waited;
      if (waited > 50) ++over50;
      if (waited > 100) ++over100;
      if (waited > longest) {
        longest = waited;
        longestAt = start;
      }
      Sleep(interval);
    }
  }
};

Probe* g_probe = nullptr;

int CmdProbeStart(const Args& args) {
  if (g_probe != nullptr) return Error(kUsage, "a probe already runs");
  HWND target = nullptr;
  if (int rc = Target(args, target)) return rc;
  g_probe = new Probe;
  g_probe->window = target;
  g_probe->interval = static_cast<DWORD>(args.Number("--interval", 20));
  g_probe->thread = std::thread([] { g_probe->Run(); });
  return kOk;
}

int CmdProbeStop(const Args& args) {
  if (g_probe == nullptr) return Error(kUsage, "no probe runs");
  g_probe->stop = true;
  g_probe->thread.join();
  Print("probe %ld messages, %ld unanswered, longest wait %.1f ms at %.1f ms, mean %.2f ms, "
        "%ld over 50 ms, %ld over 100 ms\n",
        g_probe->messages, g_probe->unanswered, g_probe->longest, g_probe->longestAt,
        g_probe->messages ? g_probe->total / static_cast<double>(g_probe->messages) : 0.0,
        g_probe->over50, g_probe->over100);
  const double limit = static_cast<double>(args.Number("--limit", 0));
  const bool over = limit > 0 && (g_probe->longest > limit || g_probe->unanswered > 0);
  delete g_probe;
  g_probe = nullptr;
  if (over) return Error(kCheckFailed, "the window did not answer within %.0f ms", limit);
  return kOk;
}

// ---- Threads of the program: the scan runs on one of its own -------------------------

std::set<DWORD> ThreadsOf(DWORD pid) {
  std::set<DWORD> ids;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == pid) ids.insert(entry.th32ThreadID);
  CloseHandle(snapshot);
  return ids;
}

std::set<DWORD> g_markedThreads;
DWORD g_markedProcess = 0;

int CmdThreadMark(const Args& args) {
  HWND top = nullptr;
  if (int rc = WaitTop(args, top)) return rc;
  g_markedProcess = ProcessOf(top);
  g_markedThreads = ThreadsOf(g_markedProcess);
  Print("threads %zu\n", g_markedThreads.size());
  return kOk;
}

// Waits until the program has started a thread since thread-mark, then until every
// thread started since then has ended; prints when.
int CmdThreadWait(const Args& args) {
  if (g_markedProcess == 0) return Error(kUsage, "thread-wait needs thread-mark first");
  const double end = NowMs() + args.Timeout();
  std::vector<HANDLE> handles;
  while (handles.empty()) {
    for (DWORD id : ThreadsOf(g_markedProcess)) {
      if (g_markedThreads.count(id)) continue;
      if (HANDLE thread = OpenThread(SYNCHRONIZE, FALSE, id)) handles.push_back(thread);
    }
    if (!handles.empty()) break;
    if (NowMs() >= end) return Error(kTimeout, "no new thread after %lu ms", args.Timeout());
    Sleep(1);
  }
  const double left = end - NowMs();
  const DWORD waited = WaitForMultipleObjects(static_cast<DWORD>(handles.size()), handles.data(), TRUE,
                                              left > 0 ? static_cast<DWORD>(left) : 0);
  for (HANDLE thread : handles) CloseHandle(thread);
  if (waited == WAIT_TIMEOUT) return Error(kTimeout, "the new threads still run after %lu ms", args.Timeout());
  Print("threads %zu ended at %.1f ms\n", handles.size(), NowMs());
  return kOk;
}

int CmdHelp(const Args&);
int CmdBatch(const Args&);

struct Command {
  const char* name;
  int (*run)(const Args&);
  const char* help;
};

const Command kCommands[] = {
    {"windows", CmdWindows, "top-level windows (hidden ones with --hidden): class, title, rect, owner"},
    {"controls", CmdControls, "every control of the window: class, id, state, position in the client area, text"},
    {"wait", CmdWait, "waits for the window (and control); prints its handle and text"},
    {"gone", CmdGone, "waits until no such window is visible (exists, with --hidden)"},
    {"state", CmdState, "visible/hidden enabled/disabled foreground/background [minimized] [maximized]"},
    {"text", CmdText, "the window's or control's text"},
    {"wait-text", CmdWaitText, "waits until the text meets --equals T / --contains T / --matches REGEX (--any control)"},
    {"set-text", CmdSetText, "set-text TEXT: puts TEXT into an edit control"},
    {"select", CmdSelect, "picks item --item N (from 0) of a drop-down list"},
    {"click", CmdClick, "presses a button (--text CAPTION) once it is visible and enabled"},
    {"enabled", CmdEnabled, "prints enabled or disabled; --expect enabled|disabled waits for it"},
    {"msgbox", CmdMessageBox, "waits for a message box: prints its text; --expect TEXT, --buttons A,B, --press CAPTION"},
    {"status", CmdStatus, "the status bar's text"},
    {"wait-status", CmdWaitStatus, "waits until the status bar's text meets --equals / --contains / --matches"},
    {"list", CmdList, "a list view: counts, then its rows (--rows A:B, --summary for the counts only)"},
    {"wait-list", CmdWaitList, "waits until the list has --count N rows and/or shows its last row (--at-end)"},
    {"row", CmdRow, "clicks row --row N on its --at check|label, --right for the right button, --double, --timed"},
    {"tip", CmdTip, "rests the mouse on row --row N; waits for its tooltip (--equals/--contains/--matches) and prints it; --timed: how long it took"},
    {"key", CmdKey, "key NAME...: posts key presses (space, down, end, f10, a letter...); --chars TEXT types"},
    {"input", CmdInput, "input CHORD...: real key presses to the window in front, e.g. ctrl+r"},
    {"menu", CmdMenu, "menu KEY...: waits for the popup menu and presses keys in it"},
    {"post", CmdPost, "posts --msg N --wparam N --lparam N"},
    {"send", CmdSend, "sends --msg N --wparam N --lparam N; prints the result"},
    {"command", CmdCommand, "posts WM_COMMAND --command ID"},
    {"idle", CmdIdle, "sends WM_NULL; prints how long the answer took"},
    {"paint", CmdPaint, "has the window paint now; prints how long it took"},
    {"move", CmdMove, "moves the window to --x X --y Y"},
    {"activate", CmdActivate, "brings the window to the front"},
    {"tree", CmdTree, "the path of the selected item of a tree view"},
    {"run", CmdRun, "run PROGRAM ARGS...: waits for its end; prints its visible windows and exit status"},
    {"probe-start", CmdProbeStart, "starts sending WM_NULL every --interval MS (batch)"},
    {"probe-stop", CmdProbeStop, "stops the probe; prints the longest wait; fails above --limit MS"},
    {"thread-mark", CmdThreadMark, "notes the threads of the window's process"},
    {"thread-wait", CmdThreadWait, "waits for a thread started since thread-mark, then for the end of all of them"},
    {"mark", CmdMark, "mark NAME: prints the time since the start in ms"},
    {"sleep", CmdSleep, "sleep MS"},
    {"batch", CmdBatch, "batch FILE: the commands of FILE, one a line, in this process"},
    {"help", CmdHelp, "this list"},
};

int CmdHelp(const Args&) {
  for (const Command& command : kCommands) Print("%-12s %s\n", command.name, command.help);
  return kOk;
}

int Dispatch(const std::vector<std::string>& tokens) {
  if (tokens.empty()) return Error(kUsage, "no command");
  for (const Command& command : kCommands) {
    if (tokens[0] != command.name) continue;
    Args args;
    if (!Parse(tokens, 1, args)) return kUsage;
    return command.run(args);
  }
  return Error(kUsage, "unknown command %s (try help)", tokens[0].c_str());
}

// Splits a batch line into words; "double quotes" group, \" and \\ escape inside them.
std::vector<std::string> Split(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) word += line[++i];
      else if (c == '"') quoted = false;
      else word += c;
    } else if (c == '"') {
      quoted = inWord = true;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (inWord) words.push_back(word);
  return words;
}

int CmdBatch(const Args& args) {
  if (args.words.size() != 1) return Error(kUsage, "batch takes one file");
  std::ifstream file(args.words[0]);
  if (!file) return Error(kNotFound, "cannot read %s", args.words[0].c_str());
  std::string line;
  int number = 0;
  while (std::getline(file, line)) {
    ++number;
    std::vector<std::string> words = Split(line);
    if (words.empty() || words[0][0] == '#') continue;
    if (words[0] == "batch") return Error(kUsage, "line %d: batches do not nest", number);
    if (int rc = Dispatch(words)) {
      Error(rc, "line %d failed: %s", number, line.c_str());
      if (g_probe != nullptr) CmdProbeStop(Args{});
      return rc;
    }
  }
  return kOk;
}

}  // namespace

int main() {
  _setmode(_fileno(stdout), _O_BINARY);  // LF line ends, as the tests compare them
  QueryPerformanceFrequency(&g_frequency);
  QueryPerformanceCounter(&g_start);
  int count = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> tokens;
  for (int i = 1; i < count; ++i) tokens.push_back(Utf8(argv[i]));
  LocalFree(argv);
  if (tokens.size() >= 2 && tokens[0] == "--out") {
    g_out = _wfopen(Wide(tokens[1]).c_str(), L"wb");
    if (g_out == nullptr) {
      g_out = stdout;
      return Error(kUsage, "cannot write %s", tokens[1].c_str());
    }
    tokens.erase(tokens.begin(), tokens.begin() + 2);
  }
  const int rc = Dispatch(tokens);
  if (g_out != stdout) std::fclose(g_out);
  return rc;
}
