// The program's text is UTF-8. What every layer needs of it, the same on every system:
// stepping through characters, writing them, and telling names apart as Windows' file system
// does, ignoring the case of letters in every script it folds, not one code page's letters.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace qel::platform {

// The length of the well-formed UTF-8 sequence at text[at], or 0 when none starts there (a
// stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t at);
// The character at text[at], moving at past it; a byte that starts no well-formed sequence
// is consumed alone and gives false.
bool DecodeUtf8(std::string_view text, std::size_t& at, char32_t& character);
void AppendUtf8(std::string& out, char32_t character);
// True when every byte belongs to a well-formed sequence.
bool IsValidUtf8(std::string_view text);

// The capital of a letter with a simple one-to-one case pair (Latin, Greek, Cyrillic,
// Armenian, the full-width forms), else the character itself.
char32_t UpperCaseLetter(char32_t character);
// The text with every letter so capitalised; bytes that are no UTF-8 stay as they are.
std::string UpperCaseText(std::string_view text);
// Compares by code point after capitalising: < 0, 0, > 0.
int CompareIgnoringCase(std::string_view a, std::string_view b);

}  // namespace qel::platform
