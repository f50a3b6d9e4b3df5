#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/text.h"

namespace tallowin::platform {

const char* RootName(Root root) {
  switch (root) {
    case Root::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case Root::CurrentUser: return "HKEY_CURRENT_USER";
    case Root::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case Root::Users: return "HKEY_USERS";
    case Root::CurrentConfig: return "HKEY_CURRENT_CONFIG";
  }
  return "";
}

std::optional<Root> RootFromName(std::string_view name) {
  const std::string upper = AsciiUpper(name);
  for (Root r : {Root::ClassesRoot, Root::CurrentUser, Root::LocalMachine, Root::Users,
                 Root::CurrentConfig})
    if (upper == RootName(r)) return r;
  return std::nullopt;
}

std::string Registry::UpcaseName(std::string_view name) { return AsciiUpper(name); }

bool FileExists(FileSystem& fs, std::string_view path) {
  FindEntry entry;
  return fs.FindFirst(path, entry) && (entry.attributes & kAttrDirectory) == 0;
}

bool FolderExists(FileSystem& fs, std::string_view path) {
  const auto attributes = fs.Attributes(path);
  return attributes && (*attributes & kAttrDirectory) != 0;
}

Presence FilePresence(FileSystem& fs, std::string_view path) {
  FindEntry entry;
  const long rc = fs.Find(path, entry);
  if (rc == kSuccess) return (entry.attributes & kAttrDirectory) == 0 ? Presence::Present : Presence::Absent;
  return IsNoAnswer(rc) ? Presence::Unknown : Presence::Absent;
}

Presence FolderPresence(FileSystem& fs, std::string_view path) {
  uint32_t attributes = 0;
  const long rc = fs.QueryAttributes(path, attributes);
  if (rc == kSuccess) return (attributes & kAttrDirectory) != 0 ? Presence::Present : Presence::Absent;
  return IsNoAnswer(rc) ? Presence::Unknown : Presence::Absent;
}

long CheckGone(FileSystem& fs, std::string_view path) {
  uint32_t attributes = 0;
  const long rc = fs.QueryAttributes(path, attributes);
  if (rc == kSuccess) return kFileExists;
  return rc == kFileNotFound || rc == kPathNotFound ? kSuccess : rc;
}

}  // namespace tallowin::platform
