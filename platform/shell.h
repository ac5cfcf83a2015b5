// The shell services the installer uses: the Start-menu programs folder, shell links, file
// operations and launching programs. Paths are UTF-8 text with "\" separators.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace qel::platform {

// Apartment-threaded COM for the calling thread, which the shell-link object needs; the
// application calls it once at start-up. True when COM is ready on the thread (also when it
// was already initialised, in either mode).
bool InitializeShellServices();

// The per-user Start-menu programs folder (CSIDL_PROGRAMS), without a trailing "\"; false
// when the shell cannot name it.
bool GetProgramsFolder(std::string& path);

// Why a shell-link object could not be made.
struct TShellLinkFailure {
  bool InterfaceMissing = false;  // the object lacks IShellLinkA or IPersistFile
  std::string SystemText;         // the system's text for the failure code
  std::string ClassId;            // the class identifier, "{00021401-0000-0000-C000-000000000046}"
};

// A shell link (the ShellLink COM object with IShellLinkA and IPersistFile on Windows).
class TShellLink final {
 public:
  TShellLink();
  ~TShellLink();  // releases the interfaces and the object
  TShellLink(const TShellLink&) = delete;
  TShellLink& operator=(const TShellLink&) = delete;

  // Makes the object; false, with failure filled in, when it cannot. The other operations
  // need a successful Create.
  bool Create(TShellLinkFailure& failure);
  void SetPath(const std::string& target);
  void SetArguments(const std::string& arguments);
  void SetWorkingDirectory(const std::string& directory);
  // Writes the link file (not remembered as the object's file); false when it cannot.
  bool Save(const std::string& linkFile);

 private:
  struct TState;  // the COM interfaces on Windows, the link's fields on POSIX
  std::unique_ptr<TState> FState;
};

// SHFileOperationA: operation codes and flags with the Windows values.
inline constexpr std::uint32_t foMove = 1;
inline constexpr std::uint32_t foCopy = 2;
inline constexpr std::uint32_t foDelete = 3;
inline constexpr std::uint32_t foRename = 4;
inline constexpr std::uint32_t fofSilent = 0x0004;
inline constexpr std::uint32_t fofNoConfirmation = 0x0010;
inline constexpr std::uint32_t fofWantMappingHandle = 0x0020;
inline constexpr std::uint32_t fofAllowUndo = 0x0040;
inline constexpr std::uint32_t fofNoConfirmMkDir = 0x0200;
inline constexpr std::uint32_t fofNoErrorUI = 0x0400;

// from and to are lists in the shell's form: each path ended by a NUL, one more NUL after
// the last. Returns the shell's result, 0 on success. A delete that names a drive's root is
// refused (0x7C) without touching anything.
// In the POSIX sandbox only foDelete is carried out (the others return 1): each entry is
// deleted, a folder with its content, and one that fails (2 missing, 5 not deletable) does
// not keep the others; an empty list or invalid name gives 0x7C. There is no recycle bin, so
// fofAllowUndo deletes too. Without fofNoConfirmation a Yes/No message box asks first (No:
// 1223); without fofNoErrorUI each failure is shown in a message box.
int ShellFileOperation(std::uintptr_t window, std::uint32_t operation, const std::string& from,
                       const std::string& to, std::uint32_t flags, const std::string& progressTitle);

// ShellExecuteA with no verb and SW_SHOWNORMAL; the result as ShellExecuteA gives it
// (above 32 when the program was started). In the POSIX sandbox a relative file is taken
// from directory; an executable host file is started detached in directory (42), a missing
// one gives 2 (3 when its folder or directory is missing), anything else 31.
std::intptr_t ShellExecute(std::uintptr_t window, const std::string& file, const std::string& parameters,
                           const std::string& directory);

// The shell's folder picker (SHBrowseForFolderA) with the given title, rooted at the desktop,
// file-system folders only, owned by the application window and centred on the screen. The
// chosen folder's path, or the empty text when the user cancels. Scripted answers
// (TDialogScript, kind "folder", the title as caption) stand in for the user as for the other
// dialogs. The POSIX terminal has no picker yet: unscripted, it answers as Cancel.
std::string BrowseForFolder(const std::string& title);

}  // namespace qel::platform
