// The kernel32 subset the program uses: files, attributes, times, directories.
// All names are UTF-8 text with "\" separators, of any length: on Windows they reach the wide
// calls, a long one with the "\\?\" prefix.
#pragma once

#include <cstdint>
#include <optional>
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
// Writes what the system holds of the file to the disk (FlushFileBuffers), so it outlasts a
// power cut, not only the program.
bool FileFlushToDisk(FileHandle handle);
void FileClose(FileHandle handle);

// Last-write time as an MS-DOS date and time (local time), or -1.
std::int64_t FileGetDate(FileHandle handle);
// Sets the last-write time from an MS-DOS date and time (local time); the handle must be
// open for writing, and an invalid date or time fails.
bool FileSetDate(FileHandle handle, std::uint32_t dosDateTime);

// A moment as Windows keeps it: 100-nanosecond ticks since 1601-01-01, UTC.
using TFileTime = std::int64_t;
inline constexpr TFileTime FileTimeTicksPerSecond = 10'000'000;
// Seconds from 1601-01-01 to 1970-01-01, where Unix times count from.
inline constexpr TFileTime UnixEpochInFileTimeSeconds = 11'644'473'600;
// The moment an MS-DOS date and time (local time) stands for; nothing for an impossible one
// (month 0, the 30th of February, hour 24).
std::optional<TFileTime> FileTimeOfDosDate(std::uint32_t dosDateTime);
// The last-write time of the file name holds, of a symbolic link itself as Windows tells it;
// nothing for a folder, for nothing there, or when it cannot be read.
std::optional<TFileTime> FileGetTime(const std::string& name);
// Sets the last-write time to the moment; the handle must be open for writing.
bool FileSetTime(FileHandle handle, TFileTime lastWriteTime);
// Sets a folder's last-write time to the moment.
bool DirectorySetTime(const std::string& name, TFileTime lastWriteTime);

// Fails for a read-only file and for a file that is open.
bool DeleteFile(const std::string& name);
// Fails when newName exists (MoveFile); also moves directories.
bool RenameFile(const std::string& oldName, const std::string& newName);
// Puts the file oldName in the place of newName in one step, replacing a file there
// (MoveFileEx with MOVEFILE_REPLACE_EXISTING): newName is at every moment either the old file
// or the new one. Fails, changing nothing, when newName is a directory, read-only or open.
bool MoveFileOver(const std::string& oldName, const std::string& newName);
// Has the system delete the file when it next starts (MoveFileEx with
// MOVEFILE_DELAY_UNTIL_REBOOT), for a file in use now; false where the system will not (no
// administrator rights, and always in the POSIX stand-in, which has no reboot).
bool DeleteFileAtReboot(const std::string& name);
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
// root like "A:\"; an empty root asks for the drive of the current directory.
// In the POSIX sandbox every drive whose folder exists is fixed, except that a file
// $QEL_ROOT/removable/<letter> makes that drive removable (to try out spanned archives).
TDriveType GetDriveType(const std::string& root);
// The volume label of the volume whose root is given; empty when it has none or cannot be read.
// In the POSIX sandbox the label of drive <letter> is the first line of $QEL_ROOT/labels/<letter>.
std::string GetVolumeLabel(const std::string& root);

// The system's error code and text for the last failure of a call above on this thread
// (GetLastError + FormatMessage), e.g. "The system cannot find the file specified.".
std::uint32_t LastErrorCode();
std::string LastErrorText();

// The error codes callers and tests tell apart, with the values of Windows.
inline constexpr std::uint32_t ErrorFileNotFound = 2;
inline constexpr std::uint32_t ErrorPathNotFound = 3;
inline constexpr std::uint32_t ErrorAccessDenied = 5;
inline constexpr std::uint32_t ErrorInvalidHandle = 6;
inline constexpr std::uint32_t ErrorSharingViolation = 32;
inline constexpr std::uint32_t ErrorInvalidParameter = 87;
inline constexpr std::uint32_t ErrorInvalidName = 123;
inline constexpr std::uint32_t ErrorDirNotEmpty = 145;
inline constexpr std::uint32_t ErrorAlreadyExists = 183;

}  // namespace qel::platform
