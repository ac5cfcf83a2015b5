// The suite's entries in the registry: its line in the list of installed software, and the
// main program's path recorded for the user.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

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

// The suite's registry entries as they stand before an install writes them, to be put back
// when the install is undone: a key the install creates is deleted again with what is below
// it, a value it replaces gets its old data back.
class TRegistrationBackup final {
 public:
  TRegistrationBackup();
  // False when something stays as the install left it.
  bool Restore() const;

 private:
  struct TSavedValue {
    std::string Name;
    std::uint32_t Type = 0;
    std::string Data;
  };
  // A key given as its path of names below a root.
  struct TSavedKey {
    platform::RegistryKey Root = platform::NoRegistryKey;
    std::vector<std::string> Path;
    bool Known = false;                // false when the key could not be read: it is left alone
    std::size_t Existing = 0;          // how many leading names of the path exist
    std::vector<TSavedValue> Values;   // those it had, when the whole path exists
  };
  static TSavedKey Save(platform::RegistryKey root, std::vector<std::string> path,
                        const std::vector<std::string>& valueNames);
  static bool Restore(const TSavedKey& key);

  TSavedKey FUninstallEntry;
  TSavedKey FProgramPath;
};

}  // namespace qel::installer
