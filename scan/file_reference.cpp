#include <string>
#include <string_view>
#include <vector>

#include "platform/text.h"
#include "scan/file_probe_cache.h"
#include "scan/scan_task.h"

namespace tallowin {

namespace {

constexpr size_t kNone = std::string_view::npos;
constexpr size_t kExpansionCapacity = 1024;
constexpr size_t kMaxNameLength = 255;  // of one file or folder name

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlankOrControl(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlankOrControl(text.back())) text.remove_suffix(1);
  return text;
}

enum class DriveVerdict { Testable, NotTestable, Broken };

DriveVerdict TestDrive(std::string_view path, std::string_view driveLetters,
                       const TScanTaskThread& thread) {
  if (path.empty() || !ContainsNoCase(driveLetters, path.substr(0, 1)))
    return DriveVerdict::NotTestable;
  if (path.size() < 3 || path.substr(1, 2) != ":\\") return DriveVerdict::NotTestable;
  // An empty floppy drive is judged without touching it.
  if (!thread.IgnoreRemoveDrives) {
    if (StartsWithNoCase(path, "A:\\") && !thread.DriveAReady) return DriveVerdict::Broken;
    if (StartsWithNoCase(path, "B:\\") && !thread.DriveBReady) return DriveVerdict::Broken;
  }
  return DriveVerdict::Testable;
}

// Every folder answers for a device name as if it held such a file: "C:\Games\Con" is
// found, on the way to "C:\Games\Console\x.exe". Only the whole reference may name one.
bool IsDevicePrefix(std::string_view cand, std::string_view path) {
  if (cand.size() >= path.size()) return false;
  // Asked at every character of a reference: the look back stops where no name can be.
  size_t start = cand.size();
  for (; start > 0 && cand[start - 1] != '\\' && cand[start - 1] != '/'; --start)
    if (cand.size() - start > kMaxNameLength) return false;
  const std::string_view name = cand.substr(start);
  if (name.size() < 3) return false;
  switch (name.front() | 0x20) {
    case 'a': case 'c': case 'l': case 'n': case 'p':
      return IsDosDeviceName(name);
    default:
      return false;
  }
}

// The existence tests of one candidate path. It is missing only when every test that
// decided so found its name absent: one the system refused to answer (access denied)
// may have hidden the file, and then the reference is not judged.
class Probes {
 public:
  explicit Probes(TScanTaskThread& thread) : thread_(thread) {}
  bool FileExists(const std::string& path) { return Seen(thread_.FilePresence(path)); }
  bool FolderExists(const std::string& path) { return Seen(thread_.FolderPresence(path)); }
  bool Refused() const { return refused_; }

 private:
  bool Seen(platform::Presence presence) {
    if (presence == platform::Presence::Unknown) refused_ = true;
    return presence == platform::Presence::Present;
  }
  TScanTaskThread& thread_;
  bool refused_ = false;
};

// `cand` found as it stands (a file, or a folder when folders count), or as a program
// with one of the executable extensions. `cand` is restored before returning.
bool FoundWithTrials(Probes& thread, std::string& cand, std::string_view path,
                     bool dirsAllowed) {
  if (IsDevicePrefix(cand, path)) return false;
  if (thread.FileExists(cand)) return true;
  if (dirsAllowed && thread.FolderExists(cand)) return true;
  for (const char* extension : {".exe", ".com", ".bat"}) {
    cand += extension;
    const bool hit = thread.FileExists(cand);
    cand.resize(cand.size() - 4);
    if (hit) return true;
  }
  return false;
}

// The folder of the last component exists: cut the arguments off at a separator
// inside that component.
bool BrokenAfterArgumentCutting(Probes& thread, std::string_view path, size_t lastSlash,
                                bool dirsAllowed) {
  std::string cand(path.substr(0, lastSlash + 1));
  for (size_t k = lastSlash + 1; k < path.size(); ++k) {
    if (IsArgumentSeparator(path[k]) && FoundWithTrials(thread, cand, path, dirsAllowed))
      return false;
    cand += path[k];
  }
  for (;;) {
    if (FoundWithTrials(thread, cand, path, dirsAllowed)) return false;
    if (cand.empty() || cand.back() != ';') return true;
    cand.pop_back();
    if (cand.empty()) return true;
  }
}

// The folder of the last component does not exist: look for a file at every prefix.
// A name inside a folder that does not exist cannot be found, so those prefixes are
// answered without a query; the folder test itself resolves the name exactly as the
// file search would.
bool BrokenAfterPrefixWalk(Probes& thread, std::string_view path) {
  std::string cand;
  cand.reserve(path.size() + 4);
  bool folderMissing = false;
  for (const char c : path) {
    if (IsArgumentSeparator(c) && !folderMissing && !IsDevicePrefix(cand, path)) {
      cand += ".exe";
      const bool hit = thread.FileExists(cand);
      cand.resize(cand.size() - 4);
      if (hit) return false;
    }
    cand += c;
    // "/" separates folders too, and "..\" may climb out of a missing folder.
    if (c == '\\' || c == '/') folderMissing = !thread.FolderExists(cand);
    if (!folderMissing && !IsDevicePrefix(cand, path) && thread.FileExists(cand)) return false;
  }
  return true;
}

// The 64-bit spelling of a program-folder variable, whose 32-bit expansion is the
// "(x86)" folder; empty for every other variable.
std::string_view NativeVariable(std::string_view variable) {
  if (EqualsNoCase(variable, "%ProgramFiles%")) return "%ProgramW6432%";
  if (EqualsNoCase(variable, "%CommonProgramFiles%")) return "%CommonProgramW6432%";
  return {};
}

}  // namespace

bool IsArgumentSeparator(char c) {
  switch (c) {
    case ' ': case '*': case ',': case '/': case ':': case ';': case '<': case '>': case '?':
    case '|':
      return true;
    default:
      return false;
  }
}

std::string TScanTaskThread::ExpandLeadingVariable(const std::string& text) {
  std::string expanded;
  std::string result;
  if (Files().ExpandEnvironment(text, kExpansionCapacity, expanded)) {
    const size_t nul = expanded.find('\0');
    if (nul != std::string::npos) expanded.resize(nul);
    result = Trimmed(expanded);
  } else {
    result = text;
  }
  return FolderExists(result) ? result : text;
}

bool TScanTaskThread::ResolveFileReference(const std::string& data,
                                           const std::string& requiredSuffix, bool dirsAllowed,
                                           const std::string& driveLetters) {
  if (data.empty()) return false;
  if (data.find('?') != kNone) return false;
  if (ContainsNoCase(data, "\\hp")) return false;
  // A 32-bit process sees System32 and the program folders redirected, and does not
  // judge them unless it looks at both sides.
  const bool skipRedirected = IsWow64 && !Check64Bit;
  if (skipRedirected && (ContainsNoCase(data, "system32") || ContainsNoCase(data, "ProgramFiles") ||
                         ContainsNoCase(data, "Program Files")))
    return false;

  std::string_view path = data;
  if (data.front() == '"') {
    std::string_view quoted = path.substr(1);
    if (quoted.empty()) return false;
    path = quoted.substr(0, quoted.find('"'));
  }

  std::string_view variable;
  if (!path.empty() && path.front() == '%') {
    if (path.size() == 1) return false;
    const size_t closing = path.find('%', 1);
    // A lone leading "%" opens no variable: the text is neither a variable nor a path
    // with a drive, so it cannot be judged.
    if (closing == kNone) return false;
    variable = path.substr(0, closing + 1);
  }
  if (Check64Bit)
    return IsBrokenOnBothSides(path, variable, requiredSuffix, dirsAllowed, driveLetters);

  std::string expanded;
  if (!variable.empty()) {
    expanded = ExpandLeadingVariable(std::string(variable));
    if (!expanded.empty() && expanded.front() == '%') return false;
    expanded.append(path.substr(variable.size()));
    path = expanded;
  }
  if (skipRedirected && (ContainsNoCase(path, "system32") || ContainsNoCase(path, "Program Files")))
    return false;
  return IsBrokenPath(path, requiredSuffix, dirsAllowed, driveLetters);
}

// Each place the reference may mean, for a 32-bit or a 64-bit program; broken only when
// it is missing in all of them.
bool TScanTaskThread::IsBrokenOnBothSides(std::string_view path, std::string_view variable,
                                          const std::string& requiredSuffix, bool dirsAllowed,
                                          const std::string& driveLetters) {
  std::vector<std::string> places;
  if (variable.empty()) {
    places.emplace_back(path);
  } else {
    for (const std::string_view name : {variable, NativeVariable(variable)}) {
      if (name.empty()) continue;
      std::string expanded = ExpandLeadingVariable(std::string(name));
      if (!expanded.empty() && expanded.front() == '%') continue;
      expanded.append(path.substr(variable.size()));
      places.push_back(std::move(expanded));
    }
    if (places.empty()) return false;
  }
  for (const std::string& place : places)
    for (const std::string& spelling : PathSpellings(place))
      if (!IsBrokenPath(spelling, requiredSuffix, dirsAllowed, driveLetters)) return false;
  return true;
}

bool TScanTaskThread::IsBrokenPath(std::string_view path, const std::string& requiredSuffix,
                                   bool dirsAllowed, const std::string& driveLetters) {
  if (!requiredSuffix.empty()) {
    const size_t at = FindNoCase(path, requiredSuffix);
    if (at == 0) return false;
    std::string target(path.substr(0, at - 1));
    target += requiredSuffix;
    switch (TestDrive(target, driveLetters, *this)) {
      case DriveVerdict::NotTestable: return false;
      case DriveVerdict::Broken: return true;
      case DriveVerdict::Testable: break;
    }
    return FilePresence(target) == platform::Presence::Absent;
  }

  if (path.empty()) return false;
  switch (TestDrive(path, driveLetters, *this)) {
    case DriveVerdict::NotTestable: return false;
    case DriveVerdict::Broken: return true;
    case DriveVerdict::Testable: break;
  }
  // A second drive in the text makes it ambiguous.
  if (path.substr(3).find(":\\") != kNone) return false;

  const size_t lastSlash = path.rfind('\\');  // at least the one after the drive
  const std::string dir(path.substr(0, lastSlash + 1));
  Probes probes(*this);
  const bool dirFound = probes.FolderExists(dir);
  if (dir.size() == path.size() && dirFound) return false;
  const bool broken = dirFound ? BrokenAfterArgumentCutting(probes, path, lastSlash, dirsAllowed)
                               : BrokenAfterPrefixWalk(probes, path);
  return broken && !probes.Refused();
}

}  // namespace tallowin
