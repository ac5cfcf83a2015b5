// The abstract stream's operations that are built on Read, Write and Seek.
#include <algorithm>
#include <vector>

#include "base/exceptions.h"
#include "base/stream.h"

namespace qel::base {

namespace {
// Chunk size of CopyFrom: large enough for few calls, small enough to stay off the big heap.
constexpr std::int32_t CopyChunkSize = 0xF000;
}  // namespace

std::int64_t TStream::GetSize() {
  std::int64_t position = Seek(0, 1);
  std::int64_t size = Seek(0, 2);
  Seek(position, 0);
  return size;
}

// A stream that cannot change its size says so rather than pretending it did.
void TStream::SetSize(std::int64_t /*newSize*/) {
  throw EStreamError(std::string(ClassName()) + " cannot change its size");
}

void TStream::ReadBuffer(void* buffer, std::int32_t count) {
  if (count != 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, std::int32_t count) {
  if (count != 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

std::int64_t TStream::CopyFrom(TStream& source, std::int64_t count) {
  if (count < 0) throw EReadError("Stream read error");
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  std::int64_t total = count;
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::int64_t>(count, CopyChunkSize)));
  while (count > 0) {
    auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, CopyChunkSize));
    source.ReadBuffer(buffer.data(), n);
    WriteBuffer(buffer.data(), n);
    count -= n;
  }
  return total;
}

}  // namespace qel::base
