#include "archive/codecs/sha1.h"

#include <cstring>

namespace qel::codecs {
namespace {

// FIPS 180-4 5.3.1: the initial hash value.
constexpr TSha1State InitialState = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};
// FIPS 180-4 4.2.1: the constant of each group of twenty rounds.
constexpr std::uint32_t RoundConstants[4] = {0x5A827999u, 0x6ED9EBA1u, 0x8F1BBCDCu, 0xCA62C1D6u};

constexpr std::uint32_t RotateLeft(std::uint32_t w, int n) { return (w << n) | (w >> (32 - n)); }

inline std::uint32_t LoadBe32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) << 24 | static_cast<std::uint32_t>(p[1]) << 16 |
         static_cast<std::uint32_t>(p[2]) << 8 | static_cast<std::uint32_t>(p[3]);
}

// FIPS 180-4 6.1.2, one block: the schedule kept as a ring of sixteen words.
void CompressPortable(TSha1State& state, const std::uint8_t* block) {
  std::uint32_t w[16];
  for (int t = 0; t < 16; ++t) w[t] = LoadBe32(block + 4 * t);
  std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int t = 0; t < 80; ++t) {
    if (t >= 16) {
      w[t & 15] = RotateLeft(w[(t - 3) & 15] ^ w[(t - 8) & 15] ^ w[(t - 14) & 15] ^ w[t & 15], 1);
    }
    std::uint32_t f;
    if (t < 20) {
      f = (b & c) | (~b & d);  // Ch
    } else if (t < 40 || t >= 60) {
      f = b ^ c ^ d;  // Parity
    } else {
      f = (b & c) | (b & d) | (c & d);  // Maj
    }
    const std::uint32_t temp = RotateLeft(a, 5) + f + e + RoundConstants[t / 20] + w[t & 15];
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = temp;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

}  // namespace

bool TSha1::HardwareAvailable() noexcept { return Sha1NiAvailable(); }

void TSha1::Reset() {
  FState = InitialState;
  FBuffered = 0;
  FLength = 0;
}

void TSha1::Compress(const std::uint8_t* blocks, std::size_t count) {
  if (FHardware) {
    Sha1NiCompress(FState, blocks, count);
    return;
  }
  for (std::size_t i = 0; i < count; ++i) CompressPortable(FState, blocks + Sha1BlockSize * i);
}

void TSha1::Update(const std::uint8_t* data, std::size_t count) {
  FLength += count;
  if (FBuffered > 0) {
    const std::size_t n = count < Sha1BlockSize - FBuffered ? count : Sha1BlockSize - FBuffered;
    std::memcpy(FBuffer.data() + FBuffered, data, n);
    FBuffered += n;
    data += n;
    count -= n;
    if (FBuffered < Sha1BlockSize) return;
    Compress(FBuffer.data(), 1);
    FBuffered = 0;
  }
  const std::size_t blocks = count / Sha1BlockSize;
  if (blocks > 0) Compress(data, blocks);
  data += blocks * Sha1BlockSize;
  count -= blocks * Sha1BlockSize;
  std::memcpy(FBuffer.data(), data, count);
  FBuffered = count;
}

// FIPS 180-4 5.1.1: a one bit, zeros up to 56 bytes modulo 64, the length in bits big-endian.
TSha1Digest TSha1::Final() {
  const std::uint64_t bits = FLength * 8;
  std::uint8_t padding[Sha1BlockSize * 2] = {0x80};
  const std::size_t padLength = (FBuffered < 56 ? 56 : 120) - FBuffered;
  for (int i = 0; i < 8; ++i) padding[padLength + i] = static_cast<std::uint8_t>(bits >> (56 - 8 * i));
  Update(padding, padLength + 8);
  TSha1Digest digest;
  for (std::size_t i = 0; i < FState.size(); ++i) {
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<std::uint8_t>(FState[i] >> (24 - 8 * j));
  }
  return digest;
}

}  // namespace qel::codecs
