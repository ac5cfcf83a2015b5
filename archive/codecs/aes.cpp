#include "archive/codecs/aes.h"

#include <cstring>

namespace qel::codecs {
namespace {

// Multiplication by x in GF(2^8) modulo the polynomial of FIPS-197 4.2.1, x^8+x^4+x^3+x+1.
constexpr std::uint8_t Times2(std::uint8_t b) {
  return static_cast<std::uint8_t>((b << 1) ^ ((b & 0x80) != 0 ? 0x1B : 0x00));
}

constexpr std::uint8_t RotateLeft8(std::uint8_t b, int n) {
  return static_cast<std::uint8_t>((b << n) | (b >> (8 - n)));
}

// FIPS-197 5.1.1: the multiplicative inverse (0 for 0), then the affine transformation with
// the constant 0x63. Derived here rather than typed, so no entry can be mistyped. The inverse
// comes from the powers of the generator 3, which run through every non-zero byte: the inverse
// of 3^i is 3^(255-i). (A search over all products would exceed the compilers' constant-
// evaluation limits.)
constexpr std::array<std::uint8_t, 256> MakeSBox() {
  std::array<std::uint8_t, 256> power{};  // power[i] = 3^i, i < 255
  std::array<std::uint8_t, 256> logarithm{};
  std::uint8_t value = 1;
  for (int i = 0; i < 255; ++i) {
    power[i] = value;
    logarithm[value] = static_cast<std::uint8_t>(i);
    value = static_cast<std::uint8_t>(Times2(value) ^ value);  // times 3
  }
  std::array<std::uint8_t, 256> box{};
  for (int x = 0; x < 256; ++x) {
    const std::uint8_t inverse = x == 0 ? 0 : power[(255 - logarithm[x]) % 255];
    box[x] = static_cast<std::uint8_t>(inverse ^ RotateLeft8(inverse, 1) ^ RotateLeft8(inverse, 2) ^
                                       RotateLeft8(inverse, 3) ^ RotateLeft8(inverse, 4) ^ 0x63);
  }
  return box;
}

constexpr std::array<std::uint8_t, 256> SBox = MakeSBox();
static_assert(SBox[0x00] == 0x63 && SBox[0x53] == 0xED, "S-box differs from FIPS-197 figure 7");

// Indexed by a state byte: SubBytes and MixColumns of that byte as one column word, the byte
// in row 0 of the column (FIPS-197 5.1.3: the column {02, 01, 01, 03} times S[x]). The other
// rows are the same word rotated.
constexpr std::array<std::uint32_t, 256> MakeRoundTable() {
  std::array<std::uint32_t, 256> table{};
  for (int x = 0; x < 256; ++x) {
    const std::uint8_t s = SBox[x];
    table[x] = static_cast<std::uint32_t>(Times2(s)) << 24 | static_cast<std::uint32_t>(s) << 16 |
               static_cast<std::uint32_t>(s) << 8 | static_cast<std::uint32_t>(Times2(s) ^ s);
  }
  return table;
}

constexpr std::array<std::uint32_t, 256> RoundTable = MakeRoundTable();

constexpr std::uint32_t RotateRight(std::uint32_t w, int n) { return (w >> n) | (w << (32 - n)); }

inline std::uint32_t LoadBe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

inline void StoreBe32(std::uint8_t* p, std::uint32_t w) {
  p[0] = static_cast<std::uint8_t>(w >> 24);
  p[1] = static_cast<std::uint8_t>(w >> 16);
  p[2] = static_cast<std::uint8_t>(w >> 8);
  p[3] = static_cast<std::uint8_t>(w);
}

constexpr std::uint32_t SubWord(std::uint32_t w) {
  return static_cast<std::uint32_t>(SBox[w >> 24]) << 24 | static_cast<std::uint32_t>(SBox[(w >> 16) & 0xFF]) << 16 |
         static_cast<std::uint32_t>(SBox[(w >> 8) & 0xFF]) << 8 | static_cast<std::uint32_t>(SBox[w & 0xFF]);
}

// One column of a middle round: column c takes row r from column c + r (ShiftRows).
inline std::uint32_t RoundColumn(const std::uint32_t* s, int c) {
  return RoundTable[s[c] >> 24] ^ RotateRight(RoundTable[(s[(c + 1) & 3] >> 16) & 0xFF], 8) ^
         RotateRight(RoundTable[(s[(c + 2) & 3] >> 8) & 0xFF], 16) ^ RotateRight(RoundTable[s[(c + 3) & 3] & 0xFF], 24);
}

// The last round has no MixColumns.
inline std::uint32_t LastRoundColumn(const std::uint32_t* s, int c) {
  return static_cast<std::uint32_t>(SBox[s[c] >> 24]) << 24 |
         static_cast<std::uint32_t>(SBox[(s[(c + 1) & 3] >> 16) & 0xFF]) << 16 |
         static_cast<std::uint32_t>(SBox[(s[(c + 2) & 3] >> 8) & 0xFF]) << 8 |
         static_cast<std::uint32_t>(SBox[s[(c + 3) & 3] & 0xFF]);
}

}  // namespace

// FIPS-197 5.2, KeyExpansion: Nk key words, then each word the one Nk before it XOR the one
// before it, transformed at every Nk-th word (and halfway for 256-bit keys).
void TAesKey::Expand(const std::uint8_t* key, std::size_t keyLength) {
  FRounds = 0;
  if (keyLength != 16 && keyLength != 24 && keyLength != 32) return;
  const std::size_t nk = keyLength / 4;
  const int rounds = static_cast<int>(nk) + 6;
  const std::size_t words = 4 * static_cast<std::size_t>(rounds + 1);
  std::uint32_t w[4 * (AesMaxRounds + 1)];
  for (std::size_t i = 0; i < nk; ++i) w[i] = LoadBe32(key + 4 * i);
  std::uint8_t rcon = 0x01;
  for (std::size_t i = nk; i < words; ++i) {
    std::uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      temp = SubWord(RotateRight(temp, 24)) ^ static_cast<std::uint32_t>(rcon) << 24;
      rcon = Times2(rcon);
    } else if (nk > 6 && i % nk == 4) {
      temp = SubWord(temp);
    }
    w[i] = w[i - nk] ^ temp;
  }
  for (std::size_t i = 0; i < words; ++i) StoreBe32(&FRoundKeys[4 * i], w[i]);
  FRounds = rounds;
}

void TAesKey::EncryptBlockPortable(const std::uint8_t* in, std::uint8_t* out) const {
  const std::uint8_t* roundKey = FRoundKeys.data();
  std::uint32_t s[4];
  for (int c = 0; c < 4; ++c) s[c] = LoadBe32(in + 4 * c) ^ LoadBe32(roundKey + 4 * c);
  for (int round = 1; round < FRounds; ++round) {
    roundKey += AesBlockSize;
    std::uint32_t t[4];
    for (int c = 0; c < 4; ++c) t[c] = RoundColumn(s, c) ^ LoadBe32(roundKey + 4 * c);
    std::memcpy(s, t, sizeof(s));
  }
  roundKey += AesBlockSize;
  for (int c = 0; c < 4; ++c) StoreBe32(out + 4 * c, LastRoundColumn(s, c) ^ LoadBe32(roundKey + 4 * c));
}

bool TAesCounterMode::HardwareAvailable() noexcept { return AesNiAvailable(); }

void TAesCounterMode::SetKey(const std::uint8_t* key, std::size_t keyLength) {
  FKey.Expand(key, keyLength);
  FCounterLow = 1;
  FCounterHigh = 0;
  FKeyStreamUsed = AesBlockSize;
}

void TAesCounterMode::NextKeyStreamBlock() {
  std::uint8_t counter[AesBlockSize];
  for (std::size_t i = 0; i < 8; ++i) {
    counter[i] = static_cast<std::uint8_t>(FCounterLow >> (8 * i));
    counter[8 + i] = static_cast<std::uint8_t>(FCounterHigh >> (8 * i));
  }
  if (++FCounterLow == 0) ++FCounterHigh;
  FKey.EncryptBlockPortable(counter, FKeyStream.data());
  FKeyStreamUsed = 0;
}

void TAesCounterMode::Apply(std::uint8_t* data, std::size_t count) {
  // First what is left of the block a previous call began.
  while (count > 0 && FKeyStreamUsed < AesBlockSize) {
    *data++ ^= FKeyStream[FKeyStreamUsed++];
    --count;
  }
  if (FHardware && count >= AesBlockSize) {
    const std::size_t blocks = count / AesBlockSize;
    AesNiCounterBlocks(FKey, FCounterLow, FCounterHigh, data, blocks);
    data += blocks * AesBlockSize;
    count -= blocks * AesBlockSize;
  }
  while (count > 0) {
    NextKeyStreamBlock();
    const std::size_t n = count < AesBlockSize ? count : AesBlockSize;
    for (std::size_t i = 0; i < n; ++i) data[i] ^= FKeyStream[i];
    FKeyStreamUsed = n;
    data += n;
    count -= n;
  }
}

}  // namespace qel::codecs
