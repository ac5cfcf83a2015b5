// Unix permissions and symbolic links, which files have on disk only in the POSIX build. On
// Windows an entry's Unix mode means nothing, and a link entry stays the file that holds its
// target: there FileSetMode does nothing and CreateSymbolicLink fails.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/files.h"

namespace qel::platform {

// True where files carry Unix permissions and symbolic links can be made.
bool HasUnixFiles();
// Gives the file or folder the permission bits of mode (0777; set-user-ID, set-group-ID and
// sticky are never given).
bool FileSetMode(const std::string& name, std::uint32_t mode);
// Puts a symbolic link to target (kept as given) at name, in one step replacing a file or a link
// there; fails, changing nothing, for a folder in the way. The link itself is given
// lastWriteTime when one is given.
bool CreateSymbolicLink(const std::string& name, const std::string& target,
                        std::optional<TFileTime> lastWriteTime = std::nullopt);
// True for a symbolic link itself, whatever it points at.
bool IsSymbolicLink(const std::string& name);

}  // namespace qel::platform
