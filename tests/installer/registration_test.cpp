#include "installer/registration.h"

#include <gtest/gtest.h>

#include <string>

#include "installer/registry_cursor.h"

namespace qel::installer {
namespace {

std::string UninstallString() {
  TRegistryCursor registry;
  registry.SetRootKey(platform::RegistryLocalMachine);
  registry.OpenKey("Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall", false);
  return registry.ReadString("Qel Orvane", "UninstallString", "<none>");
}

std::string ProgramPath() {
  TRegistryCursor registry;
  registry.OpenKey("Qel\\Qel Orvane", false);
  return registry.ReadString("Option", "Program Path", "<none>");
}

void Unregister() {
  UnregisterSuite();
  TRegistryCursor user;
  user.DeleteKey("Qel");
}

// Undoing an install's registration: keys it made go again, values it replaced come back.
TEST(RegistrationBackup, PutsTheEntriesBackAsTheyWere) {
  Unregister();
  const TRegistrationBackup nothing;
  RegisterSuite({"C:\\New\\", "Install.exe", 1});
  EXPECT_TRUE(nothing.Restore());
  EXPECT_EQ(UninstallString(), "<none>");
  EXPECT_EQ(ProgramPath(), "<none>");
  TRegistryCursor user;
  EXPECT_FALSE(user.OpenKey("Qel", false)) << "the publisher's key was the install's own";

  RegisterSuite({"C:\\Old\\", "Setup.exe", 1});
  const TRegistrationBackup earlier;
  RegisterSuite({"C:\\New\\", "Install.exe", 1});
  EXPECT_TRUE(earlier.Restore());
  EXPECT_EQ(UninstallString(), UninstallCommand("C:\\Old\\Setup.exe"));
  EXPECT_EQ(ProgramPath(), "C:\\Old\\Dovra.exe");
  Unregister();
}

}  // namespace
}  // namespace qel::installer
