#include "installer/registration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "installer/registry_cursor.h"
#ifndef _WIN32
#include <filesystem>

#include "platform/posix/sandbox.h"
#endif

namespace qel::installer {
namespace {

using TNames = std::vector<std::string>;

constexpr const char* UninstallList = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string UninstallString(platform::RegistryKey root = platform::RegistryLocalMachine) {
  TRegistryCursor registry;
  registry.SetRootKey(root);
  registry.OpenKey(UninstallList, false);
  return registry.ReadString("Qel Orvane", "UninstallString", "<none>");
}

// "name=data" for each value of the suite's entry below root that RegisterSuite writes.
TNames EntryValues(platform::RegistryKey root) {
  TNames values;
  platform::RegistryKey key = platform::NoRegistryKey;
  if (platform::RegistryOpenKey(root, std::string(UninstallList) + "\\Qel Orvane", key) != 0) return values;
  for (const char* name : {"DisplayName", "UninstallString", "QuietUninstallString", "DisplayIcon", "DisplayVersion",
                           "Publisher", "InstallLocation", "EstimatedSize", "NoModify", "NoRepair"}) {
    std::uint32_t type = 0;
    std::string data;
    if (platform::RegistryQueryValue(key, name, type, data) == 0) values.push_back(name + ("=" + data));
  }
  platform::RegistryCloseKey(key);
  return values;
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

// An older setup's entry had two values; the values the install added would point at a folder
// the undo removes. The state goes through the journal's text, and an undo cut short (the entry
// taken away, not yet written anew) is finished by the next one.
TEST(RegistrationBackup, AnOlderEntryGetsBackOnlyTheValuesItHad) {
  Unregister();
  TRegistryCursor machine;
  machine.SetRootKey(platform::RegistryLocalMachine);
  ASSERT_TRUE(machine.OpenKey(UninstallList, true));
  machine.WriteString("Qel Orvane", "DisplayName", "Qel Orvane 0.9");
  machine.WriteString("Qel Orvane", "UninstallString", "C:\\Old\\Setup.exe u");
  const TNames older = {"DisplayName=Qel Orvane 0.9", "UninstallString=C:\\Old\\Setup.exe u"};
  const std::string state = SaveRegistrationState();
  RegisterSuite({"C:\\New\\", "Install.exe", 1});
  EXPECT_FALSE(RestoreRegistrationState(state.substr(0, state.size() - 1)));
  EXPECT_EQ(EntryValues(platform::RegistryLocalMachine).size(), 10u) << "a damaged state changes nothing";
  EXPECT_TRUE(RestoreRegistrationState(state));
  EXPECT_EQ(EntryValues(platform::RegistryLocalMachine), older);
  ASSERT_TRUE(machine.DeleteKey("Qel Orvane"));
  EXPECT_TRUE(RestoreRegistrationState(state));
  EXPECT_EQ(EntryValues(platform::RegistryLocalMachine), older);
  Unregister();
}

#ifndef _WIN32
namespace fs = std::filesystem;

// The stand-in refuses a hive whose file is not writable, as Windows refuses a user without
// administrator rights; the file is made writable again however the test ends.
class TReadOnlyHive final {
 public:
  explicit TReadOnlyHive(const char* fileName) : FFile(fs::path(platform::posix::Sandbox().Root) / fileName) {
    fs::permissions(FFile, Writable, fs::perm_options::remove);
  }
  ~TReadOnlyHive() { fs::permissions(FFile, fs::perms::owner_write, fs::perm_options::add); }
  TReadOnlyHive(const TReadOnlyHive&) = delete;
  TReadOnlyHive& operator=(const TReadOnlyHive&) = delete;

 private:
  static constexpr fs::perms Writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::path FFile;
};

// The user's list need not exist before; another program may add its entry there before the
// undo, and keeps it.
TEST(Registration, WithoutAdministratorRightsTheEntryGoesToTheUsersOwnList) {
  Unregister();
  TRegistryCursor userList;
  ASSERT_TRUE(userList.OpenKey("Microsoft\\Windows\\CurrentVersion", true));
  userList.DeleteKey("Uninstall");
  {
    const TReadOnlyHive machine("system.reg");
    const TRegistrationBackup before;
    EXPECT_EQ(RegisterSuite({"C:\\Mine\\", "Install.exe", 1}), TRegistrationScope::CurrentUser);
    EXPECT_EQ(UninstallString(platform::RegistryCurrentUser), UninstallCommand("C:\\Mine\\Install.exe"));
    EXPECT_EQ(EntryValues(platform::RegistryCurrentUser).size(), 10u);
    userList.WriteString("Uninstall\\Other", "DisplayName", "Other");
    EXPECT_TRUE(before.Restore());
    EXPECT_EQ(UninstallString(platform::RegistryCurrentUser), "<none>") << "undone in the user's list";
    EXPECT_EQ(userList.ReadString("Uninstall\\Other", "DisplayName", "<none>"), "Other");
    userList.DeleteKey("Uninstall");

    RegisterSuite({"C:\\Mine\\", "Install.exe", 1});
    EXPECT_TRUE(UnregisterSuite()) << "the machine's list holds no entry of the suite";
    EXPECT_EQ(UninstallString(platform::RegistryCurrentUser), "<none>");
    const TReadOnlyHive user("user.reg");
    EXPECT_THROW(RegisterSuite({"C:\\Mine\\", "Install.exe", 1}), ERegistryException) << "neither list takes it";
  }
  EXPECT_EQ(UninstallString(), "<none>");
  EXPECT_EQ(RegisterSuite({"C:\\All\\", "Install.exe", 1}), TRegistrationScope::AllUsers);
  {
    const TReadOnlyHive machine("system.reg");
    EXPECT_FALSE(UnregisterSuite()) << "the machine's entry stays";
  }
  Unregister();
}
#endif

}  // namespace
}  // namespace qel::installer
