// The names the suite is known by on a machine: its files, its Start-menu folder, its
// registry keys. Install and uninstall must agree on every one of them, so each is said here once.
#pragma once

#include <array>

namespace qel::installer {

inline constexpr const char* SuiteName = "Qel Orvane";
inline constexpr const char* SuiteVersion = "1.0";
// The publisher, and the folder above the suite's own in the Start menu and the per-user registry.
inline constexpr const char* PublisherFolder = "Qel";

// The archive, relative to the current directory, and the manifest in the installation directory.
inline constexpr const char* ImageName = "image.zip";
inline constexpr const char* ManifestName = "install.dat";

// The main program as the registry and the launch name it; the file system compares names
// without regard to case, so its shortcut's "DoVra.exe" is the same file.
inline constexpr const char* MainProgram = "Dovra.exe";
// The installer's usual name, and the argument that makes it the uninstaller.
inline constexpr const char* InstallerFile = "Install.exe";
inline constexpr const char* UninstallArgument = "u";
// The switch of an unattended run, as deployment tools pass it.
inline constexpr const char* SilentSwitch = "/S";
// The uninstaller cannot delete its own file while it runs: a copy of it in the temporary
// folder, started with this argument, the uninstaller's process id and its path, removes
// it once it has ended.
inline constexpr const char* CopyRemovalArgument = "/cleanup";
inline constexpr const char* TemporaryUninstallerName = "Qel Orvane uninstall.exe";

// Where the Start menu is taken to be when no Programs folder is known.
inline constexpr const char* FallbackProgramsFolder = "C:\\WINDOWS\\Main menu\\Programs";
// Below HKEY_LOCAL_MACHINE, the list of installed software; the suite's entry is SuiteName below it.
inline constexpr std::array<const char*, 5> UninstallKeyPath = {"Software", "Microsoft", "Windows", "CurrentVersion",
                                                                "Uninstall"};
// The same path below HKEY_CURRENT_USER is the list of software installed for that user only:
// the suite's entry goes there when the machine's list refuses a user without administrator rights.

// The caption of every question the installer asks.
inline constexpr const char* AttentionCaption = "Attention";

struct TShortcutRow {
  const char* LinkName;
  const char* TargetFile;
};

// The suite's programs in the Start menu, in the order they are created.
inline constexpr std::array<TShortcutRow, 8> SuiteShortcuts = {{
    {"Qel Dovra", "DoVra.exe"},
    {"Pixet", "QelPixet.exe"},
    {"Qel Farrow", "QelFarrow.exe"},
    {"Qel Marken", "QelMarken.exe"},
    {"Qel Zonda", "QelZonda.exe"},
    {"Qel Dayvo", "QelDayvo.exe"},
    {"Qel Scrivo", "QelScrivo.exe"},
    {"Qel Lantern", "qellantern.url"},
}};
inline constexpr const char* UninstallLinkName = "Uninstall";
// The journal of a run, in the temporary folder, where any later start finds it.
inline constexpr const char* JournalFileName = "Qel Orvane setup.journal";

}  // namespace qel::installer
