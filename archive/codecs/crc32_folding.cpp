#include "archive/codecs/crc32_folding.h"

#include "archive/codecs/crc32.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QEL_HAVE_FOLDING 1
#endif

namespace qel::codecs {

#if QEL_HAVE_FOLDING

namespace {

// Folding constants of the reflected polynomial: x^(d+32) and x^(d-32) mod P, bit-reflected
// and shifted left by one, for a folding distance d of 512 bits (four lanes) and 128 bits (one).
constexpr long long FourLaneLow = 0x154442bd4LL;
constexpr long long FourLaneHigh = 0x1c6e41596LL;
constexpr long long OneLaneLow = 0x1751997d0LL;
constexpr long long OneLaneHigh = 0x0ccaa009eLL;

#if defined(__i386__)
// 32-bit Windows keeps the stack only 4-byte aligned; realign it for spilled vector registers.
#define QEL_FOLDING_ATTRIBUTES __attribute__((target("pclmul,sse2"), force_align_arg_pointer))
#else
#define QEL_FOLDING_ATTRIBUTES __attribute__((target("pclmul,sse2")))
#endif

// The lane moved 128 (or 512) bits on, as a remainder modulo P, plus the next 16 bytes.
QEL_FOLDING_ATTRIBUTES inline __m128i Fold(__m128i lane, __m128i constants, __m128i next) {
  const __m128i low = _mm_clmulepi64_si128(lane, constants, 0x00);
  const __m128i high = _mm_clmulepi64_si128(lane, constants, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

QEL_FOLDING_ATTRIBUTES inline __m128i Load(const std::uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

}  // namespace

bool FoldingAvailable() noexcept {
  static const bool available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
  return available;
}

QEL_FOLDING_ATTRIBUTES std::uint32_t FoldCRC(std::uint32_t crc, const std::uint8_t* data, std::size_t size,
                                             std::size_t& consumed) {
  const std::uint8_t* p = data;
  const std::uint8_t* const end = data + (size & ~std::size_t{15});
  // The register enters as the first four bytes of the message.
  __m128i x0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
  __m128i x1 = Load(p + 16);
  __m128i x2 = Load(p + 32);
  __m128i x3 = Load(p + 48);
  p += 64;
  const __m128i four = _mm_set_epi64x(FourLaneHigh, FourLaneLow);
  while (end - p >= 64) {
    x0 = Fold(x0, four, Load(p));
    x1 = Fold(x1, four, Load(p + 16));
    x2 = Fold(x2, four, Load(p + 32));
    x3 = Fold(x3, four, Load(p + 48));
    p += 64;
  }
  const __m128i one = _mm_set_epi64x(OneLaneHigh, OneLaneLow);
  __m128i x = Fold(x0, one, x1);
  x = Fold(x, one, x2);
  x = Fold(x, one, x3);
  for (; p < end; p += 16) {
    x = Fold(x, one, Load(p));
  }
  // What is left is a 16-byte message with the same remainder: the table step finishes it from
  // an empty register.
  alignas(16) std::uint8_t rest[16];
  _mm_store_si128(reinterpret_cast<__m128i*>(rest), x);
  std::uint32_t result = 0;
  for (std::uint8_t b : rest) {
    result = UpdateCRC(result, b);
  }
  consumed = static_cast<std::size_t>(end - data);
  return result;
}

#else

bool FoldingAvailable() noexcept { return false; }

std::uint32_t FoldCRC(std::uint32_t crc, const std::uint8_t*, std::size_t, std::size_t& consumed) {
  consumed = 0;
  return crc;
}

#endif

}  // namespace qel::codecs
