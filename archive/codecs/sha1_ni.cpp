#include "archive/codecs/sha1.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define QEL_HAVE_SHA_NI 1
#endif

namespace qel::codecs {

#if QEL_HAVE_SHA_NI

namespace {

#if defined(__i386__)
// 32-bit Windows keeps the stack only 4-byte aligned; realign it for spilled vector registers.
#define QEL_SHA_NI_ATTRIBUTES __attribute__((target("sha,sse4.1,ssse3"), force_align_arg_pointer))
#else
#define QEL_SHA_NI_ATTRIBUTES __attribute__((target("sha,sse4.1,ssse3")))
#endif

// The words of a block arrive big-endian; the instructions want them in the lanes' order with
// the first word in the top lane.
QEL_SHA_NI_ATTRIBUTES inline __m128i LoadWords(const std::uint8_t* p) {
  const __m128i reverse = _mm_set_epi64x(0x0001020304050607LL, 0x08090A0B0C0D0E0FLL);
  return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), reverse);
}

// The working state of one block between groups of four rounds.
struct TRounds {
  __m128i Abcd;
  __m128i Previous;  // Abcd before the last group, whose A becomes the next group's E
  __m128i W[4];      // W[g % 4]: the four schedule words of group g
};

// Groups 5F to 5F+4, all of round function F (rounds 20F to 20F+19); SHA1RNDS4 takes the
// function as an immediate, hence the template. From group 4 on the schedule words are made from
// the four groups before: SHA1MSG1 and the XOR give W[t-16]^W[t-14]^W[t-8], SHA1MSG2 adds W[t-3]
// and the rotation (FIPS 180-4 6.1.2 step 1). E of group g is the A of the state before group
// g-1, rotated, plus the words, which SHA1NEXTE makes; group 0 adds E of the state instead.
template <int F>
QEL_SHA_NI_ATTRIBUTES inline void FiveGroups(TRounds& r, const std::uint8_t* block, __m128i e0) {
  for (int g = 5 * F; g < 5 * F + 5; ++g) {
    __m128i& w = r.W[g & 3];
    if (g < 4) {
      w = LoadWords(block + 16 * g);
    } else {
      w = _mm_sha1msg2_epu32(_mm_xor_si128(_mm_sha1msg1_epu32(w, r.W[(g + 1) & 3]), r.W[(g + 2) & 3]),
                             r.W[(g + 3) & 3]);
    }
    const __m128i e = g == 0 ? _mm_add_epi32(e0, w) : _mm_sha1nexte_epu32(r.Previous, w);
    r.Previous = r.Abcd;
    r.Abcd = _mm_sha1rnds4_epu32(r.Abcd, e, F);
  }
}

}  // namespace

bool Sha1NiAvailable() noexcept {
  // The SHA extensions are bit 29 of EBX in leaf 7, asked of the processor itself: not every
  // compiler's __builtin_cpu_supports knows them.
  static const bool available = [] {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    const bool sha = __get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx) != 0 && (ebx & (1u << 29)) != 0;
    return sha && __builtin_cpu_supports("sse4.1") && __builtin_cpu_supports("ssse3");
  }();
  return available;
}

QEL_SHA_NI_ATTRIBUTES void Sha1NiCompress(TSha1State& state, const std::uint8_t* blocks, std::size_t count) {
  // The state's A in the top lane, D in the bottom; E alone in the top lane of its own register.
  __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state.data())), 0x1B);
  __m128i e0 = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
  for (; count > 0; --count, blocks += Sha1BlockSize) {
    TRounds r;
    r.Abcd = abcd;
    FiveGroups<0>(r, blocks, e0);
    FiveGroups<1>(r, blocks, e0);
    FiveGroups<2>(r, blocks, e0);
    FiveGroups<3>(r, blocks, e0);
    // The new E is the old one plus the A before the last group, rotated: SHA1NEXTE again.
    e0 = _mm_sha1nexte_epu32(r.Previous, e0);
    abcd = _mm_add_epi32(r.Abcd, abcd);
  }
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state.data()), _mm_shuffle_epi32(abcd, 0x1B));
  state[4] = static_cast<std::uint32_t>(_mm_extract_epi32(e0, 3));
}

#else

bool Sha1NiAvailable() noexcept { return false; }

void Sha1NiCompress(TSha1State&, const std::uint8_t*, std::size_t) {}

#endif

}  // namespace qel::codecs
