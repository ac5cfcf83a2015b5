// Code-page services: OEM (code page 437) to ANSI (Windows-1252) and the
// locale-aware case-insensitive comparison of ANSI text.
#pragma once

#include <string>
#include <string_view>

namespace qel::platform {

// Converts in place, one byte per character, with the best-fit mapping of OemToCharA.
void OemToAnsi(std::string& text);
// The reverse direction (CharToOemA), for names the writing side stores.
void AnsiToOem(std::string& text);

// CompareStringA with NORM_IGNORECASE in the user's locale: < 0, 0, > 0.
int CompareTextLocale(std::string_view a, std::string_view b);
// True when both texts are equal under CompareTextLocale.
bool SameTextLocale(std::string_view a, std::string_view b);

// The code pages in force (GetACP, GetOEMCP): 1252 and 437 in the POSIX stand-in.
unsigned AnsiCodePage();
unsigned OemCodePage();

// Windows-1252 <-> UTF-8, used where the program meets the POSIX file system or terminal.
std::string AnsiToUtf8(std::string_view ansi);
std::string Utf8ToAnsi(std::string_view utf8);  // unmappable characters become "?"
// The same with a replacement of the caller's choosing for what the ANSI page lacks (and for
// bytes that are no UTF-8); lossy tells whether any was needed.
std::string Utf8ToAnsi(std::string_view utf8, char replacement, bool& lossy);

}  // namespace qel::platform
