// File handles on Windows: CreateFileW with the access and sharing a mode selects; names are
// UTF-8 and may exceed the classic path limit.
#include "platform/files.h"

#include "platform/win32/file_modes.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

using win32::AccessMask;
using win32::AccessRights;
using win32::FromHandle;
using win32::RecordError;
using win32::RecordLastError;
using win32::ShareMask;
using win32::ShareRights;

namespace {

HANDLE AsHandle(FileHandle handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

FileHandle FileOpen(const std::string& name, std::uint32_t mode) {
  if (!win32::IsValidOpenMode(mode)) {
    RecordError(ErrorInvalidParameter);
    return InvalidFileHandle;
  }
  return FromHandle(CreateFileW(win32::WidePath(name).c_str(), AccessRights[mode & AccessMask],
                                ShareRights[(mode & ShareMask) >> 4], nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

FileHandle FileCreate(const std::string& name) {
  return FromHandle(CreateFileW(win32::WidePath(name).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::int32_t FileRead(FileHandle handle, void* buffer, std::int32_t count) {
  if (count < 0) return RecordError(ErrorInvalidParameter), -1;
  DWORD got = 0;
  if (!ReadFile(AsHandle(handle), buffer, static_cast<DWORD>(count), &got, nullptr)) return RecordLastError(), -1;
  return static_cast<std::int32_t>(got);
}

std::int32_t FileWrite(FileHandle handle, const void* buffer, std::int32_t count) {
  if (count < 0) return RecordError(ErrorInvalidParameter), -1;
  DWORD put = 0;
  if (!WriteFile(AsHandle(handle), buffer, static_cast<DWORD>(count), &put, nullptr)) return RecordLastError(), -1;
  return static_cast<std::int32_t>(put);
}

std::int64_t FileSeek(FileHandle handle, std::int64_t offset, int origin) {
  DWORD method = FILE_BEGIN;
  switch (origin) {
    case static_cast<int>(TSeekOrigin::soBeginning): method = FILE_BEGIN; break;
    case static_cast<int>(TSeekOrigin::soCurrent): method = FILE_CURRENT; break;
    case static_cast<int>(TSeekOrigin::soEnd): method = FILE_END; break;
    default: return RecordError(ErrorInvalidParameter), -1;
  }
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  LARGE_INTEGER position;
  if (!SetFilePointerEx(AsHandle(handle), distance, &position, method)) return RecordLastError(), -1;
  return position.QuadPart;
}

bool FileTruncate(FileHandle handle) { return SetEndOfFile(AsHandle(handle)) || RecordLastError(); }

bool FileFlushToDisk(FileHandle handle) { return FlushFileBuffers(AsHandle(handle)) || RecordLastError(); }

void FileClose(FileHandle handle) { CloseHandle(AsHandle(handle)); }

std::int64_t FileGetDate(FileHandle handle) {
  FILETIME written;
  FILETIME local;
  WORD date = 0;
  WORD time = 0;
  if (!GetFileTime(AsHandle(handle), nullptr, nullptr, &written) || !FileTimeToLocalFileTime(&written, &local) ||
      !FileTimeToDosDateTime(&local, &date, &time)) {
    return RecordLastError(), -1;
  }
  return static_cast<std::int64_t>((static_cast<std::uint32_t>(date) << 16) | time);
}

std::optional<TFileTime> FileTimeOfDosDate(std::uint32_t dosDateTime) {
  FILETIME local;
  FILETIME moment;
  if (!DosDateTimeToFileTime(static_cast<WORD>(dosDateTime >> 16), static_cast<WORD>(dosDateTime & 0xFFFF), &local) ||
      !LocalFileTimeToFileTime(&local, &moment)) {
    return RecordLastError(), std::nullopt;
  }
  return win32::FileTimeValue(moment);
}

bool FileSetDate(FileHandle handle, std::uint32_t dosDateTime) {
  const std::optional<TFileTime> moment = FileTimeOfDosDate(dosDateTime);
  return moment && FileSetTime(handle, *moment);
}

bool FileSetTime(FileHandle handle, TFileTime lastWriteTime) {
  const FILETIME written = win32::FileTimeOf(lastWriteTime);
  return SetFileTime(AsHandle(handle), nullptr, nullptr, &written) || RecordLastError();
}

}  // namespace qel::platform
