#include "base/format.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/exceptions.h"

namespace qel::base {
namespace {

TEST(FormatTest, DirectivesWithFlagsWidthAndPrecision) {
  struct Case {
    std::string Result;
    std::string Expected;
  };
  const Case cases[] = {
      {Format("%3.3d", {2}), "002"},
      {Format("%.3d", {-2}), "-002"},
      {Format("%5d|%-5d|", {42, 42}), "   42|42   |"},
      {Format("%6.3d", {7}), "   007"},
      {Format("%.1d", {1234}), "1234"},  // a precision never cuts digits
      {Format("%d", {LLONG_MIN}), "-9223372036854775808"},
      {Format("%d", {ULLONG_MAX}), "18446744073709551615"},
      {Format("%u", {-1}), "4294967295"},
      {Format("%u", {3000000000u}), "3000000000"},
      {Format("%x %X", {255, 48879}), "FF BEEF"},
      {Format("%.8x", {0x2Au}), "0000002A"},
      {Format("%x", {-1}), "FFFFFFFF"},
      {Format("%s", {"text"}), "text"},
      {Format("%.2s|%-4s|%4s", {"abcdef", "ab", "ab"}), "ab|ab  |  ab"},
      {Format("%s", {std::string("with\0nul", 8)}), std::string("with\0nul", 8)},
      {Format("100%% of %d", {3}), "100% of 3"},
      {Format("%1:s %0:s %s", {"a", "b", "c"}), "b a b"},
      {Format("no directives", {}), "no directives"},
      {Format("Cannot open file \"%s\". %s", {"C:\\x.zip", "Not found."}), "Cannot open file \"C:\\x.zip\". Not found."},
  };
  for (const Case& c : cases) EXPECT_EQ(c.Result, c.Expected);
}

TEST(FormatTest, BadPatternsAndArgumentsRaiseConvertError) {
  const char* patterns[] = {"%d", "%s", "%q", "abc %", "%5", "%.d", "%-", "%3:d"};
  for (const char* pattern : patterns) {
    EXPECT_THROW(Format(pattern, {}), EConvertError) << pattern;
  }
  EXPECT_THROW(Format("%d", {"text"}), EConvertError);
  EXPECT_THROW(Format("%s", {5}), EConvertError);
  EXPECT_THROW(Format("%x", {"text"}), EConvertError);
  EXPECT_THROW(Format("%d %d", {1}), EConvertError);
  EXPECT_THROW(Format("%99999999d", {1}), EConvertError);
  try {
    Format("Index %d is out of range", {"x"});
    FAIL();
  } catch (const EConvertError& e) {
    EXPECT_EQ(e.Message(), "Format 'Index %d is out of range' invalid or incompatible with argument");
  }
}

}  // namespace
}  // namespace qel::base
