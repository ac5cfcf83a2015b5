// Where an entry's file goes: the stored directory made safe and placed below the destination.
#pragma once

#include <string>

namespace qel::archive {

// The folder an entry of the stored directory goes to, ending in a backslash (or empty for the
// current directory). destination: the destination as a full path, or empty for the current
// directory. rootDir: empty or ending in a backslash, cut from the front of the stored
// directory when it starts with it (compared case-insensitively as the system does).
// recreateDirs false puts every entry straight into the destination.
std::string EntryFolder(const std::string& destination, const std::string& storedDirectory,
                        const std::string& rootDir, bool recreateDirs);

// A stored directory without the components that would climb out of the destination: ".."
// and "." are dropped, and so are the empty components of doubled separators after the start.
std::string WithoutClimbing(const std::string& directory);

}  // namespace qel::archive
