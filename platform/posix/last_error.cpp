// Windows error codes and their texts for the POSIX stand-in.
#include "platform/posix/last_error.h"

#include <cerrno>
#include <string>

#include "platform/files.h"

namespace qel::platform::posix {

namespace {

thread_local std::uint32_t LastError = 0;

struct TErrorText {
  std::uint32_t Code;
  const char* Text;
};

// The texts FormatMessage gives in English, without the closing line break.
constexpr TErrorText ErrorTexts[] = {
    {0, "The operation completed successfully."},
    {ErrorFileNotFound, "The system cannot find the file specified."},
    {ErrorPathNotFound, "The system cannot find the path specified."},
    {ErrorAccessDenied, "Access is denied."},
    {ErrorInvalidHandle, "The handle is invalid."},
    {ErrorNotEnoughMemory, "Not enough storage is available to process this command."},
    {ErrorWriteFault, "The system cannot write to the specified device."},
    {ErrorReadFault, "The system cannot read from the specified device."},
    {ErrorSharingViolation, "The process cannot access the file because it is being used by another process."},
    {ErrorBadNetPath, "The network path was not found."},
    {ErrorInvalidParameter, "The parameter is incorrect."},
    {ErrorDiskFull, "There is not enough space on the disk."},
    {ErrorInvalidName, "The filename, directory name, or volume label syntax is incorrect."},
    {ErrorNegativeSeek, "An attempt was made to move the file pointer before the beginning of the file."},
    {ErrorDirNotEmpty, "The directory is not empty."},
    {ErrorAlreadyExists, "Cannot create a file when that file already exists."},
    {ErrorFilenameTooLong, "The filename or extension is too long."},
    {ErrorDirectory, "The directory name is invalid."},
    {ErrorIoDevice, "The request could not be performed because of an I/O device error."},
};

std::uint32_t CodeFromErrno(int error) {
  switch (error) {
    case ENOENT: return ErrorFileNotFound;
    case ENOTDIR: return ErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ErrorAccessDenied;
    case EBADF: return ErrorInvalidHandle;
    case ENOMEM: return ErrorNotEnoughMemory;
    case EBUSY:
    case ETXTBSY: return ErrorSharingViolation;
    case EINVAL: return ErrorInvalidParameter;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ErrorDiskFull;
    case ENAMETOOLONG: return ErrorFilenameTooLong;
    case ENOTEMPTY: return ErrorDirNotEmpty;
    case EEXIST: return ErrorAlreadyExists;
    case ELOOP: return ErrorPathNotFound;
    default: return ErrorIoDevice;
  }
}

}  // namespace

void SetLastError(std::uint32_t code) { LastError = code; }

bool FailFromErrno(int error) { return Fail(CodeFromErrno(error)); }

bool Fail(std::uint32_t code) {
  LastError = code;
  return false;
}

const char* ErrorText(std::uint32_t code) {
  for (const TErrorText& entry : ErrorTexts) {
    if (entry.Code == code) return entry.Text;
  }
  return "The request could not be performed because of an I/O device error.";
}

}  // namespace qel::platform::posix

namespace qel::platform {

std::uint32_t LastErrorCode() { return posix::LastError; }

std::string LastErrorText() { return posix::ErrorText(posix::LastError); }

}  // namespace qel::platform
