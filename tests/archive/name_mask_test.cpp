#include "archive/name_mask.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qel::archive {
namespace {

struct MatchCase {
  std::string_view Mask;
  std::string_view Name;
  bool Matches;
};

void ExpectMatches(const std::vector<MatchCase>& cases) {
  for (const auto& c : cases) {
    EXPECT_EQ(IsMatch(c.Mask, c.Name), c.Matches) << "mask \"" << c.Mask << "\" name \"" << c.Name << "\"";
  }
}

TEST(NameMask, StarsTakeAnyRunAndCrossBackslashes) {
  ExpectMatches({
      {"", "", true}, {"", "a", false}, {"*", "", true}, {"*", "a\\b.txt", true},
      {"abc*", "abc", true}, {"abc*", "abcdef", true}, {"abc*", "ab", false},
      {"*.txt", "a.txt", true}, {"*.txt", ".txt", true}, {"*.txt", "a.txt.bak", false},
      {"*.txt", "a.b.txt", true}, {"a*b*c", "aXbYc", true}, {"a*b*c", "aXbY", false},
      {"a*b*c", "abcbc", true}, {"*ab", "aab", true}, {"*aab", "aaab", true},
      {"docs\\*", "docs\\a.txt", true}, {"docs\\*", "docs\\sub\\a.txt", true},
      {"*\\a.txt", "docs\\sub\\a.txt", true}, {"docs\\*", "doc\\a.txt", false},
      {"*?", "", false}, {"*?", "x", true}, {"*??", "x", false}, {"*??", "xy", true},
      {"*?*", "", false}, {"*?*", "x", true}, {"?*?", "xy", true}, {"?*?", "x", false},
      {"*[ab]", "xxb", true}, {"*[ab]x", "abx", true}, {"*[ab]x", "abyx", false},
  });
}

// Two or more final stars need at least one character of their own, one star does not.
TEST(NameMask, FinalStarRunsAtTheEndOfTheName) {
  ExpectMatches({
      {"**", "", false}, {"**", "a", true}, {"***", "abc", true},
      {"abc**", "abc", false}, {"abc**", "abcd", true}, {"a?**", "ab", false},
      {"*a**", "xa", false}, {"*a**", "aa", true}, {"*a**", "xax", true},
      {"*?**", "x", true}, {"*?*", "x", true}, {"a?*", "ab", true},
  });
  EXPECT_EQ(MatchMask("abc**", "abc"), TMaskResult::mrNameUsedUp);
}

TEST(NameMask, SetsRangesAndNegation) {
  ExpectMatches({
      {"[abc]", "b", true}, {"[abc]", "d", false}, {"[a-c]", "b", true}, {"[a-c]", "c", true},
      {"[a-c]", "d", false}, {"[a-c]*", "cat", true}, {"[a-c]*", "dog", false},
      {"[!a-c]*", "dog", true}, {"[!a-c]*", "cat", false}, {"[^a-c]*", "dog", true},
      {"[^a-c]*", "bat", false}, {"[!a-c]*", "", false}, {"[!a]", "ab", false},
      {"[c-a]x", "bx", false}, {"[c-a]x", "cx", false}, {"[c-ax]", "x", true},
      {"[-a]", "-", true}, {"[-a]", "a", true}, {"[-a]", "b", false},
      {"[a-c-e]", "-", true}, {"[a-c-e]", "e", true}, {"[a-c-e]", "d", false},
      {"[--a]", ".", true}, {"[a]]", "a]", true}, {"[a]]", "a", false},
      {"[[]", "[", true}, {"[!!]", "!", false}, {"[!!]", "x", true}, {"[*?]", "*", true},
      {"[*?]", "x", false}, {"x[0-9][0-9]", "x42", true}, {"x[0-9][0-9]", "x4a", false},
  });
}

// A set is checked only as far as the scan reaches: up to the member that admits the
// character, or to the end when none does.
TEST(NameMask, MalformedSetsNeverMatchWhereTheScanReachesThem) {
  const struct {
    std::string_view Mask, Name;
    TMaskResult Result;
  } cases[] = {
      {"[]x", "]x", TMaskResult::mrMalformedSet}, {"[!]x", "ax", TMaskResult::mrMalformedSet},
      {"[^]", "a", TMaskResult::mrMalformedSet}, {"[a-]x", "ax", TMaskResult::mrMalformedSet},
      {"[abc", "a", TMaskResult::mrMalformedSet}, {"[abc", "d", TMaskResult::mrMalformedSet},
      {"[", "a", TMaskResult::mrMalformedSet}, {"[!", "a", TMaskResult::mrMalformedSet},
      {"[a", "a", TMaskResult::mrMalformedSet}, {"[a-", "a", TMaskResult::mrMalformedSet},
      {"[a-c", "b", TMaskResult::mrMalformedSet}, {"[ab-]", "c", TMaskResult::mrMalformedSet},
      {"[ab-]", "a", TMaskResult::mrMatch}, {"[!ab", "a", TMaskResult::mrNotInSet},
      {"*[", "abc", TMaskResult::mrMalformedSet}, {"[]", "", TMaskResult::mrNameUsedUp},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MatchMask(c.Mask, c.Name), c.Result) << c.Mask << " / " << c.Name;
  }
}

TEST(NameMask, BackslashColonAndClosingBracketAreOrdinary) {
  ExpectMatches({
      {"a?c", "a\\c", true}, {"a\\c", "a\\c", true}, {"a\\?", "a\\x", true}, {"a\\?", "ax", false},
      {"a\\*", "a*", false}, {"a\\*", "a\\", true}, {"\\[ab]", "\\a", true}, {"\\[ab]", "[ab]", false},
      {"c:*", "c:\\x", true}, {"a]", "a]", true}, {"]", "]", true}, {"-!^", "-!^", true},
      {"a\\", "a\\", true}, {"a\\", "a", false},
  });
}

// Only A to Z fold; the neighbours of the letters and the upper half stay as they are.
TEST(NameMask, OnlyAsciiLettersFold) {
  ExpectMatches({
      {"A?C.TXT", "abc.txt", true}, {"readme.txt", "README.TXT", true}, {"[a-c]", "B", true},
      {"[A-C]", "b", true}, {"[!A-C]", "b", false}, {"[Z-a]", "_", false}, {"@", "`", false},
      {"\\", "|", false}, {"]", "}", false}, {"\xC9", "\xE9", false}, {"\xE9", "\xE9", true},
      {"*\xC9", "x\xE9", false}, {"[\xE0-\xFF]", "\xE9", true}, {"[\xE0-\xFF]", "\xC9", false},
      {"[a-\xFF]", "\x80", true}, {"[\x70-\x90]", "z", true}, {"[!\x80-\xFF]", "z", true},
  });
}

// Names are UTF-8: "?" and a set take a whole character, however many bytes it has.
TEST(NameMask, AUnicodeCharacterIsOneCharacter) {
  ExpectMatches({
      {"?.txt", "\xC3\xA9.txt", true}, {"??.txt", "\xE4\xB8\xAD.txt", false}, {"*\xE4\xB8\xAD?", "a\xE4\xB8\xAD\xE6\x96\x87", true},
      {"[\xCE\xB1-\xCF\x89]x", "\xCE\xBBx", true}, {"[!\xCE\xB1-\xCF\x89]x", "\xCE\xBBx", false}, {"\xCE\xA9", "\xCF\x89", false},
  });
}

TEST(NameMask, ResultCodesOfStarlessMasks) {
  EXPECT_EQ(MatchMask("", "a"), TMaskResult::mrMaskUsedUp);
  EXPECT_EQ(MatchMask("ab", "abc"), TMaskResult::mrMaskUsedUp);
  EXPECT_EQ(MatchMask("abc", "ab"), TMaskResult::mrNameUsedUp);
  EXPECT_EQ(MatchMask("a?", "a"), TMaskResult::mrNameUsedUp);
  EXPECT_EQ(MatchMask("a[bc]", "ad"), TMaskResult::mrNotInSet);
  EXPECT_EQ(MatchMask("a[!d]", "ad"), TMaskResult::mrNotInSet);
  EXPECT_EQ(MatchMask("ab", "ax"), TMaskResult::mrLiteralDiffers);
  EXPECT_EQ(MatchMask("?B", "xb"), TMaskResult::mrMatch);
}

// Each mask and name lies in a heap block of exactly its size, so the address sanitizer
// catches a read one past either end (a std::string would hide it behind its terminator).
TEST(NameMask, NeverReadsPastEitherEnd) {
  const std::string masks[] = {"[a-", "[a-c", "[!", "[ab-]", "a*[b", "*?", "**", "a[!b]c*", "*\\"};
  const std::string names[] = {"", "a", "b", "x", "-", "ab", "abc", "a\\"};
  for (const auto& mask : masks) {
    for (std::size_t cut = 0; cut <= mask.size(); ++cut) {
      auto maskCopy = std::make_unique<char[]>(cut);  // a block of size 0 is still guarded
      mask.copy(maskCopy.get(), cut);
      for (const auto& name : names) {
        auto nameCopy = std::make_unique<char[]>(name.size());
        name.copy(nameCopy.get(), name.size());
        MatchMask({maskCopy.get(), cut}, {nameCopy.get(), name.size()});
      }
    }
  }
}

// A plain backtracking search would take exponential time or recurse once per star here.
TEST(NameMask, HostileMasksStayCheap) {
  std::string manyStars;
  for (int i = 0; i < 40; ++i) manyStars += "*a";
  EXPECT_FALSE(IsMatch(manyStars + "*b", std::string(2000, 'a')));
  EXPECT_TRUE(IsMatch(manyStars + "*b", std::string(2000, 'a') + "b"));

  std::string deep;
  for (int i = 0; i < 200000; ++i) deep += "*x";
  EXPECT_FALSE(IsMatch(deep, std::string(1000, 'x')));
  EXPECT_TRUE(IsMatch(deep, std::string(200000, 'x')));
  EXPECT_TRUE(IsMatch(std::string(100000, '*'), "x"));
}

// The mask language defined by its plain backtracking search: a star tries every name
// position where the rest of the mask could begin. Exponential, fine for short inputs.
// Inputs are already lower case.
int ReferenceMain(std::string_view m, std::string_view n);

int ReferenceSet(std::string_view m, std::size_t& i, char x) {
  ++i;
  bool negated = false;
  if (i < m.size() && (m[i] == '!' || m[i] == '^')) negated = true, ++i;
  if (i >= m.size() || m[i] == ']') return 6;
  bool admitted = false;
  while (!admitted && m[i] != ']') {
    const char c = m[i];
    if (++i >= m.size()) return 6;
    char d = c;
    if (m[i] == '-') {
      if (++i >= m.size() || m[i] == ']') return 6;
      d = m[i];
      if (++i >= m.size()) return 6;
    }
    admitted = c <= x && x <= d;
  }
  if (admitted == negated) return 4;
  while (i < m.size() && m[i] != ']') ++i;
  if (i >= m.size()) return 6;
  ++i;
  return 1;
}

int ReferenceStar(std::string_view m, std::string_view n) {
  while (!m.empty() && (m[0] == '*' || m[0] == '?')) {
    if (m[0] == '?') {
      if (n.empty()) return 3;
      n.remove_prefix(1);
    }
    m.remove_prefix(1);
  }
  if (m.empty()) return 1;
  if (n.empty()) return 3;
  for (std::size_t k = 0; k < n.size(); ++k) {
    if ((m[0] == n[k] || m[0] == '[') && ReferenceMain(m, n.substr(k)) == 1) return 1;
  }
  return 0;
}

int ReferenceMain(std::string_view m, std::string_view n) {
  std::size_t i = 0, j = 0;
  while (i < m.size()) {
    if (j >= n.size()) return m[i] == '*' && i + 1 == m.size() ? 1 : 3;
    if (m[i] == '*') return ReferenceStar(m.substr(i), n.substr(j));
    if (m[i] == '[') {
      const int set = ReferenceSet(m, i, n[j]);
      if (set != 1) return set;
      ++j;
    } else if (m[i] == '?' || m[i] == n[j]) {
      ++i, ++j;
    } else {
      return 5;
    }
  }
  return j >= n.size() ? 1 : 2;
}

void AllStrings(std::string_view alphabet, std::size_t maxLength, std::vector<std::string>& out) {
  out.assign(1, "");
  for (std::size_t from = 0, length = 1; length <= maxLength; ++length) {
    const std::size_t to = out.size();
    for (std::size_t k = from; k < to; ++k) {
      for (char c : alphabet) out.push_back(out[k] + c);
    }
    from = to;
  }
}

TEST(NameMask, AgreesWithThePlainBacktrackingSearch) {
  std::vector<std::string> masks, names;
  AllStrings("ab*?[]!-", 6, masks);
  AllStrings("ab-", 4, names);
  int disagreements = 0;
  for (const auto& mask : masks) {
    const bool starless = mask.find('*') == std::string::npos;
    for (const auto& name : names) {
      const int expected = ReferenceMain(mask, name);
      const auto result = MatchMask(mask, name);
      const bool agrees = starless ? static_cast<int>(result) == expected
                                   : (result == TMaskResult::mrMatch) == (expected == 1);
      if (!agrees && ++disagreements <= 10) {
        ADD_FAILURE() << "mask \"" << mask << "\" name \"" << name << "\": " << static_cast<int>(result)
                      << ", expected " << expected;
      }
    }
  }
  EXPECT_EQ(disagreements, 0);
}

}  // namespace
}  // namespace qel::archive
