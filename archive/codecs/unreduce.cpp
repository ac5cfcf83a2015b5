#include "archive/codecs/unreduce.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "archive/codecs/reduce_format.h"
#include "archive/codecs/window_copy.h"

namespace qel::codecs {
namespace {

using namespace reduce;

constexpr unsigned ReduceWindowSize = 16384;
constexpr unsigned FollowerRowSize = 1u << SetLengthBits;  // room for the longest set the field allows
static_assert(ReduceWindowSize + FollowerRows * FollowerRowSize <= WindowBlockSize,
              "the window and the follower sets fit the window block");

// Indexed by a follower set's length: the bits of an index into it. A set of 0 is never
// indexed (its bytes come plain).
constexpr std::array<std::uint8_t, FollowerRowSize> IndexBits = [] {
  std::array<std::uint8_t, FollowerRowSize> bits{};
  bits[0] = 8;
  bits[1] = 1;
  for (unsigned n = 2; n < bits.size(); ++n) {
    unsigned b = 0;
    while ((1u << b) < n) {
      ++b;
    }
    bits[n] = static_cast<std::uint8_t>(b);
  }
  return bits;
}();

enum class TExpansion { Literal, AfterMarker, LengthByte, DistanceByte };

class TUnreducer final {
 public:
  TUnreducer(TUnzipFrame& frame, unsigned factor)
      : FFrame(frame),
        FWindow(frame.Window()),
        FFollowers(frame.Window() + ReduceWindowSize),
        FFactor(factor),
        FRemaining(frame.UncompressedSize()),
        FBitsLeft(static_cast<std::uint64_t>(std::max(frame.CompressedRemaining(), std::int64_t{0})) * 8) {}
  TCodecStatus Run();
  void LoadFollowerSets();

 private:
  unsigned ReadBits(unsigned n) {
    FBitsLeft = FBitsLeft > n ? FBitsLeft - n : 0;
    return FFrame.ReadBits(n) & 0xFFu;
  }
  std::uint8_t NextByte();
  void Expand(std::uint8_t b);
  void PutByte(std::uint8_t b) {
    FWindow[FPosition++] = b;
    AdvanceWindow();
  }
  void AdvanceWindow() {
    if (FPosition == ReduceWindowSize) {
      FFrame.FlushWindow(ReduceWindowSize);
      FPosition = 0;
      FWrapped = true;
    }
  }
  void CopyMatch(unsigned from, unsigned length);

  TUnzipFrame& FFrame;
  std::uint8_t* FWindow;
  std::uint8_t* FFollowers;  // row x: the bytes that may follow byte x
  std::array<std::uint8_t, FollowerRows> FSetLength{};
  const unsigned FFactor;
  std::int64_t FRemaining;
  // Past the compressed bytes the bit buffer yields zeros; counting the bits taken tells a
  // damaged entry apart, so a bogus uncompressed size cannot keep it decoding nothing.
  std::uint64_t FBitsLeft;
  std::uint8_t FLastByte = 0;
  TExpansion FState = TExpansion::Literal;
  unsigned FV = 0;
  unsigned FLength = 0;
  unsigned FPosition = 0;  // below ReduceWindowSize between steps
  bool FWrapped = false;
};

void TUnreducer::LoadFollowerSets() {
  // Slots past a set's length then read as zero, not as what the window block held before.
  std::memset(FFollowers, 0, FollowerRows * FollowerRowSize);
  for (unsigned x = FollowerRows; x-- > 0;) {
    FSetLength[x] = static_cast<std::uint8_t>(ReadBits(SetLengthBits));
    std::uint8_t* row = FFollowers + x * FollowerRowSize;
    for (unsigned i = 0; i < FSetLength[x]; ++i) {
      row[i] = static_cast<std::uint8_t>(ReadBits(FollowerBits));
    }
  }
}

std::uint8_t TUnreducer::NextByte() {
  const unsigned setLength = FSetLength[FLastByte];
  if (setLength == 0 || ReadBits(1) != 0) {
    return static_cast<std::uint8_t>(ReadBits(PlainByteBits));
  }
  // IndexBits of a set below 64 is at most 6, so the index stays inside the row.
  const unsigned index = ReadBits(IndexBits[setLength]);
  return FFollowers[FLastByte * FollowerRowSize + index];
}

void TUnreducer::CopyMatch(unsigned from, unsigned length) {
  while (length > 0) {
    from &= ReduceWindowSize - 1;
    const unsigned run = std::min(ReduceWindowSize - std::max(from, FPosition), length);
    CopyWindowRun(FWindow, FPosition, from, run, !FWrapped && from >= FPosition);
    FPosition += run;
    from += run;
    length -= run;
    AdvanceWindow();
  }
}

void TUnreducer::Expand(std::uint8_t b) {
  switch (FState) {
    case TExpansion::Literal:
      if (b == Marker) {
        FState = TExpansion::AfterMarker;
      } else {
        PutByte(b);
        --FRemaining;
      }
      break;
    case TExpansion::AfterMarker:
      if (b == 0) {
        PutByte(Marker);
        --FRemaining;
        FState = TExpansion::Literal;
      } else {
        FV = b;
        FLength = FV & LengthMask[FFactor];
        FState = FLength == LengthMask[FFactor] ? TExpansion::LengthByte : TExpansion::DistanceByte;
      }
      break;
    case TExpansion::LengthByte:
      FLength += b;
      FState = TExpansion::DistanceByte;
      break;
    case TExpansion::DistanceByte: {
      const unsigned length = FLength + MinCopyLength;
      const unsigned distance = (((FV >> DistanceShift[FFactor]) & DistanceMask[FFactor]) << DistanceLowBits) + b + 1;
      // The whole copy is made even when it runs past the uncompressed size.
      FRemaining -= static_cast<std::int64_t>(length);
      CopyMatch((FPosition - distance) & 0xFFFFu, length);
      FState = TExpansion::Literal;
      break;
    }
  }
}

TCodecStatus TUnreducer::Run() {
  LoadFollowerSets();
  TCodecStatus status = TCodecStatus::Ok;
  while (FRemaining > 0) {
    if (FBitsLeft == 0) {
      status = TCodecStatus::DamagedData;
      break;
    }
    const std::uint8_t b = NextByte();
    Expand(b);
    FLastByte = b;  // also after a length or distance byte
  }
  FFrame.FlushWindow(FPosition);
  FFrame.FlushOutput();
  return status;
}

}  // namespace

TCodecStatus Unreduce(TUnzipFrame& frame, std::uint16_t method) {
  constexpr auto first = static_cast<unsigned>(TMethod::Reduced1);
  constexpr auto last = static_cast<unsigned>(TMethod::Reduced4);
  const unsigned factor = std::clamp<unsigned>(method, first, last) - first + 1;
  TUnreducer unreducer(frame, factor);
  return unreducer.Run();
}

}  // namespace qel::codecs
