// OEM and ANSI conversions, UTF-8 and the locale comparison.
#include "platform/code_pages.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page_437.h"

namespace qel::platform {
namespace {

// The expectations below are those of code page 437 and Windows-1252.
bool UsualCodePages() { return OemCodePage() == 437 && AnsiCodePage() == 1252; }

std::string Oem(std::string text) {
  OemToAnsi(text);
  return text;
}

std::string Ansi(std::string text) {
  AnsiToOem(text);
  return text;
}

TEST(CodePages, TablesMatchTheSystemsConversionForEveryByte) {
#ifndef _WIN32
  GTEST_SKIP() << "the stand-in converts with the tables themselves";
#else
  if (!UsualCodePages()) GTEST_SKIP() << "OEM " << OemCodePage() << ", ANSI " << AnsiCodePage();
  for (int byte = 0; byte < 256; ++byte) {
    const std::string one(1, static_cast<char>(byte));
    EXPECT_EQ(static_cast<std::uint8_t>(Oem(one)[0]), OemToAnsiTable[byte]) << "OemToCharA of 0x" << std::hex << byte;
    EXPECT_EQ(static_cast<std::uint8_t>(Ansi(one)[0]), AnsiToOemTable[byte]) << "CharToOemA of 0x" << std::hex << byte;
  }
#endif
}

TEST(CodePages, OemNamesBecomeAnsiWithBestFit) {
  if (!UsualCodePages()) GTEST_SKIP();
  struct TCase {
    std::string Oem, Ansi;
  };
  const TCase cases[] = {
      {"caf\x82.txt", "caf\xE9.txt"},       // accented letters keep their letter
      {"\x8E\x99\x9A\xE1", "\xC4\xD6\xDC\xDF"},
      {"\xC9\xCD\xBB\xB3", "+-+\xA6"},      // box drawing becomes its look-alikes
      {"\xE0\xE3\xEA", "apO"},              // Greek letters become Latin ones
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const TCase& c : cases) EXPECT_EQ(Oem(c.Oem), c.Ansi) << c.Oem;
  EXPECT_EQ(Ansi("caf\xE9"), "caf\x82");
  EXPECT_EQ(Ansi("\xC0\x80"), "A?") << "no accented capital A and no euro sign in code page 437";
}

TEST(CodePages, Utf8RoundTripsEveryAnsiCharacter) {
  if (!UsualCodePages()) GTEST_SKIP();
  EXPECT_EQ(AnsiToUtf8("Caf\xE9 \x80 \x9F"), "Caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8");
  EXPECT_EQ(Utf8ToAnsi("Caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8"), "Caf\xE9 \x80 \x9F");
  std::string all;
  for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
  EXPECT_EQ(Utf8ToAnsi(AnsiToUtf8(all)), all);
  EXPECT_EQ(Utf8ToAnsi("\xE2\x98\x83"), "?") << "a snowman has no ANSI form";
  EXPECT_EQ(Utf8ToAnsi("\xC4\x81"), "?") << "no best fit: a with macron does not become a";
  EXPECT_EQ(AnsiToUtf8(""), "");
}

#ifndef _WIN32
TEST(CodePages, MalformedUtf8BecomesQuestionMarks) {
  EXPECT_EQ(Utf8ToAnsi("a\xFF" "b"), "a?b");
  EXPECT_EQ(Utf8ToAnsi("\xC3"), "?") << "a sequence cut short";
  EXPECT_EQ(Utf8ToAnsi("\xC0\xA9"), "??") << "an overlong form";
  EXPECT_EQ(Utf8ToAnsi("\xED\xA0\x80"), "???") << "a surrogate";
}
#endif

TEST(CodePages, LocaleComparisonIgnoresTheCaseOfAnsiLetters) {
  if (!UsualCodePages()) GTEST_SKIP();
  EXPECT_TRUE(SameTextLocale("C:\\Temp\\IMAGE.ZIP", "c:\\temp\\image.zip"));
  EXPECT_TRUE(SameTextLocale("CAF\xC9 \x8A\x8C\x8E\x9F", "caf\xE9 \x9A\x9C\x9E\xFF"));
  EXPECT_FALSE(SameTextLocale("caf\xE9", "cafe")) << "accents still count";
  EXPECT_FALSE(SameTextLocale("image.zip", "image.zi"));
  EXPECT_LT(CompareTextLocale("abc", "ABD"), 0);
  EXPECT_GT(CompareTextLocale("b", "A"), 0);
  EXPECT_LT(CompareTextLocale("", "a"), 0);
  EXPECT_EQ(CompareTextLocale("", ""), 0);
}

}  // namespace
}  // namespace qel::platform
