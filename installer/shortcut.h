// Shell links for the Start menu.
#pragma once

#include <string>

namespace qel::installer {

// Writes a shell link to target with the given arguments, working in the target's folder.
// linkName is a path with or without extension; the link file takes the extension ".lnk",
// and when a file of that name exists, the first free "name(1).lnk", "name(2).lnk", ...
// Returns the link file's name. Raises EOleSysError or EIntfCastError when the shell-link
// object cannot be made, and base::EFCreateError naming the link file when it cannot be saved;
// what a failed save left of the file is deleted, so no broken link stays in the menu.
std::string CreateShortcut(const std::string& target, const std::string& linkName, const std::string& arguments);

// The pieces of that, for the callers that build names the same way.
// The name with its extension (from the last "." not followed by "\" or ":") replaced by
// ".lnk", or ".lnk" appended when it has none.
std::string LinkFileName(const std::string& linkName);
// The first of linkFile, base(1).lnk, base(2).lnk, ... that names no existing file.
std::string FreeLinkFileName(const std::string& linkFile);

}  // namespace qel::installer
