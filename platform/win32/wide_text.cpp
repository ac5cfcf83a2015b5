#include "platform/win32/wide_text.h"

#include "platform/win32/windows_api.h"

namespace qel::platform::win32 {

namespace {

// CreateDirectoryW refuses a path that leaves no room for an 8.3 name below MAX_PATH.
constexpr std::size_t ClassicPathLimit = MAX_PATH - 12;

constexpr std::wstring_view LongPrefix = L"\\\\?\\";
constexpr std::wstring_view LongUncPrefix = L"\\\\?\\UNC\\";

}  // namespace

std::wstring Wide(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(length > 0 ? length : 0, L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

std::string Utf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(length > 0 ? length : 0, '\0');
  if (length > 0) {
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr, nullptr);
  }
  return utf8;
}

std::wstring WidePath(std::string_view path) {
  std::wstring wide = Wide(path);
  if (wide.size() < ClassicPathLimit || wide.starts_with(LongPrefix)) return wide;
  // The prefix turns off the system's own clean-up of the path, so it is done here first:
  // "." and "..", "/" and a relative start are resolved by GetFullPathNameW, which has no limit.
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return wide;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return wide;
  full.resize(length);
  if (full.starts_with(L"\\\\")) return std::wstring(LongUncPrefix) + full.substr(2);
  return std::wstring(LongPrefix) + full;
}

std::string PathFromSystem(std::wstring_view path) {
  if (path.starts_with(LongUncPrefix)) return "\\\\" + Utf8(path.substr(LongUncPrefix.size()));
  if (path.starts_with(LongPrefix)) return Utf8(path.substr(LongPrefix.size()));
  return Utf8(path);
}

}  // namespace qel::platform::win32
