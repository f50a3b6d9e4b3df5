#include "app/cli/console.h"

#include <windows.h>
#include <io.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <iostream>
#include <mutex>
#include <vector>

#include "platform/win32/win32_text.h"

namespace tallowin::cli {

using platform::win32::Narrow;
using platform::win32::Wide;

namespace {

std::mutex g_interruptMutex;
std::function<void()> g_onInterrupt;
std::atomic<bool> g_interrupted{false};

BOOL WINAPI OnConsoleControl(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  g_interrupted = true;
  std::lock_guard<std::mutex> lock(g_interruptMutex);
  if (g_onInterrupt) g_onInterrupt();
  return TRUE;
}

}  // namespace

bool IsTerminal(std::FILE* stream) {
  const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return false;
  return GetFileType(handle) == FILE_TYPE_CHAR;
}

namespace {

// The console behind a stream, or null. Asked once per stream: thousands of rows would
// otherwise cost a console query each.
HANDLE ConsoleOf(std::FILE* stream) {
  static const auto probe = [](std::FILE* s) -> HANDLE {
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(s)));
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetConsoleMode(handle, &mode))
      return nullptr;
    return handle;
  };
  static const HANDLE out = probe(stdout);
  static const HANDLE err = probe(stderr);
  if (stream == stdout) return out;
  if (stream == stderr) return err;
  return probe(stream);
}

// Consoles before Windows 8 refuse one write of about 64 KB (their shared heap): the
// text goes in pieces of at most this many UTF-16 units, never halving a surrogate pair.
constexpr size_t kConsolePiece = 8192;

// UTF-8 text to a console as characters; false when the stream is no console, or when
// the console takes not even the first piece.
bool WriteConsoleText(std::FILE* stream, const std::string& text) {
  const HANDLE handle = ConsoleOf(stream);
  if (handle == nullptr) return false;
  if (text.empty()) return true;
  const std::wstring wide = Wide(text);
  std::fflush(stream);
  for (size_t at = 0; at < wide.size();) {
    size_t count = std::min(kConsolePiece, wide.size() - at);
    if (at + count < wide.size() && IS_HIGH_SURROGATE(wide[at + count - 1])) --count;
    DWORD written = 0;
    if (!WriteConsoleW(handle, wide.data() + at, static_cast<DWORD>(count), &written, nullptr))
      return at > 0;  // a console that took part of the text gets no second copy
    at += count;
  }
  return true;
}

}  // namespace

void WriteText(std::FILE* stream, const std::string& text) {
  if (!WriteConsoleText(stream, text)) std::fwrite(text.data(), 1, text.size(), stream);
}

void BufferStandardOutput() {
  if (ConsoleOf(stdout) == nullptr) std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
}

std::vector<std::string> Utf8Arguments() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Narrow(wide[i]));
  LocalFree(wide);
  return arguments;
}

void InstallInterruptHandler() { SetConsoleCtrlHandler(OnConsoleControl, TRUE); }

bool WasInterrupted() { return g_interrupted; }

OnInterrupt::OnInterrupt(std::function<void()> action) {
  std::lock_guard<std::mutex> lock(g_interruptMutex);
  previous_ = std::move(g_onInterrupt);
  g_onInterrupt = std::move(action);
}

OnInterrupt::~OnInterrupt() {
  std::lock_guard<std::mutex> lock(g_interruptMutex);
  g_onInterrupt = std::move(previous_);
}

bool AskYesNo(const std::string& question) {
  WriteText(stderr, question + " [y/N] ");
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

MemoryFigures ProcessMemory() {
  MemoryFigures figures;
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters))) {
    figures.peakWorkingSetKB = counters.PeakWorkingSetSize / 1024;
    figures.peakPrivateKB = counters.PeakPagefileUsage / 1024;
  }
  return figures;
}

}  // namespace tallowin::cli
