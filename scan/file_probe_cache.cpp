#include "scan/file_probe_cache.h"

#include <algorithm>
#include <vector>

#include "platform/text.h"

namespace tallowin {

namespace {

// Longer paths may hit the limits of the ANSI file functions.
constexpr size_t kMaxPlainPath = 240;

// A name that the file functions take literally: printable ASCII, no wildcard, separator,
// stream or short-name marker, no leading or trailing dot or space, no device.
bool IsPlainComponent(std::string_view component) {
  if (component.empty() || component.size() > 255) return false;
  for (const char ch : component) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c >= 0x7F) return false;
    switch (c) {
      case '*': case '?': case '<': case '>': case '"': case '|': case ':': case '/':
      case '\\': case '~':
        return false;
      default:
        break;
    }
  }
  if (component.front() == ' ' || component.front() == '.' || component.back() == ' ' ||
      component.back() == '.')
    return false;
  return !IsDosDeviceName(component);
}

// Names as the ANSI listing shows them; one that is not printable ASCII may stand for
// a name the file system would match differently.
bool IsListableName(std::string_view name) {
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c >= 0x7F || c == '?') return false;
  }
  return true;
}

}  // namespace

const FileProbeCache::Name* FileProbeCache::Listing::Find(std::string_view upperName) const {
  const Name key{Fnv1a(upperName), Entry::File};
  const auto it = std::lower_bound(names.begin(), names.end(), key);
  return it != names.end() && it->fingerprint == key.fingerprint ? &*it : nullptr;
}

bool IsDosDeviceName(std::string_view name) {
  if (name.size() > 255) return false;  // longer than any name a folder holds
  std::string base = AsciiUpper(name.substr(0, name.find_first_of(".:")));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  if (base == "CON" || base == "PRN" || base == "AUX" || base == "NUL" || base == "CONIN$" ||
      base == "CONOUT$")
    return true;
  if (base.size() < 4 || (base.compare(0, 3, "COM") != 0 && base.compare(0, 3, "LPT") != 0))
    return false;
  const std::string_view digit = std::string_view(base).substr(3);
  // Windows also takes the superscripts one to three.
  return (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9') || digit == "\xC2\xB9" ||
         digit == "\xC2\xB2" || digit == "\xC2\xB3";
}

bool FileProbeCache::SplitPlain(std::string_view path, bool trailingSeparator, PlainPath& out) {
  if (path.size() > kMaxPlainPath || path.size() < 4) return false;
  const char drive = path[0];
  if (!((drive >= 'A' && drive <= 'Z') || (drive >= 'a' && drive <= 'z')) || path[1] != ':' ||
      path[2] != '\\')
    return false;
  if (trailingSeparator && path.back() == '\\') path.remove_suffix(1);
  const size_t lastSlash = path.rfind('\\');
  if (lastSlash == std::string_view::npos || lastSlash < 2) return false;
  for (size_t start = 3; start <= path.size();) {
    const size_t end = std::min(path.find('\\', start), path.size());
    if (!IsPlainComponent(path.substr(start, end - start))) return false;
    start = end + 1;
  }
  out.folder.assign(path.substr(0, lastSlash));
  out.name.assign(path.substr(lastSlash + 1));
  return true;
}

// Keyed by the folder as written: on a case-sensitive disk under Wine, spellings that
// differ in case only may name different folders.
const FileProbeCache::Listing& FileProbeCache::ListingOf(const std::string& folder) {
  auto it = listings_.find(folder);
  if (it != listings_.end()) return it->second;
  Listing listing;
  if (TakeAdopted(folder, listing)) {
    listed_names_ += listing.names.size();
  } else if (listed_names_ < kMaxListedNames) {
    listing.vouched = keep_ && SettledWriteTime(folder, listing.writeTime);
    std::vector<platform::DirEntry> entries;
    const long rc = files_.List(folder + "\\*", entries);
    if (platform::IsNoAnswer(rc)) {
      // FindFirstFile looks a name up by searching its folder: a folder that may not be
      // searched hides what it holds.
      listing.state = ListState::Denied;
    } else if (rc == platform::kFileNotFound || rc == platform::kPathNotFound ||
               rc == platform::kDirectory) {
      // Nothing is found in a folder that is not there. Any other failure (a drive not
      // ready, a network name gone) says nothing about the names: they are asked for
      // one by one.
      listing.state = ListState::Unsearchable;
    } else if (rc == platform::kSuccess && entries.size() <= kMaxFolderEntries) {
      listing.state = ListState::Listed;
      listing.names.reserve(entries.size());
      for (const auto& entry : entries) {
        if (!IsListableName(entry.name)) {
          listing.state = ListState::Unusable;
          listing.names = {};
          break;
        }
        const Entry kind =
            (entry.attributes & platform::kAttrDirectory) != 0 ? Entry::Folder : Entry::File;
        listing.names.push_back({Fnv1a(AsciiUpper(entry.name)), kind});
      }
      std::sort(listing.names.begin(), listing.names.end());
      // Names that differ in case only (a case-sensitive disk under Wine): which one a
      // query reaches is the file system's choice.
      size_t kept = 0;
      for (size_t i = 0; i < listing.names.size(); ++i) {
        if (kept > 0 && listing.names[kept - 1].fingerprint == listing.names[i].fingerprint)
          listing.names[kept - 1].entry = Entry::Several;
        else
          listing.names[kept++] = listing.names[i];
      }
      listing.names.resize(kept);
      listing.names.shrink_to_fit();
      listed_names_ += listing.names.size();
    }
  }
  return listings_.emplace(folder, std::move(listing)).first->second;
}

bool FileProbeCache::SettledWriteTime(const std::string& folder, uint64_t& writeTime) {
  // A junction or symbolic link has a write time of its own, which nothing made in the
  // folder it leads to changes.
  uint32_t attributes = 0;
  if (files_.QueryAttributes(folder, attributes) != platform::kSuccess ||
      (attributes & platform::kAttrReparsePoint) != 0)
    return false;
  // A volume mounted in a folder answers for itself, not the drive it is mounted on.
  const std::string volume = AsciiUpper(files_.VolumePath(folder));
  if (volume.empty()) return false;
  auto stamping = stamping_volumes_.find(volume);
  if (stamping == stamping_volumes_.end())
    stamping = stamping_volumes_.emplace(volume, files_.StampsFolderChanges(volume)).first;
  if (!stamping->second || files_.QueryWriteTime(folder, writeTime) != platform::kSuccess)
    return false;
  const uint64_t now = files_.CurrentFileTime();
  return writeTime <= now && now - writeTime >= kSettledAge;
}

bool FileProbeCache::TakeAdopted(const std::string& folder, Listing& listing) {
  if (!adopted_) return false;
  Listing adopted;
  {
    std::lock_guard<std::mutex> lock(adopted_->mutex_);
    const auto kept = adopted_->listings_.find(folder);
    if (kept == adopted_->listings_.end()) return false;
    adopted = std::move(kept->second);
    adopted_->listings_.erase(kept);
  }
  uint64_t writeTime = 0;
  if (files_.QueryWriteTime(folder, writeTime) != platform::kSuccess ||
      writeTime != adopted.writeTime)
    return false;
  listing = std::move(adopted);
  return true;
}

void FileProbeCache::KeepListingsIn(std::shared_ptr<KeptListings> kept) {
  std::lock_guard<std::mutex> lock(mutex_);
  keep_ = std::move(kept);
}

void FileProbeCache::HandOverListings() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!keep_) return;
  std::lock_guard<std::mutex> keptLock(keep_->mutex_);
  keep_->files_ = &files_;
  for (auto it = listings_.begin(); it != listings_.end();) {
    if (it->second.state == ListState::Listed && it->second.vouched) {
      keep_->listings_.insert_or_assign(it->first, std::move(it->second));
      it = listings_.erase(it);
    } else {
      ++it;
    }
  }
}

void FileProbeCache::AdoptListings(std::shared_ptr<KeptListings> kept) {
  std::lock_guard<std::mutex> lock(mutex_);
  adopted_ = nullptr;
  if (!kept) return;
  std::lock_guard<std::mutex> keptLock(kept->mutex_);
  // Listings of another view of the files (the other registry view's program folders)
  // would answer for the wrong folders.
  if (kept->files_ == &files_) adopted_ = std::move(kept);
}

size_t KeptListings::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return listings_.size();
}

// A name with trailing dots or spaces may reach the name without them (the system strips
// them) or keep some (a search keeps a trailing dot as a wildcard form): it is known to be
// missing only when none of those spellings is listed.
FileProbeCache::Verdict FileProbeCache::FromListing(const PlainPath& plain, bool forFile) {
  const Listing& listing = ListingOf(plain.folder);
  switch (listing.state) {
    case ListState::Unusable: return Verdict::Unsure;
    case ListState::Unsearchable: return forFile ? Verdict::Missing : Verdict::Unsure;
    // GetFileAttributes may reach into a folder that cannot be listed.
    case ListState::Denied: return forFile ? Verdict::Refused : Verdict::Unsure;
    case ListState::Listed: break;
  }
  const std::string name = AsciiUpper(plain.name);
  const size_t stem = name.find_last_not_of(". ") + 1;
  if (stem < name.size()) {
    for (size_t length = stem; length <= name.size(); ++length)
      if (listing.Find(std::string_view(name).substr(0, length)) != nullptr) return Verdict::Unsure;
    return Verdict::Missing;
  }
  const Name* found = listing.Find(name);
  if (found == nullptr) return Verdict::Missing;
  switch (found->entry) {
    case Entry::File: return Verdict::File;
    case Entry::Folder: return Verdict::Folder;
    case Entry::Several: break;
  }
  return Verdict::Unsure;
}

bool FileProbeCache::SplitTrimmable(std::string_view path, bool trailingSeparator,
                                    PlainPath& out) {
  if (path.size() > kMaxPlainPath) return false;
  if (trailingSeparator && !path.empty() && path.back() == '\\') path.remove_suffix(1);
  const size_t last = path.find_last_not_of(". ");
  if (last == std::string_view::npos) return false;
  if (!SplitPlain(path.substr(0, last + 1), false, out)) return false;
  out.name.append(path.substr(last + 1));
  return true;
}

// What the system itself answered is kept by the path as spelled: a file system may hold
// names that differ only in case (Wine on a case-sensitive disk), and the cache must not
// join them. A listing answers again as fast as the cache would, so its answers are not
// kept twice. A file's folder is listed when a name in it is first asked: a listing costs
// little more than one search, shows what a search for each of its names would find, and
// references to one folder come in numbers. A folder's folder is listed once a name in it
// is found missing.
platform::Presence FileProbeCache::FilePresence(const std::string& path) {
  using platform::Presence;
  std::lock_guard<std::mutex> lock(mutex_);
  PlainPath plain;
  Verdict verdict = Verdict::Unsure;
  if (SplitTrimmable(path, false, plain)) {
    verdict = FromListing(plain, true);
  } else if (SplitPlain(path, true, plain) && listings_.count(plain.folder)) {
    // A search for "folder\" finds no file where the listing shows a folder or nothing.
    const Verdict named = FromListing(plain, true);
    if (named == Verdict::Missing || named == Verdict::Folder) verdict = Verdict::Missing;
  }
  switch (verdict) {
    case Verdict::File: return Presence::Present;
    case Verdict::Refused: return Presence::Unknown;
    case Verdict::Missing:
    case Verdict::Folder: return Presence::Absent;
    case Verdict::Unsure: break;
  }
  auto it = files_cache_.find(path);
  if (it != files_cache_.end()) return it->second;
  const Presence found = platform::FilePresence(files_, path);
  files_cache_.emplace(path, found);
  return found;
}

platform::Presence FileProbeCache::FolderPresence(const std::string& path) {
  using platform::Presence;
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = folders_cache_.find(path);
  if (it != folders_cache_.end()) return it->second;
  PlainPath plain;
  const bool split = SplitTrimmable(path, true, plain);
  const Verdict verdict =
      split && listings_.count(plain.folder) ? FromListing(plain, false) : Verdict::Unsure;
  Presence found = verdict == Verdict::Folder ? Presence::Present : Presence::Absent;
  if (verdict == Verdict::Unsure) {
    found = platform::FolderPresence(files_, path);
    if (found == Presence::Absent && split) (void)ListingOf(plain.folder);
  }
  folders_cache_.emplace(path, found);
  return found;
}

}  // namespace tallowin
