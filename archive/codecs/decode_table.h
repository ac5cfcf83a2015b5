// Multi-level decoding tables for canonical prefix codes, shared by inflate and explode.
//
// A table of 2^j slots is indexed by the next j stream bits in the order they arrive (least
// significant first). A slot either decodes a value, or links to a sub-table indexed by
// further bits. Each table is one block of 2^j + 1 slots: the first slot only links to the
// block allocated next for the same code, so one walk from the first-level table releases
// every block of the code.
#pragma once

#include <cstddef>
#include <cstdint>

namespace qel::codecs {

// Slot operations. 0 to 16: a base value followed by that many extra bits (Deflate64's last
// length code carries 16).
inline constexpr std::uint8_t OpEndOfBlock = 17;
inline constexpr std::uint8_t OpLiteral = 18;
// 19 to 34: a link to a sub-table indexed by (operation - OpLiteral) further bits.
inline constexpr std::uint8_t OpInvalid = 99;

// Whether a table of operations for the values from s on (BuildDecodeTable's extras) holds
// only extra-bit counts below the operations above them, or OpInvalid: a count of 17 would
// decode as the end of a block. Each caller's tables are checked with it in a static_assert.
template <class TOperations>
constexpr bool OperationsAreSlotOperations(const TOperations& operations) {
  for (const auto operation : operations) {
    if (operation >= OpEndOfBlock && operation != OpInvalid) return false;
  }
  return true;
}

struct TDecodeEntry {
  std::uint8_t Operation;
  std::uint8_t Bits;  // stream bits this slot accounts for
  union {
    std::uint16_t Value;  // literal, base length or base distance
    TDecodeEntry* Link;   // sub-table, or for a block's first slot the next block
  };
};

// Results of BuildDecodeTable. The decoders map them to their own statuses explicitly, since
// what an incomplete code means differs between methods.
enum class TBuildStatus : std::uint8_t {
  Complete,
  Incomplete,  // usable; the missing codes decode as OpInvalid
  OverSubscribed,
  OutOfMemory,
};

inline constexpr unsigned MaxCodeLength = 16;
inline constexpr unsigned MaxCodeValues = 288;

// Where table blocks come from. The default takes them from the heap; the frame forwards
// OutOfMemory to its host, and tests replace the allocation to exercise its failure.
class TDecodeTableMemory {
 public:
  virtual ~TDecodeTableMemory() = default;
  // A block of the given number of slots, or nullptr.
  virtual TDecodeEntry* Allocate(std::size_t slots) noexcept;
  virtual void Release(TDecodeEntry* block) noexcept;
  // Told after a failed allocation, once the tables of the code have been released.
  virtual void OutOfMemory() {}
};

// Builds the table for n code lengths (0 to MaxCodeLength; 0 means the value is unused) of
// the values 0 to n - 1. Values below s decode to themselves (OpLiteral below 256, else
// OpEndOfBlock); a value v from s on decodes to operation extras[v - s] and value
// bases[v - s]. lookupBits comes in as the wanted first-level width and goes out as the one
// used. On BuildComplete and BuildIncomplete, table is the first-level table (nullptr when
// every length is 0); on the other statuses no table is left.
TBuildStatus BuildDecodeTable(const std::uint8_t* lengths, unsigned n, unsigned s,
                               const std::uint16_t* bases, const std::uint16_t* extras,
                               TDecodeEntry*& table, int& lookupBits, TDecodeTableMemory& memory);

// Releases every block of one code; table may be nullptr.
void FreeDecodeTables(TDecodeEntry* table, TDecodeTableMemory& memory) noexcept;

// Owns the tables of one code for the length of a block, so they are released on every path,
// also when reading input raises.
class TDecodeTableOwner final {
 public:
  explicit TDecodeTableOwner(TDecodeTableMemory& memory) : FMemory(memory) {}
  ~TDecodeTableOwner() { FreeDecodeTables(FTable, FMemory); }
  TDecodeTableOwner(const TDecodeTableOwner&) = delete;
  TDecodeTableOwner& operator=(const TDecodeTableOwner&) = delete;

  TBuildStatus Build(const std::uint8_t* lengths, unsigned n, unsigned s, const std::uint16_t* bases,
                      const std::uint16_t* extras, int& lookupBits) {
    Reset();
    return BuildDecodeTable(lengths, n, s, bases, extras, FTable, lookupBits, FMemory);
  }
  void Reset() noexcept {
    FreeDecodeTables(FTable, FMemory);
    FTable = nullptr;
  }
  const TDecodeEntry* Table() const noexcept { return FTable; }

 private:
  TDecodeTableMemory& FMemory;
  TDecodeEntry* FTable = nullptr;
};

// The walk from a first-level slot through the sub-tables to the slot of the code, dropping
// each level's bits on the way; nullptr for an invalid code. TBits gives the stream's bits as
// the tables index them: Need(n) makes n bits available, Peek(n) reads them, Drop(n) consumes
// them. (Explode's encoder sends its codes complemented, so its bits come inverted.)
template <class TBits>
inline const TDecodeEntry* WalkToCode(const TDecodeEntry* slot, TBits& bits) {
  while (slot->Operation > OpLiteral) {
    if (slot->Operation == OpInvalid) {
      return nullptr;
    }
    bits.Drop(slot->Bits);
    const unsigned n = slot->Operation - OpLiteral;
    bits.Need(n);
    slot = slot->Link + bits.Peek(n);
  }
  bits.Drop(slot->Bits);
  return slot;
}

// Decodes the next code with a table of lookupBits first-level bits.
template <class TBits>
inline const TDecodeEntry* DecodeCode(const TDecodeEntry* table, unsigned lookupBits, TBits& bits) {
  bits.Need(lookupBits);
  return WalkToCode(table + bits.Peek(lookupBits), bits);
}

}  // namespace qel::codecs
