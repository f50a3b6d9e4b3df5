#pragma once
// One finding of the scan: what the list shows and what the repair deletes.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/view.h"

namespace tallowin {

enum EntryKind : uint8_t {
  ekKey = 0,                // Registry key column: root\key path; the key with its sub-keys
  ekValueInKeyPath = 1,     // root\key path\value name
  ekValueInData = 2,        // root\key path; the value named by Data
  ekSubKeyInData = 3,       // root\key path; the sub-key named by Data
  ekFile = 4,               // a file path; the file itself
  ekDefaultValue = 5,       // root\key path; the key's default value
  ekEncodedValueInData = 6  // root\key path; the value named by ROT13 of Data
};

// What the item a row names looked like when the scan reported it, so that the repair
// deletes it only while it is still that item. A scan may hold hundreds of thousands of
// rows, so the stamp is one number.
struct ItemStamp {
  enum class Kind : uint8_t {
    None,   // not taken: the repair has nothing to compare
    Value,  // a value: `digest` is a fingerprint of its type and data (ValueDigest)
    Key,    // a key: `digest` is its last-write time
  };
  Kind kind = Kind::None;
  uint64_t digest = 0;

  bool operator==(const ItemStamp&) const = default;
};

// A row's caption. Rows share a few dozen captions, so each text is held once for the
// whole program and a row keeps a pointer to it.
class ProblemText {
 public:
  ProblemText();
  ProblemText(std::string_view text);  // NOLINT: a caption is written as its text
  ProblemText(const std::string& text) : ProblemText(std::string_view(text)) {}  // NOLINT
  ProblemText(const char* text) : ProblemText(std::string_view(text)) {}         // NOLINT

  const std::string& str() const { return *text_; }
  operator const std::string&() const { return *text_; }  // NOLINT
  const char* c_str() const { return text_->c_str(); }
  bool empty() const { return text_->empty(); }
  size_t size() const { return text_->size(); }

  // Equal texts are one object.
  bool operator==(const ProblemText& other) const { return text_ == other.text_; }
  friend bool operator==(const ProblemText& a, std::string_view b) { return *a.text_ == b; }
  friend bool operator==(const ProblemText& a, const std::string& b) { return *a.text_ == b; }
  friend bool operator==(const ProblemText& a, const char* b) { return *a.text_ == b; }
  friend std::string operator+(const ProblemText& a, std::string_view b) {
    return *a.text_ + std::string(b);
  }

 private:
  const std::string* text_;
};

struct Issue {
  ProblemText problem;  // row caption
  std::string data;     // first sub-item
  std::string key;      // second sub-item: Registry key
  EntryKind kind = ekKey;
  bool checked = false;
  // The registry view the Registry key column names its key in: Native for a scan of
  // both views, whose rows name keys as the 64-bit registry editor shows them.
  platform::View view = platform::View::Process;
  ItemStamp stamp;      // not shown; taken by the scan

  // What the list shows and the key it means; the stamp is no part of a row's identity.
  bool operator==(const Issue& other) const {
    return problem == other.problem && data == other.data && key == other.key &&
           kind == other.kind && checked == other.checked && view == other.view;
  }
};

}  // namespace tallowin
