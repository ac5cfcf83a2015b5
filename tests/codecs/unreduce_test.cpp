#include "archive/codecs/unreduce.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "codecs/legacy_test_host.h"

namespace qel::testing {
namespace {

unsigned IndexWidth(std::size_t setLength) {
  unsigned b = 0;
  while ((1u << b) < setLength) ++b;
  return setLength == 1 ? 1 : b;
}

// One decoded byte as the stream sends it: from the follower set of the byte before when it
// is there (or at Index, when given, to reach past the set), else plain.
struct Sent {
  std::uint8_t Byte;
  int Index = -1;
};

CodecBytes ReduceStream(const std::map<std::uint8_t, CodecBytes>& sets, const std::vector<Sent>& bytes) {
  LegacyBitWriter out;
  for (unsigned x = 256; x-- > 0;) {
    const auto set = sets.find(static_cast<std::uint8_t>(x));
    const CodecBytes row = set == sets.end() ? CodecBytes{} : set->second;
    out.Put(static_cast<std::uint32_t>(row.size()), 6);
    for (std::uint8_t b : row) out.PutByte(b);
  }
  std::uint8_t last = 0;
  for (const Sent& sent : bytes) {
    const auto set = sets.find(last);
    if (set == sets.end() || set->second.empty()) {
      out.PutByte(sent.Byte);
    } else {
      int index = sent.Index;
      for (std::size_t i = 0; index < 0 && i < set->second.size(); ++i) {
        if (set->second[i] == sent.Byte) index = static_cast<int>(i);
      }
      if (index < 0) {
        out.Put(1, 1);
        out.PutByte(sent.Byte);
      } else {
        out.Put(0, 1);
        out.Put(static_cast<std::uint32_t>(index), IndexWidth(set->second.size()));
      }
    }
    last = sent.Byte;
  }
  return out.Bytes();
}

std::vector<Sent> Plain(const std::vector<unsigned>& bytes) {
  std::vector<Sent> sent;
  for (unsigned b : bytes) sent.push_back({static_cast<std::uint8_t>(b)});
  return sent;
}

LegacyResult RunUnreduce(LegacyDecoder& decoder, const CodecBytes& stream, std::int32_t size, std::uint16_t method) {
  return decoder.Run(stream, size, [method](codecs::TUnzipFrame& f) { return codecs::Unreduce(f, method); });
}

CodecBytes Repeat(const CodecBytes& pattern, std::size_t count) {
  CodecBytes out;
  while (out.size() < count) out.push_back(pattern[out.size() % pattern.size()]);
  return out;
}

TEST(Unreduce, MarkerSequencesExpand) {
  struct Case {
    const char* Name;
    std::uint16_t Method;
    std::vector<unsigned> Bytes;
    CodecBytes Expected;
  };
  const Case cases[] = {
      {"marker and zero stand for the marker", 5, {'a', 0x90, 0, 'b'}, {'a', 0x90, 'b'}},
      // Factor 1: V = 5 is length 5 + 3 with no high distance part; distance 2.
      {"short copy, factor 1", 2, {'a', 'b', 0x90, 0x05, 1}, Repeat({'a', 'b'}, 10)},
      // V = 0x7F has the whole length mask set, so a length byte follows: 127 + 3 + 10.
      {"long copy, factor 1", 2, {'x', 0x90, 0x7F, 10, 0}, CodecBytes(141, 'x')},
      // Factor 4: V = 0x12 is length 2 + 3 and distance (1 * 256) + 255 + 1 = 512.
      {"far copy, factor 4", 5, {'a', 'b', 0x90, 0x12, 255}, [] {
         CodecBytes e(2 + 5, 0);  // reaching before the first byte gives zeros
         e[0] = 'a';
         e[1] = 'b';
         return e;
       }()},
      {"copy before the first byte gives zeros", 3, {0x90, 0x02, 0}, CodecBytes(5, 0)},
      // Factor 2: V = 0x7F splits into length 0x3F (so a length byte) and high part 1.
      {"length byte and high distance, factor 2", 3, {'q', 0x90, 0x7F, 1, 0xFF}, [] {
         CodecBytes e(1 + 0x3F + 1 + 3, 0);
         e[0] = 'q';
         return e;
       }()},
  };
  LegacyDecoder decoder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const CodecBytes& expected = c.Expected;
    const LegacyResult result =
        RunUnreduce(decoder, ReduceStream({}, Plain(c.Bytes)), static_cast<std::int32_t>(expected.size()), c.Method);
    EXPECT_EQ(result.Status, codecs::TCodecStatus::Ok);
    EXPECT_EQ(result.Output, expected);
  }
}

TEST(Unreduce, FollowerSetsShortenTheCodes) {
  LegacyDecoder decoder;
  const std::map<std::uint8_t, CodecBytes> sets = {
      {0, {'t'}}, {'t', {'h', 'o'}}, {'h', {'e', 'a', 'i'}}, {'e', {' '}}};
  // In sets, out of a set (flag 1), and after a byte with an empty set (plain 8 bits).
  const std::vector<Sent> bytes = Plain({'t', 'h', 'e', ' ', 't', 'o', 'x', 't', 'h', 'i', 'z'});
  const CodecBytes stream = ReduceStream(sets, bytes);
  const LegacyResult result = RunUnreduce(decoder, stream, 11, 5);
  EXPECT_EQ(result.Status, codecs::TCodecStatus::Ok);
  EXPECT_EQ(std::string(result.Output.begin(), result.Output.end()), "the toxthiz");

  // An index past the set of 'h' reaches slot 3 of its row, which an earlier entry with a
  // longer set filled: it must read zero, not that entry's byte.
  RunUnreduce(decoder, ReduceStream({{'h', {'1', '2', '3', '4', '5'}}}, Plain({'h', '4'})), 2, 5);
  const LegacyResult past = RunUnreduce(decoder, ReduceStream(sets, {{'t'}, {'h'}, {'?', 3}}), 3, 5);
  EXPECT_EQ(past.Output, (CodecBytes{'t', 'h', 0}));
}

TEST(Unreduce, EndsOnTheUncompressedSize) {
  LegacyDecoder decoder;
  // A copy that runs past the size is made whole.
  const LegacyResult over = RunUnreduce(decoder, ReduceStream({}, Plain({'a', 0x90, 0x0F, 10, 0})), 4, 5);
  EXPECT_EQ(over.Output, CodecBytes(1 + 0x0F + 10 + 3, 'a'));

  // A long entry wraps the 16 KiB window and goes on copying from its previous pass.
  std::vector<unsigned> bytes = {'a', 'b', 'c'};
  for (int i = 0; i < 70; ++i) bytes.insert(bytes.end(), {0x90, 0x0F, 255, 2});
  const std::int32_t size = 3 + 70 * (15 + 255 + 3);
  const LegacyResult wrapped = RunUnreduce(decoder, ReduceStream({}, Plain(bytes)), size, 5);
  EXPECT_EQ(wrapped.Output, Repeat({'a', 'b', 'c'}, static_cast<std::size_t>(size)));

  EXPECT_TRUE(RunUnreduce(decoder, ReduceStream({}, {}), 0, 5).Output.empty());
}

TEST(Unreduce, DamagedStreamsEnd) {
  LegacyDecoder decoder;
  // An entry claiming far more than its bytes hold stops once they are used up.
  const LegacyResult cut = RunUnreduce(decoder, ReduceStream({}, Plain({'a', 'b'})), 0x7FFFFFFF, 5);
  EXPECT_EQ(cut.Status, codecs::TCodecStatus::DamagedData);
  ASSERT_GE(cut.Output.size(), 2u);
  EXPECT_LT(cut.Output.size(), 16u);
  for (std::uint32_t seed = 1; seed <= 40; ++seed) {
    const auto method = static_cast<std::uint16_t>(2 + seed % 4);
    const LegacyResult noise = RunUnreduce(decoder, NoiseBytes(300 + seed * 37, seed), 100000, method);
    EXPECT_LE(noise.Output.size(), 100000u + 400u);
  }
}

}  // namespace
}  // namespace qel::testing
