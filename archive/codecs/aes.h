// The AES block cipher (FIPS-197) in the forward direction only, and the counter mode WinZip's
// AES entries are encrypted in: counter mode needs no inverse cipher, for decryption runs the
// same key stream as encryption. Processors with AES-NI run the rounds in hardware; the
// portable path serves the others.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qel::codecs {

inline constexpr std::size_t AesBlockSize = 16;
// FIPS-197 section 5: 10, 12 or 14 rounds for keys of 16, 24 or 32 bytes.
inline constexpr std::size_t AesMaxRounds = 14;

class TAesKey final {
 public:
  // keyLength is 16, 24 or 32; any other length keys nothing (Rounds() stays 0).
  void Expand(const std::uint8_t* key, std::size_t keyLength);

  int Rounds() const noexcept { return FRounds; }
  // Rounds()+1 round keys of 16 bytes, each in the byte order of the state (FIPS-197 3.4),
  // which is the order AES-NI loads them in.
  const std::uint8_t* RoundKeys() const noexcept { return FRoundKeys.data(); }

  // One block by the portable rounds, whatever the processor offers.
  void EncryptBlockPortable(const std::uint8_t* in, std::uint8_t* out) const;

 private:
  alignas(16) std::array<std::uint8_t, (AesMaxRounds + 1) * AesBlockSize> FRoundKeys{};
  int FRounds = 0;
};

// Counter mode as WinZip runs it: the counter is a 128-bit little-endian number in the block,
// starting at 1 and advancing by one per block; each block of key stream is the counter
// encrypted. The stream continues across calls of any length.
class TAesCounterMode final {
 public:
  void SetKey(const std::uint8_t* key, std::size_t keyLength);
  // XORs the next count bytes of key stream into data.
  void Apply(std::uint8_t* data, std::size_t count);
  // Whether the hardware path runs; tests turn it off to check the portable one.
  void UseHardware(bool use) noexcept { FHardware = use && HardwareAvailable(); }
  static bool HardwareAvailable() noexcept;

 private:
  void NextKeyStreamBlock();

  TAesKey FKey;
  std::uint64_t FCounterLow = 1;
  std::uint64_t FCounterHigh = 0;
  std::array<std::uint8_t, AesBlockSize> FKeyStream{};
  std::size_t FKeyStreamUsed = AesBlockSize;  // bytes of FKeyStream already applied
  bool FHardware = HardwareAvailable();
};

// The hardware path (aes_ni.cpp): XORs the key stream of blocks whole blocks into data, starting
// at the counter, which it advances. Only where HardwareAvailable.
void AesNiCounterBlocks(const TAesKey& key, std::uint64_t& counterLow, std::uint64_t& counterHigh,
                        std::uint8_t* data, std::size_t blocks);
bool AesNiAvailable() noexcept;

}  // namespace qel::codecs
