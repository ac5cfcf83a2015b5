// The program's text is UTF-8; Windows' wide ("W") calls take UTF-16. Every call into the
// system converts at this boundary, so any name the system can hold passes through unchanged.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace qel::platform::win32 {

// UTF-8 to UTF-16; a byte that is no UTF-8 becomes U+FFFD.
std::wstring Wide(std::string_view utf8);
// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view wide);

// A path for the wide file calls. A path too long for the classic limit (MAX_PATH, less the
// room CreateDirectoryW keeps for an 8.3 name) is made full and given the "\\?\" prefix, which
// lifts the limit on every Windows 10 and under Wine without the system-wide opt-in that the
// manifest's long-path awareness would need.
std::wstring WidePath(std::string_view path);

// A path the system returned, without the "\\?\" prefix WidePath may have added.
std::string PathFromSystem(std::wstring_view path);

// The system's text for an error code or HRESULT (FormatMessageW), without its closing line
// break; empty when the system has none.
std::string SystemMessage(std::uint32_t code);

}  // namespace qel::platform::win32
