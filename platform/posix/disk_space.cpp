// Free space of the sandbox's drives: a stated figure, or what the host has for the folder.
#include "platform/disk_space.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <cctype>
#include <fstream>

#include "platform/posix/host_path.h"
#include "platform/posix/sandbox.h"

namespace qel::platform {

namespace {

// The number in $QEL_ROOT/free/<letter>, named in upper or lower case, when there is one.
std::optional<std::uint64_t> StatedFreeBytes(char letter) {
  if (letter == 'Z') return std::nullopt;  // the host's own file system states its own room
  for (const char c : {letter, static_cast<char>(std::tolower(static_cast<unsigned char>(letter)))}) {
    std::ifstream input(posix::Sandbox().Root + "/free/" + c);
    std::uint64_t bytes = 0;
    if (input && input >> bytes) return bytes;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> DiskFreeBytes(const std::string& path) {
  posix::THostPath resolved;
  if (!posix::ResolveHostPath(path, resolved) || resolved.Windows.size() < 2 || resolved.Windows[1] != ':') {
    return std::nullopt;
  }
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(resolved.Windows[0])));
  if (const std::optional<std::uint64_t> stated = StatedFreeBytes(letter)) return stated;
  // The nearest folder that exists: the missing levels would be made on the same volume.
  std::string host = resolved.Host;
  struct stat info {};
  while (stat(host.c_str(), &info) != 0) {
    const std::size_t slash = host.find_last_of('/');
    if (slash == std::string::npos) return std::nullopt;
    host = slash == 0 ? std::string("/") : host.substr(0, slash);
  }
  struct statvfs volume {};
  if (statvfs(host.c_str(), &volume) != 0) return std::nullopt;
  // f_bavail, not f_bfree: the blocks kept for the superuser are no room for this user.
  return static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize;
}

}  // namespace qel::platform
