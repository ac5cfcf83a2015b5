// Entry names as the archive stores them ("/" separators, OEM code page) and as the
// program holds them ("\" separators, UTF-8, split into directory and name).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qel::archive {

// The stored bytes of a name in the OEM code page with every "/" turned into "\", as UTF-8,
// the program's text.
std::string ConvertStoredName(std::string_view storedName);

// A name stored in UTF-8 (flag bit 11, or an Info-ZIP Unicode path) with "\" separators. Bytes
// that are no UTF-8 show a writer that set the flag wrongly: such a name is read in the OEM
// code page instead, so every byte still gives a character and no two names collapse into one.
std::string ConvertUtf8StoredName(std::string_view storedName);

// Whether the bytes are well-formed UTF-8 with at least one character beyond ASCII: a name a
// Unix writer stored in UTF-8 without saying so. A name in an OEM code page rarely passes, as
// its letters beyond ASCII seldom pair up into UTF-8 sequences.
bool IsUnflaggedUtf8Name(std::string_view storedName);

// A converted name split at its last "\" or ":". The directory keeps that separator and is
// empty when there is none; a directory that ends in ":" ("c:x") gets a closing "\" as
// well, so every non-empty directory ends in "\".
struct TSplitName {
  std::string Directory;
  std::string FileName;
};
TSplitName SplitStoredName(std::string_view convertedName);

// A non-empty directory with its closing "\" ensured.
std::string WithClosingBackslash(std::string directory);

}  // namespace qel::archive
