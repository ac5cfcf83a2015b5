// A read/write buffer in front of any stream: small reads and writes are served from one
// block, and the wrapped stream sees block-sized transfers only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "base/stream.h"

namespace qel::archive {

class TS_BufferStream : public base::TStream {
 public:
  static constexpr std::int32_t DefaultBufferSize = 8192;

  // What the buffer holds: nothing, read-ahead of the wrapped stream, or bytes not yet written.
  enum class TBufferState : int { bsIdle = 0, bsReading = 1, bsWriting = 2 };

  using TBufferHook = std::function<void(TS_BufferStream& sender)>;

  // The wrapped stream is not owned and must outlive this one.
  explicit TS_BufferStream(base::TStream& stream, std::int32_t bufferSize = DefaultBufferSize);
  // Writes pending bytes (a failure there cannot be reported any more: call Flush first
  // where it matters); the wrapped stream stays open.
  ~TS_BufferStream() override;
  TS_BufferStream(const TS_BufferStream&) = delete;
  TS_BufferStream& operator=(const TS_BufferStream&) = delete;

  const char* ClassName() const noexcept override { return "TS_BufferStream"; }

  std::int32_t Read(void* buffer, std::int32_t count) override;
  // Returns the bytes accepted; bytes that a failed flush lost are not counted, so a short
  // count always means that some of this call's bytes did not reach the wrapped stream.
  std::int32_t Write(const void* buffer, std::int32_t count) override;
  // Origin 2 counts back from the end whatever the offset's sign. A target before the start
  // raises EStreamError, as does a seek that cannot write the pending bytes.
  std::int64_t Seek(std::int64_t offset, int origin) override;
  // The larger of the logical position and the wrapped stream's size: pending bytes count.
  std::int64_t GetSize() override;

  // Reads the next block of the wrapped stream into the buffer; false when nothing came.
  virtual bool Refill();
  // Writes the pending bytes; false when the wrapped stream took fewer. Nothing to do
  // unless the buffer holds written bytes.
  virtual bool Flush();
  // Makes value the next byte read. Only bytes read from the buffer can be put back.
  virtual void PutBack(std::uint8_t value);
  virtual void NotifyRefill();
  virtual void NotifyFlush();

  // Called after every refill and every flush when set.
  TBufferHook OnRefill;
  TBufferHook OnFlush;

  TBufferState State() const { return FState; }
  std::int32_t BufferSize() const { return FBufferSize; }
  base::TStream& Stream() const { return FStream; }

 private:
  std::uint8_t* BufferStart() const { return FBuffer.get(); }
  std::uint8_t* BufferEnd() const { return FBuffer.get() + FBufferSize; }
  std::int64_t LogicalPosition();
  // Writes what is pending or raises: for the operations that cannot go on without it.
  void FlushOrRaise();
  void StartWriteBuffer();

  base::TStream& FStream;
  std::int32_t FBufferSize;
  std::unique_ptr<std::uint8_t[]> FBuffer;
  // Next byte to read or write; nullptr after construction and after every seek.
  std::uint8_t* FCurrent = nullptr;
  // End of the read-ahead (reading) or of the buffer (writing).
  std::uint8_t* FEnd;
  TBufferState FState = TBufferState::bsIdle;
};

}  // namespace qel::archive
