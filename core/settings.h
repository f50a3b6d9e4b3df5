#pragma once
// The settings record and its INI file, Settings.dat beside the executable.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wording.h"
#include "platform/ini_file.h"

namespace tallowin {

enum class TWindowState : uint8_t { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// The custom scan choice, indexed by category code 1..17.
struct TScanSections {
  static constexpr int kFirst = 1;
  static constexpr int kLast = 17;
  bool& operator[](int code) { return items[static_cast<size_t>(code - kFirst)]; }
  bool operator[](int code) const { return items[static_cast<size_t>(code - kFirst)]; }
  std::array<bool, kLast - kFirst + 1> items{};
};

struct TOptionsSetting {
  // Always a full path: a relative one in the file is a folder beside the program.
  std::string OutputDirectory;
  // "OutputDirectory" as the file holds it, written back as it was while it still names
  // the same folder (a relative one keeps following the program's folder).
  std::string OutputDirectoryInFile;
  bool IgnoreRemoveDrives = false;
  TScanSections ScanSections;
  int32_t IgnoreKeyCount = 0;
  // Kept in step with IgnoreKeyCount by every writer. Loading appends; only the owner
  // (the main window) clears it, after the save at close.
  std::vector<std::string> IgnoreKeys;
  TWindowState WindowState = TWindowState::wsNormal;
  bool CreateRP = false;
  std::string LastClean;
  // "Check 64-bit programs and registry": on 64-bit Windows, scan both registry views
  // and judge references into System32 and the program folders on both sides. Missing
  // from the file means on; it changes nothing on 32-bit Windows.
  bool Check64Bit = false;
  // The windows' language: "" follows Windows' display language, "en" or "de" is the
  // user's choice in Options. Missing from the file means "".
  std::string Language;
};

extern TOptionsSetting OptionsSetting;

// The main window as the settings see it; the GUI implements it over its window,
// tests with a fake. Left, Top, Width and Height are the window's normal (restored)
// rectangle in screen pixels, also while it is minimized or maximized.
class TWindowPlacement {
 public:
  virtual ~TWindowPlacement() = default;
  virtual int Left() = 0;
  virtual int Top() = 0;
  virtual int Width() = 0;
  virtual int Height() = 0;
  virtual void SetLeft(int value) = 0;
  virtual void SetTop(int value) = 0;
  virtual void SetWidth(int value) = 0;
  virtual void SetHeight(int value) = 0;
  virtual int ScreenWidth() = 0;   // primary display, pixels
  virtual int ScreenHeight() = 0;
  // GetWindowPlacement: false when it fails, else the show state (1 normal,
  // 2 minimized, 3 maximized).
  virtual bool ShowState(int& showCmd) = 0;
};

// The stored language choice alone: the windows need it before the settings are loaded.
std::string StoredLanguage(platform::IniFile& ini);

// "Settings.dat" in the executable's directory.
std::string SettingsPath(const std::string& executableDirectory);

// Loads the file into OptionsSetting and applies the stored placement to `window`
// (Load = true), or writes OptionsSetting and the window's placement (Load = false).
// Returns "" on success or the error text ("Unable to write to <settingsPath>", in
// `words`); a failed write ends the save at that key.
std::string LoadOrSaveSettings(bool Load, platform::IniFile& ini, const std::string& settingsPath,
                               const std::string& executableDirectory, TWindowPlacement& window,
                               const Wording& words = English());

// The command line has no window: these load and save OptionsSetting and leave the
// stored window keys (State, Left, Top, Width, Height) of the GUI as they are.
void LoadSettingsForConsole(platform::IniFile& ini, const std::string& settingsPath,
                            const std::string& exeDir);
std::string SaveSettingsForConsole(platform::IniFile& ini, const std::string& settingsPath,
                                   const std::string& exeDir, const Wording& words = English());

// A backup folder given relative to the program's folder (as a portable copy's
// Settings.dat may hold it) made a full path: "relbk" and ".\relbk" are the folder relbk
// beside the program, "\relbk" is on the program's drive, a drive-relative "C:relbk" is
// beside the program when it is on C:, else "C:\relbk" (never taken from the folder the
// run starts in). Full paths (C:\.., \\server\..) and "" stay as they are.
std::string ResolveOutputDirectory(const std::string& stored, const std::string& executableDirectory);

// Integer reading of the settings file: decimal, or hexadecimal after "0x"/"0X" when the
// text is longer than two characters; anything else (or out of 32-bit range) is `fallback`.
int32_t ParseSettingsInteger(const std::string& text, int32_t fallback);

}  // namespace tallowin
