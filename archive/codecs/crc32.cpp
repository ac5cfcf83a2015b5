#include "archive/codecs/crc32.h"

#include "archive/codecs/crc32_folding.h"

namespace qel::codecs {
namespace {

// The constant table is typed out; make sure no entry was mistyped by deriving each one from
// the polynomial at compile time.
constexpr bool TableMatchesPolynomial() {
  for (std::uint32_t i = 0; i < 256; ++i) {
    std::uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) {
      c = (c & 1u) ? (c >> 1) ^ CrcPolynomial : c >> 1;
    }
    if (c != CrcTable[i]) {
      return false;
    }
  }
  return true;
}
static_assert(TableMatchesPolynomial(), "CrcTable does not match the ZIP polynomial");

constexpr std::size_t SliceCount = 16;
using TSliceTables = std::array<std::array<std::uint32_t, 256>, SliceCount>;

// Slice k of byte b is the register change of b followed by k zero bytes, so sixteen bytes can
// be folded into the register with sixteen independent lookups. Derived from the constant table
// at compile time.
constexpr TSliceTables MakeSliceTables() {
  TSliceTables tables{};
  tables[0] = CrcTable;
  for (std::size_t k = 1; k < SliceCount; ++k) {
    for (std::size_t b = 0; b < 256; ++b) {
      const std::uint32_t previous = tables[k - 1][b];
      tables[k][b] = (previous >> 8) ^ CrcTable[previous & 0xFFu];
    }
  }
  return tables;
}

constexpr TSliceTables SliceTables = MakeSliceTables();

inline std::uint32_t LoadLe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

}  // namespace

std::uint32_t UpdateCRCByTables(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  const auto& t = SliceTables;
  while (size >= SliceCount) {
    const std::uint32_t w0 = crc ^ LoadLe32(data);
    const std::uint32_t w1 = LoadLe32(data + 4);
    const std::uint32_t w2 = LoadLe32(data + 8);
    const std::uint32_t w3 = LoadLe32(data + 12);
    crc = t[15][w0 & 0xFFu] ^ t[14][(w0 >> 8) & 0xFFu] ^ t[13][(w0 >> 16) & 0xFFu] ^ t[12][w0 >> 24] ^
          t[11][w1 & 0xFFu] ^ t[10][(w1 >> 8) & 0xFFu] ^ t[9][(w1 >> 16) & 0xFFu] ^ t[8][w1 >> 24] ^
          t[7][w2 & 0xFFu] ^ t[6][(w2 >> 8) & 0xFFu] ^ t[5][(w2 >> 16) & 0xFFu] ^ t[4][w2 >> 24] ^
          t[3][w3 & 0xFFu] ^ t[2][(w3 >> 8) & 0xFFu] ^ t[1][(w3 >> 16) & 0xFFu] ^ t[0][w3 >> 24];
    data += SliceCount;
    size -= SliceCount;
  }
  while (size > 0) {
    crc = UpdateCRC(crc, *data++);
    --size;
  }
  return crc;
}

std::uint32_t UpdateCRC(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  if (size >= FoldingMinimum && FoldingAvailable()) {
    std::size_t consumed = 0;
    crc = FoldCRC(crc, data, size, consumed);
    data += consumed;
    size -= consumed;
  }
  return UpdateCRCByTables(crc, data, size);
}

}  // namespace qel::codecs
