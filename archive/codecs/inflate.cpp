// The exact path of inflate; the reading map of its files is in inflate.h.
#include "archive/codecs/inflate.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <new>
#include <optional>

#include "archive/codecs/bit_reader.h"
#include "archive/codecs/deflate_format.h"
#include "archive/codecs/fast_codes.h"
#include "archive/codecs/inflate_fast.h"
#include "archive/codecs/linear_window.h"

namespace qel::codecs {
namespace {

using namespace deflate;

// The slot operations of the literal/length values from FirstLengthCode on, and of the
// distance values: the extra-bit counts of the format. The fixed code's two extra values 286
// and 287 decode as invalid. Deflate64 gives the last length code a base of 3 and 16 extra bits.
constexpr unsigned FixedLengthValues = FixedLiteralLengthCodes - FirstLengthCode;
constexpr unsigned LastLength = LengthCodes - 1;
using TLengthValues = std::array<std::uint16_t, FixedLengthValues>;
constexpr TLengthValues LengthValueBases = [] {
  TLengthValues bases{};
  for (unsigned i = 0; i < LengthCodes; ++i) bases[i] = LengthBases[i];
  return bases;
}();
constexpr TLengthValues LengthOperations = [] {
  TLengthValues operations{};
  for (unsigned i = 0; i < FixedLengthValues; ++i) operations[i] = i < LengthCodes ? LengthExtraBits[i] : OpInvalid;
  return operations;
}();
constexpr TLengthValues LengthValueBases64 = [] {
  TLengthValues bases = LengthValueBases;
  bases[LastLength] = deflate64::LastLengthBase;
  return bases;
}();
constexpr TLengthValues LengthOperations64 = [] {
  TLengthValues operations = LengthOperations;
  operations[LastLength] = deflate64::LastLengthExtraBits;
  return operations;
}();
// Distance values of both formats: deflate's tables are built for its first DistanceCodes
// only, so codes 30 and 31 never decode there.
using TDistanceValues = std::array<std::uint16_t, deflate64::DistanceCodes>;
constexpr TDistanceValues DistanceValueBases = [] {
  TDistanceValues bases{};
  for (unsigned i = 0; i < DistanceCodes; ++i) bases[i] = DistanceBases[i];
  for (unsigned i = DistanceCodes; i < deflate64::DistanceCodes; ++i) {
    bases[i] = deflate64::FarDistanceBases[i - DistanceCodes];
  }
  return bases;
}();
constexpr TDistanceValues DistanceOperations = [] {
  TDistanceValues operations{};
  for (unsigned i = 0; i < DistanceCodes; ++i) operations[i] = DistanceExtraBits[i];
  for (unsigned i = DistanceCodes; i < deflate64::DistanceCodes; ++i) operations[i] = deflate64::FarDistanceExtraBits;
  return operations;
}();
static_assert(OperationsAreSlotOperations(LengthOperations) && OperationsAreSlotOperations(LengthOperations64) &&
                  OperationsAreSlotOperations(DistanceOperations),
              "every extra-bit count stays below the operations above it");
static_assert(MaxOf(LengthValueBases) < 0x8000u && MaxOf(LengthValueBases64) < 0x8000u,
              "a length's fast entry leaves the literal bit clear");
static_assert(DistanceValueBases[deflate64::DistanceCodes - 1] + (1u << deflate64::FarDistanceExtraBits) - 1 ==
                  deflate64::WindowSize,
              "Deflate64's farthest distance is its window");

// What tells the two formats apart, for the decoder of each.
struct TInflateFormat {
  const std::uint16_t* LengthBases;  // FixedLengthValues of each
  const std::uint16_t* LengthOperations;
  unsigned DistanceCodes;  // the distance values a table is built for
  TWindowShape Shape;
};
constexpr TInflateFormat Deflate{LengthValueBases.data(), LengthOperations.data(), DistanceCodes,
                                 {SlidingWindowSize, MaxMatchLength}};
constexpr TInflateFormat Deflate64{LengthValueBases64.data(), LengthOperations64.data(), deflate64::DistanceCodes,
                                   {deflate64::WindowSize, deflate64::MaxMatchLength}};
static_assert(Deflate.Shape.Window == WindowSize, "deflate's ring is the frame's window");
static_assert(Deflate.Shape.SlideLeavesAPass() && Deflate64.Shape.SlideLeavesAPass(),
              "after a slide the buffer holds what it kept and a whole pass");

constexpr int DynamicLiteralLookup = 9;
constexpr int DynamicDistanceLookup = 6;
constexpr int FixedLiteralLookup = 7;
constexpr int FixedDistanceLookup = 5;
constexpr int CodeLengthLookup = 7;

using TBits = TBitReader<TUnzipFrame, TPastEnd::LastByteAgain>;
using TBitWord = TBits::TWord;
constexpr unsigned WordBits = TBits::WordBits;

constexpr TBitWord Mask(unsigned n) { return n >= WordBits ? ~TBitWord{0} : (TBitWord{1} << n) - 1; }

static_assert(FastLiteralBits >= DynamicLiteralLookup && FastLiteralBits >= FixedLiteralLookup &&
                  FastDistanceBits >= DynamicDistanceLookup && FastDistanceBits >= FixedDistanceLookup,
              "a first-level slot of the decoding tables covers whole fast entries");

// The compact tables of one block, beside its decoding tables.
struct TFastTables {
  TFastEntry Literals[FastLiteralSize];
  TFastEntry Distances[FastDistanceSize];

  void Build(const TDecodeEntry* tl, const TDecodeEntry* td, int bl, int bd) {
    BuildFastTable(tl, bl, FastLiteralBits, FastLengthTakenBits, Literals);
    BuildFastTable(td, bd, FastDistanceBits, FastDistanceTakenBits, Distances);
  }
};

// The fixed code never changes, so its tables are built once, on first use, in storage of
// their own: no fixed block allocates, and none can run out of memory.
class TFixedCodes final {
 public:
  explicit TFixedCodes(const TInflateFormat& format) {
    std::array<std::uint8_t, FixedLiteralLengthCodes> lengths{};
    unsigned start = 0;
    for (const TFixedLengthRun& run : FixedLiteralLengthRuns) {
      std::fill(lengths.begin() + start, lengths.begin() + run.End, run.Length);
      start = run.End;
    }
    const TBuildStatus literals = BuildDecodeTable(lengths.data(), FixedLiteralLengthCodes, FirstLengthCode,
                                                   format.LengthBases, format.LengthOperations, FLiterals,
                                                   LiteralBits, FArena);
    // In deflate thirty codes of five bits leave two unused: the code is incomplete, and
    // distance codes 30 and 31 decode as invalid. Deflate64 uses all 32.
    std::fill(lengths.begin(), lengths.begin() + format.DistanceCodes, FixedDistanceLength);
    const TBuildStatus distances = BuildDecodeTable(lengths.data(), format.DistanceCodes, 0, DistanceValueBases.data(),
                                                    DistanceOperations.data(), FDistances, DistanceBits, FArena);
    const TBuildStatus expected =
        format.DistanceCodes < FixedDistanceCodes ? TBuildStatus::Incomplete : TBuildStatus::Complete;
    FBuilt = literals == TBuildStatus::Complete && distances == expected;
    if (FBuilt) {
      FFast.Build(FLiterals, FDistances, LiteralBits, DistanceBits);
    }
  }
  TFixedCodes(const TFixedCodes&) = delete;
  TFixedCodes& operator=(const TFixedCodes&) = delete;

  bool Built() const noexcept { return FBuilt; }
  const TDecodeEntry* Literals() const noexcept { return FLiterals; }
  const TDecodeEntry* Distances() const noexcept { return FDistances; }
  const TFastTables& Fast() const noexcept { return FFast; }
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
  TFastTables FFast{};
  bool FBuilt = false;
};

const TFixedCodes& FixedCodes(const TInflateFormat& format) {
  if (&format == &Deflate64) {
    static const TFixedCodes codes64(Deflate64);
    return codes64;
  }
  static const TFixedCodes codes(Deflate);
  return codes;
}

class TInflater final {
 public:
  // window: format.Shape.BufferSize() bytes of the run.
  TInflater(TUnzipFrame& frame, const TInflateFormat& format, TFastTables& tables, std::uint8_t* window)
      : FFrame(frame), FFormat(format), FTables(tables), FWindow(frame, window, format.Shape), FBits(frame) {}
  TCodecStatus Run();

 private:
  TCodecStatus InflateStored();
  TCodecStatus InflateFixed();
  TCodecStatus InflateDynamic();
  TCodecStatus InflateCodes(const TDecodeEntry* tl, const TDecodeEntry* td, int bl, int bd, const TFastTables& fast);
  // Nothing to go on with the exact path, else the block's status.
  std::optional<TCodecStatus> FastCodes(const TFastCodes& codes);

  void NeedBits(unsigned n) { FBits.Need(n); }
  void DumpBits(unsigned n) { FBits.Drop(n); }
  unsigned Bits(unsigned n) const { return FBits.Peek(n); }

  TUnzipFrame& FFrame;
  const TInflateFormat& FFormat;
  TFastTables& FTables;  // of the dynamic block being decoded
  TLinearWindow FWindow;
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
    TCodecStatus status = TCodecStatus::InvalidCodes;  // the reserved block type 3
    if (type == BlockStored) {
      status = InflateStored();
    } else if (type == BlockFixed) {
      status = InflateFixed();
    } else if (type == BlockDynamic) {
      status = InflateDynamic();
    }
    if (status != TCodecStatus::Ok) {
      return status;
    }
  } while (last == 0);
  FWindow.Finish();
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
      FWindow.Put(static_cast<std::uint8_t>(Bits(8)));
      DumpBits(8);
      --length;
    } else if (FFrame.BufferedInput() > 0) {
      // The bit buffer is empty: copy straight from the chunk, as far as the chunk, the block
      // and the window allow.
      const auto n = static_cast<unsigned>(std::min<std::size_t>({length, FFrame.BufferedInput(), FWindow.Room()}));
      std::memcpy(FWindow.Position(), FFrame.InputPosition(), n);
      FBits.SetLastByte(FFrame.InputPosition()[n - 1]);
      FFrame.TakeInput(n);
      length -= n;
      FWindow.Advance(FWindow.Position() + n);
    } else {
      // The chunk is used up: the exact path reads the next one, or repeats the last byte.
      if (FFrame.InputExhausted()) {
        return TCodecStatus::DamagedData;
      }
      NeedBits(8);
      FWindow.Put(static_cast<std::uint8_t>(Bits(8)));
      DumpBits(8);
      --length;
    }
  }
  return TCodecStatus::Ok;
}

TCodecStatus TInflater::InflateFixed() {
  const TFixedCodes& fixed = FixedCodes(FFormat);
  if (!fixed.Built()) {
    return TCodecStatus::InvalidCodes;  // cannot happen: the arena is sized for the fixed code
  }
  return InflateCodes(fixed.Literals(), fixed.Distances(), fixed.LiteralBits, fixed.DistanceBits, fixed.Fast());
}

TCodecStatus TInflater::InflateDynamic() {
  NeedBits(HlitBits);
  const unsigned literalCount = FirstLengthCode + Bits(HlitBits);
  DumpBits(HlitBits);
  NeedBits(HdistBits);
  const unsigned distanceCount = 1 + Bits(HdistBits);
  DumpBits(HdistBits);
  NeedBits(HclenBits);
  const unsigned codeLengthCount = 4 + Bits(HclenBits);
  DumpBits(HclenBits);
  if (literalCount > MaxLiteralLengthCodes || distanceCount > FFormat.DistanceCodes) {
    return TCodecStatus::DamagedData;
  }

  std::array<std::uint8_t, MaxLiteralLengthCodes + deflate64::DistanceCodes> lengths{};
  for (unsigned j = 0; j < codeLengthCount; ++j) {
    NeedBits(CodeLengthBits);
    lengths[CodeLengthOrder[j]] = static_cast<std::uint8_t>(Bits(CodeLengthBits));
    DumpBits(CodeLengthBits);
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
    if (symbol < CopyPrevious) {
      lengths[i++] = static_cast<std::uint8_t>(symbol);
      previous = symbol;
      continue;
    }
    if (symbol == CopyPrevious) {
      NeedBits(2);
      repeat = 3 + Bits(2);
      DumpBits(2);
      value = previous;
    } else if (symbol == RepeatZero) {
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
      tl.Build(lengths.data(), literalCount, FirstLengthCode, FFormat.LengthBases, FFormat.LengthOperations, bl));
  if (status != TCodecStatus::Ok) {
    return status;
  }
  TDecodeTableOwner td(FFrame.TableMemory());
  int bd = DynamicDistanceLookup;
  status = StatusOfBuild(td.Build(lengths.data() + literalCount, distanceCount, 0, DistanceValueBases.data(),
                                  DistanceOperations.data(), bd));
  if (status != TCodecStatus::Ok) {
    return status;
  }
  FTables.Build(tl.Table(), td.Table(), bl, bd);
  return InflateCodes(tl.Table(), td.Table(), bl, bd, FTables);
}

TCodecStatus TInflater::InflateCodes(const TDecodeEntry* tl, const TDecodeEntry* td, int bl, int bd,
                                     const TFastTables& fast) {
  if (tl == nullptr) {
    return TCodecStatus::DamagedData;  // a block without literal/length codes cannot even end
  }
  const TFastCodes codes{fast.Literals, fast.Distances, tl, td, static_cast<unsigned>(bl), static_cast<unsigned>(bd)};
  for (;;) {
    if (const std::optional<TCodecStatus> status = FastCodes(codes)) {
      return *status;
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
      FWindow.Put(static_cast<std::uint8_t>(slot->Value));
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
    if (!FWindow.Reaches(distance)) {
      return TCodecStatus::DamagedData;
    }
    FWindow.Copy(length, distance);
  }
}

// Runs the fast loop while the chunk and the window leave room for a whole step, on the bits
// of the bit reader and the bytes of the chunk.
std::optional<TCodecStatus> TInflater::FastCodes(const TFastCodes& codes) {
  const std::size_t buffered = FFrame.BufferedInput();
  if (buffered < FastInputMargin || FWindow.Room() == 0) {
    return std::nullopt;
  }
  const std::uint8_t* const start = FFrame.InputPosition();
  TFastState state{FBits.Buffer(), FBits.Count(), start, start + (buffered - FastInputMargin),
                   FWindow.Position(), FWindow.PassPoint(), FWindow.EntryStart()};
  const std::optional<TCodecStatus> status = DecodeFast(state, codes);

  const auto taken = static_cast<std::size_t>(state.In - start);
  if (taken > 0) {
    FBits.SetLastByte(state.In[-1]);
    FFrame.TakeInput(taken);
  }
  // The exact path ORs whole bytes in above the count, so it must find zeros there.
  FBits.Restore(state.Bits & Mask(state.Count), state.Count);
  // The ring would have been passed on inside the step that filled it, before any further
  // input is read; no input is read in between here either.
  FWindow.Advance(state.Out);
  return status;
}

// What an entry needs beyond the frame's window comes from the frame's run: the compact tables
// of the block being decoded, and the linear window behind them.
TCodecStatus InflateFormat(TUnzipFrame& frame, const TInflateFormat& format) {
  static_assert(sizeof(TFastTables) % alignof(std::max_align_t) == 0, "the window starts aligned");
  std::uint8_t* const memory = frame.DecoderBuffer(sizeof(TFastTables) + format.Shape.BufferSize());
  if (memory == nullptr || !frame.ReserveWindow(format.Shape.Window)) {
    frame.TableMemory().OutOfMemory();
    return TCodecStatus::OutOfMemory;
  }
  // Plain bytes and entries: nothing to construct, and nothing read before it is written.
  auto* const tables = new (memory) TFastTables;
  TInflater inflater(frame, format, *tables, memory + sizeof(TFastTables));
  return inflater.Run();
}

}  // namespace

TCodecStatus Inflate(TUnzipFrame& frame) { return InflateFormat(frame, Deflate); }

TCodecStatus Inflate64(TUnzipFrame& frame) { return InflateFormat(frame, Deflate64); }

}  // namespace qel::codecs
