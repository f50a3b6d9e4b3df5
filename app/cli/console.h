#pragma once
// The console around the commands: terminals, code pages, Ctrl+C, questions.

#include <cstdio>
#include <functional>
#include <string>

namespace tallowin::cli {

// True when the stream is a console or a terminal, not a file or pipe.
bool IsTerminal(std::FILE* stream);

// ANSI code page text as UTF-8; bytes that do not convert become U+FFFD.
std::string AnsiToUtf8(const std::string& text);

// Writes ANSI code page text: to a console as the characters it stands for, to a file
// or pipe as the bytes themselves.
void WriteAnsi(std::FILE* stream, const std::string& text);

// The same for UTF-8 text.
void WriteUtf8(std::FILE* stream, const std::string& text);

// Ctrl+C and Ctrl+Break never end the process: they are noted and run the action of
// the innermost OnInterrupt alive at that moment (on another thread).
void InstallInterruptHandler();
bool WasInterrupted();

class OnInterrupt {
 public:
  explicit OnInterrupt(std::function<void()> action);
  ~OnInterrupt();  // after it returns the action is not running and will not run
  OnInterrupt(const OnInterrupt&) = delete;
  OnInterrupt& operator=(const OnInterrupt&) = delete;

 private:
  std::function<void()> previous_;
};

// Asks on the terminal; true only for an answer starting with y or Y.
bool AskYesNo(const std::string& question);

// Peak working set and peak private bytes of this process, in KB.
struct MemoryFigures {
  unsigned long long peakWorkingSetKB = 0;
  unsigned long long peakPrivateKB = 0;
};
MemoryFigures ProcessMemory();

}  // namespace tallowin::cli
