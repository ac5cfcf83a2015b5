// The uninstaller's own file. Windows will not delete the file of a running program, so the
// uninstaller, its work done, starts a copy of itself from the temporary folder; the copy
// waits until the uninstaller has ended, deletes its file and then the installation
// directory, and the publisher's folder "Qel" above it, each if nothing else is left in it.
#pragma once

#include <string>
#include <vector>

namespace qel::installer {

// Removes programFile, the uninstaller's file in the installation directory, now when it is
// not the running program, else through the temporary copy once this program has ended.
// False when it stays: it could not be deleted, or the copy could not be started.
bool RemoveUninstallerFile(const std::string& programFile);

// Whether the command line (without the program's name) is the temporary copy's.
bool IsCopyRemoval(const std::vector<std::string>& arguments);

// The temporary copy's work: waits for the process the arguments name to end, then deletes
// the file they name and its folder when that is empty. Deletes nothing unless the file is
// byte for byte this program and its folder holds no manifest any more, so a stray command
// line cannot take anything else with it. The program's exit code: 0 when the file is gone.
// The copy itself stays in the temporary folder: it is running.
int RunCopyRemoval(const std::vector<std::string>& arguments);

// Deletes the copy an earlier uninstall left in the temporary folder, at the start of a later
// run of the program (never the running program itself).
void RemoveStaleUninstallerCopy();

}  // namespace qel::installer
