#include "common/crc32_clmul.h"

// The Windows stub keeps to the table: it favours size, and its start-up
// code has no processor detection.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(_WIN32)

#include <immintrin.h>

bool crc32_clmul_available() {
    static const bool available = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return available;
}

#define CLMUL_TARGET __attribute__((target("pclmul,sse4.1")))

CLMUL_TARGET static inline __m128i load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x times the two halves of k, carried 128 bits further, plus `next`.
CLMUL_TARGET static inline __m128i fold(__m128i x, __m128i k, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)), next);
}

// Folding constants of the reflected polynomial 0xEDB88320: x^(4*128+32),
// x^(4*128-32) mod P for the 64-byte fold, x^(128+32), x^(128-32) for the
// 16-byte fold, x^64 for the last fold, and the Barrett pair (mu, P).
CLMUL_TARGET size_t crc32_clmul_update(uint32_t* reg, const uint8_t* bytes, size_t n) {
    const __m128i k1k2 = _mm_set_epi64x(0x01c6e41596, 0x0154442bd4);
    const __m128i k3k4 = _mm_set_epi64x(0x00ccaa009e, 0x01751997d0);
    const __m128i k5 = _mm_set_epi64x(0, 0x0163cd6124);
    const __m128i poly = _mm_set_epi64x(0x01f7011641, 0x01db710641);
    const __m128i mask32 = _mm_set_epi32(0, 0, 0, -1);

    size_t done = 0;
    __m128i x1 = _mm_xor_si128(load(bytes), _mm_cvtsi32_si128(int(*reg)));
    __m128i x2 = load(bytes + 16), x3 = load(bytes + 32), x4 = load(bytes + 48);
    done = 64;
    for (; n - done >= 64; done += 64) {
        x1 = fold(x1, k1k2, load(bytes + done));
        x2 = fold(x2, k1k2, load(bytes + done + 16));
        x3 = fold(x3, k1k2, load(bytes + done + 32));
        x4 = fold(x4, k1k2, load(bytes + done + 48));
    }
    x1 = fold(x1, k3k4, x2);
    x1 = fold(x1, k3k4, x3);
    x1 = fold(x1, k3k4, x4);
    for (; n - done >= 16; done += 16) x1 = fold(x1, k3k4, load(bytes + done));

    // 128 bits to 64, adding 32 zero bits; then to 32; then Barrett.
    x1 = _mm_xor_si128(_mm_clmulepi64_si128(k3k4, x1, 0x01), _mm_srli_si128(x1, 8));
    __m128i low = _mm_and_si128(x1, mask32);
    x1 = _mm_xor_si128(_mm_srli_si128(x1, 4), _mm_clmulepi64_si128(low, k5, 0x00));
    __m128i t = _mm_and_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, mask32), poly, 0x10), mask32);
    t = _mm_clmulepi64_si128(t, poly, 0x00);
    *reg = uint32_t(_mm_extract_epi32(_mm_xor_si128(x1, t), 1));
    return done;
}

#else

bool crc32_clmul_available() { return false; }
size_t crc32_clmul_update(uint32_t*, const uint8_t*, size_t) { return 0; }

#endif
