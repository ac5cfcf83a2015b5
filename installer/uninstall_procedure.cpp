// The uninstaller: removes the files the manifest names, the manifest, the Start-menu folder
// and the entry in the list of installed software.
#include <algorithm>
#include <string>

#include "base/text.h"
#include "installer/file_utilities.h"
#include "installer/install_form.h"
#include "installer/registry_cursor.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/ui.h"

namespace qel::installer {

namespace {

constexpr const char* DefaultProgramsFolder = "C:\\WINDOWS\\Main menu\\Programs";

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

std::string ProgramsFolder() {
  TRegistryCursor registry;
  // Below the per-user "Software" there is normally no "SOFTWARE": that step fails and the
  // walk goes on from where it stands.
  for (const char* key : {"SOFTWARE", "Microsoft", "Windows", "CurrentVersion", "Explorer"}) {
    registry.OpenKey(key, false);
  }
  return registry.ReadString("Shell Folders", "Programs", DefaultProgramsFolder);
}

}  // namespace

void TInstallForm::DoUninstall() {
  FSkipExitQuery = true;
  if (platform::ShowMessageBox("You really want to remove Qel Orvane?", "Attention",
                               platform::mbOKCancel | platform::mbIconInformation) != platform::idOK) {
    Close();
    return;
  }
  const auto finish = [this] {
    platform::ShowMessageBox("Uninstalling is completed.", "Qel Orvane!", platform::mbOK | platform::mbIconInformation);
    Close();
  };
  try {
    std::string deleteList;
    const std::string programFolder = base::ExtractFilePath(FProgramFile);
    base::TStringList& lines = Zipper.FilesList();
    lines.LoadFromFile(programFolder + "install.dat");
    for (std::int32_t i = 0; i < lines.Count(); ++i) {
      const std::string path = programFolder + lines.Strings(i);
      if (StaysInsideFolder(lines.Strings(i)) && platform::FileExists(path)) AppendToList(deleteList, path);
    }
    AppendToList(deleteList, programFolder + "install.dat");
    deleteList += '\0';
    ShellFileOp(0, platform::foDelete, deleteList, false, deleteList);

    std::string menuList;
    AppendToList(menuList, ProgramsFolder() + "\\Qel\\Qel Orvane");
    menuList += '\0';
    ShellFileOp(0, platform::foDelete, menuList, false, menuList);

    TRegistryCursor registry;
    registry.SetRootKey(platform::RegistryLocalMachine);
    for (const char* key : {"Software", "Microsoft", "Windows", "CurrentVersion", "Uninstall"}) {
      registry.OpenKey(key, true);
    }
    registry.DeleteKey("Qel Orvane");
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

}  // namespace qel::installer
