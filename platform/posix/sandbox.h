// The sandbox: a small Windows machine living in one folder of the POSIX file system.
//
// The folder is $QEL_ROOT (default $HOME/.local/share/qel-root). Drive X: is
// $QEL_ROOT/drive_x, C: is $QEL_ROOT/drive_c, any other letter L is $QEL_ROOT/drive_l when
// that folder exists, and Z: is the POSIX root "/". The first use in a process of a drive of
// the sandbox (any letter but Z:) or of its registry lays out a fresh system where none is:
// C:\Program Files, C:\WINDOWS and the user's profile with its Start Menu\Programs folder. A
// program that only reads and writes the host's own files, on Z:, leaves the sandbox untouched.
#pragma once

#include <cstdint>
#include <string>

namespace qel::platform::posix {

struct TSandboxLayout {
  std::string Root;             // POSIX path of the sandbox folder
  std::string ProgramFilesDir;  // "C:\Program Files"
  std::string WindowsDir;       // "C:\WINDOWS"
  std::string ProfileDir;       // "C:\Documents and Settings\<user>"
  std::string ProgramsDir;      // ProfileDir + "\Start Menu\Programs"
};

// Lays the sandbox out on the first call in the process; later calls return the same layout.
const TSandboxLayout& Sandbox();
// The POSIX path of the sandbox folder, without laying anything out (it may not exist).
const std::string& SandboxRoot();

// Hook for what a fresh system holds beyond its folders (the registry values a new
// Windows has: ProgramFilesDir, the per-user Shell Folders "Programs"). It is called once
// with the layout when Sandbox() finds no system in the sandbox folder and lays one out,
// after the folders stand, so it may use the platform's file calls. Set it before the
// first use of the sandbox; a stand-in that keeps its own files can instead create them
// from Sandbox() when it finds them missing.
using TFreshSystemHook = void (*)(const TSandboxLayout& layout);
void SetFreshSystemHook(TFreshSystemHook hook);

// The POSIX folder of a drive's root, or empty when the drive does not exist. Asking for a
// drive of the sandbox lays the sandbox out; Z: needs none.
std::string DriveHostRoot(char drive);

// The size a file on drive letter may grow to: the number on the first line of
// $QEL_ROOT/capacity/<letter>, or -1 when there is no such file (and always for Z:, the host's
// own file system). It lets a test try out a disk that refuses a write, as a full one does.
std::int64_t DriveCapacity(char letter);

// A POSIX path of this machine as the Z: path Windows programs see ("/a/b" -> "Z:\a\b").
std::string HostToWindowsPath(const std::string& hostPath);

// The current directory is the stand-in's own, a full Windows path; it starts as the
// process's POSIX working directory seen on Z:.
std::string CurrentDirectory();
void SetCurrentDirectory(const std::string& fullPath);

}  // namespace qel::platform::posix
