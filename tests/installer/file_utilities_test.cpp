#include "installer/file_utilities.h"

#include <gtest/gtest.h>

#include <string>

#include "base/exceptions.h"
#include "platform/files.h"
#include "platform/shell.h"
#include "platform/ui.h"
#include "support/exception_message.h"
#include "support/scratch.h"
#ifndef _WIN32
#include "platform/posix/sandbox.h"
#endif

namespace qel::installer {
namespace {

using testing::ScratchDir;

std::string Bytes(std::size_t size) {
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
  return bytes;
}

// The copy reads in blocks of 8192 bytes and stops at the first short block: sizes around the
// block size must all come out whole.
TEST(CopyFileTo, CopiesEveryByteAtAnySizeAroundTheBlock) {
  ScratchDir dir;
  for (std::size_t size : {0u, 1u, 8191u, 8192u, 8193u, 16384u, 20000u}) {
    const std::string name = "source" + std::to_string(size) + ".bin";
    dir.Write(name, Bytes(size));
    CopyFileTo(dir.Path() + name, dir.Path() + "copy.bin");
    EXPECT_EQ(dir.Read("copy.bin"), Bytes(size)) << size;
  }
}

TEST(CopyFileTo, IntoAFolderTakesTheSourceName) {
  ScratchDir dir;
  dir.Write("Install.exe", "program");
  ASSERT_TRUE(platform::CreateDir(dir.Path() + "Suite"));
  CopyFileTo(dir.Path() + "Install.exe", dir.Path() + "Suite");
  EXPECT_EQ(dir.Read("Suite\\Install.exe"), "program");
  dir.Write("Install.exe", "newer");
  CopyFileTo(dir.Path() + "Install.exe", dir.Path() + "Suite\\");
  EXPECT_EQ(dir.Read("Suite\\Install.exe"), "newer") << "a trailing separator lands in the same place";
  EXPECT_EQ(dir.Names("Suite"), std::vector<std::string>{"Install.exe"});
}

TEST(CopyFileTo, TheCopyIsAPlainFileEvenOfAReadOnlySource) {
  ScratchDir dir;
  dir.Write("locked.txt", "data");
  ASSERT_TRUE(platform::FileSetAttr(dir.Path() + "locked.txt", platform::faReadOnly));
  CopyFileTo(dir.Path() + "locked.txt", dir.Path() + "copy.txt");
  EXPECT_EQ(platform::FileGetAttr(dir.Path() + "copy.txt") & platform::faReadOnly, 0u);
  platform::FileSetAttr(dir.Path() + "locked.txt", 0);
}

TEST(CopyFileTo, FailuresNameThePathAndWriteNothing) {
  ScratchDir dir;
  const std::string missing = dir.Path() + "missing.exe";
  const std::string openMessage =
      testing::MessageOf<base::EFOpenError>([&] { CopyFileTo(missing, dir.Path() + "copy.exe"); });
  EXPECT_NE(openMessage.find("Cannot open file \"" + missing + "\"."), std::string::npos) << openMessage;
  EXPECT_TRUE(dir.Names().empty());

  dir.Write("a.txt", "a");
  const std::string target = dir.Path() + "no\\such\\folder.txt";
  const std::string createMessage =
      testing::MessageOf<base::EFCreateError>([&] { CopyFileTo(dir.Path() + "a.txt", target); });
  EXPECT_NE(createMessage.find("Cannot create file \"" + target + "\"."), std::string::npos) << createMessage;
  // The source was closed again: it can be deleted.
  EXPECT_TRUE(platform::DeleteFile(dir.Path() + "a.txt"));
}

// A disk that refuses a write midway: the copy is an error that names the file and the
// system's reason, and no partial copy is left to pass for the file. The stand-in's drive
// of limited capacity plays the full disk; Wine has no such drive.
TEST(CopyFileTo, AWriteTheDiskRefusesIsAnErrorAndLeavesNoPartialCopy) {
#ifdef _WIN32
  GTEST_SKIP() << "no drive of limited capacity under Windows";
#else
  const std::string root = platform::posix::Sandbox().Root;
  ScratchDir dir;
  dir.Write("Install.exe", Bytes(20000));
  const std::string drive = testing::HostPath(root + "/drive_q");
  const std::string capacity = testing::HostPath(root + "/capacity");
  ASSERT_TRUE(platform::ForceDirectories(drive) && platform::ForceDirectories(capacity));
  {
    const platform::FileHandle limit = platform::FileCreate(capacity + "\\q");
    ASSERT_EQ(platform::FileWrite(limit, "10000", 5), 5);  // room for the first block only
    platform::FileClose(limit);
  }
  const std::string message =
      testing::MessageOf<base::EWriteError>([&] { CopyFileTo(dir.Path() + "Install.exe", "Q:\\Install.exe"); });
  platform::DeleteFile(capacity + "\\q");
  EXPECT_NE(message.find("Cannot write to file \"Q:\\Install.exe\". There is not enough space on the disk."),
            std::string::npos)
      << message;
  EXPECT_FALSE(platform::FileExists("Q:\\Install.exe"));
  platform::RemoveDir(drive);
#endif
}

TEST(HasAttr, EveryBitOfTheMaskMustBeSetAndAMissingPathHasThemAll) {
  ScratchDir dir;
  dir.Write("file.txt", "x");
  EXPECT_FALSE(HasAttr(dir.Path() + "file.txt", platform::faDirectory));
  EXPECT_TRUE(HasAttr(dir.Path() + "file.txt", 0));
  EXPECT_TRUE(HasAttr(dir.Path(), platform::faDirectory));
  EXPECT_FALSE(HasAttr(dir.Path(), platform::faDirectory | platform::faReadOnly));
  EXPECT_TRUE(HasAttr(dir.Path() + "missing", platform::faDirectory | platform::faReadOnly));
}

TEST(ShellFileOp, DeletesTheListAndPutsTheCursorBack) {
  ScratchDir dir;
  dir.Write("a.exe", "a");
  dir.Write("Docs\\b.txt", "b");
  dir.Write("keep.txt", "k");
  std::string list = dir.Path() + "a.exe";
  list += '\0';
  list += dir.Path() + "Docs\\b.txt";
  list += '\0';
  list += '\0';
  EXPECT_TRUE(ShellFileOp(0, platform::foDelete, list, false, list));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"Docs", "keep.txt"}));
  EXPECT_TRUE(dir.Names("Docs").empty());
  EXPECT_EQ(platform::ScreenCursor(), platform::TCursorKind::crDefault);
}

}  // namespace
}  // namespace qel::installer
