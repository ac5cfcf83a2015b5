// File handles of the stand-in: open, create, read, write, seek, truncate, close and
// the last-write time, with the sharing rules of Windows.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>

#include "platform/posix/file_time.h"
#include "platform/posix/host_path.h"
#include "platform/posix/last_error.h"
#include "platform/posix/open_files.h"
#include "platform/posix/sandbox.h"

namespace qel::platform {

using posix::Fail;
using posix::FailFromErrno;

namespace {

constexpr std::uint32_t AccessMask = 0x03;
constexpr std::uint32_t ShareMask = 0xF0;
constexpr std::uint32_t AccessInvalid = 0x03;

// Windows refuses to write to a read-only file even for an administrator; root on POSIX
// would not be refused, so the stand-in checks the owner's write bit itself.
bool IsReadOnly(const struct stat& info) { return (info.st_mode & S_IWUSR) == 0; }

posix::TFileIdentity IdentityOf(const struct stat& info) { return {info.st_dev, info.st_ino}; }

// The sharing a mode's bits 4 to 7 grant: 0x00 and 0x10 nothing, 0x20 read, 0x30 write, 0x40 both.
void SetSharing(std::uint32_t mode, posix::TOpenFile& file) {
  const std::uint32_t share = mode & ShareMask;
  file.ShareRead = share == fmShareDenyWrite || share == fmShareDenyNone;
  file.ShareWrite = share == fmShareDenyRead || share == fmShareDenyNone;
}

FileHandle Failed(std::uint32_t code) {
  Fail(code);
  return InvalidFileHandle;
}

FileHandle FailedFromErrno(int error) {
  FailFromErrno(error);
  return InvalidFileHandle;
}

// The registered open behind a handle, or none with the last error set.
std::optional<posix::TOpenFile> OpenFileOf(FileHandle handle) {
  std::optional<posix::TOpenFile> file;
  if (handle >= 0 && handle <= INT32_MAX) file = posix::FindOpenFile(static_cast<int>(handle));
  if (!file) Fail(ErrorInvalidHandle);
  return file;
}

int DaysInMonth(int year, int month) {
  constexpr int Days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : Days[month - 1];
}

int Descriptor(FileHandle handle) { return static_cast<int>(handle); }

// Keeps the registered position of an open in step with a read or write: moved by what it
// transferred, or unknown after a failure, whose effect on the offset is not known.
class TPositionKeeper final {
 public:
  TPositionKeeper(FileHandle handle, posix::TOpenFile& file) : FHandle(handle), FFile(file), FBefore(file) {}
  void Moved(std::int32_t count) { Store(FFile.Position < 0 ? -1 : FFile.Position + count); }
  void Lost() { Store(-1); }

 private:
  void Store(std::int64_t position) {
    FFile.Position = position;
    // Only what changed is written back: the size limit looked up, or the position.
    if (FFile.Position != FBefore.Position || FFile.SizeLimitKnown != FBefore.SizeLimitKnown) {
      posix::UpdateOpenFile(Descriptor(FHandle), FFile);
    }
  }
  FileHandle FHandle;
  posix::TOpenFile& FFile;
  const posix::TOpenFile FBefore;
};

// The drive letter of a resolved path, whose capacity limits its files (posix::DriveCapacity).
char DriveOf(const posix::THostPath& path) {
  const std::string& name = path.Windows;
  return name.size() >= 2 && name[1] == ':' ? name[0] : 0;
}

std::int64_t SizeLimitOf(posix::TOpenFile& file) {
  if (!file.SizeLimitKnown) {
    file.SizeLimit = file.Drive != 0 ? posix::DriveCapacity(file.Drive) : -1;
    file.SizeLimitKnown = true;
  }
  return file.SizeLimit;
}

// The descriptor's offset as this program last moved it.
off_t PositionOf(int fd, posix::TOpenFile& file) {
  if (file.Position < 0) file.Position = lseek(fd, 0, SEEK_CUR);
  return static_cast<off_t>(file.Position);
}

// Registers a freshly opened descriptor; closes it when the sharing rules refuse it. size, when
// given, is set to the file's size.
bool Register(int fd, posix::TOpenFile& file, off_t* size = nullptr) {
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    const int error = errno;
    close(fd);
    return FailFromErrno(error);
  }
  if (size != nullptr) *size = info.st_size;
  file.Identity = IdentityOf(info);
  if (!posix::RegisterOpenFile(fd, file)) {
    close(fd);
    return false;
  }
  return true;
}

}  // namespace

FileHandle FileOpen(const std::string& name, std::uint32_t mode) {
  if ((mode & AccessMask) == AccessInvalid || (mode & ShareMask) > fmShareDenyNone) return Failed(ErrorInvalidParameter);
  posix::THostPath path;
  if (!posix::ResolveHostPath(name, path)) return InvalidFileHandle;
  if (!path.Found) {
    posix::FailMissing(path);
    return InvalidFileHandle;
  }
  const struct stat& info = path.Info;
  posix::TOpenFile file;
  file.CanRead = (mode & AccessMask) != fmOpenWrite;
  file.CanWrite = (mode & AccessMask) != fmOpenRead;
  SetSharing(mode, file);
  file.Drive = DriveOf(path);
  if (S_ISDIR(info.st_mode) || (file.CanWrite && IsReadOnly(info))) return Failed(ErrorAccessDenied);

  const int flags = file.CanRead && file.CanWrite ? O_RDWR : file.CanWrite ? O_WRONLY : O_RDONLY;
  const int fd = open(path.Host.c_str(), flags | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return FailedFromErrno(errno);
  if (!Register(fd, file)) return InvalidFileHandle;
  return fd;
}

FileHandle FileCreate(const std::string& name) {
  posix::THostPath path;
  if (!posix::ResolveHostPath(name, path)) return InvalidFileHandle;
  if (path.IsRoot) return Failed(ErrorAccessDenied);
  if (!path.ParentExists) return Failed(ErrorPathNotFound);
  if (path.Found && (S_ISDIR(path.Info.st_mode) || IsReadOnly(path.Info))) return Failed(ErrorAccessDenied);

  // Opened without O_TRUNC: the file is cut only after the sharing rules have allowed
  // this open, so a file another open is reading is never emptied under it.
  const int fd = open(path.Host.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) return FailedFromErrno(errno);
  if (!path.Found) posix::NoteEntryAdded(path.Host);
  posix::TOpenFile file;
  file.CanRead = file.CanWrite = true;
  file.Drive = DriveOf(path);
  off_t size = 0;
  if (!Register(fd, file, &size)) return InvalidFileHandle;
  if (size != 0 && ftruncate(fd, 0) != 0) {
    const int error = errno;
    FileClose(fd);
    return FailedFromErrno(error);
  }
  return fd;
}

std::int32_t FileRead(FileHandle handle, void* buffer, std::int32_t count) {
  auto file = OpenFileOf(handle);
  if (!file) return -1;
  if (count < 0) return Fail(ErrorInvalidParameter), -1;
  if (!file->CanRead) return Fail(ErrorAccessDenied), -1;
  auto* bytes = static_cast<char*>(buffer);
  std::int32_t total = 0;
  TPositionKeeper keeper(handle, *file);
  while (total < count) {
    const ssize_t got = read(Descriptor(handle), bytes + total, static_cast<std::size_t>(count - total));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return keeper.Lost(), FailFromErrno(errno), -1;
    if (got == 0) break;
    total += static_cast<std::int32_t>(got);
  }
  keeper.Moved(total);
  return total;
}

std::int32_t FileWrite(FileHandle handle, const void* buffer, std::int32_t count) {
  auto file = OpenFileOf(handle);
  if (!file) return -1;
  if (count < 0) return Fail(ErrorInvalidParameter), -1;
  if (!file->CanWrite) return Fail(ErrorAccessDenied), -1;
  TPositionKeeper keeper(handle, *file);
  if (SizeLimitOf(*file) >= 0) {
    // A full disk takes none of a write that does not fit.
    const off_t position = PositionOf(Descriptor(handle), *file);
    if (position < 0 || position + count > file->SizeLimit) return Fail(posix::ErrorDiskFull), -1;
  }
  const auto* bytes = static_cast<const char*>(buffer);
  std::int32_t total = 0;
  while (total < count) {
    const ssize_t put = write(Descriptor(handle), bytes + total, static_cast<std::size_t>(count - total));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return keeper.Lost(), FailFromErrno(errno), -1;
    total += static_cast<std::int32_t>(put);
  }
  keeper.Moved(total);
  return total;
}

std::int64_t FileSeek(FileHandle handle, std::int64_t offset, int origin) {
  auto file = OpenFileOf(handle);
  if (!file) return -1;
  int whence = SEEK_SET;
  switch (origin) {
    case static_cast<int>(TSeekOrigin::soBeginning): whence = SEEK_SET; break;
    case static_cast<int>(TSeekOrigin::soCurrent): whence = SEEK_CUR; break;
    case static_cast<int>(TSeekOrigin::soEnd): whence = SEEK_END; break;
    default: return Fail(ErrorInvalidParameter), -1;
  }
  // Where the stream stands is asked for all the time, and known.
  if (whence == SEEK_CUR && offset == 0 && file->Position >= 0) return file->Position;
  const off_t position = lseek(Descriptor(handle), static_cast<off_t>(offset), whence);
  file->Position = position;
  posix::UpdateOpenFile(Descriptor(handle), *file);
  if (position < 0) return Fail(errno == EINVAL ? posix::ErrorNegativeSeek : ErrorInvalidParameter), -1;
  return position;
}

bool FileFlushToDisk(FileHandle handle) {
  const auto file = OpenFileOf(handle);
  if (!file) return false;
  if (fsync(Descriptor(handle)) != 0) return FailFromErrno(errno);
  return true;
}

bool FileTruncate(FileHandle handle) {
  const auto file = OpenFileOf(handle);
  if (!file) return false;
  if (!file->CanWrite) return Fail(ErrorAccessDenied);
  auto kept = *file;
  const off_t position = PositionOf(Descriptor(handle), kept);
  posix::UpdateOpenFile(Descriptor(handle), kept);
  if (position < 0 || ftruncate(Descriptor(handle), position) != 0) return FailFromErrno(errno);
  return true;
}

void FileClose(FileHandle handle) {
  if (!OpenFileOf(handle)) return;
  posix::UnregisterOpenFile(Descriptor(handle));
  close(Descriptor(handle));
}

std::int64_t FileGetDate(FileHandle handle) {
  if (!OpenFileOf(handle)) return -1;
  struct stat info {};
  if (fstat(Descriptor(handle), &info) != 0) return FailFromErrno(errno), -1;
  std::tm local {};
  const std::time_t seconds = info.st_mtim.tv_sec;
  if (localtime_r(&seconds, &local) == nullptr) return Fail(ErrorInvalidParameter), -1;
  const int year = local.tm_year + 1900;
  // An MS-DOS date holds the years 1980 to 2107 only.
  if (year < 1980 || year > 2107) return Fail(ErrorInvalidParameter), -1;
  const std::uint32_t date = static_cast<std::uint32_t>(((year - 1980) << 9) | ((local.tm_mon + 1) << 5) | local.tm_mday);
  const std::uint32_t time = static_cast<std::uint32_t>((local.tm_hour << 11) | (local.tm_min << 5) | (local.tm_sec / 2));
  return static_cast<std::int64_t>((date << 16) | time);
}

std::optional<TFileTime> FileTimeOfDosDate(std::uint32_t dosDateTime) {
  const std::uint32_t date = dosDateTime >> 16;
  const std::uint32_t time = dosDateTime & 0xFFFF;
  const int year = static_cast<int>((date >> 9) + 1980);
  const int month = static_cast<int>((date >> 5) & 0x0F);
  const int day = static_cast<int>(date & 0x1F);
  const int hour = static_cast<int>(time >> 11);
  const int minute = static_cast<int>((time >> 5) & 0x3F);
  const int second = static_cast<int>((time & 0x1F) * 2);
  // Windows refuses an impossible date or time (month 0, the 30th of February, hour 24)
  // where mktime would quietly move it on to a real one.
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  std::tm local {};
  local.tm_year = year - 1900;
  local.tm_mon = month - 1;
  local.tm_mday = day;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  const std::time_t seconds = std::mktime(&local);
  if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
  return (static_cast<TFileTime>(seconds) + UnixEpochInFileTimeSeconds) * FileTimeTicksPerSecond;
}

bool FileSetDate(FileHandle handle, std::uint32_t dosDateTime) {
  if (!OpenFileOf(handle)) return false;
  const std::optional<TFileTime> moment = FileTimeOfDosDate(dosDateTime);
  if (!moment) return Fail(ErrorInvalidParameter);
  return FileSetTime(handle, *moment);
}

bool FileSetTime(FileHandle handle, TFileTime lastWriteTime) {
  const auto file = OpenFileOf(handle);
  if (!file) return false;
  if (!file->CanWrite) return Fail(ErrorAccessDenied);
  const timespec times[2] = {{0, UTIME_OMIT}, posix::TimespecOf(lastWriteTime)};
  if (futimens(Descriptor(handle), times) != 0) return FailFromErrno(errno);
  return true;
}

}  // namespace qel::platform
