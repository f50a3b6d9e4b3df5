#pragma once
// Answers of the file system, remembered for one scan: the scan asks the same
// questions many times and the file system does not change under it in any way
// the verdicts depend on.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/file_system.h"

namespace tallowin {

// CON, PRN, AUX, NUL, COM0-9 and LPT0-9, with any extension: the file functions find
// such a name in every folder that exists, as the device.
bool IsDosDeviceName(std::string_view name);

class KeptListings;

class FileProbeCache {
 public:
  explicit FileProbeCache(platform::FileSystem& files) : files_(files) {}
  // Unknown where the system refused to look (a folder that may not be searched).
  platform::Presence FilePresence(const std::string& path);
  platform::Presence FolderPresence(const std::string& path);
  bool FileExists(const std::string& path) { return FilePresence(path) == platform::Presence::Present; }
  bool FolderExists(const std::string& path) {
    return FolderPresence(path) == platform::Presence::Present;
  }

  // A folder is listed only while fewer names than this are remembered in all.
  static constexpr size_t kMaxListedNames = 200000;
  static constexpr size_t kMaxFolderEntries = 20000;
  // Full path and the names a folder listing answers for. Only such paths are answered
  // from a listing; FindFirstFile and GetFileAttributes resolve every other spelling in
  // ways a plain name comparison does not repeat (short names, wildcards, trailing dots
  // and spaces, "." and "..", "/", device names, case folding beyond ASCII).
  struct PlainPath {
    std::string folder;  // as written, without the separator before the name
    std::string name;
  };
  static bool SplitPlain(std::string_view path, bool trailingSeparator, PlainPath& out);

  // Listings handed on from one cache to a later one over the same file system: the scan's
  // to the reasons of its rows, which then need not list those folders again.
  // From now on each folder this cache lists has its last-write time read first, where
  // that time can vouch for the listing later.
  void KeepListingsIn(std::shared_ptr<KeptListings> kept);
  // Moves those listings into the KeptListings given above; this cache forgets them.
  void HandOverListings();
  // Another cache's listings: each is used as this cache's own once its folder's
  // last-write time is found as it was when it was listed, else the folder is listed again.
  void AdoptListings(std::shared_ptr<KeptListings> kept);
  // How old a folder's last-write time must be when it is listed for that time to vouch
  // for the listing later: a name made within one tick of the clock after the time was
  // set may leave it as it was.
  static constexpr uint64_t kSettledAge = 2 * 10000000ULL;  // two seconds in FILETIME units

 private:
  friend class KeptListings;
  // Denied: the folder exists but may not be searched, so a search for a name in it
  // tells nothing.
  enum class ListState { Unusable, Unsearchable, Denied, Listed };
  // What the names of one upper-cased spelling are in a listing.
  enum class Entry : unsigned char { File, Folder, Several };
  struct Name {
    uint64_t fingerprint;  // of the upper-cased name
    Entry entry;
    bool operator<(const Name& other) const { return fingerprint < other.fingerprint; }
  };
  // A listing keeps a fingerprint of each name, not the name: a scan lists folders with
  // hundreds of thousands of names. Names that share a fingerprint read as Several, so
  // the system is asked; a fingerprint may hide a missing name (a finding not made),
  // never make a present one look missing.
  struct Listing {
    ListState state = ListState::Unusable;
    bool vouched = false;    // writeTime was read, settled, just before the folder was listed
    uint64_t writeTime = 0;  // the folder's
    std::vector<Name> names;  // sorted, one per fingerprint
    const Name* Find(std::string_view upperName) const;
  };
  // Unsure: the listing cannot tell, the system is asked; Refused: nobody can tell.
  enum class Verdict { Missing, File, Folder, Unsure, Refused };
  const Listing& ListingOf(const std::string& folder);
  // The folder's last-write time, when it can vouch for a listing made now.
  bool SettledWriteTime(const std::string& folder, uint64_t& writeTime);
  // The adopted listing of the folder while the folder is unchanged.
  bool TakeAdopted(const std::string& folder, Listing& listing);
  // What the listing of `plain.folder` says the name reaches; Unsure when it cannot tell.
  Verdict FromListing(const PlainPath& plain, bool forFile);
  // As SplitPlain, but the last component may end in dots and spaces, which `name` keeps.
  static bool SplitTrimmable(std::string_view path, bool trailingSeparator, PlainPath& out);

  platform::FileSystem& files_;
  std::mutex mutex_;
  std::unordered_map<std::string, platform::Presence> files_cache_;
  std::unordered_map<std::string, platform::Presence> folders_cache_;
  std::unordered_map<std::string, Listing> listings_;  // by folder as written
  size_t listed_names_ = 0;
  std::shared_ptr<KeptListings> keep_;
  std::shared_ptr<KeptListings> adopted_;
  std::unordered_map<std::string, bool> stamping_volumes_;  // by upper-cased volume path
};

class KeptListings {
 public:
  size_t Count() const;

 private:
  friend class FileProbeCache;
  mutable std::mutex mutex_;
  const platform::FileSystem* files_ = nullptr;  // whose folders were listed
  std::unordered_map<std::string, FileProbeCache::Listing> listings_;  // by folder as written
};

}  // namespace tallowin
