// Where an entry's file goes: the stored directory made safe and placed below the destination.
#pragma once

#include <optional>
#include <string>

namespace qel::archive {

// How many leading bytes of the stored directory RootDir cuts: its length when the directory
// starts with it (compared case-insensitively as the system does), else 0. rootDir is empty or
// ends in a backslash.
std::size_t RootLength(const std::string& storedDirectory, const std::string& rootDir);

// The folder an entry of the stored directory goes to, ending in a backslash (or empty for the
// current directory). destination: the destination as a full path, or empty for the current
// directory. rootLength bytes are cut from the front of the stored directory first.
// recreateDirs false puts every entry straight into the destination.
//
// Whatever the stored directory says, the folder lies below the destination: a drive ("C:",
// "C:\") and leading separators are dropped, and so are the components that would climb.
// Nothing when a component is no name a folder can have (see IsAcceptableName). The rules
// look at ASCII bytes only, so they hold in UTF-8, whose multi-byte sequences hold no ASCII byte.
std::optional<std::string> EntryFolder(const std::string& destination, const std::string& storedDirectory,
                                       std::size_t rootLength, bool recreateDirs);

// The bytes of the first count components of a directory ("a\b\c\", 2: 4).
std::size_t LeadingComponentsLength(const std::string& directory, std::size_t count);

// A stored directory without a drive, without leading separators and without the components
// that would climb out of the destination or that Windows would reduce to nothing: "..",
// ".", components of dots and spaces alone, and the empty ones of doubled separators.
std::string WithoutClimbing(const std::string& directory);

// Whether a symbolic link in linkFolder (a folder as EntryFolder places it below an empty
// destination: "a\b\", or empty for the destination itself) pointing at target (as stored)
// reaches only places inside the destination, however the archive's other links resolve: the
// target is relative, and its ".." all come first and climb no higher than the link's folder.
// A ".." after a name is refused, as that name may itself be a link to somewhere else.
bool LinkTargetStaysInside(const std::string& linkFolder, const std::string& target);

// True for a name Windows lets a file or folder have: not empty, no control character
// (NUL included) and none of < > : " / \ | ? *, and not a device name (CON, NUL, COM1, ...,
// also with an extension), which would open the device instead of a file.
bool IsAcceptableName(const std::string& name);

}  // namespace qel::archive
