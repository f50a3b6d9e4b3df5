#pragma once
// The item a row names, read the one way the scan's stamp and the repair both use.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/registry.h"
#include "scan/issue.h"

namespace tallowin {

struct IssueTarget {
  enum class Kind {
    None,   // the row names no single item (no backslash, unknown root, no name)
    Key,    // the key `path` with its sub-tree
    Value,  // the value `valueName` ("" = the default value) of the key `path`
    File,   // the file `file`
  };
  Kind kind = Kind::None;
  platform::View view = platform::View::Process;  // the row's
  std::string rootName;  // as the row writes it
  platform::Root root = platform::Root::CurrentUser;
  std::string path;      // below the root, without a trailing backslash
  std::string valueName;
  std::string file;
};

// By entry kind: the Registry key column split at its first backslash into root name and
// rest; a value row's name from the path's last part, the Data column or its ROT13.
IssueTarget ResolveIssueTarget(const Issue& issue);

// A stamp's fingerprint of a value: FNV-1a over the type's four bytes (least significant
// first) and then the data.
uint64_t ValueDigest(uint32_t type, std::string_view data);

ItemStamp StampOfValue(const platform::RegValue& value);
// Reads the item as it is now, in the target's view; Kind::None when it cannot be read.
ItemStamp TakeStamp(platform::Registry& registry, const IssueTarget& target);

}  // namespace tallowin
