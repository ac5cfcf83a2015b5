// <windows.h> for the platform's own Windows sources, without the macros that would
// rename the platform's functions of the same names (DeleteFile, GetDriveType, and the
// old names OemToAnsi and AnsiToOem of OemToCharA and CharToOemA, and ShellExecute).
#pragma once

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#undef DeleteFile
#undef GetDriveType
#undef OemToAnsi
#undef AnsiToOem
#undef ShellExecute

#include <cstdint>

namespace qel::platform::win32 {

// Keeps GetLastError() of a failing call for LastErrorCode()/LastErrorText(), so a later
// successful call that touches the system's own value cannot lose it. Returns false.
bool RecordLastError();
// Records a code of the platform's own choosing. Returns false.
bool RecordError(std::uint32_t code);

}  // namespace qel::platform::win32
