// From a Windows name to the POSIX path that holds it, matching names as Windows does.
#pragma once

#include <sys/stat.h>

#include <string>

namespace qel::platform::posix {

struct THostPath {
  std::string Windows;  // the full Windows path, as GetFullPathName gives it
  std::string Host;     // the POSIX path: existing components in their spelling on disk
  bool ParentExists = false;  // every folder above the last component exists
  bool IsRoot = false;        // the path names a drive's root
  bool Found = false;         // Host exists; Info is what stat says of it
  struct stat Info {};
};

// Expands name against the current directory and finds each component on disk: with its
// exact spelling when that exists, else ignoring the case of letters. Components that do not
// exist are kept as given, ready to be created.
// False, with the last error set, for a name that cannot name a file of the sandbox: an
// empty or invalid name, a drive that does not exist, a UNC name.
bool ResolveHostPath(const std::string& name, THostPath& result);

// Whether the path's last component is a symbolic link itself, whatever it points at; info
// then holds what lstat says of the link.
inline bool IsLinkItself(const THostPath& path, struct stat& info) {
  return lstat(path.Host.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

// The last error for a resolved path whose target is missing: file or path not found.
bool FailMissing(const THostPath& path);

// The stand-in's own changes to a folder's entries. What ResolveHostPath learnt of the folder
// (its listing, for names spelt differently) stays in use after such a change; after any other
// change the folder's time stamps differ, and the folder is listed again.
void NoteEntryAdded(const std::string& hostPath);
void NoteEntryRemoved(const std::string& hostPath);

}  // namespace qel::platform::posix
