// Names in the Windows file system: delete, rename, attributes, folders, the current
// directory, full path names and the program's own file. Names are UTF-8; every call that
// takes a path gets it through WidePath, so a path beyond the classic limit works too.
#include <vector>

#include "platform/files.h"
#include "platform/win32/file_modes.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

using win32::PathFromSystem;
using win32::RecordLastError;
using win32::Wide;
using win32::WidePath;

namespace {

// Calls query(buffer, size), which returns the length it wrote or the size it needs
// (counting the closing NUL), as the Get...W calls of the system do; empty on failure.
template <typename TQuery>
std::wstring QueryString(TQuery query) {
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return RecordLastError(), std::wstring();
    if (length < buffer.size()) return std::wstring(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

}  // namespace

bool DeleteFile(const std::string& name) { return DeleteFileW(WidePath(name).c_str()) || RecordLastError(); }

bool RenameFile(const std::string& oldName, const std::string& newName) {
  return MoveFileW(WidePath(oldName).c_str(), WidePath(newName).c_str()) || RecordLastError();
}

bool DeleteFileAtReboot(const std::string& name) {
  return MoveFileExW(WidePath(name).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) || RecordLastError();
}

bool MoveFileOver(const std::string& oldName, const std::string& newName) {
  return MoveFileExW(WidePath(oldName).c_str(), WidePath(newName).c_str(), MOVEFILE_REPLACE_EXISTING) || RecordLastError();
}

std::uint32_t FileGetAttr(const std::string& name) {
  const DWORD attributes = GetFileAttributesW(WidePath(name).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) RecordLastError();
  return attributes;
}

bool FileSetAttr(const std::string& name, std::uint32_t attributes) {
  return SetFileAttributesW(WidePath(name).c_str(), attributes) || RecordLastError();
}

bool FileExists(const std::string& name) {
  const DWORD attributes = FileGetAttr(name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& name) {
  const DWORD attributes = FileGetAttr(name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDir(const std::string& name) { return CreateDirectoryW(WidePath(name).c_str(), nullptr) || RecordLastError(); }

bool RemoveDir(const std::string& name) { return RemoveDirectoryW(WidePath(name).c_str()) || RecordLastError(); }

std::optional<TFileTime> FileGetTime(const std::string& name) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExW(WidePath(name).c_str(), GetFileExInfoStandard, &data)) return RecordLastError(), std::nullopt;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  return win32::FileTimeValue(data.ftLastWriteTime);
}

bool DirectorySetTime(const std::string& name, TFileTime lastWriteTime) {
  // A folder opens only with backup semantics; writing its attributes is all the time needs.
  const HANDLE folder = CreateFileW(WidePath(name).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (folder == INVALID_HANDLE_VALUE) return RecordLastError();
  const FILETIME written = win32::FileTimeOf(lastWriteTime);
  const bool set = SetFileTime(folder, nullptr, nullptr, &written) || RecordLastError();
  CloseHandle(folder);
  return set;
}

std::string GetCurrentDir() {
  return PathFromSystem(QueryString([](wchar_t* buffer, DWORD size) { return GetCurrentDirectoryW(size, buffer); }));
}

// The system keeps the current directory within the classic limit, with or without the "\\?\"
// prefix; a longer path fails here with the system's own error rather than being cut.
bool SetCurrentDir(const std::string& path) { return SetCurrentDirectoryW(Wide(path).c_str()) || RecordLastError(); }

std::string ExpandFileName(const std::string& name) {
  if (name.empty()) return {};
  // GetFullPathNameW itself has no length limit, so the name goes to it as given.
  const std::wstring wide = Wide(name);
  return PathFromSystem(
      QueryString([&](wchar_t* buffer, DWORD size) { return GetFullPathNameW(wide.c_str(), size, buffer, nullptr); }));
}

std::string ModuleFileName() {
  // GetModuleFileNameW cuts the name to the buffer instead of asking for more room, and a
  // program started from a long path has a name beyond MAX_PATH: the buffer grows until the
  // name fits with room to spare.
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return RecordLastError(), std::string();
    if (length < buffer.size() - 1) return PathFromSystem(std::wstring_view(buffer.data(), length));
    buffer.resize(buffer.size() * 2);
  }
}

TDriveType GetDriveType(const std::string& root) {
  return static_cast<TDriveType>(GetDriveTypeW(root.empty() ? nullptr : Wide(root).c_str()));
}

std::string GetVolumeLabel(const std::string& root) {
  wchar_t label[MAX_PATH + 1] = {};
  if (!GetVolumeInformationW(Wide(root).c_str(), label, MAX_PATH + 1, nullptr, nullptr, nullptr, nullptr, 0)) {
    return RecordLastError(), std::string();
  }
  return win32::Utf8(label);
}

}  // namespace qel::platform
