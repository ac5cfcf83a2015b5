#include "archive/codecs/hmac_sha1.h"

#include <algorithm>
#include <array>

namespace qel::codecs {
namespace {

// RFC 2104 section 2: the bytes the padded key is XORed with for the inner and the outer hash.
constexpr std::uint8_t InnerPad = 0x36;
constexpr std::uint8_t OuterPad = 0x5C;

}  // namespace

void THmacSha1::SetKey(const std::uint8_t* key, std::size_t keyLength) {
  std::array<std::uint8_t, Sha1BlockSize> block{};
  if (keyLength > Sha1BlockSize) {
    TSha1 hash;
    hash.Update(key, keyLength);
    const TSha1Digest digest = hash.Final();
    std::copy(digest.begin(), digest.end(), block.begin());
  } else {
    std::copy(key, key + keyLength, block.begin());
  }
  std::array<std::uint8_t, Sha1BlockSize> pad;
  for (std::size_t i = 0; i < block.size(); ++i) pad[i] = block[i] ^ InnerPad;
  FInnerStart.Reset();
  FInnerStart.Update(pad.data(), pad.size());
  for (std::size_t i = 0; i < block.size(); ++i) pad[i] = block[i] ^ OuterPad;
  FOuterStart.Reset();
  FOuterStart.Update(pad.data(), pad.size());
  FInner = FInnerStart;
}

TSha1Digest THmacSha1::Final() {
  const TSha1Digest inner = FInner.Final();
  TSha1 outer = FOuterStart;
  outer.Update(inner.data(), inner.size());
  FInner = FInnerStart;
  return outer.Final();
}

// T_i = U_1 ^ U_2 ^ ... ^ U_c with U_1 = PRF(P, S || INT(i)) and U_j = PRF(P, U_{j-1}); the key
// schedule of the PRF is made once, so each iteration costs two compressions.
void Pbkdf2HmacSha1(const std::uint8_t* password, std::size_t passwordLength, const std::uint8_t* salt,
                    std::size_t saltLength, std::uint32_t iterations, std::uint8_t* output, std::size_t outputLength) {
  THmacSha1 prf;
  prf.SetKey(password, passwordLength);
  for (std::uint32_t blockIndex = 1; outputLength > 0; ++blockIndex) {
    const std::uint8_t index[4] = {static_cast<std::uint8_t>(blockIndex >> 24), static_cast<std::uint8_t>(blockIndex >> 16),
                                   static_cast<std::uint8_t>(blockIndex >> 8), static_cast<std::uint8_t>(blockIndex)};
    prf.Update(salt, saltLength);
    prf.Update(index, sizeof(index));
    TSha1Digest u = prf.Final();
    TSha1Digest t = u;
    for (std::uint32_t j = 1; j < iterations; ++j) {
      prf.Update(u.data(), u.size());
      u = prf.Final();
      for (std::size_t k = 0; k < t.size(); ++k) t[k] ^= u[k];
    }
    const std::size_t n = std::min(outputLength, t.size());
    std::copy(t.begin(), t.begin() + static_cast<std::ptrdiff_t>(n), output);
    output += n;
    outputLength -= n;
  }
}

}  // namespace qel::codecs
