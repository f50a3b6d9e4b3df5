// The key tree walk reads the registry on a thread of its own and judges on the scan
// thread. Whatever the read-ahead bound, it must show the same keys and report the same
// rows in the same order as the walk that reads and judges on the scan thread alone.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <random>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "platform/memory/memory_platform.h"
#include "scan/scan_task.h"
#include "tests/native/scan_engine_support.h"
#include "tests/support/reg_data.h"
#include "tests/support/registry_tree.h"
#include "tests/support/watched_registry.h"

namespace tallowin {
namespace {

using platform::Root;
using Limits = TScanTaskThread::ReadAheadLimits;

constexpr const char* kTree = "Software\\Gen";

// Everything a walk shows, in order: the keys and each row with its stamp.
struct WalkTrace {
  std::vector<std::string> keys;
  std::vector<std::string> rows;
  int opens = 0;
};

std::string RowWithStamp(const Issue& issue) {
  return issue.problem + " | " + issue.data + " | " + issue.key + " | " +
         std::to_string(issue.kind) + " | " + std::to_string(issue.stamp.digest);
}

// Counts the threads other than `owner` that opened a key and have not ended yet.
class ReaderThreads {
 public:
  explicit ReaderThreads(std::thread::id owner) : owner_(owner) {}
  void Saw() {
    if (std::this_thread::get_id() == owner_) return;
    thread_local Presence presence(*this);
  }
  int live() const { return live_; }
  int seen() const { return seen_; }

 private:
  struct Presence {
    explicit Presence(ReaderThreads& threads) : threads_(threads) {
      ++threads_.live_;
      ++threads_.seen_;
    }
    ~Presence() { --threads_.live_; }
    ReaderThreads& threads_;
  };
  std::thread::id owner_;
  std::atomic<int> live_ = 0;
  std::atomic<int> seen_ = 0;
};

class HiveWalk : public ::testing::Test, public engine_test::ScanFixture {
 protected:
  // Broken and sound references, string values of every kind, values whose name holds a
  // backslash, keys that cannot be opened, a key with many values and a chain deeper
  // than the walk follows. Returns how many broken values the walk can reach.
  size_t Generate() {
    std::mt19937 random(20261208);
    auto& reg = machine.registry;
    size_t reachable = 0;
    size_t n = 0;
    // Writes the values of one key; returns how many of them are broken.
    const auto fill = [&](const std::string& path) {
      size_t broken = 0;
      for (uint32_t i = random() % 7; i > 0; --i, ++n) {
        const std::string id = std::to_string(n);
        const auto set = [&](const std::string& name, const std::string& data, bool isBroken,
                             uint32_t type = platform::kRegSz) {
          reg.SetString(Root::CurrentUser, path, name, data, type);
          broken += isBroken;
        };
        switch (random() % 7) {
          case 0: set("v" + id, "C:\\Gone\\" + id + ".exe", true); break;
          case 1: set("v" + id, "C:\\Windows\\notepad.exe /" + id, false); break;
          case 2:
            set("x" + id, "%SystemRoot%\\gone" + id + ".exe", true, platform::kRegExpandSz);
            break;
          case 3: set("C:\\Old\\" + id + ".exe", "C:\\Gone\\old.exe", true); break;
          case 4:
            reg.SetValue(Root::CurrentUser, path, "m" + id, platform::kRegMultiSz,
                         testing_support::Utf16Data(std::string("C:\\Gone\\m.exe\0\0", 16)));
            break;
          case 5: reg.SetDword(Root::CurrentUser, path, "d" + id, 1); break;
          default: set("e" + id, "", false); break;
        }
      }
      return broken;
    };
    const std::function<void(const std::string&, int, bool)> grow =
        [&](const std::string& path, int depth, bool reached) {
          reg.CreateKey(Root::CurrentUser, path);
          const size_t broken = fill(path);
          const bool denied = depth > 0 && random() % 11 == 0;
          if (denied) reg.DenyOpen(Root::CurrentUser, path);
          reached = reached && !denied;
          if (reached) reachable += broken;
          const uint32_t children = depth == 0 ? 24 : depth < 5 ? random() % 5 : 0;
          for (uint32_t i = 0; i < children; ++i)
            grow(path + "\\K" + std::to_string(i), depth + 1, reached);
        };
    grow(kTree, 0, true);
    std::string deep = std::string(kTree) + "\\Deep";
    for (int depth = 1; depth <= 520; ++depth, deep += "\\d") {
      reg.SetString(Root::CurrentUser, deep, "v", "C:\\Gone\\d" + std::to_string(depth) + ".exe");
      reachable += depth <= 512;
    }
    for (int i = 0; i < 300; ++i)
      reg.SetString(Root::CurrentUser, std::string(kTree) + "\\Wide", "w" + std::to_string(i),
                    "C:\\Gone\\wide.exe");
    return reachable + 300;
  }

  std::unique_ptr<TScanTaskThread> Scan(platform::Registry& registry, Limits limits,
                                        bool check64Bit = false) {
    platform::Platform p = machine.platform();
    auto scan = std::make_unique<TScanTaskThread>(
        platform::Platform{registry, p.files, p.system, p.processes, p.restorePoint}, log, true,
        check64Bit);
    scan->ReadAhead = limits;
    return scan;
  }

  WalkTrace Walk(Limits limits, Root root = Root::CurrentUser, const std::string& path = kTree,
                 bool check64Bit = false) {
    log.Reset();
    testing_support::WatchedRegistry counting{
        check64Bit ? machine.registry.InView(platform::View::Native) : machine.registry};
    counting.onOpen = onOpen;
    auto scan = Scan(counting, limits, check64Bit);
    scan->ScanKeyTree(platform::RootName(root), path, scan->DriveLetters, "",
                      FindingRule::PathReference);
    WalkTrace trace;
    for (const std::string& e : log.Events())
      if (e.rfind("key:", 0) == 0) trace.keys.push_back(e.substr(4));
    for (const Issue& issue : log.Issues()) trace.rows.push_back(RowWithStamp(issue));
    trace.opens = counting.opens;
    return trace;
  }

  void ExpectSameAsSerial(const WalkTrace& serial, const std::vector<Limits>& bounds,
                          Root root = Root::CurrentUser, const std::string& path = kTree,
                          bool check64Bit = false) {
    for (const Limits& limits : bounds) {
      SCOPED_TRACE(std::to_string(limits.records) + " records, " +
                   std::to_string(limits.bytes) + " bytes");
      const WalkTrace piped = Walk(limits, root, path, check64Bit);
      EXPECT_EQ(piped.keys, serial.keys);
      EXPECT_EQ(piped.rows, serial.rows);
      EXPECT_EQ(piped.opens, serial.opens);
    }
  }

  std::function<void(std::string_view, platform::Access)> onOpen;
  const std::vector<Limits> bounds_ = {Limits{}, Limits{1, 1}, Limits{2, 64}, Limits{7, 1 << 20}};
};

TEST_F(HiveWalk, AGeneratedTreeGivesTheSameRowsInTheSameOrderWhateverTheBound) {
  const size_t reachable = Generate();
  const WalkTrace serial = Walk(Limits{0, 0});
  // The serial walk is the reference only if it found what the generator made.
  EXPECT_EQ(serial.rows.size(), reachable);
  EXPECT_GT(serial.keys.size(), 600u);
  size_t deepest = 0;
  for (const std::string& key : serial.keys) deepest = std::max(deepest, key.size());
  EXPECT_EQ(deepest, std::string(kTree).size() + 5 + 2 * 511);  // 512 levels below the tree
  ExpectSameAsSerial(serial, bounds_);
}

// The 64-bit view: a link below the redirection node is left to its own path, any other
// link is followed, and the nested node is left out.
TEST_F(HiveWalk, LinkKeysOfThe64BitViewAreHandledAsByTheSerialWalk) {
  machine.system.wow64 = true;
  machine.files.wow64 = true;
  auto& r = machine.registry;
  r.wow64 = true;
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i);
    r.SetString(Root::LocalMachine, "Software\\Vendor" + n + "\\App", "Path",
                "C:\\Gone\\v" + n + ".exe");
    r.SetString(Root::LocalMachine, "Software\\Wow6432Node\\Vendor" + n + "\\App", "Path",
                "C:\\Gone\\w" + n + ".exe");
    r.SetString(Root::LocalMachine, "Software\\Shared" + n, "Path", "C:\\Gone\\s" + n + ".exe");
    r.CreateLink(Root::LocalMachine, "Software\\Wow6432Node\\Shared" + n, Root::LocalMachine,
                 "Software\\Shared" + n);
    r.SetString(Root::LocalMachine, "System\\Elsewhere" + n, "Path", "C:\\Gone\\e" + n + ".exe");
    r.CreateLink(Root::LocalMachine, "Software\\Vendor" + n + "\\Linked", Root::LocalMachine,
                 "System\\Elsewhere" + n);
  }
  r.SetString(Root::LocalMachine, "Software\\Wow6432Node\\Wow6432Node\\X", "Path",
              "C:\\Gone\\n.exe");
  const WalkTrace serial = Walk(Limits{0, 0}, Root::LocalMachine, "Software", true);
  ASSERT_EQ(serial.rows.size(), 160u);
  EXPECT_NE(serial.rows.front().find("Software\\Shared0\\Path"), std::string::npos);
  for (const std::string& key : serial.keys) {
    SCOPED_TRACE(key);
    EXPECT_EQ(key.find("Wow6432Node\\Shared"), std::string::npos);
    EXPECT_EQ(key.find("Wow6432Node\\Wow6432Node"), std::string::npos);
  }
  ExpectSameAsSerial(serial, bounds_, Root::LocalMachine, "Software", true);
}

// Another program removes a sub-tree while the reader is inside it: the open key's
// remaining sub-keys are gone and are skipped, the walk goes on with the next sibling.
TEST_F(HiveWalk, KeysDeletedDuringTheWalkAreSkippedAsByTheSerialWalk) {
  auto& reg = machine.registry;
  for (const char* key : {"A\\A1", "A\\A2\\X", "A\\A3", "B", "C\\C1"})
    for (int i = 0; i < 3; ++i)
      reg.SetString(Root::CurrentUser, std::string(kTree) + "\\" + key, "v" + std::to_string(i),
                    "C:\\Gone\\" + std::string(key) + ".exe");
  const auto setUp = [&] {
    testing_support::RemoveRegistryTree(reg, Root::CurrentUser, std::string(kTree) + "\\B");
    reg.SetString(Root::CurrentUser, std::string(kTree) + "\\B", "v", "C:\\Gone\\B.exe");
    onOpen = [&](std::string_view path, platform::Access) {
      if (path == std::string(kTree) + "\\A\\A2")
        testing_support::RemoveRegistryTree(reg, Root::CurrentUser, std::string(kTree) + "\\A");
      if (path == std::string(kTree) + "\\B")
        reg.SetString(Root::CurrentUser, path, "late", "C:\\Gone\\late.exe");
    };
  };
  const auto rebuild = [&] {
    for (const char* key : {"A\\A1", "A\\A2\\X", "A\\A3"})
      for (int i = 0; i < 3; ++i)
        reg.SetString(Root::CurrentUser, std::string(kTree) + "\\" + key, "v" + std::to_string(i),
                      "C:\\Gone\\" + std::string(key) + ".exe");
  };
  setUp();
  const WalkTrace serial = Walk(Limits{0, 0});
  EXPECT_EQ(serial.keys, (std::vector<std::string>{kTree, std::string(kTree) + "\\A",
                                                   std::string(kTree) + "\\A\\A1",
                                                   std::string(kTree) + "\\B",
                                                   std::string(kTree) + "\\C",
                                                   std::string(kTree) + "\\C\\C1"}));
  EXPECT_EQ(serial.rows.size(), 3u + 2u + 3u);  // A1, B with the value added meanwhile, C1
  for (const Limits& limits : bounds_) {
    SCOPED_TRACE(limits.records);
    rebuild();
    setUp();
    const WalkTrace piped = Walk(limits);
    EXPECT_EQ(piped.keys, serial.keys);
    EXPECT_EQ(piped.rows, serial.rows);
  }
}

TEST_F(HiveWalk, AStopMidWalkEndsBothThreadsWhereverTheReaderWaits) {
  Generate();
  for (const Limits& limits : bounds_) {
    SCOPED_TRACE(limits.records);
    ReaderThreads readers(std::this_thread::get_id());
    onOpen = [&](std::string_view, platform::Access) { readers.Saw(); };
    log.Reset();
    testing_support::WatchedRegistry counting{machine.registry};
    counting.onOpen = onOpen;
    auto scan = Scan(counting, limits);
    size_t shown = 0;
    log.onIssue = [&](const Issue&) {
      if (log.IssueCount() == 5) scan->Stop();
    };
    scan->ScanKeyTree("HKEY_CURRENT_USER", kTree, scan->DriveLetters, "",
                      FindingRule::PathReference);
    for (const std::string& e : log.Events()) shown += e.rfind("key:", 0) == 0;
    log.onIssue = nullptr;
    EXPECT_EQ(log.IssueCount(), 5u);
    EXPECT_EQ(readers.seen(), 1);
    EXPECT_EQ(readers.live(), 0);
    EXPECT_LT(shown, 100u);
  }
}

// A failure while reading ends the walk after the keys read before it were judged, on
// the scan thread, as it would have ended there; one while judging ends the reader too.
TEST_F(HiveWalk, AFailureOnEitherSideEndsTheWalkAndTheReader) {
  auto& reg = machine.registry;
  for (const char* key : {"A", "B", "C"})
    reg.SetString(Root::CurrentUser, std::string(kTree) + "\\" + key, "v",
                  "C:\\Gone\\" + std::string(key) + ".exe");
  for (int i = 0; i < 40; ++i)
    reg.CreateKey(Root::CurrentUser, std::string(kTree) + "\\D\\" + std::to_string(i));
  for (bool reading : {true, false}) {
    SCOPED_TRACE(reading ? "reading" : "judging");
    ReaderThreads readers(std::this_thread::get_id());
    log.Reset();
    testing_support::WatchedRegistry counting{reg};
    counting.onOpen = [&](std::string_view path, platform::Access) {
      readers.Saw();
      if (reading && path == std::string(kTree) + "\\C") throw std::bad_alloc();
    };
    log.onIssue = [&](const Issue&) {
      if (!reading && log.IssueCount() == 2) throw std::runtime_error("list full");
    };
    auto scan = Scan(counting, Limits{1, 1});
    if (reading)
      EXPECT_THROW(scan->ScanKeyTree("HKEY_CURRENT_USER", kTree, scan->DriveLetters, "",
                                     FindingRule::PathReference),
                   std::bad_alloc);
    else
      EXPECT_THROW(scan->ScanKeyTree("HKEY_CURRENT_USER", kTree, scan->DriveLetters, "",
                                     FindingRule::PathReference),
                   std::runtime_error);
    log.onIssue = nullptr;
    EXPECT_EQ(log.IssueCount(), 2u);
    EXPECT_EQ(readers.seen(), 1);
    EXPECT_EQ(readers.live(), 0);
    EXPECT_LT(counting.opens, 10);  // the keys below D were left unread
  }
}

// The judging never reaches for the registry: every open of a walk is the reader's.
TEST_F(HiveWalk, TheScanThreadOpensNoKeyWhileTheReaderRuns) {
  Generate();
  const std::thread::id scanThread = std::this_thread::get_id();
  std::atomic<int> opensHere = 0;
  onOpen = [&](std::string_view, platform::Access) {
    opensHere += std::this_thread::get_id() == scanThread;
  };
  const WalkTrace piped = Walk(Limits{});
  EXPECT_GT(piped.rows.size(), 0u);
  EXPECT_GT(piped.opens, 0);
  EXPECT_EQ(opensHere, 0);
}

}  // namespace
}  // namespace tallowin
