// How much room a drive has left, for the setup to tell before it starts writing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace qel::platform {

// The bytes the current user may still write on the volume that holds path (per-user quotas
// count), asked of its nearest existing ancestor, since the folder to install to rarely
// exists yet. Empty when the system cannot tell (no such drive, an unreachable share).
// In the POSIX sandbox a file $QEL_ROOT/free/<letter> holding a byte count stands for the
// drive's free space, so tests can make a drive too small; without it the host file system's
// free space for the drive's folder is given.
std::optional<std::uint64_t> DiskFreeBytes(const std::string& path);

}  // namespace qel::platform
