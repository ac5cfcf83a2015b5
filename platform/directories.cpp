// Directory helpers built on the platform's own calls, the same on every build.
#include "platform/files.h"

namespace qel::platform {

bool ForceDirectories(const std::string& path) {
  std::string full = ExpandFileName(path);
  while (full.size() > 3 && full.back() == '\\') full.pop_back();
  if (full.empty()) return false;
  if (DirectoryExists(full)) return true;
  const std::size_t separator = full.rfind('\\');
  // A drive root that does not exist, or a name that is not a path at all.
  if (separator == std::string::npos || separator + 1 == full.size()) return false;
  const std::string parent = full.substr(0, separator == 2 ? 3 : separator);
  if (parent != full && !ForceDirectories(parent)) return false;
  if (CreateDir(full)) return true;
  // Another program may have created the folder in the meantime; it is there all the same.
  // Looked for only then, so that any other failure keeps its own error for the caller.
  return LastErrorCode() == ErrorAlreadyExists && DirectoryExists(full);
}

}  // namespace qel::platform
