// Case-insensitive resolution of Windows names in the POSIX file system.
#include "platform/posix/host_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "platform/unicode_text.h"
#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/posix/last_error.h"
#include "platform/posix/sandbox.h"
#include "platform/posix/windows_path.h"

namespace qel::platform::posix {

namespace {

std::string Join(const std::string& folder, const std::string& name) {
  return folder.back() == '/' ? folder + name : folder + '/' + name;
}

std::string FolderOf(const std::string& hostPath) {
  const std::size_t slash = hostPath.rfind('/');
  return slash == 0 ? std::string("/") : hostPath.substr(0, slash);
}

// A name with its letters folded to capitals, as the case-insensitive compare folds them.
std::string Folded(const std::string& name) { return UpperCaseText(name); }

// What identifies a folder's state: any entry added, removed or renamed in it changes its
// modification time, so a listing taken at the same stamp still holds.
struct TFolderStamp {
  dev_t Device = 0;
  ino_t Inode = 0;
  timespec Modified{};
  timespec Changed{};
  friend bool operator==(const TFolderStamp& a, const TFolderStamp& b) {
    return a.Device == b.Device && a.Inode == b.Inode && a.Modified.tv_sec == b.Modified.tv_sec &&
           a.Modified.tv_nsec == b.Modified.tv_nsec && a.Changed.tv_sec == b.Changed.tv_sec &&
           a.Changed.tv_nsec == b.Changed.tv_nsec;
  }
};

TFolderStamp StampOf(const struct stat& info) { return {info.st_dev, info.st_ino, info.st_mtim, info.st_ctim}; }

// The entries of one folder, by the folded spelling of their names.
struct TFolderListing {
  TFolderStamp Stamp;
  std::unordered_multimap<std::string, std::string> Names;

  void Add(const std::string& hostName) { Names.emplace(Folded(hostName), hostName); }
  void Remove(const std::string& hostName) {
    for (auto [at, end] = Names.equal_range(Folded(hostName)); at != end; ++at) {
      if (at->second == hostName) {
        Names.erase(at);
        return;
      }
    }
  }
};

// Folders an extraction works in are looked up once per entry, with names that are not there
// yet: their listings are kept, a few at a time, for as long as their stamps hold.
constexpr std::size_t MaxListings = 16;
std::mutex ListingLock;
std::map<std::string, TFolderListing>& Listings() {
  static std::map<std::string, TFolderListing> listings;
  return listings;
}

bool ListFolder(const std::string& folder, TFolderListing& listing) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return false;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string hostName = entry->d_name;
    if (hostName != "." && hostName != "..") listing.Add(hostName);
  }
  return true;
}

// The entry of folder whose name equals component ignoring case (UpperCaseText). Of several (a POSIX folder may hold "a" and "A"), the smallest name, so the choice
// does not depend on the order the folder lists its entries in. folderInfo is what stat
// says of the folder now.
std::string FindIgnoringCase(const std::string& folder, const struct stat& folderInfo, const std::string& component) {
  std::lock_guard<std::mutex> guard(ListingLock);
  auto& listings = Listings();
  auto found = listings.find(folder);
  if (found == listings.end() || !(found->second.Stamp == StampOf(folderInfo))) {
    if (found == listings.end() && listings.size() >= MaxListings) listings.clear();
    TFolderListing listing;
    listing.Stamp = StampOf(folderInfo);
    if (!ListFolder(folder, listing)) {
      if (found != listings.end()) listings.erase(found);
      return {};
    }
    found = listings.insert_or_assign(folder, std::move(listing)).first;
  }
  std::string best;
  for (auto [at, end] = found->second.Names.equal_range(Folded(component)); at != end; ++at) {
    const std::string& name = at->second;
    // The exact spelling comes first, as it does for a name that stat finds.
    if (name == component) return component;
    if (best.empty() || name < best) best = name;
  }
  return best;
}

// The last name found missing from a folder spelt as on disk, with the folder's stamp then:
// the extraction driver asks about a file it is about to create several times over, and
// while the folder's stamp holds, the answer does too.
struct TMissingName {
  std::string Host;
  TFolderStamp FolderStamp;
};
TMissingName LastMissing;

// Whether hostPath was the last name found missing; with folderInfo, whether its folder is
// still as it was then.
bool KnownMissing(const std::string& hostPath, const struct stat* folderInfo) {
  std::lock_guard<std::mutex> guard(ListingLock);
  return LastMissing.Host == hostPath &&
         (folderInfo == nullptr || LastMissing.FolderStamp == StampOf(*folderInfo));
}

void NoteMissing(const std::string& hostPath, const struct stat& folderInfo) {
  std::lock_guard<std::mutex> guard(ListingLock);
  LastMissing = {hostPath, StampOf(folderInfo)};
}

// Updates a kept listing after the stand-in changed its folder.
template <class TChange>
void ChangeListing(const std::string& hostPath, TChange change) {
  const std::string folder = FolderOf(hostPath);
  std::lock_guard<std::mutex> guard(ListingLock);
  auto& listings = Listings();
  const auto found = listings.find(folder);
  if (found == listings.end()) return;
  struct stat info {};
  if (stat(folder.c_str(), &info) != 0) {
    listings.erase(found);
    return;
  }
  change(found->second, hostPath.substr(hostPath.rfind('/') + 1));
  found->second.Stamp = StampOf(info);
}

}  // namespace

bool ResolveHostPath(const std::string& name, THostPath& result) {
  if (name.empty()) return Fail(ErrorPathNotFound);
  // A full name ("X:\\...") does not depend on the current directory, which need not be copied.
  const bool full = name.size() >= 3 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':' && (name[2] == '\\' || name[2] == '/');
  const TWindowsPath path = ParseWindowsPath(name, full ? std::string() : CurrentDirectory());
  if (path.Unc) return Fail(ErrorBadNetPath);
  result.Windows = FormatWindowsPath(path);
  result.IsRoot = path.Components.empty();
  result.ParentExists = false;
  result.Found = false;
  result.Host = DriveHostRoot(path.Drive);
  if (result.Host.empty()) return Fail(ErrorPathNotFound);

  for (const std::string& component : path.Components) {
    if (!IsValidComponent(component)) return Fail(ErrorInvalidName);
  }
  // Most names are spelt as they are on disk: one look at the whole path settles them, and
  // only the others are resolved a component at a time.
  if (!path.Components.empty()) {
    std::string exact;
    exact.reserve(result.Host.size() + name.size() + 1);
    exact = result.Host;
    for (const std::string& component : path.Components) {
      if (exact.back() != '/') exact += '/';
      exact += component;
    }
    const std::string parent = FolderOf(exact);
    struct stat parentInfo {};
    bool parentKnown = false;
    if (path.Components.size() > 1 && KnownMissing(exact, nullptr)) {
      // Asked again: one look at the folder tells whether anything changed there.
      parentKnown = stat(parent.c_str(), &parentInfo) == 0;
      if (parentKnown && S_ISDIR(parentInfo.st_mode) && KnownMissing(exact, &parentInfo)) {
        result.Host = std::move(exact);
        result.ParentExists = true;
        return true;
      }
    }
    if (stat(exact.c_str(), &result.Info) == 0) {
      result.Host = std::move(exact);
      result.ParentExists = true;
      result.Found = true;
      return true;
    }
    // A file about to be created usually lies in a folder spelt as on disk: only its own
    // name needs looking up in the folder.
    if (path.Components.size() > 1 && (parentKnown || stat(parent.c_str(), &parentInfo) == 0) &&
        S_ISDIR(parentInfo.st_mode)) {
      const std::string match = FindIgnoringCase(parent, parentInfo, path.Components.back());
      result.ParentExists = true;
      if (match.empty()) {
        NoteMissing(exact, parentInfo);
        result.Host = std::move(exact);
        return true;
      }
      result.Host = Join(parent, match);
      result.Found = stat(result.Host.c_str(), &result.Info) == 0;
      return true;
    }
  } else {
    result.Found = stat(result.Host.c_str(), &result.Info) == 0;
    return true;
  }

  bool found = true;  // every component so far exists on disk
  for (std::size_t i = 0; i < path.Components.size(); ++i) {
    const std::string& component = path.Components[i];
    const bool last = i + 1 == path.Components.size();
    struct stat folderInfo {};
    const bool folderExists = found && stat(result.Host.c_str(), &folderInfo) == 0 && S_ISDIR(folderInfo.st_mode);
    if (last) result.ParentExists = folderExists;
    std::string exact = Join(result.Host, component);
    struct stat info {};
    if (found && lstat(exact.c_str(), &info) != 0) {
      const std::string match = folderExists ? FindIgnoringCase(result.Host, folderInfo, component) : std::string();
      if (match.empty()) {
        found = false;
      } else {
        exact = Join(result.Host, match);
      }
    }
    result.Host = std::move(exact);
  }
  result.Found = found && stat(result.Host.c_str(), &result.Info) == 0;
  return true;
}

void NoteEntryAdded(const std::string& hostPath) {
  {
    std::lock_guard<std::mutex> guard(ListingLock);
    if (LastMissing.Host == hostPath) LastMissing.Host.clear();
  }
  ChangeListing(hostPath, [](TFolderListing& listing, const std::string& name) { listing.Add(name); });
}

void NoteEntryRemoved(const std::string& hostPath) {
  ChangeListing(hostPath, [](TFolderListing& listing, const std::string& name) { listing.Remove(name); });
}


bool FailMissing(const THostPath& path) {
  return Fail(path.ParentExists ? ErrorFileNotFound : ErrorPathNotFound);
}

}  // namespace qel::platform::posix
