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

// The rule of the scan that made a row, which tells how to explain it. Several rules may
// share a caption ("ActiveX Issue" is a type library's missing file, a ProgID without its
// class and a class without its AppID); code that tells rows apart by what made them asks
// this, never the caption, which is text for the user.
enum class FindingRule : uint8_t {
  None,                  // not made by a scan
  PathReference,         // a string value of a hive names a missing file or folder
  SoftwareLocation,      // an App Paths value names a missing file or folder
  StartMenuOrder,        // a menu order entry names a Programs folder that is gone
  ObsoleteSoftware,      // an empty key right below Software
  EmptyKey,              // an empty key of an uninstall entry or of a user's hive
  UselessExtension,      // a file extension key that tells nothing
  UninstallCommand,      // an uninstall entry without an uninstall command
  SharedDll,             // a shared DLL's count is 0 or its file is missing
  Font,                  // a font's file is missing
  HelpFile,              // a help file is missing
  DialogHistory,         // the file dialog's history names a path without its extension
  HistoryReference,      // a file dialog's per-extension history names a missing file
  UsageCounter,          // a usage counter names a program that never ran or is gone
  RunValue,              // a Run or RunOnce value's command line
  StartupEntry,          // the command of a startup entry of the system configuration tool
  ServiceImage,          // a service's image path
  CustomControl,         // a class default value naming a missing control
  InterfaceTypeLibrary,  // an interface naming an unregistered type library
  Shortcut,              // a shortcut whose target is missing
  SoundEvent,            // a sound event's missing sound file
  TypeLibraryFile,       // a type library's missing DLL
  ProgIdClass,           // a ProgID naming an unregistered class
  ClassAppId,            // a class naming an unregistered AppID
  InstallerReference,    // a value of an uninstall entry names a missing program
  InstallerFolder,       // the installer's folder list names a missing folder
  ProgramsListCache,     // a cached Add/Remove Programs entry without its program
  OpenWithCommand,       // an open-with application's missing command
};

// The caption the list shows for a row of `rule`; "" for None.
const char* ProblemCaption(FindingRule rule);

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
  FindingRule rule = FindingRule::None;  // not shown; set by the scan
  ItemStamp stamp;      // not shown; taken by the scan

  // What the list shows and the key it means; the stamp is no part of a row's identity.
  bool operator==(const Issue& other) const {
    return problem == other.problem && data == other.data && key == other.key &&
           kind == other.kind && checked == other.checked && view == other.view;
  }
};

}  // namespace tallowin
