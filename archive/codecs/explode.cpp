#include "archive/codecs/explode.h"

#include <algorithm>
#include <array>

#include "archive/codecs/bit_reader.h"
#include "archive/codecs/decode_table.h"
#include "archive/codecs/implode_format.h"
#include "archive/codecs/window_copy.h"

namespace qel::codecs {
namespace {

using namespace implode;

constexpr int LiteralLookup = 9;
constexpr int LengthLookup = 7;
constexpr int DistanceLookup = 7;
// A large entry is worth the bigger first-level distance table.
constexpr int LargeEntryDistanceLookup = 8;
constexpr std::int64_t LargeEntryCompressedSize = 200000;

// Bases indexed by the tree code 0 to 63.
template <unsigned First, unsigned Step>
constexpr std::array<std::uint16_t, LengthCodes> Progression() {
  std::array<std::uint16_t, LengthCodes> bases{};
  for (unsigned i = 0; i < bases.size(); ++i) {
    bases[i] = static_cast<std::uint16_t>(First + Step * i);
  }
  return bases;
}
constexpr auto LengthBasesThreeTrees = Progression<MinMatchThreeTrees, 1>();
constexpr auto LengthBasesTwoTrees = Progression<MinMatchTwoTrees, 1>();
constexpr auto DistanceBasesLarge = Progression<1, 1u << LargeDictionaryLowBits>();
constexpr auto DistanceBasesSmall = Progression<1, 1u << SmallDictionaryLowBits>();
// Only the longest length code carries extra bits. The distance tree shares the table, but a
// distance slot's operation is never used.
constexpr std::array<std::uint16_t, LengthCodes> ExtraBits = [] {
  std::array<std::uint16_t, LengthCodes> extras{};
  extras[LongLengthCode] = ExtraLengthBits;
  return extras;
}();
static_assert(OperationsAreSlotOperations(ExtraBits), "every extra-bit count stays below the operations above it");
static_assert(DistanceCodes == LengthCodes, "the distance tree shares the table of operations");

constexpr std::uint32_t Mask(unsigned n) { return (std::uint32_t{1} << n) - 1; }

// An incomplete tree would be usable, but an imploded entry never sends one.
TCodecStatus StatusOfBuild(TBuildStatus status) {
  switch (status) {
    case TBuildStatus::Complete: return TCodecStatus::Ok;
    case TBuildStatus::OutOfMemory: return TCodecStatus::OutOfMemory;
    case TBuildStatus::Incomplete:
    case TBuildStatus::OverSubscribed: break;
  }
  return TCodecStatus::InvalidCodes;
}

using TBits = TBitReader<TUnzipFrame, TPastEnd::LastByteAgain>;

// The encoder sends every tree code complemented, so the tables are indexed by the inverted
// stream bits; the plain fields in between are read as they come.
class TComplementedBits final {
 public:
  explicit TComplementedBits(TBits& bits) : FBits(bits) {}
  void Need(unsigned n) { FBits.Need(n); }
  unsigned Peek(unsigned n) const { return FBits.Peek(n) ^ Mask(n); }
  void Drop(unsigned n) { FBits.Drop(n); }

 private:
  TBits& FBits;
};

class TExploder final {
 public:
  TExploder(TUnzipFrame& frame, unsigned distanceLowBits)
      : FFrame(frame), FWindow(frame.Window()), FDistanceLowBits(distanceLowBits),
        FRemaining(frame.UncompressedSize()), FBits(frame) {}

  // Literals coded with their own tree (three trees) or sent as plain bytes (two trees).
  template <bool CodedLiterals>
  TCodecStatus Decode(const TDecodeEntry* literals, int bl, const TDecodeEntry* lengths, int blen,
             const TDecodeEntry* distances, int bd);

 private:
  const TDecodeEntry* DecodeSlot(const TDecodeEntry* table, int lookupBits) {
    TComplementedBits codeBits(FBits);
    return DecodeCode(table, static_cast<unsigned>(lookupBits), codeBits);
  }
  void PutByte(std::uint8_t b);
  void CopyMatch(unsigned from, unsigned length);

  void NeedBits(unsigned n) { FBits.Need(n); }
  void DumpBits(unsigned n) { FBits.Drop(n); }
  unsigned Bits(unsigned n) const { return FBits.Peek(n); }
  void AdvanceWindow() {
    if (FPosition == SlidingWindowSize) {
      FFrame.FlushWindow(SlidingWindowSize);
      FPosition = 0;
      FWrapped = true;
    }
  }

  TUnzipFrame& FFrame;
  std::uint8_t* FWindow;
  const unsigned FDistanceLowBits;
  std::int64_t FRemaining;
  unsigned FPosition = 0;  // below SlidingWindowSize between steps
  bool FWrapped = false;   // whether the window has been filled once in this entry
  TBits FBits;
};

void TExploder::PutByte(std::uint8_t b) {
  FWindow[FPosition++] = b;
  AdvanceWindow();
}

void TExploder::CopyMatch(unsigned from, unsigned length) {
  while (length > 0) {
    from &= SlidingWindowSize - 1;
    const unsigned run = std::min(static_cast<unsigned>(SlidingWindowSize) - std::max(from, FPosition), length);
    CopyWindowRun(FWindow, FPosition, from, run, !FWrapped && from >= FPosition);
    FPosition += run;
    from += run;
    length -= run;
    AdvanceWindow();
  }
}

template <bool CodedLiterals>
TCodecStatus TExploder::Decode(const TDecodeEntry* literals, int bl, const TDecodeEntry* lengths, int blen,
                      const TDecodeEntry* distances, int bd) {
  while (FRemaining > 0) {
    // The loop ends on the uncompressed size, but a damaged entry that claims a huge one
    // must not go on decoding the repeated last byte long after its own bytes are gone.
    if (FFrame.InputExhausted()) {
      return TCodecStatus::DamagedData;
    }
    NeedBits(1);
    const bool literal = Bits(1) != 0;
    DumpBits(1);
    if (literal) {
      --FRemaining;
      if constexpr (CodedLiterals) {
        const TDecodeEntry* slot = DecodeSlot(literals, bl);
        if (slot == nullptr) {
          return TCodecStatus::DamagedData;
        }
        PutByte(static_cast<std::uint8_t>(slot->Value));
      } else {
        NeedBits(PlainLiteralBits);
        PutByte(static_cast<std::uint8_t>(Bits(PlainLiteralBits)));
        DumpBits(PlainLiteralBits);
      }
      continue;
    }

    NeedBits(FDistanceLowBits);
    const unsigned low = Bits(FDistanceLowBits);
    DumpBits(FDistanceLowBits);
    const TDecodeEntry* slot = DecodeSlot(distances, bd);
    if (slot == nullptr) {
      return TCodecStatus::DamagedData;
    }
    // 16-bit arithmetic as in the window position: CopyMatch masks it into the window.
    const unsigned from = (FPosition - low - slot->Value) & 0xFFFFu;
    slot = DecodeSlot(lengths, blen);
    if (slot == nullptr) {
      return TCodecStatus::DamagedData;
    }
    unsigned length = slot->Value;
    if (slot->Operation != 0) {
      NeedBits(ExtraLengthBits);
      length += Bits(ExtraLengthBits);
      DumpBits(ExtraLengthBits);
    }
    // The whole match is copied even when it runs past the uncompressed size.
    FRemaining -= static_cast<std::int64_t>(length);
    CopyMatch(from, length);
  }
  FFrame.FlushWindow(FPosition);
  return TCodecStatus::Ok;
}

}  // namespace

TCodecStatus ReadTreeLengths(TUnzipFrame& frame, std::uint8_t* lengths, unsigned expectedCount) {
  // A missing byte is not looked at: the damaged description then fails on its count.
  std::uint16_t byte = 0;
  frame.ReadByte(byte);
  const unsigned descriptionBytes = (byte & 0xFFu) + 1;
  unsigned entered = 0;
  for (unsigned i = 0; i < descriptionBytes; ++i) {
    frame.ReadByte(byte);
    const auto length = static_cast<std::uint8_t>((byte & TreeLengthMask) + 1);
    const unsigned repeat = ((byte >> TreeRepeatShift) & TreeLengthMask) + 1;
    if (entered + repeat > expectedCount) {
      return TCodecStatus::InvalidCodes;
    }
    std::fill_n(lengths + entered, repeat, length);
    entered += repeat;
  }
  return entered == expectedCount ? TCodecStatus::Ok : TCodecStatus::InvalidCodes;
}

TCodecStatus Explode(TUnzipFrame& frame, std::uint16_t flags) {
  const bool codedLiterals = (flags & FlagImplodeLiteralTree) != 0;
  const bool largeDictionary = (flags & FlagImplodeLargeDictionary) != 0;
  int bl = LiteralLookup;
  int blen = LengthLookup;
  int bd = frame.CompressedRemaining() > LargeEntryCompressedSize ? LargeEntryDistanceLookup : DistanceLookup;

  // The owners release every table on every way out, also when reading input raises.
  TDecodeTableOwner literals(frame.TableMemory());
  TDecodeTableOwner lengths(frame.TableMemory());
  TDecodeTableOwner distances(frame.TableMemory());
  std::array<std::uint8_t, LiteralCodes> codeLengths{};

  if (codedLiterals) {
    TCodecStatus status = ReadTreeLengths(frame, codeLengths.data(), LiteralCodes);
    if (status == TCodecStatus::Ok) {
      status = StatusOfBuild(literals.Build(codeLengths.data(), LiteralCodes, LiteralCodes, nullptr, nullptr, bl));
    }
    if (status != TCodecStatus::Ok) {
      return status;
    }
  }
  TCodecStatus status = ReadTreeLengths(frame, codeLengths.data(), LengthCodes);
  if (status == TCodecStatus::Ok) {
    status = StatusOfBuild(lengths.Build(codeLengths.data(), LengthCodes, 0,
                                         codedLiterals ? LengthBasesThreeTrees.data() : LengthBasesTwoTrees.data(),
                                         ExtraBits.data(), blen));
  }
  if (status == TCodecStatus::Ok) {
    status = ReadTreeLengths(frame, codeLengths.data(), DistanceCodes);
  }
  if (status == TCodecStatus::Ok) {
    status = StatusOfBuild(distances.Build(codeLengths.data(), DistanceCodes, 0,
                                           largeDictionary ? DistanceBasesLarge.data() : DistanceBasesSmall.data(),
                                           ExtraBits.data(), bd));
  }
  if (status != TCodecStatus::Ok) {
    return status;
  }

  TExploder exploder(frame, largeDictionary ? LargeDictionaryLowBits : SmallDictionaryLowBits);
  const TCodecStatus result = codedLiterals
                         ? exploder.Decode<true>(literals.Table(), bl, lengths.Table(), blen, distances.Table(), bd)
                         : exploder.Decode<false>(nullptr, bl, lengths.Table(), blen, distances.Table(), bd);
  literals.Reset();
  lengths.Reset();
  distances.Reset();
  frame.FlushOutput();
  return result;
}

}  // namespace qel::codecs
