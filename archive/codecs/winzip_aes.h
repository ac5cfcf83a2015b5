// WinZip's AES encryption of ZIP entries, as WinZip's published description of its AE-1 and
// AE-2 formats ("AES Encryption Information", version 1.04) gives it: method 99 in the header,
// the entry's real method in an extra field, and in front of the data a salt and a password
// verifier, behind it an authentication code. The keys come from the password and the salt by
// PBKDF2-HMAC-SHA1; the data is AES in counter mode, authenticated by HMAC-SHA1 over the
// encrypted bytes.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "archive/codecs/aes.h"
#include "archive/codecs/hmac_sha1.h"

namespace qel::codecs {

// The compression method number an AES entry's headers hold ("Compression method").
inline constexpr std::uint16_t WinZipAesMethod = 99;
// The extra data field that describes the entry ("Extra data field"): its tag and the length
// of its data: vendor version (2), vendor ID "AE" (2), strength (1), actual method (2).
inline constexpr std::uint16_t WinZipAesExtraTag = 0x9901;
inline constexpr std::size_t WinZipAesExtraSize = 7;
inline constexpr std::uint16_t WinZipAesVendorId = 0x4541;  // the bytes 'A', 'E' read little-endian
// AE-1 stores the entry's CRC; AE-2 stores 0 there and leaves the check to the authentication
// code ("CRC value").
inline constexpr std::uint16_t WinZipAesVersion1 = 1;
inline constexpr std::uint16_t WinZipAesVersion2 = 2;
// "Key Generation": 1000 iterations; a two-byte verifier follows the two keys.
inline constexpr std::uint32_t WinZipAesIterations = 1000;
inline constexpr std::size_t WinZipAesVerifierSize = 2;
// "Authentication code": the first 10 bytes of the HMAC-SHA1.
inline constexpr std::size_t WinZipAesCodeSize = 10;

using TWinZipAesVerifier = std::array<std::uint8_t, WinZipAesVerifierSize>;
using TWinZipAesCode = std::array<std::uint8_t, WinZipAesCodeSize>;

// What the extra field tells of an entry.
struct TWinZipAesField {
  std::uint16_t VendorVersion = 0;  // WinZipAesVersion1 or WinZipAesVersion2
  std::uint8_t Strength = 0;        // 1, 2, 3: AES-128, AES-192, AES-256
  std::uint16_t Method = 0;         // the method the data is compressed with
};

// The field's data, when it is one this reader understands: a known vendor version, the vendor
// "AE" and a known strength. Anything else (a short field, a later version) is nullopt, and its
// entry stays an unsupported method.
std::optional<TWinZipAesField> ParseWinZipAesField(const std::uint8_t* data, std::size_t length);

// "Salt value": 8, 12 or 16 bytes, half the key length, for strengths 1, 2, 3.
constexpr std::size_t WinZipAesKeyLength(std::uint8_t strength) { return 8 * (std::size_t{strength} + 1); }
constexpr std::size_t WinZipAesSaltLength(std::uint8_t strength) { return 4 * (std::size_t{strength} + 1); }
inline constexpr std::size_t WinZipAesMaxSaltLength = WinZipAesSaltLength(3);
// The bytes an entry's stored data holds beyond its compressed data.
constexpr std::size_t WinZipAesOverhead(std::uint8_t strength) {
  return WinZipAesSaltLength(strength) + WinZipAesVerifierSize + WinZipAesCodeSize;
}

// Decrypts and authenticates one entry's data.
class TWinZipAesDecryption final {
 public:
  // Derives the keys from password and salt (WinZipAesSaltLength(strength) bytes). True when the
  // derived verifier is the stored one; the object is then ready for the entry's data.
  bool Begin(std::string_view password, std::uint8_t strength, const std::uint8_t* salt,
             const TWinZipAesVerifier& verifier);
  // Decrypts the next count bytes of the entry in place, taking them into the code first.
  void Decrypt(std::uint8_t* data, std::size_t count);
  // Whether the code over every byte decrypted since Begin is the stored one.
  bool CodeMatches(const TWinZipAesCode& stored);

 private:
  TAesCounterMode FCipher;
  THmacSha1 FCode;
};

}  // namespace qel::codecs
