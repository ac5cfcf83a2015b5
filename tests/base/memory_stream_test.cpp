#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/stream.h"

namespace qel::base {
namespace {

std::vector<std::uint8_t> Bytes(const std::string& s) { return std::vector<std::uint8_t>(s.begin(), s.end()); }

TEST(MemoryStreamTest, ReadsWritesAndSeeksFromEveryOrigin) {
  TMemoryStream stream(Bytes("0123456789"));
  char buffer[8] = {};
  EXPECT_EQ(stream.Read(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "0123");
  EXPECT_EQ(stream.Seek(2, 1), 6);
  EXPECT_EQ(stream.Seek(-3, 2), 7);
  EXPECT_EQ(stream.Read(buffer, 8), 3);  // only what is left
  EXPECT_EQ(std::string(buffer, 3), "789");
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  EXPECT_EQ(stream.Seek(1, 0), 1);
  EXPECT_EQ(stream.Write("ab", 2), 2);
  EXPECT_EQ(stream.Bytes(), Bytes("0ab3456789"));
  EXPECT_EQ(stream.Size(), 10);
  EXPECT_EQ(stream.Position(), 3);  // Size does not move the position
  EXPECT_EQ(stream.Read(buffer, 0), 0);
  EXPECT_EQ(stream.Read(buffer, -1), 0);
  EXPECT_EQ(stream.Write(buffer, -1), 0);
}

TEST(MemoryStreamTest, WritingPastTheEndZeroFillsTheGap) {
  TMemoryStream stream(Bytes("ab"));
  EXPECT_EQ(stream.Seek(5, 0), 5);
  char buffer[1];
  EXPECT_EQ(stream.Read(buffer, 1), 0);  // nothing to read out there
  EXPECT_EQ(stream.Size(), 2);           // and seeking alone does not grow the stream
  stream.WriteBuffer("xy", 2);
  EXPECT_EQ(stream.Bytes(), (std::vector<std::uint8_t>{'a', 'b', 0, 0, 0, 'x', 'y'}));
  EXPECT_EQ(stream.Position(), 7);
}

TEST(MemoryStreamTest, SeeksBeforeTheStartAndBadOriginsAreErrors) {
  TMemoryStream stream(Bytes("abc"));
  stream.SetPosition(2);
  EXPECT_THROW(stream.Seek(-1, 0), EStreamError);
  EXPECT_THROW(stream.Seek(-4, 2), EStreamError);
  EXPECT_THROW(stream.Seek(0, 3), EStreamError);
  EXPECT_THROW(stream.Seek(INT64_MAX, 1), EStreamError);
  EXPECT_EQ(stream.Position(), 2);  // a refused seek moves nothing
}

TEST(MemoryStreamTest, SetSizeCutsOrExtendsAndKeepsThePositionInside) {
  TMemoryStream stream(Bytes("abcdef"));
  stream.SetPosition(5);
  stream.SetSize(3);
  EXPECT_EQ(stream.Bytes(), Bytes("abc"));
  EXPECT_EQ(stream.Position(), 3);
  stream.SetSize(5);
  EXPECT_EQ(stream.Bytes(), (std::vector<std::uint8_t>{'a', 'b', 'c', 0, 0}));
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_THROW(stream.SetSize(-1), EStreamError);
}

}  // namespace
}  // namespace qel::base
