#include "installer/registration.h"

#include <utility>

#include "installer/registry_cursor.h"
#include "installer/suite.h"

namespace qel::installer {

namespace {

constexpr std::int32_t RegistryKeyNotFound = 2;  // ERROR_FILE_NOT_FOUND
constexpr std::int32_t RegistrySuccess = 0;

// The values RegisterSuite writes, in its two keys.
const std::vector<std::string> UninstallEntryValues = {"DisplayName", "UninstallString", "DisplayIcon",
                                                       "DisplayVersion", "Publisher", "InstallLocation",
                                                       "EstimatedSize", "NoModify", "NoRepair"};
const std::vector<std::string> ProgramPathValues = {"Program Path"};
constexpr const char* OptionSection = "Option";

std::string JoinPath(const std::vector<std::string>& names, std::size_t count) {
  std::string path;
  for (std::size_t i = 0; i < count; ++i) path += (i == 0 ? "" : "\\") + names[i];
  return path;
}

// Opens root\path, or reports why not; the key is closed with the object.
class TOpenedKey final {
 public:
  TOpenedKey(platform::RegistryKey root, const std::string& path)
      : FResult(platform::RegistryOpenKey(root, path, FKey)) {}
  ~TOpenedKey() {
    if (FResult == RegistrySuccess) platform::RegistryCloseKey(FKey);
  }
  TOpenedKey(const TOpenedKey&) = delete;
  TOpenedKey& operator=(const TOpenedKey&) = delete;
  std::int32_t Result() const noexcept { return FResult; }
  platform::RegistryKey Key() const noexcept { return FKey; }

 private:
  platform::RegistryKey FKey = platform::NoRegistryKey;
  std::int32_t FResult;
};

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
  registry.WriteString(OptionSection, "Program Path", dir + MainProgram);
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

TRegistrationBackup::TRegistrationBackup() {
  std::vector<std::string> uninstallPath(UninstallKeyPath.begin(), UninstallKeyPath.end());
  uninstallPath.emplace_back(SuiteName);
  FUninstallEntry = Save(platform::RegistryLocalMachine, std::move(uninstallPath), UninstallEntryValues);
  FProgramPath = Save(platform::RegistryCurrentUser, {"Software", PublisherFolder, SuiteName, OptionSection},
                      ProgramPathValues);
}

bool TRegistrationBackup::Restore() const {
  // Both are tried, whatever the first gives.
  const bool programPath = Restore(FProgramPath);
  return Restore(FUninstallEntry) && programPath;
}

TRegistrationBackup::TSavedKey TRegistrationBackup::Save(platform::RegistryKey root, std::vector<std::string> path,
                                                         const std::vector<std::string>& valueNames) {
  TSavedKey saved;
  saved.Root = root;
  saved.Path = std::move(path);
  // Only "not found" says a key is missing: one this user may not open is there, and no
  // undo of ours touches it.
  for (; saved.Existing < saved.Path.size(); ++saved.Existing) {
    const std::int32_t result = TOpenedKey(root, JoinPath(saved.Path, saved.Existing + 1)).Result();
    if (result == RegistryKeyNotFound) break;
    if (result != RegistrySuccess) return saved;
  }
  saved.Known = true;
  if (saved.Existing < saved.Path.size()) return saved;
  const TOpenedKey key(root, JoinPath(saved.Path, saved.Path.size()));
  for (const std::string& name : valueNames) {
    TSavedValue value{name, 0, {}};
    if (platform::RegistryQueryValue(key.Key(), name, value.Type, value.Data) == RegistrySuccess) {
      saved.Values.push_back(std::move(value));
    }
  }
  return saved;
}

bool TRegistrationBackup::Restore(const TSavedKey& saved) {
  // A key below a root always has its first level ("Software"): that one is never deleted.
  if (!saved.Known || saved.Existing == 0) return true;
  if (saved.Existing < saved.Path.size()) {
    // The first key that was missing goes, with all the install made below it.
    TRegistryCursor registry;
    registry.SetRootKey(saved.Root);
    if (!registry.OpenKey(JoinPath(saved.Path, saved.Existing), false)) return true;
    registry.DeleteKey(saved.Path[saved.Existing]);
    return TOpenedKey(saved.Root, JoinPath(saved.Path, saved.Existing + 1)).Result() == RegistryKeyNotFound;
  }
  const TOpenedKey key(saved.Root, JoinPath(saved.Path, saved.Path.size()));
  if (key.Result() != RegistrySuccess) return saved.Values.empty();
  bool restored = true;
  for (const TSavedValue& value : saved.Values) {
    std::int32_t result = RegistrySuccess;
    if (value.Type == platform::RegistryDword && value.Data.size() == 4) {
      std::uint32_t number = 0;
      for (int i = 3; i >= 0; --i) number = number << 8 | static_cast<unsigned char>(value.Data[static_cast<std::size_t>(i)]);
      result = platform::RegistrySetDword(key.Key(), value.Name, number);
    } else if (value.Type == platform::RegistryString) {
      result = platform::RegistrySetString(key.Key(), value.Name, value.Data);
    }
    // Values of other types are not the suite's own: they were not written, so they stand as they were.
    restored = restored && result == RegistrySuccess;
  }
  return restored;
}

}  // namespace qel::installer
