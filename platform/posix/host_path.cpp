// Case-insensitive resolution of Windows names in the POSIX file system.
#include "platform/posix/host_path.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

#include "platform/code_pages.h"
#include "platform/files.h"
#include "platform/posix/last_error.h"
#include "platform/posix/sandbox.h"
#include "platform/posix/windows_path.h"

namespace qel::platform::posix {

namespace {

thread_local bool NamesAreUtf8 = false;

// A component of the name given, as the file system spells it.
std::string HostName(const std::string& component) { return NamesAreUtf8 ? component : AnsiToUtf8(component); }

// Whether an entry of a folder is the component, ignoring case as Windows-1252 folds letters.
// A UTF-8 component with characters outside that code page is compared byte for byte.
bool SameName(const std::string& hostName, const std::string& component) {
  if (!NamesAreUtf8) return SameTextLocale(Utf8ToAnsi(hostName), component);
  bool hostLossy = false;
  bool componentLossy = false;
  const std::string host = Utf8ToAnsi(hostName, '?', hostLossy);
  const std::string wanted = Utf8ToAnsi(component, '?', componentLossy);
  if (hostLossy || componentLossy) return hostName == component;
  return SameTextLocale(host, wanted);
}

bool Exists(const std::string& hostPath) {
  struct stat info {};
  return lstat(hostPath.c_str(), &info) == 0;
}

bool IsDirectory(const std::string& hostPath) {
  struct stat info {};
  return stat(hostPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder.back() == '/' ? folder + name : folder + '/' + name;
}

// The entry of folder whose name equals component ignoring case; of several (a POSIX
// folder may hold "a" and "A"), the smallest name, so the choice does not depend on the
// order the folder lists its entries in.
std::string FindIgnoringCase(const std::string& folder, const std::string& component) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return {};
  std::string best;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string hostName = entry->d_name;
    if (hostName == "." || hostName == "..") continue;
    if (SameName(hostName, component) && (best.empty() || hostName < best)) best = hostName;
  }
  return best;
}

}  // namespace

bool ResolveHostPath(const std::string& name, THostPath& result) {
  Sandbox();  // the first name the program uses lays out a fresh system
  if (name.empty()) return Fail(ErrorPathNotFound);
  const TWindowsPath path = ParseWindowsPath(name, CurrentDirectory());
  if (path.Unc) return Fail(ErrorBadNetPath);
  result.Windows = FormatWindowsPath(path);
  result.IsRoot = path.Components.empty();
  result.Host = DriveHostRoot(path.Drive);
  if (result.Host.empty()) return Fail(ErrorPathNotFound);

  for (const std::string& component : path.Components) {
    if (!IsValidComponent(component)) return Fail(ErrorInvalidName);
  }
  // Most names are spelt as they are on disk: one look at the whole path settles them, and
  // only the others are resolved a component at a time.
  if (!path.Components.empty()) {
    std::string exact = result.Host;
    for (const std::string& component : path.Components) exact = Join(exact, HostName(component));
    if (Exists(exact)) {
      result.Host = std::move(exact);
      result.ParentExists = true;
      return true;
    }
    // A file about to be created usually lies in a folder spelt as on disk: only its own
    // name needs the folder listed.
    const std::string parent = exact.substr(0, exact.rfind('/'));
    if (path.Components.size() > 1 && IsDirectory(parent)) {
      const std::string match = FindIgnoringCase(parent, path.Components.back());
      result.Host = match.empty() ? std::move(exact) : Join(parent, match);
      result.ParentExists = true;
      return true;
    }
  }

  bool found = true;  // every component so far exists on disk
  for (std::size_t i = 0; i < path.Components.size(); ++i) {
    const std::string& component = path.Components[i];
    const bool last = i + 1 == path.Components.size();
    if (last) result.ParentExists = found && IsDirectory(result.Host);
    std::string exact = Join(result.Host, HostName(component));
    if (found && !Exists(exact)) {
      const std::string match = FindIgnoringCase(result.Host, component);
      if (match.empty()) {
        found = false;
      } else {
        exact = Join(result.Host, match);
      }
    }
    result.Host = std::move(exact);
  }
  return true;
}

TUtf8Names::TUtf8Names() : FPrevious(NamesAreUtf8) { NamesAreUtf8 = true; }
TUtf8Names::~TUtf8Names() { NamesAreUtf8 = FPrevious; }

bool FailMissing(const THostPath& path) {
  return Fail(path.ParentExists ? ErrorFileNotFound : ErrorPathNotFound);
}

}  // namespace qel::platform::posix
