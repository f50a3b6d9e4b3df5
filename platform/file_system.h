#pragma once
// The file system operations the scan, the repair and the restore manager use.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"
#include "platform/view.h"

namespace tallowin::platform {

inline constexpr long kPathNotFound = 3;  // ERROR_PATH_NOT_FOUND
inline constexpr long kNotReady = 21;     // ERROR_NOT_READY
inline constexpr long kDirectory = 267;   // ERROR_DIRECTORY: the name is no folder
inline constexpr long kFileExists = 80;   // ERROR_FILE_EXISTS
inline constexpr long kDiskFull = 112;    // ERROR_DISK_FULL
inline constexpr long kSharingViolation = 32;  // ERROR_SHARING_VIOLATION
inline constexpr long kGeneralFailure = 31;    // ERROR_GEN_FAILURE: no better reason known

inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrHidden = 0x02;
inline constexpr uint32_t kAttrSystem = 0x04;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kAttrNormal = 0x80;
// A junction, symbolic link or volume mount point.
inline constexpr uint32_t kAttrReparsePoint = 0x400;

// GetDriveType results.
inline constexpr uint32_t kDriveUnknown = 0;
inline constexpr uint32_t kDriveNoRootDir = 1;
inline constexpr uint32_t kDriveRemovable = 2;
inline constexpr uint32_t kDriveFixed = 3;
inline constexpr uint32_t kDriveRemote = 4;
inline constexpr uint32_t kDriveCdRom = 5;
inline constexpr uint32_t kDriveRamDisk = 6;

// Special folders (CSIDL numbers).
inline constexpr int kCsidlPrograms = 0x02;
inline constexpr int kCsidlStartMenu = 0x0B;
inline constexpr int kCsidlDesktop = 0x10;           // the user's desktop folder
inline constexpr int kCsidlFonts = 0x14;
inline constexpr int kCsidlCommonStartMenu = 0x16;
inline constexpr int kCsidlCommonPrograms = 0x17;
inline constexpr int kCsidlCommonDesktop = 0x19;
inline constexpr int kCsidlAppData = 0x1A;
inline constexpr int kCsidlWindows = 0x24;
inline constexpr int kCsidlSystem = 0x25;
inline constexpr int kCsidlProgramFiles = 0x26;

struct FindEntry {
  std::string name;  // name only, no folder
  uint32_t attributes = 0;
};

struct DirEntry {
  std::string name;
  uint32_t attributes = 0;
  uint64_t writeTime = 0;  // FILETIME: 100 ns intervals since 1601-01-01, UTC
  uint64_t size = 0;
};

// A file this program writes in pieces and must trust afterwards (a repair's backup).
// Move-only; closing happens in the destructor.
class WritableFile {
 public:
  virtual ~WritableFile() = default;
  WritableFile() = default;
  WritableFile(const WritableFile&) = delete;
  WritableFile& operator=(const WritableFile&) = delete;

  // Appends all of `data` at the end. False when it could not: the file may then hold a
  // part of it (a full disk), which Truncate takes away again.
  [[nodiscard]] virtual bool Append(std::string_view data) = 0;
  // FlushFileBuffers: what was appended is on the disk.
  [[nodiscard]] virtual bool Flush() = 0;
  // Cuts the file back to `size` bytes.
  [[nodiscard]] virtual bool Truncate(uint64_t size) = 0;
  // Writes `data` over bytes the file already holds from `offset` on; the size stays.
  [[nodiscard]] virtual bool Overwrite(uint64_t offset, std::string_view data) = 0;
  // The size as this handle has written it.
  virtual uint64_t Size() const = 0;
};

// A file opened for reading from its start, in chunks, so that a file larger than
// the memory of the process can be read. Closes the file when destroyed.
class FileReader {
 public:
  virtual ~FileReader() = default;
  FileReader() = default;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // The next bytes of the file, at most `capacity`, into `buffer`; `read` is 0 at its
  // end. False when the system reports a read error.
  [[nodiscard]] virtual bool Read(char* buffer, size_t capacity, size_t& read) = 0;
};

enum class RecycleResult {
  Recycled,      // the file is in the Recycle Bin
  NoRecycleBin,  // the bin cannot take it (none on its drive, switched off, the file too
                 // large for it, a trash that fails): the file was left alone
  Failed,        // the shell refused the move
};

// What an existence test could tell.
enum class Presence {
  Absent,   // not there
  Present,  // there, of the kind asked for
  Unknown,  // the system would not let us look (access denied)
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // FindFirstFile + FindClose: the first entry that the pattern matches ("*" and "?"
  // are wildcards in the last component). kSuccess, or the system's error code when
  // nothing is found (kAccessDenied when the folder may not be searched).
  [[nodiscard]] virtual long Find(std::string_view pattern, FindEntry& entry) = 0;
  // GetFileAttributes: kSuccess, or the system's error code.
  [[nodiscard]] virtual long QueryAttributes(std::string_view path, uint32_t& attributes) = 0;
  // The two above without the reason: false / nullopt on any failure.
  [[nodiscard]] bool FindFirst(std::string_view pattern, FindEntry& entry) {
    return Find(pattern, entry) == kSuccess;
  }
  std::optional<uint32_t> Attributes(std::string_view path) {
    uint32_t attributes = 0;
    if (QueryAttributes(path, attributes) != kSuccess) return std::nullopt;
    return attributes;
  }
  // GetDriveType of a root such as "c:\".
  virtual uint32_t DriveType(std::string_view root) = 0;
  // GetVolumeInformation under SEM_FAILCRITICALERRORS: can a volume be read there?
  virtual bool VolumeReady(std::string_view root) = 0;
  // ExpandEnvironmentStrings into a buffer of `capacity` characters; false when the
  // call fails or the expansion does not fit.
  [[nodiscard]] virtual bool ExpandEnvironment(std::string_view text, size_t capacity,
                                               std::string& expanded) = 0;
  // SHGetSpecialFolderLocation + SHGetPathFromIDList; nullopt when it does not resolve.
  virtual std::optional<std::string> SpecialFolder(int csidl) = 0;
  // The target path of a shell link (.lnk); nullopt when it cannot be loaded.
  virtual std::optional<std::string> ShortcutTarget(std::string_view linkPath) = 0;
  // Every entry of a directory search (pattern as in FindFirst), in file-system order,
  // without "." and "..". kSuccess (also when nothing matches in an existing folder), or
  // the system's error code: kFileNotFound or kPathNotFound when the folder is not there,
  // kAccessDenied, kDirectory when the path is no folder, anything else when the answer
  // is unknown (a drive not ready, a network name gone). `entries` holds what was read.
  [[nodiscard]] virtual long List(std::string_view pattern, std::vector<DirEntry>& entries) = 0;
  // GetFileAttributesEx: the last-write time a file or folder holds in its own record. (NTFS
  // brings the copy in the parent folder's index up to date lazily, so a listing of the
  // parent may show an older one.) kSuccess, or the system's error code.
  [[nodiscard]] virtual long QueryWriteTime(std::string_view path, uint64_t& writeTime) {
    (void)path;
    (void)writeTime;
    return kGeneralFailure;
  }
  // GetVolumePathName: the root of the volume that holds `path`, its drive ("c:\") or the
  // folder the volume is mounted in ("c:\mnt\data\"); "" when that cannot be told.
  virtual std::string VolumePath(std::string_view path) {
    if (path.size() < 2 || path[1] != ':') return "";
    return std::string(path.substr(0, 2)) + "\\";
  }
  // Whether the volume at `root` (as VolumePath gives it) gives a folder a new last-write
  // time whenever a name in it is made, renamed or removed: NTFS and ReFS do, FAT does not.
  virtual bool StampsFolderChanges(std::string_view root) {
    (void)root;
    return false;
  }
  // GetSystemTimeAsFileTime: the clock the file system stamps write times with.
  virtual uint64_t CurrentFileTime() { return 0; }

  // Silent, permanent deletion (SHFileOperation FO_DELETE, no undo). True on success.
  virtual bool RemoveFile(std::string_view path) = 0;
  // RemoveFile with the system's answer: kSuccess, or why the file could not be deleted
  // (a system error code, such as kAccessDenied or a sharing violation).
  [[nodiscard]] virtual long RemoveFileWithReason(std::string_view path) {
    return RemoveFile(path) ? kSuccess : kGeneralFailure;
  }
  // Moves one named file into the Recycle Bin of its drive, asking nothing. Where the
  // bin cannot take it the shell would delete the file for good: the deletion is
  // stopped before that happens, the file stays, and the answer is NoRecycleBin.
  virtual RecycleResult RecycleFile(std::string_view path) = 0;
  // Creates the folder and every missing parent. True when it exists afterwards.
  virtual bool CreateDirectories(std::string_view path) = 0;
  // Appends `text` to the file; creates it first (writing `header` before `text`)
  // when it does not exist. Returns false when it cannot be created, opened or written.
  [[nodiscard]] virtual bool AppendToFile(std::string_view path, std::string_view header,
                                          std::string_view text) = 0;
  // Whole file contents; false when it cannot be read.
  [[nodiscard]] virtual bool ReadFile(std::string_view path, std::string& contents) = 0;
  // Creates a new, empty file for writing; kFileExists when the name is taken (an
  // existing file is never opened), another error code when it cannot be created.
  [[nodiscard]] virtual long CreateNewFile(std::string_view path,
                                           std::unique_ptr<WritableFile>& file) = 0;
  // Opens an existing file for appending at its end.
  [[nodiscard]] virtual long OpenForAppend(std::string_view path,
                                           std::unique_ptr<WritableFile>& file) = 0;
  // Puts `from` in the place of `to` in one step (MoveFileEx, replacing, write-through).
  [[nodiscard]] virtual bool ReplaceFile(std::string_view from, std::string_view to) = 0;
  // An existing file opened for reading in chunks. Others may read it meanwhile, but
  // nobody may write or delete it until the reader is gone. nullptr when it cannot be
  // opened (also while someone has it open for writing).
  [[nodiscard]] virtual std::unique_ptr<FileReader> OpenForReading(std::string_view path) = 0;
  // The absolute path the system makes of `path`: a relative one joined to the current
  // folder, "." and ".." resolved, separators as backslashes, short names of existing
  // folders and files in their long form. nullopt when it cannot be resolved.
  virtual std::optional<std::string> FullPath(std::string_view path) = 0;

  // The same file system seen through `view`: with View::Native the existence tests
  // (FindFirst, Attributes, List) see the folders as they are, without WOW64
  // redirection, on whichever thread calls them; everything else is as in this one.
  // Owned by this file system. One without redirection is its own every view.
  virtual FileSystem& InView(View view) {
    (void)view;
    return *this;
  }
};

// Shared by both backends and the callers.
bool FileExists(FileSystem& fs, std::string_view path);     // first search entry is not a directory
bool FolderExists(FileSystem& fs, std::string_view path);   // attributes hold the directory bit
// As those, but a probe refused with access denied is Unknown, not Absent.
Presence FilePresence(FileSystem& fs, std::string_view path);
Presence FolderPresence(FileSystem& fs, std::string_view path);
// An error of a probe or a listing that says nothing about whether the name is there.
inline bool IsNoAnswer(long error) { return error == kAccessDenied; }
// Whether a name is gone, to decide that a deletion is done: kSuccess only when the
// system answers "file not found" or "path not found"; kFileExists while the name is
// there; any other answer (access denied, a sharing violation, a drive not ready) as
// the system gave it, as that says nothing about the file.
[[nodiscard]] long CheckGone(FileSystem& fs, std::string_view path);

}  // namespace tallowin::platform
