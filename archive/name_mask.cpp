#include "archive/name_mask.h"

#include <cstddef>

#include "platform/unicode_text.h"

namespace qel::archive {

namespace {

constexpr std::size_t NoPosition = std::string_view::npos;

// Names are UTF-8: a character is a whole sequence, so "?" takes "é" or "中" as one. A byte
// that starts no sequence is a character of its own, its value its code.
struct TChar {
  char32_t Code;
  std::size_t Length;
};

TChar CharAt(std::string_view text, std::size_t at) {
  std::size_t next = at;
  char32_t code = 0;
  platform::DecodeUtf8(text, next, code);
  return {code, next - at};
}

// Only A to Z fold: which other letters pair up is a question of language, not of bytes.
constexpr char32_t Fold(char32_t c) { return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c; }

char32_t FoldedAt(std::string_view text, std::size_t at) { return Fold(CharAt(text, at).Code); }

struct TSetOutcome {
  TMaskResult Result;  // mrMatch, mrNotInSet or mrMalformedSet
  std::size_t End;     // mask position behind the closing "]" when the set matched
};

// Tests the name character x against the set that opens at mask[open] ("["). Members are
// read only until one admits x, so a fault behind that member goes unnoticed; every
// read is checked against the mask's end first.
TSetOutcome MatchSet(std::string_view mask, std::size_t open, char32_t x) {
  const TSetOutcome malformed{TMaskResult::mrMalformedSet, NoPosition};
  std::size_t p = open + 1;
  bool negated = false;
  if (p < mask.size() && (mask[p] == '!' || mask[p] == '^')) {
    negated = true;
    ++p;
  }
  if (p >= mask.size() || mask[p] == ']') return malformed;  // no set may be empty

  bool admitted = false;
  // Each member below checks that the mask goes on behind it, so mask[p] is readable here.
  while (!admitted && mask[p] != ']') {
    const TChar first = CharAt(mask, p);
    const std::size_t q = p + first.Length;
    if (q >= mask.size()) return malformed;
    if (mask[q] == '-') {
      if (q + 1 >= mask.size() || mask[q + 1] == ']') return malformed;
      const TChar last = CharAt(mask, q + 1);
      if (q + 1 + last.Length >= mask.size()) return malformed;
      admitted = Fold(first.Code) <= x && x <= Fold(last.Code);  // a reversed range admits nothing
      p = q + 1 + last.Length;
    } else {
      admitted = Fold(first.Code) == x;
      p = q;
    }
  }
  if (admitted == negated) return {TMaskResult::mrNotInSet, NoPosition};
  if (admitted) {
    p = mask.find(']', p);
    if (p == NoPosition) return malformed;
  }
  return {TMaskResult::mrMatch, p + 1};
}

// The first name position from `from` on where the mask character c can start a match:
// any position for a set, else one holding c.
std::size_t NextCandidate(char32_t c, std::string_view name, std::size_t from) {
  for (std::size_t k = from; k < name.size(); k += CharAt(name, k).Length) {
    if (c == '[' || FoldedAt(name, k) == c) return k;
  }
  return NoPosition;
}

}  // namespace

// The search walks mask and name together and remembers only the latest run of stars:
// where the mask goes on behind it and which name position that rest was last tried at.
// A failure moves that rest to the next candidate position. Earlier stars need no second
// chance: what lies between two star runs consumes a fixed number of characters, so
// letting an earlier star take more only starts the later run further right, where it
// has fewer choices than it already had and failed with. Hence no recursion and at most
// length(name) trials per star run.
TMaskResult MatchMask(std::string_view mask, std::string_view name) {
  std::size_t i = 0;  // mask position
  std::size_t j = 0;  // name position
  bool behindStar = false;
  std::size_t starRest = 0;   // mask position behind the latest star run
  std::size_t starTrial = 0;  // name position the rest was last tried at

  for (;;) {
    TMaskResult failure;
    if (i == mask.size()) {
      if (j == name.size()) return TMaskResult::mrMatch;
      failure = TMaskResult::mrMaskUsedUp;
    } else if (j == name.size()) {
      // At the end of the name only a single final star still matches; "abc**" does
      // not match "abc" although it matches "abcd".
      if (mask[i] == '*' && i + 1 == mask.size()) return TMaskResult::mrMatch;
      failure = TMaskResult::mrNameUsedUp;
    } else if (mask[i] == '*') {
      // A run of stars and "?": each "?" takes one character, the stars take any number.
      // The run's own failures end the whole search (see above).
      for (; i < mask.size() && (mask[i] == '*' || mask[i] == '?'); ++i) {
        if (mask[i] == '?') {
          if (j == name.size()) return TMaskResult::mrNameUsedUp;
          j += CharAt(name, j).Length;
        }
      }
      if (i == mask.size()) return TMaskResult::mrMatch;
      const std::size_t k = NextCandidate(FoldedAt(mask, i), name, j);
      if (k == NoPosition) return TMaskResult::mrNameUsedUp;
      behindStar = true;
      starRest = i;
      starTrial = j = k;
      continue;
    } else if (mask[i] == '[') {
      const TSetOutcome set = MatchSet(mask, i, FoldedAt(name, j));
      if (set.Result == TMaskResult::mrMatch) {
        i = set.End;
        j += CharAt(name, j).Length;
        continue;
      }
      failure = set.Result;
    } else if (mask[i] == '?' || FoldedAt(mask, i) == FoldedAt(name, j)) {
      i += CharAt(mask, i).Length;
      j += CharAt(name, j).Length;
      continue;
    } else {
      failure = TMaskResult::mrLiteralDiffers;
    }

    if (!behindStar) return failure;
    const std::size_t k = NextCandidate(FoldedAt(mask, starRest), name, starTrial + CharAt(name, starTrial).Length);
    if (k == NoPosition) return failure;
    i = starRest;
    starTrial = j = k;
  }
}

bool IsMatch(std::string_view mask, std::string_view name) {
  return MatchMask(mask, name) == TMaskResult::mrMatch;
}

}  // namespace qel::archive
