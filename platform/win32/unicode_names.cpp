// UTF-8 paths on Windows: turned into UTF-16 and given to the wide calls, so a name the ANSI
// code page cannot spell is written as the archive gives it.
#include "platform/unicode_names.h"

#include <string>

#include "platform/win32/file_modes.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

using win32::RecordLastError;

namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(length > 0 ? length : 0, L'\0');
  if (length > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

FileHandle FileCreateUtf8(const std::string& path) {
  return win32::FromHandle(CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle FileOpenUtf8(const std::string& path, std::uint32_t mode) {
  if (!win32::IsValidOpenMode(mode)) {
    win32::RecordError(ErrorInvalidParameter);
    return InvalidFileHandle;
  }
  return win32::FromHandle(CreateFileW(Wide(path).c_str(), win32::AccessRights[mode & win32::AccessMask],
                                       win32::ShareRights[(mode & win32::ShareMask) >> 4], nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
}

bool DeleteFileUtf8(const std::string& path) { return DeleteFileW(Wide(path).c_str()) || RecordLastError(); }

bool MoveFileOverUtf8(const std::string& oldPath, const std::string& newPath) {
  return MoveFileExW(Wide(oldPath).c_str(), Wide(newPath).c_str(), MOVEFILE_REPLACE_EXISTING) || RecordLastError();
}

std::uint32_t FileGetAttrUtf8(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) RecordLastError();
  return attributes;
}

bool FileSetAttrUtf8(const std::string& path, std::uint32_t attributes) {
  return SetFileAttributesW(Wide(path).c_str(), attributes) || RecordLastError();
}

// Every missing level of a full path, from the top down.
bool ForceDirectoriesUtf8(const std::string& path) {
  std::wstring full = Wide(path);
  while (full.size() > 3 && full.back() == L'\\') full.pop_back();
  if (full.empty()) return false;
  for (std::size_t at = full.find(L'\\', 3); ; at = full.find(L'\\', at + 1)) {
    const std::wstring level = full.substr(0, at);
    if (!IsDirectory(level) && !CreateDirectoryW(level.c_str(), nullptr) && !IsDirectory(level)) {
      return RecordLastError();
    }
    if (at == std::wstring::npos) return true;
  }
}

}  // namespace qel::platform
