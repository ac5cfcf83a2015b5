#include "archive/codecs/unzip_frame.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <new>
#include <utility>

namespace qel::codecs {

namespace {
constexpr const char* OutOfMemoryText = "*** inflate out of memory ***";
constexpr const char* OutOfMemoryCaption = "Error";
}  // namespace

TUnzipFrame::TUnzipFrame(TFrameInput& input, TFrameOutput& output, TFrameProgress& progress)
    : FInputRole(input),
      FOutputRole(output),
      FProgress(progress),
      FTableMemory(progress),
      FWindow(std::make_unique<std::uint8_t[]>(WindowBlockSize)),
      FInput(std::make_unique<std::uint8_t[]>(IoBufferSize)),
      FOutput(std::make_unique<std::uint8_t[]>(IoBufferSize)),
      FInputPosition(FInput.get()),
      FOutputPosition(FOutput.get()) {}

void TUnzipFrame::BeginRun(std::int64_t totalBytes) {
  FTotalBytes = totalBytes;
  FTotalDone = 0;
}

void TUnzipFrame::BeginEntry(std::int64_t compressedSize, std::int64_t uncompressedSize, bool encrypted) {
  FCompressedRemaining = compressedSize;
  FCompressedUnread = compressedSize;
  FUncompressedSize = uncompressedSize;
  FEncrypted = encrypted;
  FInputCount = 0;
  FInputPosition = FInput.get();
  FBits.Reset();
  FOutputCount = 0;
  FOutputPosition = FOutput.get();
  FBytesWritten = 0;
  FOutputLimit = std::numeric_limits<std::int64_t>::max();
  FOverran = false;
  FRunningCRC = CrcInitial;
  FTakesCRC = true;
}

// Reads the next chunk of the entry into the input buffer. False when the entry had nothing
// left to read.
bool TUnzipFrame::ReadChunk() {
  FProgress.ProcessMessages();
  FInputCount = static_cast<std::uint16_t>(ReadFromVolumes(FInput.get()));
  FInputPosition = FInput.get();
  return FInputCount != 0;
}

std::size_t TUnzipFrame::ReadBlock(std::uint8_t* buffer) {
  const std::size_t got = ReadFromVolumes(buffer);
  // The stored copy takes its bytes as they come, as a decoder takes them one by one.
  FCompressedRemaining -= static_cast<std::int64_t>(got);
  return got;
}

// Reads the next block of the entry's unread bytes, continuing on the next volume while it
// comes short, and decrypts it as a whole once it is complete.
std::size_t TUnzipFrame::ReadFromVolumes(std::uint8_t* buffer) {
  // The count stays 64-bit until it is bounded: a ZIP64 entry's 2^32 + k bytes would read as k
  // bytes through a 32-bit size_t.
  const std::size_t wanted = FCompressedUnread <= 0 ? 0
                                                    : static_cast<std::size_t>(std::min<std::int64_t>(
                                                          FCompressedUnread, static_cast<std::int64_t>(IoBlockSize)));
  FCompressedUnread -= static_cast<std::int64_t>(wanted);
  if (wanted == 0) {
    return 0;
  }
  std::size_t got = std::min(FInputRole.ReadArchive(buffer, wanted), wanted);
  while (got < wanted) {
    FInputRole.LoadNextDisk();  // raises when there is no next volume
    got += std::min(FInputRole.ReadArchive(buffer + got, wanted - got), wanted - got);
  }
  if (FEncrypted) {
    FInputRole.DecryptChunk(buffer, got);
  }
  return got;
}

void TUnzipFrame::ReadPastEntry(std::uint8_t* trailer, std::size_t count) {
  // The input chunk's bytes were the method's; what is read now is only passed through.
  while (FCompressedUnread > 0) {
    ReadFromVolumes(FInput.get());
  }
  FInputCount = 0;
  std::size_t got = std::min(FInputRole.ReadArchive(trailer, count), count);
  while (got < count) {
    FInputRole.LoadNextDisk();  // raises when there is no next volume
    got += std::min(FInputRole.ReadArchive(trailer + got, count - got), count - got);
  }
}

void TUnzipFrame::FlushWindow(std::size_t n) { FlushBytes(FWindow.get(), std::min(n, FWindowSize)); }

bool TUnzipFrame::ReserveWindow(std::size_t size) noexcept {
  if (size > FWindowSize) {
    std::unique_ptr<std::uint8_t[]> larger(new (std::nothrow) std::uint8_t[size]());
    if (!larger) {
      return false;
    }
    FWindow = std::move(larger);
    FWindowSize = size;
  }
  return true;
}

void TUnzipFrame::FlushBytes(const std::uint8_t* data, std::size_t n) {
  while (n > 0) {
    if (FOutputCount == 0 && n >= IoBlockSize) {
      // A whole block straight from the source: the same block the copy would make.
      PassBlock(data, IoBlockSize);
      data += IoBlockSize;
      n -= IoBlockSize;
      continue;
    }
    const std::size_t piece = std::min<std::size_t>(n, IoBlockSize - FOutputCount);
    std::memcpy(FOutputPosition, data, piece);
    FOutputPosition += piece;
    FOutputCount = static_cast<std::uint16_t>(FOutputCount + piece);
    data += piece;
    n -= piece;
    if (FOutputCount == IoBlockSize) {
      FlushOutput();
    }
  }
}

void TUnzipFrame::FlushOutput() {
  if (FOutputCount == 0) {
    return;
  }
  PassBlock(FOutput.get(), FOutputCount);
  FOutputCount = 0;
  FOutputPosition = FOutput.get();
}

void TUnzipFrame::PassBlock(const std::uint8_t* block, std::size_t count) {
  const std::int64_t room = FOutputLimit - FBytesWritten;
  if (static_cast<std::int64_t>(count) > room) {
    FOverran = true;
    CutInput();
    if (room <= 0) {
      return;
    }
    count = static_cast<std::size_t>(room);
  }
  FOutputRole.WriteOutput(block, count);
  if (FTakesCRC) FRunningCRC = UpdateCRC(FRunningCRC, block, count);
  FBytesWritten += static_cast<std::int64_t>(count);
  FProgress.FilePercentDone(ProgressPercent(FBytesWritten, FUncompressedSize));
  if (FProgress.TracksTotalProgress()) {
    FTotalDone += static_cast<std::int64_t>(count);
    FProgress.TotalPercentDone(ProgressPercent(FTotalDone, FTotalBytes));
  }
}

// Callers take what they consumed of the chunk before they pass output on (see inflate), so
// dropping the rest of the chunk here leaves no count behind to subtract.
void TUnzipFrame::CutInput() noexcept {
  FCompressedRemaining = std::min(FCompressedRemaining, -MaxLookAheadBytes - 1);
  FCompressedUnread = 0;
  FInputCount = 0;
}

void TUnzipFrame::SetOutputCount(std::size_t count) noexcept {
  count = std::min(count, IoBlockSize);
  FOutputCount = static_cast<std::uint16_t>(count);
  FOutputPosition = FOutput.get() + count;
}

std::uint8_t* TUnzipFrame::DecoderBuffer(std::size_t size) noexcept {
  if (size > FDecoderBufferSize) {
    FDecoderBuffer.reset(new (std::nothrow) std::uint8_t[size]);
    FDecoderBufferSize = FDecoderBuffer ? size : 0;
  }
  return FDecoderBuffer.get();
}

TDecodeEntry* TUnzipFrame::TFrameTableMemory::Allocate(std::size_t slots) noexcept {
  if (Backend != nullptr) {
    return Backend->Allocate(slots);
  }
  if (!FArena) {
    FArena.reset(new (std::nothrow) TDecodeEntry[ArenaSlots]);
  }
  TDecodeEntry* block = nullptr;
  if (FArena && slots <= ArenaSlots - FArenaUsed) {
    block = FArena.get() + FArenaUsed;
    FArenaUsed += slots;
  } else {
    block = TDecodeTableMemory::Allocate(slots);
  }
  if (block != nullptr) {
    ++FLive;
  }
  return block;
}

void TUnzipFrame::TFrameTableMemory::Release(TDecodeEntry* block) noexcept {
  if (Backend != nullptr) {
    Backend->Release(block);
    return;
  }
  if (!InArena(block)) {
    TDecodeTableMemory::Release(block);
  }
  if (--FLive == 0) {
    FArenaUsed = 0;
  }
}

bool TUnzipFrame::TFrameTableMemory::InArena(const TDecodeEntry* block) const noexcept {
  const std::less<const TDecodeEntry*> before;
  return FArena && !before(block, FArena.get()) && before(block, FArena.get() + ArenaSlots);
}

void TUnzipFrame::TFrameTableMemory::OutOfMemory() {
  FProgress.ShowMessageBox(OutOfMemoryText, OutOfMemoryCaption);
}

int ProgressPercent(std::int64_t done, std::int64_t size) {
  if (size <= 0) {
    return 0;
  }
  // nearbyint rounds in the default mode: to nearest, halves to the even neighbour.
  const double percent = std::nearbyint(static_cast<double>(done) * 100.0 / static_cast<double>(size));
  return static_cast<int>(std::clamp(percent, 0.0, 100.0));
}

}  // namespace qel::codecs
