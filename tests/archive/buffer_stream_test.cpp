#include "archive/buffer_stream.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

#include "base/exceptions.h"
#include "base/stream.h"

namespace qel::archive {
namespace {

using Bytes = std::vector<std::uint8_t>;
using State = TS_BufferStream::TBufferState;

Bytes Counting(std::size_t size) {
  Bytes bytes(size);
  std::iota(bytes.begin(), bytes.end(), std::uint8_t{0});
  return bytes;
}

// A memory stream that takes only so many bytes in all, like a disk running full.
class TFillingStream final : public base::TStream {
 public:
  TFillingStream(Bytes bytes, std::int64_t capacity) : FMemory(std::move(bytes)), FCapacity(capacity) {}
  std::int32_t Read(void* buffer, std::int32_t count) override { return FMemory.Read(buffer, count); }
  std::int32_t Write(const void* buffer, std::int32_t count) override {
    auto room = static_cast<std::int32_t>(std::max<std::int64_t>(FCapacity - FMemory.Position(), 0));
    return FMemory.Write(buffer, std::min(count, room));
  }
  std::int64_t Seek(std::int64_t offset, int origin) override { return FMemory.Seek(offset, origin); }
  const Bytes& Contents() const { return FMemory.Bytes(); }

 private:
  base::TMemoryStream FMemory;
  std::int64_t FCapacity;
};

TEST(BufferStreamTest, SeekFromEndIgnoresSign) {
  base::TMemoryStream memory(Counting(100));
  TS_BufferStream stream(memory);
  EXPECT_EQ(stream.Seek(-22, 2), 78);
  EXPECT_EQ(stream.Seek(22, 2), 78);
  std::uint8_t byte = 0;
  ASSERT_EQ(stream.Read(&byte, 1), 1);
  EXPECT_EQ(byte, 78);
  EXPECT_EQ(stream.Seek(0, 2), 100);
}

TEST(BufferStreamTest, EmptyStreamReadsNothingAndStaysIdle) {
  base::TMemoryStream memory;
  TS_BufferStream stream(memory);
  std::uint8_t buffer[16];
  EXPECT_EQ(stream.Read(buffer, sizeof buffer), 0);
  EXPECT_EQ(stream.State(), State::bsIdle);
  EXPECT_EQ(stream.Position(), 0);
}

TEST(BufferStreamTest, ReadAfterWriteContinuesInTheFile) {
  base::TMemoryStream memory(Counting(100));
  TS_BufferStream stream(memory);
  const Bytes written(10, 0xEE);
  ASSERT_EQ(stream.Write(written.data(), 10), 10);
  Bytes read(5);
  ASSERT_EQ(stream.Read(read.data(), 5), 5);
  EXPECT_EQ(read, (Bytes{10, 11, 12, 13, 14}));
  EXPECT_EQ(Bytes(memory.Bytes().begin(), memory.Bytes().begin() + 10), written);

  // The same after an explicit flush, which leaves no read-ahead behind either.
  ASSERT_EQ(stream.Write(written.data(), 2), 2);
  EXPECT_TRUE(stream.Flush());
  ASSERT_EQ(stream.Read(read.data(), 1), 1);
  EXPECT_EQ(read[0], 17);
}

TEST(BufferStreamTest, WriteAfterReadLandsAtTheReadPosition) {
  base::TMemoryStream memory(Counting(100));
  {
    TS_BufferStream stream(memory);
    Bytes read(5);
    ASSERT_EQ(stream.Read(read.data(), 5), 5);
    EXPECT_TRUE(stream.Flush());  // read-ahead is not pending output
    const std::uint8_t written[3] = {0xA1, 0xA2, 0xA3};
    ASSERT_EQ(stream.Write(written, 3), 3);
    EXPECT_EQ(stream.Position(), 8);
    EXPECT_EQ(stream.State(), State::bsWriting);
  }
  Bytes expected = Counting(100);
  expected[5] = 0xA1, expected[6] = 0xA2, expected[7] = 0xA3;
  EXPECT_EQ(memory.Bytes(), expected);  // written by the destructor, nothing else touched
}

TEST(BufferStreamTest, SizeCountsPendingBytes) {
  base::TMemoryStream memory(Counting(50));
  TS_BufferStream stream(memory);
  stream.Seek(0, 2);
  const Bytes pending(100, 1);
  ASSERT_EQ(stream.Write(pending.data(), 100), 100);
  EXPECT_EQ(memory.Bytes().size(), 50u);
  EXPECT_EQ(stream.Size(), 150);
  EXPECT_EQ(stream.Seek(-10, 2), 140);
  EXPECT_EQ(memory.Bytes().size(), 150u);  // the seek had to write them
  // Pending bytes inside the file do not make it longer.
  ASSERT_EQ(stream.Write(pending.data(), 5), 5);
  EXPECT_EQ(stream.Size(), 150);
}

TEST(BufferStreamTest, PutBackNeedsAByteReadFromTheBuffer) {
  base::TMemoryStream memory(Counting(10));
  TS_BufferStream stream(memory);
  EXPECT_THROW(stream.PutBack(1), base::EStreamError);  // after construction
  try {
    stream.PutBack(1);
  } catch (const base::EStreamError& error) {
    EXPECT_EQ(error.Message(), "Putback overflow");
  }

  std::uint8_t byte = 0;
  ASSERT_EQ(stream.Read(&byte, 1), 1);
  stream.PutBack(0x55);
  ASSERT_EQ(stream.Read(&byte, 1), 1);
  EXPECT_EQ(byte, 0x55);
  ASSERT_EQ(stream.Read(&byte, 1), 1);
  EXPECT_EQ(byte, 1);

  stream.Seek(4, 0);
  EXPECT_THROW(stream.PutBack(1), base::EStreamError);  // after a seek
  ASSERT_EQ(stream.Write(&byte, 1), 1);
  EXPECT_THROW(stream.PutBack(1), base::EStreamError);  // in front of a pending byte
  EXPECT_EQ(stream.Position(), 5);
}

TEST(BufferStreamTest, SeekToThePositionKeepsTheReadAhead) {
  base::TMemoryStream memory(Counting(100));
  TS_BufferStream stream(memory);
  int refills = 0;
  stream.OnRefill = [&](TS_BufferStream&) { ++refills; };
  std::uint8_t byte = 0;
  stream.Read(&byte, 1);
  EXPECT_EQ(stream.Seek(1, 0), 1);
  EXPECT_EQ(stream.Seek(0, 1), 1);
  stream.Read(&byte, 1);
  EXPECT_EQ(refills, 1);
  stream.Seek(50, 0);
  stream.Read(&byte, 1);
  EXPECT_EQ(byte, 50);
  EXPECT_EQ(refills, 2);
}

TEST(BufferStreamTest, BadSeeksRaiseAndLeaveTheStreamUsable) {
  base::TMemoryStream memory(Counting(100));
  TS_BufferStream stream(memory);
  stream.Seek(10, 0);
  try {
    stream.Seek(0, 3);
    ADD_FAILURE();
  } catch (const base::Exception& error) {
    EXPECT_EQ(error.Message(), "Invalid seek origin (3)");
  }
  EXPECT_THROW(stream.Seek(-11, 1), base::EStreamError);
  EXPECT_THROW(stream.Seek(101, 2), base::EStreamError);
  EXPECT_THROW(stream.Seek(INT64_MIN, 2), base::EStreamError);
  EXPECT_THROW(stream.Seek(INT64_MAX, 1), base::EStreamError);
  std::uint8_t byte = 0;
  ASSERT_EQ(stream.Read(&byte, 1), 1);
  EXPECT_EQ(byte, 10);
}

TEST(BufferStreamTest, FailedFlushesAreReported) {
  // Room for 4 more bytes only.
  TFillingStream disk(Counting(10), 14);
  TS_BufferStream stream(disk, 8);
  stream.Seek(0, 2);
  const Bytes data(20, 0x77);
  ASSERT_EQ(stream.Write(data.data(), 3), 3);
  // The full buffer goes out only in part: the 5 bytes of this call in it do not count as accepted.
  EXPECT_EQ(stream.Write(data.data(), 20), 0);
  EXPECT_EQ(stream.State(), State::bsIdle);
  EXPECT_EQ(disk.Contents().size(), 14u);

  // A block larger than the empty buffer goes straight out; what landed is what counts.
  TFillingStream direct(Counting(10), 14);
  TS_BufferStream straight(direct, 8);
  straight.Seek(0, 2);
  EXPECT_EQ(straight.Write(data.data(), 20), 4);
  EXPECT_EQ(direct.Contents().size(), 14u);

  TFillingStream full(Counting(10), 10);
  TS_BufferStream pending(full, 8);
  pending.Seek(0, 2);
  ASSERT_EQ(pending.Write(data.data(), 3), 3);
  try {
    pending.Seek(0, 0);
    ADD_FAILURE();
  } catch (const base::EStreamError& error) {
    EXPECT_EQ(error.Message(), "Seek error");
  }
  ASSERT_EQ(pending.Write(data.data(), 3), 3);
  std::uint8_t byte = 0;
  EXPECT_THROW(pending.Read(&byte, 1), base::EWriteError);
}

// Random reads, writes and seeks through a small buffer must leave the same bytes and
// positions as the same operations straight on a memory stream.
TEST(BufferStreamTest, MatchesAnUnbufferedStream) {
  for (std::int32_t bufferSize : {1, 7, 64, TS_BufferStream::DefaultBufferSize}) {
    SCOPED_TRACE(bufferSize);
    std::mt19937 random(static_cast<unsigned>(bufferSize));
    base::TMemoryStream reference(Counting(300));
    base::TMemoryStream memory(Counting(300));
    {
      TS_BufferStream stream(memory, bufferSize);
      for (int step = 0; step < 3000; ++step) {
        const auto count = static_cast<std::int32_t>(random() % 40);
        switch (random() % 5) {
          case 0:
          case 1: {
            Bytes expected(40), got(40);
            ASSERT_EQ(stream.Read(got.data(), count), reference.Read(expected.data(), count));
            ASSERT_EQ(got, expected);
            break;
          }
          case 2:
          case 3: {
            Bytes data(static_cast<std::size_t>(count));
            for (auto& b : data) b = static_cast<std::uint8_t>(random());
            ASSERT_EQ(stream.Write(data.data(), count), reference.Write(data.data(), count));
            break;
          }
          default: {
            const auto size = reference.Size();
            const std::int64_t target = static_cast<std::int64_t>(random() % static_cast<unsigned>(size + 1));
            switch (random() % 3) {
              case 0: ASSERT_EQ(stream.Seek(target, 0), reference.Seek(target, 0)); break;
              case 1: {
                const std::int64_t offset = target - reference.Position();
                ASSERT_EQ(stream.Seek(offset, 1), reference.Seek(offset, 1));
                break;
              }
              default: ASSERT_EQ(stream.Seek(size - target, 2), reference.Seek(-(size - target), 2)); break;
            }
          }
        }
        ASSERT_EQ(stream.Position(), reference.Position());
        ASSERT_EQ(stream.Size(), reference.Size());
      }
    }
    EXPECT_EQ(memory.Bytes(), reference.Bytes());
  }
}

}  // namespace
}  // namespace qel::archive
