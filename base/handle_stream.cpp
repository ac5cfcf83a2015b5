// A stream over an open operating-system file handle.
#include "base/exceptions.h"
#include "base/stream.h"

namespace qel::base {

// A failed transfer counts as no bytes: the callers see a short read or write, which
// ReadBuffer and WriteBuffer turn into their errors.
std::int32_t THandleStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  std::int32_t n = platform::FileRead(FHandle, buffer, count);
  return n < 0 ? 0 : n;
}

std::int32_t THandleStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  std::int32_t n = platform::FileWrite(FHandle, buffer, count);
  return n < 0 ? 0 : n;
}

// A failed seek leaves the file where it was; returning -1 as a position would let the
// caller read or write at the wrong place, so it is an error.
std::int64_t THandleStream::Seek(std::int64_t offset, int origin) {
  std::int64_t position = platform::FileSeek(FHandle, offset, origin);
  if (position < 0) throw EStreamError("Seek error");
  return position;
}

// The file ends at newSize and the position stays there.
void THandleStream::SetSize(std::int64_t newSize) {
  Seek(newSize, 0);
  if (!platform::FileTruncate(FHandle)) throw EStreamError("Cannot change the file's size. " + platform::LastErrorText());
}

}  // namespace qel::base
