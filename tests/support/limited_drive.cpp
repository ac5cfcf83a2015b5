#ifndef _WIN32
#include "support/limited_drive.h"

#include <cctype>

#include "platform/files.h"
#include "platform/posix/sandbox.h"
#include "support/scratch.h"

namespace qel::testing {

LimitedDrive::LimitedDrive(char letter, std::int64_t capacity)
    : FLetter(static_cast<char>(std::toupper(static_cast<unsigned char>(letter)))) {
  const std::string root = platform::posix::Sandbox().Root;
  const std::string lower(1, static_cast<char>(std::tolower(static_cast<unsigned char>(FLetter))));
  if (FLetter != 'C') {
    FDriveFolder = HostPath(root + "/drive_" + lower);
    platform::ForceDirectories(FDriveFolder);
  }
  const std::string limits = HostPath(root + "/capacity");
  platform::ForceDirectories(limits);
  FLimitFile = limits + "\\" + lower;
  SetCapacity(capacity);
}

LimitedDrive::~LimitedDrive() {
  SetCapacity(-1);
  if (!FDriveFolder.empty()) DeleteTree(FDriveFolder);
}

void LimitedDrive::SetCapacity(std::int64_t capacity) {
  platform::DeleteFile(FLimitFile);
  if (capacity < 0) return;
  const std::string text = std::to_string(capacity);
  const platform::FileHandle file = platform::FileCreate(FLimitFile);
  platform::FileWrite(file, text.data(), static_cast<std::int32_t>(text.size()));
  platform::FileClose(file);
}

}  // namespace qel::testing
#endif
