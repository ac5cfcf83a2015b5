// SHA-1 (FIPS 180-4 section 6.1): the hash under HMAC-SHA1, which authenticates WinZip AES
// entries and derives their keys. Processors with the SHA extensions compress in hardware;
// the portable rounds serve the others.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace qel::codecs {

inline constexpr std::size_t Sha1BlockSize = 64;
inline constexpr std::size_t Sha1DigestSize = 20;
using TSha1Digest = std::array<std::uint8_t, Sha1DigestSize>;
using TSha1State = std::array<std::uint32_t, 5>;

class TSha1 final {
 public:
  TSha1() { Reset(); }
  void Reset();
  void Update(const std::uint8_t* data, std::size_t count);
  // Pads, and gives the digest; the object must be Reset before it hashes again.
  TSha1Digest Final();

  // Whether the hardware path runs; tests turn it off to check the portable one.
  void UseHardware(bool use) noexcept { FHardware = use && HardwareAvailable(); }
  static bool HardwareAvailable() noexcept;

 private:
  void Compress(const std::uint8_t* blocks, std::size_t count);

  TSha1State FState;
  std::array<std::uint8_t, Sha1BlockSize> FBuffer;
  std::size_t FBuffered;
  std::uint64_t FLength;  // bytes hashed so far
  bool FHardware = HardwareAvailable();
};

// The compression function over count whole blocks, in hardware (sha1_ni.cpp). Only where
// Sha1NiAvailable.
void Sha1NiCompress(TSha1State& state, const std::uint8_t* blocks, std::size_t count);
bool Sha1NiAvailable() noexcept;

}  // namespace qel::codecs
