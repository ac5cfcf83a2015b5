// An uninstallation: removes what an install put in place, as its manifest in the program's
// own folder lists it: the files, the folders the archive created once they are empty, the
// manifest, the uninstaller's own file and the installation directory when nothing else is
// in it, the Start-menu folder and the registration. Files the user added stay, and so do
// the folders that hold them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "installer/exit_status.h"
#include "installer/procedure_host.h"

namespace qel::installer {

class TUninstallation final {
 public:
  // programFile: the running uninstaller's full path; its folder is taken to be the
  // installation directory, where the manifest lies and below which every line points.
  // progress, when given, hears how far the removal is: each batch of files as it starts (the
  // first one's path in the folder, its number, the number of files), the share of the files
  // and of all the work (files, then folders) done.
  TUninstallation(std::string programFile, TUserDialogue& dialogue, TProgressSink* progress = nullptr);
  TUninstallation(const TUninstallation&) = delete;
  TUninstallation& operator=(const TUninstallation&) = delete;

  // Asks whether to remove the suite; false when the user declines, and nothing changes.
  bool Confirm();
  // Removes the suite and tells the user how it went: "Uninstalling is completed." only when
  // nothing of it is left, else what was left and where. Without a readable manifest nothing
  // is removed, and the notice says so. An error that ends the removal midway is told as
  // such, then travels on.
  void Run();

  // What should have gone and is still there, after Run; of that, the files in use that the
  // system deletes at its next start are apart.
  const std::vector<std::string>& Left() const noexcept { return FLeft; }
  const std::vector<std::string>& Scheduled() const noexcept { return FScheduled; }
  // How Run ended: done (files in use waiting for the next start included); the manifest could
  // not be read (nothing removed); only the registration stayed, for want of rights; or
  // something else stayed.
  TExitStatus Outcome() const noexcept;

  // The full path below folder (which ends in "\") that a manifest line names, with "/"
  // read as "\"; false for a line that would leave the folder: "..", a drive, a UNC or
  // rooted path, or one that is empty.
  static bool PathBelow(const std::string& folder, const std::string& line, std::string& path);

 private:
  void Remove(const std::vector<std::string>& lines);
  // Each returns what the next step needs: the files handed to the shell, the folders that stayed.
  std::vector<std::string> RemoveListedFiles(const std::vector<std::string>& paths);
  std::vector<std::string> RemoveCreatedFolders(const std::vector<std::string>& folders);
  void RemoveWhatStayed(const std::vector<std::string>& files, const std::vector<std::string>& stayed);
  void Advance(std::size_t done);
  void Notify();

  std::string FProgramFile;
  std::string FProgramFolder;
  TUserDialogue& FDialogue;
  TProgressSink* FProgress;
  std::vector<std::string> FLeft;
  std::vector<std::string> FScheduled;
  bool FManifestUnreadable = false;
  bool FRegistrationLeft = false;
  // The work of the removal under way, for the progress: files to delete, then folders.
  std::size_t FFileCount = 0;
  std::size_t FFolderCount = 0;
  std::int32_t FTotalPercent = -1;  // as last told
};

}  // namespace qel::installer
