// Symbolic links where the system has them: made in one step over what is there, never over a
// folder, and deleted as themselves.
#include "platform/unix_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "support/scratch.h"

namespace qel::platform {
namespace {

TEST(UnixFiles, LinksReplaceFilesNotFoldersAndAreDeletedAsThemselves) {
  if (!HasUnixFiles()) GTEST_SKIP() << "no symbolic links here";
  namespace fs = std::filesystem;
  const testing::ScratchDir scratch;
  scratch.Write("file.txt", "old");
  scratch.Write("folder/kept.txt", "kept");
  const std::string& dir = scratch.Path();
  const std::string host = scratch.PosixPath() + "/";

  const TFileTime moment = (1600000000LL + 11644473600LL) * 10000000LL + 1234500;
  ASSERT_TRUE(CreateSymbolicLink(dir + "file.txt", "folder", moment)) << LastErrorText();
  EXPECT_TRUE(IsSymbolicLink(dir + "file.txt"));
  EXPECT_EQ(fs::read_symlink(host + "file.txt"), "folder");
  EXPECT_EQ(FileGetTime(dir + "file.txt"), moment) << "the link's own time, not its folder's";
  EXPECT_FALSE(CreateSymbolicLink(dir + "folder", "file.txt"));
  EXPECT_TRUE(DirectoryExists(dir + "folder"));
  ASSERT_TRUE(CreateSymbolicLink(dir + "dangling", "nowhere"));
  EXPECT_EQ(FileGetAttr(dir + "dangling"), 0u) << "a link is there, even one to nothing";
  EXPECT_TRUE(FileExists(dir + "file.txt")) << "a link to a folder is a file of its own";

  // A link to a folder and one to nothing both go, and what they point at stays.
  EXPECT_TRUE(DeleteFile(dir + "file.txt")) << LastErrorText();
  EXPECT_TRUE(DeleteFile(dir + "dangling")) << LastErrorText();
  EXPECT_EQ(scratch.Names(), std::vector<std::string>{"folder"});
  EXPECT_EQ(scratch.Read("folder/kept.txt"), "kept");
}

}  // namespace
}  // namespace qel::platform
