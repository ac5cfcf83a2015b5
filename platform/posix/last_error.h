// The stand-in's GetLastError: a Windows error code per thread, set by every failing call.
#pragma once

#include <cstdint>

namespace qel::platform::posix {

// Error codes beyond those files.h offers its callers.
inline constexpr std::uint32_t ErrorNotEnoughMemory = 8;
inline constexpr std::uint32_t ErrorWriteFault = 29;
inline constexpr std::uint32_t ErrorReadFault = 30;
inline constexpr std::uint32_t ErrorBadNetPath = 53;
inline constexpr std::uint32_t ErrorDiskFull = 112;
inline constexpr std::uint32_t ErrorNegativeSeek = 131;
inline constexpr std::uint32_t ErrorFilenameTooLong = 206;
inline constexpr std::uint32_t ErrorDirectory = 267;
inline constexpr std::uint32_t ErrorIoDevice = 1117;

void SetLastError(std::uint32_t code);
// Records the Windows code that matches errno and returns false, so failing calls can
// end with "return FailFromErrno(errno);".
bool FailFromErrno(int error);
// Records code and returns false.
bool Fail(std::uint32_t code);

// The English text Windows gives for code.
const char* ErrorText(std::uint32_t code);

}  // namespace qel::platform::posix
