#include "core/settings.h"

namespace tallowin {

TOptionsSetting OptionsSetting;

namespace {

constexpr const char* kSettings = "Settings";
constexpr const char* kIgnoreKey = "IgnoreKey";

// A corrupt Count of millions would stall the start and bloat the file at the next save;
// no real ignore list comes near this.
constexpr int32_t kMaxIgnoreKeys = 4096;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

class SettingsFile {
 public:
  SettingsFile(platform::IniFile& ini, const std::string& path, const Wording& words)
      : ini_(ini), path_(path), words_(words) {}

  std::string ReadString(const char* section, const std::string& key, const std::string& fallback) {
    return ini_.Read(section, key, fallback);
  }
  int32_t ReadInteger(const char* section, const std::string& key, int32_t fallback) {
    return ParseSettingsInteger(ini_.Read(section, key, ""), fallback);
  }
  bool ReadBool(const char* section, const std::string& key, bool fallback) {
    return ReadInteger(section, key, fallback ? 1 : 0) != 0;
  }

  // Each write returns false after the first failure, which it records.
  bool WriteString(const char* section, const std::string& key, const std::string& value) {
    if (!ini_.Write(section, key, value)) {
      error_ = words_.Say(Phrase::SettingsNotWritten, {path_});
      return false;
    }
    return true;
  }
  bool WriteInteger(const char* section, const std::string& key, int32_t value) {
    return WriteString(section, key, std::to_string(value));
  }
  bool WriteBool(const char* section, const std::string& key, bool value) {
    return WriteString(section, key, value ? "1" : "0");
  }
  const std::string& error() const { return error_; }

 private:
  platform::IniFile& ini_;
  const std::string& path_;
  const Wording& words_;
  std::string error_;
};

void LoadFile(SettingsFile& file, const std::string& executableDirectory, TWindowPlacement& window) {
  TOptionsSetting& o = OptionsSetting;
  std::string folder = executableDirectory;
  if (!folder.empty() && folder.back() != '\\') folder += '\\';
  o.OutputDirectoryInFile = file.ReadString(kSettings, "OutputDirectory", folder + "Backup");
  o.OutputDirectory = ResolveOutputDirectory(o.OutputDirectoryInFile, folder);
  o.IgnoreRemoveDrives = file.ReadBool(kSettings, "Ignore Remove Drives", true);
  for (int i = TScanSections::kFirst; i <= TScanSections::kLast; ++i)
    o.ScanSections[i] = file.ReadBool(kSettings, std::to_string(i), false);
  o.IgnoreKeyCount = file.ReadInteger(kIgnoreKey, "Count", 0);
  if (o.IgnoreKeyCount > kMaxIgnoreKeys) o.IgnoreKeyCount = kMaxIgnoreKeys;
  for (int32_t k = 1; k <= o.IgnoreKeyCount; ++k)
    o.IgnoreKeys.push_back(file.ReadString(kIgnoreKey, "Key" + std::to_string(k), ""));
  if (file.ReadInteger(kSettings, "State", 1) == 3) {
    o.WindowState = TWindowState::wsMaximized;
  } else {
    // Each default uses the window's values at that moment.
    window.SetLeft(file.ReadInteger(kSettings, "Left", (window.ScreenWidth() - window.Width()) / 2));
    window.SetTop(file.ReadInteger(kSettings, "Top", (window.ScreenHeight() - window.Height()) / 2));
    window.SetWidth(file.ReadInteger(kSettings, "Width", window.Width()));
    window.SetHeight(file.ReadInteger(kSettings, "Height", window.Height()));
  }
  o.CreateRP = file.ReadBool(kSettings, "CreateRP", false);
  o.LastClean = file.ReadString(kSettings, "Last Clean", "");
  o.Check64Bit = file.ReadBool(kSettings, "Check64Bit", true);
  o.Language = file.ReadString(kSettings, "Language", "");
}

bool SaveFile(SettingsFile& file, const std::string& executableDirectory, TWindowPlacement& window) {
  const TOptionsSetting& o = OptionsSetting;
  const bool unchanged =
      o.OutputDirectory == ResolveOutputDirectory(o.OutputDirectoryInFile, executableDirectory);
  if (!file.WriteString(kSettings, "OutputDirectory",
                        unchanged ? o.OutputDirectoryInFile : o.OutputDirectory))
    return false;
  if (!file.WriteBool(kSettings, "Ignore Remove Drives", o.IgnoreRemoveDrives)) return false;
  for (int i = TScanSections::kFirst; i <= TScanSections::kLast; ++i)
    if (!file.WriteBool(kSettings, std::to_string(i), o.ScanSections[i])) return false;
  if (!file.WriteInteger(kIgnoreKey, "Count", o.IgnoreKeyCount)) return false;
  for (int32_t k = 1; k <= o.IgnoreKeyCount; ++k) {
    const auto index = static_cast<size_t>(k - 1);
    const std::string entry = index < o.IgnoreKeys.size() ? o.IgnoreKeys[index] : std::string();
    if (!file.WriteString(kIgnoreKey, "Key" + std::to_string(k), entry)) return false;
  }
  int showCmd = 0;
  if (window.ShowState(showCmd) && !file.WriteInteger(kSettings, "State", showCmd)) return false;
  if (!file.WriteInteger(kSettings, "Left", window.Left())) return false;
  if (!file.WriteInteger(kSettings, "Top", window.Top())) return false;
  if (!file.WriteInteger(kSettings, "Width", window.Width())) return false;
  if (!file.WriteInteger(kSettings, "Height", window.Height())) return false;
  if (!file.WriteBool(kSettings, "CreateRP", o.CreateRP)) return false;
  if (!file.WriteString(kSettings, "Last Clean", o.LastClean)) return false;
  if (!file.WriteBool(kSettings, "Check64Bit", o.Check64Bit)) return false;
  return file.WriteString(kSettings, "Language", o.Language);
}

// No window: sets are dropped, the show state is unknown.
class NoWindow : public TWindowPlacement {
 public:
  int Left() override { return 0; }
  int Top() override { return 0; }
  int Width() override { return 0; }
  int Height() override { return 0; }
  void SetLeft(int) override {}
  void SetTop(int) override {}
  void SetWidth(int) override {}
  void SetHeight(int) override {}
  int ScreenWidth() override { return 0; }
  int ScreenHeight() override { return 0; }
  bool ShowState(int&) override { return false; }
};

// Passes everything through except the GUI's window keys, which a console save must not
// overwrite with the values of a window that does not exist.
class WithoutWindowKeys : public platform::IniFile {
 public:
  explicit WithoutWindowKeys(platform::IniFile& inner) : inner_(inner) {}
  std::string Read(std::string_view section, std::string_view key, std::string_view fallback) override {
    return inner_.Read(section, key, fallback);
  }
  bool Write(std::string_view section, std::string_view key, std::string_view value) override {
    if (section == kSettings &&
        (key == "State" || key == "Left" || key == "Top" || key == "Width" || key == "Height"))
      return true;
    return inner_.Write(section, key, value);
  }

 private:
  platform::IniFile& inner_;
};

}  // namespace

int32_t ParseSettingsInteger(const std::string& text, int32_t fallback) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    uint64_t value = 0;
    for (size_t i = 2; i < text.size(); ++i) {
      const int d = HexDigit(text[i]);
      if (d < 0) return fallback;
      value = value * 16 + static_cast<uint64_t>(d);
      if (value > 0xFFFFFFFFu) return fallback;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(value));  // 0xFFFFFFFF is -1
  }
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) return fallback;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return fallback;
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return fallback;
  }
  if (negative) value = -value;
  if (value > 2147483647LL) return fallback;
  return static_cast<int32_t>(value);
}

std::string ResolveOutputDirectory(const std::string& stored, const std::string& executableDirectory) {
  const auto separator = [](char c) { return c == '\\' || c == '/'; };
  const auto below = [&](std::string folder, std::string_view rest) {
    while (rest.size() >= 2 && rest[0] == '.' && separator(rest[1])) rest.remove_prefix(2);
    if (!folder.empty() && folder.back() != '\\') folder += '\\';
    return folder + std::string(rest);
  };
  const bool exeOnDrive = executableDirectory.size() >= 2 && executableDirectory[1] == ':';
  if (stored.empty()) return stored;
  if (stored.size() >= 2 && stored[1] == ':') {
    if (stored.size() >= 3 && separator(stored[2])) return stored;
    // Drive-relative ("D:relbk"): from the program's folder on its own drive, else from
    // the drive's root; never from whatever folder the run started in.
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    const bool sameDrive = exeOnDrive && upper(stored[0]) == upper(executableDirectory[0]);
    return below(sameDrive ? executableDirectory : stored.substr(0, 2) + "\\", std::string_view(stored).substr(2));
  }
  if (separator(stored[0])) {
    if (stored.size() >= 2 && separator(stored[1])) return stored;  // UNC
    return exeOnDrive ? executableDirectory.substr(0, 2) + stored : stored;
  }
  return below(executableDirectory, stored);
}

std::string StoredLanguage(platform::IniFile& ini) { return ini.Read(kSettings, "Language", ""); }

std::string SettingsPath(const std::string& executableDirectory) {
  std::string path = executableDirectory;
  if (!path.empty() && path.back() != '\\') path += '\\';
  return path + "Settings.dat";
}

std::string LoadOrSaveSettings(bool Load, platform::IniFile& ini, const std::string& settingsPath,
                               const std::string& executableDirectory, TWindowPlacement& window,
                               const Wording& words) {
  SettingsFile file(ini, settingsPath, words);
  if (Load) {
    LoadFile(file, executableDirectory, window);
    return {};
  }
  SaveFile(file, executableDirectory, window);
  return file.error();
}

void LoadSettingsForConsole(platform::IniFile& ini, const std::string& settingsPath,
                            const std::string& exeDir) {
  NoWindow window;
  LoadOrSaveSettings(true, ini, settingsPath, exeDir, window);
}

std::string SaveSettingsForConsole(platform::IniFile& ini, const std::string& settingsPath,
                                   const std::string& exeDir, const Wording& words) {
  NoWindow window;
  WithoutWindowKeys filtered(ini);
  return LoadOrSaveSettings(false, filtered, settingsPath, exeDir, window, words);
}

}  // namespace tallowin
