#include "archive/codecs/aes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qel::codecs {
namespace {

std::vector<std::uint8_t> FromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

// FIPS-197 appendix C: the one plaintext under a 128-, 192- and 256-bit key.
TEST(Aes, EncryptsTheExampleVectorsOfEveryKeyLength) {
  const auto plain = FromHex("00112233445566778899aabbccddeeff");
  const struct {
    const char* Key;
    const char* Cipher;
  } cases[] = {
      {"000102030405060708090a0b0c0d0e0f", "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f", "8ea2b7ca516745bfeafc49904b496089"},
  };
  for (const auto& c : cases) {
    TAesKey key;
    const auto keyBytes = FromHex(c.Key);
    key.Expand(keyBytes.data(), keyBytes.size());
    std::vector<std::uint8_t> out(AesBlockSize);
    key.EncryptBlockPortable(plain.data(), out.data());
    EXPECT_EQ(out, FromHex(c.Cipher)) << c.Key;
  }
}

// The key stream is the counter 1, 2, ... (little-endian) encrypted, continued across calls of
// any length, and the same from the hardware path as from the portable one.
TEST(Aes, CounterModeRunsOneStreamWhateverTheChunksAndThePath) {
  const auto keyBytes = FromHex("000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f");
  TAesKey key;
  key.Expand(keyBytes.data(), keyBytes.size());
  std::vector<std::uint8_t> expected;
  for (std::uint8_t n = 1; expected.size() < 1000; ++n) {
    std::uint8_t counter[AesBlockSize] = {n};
    std::uint8_t block[AesBlockSize];
    key.EncryptBlockPortable(counter, block);
    expected.insert(expected.end(), block, block + AesBlockSize);
  }
  expected.resize(1000);
  for (const bool hardware : {false, true}) {
    TAesCounterMode mode;
    mode.SetKey(keyBytes.data(), keyBytes.size());
    mode.UseHardware(hardware);
    std::vector<std::uint8_t> stream(expected.size(), 0);
    std::size_t at = 0;
    for (const std::size_t chunk : {std::size_t{5}, std::size_t{11}, std::size_t{16}, std::size_t{300}, std::size_t{668}}) {
      mode.Apply(stream.data() + at, chunk);
      at += chunk;
    }
    EXPECT_EQ(stream, expected) << (hardware ? "hardware" : "portable");
  }
}

}  // namespace
}  // namespace qel::codecs
