#include "archive/buffer_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "archive/stream_messages.h"
#include "archive/string_resource.h"
#include "base/exceptions.h"
#include "base/format.h"

namespace qel::archive {

namespace {

std::string StreamMessage(std::int16_t id) { return LibraryMessage(StreamTableName, id); }

[[noreturn]] void RaiseSeekError() { throw base::EStreamError(StreamMessage(stream_message::SeekError)); }

// |offset| without overflow: the most negative offset counts as the largest distance.
std::int64_t Distance(std::int64_t offset) {
  if (offset == std::numeric_limits<std::int64_t>::min()) return std::numeric_limits<std::int64_t>::max();
  return offset < 0 ? -offset : offset;
}

}  // namespace

TS_BufferStream::TS_BufferStream(base::TStream& stream, std::int32_t bufferSize)
    : FStream(stream),
      FBufferSize(bufferSize > 0 ? bufferSize : DefaultBufferSize),
      FBuffer(std::make_unique<std::uint8_t[]>(static_cast<std::size_t>(FBufferSize))),
      FEnd(BufferEnd()) {}

TS_BufferStream::~TS_BufferStream() {
  if (FState != TBufferState::bsWriting) return;
  try {
    Flush();
  } catch (...) {
    // A hook that raises while the stream goes away has nobody left to tell.
  }
}

std::int64_t TS_BufferStream::LogicalPosition() {
  const std::int64_t underlying = FStream.Position();
  switch (FState) {
    case TBufferState::bsReading: return underlying - (FEnd - FCurrent);
    case TBufferState::bsWriting: return underlying + (FCurrent - BufferStart());
    case TBufferState::bsIdle: break;
  }
  return underlying;
}

std::int64_t TS_BufferStream::GetSize() { return std::max(LogicalPosition(), FStream.Size()); }

void TS_BufferStream::FlushOrRaise() {
  if (!Flush()) throw base::EWriteError("Stream write error");
}

void TS_BufferStream::StartWriteBuffer() {
  FCurrent = BufferStart();
  FEnd = BufferEnd();
  FState = TBufferState::bsWriting;
}

std::int32_t TS_BufferStream::Read(void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  if (FState != TBufferState::bsReading) {
    // Written bytes go out first; whatever the buffer then holds is not read-ahead, so the
    // next byte must come from the wrapped stream.
    if (FState == TBufferState::bsWriting) FlushOrRaise();
    FCurrent = FEnd = BufferStart();
  }
  auto* destination = static_cast<std::uint8_t*>(buffer);
  std::int32_t total = 0;
  while (count > 0) {
    if (FCurrent == FEnd && !Refill()) break;
    const auto chunk = static_cast<std::int32_t>(std::min<std::ptrdiff_t>(FEnd - FCurrent, count));
    std::memcpy(destination + total, FCurrent, static_cast<std::size_t>(chunk));
    FCurrent += chunk;
    count -= chunk;
    total += chunk;
  }
  return total;
}

std::int32_t TS_BufferStream::Write(const void* buffer, std::int32_t count) {
  if (count <= 0) return 0;
  if (FState == TBufferState::bsReading) {
    // The wrapped stream stands after the read-ahead; writing starts where the reader is.
    const std::int64_t position = LogicalPosition();
    if (FStream.Seek(position, 0) != position) RaiseSeekError();
    FState = TBufferState::bsIdle;
  }
  if (FState != TBufferState::bsWriting) StartWriteBuffer();

  const auto* source = static_cast<const std::uint8_t*>(buffer);
  std::int32_t total = 0;
  std::int32_t ownBytesInBuffer = 0;  // bytes of this call that a failed flush would lose
  while (count > 0) {
    // With the buffer empty, a block at least as large as the buffer goes straight to the
    // wrapped stream: copying it through the buffer would only split it into more writes.
    if (FCurrent == BufferStart() && count >= FBufferSize) {
      const std::int32_t direct = count;
      const std::int32_t written = FStream.Write(source + total, direct);
      NotifyFlush();
      if (written != direct) {
        total += written > 0 ? written : 0;
        break;
      }
      count -= direct;
      total += direct;
      continue;
    }
    FState = TBufferState::bsWriting;
    const auto chunk = static_cast<std::int32_t>(std::min<std::ptrdiff_t>(FEnd - FCurrent, count));
    std::memcpy(FCurrent, source + total, static_cast<std::size_t>(chunk));
    FCurrent += chunk;
    count -= chunk;
    total += chunk;
    ownBytesInBuffer += chunk;
    if (FCurrent == FEnd) {
      if (!Flush()) {
        total -= ownBytesInBuffer;
        break;
      }
      ownBytesInBuffer = 0;
    }
  }
  FState = FCurrent != BufferStart() ? TBufferState::bsWriting : TBufferState::bsIdle;
  return total;
}

std::int64_t TS_BufferStream::Seek(std::int64_t offset, int origin) {
  const std::int64_t current = LogicalPosition();
  std::int64_t target = 0;
  switch (origin) {
    case 0: target = offset; break;
    case 1:
      if (__builtin_add_overflow(current, offset, &target)) RaiseSeekError();
      break;
    case 2: target = GetSize() - Distance(offset); break;
    default:
      throw base::Exception(base::Format(StreamMessage(stream_message::InvalidSeekOrigin), {origin}));
  }
  // Staying put keeps the buffer: the directory reader asks for its position constantly.
  if (target == current) return target;
  // Checked before anything moves, so a refused seek leaves the buffer as it was.
  if (target < 0) RaiseSeekError();
  if (FState == TBufferState::bsWriting && !Flush()) RaiseSeekError();
  const std::int64_t reached = FStream.Seek(target, 0);
  FCurrent = nullptr;
  FEnd = BufferEnd();
  FState = TBufferState::bsIdle;
  if (reached != target) RaiseSeekError();
  return target;
}

bool TS_BufferStream::Refill() {
  // A refill over pending bytes would lose them.
  if (FState == TBufferState::bsWriting) FlushOrRaise();
  const std::int32_t got = std::max(FStream.Read(BufferStart(), FBufferSize), 0);
  FCurrent = BufferStart();
  FEnd = BufferStart() + got;
  FState = got > 0 ? TBufferState::bsReading : TBufferState::bsIdle;
  NotifyRefill();
  return got > 0;
}

bool TS_BufferStream::Flush() {
  // Read-ahead written back would land after the bytes it came from.
  if (FState != TBufferState::bsWriting) return true;
  const auto pending = static_cast<std::int32_t>(FCurrent - BufferStart());
  const std::int32_t written = pending > 0 ? FStream.Write(BufferStart(), pending) : 0;
  FCurrent = BufferStart();
  FEnd = BufferEnd();
  FState = TBufferState::bsIdle;
  NotifyFlush();
  return written == pending;
}

void TS_BufferStream::PutBack(std::uint8_t value) {
  // While writing, the byte in front of the pointer is a pending one, not something read.
  if (FCurrent == nullptr || FCurrent == BufferStart() || FState == TBufferState::bsWriting) {
    throw base::EStreamError(StreamMessage(stream_message::PutbackOverflow));
  }
  --FCurrent;
  *FCurrent = value;
}

void TS_BufferStream::NotifyRefill() {
  if (OnRefill) OnRefill(*this);
}

void TS_BufferStream::NotifyFlush() {
  if (OnFlush) OnFlush(*this);
}

}  // namespace qel::archive
