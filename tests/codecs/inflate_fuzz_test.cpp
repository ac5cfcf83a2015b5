// Damaged deflate streams, made deterministically from a fixed seed: every one must end, with
// a status, every table released and no read far past the entry.
#include "archive/codecs/inflate.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <random>
#include <vector>

#include "deflate_writer.h"
#include "memory_host.h"

namespace qel::codecs {
namespace {

using testing::CodecBytes;

std::vector<CodecBytes> Seeds() {
  std::vector<CodecBytes> seeds;
  for (const char* name : {"dynamic_text.deflate", "fixed_text.deflate", "sync_flushes.deflate", "zip_text.deflate"}) {
    seeds.push_back(testing::DeflateFixture(name));
  }
  std::mt19937 random(7);
  CodecBytes data;
  for (int i = 0; i < 3000; ++i) {
    data.push_back(static_cast<std::uint8_t>(i % 300 < 200 ? 'a' + random() % 6 : random()));
  }
  seeds.push_back(testing::Deflate(data, {testing::BlockKind::Fixed, 900}));
  seeds.push_back(testing::Deflate(data, {testing::BlockKind::Dynamic, 700}));
  seeds.push_back(testing::Deflate(CodecBytes(data.begin(), data.begin() + 400), {testing::BlockKind::Stored, 150}));
  return seeds;
}

CodecBytes Damage(const CodecBytes& seed, std::mt19937& random) {
  CodecBytes damaged = seed;
  const auto pick = [&](std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(random() % n); };
  switch (random() % 5) {
    case 0:  // a few flipped bits anywhere
      for (unsigned i = 1 + random() % 4; i > 0; --i) {
        damaged[pick(damaged.size())] ^= static_cast<std::uint8_t>(1u << (random() % 8));
      }
      break;
    case 1:  // flipped bits in the block headers and code descriptions at the start
      for (unsigned i = 1 + random() % 3; i > 0; --i) {
        damaged[pick(std::min<std::size_t>(damaged.size(), 48))] ^= static_cast<std::uint8_t>(1u << (random() % 8));
      }
      break;
    case 2: {  // a run of random bytes
      const std::size_t at = pick(damaged.size());
      const std::size_t length = std::min(damaged.size() - at, 1 + pick(64));
      for (std::size_t i = 0; i < length; ++i) {
        damaged[at + i] = static_cast<std::uint8_t>(random());
      }
      break;
    }
    case 3:  // cut short
      damaged.resize(pick(damaged.size()));
      break;
    default:  // nothing but noise
      damaged.resize(1 + pick(600));
      for (std::uint8_t& b : damaged) {
        b = static_cast<std::uint8_t>(random());
      }
      break;
  }
  return damaged;
}

TEST(InflateFuzz, TenThousandDamagedStreamsAllEnd) {
  const std::vector<CodecBytes> seeds = Seeds();
  for (const CodecBytes& seed : seeds) {
    ASSERT_FALSE(seed.empty());
  }
  std::mt19937 random(0x51A7E);
  std::array<int, 4> statuses{};
  testing::MemoryHost host;
  host.Logging = false;
  host.KeepOutput = false;
  TUnzipFrame frame(host);
  testing::CountingTableMemory tables;
  frame.SetTableAllocator(&tables);
  for (int round = 0; round < 10000; ++round) {
    const CodecBytes stream = Damage(seeds[static_cast<std::size_t>(round) % seeds.size()], random);
    host.Volumes = {stream};
    host.Volume = 0;
    host.Position = 0;
    host.OutputSize = 0;
    const auto size = static_cast<std::int32_t>(stream.size());
    frame.BeginEntry(size, 0, false);
    const TCodecStatus status = Inflate(frame);
    ASSERT_NE(status, TCodecStatus::OutOfMemory) << "round " << round;
    ++statuses[static_cast<std::size_t>(status)];
    ASSERT_EQ(tables.Live, 0) << "round " << round;
    // No single decoding step asks for more than 16 bytes, so a decoder that stops once it
    // is past its look-ahead stays within that of it.
    ASSERT_GE(frame.CompressedRemaining(), -MaxLookAheadBytes - 16) << "round " << round;
    // Every code takes at least one bit and yields at most 258 bytes.
    ASSERT_LE(host.OutputSize, 258u * 8u * (stream.size() + 32)) << "round " << round;
  }
  // The damage reaches every way of ending.
  EXPECT_GT(statuses[static_cast<std::size_t>(TCodecStatus::Ok)], 0);
  EXPECT_GT(statuses[static_cast<std::size_t>(TCodecStatus::DamagedData)], 1000);
  EXPECT_GT(statuses[static_cast<std::size_t>(TCodecStatus::InvalidCodes)], 100);
}

}  // namespace
}  // namespace qel::codecs
