#pragma once
// What the custom scan and options dialogs decide, without their windows: the rows they
// show and the one step that stores a confirmed choice in the settings record.

#include <array>
#include <string>
#include <vector>

#include "core/settings.h"
#include "platform/file_system.h"

namespace tallowin {

// The custom scan rows: row k (from 1) is category code k.
inline constexpr std::array<const char*, 17> kScanSectionNames = {
    "HKEY_CLASSES_ROOT",  "HKEY_CURRENT_USER",   "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "Start Menu Section", "Obsolete Software",   "File Extensions",    "Add/Remove Programs",
    "Shared DLLs",        "Fonts Section",       "Help File Paths",    "Uninstaller Entry",
    "MRU History Lists",  "Empty Registry Keys", "Software Locations", "Startup Programs",
    "Windows Services"};

// Whether the check marks differ from the stored choice (the Save button's rule).
bool ScanSectionsDiffer(const TScanSections& checks, const TScanSections& stored);

// The options dialog's fields.
struct OptionsChoice {
  std::string outputDirectory;
  bool ignoreRemoveDrives = false;
  bool createRestorePoint = false;
  bool check64Bit = true;
  std::vector<std::string> ignoreKeys;
};

// The dialog's fields as it opens: the first IgnoreKeyCount entries of the list.
OptionsChoice OptionsFromSettings(const TOptionsSetting& settings);
// OK: stores the choice in one step when the backup folder exists, and returns "".
// Otherwise nothing is stored and the result is the message "<folder>,can not find the
// backup folder.". A relative folder is one beside the program (`executableDirectory`).
[[nodiscard]] std::string ApplyOptions(platform::FileSystem& files, const OptionsChoice& choice,
                                       const std::string& executableDirectory, TOptionsSetting& settings);

}  // namespace tallowin
