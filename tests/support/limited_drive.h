// A drive of the POSIX stand-in on which no file may grow past a capacity: a write past it
// fails as on a full disk ("There is not enough space on the disk."). C: keeps its content and
// only gets the limit; any other letter is a fresh, empty drive, removed again afterwards.
// Wine has no such drive: tests that need one skip there.
#pragma once

#ifndef _WIN32
#include <cstdint>
#include <string>

namespace qel::testing {

class LimitedDrive final {
 public:
  // A negative capacity makes the drive without a limit, for SetCapacity to set one later.
  LimitedDrive(char letter, std::int64_t capacity);
  ~LimitedDrive();
  LimitedDrive(const LimitedDrive&) = delete;
  LimitedDrive& operator=(const LimitedDrive&) = delete;

  // "Q:\"
  std::string Root() const { return std::string(1, FLetter) + ":\\"; }
  // A new limit for the files opened from now on; a negative one lifts it.
  void SetCapacity(std::int64_t capacity);

 private:
  char FLetter;
  std::string FLimitFile;
  std::string FDriveFolder;  // empty for C:
};

}  // namespace qel::testing
#endif
