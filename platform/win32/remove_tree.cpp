// Removing a folder tree, beyond the classic path limit. A file of its own: the shell's
// deletion uses it too, and the console's streams must not come with it into the installer.
#include "platform/console.h"
#include "platform/files.h"
#include "platform/win32/folder_walk.h"

namespace qel::platform {

bool RemoveTree(const std::string& path) {
  std::string folder = path;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  bool ok = true;
  win32::ForEachEntry(folder, [&](const std::string& child, DWORD attributes) {
    if (win32::IsRealFolder(attributes)) {
      ok = RemoveTree(child) && ok;
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      ok = RemoveDir(child) && ok;
    } else {
      FileSetAttr(child, FILE_ATTRIBUTE_NORMAL);
      ok = DeleteFile(child) && ok;
    }
  });
  return RemoveDir(folder) && ok;
}

}  // namespace qel::platform
