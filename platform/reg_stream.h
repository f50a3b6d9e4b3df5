#pragma once
// .reg files read in chunks, one line at a time: a file of any size is checked with
// memory for one line and one value, never the whole file.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "platform/reg_text.h"
#include "platform/text.h"

namespace tallowin::platform {

// The first line is a header of a few characters; reading a file of something else
// stops here rather than at kMaxRegLineBytes.
inline constexpr size_t kMaxRegHeaderLineBytes = 1024;

// The lines of a .reg file as UTF-8 text: UTF-16LE after an FF FE byte order mark,
// otherwise text in the ANSI code page. Holds one line (and one chunk of the file).
class RegLineReader {
 public:
  enum class Result {
    Line,         // `line` holds the next line
    End,          // no more lines
    TooLong,      // the line takes more than `maxBytes` bytes of the file
    Undecodable,  // bytes that are no text in the ANSI code page, or half a UTF-16 unit
    ReadFailed,   // the file could not be read
  };

  RegLineReader(FileReader& file, const AnsiCodePage& ansi);
  RegLineReader(const RegLineReader&) = delete;
  RegLineReader& operator=(const RegLineReader&) = delete;

  // The next line without its line end (LF, or CR LF) into `line`. Reads no more than
  // `maxBytes` (plus a chunk) of a line that goes on beyond it.
  [[nodiscard]] Result Next(std::string& line, size_t maxBytes = kMaxRegLineBytes);
  // Whether the line Next gave last had its line end.
  bool lineEnded() const { return lineEnded_; }
  // Frees what a long line left behind.
  void Release();

 private:
  bool Start();
  bool Fill();
  Result NextAnsi(std::string& line, size_t maxBytes);
  Result NextUtf16(std::string& line, size_t maxBytes);

  FileReader& file_;
  const AnsiCodePage& ansi_;
  std::vector<char> chunk_;
  size_t chunkPos_ = 0;
  size_t chunkEnd_ = 0;
  bool started_ = false;
  bool utf16_ = false;
  bool eof_ = false;
  bool lineEnded_ = true;
  std::string raw_;  // the file's bytes of the current line
};

enum class RegFileResult {
  Read,        // every line parsed, the file ended well
  Malformed,   // `error` says "line N: ..."
  ReadFailed,  // the file could not be read to its end; `error` names the line
  Stopped,     // `onItem` returned false
};

// Reads a .reg file through `parser` (whose rules decide what is malformed, and whose
// wording says every error), handing every key line and value it completes to `onItem`
// in file order; stops when `onItem` returns false.
[[nodiscard]] RegFileResult ReadRegFile(FileReader& file, const AnsiCodePage& ansi,
                                        RegLineParser& parser,
                                        const std::function<bool(RegLineParser::Item)>& onItem,
                                        std::string& error);

}  // namespace tallowin::platform
