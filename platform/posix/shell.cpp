// The shell services in the sandbox: the profile's programs folder, links written as .lnk
// files, deleting lists of files and folders, starting host programs, and the folder picker.
#include "platform/shell.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <memory>
#include <vector>

#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/shell_list.h"
#include "platform/posix/host_path.h"
#include "platform/posix/last_error.h"
#include "platform/posix/open_files.h"
#include "platform/posix/sandbox.h"
#include "platform/posix/shell_link_file.h"
#include "platform/ui.h"

namespace qel::platform {

namespace {

// Results of the file operation, with the values the Windows shell uses for them.
constexpr int ResultSuccess = 0;
constexpr int ResultNotSupported = 1;         // an operation the stand-in does not perform
constexpr int ResultFileNotFound = 2;         // an entry names nothing
constexpr int ResultAccessDenied = 5;         // an entry (or something in its folder) would not go
constexpr int ResultInvalidFiles = 0x7C;      // an empty list, an invalid name or a drive root
constexpr int ResultCancelled = 1223;         // the user said No to the confirmation

// ShellExecute's results: above 32 when started, else the SE_ERR_* value.
constexpr std::intptr_t LaunchStarted = 42;
constexpr std::intptr_t LaunchFileNotFound = 2;   // SE_ERR_FNF
constexpr std::intptr_t LaunchPathNotFound = 3;   // SE_ERR_PNF
constexpr std::intptr_t LaunchAccessDenied = 5;   // SE_ERR_ACCESSDENIED
constexpr std::intptr_t LaunchBadFormat = 11;     // ERROR_BAD_FORMAT
constexpr std::intptr_t LaunchNoAssociation = 31; // SE_ERR_NOASSOC

// Deletes what hostPath names, a folder with everything below it; symbolic links are
// removed themselves, never followed. False when anything stays.
bool DeleteHostTree(const std::string& hostPath);

// The same for what lstat already said of hostPath.
bool DeleteHostTree(const std::string& hostPath, const struct stat& info) {
  if (!S_ISDIR(info.st_mode)) {
    // Windows will not delete a file this process holds open.
    if (posix::IsFileOpen({info.st_dev, info.st_ino})) return false;
    return unlink(hostPath.c_str()) == 0;
  }
  bool complete = true;
  {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(hostPath.c_str()), closedir);
    if (!dir) return false;
    std::vector<std::string> names;
    while (const dirent* entry = readdir(dir.get())) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    for (const std::string& name : names) complete = DeleteHostTree(hostPath + "/" + name) && complete;
  }
  return complete && rmdir(hostPath.c_str()) == 0;
}

bool DeleteHostTree(const std::string& hostPath) {
  struct stat info {};
  return lstat(hostPath.c_str(), &info) == 0 && DeleteHostTree(hostPath, info);
}

// A text naming one entry or the count of several, as the shell's question does.
std::string ConfirmDeleteText(const std::vector<std::string>& entries) {
  if (entries.size() == 1) return "Are you sure you want to delete '" + entries.front() + "'?";
  return "Are you sure you want to delete these " + std::to_string(entries.size()) + " items?";
}

void ShowDeleteError(const std::string& entry, std::uint32_t errorCode, std::uint32_t flags) {
  if ((flags & fofNoErrorUI) != 0) return;
  ShowMessageBox("Cannot delete " + entry + ": " + posix::ErrorText(errorCode), "Error Deleting File or Folder",
                 mbOK | mbIconStop);
}

// An entry of the list, resolved once for both the root check and the deletion: an uninstall
// hands tens of thousands.
struct TResolvedEntry {
  std::string Entry;
  posix::THostPath Path;
  bool Resolved = false;
  std::uint32_t Error = 0;  // why it could not be resolved
};

// Deletes one entry; the shell's result for it.
int DeleteEntry(const TResolvedEntry& resolved, std::uint32_t flags) {
  const std::string& entry = resolved.Entry;
  const posix::THostPath& path = resolved.Path;
  if (!resolved.Resolved) {
    ShowDeleteError(entry, resolved.Error, flags);
    return ResultInvalidFiles;
  }
  struct stat info {};
  if (lstat(path.Host.c_str(), &info) != 0) {
    ShowDeleteError(entry, path.ParentExists ? ErrorFileNotFound : ErrorPathNotFound, flags);
    return ResultFileNotFound;
  }
  if (!DeleteHostTree(path.Host, info)) {
    ShowDeleteError(entry, ErrorAccessDenied, flags);
    return ResultAccessDenied;
  }
  return ResultSuccess;
}

// Each entry is deleted on its own: one that fails does not keep the others. The result
// is the first failure's.
int DeleteEntries(const std::string& from, std::uint32_t flags) {
  const std::vector<std::string> entries = ShellListEntries(from);
  if (entries.empty()) return ResultInvalidFiles;
  // A drive's root is never deleted, however it is spelt ("C:", "C:\..", "c:/"): a list
  // naming one is a caller's mistake, so none of it is carried out.
  std::vector<TResolvedEntry> resolved(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    TResolvedEntry& one = resolved[i];
    one.Entry = entries[i];
    one.Resolved = posix::ResolveHostPath(one.Entry, one.Path);
    if (!one.Resolved) one.Error = LastErrorCode();
    if (one.Resolved && one.Path.IsRoot) {
      ShowDeleteError(one.Entry, ErrorAccessDenied, flags);
      return ResultInvalidFiles;
    }
  }
  if ((flags & fofNoConfirmation) == 0 &&
      ShowMessageBox(ConfirmDeleteText(entries), entries.size() == 1 ? "Confirm File Delete" : "Confirm Multiple File Delete",
                     mbYesNo | mbIconQuestion) != idYes) {
    return ResultCancelled;
  }
  int result = ResultSuccess;
  for (const TResolvedEntry& entry : resolved) {
    const int entryResult = DeleteEntry(entry, flags);
    if (result == ResultSuccess) result = entryResult;
  }
  return result;
}

bool IsRelative(const std::string& name) {
  const bool drive = name.size() >= 2 && name[1] == ':';
  const bool rooted = !name.empty() && (name[0] == '\\' || name[0] == '/');
  return !drive && !rooted;
}

// The parameters as program arguments: split at blanks, double quotes grouping blanks
// into one argument (quotes themselves dropped), as a simple Windows command line reads.
std::vector<std::string> SplitParameters(const std::string& parameters) {
  std::vector<std::string> arguments;
  std::string current;
  bool inArgument = false;
  bool quoted = false;
  for (char c : parameters) {
    if (c == '"') {
      quoted = !quoted;
      inArgument = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (inArgument) arguments.push_back(current);
      current.clear();
      inArgument = false;
    } else {
      current += c;
      inArgument = true;
    }
  }
  if (inArgument) arguments.push_back(current);
  return arguments;
}

std::intptr_t LaunchResultFromErrno(int error) {
  switch (error) {
    case ENOENT: return LaunchFileNotFound;  // e.g. the interpreter a script names
    case EACCES: case EPERM: return LaunchAccessDenied;
    case ENOEXEC: return LaunchBadFormat;
    default: return LaunchNoAssociation;
  }
}

// Starts program detached, in its own session, with the standard streams on /dev/null.
// A grandchild runs it, so no zombie stays behind and the caller never waits for it; a
// close-on-exec pipe tells whether exec succeeded.
std::intptr_t StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                            const std::string& directory) {
  // Everything the children need is prepared here: after fork only async-signal-safe calls.
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  int report[2];
  if (pipe2(report, O_CLOEXEC) != 0) return LaunchNoAssociation;
  const pid_t child = fork();
  if (child < 0) {
    close(report[0]);
    close(report[1]);
    return LaunchNoAssociation;
  }
  if (child == 0) {
    close(report[0]);
    setsid();
    const pid_t grandchild = fork();
    if (grandchild != 0) _exit(grandchild < 0 ? 1 : 0);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int null = open("/dev/null", O_RDWR);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      dup2(null, STDOUT_FILENO);
      dup2(null, STDERR_FILENO);
      if (null > STDERR_FILENO) close(null);
    }
    int error = 0;
    if (chdir(directory.c_str()) == 0) {
      execv(program.c_str(), argv.data());
    }
    error = errno;
    ssize_t ignored = write(report[1], &error, sizeof(error));
    (void)ignored;
    _exit(127);
  }
  close(report[1]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  ssize_t got;
  while ((got = read(report[0], &error, sizeof(error))) < 0 && errno == EINTR) {
  }
  close(report[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return LaunchNoAssociation;
  if (got == static_cast<ssize_t>(sizeof(error))) return LaunchResultFromErrno(error);
  return LaunchStarted;
}

}  // namespace

bool InitializeShellServices() { return true; }

bool GetProgramsFolder(std::string& path) {
  path = posix::Sandbox().ProgramsDir;
  return true;
}

struct TShellLink::TState {
  posix::TShellLinkFields Fields;
};

TShellLink::TShellLink() = default;
TShellLink::~TShellLink() = default;

bool TShellLink::Create(TShellLinkFailure& failure) {
  failure = TShellLinkFailure{};
  FState = std::make_unique<TState>();
  return true;
}

void TShellLink::SetPath(const std::string& target) {
  // The shell stores a full path, as Windows' SetPath makes one of a relative name.
  if (FState) FState->Fields.Target = target.empty() ? std::string() : ExpandFileName(target);
}

void TShellLink::SetArguments(const std::string& arguments) {
  if (FState) FState->Fields.Arguments = arguments;
}

void TShellLink::SetWorkingDirectory(const std::string& directory) {
  if (FState) FState->Fields.WorkingDirectory = directory;
}

bool TShellLink::Save(const std::string& linkFile) {
  if (!FState) return false;
  const std::string bytes = posix::ShellLinkBytes(FState->Fields);
  if (bytes.empty()) return false;
  const FileHandle file = FileCreate(linkFile);
  if (file == InvalidFileHandle) return false;
  const std::int32_t size = static_cast<std::int32_t>(bytes.size());
  const bool written = FileWrite(file, bytes.data(), size) == size;
  FileClose(file);
  return written;
}

int ShellFileOperation(std::uintptr_t /*window*/, std::uint32_t operation, const std::string& from,
                       const std::string& /*to*/, std::uint32_t flags, const std::string& /*progressTitle*/) {
  // The sandbox has no recycle bin: with fofAllowUndo the entries are deleted all the same,
  // so the caller finds them gone, as it would after the real shell moved them to the bin.
  if (operation == foDelete) return DeleteEntries(from, flags);
  return ResultNotSupported;
}

std::intptr_t ShellExecute(std::uintptr_t /*window*/, const std::string& file, const std::string& parameters,
                           const std::string& directory) {
  if (file.empty()) return LaunchFileNotFound;
  const std::string workDir = directory.empty() ? posix::CurrentDirectory() : directory;
  std::string name = file;
  if (IsRelative(file)) name = (workDir.back() == '\\' ? workDir : workDir + "\\") + file;

  posix::THostPath program;
  if (!posix::ResolveHostPath(name, program)) return LaunchFileNotFound;
  struct stat info {};
  if (stat(program.Host.c_str(), &info) != 0) return program.ParentExists ? LaunchFileNotFound : LaunchPathNotFound;
  // Only programs are started; the stand-in knows no documents and their associations.
  if (!S_ISREG(info.st_mode) || (info.st_mode & S_IXUSR) == 0) return LaunchNoAssociation;

  posix::THostPath folder;
  struct stat folderInfo {};
  if (!posix::ResolveHostPath(workDir, folder) || stat(folder.Host.c_str(), &folderInfo) != 0 ||
      !S_ISDIR(folderInfo.st_mode)) {
    return LaunchPathNotFound;
  }
  return StartDetached(program.Host, SplitParameters(parameters), folder.Host);
}

std::string BrowseForFolder(const std::string& title) {
  if (TDialogScript::Active()) return TDialogScript::NextChoice({"folder", "", title, 0}).value_or(std::string());
  // On the terminal the folder is typed: one line, an empty one cancels. Only an existing
  // folder can be picked, as in the shell's picker.
  std::cerr << "\n[" << title << "]\nFolder (empty to cancel): " << std::flush;
  std::string line;
  if (!std::getline(std::cin, line)) return {};
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const std::string folder = line;
  return !folder.empty() && DirectoryExists(folder) ? ExpandFileName(folder) : std::string();
}

}  // namespace qel::platform
