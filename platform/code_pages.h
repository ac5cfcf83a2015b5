// Code-page services. The program's text is UTF-8; code pages remain only where text from
// outside arrives in one: archive names without the Unicode flag (the OEM code page) and
// files an earlier version of the program wrote (the ANSI code page).
#pragma once

#include <string>
#include <string_view>

namespace qel::platform {

// Text in the system's OEM code page, as UTF-8 (code page 437 in the POSIX stand-in).
std::string OemToUtf8(std::string_view oem);
// Text in the system's ANSI code page, as UTF-8 (Windows-1252 in the POSIX stand-in).
std::string AnsiToUtf8(std::string_view ansi);

// UTF-8 text in the ANSI or the OEM code page, for bytes another program may have kept in
// that form (a password an archiver keyed its cipher with); empty when a character has no
// form there, no look-alike taken.
std::string Utf8ToAnsi(std::string_view utf8);
std::string Utf8ToOem(std::string_view utf8);

// Compares as the user's locale does, ignoring the case of letters: < 0, 0, > 0. On Windows
// CompareStringW; in the stand-in by code point after capitalising (unicode_text.h).
int CompareTextLocale(std::string_view a, std::string_view b);
// True when both texts are equal under CompareTextLocale.
bool SameTextLocale(std::string_view a, std::string_view b);

// The code pages in force (GetACP, GetOEMCP): 1252 and 437 in the POSIX stand-in.
unsigned AnsiCodePage();
unsigned OemCodePage();

}  // namespace qel::platform
