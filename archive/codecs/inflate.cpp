#include "archive/codecs/inflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#include "archive/codecs/bit_reader.h"

namespace qel::codecs {
namespace {

// Indexed by literal/length code - 257. Codes 286 and 287 exist only in the fixed code; an
// extra-bit count of OpInvalid makes them decode as invalid.
constexpr std::array<std::uint16_t, 31> LengthBases = {
    3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27, 31,
    35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258, 0,  0};
constexpr std::array<std::uint16_t, 31> LengthExtras = {
    0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2,
    3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0, OpInvalid, OpInvalid};
// Indexed by distance code.
constexpr std::array<std::uint16_t, 30> DistanceBases = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::array<std::uint16_t, 30> DistanceExtras = {
    0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block sends the lengths of the code-length code.
constexpr std::array<std::uint8_t, 19> CodeLengthOrder = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5,
                                                          11, 4,  12, 3, 13, 2, 14, 1, 15};

constexpr unsigned LiteralLengthCodes = 286;  // most a dynamic block may declare
constexpr unsigned DistanceCodes = 30;
constexpr unsigned FixedLiteralLengthCodes = 288;
constexpr unsigned FirstLengthCode = 257;
constexpr int DynamicLiteralLookup = 9;
constexpr int DynamicDistanceLookup = 6;
constexpr int FixedLiteralLookup = 7;
constexpr int FixedDistanceLookup = 5;
constexpr int CodeLengthLookup = 7;
constexpr unsigned MaxMatch = 258;

// The bit buffer is a machine word, so the fast loop can refill it a word at a time.
using TBits = TBitReader<TUnzipFrame, TPastEnd::LastByteAgain>;
using TBitWord = TBits::TWord;
constexpr unsigned WordBits = TBits::WordBits;

constexpr TBitWord Mask(unsigned n) { return n >= WordBits ? ~TBitWord{0} : (TBitWord{1} << n) - 1; }
// The same for the counts a code or its extra bits can have, all below 32: no test needed.
constexpr TBitWord FieldMask(unsigned n) { return (TBitWord{1} << n) - 1; }

// The fast loop decodes one literal or match per round without any check of its own. One
// match takes at most 15 + 5 + 15 + 13 = 48 bits: one refill on a 64-bit word, at most one
// refill per field on a 32-bit one, each taking under one word of input. So a round that starts
// with FastInputMargin buffered bytes never reaches the end of the chunk, and one that starts
// before FastWindowLimit never reaches the end of the window, so needs no flush.
constexpr std::size_t FastInputMargin = 32;
constexpr unsigned FastWindowLimit = SlidingWindowSize - MaxMatch;

inline TBitWord LoadWord(const std::uint8_t* p) {
  TBitWord word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, p, sizeof word);
  } else {
    for (unsigned i = 0; i < sizeof word; ++i) {
      word |= static_cast<TBitWord>(p[i]) << (8 * i);
    }
  }
  return word;
}

inline void Copy8(std::uint8_t* to, const std::uint8_t* from) { std::memcpy(to, from, 8); }

// For a period below eight, the smallest multiple of it that spans eight bytes.
constexpr std::array<std::uint8_t, 8> WidenedPeriod = {0, 8, 8, 9, 8, 10, 12, 14};

// Copies n bytes forwards from a source that starts 'distance' bytes before the destination,
// exactly as a byte-by-byte copy would: where the two overlap, the copy repeats the last
// distance bytes. Never writes past to + n, since the window beyond holds bytes a later match
// may still refer to.
inline void CopyBehind(std::uint8_t* to, const std::uint8_t* from, unsigned n) {
  const auto distance = static_cast<unsigned>(to - from);
  if (distance >= 8 && n < 8) {
    // Source and destination cannot overlap: two pieces that may overlap each other.
    if (n >= 4) {
      std::memcpy(to, from, 4);
      std::memcpy(to + n - 4, from + n - 4, 4);
    } else if (n >= 2) {
      std::memcpy(to, from, 2);
      std::memcpy(to + n - 2, from + n - 2, 2);
    } else if (n == 1) {
      *to = *from;  // a run cut short by the end of the window
    }
    return;
  }
  if (distance == 1) {
    std::memset(to, *from, n);
    return;
  }
  if (distance < 8) {
    // Lay down the repeating pattern byte by byte until it spans eight bytes; from then on
    // the source can stay a whole number of periods behind, at least eight bytes back.
    const unsigned widened = WidenedPeriod[distance];
    for (const std::uint8_t* const stop = to + std::min(n, widened - distance); to < stop; --n) {
      *to = *from;
      ++to;
      ++from;
    }
    if (n == 0) {
      return;
    }
    from = to - widened;
  }
  // Eight bytes at a time never read a byte this copy has still to write.
  const unsigned whole = n & ~7u;
  for (unsigned i = 0; i < whole; i += 8) {
    Copy8(to + i, from + i);
  }
  if (n >= 8) {
    // The last eight bytes again, ending at the end: they read only bytes already final.
    Copy8(to + n - 8, from + n - 8);
    return;
  }
  for (unsigned i = 0; i < n; ++i) {
    to[i] = from[i];
  }
}

// Copies one run of a match: the source lies at 'from', the destination at 'to', both within
// the window and the run within both.
inline void CopyRun(std::uint8_t* window, unsigned to, unsigned from, unsigned run) {
  if (from < to) {
    CopyBehind(window + to, window + from, run);
  } else {
    // The source lies ahead, in what is left of the previous pass over the window: a forward
    // copy reads each byte before it overwrites it, which is exactly what memmove does.
    std::memmove(window + to, window + from, run);
  }
}

// The fixed code never changes, so its tables are built once, on first use, in storage of
// their own: no fixed block allocates, and none can run out of memory.
class TFixedCodes final {
 public:
  TFixedCodes() {
    std::array<std::uint8_t, FixedLiteralLengthCodes> lengths{};
    std::fill(lengths.begin(), lengths.begin() + 144, 8);
    std::fill(lengths.begin() + 144, lengths.begin() + 256, 9);
    std::fill(lengths.begin() + 256, lengths.begin() + 280, 7);
    std::fill(lengths.begin() + 280, lengths.end(), 8);
    const TBuildStatus literals = BuildDecodeTable(lengths.data(), FixedLiteralLengthCodes, FirstLengthCode,
                                                   LengthBases.data(), LengthExtras.data(), FLiterals,
                                                   LiteralBits, FArena);
    // Thirty codes of five bits leave two unused: the code is incomplete, and distance codes
    // 30 and 31 decode as invalid.
    std::fill(lengths.begin(), lengths.begin() + DistanceCodes, 5);
    const TBuildStatus distances = BuildDecodeTable(lengths.data(), DistanceCodes, 0, DistanceBases.data(),
                                                    DistanceExtras.data(), FDistances, DistanceBits, FArena);
    FBuilt = literals == TBuildStatus::Complete && distances == TBuildStatus::Incomplete;
  }
  TFixedCodes(const TFixedCodes&) = delete;
  TFixedCodes& operator=(const TFixedCodes&) = delete;

  bool Built() const noexcept { return FBuilt; }
  const TDecodeEntry* Literals() const noexcept { return FLiterals; }
  const TDecodeEntry* Distances() const noexcept { return FDistances; }
  int LiteralBits = FixedLiteralLookup;
  int DistanceBits = FixedDistanceLookup;

 private:
  // Slots for both codes: 129 first-level slots and 128 sub-tables of at most two bits for the
  // literal/length code, 33 for the distances, with one link slot per block.
  class TArena final : public TDecodeTableMemory {
   public:
    TDecodeEntry* Allocate(std::size_t slots) noexcept override {
      if (FUsed + slots > FSlots.size()) {
        return nullptr;
      }
      TDecodeEntry* block = FSlots.data() + FUsed;
      FUsed += slots;
      return block;
    }
    void Release(TDecodeEntry*) noexcept override {}

   private:
    std::array<TDecodeEntry, 1024> FSlots{};
    std::size_t FUsed = 0;
  };

  TArena FArena;
  TDecodeEntry* FLiterals = nullptr;
  TDecodeEntry* FDistances = nullptr;
  bool FBuilt = false;
};

const TFixedCodes& FixedCodes() {
  static const TFixedCodes codes;
  return codes;
}

class TInflater final {
 public:
  explicit TInflater(TUnzipFrame& frame) : FFrame(frame), FWindow(frame.Window()), FBits(frame) {}
  TCodecStatus Run();

 private:
  TCodecStatus InflateStored();
  TCodecStatus InflateFixed();
  TCodecStatus InflateDynamic();
  TCodecStatus InflateCodes(const TDecodeEntry* tl, const TDecodeEntry* td, int bl, int bd);
  // -1 to go on with the exact path, else the block's status.
  int FastCodes(const TDecodeEntry* tl, const TDecodeEntry* td, int bl, int bd);
  void CopyMatch(unsigned length, unsigned distance);
  // A match may reach back only as far as this entry has written: before its first byte the
  // window holds another entry's bytes, which must never reach this one's output.
  bool ReachesBeforeEntry(unsigned distance) const { return !FWrapped && distance > FPosition; }

  void NeedBits(unsigned n) { FBits.Need(n); }
  void DumpBits(unsigned n) { FBits.Drop(n); }
  unsigned Bits(unsigned n) const { return FBits.Peek(n); }
  void PutByte(std::uint8_t b) {
    FWindow[FPosition++] = b;
    if (FPosition == SlidingWindowSize) {
      PassWindow();
    }
  }
  void PassWindow() {
    FFrame.FlushWindow(SlidingWindowSize);
    FPosition = 0;
    FWrapped = true;
  }

  TUnzipFrame& FFrame;
  std::uint8_t* FWindow;
  unsigned FPosition = 0;  // next free byte of the window, below SlidingWindowSize between steps
  bool FWrapped = false;   // the window has been filled once in this entry
  TBits FBits;
};

// What a table build means for a deflate stream: an incomplete code is as damaged as a bad
// code in the data, an over-subscribed one cannot even be built.
TCodecStatus StatusOfBuild(TBuildStatus status) {
  switch (status) {
    case TBuildStatus::Complete: return TCodecStatus::Ok;
    case TBuildStatus::Incomplete: return TCodecStatus::DamagedData;
    case TBuildStatus::OverSubscribed: return TCodecStatus::InvalidCodes;
    case TBuildStatus::OutOfMemory: return TCodecStatus::OutOfMemory;
  }
  return TCodecStatus::InvalidCodes;
}

TCodecStatus TInflater::Run() {
  unsigned last = 0;
  do {
    // A damaged stream may never send its final block; stop once its bytes are used up.
    if (FFrame.InputExhausted()) {
      return TCodecStatus::DamagedData;
    }
    NeedBits(1);
    last = Bits(1);
    DumpBits(1);
    NeedBits(2);
    const unsigned type = Bits(2);
    DumpBits(2);
    TCodecStatus status = TCodecStatus::InvalidCodes;  // block type 3
    switch (type) {
      case 0: status = InflateStored(); break;
      case 1: status = InflateFixed(); break;
      case 2: status = InflateDynamic(); break;
      default: break;
    }
    if (status != TCodecStatus::Ok) {
      return status;
    }
  } while (last == 0);
  FFrame.FlushWindow(FPosition);
  FFrame.FlushOutput();
  return TCodecStatus::Ok;
}

TCodecStatus TInflater::InflateStored() {
  DumpBits(FBits.Count() % 8);
  NeedBits(16);
  unsigned length = Bits(16);
  DumpBits(16);
  NeedBits(16);
  if (length != (~Bits(16) & 0xFFFFu)) {
    return TCodecStatus::DamagedData;
  }
  DumpBits(16);

  while (length > 0) {
    if (FBits.Count() >= 8) {
      // Whole bytes already in the bit buffer come first.
      PutByte(static_cast<std::uint8_t>(Bits(8)));
      DumpBits(8);
      --length;
    } else if (FFrame.BufferedInput() > 0) {
      // The bit buffer is empty: copy straight from the chunk, as far as the chunk, the block
      // and the window allow.
      const auto n = static_cast<unsigned>(
          std::min<std::size_t>({length, FFrame.BufferedInput(), SlidingWindowSize - FPosition}));
      std::memcpy(FWindow + FPosition, FFrame.InputPosition(), n);
      FBits.SetLastByte(FFrame.InputPosition()[n - 1]);
      FFrame.TakeInput(n);
      FPosition += n;
      length -= n;
      if (FPosition == SlidingWindowSize) {
        PassWindow();
      }
    } else {
      // The chunk is used up: the exact path reads the next one, or repeats the last byte.
      if (FFrame.InputExhausted()) {
        return TCodecStatus::DamagedData;
      }
      NeedBits(8);
      PutByte(static_cast<std::uint8_t>(Bits(8)));
      DumpBits(8);
      --length;
    }
  }
  return TCodecStatus::Ok;
}

TCodecStatus TInflater::InflateFixed() {
  const TFixedCodes& fixed = FixedCodes();
  if (!fixed.Built()) {
    return TCodecStatus::InvalidCodes;  // cannot happen: the arena is sized for the fixed code
  }
  return InflateCodes(fixed.Literals(), fixed.Distances(), fixed.LiteralBits, fixed.DistanceBits);
}

TCodecStatus TInflater::InflateDynamic() {
  NeedBits(5);
  const unsigned literalCount = FirstLengthCode + Bits(5);
  DumpBits(5);
  NeedBits(5);
  const unsigned distanceCount = 1 + Bits(5);
  DumpBits(5);
  NeedBits(4);
  const unsigned codeLengthCount = 4 + Bits(4);
  DumpBits(4);
  if (literalCount > LiteralLengthCodes || distanceCount > DistanceCodes) {
    return TCodecStatus::DamagedData;
  }

  std::array<std::uint8_t, LiteralLengthCodes + DistanceCodes> lengths{};
  for (unsigned j = 0; j < codeLengthCount; ++j) {
    NeedBits(3);
    lengths[CodeLengthOrder[j]] = static_cast<std::uint8_t>(Bits(3));
    DumpBits(3);
  }
  TDecodeTableOwner tb(FFrame.TableMemory());
  int bb = CodeLengthLookup;
  TCodecStatus status = StatusOfBuild(
      tb.Build(lengths.data(), CodeLengthOrder.size(), CodeLengthOrder.size(), nullptr, nullptr, bb));
  if (status != TCodecStatus::Ok) {
    return status;
  }
  if (tb.Table() == nullptr) {
    return TCodecStatus::DamagedData;  // no code-length code at all: nothing can be decoded with it
  }

  // Code-length codes are at most seven bits, so their table is one level deep.
  const unsigned total = literalCount + distanceCount;
  unsigned previous = 0;
  for (unsigned i = 0; i < total;) {
    if (FFrame.InputExhausted()) {
      return TCodecStatus::DamagedData;
    }
    NeedBits(static_cast<unsigned>(bb));
    const TDecodeEntry& slot = tb.Table()[Bits(static_cast<unsigned>(bb))];
    DumpBits(slot.Bits);
    const unsigned symbol = slot.Value;
    unsigned repeat = 0;
    unsigned value = 0;
    if (symbol < 16) {
      lengths[i++] = static_cast<std::uint8_t>(symbol);
      previous = symbol;
      continue;
    }
    if (symbol == 16) {
      NeedBits(2);
      repeat = 3 + Bits(2);
      DumpBits(2);
      value = previous;
    } else if (symbol == 17) {
      NeedBits(3);
      repeat = 3 + Bits(3);
      DumpBits(3);
      previous = 0;
    } else {
      NeedBits(7);
      repeat = 11 + Bits(7);
      DumpBits(7);
      previous = 0;
    }
    if (i + repeat > total) {
      return TCodecStatus::DamagedData;
    }
    std::fill_n(lengths.begin() + i, repeat, static_cast<std::uint8_t>(value));
    i += repeat;
  }
  tb.Reset();

  TDecodeTableOwner tl(FFrame.TableMemory());
  int bl = DynamicLiteralLookup;
  status = StatusOfBuild(
      tl.Build(lengths.data(), literalCount, FirstLengthCode, LengthBases.data(), LengthExtras.data(), bl));
  if (status != TCodecStatus::Ok) {
    return status;
  }
  TDecodeTableOwner td(FFrame.TableMemory());
  int bd = DynamicDistanceLookup;
  status = StatusOfBuild(td.Build(lengths.data() + literalCount, distanceCount, 0, DistanceBases.data(),
                                  DistanceExtras.data(), bd));
  if (status != TCodecStatus::Ok) {
    return status;
  }
  return InflateCodes(tl.Table(), td.Table(), bl, bd);
}

// A match in runs that end at the end of the source or of the window, passing the window on
// whenever it fills.
void TInflater::CopyMatch(unsigned length, unsigned distance) {
  unsigned from = (FPosition - distance) & (SlidingWindowSize - 1);
  while (length > 0) {
    from &= SlidingWindowSize - 1;
    const unsigned run = std::min(static_cast<unsigned>(SlidingWindowSize) - std::max(from, FPosition), length);
    CopyRun(FWindow, FPosition, from, run);
    FPosition += run;
    from += run;
    length -= run;
    if (FPosition == SlidingWindowSize) {
      PassWindow();
    }
  }
}

TCodecStatus TInflater::InflateCodes(const TDecodeEntry* tl, const TDecodeEntry* td, int bl, int bd) {
  if (tl == nullptr) {
    return TCodecStatus::DamagedData;  // a block without literal/length codes cannot even end
  }
  for (;;) {
    const int fast = FastCodes(tl, td, bl, bd);
    if (fast >= 0) {
      return static_cast<TCodecStatus>(fast);
    }
    // Near the end of the chunk or the window: one code at a time on the exact path.
    if (FFrame.InputExhausted()) {
      return TCodecStatus::DamagedData;
    }
    const TDecodeEntry* slot = DecodeCode(tl, static_cast<unsigned>(bl), FBits);
    if (slot == nullptr) {
      return TCodecStatus::DamagedData;
    }
    if (slot->Operation == OpLiteral) {
      PutByte(static_cast<std::uint8_t>(slot->Value));
      continue;
    }
    if (slot->Operation == OpEndOfBlock) {
      return TCodecStatus::Ok;
    }
    const unsigned length = slot->Value + FBits.Take(slot->Operation);
    if (td == nullptr) {
      return TCodecStatus::DamagedData;  // a match in a block that declared no distance codes
    }
    slot = DecodeCode(td, static_cast<unsigned>(bd), FBits);
    if (slot == nullptr) {
      return TCodecStatus::DamagedData;
    }
    const unsigned distance = slot->Value + FBits.Take(slot->Operation);
    if (ReachesBeforeEntry(distance)) {
      return TCodecStatus::DamagedData;
    }
    CopyMatch(length, distance);
  }
}

// Decodes while the chunk and the window leave room for a whole round (see FastInputMargin),
// with the bit buffer refilled a word at a time straight from the chunk. Returns the block's
// status when it ends inside, or -1 to go on with the exact path.
int TInflater::FastCodes(const TDecodeEntry* tl, const TDecodeEntry* td, int bl, int bd) {
  const std::size_t buffered = FFrame.BufferedInput();
  if (buffered < FastInputMargin || FPosition >= FastWindowLimit) {
    return -1;
  }
  const std::uint8_t* const start = FFrame.InputPosition();
  const std::uint8_t* const limit = start + (buffered - FastInputMargin);
  // The round's bits live in locals, refilled a word at a time straight from the chunk.
  struct TFastBits {
    TBitWord Buffer;
    unsigned Count;
    const std::uint8_t* In;
    // Takes as many whole bytes as fit. The bits loaded above the count are the stream's next
    // bits, the same a later refill loads there again.
    void Refill() {
      Buffer |= LoadWord(In) << Count;
      const unsigned bytes = (WordBits - 1 - Count) / 8;
      In += bytes;
      Count += bytes * 8;
    }
    void Need(unsigned n) {
      if (Count < n) {
        Refill();
      }
    }
    unsigned Peek(unsigned n) const { return static_cast<unsigned>(Buffer & FieldMask(n)); }
    void Drop(unsigned n) {
      Buffer >>= n;
      Count -= n;
    }
  };
  TFastBits bits{FBits.Buffer(), FBits.Count(), start};
  unsigned position = FPosition;
  const bool wrapped = FWrapped;
  std::uint8_t* const window = FWindow;
  const TBitWord literalMask = Mask(static_cast<unsigned>(bl));
  const TBitWord distanceMask = Mask(static_cast<unsigned>(bd));

  // The slot of the next code is looked up as soon as the bits of the last one are dropped,
  // while at least bl bits are known; the refill only adds bits above those, so the lookup
  // and the refill overlap instead of waiting for each other.
  const auto lookUpLiteral = [&] {
    bits.Need(static_cast<unsigned>(bl));
    return tl + (bits.Buffer & literalMask);
  };
  constexpr int Damaged = static_cast<int>(TCodecStatus::DamagedData);
  int status = -1;
  const TDecodeEntry* slot = lookUpLiteral();
  while (bits.In <= limit && position < FastWindowLimit) {
    bits.Refill();
    slot = WalkToCode(slot, bits);
    if (slot == nullptr) {
      status = Damaged;
      break;
    }
    const unsigned op = slot->Operation;
    if (op == OpLiteral) {
      window[position++] = static_cast<std::uint8_t>(slot->Value);
      slot = lookUpLiteral();
      continue;
    }
    if (op == OpEndOfBlock) {
      status = static_cast<int>(TCodecStatus::Ok);
      break;
    }
    bits.Need(op);
    const unsigned length = slot->Value + bits.Peek(op);
    bits.Drop(op);
    if (td == nullptr) {
      status = Damaged;
      break;
    }
    bits.Need(static_cast<unsigned>(bd));
    const TDecodeEntry* distanceSlot = WalkToCode(td + (bits.Buffer & distanceMask), bits);
    if (distanceSlot == nullptr) {
      status = Damaged;
      break;
    }
    const unsigned dop = distanceSlot->Operation;
    bits.Need(dop);
    const unsigned distance = distanceSlot->Value + bits.Peek(dop);
    bits.Drop(dop);
    if (!wrapped && distance > position) {
      status = Damaged;  // before the entry's first byte, as ReachesBeforeEntry says
      break;
    }
    slot = lookUpLiteral();

    // position + length stays below the window's end, so only the source can wrap.
    const unsigned from = (position - distance) & (SlidingWindowSize - 1);
    if (from < position || from + length <= SlidingWindowSize) {
      CopyRun(window, position, from, length);
    } else {
      const unsigned first = SlidingWindowSize - from;
      CopyRun(window, position, from, first);
      CopyRun(window, position + first, 0, length - first);
    }
    position += length;
  }

  const auto taken = static_cast<std::size_t>(bits.In - start);
  if (taken > 0) {
    FBits.SetLastByte(bits.In[-1]);
    FFrame.TakeInput(taken);
  }
  // The exact path ORs whole bytes in above the count, so it must find zeros there.
  FBits.Restore(bits.Buffer & Mask(bits.Count), bits.Count);
  FPosition = position;
  return status;
}

}  // namespace

TCodecStatus Inflate(TUnzipFrame& frame) {
  TInflater inflater(frame);
  return inflater.Run();
}

}  // namespace qel::codecs
