// The unattended run ("/S"): the same installation and uninstallation as the window's, with
// nobody at the screen. No window, no question, no message box: each question takes the answer
// that starts nothing more (the offer to start the main program is declined), each notice and
// error goes to the log, and the outcome is the program's exit status. The uninstall runs
// without its confirmation: "/S" itself is the administrator's yes.
#pragma once

#include <cstdint>
#include <string>

#include "archive/zip.h"
#include "installer/exit_status.h"
#include "installer/procedure_host.h"

namespace qel::installer {

class TSilentHost final : private TProgressSink, private TUserDialogue {
 public:
  // programFile: the running program's full path, copied by an install, the uninstaller's own
  // file for an uninstall. From here on no dialog of the process is shown (see
  // platform::RunUnattended): the archive's and the shell's included.
  explicit TSilentHost(std::string programFile);

  // Into directory, or the default one when it is empty.
  TExitStatus Install(const std::string& directory);
  TExitStatus Uninstall();

 private:
  TExitStatus InstallInto(const std::string& directory);

  void FileStarted(const std::string& name, std::int32_t number, std::int32_t count) override;
  void FilePercentDone(std::int32_t percent) override;
  void TotalPercentDone(std::int32_t percent) override;
  bool Ask(const std::string& question) override;
  void Tell(const std::string& notice, const std::string& caption, TNoticeKind kind) override;

  std::string FProgramFile;
  archive::TZip FArchive;
};

}  // namespace qel::installer
