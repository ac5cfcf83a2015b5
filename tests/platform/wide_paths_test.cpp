// Names no ANSI code page can spell and paths beyond the classic limit, through the platform's
// own calls on Windows, where the system's wide calls hold them.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "support/scratch.h"

namespace qel::platform {
namespace {

using qel::testing::ScratchDir;

// "Ω 中文 Jörg" in UTF-8: Greek, CJK and a Windows-1252 letter in one name.
const std::string MixedName = "\xCE\xA9 \xE4\xB8\xAD\xE6\x96\x87 J\xC3\xB6rg";

std::u8string AsU8(const std::string& text) { return std::u8string(text.begin(), text.end()); }

bool WriteBytes(const std::string& name, const std::string& bytes) {
  const FileHandle file = FileCreate(name);
  if (file == InvalidFileHandle) return false;
  const bool written = FileWrite(file, bytes.data(), static_cast<std::int32_t>(bytes.size())) ==
                       static_cast<std::int32_t>(bytes.size());
  FileClose(file);
  return written;
}

std::string ReadBytes(const std::string& name) {
  const FileHandle file = FileOpen(name, fmOpenRead | fmShareDenyWrite);
  if (file == InvalidFileHandle) return "<" + LastErrorText() + ">";
  std::string bytes(64, '\0');
  const std::int32_t got = FileRead(file, bytes.data(), static_cast<std::int32_t>(bytes.size()));
  FileClose(file);
  bytes.resize(got < 0 ? 0 : got);
  return bytes;
}

TEST(WidePaths, NamesBeyondAnsiAreKeptExactly) {
  ScratchDir dir;
  const std::string folder = dir.Path() + MixedName;
  ASSERT_TRUE(CreateDir(folder)) << LastErrorText();
  const std::string file = folder + "\\" + MixedName + ".txt";
  ASSERT_TRUE(WriteBytes(file, "payload")) << LastErrorText();
  EXPECT_EQ(ReadBytes(file), "payload");
  // Listed by the C++ library's own wide calls: the name on disk is the name given, no look-alike.
  const std::u8string listed = std::filesystem::directory_iterator(std::filesystem::path(AsU8(folder)))->path().filename().u8string();
  EXPECT_EQ(listed, AsU8(MixedName + ".txt"));

  const std::string renamed = folder + "\\" + MixedName + " 2.txt";
  ASSERT_TRUE(RenameFile(file, renamed)) << LastErrorText();
  EXPECT_FALSE(FileExists(file));
  EXPECT_EQ(ReadBytes(renamed), "payload");
  EXPECT_TRUE(DeleteFile(renamed)) << LastErrorText();
  EXPECT_TRUE(RemoveDir(folder)) << LastErrorText();
  EXPECT_FALSE(DirectoryExists(folder));
}

TEST(WidePaths, PathsBeyondTheClassicLimitWorkEverywhere) {
  ScratchDir dir;
  const std::string top = dir.Path() + "deep";
  std::string path = top;
  while (path.size() <= 300) path += "\\" + std::string(40, 'd') + MixedName;
  ASSERT_TRUE(ForceDirectories(path)) << LastErrorText();
  EXPECT_TRUE(DirectoryExists(path));
  EXPECT_EQ(ExpandFileName(path + "\\.\\x\\..\\f.bin"), path + "\\f.bin") << "no \\\\?\\ prefix leaks out";

  const std::string file = path + "\\f.bin";
  ASSERT_TRUE(WriteBytes(file, "deep")) << LastErrorText();
  EXPECT_EQ(FileGetAttr(file) & (faDirectory | faReadOnly), 0u);
  EXPECT_EQ(ReadBytes(file), "deep");
  ASSERT_TRUE(FileSetAttr(file, faReadOnly));
  EXPECT_FALSE(DeleteFile(file)) << "still read-only";
  ASSERT_TRUE(FileSetAttr(file, faArchive));
  EXPECT_TRUE(DeleteFile(file)) << LastErrorText();
  EXPECT_FALSE(FileExists(file));

  // The shell cannot take such paths: the recycle bin is refused before anything is deleted,
  // and a permanent delete walks the tree itself, a read-only file too.
  ASSERT_TRUE(WriteBytes(file, "deep"));
  ASSERT_TRUE(FileSetAttr(file, faReadOnly));
  const std::uint32_t quiet = fofNoConfirmation | fofSilent | fofNoErrorUI;
  const std::string list = top + std::string(2, '\0');
  EXPECT_NE(ShellFileOperation(0, foDelete, list, "", quiet | fofAllowUndo, ""), 0);
  EXPECT_TRUE(FileExists(file));
  EXPECT_EQ(ShellFileOperation(0, foDelete, list, "", quiet, ""), 0);
  EXPECT_FALSE(DirectoryExists(top));
}

// A link keeps its target in a field of MAX_PATH characters: a longer target would be cut
// into a link to something else, so no link is written at all.
TEST(WidePaths, LinksToTargetsBeyondTheirFieldAreNotWritten) {
  ASSERT_TRUE(InitializeShellServices());
  ScratchDir dir;
  TShellLink link;
  TShellLinkFailure failure;
  ASSERT_TRUE(link.Create(failure)) << failure.SystemText;
  link.SetPath(dir.Path() + MixedName + std::string(300, 'x') + ".exe");
  EXPECT_FALSE(link.Save(dir.Path() + MixedName + ".lnk"));
  EXPECT_FALSE(FileExists(dir.Path() + MixedName + ".lnk"));

  ASSERT_TRUE(link.Create(failure)) << failure.SystemText;
  link.SetPath(dir.Path() + MixedName + ".exe");
  EXPECT_TRUE(link.Save(dir.Path() + MixedName + ".lnk")) << "a name beyond ANSI fits";
  EXPECT_TRUE(FileExists(dir.Path() + MixedName + ".lnk"));
}

TEST(WidePaths, RegistryTextBeyondAnsiRoundTrips) {
  const std::string parentPath = "Software\\QelWidePathsTest";
  RegistryKey key = NoRegistryKey;
  ASSERT_EQ(RegistryCreateKey(RegistryCurrentUser, parentPath + "\\" + MixedName, key), 0);
  const std::string value = "C:\\Program Files\\" + MixedName + "\\Install.exe";
  EXPECT_EQ(RegistrySetString(key, MixedName, value), 0);
  std::uint32_t type = RegistryNone;
  std::string data;
  EXPECT_EQ(RegistryQueryValue(key, MixedName, type, data), 0);
  EXPECT_EQ(type, RegistryString);
  EXPECT_EQ(data, value);
  RegistryCloseKey(key);

  RegistryKey parent = NoRegistryKey;
  ASSERT_EQ(RegistryOpenKey(RegistryCurrentUser, parentPath, parent), 0);
  std::string name;
  EXPECT_EQ(RegistryEnumKey(parent, 0, name), 0);
  EXPECT_EQ(name, MixedName);
  RegistryCloseKey(parent);
  EXPECT_EQ(RegistryDeleteKey(RegistryCurrentUser, parentPath + "\\" + MixedName), 0);
  EXPECT_EQ(RegistryDeleteKey(RegistryCurrentUser, parentPath), 0);
}

}  // namespace
}  // namespace qel::platform

#endif  // _WIN32
