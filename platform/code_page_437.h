// Code page 437, the OEM code page of the POSIX stand-in, against Unicode. Both builds compile
// it, so the Windows build can check it against the system's own conversion.
#pragma once

#include <cstdint>

namespace qel::platform {

// The code point of an OEM byte; the control bytes below 0x20 stay controls, as
// MultiByteToWideChar gives them.
char32_t OemToCodePoint(std::uint8_t c);

}  // namespace qel::platform
