// inflate's fast loop (inflate_fast.h); the reading map of inflate's files is in inflate.h.
#include "archive/codecs/inflate_fast.h"

#include <atomic>
#include <bit>
#include <cstring>

#include "archive/codecs/match_copy.h"

#if defined(__x86_64__) || defined(__i386__)
#define QEL_HAVE_BMI2_LOOP 1
#endif

namespace qel::codecs {
namespace {

// The bit buffer is a machine word: 64 bits on the 64-bit builds, 32 on the shipped one.
using TWord = std::size_t;
constexpr unsigned WordBits = sizeof(TWord) * 8;
constexpr unsigned WordBytes = sizeof(TWord);
// A refill adds whole bytes while a byte more fits, so it leaves at least this many bits.
constexpr unsigned RefillBitsOf(unsigned wordBits) { return wordBits - 8; }
constexpr unsigned RefillBits = RefillBitsOf(WordBits);

// What one step takes at most: a length code with its extra bits, and a distance code with
// its; an entry of the fast tables takes at most their budget, a longer code is walked with a
// refill per table level and one for its extra bits (Deflate64's carry up to 16 and 14).
constexpr unsigned LengthFieldBits = FastLengthTakenBits;
constexpr unsigned DistanceFieldBits = FastDistanceTakenBits;
constexpr unsigned MaxStepBits = 2 * MaxCodeLength + deflate64::MaxLengthExtraBits + deflate64::MaxDistanceExtraBits;

// The budgets below hold for both word sizes the builds use, checked on every compiler: a
// wider fast table that only the 32-bit word cannot afford fails the native build too.
template <class TBudget>
constexpr bool OnEveryWord(TBudget holds) {
  return holds(32u) && holds(64u);
}
static_assert(WordBits == 32 || WordBits == 64, "the budgets are checked for these words");
static_assert(OnEveryWord([](unsigned w) { return RefillBitsOf(w) >= LengthFieldBits && RefillBitsOf(w) >= DistanceFieldBits; }),
              "one refill holds a length or a distance with its extra bits");
static_assert(OnEveryWord([](unsigned w) { return RefillBitsOf(w) >= MaxWalkedTakenBits; }),
              "one refill holds the extra bits of a walked code");
static_assert(OnEveryWord([](unsigned w) { return RefillBitsOf(w) >= 2 * FastLiteralBits; }), "one refill holds two literals");
// In a step the input position moves on by the bits the step takes and at most the bits the
// buffer can hold, and a refill reads one word there.
static_assert(OnEveryWord([](unsigned w) { return FastInputMargin >= (MaxStepBits + w) / 8 + w / 8; }),
              "no step reads past the end of the chunk");
static_assert(OnEveryWord([](unsigned w) {
                return (FastTakenMask + 1) % w == 0 && LengthFieldBits < w && DistanceFieldBits < w && MaxWalkedTakenBits < w;
              }),
              "an entry's fields above its taken bits are multiples of the word's bits");

// Literals per refill: three where the word holds them (64-bit), two where it does not. A
// length may follow the first literal; after that, the next refill comes first. Where the word
// holds a literal, a length and a distance with all their bits, the distance needs no refill
// of its own (64-bit); the 32-bit word refills before the length after a literal and before
// every distance.
constexpr bool ThreeLiterals = RefillBits >= 3 * FastLiteralBits;
constexpr bool LengthAfterLiteral = RefillBits >= FastLiteralBits + LengthFieldBits;
constexpr bool DistanceAfterLength = RefillBits >= FastLiteralBits + LengthFieldBits + DistanceFieldBits;

inline TWord LoadWord(const std::uint8_t* p) {
  TWord word = 0;
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(&word, p, sizeof word);
  } else {
    for (unsigned i = 0; i < sizeof word; ++i) {
      word |= static_cast<TWord>(p[i]) << (8 * i);
    }
  }
  return word;
}

constexpr TWord FieldMask(unsigned n) { return (TWord{1} << n) - 1; }

// The loop's bits in locals, refilled straight from the chunk. The bits loaded above the count
// are the stream's next bits, the same a later refill loads there again, so refills may
// overlap. The count is never WordBits or more, so only its low bits (CountMask) say it: the
// rest may hold what subtracting whole entries left there (see fast_codes.h).
struct TLocalBits {
  static constexpr unsigned CountMask = WordBits - 1;

  TWord Buffer;
  unsigned Count;
  const std::uint8_t* In;

  unsigned Available() const { return Count & CountMask; }
  // Adds the whole bytes that fit; Count | RefillBits is the count plus their bits, since
  // RefillBits = WordBits - 8 and WordBits is a power of two.
  void Refill() {
    Buffer |= LoadWord(In) << (Count & CountMask);
    In += (WordBytes - 1) - ((Count >> 3) & (WordBytes - 1));
    Count |= RefillBits;
  }
  void Need(unsigned n) {
    if (Available() < n) {
      Refill();
    }
  }
  unsigned Peek(unsigned n) const { return static_cast<unsigned>(Buffer & FieldMask(n)); }
  void Drop(unsigned n) {
    Buffer >>= n;
    Count -= n;
  }
  // Drops what an entry takes.
  void Take(TFastEntry e) {
    Buffer >>= e & CountMask;
    Count -= e;
  }
  // Takes a length or distance entry: its base plus its extra bits.
  unsigned TakeField(TFastEntry e) {
    const TWord saved = Buffer;
    Take(e);
    return FastValue(e) + static_cast<unsigned>((saved & FieldMask(FastTakenBits(e))) >> FastCodeBits(e));
  }
};

// A code the fast table leaves to the decoding tables, with the bits after it.
struct TWalked {
  TFastEntry Entry;  // FastSlow for an invalid code
  TLocalBits Bits;
};

// Kept out of the loop: such codes are rare, and the walk's registers would crowd it.
[[gnu::noinline]] TWalked WalkTables(const TDecodeEntry* table, unsigned lookup, TLocalBits bits) {
  const TDecodeEntry* slot = WalkToCode(table + bits.Peek(lookup), bits);
  if (slot == nullptr) {
    return {FastSlow, bits};
  }
  const TFastEntry e = FastEntryOf(*slot, 0);
  bits.Need(FastTakenBits(e));
  return {e, bits};
}

using TFastResult = std::optional<TCodecStatus>;
constexpr TFastResult Ok = TCodecStatus::Ok;
constexpr TFastResult Damaged = TCodecStatus::DamagedData;

[[gnu::always_inline]] inline TFastResult DecodeSteps(TFastState& state, const TFastCodes& codes) {
  TLocalBits bits{state.Bits, state.Count, state.In};
  std::uint8_t* out = state.Out;
  const std::uint8_t* const inLimit = state.InLimit;
  const std::uint8_t* const outLimit = state.OutLimit;
  const std::uint8_t* const entryStart = state.EntryStart;
  const TFastEntry* const literals = codes.Literals;
  const TFastEntry* const distances = codes.Distances;
  TFastResult status;  // empty while a limit, not the block, stops the loop

  while (bits.In <= inLimit && out < outLimit) {
    bits.Refill();
    TFastEntry e = literals[bits.Peek(FastLiteralBits)];
    if (IsFastLiteral(e)) {
      // Each literal of the fast table takes at most FastLiteralBits, so every lookup here
      // still has that many bits.
      bits.Take(e);
      *out++ = FastLiteral(e);
      e = literals[bits.Peek(FastLiteralBits)];
      if (IsFastLiteral(e)) {
        bits.Take(e);
        *out++ = FastLiteral(e);
        if constexpr (ThreeLiterals) {
          e = literals[bits.Peek(FastLiteralBits)];
          if (IsFastLiteral(e)) {
            bits.Take(e);
            *out++ = FastLiteral(e);
          }
        }
        continue;
      }
      if constexpr (!LengthAfterLiteral) {
        bits.Refill();
      }
    }
    unsigned length = 0;
    if (!IsFastExceptional(e)) {
      length = bits.TakeField(e);
      if constexpr (!DistanceAfterLength) {
        bits.Refill();
      }
    } else {
      if ((e & FastEndOfBlockFlag) != 0) {
        bits.Take(e);
        status = Ok;
        break;
      }
      const TWalked walked = WalkTables(codes.LiteralTable, codes.LiteralLookup, bits);
      bits = walked.Bits;
      e = walked.Entry;
      if (IsFastLiteral(e)) {
        *out++ = FastLiteral(e);
        continue;
      }
      if (IsFastExceptional(e)) {
        status = (e & FastEndOfBlockFlag) != 0 ? Ok : Damaged;
        break;
      }
      length = bits.TakeField(e);
      bits.Refill();  // the walk may have taken all but a few of the bits
    }

    TFastEntry d = distances[bits.Peek(FastDistanceBits)];
    if ((d & FastSlowFlag) != 0) {
      if (codes.DistanceTable == nullptr) {
        status = Damaged;  // a match in a block that declared no distance codes
        break;
      }
      const TWalked walked = WalkTables(codes.DistanceTable, codes.DistanceLookup, bits);
      bits = walked.Bits;
      d = walked.Entry;
      if ((d & FastSlowFlag) != 0) {
        status = Damaged;
        break;
      }
    }
    const unsigned distance = bits.TakeField(d);
    if (distance > static_cast<std::size_t>(out - entryStart)) {
      status = Damaged;  // before the entry's first byte
      break;
    }
    CopyMatch(out, distance, length);
    out += length;
  }

  state.Bits = bits.Buffer;
  state.Count = bits.Available();
  state.In = bits.In;
  state.Out = out;
  return status;
}

TFastResult DecodeGeneric(TFastState& state, const TFastCodes& codes) { return DecodeSteps(state, codes); }

#if QEL_HAVE_BMI2_LOOP
// The same loop where the processor has BMI2: shifts by a register without the count register,
// and masks of n bits in one instruction.
[[gnu::target("bmi2")]] TFastResult DecodeBmi2(TFastState& state, const TFastCodes& codes) {
  return DecodeSteps(state, codes);
}
#endif

using TDecodeLoop = TFastResult (*)(TFastState&, const TFastCodes&);

TDecodeLoop ChooseLoop() {
#if QEL_HAVE_BMI2_LOOP
  if (__builtin_cpu_supports("bmi2")) {
    return DecodeBmi2;
  }
#endif
  return DecodeGeneric;
}

}  // namespace

namespace {
std::atomic<bool> PortableOnly{false};
}  // namespace

std::optional<TCodecStatus> DecodeFast(TFastState& state, const TFastCodes& codes) {
  static const TDecodeLoop loop = ChooseLoop();
  return PortableOnly.load(std::memory_order_relaxed) ? DecodeGeneric(state, codes) : loop(state, codes);
}

void UsePortableFastLoop(bool portable) noexcept { PortableOnly.store(portable, std::memory_order_relaxed); }

}  // namespace qel::codecs
