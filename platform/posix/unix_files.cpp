// Unix permissions and symbolic links on the host's own file system.
#include "platform/unix_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/files.h"
#include "platform/posix/file_time.h"
#include "platform/posix/host_path.h"
#include "platform/posix/last_error.h"

namespace qel::platform {

using posix::Fail;
using posix::FailFromErrno;

bool HasUnixFiles() { return true; }

bool FileSetMode(const std::string& name, std::uint32_t mode) {
  posix::THostPath path;
  if (!posix::ResolveHostPath(name, path)) return false;
  if (!path.Found) return posix::FailMissing(path);
  if (chmod(path.Host.c_str(), static_cast<mode_t>(mode & 0777)) != 0) return FailFromErrno(errno);
  return true;
}

bool CreateSymbolicLink(const std::string& name, const std::string& target, std::optional<TFileTime> lastWriteTime) {
  posix::THostPath path;
  if (!posix::ResolveHostPath(name, path)) return false;
  if (path.IsRoot) return Fail(ErrorAccessDenied);
  if (!path.ParentExists) return Fail(ErrorPathNotFound);
  struct stat there {};
  const bool existed = lstat(path.Host.c_str(), &there) == 0;
  if (existed && S_ISDIR(there.st_mode)) return Fail(ErrorAccessDenied);
  // Made beside under a name of its own and renamed over, so whatever is at the name stays
  // until the link can take its place.
  const std::string folder = path.Host.substr(0, path.Host.rfind('/') + 1);
  for (unsigned n = 0; n < 0x10000; ++n) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".~qel-link%04x", n);
    const std::string staging = folder + suffix;
    if (symlink(target.c_str(), staging.c_str()) != 0) {
      if (errno == EEXIST) continue;
      return FailFromErrno(errno);
    }
    if (lastWriteTime) {
      const timespec times[2] = {{0, UTIME_OMIT}, posix::TimespecOf(*lastWriteTime)};
      utimensat(AT_FDCWD, staging.c_str(), times, AT_SYMLINK_NOFOLLOW);
    }
    if (std::rename(staging.c_str(), path.Host.c_str()) != 0) {
      const int error = errno;
      unlink(staging.c_str());
      return FailFromErrno(error);
    }
    if (!existed) posix::NoteEntryAdded(path.Host);
    return true;
  }
  return Fail(ErrorAlreadyExists);
}

bool IsSymbolicLink(const std::string& name) {
  posix::THostPath path;
  struct stat info {};
  return posix::ResolveHostPath(name, path) && posix::IsLinkItself(path, info);
}

}  // namespace qel::platform
