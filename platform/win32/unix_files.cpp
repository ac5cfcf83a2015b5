// Windows keeps no Unix permissions, and a link entry is written as a file holding its target.
#include "platform/unix_files.h"

#include "platform/files.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/windows_api.h"

namespace qel::platform {

bool HasUnixFiles() { return false; }

bool FileSetMode(const std::string&, std::uint32_t) { return true; }

bool CreateSymbolicLink(const std::string&, const std::string&, std::optional<TFileTime>) {
  win32::RecordError(ErrorInvalidParameter);
  return false;
}

bool IsSymbolicLink(const std::string& name) {
  const DWORD attributes = GetFileAttributesW(win32::WidePath(name).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace qel::platform
