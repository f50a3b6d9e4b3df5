#pragma once
// The backup writer. A block (one key with its whole sub-tree, or one value) is composed
// in memory; the repair run writes the blocks of a batch in one piece, flushes them to
// the disk, and only then deletes, so a block is in the file whole or not at all.
// The file is "REGEDIT4" (ANSI) while everything it holds fits the ANSI code page
// exactly, and a Unicode .reg file ("Windows Registry Editor Version 5.00", UTF-16LE)
// otherwise. Reads with read access only and never through a symbolic link.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/wording.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/system.h"
#include "platform/text.h"

namespace tallowin {

enum class BackupFormat {
  Regedit4,  // "REGEDIT4", the ANSI code page
  Unicode,   // "Windows Registry Editor Version 5.00", UTF-16LE with byte order mark
};

inline constexpr std::string_view kBackupHeader = "REGEDIT4\r\n";
inline constexpr std::string_view kUnicodeBackupHeader = "Windows Registry Editor Version 5.00\r\n";
std::string_view BackupHeader(BackupFormat format);
// The line after the header of a backup whose key lines name keys as the 64-bit registry
// view shows them (a scan of both views): its restore imports and checks them there. The
// registry editor reads it as a comment. A backup without it names the process's view.
inline constexpr std::string_view kNativeViewLine = "; Registry view: 64-bit";
// The line after the header of every backup file a repair run writes: it tells this
// program's backups from other .reg files.
inline constexpr std::string_view kBackupMarkLine = "; Tallowin registry backup";
// The last line of such a file, written in one piece with its last block: a file with the
// mark that does not end with it was cut short.
inline constexpr std::string_view kBackupEndLine = "; End of backup";

// OutputDirectory + "\" + YYYY_MM_DD_hhmmss.reg, for the local time now.
std::string MakeBackupFileName(platform::System& system, std::string_view outputDirectory);
// The same name with "_NN" before ".reg" (2 to 99): the names a run tries when the first
// is taken. They sort after the plain name, so the newest backup stays on top.
std::string NumberedBackupFileName(std::string_view fileName, int number);

// Every backslash doubled.
std::string EscapeBackslashes(std::string_view text);
// Every double quote preceded by a backslash.
std::string EscapeQuotes(std::string_view text);

enum class ExportStatus {
  Written,      // the whole block is composed (or in the file)
  Incomplete,   // a key, sub-key or value could not be read: nothing written
  Refused,      // a path or name no .reg file can carry (a line break, an empty name)
  NotAnsi,      // text the ANSI code page cannot carry: needs the Unicode format
  LinkKey,      // the sub-tree holds a symbolic link, which the registry editor cannot re-create
  TooLarge,     // more data than a backup may hold
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

// "name"=data for one value as UTF-8 text without the line end (binary data continues
// over several lines). String data is the registry's UTF-16: a "REGEDIT4" file holds it
// as ANSI text, so there a name or string `ansi` cannot carry exactly gives NotAnsi; a
// name with a line break gives Refused. A string whose quoted line would pass the line
// limit of a backup is written in its typed hex form.
[[nodiscard]] ExportStatus FormatValueLine(const platform::RegValue& value, std::string& line,
                                           BackupFormat format = BackupFormat::Regedit4,
                                           const AnsiCodePage& ansi = Windows1252());

// The state one block shares with its recursive writer.
struct ExportContext {
  platform::Registry& registry;
  const AnsiCodePage& ansi;
  BackupFormat format;
  platform::Root root;
  std::string valueName;  // value mode only; "" = the default value
  bool wholeKey = true;
  std::string text;       // the block composed so far (UTF-8)
  ExportResult result;
  size_t depth = 0;
  platform::RegValue value;  // value mode: the value as it was written
  uint64_t lastWrite = 0;    // key mode: the top key's last-write time as it was read
};

// Appends the block of `keyPath` to context.text: key mode with every value and,
// depth-first, every sub-key; value mode with the one value. False (with
// context.result set) when anything below could not be read or carried.
[[nodiscard]] bool WriteKeyBlock(ExportContext& context, std::string_view keyPath);

// Composes one block for a file of `format` into `text` (UTF-8). A trailing backslash of
// `keyPath` is dropped. `context` is filled in, so the caller can see what was read.
[[nodiscard]] ExportResult ComposeBlock(ExportContext& context, std::string_view keyPath);

// ComposeBlock in value mode for the value already read into context.value (the value
// `context.valueName` of `keyPath`): the same block, without reading it again.
[[nodiscard]] ExportResult ComposeValueBlock(ExportContext& context, std::string_view keyPath);

// Appends one block to `fileName` ("REGEDIT4"), creating it with the header when it does
// not exist. With `wholeKey` the key and its sub-tree; otherwise the value `valueName` of
// the key. Nothing is written unless the block is complete.
[[nodiscard]] ExportResult ExportRegistryItem(platform::FileSystem& files,
                                              platform::Registry& registry,
                                              const AnsiCodePage& ansi,
                                              std::string_view fileName, platform::Root root,
                                              std::string_view keyPath,
                                              std::string_view valueName, bool wholeKey);

// The backup file of one repair run. It is created new on the first write (never an
// existing file: a taken name gets a number), and every write is flushed to the disk
// before the call returns, or cut back so that the file ends on its last whole block.
// Its second line is kBackupMarkLine, and every write ends it with kBackupEndLine.
class BackupFile {
 public:
  // `words` say the errors.
  BackupFile(platform::FileSystem& files, const AnsiCodePage& ansi, std::string wantedName,
             const Wording& words);
  ~BackupFile();
  BackupFile(const BackupFile&) = delete;
  BackupFile& operator=(const BackupFile&) = delete;

  BackupFormat format() const { return format_; }
  bool created() const { return !path_.empty(); }
  const std::string& path() const { return path_; }  // the name in use once created

  // Before the first write: the format the file will be created in.
  void SetFormat(BackupFormat format);
  // Before the first write: the registry view its key lines name (kNativeViewLine).
  void SetView(platform::View view);
  platform::View view() const { return view_; }
  // Writes `blocks` (UTF-8, composed for format()) and flushes them. False when that
  // failed: the file then ends where it ended before, and `error` says why.
  [[nodiscard]] bool Append(std::string_view blocks, std::string& error);
  // Rewrites a "REGEDIT4" file as a Unicode one (the same blocks, in one replacing
  // step). False leaves it as it was.
  [[nodiscard]] bool SwitchToUnicode(std::string& error);

 private:
  bool Create(std::string& error);

  platform::FileSystem& files_;
  const AnsiCodePage& ansi_;
  std::string wanted_;
  const Wording& words_;
  std::string path_;
  BackupFormat format_ = BackupFormat::Regedit4;
  platform::View view_ = platform::View::Process;
  std::unique_ptr<platform::WritableFile> file_;
  bool broken_ = false;  // lost its handle while switching formats: no more writes
  std::optional<uint64_t> endAt_;  // where the file's closing line begins, once written
};

}  // namespace tallowin
