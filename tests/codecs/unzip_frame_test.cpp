#include "archive/codecs/unzip_frame.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "memory_host.h"
#include "support/exception_message.h"
#include "support/zip_builder.h"

namespace qel::codecs {
namespace {

using testing::CodecBytes;
using testing::MemoryHost;
using Log = std::vector<std::string>;

CodecBytes Counting(std::size_t size) {
  CodecBytes bytes(size);
  for (std::size_t i = 0; i < size; ++i) {
    bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  }
  return bytes;
}

TEST(UnzipFrame, EntryWithoutCompressedBytesReadsNoChunk) {
  MemoryHost host(Counting(100));
  TUnzipFrame frame(host);
  frame.BeginEntry(0, 0, false);
  std::uint16_t byte = 0x1234;
  EXPECT_EQ(frame.ReadByte(byte), NoByte);
  EXPECT_EQ(byte, 0x1234);  // left as it was
  EXPECT_EQ(frame.CompressedRemaining(), -1);
  EXPECT_TRUE(host.Log.empty());
}

// Chunks of at most 16000 bytes, each after the messages were processed; past the entry's end
// requests deliver nothing but still count.
TEST(UnzipFrame, ReadsTheEntryInChunksAndCountsEveryRequest) {
  const CodecBytes archive = Counting(40100);
  MemoryHost host(archive);
  TUnzipFrame frame(host);
  frame.BeginEntry(40000, 0, false);
  for (std::size_t i = 0; i < 40000; ++i) {
    std::uint16_t byte = 0;
    ASSERT_EQ(frame.ReadByte(byte), ByteDelivered);
    ASSERT_EQ(byte, archive[i]);
  }
  std::uint16_t byte = 0;
  EXPECT_EQ(frame.ReadByte(byte), NoByte);
  EXPECT_EQ(frame.ReadByte(byte), NoByte);
  EXPECT_EQ(frame.CompressedRemaining(), -2);
  EXPECT_EQ(host.Log, (Log{"messages", "read 16000 got 16000", "messages", "read 16000 got 16000", "messages",
                           "read 8000 got 8000"}));
}

// A ZIP64 entry's count of unread bytes stays 64-bit until it is bounded by the chunk size:
// through a 32-bit size_t, 2^32 + 5 would read as 5.
TEST(UnzipFrame, AZip64CountIsBoundedBeforeItIsNarrowed) {
  MemoryHost host(Counting(16000));
  TUnzipFrame frame(host);
  frame.BeginEntry((std::int64_t{1} << 32) + 5, 0, false);
  std::uint16_t byte = 0;
  ASSERT_EQ(frame.ReadByte(byte), ByteDelivered);
  EXPECT_EQ(host.Log, (Log{"messages", "read 16000 got 16000"}));
}

TEST(UnzipFrame, ShortSingleVolumeArchiveFailsAtTheFirstShortChunk) {
  MemoryHost host(Counting(17000));
  TUnzipFrame frame(host);
  frame.BeginEntry(20000, 0, false);
  std::uint16_t byte = 0;
  for (int i = 0; i < 16000; ++i) {
    ASSERT_EQ(frame.ReadByte(byte), ByteDelivered);
  }
  // The second chunk wants 4000 bytes and gets 1000: that fails even though the caller
  // asked for only one of them.
  EXPECT_EQ(testing::MessageOf<base::Exception>([&] { frame.ReadByte(byte); }), "Premature end of file reached");
}

// A chunk that continues on the next volume is assembled first and decrypted as a whole,
// with one key stream across the volumes.
TEST(UnzipFrame, ChunkAcrossVolumesIsCompletedThenDecrypted) {
  const CodecBytes plain = Counting(20000);
  CodecBytes cipher = plain;
  std::uint8_t key = 0;
  for (std::uint8_t& b : cipher) {
    b = static_cast<std::uint8_t>(b ^ key++);
  }
  MemoryHost host;
  host.MultiVolume = true;
  host.Volumes.resize(2);
  host.Volumes[0].assign(cipher.begin(), cipher.begin() + 10000);
  host.Volumes[1].assign(cipher.begin() + 10000, cipher.end());
  TUnzipFrame frame(host);
  frame.BeginEntry(20000, 0, true);
  for (std::size_t i = 0; i < plain.size(); ++i) {
    std::uint16_t byte = 0;
    ASSERT_EQ(frame.ReadByte(byte), ByteDelivered);
    ASSERT_EQ(byte, plain[i]) << i;
  }
  EXPECT_EQ(host.Log, (Log{"messages", "read 16000 got 10000", "disk 2", "read 6000 got 6000", "decrypt 16000",
                           "messages", "read 4000 got 4000", "decrypt 4000"}));
}

// Bits come least significant first. When the input runs out the missing bits are zero, the
// count wraps and the buffer is never filled again.
TEST(UnzipFrame, ReadBitsTakesLowBitsFirstAndYieldsZerosPastTheEnd) {
  MemoryHost host(CodecBytes{0xB5, 0x0F});
  TUnzipFrame frame(host);
  frame.BeginEntry(2, 0, false);
  EXPECT_EQ(frame.ReadBits(3), 0b101u);
  EXPECT_FALSE(frame.EndOfInput());
  EXPECT_EQ(frame.ReadBits(9), 0b111110110u);
  EXPECT_EQ(frame.ReadBits(8), 0u);  // 4 real bits, all zero, then 4 missing ones
  EXPECT_TRUE(frame.EndOfInput());
  EXPECT_EQ(frame.ReadBits(16), 0u);
  EXPECT_EQ(frame.ReadBits(16), 0u);
  EXPECT_EQ(host.Calls("read").size(), 1u);
}

TEST(UnzipFrame, FillBitBufferReportsEndOfInputOnlyWhenNothingCame) {
  MemoryHost host(CodecBytes{0x01});
  TUnzipFrame frame(host);
  frame.BeginEntry(1, 0, false);
  frame.FillBitBuffer();
  EXPECT_FALSE(frame.EndOfInput());
  frame.FillBitBuffer();
  EXPECT_TRUE(frame.EndOfInput());
}

// Past the end the inflate reader goes on with the last byte delivered; the entry counts as
// exhausted only clearly past the look-ahead a valid stream needs.
TEST(UnzipFrame, NeedBitsRepeatsTheLastBytePastTheEnd) {
  MemoryHost host(CodecBytes{0x11, 0xA7, 0x99});
  TUnzipFrame frame(host);
  frame.BeginEntry(2, 0, false);
  TBitReader<TUnzipFrame, TPastEnd::LastByteAgain> bits(frame);
  bits.Need(16);
  EXPECT_EQ(bits.Buffer(), 0xA711u);
  bits.Drop(16);
  bits.Need(16);
  EXPECT_EQ(bits.Buffer(), 0xA7A7u);
  EXPECT_EQ(bits.Count(), 16u);
  for (int i = 0; i < MaxLookAheadBytes - 2; ++i) {
    bits.Drop(8);
    bits.Need(16);
  }
  EXPECT_FALSE(frame.InputExhausted());
  bits.Drop(8);
  bits.Need(16);
  EXPECT_TRUE(frame.InputExhausted());
}

// 40 000 bytes of output go out as 16 000, 16 000 and 8 000, each block followed by the
// file and then the total percentage.
TEST(UnzipFrame, OutputGoesOutInBlocksWithProgressAfterEach) {
  MemoryHost host;
  TUnzipFrame frame(host);
  frame.BeginRun(80000);
  frame.BeginEntry(0, 40000, false);
  const CodecBytes data = Counting(40000);
  for (std::uint8_t b : data) {
    frame.WriteByte(b);
  }
  frame.FlushOutput();
  frame.FlushOutput();  // nothing left: no second call
  EXPECT_EQ(host.Log, (Log{"write 16000", "file 40", "total 20", "write 16000", "file 80", "total 40", "write 8000",
                           "file 100", "total 50"}));
  EXPECT_EQ(host.Output, data);
  EXPECT_EQ(~frame.RunningCRC(), testing::Crc32(data));
  EXPECT_EQ(frame.BytesWritten(), 40000);
  EXPECT_EQ(frame.TotalDone(), 40000);
}

TEST(UnzipFrame, PercentagesWithoutSizesStayZeroAndTotalsOnlyAdvanceWhenTracked) {
  MemoryHost host;
  TUnzipFrame frame(host);
  frame.BeginRun(0);
  frame.BeginEntry(0, 0, false);
  for (int i = 0; i < 20000; ++i) {
    frame.WriteByte(1);
  }
  frame.FlushOutput();
  EXPECT_EQ(host.Log, (Log{"write 16000", "file 0", "total 0", "write 4000", "file 0", "total 0"}));

  MemoryHost untracked;
  untracked.TrackTotal = false;
  TUnzipFrame quiet(untracked);
  quiet.BeginRun(100);
  quiet.BeginEntry(0, 10, false);
  quiet.WriteByte(1);
  quiet.FlushOutput();
  EXPECT_EQ(untracked.Log, (Log{"write 1", "file 10"}));
  EXPECT_EQ(quiet.TotalDone(), 0);
}

// The window is passed on in pieces that fill the output block exactly.
TEST(UnzipFrame, FlushWindowFillsTheOutputBlockInPieces) {
  MemoryHost host;
  host.TrackTotal = false;
  TUnzipFrame frame(host);
  frame.BeginEntry(0, 0, false);
  const CodecBytes window = Counting(SlidingWindowSize);
  std::copy(window.begin(), window.end(), frame.Window());
  for (int i = 0; i < 10000; ++i) {
    frame.WriteByte(9);
  }
  frame.FlushWindow(SlidingWindowSize);
  EXPECT_EQ(host.Calls("write"), (Log{"write 16000", "write 16000"}));
  frame.FlushOutput();
  EXPECT_EQ(host.Calls("write"), (Log{"write 16000", "write 16000", "write 10768"}));
  CodecBytes expected = window;
  expected.insert(expected.begin(), 10000, 9);
  EXPECT_EQ(host.Output, expected);
}

// Bytes a damaged entry left in the output block are dropped by the next entry's start.
TEST(UnzipFrame, BeginEntryDropsWhatThePreviousEntryLeft) {
  MemoryHost host;
  TUnzipFrame frame(host);
  frame.BeginEntry(0, 0, false);
  frame.WriteByte(1);
  frame.WriteByte(2);
  frame.BeginEntry(0, 1, false);
  frame.WriteByte(3);
  frame.FlushOutput();
  EXPECT_EQ(host.Output, (CodecBytes{3}));
  EXPECT_EQ(~frame.RunningCRC(), testing::Crc32(CodecBytes{3}));
}

TEST(UnzipFrame, ProgressPercentRoundsHalvesToEvenAndCapsAt100) {
  struct Case {
    std::int64_t Done, Size;
    int Percent;
  };
  const Case cases[] = {
      {1, 8, 12},  {3, 8, 38},  {5, 8, 62},     {8, 8, 100},  {9, 8, 100},
      {5, 0, 0},   {5, -3, 0},  {0, 10, 0},     {1, 200, 0},  {1, 199, 1},
      {1, 3, 33},  {2, 3, 67},  {-3, 7, 0},     {std::int64_t{3} << 40, std::int64_t{8} << 40, 38},
      {std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::max(), 100},
      {std::numeric_limits<std::int64_t>::min(), 1, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ProgressPercent(c.Done, c.Size), c.Percent) << c.Done << "/" << c.Size;
  }
}

}  // namespace
}  // namespace qel::codecs
