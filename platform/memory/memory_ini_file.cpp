#include "platform/memory/memory_platform.h"
#include "platform/text.h"

namespace tallowin::platform::memory {

namespace {

constexpr size_t kMaxValue = 2047;  // GetPrivateProfileString into a 2048-character buffer

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(std::move(line));
    start = end + 1;
  }
  return lines;
}

// "[name]" -> name; nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const size_t close = line.find(']');
  return Trim(line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// "key=value" -> key; nullopt for blank lines, comments and lines without "=".
std::optional<std::string_view> KeyName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() == ';') return std::nullopt;
  const size_t eq = line.find('=');
  if (eq == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(0, eq));
}

// Index range [first, last) of the body of the first section of that name.
bool FindSection(const std::vector<std::string>& lines, std::string_view section, size_t& first,
                 size_t& last) {
  for (size_t i = 0; i < lines.size(); ++i) {
    const auto name = SectionName(lines[i]);
    if (!name || !EqualsNoCase(*name, section)) continue;
    first = i + 1;
    last = first;
    while (last < lines.size() && !SectionName(lines[last])) ++last;
    return true;
  }
  return false;
}

}  // namespace

MemoryIniFile::MemoryIniFile(MemoryFileSystem& files, std::string path)
    : files_(files), path_(std::move(path)) {}

std::string MemoryIniFile::Read(std::string_view section, std::string_view key,
                                std::string_view defaultValue) {
  std::string contents;
  if (files_.ReadFile(path_, contents)) {
    const auto lines = SplitLines(contents);
    size_t first = 0, last = 0;
    if (FindSection(lines, section, first, last)) {
      for (size_t i = first; i < last; ++i) {
        const auto name = KeyName(lines[i]);
        if (!name || !EqualsNoCase(*name, key)) continue;
        std::string_view value = Trim(std::string_view(lines[i]).substr(lines[i].find('=') + 1));
        // A value in matching quotes loses them, as GetPrivateProfileString does.
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front())
          value = value.substr(1, value.size() - 2);
        return std::string(value.substr(0, kMaxValue));
      }
    }
  }
  std::string_view fallback = defaultValue;
  while (!fallback.empty() && IsBlank(fallback.back())) fallback.remove_suffix(1);
  return std::string(fallback.substr(0, kMaxValue));
}

bool MemoryIniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
  std::string contents;
  if (!files_.ReadFile(path_, contents)) contents.clear();
  auto lines = SplitLines(contents);
  size_t first = 0, last = 0;
  if (!FindSection(lines, section, first, last)) {
    lines.push_back("[" + std::string(section) + "]");
    lines.push_back(std::string(key) + "=" + std::string(value));
  } else {
    bool replaced = false;
    size_t insertAt = first;
    for (size_t i = first; i < last; ++i) {
      if (!Trim(lines[i]).empty()) insertAt = i + 1;
      const auto name = KeyName(lines[i]);
      if (name && EqualsNoCase(*name, key)) {
        lines[i] = std::string(*name) + "=" + std::string(value);
        replaced = true;
        break;
      }
    }
    if (!replaced)
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                   std::string(key) + "=" + std::string(value));
  }
  std::string text;
  for (const auto& line : lines) text += line + "\r\n";
  return files_.WriteWholeFile(path_, text);
}

}  // namespace tallowin::platform::memory
