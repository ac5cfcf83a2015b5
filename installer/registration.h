// The suite's entries in the registry: its line in the list of installed software, and the
// main program's path recorded for the user.
#pragma once

#include <string>

namespace qel::installer {

// installDir ends in "\"; uninstaller is the file name of the installer's copy there.
// Raises ERegistryException when a key or value cannot be written.
void RegisterSuite(const std::string& installDir, const std::string& uninstaller);

// Removes the suite's key from the list of installed software with everything below it;
// a key that cannot be removed (no write access to the machine's keys) stays, unreported.
void UnregisterSuite();

}  // namespace qel::installer
