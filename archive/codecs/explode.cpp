#include "archive/codecs/explode.h"

#include <algorithm>
#include <array>

#include "archive/codecs/decode_table.h"
#include "archive/codecs/window_copy.h"

namespace qel::codecs {
namespace {

constexpr unsigned LiteralCodes = 256;
constexpr unsigned LengthCodes = 64;
constexpr unsigned DistanceCodes = 64;
constexpr unsigned LongLengthCode = LengthCodes - 1;  // followed by an extra length byte
constexpr unsigned ExtraLengthBits = 8;

constexpr int LiteralLookup = 9;
constexpr int LengthLookup = 7;
constexpr int DistanceLookup = 7;
// A large entry is worth the bigger first-level distance table.
constexpr int LargeEntryDistanceLookup = 8;
constexpr std::int32_t LargeEntryCompressedSize = 200000;

// Distances are sent as a tree code for the high part and these many plain low bits.
constexpr unsigned LargeDictionaryLowBits = 7;  // 8 KiB = 64 codes of 128
constexpr unsigned SmallDictionaryLowBits = 6;  // 4 KiB = 64 codes of 64

// Bases indexed by the tree code 0 to 63.
template <unsigned First, unsigned Step>
constexpr std::array<std::uint16_t, 64> Progression() {
  std::array<std::uint16_t, 64> bases{};
  for (unsigned i = 0; i < bases.size(); ++i) {
    bases[i] = static_cast<std::uint16_t>(First + Step * i);
  }
  return bases;
}
// The shortest match is 3 when literals are coded and 2 when they are sent plain.
constexpr auto LengthBasesThreeTrees = Progression<3, 1>();
constexpr auto LengthBasesTwoTrees = Progression<2, 1>();
constexpr auto DistanceBasesLarge = Progression<1, 1u << LargeDictionaryLowBits>();
constexpr auto DistanceBasesSmall = Progression<1, 1u << SmallDictionaryLowBits>();
// Only the longest length code carries extra bits. The distance tree shares the table, but a
// distance slot's operation is never used.
constexpr std::array<std::uint16_t, 64> ExtraBits = [] {
  std::array<std::uint16_t, 64> extras{};
  extras[LongLengthCode] = ExtraLengthBits;
  return extras;
}();

constexpr std::uint32_t Mask(unsigned n) { return (std::uint32_t{1} << n) - 1; }

int StatusOfBuild(std::uint16_t status) {
  // An incomplete tree is usable for inflate, but an imploded entry never sends one.
  return status == BuildOutOfMemory ? ExplodeOutOfMemory : ExplodeBadTree;
}

class TExploder final {
 public:
  TExploder(TUnzipFrame& frame, unsigned distanceLowBits)
      : FFrame(frame), FWindow(frame.Window()), FDistanceLowBits(distanceLowBits),
        FRemaining(frame.UncompressedSize()) {}

  // Literals coded with their own tree (three trees) or sent as plain bytes (two trees).
  template <bool CodedLiterals>
  int Decode(const TDecodeEntry* literals, int bl, const TDecodeEntry* lengths, int blen,
             const TDecodeEntry* distances, int bd);

 private:
  const TDecodeEntry* DecodeSlot(const TDecodeEntry* table, int lookupBits);
  void PutByte(std::uint8_t b);
  void CopyMatch(unsigned from, unsigned length);

  void NeedBits(unsigned n) { FFrame.NeedBits(n, FBitBuffer, FBitCount); }
  void DumpBits(unsigned n) { TUnzipFrame::DumpBits(n, FBitBuffer, FBitCount); }
  unsigned Bits(unsigned n) const { return FBitBuffer & Mask(n); }
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
  std::int32_t FRemaining;
  unsigned FPosition = 0;  // below SlidingWindowSize between steps
  bool FWrapped = false;   // whether the window has been filled once in this entry
  std::uint32_t FBitBuffer = 0;
  unsigned FBitCount = 0;
};

// The encoder sends every code complemented, so each table step indexes by the inverted bits.
// nullptr for an invalid code.
const TDecodeEntry* TExploder::DecodeSlot(const TDecodeEntry* table, int lookupBits) {
  NeedBits(static_cast<unsigned>(lookupBits));
  const TDecodeEntry* slot = table + (~FBitBuffer & Mask(static_cast<unsigned>(lookupBits)));
  while (slot->Operation > OpLiteral) {
    if (slot->Operation == OpInvalid) {
      return nullptr;
    }
    DumpBits(slot->Bits);
    const unsigned n = slot->Operation - OpLiteral;
    NeedBits(n);
    slot = slot->Link + (~FBitBuffer & Mask(n));
  }
  DumpBits(slot->Bits);
  return slot;
}

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
int TExploder::Decode(const TDecodeEntry* literals, int bl, const TDecodeEntry* lengths, int blen,
                      const TDecodeEntry* distances, int bd) {
  while (FRemaining > 0) {
    // The loop ends on the uncompressed size, but a damaged entry that claims a huge one
    // must not go on decoding the repeated last byte long after its own bytes are gone.
    if (FFrame.InputExhausted()) {
      return ExplodeBadData;
    }
    NeedBits(1);
    const bool literal = Bits(1) != 0;
    DumpBits(1);
    if (literal) {
      --FRemaining;
      if constexpr (CodedLiterals) {
        const TDecodeEntry* slot = DecodeSlot(literals, bl);
        if (slot == nullptr) {
          return ExplodeBadData;
        }
        PutByte(static_cast<std::uint8_t>(slot->Value));
      } else {
        NeedBits(8);
        PutByte(static_cast<std::uint8_t>(Bits(8)));
        DumpBits(8);
      }
      continue;
    }

    NeedBits(FDistanceLowBits);
    const unsigned low = Bits(FDistanceLowBits);
    DumpBits(FDistanceLowBits);
    const TDecodeEntry* slot = DecodeSlot(distances, bd);
    if (slot == nullptr) {
      return ExplodeBadData;
    }
    // 16-bit arithmetic as in the window position: CopyMatch masks it into the window.
    const unsigned from = (FPosition - low - slot->Value) & 0xFFFFu;
    slot = DecodeSlot(lengths, blen);
    if (slot == nullptr) {
      return ExplodeBadData;
    }
    unsigned length = slot->Value;
    if (slot->Operation != 0) {
      NeedBits(ExtraLengthBits);
      length += Bits(ExtraLengthBits);
      DumpBits(ExtraLengthBits);
    }
    // The whole match is copied even when it runs past the uncompressed size.
    FRemaining -= static_cast<std::int32_t>(length);
    CopyMatch(from, length);
  }
  FFrame.FlushWindow(FPosition);
  return ExplodeOk;
}

}  // namespace

int ReadTreeLengths(TUnzipFrame& frame, std::uint8_t* lengths, unsigned expectedCount) {
  // A missing byte is not looked at: the damaged description then fails on its count.
  std::uint16_t byte = 0;
  frame.ReadByte(byte);
  const unsigned descriptionBytes = (byte & 0xFFu) + 1;
  unsigned entered = 0;
  for (unsigned i = 0; i < descriptionBytes; ++i) {
    frame.ReadByte(byte);
    const auto length = static_cast<std::uint8_t>((byte & 0x0Fu) + 1);
    const unsigned repeat = ((byte >> 4) & 0x0Fu) + 1;
    if (entered + repeat > expectedCount) {
      return ExplodeBadTree;
    }
    std::fill_n(lengths + entered, repeat, length);
    entered += repeat;
  }
  return entered == expectedCount ? ExplodeOk : ExplodeBadTree;
}

int Explode(TUnzipFrame& frame, std::uint16_t flags) {
  const bool codedLiterals = (flags & ExplodeLiteralTree) != 0;
  const bool largeDictionary = (flags & ExplodeLargeDictionary) != 0;
  int bl = LiteralLookup;
  int blen = LengthLookup;
  int bd = frame.CompressedRemaining() > LargeEntryCompressedSize ? LargeEntryDistanceLookup : DistanceLookup;

  // The owners release every table on every way out, also when reading input raises.
  TDecodeTableOwner literals(frame.TableMemory());
  TDecodeTableOwner lengths(frame.TableMemory());
  TDecodeTableOwner distances(frame.TableMemory());
  std::array<std::uint8_t, LiteralCodes> codeLengths{};

  if (codedLiterals) {
    if (ReadTreeLengths(frame, codeLengths.data(), LiteralCodes) != ExplodeOk) {
      return ExplodeBadTree;
    }
    const std::uint16_t status = literals.Build(codeLengths.data(), LiteralCodes, LiteralCodes, nullptr, nullptr, bl);
    if (status != BuildComplete) {
      return StatusOfBuild(status);
    }
  }
  if (ReadTreeLengths(frame, codeLengths.data(), LengthCodes) != ExplodeOk) {
    return ExplodeBadTree;
  }
  std::uint16_t status = lengths.Build(codeLengths.data(), LengthCodes, 0,
                                       codedLiterals ? LengthBasesThreeTrees.data() : LengthBasesTwoTrees.data(),
                                       ExtraBits.data(), blen);
  if (status != BuildComplete) {
    return StatusOfBuild(status);
  }
  if (ReadTreeLengths(frame, codeLengths.data(), DistanceCodes) != ExplodeOk) {
    return ExplodeBadTree;
  }
  status = distances.Build(codeLengths.data(), DistanceCodes, 0,
                           largeDictionary ? DistanceBasesLarge.data() : DistanceBasesSmall.data(),
                           ExtraBits.data(), bd);
  if (status != BuildComplete) {
    return StatusOfBuild(status);
  }

  TExploder exploder(frame, largeDictionary ? LargeDictionaryLowBits : SmallDictionaryLowBits);
  const int result = codedLiterals
                         ? exploder.Decode<true>(literals.Table(), bl, lengths.Table(), blen, distances.Table(), bd)
                         : exploder.Decode<false>(nullptr, bl, lengths.Table(), blen, distances.Table(), bd);
  literals.Reset();
  lengths.Reset();
  distances.Reset();
  frame.FlushOutput();
  return result;
}

}  // namespace qel::codecs
