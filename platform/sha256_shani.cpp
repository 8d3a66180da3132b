#include "platform/sha256_shani.h"

#include <cstring>

#if defined(__x86_64__) || defined(__i386__) || defined(_M_X64) || defined(_M_IX86)
#define LK_X86 1
#include <immintrin.h>
#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif
#endif

namespace lk {
namespace {

constexpr std::uint32_t kInitial[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

alignas(16) constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

#ifdef LK_X86
void Cpuid(unsigned leaf, unsigned sub, unsigned regs[4]) {
#if defined(_MSC_VER)
  int r[4];
  __cpuidex(r, static_cast<int>(leaf), static_cast<int>(sub));
  for (int i = 0; i < 4; ++i) regs[i] = static_cast<unsigned>(r[i]);
#else
  __cpuid_count(leaf, sub, regs[0], regs[1], regs[2], regs[3]);
#endif
}

// Compresses whole 64-byte blocks into state (a..h).
void Compress(std::uint32_t state[8], const std::uint8_t* data, std::size_t blocks) {
  // Each 32-bit message word is big-endian.
  const __m128i swap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  // The instructions keep the state as (a, b, e, f) and (c, d, g, h), the
  // first letter in the highest lane.
  __m128i abcd = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state));
  __m128i efgh = _mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4));
  abcd = _mm_shuffle_epi32(abcd, 0xB1);            // b a d c
  efgh = _mm_shuffle_epi32(efgh, 0x1B);            // h g f e
  __m128i abef = _mm_alignr_epi8(abcd, efgh, 8);   // f e b a
  __m128i cdgh = _mm_blend_epi16(efgh, abcd, 0xF0);  // h g d c

  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abef_in = abef, cdgh_in = cdgh;
    __m128i w[4];
    for (int i = 0; i < 4; ++i)
      w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), swap);
    for (int g = 0; g < 16; ++g) {
      // Groups of four words; from the fifth on, each from the four before:
      // w[t] = s1(w[t-2]) + w[t-7] + s0(w[t-15]) + w[t-16].
      if (g >= 4) {
        const __m128i t16 = w[g & 3], t12 = w[(g + 1) & 3], t8 = w[(g + 2) & 3], t4 = w[(g + 3) & 3];
        const __m128i part = _mm_add_epi32(_mm_sha256msg1_epu32(t16, t12), _mm_alignr_epi8(t4, t8, 4));
        w[g & 3] = _mm_sha256msg2_epu32(part, t4);
      }
      __m128i wk = _mm_add_epi32(w[g & 3], _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * g)));
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, wk);
      wk = _mm_shuffle_epi32(wk, 0x0E);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, wk);
    }
    abef = _mm_add_epi32(abef, abef_in);
    cdgh = _mm_add_epi32(cdgh, cdgh_in);
  }

  // Back to a..h.
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  abcd = _mm_blend_epi16(feba, dchg, 0xF0);
  efgh = _mm_alignr_epi8(dchg, feba, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state), abcd);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), efgh);
}
#else
void Compress(std::uint32_t*, const std::uint8_t*, std::size_t) {}
#endif

}  // namespace

bool ShaExtensionsAvailable() {
#ifdef LK_X86
  static const bool available = [] {
    unsigned r[4];
    Cpuid(0, 0, r);
    if (r[0] < 7) return false;
    Cpuid(1, 0, r);
    const bool ssse3 = (r[2] >> 9) & 1, sse41 = (r[2] >> 19) & 1;
    Cpuid(7, 0, r);
    const bool sha = (r[1] >> 29) & 1;
    return ssse3 && sse41 && sha;
  }();
  return available;
#else
  return false;
#endif
}

Sha256Ni::Sha256Ni() { std::memcpy(state_, kInitial, sizeof(state_)); }

void Sha256Ni::Update(const std::uint8_t* data, std::size_t size) {
  total_ += size;
  if (pending_size_ > 0) {
    const std::size_t take = size < 64 - pending_size_ ? size : 64 - pending_size_;
    std::memcpy(pending_ + pending_size_, data, take);
    pending_size_ += take;
    data += take;
    size -= take;
    if (pending_size_ < 64) return;
    Compress(state_, pending_, 1);
    pending_size_ = 0;
  }
  const std::size_t blocks = size / 64;
  if (blocks) Compress(state_, data, blocks);
  data += blocks * 64;
  size -= blocks * 64;
  std::memcpy(pending_, data, size);
  pending_size_ = size;
}

Sha256Digest Sha256Ni::Final() {
  const std::uint64_t bits = total_ * 8;
  std::uint8_t tail[128] = {};
  std::memcpy(tail, pending_, pending_size_);
  tail[pending_size_] = 0x80;
  const std::size_t length = pending_size_ + 9 <= 64 ? 64 : 128;
  for (int i = 0; i < 8; ++i) tail[length - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
  Compress(state_, tail, length / 64);
  Sha256Digest d;
  for (int i = 0; i < 8; ++i)
    for (int j = 0; j < 4; ++j) d[4 * i + j] = static_cast<std::uint8_t>(state_[i] >> (24 - 8 * j));
  return d;
}

}  // namespace lk
