// Category 108 and the registry's redirection node: a 32-bit program on 64-bit Windows
// (and under Wine) sees HKEY_CLASSES_ROOT\Wow6432Node, whose CLSID key is the 32-bit
// class list with its own default value; it is no class reference to judge.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/native/category_test_support.h"

namespace tallowin::category_test {
namespace {

using platform::Root;

void SeedClassLists(platform::memory::MemoryMachine& machine) {
  machine.registry.CreateKey(Root::ClassesRoot, "CLSID\\{KNOWN}");
  machine.registry.CreateKey(Root::ClassesRoot, "AppID\\{APP-KNOWN}");
}

TEST(ActiveXRedirectionTest, RedirectionNodeIsNoClassReference) {
  for (const char* node : {"Wow6432Node", "WOW6432NODE", "wow6432node"}) {
    SCOPED_TRACE(node);
    platform::memory::MemoryMachine machine;
    Recorder recorder;
    SeedClassLists(machine);
    const std::string classes = std::string(node) + "\\CLSID";
    machine.registry.SetString(Root::ClassesRoot, classes, "", "ClassMoniker");
    machine.registry.CreateKey(Root::ClassesRoot,
                               classes + "\\{0000031A-0000-0000-C000-000000000046}");
    machine.registry.SetString(Root::ClassesRoot, "Stale.Prog\\CLSID", "", "{GONE}");
    EXPECT_EQ(RunScan(machine, machine.registry, recorder, {"108"}),
              std::vector<std::string>{Row("ActiveX Issue", "Stale.Prog - {GONE}",
                                           "HKEY_CLASSES_ROOT\\Stale.Prog", ekKey)});
  }
}

// Only the node itself is passed over: a ProgID whose name merely contains it is judged.
TEST(ActiveXRedirectionTest, NamesContainingTheNodeAreJudged) {
  platform::memory::MemoryMachine machine;
  Recorder recorder;
  SeedClassLists(machine);
  machine.registry.SetString(Root::ClassesRoot, "Wow6432Node.Viewer\\CLSID", "", "{GONE}");
  EXPECT_EQ(RunScan(machine, machine.registry, recorder, {"108"}),
            std::vector<std::string>{Row("ActiveX Issue", "Wow6432Node.Viewer - {GONE}",
                                         "HKEY_CLASSES_ROOT\\Wow6432Node.Viewer", ekKey)});
}

}  // namespace
}  // namespace tallowin::category_test
