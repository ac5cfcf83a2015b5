// Names in the Windows file system: delete, rename, attributes, folders, the current
// directory, full path names and the program's own file.
#include <vector>

#include "platform/files.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

using win32::RecordLastError;

namespace {

// Calls query(buffer, size), which returns the length it wrote or the size it needs
// (counting the closing NUL), as the Get...A calls of the system do; empty on failure.
template <typename TQuery>
std::string QueryString(TQuery query) {
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = query(buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return RecordLastError(), std::string();
    if (length < buffer.size()) return std::string(buffer.data(), length);
    buffer.resize(length + 1);
  }
}

}  // namespace

bool DeleteFile(const std::string& name) { return DeleteFileA(name.c_str()) || RecordLastError(); }

bool RenameFile(const std::string& oldName, const std::string& newName) {
  return MoveFileA(oldName.c_str(), newName.c_str()) || RecordLastError();
}

bool DeleteFileAtReboot(const std::string& name) {
  return MoveFileExA(name.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) || RecordLastError();
}

bool MoveFileOver(const std::string& oldName, const std::string& newName) {
  return MoveFileExA(oldName.c_str(), newName.c_str(), MOVEFILE_REPLACE_EXISTING) || RecordLastError();
}

std::uint32_t FileGetAttr(const std::string& name) {
  const DWORD attributes = GetFileAttributesA(name.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) RecordLastError();
  return attributes;
}

bool FileSetAttr(const std::string& name, std::uint32_t attributes) {
  return SetFileAttributesA(name.c_str(), attributes) || RecordLastError();
}

bool FileExists(const std::string& name) {
  const DWORD attributes = FileGetAttr(name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& name) {
  const DWORD attributes = FileGetAttr(name);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool CreateDir(const std::string& name) { return CreateDirectoryA(name.c_str(), nullptr) || RecordLastError(); }

bool RemoveDir(const std::string& name) { return RemoveDirectoryA(name.c_str()) || RecordLastError(); }

std::string GetCurrentDir() {
  return QueryString([](char* buffer, DWORD size) { return GetCurrentDirectoryA(size, buffer); });
}

bool SetCurrentDir(const std::string& path) { return SetCurrentDirectoryA(path.c_str()) || RecordLastError(); }

std::string ExpandFileName(const std::string& name) {
  if (name.empty()) return {};
  return QueryString([&](char* buffer, DWORD size) { return GetFullPathNameA(name.c_str(), size, buffer, nullptr); });
}

std::string ModuleFileName() {
  // GetModuleFileNameA cuts the name to the buffer instead of asking for more room,
  // so the buffer grows until the name fits with room to spare.
  std::vector<char> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return RecordLastError(), std::string();
    if (length < buffer.size() - 1) return std::string(buffer.data(), length);
    buffer.resize(buffer.size() * 2);
  }
}

TDriveType GetDriveType(const std::string& root) {
  return static_cast<TDriveType>(GetDriveTypeA(root.empty() ? nullptr : root.c_str()));
}

std::string GetVolumeLabel(const std::string& root) {
  char label[MAX_PATH + 1] = {};
  if (!GetVolumeInformationA(root.c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0)) {
    return RecordLastError(), std::string();
  }
  return label;
}

}  // namespace qel::platform
