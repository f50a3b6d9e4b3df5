#include <algorithm>
#include <cstdint>

#include "platform/forwarding_file_system.h"
#include "platform/memory/memory_platform.h"
#include "platform/text.h"

namespace tallowin::platform::memory {

namespace {

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return CompareNoCase(a, b) < 0; }
};

bool IsSeparator(char c) { return c == '\\' || c == '/'; }
bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

// A drive-absolute path after Win32 normalisation: separators collapsed, "." and ".."
// resolved, trailing dots and blanks cut from the last name.
struct ParsedPath {
  char drive = 'C';
  std::vector<std::string> parts;
  bool trailingSeparator = false;

  std::string Key() const {  // upper-case, for the lookup tables
    std::string key(1, drive);
    key += ':';
    for (const auto& part : parts) key += "\\" + AsciiUpper(part);
    return key;
  }
};

std::optional<ParsedPath> ParsePath(std::string_view path) {
  if (path.size() < 2 || path[1] != ':') return std::nullopt;
  const char letter = AsciiUpper(path.substr(0, 1))[0];
  if (letter < 'A' || letter > 'Z') return std::nullopt;
  const std::string_view rest = path.substr(2);
  if (!rest.empty() && !IsSeparator(rest.front())) return std::nullopt;  // drive-relative
  ParsedPath parsed;
  parsed.drive = letter;
  size_t start = 0;
  while (start < rest.size()) {
    size_t end = start;
    while (end < rest.size() && !IsSeparator(rest[end])) ++end;
    const std::string_view part = rest.substr(start, end - start);
    if (part == "..") {
      if (!parsed.parts.empty()) parsed.parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parsed.parts.emplace_back(part);
    }
    start = end + 1;
  }
  parsed.trailingSeparator = !rest.empty() && IsSeparator(rest.back()) && !parsed.parts.empty();
  if (!parsed.trailingSeparator && !parsed.parts.empty()) {
    std::string& last = parsed.parts.back();
    while (!last.empty() && (last.back() == '.' || last.back() == ' ')) last.pop_back();
    if (last.empty()) parsed.parts.pop_back();
  }
  return parsed;
}

// Case-insensitive match with "*" (any run) and "?" (one character); "*.*" is "*".
bool WildcardMatch(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*") pattern = "*";
  size_t p = 0, n = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || EqualsNoCase(pattern.substr(p, 1), name.substr(n, 1)))) {
      ++p;
      ++n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

struct MemoryFileSystem::Entry {
  bool directory = true;
  std::string contents;
  uint64_t writeTime = 0;
  std::map<std::string, std::unique_ptr<Entry>, NoCaseLess> children;
  uint32_t driveType = kDriveFixed;  // drives only
  bool ready = true;                 // drives only
  bool recycleBin = true;            // drives only
  bool stampsFolderChanges = true;   // drives only
  bool junction = false;             // folders only

  uint32_t Attributes() const {
    return directory ? kAttrDirectory | (junction ? kAttrReparsePoint : 0) : kAttrArchive;
  }

  Entry* Child(std::string_view name) const {
    const auto it = children.find(std::string(name));
    return it == children.end() ? nullptr : it->second.get();
  }
};

namespace {

using Entry = MemoryFileSystem::Entry;

std::string DriveName(char letter) { return std::string(1, letter) + ":"; }

// The entry a parsed path names (the drive entry for a root), or nullptr.
Entry* Lookup(const Entry& root, const ParsedPath& path, size_t count) {
  Entry* entry = root.Child(DriveName(path.drive));
  for (size_t i = 0; entry && i < count; ++i) entry = entry->directory ? entry->Child(path.parts[i]) : nullptr;
  return entry;
}

Entry* Lookup(const Entry& root, const ParsedPath& path) { return Lookup(root, path, path.parts.size()); }

// Creates the drive (fixed, ready) and every missing folder, stamped with `now`, as is the
// folder each is made in; nullptr when a file is in the way.
Entry* MakeFolders(Entry& root, const ParsedPath& path, size_t count, uint64_t now) {
  auto& drive = root.children[DriveName(path.drive)];
  if (!drive) drive = std::make_unique<Entry>();
  Entry* entry = drive.get();
  for (size_t i = 0; i < count; ++i) {
    auto& child = entry->children[path.parts[i]];
    if (!child) {
      child = std::make_unique<Entry>();
      child->writeTime = entry->writeTime = now;
    }
    if (!child->directory) return nullptr;
    entry = child.get();
  }
  return entry;
}

bool DriveReady(const Entry& root, char letter) {
  const Entry* drive = root.Child(DriveName(letter));
  return drive && drive->ready;
}

// Visits every entry the pattern's last name matches in its folder, sorted as NTFS
// keeps them, until `visit` returns false; with `dots`, a wildcard search below a drive's
// root first offers the folder's "." and ".." entries, as FindFirstFile does. kSuccess,
// or the error FindFirstFile gives when the folder cannot be searched.
constexpr long kInvalidName = 123;  // ERROR_INVALID_NAME

template <typename Visit>
long Search(const Entry& root, std::string_view pattern, bool dots, Visit visit) {
  const auto parsed = ParsePath(pattern);
  if (!parsed || parsed->trailingSeparator || parsed->parts.empty()) return kInvalidName;
  for (size_t i = 0; i + 1 < parsed->parts.size(); ++i)
    if (HasWildcard(parsed->parts[i])) return kInvalidName;
  if (!DriveReady(root, parsed->drive)) return kNotReady;
  const Entry* folder = Lookup(root, *parsed, parsed->parts.size() - 1);
  if (!folder) return kPathNotFound;
  if (!folder->directory) return kDirectory;
  const std::string& last = parsed->parts.back();
  if (!HasWildcard(last)) {
    const auto it = folder->children.find(last);
    if (it != folder->children.end()) visit(it->first, *it->second);
    return kSuccess;
  }
  if (dots && parsed->parts.size() > 1) {
    for (const std::string dot : {".", ".."})
      if (WildcardMatch(last, dot) && !visit(dot, *folder)) return kSuccess;
  }
  for (const auto& [name, entry] : folder->children)
    if (WildcardMatch(last, name) && !visit(name, *entry)) break;
  return kSuccess;
}

}  // namespace

MemoryFileSystem::MemoryFileSystem() : root_(std::make_unique<Entry>()) { AddDrive('C', kDriveFixed, true); }

MemoryFileSystem::~MemoryFileSystem() = default;

// The 64-bit view of the memory machine's files: its probes see every path as written.
class MemoryFileSystem::NativeView final : public ForwardingFileSystem {
 public:
  explicit NativeView(MemoryFileSystem& owner) : ForwardingFileSystem(owner), owner_(owner) {}
  long Find(std::string_view pattern, FindEntry& entry) override {
    return owner_.FindAt(pattern, entry);
  }
  long QueryAttributes(std::string_view path, uint32_t& attributes) override {
    return owner_.AttributesAt(path, attributes);
  }
  long List(std::string_view pattern, std::vector<DirEntry>& entries) override {
    return owner_.ListAt(pattern, entries);
  }
  long QueryWriteTime(std::string_view path, uint64_t& writeTime) override {
    return owner_.WriteTimeAt(path, writeTime);
  }
  FileSystem& InView(View view) override { return owner_.InView(view); }

 private:
  MemoryFileSystem& owner_;
};

FileSystem& MemoryFileSystem::InView(View view) {
  if (view == View::Process) return *this;
  if (!native_) native_ = std::make_unique<NativeView>(*this);
  return *native_;
}

// What a 32-bit process's probe of `path` reaches on a WOW64 machine: System32 is
// SysWOW64 but for the folders Windows exempts, and Sysnative is System32.
std::string MemoryFileSystem::Redirected(std::string_view path) const {
  if (!wow64) return std::string(path);
  const std::string base = windowsFolder + "\\";
  if (!StartsWithNoCase(path, base)) return std::string(path);
  std::string_view rest = path.substr(base.size());
  const auto folder = [&](std::string_view name) {
    return StartsWithNoCase(rest, name) &&
           (rest.size() == name.size() || IsSeparator(rest[name.size()]));
  };
  if (folder("Sysnative")) return base + "system32" + std::string(rest.substr(9));
  if (!folder("system32")) return std::string(path);
  const std::string_view below = rest.size() > 9 ? rest.substr(9) : std::string_view();
  for (const char* exempt : {"catroot", "catroot2", "drivers\\etc", "logfiles", "spool"}) {
    const std::string_view name = exempt;
    if (StartsWithNoCase(below, name) &&
        (below.size() == name.size() || IsSeparator(below[name.size()])))
      return std::string(path);
  }
  return base + "SysWOW64" + std::string(rest.substr(8));
}

long MemoryFileSystem::Find(std::string_view pattern, FindEntry& entry) {
  return FindAt(Redirected(pattern), entry);
}

long MemoryFileSystem::QueryAttributes(std::string_view path, uint32_t& attributes) {
  return AttributesAt(Redirected(path), attributes);
}

long MemoryFileSystem::List(std::string_view pattern, std::vector<DirEntry>& entries) {
  return ListAt(Redirected(pattern), entries);
}

namespace {

// Whether the folder of `path` (its parts but the last) may not be searched: it or a
// folder above it is unsearchable, and may not be traversed if it is above.
bool SearchDenied(const std::map<std::string, bool>& unsearchable, const ParsedPath& path) {
  if (unsearchable.empty() || path.parts.empty()) return false;
  ParsedPath prefix;
  prefix.drive = path.drive;
  const size_t folderParts = path.parts.size() - 1;
  for (size_t i = 0; i <= folderParts; ++i) {
    if (i > 0) prefix.parts.push_back(path.parts[i - 1]);
    const auto it = unsearchable.find(prefix.Key());
    if (it == unsearchable.end()) continue;
    if (i == folderParts || !it->second) return true;
  }
  return false;
}

}  // namespace

long MemoryFileSystem::FindAt(std::string_view pattern, FindEntry& entry) {
  ++probes_;
  const auto parsed = ParsePath(pattern);
  if (parsed && SearchDenied(unsearchable_, *parsed)) return kAccessDenied;
  bool found = false;
  const long searched = Search(*root_, pattern, true, [&](const std::string& name, const Entry& match) {
    entry = FindEntry{name, match.Attributes()};
    found = true;
    return false;
  });
  if (searched != kSuccess) return searched;
  return found ? kSuccess : kFileNotFound;
}

long MemoryFileSystem::AttributesAt(std::string_view path, uint32_t& attributes) {
  ++probes_;
  if (HasWildcard(path)) return kInvalidName;
  const auto parsed = ParsePath(path);
  if (!parsed) return kInvalidName;
  if (!DriveReady(*root_, parsed->drive)) return kNotReady;
  if (const auto failure = attributeFailures_.find(parsed->Key());
      failure != attributeFailures_.end())
    return failure->second;
  if (!parsed->parts.empty()) {
    // Reaching the name needs every folder above it to be traversable.
    ParsedPath above = *parsed;
    above.parts.pop_back();
    for (auto [folder, traverse] : unsearchable_) {
      if (traverse) continue;
      for (ParsedPath prefix = above; !prefix.parts.empty(); prefix.parts.pop_back())
        if (prefix.Key() == folder) return kAccessDenied;
    }
  }
  const Entry* entry = Lookup(*root_, *parsed);
  if (!entry) {
    const Entry* folder = parsed->parts.empty() ? nullptr : Lookup(*root_, *parsed, parsed->parts.size() - 1);
    return folder && folder->directory ? kFileNotFound : kPathNotFound;
  }
  if (parsed->trailingSeparator && !entry->directory) return kInvalidName;
  attributes = entry->Attributes();
  return kSuccess;
}

long MemoryFileSystem::QueryWriteTime(std::string_view path, uint64_t& writeTime) {
  return WriteTimeAt(Redirected(path), writeTime);
}

long MemoryFileSystem::WriteTimeAt(std::string_view path, uint64_t& writeTime) {
  uint32_t attributes = 0;
  const long found = AttributesAt(path, attributes);
  if (found != kSuccess) return found;
  writeTime = Lookup(*root_, *ParsePath(path))->writeTime;
  return kSuccess;
}

std::string MemoryFileSystem::VolumePath(std::string_view path) {
  auto parsed = ParsePath(path);
  if (!parsed) return "";
  for (; !parsed->parts.empty(); parsed->parts.pop_back())
    if (mounts_.count(parsed->Key())) return parsed->Key() + "\\";
  return DriveName(parsed->drive) + "\\";
}

bool MemoryFileSystem::StampsFolderChanges(std::string_view root) {
  if (const auto parsed = ParsePath(root); parsed && !parsed->parts.empty()) {
    const auto mount = mounts_.find(parsed->Key());
    return mount != mounts_.end() && mount->second;
  }
  const auto parsed = ParsePath(root);
  const Entry* drive = parsed ? root_->Child(DriveName(parsed->drive)) : nullptr;
  return drive && drive->ready && drive->stampsFolderChanges;
}

void MemoryFileSystem::MountVolume(std::string_view folder, bool stampsFolderChanges) {
  AddFolder(folder);
  if (const auto parsed = ParsePath(folder)) mounts_[parsed->Key()] = stampsFolderChanges;
}

void MemoryFileSystem::MakeJunction(std::string_view folder) {
  AddFolder(folder);
  if (const auto parsed = ParsePath(folder))
    if (Entry* entry = Lookup(*root_, *parsed)) entry->junction = true;
}

void MemoryFileSystem::SetStampsFolderChanges(char letter, bool stamps) {
  const auto parsed = ParsePath(std::string(1, letter) + ":\\");
  if (!parsed) return;
  if (Entry* drive = root_->Child(DriveName(parsed->drive))) drive->stampsFolderChanges = stamps;
}

uint32_t MemoryFileSystem::DriveType(std::string_view root) {
  const auto parsed = ParsePath(root);
  if (!parsed || !parsed->parts.empty()) return kDriveNoRootDir;
  const Entry* drive = root_->Child(DriveName(parsed->drive));
  return drive ? drive->driveType : kDriveNoRootDir;
}

bool MemoryFileSystem::VolumeReady(std::string_view root) {
  const auto parsed = ParsePath(root);
  return parsed && parsed->parts.empty() && DriveReady(*root_, parsed->drive);
}

// As Wine's ExpandEnvironmentStrings: a %NAME% that is not defined stays as it is, and
// the search goes on after its closing "%".
bool MemoryFileSystem::ExpandEnvironment(std::string_view text, size_t capacity, std::string& expanded) {
  std::string out;
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] != '%') {
      const size_t next = std::min(text.find('%', pos), text.size());
      out.append(text.substr(pos, next - pos));
      pos = next;
      continue;
    }
    const size_t close = text.find('%', pos + 1);
    if (close == std::string_view::npos) {
      out.append(text.substr(pos));
      break;
    }
    const auto it = environment_.find(AsciiUpper(text.substr(pos + 1, close - pos - 1)));
    if (close > pos + 1 && it != environment_.end()) {
      out += it->second.second;
    } else {
      out.append(text.substr(pos, close - pos + 1));
    }
    pos = close + 1;
  }
  if (out.size() + 1 > capacity) return false;
  expanded = std::move(out);
  return true;
}

std::optional<std::string> MemoryFileSystem::SpecialFolder(int csidl) {
  const auto it = specialFolders_.find(csidl);
  if (it == specialFolders_.end()) return std::nullopt;
  return it->second;
}

std::optional<std::string> MemoryFileSystem::ShortcutTarget(std::string_view linkPath) {
  const auto parsed = ParsePath(linkPath);
  if (!parsed || !DriveReady(*root_, parsed->drive)) return std::nullopt;
  const Entry* file = Lookup(*root_, *parsed);
  if (!file || file->directory) return std::nullopt;
  const auto it = shortcuts_.find(parsed->Key());
  if (it == shortcuts_.end()) return std::nullopt;
  return it->second;
}

long MemoryFileSystem::ListAt(std::string_view pattern, std::vector<DirEntry>& entries) {
  entries.clear();
  const auto parsed = ParsePath(pattern);
  if (parsed && SearchDenied(unsearchable_, *parsed)) return kAccessDenied;
  if (parsed && !parsed->parts.empty()) {
    ParsedPath folder = *parsed;
    folder.parts.pop_back();
    const auto failure = listFailures_.find(folder.Key());
    if (failure != listFailures_.end()) return failure->second;
  }
  return Search(*root_, pattern, false, [&](const std::string& name, const Entry& found) {
    entries.push_back(DirEntry{name, found.Attributes(), found.writeTime, found.contents.size()});
    return true;
  });
}

namespace {

// A write at `path` is refused when a folder above it is write-protected.
bool WriteDenied(const std::set<std::string>& denied, const ParsedPath& path, bool includeSelf) {
  ParsedPath prefix;
  prefix.drive = path.drive;
  const size_t n = path.parts.size();
  const size_t count = includeSelf || n == 0 ? n : n - 1;
  if (denied.count(prefix.Key())) return true;
  for (size_t i = 0; i < count; ++i) {
    prefix.parts.push_back(path.parts[i]);
    if (denied.count(prefix.Key())) return true;
  }
  return false;
}

}  // namespace

bool MemoryFileSystem::RemoveFile(std::string_view path) { return RemoveFileWithReason(path) == kSuccess; }

long MemoryFileSystem::RemoveFileWithReason(std::string_view path) {
  if (HasWildcard(path)) return kInvalidParameter;
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) return kPathNotFound;
  if (!DriveReady(*root_, parsed->drive)) return kNotReady;
  Entry* parent = Lookup(*root_, *parsed, parsed->parts.size() - 1);
  if (!parent || !parent->directory) return kPathNotFound;
  const auto it = parent->children.find(parsed->parts.back());
  if (it == parent->children.end()) return kFileNotFound;
  if (WriteDenied(deniedFolders_, *parsed, true)) return kAccessDenied;
  if (BeingRead(parsed->Key())) return kSharingViolation;
  parent->children.erase(it);
  parent->writeTime = fileClock;
  return kSuccess;
}

bool MemoryFileSystem::CreateDirectories(std::string_view path) {
  if (HasWildcard(path)) return false;
  const auto parsed = ParsePath(path);
  if (!parsed || !DriveReady(*root_, parsed->drive)) return false;
  Entry* entry = root_->Child(DriveName(parsed->drive));
  ParsedPath created;
  created.drive = parsed->drive;
  for (const auto& part : parsed->parts) {
    created.parts.push_back(part);
    Entry* child = entry->Child(part);
    if (!child) {
      if (WriteDenied(deniedFolders_, created, false)) return false;
      child = entry->children.emplace(part, std::make_unique<Entry>()).first->second.get();
      child->writeTime = entry->writeTime = fileClock;
    }
    if (!child->directory) return false;
    entry = child;
  }
  return true;
}

bool MemoryFileSystem::WriteFile(std::string_view path, std::string_view header, std::string_view text,
                                 bool append) {
  if (HasWildcard(path)) return false;
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty() || parsed->trailingSeparator || !DriveReady(*root_, parsed->drive))
    return false;
  Entry* folder = Lookup(*root_, *parsed, parsed->parts.size() - 1);
  if (!folder || !folder->directory || WriteDenied(deniedFolders_, *parsed, false) ||
      BeingRead(parsed->Key()))
    return false;
  auto& file = folder->children[parsed->parts.back()];
  if (!file) {
    file = std::make_unique<Entry>();
    file->directory = false;
    file->contents.assign(header);
    file->writeTime = folder->writeTime = fileClock;
  } else if (file->directory) {
    return false;
  } else if (!append) {
    file->contents.clear();
  }
  file->contents.append(text);
  return true;
}

bool MemoryFileSystem::AppendToFile(std::string_view path, std::string_view header, std::string_view text) {
  return WriteFile(path, header, text, true);
}

bool MemoryFileSystem::WriteWholeFile(std::string_view path, std::string_view contents) {
  return WriteFile(path, "", contents, false);
}

bool MemoryFileSystem::ReadFile(std::string_view path, std::string& contents) {
  const auto parsed = ParsePath(path);
  if (!parsed || !DriveReady(*root_, parsed->drive) || parsed->trailingSeparator) return false;
  const Entry* file = Lookup(*root_, *parsed);
  if (!file || file->directory) return false;
  contents = file->contents;
  return true;
}

namespace {

// Reads a copy of the contents taken when the file was opened; counts itself among
// the file's readers while it lives.
class MemoryFileReader final : public FileReader {
 public:
  MemoryFileReader(std::string contents, size_t failAfter, std::shared_ptr<size_t> readers)
      : contents_(std::move(contents)), failAfter_(failAfter), readers_(std::move(readers)) {
    ++*readers_;
  }
  ~MemoryFileReader() override { --*readers_; }

  bool Read(char* buffer, size_t capacity, size_t& read) override {
    if (position_ >= failAfter_ && position_ < contents_.size()) return false;
    const size_t end = std::min({contents_.size(), position_ + capacity,
                                 std::max(failAfter_, position_)});
    read = end - position_;
    std::copy(contents_.begin() + static_cast<std::ptrdiff_t>(position_),
              contents_.begin() + static_cast<std::ptrdiff_t>(end), buffer);
    position_ = end;
    return true;
  }

 private:
  std::string contents_;
  size_t failAfter_;
  std::shared_ptr<size_t> readers_;
  size_t position_ = 0;
};

}  // namespace

std::unique_ptr<FileReader> MemoryFileSystem::OpenForReading(std::string_view path) {
  const auto parsed = ParsePath(path);
  if (!parsed || !DriveReady(*root_, parsed->drive) || parsed->trailingSeparator) return nullptr;
  const Entry* file = Lookup(*root_, *parsed);
  if (!file || file->directory) return nullptr;
  const auto failing = readFailures_.find(parsed->Key());
  const size_t failAfter = failing == readFailures_.end() ? SIZE_MAX : failing->second;
  auto& readers = openReaders_[parsed->Key()];
  if (!readers) readers = std::make_shared<size_t>(0);
  return std::make_unique<MemoryFileReader>(file->contents, failAfter, readers);
}

std::optional<std::string> MemoryFileSystem::FullPath(std::string_view path) {
  const auto parsed = ParsePath(path);
  if (!parsed) return std::nullopt;
  std::string full = DriveName(parsed->drive) + "\\";
  for (size_t i = 0; i < parsed->parts.size(); ++i) {
    if (i > 0) full += '\\';
    full += parsed->parts[i];
  }
  if (parsed->trailingSeparator) full += '\\';
  return full;
}

bool MemoryFileSystem::BeingRead(const std::string& key) const {
  const auto it = openReaders_.find(key);
  return it != openReaders_.end() && *it->second > 0;
}

void MemoryFileSystem::FailReadingAfter(std::string_view path, size_t bytes) {
  if (const auto parsed = ParsePath(path)) readFailures_[parsed->Key()] = bytes;
}

void MemoryFileSystem::AddDrive(char letter, uint32_t type, bool ready) {
  const auto parsed = ParsePath(std::string(1, letter) + ":\\");
  if (!parsed) return;
  auto& drive = root_->children[DriveName(parsed->drive)];
  if (!drive) drive = std::make_unique<Entry>();
  drive->driveType = type;
  drive->ready = ready;
  drive->recycleBin = type == kDriveFixed;
}

void MemoryFileSystem::SetRecycleBin(char letter, bool present) {
  const auto parsed = ParsePath(std::string(1, letter) + ":\\");
  if (!parsed) return;
  if (Entry* drive = root_->Child(DriveName(parsed->drive))) drive->recycleBin = present;
}

RecycleResult MemoryFileSystem::RecycleFile(std::string_view path) {
  if (HasWildcard(path)) return RecycleResult::Failed;
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty() || !DriveReady(*root_, parsed->drive))
    return RecycleResult::Failed;
  if (!root_->Child(DriveName(parsed->drive))->recycleBin) return RecycleResult::NoRecycleBin;
  Entry* parent = Lookup(*root_, *parsed, parsed->parts.size() - 1);
  if (!parent || !parent->directory) return RecycleResult::Failed;
  const auto it = parent->children.find(parsed->parts.back());
  if (it == parent->children.end() || it->second->directory) return RecycleResult::Failed;
  if (WriteDenied(deniedFolders_, *parsed, true) || BeingRead(parsed->Key()))
    return RecycleResult::Failed;
  RecycledFile file;
  // The path as the disk spells it.
  file.originalPath = DriveName(parsed->drive);
  const Entry* folder = root_->Child(DriveName(parsed->drive));
  for (const std::string& part : parsed->parts) {
    const auto child = folder->children.find(part);
    file.originalPath += "\\" + child->first;
    folder = child->second.get();
  }
  file.entry = std::move(it->second);
  const auto link = shortcuts_.find(parsed->Key());
  if (link != shortcuts_.end()) {
    file.shortcutTarget = link->second;
    shortcuts_.erase(link);
  }
  parent->children.erase(it);
  parent->writeTime = fileClock;
  recycled_[parsed->drive].push_back(std::move(file));
  return RecycleResult::Recycled;
}

std::vector<std::string> MemoryFileSystem::RecycledFiles(char letter) const {
  std::vector<std::string> paths;
  const auto bin = recycled_.find(AsciiUpper(std::string(1, letter))[0]);
  if (bin != recycled_.end())
    for (const RecycledFile& file : bin->second) paths.push_back(file.originalPath);
  return paths;
}

bool MemoryFileSystem::RestoreRecycled(std::string_view originalPath) {
  const auto parsed = ParsePath(originalPath);
  if (!parsed || parsed->parts.empty()) return false;
  auto bin = recycled_.find(parsed->drive);
  if (bin == recycled_.end()) return false;
  for (auto file = bin->second.begin(); file != bin->second.end(); ++file) {
    const auto original = ParsePath(file->originalPath);
    if (!original || original->Key() != parsed->Key()) continue;
    Entry* folder = MakeFolders(*root_, *parsed, parsed->parts.size() - 1, fileClock);
    if (!folder || folder->Child(parsed->parts.back())) return false;
    folder->children[original->parts.back()] = std::move(file->entry);
    folder->writeTime = fileClock;
    if (file->shortcutTarget) shortcuts_[parsed->Key()] = *file->shortcutTarget;
    bin->second.erase(file);
    return true;
  }
  return false;
}

void MemoryFileSystem::DenyAccess(std::string_view folder, bool traverse) {
  if (const auto parsed = ParsePath(folder)) unsearchable_[parsed->Key()] = traverse;
}

void MemoryFileSystem::AddFile(std::string_view path, std::string_view contents, uint64_t writeTime) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty()) return;
  Entry* folder = MakeFolders(*root_, *parsed, parsed->parts.size() - 1, fileClock);
  if (!folder) return;
  auto& file = folder->children[parsed->parts.back()];
  if (!file) {
    file = std::make_unique<Entry>();
    file->directory = false;
    folder->writeTime = fileClock;
  }
  if (file->directory) return;
  file->contents.assign(contents);
  file->writeTime = writeTime;
}

void MemoryFileSystem::AddFolder(std::string_view path) {
  if (const auto parsed = ParsePath(path)) MakeFolders(*root_, *parsed, parsed->parts.size(), fileClock);
}

void MemoryFileSystem::SetEnvironment(std::string_view name, std::string_view value) {
  environment_[AsciiUpper(name)] = {std::string(name), std::string(value)};
}

void MemoryFileSystem::SetSpecialFolder(int csidl, std::string_view path) {
  specialFolders_[csidl] = std::string(path);
}

void MemoryFileSystem::AddShortcut(std::string_view linkPath, std::string_view target) {
  const auto parsed = ParsePath(linkPath);
  if (!parsed) return;
  AddFile(linkPath);
  shortcuts_[parsed->Key()] = std::string(target);
}

bool MemoryFileSystem::Exists(std::string_view path) const {
  const auto parsed = ParsePath(path);
  return parsed && Lookup(*root_, *parsed) != nullptr;
}

std::string MemoryFileSystem::Contents(std::string_view path) const {
  const auto parsed = ParsePath(path);
  const Entry* file = parsed ? Lookup(*root_, *parsed) : nullptr;
  return file && !file->directory ? file->contents : std::string();
}

class MemoryWritableFile final : public WritableFile {
 public:
  MemoryWritableFile(MemoryFileSystem& files, std::string path) : files_(files), path_(std::move(path)) {}

  bool Append(std::string_view data) override {
    MemoryFileSystem::Entry* file = files_.FileEntry(path_);
    if (!file) return false;
    bool complete = true;
    if (files_.writeBudget_) {
      if (data.size() > *files_.writeBudget_) {
        data = data.substr(0, static_cast<size_t>(*files_.writeBudget_));
        complete = false;
      }
      *files_.writeBudget_ -= data.size();
    }
    file->contents.append(data);
    return complete;
  }

  bool Flush() override { return !files_.failFlush && files_.FileEntry(path_) != nullptr; }

  bool Truncate(uint64_t size) override {
    MemoryFileSystem::Entry* file = files_.FileEntry(path_);
    if (!file || size > file->contents.size()) return false;
    file->contents.resize(static_cast<size_t>(size));
    return true;
  }

  bool Overwrite(uint64_t offset, std::string_view data) override {
    MemoryFileSystem::Entry* file = files_.FileEntry(path_);
    if (!file || offset > file->contents.size() || data.size() > file->contents.size() - offset)
      return false;
    file->contents.replace(static_cast<size_t>(offset), data.size(), data);
    return true;
  }

  uint64_t Size() const override {
    const MemoryFileSystem::Entry* file = files_.FileEntry(path_);
    return file ? file->contents.size() : 0;
  }

 private:
  MemoryFileSystem& files_;
  std::string path_;
};

MemoryFileSystem::Entry* MemoryFileSystem::FileEntry(std::string_view path) {
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty() || !DriveReady(*root_, parsed->drive)) return nullptr;
  Entry* file = Lookup(*root_, *parsed);
  return file && !file->directory ? file : nullptr;
}

long MemoryFileSystem::CreateNewFile(std::string_view path, std::unique_ptr<WritableFile>& file) {
  if (HasWildcard(path)) return kInvalidName;
  const auto parsed = ParsePath(path);
  if (!parsed || parsed->parts.empty() || parsed->trailingSeparator) return kInvalidName;
  if (!DriveReady(*root_, parsed->drive)) return kNotReady;
  Entry* folder = Lookup(*root_, *parsed, parsed->parts.size() - 1);
  if (!folder || !folder->directory) return kPathNotFound;
  if (WriteDenied(deniedFolders_, *parsed, false)) return kAccessDenied;
  auto& entry = folder->children[parsed->parts.back()];
  if (entry) return kFileExists;
  entry = std::make_unique<Entry>();
  entry->directory = false;
  entry->writeTime = folder->writeTime = fileClock;
  file = std::make_unique<MemoryWritableFile>(*this, std::string(path));
  return kSuccess;
}

long MemoryFileSystem::OpenForAppend(std::string_view path, std::unique_ptr<WritableFile>& file) {
  const auto parsed = ParsePath(path);
  if (!parsed || !FileEntry(path)) return kFileNotFound;
  if (WriteDenied(deniedFolders_, *parsed, false)) return kAccessDenied;
  file = std::make_unique<MemoryWritableFile>(*this, std::string(path));
  return kSuccess;
}

bool MemoryFileSystem::ReplaceFile(std::string_view from, std::string_view to) {
  Entry* source = FileEntry(from);
  const auto target = ParsePath(to);
  if (!source || !target || target->parts.empty()) return false;
  if (WriteDenied(deniedFolders_, *target, false)) return false;
  const std::string contents = source->contents;
  if (!WriteFile(to, "", contents, false)) return false;
  return RemoveFile(from);
}

void MemoryFileSystem::FailListing(std::string_view folder, long error) {
  const auto parsed = ParsePath(folder);
  if (!parsed) return;
  if (error != kSuccess) {
    listFailures_[parsed->Key()] = error;
  } else {
    listFailures_.erase(parsed->Key());
  }
}

void MemoryFileSystem::FailAttributes(std::string_view path, long error) {
  const auto parsed = ParsePath(path);
  if (!parsed) return;
  if (error != kSuccess) {
    attributeFailures_[parsed->Key()] = error;
  } else {
    attributeFailures_.erase(parsed->Key());
  }
}

void MemoryFileSystem::DenyWrites(std::string_view folder, bool deny) {
  const auto parsed = ParsePath(folder);
  if (!parsed) return;
  if (deny) {
    deniedFolders_.insert(parsed->Key());
  } else {
    deniedFolders_.erase(parsed->Key());
  }
}

}  // namespace tallowin::platform::memory
