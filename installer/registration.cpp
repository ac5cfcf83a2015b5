#include "installer/registration.h"

#include "installer/registry_cursor.h"
#include "installer/suite.h"

namespace qel::installer {

namespace {

// A cursor on HKEY_LOCAL_MACHINE\...\Uninstall, created where missing. A key on the way
// that cannot be opened leaves the cursor where it stands.
void OpenUninstallList(TRegistryCursor& registry) {
  registry.SetRootKey(platform::RegistryLocalMachine);
  for (const char* key : UninstallKeyPath) registry.OpenKey(key, true);
}

}  // namespace

void RegisterSuite(const std::string& installDir, const std::string& uninstaller) {
  {
    TRegistryCursor registry;
    OpenUninstallList(registry);
    registry.WriteString(SuiteName, "DisplayName", SuiteName);
    registry.WriteString(SuiteName, "UninstallString", installDir + uninstaller + " " + UninstallArgument);
  }
  TRegistryCursor registry;
  registry.OpenKey(PublisherFolder, true);
  registry.OpenKey(SuiteName, true);
  registry.WriteString("Option", "Program Path", installDir + MainProgram);
}

void UnregisterSuite() {
  TRegistryCursor registry;
  OpenUninstallList(registry);
  registry.DeleteKey(SuiteName);
}

}  // namespace qel::installer
