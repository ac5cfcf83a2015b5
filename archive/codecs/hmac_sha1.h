// HMAC-SHA1 (RFC 2104, FIPS 198-1) and the key derivation built on it, PBKDF2 with HMAC-SHA1
// (RFC 2898 section 5.2): what WinZip AES entries authenticate their data and derive their
// keys with.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/codecs/sha1.h"

namespace qel::codecs {

class THmacSha1 final {
 public:
  // Keys the code and starts a message. A key longer than a block is hashed first (RFC 2104 2).
  void SetKey(const std::uint8_t* key, std::size_t keyLength);
  void Update(const std::uint8_t* data, std::size_t count) { FInner.Update(data, count); }
  // The code of the message; the key stays set and a new message starts.
  TSha1Digest Final();

 private:
  // The hash states after the key XOR ipad and XOR opad: every message starts from these.
  TSha1 FInnerStart;
  TSha1 FOuterStart;
  TSha1 FInner;
};

// RFC 2898 5.2: outputLength bytes of PBKDF2-HMAC-SHA1 from password and salt.
void Pbkdf2HmacSha1(const std::uint8_t* password, std::size_t passwordLength, const std::uint8_t* salt,
                    std::size_t saltLength, std::uint32_t iterations, std::uint8_t* output, std::size_t outputLength);

}  // namespace qel::codecs
