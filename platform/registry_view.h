#pragma once
// Where the 64-bit registry view shows the keys that the 32-bit view redirects: below a
// "Wow6432Node" key of HKLM\Software, of the classes keys and of HKEY_CLASSES_ROOT.

#include <optional>
#include <string>
#include <string_view>

#include "platform/registry.h"

namespace tallowin::platform {

inline constexpr std::string_view kRedirectionNode = "Wow6432Node";

// The path as the 32-bit view names the key: the redirection node taken out
// (HKLM Software\Wow6432Node\X is Software\X; HKCR Wow6432Node\CLSID is CLSID). A path
// without one is returned as it is. Only a node where the registry puts one counts.
std::string WithoutRedirectionNode(Root root, std::string_view path);
inline bool IsBelowRedirectionNode(Root root, std::string_view path) {
  return WithoutRedirectionNode(root, path).size() != path.size();
}

// The 64-bit view's path of the 32-bit view's copy of a redirected key: HKLM Software\X
// is Software\Wow6432Node\X, Software\Classes\X is Software\Classes\Wow6432Node\X (also
// for the user's classes), HKCR X is Wow6432Node\X. nullopt for a key the 32-bit view
// does not redirect, or a path that already names the node.
std::optional<std::string> RedirectedPath(Root root, std::string_view path);

// "\REGISTRY\MACHINE\..." and the like, compared as the registry compares names.
bool SameKeyName(std::string_view a, std::string_view b);

}  // namespace tallowin::platform
