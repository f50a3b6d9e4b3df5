#include "platform/reg_stream.h"

#include <algorithm>
#include <cstring>

namespace tallowin::platform {

namespace {

constexpr size_t kChunkBytes = 64 * 1024;  // even: a UTF-16 unit never straddles its end
constexpr size_t kKeptLineBytes = 1 << 20;  // buffers above this are freed after a line

bool IsAscii(std::string_view bytes) {
  return std::all_of(bytes.begin(), bytes.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void FreeIfLarge(std::string& buffer) {
  if (buffer.capacity() > kKeptLineBytes) std::string().swap(buffer);
}

// Appends to a line buffer that may grow to `limit` and no further: a string's own
// doubling would take twice the memory of the longest line just before refusing it.
void AppendCapped(std::string& buffer, const char* data, size_t size, size_t limit) {
  const size_t needed = buffer.size() + size;
  if (needed > buffer.capacity()) {
    // Doubling, or straight to the limit when that is near: growing by the last few
    // bytes would copy the whole line once more.
    size_t target = 2 * buffer.capacity();
    if (target + kChunkBytes >= limit) target = limit;
    std::string grown;
    grown.reserve(std::max(needed, target));
    grown.append(buffer);
    buffer.swap(grown);
  }
  buffer.append(data, size);
}

std::string LineError(const Wording& words, size_t line, Phrase phrase,
                      std::string_view value = {}) {
  return words.Say(Phrase::RegLine, {std::to_string(line), words.Say(phrase, {value})});
}

}  // namespace

RegLineReader::RegLineReader(FileReader& file, const AnsiCodePage& ansi)
    : file_(file), ansi_(ansi), chunk_(kChunkBytes) {}

void RegLineReader::Release() { FreeIfLarge(raw_); }

// Reads on after the unread bytes (in UTF-16, at most one byte of a unit the last read
// cut); in UTF-16 until the unread bytes are whole units or the file ends.
bool RegLineReader::Fill() {
  const size_t keep = chunkEnd_ - chunkPos_;
  std::memmove(chunk_.data(), chunk_.data() + chunkPos_, keep);
  chunkPos_ = 0;
  chunkEnd_ = keep;
  do {
    size_t read = 0;
    if (!file_.Read(chunk_.data() + chunkEnd_, chunk_.size() - chunkEnd_, read)) return false;
    if (read == 0) {
      eof_ = true;
      break;
    }
    chunkEnd_ += read;
  } while (utf16_ && chunkEnd_ % 2 != 0);
  return true;
}

bool RegLineReader::Start() {
  started_ = true;
  while (chunkEnd_ < 2 && !eof_)
    if (!Fill()) return false;
  if (chunkEnd_ >= 2 && static_cast<unsigned char>(chunk_[0]) == 0xFF &&
      static_cast<unsigned char>(chunk_[1]) == 0xFE) {
    utf16_ = true;
    chunkPos_ = 2;
    if (chunkEnd_ % 2 != 0 && !eof_) return Fill();
  }
  return true;
}

RegLineReader::Result RegLineReader::Next(std::string& line, size_t maxBytes) {
  if (!started_ && !Start()) return Result::ReadFailed;
  raw_.clear();
  return utf16_ ? NextUtf16(line, maxBytes) : NextAnsi(line, maxBytes);
}

RegLineReader::Result RegLineReader::NextAnsi(std::string& line, size_t maxBytes) {
  bool found = false;
  while (!found) {
    if (chunkPos_ == chunkEnd_) {
      if (eof_) break;
      if (!Fill()) return Result::ReadFailed;
      continue;
    }
    const char* begin = chunk_.data() + chunkPos_;
    const size_t available = chunkEnd_ - chunkPos_;
    const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', available));
    const size_t take = newline ? static_cast<size_t>(newline - begin) : available;
    if (raw_.size() + take > maxBytes + 1) return Result::TooLong;  // + 1: a CR
    AppendCapped(raw_, begin, take, maxBytes + 1);
    chunkPos_ += take;
    if (newline) {
      ++chunkPos_;
      found = true;
    }
  }
  if (!found && raw_.empty()) return Result::End;
  lineEnded_ = found;
  if (!raw_.empty() && raw_.back() == '\r') raw_.pop_back();
  if (raw_.size() > maxBytes) return Result::TooLong;
  // Every ANSI code page keeps ASCII as it is: such a line needs no copy.
  if (IsAscii(raw_)) {
    line.swap(raw_);
    return Result::Line;
  }
  if (!ansi_.ToUtf8(raw_, line)) return Result::Undecodable;
  return Result::Line;
}

RegLineReader::Result RegLineReader::NextUtf16(std::string& line, size_t maxBytes) {
  bool found = false;
  while (!found) {
    if (chunkEnd_ - chunkPos_ < 2) {
      if (eof_) {
        if (chunkPos_ != chunkEnd_) return Result::Undecodable;
        break;
      }
      if (!Fill()) return Result::ReadFailed;
      continue;
    }
    size_t i = chunkPos_;
    while (i + 1 < chunkEnd_ && !(chunk_[i] == '\n' && chunk_[i + 1] == '\0')) i += 2;
    found = i + 1 < chunkEnd_;
    const size_t take = i - chunkPos_;
    if (raw_.size() + take > maxBytes + 2) return Result::TooLong;  // + 2: a CR
    AppendCapped(raw_, chunk_.data() + chunkPos_, take, maxBytes + 2);
    chunkPos_ = found ? i + 2 : i;
  }
  if (!found && raw_.empty()) return Result::End;
  lineEnded_ = found;
  if (raw_.size() >= 2 && raw_[raw_.size() - 2] == '\r' && raw_.back() == '\0') raw_.resize(raw_.size() - 2);
  if (raw_.size() > maxBytes) return Result::TooLong;
  line.clear();
  AppendUtf8FromUtf16Le(raw_, line);
  return Result::Line;
}

RegFileResult ReadRegFile(FileReader& file, const AnsiCodePage& ansi, RegLineParser& parser,
                          const std::function<bool(RegLineParser::Item)>& onItem,
                          std::string& error) {
  RegLineReader reader(file, ansi);
  const Wording& words = parser.words();
  std::string line;
  for (;;) {
    const size_t number = parser.lines() + 1;
    const size_t limit = number == 1 ? kMaxRegHeaderLineBytes : kMaxRegLineBytes;
    switch (reader.Next(line, limit)) {
      case RegLineReader::Result::Line:
        break;
      case RegLineReader::Result::End:
        if (!parser.Finish(reader.lineEnded())) {
          error = parser.error();
          return RegFileResult::Malformed;
        }
        return RegFileResult::Read;
      case RegLineReader::Result::TooLong:
        error = number == 1 ? LineError(words, 1, Phrase::RegNotRegistryFile)
                            : LineError(words, number, Phrase::RegLineTooLong,
                                        std::to_string(limit));
        return RegFileResult::Malformed;
      case RegLineReader::Result::Undecodable:
        error = LineError(words, number, Phrase::RegUndecodable);
        return RegFileResult::Malformed;
      case RegLineReader::Result::ReadFailed:
        error = LineError(words, number, Phrase::RegReadFailed);
        return RegFileResult::ReadFailed;
    }
    RegLineParser::Item item;
    if (!parser.Feed(line, item)) {
      error = parser.error();
      return RegFileResult::Malformed;
    }
    // The parser keeps what it needs: a long line goes before the value is used.
    FreeIfLarge(line);
    reader.Release();
    if (item != RegLineParser::Item::None && !onItem(item)) return RegFileResult::Stopped;
  }
}

}  // namespace tallowin::platform
