// The compact tables of fast_codes.h; the reading map of inflate's files is in inflate.h.
#include "archive/codecs/fast_codes.h"

#include <algorithm>

namespace qel::codecs {

// What an entry takes stays below 32, so it also counts right in the five low bits of a
// 32-bit count: a fast code with its extra bits, or the extra bits alone of a walked code.
static_assert(FastLengthTakenBits < 32 && FastDistanceTakenBits < 32 && MaxExtraBits < 32,
              "a fast code and its extra bits fit the entry's taken bits");
static_assert(MaxCodeLength < 0x20u, "a code's own bits fit the entry's field");

namespace {

// The entry for the fastBits stream bits 'bits', from the first-level slot they select. The
// walk indexes each sub-table with the bits it has; where a sub-table is wider than the bits
// left, the missing high bits are taken as zeros. That finds the right slot whenever the code
// is no longer than fastBits, since a code shorter than its table fills every slot whose low
// bits are its own; a longer code, or an invalid one, is left to the tables.
TFastEntry WalkedEntry(const TDecodeEntry* slot, unsigned bits, unsigned fastBits, unsigned maxTaken) {
  unsigned used = 0;
  while (slot->Operation > OpLiteral) {
    if (slot->Operation == OpInvalid) {
      return FastSlow;
    }
    used += slot->Bits;
    if (used >= fastBits) {
      return FastSlow;
    }
    const unsigned n = slot->Operation - OpLiteral;
    slot = slot->Link + ((bits >> used) & ((1u << n) - 1));
  }
  used += slot->Bits;
  return used <= fastBits ? FastEntryOf(*slot, used, maxTaken) : FastSlow;
}

}  // namespace

void BuildFastTable(const TDecodeEntry* table, int lookupBits, unsigned fastBits, unsigned maxTaken,
                    TFastEntry* fast) {
  const unsigned size = 1u << fastBits;
  if (table == nullptr) {
    std::fill_n(fast, size, FastSlow);
    return;
  }
  // A code of the first level has the same entry whatever the bits beyond it: the first
  // level's entries, repeated, are right everywhere but below its links.
  const unsigned firstSize = 1u << lookupBits;
  for (unsigned first = 0; first < firstSize; ++first) {
    // A code shorter than the first level fills every slot whose low bits are its own: past
    // its first slot, its entry is already made.
    const TDecodeEntry& slot = table[first];
    const unsigned codeSize = 1u << slot.Bits;
    fast[first] = slot.Operation <= OpLiteral && first >= codeSize ? fast[first & (codeSize - 1)]
                                                                   : FastEntryOf(slot, slot.Bits, maxTaken);
  }
  for (unsigned filled = firstSize; filled < size; filled *= 2) {
    std::copy_n(fast, filled, fast + filled);
  }
  for (unsigned first = 0; first < firstSize; ++first) {
    if (table[first].Operation > OpLiteral) {
      for (unsigned i = first; i < size; i += firstSize) {
        fast[i] = WalkedEntry(&table[first], i, fastBits, maxTaken);
      }
    }
  }
}

}  // namespace qel::codecs
