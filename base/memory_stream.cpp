// A stream over a growable block of memory.
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "base/exceptions.h"
#include "base/stream.h"

namespace qel::base {

namespace {

// Resizes bytes, reporting exhaustion as the framework's error rather than a bare std::bad_alloc.
void Resize(std::vector<std::uint8_t>& bytes, std::int64_t newSize) {
  if (newSize < 0 || static_cast<std::uint64_t>(newSize) > bytes.max_size()) throw EOutOfMemory("Out of memory");
  try {
    bytes.resize(static_cast<std::size_t>(newSize));
  } catch (const std::bad_alloc&) {
    throw EOutOfMemory("Out of memory");
  } catch (const std::length_error&) {
    throw EOutOfMemory("Out of memory");
  }
}

}  // namespace

std::int32_t TMemoryStream::Read(void* buffer, std::int32_t count) {
  auto size = static_cast<std::int64_t>(FBytes.size());
  if (count <= 0 || FPosition >= size) return 0;
  auto n = static_cast<std::int32_t>(std::min<std::int64_t>(count, size - FPosition));
  std::memcpy(buffer, FBytes.data() + FPosition, static_cast<std::size_t>(n));
  FPosition += n;
  return n;
}

// Writing past the end grows the block; a gap left by an earlier seek reads as zeros.
std::int32_t TMemoryStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  if (FPosition > std::numeric_limits<std::int64_t>::max() - count) throw EOutOfMemory("Out of memory");
  std::int64_t end = FPosition + count;
  if (end > static_cast<std::int64_t>(FBytes.size())) Resize(FBytes, end);
  std::memcpy(FBytes.data() + FPosition, buffer, static_cast<std::size_t>(count));
  FPosition = end;
  return count;
}

// Any position from 0 on is allowed, also past the end; a position before the start
// or an unknown origin is an error, as it is for files.
std::int64_t TMemoryStream::Seek(std::int64_t offset, int origin) {
  std::int64_t base;
  switch (origin) {
    case 0: base = 0; break;
    case 1: base = FPosition; break;
    case 2: base = static_cast<std::int64_t>(FBytes.size()); break;
    default: throw EStreamError("Seek error");
  }
  // Positions stay far below the int64 limits, so only a huge offset can overflow here.
  if ((offset > 0 && base > std::numeric_limits<std::int64_t>::max() - offset) || base + offset < 0) {
    throw EStreamError("Seek error");
  }
  FPosition = base + offset;
  return FPosition;
}

// Shrinking below the position moves the position to the new end.
void TMemoryStream::SetSize(std::int64_t newSize) {
  if (newSize < 0) throw EStreamError("Invalid stream size");
  Resize(FBytes, newSize);
  if (FPosition > newSize) FPosition = newSize;
}

}  // namespace qel::base
