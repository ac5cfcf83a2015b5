// Windows-1252, the ANSI code page of the POSIX stand-in, against Unicode: for text an
// earlier version of the program wrote in it.
#pragma once

#include <cstdint>

namespace qel::platform {

// The code point of an ANSI byte. The five bytes Windows-1252 leaves undefined
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 controls of the same value, as on Windows.
char32_t AnsiToCodePoint(std::uint8_t c);

}  // namespace qel::platform
