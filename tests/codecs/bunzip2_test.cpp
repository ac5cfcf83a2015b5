// Bunzip2 on a stream made by Python's bz2 (tests/data/bzip2/text.bz2): whole, twice in a row,
// and damaged in each part a check guards.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "archive/codecs/bunzip2.h"
#include "codecs/legacy_test_host.h"

namespace qel::testing {
namespace {

using codecs::TCodecStatus;

TEST(Bunzip2, CrcIsTheMostSignificantBitFirstCrc32) {
  const std::string check = "123456789";
  const std::uint32_t crc = codecs::UpdateBzip2Crc(
      codecs::Bzip2CrcInitial, reinterpret_cast<const std::uint8_t*>(check.data()), check.size());
  EXPECT_EQ(~crc, 0xFC891918u);  // the catalogued check value of CRC-32/BZIP2
}

TEST(Bunzip2, StreamsDecodeAndEveryDamageIsCaught) {
  const CodecBytes stream = LegacyFixture("../bzip2/text.bz2");
  ASSERT_EQ(stream.size(), 375u);
  constexpr std::uint32_t TextSize = 9290;
  constexpr std::uint32_t TextCrc = 0x4281B9EB;  // ZIP CRC of text.txt, as the archives record it
  struct Case {
    const char* Name;
    std::function<void(CodecBytes&)> Change;
    TCodecStatus Status;
    std::size_t Size;  // written, when Ok
  };
  const Case cases[] = {
      {"whole", [](CodecBytes&) {}, TCodecStatus::Ok, TextSize},
      {"two streams", [&](CodecBytes& b) { b.insert(b.end(), stream.begin(), stream.end()); }, TCodecStatus::Ok,
       2 * TextSize},
      {"trailing bytes left alone", [](CodecBytes& b) { b.push_back(0); }, TCodecStatus::Ok, TextSize},
      {"level 0", [](CodecBytes& b) { b[3] = '0'; }, TCodecStatus::DamagedData, 0},
      {"block magic", [](CodecBytes& b) { b[4] ^= 1; }, TCodecStatus::DamagedData, 0},
      {"randomised", [](CodecBytes& b) { b[14] |= 0x80; }, TCodecStatus::DamagedData, 0},
      {"origPtr past the block", [](CodecBytes& b) { b[14] = b[15] = 0x7F; }, TCodecStatus::DamagedData, 0},
      {"flipped byte in the codes", [](CodecBytes& b) { b[200] ^= 0x10; }, TCodecStatus::DamagedData, 0},
      {"block CRC", [](CodecBytes& b) { b[10] ^= 1; }, TCodecStatus::DamagedData, 0},
      {"stream CRC", [](CodecBytes& b) { b[b.size() - 2] ^= 1; }, TCodecStatus::DamagedData, 0},
      {"cut short", [](CodecBytes& b) { b.resize(b.size() - 6); }, TCodecStatus::DamagedData, 0},
  };
  LegacyDecoder decoder;  // one frame: the working memory serves every entry
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    CodecBytes input = stream;
    c.Change(input);
    const LegacyResult result = decoder.Run(input, 0, [](codecs::TUnzipFrame& f) { return codecs::Bunzip2(f); });
    EXPECT_EQ(result.Status, c.Status);
    if (c.Status != TCodecStatus::Ok) continue;
    EXPECT_EQ(result.Output.size(), c.Size);
    if (c.Size == TextSize) {
      EXPECT_EQ(result.Crc, TextCrc);
    }
  }
}

}  // namespace
}  // namespace qel::testing
