// Windows-1252, the ANSI code page the program's text is held in: its characters as
// Unicode code points and its upper-case folding. The POSIX stand-in needs them where
// it meets UTF-8 file names and where it compares names as Windows does.
#pragma once

#include <cstdint>

namespace qel::platform {

// The code point of an ANSI byte. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as on Windows.
char32_t AnsiToCodePoint(std::uint8_t c);
// The ANSI byte of a code point, or -1 when Windows-1252 has no such character.
int CodePointToAnsi(char32_t c);
// The capital of an ANSI letter ("a" to "A", "\xE9" to "\xC9", "\x9A" to "\x8A", "\xFF" to
// "\x9F"); every other byte, "\xDF" and "\xB5" among them, is returned unchanged.
std::uint8_t AnsiUpperCase(std::uint8_t c);

}  // namespace qel::platform
