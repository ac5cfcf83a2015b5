#include "archive/codecs/zip_cipher.h"

#include "archive/codecs/crc32.h"
#include "archive/codecs/zip_format.h"

namespace qel::codecs {

void TZipCipher::SetupKeys(std::string_view password) {
  FKey0 = InitialKey0;
  FKey1 = InitialKey1;
  FKey2 = InitialKey2;
  for (const char c : password) UpdateKeys(static_cast<std::uint8_t>(c));
}

void TZipCipher::UpdateKeys(std::uint8_t plain) {
  FKey0 = UpdateCRC(FKey0, plain);
  FKey1 = (FKey1 + (FKey0 & 0xFFu)) * Key1Multiplier + 1u;  // modulo 2^32 by unsigned arithmetic
  FKey2 = UpdateCRC(FKey2, static_cast<std::uint8_t>(FKey1 >> 24));
}

std::uint8_t TZipCipher::KeyStreamByte() const {
  // Both factors are below 2^16, so their product fits 32 bits before it is masked.
  const std::uint32_t t = (FKey2 & 0xFFFFu) | 2u;
  return static_cast<std::uint8_t>(((t * (t ^ 1u)) & 0xFFFFu) >> 8);
}

std::uint8_t TZipCipher::DecryptByte(std::uint8_t cipher) {
  const auto plain = static_cast<std::uint8_t>(cipher ^ KeyStreamByte());
  UpdateKeys(plain);
  return plain;
}

void TZipCipher::DecryptBlock(std::uint8_t* buffer, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) buffer[i] = DecryptByte(buffer[i]);
}

std::uint8_t TZipCipher::DecryptHeader(std::string_view password, TEncryptionHeader& header) {
  SetupKeys(password);
  DecryptBlock(header.data(), header.size());
  return header.back();
}

std::uint8_t ExpectedCheckByte(std::uint16_t flags, std::uint32_t crc32, std::uint32_t fileDate) {
  if (flags & FlagDataDescriptor) return static_cast<std::uint8_t>(fileDate >> 8);
  return static_cast<std::uint8_t>(crc32 >> 24);
}

}  // namespace qel::codecs
