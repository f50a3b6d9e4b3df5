#include "scan/issue_target.h"

#include <memory>
#include <optional>

#include "platform/reg_global.h"
#include "platform/text.h"

namespace tallowin {

IssueTarget ResolveIssueTarget(const Issue& issue) {
  IssueTarget target;
  target.view = issue.view;
  if (issue.kind == ekFile) {
    target.kind = IssueTarget::Kind::File;
    target.file = issue.key;
    return target;
  }
  const std::string& column = issue.key;
  const size_t slash = column.find('\\');
  if (slash == std::string::npos) return target;
  target.rootName = column.substr(0, slash);
  const std::optional<platform::Root> root = platform::RootFromName(target.rootName);
  if (!root) return target;
  target.root = *root;
  std::string rest = column.substr(slash + 1);

  switch (issue.kind) {
    case ekKey:
      target.kind = IssueTarget::Kind::Key;
      target.path = rest;
      break;
    case ekValueInKeyPath: {
      target.kind = IssueTarget::Kind::Value;
      const size_t last = rest.rfind('\\');
      if (last == std::string::npos) {
        target.valueName = rest;
      } else {
        target.path = rest.substr(0, last);
        target.valueName = rest.substr(last + 1);
      }
      break;
    }
    case ekValueInData:
      target.kind = IssueTarget::Kind::Value;
      target.path = rest;
      target.valueName = issue.data;
      break;
    case ekSubKeyInData:
      // Without a name the path would fall back to the parent key itself.
      if (issue.data.empty()) return target;
      target.kind = IssueTarget::Kind::Key;
      target.path = rest + "\\" + issue.data;
      break;
    case ekDefaultValue:
      target.kind = IssueTarget::Kind::Value;
      target.path = rest;
      break;
    case ekEncodedValueInData:
      target.kind = IssueTarget::Kind::Value;
      target.path = rest;
      target.valueName = Rot13(issue.data);
      break;
    case ekFile:
      break;
  }
  if (!target.path.empty() && target.path.back() == '\\') target.path.pop_back();
  return target;
}

uint64_t ValueDigest(uint32_t type, std::string_view data) {
  const char typeBytes[4] = {static_cast<char>(type), static_cast<char>(type >> 8),
                             static_cast<char>(type >> 16), static_cast<char>(type >> 24)};
  return Fnv1a(data, Fnv1a(std::string_view(typeBytes, sizeof typeBytes)));
}

ItemStamp StampOfValue(const platform::RegValue& value) {
  return {ItemStamp::Kind::Value, ValueDigest(value.type, value.data)};
}

ItemStamp TakeStamp(platform::Registry& registry, const IssueTarget& target) {
  if (target.kind != IssueTarget::Kind::Key && target.kind != IssueTarget::Kind::Value) return {};
  std::unique_ptr<platform::RegistryKey> key;
  if (registry.InView(target.view).Open(target.root, target.path, platform::Access::Read, key) !=
      platform::kSuccess)
    return {};
  if (target.kind == IssueTarget::Kind::Value) {
    platform::RegValue value;
    if (key->QueryValue(target.valueName, value) != platform::kSuccess) return {};
    return StampOfValue(value);
  }
  uint64_t lastWrite = 0;
  if (key->LastWriteTime(lastWrite) != platform::kSuccess) return {};
  return {ItemStamp::Kind::Key, lastWrite};
}

}  // namespace tallowin
