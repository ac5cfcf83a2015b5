#include "archive/codecs/aes.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define QEL_HAVE_AES_NI 1
#endif

namespace qel::codecs {

#if QEL_HAVE_AES_NI

namespace {

#if defined(__i386__)
// 32-bit Windows keeps the stack only 4-byte aligned; realign it for spilled vector registers.
#define QEL_AES_NI_ATTRIBUTES __attribute__((target("aes,sse2"), force_align_arg_pointer))
#else
#define QEL_AES_NI_ATTRIBUTES __attribute__((target("aes,sse2")))
#endif

// Blocks encrypted side by side: AESENC has a latency of several cycles but issues every cycle,
// so eight independent blocks keep the unit busy.
constexpr std::size_t Lanes = 8;

// XORs the key stream of N blocks into data. N is a constant, so the lanes stay in registers.
template <std::size_t N>
QEL_AES_NI_ATTRIBUTES inline void CounterLanes(const __m128i* roundKeys, int rounds, std::uint64_t& counterLow,
                                               std::uint64_t& counterHigh, std::uint8_t* data) {
  __m128i b[N];
  for (std::size_t i = 0; i < N; ++i) {
    // The counter block is the 128-bit number in little-endian order: the low half's bytes
    // first, which is how _mm_set_epi64x lays its two halves out.
    b[i] = _mm_xor_si128(_mm_set_epi64x(static_cast<long long>(counterHigh), static_cast<long long>(counterLow)),
                         roundKeys[0]);
    if (++counterLow == 0) ++counterHigh;
  }
  for (int r = 1; r < rounds; ++r) {
    const __m128i roundKey = roundKeys[r];
    for (std::size_t i = 0; i < N; ++i) b[i] = _mm_aesenc_si128(b[i], roundKey);
  }
  for (std::size_t i = 0; i < N; ++i) {
    __m128i* p = reinterpret_cast<__m128i*>(data + AesBlockSize * i);
    const __m128i stream = _mm_aesenclast_si128(b[i], roundKeys[rounds]);
    _mm_storeu_si128(p, _mm_xor_si128(_mm_loadu_si128(p), stream));
  }
}

}  // namespace

bool AesNiAvailable() noexcept {
  static const bool available = __builtin_cpu_supports("aes") && __builtin_cpu_supports("sse2");
  return available;
}

QEL_AES_NI_ATTRIBUTES void AesNiCounterBlocks(const TAesKey& key, std::uint64_t& counterLow,
                                              std::uint64_t& counterHigh, std::uint8_t* data, std::size_t blocks) {
  const int rounds = key.Rounds();
  __m128i roundKeys[AesMaxRounds + 1];
  for (int r = 0; r <= rounds; ++r) {
    roundKeys[r] = _mm_load_si128(reinterpret_cast<const __m128i*>(key.RoundKeys() + AesBlockSize * r));
  }
  for (; blocks >= Lanes; blocks -= Lanes, data += AesBlockSize * Lanes) {
    CounterLanes<Lanes>(roundKeys, rounds, counterLow, counterHigh, data);
  }
  for (; blocks > 0; --blocks, data += AesBlockSize) {
    CounterLanes<1>(roundKeys, rounds, counterLow, counterHigh, data);
  }
}

#else

bool AesNiAvailable() noexcept { return false; }

void AesNiCounterBlocks(const TAesKey&, std::uint64_t&, std::uint64_t&, std::uint8_t*, std::size_t) {}

#endif

}  // namespace qel::codecs
