// The traditional PKWARE stream cipher of encrypted ZIP entries: three 32-bit keys set up
// from the password, advanced by every plain byte, and a 12-byte encryption header in
// front of each entry's data whose last byte tells a wrong password (most of the time).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "archive/codecs/zip_format.h"

namespace qel::codecs {

using TEncryptionHeader = std::array<std::uint8_t, EncryptionHeaderSize>;

class TZipCipher final {
 public:
  TZipCipher() { SetupKeys({}); }

  // The keys' starting values, then every password byte through UpdateKeys in order.
  void SetupKeys(std::string_view password);
  // Advances the keys by one plain byte.
  void UpdateKeys(std::uint8_t plain);
  // The next key-stream byte; the keys stay as they are.
  std::uint8_t KeyStreamByte() const;

  std::uint8_t DecryptByte(std::uint8_t cipher);
  // Decrypts in place, continuing the key stream of the bytes before.
  void DecryptBlock(std::uint8_t* buffer, std::size_t count);

  // Sets up the keys from the password and decrypts the header in place. Returns its last
  // byte, to be compared with ExpectedCheckByte; the keys then stand at the entry's first
  // data byte.
  std::uint8_t DecryptHeader(std::string_view password, TEncryptionHeader& header);

  std::uint32_t Key0() const { return FKey0; }
  std::uint32_t Key1() const { return FKey1; }
  std::uint32_t Key2() const { return FKey2; }

 private:
  std::uint32_t FKey0;
  std::uint32_t FKey1;
  std::uint32_t FKey2;
};

// What the last decrypted header byte must be for the right password: the high byte of
// the MS-DOS time when the entry's sizes and CRC follow its data (flag bit 3), because the
// writer did not know the CRC when it wrote the header; otherwise the CRC's high byte.
std::uint8_t ExpectedCheckByte(std::uint16_t flags, std::uint32_t crc32, std::uint32_t fileDate);

}  // namespace qel::codecs
