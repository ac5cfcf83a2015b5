#include "archive/codecs/unshrink.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codecs/legacy_test_host.h"

namespace qel::testing {
namespace {

// Codes at the width the decoder reads them: 9 bits, one more after each 256, 1 (up to 13).
CodecBytes ShrinkStream(const std::vector<unsigned>& codes) {
  LegacyBitWriter out;
  unsigned width = 9;
  for (std::size_t i = 0; i < codes.size(); ++i) {
    out.Put(codes[i], width);
    if (i > 0 && codes[i - 1] == 256 && codes[i] == 1 && width < 13) {
      ++width;
    }
  }
  return out.Bytes();
}

// One code after the other (a vector insert of a list trips GCC 12's -O3 overflow check).
void Append(std::vector<unsigned>& codes, std::initializer_list<unsigned> more) {
  for (const unsigned code : more) codes.push_back(code);
}

LegacyResult RunUnshrink(LegacyDecoder& decoder, const CodecBytes& stream) {
  return decoder.Run(stream, 0, [](codecs::TUnzipFrame& f) { return codecs::Unshrink(f); });
}

std::string Text(const CodecBytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(Unshrink, CodeSequencesSpellTheirStrings) {
  struct Case {
    const char* Name;
    std::vector<unsigned> Codes;
    std::string Expected;
  };
  const Case cases[] = {
      {"a defined code", {'A', 'B', 257}, "ABAB"},
      {"the code about to be defined", {'A', 257}, "AAA"},
      {"a longer chain", {'A', 'B', 257, 259, 'C'}, "ABABABAC"},
      {"a wider code", {'A', 256, 1, 'B', 257}, "ABAB"},
      {"an unknown sub-code is ignored", {'A', 256, 3, 'B', 256, 0, 257}, "ABAB"},
      // 257 = AB, 258 = BA, 259 = ABC; the clear keeps 257 (259 refers to it) and frees
      // 258 and 259, so the next code defined is 258 again, as CA.
      {"partial clearing frees the unreferenced codes",
       {'A', 'B', 257, 'C', 256, 2, 257, 258, 259},
       "ABABCABCAABC"},
      {"only a first code", {'Z'}, "Z"},
      {"no code at all", {}, ""},
  };
  LegacyDecoder decoder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const LegacyResult result = RunUnshrink(decoder, ShrinkStream(c.Codes));
    EXPECT_EQ(result.Status, codecs::TCodecStatus::Ok);
    EXPECT_EQ(Text(result.Output), c.Expected);
  }
}

TEST(Unshrink, CodeSizeStopsAtThirteenBits) {
  // Five increases reach 13 bits; the sixth must be ignored, or the codes after it would be
  // read 14 bits wide and beyond the tables.
  std::vector<unsigned> codes = {'A'};
  for (int i = 0; i < 6; ++i) {
    Append(codes, {256, 1});
  }
  Append(codes, {'B', 257, 8000 & 0x7F});
  const LegacyResult result = [&] {
    LegacyDecoder decoder;
    return RunUnshrink(decoder, ShrinkStream(codes));
  }();
  EXPECT_EQ(Text(result.Output), "ABAB@");
}

TEST(Unshrink, TableFillsUpAndKeepsDecoding) {
  // 'A' then codes that each spell the previous string plus its first byte: strings of A
  // growing by one, until the table is full; then a plain code after it.
  std::vector<unsigned> codes = {'A'};
  std::size_t expected = 1;
  unsigned width = 9;
  for (unsigned next = 257; next < 8192; ++next) {
    if (next == (1u << width)) {
      Append(codes, {256, 1});
      ++width;
    }
    codes.push_back(next);
    expected += next - 255;
  }
  codes.push_back('B');
  LegacyDecoder decoder;
  const LegacyResult result = RunUnshrink(decoder, ShrinkStream(codes));
  EXPECT_EQ(result.Status, codecs::TCodecStatus::Ok);
  ASSERT_EQ(result.Output.size(), expected + 1);
  EXPECT_EQ(result.Output.back(), 'B');
  EXPECT_EQ(std::count(result.Output.begin(), result.Output.end(), 'A'), static_cast<std::ptrdiff_t>(expected));
}

TEST(Unshrink, DamagedStreamsEnd) {
  LegacyDecoder decoder;
  // A free first code followed by another free code: the chain would push without end.
  const LegacyResult loop = RunUnshrink(decoder, ShrinkStream({300, 301, 'A'}));
  EXPECT_EQ(loop.Status, codecs::TCodecStatus::DamagedData);
  EXPECT_EQ(Text(loop.Output), std::string(1, static_cast<char>(300 & 0xFF)));

  // A stream cut inside a 13-bit code: past the last byte the bit buffer yields zeros for
  // ever, so the decoder must see the end by itself.
  std::vector<unsigned> wide = {'A'};
  for (int i = 0; i < 4; ++i) {
    Append(wide, {256, 1});
  }
  wide.push_back('B');
  CodecBytes cut = ShrinkStream(wide);
  cut.push_back(0x5A);
  EXPECT_EQ(Text(RunUnshrink(decoder, cut).Output).substr(0, 2), "AB");

  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    const LegacyResult noise = RunUnshrink(decoder, NoiseBytes(50 + seed * 97, seed));
    EXPECT_LE(noise.Output.size(), 64u * 1024 * 1024);
  }
}

}  // namespace
}  // namespace qel::testing
