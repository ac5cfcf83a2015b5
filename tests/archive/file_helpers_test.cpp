#include "archive/file_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "base/exceptions.h"
#include "platform/files.h"

namespace qel::archive {
namespace {

TEST(FileHelpersTest, TextPartsAndSeparators) {
  EXPECT_EQ(LeftPart("A:\\disk", 3), "A:\\");
  EXPECT_EQ(LeftPart("ab", 3), "ab");
  EXPECT_EQ(LeftPart("ab", -1), "");
  EXPECT_EQ(RightPart("LABEL002", 3), "002");
  EXPECT_EQ(RightPart("02", 3), "02");
  EXPECT_EQ(RightPart("02", 0), "");

  std::string name = "bin/sub/tool.exe";
  SlashesToBackslashes(name);
  EXPECT_EQ(name, "bin\\sub\\tool.exe");
  BackslashesToSlashes(name);
  EXPECT_EQ(name, "bin/sub/tool.exe");
}

TEST(FileHelpersTest, DirectoriesAreCreatedAndEntered) {
  const std::string start = CurrentDirectory();
  const std::string deep = "C:\\helpers-test\\a\\b\\c";
  ASSERT_TRUE(CreateDirectories(deep));
  EXPECT_TRUE(platform::DirectoryExists(deep));
  EXPECT_FALSE(platform::FileExists(deep));
  EXPECT_FALSE(platform::DirectoryExists("C:\\helpers-test\\missing"));

  ChangeDirectory(deep);
  EXPECT_EQ(CurrentDirectory(), deep);
  try {
    ChangeDirectory("C:\\helpers-test\\missing");
    ADD_FAILURE();
  } catch (const base::EInOutError& error) {
    EXPECT_NE(error.ErrorCode, 0);
    EXPECT_FALSE(error.Message().empty());
  }
  EXPECT_EQ(CurrentDirectory(), deep);
  ChangeDirectory(start);
  EXPECT_LE(VolumeLabel("C:\\").size(), 13u);
}

}  // namespace
}  // namespace qel::archive
