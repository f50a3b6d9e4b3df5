#pragma once
// One finding of the scan: what the list shows and what the repair deletes.

#include <cstdint>
#include <string>

#include "platform/view.h"

namespace tallowin {

enum EntryKind : int {
  ekKey = 0,                // Registry key column: root\key path; the key with its sub-keys
  ekValueInKeyPath = 1,     // root\key path\value name
  ekValueInData = 2,        // root\key path; the value named by Data
  ekSubKeyInData = 3,       // root\key path; the sub-key named by Data
  ekFile = 4,               // a file path; the file itself
  ekDefaultValue = 5,       // root\key path; the key's default value
  ekEncodedValueInData = 6  // root\key path; the value named by ROT13 of Data
};

// What the item a row names looked like when the scan reported it, so that the repair
// deletes it only while it is still that item.
struct ItemStamp {
  enum class Kind : uint8_t {
    None,   // not taken: the repair has nothing to compare
    Value,  // a value: its type, size and a hash of its data
    Key,    // a key: its last-write time
  };
  Kind kind = Kind::None;
  uint32_t type = 0;
  uint64_t size = 0;
  uint64_t hash = 0;
  uint64_t lastWrite = 0;

  bool operator==(const ItemStamp&) const = default;
};

struct Issue {
  std::string problem;  // row caption
  std::string data;     // first sub-item
  std::string key;      // second sub-item: Registry key
  EntryKind kind = ekKey;
  bool checked = false;
  ItemStamp stamp;      // not shown; taken by the scan
  // The registry view the Registry key column names its key in: Native for a scan of
  // both views, whose rows name keys as the 64-bit registry editor shows them.
  platform::View view = platform::View::Process;

  // What the list shows and the key it means; the stamp is no part of a row's identity.
  bool operator==(const Issue& other) const {
    return problem == other.problem && data == other.data && key == other.key &&
           kind == other.kind && checked == other.checked && view == other.view;
  }
};

}  // namespace tallowin
