#pragma once
// One finding of the scan: what the list shows and what the repair deletes.

#include <string>

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

struct Issue {
  std::string problem;  // row caption
  std::string data;     // first sub-item
  std::string key;      // second sub-item: Registry key
  EntryKind kind = ekKey;
  bool checked = false;

  bool operator==(const Issue&) const = default;
};

}  // namespace tallowin
