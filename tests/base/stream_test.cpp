// The operations every stream inherits: sizes through Seek, exact transfers, copying.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/stream.h"

namespace qel::base {
namespace {

// A stream over a fixed block that takes at most Capacity bytes in all.
class TLimitedStream final : public TStream {
 public:
  explicit TLimitedStream(std::int64_t capacity) : FCapacity(capacity) {}
  std::int32_t Read(void* buffer, std::int32_t count) override {
    auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, static_cast<std::int64_t>(FData.size()) - FPosition));
    if (n <= 0) return 0;
    std::memcpy(buffer, FData.data() + FPosition, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
  }
  std::int32_t Write(const void* buffer, std::int32_t count) override {
    auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, FCapacity - FPosition));
    if (n <= 0) return 0;
    if (FPosition + n > static_cast<std::int64_t>(FData.size())) FData.resize(static_cast<std::size_t>(FPosition + n));
    std::memcpy(FData.data() + FPosition, buffer, static_cast<std::size_t>(n));
    FPosition += n;
    return n;
  }
  std::int64_t Seek(std::int64_t offset, int origin) override {
    FPosition = origin == 0 ? offset : origin == 1 ? FPosition + offset : static_cast<std::int64_t>(FData.size()) + offset;
    return FPosition;
  }

 private:
  std::int64_t FCapacity;
  std::vector<std::uint8_t> FData;
  std::int64_t FPosition = 0;
};

TEST(StreamTest, SizeComesFromSeekAndRestoresThePosition) {
  TLimitedStream stream(100);
  stream.WriteBuffer("abcdef", 6);
  stream.SetPosition(2);
  EXPECT_EQ(stream.Size(), 6);
  EXPECT_EQ(stream.Position(), 2);
  EXPECT_THROW(stream.SetSize(3), EStreamError);  // a stream without a size to change says so
}

TEST(StreamTest, ShortTransfersRaiseReadAndWriteErrors) {
  TLimitedStream stream(4);
  try {
    stream.WriteBuffer("abcdef", 6);
    FAIL();
  } catch (const EWriteError& e) {
    EXPECT_EQ(e.Message(), "Stream write error");
  }
  stream.SetPosition(0);
  char buffer[8];
  try {
    stream.ReadBuffer(buffer, 5);
    FAIL();
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), "Stream read error");
  }
  stream.SetPosition(0);
  stream.ReadBuffer(buffer, 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  stream.ReadBuffer(buffer, 0);  // nothing asked, nothing missing
  EXPECT_THROW(stream.ReadBuffer(buffer, -1), EReadError);
}

TEST(StreamTest, CopyFromMovesChunksAndAllOfASourceForCountZero) {
  // More than two chunks, with a pattern that shows misplaced or repeated chunks.
  std::vector<std::uint8_t> data(2 * 0xF000 + 123);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
  TMemoryStream source(data);
  source.SetPosition(1000);  // count 0 copies from the start regardless
  TMemoryStream target;
  EXPECT_EQ(target.CopyFrom(source, 0), static_cast<std::int64_t>(data.size()));
  EXPECT_EQ(target.Bytes(), data);

  source.SetPosition(10);
  TMemoryStream part;
  EXPECT_EQ(part.CopyFrom(source, 5), 5);
  EXPECT_EQ(part.Bytes(), std::vector<std::uint8_t>(data.begin() + 10, data.begin() + 15));

  source.SetPosition(static_cast<std::int64_t>(data.size()) - 3);
  TMemoryStream tooMuch;
  EXPECT_THROW(tooMuch.CopyFrom(source, 4), EReadError);
  EXPECT_THROW(tooMuch.CopyFrom(source, -1), EReadError);

  TLimitedStream full(10);
  source.SetPosition(0);
  EXPECT_THROW(full.CopyFrom(source, 20), EWriteError);
}

}  // namespace
}  // namespace qel::base
