// The raw registry keys: open, create, values, enumeration, deletion; on POSIX also the
// hive files behind them. Everything the tests write lives below
// HKEY_CURRENT_USER\Software\QelRegistryTest, which each test creates and removes again.
#include "platform/registry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifndef _WIN32
#include <filesystem>
#include <fstream>
#include <sstream>

#include "platform/posix/registry_hive.h"
#include "platform/posix/sandbox.h"
#include "support/limited_drive.h"
#endif

namespace qel::platform {
namespace {

constexpr std::int32_t Success = 0;
constexpr std::int32_t FileNotFound = 2;
constexpr std::int32_t AccessDenied = 5;
constexpr std::int32_t InvalidHandle = 6;
constexpr std::int32_t NoMoreItems = 259;
constexpr std::int32_t KeyDeleted = 1018;
const std::string TestKeyPath = "Software\\QelRegistryTest";

using TNames = std::vector<std::string>;

// A key that is closed at the end of the test, whatever happens.
class TOpenKey final {
 public:
  TOpenKey() = default;
  ~TOpenKey() { RegistryCloseKey(FKey); }
  TOpenKey(const TOpenKey&) = delete;
  TOpenKey& operator=(const TOpenKey&) = delete;
  RegistryKey& Out() {
    RegistryCloseKey(FKey);
    FKey = NoRegistryKey;
    return FKey;
  }
  RegistryKey Get() const { return FKey; }

 private:
  RegistryKey FKey = NoRegistryKey;
};

TNames Subkeys(RegistryKey key) {
  TNames names;
  std::string name;
  for (std::uint32_t index = 0; RegistryEnumKey(key, index, name) == Success; ++index) names.push_back(name);
  return names;
}

void DeleteTree(RegistryKey parent, const std::string& name) {
  RegistryKey key = NoRegistryKey;
  if (RegistryOpenKey(parent, name, key) != Success) return;
  std::string child;
  while (RegistryEnumKey(key, 0, child) == Success) {
    const std::size_t before = Subkeys(key).size();
    DeleteTree(key, child);
    if (Subkeys(key).size() == before) break;
  }
  RegistryCloseKey(key);
  RegistryDeleteKey(parent, name);
}

// Each test starts with an empty test key and leaves none behind.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteTree(RegistryCurrentUser, TestKeyPath);
    ASSERT_EQ(RegistryCreateKey(RegistryCurrentUser, TestKeyPath, FTestKey.Out()), Success);
  }
  void TearDown() override {
    RegistryCloseKey(FTestKey.Out());
    DeleteTree(RegistryCurrentUser, TestKeyPath);
  }
  RegistryKey TestKey() const { return FTestKey.Get(); }

 private:
  TOpenKey FTestKey;
};

std::string StringValue(RegistryKey key, const std::string& name) {
  std::uint32_t type = RegistryNone;
  std::string data;
  const std::int32_t result = RegistryQueryValue(key, name, type, data);
  if (result != Success) return "error " + std::to_string(result);
  if (type != RegistryString) return "type " + std::to_string(type);
  return data;
}

TEST_F(Registry, KeysAreCreatedOpenedAndClosed) {
  TOpenKey created;
  ASSERT_EQ(RegistryCreateKey(TestKey(), "One", created.Out()), Success);
  EXPECT_NE(created.Get(), NoRegistryKey);
  TOpenKey again;
  ASSERT_EQ(RegistryCreateKey(TestKey(), "One", again.Out()), Success) << "creating an existing key opens it";
  EXPECT_NE(again.Get(), created.Get()) << "each open is a handle of its own";
  EXPECT_EQ(Subkeys(TestKey()), (TNames{"One"}));

  TOpenKey opened;
  ASSERT_EQ(RegistryOpenKey(RegistryCurrentUser, TestKeyPath + "\\One", opened.Out()), Success);
  ASSERT_EQ(RegistrySetString(opened.Get(), "Shared", "seen by every handle"), Success);
  EXPECT_EQ(StringValue(created.Get(), "Shared"), "seen by every handle");

  TOpenKey same;
  ASSERT_EQ(RegistryOpenKey(TestKey(), "", same.Out()), Success) << "an empty name opens the key itself";
  EXPECT_EQ(Subkeys(same.Get()), (TNames{"One"}));

  const RegistryKey closed = again.Get();
  RegistryCloseKey(again.Out());
  std::string name;
  EXPECT_EQ(RegistryEnumKey(closed, 0, name), InvalidHandle);
  RegistryCloseKey(closed);  // a second close is harmless
  RegistryCloseKey(NoRegistryKey);
  RegistryCloseKey(RegistryCurrentUser);
  EXPECT_EQ(StringValue(created.Get(), "Shared"), "seen by every handle") << "other handles stay open";
}

TEST_F(Registry, PathsCreateAndOpenEveryLevel) {
  TOpenKey deepest;
  ASSERT_EQ(RegistryCreateKey(TestKey(), "A\\B\\C", deepest.Out()), Success);
  ASSERT_EQ(RegistrySetString(deepest.Get(), "Level", "three"), Success);
  EXPECT_EQ(Subkeys(TestKey()), (TNames{"A"}));

  TOpenKey middle;
  ASSERT_EQ(RegistryOpenKey(TestKey(), "A\\B", middle.Out()), Success);
  EXPECT_EQ(Subkeys(middle.Get()), (TNames{"C"}));
  TOpenKey fromRoot;
  ASSERT_EQ(RegistryOpenKey(RegistryCurrentUser, TestKeyPath + "\\A\\B\\C", fromRoot.Out()), Success);
  EXPECT_EQ(StringValue(fromRoot.Get(), "Level"), "three");
  TOpenKey trailing;
  EXPECT_EQ(RegistryOpenKey(TestKey(), "A\\B\\", trailing.Out()), Success) << "a closing backslash is accepted";
}

TEST_F(Registry, StringValuesRoundTrip) {
  const std::string tricky = "C:\\Program Files\\Caf\xC3\xA9 \xE4\xB8\xAD \"Orvane\" 100%";
  ASSERT_EQ(RegistrySetString(TestKey(), "Path", tricky), Success);
  std::uint32_t type = RegistryNone;
  std::string data = "stale";
  ASSERT_EQ(RegistryQueryValue(TestKey(), "Path", type, data), Success);
  EXPECT_EQ(type, RegistryString);
  EXPECT_EQ(data, tricky);

  ASSERT_EQ(RegistrySetString(TestKey(), "Path", ""), Success) << "a value can be replaced";
  EXPECT_EQ(StringValue(TestKey(), "Path"), "");
  ASSERT_EQ(RegistrySetString(TestKey(), "", "default"), Success);
  EXPECT_EQ(StringValue(TestKey(), ""), "default") << "the empty name is the default value";
  EXPECT_EQ(StringValue(TestKey(), "Path"), "");
  ASSERT_EQ(RegistrySetString(TestKey(), "Two lines", "first\r\nsecond"), Success);
  EXPECT_EQ(StringValue(TestKey(), "Two lines"), "first\r\nsecond");
}

TEST_F(Registry, NamesIgnoreCaseAndKeepTheirSpelling) {
  TOpenKey created;
  ASSERT_EQ(RegistryCreateKey(TestKey(), "MixedCase\\\xC3\x89t\xC3\xA9 \xCE\xA9", created.Out()), Success);
  TOpenKey opened;
  ASSERT_EQ(RegistryOpenKey(TestKey(), "mIXEDcASE\\\xC3\xA9T\xC3\x89 \xCF\x89", opened.Out()), Success) << "letters beyond ASCII fold too";
  TOpenKey recreated;
  ASSERT_EQ(RegistryCreateKey(TestKey(), "MIXEDCASE", recreated.Out()), Success);
  EXPECT_EQ(Subkeys(TestKey()), (TNames{"MixedCase"}));
  EXPECT_EQ(Subkeys(recreated.Get()), (TNames{"\xC3\x89t\xC3\xA9 \xCE\xA9"}));

  ASSERT_EQ(RegistrySetString(created.Get(), "ValueName", "first"), Success);
  EXPECT_EQ(StringValue(opened.Get(), "VALUENAME"), "first");
  ASSERT_EQ(RegistrySetString(opened.Get(), "valuename", "second"), Success);
  EXPECT_EQ(StringValue(created.Get(), "ValueName"), "second") << "one value, not two";
}

TEST_F(Registry, MissingKeysAndValuesAreNotFound) {
  TOpenKey key;
  EXPECT_EQ(RegistryOpenKey(TestKey(), "Missing", key.Out()), FileNotFound);
  EXPECT_EQ(key.Get(), NoRegistryKey);
  EXPECT_EQ(RegistryOpenKey(TestKey(), "Missing\\Deeper", key.Out()), FileNotFound);
  EXPECT_EQ(Subkeys(TestKey()), TNames{}) << "opening creates nothing";
  std::uint32_t type = RegistryNone;
  std::string data;
  EXPECT_EQ(RegistryQueryValue(TestKey(), "Missing", type, data), FileNotFound);
  EXPECT_EQ(RegistryQueryValue(TestKey(), "", type, data), FileNotFound) << "no default value was set";
  EXPECT_EQ(RegistryDeleteKey(TestKey(), "Missing"), FileNotFound);
}

TEST_F(Registry, SubkeysAreEnumeratedInNameOrderThenNoMoreItems) {
  for (const char* name : {"b", "C", "a"}) {
    TOpenKey key;
    ASSERT_EQ(RegistryCreateKey(TestKey(), name, key.Out()), Success);
  }
  std::string name = "unchanged";
  EXPECT_EQ(Subkeys(TestKey()), (TNames{"a", "b", "C"}));
  EXPECT_EQ(RegistryEnumKey(TestKey(), 3, name), NoMoreItems);
  EXPECT_EQ(RegistryEnumKey(TestKey(), 0xFFFFFFFFu, name), NoMoreItems);
  EXPECT_EQ(name, "unchanged");
}

TEST_F(Registry, OnlyLeafKeysAreDeleted) {
  for (const char* path : {"Parent\\Child", "Parent\\Other", "Leaf"}) {
    TOpenKey key;
    ASSERT_EQ(RegistryCreateKey(TestKey(), path, key.Out()), Success);
  }
  EXPECT_EQ(RegistryDeleteKey(TestKey(), "Parent"), AccessDenied);
  EXPECT_EQ(Subkeys(TestKey()), (TNames{"Leaf", "Parent"}));
  EXPECT_EQ(RegistryDeleteKey(TestKey(), "LEAF"), Success);
  EXPECT_EQ(RegistryDeleteKey(TestKey(), "Parent\\Child"), Success) << "a path relative to the parent";
  TOpenKey parent;
  ASSERT_EQ(RegistryOpenKey(TestKey(), "Parent", parent.Out()), Success);
  EXPECT_EQ(Subkeys(parent.Get()), (TNames{"Other"}));
  EXPECT_EQ(RegistryDeleteKey(parent.Get(), "Other"), Success);
  EXPECT_EQ(RegistryDeleteKey(TestKey(), "Parent"), Success);
  EXPECT_EQ(Subkeys(TestKey()), TNames{});
  TOpenKey gone;
  EXPECT_EQ(RegistryOpenKey(TestKey(), "Leaf", gone.Out()), FileNotFound);
}

TEST_F(Registry, AHandleOfADeletedKeyFailsSafely) {
  TOpenKey child;
  ASSERT_EQ(RegistryCreateKey(TestKey(), "Doomed", child.Out()), Success);
  ASSERT_EQ(RegistrySetString(child.Get(), "Value", "x"), Success);
  ASSERT_EQ(RegistryDeleteKey(TestKey(), "Doomed"), Success);
  std::uint32_t type = RegistryNone;
  std::string data;
  std::string name;
  EXPECT_EQ(RegistryQueryValue(child.Get(), "Value", type, data), KeyDeleted);
  EXPECT_EQ(RegistrySetString(child.Get(), "Value", "y"), KeyDeleted);
  EXPECT_EQ(RegistryEnumKey(child.Get(), 0, name), KeyDeleted);
  TOpenKey below;
  EXPECT_NE(RegistryCreateKey(child.Get(), "Below", below.Out()), Success);
  EXPECT_EQ(Subkeys(TestKey()), TNames{}) << "nothing came back";
}

#ifndef _WIN32
// The hive files and the garbage handles below are the stand-in's own; Windows keeps its
// registry elsewhere and may treat a made-up handle as it likes.
namespace fs = std::filesystem;

std::string HiveFile(const char* name) { return posix::Sandbox().Root + "/" + name; }

std::string ReadText(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

TEST_F(Registry, GarbageHandlesAreRefused) {
  TOpenKey key;
  std::string name;
  for (const RegistryKey garbage : {NoRegistryKey, RegistryKey{0x12345}, RegistryKey{0x80000000u}}) {
    EXPECT_EQ(RegistryOpenKey(garbage, "Software", key.Out()), InvalidHandle);
    EXPECT_EQ(RegistryEnumKey(garbage, 0, name), InvalidHandle);
    EXPECT_EQ(RegistrySetString(garbage, "x", "y"), InvalidHandle);
    RegistryCloseKey(garbage);
  }
  EXPECT_EQ(RegistryCreateKey(TestKey(), "A\\\\B", key.Out()), 87) << "an empty name inside a path";
  EXPECT_EQ(RegistryCreateKey(TestKey(), "\\A", key.Out()), 87);
  EXPECT_EQ(RegistryDeleteKey(TestKey(), ""), 87);
  EXPECT_EQ(Subkeys(TestKey()), TNames{});
}

TEST_F(Registry, AMissingHiveIsLaidOutAsAFreshSystem) {
  fs::remove(HiveFile("system.reg"));
  fs::remove(HiveFile("user.reg"));
  TOpenKey machine;
  ASSERT_EQ(RegistryOpenKey(RegistryLocalMachine, "Software\\Microsoft\\Windows\\CurrentVersion", machine.Out()), Success);
  EXPECT_EQ(StringValue(machine.Get(), "ProgramFilesDir"), posix::Sandbox().ProgramFilesDir);
  TOpenKey user;
  ASSERT_EQ(RegistryOpenKey(RegistryCurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                            user.Out()),
            Success);
  EXPECT_EQ(StringValue(user.Get(), "Programs"), posix::Sandbox().ProgramsDir);
  EXPECT_TRUE(fs::exists(HiveFile("system.reg")));
  EXPECT_TRUE(fs::exists(HiveFile("user.reg")));
  // The test key went with the old hive; its handle now fails like any deleted key's.
  EXPECT_EQ(RegistrySetString(TestKey(), "x", "y"), KeyDeleted);
}

TEST_F(Registry, TheHiveIsRegedit4TextThatOtherWritersMayChange) {
  ASSERT_EQ(RegistrySetString(TestKey(), "Path", "C:\\Dir\\\"Caf\xE9\""), Success);
  ASSERT_EQ(RegistrySetString(TestKey(), "", "default"), Success);
  const std::string text = ReadText(HiveFile("user.reg"));
  EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n", 0), 0u);
  const std::string section =
      "[HKEY_CURRENT_USER\\Software\\QelRegistryTest]\r\n\"Path\"=\"C:\\\\Dir\\\\\\\"Caf\xE9\\\"\"\r\n@=\"default\"\r\n";
  EXPECT_NE(text.find(section), std::string::npos) << text;

  // Another process replaces the file; the next call reads the new one.
  std::string changed = text;
  changed.replace(changed.find(section), section.size(),
                  "[HKEY_CURRENT_USER\\Software\\QelRegistryTest]\r\n\"Path\"=\"from outside\"\r\n\r\n"
                  "[hkey_current_user\\software\\QelRegistryTest\\Added]\r\n");
  const std::string temporary = HiveFile("user.reg.outside");
  std::ofstream(temporary, std::ios::binary) << changed;
  fs::rename(temporary, HiveFile("user.reg"));
  EXPECT_EQ(StringValue(TestKey(), "Path"), "from outside");
  EXPECT_EQ(Subkeys(TestKey()), (TNames{"Added"}));
  for (const fs::directory_entry& entry : fs::directory_iterator(posix::Sandbox().Root)) {
    EXPECT_EQ(entry.path().filename().string().find("user.reg."), std::string::npos) << "no temporary file is left";
  }
}

TEST_F(Registry, AReadOnlyHiveRefusesEveryOpenEvenToRoot) {
  ASSERT_EQ(RegistrySetString(TestKey(), "Before", "kept"), Success);
  const fs::path hive = HiveFile("user.reg");
  const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(hive, writable, fs::perm_options::remove);
  TOpenKey key;
  EXPECT_EQ(RegistryOpenKey(RegistryCurrentUser, TestKeyPath, key.Out()), AccessDenied);
  EXPECT_EQ(key.Get(), NoRegistryKey);
  EXPECT_EQ(RegistryCreateKey(TestKey(), "New", key.Out()), AccessDenied);
  EXPECT_EQ(RegistrySetString(TestKey(), "Before", "changed"), AccessDenied);
  EXPECT_EQ(RegistryDeleteKey(RegistryCurrentUser, TestKeyPath), AccessDenied);
  EXPECT_EQ(StringValue(TestKey(), "Before"), "kept") << "an open handle still reads";
  TOpenKey machine;
  EXPECT_EQ(RegistryOpenKey(RegistryLocalMachine, "SOFTWARE", machine.Out()), Success) << "the other hive is writable";
  fs::permissions(hive, fs::perms::owner_write, fs::perm_options::add);
  EXPECT_EQ(RegistryOpenKey(RegistryCurrentUser, TestKeyPath, key.Out()), Success);
}

// The hives lie on the system drive: a full one refuses the change with the disk's error,
// and the hive file stays as it was, with no temporary file beside it.
TEST_F(Registry, AFullSystemDiskRefusesAChangeAndKeepsTheHive) {
  ASSERT_EQ(RegistrySetString(TestKey(), "Before", "kept"), Success);
  const std::string before = ReadText(HiveFile("user.reg"));
  {
    testing::LimitedDrive drive('c', static_cast<std::int64_t>(before.size()) + 10);
    EXPECT_EQ(RegistrySetString(TestKey(), "Large", std::string(100, 'x')), 112);
    EXPECT_EQ(ReadText(HiveFile("user.reg")), before);
    EXPECT_EQ(StringValue(TestKey(), "Large"), "error 2") << "the refused value is not kept in memory either";
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(posix::Sandbox().Root)) {
    EXPECT_EQ(entry.path().filename().string().find("user.reg."), std::string::npos) << "no temporary file is left";
  }
  EXPECT_EQ(RegistrySetString(TestKey(), "Large", "fits"), Success);
}

TEST(RegistryHive, HandWrittenHivesAreReadAndWrittenBackInOneForm) {
  const std::string handWritten =
      "REGEDIT4\n\n; a comment\n[HKEY_CURRENT_USER\\Software\\Odd]Name]\n"
      "\"Number\"=dword:0000002a\n\"Bytes\"=hex:01,02,\\\n  ff\n\"Expand\"=hex(2):25,41,25,00\n"
      "\"Gone\"=-\n\"Broken\"=dword:xyz\n\"Esc\"=\"a\\\\b\\\"c\"\n\n[HKEY_LOCAL_MACHINE\\Elsewhere]\n\"Skipped\"=\"x\"\n"
      "[HKEY_CURRENT_USER\\Software\\Empty]\n";
  posix::TRegistryKeyNode root;
  posix::ParseHive(handWritten, "HKEY_CURRENT_USER", root);
  posix::TRegistryKeyNode* software = root.FindSubkey("software");
  ASSERT_NE(software, nullptr);
  ASSERT_EQ(software->SubkeyCount(), 2u);
  EXPECT_EQ(software->Subkey(0).Name(), "Empty");
  posix::TRegistryKeyNode* odd = software->FindSubkey("Odd]Name");
  ASSERT_NE(odd, nullptr);
  const std::vector<std::pair<std::string, posix::TRegistryValue>> expected = {
      {"number", {"Number", RegistryDword, std::string("\x2a\0\0\0", 4)}},
      {"bytes", {"Bytes", RegistryBinary, "\x01\x02\xff"}},
      {"expand", {"Expand", RegistryExpandString, std::string("%A%\0", 4)}},
      {"esc", {"Esc", RegistryString, "a\\b\"c"}},
  };
  EXPECT_EQ(odd->Values().size(), expected.size()) << "the deletion and the broken line are skipped";
  for (const auto& [lookup, value] : expected) {
    const posix::TRegistryValue* found = odd->FindValue(lookup);
    ASSERT_NE(found, nullptr) << lookup;
    EXPECT_EQ(found->Name, value.Name);
    EXPECT_EQ(found->Type, value.Type) << lookup;
    EXPECT_EQ(found->Data, value.Data) << lookup;
  }

  const std::string written = posix::FormatHive(root, "HKEY_CURRENT_USER");
  EXPECT_NE(written.find("\"Number\"=dword:0000002a\r\n\"Bytes\"=hex:01,02,ff\r\n\"Expand\"=hex(2):25,41,25,00\r\n"),
            std::string::npos)
      << written;
  posix::TRegistryKeyNode again;
  posix::ParseHive(written, "HKEY_CURRENT_USER", again);
  EXPECT_EQ(posix::FormatHive(again, "HKEY_CURRENT_USER"), written);

  posix::TRegistryKeyNode wide;
  wide.SetValue("Long", RegistryBinary, std::string(100, '\x5a'));
  wide.SetValue("Lines", RegistryString, std::string("a\nb\0c", 5));
  const std::string wrapped = posix::FormatHive(wide, "HKEY_CURRENT_USER");
  posix::TRegistryKeyNode unwrapped;
  posix::ParseHive(wrapped, "HKEY_CURRENT_USER", unwrapped);
  ASSERT_EQ(unwrapped.Values().size(), 2u) << wrapped;
  EXPECT_EQ(unwrapped.Values()[0].Data, std::string(100, '\x5a'));
  EXPECT_EQ(unwrapped.Values()[1].Type, RegistryString);
  EXPECT_EQ(unwrapped.Values()[1].Data, std::string("a\nb\0c", 5));
  for (std::size_t start = 0, end; (end = wrapped.find("\r\n", start)) != std::string::npos; start = end + 2) {
    EXPECT_LT(end - start, 80u) << "long data wraps";
  }
}
#endif

}  // namespace
}  // namespace qel::platform
