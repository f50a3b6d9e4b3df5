#include <atomic>
#include <functional>
#include <mutex>

#include "platform/memory/memory_platform.h"
#include "platform/reg_text.h"
#include "platform/registry_view.h"
#include "platform/text.h"

namespace tallowin::platform::memory {

namespace {

constexpr int kMaxLinkHops = 16;

// Last-write times: a clock that only moves forward, so every change gives a new time.
uint64_t Tick() {
  static std::atomic<uint64_t> clock{130000000000000000ull};  // a FILETIME in 2012
  return ++clock;
}

// The upper case of the alphabets tests use (Latin, Greek, Cyrillic), as the registry's
// own table has it.
char16_t Upcase(char16_t c) {
  if (c < 0x80) return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
  if ((c >= 0xE0 && c <= 0xFE && c != 0xF7) || (c >= 0x3B1 && c <= 0x3CB && c != 0x3C2) ||
      (c >= 0x430 && c <= 0x44F))
    return static_cast<char16_t>(c - 0x20);
  if (c >= 0x450 && c <= 0x45F) return static_cast<char16_t>(c - 0x50);
  if (c == 0xFF) return 0x178;
  const bool oddPairs = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177) ||
                        (c >= 0x460 && c <= 0x481) || (c >= 0x48A && c <= 0x4BF);
  if (oddPairs && (c & 1) && c != 0x131) return static_cast<char16_t>(c - 1);
  const bool evenPairs = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if (evenPairs && !(c & 1)) return static_cast<char16_t>(c - 1);
  return c;
}

std::string UpcaseText(std::string_view name) {
  std::u16string text = Utf8ToUtf16(name);
  for (char16_t& unit : text) unit = Upcase(unit);
  return Utf16ToUtf8(text);
}

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const { return CompareNoCase(a, b) < 0; }
};

// Splits a key path; a single trailing backslash is allowed. Empty names make it invalid.
bool SplitPath(std::string_view path, std::vector<std::string>& parts) {
  parts.clear();
  if (path.empty()) return true;
  if (path.back() == '\\') path.remove_suffix(1);
  size_t start = 0;
  while (true) {
    const size_t end = std::min(path.find('\\', start), path.size());
    if (end == start) return false;
    parts.emplace_back(path.substr(start, end - start));
    if (end == path.size()) return true;
    start = end + 1;
  }
}

size_t RootIndex(Root root) { return static_cast<size_t>(root); }

// Each root of the memory machine is a tree of its own, so each gets a name of its own.
const char* RootKeyName(Root root) {
  switch (root) {
    case Root::ClassesRoot: return "\\REGISTRY\\CLASSES_ROOT";
    case Root::CurrentUser: return "\\REGISTRY\\CURRENT_USER";
    case Root::LocalMachine: return "\\REGISTRY\\MACHINE";
    case Root::Users: return "\\REGISTRY\\USER";
    case Root::CurrentConfig: return "\\REGISTRY\\CURRENT_CONFIG";
  }
  return "";
}

}  // namespace

struct MemoryRegistry::Node {
  std::map<std::string, std::shared_ptr<Node>, NoCaseLess> children;  // sorted as Windows enumerates
  std::vector<RegValue> values;                                       // insertion order
  bool denyOpen = false;
  bool denyWrite = false;
  bool deleted = false;
  uint64_t lastWrite = Tick();
  bool isLink = false;  // a symbolic link to linkRoot\linkPath
  Root linkRoot = Root::CurrentUser;
  std::string linkPath;

  std::vector<RegValue>::iterator FindValue(std::string_view name) {
    for (auto it = values.begin(); it != values.end(); ++it)
      if (EqualsNoCase(it->name, name)) return it;
    return values.end();
  }

  void Set(std::string_view name, uint32_t type, std::string_view data) {
    auto it = FindValue(name);
    if (it == values.end()) {
      values.push_back(RegValue{std::string(name), type, std::string(data)});
    } else {
      it->type = type;
      it->data.assign(data);
    }
    lastWrite = Tick();
  }

  void MarkDeleted() {
    deleted = true;
    for (auto& [name, child] : children) child->MarkDeleted();
  }
};

namespace {

using Node = MemoryRegistry::Node;

class MemoryKey : public RegistryKey {
 public:
  // `merged`: the machine's copy of a classes key that the user's copy (`node`) hides;
  // its sub-keys show through the merged view.
  MemoryKey(std::shared_ptr<std::recursive_mutex> mutex, std::shared_ptr<Node> node,
            bool writable, std::string name, std::shared_ptr<Node> merged = nullptr)
      : mutex_(std::move(mutex)), node_(std::move(node)), merged_(std::move(merged)),
        writable_(writable), name_(std::move(name)) {}
  ~MemoryKey() override {
    // The nodes are shared with the tree: release them under the registry's lock.
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    node_.reset();
    merged_.reset();
  }

  long SubKeyNames(std::vector<std::string>& names) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    names.clear();
    if (node_->deleted) return kKeyDeleted;
    if (merged_ && !merged_->deleted) {
      std::map<std::string, bool, NoCaseLess> all;
      for (const auto& [name, child] : node_->children) all.emplace(name, true);
      for (const auto& [name, child] : merged_->children) all.emplace(name, true);
      for (const auto& [name, unused] : all) names.push_back(name);
      return kSuccess;
    }
    for (const auto& [name, child] : node_->children) names.push_back(name);
    return kSuccess;
  }

  long ValueNames(std::vector<std::string>& names) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    names.clear();
    if (node_->deleted) return kKeyDeleted;
    for (const auto& value : node_->values) names.push_back(value.name);
    return kSuccess;
  }

  long Values(std::vector<RegValue>& values) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    values.clear();
    if (node_->deleted) return kKeyDeleted;
    values = node_->values;
    return kSuccess;
  }

  long QueryValue(std::string_view name, RegValue& value) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    if (node_->deleted) return kKeyDeleted;
    const auto it = node_->FindValue(name);
    if (it == node_->values.end()) return kFileNotFound;
    value = *it;
    return kSuccess;
  }

  long QueryInfo(uint32_t& subKeys, uint32_t& values) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    if (node_->deleted) return kKeyDeleted;
    std::vector<std::string> names;
    (void)SubKeyNames(names);
    subKeys = static_cast<uint32_t>(names.size());
    values = static_cast<uint32_t>(node_->values.size());
    return kSuccess;
  }

  long DeleteSubKey(std::string_view name) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    if (node_->deleted) return kKeyDeleted;
    if (!writable_) return kAccessDenied;
    std::vector<std::string> parts;
    if (name.empty() || !SplitPath(name, parts)) return kInvalidParameter;
    Node* parent = node_.get();
    // Through the merged view the user's copy goes first, as on Windows.
    if (merged_ && !merged_->deleted && node_->children.find(parts.front()) == node_->children.end())
      parent = merged_.get();
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
      const auto it = parent->children.find(parts[i]);
      if (it == parent->children.end()) return kFileNotFound;
      if (it->second->denyOpen) return kAccessDenied;
      parent = it->second.get();
    }
    const auto it = parent->children.find(parts.back());
    if (it == parent->children.end()) return kFileNotFound;
    Node& target = *it->second;
    if (target.denyOpen || target.denyWrite || !target.children.empty()) return kAccessDenied;
    target.MarkDeleted();
    parent->children.erase(it);
    parent->lastWrite = Tick();
    return kSuccess;
  }

  long DeleteValue(std::string_view name) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    if (node_->deleted) return kKeyDeleted;
    if (!writable_) return kAccessDenied;
    const auto it = node_->FindValue(name);
    if (it == node_->values.end()) return kFileNotFound;
    node_->values.erase(it);
    node_->lastWrite = Tick();
    return kSuccess;
  }

  long SetValue(std::string_view name, uint32_t type, std::string_view data) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    if (node_->deleted) return kKeyDeleted;
    if (!writable_) return kAccessDenied;
    node_->Set(name, type, data);
    return kSuccess;
  }

  long LastWriteTime(uint64_t& fileTime) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    if (node_->deleted) return kKeyDeleted;
    fileTime = node_->lastWrite;
    return kSuccess;
  }

  long IsLink(bool& link) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    if (node_->deleted) return kKeyDeleted;
    link = node_->isLink;
    return kSuccess;
  }

  long Name(std::string& name) override {
    const std::lock_guard<std::recursive_mutex> lock(*mutex_);
    if (node_->deleted) return kKeyDeleted;
    name = name_;
    return kSuccess;
  }

 private:
  std::shared_ptr<std::recursive_mutex> mutex_;
  std::shared_ptr<Node> node_;
  std::shared_ptr<Node> merged_;
  bool writable_;
  std::string name_;
};

// Walks to the key without checks; creates missing keys when asked. nullptr when missing
// or the path is malformed.
std::shared_ptr<Node> Walk(const std::shared_ptr<Node>& root, std::string_view path, bool create) {
  std::vector<std::string> parts;
  if (!SplitPath(path, parts)) return nullptr;
  std::shared_ptr<Node> node = root;
  for (const auto& part : parts) {
    auto it = node->children.find(part);
    if (it == node->children.end()) {
      if (!create) return nullptr;
      it = node->children.emplace(part, std::make_shared<Node>()).first;
      node->lastWrite = Tick();
    }
    node = it->second;
  }
  return node;
}

}  // namespace

// The registry seen through the 64-bit view: every path as it stands.
class MemoryRegistry::ViewOf final : public Registry {
 public:
  explicit ViewOf(MemoryRegistry& owner) : owner_(owner) {}
  long Open(Root root, std::string_view path, Access access,
            std::unique_ptr<RegistryKey>& key) override {
    return owner_.OpenKey(root, path, access, true, key, View::Native);
  }
  long OpenNoFollow(Root root, std::string_view path, Access access,
                    std::unique_ptr<RegistryKey>& key) override {
    return owner_.OpenKey(root, path, access, false, key, View::Native);
  }
  long Create(Root root, std::string_view path, std::unique_ptr<RegistryKey>& key) override {
    return owner_.CreateIn(root, path, key, View::Native);
  }
  Registry& InView(View view) override { return owner_.InView(view); }
  std::string UpcaseName(std::string_view name) override { return UpcaseText(name); }

 private:
  MemoryRegistry& owner_;
};

MemoryRegistry::MemoryRegistry() : native_(std::make_unique<ViewOf>(*this)) {
  for (auto& root : roots_) root = std::make_shared<Node>();
}

MemoryRegistry::~MemoryRegistry() = default;

std::string MemoryRegistry::UpcaseName(std::string_view name) { return UpcaseText(name); }

Registry& MemoryRegistry::InView(View view) {
  return view == View::Native ? *native_ : static_cast<Registry&>(*this);
}

std::string MemoryRegistry::Redirected(Root root, std::string_view path) const {
  std::vector<std::string> parts;
  if (!wow64 || !SplitPath(path, parts)) return std::string(path);
  const auto exists = [&](Root r, const std::string& p) {
    return Walk(roots_[RootIndex(r)], p, false) != nullptr;
  };
  const auto join = [&](size_t from) {
    std::string rest;
    for (size_t i = from; i < parts.size(); ++i) rest += "\\" + parts[i];
    return rest;
  };
  const std::string node(kRedirectionNode);
  // A classes key: the 32-bit copy where there is one, else the shared key.
  const auto classes = [&](Root r, const std::string& base, size_t first) {
    if (first >= parts.size()) return std::string(path);
    const std::string copy = (base.empty() ? "" : base + "\\") + node + "\\" + parts[first];
    if (EqualsNoCase(parts[first], node) || !exists(r, copy)) return std::string(path);
    return (base.empty() ? node : base + "\\" + node) + join(first);
  };
  switch (root) {
    case Root::ClassesRoot:
      return classes(root, "", 0);
    case Root::CurrentUser:
      if (parts.size() < 2 || !EqualsNoCase(parts[0], "Software") ||
          !EqualsNoCase(parts[1], "Classes"))
        return std::string(path);
      return classes(root, parts[0] + "\\" + parts[1], 2);
    case Root::LocalMachine: {
      if (parts.empty() || !EqualsNoCase(parts[0], "Software")) return std::string(path);
      if (parts.size() >= 2 && EqualsNoCase(parts[1], "Classes"))
        return classes(root, parts[0] + "\\" + parts[1], 2);
      const std::string software = parts[0] + "\\" + node;
      if (parts.size() >= 2 && EqualsNoCase(parts[1], node)) return std::string(path);
      if (!exists(root, software)) return std::string(path);
      return software + join(1);
    }
    case Root::Users:
    case Root::CurrentConfig:
      break;
  }
  return std::string(path);
}

long MemoryRegistry::Find(Root root, std::string_view path, bool followLast, int hops,
                          std::shared_ptr<Node>& found, std::string* name) const {
  std::vector<std::string> parts;
  if (!SplitPath(path, parts)) return kFileNotFound;
  std::shared_ptr<Node> node = roots_[RootIndex(root)];
  if (node->denyOpen) return kAccessDenied;
  std::string canonical = RootKeyName(root);
  for (size_t i = 0; i < parts.size(); ++i) {
    const auto it = node->children.find(parts[i]);
    if (it == node->children.end()) return kFileNotFound;
    node = it->second;
    canonical += '\\';
    canonical += it->first;
    if (node->denyOpen) return kAccessDenied;
    if (node->isLink && (followLast || i + 1 < parts.size())) {
      if (hops >= kMaxLinkHops) return kFileNotFound;
      std::shared_ptr<Node> target;
      const long rc = Find(node->linkRoot, node->linkPath, true, hops + 1, target, &canonical);
      if (rc != kSuccess) return rc;
      node = target;
    }
  }
  found = std::move(node);
  if (name != nullptr) *name = std::move(canonical);
  return kSuccess;
}

long MemoryRegistry::OpenKey(Root root, std::string_view rawPath, Access access, bool followLast,
                             std::unique_ptr<RegistryKey>& key, View view) {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  std::shared_ptr<Node> node, merged;
  std::string name;
  long rc = kFileNotFound;
  if (root == Root::ClassesRoot && mergeClasses) {
    // The user's copy of a classes key hides the machine's; the machine's sub-keys
    // still show through.
    const std::string suffix = rawPath.empty() ? std::string() : "\\" + std::string(rawPath);
    const auto in = [&](Root hive) {
      const std::string path = "Software\\Classes" + suffix;
      return view == View::Process ? Redirected(hive, path) : path;
    };
    rc = Find(Root::CurrentUser, in(Root::CurrentUser), followLast, 0, node, &name);
    std::string machineName;
    const long machine = Find(Root::LocalMachine, in(Root::LocalMachine), followLast, 0,
                              rc == kSuccess ? merged : node, &machineName);
    if (rc != kSuccess) {
      rc = machine;
      name = std::move(machineName);
    }
  } else {
    const std::string path =
        view == View::Process ? Redirected(root, rawPath) : std::string(rawPath);
    rc = Find(root, path, followLast, 0, node, &name);
  }
  if (rc != kSuccess) return rc;
  if (access == Access::All && node->denyWrite) return kAccessDenied;
  key = std::make_unique<MemoryKey>(mutex_, std::move(node), access == Access::All, std::move(name),
                                    std::move(merged));
  return kSuccess;
}

long MemoryRegistry::Open(Root root, std::string_view path, Access access,
                          std::unique_ptr<RegistryKey>& key) {
  return OpenKey(root, path, access, true, key, View::Process);
}

long MemoryRegistry::OpenNoFollow(Root root, std::string_view path, Access access,
                                  std::unique_ptr<RegistryKey>& key) {
  return OpenKey(root, path, access, false, key, View::Process);
}

void MemoryRegistry::CreateLink(Root root, std::string_view path, Root targetRoot,
                                std::string_view targetPath) {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  if (auto node = Walk(roots_[RootIndex(root)], path, true)) {
    node->isLink = true;
    node->linkRoot = targetRoot;
    node->linkPath = std::string(targetPath);
    std::string target = RootKeyName(targetRoot);
    if (!targetPath.empty()) target += "\\" + std::string(targetPath);
    node->Set("SymbolicLinkValue", kRegLink, Utf16LeBytes(Utf8ToUtf16(target)));
  }
}

long MemoryRegistry::Create(Root root, std::string_view path, std::unique_ptr<RegistryKey>& key) {
  return CreateIn(root, path, key, View::Process);
}

long MemoryRegistry::CreateIn(Root root, std::string_view rawPath,
                              std::unique_ptr<RegistryKey>& key, View view) {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  const std::string path = view == View::Process ? Redirected(root, rawPath) : std::string(rawPath);
  std::vector<std::string> parts;
  if (!SplitPath(path, parts)) return kInvalidParameter;
  std::shared_ptr<Node> node = roots_[RootIndex(root)];
  std::string name = RootKeyName(root);
  if (node->denyOpen) return kAccessDenied;
  // Check the whole walk before creating anything, so a refusal changes nothing.
  size_t existing = 0;
  for (; existing < parts.size(); ++existing) {
    const auto it = node->children.find(parts[existing]);
    if (it == node->children.end()) break;
    node = it->second;
    name += '\\';
    name += it->first;
    if (node->denyOpen) return kAccessDenied;
  }
  if (node->denyWrite) return kAccessDenied;
  for (size_t i = existing; i < parts.size(); ++i) {
    node->lastWrite = Tick();
    node = node->children.emplace(parts[i], std::make_shared<Node>()).first->second;
    name += '\\';
    name += parts[i];
  }
  key = std::make_unique<MemoryKey>(mutex_, std::move(node), true, std::move(name));
  return kSuccess;
}

void MemoryRegistry::CreateKey(Root root, std::string_view path) {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  Walk(roots_[RootIndex(root)], path, true);
}

void MemoryRegistry::SetValue(Root root, std::string_view path, std::string_view name, uint32_t type,
                              std::string_view data) {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  if (auto node = Walk(roots_[RootIndex(root)], path, true)) node->Set(name, type, data);
}

void MemoryRegistry::SetString(Root root, std::string_view path, std::string_view name,
                               std::string_view text, uint32_t type) {
  SetValue(root, path, name, type, RegStringData(text));
}

void MemoryRegistry::SetDword(Root root, std::string_view path, std::string_view name, uint32_t value) {
  std::string data(4, '\0');
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  SetValue(root, path, name, kRegDword, data);
}

bool MemoryRegistry::KeyExists(Root root, std::string_view path) const {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  return Walk(roots_[RootIndex(root)], path, false) != nullptr;
}

std::optional<RegValue> MemoryRegistry::GetValue(Root root, std::string_view path,
                                                 std::string_view name) const {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  const auto node = Walk(roots_[RootIndex(root)], path, false);
  if (!node) return std::nullopt;
  const auto it = node->FindValue(name);
  if (it == node->values.end()) return std::nullopt;
  return *it;
}

void MemoryRegistry::DenyOpen(Root root, std::string_view path, bool deny) {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  if (auto node = Walk(roots_[RootIndex(root)], path, true)) node->denyOpen = deny;
}

void MemoryRegistry::DenyWrite(Root root, std::string_view path, bool deny) {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  if (auto node = Walk(roots_[RootIndex(root)], path, true)) node->denyWrite = deny;
}

bool MemoryRegistry::Import(std::string_view bytes, std::string* error) {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  RegTextDocument document;
  std::string text;
  if (!DecodeRegFileBytes(bytes, text, error) || !ParseRegText(text, document, error)) return false;
  // The parser accepted every line, so applying cannot fail half-way.
  for (const RegTextBlock& block : document.blocks) {
    const auto& root = roots_[RootIndex(block.root)];
    if (block.remove) {
      const size_t slash = block.path.rfind('\\');
      const std::string_view parentPath =
          slash == std::string::npos ? std::string_view() : std::string_view(block.path).substr(0, slash);
      const std::string name = slash == std::string::npos ? block.path : block.path.substr(slash + 1);
      if (auto parent = Walk(root, parentPath, false)) {
        const auto it = parent->children.find(name);
        if (it != parent->children.end()) {
          it->second->MarkDeleted();
          parent->children.erase(it);
          parent->lastWrite = Tick();
        }
      }
      continue;
    }
    const auto node = Walk(root, block.path, true);
    for (const RegTextValue& value : block.values) {
      if (value.remove) {
        const auto it = node->FindValue(value.name);
        if (it != node->values.end()) {
          node->values.erase(it);
          node->lastWrite = Tick();
        }
      } else {
        node->Set(value.name, value.type, value.data);
      }
    }
  }
  return true;
}

std::string MemoryRegistry::Export(Root root, std::string_view path) const {
  const std::lock_guard<std::recursive_mutex> lock(*mutex_);
  std::vector<RegTextBlock> blocks;
  std::function<void(const Node&, const std::string&)> add = [&](const Node& node,
                                                                 const std::string& keyPath) {
    RegTextBlock block;
    block.root = root;
    block.path = keyPath;
    for (const RegValue& value : node.values)
      block.values.push_back(RegTextValue{value.name, false, value.type, value.data});
    blocks.push_back(std::move(block));
    for (const auto& [name, child] : node.children)
      add(*child, keyPath.empty() ? name : keyPath + "\\" + name);
  };
  std::string keyPath(path);
  if (!keyPath.empty() && keyPath.back() == '\\') keyPath.pop_back();
  if (const auto node = Walk(roots_[RootIndex(root)], keyPath, false)) add(*node, keyPath);
  return WriteRegText(blocks);
}

}  // namespace tallowin::platform::memory
