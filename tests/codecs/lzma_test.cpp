// LZMA (method 14): streams of real encoders end where their flag says, and every kind of
// damage ends the entry as damaged, never past its bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>

#include "archive/codecs/lzma.h"
#include "archive/codecs/zip_format.h"
#include "codecs/legacy_test_host.h"

namespace qel::testing {
namespace {

using codecs::TCodecStatus;

CodecBytes LzmaFixture(const std::string& name) {
#ifdef _WIN32
  const std::string prefix = "Z:";
#else
  const std::string prefix;
#endif
  std::ifstream file(prefix + QEL_TEST_DATA_DIR + "/lzma/" + name, std::ios::binary);
  return CodecBytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// The data of an archive's first entry, cut out behind its local header.
CodecBytes FirstEntryData(const CodecBytes& zip) {
  auto le = [&](std::size_t at, int n) {
    std::size_t v = 0;
    for (int i = n; i-- > 0;) v = v << 8 | zip.at(at + static_cast<std::size_t>(i));
    return v;
  };
  const std::size_t start = 30 + le(26, 2) + le(28, 2);
  return CodecBytes(zip.begin() + static_cast<std::ptrdiff_t>(start),
                    zip.begin() + static_cast<std::ptrdiff_t>(start + le(18, 4)));
}

// A range encoder with the decoder's probability model for the few packets the cases need:
// enough to write a stream that breaks one rule in a sound way otherwise.
class TinyLzmaWriter final {
 public:
  // lc 3, lp 0, pb 2, a 4 KiB dictionary; every probability starts at one half.
  TinyLzmaWriter() : FOut{0x10, 0x02, 0x05, 0x00, 0x5D, 0x00, 0x10, 0x00, 0x00} {
    std::fill_n(&FIsMatch[0][0], 12 * 16, std::uint16_t{1024});
    std::fill_n(FIsRep, 12, std::uint16_t{1024});
    std::fill_n(&FLowLength[0][0], 16 * 8, std::uint16_t{1024});
    std::fill_n(FPosSlot, 64, std::uint16_t{1024});
    std::fill_n(FAlign, 16, std::uint16_t{1024});
    std::fill_n(&FLiteral[0][0], 8 * 0x300, std::uint16_t{1024});
  }

  void Literal(std::uint8_t byte) {
    Bit(FIsMatch[FState][FPos & 3], 0);
    std::uint16_t* probs = FLiteral[FPrevious >> 5];
    unsigned symbol = 1;
    for (int i = 7; i >= 0; --i) {
      const unsigned bit = (byte >> i) & 1u;
      Bit(probs[symbol], bit);
      symbol = symbol << 1 | bit;
    }
    FState = FState < 4 ? 0 : FState < 10 ? FState - 3 : FState - 6;
    FPrevious = byte;
    ++FPos;
  }
  // A match of 2 bytes; slot is the 6-bit distance slot (0 to 3: distance slot + 1), and slot
  // 63 with all its bits set is the end marker.
  void Match(unsigned slot) {
    Bit(FIsMatch[FState][FPos & 3], 1);
    Bit(FIsRep[FState], 0);
    Bit(FChoice, 0);
    for (unsigned m = 1; m < 8; m <<= 1) Bit(FLowLength[FPos & 3][m], 0);
    for (unsigned m = 1, i = 6; i-- > 0;) {
      const unsigned bit = (slot >> i) & 1u;
      Bit(FPosSlot[m], bit);
      m = m << 1 | bit;
    }
    if (slot == 63) {
      for (int i = 0; i < 26; ++i) DirectBit(1);
      for (unsigned m = 1; m < 16; m = m << 1 | 1) Bit(FAlign[m], 1);
    }
    FState = FState < 7 ? 7 : 10;
    FPos += 2;
  }
  void RepFirst() {
    Bit(FIsMatch[FState][FPos & 3], 1);
    Bit(FIsRep[FState], 1);
  }
  CodecBytes Finish() {
    for (int i = 0; i < 5; ++i) ShiftLow();
    return FOut;
  }

 private:
  void Bit(std::uint16_t& p, unsigned bit) {
    const std::uint32_t bound = (FRange >> 11) * p;
    if (bit == 0) {
      FRange = bound;
      p = static_cast<std::uint16_t>(p + ((2048 - p) >> 5));
    } else {
      FLow += bound;
      FRange -= bound;
      p = static_cast<std::uint16_t>(p - (p >> 5));
    }
    Normalize();
  }
  void DirectBit(unsigned bit) {
    FRange >>= 1;
    if (bit != 0) FLow += FRange;
    Normalize();
  }
  void Normalize() {
    while (FRange < (1u << 24)) {
      FRange <<= 8;
      ShiftLow();
    }
  }
  void ShiftLow() {
    if (static_cast<std::uint32_t>(FLow) < 0xFF000000u || (FLow >> 32) != 0) {
      const auto carry = static_cast<std::uint8_t>(FLow >> 32);
      std::uint8_t temp = FCache;
      do {
        FOut.push_back(static_cast<std::uint8_t>(temp + carry));
        temp = 0xFF;
      } while (--FCacheSize != 0);
      FCache = static_cast<std::uint8_t>(FLow >> 24);
    }
    ++FCacheSize;
    FLow = (FLow & 0x00FFFFFFu) << 8;
  }

  CodecBytes FOut;
  std::uint64_t FLow = 0;
  std::uint32_t FRange = 0xFFFFFFFFu;
  std::uint8_t FCache = 0;
  std::uint64_t FCacheSize = 1;
  unsigned FState = 0;
  unsigned FPos = 0;
  unsigned FPrevious = 0;
  std::uint16_t FIsMatch[12][16];
  std::uint16_t FIsRep[12];
  std::uint16_t FChoice = 1024;
  std::uint16_t FLowLength[16][8];
  std::uint16_t FPosSlot[64];  // only length state 0 is used
  std::uint16_t FAlign[16];
  std::uint16_t FLiteral[8][0x300];

};

struct Written {
  CodecBytes Stream;
  std::int32_t Size;
};

// "A", then a match of 2 bytes from the given slot, then the end marker when asked.
Written ALiteralAndAMatch(unsigned slot, bool marker) {
  TinyLzmaWriter w;
  w.Literal('A');
  w.Match(slot);
  if (marker) w.Match(63);
  return {w.Finish(), 3};
}

TEST(Lzma, HandWrittenPacketsDecodeAndBreakTheirRules) {
  struct Case {
    const char* Name;
    Written Input;
    std::uint16_t Flags;
    TCodecStatus Status;
  };
  TinyLzmaWriter rep;
  rep.RepFirst();
  const Case cases[] = {
      {"match of distance 1", ALiteralAndAMatch(0, false), 0, TCodecStatus::Ok},
      {"the same ended by its marker", ALiteralAndAMatch(0, true), codecs::FlagLzmaEndMarker, TCodecStatus::Ok},
      {"a marker without the flag", ALiteralAndAMatch(0, true), 0, TCodecStatus::DamagedData},
      {"no marker where the flag wants one", ALiteralAndAMatch(0, false), codecs::FlagLzmaEndMarker,
       TCodecStatus::DamagedData},
      {"distance 3 after one byte", ALiteralAndAMatch(2, false), 0, TCodecStatus::DamagedData},
      {"a repeated match before any byte", {rep.Finish(), 3}, 0, TCodecStatus::DamagedData},
  };
  LegacyDecoder decoder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const LegacyResult result = decoder.Run(c.Input.Stream, c.Input.Size,
                                            [&](codecs::TUnzipFrame& f) { return codecs::DecodeLzma(f, c.Flags); });
    EXPECT_EQ(result.Status, c.Status);
    if (c.Status == TCodecStatus::Ok) {
      EXPECT_EQ(result.Output, CodecBytes({'A', 'A', 'A'}));
    }
  }
}

// Real streams, each changed in one way that a decoder must notice.
TEST(Lzma, DamagedRealStreamsAreDamagedData) {
  // The first entries: runs.bin ended at its size by 7-Zip, words.txt ended by Python's marker.
  const CodecBytes sizeEnd = FirstEntryData(LzmaFixture("7z_size_end.zip"));
  const CodecBytes marker = FirstEntryData(LzmaFixture("python_marker.zip"));
  const CodecBytes runs = LzmaFixture("runs.bin");
  const CodecBytes words = LzmaFixture("words.txt");
  ASSERT_FALSE(sizeEnd.empty() || marker.empty() || runs.empty() || words.empty());
  const auto runsSize = static_cast<std::int32_t>(runs.size());
  const auto wordsSize = static_cast<std::int32_t>(words.size());
  auto changed = [](CodecBytes bytes, std::size_t at, std::uint8_t value) {
    bytes.at(at) = value;
    return bytes;
  };
  struct Case {
    const char* Name;
    CodecBytes Stream;
    std::uint16_t Flags;
    std::int32_t Size;
  };
  CodecBytes longer = sizeEnd;
  longer.push_back(0);
  const Case cases[] = {
      {"properties size 4", changed(sizeEnd, 2, 4), 0, runsSize},
      {"lc 4 and lp 1", changed(sizeEnd, 4, 4 + 9), 0, runsSize},
      {"properties byte 225", changed(sizeEnd, 4, 225), 0, runsSize},
      {"first range byte 1", changed(sizeEnd, 9, 1), 0, runsSize},
      // The second copy of the noise lies 4 500 bytes behind the first.
      {"dictionary 4 KiB", changed(changed(sizeEnd, 6, 0x10), 7, 0), 0, runsSize},
      {"a byte after the end", longer, 0, runsSize},
      {"the last byte missing", CodecBytes(sizeEnd.begin(), sizeEnd.end() - 1), 0, runsSize},
      {"the marker before the declared size", marker, codecs::FlagLzmaEndMarker, wordsSize + 1},
      {"the marker past the declared size", marker, codecs::FlagLzmaEndMarker, wordsSize - 1},
      {"the marker read as data", marker, 0, wordsSize},
  };
  LegacyDecoder decoder;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    const LegacyResult result =
        decoder.Run(c.Stream, c.Size, [&](codecs::TUnzipFrame& f) { return codecs::DecodeLzma(f, c.Flags); });
    EXPECT_EQ(result.Status, TCodecStatus::DamagedData);
    EXPECT_LE(static_cast<std::int32_t>(result.Output.size()), c.Size);
  }
  // The unchanged streams, in the same frame after all that damage.
  const LegacyResult plain =
      decoder.Run(sizeEnd, runsSize, [](codecs::TUnzipFrame& f) { return codecs::DecodeLzma(f, 0); });
  EXPECT_EQ(plain.Status, TCodecStatus::Ok);
  EXPECT_EQ(plain.Output, runs);
  const LegacyResult marked = decoder.Run(
      marker, wordsSize, [](codecs::TUnzipFrame& f) { return codecs::DecodeLzma(f, codecs::FlagLzmaEndMarker); });
  EXPECT_EQ(marked.Status, TCodecStatus::Ok);
  EXPECT_EQ(marked.Output, words);
}

}  // namespace
}  // namespace qel::testing
