#include "archive/codecs/explode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "codecs/legacy_test_host.h"

namespace qel::testing {
namespace {

constexpr std::uint16_t SmallTwoTrees = 0;
constexpr std::uint16_t LargeTwoTrees = codecs::FlagImplodeLargeDictionary;
constexpr std::uint16_t SmallThreeTrees = codecs::FlagImplodeLiteralTree;
constexpr std::uint16_t LargeThreeTrees = codecs::FlagImplodeLargeDictionary | codecs::FlagImplodeLiteralTree;

// A tree description giving count values the same code length (runs of up to 16).
CodecBytes UniformTree(unsigned count, unsigned length) {
  CodecBytes description = {0};
  for (unsigned left = count; left > 0;) {
    const unsigned run = std::min(left, 16u);
    description.push_back(static_cast<std::uint8_t>(((run - 1) << 4) | (length - 1)));
    left -= run;
  }
  description[0] = static_cast<std::uint8_t>(description.size() - 2);
  return description;
}

// An imploded stream over uniform trees (literals 8 bits, lengths and distances 6 bits), so
// each code is its value; the encoder sends every code complemented.
class ImplodeWriter final {
 public:
  explicit ImplodeWriter(std::uint16_t flags)
      : FThreeTrees((flags & codecs::FlagImplodeLiteralTree) != 0),
        FLowBits((flags & codecs::FlagImplodeLargeDictionary) != 0 ? 7 : 6) {}

  unsigned MinLength() const { return FThreeTrees ? 3 : 2; }
  unsigned MaxLength() const { return MinLength() + 63 + 255; }
  unsigned MaxDistance() const { return 64u << FLowBits; }

  void Literal(std::uint8_t b) {
    FBits.Put(1, 1);
    if (FThreeTrees) {
      FBits.PutCode(~b & 0xFFu, 8);
    } else {
      FBits.PutByte(b);
    }
    Model(b);
  }
  void Match(unsigned length, unsigned distance) {
    FBits.Put(0, 1);
    const unsigned d = distance - 1;
    FBits.Put(d & ((1u << FLowBits) - 1), FLowBits);
    FBits.PutCode(~(d >> FLowBits) & 63u, 6);
    const unsigned code = std::min(length - MinLength(), 63u);
    FBits.PutCode(~code & 63u, 6);
    if (code == 63) {
      FBits.PutByte(static_cast<std::uint8_t>(length - MinLength() - 63));
    }
    for (unsigned i = 0; i < length; ++i) {
      Model(FExpected.size() >= distance ? FExpected[FExpected.size() - distance] : 0);
    }
  }

  CodecBytes Stream() const {
    CodecBytes stream;
    if (FThreeTrees) {
      Append(stream, UniformTree(256, 8));
    }
    Append(stream, UniformTree(64, 6));
    Append(stream, UniformTree(64, 6));
    Append(stream, FBits.Bytes());
    return stream;
  }
  // What the stream decodes to: matches reaching before the first byte give zeros.
  const CodecBytes& Expected() const { return FExpected; }

 private:
  static void Append(CodecBytes& to, const CodecBytes& from) { to.insert(to.end(), from.begin(), from.end()); }
  void Model(std::uint8_t b) { FExpected.push_back(b); }

  bool FThreeTrees;
  unsigned FLowBits;
  LegacyBitWriter FBits;
  CodecBytes FExpected;
};

LegacyResult RunExplode(LegacyDecoder& decoder, const CodecBytes& stream, std::int32_t size, std::uint16_t flags) {
  return decoder.Run(stream, size, [flags](codecs::TUnzipFrame& f) { return codecs::Explode(f, flags); });
}

TEST(Explode, EveryVariantDecodesLiteralsAndMatches) {
  LegacyDecoder decoder;
  for (std::uint16_t flags : {SmallTwoTrees, LargeTwoTrees, SmallThreeTrees, LargeThreeTrees}) {
    SCOPED_TRACE(flags);
    ImplodeWriter w(flags);
    w.Match(5, w.MaxDistance());  // before the first byte: zeros
    for (char c : std::string("abc")) w.Literal(static_cast<std::uint8_t>(c));
    w.Match(20, 3);
    w.Match(w.MaxLength(), 1);  // length code 63 with extra byte 255
    w.Literal('z');
    w.Match(w.MinLength(), w.MaxDistance());  // the farthest distance, still before the entry
    ASSERT_EQ(w.Expected().size(), 5 + 3 + 20 + (flags & codecs::FlagImplodeLiteralTree ? 321u : 320u) + 1 + w.MinLength());
    const LegacyResult result =
        RunExplode(decoder, w.Stream(), static_cast<std::int32_t>(w.Expected().size()), flags);
    EXPECT_EQ(result.Status, codecs::TCodecStatus::Ok);
    EXPECT_EQ(result.Output, w.Expected());
  }
}

TEST(Explode, WrappedWindowSuppliesFarMatches) {
  LegacyDecoder decoder;
  for (std::uint16_t flags : {LargeTwoTrees, SmallThreeTrees}) {
    SCOPED_TRACE(flags);
    ImplodeWriter w(flags);
    // Distinct bytes, then runs, past the end of the 32 KiB window; then matches that reach
    // back across its end into the previous pass.
    for (unsigned i = 0; i < 300; ++i) w.Literal(static_cast<std::uint8_t>(i * 7));
    while (w.Expected().size() < 33000) w.Match(w.MaxLength(), 299);
    w.Literal('y');
    for (int i = 0; i < 40; ++i) w.Match(w.MaxLength() - i, w.MaxDistance() - static_cast<unsigned>(i));
    const LegacyResult result =
        RunExplode(decoder, w.Stream(), static_cast<std::int32_t>(w.Expected().size()), flags);
    EXPECT_EQ(result.Status, codecs::TCodecStatus::Ok);
    EXPECT_EQ(result.Output, w.Expected());
  }
}

TEST(Explode, LargeEntryDecodesWithTheWiderDistanceTable) {
  // Over 200 000 compressed bytes the distance table is built wider; decoding must not change.
  ImplodeWriter w(LargeTwoTrees);
  for (unsigned i = 0; i < 190000; ++i) {
    w.Literal(static_cast<std::uint8_t>((i * 2654435761u) >> 24));
    if (i % 1000 == 999) w.Match(10 + i % 300, 1 + (i * 13) % 8192);
  }
  const CodecBytes stream = w.Stream();
  ASSERT_GT(stream.size(), 200000u);
  LegacyDecoder decoder;
  const LegacyResult result = RunExplode(decoder, stream, static_cast<std::int32_t>(w.Expected().size()), LargeTwoTrees);
  EXPECT_EQ(result.Status, codecs::TCodecStatus::Ok);
  EXPECT_EQ(result.Output, w.Expected());
}

TEST(Explode, BadTreesEndWithoutOutput) {
  const CodecBytes literals = UniformTree(256, 8);
  const CodecBytes lengths = UniformTree(64, 6);
  CodecBytes oneMore = UniformTree(64, 6);
  oneMore[0] = static_cast<std::uint8_t>(oneMore[0] + 1);
  oneMore.push_back(0x00);  // a 65th length
  CodecBytes oneShort = UniformTree(64, 6);
  oneShort.back() = 0xE5;  // 15 instead of 16 in the last run
  struct Case {
    const char* Name;
    std::uint16_t Flags;
    std::vector<CodecBytes> Trees;
    codecs::TCodecStatus Status;
  };
  const Case cases[] = {
      {"a length tree one too long", SmallTwoTrees, {oneMore, lengths}, codecs::TCodecStatus::InvalidCodes},
      {"a distance tree one short", SmallTwoTrees, {lengths, oneShort}, codecs::TCodecStatus::InvalidCodes},
      {"a literal tree one too long", SmallThreeTrees, {UniformTree(257, 8), lengths, lengths}, codecs::TCodecStatus::InvalidCodes},
      {"a literal tree one short", SmallThreeTrees, {UniformTree(255, 8), lengths, lengths}, codecs::TCodecStatus::InvalidCodes},
      {"an over-subscribed tree", SmallTwoTrees, {UniformTree(64, 5), lengths}, codecs::TCodecStatus::InvalidCodes},
      {"an incomplete tree", LargeThreeTrees, {literals, lengths, UniformTree(64, 7)}, codecs::TCodecStatus::InvalidCodes},
  };
  LegacyDecoder decoder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    CodecBytes stream;
    for (const CodecBytes& tree : c.Trees) stream.insert(stream.end(), tree.begin(), tree.end());
    const CodecBytes body = NoiseBytes(100, 7);
    stream.insert(stream.end(), body.begin(), body.end());
    const LegacyResult result = RunExplode(decoder, stream, 100, c.Flags);
    EXPECT_EQ(result.Status, c.Status);
    EXPECT_TRUE(result.Output.empty());
  }
}

TEST(Explode, TableMemoryIsReleasedOnEveryPath) {
  LegacyDecoder decoder;
  CountingTableMemory memory;
  decoder.Frame().SetTableAllocator(&memory);
  ImplodeWriter w(LargeThreeTrees);
  w.Literal('a');
  w.Match(10, 1);
  const CodecBytes stream = w.Stream();

  const LegacyResult ok = RunExplode(decoder, stream, 11, LargeThreeTrees);
  EXPECT_EQ(ok.Output, w.Expected());
  EXPECT_EQ(memory.Live, 0);
  const int perEntry = memory.Allocations;

  for (int failAt = 0; failAt < perEntry; ++failAt) {
    SCOPED_TRACE(failAt);
    memory.Allocations = 0;
    memory.FailAt = failAt;
    decoder.Host().Boxes.clear();
    const LegacyResult failed = RunExplode(decoder, stream, 11, LargeThreeTrees);
    EXPECT_EQ(failed.Status, codecs::TCodecStatus::OutOfMemory);
    EXPECT_TRUE(failed.Output.empty());
    EXPECT_EQ(memory.Live, 0);
    EXPECT_EQ(decoder.Host().Boxes, std::vector<std::string>{"Error: *** inflate out of memory ***"});
  }
  decoder.Frame().SetTableAllocator(nullptr);
}

TEST(Explode, EmptyAndDamagedEntriesEnd) {
  LegacyDecoder decoder;
  ImplodeWriter empty(SmallThreeTrees);
  const LegacyResult none = RunExplode(decoder, empty.Stream(), 0, SmallThreeTrees);
  EXPECT_EQ(none.Status, codecs::TCodecStatus::Ok);
  EXPECT_TRUE(none.Output.empty());

  // An entry claiming far more than its bytes hold stops soon after they are used up.
  ImplodeWriter cut(SmallTwoTrees);
  cut.Literal('a');
  const LegacyResult short_ = RunExplode(decoder, cut.Stream(), 0x7FFFFFFF, SmallTwoTrees);
  EXPECT_EQ(short_.Status, codecs::TCodecStatus::DamagedData);
  EXPECT_LT(short_.Output.size(), 32u * 1024 * 1024);

  for (std::uint32_t seed = 1; seed <= 60; ++seed) {
    const auto flags = static_cast<std::uint16_t>((seed % 4) * 2);
    ImplodeWriter w(flags);
    CodecBytes stream = w.Stream();  // valid trees, then noise
    const CodecBytes noise = NoiseBytes(200 + seed * 31, seed);
    stream.insert(stream.end(), noise.begin(), noise.end());
    const LegacyResult result = RunExplode(decoder, seed % 2 == 0 ? stream : noise, 50000, flags);
    EXPECT_LE(result.Output.size(), 50000u + 321u);
  }
}

}  // namespace
}  // namespace qel::testing
