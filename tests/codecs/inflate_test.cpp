#include "archive/codecs/inflate.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "archive/codecs/inflate_fast.h"
#include "deflate_writer.h"
#include "memory_host.h"
#include "support/exception_message.h"
#include "support/zip_builder.h"

namespace qel::codecs {
namespace {

using testing::BitWriter;
using testing::CodecBytes;
using testing::MemoryHost;
using Log = std::vector<std::string>;

struct Inflated {
  TCodecStatus Status = TCodecStatus::Ok;
  CodecBytes Output;
  Log Writes;
  Log Boxes;
  std::int32_t Remaining = 0;
  std::uint32_t Crc = 0;
};

// Inflates one entry through a frame over an in-memory archive, optionally cut into volumes
// of volumeSize bytes.
Inflated RunInflate(const CodecBytes& stream, std::size_t volumeSize = 0, TCodecStatus (*decode)(TUnzipFrame&) = Inflate) {
  MemoryHost host;
  if (volumeSize == 0) {
    host.Volumes.push_back(stream);
  } else {
    host.MultiVolume = true;
    for (std::size_t at = 0; at < stream.size(); at += volumeSize) {
      host.Volumes.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(at),
                                stream.begin() + static_cast<std::ptrdiff_t>(std::min(stream.size(), at + volumeSize)));
    }
  }
  testing::CountingTableMemory tables;
  TUnzipFrame frame(host);
  frame.SetTableAllocator(&tables);
  frame.BeginEntry(static_cast<std::int32_t>(stream.size()), 0, false);
  Inflated result;
  result.Status = decode(frame);
  result.Output = host.Output;
  result.Writes = host.Calls("write");
  result.Boxes = host.Boxes;
  result.Remaining = frame.CompressedRemaining();
  result.Crc = ~frame.RunningCRC();
  EXPECT_EQ(tables.Live, 0) << "decoding tables left allocated";
  return result;
}

CodecBytes Text(std::size_t size, unsigned seed) {
  static const char* const words[] = {"setup ", "archive ", "volume ", "entry ", "window ", "block ", "the ", "of "};
  std::mt19937 random(seed);
  std::string text;
  while (text.size() < size) {
    text += words[random() % 8];
  }
  return CodecBytes(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(size));
}

CodecBytes Noise(std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  CodecBytes bytes(size);
  for (std::uint8_t& b : bytes) {
    b = static_cast<std::uint8_t>(random());
  }
  return bytes;
}

CodecBytes Concat(std::initializer_list<CodecBytes> parts) {
  CodecBytes all;
  for (const CodecBytes& p : parts) {
    all.insert(all.end(), p.begin(), p.end());
  }
  return all;
}

// Every block of 16 000 bytes but the last.
void ExpectWholeBlocks(const Log& writes, std::size_t total) {
  Log expected(total / IoBlockSize, "write 16000");
  if (total % IoBlockSize != 0) {
    expected.push_back("write " + std::to_string(total % IoBlockSize));
  }
  EXPECT_EQ(writes, expected);
}

TEST(Inflate, FixturesOfOtherEncodersDecodeToTheirKnownBytes) {
  struct Case {
    const char* Name;
    std::size_t Size;
    std::uint32_t Crc;
  };
  const Case cases[] = {
      {"dynamic_text.deflate", 6790, 0x62303575u}, {"fixed_text.deflate", 3000, 0x72EAC054u},
      {"far_matches.deflate", 64000, 0xB7D94B01u}, {"sync_flushes.deflate", 6079, 0xB1DEEC28u},
      {"zip_text.deflate", 8460, 0xD84AA716u},
  };
  for (const Case& c : cases) {
    const CodecBytes stream = testing::DeflateFixture(c.Name);
    ASSERT_FALSE(stream.empty()) << c.Name;
    // Whole, and spread over volumes of an odd size so chunks are assembled from pieces.
    for (std::size_t volumeSize : {std::size_t{0}, std::size_t{777}}) {
      const Inflated r = RunInflate(stream, volumeSize);
      EXPECT_EQ(r.Status, TCodecStatus::Ok) << c.Name;
      EXPECT_EQ(r.Output.size(), c.Size) << c.Name;
      EXPECT_EQ(r.Crc, c.Crc) << c.Name;
      EXPECT_EQ(testing::Crc32(r.Output), c.Crc) << c.Name;
      ExpectWholeBlocks(r.Writes, c.Size);
    }
  }
}

// Large inputs pass every chunk and window boundary at many bit offsets, on the fast and the
// exact path alike.
TEST(Inflate, GeneratedStreamsOfEveryBlockKindRoundTrip) {
  const CodecBytes mixed = Concat({Text(70000, 1), Noise(30000, 2), CodecBytes(40000, 'z'), Text(50000, 3),
                                   Noise(5000, 4), Text(20000, 1)});
  struct Case {
    testing::BlockKind Kind;
    std::size_t BlockSize;
  };
  const Case cases[] = {{testing::BlockKind::Stored, 65535}, {testing::BlockKind::Stored, 1000},
                        {testing::BlockKind::Fixed, 30000}, {testing::BlockKind::Fixed, 700},
                        {testing::BlockKind::Dynamic, 50000}, {testing::BlockKind::Dynamic, 3000}};
  for (const Case& c : cases) {
    const CodecBytes stream = testing::Deflate(mixed, {c.Kind, c.BlockSize});
    const Inflated r = RunInflate(stream);
    EXPECT_EQ(r.Status, TCodecStatus::Ok) << static_cast<int>(c.Kind) << " " << c.BlockSize;
    EXPECT_TRUE(r.Output == mixed) << static_cast<int>(c.Kind) << " " << c.BlockSize;
    ExpectWholeBlocks(r.Writes, mixed.size());
    EXPECT_GE(r.Remaining, -2);  // a valid stream looks at most two bytes past its end
  }
  EXPECT_EQ(RunInflate(testing::Deflate({}, {testing::BlockKind::Dynamic})).Output, CodecBytes{});
}

TEST(Inflate, StoredBlocksCheckTheirLengthAndMayBeEmpty) {
  const CodecBytes data = Noise(40000, 9);
  BitWriter ok;
  ok.StoredBlock(false, {});
  ok.StoredBlock(true, data);  // crosses the end of the window at 32 768
  Inflated r = RunInflate(ok.Finish());
  EXPECT_EQ(r.Status, TCodecStatus::Ok);
  EXPECT_TRUE(r.Output == data);
  ExpectWholeBlocks(r.Writes, data.size());

  BitWriter bad;
  bad.StoredBlock(false, Noise(10, 1));
  bad.StoredBlock(true, Noise(10, 2), 0x1234);
  r = RunInflate(bad.Finish());
  EXPECT_EQ(r.Status, TCodecStatus::DamagedData);
  EXPECT_TRUE(r.Writes.empty());
}

// Codes 286 and 287 and distance codes 30 and 31 exist in the fixed code but mean nothing.
TEST(Inflate, FixedCodesWithoutMeaningEndTheEntry) {
  for (unsigned symbol : {286u, 287u}) {
    BitWriter out;
    out.BlockHeader(true, 1);
    testing::PutFixedSymbol(out, 'a');
    testing::PutFixedSymbol(out, symbol);
    out.Put(0, 16);
    const Inflated r = RunInflate(out.Finish());
    EXPECT_EQ(r.Status, TCodecStatus::DamagedData) << symbol;
    EXPECT_TRUE(r.Writes.empty());
  }
  for (unsigned code : {30u, 31u}) {
    BitWriter out;
    out.BlockHeader(true, 1);
    testing::PutFixedSymbol(out, 'a');
    testing::PutFixedSymbol(out, 257);
    testing::PutFixedDistanceCode(out, code);
    out.Put(0, 16);
    EXPECT_EQ(RunInflate(out.Finish()).Status, TCodecStatus::DamagedData) << code;
  }
}

// A complete literal/length code (226 codes of 8 bits, 60 of 9) and distance code (2 of 4
// bits, 28 of 5) for hand-made dynamic blocks.
struct DynamicCode {
  std::vector<std::uint8_t> Lit = std::vector<std::uint8_t>(286);
  std::vector<std::uint8_t> Dist = std::vector<std::uint8_t>(30);
  DynamicCode() {
    for (unsigned i = 0; i < 286; ++i) {
      Lit[i] = i < 226 ? 8 : 9;
    }
    for (unsigned i = 0; i < 30; ++i) {
      Dist[i] = i < 2 ? 4 : 5;
    }
  }
  void Literal(BitWriter& out, unsigned symbol) const {
    out.PutCode(testing::CanonicalCodes(Lit)[symbol], Lit[symbol]);
  }
  void Match(BitWriter& out, unsigned length, unsigned distance) const {
    const testing::DeflateSymbol l = testing::LengthSymbol(length);
    Literal(out, l.Code);
    out.Put(l.Extra, l.ExtraBits);
    const testing::DeflateSymbol d = testing::DistanceSymbol(distance);
    out.PutCode(testing::CanonicalCodes(Dist)[d.Code], Dist[d.Code]);
    out.Put(d.Extra, d.ExtraBits);
  }
};

TEST(Inflate, DynamicHeadersOutsideTheLimitsEndTheEntry) {
  const DynamicCode code;
  // 287 literal/length codes, or 31 distance codes.
  for (const auto& [lit, dist] : {std::pair{287u, 30u}, std::pair{286u, 31u}}) {
    BitWriter out;
    out.BlockHeader(true, 2);
    std::vector<testing::CodeLengthSymbol> symbols(lit + dist, testing::CodeLengthSymbol{8});
    testing::PutDynamicHeader(out, lit, dist, symbols);
    EXPECT_EQ(RunInflate(out.Finish()).Status, TCodecStatus::DamagedData) << lit << " " << dist;
  }
  // A repeat that runs past the declared lengths.
  BitWriter out;
  out.BlockHeader(true, 2);
  std::vector<testing::CodeLengthSymbol> symbols(286 + 28, testing::CodeLengthSymbol{5});
  symbols.push_back({16, 0});  // three more where two are left
  testing::PutDynamicHeader(out, 286, 30, symbols);
  EXPECT_EQ(RunInflate(out.Finish()).Status, TCodecStatus::DamagedData);
}

TEST(Inflate, DynamicCodesMustBeCompleteButALoneDistanceCodeMayBeOneBit) {
  const DynamicCode complete;
  struct Case {
    const char* What;
    std::vector<std::uint8_t> Lit, Dist;
    TCodecStatus Status;
  };
  std::vector<std::uint8_t> litIncomplete = complete.Lit;
  litIncomplete[285] = 0;
  std::vector<std::uint8_t> litOver = complete.Lit;
  litOver[0] = 7;
  std::vector<std::uint8_t> distIncomplete = complete.Dist;
  distIncomplete[29] = 0;
  std::vector<std::uint8_t> distOver = complete.Dist;
  distOver[29] = 3;
  const Case cases[] = {
      {"incomplete literal/length code", litIncomplete, complete.Dist, TCodecStatus::DamagedData},
      {"over-subscribed literal/length code", litOver, complete.Dist, TCodecStatus::InvalidCodes},
      {"incomplete distance code", complete.Lit, distIncomplete, TCodecStatus::DamagedData},
      {"over-subscribed distance code", complete.Lit, distOver, TCodecStatus::InvalidCodes},
  };
  for (const Case& c : cases) {
    BitWriter out;
    out.BlockHeader(true, 2);
    testing::PutDynamicHeader(out, c.Lit, c.Dist);
    complete.Literal(out, 256);
    EXPECT_EQ(RunInflate(out.Finish()).Status, c.Status) << c.What;
  }

  // One distance code of one bit: its code 0 works, the other pattern is invalid.
  for (bool useMissingPattern : {false, true}) {
    BitWriter out;
    out.BlockHeader(true, 2);
    std::vector<std::uint8_t> dist(5, 0);
    dist[4] = 1;  // distance code 4: distances 5 and 6
    testing::PutDynamicHeader(out, complete.Lit, dist);
    for (char ch : std::string("abcdef")) {
      complete.Literal(out, static_cast<unsigned>(ch));
    }
    complete.Literal(out, testing::LengthSymbol(4).Code);
    out.Put(useMissingPattern ? 1 : 0, 1);
    out.Put(1, 1);  // extra bit: distance 6
    complete.Literal(out, 256);
    const Inflated r = RunInflate(out.Finish());
    if (useMissingPattern) {
      EXPECT_EQ(r.Status, TCodecStatus::DamagedData);
    } else {
      EXPECT_EQ(r.Status, TCodecStatus::Ok);
      EXPECT_EQ(std::string(r.Output.begin(), r.Output.end()), "abcdefabcd");
    }
  }
}

// A repeat before any length repeats 0. Were it to repeat anything else, the code below
// would be over-subscribed; with the three zeros it is complete.
TEST(Inflate, CodeLengthRepeatBeforeAnyLengthRepeatsZero) {
  const DynamicCode code;
  std::vector<std::uint8_t> lit(286, 0);
  for (unsigned s = 3; s < 286; ++s) {
    lit[s] = s < 3 + 229 ? 8 : 9;  // 229 codes of 8 bits and 54 of 9 fill the code space
  }
  std::vector<testing::CodeLengthSymbol> symbols = {{16, 0}};
  for (unsigned s = 3; s < 286; ++s) {
    symbols.push_back({lit[s]});
  }
  for (const std::uint8_t d : code.Dist) {
    symbols.push_back({d});
  }
  BitWriter out;
  out.BlockHeader(true, 2);
  testing::PutDynamicHeader(out, 286, 30, symbols);
  out.PutCode(testing::CanonicalCodes(lit)[65], lit[65]);
  out.PutCode(testing::CanonicalCodes(lit)[256], lit[256]);
  const Inflated r = RunInflate(out.Finish());
  EXPECT_EQ(r.Status, TCodecStatus::Ok);
  EXPECT_EQ(r.Output, (CodecBytes{65}));
}

TEST(Inflate, MatchesRepeatAndCrossTheEndOfTheWindow) {
  // 258 bytes at distance 1 repeat the byte before them.
  {
    BitWriter out;
    out.BlockHeader(true, 1);
    testing::PutFixedSymbol(out, 'x');
    testing::PutFixedMatch(out, 258, 1);
    testing::PutFixedSymbol(out, 256);
    const Inflated r = RunInflate(out.Finish());
    EXPECT_EQ(r.Status, TCodecStatus::Ok);
    EXPECT_EQ(r.Output, CodecBytes(259, 'x'));
  }
  // Around the end of the window: matches whose destination, or whose source, wraps, at
  // distances that overlap the run and that do not.
  const CodecBytes prefix = Noise(SlidingWindowSize - 100, 5);
  for (unsigned before : {0u, 50u, 99u, 100u, 101u, 200u}) {
    for (unsigned distance : {3u, 90u, 150u, 5000u, 32768u}) {
      CodecBytes expected = Concat({prefix, Noise(before, 6)});
      BitWriter out;
      out.StoredBlock(false, expected);
      out.BlockHeader(true, 1);
      for (unsigned length : {258u, 17u}) {
        if (distance <= expected.size()) {
          testing::PutFixedMatch(out, length, distance);
          for (unsigned i = 0; i < length; ++i) {
            expected.push_back(expected[expected.size() - distance]);
          }
        }
      }
      testing::PutFixedSymbol(out, 256);
      const Inflated r = RunInflate(out.Finish());
      ASSERT_EQ(r.Status, TCodecStatus::Ok) << before << " " << distance;
      ASSERT_TRUE(r.Output == expected) << before << " " << distance;
    }
  }
}

// The fast loop copies short matches in pieces of eight bytes and widens short distances to a
// whole number of periods; every piece boundary must give what a byte-by-byte copy gives.
TEST(Inflate, EveryShortDistanceAndLengthCopiesAsByteByByte) {
  CodecBytes expected = Noise(64, 9);
  BitWriter out;
  out.StoredBlock(false, expected);
  out.BlockHeader(true, 1);
  for (unsigned distance = 1; distance <= 24; ++distance) {
    for (unsigned length = 3; length <= 40; ++length) {
      testing::PutFixedMatch(out, length, distance);
      for (unsigned i = 0; i < length; ++i) {
        expected.push_back(expected[expected.size() - distance]);
      }
      // A literal between matches changes the bytes the next match repeats.
      const auto literal = static_cast<std::uint8_t>(distance * 41 + length);
      testing::PutFixedSymbol(out, literal);
      expected.push_back(literal);
    }
  }
  testing::PutFixedSymbol(out, 256);
  const Inflated r = RunInflate(out.Finish());
  ASSERT_EQ(r.Status, TCodecStatus::Ok);
  ASSERT_EQ(r.Output.size(), expected.size());
  EXPECT_TRUE(r.Output == expected);
}

// A match may not reach before the entry's first byte: the window there still holds the
// previous entry's bytes, which must never reach this entry's output.
TEST(Inflate, DistanceBeforeTheFirstByteIsDamage) {
  MemoryHost host;
  TUnzipFrame frame(host);
  BitWriter first;
  first.StoredBlock(true, Text(SlidingWindowSize, 4));
  host.Volumes = {first.Finish()};
  frame.BeginEntry(static_cast<std::int32_t>(host.Volumes[0].size()), 0, false);
  ASSERT_EQ(Inflate(frame), TCodecStatus::Ok);

  // Without literals behind it the match is decoded on the exact path, with many on the fast one.
  for (int literalsBehind : {0, 100}) {
    BitWriter second;
    second.BlockHeader(true, 1);
    testing::PutFixedSymbol(second, 'a');
    testing::PutFixedMatch(second, 10, 2);  // reaches one byte before the entry's first
    for (int i = 0; i < literalsBehind; ++i) {
      testing::PutFixedSymbol(second, 'b');
    }
    testing::PutFixedSymbol(second, 256);
    host.Volumes = {second.Finish()};
    host.Volume = 0;
    host.Position = 0;
    host.Output.clear();
    frame.BeginEntry(static_cast<std::int32_t>(host.Volumes[0].size()), 0, false);
    EXPECT_EQ(Inflate(frame), TCodecStatus::DamagedData) << literalsBehind;
    EXPECT_TRUE(host.Output.empty()) << literalsBehind;
  }
}

TEST(Inflate, BlockTypeThreeEndsWithoutWritingTheWindow) {
  BitWriter out;
  out.StoredBlock(false, Text(1000, 3));
  out.BlockHeader(true, 3);
  const Inflated r = RunInflate(out.Finish());
  EXPECT_EQ(r.Status, TCodecStatus::InvalidCodes);
  EXPECT_TRUE(r.Writes.empty());
}

// A failed table allocation anywhere shows the notice once, ends the entry with status 3 and
// leaves no table behind.
TEST(Inflate, OutOfMemoryShowsTheNoticeAndReleasesEveryTable) {
  const CodecBytes dynamic = testing::Deflate(Text(3000, 9), {testing::BlockKind::Dynamic});
  for (const CodecBytes& s : {testing::Deflate(Text(3000, 8), {testing::BlockKind::Fixed}), dynamic}) {
    testing::CountingTableMemory probe;
    {
      MemoryHost host(s);
      TUnzipFrame frame(host);
      frame.SetTableAllocator(&probe);
      frame.BeginEntry(static_cast<std::int32_t>(s.size()), 0, false);
      ASSERT_EQ(Inflate(frame), TCodecStatus::Ok);
    }
    for (int failAt = 0; failAt < probe.Allocations; ++failAt) {
      testing::CountingTableMemory tables;
      tables.FailAt = failAt;
      MemoryHost host(s);
      TUnzipFrame frame(host);
      frame.SetTableAllocator(&tables);
      frame.BeginEntry(static_cast<std::int32_t>(s.size()), 0, false);
      EXPECT_EQ(Inflate(frame), TCodecStatus::OutOfMemory);
      EXPECT_EQ(host.Boxes, (Log{"Error: *** inflate out of memory ***"}));
      EXPECT_TRUE(host.Calls("write").empty());
      EXPECT_EQ(tables.Live, 0);
    }
  }
}

// An error from the host in the middle of a block leaves the decoder with its tables released.
TEST(Inflate, PrematureEndInsideABlockPassesThroughAndReleasesTheTables) {
  const CodecBytes stream = testing::Deflate(Text(100000, 2), {testing::BlockKind::Dynamic, 100000});
  MemoryHost host(CodecBytes(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(stream.size() / 2)));
  testing::CountingTableMemory tables;
  TUnzipFrame frame(host);
  frame.SetTableAllocator(&tables);
  frame.BeginEntry(static_cast<std::int32_t>(stream.size()), 0, false);
  EXPECT_EQ(testing::MessageOf<base::Exception>([&] { Inflate(frame); }), "Premature end of file reached");
  EXPECT_EQ(tables.Live, 0);
}

// A damaged stream whose final block never comes stops once it has asked for clearly more
// bytes than the entry holds, as with a bad code.
TEST(Inflate, StreamWithoutAFinalBlockEnds) {
  struct Case {
    const char* What;
    CodecBytes Stream;
  };
  BitWriter fixed;
  fixed.BlockHeader(false, 1);
  testing::PutFixedSymbol(fixed, 'q');
  testing::PutFixedSymbol(fixed, 256);
  BitWriter stored;
  stored.StoredBlock(false, Concat({Text(100, 1), CodecBytes{0}}));
  // Five 9-bit literals bring the stream to a byte boundary; the last byte is the code of
  // literal 0, so repeating it decodes literals without end.
  BitWriter literals;
  literals.BlockHeader(false, 1);
  for (int i = 0; i < 5; ++i) {
    testing::PutFixedSymbol(literals, 200);
  }
  testing::PutFixedSymbol(literals, 0);
  BitWriter longStored;  // promises more bytes than the entry has
  longStored.BlockHeader(true, 0);
  longStored.AlignToByte();
  longStored.Put(60000, 16);
  longStored.Put(~60000u & 0xFFFF, 16);
  longStored.Put(0x41, 8);
  const Case cases[] = {
      {"fixed", fixed.Finish()},
      {"stored", stored.Finish()},
      {"stored block cut short", longStored.Finish()},
      {"literals repeated from the last byte", literals.Finish()},
      {"fixed blocks of end codes", CodecBytes{0x02, 0x00}},
  };
  for (const Case& c : cases) {
    const Inflated r = RunInflate(c.Stream);
    EXPECT_EQ(r.Status, TCodecStatus::DamagedData) << c.What;
    EXPECT_GE(r.Remaining, -MaxLookAheadBytes - 1) << c.What;
    EXPECT_TRUE(r.Writes.empty()) << c.What;
  }
}

// Through the frame, progress follows each block of output.
TEST(Inflate, ProgressFollowsEachOutputBlock) {
  const CodecBytes data = Text(40000, 7);
  const CodecBytes stream = testing::Deflate(data, {testing::BlockKind::Dynamic});
  MemoryHost host(stream);
  TUnzipFrame frame(host);
  frame.BeginRun(80000);
  frame.BeginEntry(static_cast<std::int32_t>(stream.size()), 40000, false);
  ASSERT_EQ(Inflate(frame), TCodecStatus::Ok);
  Log events;
  for (const std::string& entry : host.Log) {
    if (entry.rfind("file", 0) == 0 || entry.rfind("total", 0) == 0) {
      events.push_back(entry);
    }
  }
  EXPECT_EQ(events, (Log{"file 40", "total 20", "file 80", "total 40", "file 100", "total 50"}));
  EXPECT_EQ(frame.BytesWritten(), 40000);
  EXPECT_EQ(~frame.RunningCRC(), testing::Crc32(data));
}

// The window passes on at every 32 768 bytes: a stream damaged after 51 601 bytes has written
// the two blocks of the first pass and nothing after, whether its bytes came from a stored block
// or from matches of the fast loop.
TEST(Inflate, DamageAfterAPassLeavesOnlyThatPassWritten) {
  BitWriter stored;
  stored.StoredBlock(false, Noise(51601, 3));
  BitWriter matches;
  matches.BlockHeader(false, 1);
  testing::PutFixedSymbol(matches, 'a');
  for (int i = 0; i < 200; ++i) {
    testing::PutFixedMatch(matches, 258, 1);
  }
  testing::PutFixedSymbol(matches, 256);
  for (BitWriter* out : {&stored, &matches}) {
    out->BlockHeader(true, 3);
    const Inflated r = RunInflate(out->Finish());
    EXPECT_EQ(r.Status, TCodecStatus::InvalidCodes);
    EXPECT_EQ(r.Writes, (Log{"write 16000", "write 16000"}));
  }
}

// After an entry the frame's window holds what a 32 768-byte ring would: the entry's last bytes
// at their offsets modulo the window, and an earlier entry's bytes where a short one ends.
TEST(Inflate, WindowIsLeftAsTheRingWouldLeaveIt) {
  MemoryHost host;
  host.Logging = false;
  TUnzipFrame frame(host);
  std::fill_n(frame.Window(), SlidingWindowSize, std::uint8_t{0xA5});
  for (std::size_t size : {std::size_t{1000}, std::size_t{300000}, std::size_t{5000}}) {
    const CodecBytes data = Concat({Text(size / 2, static_cast<unsigned>(size)), Noise(size - size / 2, 1)});
    CodecBytes ring(frame.Window(), frame.Window() + SlidingWindowSize);
    for (std::size_t q = 0; q < size; ++q) {
      ring[q % SlidingWindowSize] = data[q];
    }
    host.Volumes = {testing::Deflate(data, {testing::BlockKind::Dynamic, 7000})};
    host.Volume = 0;
    host.Position = 0;
    host.Output.clear();
    frame.BeginEntry(static_cast<std::int32_t>(host.Volumes[0].size()), 0, false);
    ASSERT_EQ(Inflate(frame), TCodecStatus::Ok) << size;
    ASSERT_TRUE(host.Output == data) << size;
    EXPECT_TRUE(CodecBytes(frame.Window(), frame.Window() + SlidingWindowSize) == ring) << size;
  }
}

// An entry of several hundred kilobytes slides its buffer more than once; matches reaching
// the whole window back must still find their bytes, on the loop every processor runs as on
// the one this processor may choose.
TEST(Inflate, LongEntriesKeepTheWholeWindowBehindTheirMatches) {
  const CodecBytes block = Noise(SlidingWindowSize, 11);
  CodecBytes data;
  for (int copy = 0; copy < 24; ++copy) {
    data.insert(data.end(), block.begin(), block.end());
    data[data.size() - 1 - static_cast<std::size_t>(copy) * 97] ^= 0x5A;  // so not every match is the same
  }
  const CodecBytes stream = testing::Deflate(data, {testing::BlockKind::Dynamic, 100000});
  ASSERT_LT(stream.size(), data.size() / 8) << "the copies are matches";
  for (bool portable : {false, true}) {
    UsePortableFastLoop(portable);
    const Inflated r = RunInflate(stream);
    UsePortableFastLoop(false);
    EXPECT_EQ(r.Status, TCodecStatus::Ok) << portable;
    EXPECT_TRUE(r.Output == data) << portable;
    ExpectWholeBlocks(r.Writes, data.size());
  }
}

}  // namespace
}  // namespace qel::codecs

namespace qel::codecs {
namespace {

// Deflate64: length code 285 takes 16 extra bits, so a match may be longer than the 64 KB
// window and cross two pass points in one step, also the one where the buffer slides; distance
// codes 30 and 31 reach the whole window back. The same codes on the fast loop (a block with
// input behind it) and on the exact path (the last block), on both loops. Deflate reads the
// same bytes as damaged.
TEST(Inflate, Deflate64MatchesReachTheWholeWindowAndOutgrowIt) {
  CodecBytes expected = Noise(65535, 12);
  BitWriter out;
  out.StoredBlock(false, expected);
  const auto match = [&](unsigned length, unsigned distance) {
    testing::PutFixedSymbol(out, 285);
    out.Put(length - 3, 16);
    if (distance > 32768) {
      const unsigned code = distance > 49152 ? 31 : 30;
      testing::PutFixedDistanceCode(out, code);
      out.Put(distance - (code == 31 ? 49153 : 32769), 14);
    } else {
      const testing::DeflateSymbol d = testing::DistanceSymbol(distance);
      testing::PutFixedDistanceCode(out, d.Code);
      out.Put(d.Extra, d.ExtraBits);
    }
    for (unsigned i = 0; i < length; ++i) expected.push_back(expected[expected.size() - distance]);
  };
  for (bool last : {false, true}) {
    out.BlockHeader(last, 1);
    match(65538, 65535);  // the first time from 65 535: across 65 536 and 131 072
    for (unsigned distance : {40000u, 60000u, 32769u, 65536u, 100u, 1u}) match(65535, distance);
    match(3, 49153);
    match(65538, 50000);  // the first time from 524 286: the slide at 524 288, and 589 824
    testing::PutFixedSymbol(out, 'z');
    expected.push_back('z');
    match(10, 5);
    testing::PutFixedSymbol(out, 256);
    if (!last) {
      const CodecBytes padding = Noise(40, 13);
      out.StoredBlock(false, padding);
      expected.insert(expected.end(), padding.begin(), padding.end());
    }
  }
  const CodecBytes stream = out.Finish();
  for (bool portable : {false, true}) {
    UsePortableFastLoop(portable);
    const Inflated r = RunInflate(stream, 0, Inflate64);
    UsePortableFastLoop(false);
    EXPECT_EQ(r.Status, TCodecStatus::Ok) << portable;
    EXPECT_TRUE(r.Output == expected) << portable;
    ExpectWholeBlocks(r.Writes, expected.size());
  }
  EXPECT_EQ(RunInflate(stream).Status, TCodecStatus::DamagedData);
}

}  // namespace
}  // namespace qel::codecs
