#include "archive/codecs/crc32.h"

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

constexpr std::size_t SliceCount = 8;
using TSliceTables = std::array<std::array<std::uint32_t, 256>, SliceCount>;

// Slice k of byte b is the register change of b followed by k zero bytes, so eight bytes can be
// folded into the register with eight independent lookups. Derived from the constant table
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

std::uint32_t UpdateCRC(std::uint32_t crc, const std::uint8_t* data, std::size_t size) {
  const auto& t = SliceTables;
  while (size >= SliceCount) {
    const std::uint32_t low = crc ^ LoadLe32(data);
    const std::uint32_t high = LoadLe32(data + 4);
    crc = t[7][low & 0xFFu] ^ t[6][(low >> 8) & 0xFFu] ^ t[5][(low >> 16) & 0xFFu] ^
          t[4][low >> 24] ^ t[3][high & 0xFFu] ^ t[2][(high >> 8) & 0xFFu] ^
          t[1][(high >> 16) & 0xFFu] ^ t[0][high >> 24];
    data += SliceCount;
    size -= SliceCount;
  }
  while (size > 0) {
    crc = UpdateCRC(crc, *data++);
    --size;
  }
  return crc;
}

}  // namespace qel::codecs
