// Entry names as the archive stores them ("/" separators, OEM code page) and as the
// program holds them ("\" separators, ANSI code page, split into directory and name).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qel::archive {

// The stored bytes with every "/" turned into "\" and the OEM characters mapped to ANSI,
// one byte for one byte, so the length never changes.
std::string ConvertStoredName(std::string_view storedName);

// A name stored in UTF-8 (flag bit 11, or an Info-ZIP Unicode path), converted to the program's
// form: "\" separators and ANSI text in which a character the ANSI code page lacks (or a byte
// that is no UTF-8) becomes ReplacementCharacter. Utf8 keeps the name itself, with "\"
// separators, for the file systems that can spell it; Lossy tells whether anything was
// replaced. The replacement is no character Windows refuses, so such a name can still be
// extracted; two names that differ only there are told apart by the extraction.
inline constexpr char ReplacementCharacter = '_';
struct TDecodedName {
  std::string Ansi;
  std::string Utf8;
  bool Lossy = false;
};
TDecodedName ConvertUtf8StoredName(std::string_view storedName);

// The length of the well-formed UTF-8 sequence at text[at] (its shortest form, no surrogate,
// nothing past U+10FFFF), 1 for ASCII; 0 when the bytes there form no such sequence.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);
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
