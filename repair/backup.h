#pragma once
// The "REGEDIT4" backup writer: one block per key (with its whole sub-tree) or value,
// composed in memory and appended to the run's file in one write, so a block is on
// disk whole or not at all. Reads with read access only.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"

namespace tallowin {

inline constexpr std::string_view kBackupHeader = "REGEDIT4\r\n";

// OutputDirectory + "\" + YYYY_MM_DD_hhmmss.reg, for the local time now.
std::string MakeBackupFileName(platform::System& system, std::string_view outputDirectory);

// Every backslash doubled.
std::string EscapeBackslashes(std::string_view text);
// Every double quote preceded by a backslash.
std::string EscapeQuotes(std::string_view text);

enum class ExportStatus {
  Written,      // the whole block is in the file
  Incomplete,   // a key, sub-key or value could not be read: nothing written
  Refused,      // a path, name or text the file cannot carry: nothing written
  WriteFailed,  // the file could not be created, opened or written
};

struct ExportResult {
  ExportStatus status = ExportStatus::Written;
  std::string detail;  // the key or value concerned, for messages

  bool ok() const { return status == ExportStatus::Written; }
};

// A key path the key line names unambiguously: not empty (the root itself holds no
// backup of its own), no empty component, no line break.
bool IsCarriableKeyPath(std::string_view keyPath);
// A value name that fits between quotes on one line.
bool IsCarriableValueName(std::string_view name);

// "name"=data for one value of a "REGEDIT4" file, as UTF-8 text without the line end
// (binary data continues over several lines). String data is the registry's UTF-16;
// the file holds it as ANSI text, so a string that `ansi` cannot carry exactly, like a
// name with a line break, gives false.
[[nodiscard]] bool FormatValueLine(const platform::RegValue& value, std::string& line,
                                   const AnsiCodePage& ansi = Windows1252());

// The state one ExportRegistryItem call shares with its recursive block writer.
struct ExportContext {
  platform::Registry& registry;
  const AnsiCodePage& ansi;
  platform::Root root;
  std::string valueName;  // value mode only; "" = the default value
  bool wholeKey = true;
  std::string text;       // the block composed so far
  ExportResult result;
  size_t depth = 0;
};

// Appends the block of `keyPath` to context.text: key mode with every value and,
// depth-first, every sub-key; value mode with the one value. False (with
// context.result set) when anything below could not be read or carried.
[[nodiscard]] bool WriteKeyBlock(ExportContext& context, std::string_view keyPath);

// Appends one block to `fileName`, creating it with the header when it does not exist.
// With `wholeKey` the key and its sub-tree; otherwise the value `valueName` of the key.
// A trailing backslash of `keyPath` is dropped. Nothing is written unless the block is
// complete.
[[nodiscard]] ExportResult ExportRegistryItem(platform::FileSystem& files,
                                              platform::Registry& registry,
                                              const AnsiCodePage& ansi,
                                              std::string_view fileName, platform::Root root,
                                              std::string_view keyPath,
                                              std::string_view valueName, bool wholeKey);

}  // namespace tallowin
