#include "installer/uninstallation.h"

#include <algorithm>

#include "base/text.h"
#include "installer/file_utilities.h"
#include "installer/manifest.h"
#include "installer/registration.h"
#include "installer/start_menu.h"
#include "installer/suite.h"
#include "platform/files.h"
#include "platform/shell.h"

namespace qel::installer {

namespace {

void AppendToList(std::string& list, const std::string& path) {
  list += path;
  list += '\0';
}

// A manifest line names a file below the program folder. One that climbs out of it (a ".."
// component), names a drive or starts at a root would delete files the suite never put there.
bool StaysInsideFolder(const std::string& line) {
  if (line.empty() || line.front() == '\\' || line.find(':') != std::string::npos) return false;
  std::size_t start = 0;
  while (start <= line.size()) {
    const std::size_t end = std::min(line.find('\\', start), line.size());
    // Windows drops trailing dots and spaces, so "..." and ".. " climb as ".." does.
    const std::string component = line.substr(start, end - start);
    if (component.find_first_not_of(". ") == std::string::npos &&
        std::count(component.begin(), component.end(), '.') >= 2) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

// The shell deletes permanently and without asking; it may still show its own errors.
void DeleteThroughShell(const std::string& list) { ShellFileOp(0, platform::foDelete, list, false, list); }

}  // namespace

TUninstallation::TUninstallation(std::string programFile, TUserDialogue& dialogue)
    : FProgramFolder(base::ExtractFilePath(programFile)), FDialogue(dialogue) {}

bool TUninstallation::Confirm() { return FDialogue.Ask("You really want to remove Qel Orvane?"); }

void TUninstallation::Run() {
  const auto notify = [this] { FDialogue.Tell("Uninstalling is completed.", "Qel Orvane!"); };
  try {
    Remove();
  } catch (...) {
    notify();
    throw;
  }
  notify();
}

void TUninstallation::Remove() {
  RemoveListedFiles();
  std::string menuList;
  AppendToList(menuList, MenuFolderToRemove());
  menuList += '\0';
  DeleteThroughShell(menuList);
  UnregisterSuite();
}

void TUninstallation::RemoveListedFiles() {
  const std::string manifest = FProgramFolder + ManifestName;
  std::string deleteList;
  for (const std::string& line : ReadManifest(manifest)) {
    const std::string path = FProgramFolder + line;
    if (StaysInsideFolder(line) && platform::FileExists(path)) AppendToList(deleteList, path);
  }
  AppendToList(deleteList, manifest);
  deleteList += '\0';
  DeleteThroughShell(deleteList);
}

}  // namespace qel::installer
