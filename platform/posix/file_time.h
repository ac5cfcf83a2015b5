// Between the Windows moment (100-nanosecond ticks since 1601, UTC) and the POSIX one.
#pragma once

#include <time.h>

#include <cstdint>

#include "platform/files.h"

namespace qel::platform::posix {

// Rounded down to the whole second before it, also for moments before 1970.
inline timespec TimespecOf(std::int64_t fileTime) {
  std::int64_t seconds = fileTime / FileTimeTicksPerSecond;
  std::int64_t ticks = fileTime % FileTimeTicksPerSecond;
  if (ticks < 0) {
    ticks += FileTimeTicksPerSecond;
    --seconds;
  }
  timespec result {};
  result.tv_sec = static_cast<time_t>(seconds - UnixEpochInFileTimeSeconds);
  result.tv_nsec = static_cast<long>(ticks * 100);
  return result;
}

inline std::int64_t FileTimeOf(const timespec& moment) {
  return (static_cast<std::int64_t>(moment.tv_sec) + UnixEpochInFileTimeSeconds) * FileTimeTicksPerSecond +
         moment.tv_nsec / 100;
}

}  // namespace qel::platform::posix
