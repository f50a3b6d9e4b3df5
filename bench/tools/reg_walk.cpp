// The least a scan that reads every value can do: walks a key depth first, opening each
// key, reading every value with its data and every sub-key name, and closing it. For the
// benchmarks, as a floor beside "reg export".
//   reg_walk ROOT\PATH     e.g. HKEY_CURRENT_USER\Software\TallowinBench
// Prints "keys K values V bytes B" (B: the value data read) and exits 0; 1 when the key
// cannot be opened, 2 on bad arguments.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

struct Totals {
  unsigned long long keys = 0;
  unsigned long long values = 0;
  unsigned long long bytes = 0;
};

constexpr int kMaxDepth = 512;

// Keeps the key open while its sub-keys are walked, as the scan does.
bool Walk(HKEY parent, const std::wstring& path, int depth, Totals& totals) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
    return false;
  ++totals.keys;
  DWORD subKeys = 0, maxSubKey = 0, values = 0, maxName = 0, maxData = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr, &values,
                       &maxName, &maxData, nullptr, nullptr) == ERROR_SUCCESS) {
    std::vector<wchar_t> name(maxName + 2);
    std::vector<BYTE> data(maxData + 2);
    for (DWORD i = 0; i < values; ++i) {
      DWORD nameLen = static_cast<DWORD>(name.size()), dataLen = static_cast<DWORD>(data.size());
      DWORD type = 0;
      LONG rc = RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
      if (rc == ERROR_MORE_DATA) {  // grew since the count was read
        name.resize(32768);
        data.resize(dataLen + 2);
        nameLen = static_cast<DWORD>(name.size());
        dataLen = static_cast<DWORD>(data.size());
        rc = RegEnumValueW(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
      }
      if (rc != ERROR_SUCCESS) break;
      ++totals.values;
      totals.bytes += dataLen;
    }
    std::vector<std::wstring> names;
    std::vector<wchar_t> subName(maxSubKey + 2 > 256 ? maxSubKey + 2 : 256);
    for (DWORD i = 0; i < subKeys; ++i) {
      DWORD len = static_cast<DWORD>(subName.size());
      if (RegEnumKeyExW(key, i, subName.data(), &len, nullptr, nullptr, nullptr, nullptr) !=
          ERROR_SUCCESS)
        break;
      names.emplace_back(subName.data(), len);
    }
    if (depth < kMaxDepth)
      for (const std::wstring& sub : names) Walk(key, sub, depth + 1, totals);
  }
  RegCloseKey(key);
  return true;
}

HKEY RootOf(const std::wstring& name) {
  if (_wcsicmp(name.c_str(), L"HKEY_CURRENT_USER") == 0) return HKEY_CURRENT_USER;
  if (_wcsicmp(name.c_str(), L"HKEY_LOCAL_MACHINE") == 0) return HKEY_LOCAL_MACHINE;
  if (_wcsicmp(name.c_str(), L"HKEY_CLASSES_ROOT") == 0) return HKEY_CLASSES_ROOT;
  if (_wcsicmp(name.c_str(), L"HKEY_USERS") == 0) return HKEY_USERS;
  return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: reg_walk ROOT\\PATH\n");
    return 2;
  }
  const std::wstring full = argv[1];
  const size_t slash = full.find(L'\\');
  const HKEY root = RootOf(full.substr(0, slash));
  if (root == nullptr) {
    std::fprintf(stderr, "reg_walk: unknown root\n");
    return 2;
  }
  Totals totals;
  if (!Walk(root, slash == std::wstring::npos ? L"" : full.substr(slash + 1), 0, totals)) {
    std::fprintf(stderr, "reg_walk: cannot open the key\n");
    return 1;
  }
  std::printf("keys %llu values %llu bytes %llu\n", totals.keys, totals.values, totals.bytes);
  return 0;
}
