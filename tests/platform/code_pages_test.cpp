// Code pages into UTF-8, UTF-8 itself and the comparison that ignores case.
#include "platform/code_pages.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/code_page_437.h"
#include "platform/unicode_text.h"

namespace qel::platform {
namespace {

// The expectations below are those of code page 437 and Windows-1252.
bool UsualCodePages() { return OemCodePage() == 437 && AnsiCodePage() == 1252; }

TEST(CodePages, OemNamesBecomeTheirUnicodeCharacters) {
  if (!UsualCodePages()) GTEST_SKIP() << "OEM " << OemCodePage() << ", ANSI " << AnsiCodePage();
  EXPECT_EQ(OemToUtf8("caf\x82.txt"), "caf\xC3\xA9.txt");
  EXPECT_EQ(OemToUtf8("\xE0\xEA\xC9\xFF"), "\xCE\xB1\xCE\xA9\xE2\x95\x94\xC2\xA0") << "Greek, box drawing, no-break space";
  EXPECT_EQ(OemToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
  // The stand-in's table against the system's own conversion, where there is one.
  for (int byte = 0x80; byte < 256; ++byte) {
    std::string expected;
    AppendUtf8(expected, OemToCodePoint(static_cast<std::uint8_t>(byte)));
    EXPECT_EQ(OemToUtf8(std::string(1, static_cast<char>(byte))), expected) << "0x" << std::hex << byte;
  }
}

TEST(CodePages, AnsiTextOfEarlierVersionsBecomesUtf8) {
  if (!UsualCodePages()) GTEST_SKIP();
  EXPECT_EQ(AnsiToUtf8("Caf\xE9 \x80 \x9F"), "Caf\xC3\xA9 \xE2\x82\xAC \xC5\xB8");
  EXPECT_EQ(AnsiToUtf8(""), "");
}

TEST(CodePages, Utf8IsReadStrictly) {
  EXPECT_TRUE(IsValidUtf8("J\xC3\xB6rg \xCE\xA9\xE4\xB8\xAD \xF0\x9F\x98\x80"));
  EXPECT_FALSE(IsValidUtf8("a\xFF" "b"));
  EXPECT_FALSE(IsValidUtf8("\xC3")) << "a sequence cut short";
  EXPECT_FALSE(IsValidUtf8("\xC0\xA9")) << "an overlong form";
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80")) << "a surrogate";
}

TEST(CodePages, ComparisonIgnoresTheCaseOfLettersInEveryScript) {
  EXPECT_TRUE(SameTextLocale("C:\\Temp\\IMAGE.ZIP", "c:\\temp\\image.zip"));
  EXPECT_TRUE(SameTextLocale("CAF\xC3\x89 \xC5\xA0\xC5\xB8", "caf\xC3\xA9 \xC5\xA1\xC3\xBF"));
  EXPECT_TRUE(SameTextLocale("\xCE\xA9\xCE\xA3 \xD0\x96 \xC4\x80", "\xCF\x89\xCF\x83 \xD0\xB6 \xC4\x81")) << "Greek, Cyrillic, Latin A";
  EXPECT_TRUE(SameTextLocale("\xE4\xB8\xAD\xE6\x96\x87", "\xE4\xB8\xAD\xE6\x96\x87"));
  EXPECT_FALSE(SameTextLocale("caf\xC3\xA9", "cafe")) << "accents still count";
  EXPECT_FALSE(SameTextLocale("image.zip", "image.zi"));
  EXPECT_LT(CompareTextLocale("abc", "ABD"), 0);
  EXPECT_GT(CompareTextLocale("b", "A"), 0);
  EXPECT_LT(CompareTextLocale("", "a"), 0);
  EXPECT_EQ(CompareTextLocale("", ""), 0);
}

}  // namespace
}  // namespace qel::platform
