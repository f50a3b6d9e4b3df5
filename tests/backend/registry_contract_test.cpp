// What the scan and the repair rely on from any registry: keys open without being
// created, missing keys say so, sub-keys come sorted, values keep type and bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "platform/registry_view.h"
#include "platform/text.h"
#include "tests/backend/contract_test_support.h"
#include "tests/support/reg_data.h"

namespace tallowin::testing_support {
namespace {

using platform::Access;
using platform::RegistryKey;
using platform::RegValue;
using platform::Root;

using namespace std::string_literals;
using testing_support::Utf16Data;

class RegistryContract : public BackendContractTest {
 protected:
  void SetUp() override {
    BackendContractTest::SetUp();
    sandbox_ = backend_->SandboxKey();
    ASSERT_FALSE(sandbox_.empty());
  }

  std::string Path(const std::string& sub) const { return sandbox_ + "\\" + sub; }

  std::unique_ptr<RegistryKey> Create(const std::string& sub) {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(registry().Create(Root::CurrentUser, Path(sub), key), platform::kSuccess) << sub;
    return key;
  }

  std::unique_ptr<RegistryKey> OpenSandbox(Access access = Access::All) {
    std::unique_ptr<RegistryKey> key;
    EXPECT_EQ(registry().Open(Root::CurrentUser, sandbox_, access, key), platform::kSuccess);
    return key;
  }

  bool Exists(const std::string& sub) {
    return registry().OpenKey(Root::CurrentUser, Path(sub), Access::Read) != nullptr;
  }

  std::string sandbox_;
};

TEST_F(RegistryContract, Open_MissingKeyIsFileNotFoundAndNotCreated) {
  for (Access access : {Access::Read, Access::All}) {
    for (const char* sub : {"Missing", "Missing\\Deeper"}) {
      SCOPED_TRACE(sub);
      std::unique_ptr<RegistryKey> key;
      EXPECT_EQ(registry().Open(Root::CurrentUser, Path(sub), access, key),
                platform::kFileNotFound);
      EXPECT_EQ(key, nullptr);
    }
  }
  EXPECT_FALSE(Exists("Missing"));
  uint32_t subKeys = 99, values = 99;
  ASSERT_EQ(OpenSandbox()->QueryInfo(subKeys, values), platform::kSuccess);
  EXPECT_EQ(subKeys, 0u);
  EXPECT_EQ(values, 0u);
}

TEST_F(RegistryContract, Open_FailureLeavesKeyArgumentUntouched) {
  std::unique_ptr<RegistryKey> key = Create("Present");
  ASSERT_NE(key, nullptr);
  RegistryKey* before = key.get();
  EXPECT_EQ(registry().Open(Root::CurrentUser, Path("Absent"), Access::Read, key),
            platform::kFileNotFound);
  EXPECT_EQ(key.get(), before);
}

TEST_F(RegistryContract, Open_EmptyPathIsTheRootItself) {
  std::unique_ptr<RegistryKey> root;
  ASSERT_EQ(registry().Open(Root::CurrentUser, "", Access::Read, root), platform::kSuccess);
  std::vector<std::string> names;
  ASSERT_EQ(root->SubKeyNames(names), platform::kSuccess);
  EXPECT_TRUE(std::any_of(names.begin(), names.end(),
                          [](const std::string& n) { return n == "Software"; }));
}

TEST_F(RegistryContract, Open_KeyNamesMatchInAnyCase) {
  Create("MixedCase\\Inner");
  EXPECT_TRUE(Exists("MIXEDCASE\\inner"));
  EXPECT_TRUE(Exists("mixedcase\\INNER"));
  // The registry's own upper case, beyond ASCII too.
  EXPECT_EQ(registry().UpcaseName("\xC3\xA9lan \xCF\x89mega \xD0\xB4\xD0\xBE\xD0\xBC"),
            "\xC3\x89LAN \xCE\xA9MEGA \xD0\x94\xD0\x9E\xD0\x9C");
}

TEST_F(RegistryContract, Create_MakesEveryMissingParent) {
  ASSERT_NE(Create("A\\B\\C"), nullptr);
  EXPECT_TRUE(Exists("A"));
  EXPECT_TRUE(Exists("A\\B"));
  EXPECT_TRUE(Exists("A\\B\\C"));
}

TEST_F(RegistryContract, SubKeyNames_SortedInAnyCaseKeepingTheirSpelling) {
  for (const char* name : {"beta", "Alpha", "gamma", "alpha2", "Delta", "9", "10"}) Create(name);
  Create("ALPHA");  // the same key as "Alpha": keeps its first spelling
  std::vector<std::string> names;
  ASSERT_EQ(OpenSandbox(Access::Read)->SubKeyNames(names), platform::kSuccess);
  EXPECT_EQ(names, (std::vector<std::string>{"10", "9", "Alpha", "alpha2", "beta", "Delta",
                                             "gamma"}));
}

TEST_F(RegistryContract, KeyNames_OfAnyScriptOpenAndListAsWritten) {
  const std::vector<std::string> names = {"\xCE\xA9mega", "\xD0\xAE\xD0\xBD\xD0\xB8\xD0\xBA\xD0\xBE\xD0\xB4",
                                          "\xE6\x97\xA5\xE6\x9C\xAC", "caf\xC3\xA9"};
  for (const std::string& name : names) Create(name + "\\Inner");
  std::vector<std::string> listed;
  ASSERT_EQ(OpenSandbox(Access::Read)->SubKeyNames(listed), platform::kSuccess);
  std::sort(listed.begin(), listed.end());
  std::vector<std::string> expected = names;
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(listed, expected);
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    EXPECT_TRUE(Exists(name + "\\Inner"));
  }
  // Omega and the Greek capital omega are different names.
  EXPECT_FALSE(Exists("Omega"));
}

TEST_F(RegistryContract, OpenNoFollow_ALinkIsSeenAsItselfAndOpenGoesThrough) {
  ASSERT_NE(Create("Target\\Inner"), nullptr);
  ASSERT_EQ(Create("Target")->SetValue("v", platform::kRegSz, Utf16Data("target\0"s)),
            platform::kSuccess);
  ASSERT_NE(Create("Holder"), nullptr);
  ASSERT_TRUE(backend_->CreateLink(Path("Holder\\Link"), Path("Target")));

  std::unique_ptr<RegistryKey> through;
  ASSERT_EQ(registry().Open(Root::CurrentUser, Path("Holder\\Link"), Access::Read, through),
            platform::kSuccess);
  RegValue value;
  EXPECT_EQ(through->QueryValue("v", value), platform::kSuccess);
  EXPECT_TRUE(Exists("Holder\\Link\\Inner"));

  std::unique_ptr<RegistryKey> itself;
  ASSERT_EQ(registry().OpenNoFollow(Root::CurrentUser, Path("Holder\\Link"), Access::Read, itself),
            platform::kSuccess);
  bool link = false;
  ASSERT_EQ(itself->IsLink(link), platform::kSuccess);
  EXPECT_TRUE(link);
  std::vector<std::string> names;
  ASSERT_EQ(itself->SubKeyNames(names), platform::kSuccess);
  EXPECT_TRUE(names.empty());

  // Plain keys are no links, however they are opened.
  for (const bool follow : {true, false}) {
    std::unique_ptr<RegistryKey> plain;
    ASSERT_EQ(follow ? registry().Open(Root::CurrentUser, Path("Target"), Access::Read, plain)
                     : registry().OpenNoFollow(Root::CurrentUser, Path("Target"), Access::Read, plain),
              platform::kSuccess);
    link = true;
    ASSERT_EQ(plain->IsLink(link), platform::kSuccess);
    EXPECT_FALSE(link);
  }
  // A link in the middle of a path is followed by both.
  std::unique_ptr<RegistryKey> inner;
  EXPECT_EQ(registry().OpenNoFollow(Root::CurrentUser, Path("Holder\\Link\\Inner"), Access::Read,
                                    inner),
            platform::kSuccess);
}

TEST_F(RegistryContract, SubKeyNamesAndValues_EmptyKeyGivesNone) {
  auto key = OpenSandbox(Access::Read);
  std::vector<std::string> names{"stale"};
  std::vector<RegValue> values(1);
  EXPECT_EQ(key->SubKeyNames(names), platform::kSuccess);
  EXPECT_TRUE(names.empty());
  names = {"stale"};
  EXPECT_EQ(key->ValueNames(names), platform::kSuccess);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(key->Values(values), platform::kSuccess);
  EXPECT_TRUE(values.empty());
}

struct ValueCase {
  std::string name;
  uint32_t type;
  std::string data;
};

std::string Bytes(size_t count) {
  std::string bytes;
  for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
  return bytes;
}

std::vector<ValueCase> ValueCases() {
  return {
      {"", platform::kRegSz, Utf16Data("the default\0"s)},
      {"Text", platform::kRegSz, Utf16Data("C:\\Program Files\\App\\app.exe\0"s)},
      {"EmptyText", platform::kRegSz, Utf16Data("\0"s)},
      {"Expandable", platform::kRegExpandSz, Utf16Data("%SystemRoot%\\system32\\x.dll\0"s)},
      // String data is stored as given, also when it is no whole UTF-16 text.
      {"OddText", platform::kRegSz, "C:\\x.exe"s},
      {"Unterminated", platform::kRegSz, Utf16Data("abc")},
      {"Number", platform::kRegDword, "\x78\x56\x34\x12"s},
      {"Binary0", platform::kRegBinary, ""},
      {"Binary1", platform::kRegBinary, "\x7f"s},
      {"Binary27", platform::kRegBinary, Bytes(27)},
      {"Binary100", platform::kRegBinary, Bytes(100)},
      {"Binary5000", platform::kRegBinary, Bytes(5000)},
      {"LongText", platform::kRegSz, Utf16Data(std::string(3000, 'x') + "\0"s)},
      {"Multi", platform::kRegMultiSz, Utf16Data("one\0two\0three\0\0"s)},
      {"Quad", platform::kRegQword, "\x01\x02\x03\x04\x05\x06\x07\x08"s},
      {"Nothing", platform::kRegNone, ""},
      {"NothingWithBytes", platform::kRegNone, "\x01\x00\x02"s},
      {"back\\slash\\name", platform::kRegSz, Utf16Data("bs\0"s)},
      {"\"quoted\"", platform::kRegSz, Utf16Data("\"q\"\0"s)},
      {"a=b", platform::kRegSz, Utf16Data("=\0"s)},
      {"[bracket", platform::kRegSz, Utf16Data("[x]\0"s)},
      // Names and data of any script: café üß, Ωmega, Юникод, 日本, and a character
      // beyond the basic plane.
      {"caf\xC3\xA9 \xC3\xBC\xC3\x9F", platform::kRegSz, Utf16Data("d\xC3\xA9j\xC3\xA0 vu\0"s)},
      {"\xCE\xA9mega", platform::kRegSz, Utf16Data("C:\\Gone\\\xE6\x97\xA5\xE6\x9C\xAC.txt\0"s)},
      {"\xD0\xAE\xD0\xBD\xD0\xB8\xD0\xBA\xD0\xBE\xD0\xB4", platform::kRegExpandSz,
       Utf16Data("\xF0\x9F\x98\x80\0"s)},
      {std::string(1000, 'n'), platform::kRegDword, "\x01\x00\x00\x00"s},
  };
}

TEST_F(RegistryContract, Values_RoundTripNameTypeAndBytes) {
  const std::vector<ValueCase> cases = ValueCases();
  {
    auto key = OpenSandbox(Access::All);
    for (const ValueCase& c : cases) {
      SCOPED_TRACE(c.name.substr(0, 40));
      EXPECT_EQ(key->SetValue(c.name, c.type, c.data), platform::kSuccess);
    }
  }

  auto key = OpenSandbox(Access::Read);
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 40));
    RegValue value;
    ASSERT_EQ(key->QueryValue(c.name, value), platform::kSuccess);
    EXPECT_EQ(value.name, c.name);
    EXPECT_EQ(value.type, c.type);
    EXPECT_EQ(value.data.size(), c.data.size());
    EXPECT_EQ(value.data, c.data);
  }

  // Enumeration order differs between systems (Windows: insertion, Wine: sorted).
  std::vector<RegValue> values;
  ASSERT_EQ(key->Values(values), platform::kSuccess);
  ASSERT_EQ(values.size(), cases.size());
  std::map<std::string, RegValue> byName;
  for (const RegValue& v : values) EXPECT_TRUE(byName.emplace(v.name, v).second) << v.name;
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name.substr(0, 40));
    auto it = byName.find(c.name);
    ASSERT_NE(it, byName.end());
    EXPECT_EQ(it->second.type, c.type);
    EXPECT_EQ(it->second.data, c.data);
  }

  std::vector<std::string> names;
  ASSERT_EQ(key->ValueNames(names), platform::kSuccess);
  std::vector<std::string> expected;
  for (const ValueCase& c : cases) expected.push_back(c.name);
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

TEST_F(RegistryContract, SetValue_ReplacesTypeAndData) {
  auto key = OpenSandbox(Access::All);
  ASSERT_EQ(key->SetValue("v", platform::kRegSz, "a long first text\0"s), platform::kSuccess);
  ASSERT_EQ(key->SetValue("V", platform::kRegDword, "\x05\x00\x00\x00"s), platform::kSuccess);
  RegValue value;
  ASSERT_EQ(key->QueryValue("v", value), platform::kSuccess);
  EXPECT_EQ(value.type, platform::kRegDword);
  EXPECT_EQ(value.data, "\x05\x00\x00\x00"s);
  uint32_t subKeys = 0, values = 0;
  ASSERT_EQ(key->QueryInfo(subKeys, values), platform::kSuccess);
  EXPECT_EQ(values, 1u);
}

TEST_F(RegistryContract, QueryValue_MissingIsFileNotFoundAndLeavesValueUntouched) {
  auto key = OpenSandbox(Access::Read);
  RegValue value{"keep", platform::kRegBinary, "xyz"};
  EXPECT_EQ(key->QueryValue("Absent", value), platform::kFileNotFound);
  EXPECT_EQ(key->QueryValue("", value), platform::kFileNotFound);  // no default value set
  EXPECT_EQ(value.name, "keep");
  EXPECT_EQ(value.type, platform::kRegBinary);
  EXPECT_EQ(value.data, "xyz");
}

TEST_F(RegistryContract, QueryInfo_CountsSubKeysAndValues) {
  Create("One\\Grandchild");
  Create("Two");
  Create("Three");
  auto key = OpenSandbox(Access::All);
  ASSERT_EQ(key->SetValue("", platform::kRegSz, "d\0"s), platform::kSuccess);
  ASSERT_EQ(key->SetValue("x", platform::kRegDword, "\0\0\0\0"s), platform::kSuccess);
  uint32_t subKeys = 0, values = 0;
  ASSERT_EQ(key->QueryInfo(subKeys, values), platform::kSuccess);
  EXPECT_EQ(subKeys, 3u);  // direct sub-keys only
  EXPECT_EQ(values, 2u);   // the default value counts
}

TEST_F(RegistryContract, DeleteValue_RemovesOnlyThatValue) {
  auto key = OpenSandbox(Access::All);
  ASSERT_EQ(key->SetValue("gone", platform::kRegSz, "1\0"s), platform::kSuccess);
  ASSERT_EQ(key->SetValue("kept", platform::kRegSz, "2\0"s), platform::kSuccess);
  ASSERT_EQ(key->SetValue("", platform::kRegSz, "3\0"s), platform::kSuccess);

  EXPECT_EQ(key->DeleteValue("GONE"), platform::kSuccess);  // names match in any case
  EXPECT_EQ(key->DeleteValue("gone"), platform::kFileNotFound);
  EXPECT_EQ(key->DeleteValue("never there"), platform::kFileNotFound);
  EXPECT_EQ(key->DeleteValue(""), platform::kSuccess);
  EXPECT_EQ(key->DeleteValue(""), platform::kFileNotFound);

  std::vector<std::string> names;
  ASSERT_EQ(key->ValueNames(names), platform::kSuccess);
  EXPECT_EQ(names, std::vector<std::string>{"kept"});
}

TEST_F(RegistryContract, DeleteSubKey_LeafGoesMissingIsFileNotFound) {
  Create("Leaf");
  Create("Sibling");
  auto key = OpenSandbox(Access::All);
  EXPECT_EQ(key->DeleteSubKey("leaf"), platform::kSuccess);
  EXPECT_FALSE(Exists("Leaf"));
  EXPECT_TRUE(Exists("Sibling"));
  EXPECT_EQ(key->DeleteSubKey("Leaf"), platform::kFileNotFound);
  EXPECT_EQ(key->DeleteSubKey("Never"), platform::kFileNotFound);
}

TEST_F(RegistryContract, DeleteSubKey_RefusesKeyWithSubKeys) {
  Create("Parent\\Child");
  auto key = OpenSandbox(Access::All);
  EXPECT_EQ(key->DeleteSubKey("Parent"), platform::kAccessDenied);
  EXPECT_TRUE(Exists("Parent\\Child"));
}

TEST_F(RegistryContract, DeleteSubKey_EmptyNameNeverDeletesTheKeyItself) {
  auto key = Create("Self");
  ASSERT_NE(key, nullptr);
  EXPECT_NE(key->DeleteSubKey(""), platform::kSuccess);
  EXPECT_TRUE(Exists("Self"));
}

TEST_F(RegistryContract, ReadAccess_RefusesChanges) {
  Create("Child");
  {
    auto key = OpenSandbox(Access::All);
    ASSERT_EQ(key->SetValue("v", platform::kRegSz, "1\0"s), platform::kSuccess);
  }
  auto key = OpenSandbox(Access::Read);
  EXPECT_EQ(key->SetValue("w", platform::kRegSz, "2\0"s), platform::kAccessDenied);
  EXPECT_EQ(key->DeleteValue("v"), platform::kAccessDenied);
  EXPECT_EQ(key->DeleteSubKey("Child"), platform::kAccessDenied);
  RegValue value;
  EXPECT_EQ(key->QueryValue("v", value), platform::kSuccess);
  EXPECT_EQ(key->QueryValue("w", value), platform::kFileNotFound);
  EXPECT_TRUE(Exists("Child"));
}

// ---- the registry views -------------------------------------------------------------

// Below HKEY_LOCAL_MACHINE\Software the two views of a WOW64 process differ; without WOW64
// they are one registry.
class RegistryViewContract : public RegistryContract {
 protected:
  void SetUp() override {
    RegistryContract::SetUp();
    machine_ = backend_->MachineSandboxKey();
    wow64_ = backend_->platform().system.IsWow64();
  }

  platform::Registry& native() { return registry().InView(platform::View::Native); }

  // Where the 64-bit view shows a key the process view has at `path`.
  std::string NativePathOf(const std::string& path) const {
    return wow64_ ? platform::RedirectedPath(Root::LocalMachine, path).value_or("") : path;
  }

  std::string NameOf(platform::Registry& in, Root root, const std::string& path, bool follow = true) {
    std::unique_ptr<RegistryKey> key;
    const long rc = follow ? in.Open(root, path, Access::Read, key)
                           : in.OpenNoFollow(root, path, Access::Read, key);
    std::string name;
    if (rc != platform::kSuccess || key->Name(name) != platform::kSuccess) return "";
    return name;
  }

  std::string machine_;
  bool wow64_ = false;
};

TEST_F(RegistryViewContract, InView_TheProcessViewsKeyIsAtItsRedirectedPathInTheNativeView) {
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(registry().Create(Root::LocalMachine, machine_ + "\\A", key), platform::kSuccess);
  ASSERT_EQ(key->SetValue("v", platform::kRegSz, Utf16Data("32\0"s)), platform::kSuccess);
  ASSERT_EQ(native().Create(Root::LocalMachine, machine_ + "\\B", key), platform::kSuccess);

  std::unique_ptr<RegistryKey> seen;
  ASSERT_EQ(native().Open(Root::LocalMachine, NativePathOf(machine_ + "\\A"), Access::Read, seen),
            platform::kSuccess);
  RegValue value;
  ASSERT_EQ(seen->QueryValue("v", value), platform::kSuccess);
  EXPECT_EQ(value.data, Utf16Data("32\0"s));
  // Each view has its own key below HKLM\Software under WOW64.
  const long expected = wow64_ ? platform::kFileNotFound : platform::kSuccess;
  EXPECT_EQ(native().Open(Root::LocalMachine, machine_ + "\\A", Access::Read, seen), expected);
  EXPECT_EQ(registry().Open(Root::LocalMachine, machine_ + "\\B", Access::Read, seen), expected);
  // The native view leads back to the process view.
  EXPECT_EQ(native().InView(platform::View::Process)
                .Open(Root::LocalMachine, machine_ + "\\A", Access::Read, seen),
            platform::kSuccess);
  // Outside HKLM\Software both views are one.
  ASSERT_NE(Create("Shared"), nullptr);
  EXPECT_EQ(native().Open(Root::CurrentUser, Path("Shared"), Access::Read, seen), platform::kSuccess);
}

TEST_F(RegistryViewContract, Name_OneKeyHasOneNameThroughEveryViewAndLink) {
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(registry().Create(Root::LocalMachine, machine_ + "\\A", key), platform::kSuccess);
  ASSERT_EQ(native().Create(Root::LocalMachine, machine_ + "\\B", key), platform::kSuccess);
  const std::string a = NameOf(registry(), Root::LocalMachine, machine_ + "\\A");
  ASSERT_FALSE(a.empty());
  EXPECT_EQ(a.rfind("\\REGISTRY\\", 0), 0u) << a;
  EXPECT_TRUE(platform::SameKeyName(a, NameOf(native(), Root::LocalMachine, NativePathOf(machine_ + "\\A"))));
  EXPECT_TRUE(platform::SameKeyName(a, NameOf(registry(), Root::LocalMachine, AsciiUpper(machine_ + "\\A"))));
  EXPECT_FALSE(platform::SameKeyName(a, NameOf(native(), Root::LocalMachine, machine_ + "\\B")));
  // The process view takes a path through the redirection node as written, not twice.
  EXPECT_TRUE(platform::SameKeyName(
      a, NameOf(registry(), Root::LocalMachine, NativePathOf(machine_ + "\\A"))));

  ASSERT_NE(Create("Target"), nullptr);
  ASSERT_TRUE(backend_->CreateLink(Path("Link"), Path("Target")));
  const std::string target = NameOf(registry(), Root::CurrentUser, Path("Target"));
  ASSERT_FALSE(target.empty());
  EXPECT_TRUE(platform::SameKeyName(target, NameOf(registry(), Root::CurrentUser, Path("Link"))));
  EXPECT_FALSE(
      platform::SameKeyName(target, NameOf(registry(), Root::CurrentUser, Path("Link"), false)));
}

TEST_F(RegistryViewContract, DeleteSubKey_InTheNativeViewDeletesThatViewsKey) {
  std::unique_ptr<RegistryKey> key;
  ASSERT_EQ(registry().Create(Root::LocalMachine, machine_ + "\\Same", key), platform::kSuccess);
  ASSERT_EQ(native().Create(Root::LocalMachine, machine_ + "\\Same", key), platform::kSuccess);
  std::unique_ptr<RegistryKey> parent;
  ASSERT_EQ(native().Open(Root::LocalMachine, machine_, Access::All, parent), platform::kSuccess);
  ASSERT_EQ(parent->DeleteSubKey("Same"), platform::kSuccess);
  std::unique_ptr<RegistryKey> seen;
  EXPECT_EQ(native().Open(Root::LocalMachine, machine_ + "\\Same", Access::Read, seen),
            platform::kFileNotFound);
  EXPECT_EQ(registry().Open(Root::LocalMachine, machine_ + "\\Same", Access::Read, seen),
            wow64_ ? platform::kSuccess : platform::kFileNotFound);
}

TEST_F(RegistryViewContract, Values_ALinkOpenedAsItselfShowsItsTarget) {
  ASSERT_NE(Create("Target"), nullptr);
  ASSERT_TRUE(backend_->CreateLink(Path("Link"), Path("Target")));
  std::unique_ptr<RegistryKey> link;
  ASSERT_EQ(registry().OpenNoFollow(Root::CurrentUser, Path("Link"), Access::Read, link),
            platform::kSuccess);
  std::vector<RegValue> values;
  ASSERT_EQ(link->Values(values), platform::kSuccess);
  ASSERT_EQ(values.size(), 1u);
  EXPECT_EQ(values[0].name, "SymbolicLinkValue");
  EXPECT_EQ(values[0].type, platform::kRegLink);
  // The target as the registry names it.
  const std::string target = NameOf(registry(), Root::CurrentUser, Path("Target"));
  EXPECT_TRUE(platform::SameKeyName(Utf16ToUtf8(Utf16FromLeBytes(values[0].data)), target));
}

}  // namespace
}  // namespace tallowin::testing_support
