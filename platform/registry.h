// The registry: the advapi32 subset the installer uses. Key and value names and string data are
// UTF-8 text; names compare ignoring case. The installer's registry cursor is built on these calls.
#pragma once

#include <cstdint>
#include <string>

namespace qel::platform {

// A key handle. The predefined roots carry the values Windows gives them.
using RegistryKey = std::uintptr_t;
inline constexpr RegistryKey NoRegistryKey = 0;
inline constexpr RegistryKey RegistryCurrentUser = 0x80000001u;
inline constexpr RegistryKey RegistryLocalMachine = 0x80000002u;

// Value types, with the values of the Windows API.
inline constexpr std::uint32_t RegistryNone = 0;
inline constexpr std::uint32_t RegistryString = 1;
inline constexpr std::uint32_t RegistryExpandString = 2;
inline constexpr std::uint32_t RegistryBinary = 3;
inline constexpr std::uint32_t RegistryDword = 4;

// The raw keys. Every key is opened with full access (KEY_ALL_ACCESS), also for reading.
// Results are Windows error codes: 0 (ERROR_SUCCESS), 2 (ERROR_FILE_NOT_FOUND) for a missing
// key or value, 5 (ERROR_ACCESS_DENIED) where the hive cannot be written, 6
// (ERROR_INVALID_HANDLE) for a closed handle, 1018 (ERROR_KEY_DELETED) for a handle whose key
// was deleted meanwhile, and so on.
// The name may be a path "A\B\C" below parent; the empty name opens parent itself anew.
std::int32_t RegistryOpenKey(RegistryKey parent, const std::string& name, RegistryKey& key);
std::int32_t RegistryCreateKey(RegistryKey parent, const std::string& name, RegistryKey& key);
// Closing a root or NoRegistryKey does nothing.
void RegistryCloseKey(RegistryKey key);
// The type and the data of a value; string data without its terminating NUL.
std::int32_t RegistryQueryValue(RegistryKey key, const std::string& name, std::uint32_t& type, std::string& data);
std::int32_t RegistrySetString(RegistryKey key, const std::string& name, const std::string& value);
// Stores value as REG_DWORD (four bytes, little-endian).
std::int32_t RegistrySetDword(RegistryKey key, const std::string& name, std::uint32_t value);
// The name of the subkey at index (0 first), or ERROR_NO_MORE_ITEMS (259) past the last.
std::int32_t RegistryEnumKey(RegistryKey key, std::uint32_t index, std::string& name);
// Deletes a subkey (or a path below parent) that has no subkeys of its own; one that has
// is refused with ERROR_ACCESS_DENIED.
std::int32_t RegistryDeleteKey(RegistryKey parent, const std::string& name);

}  // namespace qel::platform
