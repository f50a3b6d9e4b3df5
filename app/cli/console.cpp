#include "app/cli/console.h"

#include <windows.h>
#include <io.h>
#include <psapi.h>

#include <atomic>
#include <iostream>
#include <mutex>
#include <vector>

namespace tallowin::cli {

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

std::string AnsiToUtf8(const std::string& text) {
  if (text.empty()) return text;
  const int size = static_cast<int>(text.size());
  const int wideLength = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
  if (wideLength <= 0) return std::string();
  std::vector<wchar_t> wide(static_cast<size_t>(wideLength));
  MultiByteToWideChar(CP_ACP, 0, text.data(), size, wide.data(), wideLength);
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.data(), length, nullptr, nullptr);
  return utf8;
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

// Text in `codePage` to a console as characters; false when the stream is no console.
bool WriteConsoleText(std::FILE* stream, const std::string& text, UINT codePage) {
  const HANDLE handle = ConsoleOf(stream);
  if (handle == nullptr) return false;
  if (text.empty()) return true;
  const int size = static_cast<int>(text.size());
  const int length = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (length <= 0) return false;
  std::vector<wchar_t> wide(static_cast<size_t>(length));
  MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
  std::fflush(stream);
  DWORD written = 0;
  return WriteConsoleW(handle, wide.data(), static_cast<DWORD>(length), &written, nullptr) != 0;
}

}  // namespace

void WriteAnsi(std::FILE* stream, const std::string& text) {
  if (!WriteConsoleText(stream, text, CP_ACP)) std::fwrite(text.data(), 1, text.size(), stream);
}

void WriteUtf8(std::FILE* stream, const std::string& text) {
  if (!WriteConsoleText(stream, text, CP_UTF8)) std::fwrite(text.data(), 1, text.size(), stream);
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
  WriteAnsi(stderr, question + " [y/N] ");
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
