// The local wall-clock time on Windows.
#include "platform/clock.h"

#include "platform/win32/windows_api.h"

namespace qel::platform {

TLocalTime LocalTimeNow() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace qel::platform
