// Install.exe: the setup program of the Qel Orvane suite. Started with "u" it uninstalls.
#include <string>
#include <vector>

#include "installer/install_form.h"
#include "installer/uninstaller_copy.h"
#include "platform/files.h"
#include "platform/process.h"
#include "platform/shell.h"
#include "platform/ui_controls.h"

int main(int argc, char** argv) {
  using namespace qel;
  std::vector<std::string> arguments = platform::ProgramArguments(argc, argv);
  // The uninstaller's temporary copy has no window: it waits, removes the uninstaller's file, ends.
  if (installer::IsCopyRemoval(arguments)) return installer::RunCopyRemoval(arguments);
  installer::RemoveStaleUninstallerCopy();
  // The shell-link writer needs COM in an apartment of the user-interface thread.
  platform::InitializeShellServices();
  platform::TApplication::SetTitle("Qel Tandril");
  installer::TInstallForm InstallForm(std::move(arguments), platform::ModuleFileName());
  return platform::RunApplication(InstallForm);
}
