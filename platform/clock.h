// The local wall-clock time.
#pragma once

namespace qel::platform {

struct TLocalTime {
  int Year, Month, Day, Hour, Minute, Second, Millisecond;
};

TLocalTime LocalTimeNow();

}  // namespace qel::platform
