// Names in the file system: lookup ignoring case, Z: paths, ANSI names, attributes,
// folders, renaming and the current directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/code_pages.h"
#include "platform/files.h"
#include "support/scratch.h"

namespace qel::platform {
namespace {

using qel::testing::HostPath;
using qel::testing::ScratchDir;

using TNames = std::vector<std::string>;

std::string ReadFile(const std::string& name) {
  const FileHandle file = FileOpen(name, fmOpenRead | fmShareDenyWrite);
  if (file == InvalidFileHandle) return "<" + LastErrorText() + ">";
  std::string bytes(256, '\0');
  const std::int32_t got = FileRead(file, bytes.data(), static_cast<std::int32_t>(bytes.size()));
  FileClose(file);
  bytes.resize(got < 0 ? 0 : got);
  return bytes;
}

bool WriteFile(const std::string& name, const std::string& bytes) {
  const FileHandle file = FileCreate(name);
  if (file == InvalidFileHandle) return false;
  const bool written = FileWrite(file, bytes.data(), static_cast<std::int32_t>(bytes.size())) == static_cast<std::int32_t>(bytes.size());
  FileClose(file);
  return written;
}

// Makes a folder the current directory for one test and restores the previous one.
class TCurrentDirectory final {
 public:
  explicit TCurrentDirectory(const std::string& path) : FPrevious(GetCurrentDir()) { EXPECT_TRUE(SetCurrentDir(path)) << LastErrorText(); }
  ~TCurrentDirectory() { SetCurrentDir(FPrevious); }
  TCurrentDirectory(const TCurrentDirectory&) = delete;
  TCurrentDirectory& operator=(const TCurrentDirectory&) = delete;

 private:
  std::string FPrevious;
};

TEST(FileSystem, NamesAreFoundIgnoringCaseAndKeepTheirSpellingOnDisk) {
  ScratchDir dir;
  dir.Write("Mixed\\Name.TXT", "first");
  dir.Write("\xC3\x89T\xC3\x89 \xCE\xA9.txt", "summer");  // "ÉTÉ Ω.txt"
  EXPECT_TRUE(FileExists(dir.Path() + "mixed\\NAME.txt"));
  EXPECT_TRUE(DirectoryExists(dir.Path() + "MIXED"));
  EXPECT_EQ(ReadFile(dir.Path() + "MiXeD\\nAmE.TxT"), "first");
  EXPECT_EQ(ReadFile(dir.Path() + "\xC3\xA9t\xC3\xA9 \xCF\x89.TXT"), "summer") << "letters beyond ASCII fold too";

  ASSERT_TRUE(WriteFile(dir.Path() + "MIXED\\name.txt", "second"));
  EXPECT_EQ(dir.Names("Mixed"), TNames{"Name.TXT"}) << "rewriting in other letter case keeps the one file";
  EXPECT_EQ(dir.Read("Mixed\\Name.TXT"), "second");
  ASSERT_TRUE(WriteFile(dir.Path() + "Mixed\\NAME.txt", "third"));
  EXPECT_EQ(dir.Names("Mixed"), TNames{"Name.TXT"}) << "the same in a folder spelt as on disk";
  EXPECT_EQ(dir.Read("Mixed\\Name.TXT"), "third");

  ASSERT_TRUE(WriteFile(dir.Path() + "mixed\\Other.txt", "x"));
  EXPECT_EQ(dir.Names(), (TNames{"Mixed", "\xC3\x89T\xC3\x89 \xCE\xA9.txt"})) << "a new file goes into the existing folder";
  EXPECT_EQ(dir.Names("Mixed"), (TNames{"Name.TXT", "Other.txt"}));
}

// The stand-in keeps what it listed of a folder: names another program adds are found once the
// folder's stamp changes, and names it adds itself are in the listing at once.
TEST(FileSystem, FolderListingsFollowChangesFromEverySide) {
  ScratchDir dir;
  dir.Write("box\\first.txt", "1");
  EXPECT_FALSE(FileExists(dir.Path() + "box\\SECOND.TXT"));  // the folder is listed
  dir.Write("box\\Second.txt", "2");
  EXPECT_TRUE(FileExists(dir.Path() + "box\\SECOND.TXT")) << "added by another program";
  ASSERT_TRUE(WriteFile(dir.Path() + "box\\Third.txt", "3"));
  EXPECT_TRUE(FileExists(dir.Path() + "box\\THIRD.TXT")) << "added by the stand-in";
  ASSERT_TRUE(CreateDir(dir.Path() + "box\\Inner"));
  EXPECT_TRUE(DirectoryExists(dir.Path() + "box\\INNER"));
  ASSERT_TRUE(RenameFile(dir.Path() + "box\\first.txt", dir.Path() + "box\\Fourth.txt"));
  EXPECT_TRUE(FileExists(dir.Path() + "box\\FOURTH.TXT"));
  EXPECT_FALSE(FileExists(dir.Path() + "box\\FIRST.TXT"));
  ASSERT_TRUE(DeleteFile(dir.Path() + "box\\THIRD.txt"));
  EXPECT_FALSE(FileExists(dir.Path() + "box\\third.TXT"));
  EXPECT_EQ(dir.Names("box"), (TNames{"Fourth.txt", "Inner", "Second.txt"}));
}

TEST(FileSystem, ZPathsNameTheHostFileSystem) {
  ScratchDir dir;
  dir.Write("probe.txt", "host bytes");
  EXPECT_EQ(dir.Path(), HostPath(dir.PosixPath()) + "\\");
  EXPECT_EQ(dir.Path().substr(0, 3), "Z:\\");
  EXPECT_EQ(ReadFile(dir.Path() + "probe.txt"), "host bytes");
  std::string forward = dir.Path() + "probe.txt";
  for (char& c : forward) {
    if (c == '\\') c = '/';
  }
  EXPECT_EQ(ReadFile(forward), "host bytes") << "\"/\" separates as well as \"\\\"";
  EXPECT_EQ(ReadFile(dir.Path() + "sub\\..\\.\\probe.txt"), "host bytes");
}

TEST(FileSystem, UnicodeNamesRoundTrip) {
  ScratchDir dir;
  const std::string name = "Caf\xC3\xA9 \xE2\x82\xAC \xCE\xA9 \xE4\xB8\xAD.txt";  // "Café € Ω 中.txt"
  ASSERT_TRUE(WriteFile(dir.Path() + name, "menu")) << LastErrorText();
  EXPECT_EQ(dir.Names(), TNames{name});
  EXPECT_EQ(ReadFile(dir.Path() + name), "menu");
#ifndef _WIN32
  EXPECT_TRUE(std::filesystem::exists(dir.PosixPath() + "/" + name)) << "stored in UTF-8";
#endif
}

TEST(FileSystem, ExpandFileNameResolvesDotsAndTheCurrentDirectory) {
  ScratchDir dir;
  TCurrentDirectory current(dir.Path());
  const std::string here = dir.Path().substr(0, dir.Path().size() - 1);
  EXPECT_EQ(GetCurrentDir(), here);
  struct TCase {
    std::string Name, Expected;
  };
  const TCase cases[] = {
      {"Z:/a/./b/../c", "Z:\\a\\c"},
      {"Z:\\..\\a", "Z:\\a"},
      {"Z:\\a\\b\\", "Z:\\a\\b\\"},
      {"Z:\\", "Z:\\"},
      {"\\top.txt", "Z:\\top.txt"},
      {"f.txt", dir.Path() + "f.txt"},
      {"sub\\..\\f.txt", dir.Path() + "f.txt"},
      {".", here},
      {"", ""},
  };
  for (const TCase& c : cases) EXPECT_EQ(ExpandFileName(c.Name), c.Expected) << c.Name;

  dir.Write("relative.txt", "found");
  EXPECT_EQ(ReadFile("relative.txt"), "found") << "a name without a folder is in the current directory";
  EXPECT_TRUE(ForceDirectories("made\\here"));
  EXPECT_EQ(dir.Names("made"), TNames{"here"});
}

TEST(FileSystem, CurrentDirectoryMustBeAnExistingFolder) {
  ScratchDir dir;
  dir.Write("file.txt", "");
  const std::string before = GetCurrentDir();
  EXPECT_FALSE(SetCurrentDir(dir.Path() + "missing"));
  EXPECT_EQ(LastErrorCode(), ErrorFileNotFound);
  EXPECT_FALSE(SetCurrentDir(dir.Path() + "file.txt"));
  EXPECT_EQ(GetCurrentDir(), before);
  TCurrentDirectory current(dir.Path() + "\\.");
  EXPECT_EQ(GetCurrentDir() + "\\", dir.Path());
}

TEST(FileSystem, ReadOnlyAttributeRoundTrips) {
  ScratchDir dir;
  dir.Write("locked.txt", "safe");
  const std::string name = dir.Path() + "locked.txt";
  EXPECT_EQ(FileGetAttr(name) & (faReadOnly | faDirectory), 0u);
  EXPECT_EQ(FileGetAttr(dir.Path()) & faDirectory, faDirectory);
  EXPECT_EQ(FileGetAttr(dir.Path() + "missing.txt"), InvalidFileAttributes);

  ASSERT_TRUE(FileSetAttr(name, faReadOnly | faArchive | faHidden)) << LastErrorText();
  EXPECT_EQ(FileGetAttr(name) & faReadOnly, faReadOnly);
  EXPECT_EQ(ReadFile(name), "safe") << "reading is still allowed";
  ASSERT_TRUE(FileSetAttr(name, 0));
  EXPECT_EQ(FileGetAttr(name) & faReadOnly, 0u);
  EXPECT_TRUE(WriteFile(name, "changed"));
  EXPECT_TRUE(DeleteFile(name));
  EXPECT_FALSE(FileExists(name));
}

#ifndef _WIN32
// Windows refuses to change a read-only file even for an administrator. Wine run by root
// lets the POSIX permissions decide, and root passes them, so this is the stand-in's test.
TEST(FileSystem, ReadOnlyFileCannotBeChangedEvenByRoot) {
  ScratchDir dir;
  dir.Write("locked.txt", "safe");
  const std::string name = dir.Path() + "locked.txt";
  ASSERT_TRUE(FileSetAttr(name, faReadOnly));
  EXPECT_EQ(FileOpen(name, fmOpenWrite | fmShareDenyNone), InvalidFileHandle);
  EXPECT_EQ(LastErrorCode(), ErrorAccessDenied);
  EXPECT_EQ(LastErrorText(), "Access is denied.");
  EXPECT_FALSE(WriteFile(name, "overwritten"));
  EXPECT_EQ(LastErrorCode(), ErrorAccessDenied);
  EXPECT_FALSE(DeleteFile(name));
  EXPECT_EQ(LastErrorCode(), ErrorAccessDenied);
  EXPECT_EQ(ReadFile(name), "safe");
}
#endif

TEST(FileSystem, ForceDirectoriesCreatesEveryMissingLevel) {
  ScratchDir dir;
  EXPECT_TRUE(ForceDirectories(dir.Path() + "a\\b\\c\\"));
  EXPECT_TRUE(DirectoryExists(dir.Path() + "a\\b\\c"));
  EXPECT_TRUE(ForceDirectories(dir.Path() + "A\\B\\d")) << "existing levels found ignoring case";
  EXPECT_EQ(dir.Names("a\\b"), (TNames{"c", "d"}));

  dir.Write("file", "");
  EXPECT_FALSE(ForceDirectories(dir.Path() + "file\\sub")) << "a file stands in the way";
  EXPECT_FALSE(ForceDirectories(""));
}

TEST(FileSystem, FoldersAreCreatedAndRemovedOneLevelAtATime) {
  ScratchDir dir;
  EXPECT_TRUE(CreateDir(dir.Path() + "one"));
  EXPECT_FALSE(CreateDir(dir.Path() + "ONE"));
  EXPECT_EQ(LastErrorCode(), ErrorAlreadyExists);
  EXPECT_FALSE(CreateDir(dir.Path() + "two\\three"));
  EXPECT_EQ(LastErrorCode(), ErrorPathNotFound);

  dir.Write("one\\inside.txt", "");
  EXPECT_FALSE(RemoveDir(dir.Path() + "one"));
  EXPECT_EQ(LastErrorCode(), ErrorDirNotEmpty);
  EXPECT_TRUE(DeleteFile(dir.Path() + "one\\INSIDE.TXT"));
  EXPECT_TRUE(RemoveDir(dir.Path() + "One"));
  EXPECT_FALSE(DirectoryExists(dir.Path() + "one"));
  EXPECT_FALSE(DeleteFile(dir.Path() + "one.txt"));
  EXPECT_EQ(LastErrorCode(), ErrorFileNotFound);
}

TEST(FileSystem, RenameMovesAndNeverOverwrites) {
  ScratchDir dir;
  dir.Write("a.txt", "A");
  dir.Write("b.txt", "B");
  EXPECT_FALSE(RenameFile(dir.Path() + "a.txt", dir.Path() + "B.TXT"));
  EXPECT_EQ(LastErrorCode(), ErrorAlreadyExists);
  EXPECT_EQ(dir.Read("b.txt"), "B");

  EXPECT_TRUE(RenameFile(dir.Path() + "a.txt", dir.Path() + "A.txt")) << "a change of letter case only";
#ifndef _WIN32
  // Windows takes the new spelling; Wine keeps the old one, so only the stand-in is checked.
  EXPECT_EQ(dir.Names(), (TNames{"A.txt", "b.txt"}));
#endif

  ASSERT_TRUE(CreateDir(dir.Path() + "sub"));
  EXPECT_TRUE(RenameFile(dir.Path() + "a.TXT", dir.Path() + "SUB\\moved.txt"));
  EXPECT_EQ(dir.Read("sub\\moved.txt"), "A");
  EXPECT_FALSE(RenameFile(dir.Path() + "a.txt", dir.Path() + "c.txt"));
  EXPECT_EQ(LastErrorCode(), ErrorFileNotFound);
}

TEST(FileSystem, ModuleFileNameIsTheRunningProgram) {
  const std::string module = ModuleFileName();
  EXPECT_TRUE(FileExists(module)) << module;
  EXPECT_NE(module.find("qel_platform_tests"), std::string::npos) << module;
}

}  // namespace
}  // namespace qel::platform
