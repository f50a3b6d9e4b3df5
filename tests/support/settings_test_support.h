#pragma once
// Fakes for the settings tests: a main window that logs what the load applies, and an
// INI wrapper that records reads and writes and can fail one write.

#include <string>
#include <vector>

#include "core/settings.h"

namespace tallowin::settings_test {

class FakeWindow : public TWindowPlacement {
 public:
  int left = 0, top = 0, width = 800, height = 600;
  int screenWidth = 1025, screenHeight = 769;
  int showState = 1;
  bool placementWorks = true;
  std::vector<std::string> log;

  int Left() override { return left; }
  int Top() override { return top; }
  int Width() override { return width; }
  int Height() override { return height; }
  void SetLeft(int v) override { left = v; log.push_back("left=" + std::to_string(v)); }
  void SetTop(int v) override { top = v; log.push_back("top=" + std::to_string(v)); }
  void SetWidth(int v) override { width = v; log.push_back("width=" + std::to_string(v)); }
  void SetHeight(int v) override { height = v; log.push_back("height=" + std::to_string(v)); }
  int ScreenWidth() override { return screenWidth; }
  int ScreenHeight() override { return screenHeight; }
  bool ShowState(int& showCmd) override {
    if (placementWorks) showCmd = showState;
    return placementWorks;
  }
};

class RecordingIni : public platform::IniFile {
 public:
  explicit RecordingIni(platform::IniFile& inner) : inner_(inner) {}
  std::vector<std::string> reads;   // "Section/Key"
  std::vector<std::string> writes;  // "Section/Key", including the one that failed
  size_t failAtWrite = 0;           // 1-based; 0: never

  std::string Read(std::string_view section, std::string_view key, std::string_view fallback) override {
    reads.push_back(std::string(section) + "/" + std::string(key));
    return inner_.Read(section, key, fallback);
  }
  bool Write(std::string_view section, std::string_view key, std::string_view value) override {
    writes.push_back(std::string(section) + "/" + std::string(key));
    if (writes.size() == failAtWrite) return false;
    return inner_.Write(section, key, value);
  }
  bool WasRead(const std::string& key) const { return Has(reads, key); }
  bool WasWritten(const std::string& key) const { return Has(writes, key); }

 private:
  static bool Has(const std::vector<std::string>& list, const std::string& key) {
    for (const auto& entry : list)
      if (entry.size() > key.size() && entry.compare(entry.size() - key.size(), key.size(), key) == 0 &&
          entry[entry.size() - key.size() - 1] == '/')
        return true;
    return false;
  }
  platform::IniFile& inner_;
};

}  // namespace tallowin::settings_test
