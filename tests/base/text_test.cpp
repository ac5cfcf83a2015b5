#include "base/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "base/exceptions.h"

namespace qel::base {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(TextTest, CompareTextFoldsOnlyAsciiAndOrdersBytesUnsigned) {
  struct Case {
    const char* A;
    const char* B;
    int Expected;
  };
  const Case cases[] = {
      {"abc", "ABC", 0},
      {"", "", 0},
      {"a", "ab", -1},     // a prefix comes first
      {"AB", "a", 1},
      {"", "a", -1},
      {"_", "a", 1},       // "a" folds to "A" (0x41), below "_" (0x5F)
      {"[", "z", 1},       // likewise "Z" (0x5A) is below "[" (0x5B)
      {"\x80", "z", 1},    // bytes above 127 compare unsigned
      {"\xE9", "\xC9", 1}, // e acute and E acute are not folded
      {"readme.TXT", "README.txt", 0},
      {"Docs\\a", "docs\\B", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Sign(CompareText(c.A, c.B)), c.Expected) << c.A << " vs " << c.B;
    EXPECT_EQ(Sign(CompareText(c.B, c.A)), -c.Expected) << c.B << " vs " << c.A;
    EXPECT_EQ(SameText(c.A, c.B), c.Expected == 0);
  }
  // Embedded NULs are bytes like any other, not terminators.
  EXPECT_LT(CompareText(std::string("a\0a", 3), std::string("a\0b", 3)), 0);
}

TEST(TextTest, CaseMappingTouchesOnlyAsciiLetters) {
  EXPECT_EQ(UpperCase("abz AZ 09 \xE9\xFF"), "ABZ AZ 09 \xE9\xFF");
  EXPECT_EQ(LowerCase("ABZ az [@] \xC9"), "abz az [@] \xC9");
}

TEST(TextTest, RoundHalfEvenSendsHalvesToTheEvenNeighbour) {
  struct Case {
    double Value;
    std::int64_t Expected;
  };
  const Case cases[] = {
      {0.5, 0}, {1.5, 2}, {2.5, 2}, {3.5, 4}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2},
      {2.4999999, 2}, {2.5000001, 3}, {-2.6, -3}, {-0.4, 0}, {0.0, 0}, {100.0, 100},
      // The largest double below one half: adding 0.5 and taking the floor would give 1.
      {0.49999999999999994, 0},
      // Above 2^52 every double is an integer; adding 0.5 would round up to the next one.
      {4503599627370497.0, 4503599627370497},
      {-4503599627370497.0, -4503599627370497},
  };
  for (const Case& c : cases) EXPECT_EQ(RoundHalfEven(c.Value), c.Expected) << c.Value;
  EXPECT_THROW(RoundHalfEven(std::nan("")), EConvertError);
  EXPECT_THROW(RoundHalfEven(std::numeric_limits<double>::infinity()), EConvertError);
  EXPECT_THROW(RoundHalfEven(1e300), EConvertError);
}

TEST(TextTest, PathHelpersSplitAtBackslashAndDriveColon) {
  struct Case {
    const char* Name;
    const char* Path;
    const char* FileName;
    const char* Dir;
    const char* Ext;
  };
  const Case cases[] = {
      {"C:\\Qel\\Docs\\readme.txt", "C:\\Qel\\Docs\\", "readme.txt", "C:\\Qel\\Docs", ".txt"},
      {"C:\\setup.exe", "C:\\", "setup.exe", "C:\\", ".exe"},
      {"C:x.zip", "C:", "x.zip", "C:", ".zip"},
      {"\\root.dat", "\\", "root.dat", "\\", ".dat"},
      {"plain", "", "plain", "", ""},
      {"dir.v2\\file", "dir.v2\\", "file", "dir.v2", ""},
      {"Docs\\", "Docs\\", "", "Docs", ""},
      {"archive.tar.gz", "", "archive.tar.gz", "", ".gz"},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractFilePath(c.Name), c.Path) << c.Name;
    EXPECT_EQ(ExtractFileName(c.Name), c.FileName) << c.Name;
    EXPECT_EQ(ExtractFileDir(c.Name), c.Dir) << c.Name;
    EXPECT_EQ(ExtractFileExt(c.Name), c.Ext) << c.Name;
  }
  EXPECT_EQ(IncludeTrailingBackslash("C:\\Qel"), "C:\\Qel\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\Qel\\"), "C:\\Qel\\");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Qel\\"), "C:\\Qel");
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Qel\\\\"), "C:\\Qel\\");  // only one is removed
  EXPECT_EQ(ExcludeTrailingBackslash("C:\\Qel"), "C:\\Qel");
}

}  // namespace
}  // namespace qel::base
