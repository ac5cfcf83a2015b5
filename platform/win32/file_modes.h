// The access and sharing that FileOpen's mode bits select, for every open that takes them, and
// the FILETIME form of a moment.
#pragma once

#include <cstdint>

#include "platform/files.h"
#include "platform/win32/windows_api.h"

namespace qel::platform::win32 {

inline constexpr std::uint32_t AccessMask = 0x03;
inline constexpr std::uint32_t ShareMask = 0xF0;
inline constexpr std::uint32_t AccessInvalid = 0x03;

// Indexed by the mode's low two bits.
inline constexpr DWORD AccessRights[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
// Indexed by the mode's bits 4 to 7: compatibility and exclusive share nothing, then deny
// write (others may read), deny read (others may write), deny none.
inline constexpr DWORD ShareRights[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE};

// Access 3 and sharing above deny-none are no modes.
inline bool IsValidOpenMode(std::uint32_t mode) {
  return (mode & AccessMask) != AccessInvalid && (mode & ShareMask) <= fmShareDenyNone;
}

inline FileHandle FromHandle(HANDLE handle) {
  if (handle == INVALID_HANDLE_VALUE) {
    RecordLastError();
    return InvalidFileHandle;
  }
  return reinterpret_cast<FileHandle>(handle);
}

inline FILETIME FileTimeOf(TFileTime moment) {
  const auto ticks = static_cast<std::uint64_t>(moment);
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

inline TFileTime FileTimeValue(const FILETIME& moment) {
  return static_cast<TFileTime>((static_cast<std::uint64_t>(moment.dwHighDateTime) << 32) | moment.dwLowDateTime);
}

}  // namespace qel::platform::win32
