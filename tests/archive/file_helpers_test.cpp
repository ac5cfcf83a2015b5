#include "archive/file_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "base/exceptions.h"

namespace qel::archive {
namespace {

TEST(FileHelpersTest, PercentagesRoundHalvesToEvenAndStayInRange) {
  struct TCase {
    std::int64_t Part, Whole;
    std::int32_t Expected;
  };
  const TCase cases[] = {
      {1, 3, 33},   {2, 3, 67},     {1, 8, 12},      {3, 8, 38},   {1, 200, 0},
      {3, 200, 2},  {40, 40, 100},  {41, 40, 100},   {5, 0, 0},    {5, -1, 0},
      {0, 7, 0},    {-3, 7, 0},
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.Part << " of " << c.Whole);
    EXPECT_EQ(Percentage(static_cast<std::int32_t>(c.Part), static_cast<std::int32_t>(c.Whole)), c.Expected);
    EXPECT_EQ(Percentage64(c.Part, c.Whole), c.Expected);
  }
  constexpr std::int64_t Big = std::int64_t{1} << 40;  // beyond 32 bits, 100 × part beyond 2^46
  EXPECT_EQ(Percentage64(Big, 2 * Big), 50);
  EXPECT_EQ(Percentage64(std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max()), 100);
  EXPECT_EQ(Percentage64(std::numeric_limits<std::int64_t>::min(), 1), 0);
  EXPECT_EQ(Percentage(std::numeric_limits<std::int32_t>::max(), 1), 100);
}

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
  EXPECT_TRUE(DirectoryExists(deep));
  EXPECT_FALSE(FileExists(deep));
  EXPECT_FALSE(DirectoryExists("C:\\helpers-test\\missing"));

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
