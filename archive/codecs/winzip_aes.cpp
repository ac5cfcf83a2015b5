#include "archive/codecs/winzip_aes.h"

#include <algorithm>

namespace qel::codecs {
namespace {

constexpr std::size_t MaxKeyLength = WinZipAesKeyLength(3);

inline std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

// Equal in time whatever bytes differ: the comparison tells nothing of where.
template <std::size_t N>
bool SameBytes(const std::uint8_t* a, const std::array<std::uint8_t, N>& b) {
  std::uint8_t difference = 0;
  for (std::size_t i = 0; i < N; ++i) difference |= static_cast<std::uint8_t>(a[i] ^ b[i]);
  return difference == 0;
}

}  // namespace

std::optional<TWinZipAesField> ParseWinZipAesField(const std::uint8_t* data, std::size_t length) {
  if (length < WinZipAesExtraSize) return std::nullopt;
  TWinZipAesField field;
  field.VendorVersion = Le16(data);
  field.Strength = data[4];
  field.Method = Le16(data + 5);
  const bool knownVersion = field.VendorVersion == WinZipAesVersion1 || field.VendorVersion == WinZipAesVersion2;
  if (!knownVersion || Le16(data + 2) != WinZipAesVendorId || field.Strength < 1 || field.Strength > 3) {
    return std::nullopt;
  }
  return field;
}

// The derived bytes are the AES key, the HMAC key and the verifier, in this order.
bool TWinZipAesDecryption::Begin(std::string_view password, std::uint8_t strength, const std::uint8_t* salt,
                                 const TWinZipAesVerifier& verifier) {
  const std::size_t keyLength = WinZipAesKeyLength(strength);
  std::array<std::uint8_t, 2 * MaxKeyLength + WinZipAesVerifierSize> derived{};
  Pbkdf2HmacSha1(reinterpret_cast<const std::uint8_t*>(password.data()), password.size(), salt,
                 WinZipAesSaltLength(strength), WinZipAesIterations, derived.data(), 2 * keyLength + WinZipAesVerifierSize);
  if (!SameBytes(derived.data() + 2 * keyLength, verifier)) return false;
  FCipher.SetKey(derived.data(), keyLength);
  FCode.SetKey(derived.data() + keyLength, keyLength);
  return true;
}

void TWinZipAesDecryption::Decrypt(std::uint8_t* data, std::size_t count) {
  FCode.Update(data, count);
  FCipher.Apply(data, count);
}

bool TWinZipAesDecryption::CodeMatches(const TWinZipAesCode& stored) {
  const TSha1Digest code = FCode.Final();
  return SameBytes(code.data(), stored);
}

}  // namespace qel::codecs
