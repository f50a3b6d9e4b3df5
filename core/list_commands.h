#pragma once
// What the issue list's menu commands do with a row, without a window: the text export,
// the path added to the ignore list, and the key and keystrokes that take the system
// registry editor to a finding.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings.h"
#include "platform/registry.h"
#include "platform/text.h"
#include "repair/issue_list.h"

namespace tallowin {

// ---- Save as Text ---------------------------------------------------------------------

inline constexpr const char* kColumnSeparator = "  ^^^  ";
inline constexpr const char* kSaveAsTitle = "Save as Text";
inline constexpr const char* kSaveAsFilterName = "Text files (*.txt)";
inline constexpr const char* kSaveAsFilterPattern = "*.txt";

// Problem  ^^^  Data  ^^^  Registry key
// `problem` gives the Problem column as the list shows it (null: the row's own caption).
using ProblemColumn = std::string (*)(const Issue& issue);
std::string SaveAsTextLine(const Issue& issue, ProblemColumn problem = nullptr);
// The chosen name with ".txt" appended unless its extension is exactly ".txt".
std::string SaveAsTextFileName(std::string_view chosen);
// "<name> has existed,overite it?"
std::string OverwriteQuestion(std::string_view fileName);
// The file's bytes: one line per row in list order, each ended by CR LF, in the ANSI
// code page; when some row holds a character the code page lacks, all of it in UTF-8
// after a byte-order mark.
std::string SaveAsTextContent(const IssueList& list, const AnsiCodePage& ansi,
                              ProblemColumn problem = nullptr);

// ---- Add to Exclude List --------------------------------------------------------------

struct ExcludePath {
  enum class Kind {
    None,        // the Registry key column has no backslash: the row stays
    RemoveOnly,  // a file row: nothing to exclude, the row leaves the list
    Key,         // exclude `path`
  };
  Kind kind = Kind::None;
  std::string path;
};
ExcludePath ExcludePathOf(const Issue& issue);

// Whether some entry of the ignore list (all of it, whatever the count) names the key
// `path` names, under any of its spellings, as the filter compares them.
bool IsIgnoredKey(const std::vector<std::string>& ignoreKeys, std::string_view path,
                  const FilterContext& context = {});

// An entry as typed, without the doubled and trailing backslashes that would make it
// cover no key.
std::string TidyExcludeEntry(std::string_view entry);

enum class ExcludeResult {
  NoSelection,
  Unchanged,    // the row names nothing to exclude
  Added,        // the key joined the list; the rows it covers left
  Covered,      // the key was on the list already; the rows it covers left
  RemovedOnly,  // a file row: it left, nothing was added
};
// AddtoExcludeLists1Click over the model: the selected row's key joins the ignore list
// unless it is there already, and every row the entry covers leaves the list.
ExcludeResult AddToExcludeList(IssueList& list, TOptionsSetting& options,
                               const FilterContext& context);

// ---- RegEdit --------------------------------------------------------------------------

inline constexpr const char* kCheckKeyMessage =
    "Please check whether the registry key or value exist.";

// The path the RegEdit command opens for a row ("" for a file row).
std::string RegeditPathOf(const Issue& issue);

struct RegeditTarget {
  enum class Kind {
    Message,   // show kCheckKeyMessage
    Nothing,   // no backslash: nothing happens
    Navigate,  // open the editor at rootName\keyPath and select valueName (if any)
  };
  Kind kind = Kind::Nothing;
  std::string rootName;
  std::string keyPath;
  std::string valueName;
};
// OpenRegeditAt without the editor: which key (and value) a path names in `registry`.
// The short roots HKLM, HKCU, HKU, HKCR, HKCC are accepted in any case; a long root name
// only as written by the system.
RegeditTarget ResolveRegeditTarget(platform::Registry& registry, std::string_view path);

// root + key path, with a backslash between them unless the key path begins with one.
std::string RegeditFullPath(std::string_view rootName, std::string_view keyPath);

struct Keystroke {
  enum class Kind {
    KeyDown,         // WM_KEYDOWN with the virtual key `code`
    Char,            // WM_CHAR with the UTF-16 unit `code`
    Pause,           // a short wait for the editor to catch up
    TypeAheadPause,  // long enough for the next characters to start a new search
  };
  Kind kind = Kind::Pause;
  uint16_t code = 0;
  bool operator==(const Keystroke&) const = default;
};
inline constexpr uint16_t kVkLeft = 0x25;
inline constexpr uint16_t kVkRight = 0x27;
inline constexpr uint16_t kVkDown = 0x28;

// For the key tree: collapse to the top, expand it, then the path as typed, every
// backslash expanding the key found so far.
std::vector<Keystroke> TreeKeystrokes(std::string_view fullPath);
// For the value list: one step down, then the value name as typed ("" = none).
std::vector<Keystroke> ValueKeystrokes(std::string_view valueName);

}  // namespace tallowin
