#include "installer/registration.h"

#include "installer/registry_cursor.h"
#include "installer/suite.h"

namespace qel::installer {

namespace {

constexpr std::int32_t RegistryKeyNotFound = 2;  // ERROR_FILE_NOT_FOUND

// A cursor on HKEY_LOCAL_MACHINE\...\Uninstall, created where missing. A key on the way
// that cannot be opened leaves the cursor where it stands.
void OpenUninstallList(TRegistryCursor& registry) {
  registry.SetRootKey(platform::RegistryLocalMachine);
  for (const char* key : UninstallKeyPath) registry.OpenKey(key, true);
}

}  // namespace

std::string UninstallCommand(const std::string& program) {
  return "\"" + program + "\" " + UninstallArgument;
}

void RegisterSuite(const TRegistration& registration) {
  const std::string& dir = registration.InstallDir;
  {
    TRegistryCursor registry;
    OpenUninstallList(registry);
    registry.WriteString(SuiteName, "DisplayName", SuiteName);
    registry.WriteString(SuiteName, "UninstallString", UninstallCommand(dir + registration.Uninstaller));
    registry.WriteString(SuiteName, "DisplayIcon", dir + MainProgram);
    registry.WriteString(SuiteName, "DisplayVersion", SuiteVersion);
    registry.WriteString(SuiteName, "Publisher", PublisherFolder);
    registry.WriteString(SuiteName, "InstallLocation", dir);
    registry.WriteInteger(SuiteName, "EstimatedSize", registration.EstimatedSizeKB);
    // The setup has no Change or Repair mode: installing again is the repair.
    registry.WriteInteger(SuiteName, "NoModify", 1);
    registry.WriteInteger(SuiteName, "NoRepair", 1);
  }
  TRegistryCursor registry;
  registry.OpenKey(PublisherFolder, true);
  registry.OpenKey(SuiteName, true);
  registry.WriteString("Option", "Program Path", dir + MainProgram);
}

bool UnregisterSuite() {
  {
    TRegistryCursor registry;
    OpenUninstallList(registry);
    registry.DeleteKey(SuiteName);
  }
  // Only "not found" says the key is gone: a key this user may not open is still there.
  std::string path;
  for (const char* key : UninstallKeyPath) path += std::string(key) + "\\";
  platform::RegistryKey key = platform::NoRegistryKey;
  const std::int32_t result = platform::RegistryOpenKey(platform::RegistryLocalMachine, path + SuiteName, key);
  if (result == 0) platform::RegistryCloseKey(key);
  return result == RegistryKeyNotFound;
}

}  // namespace qel::installer
