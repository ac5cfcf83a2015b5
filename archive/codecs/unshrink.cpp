#include "archive/codecs/unshrink.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "archive/codecs/shrink_format.h"

namespace qel::codecs {
namespace {

using namespace shrink;

// Codes up to TableCodes - 1 can be assigned; the entry beyond only ever reads as free.
constexpr unsigned TableCodes = 1u << MaxCodeSize;
constexpr unsigned TableEntries = TableCodes + 1;
constexpr unsigned StackSize = 8192;
constexpr std::int16_t FreeCode = -1;
constexpr std::uint16_t PendingBit = 0x8000;
// A string this short goes into the output block in one piece: the block has 16 000 bytes.
constexpr std::size_t BlockMoveLimit = 2048;

// The prefix table, the suffix table and the stack, in this order in the window block.
constexpr std::size_t PrefixBytes = TableEntries * sizeof(std::int16_t);
constexpr std::size_t SuffixOffset = PrefixBytes;
constexpr std::size_t StackOffset = SuffixOffset + TableEntries;
static_assert(StackOffset + StackSize <= WindowBlockSize, "the shrink tables fit the window block");

class TUnshrinker final {
 public:
  explicit TUnshrinker(TUnzipFrame& frame)
      : FFrame(frame),
        FPrefix(reinterpret_cast<std::int16_t*>(frame.Window())),
        FSuffix(frame.Window() + SuffixOffset),
        FStack(frame.Window() + StackOffset) {}
  TCodecStatus Run();

 private:
  void ResetTables();
  bool ReadCode(unsigned& code);
  bool Expand(unsigned code);
  void OutputStack();
  void AddCode();
  void PartialClear();
  unsigned LowestFreeFrom(unsigned code) const;
  bool Push(std::uint8_t b) {
    if (FStackPosition == 0) {
      return false;
    }
    FStack[--FStackPosition] = b;
    return true;
  }

  TUnzipFrame& FFrame;
  std::int16_t* FPrefix;
  std::uint8_t* FSuffix;
  std::uint8_t* FStack;
  unsigned FCodeSize = InitialCodeSize;
  unsigned FNextFree = FirstFreeCode;
  unsigned FOldCode = 0;
  std::uint8_t FLastFirstByte = 0;  // first byte of the previous string
  unsigned FStackPosition = StackSize;
  // Every code a valid stream sends lies within its compressed bytes. Past them the bit buffer
  // yields zeros without end of input ever being noticed again, so the bits are counted too.
  std::uint64_t FBitsLeft = 0;
};

void TUnshrinker::ResetTables() {
  // The window block is 2-byte aligned (it comes from the heap), so it holds 16-bit entries.
  std::fill(FPrefix, FPrefix + ControlCode, std::int16_t{0});
  std::fill(FPrefix + ControlCode, FPrefix + TableEntries, FreeCode);
  for (unsigned c = 0; c < ControlCode; ++c) {
    FSuffix[c] = static_cast<std::uint8_t>(c);
  }
  // A damaged stream may name the control code as a prefix; it then reads a defined byte.
  std::fill(FSuffix + ControlCode, FSuffix + TableEntries, std::uint8_t{0});
}

// False at the end of the compressed bytes.
bool TUnshrinker::ReadCode(unsigned& code) {
  if (FBitsLeft < FCodeSize) {
    return false;
  }
  FBitsLeft -= FCodeSize;
  code = FFrame.ReadBits(FCodeSize);
  return !FFrame.EndOfInput();
}

unsigned TUnshrinker::LowestFreeFrom(unsigned code) const {
  while (code < TableCodes && FPrefix[code] != FreeCode) {
    ++code;
  }
  return code;
}

// Spells the string of code onto the stack, last byte first. False when a damaged chain would
// run past the stack (a free old code, or a cycle through reassigned codes).
bool TUnshrinker::Expand(unsigned code) {
  if (FPrefix[code] == FreeCode) {
    // Not yet defined: the string of the old code followed by its own first byte.
    if (!Push(FLastFirstByte)) {
      return false;
    }
    code = FOldCode;
  }
  while (code >= FirstFreeCode) {
    if (FPrefix[code] == FreeCode) {
      if (!Push(FLastFirstByte)) {
        return false;
      }
      code = FOldCode;
    } else {
      if (!Push(FSuffix[code])) {
        return false;
      }
      code = static_cast<std::uint16_t>(FPrefix[code]);
    }
  }
  FLastFirstByte = FSuffix[code];
  return Push(FLastFirstByte);
}

void TUnshrinker::OutputStack() {
  const std::size_t count = StackSize - FStackPosition;
  if (count + FFrame.OutputCount() < BlockMoveLimit) {
    std::memcpy(FFrame.OutputBuffer() + FFrame.OutputCount(), FStack + FStackPosition, count);
    FFrame.SetOutputCount(FFrame.OutputCount() + count);
  } else {
    for (std::size_t i = FStackPosition; i < StackSize; ++i) {
      FFrame.WriteByte(FStack[i]);
    }
  }
  FStackPosition = StackSize;
}

void TUnshrinker::AddCode() {
  if (FNextFree >= TableCodes) {
    return;
  }
  FPrefix[FNextFree] = static_cast<std::int16_t>(FOldCode);
  FSuffix[FNextFree] = FLastFirstByte;
  FNextFree = LowestFreeFrom(FNextFree + 1);
}

// Frees every code below the next free one that no other code there refers to.
void TUnshrinker::PartialClear() {
  for (unsigned code = FirstFreeCode; code < FNextFree; ++code) {
    FPrefix[code] = static_cast<std::int16_t>(static_cast<std::uint16_t>(FPrefix[code]) | PendingBit);
  }
  for (unsigned code = FirstFreeCode; code < FNextFree; ++code) {
    const unsigned p = static_cast<std::uint16_t>(FPrefix[code]) & ~unsigned{PendingBit};
    // Only codes of this range carry the pending bit; clearing it anywhere else would turn a
    // free code into one with a prefix far outside the tables.
    if (p >= FirstFreeCode && p < FNextFree) {
      FPrefix[p] = static_cast<std::int16_t>(static_cast<std::uint16_t>(FPrefix[p]) & ~unsigned{PendingBit});
    }
  }
  for (unsigned code = FirstFreeCode; code < FNextFree; ++code) {
    if ((static_cast<std::uint16_t>(FPrefix[code]) & PendingBit) != 0) {
      FPrefix[code] = FreeCode;
    }
  }
  FNextFree = LowestFreeFrom(FirstFreeCode);
}

TCodecStatus TUnshrinker::Run() {
  ResetTables();
  FBitsLeft = static_cast<std::uint64_t>(std::max(FFrame.CompressedRemaining(), std::int64_t{0})) * 8;

  unsigned code = 0;
  if (!ReadCode(code)) {
    FFrame.FlushOutput();
    return TCodecStatus::Ok;
  }
  FOldCode = code;
  FLastFirstByte = static_cast<std::uint8_t>(code);
  FFrame.WriteByte(FLastFirstByte);

  for (;;) {
    if (!ReadCode(code)) {
      break;
    }
    bool ended = false;
    while (code == ControlCode) {
      unsigned subCode = 0;
      if (!ReadCode(subCode)) {
        ended = true;
        break;
      }
      if (subCode == IncreaseCodeSize) {
        // Codes stay within the tables: a request beyond the widest size is ignored.
        FCodeSize = std::min(FCodeSize + 1, MaxCodeSize);
      } else if (subCode == PartialClearCode) {
        PartialClear();
      }
      if (!ReadCode(code)) {
        ended = true;
        break;
      }
    }
    if (ended) {
      break;
    }

    const unsigned incoming = code;
    if (!Expand(code)) {
      FFrame.FlushOutput();
      return TCodecStatus::DamagedData;
    }
    OutputStack();
    AddCode();
    FOldCode = incoming;
  }
  FFrame.FlushOutput();
  return TCodecStatus::Ok;
}

}  // namespace

TCodecStatus Unshrink(TUnzipFrame& frame) {
  TUnshrinker unshrinker(frame);
  return unshrinker.Run();
}

}  // namespace qel::codecs
