// The suite's entries in the registry: its line in the list of installed software, and the
// main program's path recorded for the user.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace qel::installer {

struct TRegistration {
  std::string InstallDir;   // ending in "\"
  std::string Uninstaller;  // the file name of the installer's copy there
  std::uint32_t EstimatedSizeKB = 0;
};

// Where the entry in the list of installed software went: the machine's list (every user
// sees it), or, for a user without administrator rights, the user's own list.
enum class TRegistrationScope { AllUsers, CurrentUser };

// Writes the entry the list of installed software shows (name, version, publisher, icon,
// place, size, and the quoted uninstall command; no Change or Repair buttons) below
// HKEY_LOCAL_MACHINE, or below HKEY_CURRENT_USER when the machine's hive refuses the key,
// and the per-user program path. Raises ERegistryException when neither hive takes the key,
// or a value cannot be written.
TRegistrationScope RegisterSuite(const TRegistration& registration);

// The command the list of installed software runs to uninstall: the program's path in
// quotes, so a path with blanks cannot be taken for a shorter program, then the argument.
std::string UninstallCommand(const std::string& program);
// The same for an uninstall with nobody at the screen: the command, then "/S".
std::string QuietUninstallCommand(const std::string& program);

// Removes the suite's entry, with everything below it, from the machine's and the user's list
// of installed software, wherever it is. False when an entry is still there afterwards (the
// machine's, for a user without administrator rights).
bool UnregisterSuite();

// The suite's registry entries as they stand before an install writes them (the entry in the
// machine's and in the user's list of installed software, and the program path), to be put
// back when the install is undone: a key the install creates is deleted again with what is
// below it, a value it replaces gets its old data back, and a value it adds to a key that was
// there goes again. Restoring twice does no more than restoring once.
class TRegistrationBackup final {
 public:
  // Reads the entries as they stand now.
  TRegistrationBackup();
  // False when something stays as the install left it.
  bool Restore() const;

  // The saved state as text (any bytes) for a journal on disk, and a backup made from such
  // text again; nullopt for text that is not one Text gave.
  std::string Text() const;
  static std::optional<TRegistrationBackup> FromText(const std::string& text);

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
    // The first level of the path that is the suite's own. The levels above are shared with
    // other software, which may have put its own keys in them by the time of an undo (a
    // rollback may wait for the next start): they stay, even when the install made them.
    std::size_t OwnFrom = 0;
    const std::vector<std::string>* Names = nullptr;  // the values looked at
    // Every value such a key holds has its name in Names, so the key may be written anew from
    // what was saved: the one way to take away a value the install added.
    bool NamesComplete = false;
    bool Known = false;                // false when the key could not be read: it is left alone
    std::size_t Existing = 0;          // how many leading names of the path exist
    std::vector<TSavedValue> Values;   // those it had, when the whole path exists
  };
  static constexpr std::size_t KeyCount = 3;

  struct TUnread {};
  explicit TRegistrationBackup(TUnread);
  static void Read(TSavedKey& key);
  static bool Restore(const TSavedKey& key);
  static bool RestoreValues(const TSavedKey& key);
  static bool WriteAnew(const TSavedKey& key);

  // The machine's entry, the user's entry, the program path: the order of the text.
  std::array<TSavedKey, KeyCount> FKeys;
};

// The state the journal of an install keeps before the registry is changed, and its undo:
// TRegistrationBackup's text, and its Restore (false too for text that is not such a state).
std::string SaveRegistrationState();
bool RestoreRegistrationState(const std::string& savedState);

}  // namespace qel::installer
