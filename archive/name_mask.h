// File-name masks that select archive entries: "*" and "?" wildcards, bracketed
// character sets with ranges and negation, no escape character, ASCII case folding. A
// character is a UTF-8 sequence (a stray byte counts as one).
#pragma once

#include <string_view>

namespace qel::archive {

// Only mrMatch is a match. Which of the other codes a failed match reports depends on
// the way the search went; through a star it is the code of the last position tried
// (mrNameUsedUp when no position could be tried), so callers should not rely on it.
enum class TMaskResult : int {
  mrMatch = 1,            // the whole name matches the whole mask
  mrMaskUsedUp = 2,       // the mask ended while the name has characters left
  mrNameUsedUp = 3,       // the name ended while the mask still needs characters
  mrNotInSet = 4,         // a set does not admit the name's character
  mrLiteralDiffers = 5,   // a literal character differs
  mrMalformedSet = 6,     // the mask holds a malformed set (found as far as the scan got)
};

// Matches the whole name against the whole mask. Both are compared with only the ASCII
// letters A to Z folded to lower case; "\" and ":" are ordinary characters that "*"
// and "?" cross. A single final "*" also covers an empty rest of the name, a run of
// two or more final stars does not (abc* matches abc, abc** does not).
//
// The work is bounded by length(mask) x length(name) steps with no recursion and no
// allocation, whatever the mask holds.
TMaskResult MatchMask(std::string_view mask, std::string_view name);

// True exactly when MatchMask returns mrMatch.
bool IsMatch(std::string_view mask, std::string_view name);

}  // namespace qel::archive
