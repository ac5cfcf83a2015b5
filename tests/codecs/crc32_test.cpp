#include "archive/codecs/crc32.h"
#include "archive/codecs/crc32_folding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "support/zip_builder.h"

namespace qel::codecs {
namespace {

std::uint32_t Finished(std::uint32_t crc) { return ~crc; }

TEST(Crc32, MatchesTheZipCheckValues) {
  struct Case {
    std::string Text;
    std::uint32_t Crc;
  };
  const Case cases[] = {
      {"", 0x00000000u},
      {"a", 0xE8B7BE43u},
      {"123456789", 0xCBF43926u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
  };
  for (const Case& c : cases) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.Text.data());
    EXPECT_EQ(Finished(UpdateCRC(CrcInitial, bytes, c.Text.size())), c.Crc) << c.Text;
    std::uint32_t stepped = CrcInitial;
    for (std::uint8_t b : c.Text) {
      stepped = UpdateCRC(stepped, b);
    }
    EXPECT_EQ(Finished(stepped), c.Crc) << c.Text;
  }
}

// The several-bytes step must agree with the byte step at every length and alignment, and
// when a buffer is fed in pieces, since the frame updates block by block.
TEST(Crc32, BlockStepAgreesWithByteStepAtAnyLengthAndSplit) {
  std::mt19937 random(20261208);
  std::vector<std::uint8_t> data(300);
  for (std::uint8_t& b : data) {
    b = static_cast<std::uint8_t>(random());
  }
  for (std::size_t offset = 0; offset < 8; ++offset) {
    for (std::size_t size = 0; offset + size <= data.size(); size += 7) {
      std::uint32_t stepped = CrcInitial;
      for (std::size_t i = 0; i < size; ++i) {
        stepped = UpdateCRC(stepped, data[offset + i]);
      }
      ASSERT_EQ(UpdateCRC(CrcInitial, data.data() + offset, size), stepped) << offset << " " << size;
      const std::size_t split = size / 3;
      const std::uint32_t first = UpdateCRC(CrcInitial, data.data() + offset, split);
      ASSERT_EQ(UpdateCRC(first, data.data() + offset + split, size - split), stepped);
    }
  }
  EXPECT_EQ(Finished(UpdateCRC(CrcInitial, data.data(), data.size())), testing::Crc32(data));
}

// Long buffers take the folding step where the processor has it; both steps must give what the
// byte step gives, over every lane count and remainder the folding handles.
TEST(Crc32, FoldingAndTableStepsAgreeOnLongBuffers) {
  std::mt19937 random(7);
  std::vector<std::uint8_t> data(4096 + 40);
  for (std::uint8_t& b : data) {
    b = static_cast<std::uint8_t>(random());
  }
  for (std::size_t size : {64u, 65u, 79u, 80u, 127u, 128u, 143u, 191u, 192u, 1000u, 4096u}) {
    for (std::size_t offset = 0; offset < 40; offset += 13) {
      std::uint32_t stepped = 0x5A5A5A5Au;
      for (std::size_t i = 0; i < size; ++i) {
        stepped = UpdateCRC(stepped, data[offset + i]);
      }
      EXPECT_EQ(UpdateCRCByTables(0x5A5A5A5Au, data.data() + offset, size), stepped) << size;
      EXPECT_EQ(UpdateCRC(0x5A5A5A5Au, data.data() + offset, size), stepped) << size;
      if (FoldingAvailable()) {
        std::size_t consumed = 0;
        const std::uint32_t folded = FoldCRC(0x5A5A5A5Au, data.data() + offset, size, consumed);
        EXPECT_EQ(consumed, size & ~std::size_t{15});
        EXPECT_EQ(UpdateCRCByTables(folded, data.data() + offset + consumed, size - consumed), stepped) << size;
      }
    }
  }
}

}  // namespace
}  // namespace qel::codecs
