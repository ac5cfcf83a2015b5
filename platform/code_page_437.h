// The byte tables that convert between the OEM code page 437 and the ANSI code page
// Windows-1252 the way OemToCharA and CharToOemA do. The POSIX stand-in converts with
// them; both builds compile them, so the Windows build can check them against the system.
#pragma once

#include <array>
#include <cstdint>

namespace qel::platform {

extern const std::array<std::uint8_t, 256> OemToAnsiTable;
extern const std::array<std::uint8_t, 256> AnsiToOemTable;

}  // namespace qel::platform
