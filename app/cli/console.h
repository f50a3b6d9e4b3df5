#pragma once
// The console around the commands: terminals, code pages, Ctrl+C, questions.

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace tallowin::cli {

// True when the stream is a console or a terminal, not a file or pipe.
bool IsTerminal(std::FILE* stream);

// Writes text (UTF-8, as every text inside the program): to a console as its
// characters; to a file or pipe as the UTF-8 bytes, so that every name reads back exactly.
void WriteText(std::FILE* stream, const std::string& text);

// Standard output that is no console (a file, a pipe, NUL) is fully buffered: the C
// runtime leaves a character device such as NUL unbuffered, and writes it a character
// at a time. Call before the first output.
void BufferStandardOutput();

// The program's arguments as UTF-8, from the wide command line (so that a path in
// any script reaches the program unchanged).
std::vector<std::string> Utf8Arguments();

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
