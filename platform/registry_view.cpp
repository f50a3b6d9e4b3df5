#include "platform/registry_view.h"

#include <vector>

#include "platform/text.h"

namespace tallowin::platform {

namespace {

std::vector<std::string_view> Components(std::string_view path) {
  std::vector<std::string_view> parts;
  while (!path.empty()) {
    const size_t slash = path.find('\\');
    parts.push_back(path.substr(0, slash));
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return parts;
}

// How many leading components of `parts` stand above the redirection node, or 0 when
// the registry puts none there (the node is never the first component below HKLM or
// HKCU, and HKCR puts it at index 0, which the caller tells by the root).
size_t NodeIndex(Root root, const std::vector<std::string_view>& parts) {
  const auto is = [&](size_t i, std::string_view name) {
    return i < parts.size() && EqualsNoCase(parts[i], name);
  };
  switch (root) {
    case Root::ClassesRoot:
      return 0;
    case Root::LocalMachine:
      if (!is(0, "Software")) return std::string::npos;
      return is(1, "Classes") ? 2 : 1;
    case Root::CurrentUser:
      return is(0, "Software") && is(1, "Classes") ? 2 : std::string::npos;
    case Root::Users:
      // A user's classes: S-1-5-21-...\Software\Classes and S-1-5-21-..._Classes.
      if (is(1, "Software") && is(2, "Classes")) return 3;
      if (!parts.empty() && parts[0].size() > 8 &&
          EqualsNoCase(parts[0].substr(parts[0].size() - 8), "_Classes"))
        return 1;
      return std::string::npos;
    case Root::CurrentConfig:
      return std::string::npos;
  }
  return std::string::npos;
}

std::string Join(const std::vector<std::string_view>& parts, size_t skip) {
  std::string path;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i == skip) continue;
    if (!path.empty()) path += '\\';
    path += parts[i];
  }
  return path;
}

}  // namespace

std::string WithoutRedirectionNode(Root root, std::string_view path) {
  const std::vector<std::string_view> parts = Components(path);
  const size_t at = NodeIndex(root, parts);
  if (at >= parts.size() || !EqualsNoCase(parts[at], kRedirectionNode)) return std::string(path);
  return Join(parts, at);
}

std::optional<std::string> RedirectedPath(Root root, std::string_view path) {
  std::vector<std::string_view> parts = Components(path);
  const size_t at = NodeIndex(root, parts);
  if (at == std::string::npos || at > parts.size()) return std::nullopt;
  if (at < parts.size() && EqualsNoCase(parts[at], kRedirectionNode)) return std::nullopt;
  parts.insert(parts.begin() + static_cast<std::ptrdiff_t>(at), kRedirectionNode);
  return Join(parts, std::string::npos);
}

bool SameKeyName(std::string_view a, std::string_view b) { return EqualsNoCase(a, b); }

}  // namespace tallowin::platform
