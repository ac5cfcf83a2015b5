// An uninstallation: removes what an install put in place, as its manifest in the program's
// own folder lists it, with the Start-menu folder and the registration.
#pragma once

#include <string>

#include "installer/procedure_host.h"

namespace qel::installer {

class TUninstallation final {
 public:
  // programFile: the running uninstaller's full path; its folder is taken to be the
  // installation directory, where the manifest lies and below which every line points.
  TUninstallation(std::string programFile, TUserDialogue& dialogue);
  TUninstallation(const TUninstallation&) = delete;
  TUninstallation& operator=(const TUninstallation&) = delete;

  // Asks whether to remove the suite; false when the user declines, and nothing changes.
  bool Confirm();
  // Removes the listed files and the manifest, the Start-menu folder and the registration,
  // then shows the notice. The notice shows also when an error ends the removal; the error
  // then travels on.
  void Run();

 private:
  void Remove();
  void RemoveListedFiles();

  std::string FProgramFolder;
  TUserDialogue& FDialogue;
};

}  // namespace qel::installer
