// Where the sandbox lives, and its first lay-out.
#include "platform/posix/sandbox.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/code_pages.h"

namespace qel::platform::posix {

namespace {

std::mutex StateLock;
TFreshSystemHook FreshSystemHook = nullptr;
std::string CurrentDir;  // empty until first asked for

std::string SandboxRootFromEnvironment() {
  if (const char* root = std::getenv("QEL_ROOT"); root != nullptr && *root != '\0') return root;
  const char* home = std::getenv("HOME");
  std::string base = home != nullptr && *home != '\0' ? home : "/tmp";
  return base + "/.local/share/qel-root";
}

// The account name as a Windows user name: ANSI, without the characters a folder name may not hold.
std::string UserName() {
  std::string name;
  if (const char* user = std::getenv("USER"); user != nullptr && *user != '\0') {
    name = user;
  } else if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_name != nullptr) {
    name = entry->pw_name;
  }
  std::string clean;
  for (unsigned char c : name) {
    if (c >= 0x20 && std::string_view("<>:\"/\\|?*").find(static_cast<char>(c)) == std::string_view::npos) {
      clean += static_cast<char>(c);
    }
  }
  return clean.empty() ? "User" : clean;
}

bool IsDirectory(const std::string& hostPath) {
  struct stat info {};
  return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// mkdir -p for folders of the sandbox itself, whose names are ASCII or already UTF-8.
void MakeHostDirectories(const std::string& hostPath) {
  for (std::size_t slash = hostPath.find('/', 1); ; slash = hostPath.find('/', slash + 1)) {
    mkdir(hostPath.substr(0, slash).c_str(), 0777);
    if (slash == std::string::npos) break;
  }
}

// "C:\a\b" inside the sandbox -> its POSIX folder.
std::string HostFolderOf(const std::string& root, const std::string& windowsPath) {
  std::string host = root + "/drive_" + static_cast<char>(std::tolower(static_cast<unsigned char>(windowsPath[0])));
  for (char c : windowsPath.substr(2)) host += c == '\\' ? '/' : c;
  return host;
}

struct TLaidOut {
  TSandboxLayout Layout;
  bool Fresh = false;  // no system was there before
};

TLaidOut LayOutSandbox() {
  TLaidOut result;
  TSandboxLayout& layout = result.Layout;
  layout.Root = SandboxRoot();
  layout.ProgramFilesDir = "C:\\Program Files";
  layout.WindowsDir = "C:\\WINDOWS";
  layout.ProfileDir = "C:\\Documents and Settings\\" + UserName();
  layout.ProgramsDir = layout.ProfileDir + "\\Start Menu\\Programs";

  result.Fresh = !IsDirectory(layout.Root + "/drive_c");
  MakeHostDirectories(layout.Root + "/drive_x");
  for (const std::string* folder : {&layout.ProgramFilesDir, &layout.WindowsDir, &layout.ProgramsDir}) {
    MakeHostDirectories(HostFolderOf(layout.Root, *folder));
  }
  MakeHostDirectories(HostFolderOf(layout.Root, layout.ProfileDir + "\\Desktop"));
  return result;
}

}  // namespace

const TSandboxLayout& Sandbox() {
  static const TLaidOut laidOut = LayOutSandbox();
  // The hook runs once the layout stands, so it may itself use the sandbox's files.
  static std::atomic<bool> hookDone{false};
  if (laidOut.Fresh && !hookDone.exchange(true)) {
    TFreshSystemHook hook;
    {
      std::lock_guard<std::mutex> guard(StateLock);
      hook = FreshSystemHook;
    }
    if (hook != nullptr) hook(laidOut.Layout);
  }
  return laidOut.Layout;
}

const std::string& SandboxRoot() {
  static const std::string root = SandboxRootFromEnvironment();
  return root;
}

void SetFreshSystemHook(TFreshSystemHook hook) {
  std::lock_guard<std::mutex> guard(StateLock);
  FreshSystemHook = hook;
}

std::string DriveHostRoot(char drive) {
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(drive)));
  if (letter < 'a' || letter > 'z') return {};
  if (letter == 'z') return "/";
  std::string root = Sandbox().Root + "/drive_" + letter;
  return IsDirectory(root) ? root : std::string();
}

std::string HostToWindowsPath(const std::string& hostPath) {
  std::string path = "Z:";
  for (char c : hostPath) path += c == '/' ? '\\' : c;
  if (path.size() == 2) path += '\\';
  // A root keeps its "\"; any other folder loses a closing one, as Windows reports folders.
  while (path.size() > 3 && path.back() == '\\') path.pop_back();
  return path;
}

std::string CurrentDirectory() {
  std::lock_guard<std::mutex> guard(StateLock);
  if (CurrentDir.empty()) {
    std::vector<char> buffer(4096);
    while (getcwd(buffer.data(), buffer.size()) == nullptr && errno == ERANGE) buffer.resize(buffer.size() * 2);
    CurrentDir = buffer[0] == '/' ? HostToWindowsPath(buffer.data()) : "Z:\\";
  }
  return CurrentDir;
}

void SetCurrentDirectory(const std::string& fullPath) {
  std::lock_guard<std::mutex> guard(StateLock);
  CurrentDir = fullPath;
}

}  // namespace qel::platform::posix
