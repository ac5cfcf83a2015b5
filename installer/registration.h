// The suite's entries in the registry: its line in the list of installed software, and the
// main program's path recorded for the user.
#pragma once

#include <cstdint>
#include <string>

namespace qel::installer {

struct TRegistration {
  std::string InstallDir;   // ending in "\"
  std::string Uninstaller;  // the file name of the installer's copy there
  std::uint32_t EstimatedSizeKB = 0;
};

// Writes the entry the list of installed software shows (name, version, publisher, icon,
// place, size, and the quoted uninstall command; no Change or Repair buttons) and the
// per-user program path. Raises ERegistryException when a key or value cannot be written.
void RegisterSuite(const TRegistration& registration);

// The command the list of installed software runs to uninstall: the program's path in
// quotes, so a path with blanks cannot be taken for a shorter program, then the argument.
std::string UninstallCommand(const std::string& program);

// Removes the suite's key from the list of installed software with everything below it.
// False when the key is still there afterwards (no write access to the machine's keys).
bool UnregisterSuite();

}  // namespace qel::installer
