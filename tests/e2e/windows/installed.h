// What an installation leaves on a Windows machine, read back the way other programs read it:
// files, registry values and shell links. Paths are UTF-8 text with "\" separators, any length. Nothing
// here raises; a missing file, key or link reads as absent.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace qel::e2e {

enum class THive { LocalMachine, CurrentUser };

// The string value, or nothing when the key or the value is missing or not a string.
std::optional<std::string> RegistryString(THive hive, const std::string& key, const std::string& value);
bool RegistryKeyExists(THive hive, const std::string& key);
// Sets a string value, making the key where it is missing.
bool SetRegistryString(THive hive, const std::string& key, const std::string& value, const std::string& data);

struct TShellLinkFields {
  std::string Target;
  std::string Arguments;
  std::string WorkingDirectory;
};
// The link file loaded through IShellLinkW and IPersistFile.
std::optional<TShellLinkFields> LoadShellLink(const std::string& linkFile);

// The per-user Start-menu programs folder, as the shell names it (made where missing).
std::string ProgramsFolder();

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
std::optional<std::string> ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& contents);
// Sets a variable of this program's environment, which the programs it starts inherit; an
// empty value removes it.
void SetEnvironment(const std::string& name, const std::string& value);
// The names in a folder, without "." and "..".
std::vector<std::string> FolderEntries(const std::string& folder);
// How many icons a program carries; the shell shows the first.
int IconCount(const std::string& program);
// A program's application manifest, empty when it has none.
std::string ManifestOf(const std::string& program);
// A value of a program's version information ("ProductName", "FileVersion", ...).
std::string VersionValue(const std::string& program, const std::string& name);

}  // namespace qel::e2e
