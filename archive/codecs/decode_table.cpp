// The table builder of decode_table.h, shared by inflate and explode; inflate's reading map is in inflate.h.
#include "archive/codecs/decode_table.h"

#include <algorithm>
#include <new>

namespace qel::codecs {

TDecodeEntry* TDecodeTableMemory::Allocate(std::size_t slots) noexcept {
  return new (std::nothrow) TDecodeEntry[slots];
}

void TDecodeTableMemory::Release(TDecodeEntry* block) noexcept { delete[] block; }

void FreeDecodeTables(TDecodeEntry* table, TDecodeTableMemory& memory) noexcept {
  // A caller holds the table proper, which starts one slot into its block.
  while (table != nullptr) {
    TDecodeEntry* block = table - 1;
    TDecodeEntry* next = block->Link;
    memory.Release(block);
    table = next;
  }
}

namespace {

// The state of one build: the code lengths sorted into canonical order and the tables made
// so far, one per level of the code currently being placed.
class TTableBuilder final {
 public:
  TTableBuilder(unsigned s, const std::uint16_t* bases, const std::uint16_t* extras,
                TDecodeTableMemory& memory, TDecodeEntry*& table)
      : FSimpleBelow(s), FBases(bases), FExtras(extras), FMemory(memory), FTable(table) {}

  TBuildStatus Build(const std::uint8_t* lengths, unsigned n, int& lookupBits);

 private:
  bool OpenTables(unsigned length, unsigned codesLeft);
  TDecodeEntry SlotFor(unsigned length);
  void PlaceCode(unsigned length);

  const unsigned FSimpleBelow;
  const std::uint16_t* FBases;
  const std::uint16_t* FExtras;
  TDecodeTableMemory& FMemory;
  TDecodeEntry*& FTable;

  unsigned FCount[MaxCodeLength + 1] = {};  // codes per length, dummy codes included
  std::uint16_t FValues[MaxCodeValues] = {};  // values with a length, by length then value
  unsigned FValueCount = 0;
  unsigned FNextValue = 0;
  int FLongest = 0;
  int FLookup = 0;

  unsigned FCode = 0;  // current code, bit-reversed so it indexes the tables directly
  int FLevel = -1;     // level of the current table, -1 before the first
  int FDecoded = 0;    // bits decoded by the levels above the current table
  TDecodeEntry* FLevelTable[MaxCodeLength] = {};
  unsigned FLevelSize[MaxCodeLength] = {};
  unsigned FLevelPrefix[MaxCodeLength + 1] = {};  // code bits below FDecoded when the level opened
  TDecodeEntry** FChainEnd = nullptr;             // where the next block of the chain is linked
};

TBuildStatus TTableBuilder::Build(const std::uint8_t* lengths, unsigned n, int& lookupBits) {
  FTable = nullptr;
  if (n > MaxCodeValues) {
    return TBuildStatus::OverSubscribed;
  }
  for (unsigned i = 0; i < n; ++i) {
    if (lengths[i] > MaxCodeLength) {
      return TBuildStatus::OverSubscribed;
    }
    ++FCount[lengths[i]];
  }
  if (FCount[0] == n) {
    lookupBits = 0;
    return TBuildStatus::Complete;
  }

  int shortest = 1;
  while (FCount[shortest] == 0) {
    ++shortest;
  }
  FLongest = static_cast<int>(MaxCodeLength);
  while (FCount[FLongest] == 0) {
    --FLongest;
  }
  FLookup = std::clamp(lookupBits, shortest, FLongest);
  lookupBits = FLookup;

  // Kraft check: unused is the number of free codes of the current length. The free codes
  // of the longest length become dummy codes that decode as invalid.
  int unused = 1 << shortest;
  for (int j = shortest; j < FLongest; ++j) {
    unused -= static_cast<int>(FCount[j]);
    if (unused < 0) {
      return TBuildStatus::OverSubscribed;
    }
    unused <<= 1;
  }
  unused -= static_cast<int>(FCount[FLongest]);
  if (unused < 0) {
    return TBuildStatus::OverSubscribed;
  }
  FCount[FLongest] += static_cast<unsigned>(unused);

  unsigned offset[MaxCodeLength + 2] = {};
  for (int j = 1; j < FLongest; ++j) {
    offset[j + 1] = offset[j] + FCount[j];
  }
  for (unsigned i = 0; i < n; ++i) {
    if (lengths[i] != 0) {
      FValues[offset[lengths[i]]++] = static_cast<std::uint16_t>(i);
      ++FValueCount;
    }
  }

  FDecoded = -FLookup;
  FChainEnd = &FTable;
  for (int length = shortest; length <= FLongest; ++length) {
    for (unsigned left = FCount[length]; left > 0; --left) {
      if (!OpenTables(static_cast<unsigned>(length), left)) {
        FreeDecodeTables(FTable, FMemory);
        FTable = nullptr;
        FMemory.OutOfMemory();
        return TBuildStatus::OutOfMemory;
      }
      PlaceCode(static_cast<unsigned>(length));
    }
  }
  // A lone code of one bit is taken as complete.
  return (unused != 0 && FLongest != 1) ? TBuildStatus::Incomplete : TBuildStatus::Complete;
}

// Opens the tables a code of this length needs below the current one. codesLeft counts the
// codes of this length still to place, this one included. Each new table is made just wide
// enough for the codes that share its prefix, at most FLookup bits.
bool TTableBuilder::OpenTables(unsigned length, unsigned codesLeft) {
  while (static_cast<int>(length) > FDecoded + FLookup) {
    ++FLevel;
    FDecoded += FLookup;
    const unsigned widest = static_cast<unsigned>(std::min(FLongest - FDecoded, FLookup));
    unsigned width = length - static_cast<unsigned>(FDecoded);
    unsigned free = 1u << width;
    if (width >= widest) {
      // The code goes on below this table (or just fills it): it takes the widest size, so
      // that every table with sub-tables is FLookup bits wide, as its links assume.
      width = widest;
    } else if (free > codesLeft) {
      free -= codesLeft;
      unsigned longer = length;
      // longer stays at most FLongest, as width stays below widest; the bound says so to the
      // optimiser too.
      while (++width < widest && longer < MaxCodeLength) {
        free <<= 1;
        ++longer;
        if (free <= FCount[longer]) {
          break;
        }
        free -= FCount[longer];
      }
    }
    const unsigned size = 1u << width;

    TDecodeEntry* block = FMemory.Allocate(size + 1);
    if (block == nullptr) {
      return false;
    }
    block->Operation = 0;
    block->Bits = 0;
    block->Link = nullptr;
    TDecodeEntry* table = block + 1;
    *FChainEnd = table;
    FChainEnd = &block->Link;
    FLevelTable[FLevel] = table;
    FLevelSize[FLevel] = size;

    if (FLevel > 0) {
      FLevelPrefix[FLevel] = FCode;
      TDecodeEntry link;
      link.Operation = static_cast<std::uint8_t>(OpLiteral + width);
      link.Bits = static_cast<std::uint8_t>(FLookup);
      link.Link = table;
      FLevelTable[FLevel - 1][FCode >> (FDecoded - FLookup)] = link;
    }
  }
  return true;
}

TDecodeEntry TTableBuilder::SlotFor(unsigned length) {
  TDecodeEntry slot;
  slot.Bits = static_cast<std::uint8_t>(length - static_cast<unsigned>(FDecoded));
  if (FNextValue >= FValueCount) {
    slot.Operation = OpInvalid;  // a dummy code filling an incomplete code space
    slot.Value = 0;
    return slot;
  }
  const unsigned value = FValues[FNextValue++];
  if (value < FSimpleBelow) {
    slot.Operation = value < 256 ? OpLiteral : OpEndOfBlock;
    slot.Value = static_cast<std::uint16_t>(value);
  } else {
    slot.Operation = static_cast<std::uint8_t>(FExtras[value - FSimpleBelow]);
    slot.Value = FBases[value - FSimpleBelow];
  }
  return slot;
}

void TTableBuilder::PlaceCode(unsigned length) {
  const TDecodeEntry slot = SlotFor(length);
  // The code fills every slot whose low bits are its own remaining bits.
  TDecodeEntry* table = FLevelTable[FLevel];
  const unsigned step = 1u << (length - static_cast<unsigned>(FDecoded));
  for (unsigned j = FCode >> FDecoded; j < FLevelSize[FLevel]; j += step) {
    table[j] = slot;
  }

  // Next code of this length in bit-reversed order: add one at the code's first bit.
  unsigned bit = 1u << (length - 1);
  while ((FCode & bit) != 0) {
    FCode ^= bit;
    bit >>= 1;
  }
  FCode ^= bit;
  // Leave the levels whose prefix the next code no longer shares.
  while ((FCode & ((1u << FDecoded) - 1)) != FLevelPrefix[FLevel]) {
    --FLevel;
    FDecoded -= FLookup;
  }
}

}  // namespace

TBuildStatus BuildDecodeTable(const std::uint8_t* lengths, unsigned n, unsigned s,
                               const std::uint16_t* bases, const std::uint16_t* extras,
                               TDecodeEntry*& table, int& lookupBits, TDecodeTableMemory& memory) {
  TTableBuilder builder(s, bases, extras, memory, table);
  return builder.Build(lengths, n, lookupBits);
}

}  // namespace qel::codecs
