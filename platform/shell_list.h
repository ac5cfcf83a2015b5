// The shell's form of a list of paths (each ended by a NUL, the list by an empty entry), as both
// systems' file operations read it.
#pragma once

#include <string>
#include <vector>

namespace qel::platform {

// The paths of the list; it ends at the first empty entry, or with the text when the closing
// NUL is missing.
std::vector<std::string> ShellListEntries(const std::string& list);

}  // namespace qel::platform
