#include "archive/codecs/decode_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "deflate_writer.h"
#include "memory_host.h"

namespace qel::codecs {
namespace {

using Lengths = std::vector<std::uint8_t>;

struct Built {
  TBuildStatus Status = TBuildStatus::Complete;
  TDecodeEntry* Table;
  int LookupBits;
};

Built Build(const Lengths& lengths, int lookupBits, TDecodeTableMemory& memory, unsigned s = 0,
            const std::uint16_t* bases = nullptr, const std::uint16_t* extras = nullptr) {
  static std::uint16_t identity[MaxCodeValues];
  static std::uint16_t noExtras[MaxCodeValues];
  for (unsigned i = 0; i < MaxCodeValues; ++i) {
    identity[i] = static_cast<std::uint16_t>(i);
  }
  Built built{TBuildStatus::Complete, nullptr, lookupBits};
  built.Status = BuildDecodeTable(lengths.data(), static_cast<unsigned>(lengths.size()), s,
                                  bases ? bases : identity, extras ? extras : noExtras, built.Table,
                                  built.LookupBits, memory);
  return built;
}

// Follows the tables with the given stream bits (first bit in bit 0) as a decoder does;
// returns the final slot and the bits it took.
const TDecodeEntry* Walk(const TDecodeEntry* table, int lookupBits, std::uint32_t bits, unsigned& used) {
  used = 0;
  const TDecodeEntry* slot = table + (bits & ((1u << lookupBits) - 1));
  while (slot->Operation > OpLiteral && slot->Operation != OpInvalid) {
    used += slot->Bits;
    bits >>= slot->Bits;
    const unsigned n = slot->Operation - OpLiteral;
    slot = slot->Link + (bits & ((1u << n) - 1));
  }
  used += slot->Bits;
  return slot;
}

std::uint32_t Reversed(std::uint32_t code, unsigned length) {
  std::uint32_t r = 0;
  for (unsigned i = 0; i < length; ++i) {
    r |= ((code >> i) & 1u) << (length - 1 - i);
  }
  return r;
}

// Every value must decode from its canonical code, whatever bits follow the code, and take
// exactly its length in bits.
void ExpectDecodesCanonically(const Lengths& lengths, const Built& built) {
  const std::vector<std::uint32_t> codes = testing::CanonicalCodes(lengths);
  for (std::size_t v = 0; v < lengths.size(); ++v) {
    if (lengths[v] == 0) {
      continue;
    }
    for (std::uint32_t tail : {0u, 0xFFFFFFFFu, 0x5A5A5A5Au}) {
      const std::uint32_t bits = Reversed(codes[v], lengths[v]) | (tail << lengths[v]);
      unsigned used = 0;
      const TDecodeEntry* slot = Walk(built.Table, built.LookupBits, bits, used);
      ASSERT_NE(slot->Operation, OpInvalid) << "value " << v;
      ASSERT_EQ(slot->Value, v) << "value " << v;
      ASSERT_EQ(used, lengths[v]) << "value " << v;
    }
  }
}

TEST(DecodeTable, StatusesFollowTheCodeSpace) {
  testing::CountingTableMemory memory;
  struct Case {
    Lengths L;
    TBuildStatus Status;
    bool HasTable;
  };
  const Case cases[] = {
      {{0, 0, 0}, TBuildStatus::Complete, false},
      {{1, 1}, TBuildStatus::Complete, true},
      {{1, 2, 3, 3}, TBuildStatus::Complete, true},
      {{1, 2, 3}, TBuildStatus::Incomplete, true},
      {{2, 2, 2}, TBuildStatus::Incomplete, true},
      {{1, 1, 1}, TBuildStatus::OverSubscribed, false},
      {{1, 2, 2, 3}, TBuildStatus::OverSubscribed, false},
      {{0, 1, 0}, TBuildStatus::Complete, true},  // a lone one-bit code counts as complete
      {{0, 2, 0}, TBuildStatus::Incomplete, true},
      {{17}, TBuildStatus::OverSubscribed, false},
  };
  for (const Case& c : cases) {
    Built built = Build(c.L, 7, memory);
    EXPECT_EQ(built.Status, c.Status);
    EXPECT_EQ(built.Table != nullptr, c.HasTable);
    FreeDecodeTables(built.Table, memory);
    EXPECT_EQ(memory.Live, 0);
  }
}

TEST(DecodeTable, LookupBitsAreClampedToTheShortestAndLongestCode) {
  testing::CountingTableMemory memory;
  struct Case {
    Lengths L;
    int Requested;
    int Used;
  };
  const Case cases[] = {
      {{3, 3, 3, 3, 3, 3, 3, 3}, 9, 3},
      {{4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4}, 2, 4},
      {{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 13}, 9, 9},
      {{0, 0}, 9, 0},
  };
  for (const Case& c : cases) {
    Built built = Build(c.L, c.Requested, memory);
    EXPECT_EQ(built.LookupBits, c.Used);
    FreeDecodeTables(built.Table, memory);
  }
  EXPECT_EQ(memory.Live, 0);
}

// Dummy codes of an incomplete code decode as invalid, with the bits of the longest length.
TEST(DecodeTable, MissingCodesOfAnIncompleteCodeAreInvalid) {
  testing::CountingTableMemory memory;
  const Lengths lengths = {1, 2};  // codes 0 and 10; 11 is missing
  Built built = Build(lengths, 2, memory);
  ASSERT_EQ(built.Status, TBuildStatus::Incomplete);
  unsigned used = 0;
  const TDecodeEntry* slot = Walk(built.Table, built.LookupBits, 0b11, used);
  EXPECT_EQ(slot->Operation, OpInvalid);
  EXPECT_EQ(used, 2u);
  ExpectDecodesCanonically(lengths, built);
  FreeDecodeTables(built.Table, memory);
  EXPECT_EQ(memory.Live, 0);
}

TEST(DecodeTable, ValuesMapToLiteralsEndOfBlockOrBasesWithExtraBits) {
  testing::CountingTableMemory memory;
  const Lengths lengths = {2, 2, 2, 3, 3};  // values 0..4
  const std::uint16_t bases[] = {100, 200};
  const std::uint16_t extras[] = {4, 7};
  Built built = Build(lengths, 3, memory, 3, bases, extras);
  ASSERT_EQ(built.Status, TBuildStatus::Complete);
  const std::vector<std::uint32_t> codes = testing::CanonicalCodes(lengths);
  const struct {
    unsigned Value;
    std::uint8_t Operation;
    std::uint16_t Decoded;
  } expected[] = {{0, OpLiteral, 0}, {2, OpLiteral, 2}, {3, 4, 100}, {4, 7, 200}};
  for (const auto& e : expected) {
    unsigned used = 0;
    const TDecodeEntry* slot = Walk(built.Table, built.LookupBits, Reversed(codes[e.Value], lengths[e.Value]), used);
    EXPECT_EQ(slot->Operation, e.Operation) << e.Value;
    EXPECT_EQ(slot->Value, e.Decoded) << e.Value;
  }
  FreeDecodeTables(built.Table, memory);

  // With s above 256, values from 256 on are the end-of-block code.
  Lengths wide(258, 0);
  wide[65] = 1;
  wide[256] = 1;
  built = Build(wide, 9, memory, 257);
  ASSERT_EQ(built.Status, TBuildStatus::Complete);
  EXPECT_EQ(built.Table[0].Operation, OpLiteral);
  EXPECT_EQ(built.Table[0].Value, 65);
  EXPECT_EQ(built.Table[1].Operation, OpEndOfBlock);
  FreeDecodeTables(built.Table, memory);
  EXPECT_EQ(memory.Live, 0);
}

// Random codes with lengths up to 16 need sub-tables at several levels; every value must
// still decode from its own code, and releasing must return every block.
TEST(DecodeTable, RandomCodesDecodeCanonicallyThroughSubTables) {
  testing::CountingTableMemory memory;
  std::mt19937 random(1951);
  for (int round = 0; round < 400; ++round) {
    const unsigned n = 2 + random() % 287;
    // Split the code space at random: an interval of the space per value, kept a power of two.
    Lengths lengths(n, 0);
    std::vector<unsigned> open = {0};  // lengths of unassigned subtrees
    std::vector<unsigned> order(n);
    for (unsigned i = 0; i < n; ++i) {
      order[i] = i;
    }
    std::shuffle(order.begin(), order.end(), random);
    std::size_t next = 0;
    while (!open.empty() && next < n) {
      const std::size_t pick = random() % open.size();
      const unsigned depth = open[pick];
      const bool split = depth == 0 || (depth < 16 && random() % 3 != 0 && open.size() + next < n);
      open.erase(open.begin() + static_cast<std::ptrdiff_t>(pick));
      if (split) {
        open.push_back(depth + 1);
        open.push_back(depth + 1);
      } else {
        lengths[order[next++]] = static_cast<std::uint8_t>(depth);
      }
    }
    // A lone one-bit code is taken as complete.
    const bool complete = open.empty() || *std::max_element(lengths.begin(), lengths.end()) == 1;
    const int requested = 1 + static_cast<int>(random() % 9);
    Built built = Build(lengths, requested, memory);
    ASSERT_EQ(built.Status, complete ? TBuildStatus::Complete : TBuildStatus::Incomplete) << "round " << round;
    ExpectDecodesCanonically(lengths, built);
    FreeDecodeTables(built.Table, memory);
    ASSERT_EQ(memory.Live, 0) << "round " << round;
  }
}

// A failure at any allocation leaves nothing allocated, no table, status 3 and one notice.
TEST(DecodeTable, AllocationFailureAtAnyBlockReleasesTheOthers) {
  Lengths lengths(288);
  for (unsigned i = 0; i < 288; ++i) {
    lengths[i] = static_cast<std::uint8_t>(i < 16 ? 5 : i < 144 ? 9 : 10);
  }
  testing::CountingTableMemory probe;
  Built full = Build(lengths, 7, probe);
  ASSERT_LE(full.Status, TBuildStatus::Incomplete);
  FreeDecodeTables(full.Table, probe);
  ASSERT_GT(probe.Allocations, 2);
  for (int failAt = 0; failAt < probe.Allocations; ++failAt) {
    testing::CountingTableMemory memory;
    memory.FailAt = failAt;
    Built built = Build(lengths, 7, memory);
    EXPECT_EQ(built.Status, TBuildStatus::OutOfMemory);
    EXPECT_EQ(built.Table, nullptr);
    EXPECT_EQ(memory.Live, 0);
    EXPECT_EQ(memory.OutOfMemoryCalls, 1);
  }
}

}  // namespace
}  // namespace qel::codecs
