// Install.exe: the setup program of the Qel Orvane suite. Started with "u" it uninstalls.
#include <string>
#include <vector>

#include "installer/install_form.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/ui_controls.h"

int main(int argc, char** argv) {
  using namespace qel;
  // The shell-link writer needs COM in an apartment of the user-interface thread.
  platform::InitializeShellServices();
  platform::TApplication::SetTitle("Qel Tandril");
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  installer::TInstallForm InstallForm(std::move(arguments), platform::ModuleFileName());
  return platform::RunApplication(InstallForm);
}
