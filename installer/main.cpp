// Install.exe: the setup program of the Qel Orvane suite. Started with "u" it uninstalls; with
// "/S" it runs unattended, without its window (see README.md for the switches and statuses).
#include <string>
#include <vector>

#include "installer/command_line.h"
#include "installer/exit_status.h"
#include "installer/install_form.h"
#include "installer/setup_log.h"
#include "installer/silent_host.h"
#include "installer/suite.h"
#include "installer/uninstaller_copy.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/ui.h"
#include "platform/ui_controls.h"

namespace {

using namespace qel;

// False when the log asked for cannot be made: an unattended run then changes nothing, as
// its administrator would learn nothing of it; the window says so and goes on.
bool StartLog(const installer::TCommandLine& line, const std::string& tail) {
  if (line.LogFile.empty()) return true;
  const std::string file = platform::ExpandFileName(platform::CommandLineName(line.LogFile));
  if (installer::SetupLog().Open(file)) {
    installer::SetupLog().Line("Qel Orvane setup started: " + platform::ModuleFileName() + " " + tail);
    return true;
  }
  if (!line.Silent) {
    platform::ShowMessageBox("The log \"" + file + "\" cannot be created. " + platform::LastErrorText(),
                             installer::AttentionCaption, platform::mbOK | platform::mbIconInformation);
  }
  return !line.Silent;
}

int Finish(installer::TExitStatus status) {
  installer::SetupLog().Line("ended with status " + std::to_string(installer::ExitCode(status)) + ": " +
                             installer::StatusText(status));
  installer::SetupLog().Close();
  return installer::ExitCode(status);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  // The uninstaller's temporary copy has no window: it waits, removes the uninstaller's file, ends.
  if (installer::IsCopyRemoval(arguments)) return installer::RunCopyRemoval(arguments);
  const std::string tail = platform::CommandLineTail(argc, argv);
  const installer::TCommandLine line = installer::ParseCommandLine(arguments, tail);
  if (!StartLog(line, tail)) return installer::ExitCode(installer::TExitStatus::esWriteFailed);
  installer::RemoveStaleUninstallerCopy();
  // The shell-link writer needs COM in an apartment of the user-interface thread.
  platform::InitializeShellServices();
  platform::TApplication::SetTitle("Qel Tandril");
  if (line.Silent) {
    installer::TSilentHost host(platform::ModuleFileName());
    return Finish(line.Uninstall() ? host.Uninstall() : host.Install(line.Directory));
  }
  installer::TInstallForm InstallForm(line.Arguments, platform::ModuleFileName());
  InstallForm.PresetDirectory(line.Directory);
  return Finish(static_cast<installer::TExitStatus>(platform::RunApplication(InstallForm)));
}
