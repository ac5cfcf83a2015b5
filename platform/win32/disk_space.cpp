// Free space on Windows: GetDiskFreeSpaceExW, which counts the user's disk quota.
#include "platform/disk_space.h"

#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

std::optional<std::uint64_t> DiskFreeBytes(const std::string& path) {
  // The call wants a folder that exists: the nearest one above a folder still to be made.
  std::wstring folder = win32::WidePath(path);
  for (;;) {
    ULARGE_INTEGER available{};
    if (GetDiskFreeSpaceExW(folder.c_str(), &available, nullptr, nullptr) != 0) {
      return static_cast<std::uint64_t>(available.QuadPart);
    }
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) break;  // it exists, the volume will not say
    while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
    const std::size_t separator = folder.find_last_of(L"\\/");
    // At the root ("C:" or a share) nothing is left to climb.
    if (separator == std::wstring::npos || separator < 2) break;
    folder.resize(separator + 1);
  }
  win32::RecordLastError();
  return std::nullopt;
}

}  // namespace qel::platform
