// The kernel32 subset the program uses: files, attributes, times, directories.
// All names are ANSI (Windows-1252) text with "\" separators, as Windows holds them.
#pragma once

#include <cstdint>
#include <string>

namespace qel::platform {

using FileHandle = std::intptr_t;
inline constexpr FileHandle InvalidFileHandle = -1;

// Access and sharing bits of FileOpen, with the values of the Windows runtime library.
inline constexpr std::uint32_t fmOpenRead = 0x0000;
inline constexpr std::uint32_t fmOpenWrite = 0x0001;
inline constexpr std::uint32_t fmOpenReadWrite = 0x0002;
inline constexpr std::uint32_t fmShareCompat = 0x0000;
inline constexpr std::uint32_t fmShareExclusive = 0x0010;
inline constexpr std::uint32_t fmShareDenyWrite = 0x0020;
inline constexpr std::uint32_t fmShareDenyRead = 0x0030;
inline constexpr std::uint32_t fmShareDenyNone = 0x0040;

// MS-DOS attribute bits.
inline constexpr std::uint32_t faReadOnly = 0x01;
inline constexpr std::uint32_t faHidden = 0x02;
inline constexpr std::uint32_t faSysFile = 0x04;
inline constexpr std::uint32_t faVolumeID = 0x08;
inline constexpr std::uint32_t faDirectory = 0x10;
inline constexpr std::uint32_t faArchive = 0x20;
inline constexpr std::uint32_t InvalidFileAttributes = 0xFFFFFFFF;

enum class TSeekOrigin : int { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// Opens an existing file. Invalid mode bits (access 3, sharing above 0x40) fail.
// Returns InvalidFileHandle on failure; LastErrorText() then says why.
FileHandle FileOpen(const std::string& name, std::uint32_t mode);
// Creates a file or truncates an existing one, for reading and writing, no sharing.
FileHandle FileCreate(const std::string& name);
// Byte counts delivered or accepted; -1 on failure.
std::int32_t FileRead(FileHandle handle, void* buffer, std::int32_t count);
std::int32_t FileWrite(FileHandle handle, const void* buffer, std::int32_t count);
// New position, or -1 on failure.
std::int64_t FileSeek(FileHandle handle, std::int64_t offset, int origin);
// Cuts or extends the file at the current position.
bool FileTruncate(FileHandle handle);
void FileClose(FileHandle handle);

// Last-write time as an MS-DOS date and time (local time), or -1.
std::int64_t FileGetDate(FileHandle handle);
// Sets the last-write time from an MS-DOS date and time (local time).
bool FileSetDate(FileHandle handle, std::uint32_t dosDateTime);

bool DeleteFile(const std::string& name);
bool RenameFile(const std::string& oldName, const std::string& newName);
// MS-DOS attribute bits, or InvalidFileAttributes when the file does not exist.
std::uint32_t FileGetAttr(const std::string& name);
bool FileSetAttr(const std::string& name, std::uint32_t attributes);

bool FileExists(const std::string& name);  // an existing file, not a directory
bool DirectoryExists(const std::string& name);
bool CreateDir(const std::string& name);  // one level
bool ForceDirectories(const std::string& path);  // every missing level
bool RemoveDir(const std::string& name);  // an empty directory

std::string GetCurrentDir();  // without a closing "\" except for a drive's root
bool SetCurrentDir(const std::string& path);
// A full path for a name relative to the current directory (".." and "." resolved).
std::string ExpandFileName(const std::string& name);

std::string ModuleFileName();  // the running program's full path

// Drive types as GetDriveType reports them.
enum class TDriveType : int { dtUnknown = 0, dtNoRootDir = 1, dtRemovable = 2, dtFixed = 3, dtRemote = 4, dtCDRom = 5, dtRamDisk = 6 };
TDriveType GetDriveType(const std::string& root);  // root like "A:\"
// The volume label of the volume whose root is given; empty when it has none or cannot be read.
std::string GetVolumeLabel(const std::string& root);

// The system's text for the last failure of a call above (GetLastError + FormatMessage).
std::string LastErrorText();

}  // namespace qel::platform
