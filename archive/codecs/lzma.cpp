#include "archive/codecs/lzma.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "archive/codecs/lzma_format.h"
#include "archive/codecs/zip_format.h"

namespace qel::codecs {
namespace {

using namespace lzma;

using TProb = std::uint16_t;

// (lengths): one length coder; matches and repeated matches each have their own.
struct TLengthModel {
  TProb Choice;
  TProb Choice2;
  TProb Low[MaxPosStates][LowLengths];
  TProb Mid[MaxPosStates][MidLengths];
  TProb High[HighLengths];
};

// Every probability of the model, sized for the largest lc + lp and pb the decoder accepts.
// Literal comes last, so a reset touches only the coders the entry's lc + lp uses.
struct TLzmaModel {
  TProb IsMatch[States][MaxPosStates];  // indexed by state and pos state
  TProb IsRep[States];
  TProb IsRepG0[States];
  TProb IsRepG1[States];
  TProb IsRepG2[States];
  TProb IsRep0Long[States][MaxPosStates];
  TProb PosSlot[LengthToPosStates][1u << PosSlotBits];  // by min(length - 2, 3)
  // The reverse trees of slots 4 to 13 side by side: slot s's tree starts at its base
  // distance minus s, and a reverse tree never uses its index 0.
  TProb PosSpecial[1 + FullDistances - EndPosModelIndex];
  TProb Align[AlignSize];
  TLengthModel MatchLength;
  TLengthModel RepLength;
  TProb Literal[MaxLiteralCoders][LiteralCoderSize];  // by position and previous byte
};
static_assert(alignof(TLzmaModel) == alignof(TProb), "the model is probabilities only");

// Matches are copied in words of this many bytes.
constexpr std::size_t CopyWord = 8;
// A ring that wraps is this much longer than the dictionary: the bytes just ahead of the
// position are then further back than any distance may reach, so a copy's last word may spill
// into them.
constexpr std::size_t CopySlack = 2 * CopyWord;

// The model goes in front of the ring, so the ring starts right behind it.
constexpr std::size_t ModelBytes = sizeof(TLzmaModel);
// The ring is passed on at least this often, so progress comes while a large ring fills.
constexpr std::size_t PassBytes = 4 * IoBlockSize;

void ResetModel(TLzmaModel& model, unsigned literalCoders) {
  TProb* const first = &model.IsMatch[0][0];
  std::fill(first, &model.Literal[0][0], ProbabilityInitial);
  std::fill_n(&model.Literal[0][0], std::size_t{literalCoders} * LiteralCoderSize, ProbabilityInitial);
}

// The entry's compressed bytes, read from the frame's chunks in place.
class TByteSource final {
 public:
  explicit TByteSource(TUnzipFrame& frame) noexcept : FFrame(frame) {}

  std::uint8_t Byte() { return FNext != FEnd ? *FNext++ : Refill(); }
  // True once a byte was asked for past the entry's compressed bytes.
  bool Short() const noexcept { return FShort; }
  // Compressed bytes of the entry not yet taken.
  std::int64_t Unread() const noexcept {
    return (FEnd - FNext) + std::max<std::int64_t>(FFrame.CompressedRemaining(), 0);
  }

 private:
  std::uint8_t Refill();

  TUnzipFrame& FFrame;
  const std::uint8_t* FNext = nullptr;
  const std::uint8_t* FEnd = nullptr;
  bool FShort = false;
};

// Takes the next chunk of the frame whole; past the entry's end it yields zeros and remembers
// that the stream ran short.
std::uint8_t TByteSource::Refill() {
  std::uint16_t byte = 0;
  if (FFrame.ReadByte(byte) != ByteDelivered) {
    FShort = true;
    return 0;
  }
  const std::size_t count = FFrame.BufferedInput();
  FNext = FFrame.InputPosition();
  FEnd = FNext + count;
  FFrame.TakeInput(count);
  return static_cast<std::uint8_t>(byte);
}

// (range decoder). A byte is taken right after the bit that needs it, as the encoder writes it,
// so a sound stream is used up exactly by its last bit, and a byte left over, or asked for past
// the end, tells of damage. The decoder lives in the main loop's frame with every call inlined,
// so its range and code stay in registers: nothing else can reach them.
class TRangeDecoder final {
 public:
  explicit TRangeDecoder(TByteSource& input) noexcept : FInput(input) {}

  // False when the first byte is not 0 or the code starts outside the range.
  bool Start() {
    const std::uint8_t first = FInput.Byte();
    for (unsigned i = 1; i < InitBytes; ++i) {
      FCode = (FCode << 8) | FInput.Byte();
    }
    return first == 0 && FCode < FRange;
  }

  unsigned Bit(TProb& probability) {
    const std::uint32_t bound = (FRange >> ProbabilityBits) * probability;
    unsigned bit;
    if (FCode < bound) {
      FRange = bound;
      probability = static_cast<TProb>(probability + ((ProbabilityTotal - probability) >> MoveBits));
      bit = 0;
    } else {
      FRange -= bound;
      FCode -= bound;
      probability = static_cast<TProb>(probability - (probability >> MoveBits));
      bit = 1;
    }
    Normalize();
    return bit;
  }

  // (bit tree): bits most significant first; probs[1 .. 2^bits) are used.
  unsigned Tree(TProb* probs, unsigned bits) {
    unsigned m = 1;
    for (unsigned i = 0; i < bits; ++i) {
      m = (m << 1) | Bit(probs[m]);
    }
    return m - (1u << bits);
  }
  // (bit tree): bits least significant first, over the same shape of tree.
  unsigned ReverseTree(TProb* probs, unsigned bits) {
    unsigned m = 1;
    unsigned symbol = 0;
    for (unsigned i = 0; i < bits; ++i) {
      const unsigned bit = Bit(probs[m]);
      m = (m << 1) | bit;
      symbol |= bit << i;
    }
    return symbol;
  }
  // (range decoder): bits of probability one half, most significant first.
  std::uint32_t Direct(unsigned bits) {
    std::uint32_t result = 0;
    for (unsigned i = 0; i < bits; ++i) {
      FRange >>= 1;
      const std::uint32_t bit = FCode >= FRange ? 1u : 0u;
      FCode -= FRange & (0u - bit);
      result = (result << 1) | bit;
      Normalize();
    }
    return result;
  }

  // A sound stream keeps the code below the range; direct bits of a damaged one may not.
  bool Sound() const noexcept { return FCode < FRange; }
  // The encoder flushes its whole low end, so a finished stream leaves the code at 0.
  bool Finished() const noexcept { return FCode == 0; }

 private:
  void Normalize() {
    if (FRange < TopValue) {
      FRange <<= 8;
      FCode = (FCode << 8) | FInput.Byte();
    }
  }

  TByteSource& FInput;
  std::uint32_t FRange = 0xFFFFFFFFu;
  std::uint32_t FCode = 0;
};

// The dictionary as a ring of the entry's bytes, passed on to the frame whenever it wraps and
// at least every PassBytes. The caller checks each distance against Total and the declared
// dictionary, and each length against the declared size, so no distance reaches past the ring.
class TDictionaryRing final {
 public:
  TDictionaryRing(TUnzipFrame& frame, std::uint8_t* ring, std::size_t size) noexcept
      : FFrame(frame), FRing(ring), FSize(size), FLimit(std::min(size, PassBytes)) {}

  std::int64_t Total() const noexcept { return FTotal; }
  bool Overran() const noexcept { return FFrame.Overran(); }

  // The byte distance + 1 back from the position.
  std::uint8_t Back(std::uint32_t distance) const noexcept { return FRing[From(distance)]; }

  void Put(std::uint8_t byte) {
    FRing[FPosition] = byte;
    ++FTotal;
    if (++FPosition == FLimit) {
      Pass();
    }
  }

  void Copy(std::uint32_t distance, unsigned length) {
    // Whole words while the source lies a word or more behind in the same lap and the words
    // end before the next pass. The last word may run up to CopyWord - 1 bytes past the match:
    // bytes no distance reaches (see DecodeLzma), written over before they are passed on.
    const std::size_t back = std::size_t{distance} + 1;
    if (back >= CopyWord && FPosition >= back && FPosition + length + CopyWord <= FLimit) {
      std::uint8_t* const to = FRing + FPosition;
      const std::uint8_t* const source = to - back;
      for (unsigned i = 0; i < length; i += CopyWord) {
        std::memcpy(to + i, source + i, CopyWord);
      }
      FPosition += length;
      FTotal += length;
      return;
    }
    std::size_t from = From(distance);
    FTotal += length;
    while (length > 0) {
      const auto piece =
          static_cast<unsigned>(std::min<std::size_t>({length, FLimit - FPosition, FSize - from}));
      // Forward byte by byte: a distance below the length repeats the bytes just copied.
      std::uint8_t* const to = FRing + FPosition;
      const std::uint8_t* const source = FRing + from;
      for (unsigned i = 0; i < piece; ++i) {
        to[i] = source[i];
      }
      length -= piece;
      FPosition += piece;
      from += piece;
      if (from == FSize) {
        from = 0;
      }
      if (FPosition == FLimit) {
        Pass();
      }
    }
  }

  // Writes what has not been passed on yet: the end of a sound entry.
  void Finish() {
    FFrame.FlushBytes(FRing + FUnwritten, FPosition - FUnwritten);
    FUnwritten = FPosition;
    FFrame.FlushOutput();
  }

 private:
  std::size_t From(std::uint32_t distance) const noexcept {
    const std::size_t back = std::size_t{distance} + 1;
    return FPosition >= back ? FPosition - back : FPosition + FSize - back;
  }
  void Pass() {
    FFrame.FlushBytes(FRing + FUnwritten, FPosition - FUnwritten);
    if (FPosition == FSize) {
      FPosition = 0;
    }
    FUnwritten = FPosition;
    FLimit = std::min(FSize, FPosition + PassBytes);
  }

  TUnzipFrame& FFrame;
  std::uint8_t* const FRing;
  const std::size_t FSize;
  std::size_t FPosition = 0;
  std::size_t FUnwritten = 0;
  std::size_t FLimit;  // where the next pass is due: the ring's end or PassBytes on
  std::int64_t FTotal = 0;
};

// The properties of the entry's stream, from the wrapper.
struct TLzmaProperties {
  unsigned Lc = 0;
  unsigned Lp = 0;
  unsigned Pb = 0;
  std::uint32_t DictionarySize = 0;
};

// False for a wrapper of another properties size, or properties the decoder refuses.
bool ReadWrapper(TByteSource& input, TLzmaProperties& properties) {
  for (std::size_t i = 0; i < VersionBytes; ++i) {
    input.Byte();
  }
  const unsigned sizeLow = input.Byte();
  const unsigned size = sizeLow | unsigned{input.Byte()} << 8;
  const unsigned packed = input.Byte();
  std::uint32_t dictionary = 0;
  for (unsigned shift = 0; shift < 32; shift += 8) {
    dictionary |= std::uint32_t{input.Byte()} << shift;
  }
  if (input.Short() || size != PropertiesBytes || packed >= PropertiesByteLimit) {
    return false;
  }
  properties.Lc = packed % LcLimit;
  properties.Lp = packed / LcLimit % LpLimit;
  properties.Pb = packed / (LcLimit * LpLimit);
  properties.DictionarySize = std::max(dictionary, MinDictionarySize);
  return properties.Lc + properties.Lp <= MaxLcPlusLp && properties.Pb <= MaxPb;
}

class TLzmaDecoder final {
 public:
  TLzmaDecoder(TUnzipFrame& frame, TByteSource& input, const TLzmaProperties& properties, bool endMarker,
               TLzmaModel& model, std::uint8_t* ring, std::size_t ringSize)
      : FInput(input),
        FModel(model),
        FRing(frame, ring, ringSize),
        FSize(frame.UncompressedSize()),
        FDictionarySize(properties.DictionarySize),
        FEndMarker(endMarker),
        FLc(properties.Lc),
        FLpMask((1u << properties.Lp) - 1),
        FPbMask((1u << properties.Pb) - 1) {}
  TCodecStatus Run();

 private:
  void DecodeLiteral(TRangeDecoder& rc, unsigned state, std::uint32_t rep0);
  unsigned DecodeLength(TRangeDecoder& rc, TLengthModel& coder, unsigned posState);
  std::uint32_t DecodeDistance(TRangeDecoder& rc, unsigned length);
  TCodecStatus Finish(const TRangeDecoder& rc);

  TByteSource& FInput;
  TLzmaModel& FModel;
  TDictionaryRing FRing;
  const std::int64_t FSize;  // the declared uncompressed size
  const std::uint32_t FDictionarySize;
  const bool FEndMarker;
  const unsigned FLc;
  const unsigned FLpMask;
  const unsigned FPbMask;
};

// (literals): the coder is chosen by the low lp bits of the position and the high lc bits of
// the previous byte. After a match the bits are first decoded against the byte at rep0, while
// they agree with it.
inline void TLzmaDecoder::DecodeLiteral(TRangeDecoder& rc, unsigned state, std::uint32_t rep0) {
  const auto position = static_cast<unsigned>(FRing.Total());
  const unsigned previous = FRing.Total() > 0 ? FRing.Back(0) : 0;
  TProb* const probs = FModel.Literal[((position & FLpMask) << FLc) + (previous >> (8 - FLc))];
  unsigned symbol = 1;
  if (state >= LiteralStates) {
    unsigned matchByte = FRing.Back(rep0);
    do {
      const unsigned matchBit = (matchByte >> 7) & 1;
      matchByte <<= 1;
      const unsigned bit = rc.Bit(probs[((1 + matchBit) << 8) + symbol]);
      symbol = (symbol << 1) | bit;
      if (bit != matchBit) {
        break;
      }
    } while (symbol < 0x100);
  }
  while (symbol < 0x100) {
    symbol = (symbol << 1) | rc.Bit(probs[symbol]);
  }
  FRing.Put(static_cast<std::uint8_t>(symbol));
}

// (lengths): the length less MinMatchLength.
inline unsigned TLzmaDecoder::DecodeLength(TRangeDecoder& rc, TLengthModel& coder, unsigned posState) {
  if (rc.Bit(coder.Choice) == 0) {
    return rc.Tree(coder.Low[posState], LowLengthBits);
  }
  if (rc.Bit(coder.Choice2) == 0) {
    return LowLengths + rc.Tree(coder.Mid[posState], MidLengthBits);
  }
  return LowLengths + MidLengths + rc.Tree(coder.High, HighLengthBits);
}

// (distances): the distance less one; EndMarkerDistance for the end marker.
inline std::uint32_t TLzmaDecoder::DecodeDistance(TRangeDecoder& rc, unsigned length) {
  const unsigned lengthState = std::min(length, LengthToPosStates - 1);
  const unsigned slot = rc.Tree(FModel.PosSlot[lengthState], PosSlotBits);
  if (slot < StartPosModelIndex) {
    return slot;
  }
  const unsigned directBits = (slot >> 1) - 1;
  std::uint32_t distance = (2u | (slot & 1u)) << directBits;
  if (slot < EndPosModelIndex) {
    return distance + rc.ReverseTree(FModel.PosSpecial + distance - slot, directBits);
  }
  distance += rc.Direct(directBits - AlignBits) << AlignBits;
  return distance + rc.ReverseTree(FModel.Align, AlignBits);
}

// (main loop): one packet at a time, each a literal, a match, a repeated match or a short rep;
// the state and the four most recent distances carry from one to the next.
TCodecStatus TLzmaDecoder::Run() {
  TRangeDecoder rc(FInput);
  if (!rc.Start()) {
    return TCodecStatus::DamagedData;
  }
  unsigned state = 0;
  std::uint32_t rep0 = 0;
  std::uint32_t rep1 = 0;
  std::uint32_t rep2 = 0;
  std::uint32_t rep3 = 0;
  for (;;) {
    // The ring never outgrows the declared size (every packet is checked against it), so the
    // frame's overrun can only show at the end; input that ran short ends the work at once.
    if (FInput.Short()) {
      return TCodecStatus::DamagedData;
    }
    const std::int64_t total = FRing.Total();
    const std::int64_t remaining = FSize - total;
    if (remaining == 0 && !FEndMarker) {
      return Finish(rc);
    }
    const unsigned posState = static_cast<unsigned>(total) & FPbMask;
    if (rc.Bit(FModel.IsMatch[state][posState]) == 0) {
      if (remaining == 0) {
        return TCodecStatus::DamagedData;  // a literal past the declared size
      }
      DecodeLiteral(rc, state, rep0);
      state = StateAfterLiteral(state);
      continue;
    }
    unsigned length = 0;
    if (rc.Bit(FModel.IsRep[state]) == 0) {
      length = DecodeLength(rc, FModel.MatchLength, posState);
      state = StateAfterMatch(state);
      const std::uint32_t distance = DecodeDistance(rc, length);
      if (distance == EndMarkerDistance) {
        // Only a stream declared to end with a marker may, and only at its declared size.
        if (!FEndMarker || remaining != 0 || !rc.Sound()) {
          return TCodecStatus::DamagedData;
        }
        return Finish(rc);
      }
      if (!rc.Sound() || distance >= total || distance >= FDictionarySize) {
        return TCodecStatus::DamagedData;
      }
      rep3 = rep2;
      rep2 = rep1;
      rep1 = rep0;
      rep0 = distance;
    } else {
      // Every earlier distance was checked against fewer bytes than there are now; only the
      // initial ones reach before the entry while nothing is written.
      if (total == 0) {
        return TCodecStatus::DamagedData;
      }
      if (rc.Bit(FModel.IsRepG0[state]) == 0) {
        if (rc.Bit(FModel.IsRep0Long[state][posState]) == 0) {
          if (remaining == 0) {
            return TCodecStatus::DamagedData;
          }
          state = StateAfterShortRep(state);
          FRing.Put(FRing.Back(rep0));
          continue;
        }
      } else {
        std::uint32_t distance = 0;
        if (rc.Bit(FModel.IsRepG1[state]) == 0) {
          distance = rep1;
        } else {
          if (rc.Bit(FModel.IsRepG2[state]) == 0) {
            distance = rep2;
          } else {
            distance = rep3;
            rep3 = rep2;
          }
          rep2 = rep1;
        }
        rep1 = rep0;
        rep0 = distance;
      }
      length = DecodeLength(rc, FModel.RepLength, posState);
      state = StateAfterRep(state);
    }
    length += MinMatchLength;
    if (length > remaining) {
      return TCodecStatus::DamagedData;
    }
    FRing.Copy(rep0, length);
  }
}

// The declared size is reached (and the marker read where one is due): a sound stream has
// left the code at 0 and used every compressed byte.
TCodecStatus TLzmaDecoder::Finish(const TRangeDecoder& rc) {
  if (FInput.Short() || !rc.Finished() || FInput.Unread() != 0) {
    return TCodecStatus::DamagedData;
  }
  FRing.Finish();
  return FRing.Overran() ? TCodecStatus::DamagedData : TCodecStatus::Ok;
}

}  // namespace

TCodecStatus DecodeLzma(TUnzipFrame& frame, std::uint16_t flags) {
  TByteSource input(frame);
  TLzmaProperties properties;
  if (!ReadWrapper(input, properties)) {
    return TCodecStatus::DamagedData;
  }
  // No valid match reaches further back than the dictionary or the entry's own bytes, and the
  // entry never grows past its declared size.
  // A ring no smaller than the entry never wraps.
  const auto declared = static_cast<std::uint64_t>(std::max<std::int64_t>(frame.UncompressedSize(), 0));
  const std::uint64_t reach = std::min<std::uint64_t>(properties.DictionarySize, declared);
  if (reach > MaxLzmaDictionary) {
    return TCodecStatus::DamagedData;
  }
  const std::uint64_t ring = declared <= properties.DictionarySize ? std::max<std::uint64_t>(declared, 1)
                                                                    : std::uint64_t{properties.DictionarySize} + CopySlack;
  static_assert(MaxLzmaDictionary + CopySlack + ModelBytes <= SIZE_MAX, "the largest ring is addressable");
  std::uint8_t* const memory = frame.DecoderBuffer(ModelBytes + static_cast<std::size_t>(ring));
  if (memory == nullptr) {
    frame.TableMemory().OutOfMemory();
    return TCodecStatus::OutOfMemory;
  }
  // Plain probabilities, all set before use.
  auto* const model = new (memory) TLzmaModel;
  ResetModel(*model, 1u << (properties.Lc + properties.Lp));
  TLzmaDecoder decoder(frame, input, properties, (flags & FlagLzmaEndMarker) != 0, *model, memory + ModelBytes,
                       static_cast<std::size_t>(ring));
  return decoder.Run();
}

}  // namespace qel::codecs
