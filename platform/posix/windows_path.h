// Windows path names as the stand-in understands them: a drive letter and the names of
// the folders below its root, with "\" or "/" as separators.
#pragma once

#include <string>
#include <vector>

namespace qel::platform::posix {

struct TWindowsPath {
  char Drive = 'Z';                     // upper case
  std::vector<std::string> Components;  // neither "." nor ".." nor empty
  bool TrailingSeparator = false;       // the name ended in "\" (never set for a drive root)
  bool Unc = false;                     // "\\server\share\...": names no drive of the sandbox
  std::string UncText;                  // the UNC name as given, "/" turned into "\"
};

// The full path for name, taken relative to currentDir (a full path like "Z:\home\me")
// when it has no drive or does not start at a root, as GetFullPathName does: "." and ".."
// are resolved (".." stops at the root), trailing dots and spaces of a component are dropped.
TWindowsPath ParseWindowsPath(const std::string& name, const std::string& currentDir);

// "X:\a\b", "X:\" for a root; with a closing "\" when TrailingSeparator is set.
std::string FormatWindowsPath(const TWindowsPath& path);

// False for a component Windows does not accept as a file name: one holding a control
// character or one of < > : " | ? *.
bool IsValidComponent(const std::string& component);

}  // namespace qel::platform::posix
