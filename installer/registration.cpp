#include "installer/registration.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>

#include "base/format.h"
#include "installer/registry_cursor.h"
#include "installer/setup_log.h"
#include "installer/suite.h"

namespace qel::installer {

namespace {

constexpr std::int32_t RegistrySuccess = 0;
constexpr std::int32_t RegistryKeyNotFound = 2;  // ERROR_FILE_NOT_FOUND
constexpr std::int32_t RegistryNoMoreItems = 259;
constexpr std::size_t DwordSize = 4;

// What the list of installed software reads from an entry: first the values RegisterSuite
// writes, then the others Windows knows, which an earlier setup may have written. Written
// anew, an entry loses any value of another name, which nothing reads.
const std::vector<std::string> UninstallEntryValues = {
    "DisplayName", "UninstallString", "DisplayIcon", "DisplayVersion", "Publisher", "InstallLocation",
    "EstimatedSize", "NoModify", "NoRepair",
    "QuietUninstallString", "ModifyPath", "NoRemove", "SystemComponent", "Comments", "Contact", "HelpLink",
    "HelpTelephone", "URLInfoAbout", "URLUpdateInfo", "Readme", "InstallDate", "InstallSource", "Version",
    "VersionMajor", "VersionMinor", "Language", "Size", "WindowsInstaller", "ParentKeyName",
    "ParentDisplayName", "ReleaseType", "AuthorizedCDFPrefix"};
// The per-user key may hold options of the suite's programs beside the path: it is never written anew.
const std::vector<std::string> ProgramPathValues = {"Program Path"};
constexpr const char* OptionSection = "Option";

std::string JoinPath(const std::vector<std::string>& names, std::size_t count) {
  std::string path;
  for (std::size_t i = 0; i < count; ++i) path += (i == 0 ? "" : "\\") + names[i];
  return path;
}

// The suite's entry in a list of installed software, as names below the hive's root.
std::vector<std::string> UninstallEntryNames() {
  std::vector<std::string> names(UninstallKeyPath.begin(), UninstallKeyPath.end());
  names.emplace_back(SuiteName);
  return names;
}

std::string UninstallEntryPath() {
  const std::vector<std::string> names = UninstallEntryNames();
  return JoinPath(names, names.size());
}

// Opens (or creates) root\path, or reports why not; the key is closed with the object.
class TOpenedKey final {
 public:
  TOpenedKey(platform::RegistryKey root, const std::string& path, bool create = false)
      : FResult(create ? platform::RegistryCreateKey(root, path, FKey) : platform::RegistryOpenKey(root, path, FKey)) {}
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

std::string RootName(platform::RegistryKey root) {
  return root == platform::RegistryLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

// A key as the log names it: its root, and its path below.
struct TKeyName {
  platform::RegistryKey Root;
  std::string Path;
  std::string Text() const { return RootName(Root) + "\\" + Path; }
};

bool HasValue(platform::RegistryKey key, const std::string& name) {
  std::uint32_t type = 0;
  std::string data;
  return platform::RegistryQueryValue(key, name, type, data) == RegistrySuccess;
}

// Writes one value and logs it as created or replaced; data is what the log shows.
template <class TWrite>
void SetValue(const TOpenedKey& key, const TKeyName& keyName, const std::string& name, const std::string& data,
              TWrite write) {
  const bool existed = SetupLog().Active() && HasValue(key.Key(), name);
  if (write() != RegistrySuccess) throw ERegistryException(base::Format("Failed to set data for '%s'", {name}));
  LogChange(existed ? TLogChange::lcReplaced : TLogChange::lcCreated, TLogObject::loRegistryValue,
            keyName.Text() + "\\" + name + " = " + data);
}

void SetString(const TOpenedKey& key, const TKeyName& keyName, const std::string& name, const std::string& value) {
  SetValue(key, keyName, name, value, [&] { return platform::RegistrySetString(key.Key(), name, value); });
}

void SetDword(const TOpenedKey& key, const TKeyName& keyName, const std::string& name, std::uint32_t value) {
  SetValue(key, keyName, name, std::to_string(value), [&] { return platform::RegistrySetDword(key.Key(), name, value); });
}

// The entry below root's list of installed software. False, with no value written, when the
// hive refuses the key; a value it then refuses raises.
bool WriteUninstallEntry(platform::RegistryKey root, const TRegistration& registration) {
  const TKeyName name{root, UninstallEntryPath()};
  const TOpenedKey entry(root, name.Path, true);
  if (entry.Result() != RegistrySuccess) return false;
  const std::string& dir = registration.InstallDir;
  SetString(entry, name, "DisplayName", SuiteName);
  SetString(entry, name, "UninstallString", UninstallCommand(dir + registration.Uninstaller));
  // What deployment tools run to uninstall with nobody at the screen.
  SetString(entry, name, "QuietUninstallString", QuietUninstallCommand(dir + registration.Uninstaller));
  SetString(entry, name, "DisplayIcon", dir + MainProgram);
  SetString(entry, name, "DisplayVersion", SuiteVersion);
  SetString(entry, name, "Publisher", PublisherFolder);
  SetString(entry, name, "InstallLocation", dir);
  SetDword(entry, name, "EstimatedSize", registration.EstimatedSizeKB);
  // The setup has no Change or Repair mode: installing again is the repair.
  SetDword(entry, name, "NoModify", 1);
  SetDword(entry, name, "NoRepair", 1);
  return true;
}

// Removes the entry below root; false when it is there afterwards. Only "not found" says it is
// gone: a key this user may not open is still there.
bool RemoveUninstallEntry(platform::RegistryKey root) {
  const TKeyName name{root, UninstallEntryPath()};
  std::vector<std::string> values;
  {
    const TOpenedKey entry(root, name.Path);
    if (entry.Result() == RegistryKeyNotFound) return true;
    for (const std::string& value : UninstallEntryValues) {
      if (SetupLog().Active() && HasValue(entry.Key(), value)) values.push_back(value);
    }
  }
  {
    TRegistryCursor registry;
    registry.SetRootKey(root);
    const std::vector<std::string> names = UninstallEntryNames();
    if (registry.OpenKey(JoinPath(names, names.size() - 1), false)) registry.DeleteKey(SuiteName);
  }
  if (TOpenedKey(root, name.Path).Result() != RegistryKeyNotFound) return false;
  for (const std::string& value : values) LogChange(TLogChange::lcRemoved, TLogObject::loRegistryValue, name.Text() + "\\" + value);
  LogChange(TLogChange::lcRemoved, TLogObject::loRegistryKey, name.Text());
  return true;
}

std::optional<std::uint32_t> DwordOf(const std::string& data) {
  if (data.size() != DwordSize) return std::nullopt;
  std::uint32_t number = 0;
  for (std::size_t i = DwordSize; i-- > 0;) number = number << 8 | static_cast<unsigned char>(data[i]);
  return number;
}

// The platform writes strings and DWORDs only; a value of another type cannot be put back.
bool CanWriteBack(std::uint32_t type, const std::string& data) {
  return type == platform::RegistryString || (type == platform::RegistryDword && DwordOf(data).has_value());
}

bool WriteBack(platform::RegistryKey key, const std::string& name, std::uint32_t type, const std::string& data) {
  if (!CanWriteBack(type, data)) return false;
  const std::int32_t result = type == platform::RegistryString ? platform::RegistrySetString(key, name, data)
                                                               : platform::RegistrySetDword(key, name, *DwordOf(data));
  return result == RegistrySuccess;
}

// The saved state's text: a tag, then per key numbers ended by a blank and strings as their
// length, a colon and their bytes, so names and data may hold any byte.
constexpr const char* StateTag = "QelRegistration1 ";

void PutNumber(std::string& text, std::uint64_t number) { text += std::to_string(number) + ' '; }

void PutString(std::string& text, const std::string& bytes) { text += std::to_string(bytes.size()) + ':' + bytes; }

class TStateReader final {
 public:
  explicit TStateReader(const std::string& text) : FText(text) {}

  bool Tag() { return Take(std::string_view(StateTag).size()) == StateTag; }
  bool Number(std::uint64_t& number) { return Digits(number, ' '); }
  bool String(std::string& bytes) {
    std::uint64_t length = 0;
    if (!Digits(length, ':') || length > FText.size() - FPosition) return false;
    bytes = Take(static_cast<std::size_t>(length));
    return true;
  }
  bool AtEnd() const noexcept { return FPosition == FText.size(); }

 private:
  // At most this many digits: any count or type the text holds fits, and none can overflow.
  static constexpr std::size_t MaxDigits = 10;

  std::string Take(std::size_t count) {
    const std::string taken = FText.substr(FPosition, count);
    FPosition += taken.size();
    return taken;
  }
  bool Digits(std::uint64_t& number, char end) {
    number = 0;
    std::size_t digits = 0;
    for (; FPosition < FText.size() && FText[FPosition] >= '0' && FText[FPosition] <= '9'; ++FPosition, ++digits) {
      if (digits == MaxDigits) return false;
      number = number * 10 + static_cast<std::uint64_t>(FText[FPosition] - '0');
    }
    if (digits == 0 || FPosition == FText.size() || FText[FPosition] != end) return false;
    ++FPosition;
    return true;
  }

  const std::string& FText;
  std::size_t FPosition = 0;
};

// A key that cannot be listed counts as having subkeys: it is then never written anew.
bool HasSubkeys(platform::RegistryKey key) {
  std::string name;
  return platform::RegistryEnumKey(key, 0, name) != RegistryNoMoreItems;
}

}  // namespace

std::string UninstallCommand(const std::string& program) {
  return "\"" + program + "\" " + UninstallArgument;
}

std::string QuietUninstallCommand(const std::string& program) {
  return UninstallCommand(program) + " " + SilentSwitch;
}

TRegistrationScope RegisterSuite(const TRegistration& registration) {
  TRegistrationScope scope = TRegistrationScope::AllUsers;
  if (!WriteUninstallEntry(platform::RegistryLocalMachine, registration)) {
    scope = TRegistrationScope::CurrentUser;
    if (!WriteUninstallEntry(platform::RegistryCurrentUser, registration)) {
      throw ERegistryException(base::Format("Failed to create key %s", {SuiteName}));
    }
  }
  TRegistryCursor registry;
  registry.OpenKey(PublisherFolder, true);
  registry.OpenKey(SuiteName, true);
  const std::string programPath = registration.InstallDir + MainProgram;
  const std::string optionPath = std::string("Software\\") + PublisherFolder + "\\" + SuiteName + "\\" + OptionSection;
  const TOpenedKey option(platform::RegistryCurrentUser, optionPath);
  const bool existed = SetupLog().Active() && option.Result() == RegistrySuccess && HasValue(option.Key(), "Program Path");
  registry.WriteString(OptionSection, "Program Path", programPath);
  LogChange(existed ? TLogChange::lcReplaced : TLogChange::lcCreated, TLogObject::loRegistryValue,
            RootName(platform::RegistryCurrentUser) + "\\Software\\" + PublisherFolder + "\\" + SuiteName + "\\" +
                OptionSection + "\\Program Path = " + programPath);
  return scope;
}

bool UnregisterSuite() {
  // Both are tried, whatever the first gives.
  const bool machine = RemoveUninstallEntry(platform::RegistryLocalMachine);
  return RemoveUninstallEntry(platform::RegistryCurrentUser) && machine;
}

TRegistrationBackup::TRegistrationBackup(TUnread) {
  const auto describe = [](TSavedKey& key, platform::RegistryKey root, std::vector<std::string> path,
                           std::size_t ownFrom, const std::vector<std::string>& names, bool namesComplete) {
    key.Root = root;
    key.Path = std::move(path);
    key.OwnFrom = ownFrom;
    key.Names = &names;
    key.NamesComplete = namesComplete;
  };
  const std::size_t entryLevel = UninstallKeyPath.size();
  describe(FKeys[0], platform::RegistryLocalMachine, UninstallEntryNames(), entryLevel, UninstallEntryValues, true);
  describe(FKeys[1], platform::RegistryCurrentUser, UninstallEntryNames(), entryLevel, UninstallEntryValues, true);
  // From the publisher's key down.
  describe(FKeys[2], platform::RegistryCurrentUser, {"Software", PublisherFolder, SuiteName, OptionSection}, 1,
           ProgramPathValues, false);
}

TRegistrationBackup::TRegistrationBackup() : TRegistrationBackup(TUnread{}) {
  for (TSavedKey& key : FKeys) Read(key);
}

bool TRegistrationBackup::Restore() const {
  // Each is tried, whatever the others give.
  bool restored = true;
  for (const TSavedKey& key : FKeys) restored = Restore(key) && restored;
  return restored;
}

std::string TRegistrationBackup::Text() const {
  std::string text = StateTag;
  for (const TSavedKey& key : FKeys) {
    PutNumber(text, key.Known ? 1 : 0);
    PutNumber(text, key.Existing);
    PutNumber(text, key.Values.size());
    for (const TSavedValue& value : key.Values) {
      PutString(text, value.Name);
      PutNumber(text, value.Type);
      PutString(text, value.Data);
    }
  }
  return text;
}

std::optional<TRegistrationBackup> TRegistrationBackup::FromText(const std::string& text) {
  TRegistrationBackup backup{TUnread{}};
  TStateReader reader{text};
  if (!reader.Tag()) return std::nullopt;
  for (TSavedKey& key : backup.FKeys) {
    std::uint64_t known = 0;
    std::uint64_t existing = 0;
    std::uint64_t count = 0;
    if (!reader.Number(known) || known > 1 || !reader.Number(existing) || existing > key.Path.size() ||
        !reader.Number(count) || count > key.Names->size()) {
      return std::nullopt;
    }
    key.Known = known == 1;
    key.Existing = static_cast<std::size_t>(existing);
    for (std::uint64_t i = 0; i < count; ++i) {
      TSavedValue value;
      std::uint64_t type = 0;
      // Only a value of the key's own names is ever written back, whatever the text says.
      if (!reader.String(value.Name) ||
          std::find(key.Names->begin(), key.Names->end(), value.Name) == key.Names->end() ||
          !reader.Number(type) || type > std::numeric_limits<std::uint32_t>::max() || !reader.String(value.Data)) {
        return std::nullopt;
      }
      value.Type = static_cast<std::uint32_t>(type);
      key.Values.push_back(std::move(value));
    }
  }
  if (!reader.AtEnd()) return std::nullopt;
  return backup;
}

void TRegistrationBackup::Read(TSavedKey& saved) {
  // Only "not found" says a key is missing: one this user may not open is there, and no
  // undo of ours touches it.
  for (; saved.Existing < saved.Path.size(); ++saved.Existing) {
    const std::int32_t result = TOpenedKey(saved.Root, JoinPath(saved.Path, saved.Existing + 1)).Result();
    if (result == RegistryKeyNotFound) break;
    if (result != RegistrySuccess) return;
  }
  saved.Known = true;
  if (saved.Existing < saved.Path.size()) return;
  const TOpenedKey key(saved.Root, JoinPath(saved.Path, saved.Path.size()));
  for (const std::string& name : *saved.Names) {
    TSavedValue value{name, 0, {}};
    if (platform::RegistryQueryValue(key.Key(), name, value.Type, value.Data) == RegistrySuccess) {
      saved.Values.push_back(std::move(value));
    }
  }
}

bool TRegistrationBackup::Restore(const TSavedKey& saved) {
  if (!saved.Known) return true;
  if (saved.Existing == saved.Path.size()) return RestoreValues(saved);
  // The first key of the suite's own that was missing goes, with all the install made below it.
  const std::size_t level = std::max(saved.Existing, saved.OwnFrom);
  TRegistryCursor registry;
  registry.SetRootKey(saved.Root);
  if (!registry.OpenKey(JoinPath(saved.Path, level), false)) return true;
  registry.DeleteKey(saved.Path[level]);
  return TOpenedKey(saved.Root, JoinPath(saved.Path, level + 1)).Result() == RegistryKeyNotFound;
}

bool TRegistrationBackup::RestoreValues(const TSavedKey& saved) {
  const std::string path = JoinPath(saved.Path, saved.Path.size());
  bool added = false;
  bool restored = true;
  {
    const TOpenedKey key(saved.Root, path);
    // Gone: an earlier undo was cut short between taking the key away and writing it anew.
    if (key.Result() == RegistryKeyNotFound) return WriteAnew(saved);
    if (key.Result() != RegistrySuccess) return false;
    for (const std::string& name : *saved.Names) {
      std::uint32_t type = 0;
      std::string data;
      const bool there = platform::RegistryQueryValue(key.Key(), name, type, data) == RegistrySuccess;
      const auto before = std::find_if(saved.Values.begin(), saved.Values.end(),
                                       [&](const TSavedValue& value) { return value.Name == name; });
      if (before == saved.Values.end()) {
        added = added || there;
      } else if (!there || type != before->Type || data != before->Data) {
        restored = WriteBack(key.Key(), name, before->Type, before->Data) && restored;
      }
    }
    if (!added) return restored;
    // A value cannot be taken away on its own: the key is written anew, which must neither drop
    // a subkey nor a value that cannot be written back. Otherwise the added values stay.
    const bool rewritable = saved.NamesComplete && !HasSubkeys(key.Key()) &&
                            std::all_of(saved.Values.begin(), saved.Values.end(), [](const TSavedValue& value) {
                              return CanWriteBack(value.Type, value.Data);
                            });
    if (!rewritable) return false;
  }
  return platform::RegistryDeleteKey(saved.Root, path) == RegistrySuccess && WriteAnew(saved);
}

bool TRegistrationBackup::WriteAnew(const TSavedKey& saved) {
  const TOpenedKey key(saved.Root, JoinPath(saved.Path, saved.Path.size()), true);
  if (key.Result() != RegistrySuccess) return false;
  bool restored = true;
  for (const TSavedValue& value : saved.Values) {
    restored = WriteBack(key.Key(), value.Name, value.Type, value.Data) && restored;
  }
  return restored;
}

std::string SaveRegistrationState() { return TRegistrationBackup().Text(); }

bool RestoreRegistrationState(const std::string& savedState) {
  const std::optional<TRegistrationBackup> backup = TRegistrationBackup::FromText(savedState);
  return backup.has_value() && backup->Restore();
}

}  // namespace qel::installer
