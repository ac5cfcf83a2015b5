// The decompression frame: the working state that every method of one extraction run shares.
// It holds the sliding window, the input chunk of compressed bytes and the output block, takes
// compressed bytes from the host chunk by chunk, passes output to the host in blocks of
// IoBlockSize bytes with the entry's CRC-32 and the progress notifications.
//
// The extraction driver makes one frame per run over the three roles of frame_host.h, calls
// BeginRun once and BeginEntry before each entry, runs the entry's method, then reads
// RunningCRC and BytesWritten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>

#include "archive/codecs/bit_reader.h"
#include "archive/codecs/crc32.h"
#include "archive/codecs/decode_table.h"
#include "archive/codecs/frame_host.h"

namespace qel::codecs {

// The window block: inflate and explode use its first SlidingWindowSize bytes; unreduce and
// unshrink lay their own tables over it. A Deflate64 entry asks for a larger one (ReserveWindow).
inline constexpr std::size_t WindowBlockSize = 32780;
inline constexpr std::size_t SlidingWindowSize = 32768;
// Compressed input is read, and output written, in blocks of this size.
inline constexpr std::size_t IoBlockSize = 16000;
inline constexpr std::size_t IoBufferSize = IoBlockSize + 1;

// How far past its end a decoder may ask for compressed bytes before the entry counts as
// exhausted. A valid stream asks at most 16 bits ahead of the last bit it uses, that is two
// bytes; a damaged one that would decode on from repeated bytes stops here.
inline constexpr std::int64_t MaxLookAheadBytes = 4;

class TUnzipFrame final {
 public:
  TUnzipFrame(TFrameInput& input, TFrameOutput& output, TFrameProgress& progress);
  explicit TUnzipFrame(TFrameHost& host) : TUnzipFrame(host, host, host) {}
  TUnzipFrame(const TUnzipFrame&) = delete;
  TUnzipFrame& operator=(const TUnzipFrame&) = delete;

  // Start of a run: totalBytes is the sum of the selected entries' uncompressed sizes, the
  // denominator of the total percentage.
  void BeginRun(std::int64_t totalBytes);
  // Before each entry, with the archive stream at the entry's first data byte (behind the
  // encryption header of an encrypted entry, whose 12 bytes compressedSize no longer counts).
  // Drops whatever a previous entry left in the output block.
  void BeginEntry(std::int64_t compressedSize, std::int64_t uncompressedSize, bool encrypted);

  // Results of the entry: the CRC register (finish with NOT) and the bytes written.
  std::uint32_t RunningCRC() const noexcept { return FRunningCRC; }
  std::int64_t BytesWritten() const noexcept { return FBytesWritten; }
  // Bounds the entry's output, after BeginEntry: bytes past limit are not written, and the
  // entry's input is cut off there, so the decoder stops soon after (an entry that expands
  // without end, or garbage decoded under a wrong password, never fills a disk). The driver
  // bounds every entry by the size it declares; without a bound the output is unlimited.
  void LimitOutput(std::int64_t limit) noexcept { FOutputLimit = limit; }
  // After BeginEntry: the entry's CRC is not taken (RunningCRC stays CrcInitial), for an entry
  // that stores none and whose data is verified otherwise.
  void OmitCRC() noexcept { FTakesCRC = false; }
  // True when the decoder produced more than the bound: such an entry is damaged, whatever its
  // decoder says.
  bool Overran() const noexcept { return FOverran; }
  std::int64_t TotalBytes() const noexcept { return FTotalBytes; }
  std::int64_t TotalDone() const noexcept { return FTotalDone; }

  std::int64_t UncompressedSize() const noexcept { return FUncompressedSize; }
  std::int64_t CompressedRemaining() const noexcept { return FCompressedRemaining; }
  std::uint8_t* Window() noexcept { return FWindow.get(); }
  // Makes the window block at least size bytes for the entry about to be decoded, as Deflate64's
  // 64 KB window needs; the other methods keep the WindowBlockSize bytes they were written for,
  // and pay nothing for it. A larger block replaces the window for the rest of the run (what it
  // held is not kept: no entry reads another's bytes). False when it cannot be had.
  bool ReserveWindow(std::size_t size) noexcept;

  // --- compressed input ---

  // Delivers the next compressed byte of the entry (ByteDelivered), or NoByte when the entry
  // has none left; byte is then unchanged. Every call counts against the entry, also one that
  // delivers nothing.
  int ReadByte(std::uint16_t& byte) {
    if (FCompressedRemaining <= 0) {
      // A decoder that ignores the end may ask on and on; count on without overflowing.
      if (FCompressedRemaining > std::numeric_limits<std::int64_t>::min()) {
        --FCompressedRemaining;
      }
      return NoByte;
    }
    --FCompressedRemaining;
    if (FInputCount == 0 && !ReadChunk()) {
      return NoByte;
    }
    byte = *FInputPosition++;
    --FInputCount;
    return ByteDelivered;
  }

  // True once a decoder has asked for clearly more bytes than the entry holds.
  bool InputExhausted() const noexcept { return FCompressedRemaining < -MaxLookAheadBytes; }

  // The frame's own bit reader, shared by unshrink and unreduce (zeros past the end).
  unsigned ReadBits(unsigned n) { return FBits.Take(n); }
  // Fills as far as a 32-bit buffer takes whole bytes: to 25 bits or more.
  void FillBitBuffer() { FBits.Fill(25); }
  bool EndOfInput() const noexcept { return FBits.EndOfInput(); }

  // Direct access to the bytes of the current chunk for decoders that take several at once.
  // Taking bytes counts them against the entry exactly as ReadByte would.
  std::size_t BufferedInput() const noexcept { return FInputCount; }
  const std::uint8_t* InputPosition() const noexcept { return FInputPosition; }
  void TakeInput(std::size_t count) noexcept {
    FInputPosition += count;
    FInputCount = static_cast<std::uint16_t>(FInputCount - count);
    FCompressedRemaining -= static_cast<std::int64_t>(count);
  }
  // Reads the entry's next block of up to IoBlockSize compressed bytes straight into buffer,
  // continued on later volumes and decrypted, without processing messages: the stored copy.
  // Returns the bytes read, 0 once the entry has none left.
  std::size_t ReadBlock(std::uint8_t* buffer);

  // After the method: reads the entry's bytes it left unread, decrypted as the others (the
  // decryption of an AES entry authenticates every byte of it), then the count bytes stored
  // right behind the entry's data into trailer, as they are; both continue on later volumes.
  void ReadPastEntry(std::uint8_t* trailer, std::size_t count);

  // --- output ---

  void WriteByte(std::uint8_t b) {
    *FOutputPosition++ = b;
    if (++FOutputCount == IoBlockSize) {
      FlushOutput();
    }
  }
  // Passes the first n bytes of the window on to the output.
  void FlushWindow(std::size_t n);
  // Passes n bytes from elsewhere on as FlushWindow passes the window: the output block is
  // filled and written whenever it is full, and a whole block from an empty output block
  // goes straight from data.
  void FlushBytes(const std::uint8_t* data, std::size_t n);
  // Writes the output block, adds it to the CRC and reports progress; nothing when empty.
  void FlushOutput();

  // The stored copy fills the output block directly and then flushes it.
  std::uint8_t* OutputBuffer() noexcept { return FOutput.get(); }
  std::size_t OutputCount() const noexcept { return FOutputCount; }
  void SetOutputCount(std::size_t count) noexcept;

  // Working memory of a decoder beyond the window, kept for the run so no entry allocates:
  // at least size bytes, aligned for any type, or nullptr when it cannot be had. A larger
  // size replaces the block; what it held is not kept.
  std::uint8_t* DecoderBuffer(std::size_t size) noexcept;

  // Table blocks of the decoders; an allocation failure is shown as a notice of the run.
  TDecodeTableMemory& TableMemory() noexcept { return FTableMemory; }
  // Tests take table blocks from elsewhere; nullptr returns to the heap.
  void SetTableAllocator(TDecodeTableMemory* allocator) noexcept { FTableMemory.Backend = allocator; }

 private:
  // Table blocks come from an arena of the run, which starts over whenever no table is left:
  // a dynamic block makes dozens of small tables, and the heap would see each of them. Blocks
  // beyond the arena come from the heap.
  class TFrameTableMemory final : public TDecodeTableMemory {
   public:
    // Enough for the tables of two codes of 288 values with sub-tables, as one block holds.
    static constexpr std::size_t ArenaSlots = 4096;

    explicit TFrameTableMemory(TFrameProgress& progress) : FProgress(progress) {}
    TDecodeEntry* Allocate(std::size_t slots) noexcept override;
    void Release(TDecodeEntry* block) noexcept override;
    void OutOfMemory() override;
    TDecodeTableMemory* Backend = nullptr;

   private:
    bool InArena(const TDecodeEntry* block) const noexcept;

    TFrameProgress& FProgress;
    std::unique_ptr<TDecodeEntry[]> FArena;
    std::size_t FArenaUsed = 0;
    std::size_t FLive = 0;  // blocks handed out and not yet released
  };
  using TSharedBits = TBitReader<TUnzipFrame, TPastEnd::ZeroBits>;

  bool ReadChunk();
  std::size_t ReadFromVolumes(std::uint8_t* buffer);
  // Writes one block, adds it to the CRC and reports progress; bytes past the entry's size
  // are dropped and end its input.
  void PassBlock(const std::uint8_t* block, std::size_t count);
  // Ends the entry's input: every later request finds it exhausted.
  void CutInput() noexcept;

  TFrameInput& FInputRole;
  TFrameOutput& FOutputRole;
  TFrameProgress& FProgress;
  TFrameTableMemory FTableMemory;
  std::unique_ptr<std::uint8_t[]> FWindow;
  std::size_t FWindowSize = WindowBlockSize;
  std::unique_ptr<std::uint8_t[]> FInput;
  std::unique_ptr<std::uint8_t[]> FOutput;
  std::unique_ptr<std::uint8_t[]> FDecoderBuffer;
  std::size_t FDecoderBufferSize = 0;

  // Input of the entry.
  const std::uint8_t* FInputPosition;
  std::uint16_t FInputCount = 0;
  std::int64_t FCompressedRemaining = 0;  // bytes the method may still ask for
  // Bytes not yet read from the archive: the count the driver's work record keeps.
  std::int64_t FCompressedUnread = 0;
  bool FEncrypted = false;
  TSharedBits FBits{*this};

  // Output of the entry and the run.
  std::uint8_t* FOutputPosition;
  std::uint16_t FOutputCount = 0;
  std::int64_t FBytesWritten = 0;
  std::int64_t FUncompressedSize = 0;
  std::int64_t FOutputLimit = std::numeric_limits<std::int64_t>::max();
  bool FOverran = false;
  std::uint32_t FRunningCRC = CrcInitial;
  bool FTakesCRC = true;
  std::int64_t FTotalBytes = 0;
  std::int64_t FTotalDone = 0;
};

// The percentage of done against size: 0 for a size of 0 or less, else rounded to the nearest
// integer, halves to the even neighbour, at most 100.
int ProgressPercent(std::int64_t done, std::int64_t size);

}  // namespace qel::codecs
