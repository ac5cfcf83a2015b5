// The program's exit status: how an install or uninstall ended, for the script that started
// it. The window and the silent run return the same statuses.
#pragma once

#include <exception>
#include <string>

namespace qel::installer {

enum class TExitStatus : int {
  esDone = 0,          // installed, or uninstalled (files in use may wait for the next restart)
  esCancelled = 1,     // the user left or declined; nothing was changed
  esBadImage = 2,      // image.zip is missing or damaged (for an uninstall: its list of files)
  esNoRights = 3,      // a folder, file or registry key was refused for want of rights
  esWriteFailed = 4,   // a file or folder could not be written or removed (a full disk, a file in use)
  esRolledBack = 5,    // stopped by another error; what the installation had changed was undone
};

// The status for the error of an install or uninstall that stopped: by the error's class, and
// for a system error by its code. otherwise: for an error none of those tell.
TExitStatus StatusOfError(const std::exception_ptr& error, TExitStatus otherwise);

inline int ExitCode(TExitStatus status) { return static_cast<int>(status); }
// What the status means, for the log: "installed or uninstalled", "cancelled", ...
const char* StatusText(TExitStatus status);

// The message of an error, as a box or the log shows it.
std::string ErrorText(const std::exception_ptr& error);

}  // namespace qel::installer
